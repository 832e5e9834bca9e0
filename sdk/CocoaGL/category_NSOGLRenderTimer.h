// NSTimer(NSOGLRenderTimer): the repeating timer that paces rendering.
//
// A render timer sends its target's method (a slot or Q_INVOKABLE method without arguments,
// named without signature: "renderTimerFired") every 1 / fps seconds on the thread that made
// it, until it is invalidated or destroyed; the caller owns the timer.
//
// Run-loop modes. The timer is meant to keep firing in the default mode, while a modal panel
// runs and while a control tracks the mouse. Qt has one timer list per thread, served by every
// event loop running on that thread: QDialog::exec, QMenu::exec (menu tracking) and QDrag::exec
// run nested QEventLoops that dispatch the same timers as the main loop, and a slider drag is
// tracked with ordinary mouse events in whatever loop runs. So one Qt timer, started on the
// caller's thread, covers the three modes; nothing is registered per mode.
//
// Rate. Qt timers count whole milliseconds, and 1 / 120 s is not one. The timer keeps its own
// schedule on the steady clock (the n-th fire is due at start + n / fps) and arms a precise
// single-shot Qt timer for the time left to the next due point, so the rate holds on average
// (8 and 9 ms turns at 120 frames per second). A fire that comes late is not made up: due points
// already past are skipped, as a run-loop timer skips them.
#pragma once

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QTimer>

#include <chrono>
#include <cstdint>
#include <memory>

class NSOGLRenderTimer;
namespace category_NSOGLRenderTimer {
std::unique_ptr<NSOGLRenderTimer> renderTimerWithFPS(double fps, QObject *target, const char *method);
}

class NSOGLRenderTimer : public QObject {
    Q_OBJECT

public:
    ~NSOGLRenderTimer() override;

    // The interval in seconds (1 / fps).
    double timeInterval() const { return mInterval.count(); }
    bool isValid() const { return mValid; }
    // Stops the timer for good (it never fires again).
    void invalidate();
    // How often the target was sent the method.
    uint64_t fireCount() const { return mFireCount; }

private:
    friend std::unique_ptr<NSOGLRenderTimer> category_NSOGLRenderTimer::renderTimerWithFPS(double, QObject *,
                                                                                      const char *);
    NSOGLRenderTimer(std::chrono::duration<double> interval, QObject *target, int methodIndex);
    void arm();
    void fire();

    std::chrono::duration<double> mInterval;
    QPointer<QObject> mTarget;
    int mMethodIndex;
    QTimer mTimer;
    std::chrono::steady_clock::time_point mStart;
    uint64_t mTick = 0;  // the due point armed for: mStart + mTick * mInterval
    uint64_t mFireCount = 0;
    bool mValid = true;
};

namespace category_NSOGLRenderTimer {

// A started repeating render timer with the interval 1 / fps seconds that calls `method` of
// `target`. Null for a frame rate that is not a finite number above 0 (or that gives an
// interval below a microsecond), a null target, or a target without such a method.
std::unique_ptr<NSOGLRenderTimer> renderTimerWithFPS(double fps, QObject *target, const char *method);

}  // namespace category_NSOGLRenderTimer

bool import_category_NSOGLRenderTimer();
