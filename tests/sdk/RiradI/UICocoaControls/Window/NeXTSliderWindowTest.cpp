// The NeXT-look sliders on a grey content view in a window on the X11 display: drawn at the
// window's device pixel ratio, the knob dragged with the mouse.
#include <UICocoaControls/NSNeXTContentView.h>
#include <UICocoaControls/NSNeXTSlider.h>

#include "../../RiradITestApplication.h"

#include <gtest/gtest.h>

#include <QTest>

// The program's AddressSanitizer suppressions are set in FineSliderWindowTest.cpp.

namespace {

TEST(NeXTSliderWindow, DrawnAndDragged) {
    riradi_test::WindowApplication();
    NSNeXTContentView window;
    window.setWindowTitle("NeXT sliders");
    window.resize(260, 200);
    NSNeXTSlider horizontal(&window);
    horizontal.setGeometry(20, 20, 220, 20);
    horizontal.setAccessibleName("Horizontal NeXT slider");
    horizontal.setToolTip("A horizontal slider with its value on the bar");
    horizontal.setDoubleValue(0.25);
    NSNeXTSlider vertical(Qt::Vertical, &window);
    vertical.setGeometry(20, 60, 20, 120);
    vertical.setAccessibleName("Vertical NeXT slider");
    vertical.setToolTip("A vertical slider with its value on the bar");
    vertical.setMinValue(0);
    vertical.setMaxValue(100);
    vertical.setOutletLabelFormat("%.0f");
    vertical.setDoubleValue(75);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));

    // Dragging the knob from its place to the right end.
    const QPoint knob(1 + 9 + int(0.25 * (218 - 18)), 10);
    QTest::mousePress(&horizontal, Qt::LeftButton, {}, knob);
    QTest::mouseMove(&horizontal, QPoint(219, 10));
    QTest::mouseRelease(&horizontal, Qt::LeftButton, {}, QPoint(219, 10));
    EXPECT_EQ(horizontal.doubleValue(), 1.0);
    riradi_test::RunPendingEvents();

    const QImage picture = window.grab().toImage().convertToFormat(QImage::Format_RGB32);
    const double ratio = picture.devicePixelRatio();
    auto grey = [&](int x, int y) { return qRed(picture.pixel(int(x * ratio), int(y * ratio))); };
    EXPECT_NEAR(grey(20 + 204, 20 + 15), 170, 3);  // the knob at the right end
    EXPECT_LT(grey(20 + 5, 20 + 15), 110);         // the bar where the knob was
    EXPECT_NEAR(grey(20 + 4, 60 + 4 + int(0.25 * 100)), 170, 3);  // the vertical knob, a quarter down
    EXPECT_EQ(picture.pixelColor(int(150 * ratio), int(150 * ratio)).rgb(),
              NSNeXTContentView::contentViewColor().rgb());
    riradi_test::SaveScreenshot(&window, "NSNeXTSlider");
}

}  // namespace
