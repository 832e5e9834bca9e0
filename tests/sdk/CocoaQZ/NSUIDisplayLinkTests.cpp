// The display link and its view controller: the per-delegate refresh sequence (lock, should
// render, render, flush, unlock) and what a refusal or an exception does to it; the master and
// the slaves; who may start and stop the link and what the delegates are told; exceptions in a
// running link (logged, the link goes on); stopping from a refresh and while a refresh waits
// for the stopper's lock; destroying the controller while it runs, also from its own refresh.
#include <CocoaQZ/DisplayLink/NSUIDisplayLink.h>

#include <AppKit/NSScreen.h>
#include <CoreVideo/CVHostTime.h>
#include <Foundation/NSObjCRuntime.h>

#include "DisplayLinkTestDelegate.h"
#include "sdk/RiradI/RiradITestApplication.h"

#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QScreen>

#include <chrono>
#include <future>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

using namespace displaylink_test;
using namespace std::chrono_literals;

namespace {

using Calls = std::vector<std::string>;

bool WaitFor(const std::function<bool()> &condition, std::chrono::milliseconds limit = 3000ms) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(1ms);
    }
    return true;
}

class DisplayLinkController : public ::testing::Test, public riradi_test::WithApplication {
protected:
    void SetUp() override { ASSERT_TRUE(import_NSUIDisplayLink()); }

    CallLog mLog;
    RecordingDelegate mMaster{"master", mLog};
    RecordingDelegate mSlave{"slave", mLog};
};

}  // namespace

// One refresh, called the way the link's thread calls it, for each way a delegate can answer.
TEST_F(DisplayLinkController, RefreshSequenceAsTheDelegatesAnswer) {
    struct Case {
        const char *name;
        bool lock;
        bool shouldRender;
        Throw raise;
        Calls expected;
        bool throws;
    };
    const Calls slaveDrawn = {"slave:lock", "slave:shouldRender", "slave:render", "slave:flush", "slave:unlock"};
    const auto with = [&](Calls master, bool slaveToo) {
        if (slaveToo) master.insert(master.end(), slaveDrawn.begin(), slaveDrawn.end());
        return master;
    };
    const Case cases[] = {
        {"both draw", true, true, Throw::Nothing,
         with({"master:lock", "master:shouldRender", "master:render", "master:flush", "master:unlock"}, true), false},
        {"lock refused: no unlock, the slave still draws", false, true, Throw::Nothing, with({"master:lock"}, true),
         false},
        {"nothing to render: still unlocked", true, false, Throw::Nothing,
         with({"master:lock", "master:shouldRender", "master:unlock"}, true), false},
        {"render raises: unlocked, the slave skipped", true, true, Throw::NSExceptionInRender,
         with({"master:lock", "master:shouldRender", "master:render", "master:unlock"}, false), true},
        {"another exception in render: the same", true, true, Throw::StdExceptionInRender,
         with({"master:lock", "master:shouldRender", "master:render", "master:unlock"}, false), true},
        {"flush raises: unlocked, the slave skipped", true, true, Throw::NSExceptionInFlush,
         with({"master:lock", "master:shouldRender", "master:render", "master:flush", "master:unlock"}, false), true},
    };
    NSUIDisplayLinkViewController controller;
    controller.setMasterDisplayLinkViewDelegate(&mMaster);
    controller.addSlaveDisplayLinkViewDelegate(&mSlave);
    const CVTimeStamp time = NSUIDisplayLink::displayLinkCurrentTime();
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        mLog.clear();
        mMaster.lockAnswer = c.lock;
        mMaster.shouldRenderAnswer = c.shouldRender;
        mMaster.raise = c.raise;
        bool threw = false;
        try {
            EXPECT_EQ(controller.displayLinkOutputForTime(&time), kCVReturnSuccess);
        } catch (...) {
            threw = true;
        }
        EXPECT_EQ(threw, c.throws);
        EXPECT_EQ(mLog.entries(), c.expected);
    }
}

