// NSObject(protocol_MouseCapture): the capture loop of a window or a view, from a left press
// until the left button is released, with mouseCapture... hooks. The receiver mixes this class
// in beside QWidget and starts the loop from its mousePressEvent with a record made from the
// press; the loop then takes the receiver's left drags and the release (see
// MouseTrackingLoop.h). A window is a top-level widget and works in screen (global)
// coordinates; a view is any other widget and works in its own coordinates (Qt's, y down).
// Any other receiver runs no loop and calls no hook.
//
// Per event: `idle` cleared, `event` becomes that event, `location` follows the mouse; without
// option mode one Move per event (the release included, before Up); on release option mode
// ends, then End. After each burst: in option mode `optionLocation` = `location`, otherwise
// `idle` set; then Idle. A cancelled loop gets End without Up.
#pragma once

#include <QMouseEvent>
#include <QObject>
#include <QPointF>

#include <memory>

#include "MouseTrackingLoop.h"

struct MouseCaptureRecord {
    // Keeps a copy of the press; flags and points cleared (the loop sets downLocation).
    explicit MouseCaptureRecord(const QMouseEvent &down);
    virtual ~MouseCaptureRecord();

    bool optionDrag = false;
    bool idle = false;
    QPointF downLocation;
    QPointF location;
    QPointF optionAnchor;
    QPointF optionLocation;
    // The press at first, then the latest event pulled by the loop.
    std::unique_ptr<QMouseEvent> event;
};

class protocol_MouseCapture : private MouseTrackingLoop::Client {
public:
    // The receiver: a QWidget (window or view) or any other object (no loop).
    explicit protocol_MouseCapture(QObject *receiver);
    virtual ~protocol_MouseCapture();
    protocol_MouseCapture(const protocol_MouseCapture &) = delete;
    protocol_MouseCapture &operator=(const protocol_MouseCapture &) = delete;

    // protocol_MouseCaptureEventLoop: runs the loop with the record until the release; false
    // (no hook called) when the receiver is not a widget or the press is not a left press.
    bool protocol_MouseCaptureEventLoop(std::unique_ptr<MouseCaptureRecord> record);
    bool mouseCaptureIsTracking() const;
    // Ends a running loop without a release: End only.
    void mouseCaptureCancel();
    // The record of the running (or last) loop; null before the first.
    MouseCaptureRecord *mouseCaptureRecord() const { return mRecord.get(); }

    // For a window the screen location of the record's event, for a view its location in the
    // view, for anything else (0, 0).
    QPointF mouseCaptureLocation(const MouseCaptureRecord &record) const;
    static QPointF mouseCaptureScreenLocation(const QMouseEvent &event);
    static QPointF mouseCaptureWindowLocation(const QWidget &view, const QMouseEvent &event);

    // Hooks, empty here.
    virtual void mouseCaptureBegin(MouseCaptureRecord &record);
    virtual void mouseCaptureMove(MouseCaptureRecord &record);
    virtual void mouseCaptureIdle(MouseCaptureRecord &record);
    virtual void mouseCaptureUp(MouseCaptureRecord &record);
    virtual void mouseCaptureEnd(MouseCaptureRecord &record);

private:
    void trackingEvent(const QMouseEvent &event, bool isUp) override;
    void trackingIdle() override;
    void trackingCancel() override;

    QObject *mReceiver;
    std::unique_ptr<MouseCaptureRecord> mRecord;
    std::unique_ptr<MouseTrackingLoop> mLoop;
};

bool import_protocol_MouseCapture();
