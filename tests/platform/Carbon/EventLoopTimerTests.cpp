#include <gtest/gtest.h>

#include <Carbon/CarbonEvents.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <functional>
#include <future>
#include <limits>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// A timer's callback as a closure.
struct Probe {
    std::function<void(EventLoopTimerRef)> fire;
};

void FireProbe(EventLoopTimerRef timer, void *userData) { static_cast<Probe *>(userData)->fire(timer); }

const EventLoopTimerUPP kProbeUPP = NewEventLoopTimerUPP(FireProbe);

double Seconds(Clock::duration span) { return std::chrono::duration<double>(span).count(); }

// Installs timers and removes whatever is left of them at the end of the test.
class EventLoopTimerTest : public ::testing::Test {
protected:
    EventLoopTimerRef Install(Probe &probe, EventTimerInterval delay, EventTimerInterval interval,
                              EventLoopRef loop = GetCurrentEventLoop()) {
        EventLoopTimerRef timer = nullptr;
        EXPECT_EQ(InstallEventLoopTimer(loop, delay, interval, kProbeUPP, &probe, &timer), noErr);
        mTimers.push_back(timer);
        return timer;
    }

    void TearDown() override {
        for (EventLoopTimerRef timer : mTimers) RemoveEventLoopTimer(timer);
    }

    std::vector<EventLoopTimerRef> mTimers;
};

}  // namespace

TEST_F(EventLoopTimerTest, DueTimersFireEarliestFirst) {
    std::vector<std::string> order;
    Probe late{[&](EventLoopTimerRef) { order.push_back("300ms"); }};
    Probe early{[&](EventLoopTimerRef) { order.push_back("10ms"); }};
    Probe middle{[&](EventLoopTimerRef) { order.push_back("20ms"); }};
    Probe nowA{[&](EventLoopTimerRef) { order.push_back("now A"); }};
    Probe nowB{[&](EventLoopTimerRef) { order.push_back("now B"); }};
    // The latest is installed first and far ahead, and each later install is due later than
    // the ones before it, so that a busy machine stalling between two installs cannot
    // reorder their due times.
    Install(late, 300 * kEventDurationMillisecond, 0);
    Install(nowA, 0, 0);
    Install(nowB, 0, 0);
    Install(early, 10 * kEventDurationMillisecond, 0);
    Install(middle, 20 * kEventDurationMillisecond, 0);

    // Nothing fires outside a run of the loop.
    std::this_thread::sleep_for(350ms);
    EXPECT_TRUE(order.empty());

    EXPECT_EQ(RunCurrentEventLoop(kEventDurationNoWait), eventLoopTimedOutErr);
    EXPECT_EQ(order, (std::vector<std::string>{"now A", "now B", "10ms", "20ms", "300ms"}));
}

TEST_F(EventLoopTimerTest, RepeatingTimersFireAtTheirIntervalForTheWholeRun) {
    int firings = 0;
    EventLoopTimerRef seen = nullptr;
    Probe probe{[&](EventLoopTimerRef timer) {
        ++firings;
        seen = timer;
    }};
    EventLoopTimerRef timer = Install(probe, 0, 10 * kEventDurationMillisecond);
    const Clock::time_point start = Clock::now();
    EXPECT_EQ(RunCurrentEventLoop(0.105), eventLoopTimedOutErr);
    const double elapsed = Seconds(Clock::now() - start);
    EXPECT_GE(elapsed, 0.105);
    EXPECT_EQ(seen, timer);
    // Due at 0, 10, ... 100 ms: eleven firings when the machine keeps up, never more; at
    // least the first two however late the thread wakes.
    EXPECT_LE(firings, 11);
    EXPECT_GE(firings, 2);

    // A callback slower than the interval: each late firing is followed by one, not by a
    // burst for every interval missed (firings begin at 0, 30, 60, 90 and, for the firing
    // due at 95, 120 ms; twenty would fire if missed intervals were made up).
    firings = 0;
    Probe slow{[&](EventLoopTimerRef) {
        ++firings;
        std::this_thread::sleep_for(30ms);
    }};
    EXPECT_EQ(RemoveEventLoopTimer(timer), noErr);
    Install(slow, 0, 5 * kEventDurationMillisecond);
    EXPECT_EQ(RunCurrentEventLoop(0.1), eventLoopTimedOutErr);
    EXPECT_LE(firings, 5);
    EXPECT_GE(firings, 2);
}