TEST_F(DisplayLinkController, MasterAndSlaves) {
    NSUIDisplayLinkViewController controller;
    EXPECT_EQ(controller.delegate(), nullptr);
    EXPECT_TRUE(controller.slaves().isEmpty());
    EXPECT_TRUE(controller.allDelegates().isEmpty());
    EXPECT_FALSE(controller.isMasterDisplayLinkViewDelegate(nullptr));
    EXPECT_EQ(controller.displayLinkObject(), &controller);

    RecordingDelegate second("second", mLog);
    controller.addSlaveDisplayLinkViewDelegate(&mSlave);
    controller.setMasterDisplayLinkViewDelegate(&mMaster);
    EXPECT_TRUE(controller.isMasterDisplayLinkViewDelegate(&mMaster));
    EXPECT_FALSE(controller.isMasterDisplayLinkViewDelegate(&mSlave));
    EXPECT_EQ(controller.delegate(), &mMaster);

    struct Case {
        const char *name;
        QObject *added;
    };
    const Case ignored[] = {{"null", nullptr}, {"the master", &mMaster}, {"a slave already there", &mSlave}};
    for (const Case &c : ignored) {
        SCOPED_TRACE(c.name);
        controller.addSlaveDisplayLinkViewDelegate(c.added);
        EXPECT_EQ(controller.slaves(), QList<QObject *>{&mSlave});
    }
    controller.addSlaveDisplayLinkViewDelegate(&second);
    EXPECT_EQ(controller.slaveDelegates(), (QList<QObject *>{&mSlave, &second}));
    EXPECT_EQ(controller.allDelegates(), (QList<QObject *>{&mMaster, &mSlave, &second}));

    // A slave that is destroyed drops out; so does a master.
    {
        RecordingDelegate gone("gone", mLog);
        controller.addSlaveDisplayLinkViewDelegate(&gone);
        EXPECT_EQ(controller.slaves().size(), 3);
    }
    EXPECT_EQ(controller.allDelegates(), (QList<QObject *>{&mMaster, &mSlave, &second}));
    {
        auto master = std::make_unique<RecordingDelegate>("temporary", mLog);
        controller.setDelegate(master.get());
    }
    EXPECT_EQ(controller.delegate(), nullptr);
    EXPECT_EQ(controller.allDelegates(), (QList<QObject *>{&mSlave, &second}));

    controller.setSlaves({&second, nullptr, &second});
    EXPECT_EQ(controller.slaves(), QList<QObject *>{&second});
}

TEST_F(DisplayLinkController, TheBaseWithoutALinkAnswersNo) {
    NSUIDisplayLink link;
    EXPECT_EQ(link.displayLink(), nullptr);
    EXPECT_EQ(link.displayLinkCopy(), nullptr);
    EXPECT_FALSE(link.stopDisplayLink());
    EXPECT_FALSE(link.startDisplayLinkSelf());
    EXPECT_FALSE(link.startDisplayLinkOnMainDisplay());
    EXPECT_FALSE(link.setDisplayLinkDisplayToMainDisplay());
    EXPECT_FALSE(link.setDisplayLinkDisplayToWindowDisplay(nullptr));
    EXPECT_FALSE(link.isDisplayLinkRunning());
    EXPECT_EQ(link.currentDisplayID(), 0u);
    const CVTimeStamp before = NSUIDisplayLink::displayLinkCurrentTime();
    EXPECT_EQ(before.version, 0u);
    EXPECT_EQ(before.flags, kCVTimeStampHostTimeValid);
    EXPECT_EQ(before.videoTime, 0);
    EXPECT_LE(before.hostTime, CVGetCurrentHostTime());

    ASSERT_TRUE(link.createSystemDisplayLinkObjectWithHardwareTimerCallback());
    CVDisplayLinkRef made = link.displayLink();
    ASSERT_NE(made, nullptr);
    EXPECT_EQ(CFGetRetainCount(made), 1);
    CVDisplayLinkRef copy = link.displayLinkCopy();
    EXPECT_EQ(copy, made);
    EXPECT_EQ(CFGetRetainCount(made), 2);
    CVDisplayLinkRelease(copy);
    EXPECT_EQ(link.currentDisplayID(), CGMainDisplayID());
    EXPECT_FALSE(link.setDisplayLinkDisplayWithCGLContext(nullptr, nullptr));
    EXPECT_TRUE(link.setDisplayLinkDisplayToMainDisplay());
    EXPECT_TRUE(link.startDisplayLinkOnMainDisplay());
    EXPECT_TRUE(link.isDisplayLinkRunning());
    EXPECT_FALSE(link.startDisplayLinkSelf());  // already running
    EXPECT_TRUE(link.stopDisplayLink());
    EXPECT_FALSE(link.stopDisplayLink());
    // Making a link again drops the old one.
    ASSERT_TRUE(link.createSystemDisplayLinkObjectWithHardwareTimerCallback());
    EXPECT_NE(link.displayLink(), nullptr);
}

