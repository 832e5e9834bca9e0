// The drawn controls in windows on the X11 display, one window per family, checked by a few
// pixels and saved as screenshots (scripts/screenshots): the Core Image buttons (a face, a
// face held down and squished, an on face), the drawn sliders (the knobs) and the drag view.
#include <CocoaQZ/CIControls/CIImageMouseDragView.h>
#include <CocoaQZ/CIControls/NSUICrossFaderSlider.h>
#include <CocoaQZ/CIControls/NSUISelfLabelingSlider.h>
#include <CocoaQZ/CIControls/NUCIButton.h>

#include <AppKit/NSImage.h>

#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>
#include <QTest>

#include <cstdlib>

#include "sdk/RiradI/RiradITestApplication.h"

namespace {

// A window with a plain background of one colour.
struct Backdrop : QWidget {
    Backdrop() {
        QPalette palette;
        palette.setColor(QPalette::Window, QColor(40, 40, 40));
        setPalette(palette);
        setAutoFillBackground(true);
    }
};

QImage Grab(QWidget &window) {
    riradi_test::RunPendingEvents();
    return window.grab().toImage().convertToFormat(QImage::Format_RGB32);
}

QColor At(const QImage &picture, QPoint point) {
    const double ratio = picture.devicePixelRatio();
    return picture.pixelColor(int(point.x() * ratio), int(point.y() * ratio));
}

int Differences(const QImage &a, const QImage &b, QRect area) {
    int count = 0;
    const double ratio = a.devicePixelRatio();
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            if (a.pixel(int(x * ratio), int(y * ratio)) != b.pixel(int(x * ratio), int(y * ratio))) ++count;
    return count;
}

TEST(CIControlsWindow, ButtonFaces) {
    riradi_test::WindowApplication();
    // A checkerboard symbol, so the squish shows.
    QImage checks(40, 40, QImage::Format_ARGB32);
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 40; ++x) checks.setPixelColor(x, y, ((x / 5 + y / 5) % 2) ? Qt::black : Qt::white);
    ASSERT_TRUE(NSImage::setName(QStringLiteral("WindowTestChecks"), NSImage::imageWithQImage(checks)));

    Backdrop window;
    window.setWindowTitle("Core Image buttons");
    window.resize(340, 100);
    NUCIRoundRectButton plain(&window);
    plain.setGeometry(10, 10, 80, 80);
    plain.setTitle(QStringLiteral("WindowTestChecks"));
    plain.setAccessibleName(QStringLiteral("Round-rect button"));
    NU70sHardwareSquareButton square(&window);
    square.setGeometry(100, 10, 72, 72);
    square.setTitle(QStringLiteral("Play"));
    NU70sHardwareSquareButtonWithGreenLED led(&window);
    led.setGeometry(180, 10, 72, 72);
    led.setTitle(QStringLiteral("Light"));
    NU70sHardwareRecordButton record(&window);
    record.setGeometry(260, 10, 72, 72);
    record.setTitle(QStringLiteral("Record"));
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));

    const QImage idle = Grab(window);
    // The off face: grey 0.8 at 0.9 over the backdrop, beside the symbol's lower-left corner.
    const QColor face = At(idle, QPoint(10 + 70, 10 + 40));
    EXPECT_NEAR(face.red(), int(0.9 * 204 + 0.1 * 40), 8);
    EXPECT_EQ(face.red(), face.blue());
    EXPECT_EQ(At(idle, QPoint(11, 11)), QColor(40, 40, 40));  // the clear margin
    // The 70s faces: grey gradient, darker at the bottom.
    EXPECT_LT(At(idle, QPoint(136, 70)).red(), At(idle, QPoint(136, 22)).red());

    // Held down: the squished face is drawn over the face.
    QTest::mousePress(&plain, Qt::LeftButton, {}, QPoint(40, 40));
    ASSERT_NE(plain.buttonDownImage(), nullptr);
    const QImage held = Grab(window);
    EXPECT_GT(Differences(idle, held, QRect(20, 20, 60, 60)), 100);
    EXPECT_EQ(Differences(idle, held, QRect(100, 10, 230, 72)), 0);  // the others unchanged
    EXPECT_NE(At(held, QPoint(50, 50)), QColor(40, 40, 40));
    riradi_test::SaveScreenshot(&window, "NUCIButton-held");
    QTest::mouseRelease(&plain, Qt::LeftButton, {}, QPoint(40, 40));
    riradi_test::RunPendingEvents();

    // Released inside: on, with the control tint.
    EXPECT_EQ(plain.state(), 1);
    const QImage on = Grab(window);
    const NUCIRGBA tint = NUCIControlTintColor();
    const QColor onFace = At(on, QPoint(10 + 70, 10 + 40));
    EXPECT_NEAR(onFace.redF(), tint.red, 0.05);
    EXPECT_NEAR(onFace.blueF(), tint.blue, 0.05);
    // The on record face lights red when clicked.
    QTest::mouseClick(&record, Qt::LeftButton, {}, QPoint(36, 36));
    riradi_test::RunPendingEvents();
    EXPECT_EQ(record.state(), 1);
    const QColor light = At(Grab(window), QPoint(260 + 36, 10 + 36));
    EXPECT_GT(light.red(), light.green() + 60);
    riradi_test::SaveScreenshot(&window, "NUCIButton");
    NSImage::setName(QStringLiteral("WindowTestChecks"), nullptr);
}