TEST_F(EventLoopTimerTest, OneShotTimers) {
    int firings = 0;
    Probe probe{[&](EventLoopTimerRef) { ++firings; }};
    EventLoopTimerRef timer = Install(probe, 5 * kEventDurationMillisecond, 0);
    EXPECT_EQ(RunCurrentEventLoop(0.05), eventLoopTimedOutErr);
    EXPECT_EQ(firings, 1);

    // Still installed: it can be armed again.
    EXPECT_EQ(SetEventLoopTimerNextFireTime(timer, 0), noErr);
    EXPECT_EQ(RunCurrentEventLoop(0.02), eventLoopTimedOutErr);
    EXPECT_EQ(firings, 2);
    EXPECT_EQ(SetEventLoopTimerNextFireTime(timer, kEventDurationForever), noErr);
    EXPECT_EQ(RunCurrentEventLoop(0.02), eventLoopTimedOutErr);
    EXPECT_EQ(firings, 2);
    EXPECT_EQ(RemoveEventLoopTimer(timer), noErr);
    EXPECT_EQ(RemoveEventLoopTimer(timer), paramErr);

    // Installed without keeping a reference: gone once it fired.
    EventLoopTimerRef anonymous = nullptr;
    Probe once{[&](EventLoopTimerRef self) {
        ++firings;
        anonymous = self;
    }};
    ASSERT_EQ(InstallEventLoopTimer(GetCurrentEventLoop(), 0, 0, kProbeUPP, &once, nullptr), noErr);
    EXPECT_EQ(RunCurrentEventLoop(0.02), eventLoopTimedOutErr);
    EXPECT_EQ(firings, 3);
    ASSERT_NE(anonymous, nullptr);
    EXPECT_EQ(RemoveEventLoopTimer(anonymous), paramErr);
}

TEST_F(EventLoopTimerTest, CallbacksMayRemoveAndRearmTimers) {
    // Removes itself on its third firing, and a timer that would fire later, then ends the run.
    int selfFirings = 0, otherFirings = 0;
    Probe other{[&](EventLoopTimerRef) { ++otherFirings; }};
    EventLoopTimerRef otherTimer = Install(other, 2, 0);
    Probe self{[&](EventLoopTimerRef timer) {
        if (++selfFirings == 3) {
            EXPECT_EQ(RemoveEventLoopTimer(timer), noErr);
            EXPECT_EQ(RemoveEventLoopTimer(otherTimer), noErr);
            QuitEventLoop(GetCurrentEventLoop());
        }
    }};
    EventLoopTimerRef selfTimer = Install(self, 0, 5 * kEventDurationMillisecond);
    EXPECT_EQ(RunCurrentEventLoop(10), eventLoopQuitErr);
    EXPECT_EQ(RunCurrentEventLoop(0.02), eventLoopTimedOutErr);
    EXPECT_EQ(selfFirings, 3);
    EXPECT_EQ(otherFirings, 0);
    EXPECT_EQ(RemoveEventLoopTimer(selfTimer), paramErr);
    EXPECT_EQ(RemoveEventLoopTimer(otherTimer), paramErr);

    // Re-arming from the callback replaces the next firing the (long) interval would give.
    int rearmed = 0;
    Probe quick{[&](EventLoopTimerRef timer) {
        if (++rearmed < 3) {
            EXPECT_EQ(SetEventLoopTimerNextFireTime(timer, kEventDurationMillisecond), noErr);
        } else {
            QuitEventLoop(GetCurrentEventLoop());
        }
    }};
    Install(quick, 0, 3600);
    const Clock::time_point start = Clock::now();
    EXPECT_EQ(RunCurrentEventLoop(10), eventLoopQuitErr);
    EXPECT_EQ(rearmed, 3);
    EXPECT_LT(Seconds(Clock::now() - start), 5.0);

    // A callback that runs the loop: other timers fire inside, its own does not again.
    int outer = 0, inner = 0;
    Probe innerProbe{[&](EventLoopTimerRef) { ++inner; }};
    Probe outerProbe{[&](EventLoopTimerRef) {
        ++outer;
        Install(innerProbe, 0, 0);
        EXPECT_EQ(RunCurrentEventLoop(0.02), eventLoopTimedOutErr);
    }};
    Install(outerProbe, 0, kEventDurationMillisecond);
    EXPECT_EQ(RunCurrentEventLoop(kEventDurationNoWait), eventLoopTimedOutErr);
    EXPECT_EQ(outer, 1);
    EXPECT_EQ(inner, 1);
}