// Only the master starts and stops the link; delegates hear of its creation once and of every
// start; a restart keeps the link.
TEST_F(DisplayLinkController, OnlyTheMasterStartsAndStops) {
    NSUIDisplayLinkViewController controller;
    controller.setMasterDisplayLinkViewDelegate(&mMaster);
    controller.addSlaveDisplayLinkViewDelegate(&mSlave);
    mMaster.lockAnswer = false;  // keep the refreshes out of the log
    mSlave.lockAnswer = false;

    EXPECT_FALSE(controller.startDisplayLinkDelegate(&mSlave));
    EXPECT_FALSE(controller.startDisplayLinkDelegate(nullptr));
    EXPECT_EQ(controller.displayLink(), nullptr);
    EXPECT_FALSE(controller.isDisplayLinkRunning());
    EXPECT_TRUE(mLog.entries().empty());
    // The context form needs a link, a context and a pixel format.
    EXPECT_FALSE(controller.startDisplayLinkDelegate(&mMaster, nullptr, nullptr));

    ASSERT_TRUE(controller.startDisplayLinkDelegate(&mMaster));
    EXPECT_TRUE(controller.isDisplayLinkRunning());
    CVDisplayLinkRef link = controller.displayLink();
    auto lifecycle = [&] {
        Calls calls;
        for (const std::string &entry : mLog.entries()) {
            if (entry.find(":lock") == std::string::npos) calls.push_back(entry);
        }
        return calls;
    };
    EXPECT_EQ(lifecycle(), (Calls{"master:created", "slave:created", "master:changed", "slave:changed"}));
    EXPECT_FALSE(controller.startDisplayLinkDelegate(&mMaster));  // already running

    mLog.clear();
    EXPECT_FALSE(controller.stopDisplayLinkDelegate(&mSlave));
    EXPECT_TRUE(controller.isDisplayLinkRunning());
    EXPECT_TRUE(controller.stopDisplayLinkDelegate(&mMaster));
    EXPECT_FALSE(controller.isDisplayLinkRunning());
    EXPECT_FALSE(controller.stopDisplayLinkDelegate(&mMaster));
    EXPECT_TRUE(lifecycle().empty());

    ASSERT_TRUE(controller.startDisplayLinkDelegate(&mMaster));
    EXPECT_EQ(controller.displayLink(), link);
    EXPECT_EQ(lifecycle(), (Calls{"master:changed", "slave:changed"}));

    mLog.clear();
    EXPECT_TRUE(controller.stopDisplayLinkNotifyDelegates(true));
    EXPECT_EQ(lifecycle(), (Calls{"master:changed", "slave:changed"}));
    mLog.clear();
    EXPECT_FALSE(controller.stopDisplayLinkNotifyDelegates(false));
    EXPECT_TRUE(lifecycle().empty());
}

