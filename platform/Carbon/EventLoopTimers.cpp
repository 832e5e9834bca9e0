// Event loops and their timers. All loops share one registry under one mutex: few timers
// exist, and one lock keeps installing and removing from other threads simple. Loop and
// timer references are ids (never reused) rather than pointers, so a stale reference is
// answered with paramErr instead of touching freed memory.
#include <Carbon/CarbonEvents.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>
#include <unistd.h>
#include <unordered_map>
#include <vector>

namespace lumora::carbon {

namespace {

using Clock = std::chrono::steady_clock;

// Longer times than this (about 31 years) count as never.
constexpr double kLongestSeconds = 1e9;
constexpr UInt64 kMainLoopID = 1;

struct Timer {
    UInt64 id = 0;
    EventLoopTimerUPP proc = nullptr;
    void *userData = nullptr;
    bool armed = false;  // `next` is meaningful
    Clock::time_point next;
    Clock::duration interval{};  // zero: fires once
    bool removeAfterFiring = false;  // a one-shot timer nobody holds a reference to
    bool installed = true;
    bool firing = false;
    std::thread::id firingThread;
};

struct Loop {
    std::condition_variable wake;  // a timer was armed, or the loop was asked to quit
    std::vector<std::shared_ptr<Timer>> timers;  // in the order they were installed
    bool quit = false;
    EventLoopTimersChangedProc changed = nullptr;
    void *changedContext = nullptr;
};

EventLoopRef LoopRef(UInt64 id) { return reinterpret_cast<EventLoopRef>(uintptr_t(id)); }
UInt64 LoopID(EventLoopRef ref) { return UInt64(reinterpret_cast<uintptr_t>(ref)); }
EventLoopTimerRef TimerRef(UInt64 id) { return reinterpret_cast<EventLoopTimerRef>(uintptr_t(id)); }
UInt64 TimerID(EventLoopTimerRef ref) { return UInt64(reinterpret_cast<uintptr_t>(ref)); }

// Seconds as a clock duration; false for NaN, a negative time or one past kLongestSeconds
// (infinity included), which the callers read as "never".
bool FiniteDelay(double seconds, Clock::duration &out) {
    if (!(seconds >= 0.0 && seconds <= kLongestSeconds)) return false;
    out = std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
    return true;
}

class Registry {
public:
    static Registry &Shared() {
        static Registry *registry = new Registry;  // never destroyed: threads may end during exit
        return *registry;
    }

    std::mutex mutex;
    std::condition_variable fired;  // a callback returned

    // With the lock held: the loop of an id, or null.
    Loop *find(UInt64 id) {
        if (id == kMainLoopID) return &mainLoop();
        auto found = mLoops.find(id);
        return found == mLoops.end() ? nullptr : found->second.get();
    }

    std::shared_ptr<Timer> findTimer(UInt64 id) {
        auto found = mTimers.find(id);
        return found == mTimers.end() ? nullptr : found->second.second;
    }
    // The id of the timer's loop, 0 for a timer not installed.
    UInt64 loopOfTimer(UInt64 id) {
        auto found = mTimers.find(id);
        return found == mTimers.end() ? 0 : found->second.first;
    }

    UInt64 newLoop() {
        std::lock_guard<std::mutex> lock(mutex);
        const UInt64 id = mNextLoopID++;
        mLoops.emplace(id, std::make_unique<Loop>());
        return id;
    }

    // A thread ended: its loop and timers go.
    void dropLoop(UInt64 id) {
        std::lock_guard<std::mutex> lock(mutex);
        auto found = mLoops.find(id);
        if (found == mLoops.end()) return;
        for (const auto &timer : found->second->timers) {
            timer->installed = false;
            mTimers.erase(timer->id);
        }
        mLoops.erase(found);
    }

    std::shared_ptr<Timer> addTimer(UInt64 loopID, Loop &loop) {
        auto timer = std::make_shared<Timer>();
        timer->id = mNextTimerID++;
        loop.timers.push_back(timer);
        mTimers.emplace(timer->id, std::make_pair(loopID, timer));
        return timer;
    }

    // With the lock held: takes the timer off its loop.
    void removeTimer(Loop &loop, const std::shared_ptr<Timer> &timer) {
        timer->installed = false;
        mTimers.erase(timer->id);
        for (auto it = loop.timers.begin(); it != loop.timers.end(); ++it) {
            if (*it == timer) {
                loop.timers.erase(it);
                break;
            }
        }
    }

private:
    Loop &mainLoop() {
        if (mMain == nullptr) mMain = std::make_unique<Loop>();
        return *mMain;
    }

