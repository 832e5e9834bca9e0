// NSView(ModalMouse): a view follows the mouse from a left press until the left button is
// released, with Begin, Move, Idle, Up and End hooks. The view mixes this class in beside
// QWidget and calls mouseDown from its mousePressEvent; from then on the loop takes the view's
// left drags and the release itself (they no longer reach mouseMoveEvent/mouseReleaseEvent).
//
// Per event pulled: `location` follows the mouse; without option mode one modalMouseMove per
// event, the release included (before modalMouseUp). After each burst of events,
// modalMouseIdle. With the option (Alt) key held at the press: no Move calls, `optionAnchor`
// is the press point and `optionLocation` the mouse at each idle step; on release option mode
// ends and the record's view is redisplayed. Every Begin is matched by exactly one End: a loop
// cancelled (see MouseTrackingLoop.h) gets End without Up.
//
// Points are in the view's own coordinates (Qt's: origin top-left, y down).
#pragma once

#include <QPointF>
#include <QPointer>
#include <QWidget>

#include <memory>

#include "MouseTrackingLoop.h"

class QMouseEvent;

struct NSViewModalMouse {
    bool optionDrag = false;
    QPointF location;
    QPointF optionAnchor;
    QPointF optionLocation;
    // Redisplayed while in option mode (null: none). Set by the caller.
    QPointer<QWidget> view;
};

class NSView_ModalMouse : private MouseTrackingLoop::Client {
public:
    explicit NSView_ModalMouse(QWidget *view);
    virtual ~NSView_ModalMouse();
    NSView_ModalMouse(const NSView_ModalMouse &) = delete;
    NSView_ModalMouse &operator=(const NSView_ModalMouse &) = delete;

    // mouseDown:withEvent: starts the loop with a copy of the record from a left press (other
    // buttons start nothing: false). The loop keeps the record until it ends.
    bool mouseDown(const NSViewModalMouse &record, const QMouseEvent &down);
    bool modalMouseIsTracking() const;
    // Ends a running loop without a release: End only.
    void modalMouseCancel();
    // The record of the running (or last) loop.
    const NSViewModalMouse &modalMouseRecord() const { return mRecord; }

    // Hooks. Begin, Up and End do nothing; Move and Idle redisplay the record's view in option
    // mode (nothing when null), the receiver otherwise.
    virtual void modalMouseBegin(NSViewModalMouse &record);
    virtual void modalMouseMove(NSViewModalMouse &record);
    virtual void modalMouseIdle(NSViewModalMouse &record);
    virtual void modalMouseUp(NSViewModalMouse &record);
    virtual void modalMouseEnd(NSViewModalMouse &record);

private:
    void trackingEvent(const QMouseEvent &event, bool isUp) override;
    void trackingIdle() override;
    void trackingCancel() override;
    void redisplay(const NSViewModalMouse &record);

    QWidget *mView;
    NSViewModalMouse mRecord;
    std::unique_ptr<MouseTrackingLoop> mLoop;
};

bool import_NSView_ModalMouse();
