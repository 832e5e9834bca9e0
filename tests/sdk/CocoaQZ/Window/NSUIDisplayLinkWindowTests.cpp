// The display-link view controller with a master view in a window on the X server: the link is
// aimed at the display of the window's screen, and a move or resize of the window tells every
// delegate displayLinkChanged once (also after the master started the link twice), until the
// link is stopped.
#include <CocoaQZ/DisplayLink/NSUIDisplayLink.h>

#include <AppKit/NSScreen.h>
#include <AppKit/NSView.h>

#include "sdk/CocoaQZ/DisplayLinkTestDelegate.h"
#include "sdk/RiradI/RiradITestApplication.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QScreen>
#include <QTest>
#include <QVBoxLayout>

#include <cstdlib>
#include <memory>

using namespace displaylink_test;

#include "support/EventLoop.h"

namespace {

class DisplayLinkWindow : public ::testing::Test {
protected:
    void SetUp() override {
        const char *display = std::getenv("DISPLAY");
        if (display == nullptr || *display == '\0') {
            GTEST_SKIP() << "needs an X display (scripts/test runs this under Xvfb)";
        }
        riradi_test::WindowApplication();
        mWindow = std::make_unique<QWidget>();
        mWindow->resize(200, 150);
        mMaster = new RecordingView("master", mLog);
        mMaster->setParent(mWindow.get());
        mMaster->setGeometry(10, 10, 100, 80);
        mMaster->lockAnswer = false;  // refreshes stay out of the log but for "lock"
        mSlave.lockAnswer = false;
        mWindow->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(mWindow.get()));
        Spin(100);
    }

    int Changes(const std::string &name) { return mLog.count(name + ":changed"); }

    CallLog mLog;
    std::unique_ptr<QWidget> mWindow;
    RecordingView *mMaster = nullptr;
    RecordingDelegate mSlave{"slave", mLog};
};

}  // namespace

TEST_F(DisplayLinkWindow, AimsAtTheWindowsDisplayAndFollowsItsFrame) {
    const CGDirectDisplayID number =
        NSScreen::deviceDescription(mMaster->screen()).value(NSScreen::NSScreenNumber).toUInt();
    ASSERT_NE(number, 0u);

    NSUIDisplayLinkViewController controller;
    controller.setMasterDisplayLinkViewDelegate(mMaster);
    controller.addSlaveDisplayLinkViewDelegate(&mSlave);
    ASSERT_TRUE(controller.startDisplayLinkDelegate(mMaster));
    EXPECT_EQ(controller.currentDisplayID(), number);
    // The render timer restarts: the master starts again (the link runs already).
    EXPECT_TRUE(controller.stopDisplayLinkDelegate(mMaster));
    ASSERT_TRUE(controller.startDisplayLinkDelegate(mMaster));
    Spin(50);
    mLog.clear();

    // A move and a resize in one turn of the event loop: one notification, one change each.
    mWindow->move(mWindow->pos() + QPoint(40, 30));
    mWindow->resize(220, 170);
    Spin(300);
    EXPECT_EQ(Changes("master"), 1);
    EXPECT_EQ(Changes("slave"), 1);
    EXPECT_EQ(controller.currentDisplayID(), number);

    // The master moving inside its window changes its global frame too.
    mLog.clear();
    mMaster->move(20, 20);
    Spin(300);
    EXPECT_EQ(Changes("master"), 1);
    EXPECT_EQ(Changes("slave"), 1);

    // Stopped, the controller no longer follows the frame.
    EXPECT_TRUE(controller.stopDisplayLinkNotifyDelegates(false));
    mLog.clear();
    mWindow->move(mWindow->pos() + QPoint(10, 10));
    Spin(300);
    EXPECT_EQ(Changes("master"), 0);
    EXPECT_EQ(Changes("slave"), 0);
}

// The view posts its notification, one per turn of the event loop, to any observer.
TEST_F(DisplayLinkWindow, TheViewPostsItsGlobalFrameChanges) {
    int posted = 0;
    NSView::postGlobalFrameChangedNotifications(mMaster);
    NSView::postGlobalFrameChangedNotifications(mMaster);  // once is enough
    const auto token = NSNotificationCenter::defaultCenter().addObserverForName(
        NSViewGlobalFrameDidChangeNotification, mMaster, [&](const NSNotification &notification) {
            EXPECT_EQ(notification.object(), mMaster);
            ++posted;
        });
    mMaster->resize(90, 70);
    mMaster->move(5, 5);
    Spin(200);
    EXPECT_EQ(posted, 1);
    mWindow->move(mWindow->pos() + QPoint(25, 0));
    Spin(300);
    EXPECT_EQ(posted, 2);
    NSNotificationCenter::defaultCenter().removeObserver(token);
}
