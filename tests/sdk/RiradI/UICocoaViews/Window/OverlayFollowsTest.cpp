// The transparent overlay on the X11 display follows its underlay when the underlay is moved
// or resized, and lets go when either window goes.
#include <UICocoaViews/NSUITransparentWindow.h>

#include "../../RiradITestApplication.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>
#include <QWindow>

#include <cstdlib>
#include <memory>

// The AddressSanitizer suppressions of this program, read at start-up.
extern "C" const char *__asan_default_options() { return "suppressions=" LUMORA_ASAN_SUPPRESSIONS; }

namespace {

using riradi_test::WindowApplication;

::testing::AssertionResult HasFrame(QWidget &window, QRect frame) {
    for (int i = 0; i < 100 && (window.frameGeometry() != frame || window.windowHandle()->geometry() != frame); ++i)
        QTest::qWait(10);
    if (window.frameGeometry() == frame && window.windowHandle()->geometry() == frame)
        return ::testing::AssertionSuccess();
    const QRect got = window.frameGeometry();
    return ::testing::AssertionFailure() << "frame " << got.x() << "," << got.y() << " " << got.width() << "x"
                                         << got.height();
}

class OverlayWindow : public ::testing::Test {
protected:
    void SetUp() override {
        if (std::getenv("DISPLAY") == nullptr) GTEST_FAIL() << "the gui tests run on an X display (xvfb-run)";
        WindowApplication();
        underlay = std::make_unique<QWidget>(nullptr, Qt::FramelessWindowHint);
        underlay->setGeometry(100, 120, 300, 200);
        underlay->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(underlay.get()));
        overlay = std::make_unique<NSUITransparentWindow>(QRect(0, 0, 50, 50));
        overlay->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(overlay.get()));
    }
    std::unique_ptr<QWidget> underlay;
    std::unique_ptr<NSUITransparentWindow> overlay;
};

TEST_F(OverlayWindow, FollowsTheUnderlaysMovesAndResizes) {
    overlay->setUnderlayWindow(underlay.get());
    // Bound, but not placed until the underlay changes (or is synchronised by hand).
    EXPECT_TRUE(HasFrame(*overlay, QRect(0, 0, 50, 50)));
    underlay->move(150, 120);
    EXPECT_TRUE(HasFrame(*underlay, QRect(150, 120, 300, 200)));
    EXPECT_TRUE(HasFrame(*overlay, QRect(150, 120, 50, 50)));
    underlay->resize(360, 240);
    EXPECT_TRUE(HasFrame(*overlay, QRect(150, 120, 360, 240)));
    underlay->setGeometry(40, 60, 200, 100);
    EXPECT_TRUE(HasFrame(*overlay, QRect(40, 60, 200, 100)));
    // The overlay never moves the underlay.
    overlay->move(300, 300);
    EXPECT_TRUE(HasFrame(*underlay, QRect(40, 60, 200, 100)));
}

TEST_F(OverlayWindow, SynchronisingByHandTakesTheWholeFrame) {
    overlay->setUnderlayWindow(underlay.get());
    overlay->syncUnderlayWindowSizePosition(nullptr);
    EXPECT_TRUE(HasFrame(*overlay, QRect(100, 120, 300, 200)));
}

TEST_F(OverlayWindow, EitherWindowMayGoFirst) {
    overlay->setUnderlayWindow(underlay.get());
    overlay.reset();
    underlay->move(10, 10);
    EXPECT_TRUE(HasFrame(*underlay, QRect(10, 10, 300, 200)));

    overlay = std::make_unique<NSUITransparentWindow>(QRect(0, 0, 50, 50));
    overlay->setUnderlayWindow(underlay.get());
    underlay.reset();
    EXPECT_EQ(overlay->underlayWindow(), nullptr);
    overlay->syncronizeWindowPositions();  // reported, nothing else
}

}  // namespace
