// The transparent overlay window without a display: its set-up, the overlay view's showing and
// hiding, and what is reported when it has no underlay.
#include <UICocoaViews/NSUITransparentWindow.h>

#include <gtest/gtest.h>

#include "sdk/CoreX/CoreMachDebugLogTestSupport.h"
#include "sdk/RiradI/RiradITestApplication.h"

namespace {

// Qt keeps a window's opacity in steps of 1/255.
constexpr double kOpacityStep = 1.0 / 255;

class TransparentWindowTest : public corex_test::DebugLogFileTest, public riradi_test::WithApplication {};

TEST_F(TransparentWindowTest, IsABorderlessClearFloatingWindowWithoutShadow) {
    NSUITransparentWindow window(QRect(10, 20, 300, 200), 15 /* titled, closable, ... */);
    EXPECT_TRUE(window.isWindow());
    EXPECT_TRUE(window.windowFlags().testFlag(Qt::FramelessWindowHint));
    EXPECT_TRUE(window.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_TRUE(window.testAttribute(Qt::WA_TranslucentBackground));
    EXPECT_FALSE(window.hasShadow());
    EXPECT_EQ(window.windowOpacity(), 1.0);
    EXPECT_TRUE(window.canBecomeKeyWindow());
}

TEST_F(TransparentWindowTest, ShowingAndHidingTheOverlayViewKeepsTheWindowAtSmoothShowOpacity) {
    NSUITransparentWindow window(QRect(10, 20, 300, 200));
    auto *view = new NSUITransparentWindowView(&window);
    window.setOverlayView(view);
    window.show();
    window.hideOverlayView();
    EXPECT_TRUE(view->isHidden());
    EXPECT_TRUE(window.isVisible());
    EXPECT_NEAR(window.windowOpacity(), 0.99, kOpacityStep);
    window.showOverlayView();
    EXPECT_FALSE(view->isHidden());
    EXPECT_NEAR(window.windowOpacity(), 0.99, kOpacityStep);
    window.smoothHideWindow();
    EXPECT_NEAR(window.windowOpacity(), 0.1, kOpacityStep);
    view->ensureOverlayHidden();
    EXPECT_TRUE(view->isHidden());
    EXPECT_NEAR(window.windowOpacity(), 0.99, kOpacityStep);
    view->ensureOverlayVisible();
    EXPECT_FALSE(view->isHidden());
    EXPECT_TRUE(window.isVisible());
    EXPECT_EQ(LogText(), "");
}

TEST_F(TransparentWindowTest, WithoutAnUnderlayEachStepIsReportedAndNothingChanges) {
    NSUITransparentWindow window(QRect(10, 20, 300, 200));
    window.bindToUnderlayWindow();
    window.syncronizeWindowSizes();
    window.syncronizeWindowPositions();
    window.awakeFromNib();  // no outlet: nothing to bind, nothing reported
    EXPECT_EQ(window.geometry(), QRect(10, 20, 300, 200));
    const char *file = "/Code/sdk/RiradI/UICocoaViews/NSUITransparentWindow";
    EXPECT_EQ(LogText(), std::string("VERIFY FAILED:  code : mUnderlayWindow in ") + file +
                             ":109 (-[NSUITransparentWindow bindToUnderlayWindow])\n"
                             "VERIFY FAILED:  code : mUnderlayWindow in " + file +
                             ":60 (-[NSUITransparentWindow syncronizeWindowSizes])\n"
                             "VERIFY FAILED:  code : mUnderlayWindow in " + file +
                             ":51 (-[NSUITransparentWindow syncronizeWindowPositions])\n");
}

TEST_F(TransparentWindowTest, AViewIsNoUnderlay) {
    NSUITransparentWindow window(QRect(10, 20, 300, 200));
    QWidget other;
    QWidget view(&other);
    window.setUnderlayWindowObject(&view);
    window.setUnderlayWindowObject(nullptr);
    EXPECT_EQ(window.underlayWindow(), nullptr);
    const std::string line = "VERIFY FAILED:  code : [sender isKindOfClass:[NSWindow class]] in "
                             "/Code/sdk/RiradI/UICocoaViews/NSUITransparentWindow:118 "
                             "(-[NSUITransparentWindow setUnderlayWindowObject:])\n";
    EXPECT_EQ(LogText(), line + line);
    window.setUnderlayWindowObject(&other);
    EXPECT_EQ(window.underlayWindow(), &other);
}

}  // namespace
