// CarbTimer: a repeating timer on the Carbon event loop of the thread that installs it.
//
// The timer is an EventLoopTimerRef of the Carbon layer (Carbon/CarbonEvents.h): it fires
// only on the installing thread, while that thread serves its loop (RunCurrentEventLoop, or
// the application's driver of the main loop). Every CarbTimer shares one timer procedure,
// made once per process, which calls the object's Fire.
//
// A timer may be removed or destroyed from its own Fire and from any other code of its
// thread; removing it from another thread while it fires waits until Fire returns.
#pragma once

#include <Carbon/CarbonEvents.h>

class CarbTimer {
public:
    CarbTimer() : mTimerRef(nullptr) {}
    // Removes the timer when installed.
    virtual ~CarbTimer();
    CarbTimer(const CarbTimer &) = delete;
    CarbTimer &operator=(const CarbTimer &) = delete;

    // Installs the timer on the calling thread's event loop, in place of an earlier
    // installation: first firing after firstDelay seconds, then every interval seconds (once,
    // when interval is 0; the timer stays installed until removed). A negative or infinite
    // delay, or an interval the event loop refuses, is reported and answers false, with the
    // timer not installed.
    bool Install(EventTimerInterval inFirstDelay, EventTimerInterval inInterval);
    // Takes the timer off its loop; nothing when not installed.
    void Remove();
    bool IsInstalled() const { return mTimerRef != nullptr; }

protected:
    virtual void Fire() = 0;

private:
    static void TimerProc(EventLoopTimerRef inTimer, void *inUserData);
    static EventLoopTimerUPP TimerUPP();

    EventLoopTimerRef mTimerRef;  // null when not installed
};

// A timer that calls its owner's Idle() each time it fires.
template <class T>
class T_ThisCarbTimer : public CarbTimer {
public:
    explicit T_ThisCarbTimer(T *inThis) : mThis(inThis) {}
    // Removed here already, so that it cannot fire between this destructor and the base's.
    ~T_ThisCarbTimer() override { Remove(); }

protected:
    void Fire() override { mThis->Idle(); }

private:
    T *mThis;
};
