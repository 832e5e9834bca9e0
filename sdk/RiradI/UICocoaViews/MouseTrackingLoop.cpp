#include "MouseTrackingLoop.h"

#include <QMouseEvent>

MouseTrackingLoop::MouseTrackingLoop(QWidget *widget, Client &client) : mWidget(widget), mClient(client) {}

MouseTrackingLoop::~MouseTrackingLoop() {
    if (mWidget) mWidget->removeEventFilter(this);
}

void MouseTrackingLoop::start() {
    if (mState != State::Off) cancel();
    if (!mWidget) return;
    ++mRun;
    mIdlePending = false;
    mState = State::Running;
    mWidget->installEventFilter(this);
}

void MouseTrackingLoop::stop() {
    mState = State::Off;
    mIdlePending = false;
    ++mRun;
    if (mWidget) mWidget->removeEventFilter(this);
}

void MouseTrackingLoop::cancel() {
    if (mState != State::Running) return;
    stop();
    mClient.trackingCancel();
}

void MouseTrackingLoop::scheduleIdle() {
    if (mIdlePending) return;
    mIdlePending = true;
    const quint64 run = mRun;
    QMetaObject::invokeMethod(
        this,
        [this, run] {
            if (run != mRun || mState != State::Running) return;
            mIdlePending = false;
            mClient.trackingIdle();
        },
        Qt::QueuedConnection);
}

bool MouseTrackingLoop::eventFilter(QObject *watched, QEvent *event) {
    if (watched != mWidget || mState != State::Running) return false;
    switch (event->type()) {
    case QEvent::MouseMove: {
        const auto &move = static_cast<const QMouseEvent &>(*event);
        if (!(move.buttons() & Qt::LeftButton)) {
            // The release went elsewhere.
            cancel();
            return false;
        }
        QPointer<MouseTrackingLoop> alive(this);
        mClient.trackingEvent(move, false);
        if (alive && mState == State::Running) scheduleIdle();
        return true;
    }
    case QEvent::MouseButtonRelease: {
        const auto &release = static_cast<const QMouseEvent &>(*event);
        if (release.button() != Qt::LeftButton) return false;
        // Hiding or closing the window from the last hooks does not cancel the ending loop.
        mState = State::Ending;
        mIdlePending = false;
        ++mRun;
        QPointer<MouseTrackingLoop> alive(this);
        mClient.trackingEvent(release, true);
        if (alive && mState == State::Ending) stop();
        return true;
    }
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
        // Another left press: the release of this one was lost. Other buttons pass by.
        if (static_cast<const QMouseEvent &>(*event).button() == Qt::LeftButton) cancel();
        return false;
    case QEvent::Hide:
        cancel();
        return false;
    default:
        return false;
    }
}