    std::unique_ptr<Loop> mMain;
    std::unordered_map<UInt64, std::unique_ptr<Loop>> mLoops;
    std::unordered_map<UInt64, std::pair<UInt64, std::shared_ptr<Timer>>> mTimers;  // id: loop id, timer
    UInt64 mNextLoopID = kMainLoopID + 1;
    UInt64 mNextTimerID = 1;
};

// The calling thread's loop id (0 before the first use). Trivially destructible, so that it
// can still be read while the thread's other thread-local objects are destroyed.
thread_local UInt64 tLoopID = 0;

// Drops the loop of a thread other than the main thread when the thread ends.
struct ThreadLoopOwner {
    ~ThreadLoopOwner() {
        if (tLoopID > kMainLoopID) Registry::Shared().dropLoop(tLoopID);
    }
};

UInt64 CurrentLoopID() {
    if (tLoopID == 0) {
        if (::gettid() == ::getpid()) {
            tLoopID = kMainLoopID;
        } else {
            static thread_local ThreadLoopOwner owner;
            tLoopID = Registry::Shared().newLoop();
        }
    }
    return tLoopID;
}

// With the lock held: the earliest armed timer of the loop that is not firing now (a
// callback that runs the loop does not fire its own timer again).
std::shared_ptr<Timer> EarliestTimer(const Loop &loop, bool includeFiring) {
    std::shared_ptr<Timer> earliest;
    for (const auto &timer : loop.timers)
        if (timer->armed && (includeFiring || !timer->firing) && (earliest == nullptr || timer->next < earliest->next))
            earliest = timer;
    return earliest;
}

// With the lock held on entry and on return: fires one due timer of `loop`.
void Fire(std::unique_lock<std::mutex> &lock, Registry &registry, Loop &loop, const std::shared_ptr<Timer> &timer,
          Clock::time_point now) {
    timer->firing = true;
    timer->firingThread = std::this_thread::get_id();
    if (timer->interval == Clock::duration::zero()) {
        timer->armed = false;
    } else {
        timer->next += timer->interval;
        if (timer->next <= now) timer->next = now + timer->interval;  // fell behind: once, not once per interval
    }
    const EventLoopTimerUPP proc = timer->proc;
    void *const userData = timer->userData;
    lock.unlock();
    proc(TimerRef(timer->id), userData);
    lock.lock();
    timer->firing = false;
    // The loop is still there (only its own thread, which ran the callback, can end it);
    // the callback may have removed the timer, which `installed` tells.
    if (timer->installed && timer->removeAfterFiring && !timer->armed) registry.removeTimer(loop, timer);
    registry.fired.notify_all();
}

// With the lock held: fires the loop's timers that are due and fell due at or before `limit`,
// earliest first, until none is left (or, with stopOnQuit, until the loop is asked to quit).
// A firing reschedules its timer after the moment it began, so each timer fires at most once
// after `limit`. Answers how many fired.
long FireDue(std::unique_lock<std::mutex> &lock, Registry &registry, UInt64 loopID, Clock::time_point limit,
             bool stopOnQuit) {
    long firings = 0;
    for (;;) {
        Loop *loop = registry.find(loopID);
        if (loop == nullptr || (stopOnQuit && loop->quit)) break;
        const Clock::time_point now = Clock::now();
        const std::shared_ptr<Timer> timer = EarliestTimer(*loop, false);
        if (timer == nullptr || timer->next > now || timer->next > limit) break;
        Fire(lock, registry, *loop, timer, now);
        ++firings;
    }
    return firings;
}

struct ChangedCall {
    EventLoopTimersChangedProc proc = nullptr;
    void *context = nullptr;
    UInt64 loopID = 0;
    void operator()() const {
        if (proc != nullptr) proc(LoopRef(loopID), context);
    }
};

}  // namespace

EventTimeout EventLoopTimeUntilNextTimer(EventLoopRef ref) {
    Registry &registry = Registry::Shared();
    std::lock_guard<std::mutex> lock(registry.mutex);
    const Loop *loop = registry.find(LoopID(ref));
    if (loop == nullptr) return kEventDurationForever;
    const std::shared_ptr<Timer> timer = EarliestTimer(*loop, true);
    if (timer == nullptr) return kEventDurationForever;
    const double seconds = std::chrono::duration<double>(timer->next - Clock::now()).count();
    return seconds > 0.0 ? seconds : 0.0;
}

long EventLoopFireDueTimers() {
    const UInt64 loopID = CurrentLoopID();
    Registry &registry = Registry::Shared();
    std::unique_lock<std::mutex> lock(registry.mutex);
    return FireDue(lock, registry, loopID, Clock::now(), false);
}

OSStatus SetEventLoopTimersChangedHandler(EventLoopRef ref, EventLoopTimersChangedProc proc, void *context) {
    Registry &registry = Registry::Shared();
    std::lock_guard<std::mutex> lock(registry.mutex);
    Loop *loop = registry.find(LoopID(ref));
    if (loop == nullptr) return paramErr;
    loop->changed = proc;
    loop->changedContext = proc != nullptr ? context : nullptr;
    return noErr;
}

}  // namespace lumora::carbon

