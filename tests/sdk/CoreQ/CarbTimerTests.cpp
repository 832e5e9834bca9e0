// Timers on the Carbon event loop: firing while the loop is served, replacing and removing
// the event-loop timer, removal and destruction while firing.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <functional>
#include <memory>
#include <thread>

#include <Carbon/CarbonEvents.h>
#include <CoreQ/CarbTimer.h>

#include "sdk/CoreX/CoreMachDebugLogTestSupport.h"

namespace {

class LambdaTimer : public CarbTimer {
public:
    std::function<void()> onFire;
    std::atomic<int> fired{0};

protected:
    void Fire() override {
        ++fired;
        if (onFire) onFire();
    }
};

// No timer is left armed on the calling thread's event loop.
bool LoopHasNoTimer() {
    return lumora::carbon::EventLoopTimeUntilNextTimer(GetCurrentEventLoop()) == kEventDurationForever;
}

using CarbTimerTest = corex_test::DebugLogFileTest;

TEST_F(CarbTimerTest, RepeatsWhileTheLoopRunsAndStopsOnceRemoved) {
    LambdaTimer timer;
    ASSERT_TRUE(timer.Install(0.0, 0.01));
    EXPECT_TRUE(timer.IsInstalled());
    EXPECT_EQ(timer.fired, 0);  // nothing fires while the loop is not served
    EXPECT_EQ(RunCurrentEventLoop(0.1), eventLoopTimedOutErr);
    EXPECT_GE(timer.fired, 3);
    EXPECT_LE(timer.fired, 11);
    timer.Remove();
    EXPECT_FALSE(timer.IsInstalled());
    EXPECT_TRUE(LoopHasNoTimer());
    const int before = timer.fired;
    RunCurrentEventLoop(0.03);
    EXPECT_EQ(timer.fired, before);
    EXPECT_EQ(LogText(), "");
}

TEST_F(CarbTimerTest, InstallingAgainReplacesTheEarlierTimer) {
    LambdaTimer timer;
    ASSERT_TRUE(timer.Install(0.0, 0.02));
    ASSERT_TRUE(timer.Install(0.0, 0.02));
    RunCurrentEventLoop(0.1);
    EXPECT_LE(timer.fired, 6);  // one timer at 50 per second, not two
    timer.Remove();
    EXPECT_TRUE(LoopHasNoTimer());
}

TEST_F(CarbTimerTest, WithoutAnIntervalFiresOnce) {
    LambdaTimer timer;
    ASSERT_TRUE(timer.Install(0.01, 0.0));
    RunCurrentEventLoop(kEventDurationNoWait);
    EXPECT_EQ(timer.fired, 0);  // not due yet
    RunCurrentEventLoop(0.05);
    EXPECT_EQ(timer.fired, 1);
    RunCurrentEventLoop(0.02);
    EXPECT_EQ(timer.fired, 1);
}

TEST_F(CarbTimerTest, DestroyingAnInstalledTimerRemovesIt) {
    struct Owner {
        explicit Owner(int &count) : idles(count) {}
        void Idle() { ++idles; }
        int &idles;
        T_ThisCarbTimer<Owner> timer{this};
    };
    int idles = 0;
    auto owner = std::make_unique<Owner>(idles);
    ASSERT_TRUE(owner->timer.Install(0.0, 0.005));
    RunCurrentEventLoop(0.02);
    EXPECT_GE(idles, 1);  // the owner's Idle runs each time
    owner.reset();
    EXPECT_TRUE(LoopHasNoTimer());
    const int before = idles;
    RunCurrentEventLoop(0.02);
    EXPECT_EQ(idles, before);
}

TEST_F(CarbTimerTest, ATimerMayRemoveOrDestroyTimersFromItsFire) {
    LambdaTimer self;
    self.onFire = [&self] { self.Remove(); };
    auto victim = std::make_unique<LambdaTimer>();
    LambdaTimer killer;
    killer.onFire = [&victim] { victim.reset(); };
    ASSERT_TRUE(self.Install(0.0, 0.001));
    ASSERT_TRUE(killer.Install(0.0, 0.001));
    ASSERT_TRUE(victim->Install(0.002, 0.001));
    RunCurrentEventLoop(0.03);
    EXPECT_EQ(self.fired, 1);
    EXPECT_FALSE(self.IsInstalled());
    EXPECT_EQ(victim, nullptr);
    killer.Remove();
    EXPECT_TRUE(LoopHasNoTimer());
}

TEST_F(CarbTimerTest, FiresOnTheInstallingThreadAndRemovalFromAnotherWaitsForTheFiring) {
    LambdaTimer timer;
    std::atomic<bool> entered{false}, left{false}, stop{false};
    timer.onFire = [&] {
        entered = true;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        left = true;
    };
    std::thread loop([&] {
        ASSERT_TRUE(timer.Install(0.0, 0.001));
        while (!stop) RunCurrentEventLoop(0.005);
    });
    // The main thread's loop does not fire it.
    RunCurrentEventLoop(0.01);
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (!entered && std::chrono::steady_clock::now() < end) std::this_thread::yield();
    EXPECT_TRUE(entered);
    timer.Remove();
    EXPECT_EQ(entered.load(), left.load());
    stop = true;
    loop.join();
    EXPECT_EQ(timer.fired, 1);
}

TEST_F(CarbTimerTest, TimesThatAreNotTimesAreRefused) {
    const struct {
        double delay, interval;
        const char *report;
    } cases[] = {
        {-1.0, 0.0, "std::isfinite(inFirstDelay) && inFirstDelay >= 0.0"},
        {INFINITY, 0.0, "std::isfinite(inFirstDelay) && inFirstDelay >= 0.0"},
        {std::nan(""), 0.0, "std::isfinite(inFirstDelay) && inFirstDelay >= 0.0"},
        {0.0, std::nan(""), "InstallEventLoopTimer("},
        {0.0, -1.0, "InstallEventLoopTimer("},
        {0.0, INFINITY, "InstallEventLoopTimer("},
    };
    for (const auto &c : cases) {
        LambdaTimer timer;
        ClearLog();
        EXPECT_FALSE(timer.Install(c.delay, c.interval)) << c.delay << ", " << c.interval;
        EXPECT_FALSE(timer.IsInstalled());
        EXPECT_NE(LogText().find(c.report), std::string::npos) << LogText();
    }
    EXPECT_TRUE(LoopHasNoTimer());
}

}  // namespace
