#include <CoreQ/CarbTimer.h>

#include <cmath>

#include <CoreX/CoreMachDebugLog.h>

CarbTimer::~CarbTimer() { Remove(); }

EventLoopTimerUPP CarbTimer::TimerUPP() {
    static const EventLoopTimerUPP sTimerUPP = NewEventLoopTimerUPP(&CarbTimer::TimerProc);
    return sTimerUPP;
}

void CarbTimer::TimerProc(EventLoopTimerRef, void *inUserData) { static_cast<CarbTimer *>(inUserData)->Fire(); }

bool CarbTimer::Install(EventTimerInterval inFirstDelay, EventTimerInterval inInterval) {
    Remove();
    // This timer cannot be re-armed later, so a delay that never comes is refused.
    if (!VERIFY(std::isfinite(inFirstDelay) && inFirstDelay >= 0.0)) return false;
    EventLoopTimerRef timer = nullptr;
    if (VERIFY_OSERR(InstallEventLoopTimer(GetCurrentEventLoop(), inFirstDelay, inInterval, TimerUPP(), this,
                                           &timer)) != noErr)
        return false;
    mTimerRef = timer;
    return true;
}

void CarbTimer::Remove() {
    if (mTimerRef == nullptr) return;
    EventLoopTimerRef timer = mTimerRef;
    mTimerRef = nullptr;
    // paramErr only when the loop's thread has ended, which took the timer with it.
    RemoveEventLoopTimer(timer);
}
