// The skinned window on Xvfb (no compositing manager, no window manager): opaque, painted in
// its background colour, carrying the skinned buttons and slider, and moved by dragging its
// background.
#include <LumoraApp/LumoraButtons.h>
#include <LumoraApp/LumoraSlider.h>
#include <LumoraApp/LumoraWindow.h>

#include <CoreGraphics/CGWindowCompositing.h>

#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QMouseEvent>
#include <QTest>

#include "sdk/RiradI/RiradITestApplication.h"

namespace {

TEST(LumoraWindowOnX11, OpaqueWithoutACompositorAndSkinned) {
    riradi_test::WindowApplication();
    ASSERT_FALSE(CGWindowServerIsCompositing());  // Xvfb
    LumoraWindow window(QRect(40, 40, 300, 120));
    window.setWindowTitle("Lumora skinned widgets");
    EXPECT_FALSE(window.testAttribute(Qt::WA_TranslucentBackground));
    LumoraLEDButton led(&window);
    led.setGeometry(10, 10, 64, 64);
    led.setTitle(QStringLiteral("Light"));
    LumoraRecordButton record(&window);
    record.setGeometry(84, 10, 64, 64);
    record.setTitle(QStringLiteral("Record"));
    LumoraRoundButton round(&window);
    round.setGeometry(158, 10, 64, 64);
    round.setTitle(QStringLiteral("Round"));
    LumoraSlider slider(&window);
    slider.setGeometry(10, 84, 280, 24);
    slider.setToolTip(QStringLiteral("Amount"));
    slider.setDoubleValue(0.5);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    riradi_test::RunPendingEvents();

    const QImage picture = window.grab().toImage().convertToFormat(QImage::Format_RGB32);
    const double ratio = picture.devicePixelRatio();
    auto at = [&](int x, int y) { return picture.pixelColor(int(x * ratio), int(y * ratio)); };
    EXPECT_EQ(at(290, 5).rgb(), QColor::fromRgbF(0.9f, 0.9f, 0.9f).rgb());  // the background, opaque
    // The record button's face: a round grey face, its light off (dim) in the middle.
    const QColor light = at(84 + 32, 10 + 32);
    EXPECT_LT(std::abs(light.red() - light.green()), 30);
    // A momentary button: a click does not turn it on; the application does, and it lights red.
    QTest::mouseClick(&record, Qt::LeftButton, {}, QPoint(32, 32));
    riradi_test::RunPendingEvents();
    EXPECT_EQ(record.state(), 0);
    record.setState(1);
    riradi_test::RunPendingEvents();
    const QImage lit = window.grab().toImage().convertToFormat(QImage::Format_RGB32);
    const QColor red = lit.pixelColor(int((84 + 32) * ratio), int((10 + 32) * ratio));
    EXPECT_GT(red.red(), red.green() + 60);
    riradi_test::SaveScreenshot(&window, "LumoraWindow");
}

TEST(LumoraWindowOnX11, MovedByItsBackground) {
    riradi_test::WindowApplication();
    LumoraPanel panel(QRect(100, 100, 200, 100));
    panel.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&panel));
    riradi_test::RunPendingEvents();
    const QPoint start = panel.pos();
    // A press on the background, a drag of (30, 20) in screen coordinates, a release.
    const QPointF down(50, 50);
    const QPointF screen = panel.mapToGlobal(down);
    QMouseEvent press(QEvent::MouseButtonPress, down, screen, Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&panel, &press);
    const QPointF to = down + QPointF(30, 20);
    QMouseEvent move(QEvent::MouseMove, to, screen + QPointF(30, 20), Qt::NoButton, Qt::LeftButton,
                     Qt::NoModifier);
    QApplication::sendEvent(&panel, &move);
    QMouseEvent release(QEvent::MouseButtonRelease, to, screen + QPointF(30, 20), Qt::LeftButton,
                        Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(&panel, &release);
    riradi_test::RunPendingEvents();
    EXPECT_EQ(panel.pos(), start + QPoint(30, 20));
}

}  // namespace
