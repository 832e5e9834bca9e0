// What the hand-drawn sliders share: orientation, the knob rectangle over orientation and
// flipping, images turned by 90 degrees (pixel by pixel), the capsule, the label text and the new image.
#include <UICocoaControls/NSSliderCell_Labeling.h>

#include <AppKit/NSGraphicsContext.h>

#include "../RiradITestApplication.h"

#include <gtest/gtest.h>

#include <QImage>

#include <algorithm>

namespace {

bool SameRect(CGRect a, CGRect b) {
    return a.origin.x == b.origin.x && a.origin.y == b.origin.y && a.size.width == b.size.width &&
           a.size.height == b.size.height;
}

TEST(SliderCellLabeling, OrientationAndHorizontalFrame) {
    EXPECT_TRUE(NSSliderCell_Labeling::isVertical(CGRectMake(0, 0, 20, 100)));
    EXPECT_FALSE(NSSliderCell_Labeling::isHorizontal(CGRectMake(0, 0, 20, 100)));
    EXPECT_TRUE(NSSliderCell_Labeling::isHorizontal(CGRectMake(0, 0, 100, 20)));
    EXPECT_FALSE(NSSliderCell_Labeling::isVertical(CGRectMake(0, 0, 20, 20)));
    EXPECT_FALSE(NSSliderCell_Labeling::isHorizontal(CGRectMake(0, 0, 20, 20)));
    EXPECT_TRUE(SameRect(NSSliderCell_Labeling::alwaysHorizontalFrame(CGRectMake(5, 5, 20, 100)),
                         CGRectMake(5, 5, 100, 20)));
    EXPECT_TRUE(SameRect(NSSliderCell_Labeling::alwaysHorizontalFrame(CGRectMake(5, 5, 100, 20)),
                         CGRectMake(5, 5, 100, 20)));
}

struct KnobCase {
    const char *what;
    CGRect frame;
    bool flipped;
    double value;  // in a range of 0 to 10
    CGRect knob;
};

TEST(SliderCellLabeling, KnobRectangle) {
    const KnobCase cases[] = {
        {"vertical, unflipped, middle", CGRectMake(0, 0, 20, 100), false, 5, CGRectMake(0, 40, 20, 20)},
        {"vertical, unflipped, minimum at the bottom", CGRectMake(0, 0, 20, 100), false, 0, CGRectMake(0, 0, 20, 20)},
        {"vertical, unflipped, maximum at the top", CGRectMake(0, 0, 20, 100), false, 10, CGRectMake(0, 80, 20, 20)},
        {"vertical, flipped, maximum at the top", CGRectMake(3, 7, 20, 100), true, 10, CGRectMake(3, 7, 20, 20)},
        {"vertical, flipped, minimum at the bottom", CGRectMake(3, 7, 20, 100), true, 0, CGRectMake(3, 87, 20, 20)},
        {"vertical, flipped, a quarter", CGRectMake(0, 0, 20, 100), true, 2.5, CGRectMake(0, 60, 20, 20)},
        {"horizontal, unflipped", CGRectMake(4, 6, 100, 20), false, 5, CGRectMake(44, 6, 20, 20)},
        {"horizontal, flipped", CGRectMake(4, 6, 100, 20), true, 10, CGRectMake(84, 6, 20, 20)},
        {"horizontal, minimum", CGRectMake(4, 6, 100, 20), false, 0, CGRectMake(4, 6, 20, 20)},
        {"square", CGRectMake(1, 2, 30, 30), true, 7, CGRectMake(1, 2, 30, 30)},
    };
    NSSliderCell cell;
    cell.setMinValue(0);
    cell.setMaxValue(10);
    for (const KnobCase &c : cases) {
        cell.setDoubleValue(c.value);
        const CGRect knob = NSSliderCell_Labeling::calculateKnobRectForCellFrame(cell, c.frame, c.flipped);
        EXPECT_TRUE(SameRect(knob, c.knob)) << c.what << ": " << knob.origin.x << "," << knob.origin.y << " "
                                            << knob.size.width << "x" << knob.size.height;
        EXPECT_TRUE(knob.origin.x >= c.frame.origin.x && knob.origin.y >= c.frame.origin.y &&
                    CGRectGetMaxX(knob) <= CGRectGetMaxX(c.frame) && CGRectGetMaxY(knob) <= CGRectGetMaxY(c.frame))
            << c.what;
    }
    // An empty range puts the knob at the minimum.
    cell.setMaxValue(0);
    EXPECT_TRUE(SameRect(NSSliderCell_Labeling::calculateKnobRectForCellFrame(cell, CGRectMake(0, 0, 100, 20), false),
                         CGRectMake(0, 0, 20, 20)));
}

// A 3 x 2 picture of six different colours, row 0 at the top.
QImage Asymmetric() {
    QImage picture(3, 2, QImage::Format_ARGB32);
    const QRgb colours[2][3] = {{qRgb(255, 0, 0), qRgb(0, 255, 0), qRgb(0, 0, 255)},
                                {qRgb(255, 255, 0), qRgb(0, 255, 255), qRgb(255, 0, 255)}};
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x) picture.setPixel(x, y, colours[y][x]);
    return picture;
}

