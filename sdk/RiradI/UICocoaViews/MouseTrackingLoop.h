// MouseTrackingLoop: the event side of the modal mouse loops. Qt has no nested loop that pulls
// the drag and release events of one window, so a loop is a state machine fed by the widget's
// own events: from the press that starts it, an event filter on the widget takes every
// left-button drag and the left-button release (they reach neither the widget nor its parents),
// hands each to the client, and asks the client for one idle step after each burst of events
// (a queued call, so it runs once the events already waiting have been handled).
//
// The loop is cancelled, without a release, when the release can no longer come: the widget is
// hidden, a new left press reaches it (a popup or another grab took the release), or a drag arrives
// with the left button no longer held. Other events are not held back.
#pragma once

#include <QObject>
#include <QPointer>
#include <QWidget>

class QMouseEvent;

class MouseTrackingLoop final : public QObject {
public:
    class Client {
    public:
        // One pulled event: a left drag, or the left release (isUp), which ends the loop.
        virtual void trackingEvent(const QMouseEvent &event, bool isUp) = 0;
        // No further event is waiting.
        virtual void trackingIdle() = 0;
        // The loop ended without a release.
        virtual void trackingCancel() = 0;

    protected:
        ~Client() = default;
    };

    MouseTrackingLoop(QWidget *widget, Client &client);
    ~MouseTrackingLoop() override;

    // From a left press on the widget; a loop already running is cancelled first.
    void start();
    bool isRunning() const { return mState == State::Running; }
    // Ends a running loop without a release (trackingCancel).
    void cancel();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    enum class State { Off, Running, Ending };
    void stop();
    void scheduleIdle();

    QPointer<QWidget> mWidget;
    Client &mClient;
    State mState = State::Off;
    bool mIdlePending = false;
    quint64 mRun = 0;  // the loop a queued idle step belongs to
};