TEST_F(EventLoopTimerTest, TimersFireOnlyOnTheirLoopsThread) {
    const std::thread::id self = std::this_thread::get_id();
    std::promise<EventLoopRef> loopOfWorker;
    std::promise<void> installed;
    std::atomic<bool> runWorker{false};
    std::thread::id workerFiredOn, mainFiredOn;
    std::atomic<int> workerFirings{0}, mainFirings{0};
    Probe onWorker{[&](EventLoopTimerRef) {
        workerFiredOn = std::this_thread::get_id();
        ++workerFirings;
    }};
    Probe onMain{[&](EventLoopTimerRef) {
        mainFiredOn = std::this_thread::get_id();
        ++mainFirings;
    }};

    EventLoopTimerRef fromWorker = nullptr;
    std::thread worker([&] {
        loopOfWorker.set_value(GetCurrentEventLoop());
        // A timer the worker installs on the main loop.
        EXPECT_EQ(InstallEventLoopTimer(GetMainEventLoop(), 0, 0, kProbeUPP, &onMain, &fromWorker), noErr);
        installed.set_value();
        while (!runWorker) std::this_thread::sleep_for(1ms);
        EXPECT_EQ(RunCurrentEventLoop(0.05), eventLoopTimedOutErr);
    });
    const EventLoopRef workerLoop = loopOfWorker.get_future().get();
    EXPECT_NE(workerLoop, GetCurrentEventLoop());
    EXPECT_EQ(GetMainEventLoop(), GetCurrentEventLoop());
    installed.get_future().wait();
    EventLoopTimerRef onWorkerTimer = Install(onWorker, 0, 0, workerLoop);

    EXPECT_EQ(RunCurrentEventLoop(0.03), eventLoopTimedOutErr);
    EXPECT_EQ(mainFirings, 1);
    EXPECT_EQ(mainFiredOn, self);
    EXPECT_EQ(workerFirings, 0) << "a timer of the worker's loop fired on the main thread";

    runWorker = true;
    worker.join();
    EXPECT_EQ(workerFirings, 1);
    EXPECT_NE(workerFiredOn, self);
    RemoveEventLoopTimer(fromWorker);

    // The worker has ended: its loop and timers are gone.
    EXPECT_EQ(RemoveEventLoopTimer(onWorkerTimer), paramErr);
    EventLoopTimerRef timer = nullptr;
    EXPECT_EQ(InstallEventLoopTimer(workerLoop, 0, 0, kProbeUPP, &onWorker, &timer), paramErr);
    EXPECT_EQ(QuitEventLoop(workerLoop), paramErr);
}

// Once RemoveEventLoopTimer returns, the callback is not running, so its data may go.
TEST_F(EventLoopTimerTest, RemovingFromAnotherThreadWaitsForAFiringCallback) {
    std::atomic<bool> inCallback{false}, callbackDone{false};
    Probe slow{[&](EventLoopTimerRef) {
        inCallback = true;
        std::this_thread::sleep_for(50ms);
        callbackDone = true;
    }};
    EventLoopTimerRef timer = Install(slow, 0, 0.001);
    std::atomic<bool> doneWhenRemoved{false};
    std::thread remover([&] {
        while (!inCallback) std::this_thread::sleep_for(1ms);
        EXPECT_EQ(RemoveEventLoopTimer(timer), noErr);
        doneWhenRemoved = bool(callbackDone);
    });
    EXPECT_EQ(RunCurrentEventLoop(0.1), eventLoopTimedOutErr);
    remover.join();
    EXPECT_TRUE(doneWhenRemoved);
}

TEST_F(EventLoopTimerTest, QuittingEndsARun) {
    // From a callback of the loop.
    Probe quit{[&](EventLoopTimerRef) { EXPECT_EQ(QuitEventLoop(GetCurrentEventLoop()), noErr); }};
    Install(quit, 0.01, 0);
    Clock::time_point start = Clock::now();
    EXPECT_EQ(RunCurrentEventLoop(kEventDurationForever), eventLoopQuitErr);
    EXPECT_LT(Seconds(Clock::now() - start), 5.0);

    // From another thread, while the loop waits with no timer at all.
    std::thread quitter([] {
        std::this_thread::sleep_for(20ms);
        EXPECT_EQ(QuitEventLoop(GetMainEventLoop()), noErr);
    });
    start = Clock::now();
    EXPECT_EQ(RunCurrentEventLoop(60), eventLoopQuitErr);
    quitter.join();
    EXPECT_LT(Seconds(Clock::now() - start), 5.0);

    // Asked before the run: the next run ends at once, the one after runs its time.
    EXPECT_EQ(QuitEventLoop(GetCurrentEventLoop()), noErr);
    EXPECT_EQ(RunCurrentEventLoop(60), eventLoopQuitErr);
    EXPECT_EQ(RunCurrentEventLoop(0.01), eventLoopTimedOutErr);
}