// Where pixel (x, y) of a w x h picture goes when the picture turns on the screen.
QPoint Turned(int x, int y, int w, int h, int degrees) {
    switch (degrees) {
    case 90: return {y, w - 1 - x};    // counter-clockwise
    case -90: return {h - 1 - y, x};   // clockwise
    case 180: return {w - 1 - x, h - 1 - y};
    default: return {x, y};
    }
}

QImage FromCGImage(CGImageRef image) {
    auto bitmap = NSBitmapImageRep::initWithBitmapDataPlanes(nullptr, long(CGImageGetWidth(image)),
                                                             long(CGImageGetHeight(image)), 8, 4, true, false,
                                                             NSDeviceRGBColorSpace, NSAlphaFirstBitmapFormat, 0, 32);
    auto context = NSGraphicsContext::graphicsContextWithBitmapImageRep(bitmap);
    CGContextDrawImage(context->graphicsPort(),
                       CGRectMake(0, 0, CGImageGetWidth(image), CGImageGetHeight(image)), image);
    context->flushGraphics();
    return bitmap->toQImage();
}

TEST(SliderCellLabeling, CoreGraphicsImageTurnsPixelForPixel) {
    riradi_test::Application();
    const QImage source = Asymmetric();
    auto image = NSImage::imageWithQImage(source);
    CGImageRef cgSource = NSBitmapImageRepCreateCGImage(image->representations().front());
    ASSERT_NE(cgSource, nullptr);
    for (int degrees : {90, -90, 180, 0}) {
        CGImageRef turned = NSSliderCell_Labeling::coreGraphicsImageCreateRotated(cgSource, degrees);
        ASSERT_NE(turned, nullptr);
        const QImage result = FromCGImage(turned);
        const bool swapped = degrees == 90 || degrees == -90;
        ASSERT_EQ(result.width(), swapped ? 2 : 3) << degrees;
        ASSERT_EQ(result.height(), swapped ? 3 : 2) << degrees;
        for (int y = 0; y < 2; ++y) {
            for (int x = 0; x < 3; ++x) {
                const QPoint to = Turned(x, y, 3, 2, degrees);
                EXPECT_EQ(result.pixel(to), source.pixel(x, y)) << degrees << " degrees, pixel " << x << "," << y;
            }
        }
        CGImageRelease(turned);
    }
    CGImageRelease(cgSource);
    EXPECT_EQ(NSSliderCell_Labeling::coreGraphicsImageCreateRotated(nullptr, 90), nullptr);
}

TEST(SliderCellLabeling, BitmapDataTransformTurnsTheImage) {
    riradi_test::Application();
    const QImage source = Asymmetric();
    auto turned = NSSliderCell_Labeling::rotateImageWithBitmapDataTransform(*NSImage::imageWithQImage(source), 90);
    ASSERT_EQ(turned->representations().size(), 1u);
    const QImage result = turned->representations().front()->toQImage();
    ASSERT_EQ(result.size(), QSize(2, 3));
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x) EXPECT_EQ(result.pixel(Turned(x, y, 3, 2, 90)), source.pixel(x, y));
    // An image without a bitmap gives an empty image.
    EXPECT_TRUE(NSSliderCell_Labeling::rotateImageWithBitmapDataTransform(NSImage(NSMakeSize(3, 2)), 90)
                    ->representations()
                    .empty());
}

