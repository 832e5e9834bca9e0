// Retina names and the built-in NeXT-look pictures on a screen of two pixels a point.
#include <CocoaGraphics/NSImage_NSNextRetinaImage.h>
#include <CocoaGraphics/NSImage_RetinaDisplays.h>

#include <gtest/gtest.h>

#include <QApplication>
#include <QScreen>

#include <cstdlib>

namespace {

QScreen *DoubleScaleScreen() {
    static QApplication *application = [] {
        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
        ::setenv("QT_SCALE_FACTOR", "2", 1);
        static int argc = 1;
        static char name[] = "RetinaTests";
        static char *argv[] = {name, nullptr};
        return new QApplication(argc, argv);
    }();
    (void)application;
    return QGuiApplication::primaryScreen();
}

TEST(RetinaNames, DoubleScaleScreenNamesTheTwoTimesVariant) {
    QScreen *screen = DoubleScaleScreen();
    ASSERT_EQ(screen->devicePixelRatio(), 2.0);
    EXPECT_EQ(NSImage_RetinaDisplays::imageNamedForResolutionOfScreen("knob.png", screen), "knob@2x.png");
    EXPECT_EQ(NSImage_RetinaDisplays::imageNamedForResolutionOfScreen("knob", screen), "knob@2x");
}

TEST(NextRetinaImageOnDoubleScale, VariantAtPlainSizeOrPlainEnlarged) {
    QScreen *screen = DoubleScaleScreen();
    auto bar = NSImage_NSNextRetinaImage::nextImageNamedLoadedForScreen("NSNeXTSliderBarColor", screen);
    ASSERT_NE(bar, nullptr);
    EXPECT_EQ(bar->representations().front()->pixelsWide(), 8);  // the 2X entry
    EXPECT_EQ(bar->size().width, 4);                               // at the plain image's size
    EXPECT_EQ(bar->size().height, 4);

    auto knob = NSImage_NSNextRetinaImage::nextImageNamedLoadedForScreen("NSNeXTSliderKnob", screen);
    ASSERT_NE(knob, nullptr);
    EXPECT_EQ(knob->representations().front()->pixelsWide(), 16);  // no 2X entry: the plain one
    EXPECT_EQ(knob->size().width, 32);                               // enlarged
    EXPECT_EQ(NSImage_NSNextRetinaImage::nextImageNamedScaledForScreen("NSNeXTSliderBarColor", screen)->size().width, 8);
}

}  // namespace
