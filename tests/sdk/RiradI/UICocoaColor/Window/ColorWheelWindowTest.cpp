#include <UICocoaColor/NSUIColorWheelView.h>
#include <UICocoaColor/NSUIColorWheelViewNibbler.h>
#include <UICocoaColor/UFColorWheelController.h>

#include <dispatch/dispatch.h>

#include <gtest/gtest.h>

#include <QImage>
#include <QTest>

#include <cmath>

#include "../../RiradITestApplication.h"

// See CMakeLists.txt: a third-party report in Qt's X11 keyboard set-up.
extern "C" const char *__asan_default_options() { return "suppressions=" LUMORA_ASAN_SUPPRESSIONS; }

namespace {

void Drain() {
    for (int round = 0; round < 4; ++round) {
        dispatch_main_queue_drain();
        riradi_test::RunPendingEvents();
    }
}

// The wheel's nib on the display: a click selects the slice under it, the marks are drawn as
// black dots over it.
TEST(ColorWheelWindow, ClickSelectsAndTheMarksAreDrawn) {
    riradi_test::WindowApplication();
    NSUIColorWheelViewNibbler nibbler;
    nibbler.resize(232, 232);
    nibbler.awakeFromNib();
    auto *view = qobject_cast<NSUIColorWheelView *>(nibbler.nibblerView());
    ASSERT_NE(view, nullptr);
    EXPECT_FALSE(view->toolTip().isEmpty());
    EXPECT_FALSE(view->accessibleName().isEmpty());
    nibbler.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&nibbler));
    Drain();
    UFColorWheelController *wheel = nibbler.colorWheel();
    wheel->setHueCombination(UFColorWheelController::kHueCombinationTriadic);

    // A click right of the centre selects slice 1 (the view is 232 square, the wheel 200).
    QTest::mouseClick(view, Qt::LeftButton, Qt::NoModifier, QPoint(200, 116));
    Drain();
    ASSERT_EQ(wheel->selectedSliceIndex(), 1u);
    riradi_test::SaveScreenshot(&nibbler, "NSUIColorWheelViewNibbler");

    const QImage pixels = view->grab().toImage().convertToFormat(QImage::Format_RGB32);
    ASSERT_EQ(pixels.size(), QSize(232, 232));
    // Black round the wheel; the dominant mark at (0.333, 0) of the wheel: a black dot over the
    // slice's green-yellow (hue 1/4), and the slice beside it.
    EXPECT_EQ(pixels.pixelColor(4, 4), QColor(Qt::black));
    const QPoint mark(116 + int(std::lround(0.333 * 200)), 116);
    for (const QPoint d : {QPoint(0, 0), QPoint(4, 0), QPoint(-4, 0), QPoint(0, 4), QPoint(0, -4), QPoint(3, 3)})
        EXPECT_EQ(pixels.pixelColor(mark + d), QColor(Qt::black)) << d.x() << " " << d.y();
    const QColor slice = pixels.pixelColor(mark + QPoint(0, 14));
    EXPECT_NEAR(slice.hsvHueF(), 0.25, 0.01);
    EXPECT_EQ(slice.valueF(), 1.0);
    // The selected slice reaches past the flat edge of the others (86.6 from the centre).
    EXPECT_NE(pixels.pixelColor(116 + 89, 116), QColor(Qt::black));
    EXPECT_EQ(pixels.pixelColor(116 + 89 * std::sin(M_PI / 6), 116 - 89 * std::cos(M_PI / 6)), QColor(Qt::black));
}

}  // namespace
