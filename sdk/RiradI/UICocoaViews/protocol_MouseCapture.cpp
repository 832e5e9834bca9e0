#include "protocol_MouseCapture.h"

#include <QWidget>

MouseCaptureRecord::MouseCaptureRecord(const QMouseEvent &down) : event(down.clone()) {}

MouseCaptureRecord::~MouseCaptureRecord() = default;

protocol_MouseCapture::protocol_MouseCapture(QObject *receiver) : mReceiver(receiver) {
    if (auto *widget = qobject_cast<QWidget *>(receiver)) mLoop = std::make_unique<MouseTrackingLoop>(widget, static_cast<MouseTrackingLoop::Client &>(*this));
}

protocol_MouseCapture::~protocol_MouseCapture() = default;

QPointF protocol_MouseCapture::mouseCaptureScreenLocation(const QMouseEvent &event) { return event.globalPosition(); }

QPointF protocol_MouseCapture::mouseCaptureWindowLocation(const QWidget &view, const QMouseEvent &event) {
    return view.mapFromGlobal(event.globalPosition());
}

QPointF protocol_MouseCapture::mouseCaptureLocation(const MouseCaptureRecord &record) const {
    const auto *widget = qobject_cast<const QWidget *>(mReceiver);
    if (widget == nullptr || record.event == nullptr) return {};
    if (widget->isWindow()) return mouseCaptureScreenLocation(*record.event);
    return mouseCaptureWindowLocation(*widget, *record.event);
}

bool protocol_MouseCapture::protocol_MouseCaptureEventLoop(std::unique_ptr<MouseCaptureRecord> record) {
    if (!mLoop || !record || !record->event || record->event->button() != Qt::LeftButton) return false;
    mouseCaptureCancel();
    mRecord = std::move(record);
    MouseCaptureRecord &r = *mRecord;
    r.downLocation = r.location = mouseCaptureLocation(r);
    r.optionDrag = (r.event->modifiers() & Qt::AltModifier) != 0;
    if (r.optionDrag) r.optionAnchor = r.optionLocation = r.location;
    mLoop->start();
    mouseCaptureBegin(r);
    return true;
}

bool protocol_MouseCapture::mouseCaptureIsTracking() const { return mLoop && mLoop->isRunning(); }

void protocol_MouseCapture::mouseCaptureCancel() {
    if (mLoop) mLoop->cancel();
}

void protocol_MouseCapture::trackingEvent(const QMouseEvent &event, bool isUp) {
    MouseCaptureRecord &r = *mRecord;
    r.idle = false;
    r.event.reset(event.clone());
    r.location = mouseCaptureLocation(r);
    if (!r.optionDrag) mouseCaptureMove(r);
    if (!isUp) return;
    mouseCaptureUp(r);
    r.optionDrag = false;
    mouseCaptureEnd(r);
}

void protocol_MouseCapture::trackingIdle() {
    MouseCaptureRecord &r = *mRecord;
    if (r.optionDrag)
        r.optionLocation = r.location;
    else
        r.idle = true;
    mouseCaptureIdle(r);
}

void protocol_MouseCapture::trackingCancel() {
    MouseCaptureRecord &r = *mRecord;
    r.optionDrag = false;
    mouseCaptureEnd(r);
}

void protocol_MouseCapture::mouseCaptureBegin(MouseCaptureRecord &) {}
void protocol_MouseCapture::mouseCaptureMove(MouseCaptureRecord &) {}
void protocol_MouseCapture::mouseCaptureIdle(MouseCaptureRecord &) {}
void protocol_MouseCapture::mouseCaptureUp(MouseCaptureRecord &) {}
void protocol_MouseCapture::mouseCaptureEnd(MouseCaptureRecord &) {}

bool import_protocol_MouseCapture() { return true; }
