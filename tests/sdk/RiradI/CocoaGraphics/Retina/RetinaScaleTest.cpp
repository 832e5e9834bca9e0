// Offscreen contexts sized in points on a screen that shows two pixels per point.
#include <gtest/gtest.h>

#include <QApplication>
#include <QScreen>

#include <cstdlib>

#include <CocoaGraphics/UFOffscreenBitmapGraphicsContext.h>

namespace {

QApplication *DoubleScaleApplication() {
    static QApplication *application = [] {
        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
        ::setenv("QT_SCALE_FACTOR", "2", 1);
        static int argc = 1;
        static char name[] = "RetinaTests";
        static char *argv[] = {name, nullptr};
        return new QApplication(argc, argv);
    }();
    return application;
}

TEST(RetinaScale, PointsBecomeTwiceAsManyPixels) {
    DoubleScaleApplication();
    EXPECT_EQ(UFOffscreenBitmapGraphicsContext::scaleForRetinaDisplay(QGuiApplication::primaryScreen()), 2.0);
    auto context = UFOffscreenBitmapGraphicsContext::offscreenBitmapContextWithSizePoints(NSMakeSize(100, 50));
    ASSERT_NE(context->bitmapImageRep(), nullptr);
    EXPECT_EQ(context->bitmapImageRep()->pixelsWide(), 200);
    EXPECT_EQ(context->bitmapImageRep()->pixelsHigh(), 100);
}

}  // namespace
