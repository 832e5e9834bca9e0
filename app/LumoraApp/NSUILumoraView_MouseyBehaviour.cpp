#include "NSUILumoraView_MouseyBehaviour.h"

#include "LumoraRenderBuffer.h"

#include <UICocoaViews/NSView_NormalizedMouse.h>

#include <QMouseEvent>

NSUILumoraView_MouseyBehaviour::NSUILumoraView_MouseyBehaviour(QWidget *view, BufferSource renderBuffer)
    : QObject(view), protocol_MouseCapture(view), mView(view), mRenderBuffer(std::move(renderBuffer)) {
    if (view != nullptr) {
        view->setMouseTracking(true);
        view->setAttribute(Qt::WA_AcceptTouchEvents, false);
        view->installEventFilter(this);
    }
}

NSUILumoraView_MouseyBehaviour::~NSUILumoraView_MouseyBehaviour() {
    if (mView) mView->removeEventFilter(this);
}

CGPoint NSUILumoraView_MouseyBehaviour::normalizedPoint(const QMouseEvent *event) const {
    if (!mView) return CGPointMake(0, 0);
    const QPointF point = NormalizedMouse::normalizedPointFromEvent(*mView, event);
    return CGPointMake(point.x(), 1.0 - point.y());  // the render buffer's origin is bottom-left
}

void NSUILumoraView_MouseyBehaviour::updateLumoraRenderBufferWithMouseEvent(const QMouseEvent *event) {
    if (event == nullptr) return;
    LumoraRenderBuffer *buffer = mRenderBuffer ? mRenderBuffer() : nullptr;
    if (buffer == nullptr) return;
    buffer->setMouseEvent(event);
    buffer->setMousePointNormalizedCoordinates(normalizedPoint(event));
}

void NSUILumoraView_MouseyBehaviour::mouseMoved(const QMouseEvent *event) {
    LumoraRenderBuffer *buffer = mRenderBuffer ? mRenderBuffer() : nullptr;
    if (buffer != nullptr && event != nullptr) buffer->setMousePointNormalizedCoordinates(normalizedPoint(event));
}

void NSUILumoraView_MouseyBehaviour::mouseDown(const QMouseEvent *event) {
    if (event == nullptr) return;
    updateLumoraRenderBufferWithMouseEvent(event);
    // The loop runs on from the view's events; mouseCaptureEnd clears the event.
    if (!protocol_MouseCaptureEventLoop(std::make_unique<MouseCaptureRecord>(*event))) {
        if (LumoraRenderBuffer *buffer = mRenderBuffer ? mRenderBuffer() : nullptr) buffer->setMouseEvent(nullptr);
    }
}

void NSUILumoraView_MouseyBehaviour::mouseCaptureBegin(MouseCaptureRecord &record) {
    updateLumoraRenderBufferWithMouseEvent(record.event.get());
}
void NSUILumoraView_MouseyBehaviour::mouseCaptureMove(MouseCaptureRecord &record) {
    updateLumoraRenderBufferWithMouseEvent(record.event.get());
}
void NSUILumoraView_MouseyBehaviour::mouseCaptureIdle(MouseCaptureRecord &record) {
    updateLumoraRenderBufferWithMouseEvent(record.event.get());
}
void NSUILumoraView_MouseyBehaviour::mouseCaptureUp(MouseCaptureRecord &record) {
    updateLumoraRenderBufferWithMouseEvent(record.event.get());
}
void NSUILumoraView_MouseyBehaviour::mouseCaptureEnd(MouseCaptureRecord &record) {
    updateLumoraRenderBufferWithMouseEvent(record.event.get());
    if (LumoraRenderBuffer *buffer = mRenderBuffer ? mRenderBuffer() : nullptr) buffer->setMouseEvent(nullptr);
}

bool NSUILumoraView_MouseyBehaviour::eventFilter(QObject *watched, QEvent *event) {
    if (watched == mView.data()) {
        if (event->type() == QEvent::MouseMove) {
            auto *mouse = static_cast<QMouseEvent *>(event);
            if (mouse->buttons() == Qt::NoButton) mouseMoved(mouse);
        } else if (event->type() == QEvent::MouseButtonPress) {
            auto *mouse = static_cast<QMouseEvent *>(event);
            if (mouse->button() == Qt::LeftButton && !mouseCaptureIsTracking()) mouseDown(mouse);
        }
    }
    return QObject::eventFilter(watched, event);
}

bool import_NSUILumoraView_MouseyBehaviour() { return true; }