TEST_F(DisplayLinkController, TheProxyForwardsOrAnswersNo) {
    NSUIDisplayLinkViewControllerProxy proxy;
    EXPECT_EQ(proxy.displayLinkObject(), nullptr);
    EXPECT_FALSE(proxy.isMasterDisplayLinkViewDelegate(&mMaster));
    proxy.setMasterDisplayLinkViewDelegate(&mMaster);
    proxy.addSlaveDisplayLinkViewDelegate(&mSlave);
    EXPECT_FALSE(proxy.startDisplayLinkDelegate(&mMaster));
    EXPECT_FALSE(proxy.stopDisplayLinkDelegate(&mMaster));

    NSUIDisplayLinkViewController controller;
    proxy.setDisplayLinkViewController(&controller);
    EXPECT_EQ(proxy.displayLinkViewController(), &controller);
    EXPECT_EQ(proxy.displayLinkObject(), &controller);
    proxy.setMasterDisplayLinkViewDelegate(&mMaster);
    proxy.addSlaveDisplayLinkViewDelegate(&mSlave);
    EXPECT_TRUE(proxy.isMasterDisplayLinkViewDelegate(&mMaster));
    EXPECT_EQ(controller.slaves(), QList<QObject *>{&mSlave});
    mMaster.lockAnswer = false;
    mSlave.lockAnswer = false;
    EXPECT_TRUE(proxy.startDisplayLinkDelegate(&mMaster));
    EXPECT_TRUE(controller.isDisplayLinkRunning());
    EXPECT_TRUE(proxy.stopDisplayLinkDelegate(&mMaster));
    EXPECT_FALSE(controller.isDisplayLinkRunning());

    // Made by name, as a nib makes it.
    std::unique_ptr<QObject> named(NSClassCreateInstance(NSClassFromString("NSUIDisplayLinkViewControllerProxy")));
    EXPECT_NE(dynamic_cast<NSUIDisplayLinkViewControllerProxy *>(named.get()), nullptr);
}

// On the link's thread: an exception in the master's render is logged with the callback's text,
// the master is unlocked, the slave is skipped in that refresh, and the link goes on. Any other
// exception is logged the same way instead of ending the thread.
TEST_F(DisplayLinkController, ExceptionsInARunningLinkAreLoggedAndTheLinkGoesOn) {
    struct Case {
        Throw raise;
        std::string logged;
    };
    const Case cases[] = {
        {Throw::NSExceptionInRender, "sNSUIDisplayLinkCallback:: exception: NSGenericException: render failed\n"},
        {Throw::StdExceptionInRender, "sNSUIDisplayLinkCallback:: exception: render failed\n"},
    };
    for (const Case &c : cases) {
        auto controller = std::make_unique<NSUIDisplayLinkViewController>();
        RecordingDelegate master("master", mLog);
        RecordingDelegate slave("slave", mLog);
        controller->setMasterDisplayLinkViewDelegate(&master);
        controller->addSlaveDisplayLinkViewDelegate(&slave);
        master.onRender = [&] {
            if (master.renders == 3) master.raise = c.raise;
            if (master.renders == 4) master.raise = Throw::Nothing;
        };
        testing::internal::CaptureStderr();
        ASSERT_TRUE(controller->startDisplayLinkDelegate(&master));
        const bool ran = WaitFor([&] { return master.renders >= 8; });
        EXPECT_TRUE(controller->isDisplayLinkRunning());
        controller.reset();  // waits for the refresh in progress
        const std::string log = testing::internal::GetCapturedStderr();
        ASSERT_TRUE(ran);
        EXPECT_NE(log.find(c.logged), std::string::npos) << log;
        // The slave missed the refresh of the exception only.
        EXPECT_EQ(slave.renders, master.renders - 1);
        EXPECT_EQ(master.unlocks.load(), master.locks.load());
        EXPECT_EQ(slave.unlocks.load(), slave.locks.load());
        mLog.clear();
    }
}

