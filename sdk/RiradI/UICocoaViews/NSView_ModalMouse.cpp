#include "NSView_ModalMouse.h"

#include <QMouseEvent>

namespace {

QPointF LocationInView(QWidget *view, const QMouseEvent &event) { return view->mapFromGlobal(event.globalPosition()); }

}  // namespace

NSView_ModalMouse::NSView_ModalMouse(QWidget *view)
    : mView(view), mLoop(std::make_unique<MouseTrackingLoop>(view, static_cast<MouseTrackingLoop::Client &>(*this))) {}

NSView_ModalMouse::~NSView_ModalMouse() = default;

bool NSView_ModalMouse::mouseDown(const NSViewModalMouse &record, const QMouseEvent &down) {
    if (down.button() != Qt::LeftButton) return false;
    modalMouseCancel();
    mRecord = record;
    mRecord.location = LocationInView(mView, down);
    mRecord.optionDrag = (down.modifiers() & Qt::AltModifier) != 0;
    if (mRecord.optionDrag) mRecord.optionAnchor = mRecord.optionLocation = mRecord.location;
    mLoop->start();
    modalMouseBegin(mRecord);
    return true;
}

bool NSView_ModalMouse::modalMouseIsTracking() const { return mLoop->isRunning(); }

void NSView_ModalMouse::modalMouseCancel() { mLoop->cancel(); }

void NSView_ModalMouse::trackingEvent(const QMouseEvent &event, bool isUp) {
    mRecord.location = LocationInView(mView, event);
    if (!mRecord.optionDrag) modalMouseMove(mRecord);
    if (!isUp) return;
    modalMouseUp(mRecord);
    if (mRecord.optionDrag) {
        mRecord.optionDrag = false;
        if (mRecord.view) mRecord.view->update();
    }
    modalMouseEnd(mRecord);
}

void NSView_ModalMouse::trackingIdle() {
    if (mRecord.optionDrag) mRecord.optionLocation = mRecord.location;
    modalMouseIdle(mRecord);
}

void NSView_ModalMouse::trackingCancel() {
    if (mRecord.optionDrag) {
        mRecord.optionDrag = false;
        if (mRecord.view) mRecord.view->update();
    }
    modalMouseEnd(mRecord);
}

void NSView_ModalMouse::redisplay(const NSViewModalMouse &record) {
    if (record.optionDrag) {
        if (record.view) record.view->update();
    } else {
        mView->update();
    }
}

void NSView_ModalMouse::modalMouseBegin(NSViewModalMouse &) {}
void NSView_ModalMouse::modalMouseMove(NSViewModalMouse &record) { redisplay(record); }
void NSView_ModalMouse::modalMouseIdle(NSViewModalMouse &record) { redisplay(record); }
void NSView_ModalMouse::modalMouseUp(NSViewModalMouse &) {}
void NSView_ModalMouse::modalMouseEnd(NSViewModalMouse &) {}

bool import_NSView_ModalMouse() { return true; }