TEST(CIControlsWindow, DrawnSliders) {
    riradi_test::WindowApplication();
    Backdrop window;
    window.setWindowTitle("Drawn sliders");
    window.resize(260, 140);
    NSUISelfLabelingSlider labelled(&window);
    labelled.setGeometry(20, 20, 220, 24);
    labelled.setToolTip(QStringLiteral("Amount"));
    labelled.setDoubleValue(0.0);
    NSUISelfLabelingSlider vertical(Qt::Vertical, &window);
    vertical.setGeometry(20, 56, 24, 80);
    vertical.setDoubleValue(1.0);
    NSUICrossFaderSliderView fader(&window);
    fader.setGeometry(60, 70, 180, 40);
    fader.awakeFromNib();
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));

    QImage picture = Grab(window);
    // The self-labelling knob at the left end: lit, unlike the backdrop around the label.
    const QColor knob = At(picture, QPoint(20 + 12, 20 + 12));
    EXPECT_GT(knob.red(), 80);
    EXPECT_LT(std::abs(At(picture, QPoint(20 + 200, 20 + 2)).red() - 40), 20);
    // The vertical knob at the top.
    EXPECT_GT(At(picture, QPoint(20 + 12, 56 + 12)).red(), 80);
    // The cross-fader: its bar dark in the middle, its knob (the 70s face) at the left end.
    EXPECT_LT(At(picture, QPoint(60 + 90, 70 + 20)).red(), 40);
    const QColor faderKnob = At(picture, QPoint(60 + 20, 70 + 20));
    EXPECT_GT(faderKnob.red(), 60);

    // Dragged to the right end, the fader's knob follows.
    QTest::mousePress(fader.slider(), Qt::LeftButton, {}, QPoint(20, 20));
    QTest::mouseMove(fader.slider(), QPoint(175, 20));
    QTest::mouseRelease(fader.slider(), Qt::LeftButton, {}, QPoint(175, 20));
    EXPECT_EQ(fader.doubleValue(), 1.0);
    picture = Grab(window);
    EXPECT_GT(At(picture, QPoint(60 + 160, 70 + 20)).red(), 60);
    riradi_test::SaveScreenshot(&window, "NSUISelfLabelingSlider");
}

TEST(CIControlsWindow, DragViewSelection) {
    riradi_test::WindowApplication();
    Backdrop window;
    window.setWindowTitle("Drag view");
    window.resize(220, 120);
    CIImageMouseDragView view(&window);
    view.setGeometry(10, 10, 200, 100);
    view.setImage(CIImage::imageWithColor(CIColor::colorWithRed(0.2, 0.4, 0.8, 1))
                      ->imageByCroppingToRect(CGRectMake(0, 0, 200, 100)));
    view.setP0(QPointF(0.25, 0.25));
    view.setP1(QPointF(0.75, 0.75));
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    const QImage picture = Grab(window);
    // The image fills the view; the white outline runs from (50, 75) to (150, 25).
    EXPECT_EQ(At(picture, QPoint(10 + 100, 10 + 50)), QColor::fromRgbF(0.2f, 0.4f, 0.8f));
    const QColor outline = At(picture, QPoint(10 + 100, 10 + 25));
    EXPECT_GT(outline.red(), 240);
    EXPECT_GT(outline.blue(), 240);
    riradi_test::SaveScreenshot(&window, "CIImageMouseDragView");
}

}  // namespace
