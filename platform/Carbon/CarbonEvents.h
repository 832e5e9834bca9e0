// Carbon event loops: per-thread loops of timers.
//
// Every thread has its own event loop; the main loop is the main thread's. A timer belongs
// to one loop and fires only on that loop's thread, while the thread serves its loop
// (RunCurrentEventLoop, or a driver using the calls at the end of this header). Due timers
// fire earliest first (timers due at the same moment in the order they were installed). A
// repeating timer that fell behind fires once, not once for every interval it missed.
//
// Timers may be installed on any thread's loop from any thread. A callback may remove its
// own timer or any other, install timers, re-arm timers and run the loop again (a timer
// that is firing does not fire again inside its own callback). Once RemoveEventLoopTimer
// returns, the timer's callback is not running and will not run again: removing a timer
// from another thread while it fires waits for the callback to return (so its callback must
// not wait for the thread that removes it).
//
// When a thread ends, its loop and the timers on it go away; the main loop lives as long as
// the process.
#pragma once

#include <Carbon/MacErrors.h>

typedef struct OpaqueEventLoopRef *EventLoopRef;
typedef struct OpaqueEventLoopTimerRef *EventLoopTimerRef;

// Times in seconds.
typedef double EventTime;
typedef EventTime EventTimeout;
typedef EventTime EventTimerInterval;

constexpr EventTime kEventDurationSecond = 1.0;
constexpr EventTime kEventDurationMillisecond = kEventDurationSecond / 1000;
constexpr EventTime kEventDurationMicrosecond = kEventDurationSecond / 1000000;
constexpr EventTime kEventDurationNoWait = 0.0;
constexpr EventTime kEventDurationForever = -1.0;

typedef void (*EventLoopTimerProcPtr)(EventLoopTimerRef inTimer, void *inUserData);
typedef EventLoopTimerProcPtr EventLoopTimerUPP;  // a timer procedure is a plain function

inline EventLoopTimerUPP NewEventLoopTimerUPP(EventLoopTimerProcPtr proc) { return proc; }
inline void DisposeEventLoopTimerUPP(EventLoopTimerUPP) {}

// The calling thread's loop (made on first use).
EventLoopRef GetCurrentEventLoop();
// The main thread's loop, from any thread.
EventLoopRef GetMainEventLoop();

// Installs a timer on `loop` that first fires `fireDelay` seconds from now (negative, as
// kEventDurationForever, or infinite: not until re-armed with SetEventLoopTimerNextFireTime),
// then every `interval` seconds; an interval of 0 fires once. The timer is answered in
// *outTimer. A one-shot timer stays installed after it fired (it can be re-armed) until it is
// removed; one installed with a null outTimer, which nobody could remove, goes away once it
// fired. paramErr for a null or ended loop, a null procedure, a NaN delay, or an interval
// that is negative or not finite.
OSStatus InstallEventLoopTimer(EventLoopRef loop, EventTimerInterval fireDelay, EventTimerInterval interval,
                               EventLoopTimerUPP proc, void *userData, EventLoopTimerRef *outTimer);

// Removes the timer. paramErr for a timer that is not installed (removed already, or its
// loop's thread has ended).
OSStatus RemoveEventLoopTimer(EventLoopTimerRef timer);

// Re-arms the timer: it next fires `nextFire` seconds from now (negative or infinite: not
// until re-armed again), then goes on at its interval. Called from the timer's own callback
// it replaces the next firing the interval would have given. paramErr for a timer that is
// not installed or a NaN time.
OSStatus SetEventLoopTimerNextFireTime(EventLoopTimerRef timer, EventTimerInterval nextFire);

// Serves the calling thread's loop: fires its timers as they fall due, until `timeout`
// seconds have passed and every timer that fell due by then has fired (kEventDurationNoWait:
// only those due now; negative, as kEventDurationForever, or infinite: until QuitEventLoop).
// eventLoopTimedOutErr when the time ran out, eventLoopQuitErr when QuitEventLoop ended the
// run, paramErr for a NaN.
OSStatus RunCurrentEventLoop(EventTimeout timeout);

// Ends the innermost RunCurrentEventLoop of the loop; asked while the loop is not running,
// it ends the loop's next run at once. paramErr for a null or ended loop.
OSStatus QuitEventLoop(EventLoopRef loop);

// ----- Driving a loop from another event loop -----
//
// A program whose thread runs another event loop (the application's Qt loop on the main
// thread) serves its Carbon timers through these calls instead of RunCurrentEventLoop: it
// asks when the next timer is due, wakes up then and fires the due timers, and is told when
// a timer was armed so that it can wake up earlier.
namespace lumora::carbon {

// Seconds until the earliest armed timer of `loop` is due: 0 when one is due now,
// kEventDurationForever when none is armed (or the loop is null or has ended).
EventTimeout EventLoopTimeUntilNextTimer(EventLoopRef loop);

// Fires the timers of the calling thread's loop that are due now, each at most once, and
// answers how many fired. It does not wait.
long EventLoopFireDueTimers();

// Called whenever a timer of the loop was installed or re-armed, on the thread that did it
// and outside every lock of this layer; a driver reschedules its wake-up (from another
// thread, by posting to its own loop). A null proc removes the handler. paramErr for a null
// or ended loop.
typedef void (*EventLoopTimersChangedProc)(EventLoopRef loop, void *context);
OSStatus SetEventLoopTimersChangedHandler(EventLoopRef loop, EventLoopTimersChangedProc proc, void *context);

}  // namespace lumora::carbon
