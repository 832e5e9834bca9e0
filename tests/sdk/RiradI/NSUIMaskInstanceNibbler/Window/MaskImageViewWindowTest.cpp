// The mask image view on the X11 display: the picture at the defaults, the inverted mask over
// white once the controls move.
#include <NSUIMaskInstanceNibbler/NSUIMaskImageViewController.h>

#include <AppKit/NSButton.h>
#include <UICocoaControls/NSSlider.h>

#include "../../RiradITestApplication.h"

#include <gtest/gtest.h>

#include <QHBoxLayout>
#include <QImage>
#include <QScreen>
#include <QTest>
#include <QWindow>

#include <cstdlib>

// The AddressSanitizer suppressions of this program (one definition for all its files).
extern "C" const char *__asan_default_options() { return "suppressions=" LUMORA_ASAN_SUPPRESSIONS; }

TEST(NSUIMaskImageViewWindow, ShowsThePictureThenTheInvertedMask) {
    if (std::getenv("DISPLAY") == nullptr) GTEST_FAIL() << "the gui tests run on an X display (xvfb-run)";
    riradi_test::WindowApplication();

    QWidget window;
    window.setWindowTitle(QStringLiteral("NSUIMaskImageView"));
    auto *layout = new QHBoxLayout(&window);
    auto *view = new NSUIMaskImageView;
    view->setFixedSize(64, 64);
    auto *contrast = new NSSlider(Qt::Vertical);
    auto *brightness = new NSSlider(Qt::Vertical);
    auto *invert = new NSButton;
    layout->addWidget(view);
    layout->addWidget(contrast);
    layout->addWidget(brightness);
    layout->addWidget(invert);
    NSUIMaskImageViewController controller(&window);
    controller.hide();
    controller.setImageView(view);
    controller.setContrastSlider(contrast);
    controller.setBrightnessSlider(brightness);
    controller.setInvertButton(invert);
    controller.setMaskSizePixels(NSMakeSize(64, 64));
    controller.awakeFromNib();

    // A picture dark on its left half, light on its right half.
    QImage picture(64, 64, QImage::Format_RGBA8888);
    picture.fill(QColor(230, 230, 230));
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 32; ++x) picture.setPixelColor(x, y, QColor(40, 40, 40));
    view->setImage(NSImage::imageWithQImage(picture));
    controller.imageSourceChanged(nullptr);

    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    const auto onScreen = [&] {
        riradi_test::RunPendingEvents();
        const QPoint origin = view->mapToGlobal(QPoint(0, 0));
        return window.windowHandle()->screen()->grabWindow(0, origin.x(), origin.y(), 64, 64).toImage();
    };
    QImage shown = onScreen();
    EXPECT_EQ(shown.pixelColor(10, 30), QColor(40, 40, 40));
    EXPECT_EQ(shown.pixelColor(50, 30), QColor(230, 230, 230));

    controller.setMaskInverted(true);
    controller.imageChanged(invert);
    shown = onScreen();
    EXPECT_NEAR(shown.pixelColor(10, 30).red(), 255 - 40, 1);
    EXPECT_NEAR(shown.pixelColor(50, 30).red(), 255 - 230, 1);
    riradi_test::SaveScreenshot(&window, QStringLiteral("NSUIMaskImageView"));
}