// A delegate stops the link from its own refresh: the link stops after that refresh.
TEST_F(DisplayLinkController, StopFromInsideARefresh) {
    NSUIDisplayLinkViewController controller;
    controller.setMasterDisplayLinkViewDelegate(&mMaster);
    std::atomic<bool> stopped{false};
    mMaster.onRender = [&] {
        if (mMaster.renders == 2) stopped = controller.stopDisplayLinkDelegate(&mMaster);
    };
    ASSERT_TRUE(controller.startDisplayLinkDelegate(&mMaster));
    ASSERT_TRUE(WaitFor([&] { return stopped.load(); }));
    ASSERT_TRUE(WaitFor([&] { return mMaster.unlocks == 2; }));
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(mMaster.renders, 2);
    EXPECT_FALSE(controller.isDisplayLinkRunning());
    // It starts again.
    mMaster.onRender = nullptr;
    ASSERT_TRUE(controller.startDisplayLinkDelegate(&mMaster));
    ASSERT_TRUE(WaitFor([&] { return mMaster.renders >= 4; }));
}

// The main thread holds the drawable's lock and stops the link while a refresh waits for that
// lock: the stop answers at once; the refresh goes on once the lock is let go.
TEST_F(DisplayLinkController, StopWhileARefreshWaitsForTheStoppersLock) {
    NSUIDisplayLinkViewController controller;
    controller.setMasterDisplayLinkViewDelegate(&mMaster);
    std::mutex drawable;
    std::atomic<bool> waiting{false};
    mMaster.onLock = [&] {
        waiting = true;
        std::lock_guard<std::mutex> guard(drawable);
    };
    std::unique_lock<std::mutex> held(drawable);
    ASSERT_TRUE(controller.startDisplayLinkDelegate(&mMaster));
    ASSERT_TRUE(WaitFor([&] { return waiting.load(); }));
    std::this_thread::sleep_for(10ms);
    const auto before = std::chrono::steady_clock::now();
    EXPECT_TRUE(controller.stopDisplayLinkDelegate(&mMaster));
    EXPECT_LT(std::chrono::steady_clock::now() - before, 1s);
    EXPECT_FALSE(controller.isDisplayLinkRunning());
    held.unlock();
    ASSERT_TRUE(WaitFor([&] { return mMaster.unlocks == 1; }));
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(mMaster.locks, 1);
}

// Destroying the controller while the link runs waits for the refresh in progress; no refresh
// reaches the delegates afterwards (they go right after it, under AddressSanitizer).
TEST_F(DisplayLinkController, DestroyedWhileRunning) {
    auto master = std::make_unique<RecordingDelegate>("master", mLog);
    auto controller = std::make_unique<NSUIDisplayLinkViewController>();
    controller->setMasterDisplayLinkViewDelegate(master.get());
    master->onRender = [] { std::this_thread::sleep_for(5ms); };
    ASSERT_TRUE(controller->startDisplayLinkDelegate(master.get()));
    ASSERT_TRUE(WaitFor([&] { return master->renders >= 2; }));
    controller.reset();
    EXPECT_EQ(master->unlocks.load(), master->locks.load());
    master.reset();
    std::this_thread::sleep_for(50ms);
}

// The screen of a window names its display: on the offscreen platform the one display.
TEST_F(DisplayLinkController, AScreenNamesItsDisplay) {
    EXPECT_TRUE(NSScreen::deviceDescription(nullptr).isEmpty());
    const QVariantMap description = NSScreen::deviceDescription(QGuiApplication::primaryScreen());
    EXPECT_EQ(description.value(NSScreen::NSScreenNumber).toUInt(), CGMainDisplayID());

    NSUIDisplayLinkViewController controller;
    QWidget window;
    ASSERT_TRUE(controller.createSystemDisplayLinkObjectWithHardwareTimerCallback());
    // The window's display is the link's already.
    EXPECT_FALSE(controller.setDisplayLinkDisplayToWindowDisplay(&window));
    EXPECT_EQ(controller.currentDisplayID(), CGMainDisplayID());
}