TEST(SliderCellLabeling, OffscreenTurnSwapsTheSizeAndKeepsTheImageForZero) {
    riradi_test::Application();
    QImage wide(100, 20, QImage::Format_ARGB32);
    wide.fill(Qt::white);
    for (int y = 0; y < 20; ++y) wide.setPixel(99, y, qRgb(255, 0, 0));  // a red right edge
    auto image = NSImage::imageWithQImage(wide);
    EXPECT_EQ(NSSliderCell_Labeling::rotateImage(image, nullptr, 0), image);
    auto turned = NSSliderCell_Labeling::rotateImage(image, nullptr, 90);
    ASSERT_NE(turned, nullptr);
    EXPECT_EQ(turned->size().width, 20);
    EXPECT_EQ(turned->size().height, 100);
    const QImage result = turned->representations().front()->toQImage();
    EXPECT_EQ(result.size(), QSize(20, 100));
    EXPECT_EQ(result.pixel(10, 0), qRgb(255, 0, 0));  // the right edge is now the top
    EXPECT_EQ(result.pixel(10, 99), qRgb(255, 255, 255));
    EXPECT_EQ(NSSliderCell_Labeling::rotateImage(nullptr, nullptr, 90), nullptr);
}

TEST(SliderCellLabeling, NewImageIsClearAndLozengeDrawsGrey) {
    riradi_test::Application();
    EXPECT_EQ(NSSliderCell_Labeling::beginNewImageWithLockedFocus(CGRectMake(0, 0, 0, 10)), nullptr);
    auto offscreen = NSSliderCell_Labeling::beginNewImageWithLockedFocus(CGRectMake(0, 0, 40, 10), 2.0);
    ASSERT_NE(offscreen, nullptr);
    EXPECT_TRUE(offscreen->isLocked());
    NSSliderCell_Labeling::drawLozengeBackground(CGRectMake(0, 0, 40, 10), 0.5f, 1.0f);
    offscreen->unlockFocus();
    const QImage pixels = offscreen->bitmapImageRep()->toQImage();
    ASSERT_EQ(pixels.size(), QSize(80, 20));
    EXPECT_EQ(qAlpha(pixels.pixel(0, 0)), 0);     // the corner stays clear
    EXPECT_EQ(qAlpha(pixels.pixel(40, 10)), 255);  // the middle is the capsule
    EXPECT_NEAR(qRed(pixels.pixel(40, 10)), 128, 2);
    // Without a current context nothing is drawn and nothing fails.
    NSSliderCell_Labeling::drawLozengeBackground(CGRectMake(0, 0, 40, 10));
    NSSliderCell_Labeling::drawTextInRect(CGRectMake(0, 0, 40, 10), "1.00", 11, Qt::black);
}

TEST(SliderCellLabeling, LabelTextIsWholeAndCentred) {
    riradi_test::Application();
    // The label of a self-labelling slider: small text, a trailing newline, centred in a
    // lozenge about 200 points wide.
    const struct {
        const char *text;
        int minimumWidth;
    } cases[] = {{"Amount", 30}, {"Amount   0.50\n", 55}};
    for (const auto &c : cases) {
        auto offscreen = NSSliderCell_Labeling::beginNewImageWithLockedFocus(CGRectMake(0, 0, 200, 22));
        ASSERT_NE(offscreen, nullptr);
        NSSliderCell_Labeling::drawTextInRect(CGRectMake(12, 4.4, 176, 13.2), c.text, 9, Qt::white);
        offscreen->unlockFocus();
        const QImage pixels = offscreen->bitmapImageRep()->toQImage();
        int x0 = pixels.width(), x1 = -1;
        for (int y = 0; y < pixels.height(); ++y)
            for (int x = 0; x < pixels.width(); ++x)
                if (qAlpha(pixels.pixel(x, y)) >= 64) x0 = std::min(x0, x), x1 = std::max(x1, x + 1);
        ASSERT_LT(x0, x1) << c.text << ": no ink";
        EXPECT_GE(x1 - x0, c.minimumWidth) << c.text;
        EXPECT_NEAR((x0 + x1) / 2.0, 100, 1.5) << c.text;
    }
}

}  // namespace