// An outside loop (the application's) serving the timers through the driver calls.
TEST_F(EventLoopTimerTest, AnotherLoopCanDriveTheTimers) {
    const EventLoopRef loop = GetCurrentEventLoop();
    EXPECT_EQ(lumora::carbon::EventLoopTimeUntilNextTimer(loop), kEventDurationForever);
    EXPECT_EQ(lumora::carbon::EventLoopFireDueTimers(), 0);

    struct Changes {
        std::mutex mutex;
        std::vector<EventLoopRef> loops;
    } changes;
    auto noteChange = [](EventLoopRef changed, void *context) {
        auto *c = static_cast<Changes *>(context);
        std::lock_guard<std::mutex> lock(c->mutex);
        c->loops.push_back(changed);
    };
    ASSERT_EQ(lumora::carbon::SetEventLoopTimersChangedHandler(loop, noteChange, &changes), noErr);

    int firings = 0;
    Probe probe{[&](EventLoopTimerRef) { ++firings; }};
    Install(probe, 0.3, 0.01);
    const EventTimeout wait = lumora::carbon::EventLoopTimeUntilNextTimer(loop);
    EXPECT_GT(wait, 0.0);
    EXPECT_LE(wait, 0.3);
    EXPECT_EQ(lumora::carbon::EventLoopFireDueTimers(), 0) << "not due yet";

    // A timer armed from another thread tells the driver, which wakes up earlier.
    std::thread([&] { Install(probe, 0, 0, loop); }).join();
    {
        std::lock_guard<std::mutex> lock(changes.mutex);
        EXPECT_EQ(changes.loops, (std::vector<EventLoopRef>{loop, loop}));
    }
    EXPECT_EQ(lumora::carbon::EventLoopTimeUntilNextTimer(loop), 0.0);
    EXPECT_EQ(lumora::carbon::EventLoopFireDueTimers(), 1);

    // The driver's own loop: sleep until the next timer, fire what is due.
    const Clock::time_point start = Clock::now();
    while (firings < 4 && Clock::now() - start < 5s) {
        const EventTimeout next = lumora::carbon::EventLoopTimeUntilNextTimer(loop);
        ASSERT_GE(next, 0.0);
        std::this_thread::sleep_for(std::chrono::duration<double>(next));
        lumora::carbon::EventLoopFireDueTimers();
    }
    EXPECT_EQ(firings, 4);

    EXPECT_EQ(lumora::carbon::SetEventLoopTimersChangedHandler(loop, nullptr, nullptr), noErr);
    EXPECT_EQ(lumora::carbon::SetEventLoopTimersChangedHandler(nullptr, noteChange, &changes), paramErr);
    EXPECT_EQ(lumora::carbon::EventLoopTimeUntilNextTimer(nullptr), kEventDurationForever);
}

TEST_F(EventLoopTimerTest, ArgumentErrors) {
    Probe probe{[](EventLoopTimerRef) {}};
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    const struct {
        const char *what;
        EventLoopRef loop;
        double delay, interval;
        EventLoopTimerUPP proc;
    } cases[] = {
        {"null loop", nullptr, 0, 0, kProbeUPP},
        {"unknown loop", reinterpret_cast<EventLoopRef>(uintptr_t(0xFFFFFF)), 0, 0, kProbeUPP},
        {"null procedure", GetCurrentEventLoop(), 0, 0, nullptr},
        {"NaN delay", GetCurrentEventLoop(), nan, 0, kProbeUPP},
        {"negative interval", GetCurrentEventLoop(), 0, -0.5, kProbeUPP},
        {"NaN interval", GetCurrentEventLoop(), 0, nan, kProbeUPP},
        {"infinite interval", GetCurrentEventLoop(), 0, inf, kProbeUPP},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        EventLoopTimerRef timer = nullptr;
        EXPECT_EQ(InstallEventLoopTimer(c.loop, c.delay, c.interval, c.proc, &probe, &timer), paramErr);
        EXPECT_EQ(timer, nullptr);
    }
    EXPECT_EQ(RemoveEventLoopTimer(nullptr), paramErr);
    EXPECT_EQ(RemoveEventLoopTimer(reinterpret_cast<EventLoopTimerRef>(uintptr_t(0xABCDEF))), paramErr);
    EXPECT_EQ(SetEventLoopTimerNextFireTime(nullptr, 0), paramErr);
    EXPECT_EQ(RunCurrentEventLoop(nan), paramErr);
    EXPECT_EQ(QuitEventLoop(nullptr), paramErr);

    // An infinite first delay: installed, never fires until armed.
    int firings = 0;
    Probe counted{[&](EventLoopTimerRef) { ++firings; }};
    EventLoopTimerRef timer = Install(counted, inf, 0);
    EXPECT_EQ(SetEventLoopTimerNextFireTime(timer, nan), paramErr);
    EXPECT_EQ(RunCurrentEventLoop(0.01), eventLoopTimedOutErr);
    EXPECT_EQ(firings, 0);
    EXPECT_EQ(SetEventLoopTimerNextFireTime(timer, 0), noErr);
    EXPECT_EQ(RunCurrentEventLoop(0.01), eventLoopTimedOutErr);
    EXPECT_EQ(firings, 1);
}