using namespace lumora::carbon;

EventLoopRef GetCurrentEventLoop() { return LoopRef(CurrentLoopID()); }

EventLoopRef GetMainEventLoop() { return LoopRef(kMainLoopID); }

OSStatus InstallEventLoopTimer(EventLoopRef ref, EventTimerInterval fireDelay, EventTimerInterval interval,
                               EventLoopTimerUPP proc, void *userData, EventLoopTimerRef *outTimer) {
    if (proc == nullptr || std::isnan(fireDelay) || !(interval >= 0.0) || !std::isfinite(interval)) return paramErr;
    Clock::duration delay{}, period{};
    const bool armed = FiniteDelay(fireDelay, delay);
    FiniteDelay(std::min(interval, kLongestSeconds), period);

    Registry &registry = Registry::Shared();
    ChangedCall changed;
    {
        std::lock_guard<std::mutex> lock(registry.mutex);
        const UInt64 loopID = LoopID(ref);
        Loop *loop = registry.find(loopID);
        if (loop == nullptr) return paramErr;
        const std::shared_ptr<Timer> timer = registry.addTimer(loopID, *loop);
        timer->proc = proc;
        timer->userData = userData;
        timer->armed = armed;
        timer->next = Clock::now() + delay;
        timer->interval = period;
        timer->removeAfterFiring = outTimer == nullptr && period == Clock::duration::zero();
        if (outTimer != nullptr) *outTimer = TimerRef(timer->id);
        if (armed) {
            loop->wake.notify_all();
            changed = {loop->changed, loop->changedContext, loopID};
        }
    }
    changed();
    return noErr;
}

OSStatus RemoveEventLoopTimer(EventLoopTimerRef ref) {
    Registry &registry = Registry::Shared();
    std::unique_lock<std::mutex> lock(registry.mutex);
    const UInt64 id = TimerID(ref);
    const std::shared_ptr<Timer> timer = registry.findTimer(id);
    Loop *loop = registry.find(registry.loopOfTimer(id));
    if (timer == nullptr || loop == nullptr) return paramErr;
    registry.removeTimer(*loop, timer);
    loop->wake.notify_all();
    if (timer->firing && timer->firingThread != std::this_thread::get_id())
        registry.fired.wait(lock, [&timer] { return !timer->firing; });
    return noErr;
}

OSStatus SetEventLoopTimerNextFireTime(EventLoopTimerRef ref, EventTimerInterval nextFire) {
    if (std::isnan(nextFire)) return paramErr;
    Clock::duration delay{};
    const bool armed = FiniteDelay(nextFire, delay);
    Registry &registry = Registry::Shared();
    ChangedCall changed;
    {
        std::lock_guard<std::mutex> lock(registry.mutex);
        const UInt64 id = TimerID(ref);
        const std::shared_ptr<Timer> timer = registry.findTimer(id);
        const UInt64 loopID = registry.loopOfTimer(id);
        Loop *loop = registry.find(loopID);
        if (timer == nullptr || loop == nullptr) return paramErr;
        timer->armed = armed;
        timer->next = Clock::now() + delay;
        if (armed) {
            loop->wake.notify_all();
            changed = {loop->changed, loop->changedContext, loopID};
        }
    }
    changed();
    return noErr;
}

OSStatus RunCurrentEventLoop(EventTimeout timeout) {
    if (std::isnan(timeout)) return paramErr;
    Clock::duration span{};
    const bool forever = !FiniteDelay(timeout, span);
    const Clock::time_point deadline = forever ? Clock::time_point::max() : Clock::now() + span;
    const UInt64 loopID = CurrentLoopID();
    Registry &registry = Registry::Shared();
    std::unique_lock<std::mutex> lock(registry.mutex);
    for (;;) {
        FireDue(lock, registry, loopID, deadline, true);
        Loop *loop = registry.find(loopID);
        if (loop == nullptr) return paramErr;  // the thread is ending
        if (loop->quit) {
            loop->quit = false;
            return eventLoopQuitErr;
        }
        const Clock::time_point now = Clock::now();
        if (now >= deadline) return eventLoopTimedOutErr;
        const std::shared_ptr<Timer> timer = EarliestTimer(*loop, false);
        const Clock::time_point wake = timer != nullptr && timer->next < deadline ? timer->next : deadline;
        if (wake == Clock::time_point::max()) loop->wake.wait(lock);
        else loop->wake.wait_until(lock, wake);
    }
}

OSStatus QuitEventLoop(EventLoopRef ref) {
    Registry &registry = Registry::Shared();
    std::lock_guard<std::mutex> lock(registry.mutex);
    Loop *loop = registry.find(LoopID(ref));
    if (loop == nullptr) return paramErr;
    loop->quit = true;
    loop->wake.notify_all();
    return noErr;
}
