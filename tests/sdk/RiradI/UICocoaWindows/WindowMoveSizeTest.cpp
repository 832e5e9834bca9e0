// Moving and sizing borderless windows without a display: the corner hit test, the frames a
// corner drag gives under size limits, and the set-up of the alpha windows and panels.
#include <UICocoaWindows/NSAlphaWindow.h>
#include <UICocoaWindows/category_NSWindow_MouseMoveSize.h>

#include <gtest/gtest.h>

#include "sdk/RiradI/RiradITestApplication.h"

namespace {

using R = NSWindow_MouseMoveSize;

TEST(WindowMouseHitTest, CornersInOrderAndHalfOpen) {
    struct Case {
        QSizeF area;
        QPointF point;
        int region;
    };
    const QSizeF corner(32, 32);
    for (const Case &c : {
             Case{{200, 100}, {0, 0}, R::kHitTopLeft},
             Case{{200, 100}, {31.5, 31.5}, R::kHitTopLeft},
             Case{{200, 100}, {32, 10}, R::kHitNone},  // the far edge is outside
             Case{{200, 100}, {168, 0}, R::kHitTopRight},
             Case{{200, 100}, {10, 68}, R::kHitBottomLeft},
             Case{{200, 100}, {199, 99}, R::kHitBottomRight},
             Case{{200, 100}, {100, 50}, R::kHitNone},
             Case{{200, 100}, {200, 50}, R::kHitNone},
             // Corners overlap in a small window: the lower number wins.
             Case{{40, 40}, {20, 20}, R::kHitTopLeft},
             Case{{40, 40}, {35, 35}, R::kHitBottomRight},
             Case{{40, 40}, {35, 20}, R::kHitTopRight},
         }) {
        EXPECT_EQ(category_NSWindow_MouseMoveSize::windowMouseMoveSize_HitRegion(c.area, c.point, corner), c.region)
            << c.point.x() << "," << c.point.y() << " in " << c.area.width() << "x" << c.area.height();
    }
}

// A window whose aspect-ratio hook keeps it square, to show the hook runs last.
class SizingWindow : public QWidget, public category_NSWindow_MouseMoveSize {
public:
    SizingWindow() : category_NSWindow_MouseMoveSize(this) {}
    bool square = false;
    QSizeF windowMouseMoveSize_ConstrainAspectRatio(QSizeF size) override {
        if (!square) return size;
        const double side = std::min(size.width(), size.height());
        return {side, side};
    }
};

class WindowResizeFrames : public ::testing::Test, public riradi_test::WithApplication {
protected:
    QRectF Resized(int mode, QPointF delta) {
        QMouseEvent press(QEvent::MouseButtonPress, QPointF(), QPointF(500, 500), Qt::LeftButton, Qt::LeftButton,
                          Qt::NoModifier);
        R record(press);
        record.startFrame = QRectF(100, 100, 200, 150);
        record.downLocation = QPointF(500, 500);
        record.location = record.downLocation + delta;
        record.mode = mode;
        const bool left = mode == R::kModeSizeTopLeft || mode == R::kModeSizeBottomLeft;
        const bool top = mode == R::kModeSizeTopLeft || mode == R::kModeSizeTopRight;
        return window.windowMouseMoveSize_ResizedFrame(record, left, top);
    }
    SizingWindow window;
};

TEST_F(WindowResizeFrames, TheGrabbedCornerFollowsTheMouse) {
    struct Case {
        int mode;
        QPointF delta;
        QRectF frame;
    };
    window.setMinimumSize(50, 40);
    window.setMaximumSize(400, 300);
    for (const Case &c : {
             Case{R::kModeSizeBottomRight, {30, 20}, {100, 100, 230, 170}},
             Case{R::kModeSizeBottomLeft, {30, 20}, {130, 100, 170, 170}},
             Case{R::kModeSizeTopRight, {30, 20}, {100, 120, 230, 130}},
             Case{R::kModeSizeTopLeft, {-30, -20}, {70, 80, 230, 170}},
             // Past the minimum width to the left: the whole window moves left, its right edge
             // (x + width) staying under the mouse at 300 - 190 = 110.
             Case{R::kModeSizeBottomRight, {-190, 0}, {60, 100, 50, 150}},
             // Past the minimum from the left corner: the left edge stays under the mouse.
             Case{R::kModeSizeTopLeft, {190, 130}, {290, 230, 50, 40}},
             // Past the maximum: the opposite corner moves.
             Case{R::kModeSizeBottomRight, {300, 300}, {200, 250, 400, 300}},
         }) {
        EXPECT_EQ(Resized(c.mode, c.delta), c.frame) << "mode " << c.mode << " by " << c.delta.x() << "," << c.delta.y();
    }
}

TEST_F(WindowResizeFrames, TheMaximumWinsOverALargerMinimumAndTheAspectHookRunsLast) {
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(), QPointF(), Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    R record(press);
    window.setMaximumSize(120, 300);
    window.setMinimumSize(150, 20);
    QSizeF size(100, 250);
    window.windowConstrainSize(record, size);
    EXPECT_EQ(size, QSizeF(window.maximumWidth(), 250));
    window.square = true;
    size = QSizeF(100, 250);
    window.windowConstrainSize(record, size);
    EXPECT_EQ(size, QSizeF(window.maximumWidth(), window.maximumWidth()));
}

// The subclass hook of the alpha windows, counted.
class CountingPanel : public NSAlphaPanelWithShadow {
public:
    using NSAlphaPanelWithShadow::NSAlphaPanelWithShadow;
    int initialised = 0;
    void NSAlphaWindow_initSubclass() override { ++initialised; }
};

class AlphaWindows : public ::testing::Test, public riradi_test::WithApplication {};

TEST_F(AlphaWindows, AllAreBorderlessAndClearWithTheirClassesShadow) {
    const QRect rect(10, 20, 120, 80);
    const unsigned titled = 15;
    NSAlphaWindowWithShadow windowWith(rect, titled);
    NSAlphaWindowWithoutShadow windowWithout(rect, titled);
    NSAlphaPanelWithShadow panelWith(rect, titled);
    NSAlphaPanelWithoutShadow panelWithout(rect, titled);
    struct Case {
        QWidget *window;
        NSUIAlphaWindow *alpha;
        bool shadow;
        bool panel;
    };
    for (const Case &c : {Case{&windowWith, &windowWith, true, false}, Case{&windowWithout, &windowWithout, false, false},
                          Case{&panelWith, &panelWith, true, true}, Case{&panelWithout, &panelWithout, false, true}}) {
        SCOPED_TRACE(c.window->metaObject()->className());
        EXPECT_TRUE(c.window->isWindow());
        EXPECT_TRUE(c.window->windowFlags().testFlag(Qt::FramelessWindowHint));
        EXPECT_FALSE(c.window->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
        EXPECT_EQ(c.window->windowType() == Qt::Tool, c.panel);
        EXPECT_TRUE(c.window->testAttribute(Qt::WA_TranslucentBackground));
        EXPECT_EQ(c.window->windowOpacity(), 1.0);
        EXPECT_EQ(c.alpha->hasShadow(), c.shadow);
        EXPECT_EQ(c.window->geometry(), rect);
    }
    EXPECT_TRUE(panelWith.acceptsFirstMouse(nullptr));
    EXPECT_TRUE(panelWithout.acceptsFirstMouse(nullptr));
}

TEST_F(AlphaWindows, TheSubclassHookRunsOnceBeforeTheFirstShow) {
    CountingPanel panel(QRect(10, 20, 120, 80));
    EXPECT_EQ(panel.initialised, 0);
    panel.show();
    EXPECT_EQ(panel.initialised, 1);
    panel.hide();
    panel.show();
    EXPECT_EQ(panel.initialised, 1);
}

TEST_F(AlphaWindows, ChangingTheShadowOfAShownWindowKeepsItShown) {
    NSAlphaWindowWithoutShadow window(QRect(10, 20, 120, 80));
    window.show();
    window.setHasShadow(true);
    EXPECT_TRUE(window.hasShadow());
    EXPECT_TRUE(window.isVisible());
}

}  // namespace
