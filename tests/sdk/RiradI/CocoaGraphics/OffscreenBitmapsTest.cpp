// The offscreen bitmap context (sizes, focus, drawing read back), bitmaps rendered from images
// (byte goldens for grey, RGB and RGBA sources) and the scope that saves the current context's
// state.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <stdexcept>
#include <string>
#include <vector>

#include <AppKit/NSGraphicsContext.h>
#include <CocoaGraphics/CGContextCurrentSaveGState.h>
#include <CocoaGraphics/NSBitmapImageRep_NSGraphicsContext.h>
#include <CocoaGraphics/UFOffscreenBitmapGraphicsContext.h>
#include <CoreGraphics/CoreGraphics.h>

#include <QGuiApplication>
#include <QImage>
#include <QScreen>

#include "sdk/CoreX/CoreMachDebugLogTestSupport.h"
#include "sdk/RiradI/RiradITestApplication.h"

namespace {

using Bytes = std::vector<uint8_t>;

// The bitmap's pixels, row after row without padding.
Bytes PixelBytes(const NSBitmapImageRep &bitmap) {
    Bytes bytes;
    const long rowLength = bitmap.pixelsWide() * bitmap.bitsPerPixel() / 8;
    for (long row = 0; row < bitmap.pixelsHigh(); ++row) {
        const uint8_t *start = bitmap.bitmapData() + row * bitmap.bytesPerRow();
        bytes.insert(bytes.end(), start, start + rowLength);
    }
    return bytes;
}

Bytes Repeat(const Bytes &pixel, size_t count) {
    Bytes bytes;
    for (size_t i = 0; i < count; ++i) bytes.insert(bytes.end(), pixel.begin(), pixel.end());
    return bytes;
}

// An image over a bitmap holding these rows (no padding), with straight alpha when it has one.
std::shared_ptr<NSImage> ImageOf(long width, long height, long samples, const Bytes &pixels) {
    const bool alpha = samples == 4;
    auto bitmap = NSBitmapImageRep::initWithBitmapDataPlanes(
        nullptr, width, height, 8, samples, alpha, false, samples == 1 ? NSDeviceWhiteColorSpace : NSDeviceRGBColorSpace,
        alpha ? NSAlphaNonpremultipliedBitmapFormat : NSBitmapFormat(0), width * samples, samples * 8);
    if (bitmap == nullptr || pixels.size() != bitmap->dataSize()) return nullptr;
    std::memcpy(bitmap->bitmapData(), pixels.data(), pixels.size());
    auto image = std::make_shared<NSImage>(NSMakeSize(double(width), double(height)));
    image->addRepresentation(bitmap);
    return image;
}

class OffscreenBitmapsTest : public corex_test::DebugLogFileTest, public riradi_test::WithApplication {
protected:
    void TearDown() override {
        NSGraphicsContext::setCurrentContext(nullptr);
        corex_test::DebugLogFileTest::TearDown();
    }
};

// ---- UFOffscreenBitmapGraphicsContext

TEST_F(OffscreenBitmapsTest, BitmapSizeIsTruncatedToWholePixels) {
    struct Case {
        NSSize size;
        long width, height;  // 0: no bitmap
    };
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const Case cases[] = {
        {{10.9, 10.9}, 10, 10}, {{100, 50}, 100, 50}, {{1, 1}, 1, 1},          {{0.5, 4}, 0, 0},
        {{4, 0}, 0, 0},         {{-3, 4}, 0, 0},      {{nan, 4}, 0, 0},        {{70000, 1}, 0, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::to_string(c.size.width) + " x " + std::to_string(c.size.height));
        auto context = UFOffscreenBitmapGraphicsContext::offscreenBitmapContextWithSizePixels(c.size);
        ASSERT_NE(context, nullptr);
        const auto bitmap = context->bitmapImageRep();
        if (c.width == 0) {
            EXPECT_EQ(bitmap, nullptr);
            EXPECT_EQ(context->graphicsContext(), nullptr);
            EXPECT_EQ(context->image(), nullptr);
            EXPECT_EQ(context->lockFocusAndEraseTransparent(true), nullptr);
            EXPECT_FALSE(context->isLocked());
            continue;
        }
        ASSERT_NE(bitmap, nullptr);
        EXPECT_EQ(bitmap->pixelsWide(), c.width);
        EXPECT_EQ(bitmap->pixelsHigh(), c.height);
        EXPECT_EQ(bitmap->bitsPerSample(), 8);
        EXPECT_EQ(bitmap->samplesPerPixel(), 4);
        EXPECT_TRUE(bitmap->hasAlpha());
        EXPECT_EQ(bitmap->bitmapFormat(), NSAlphaFirstBitmapFormat);
        EXPECT_EQ(bitmap->colorSpaceName(), NSDeviceRGBColorSpace);
        EXPECT_EQ(CGBitmapContextGetWidth(context->graphicsContext()), size_t(c.width));
        EXPECT_EQ(CGBitmapContextGetHeight(context->graphicsContext()), size_t(c.height));
    }
}

TEST_F(OffscreenBitmapsTest, SizeInPointsFollowsTheScreenScale) {
    EXPECT_EQ(UFOffscreenBitmapGraphicsContext::scaleForRetinaDisplay(nullptr), 1.0);
    const double scale = QGuiApplication::primaryScreen()->devicePixelRatio();
    auto context = UFOffscreenBitmapGraphicsContext::offscreenBitmapContextWithSizePoints(NSMakeSize(100, 50));
    ASSERT_NE(context->bitmapImageRep(), nullptr);
    EXPECT_EQ(context->bitmapImageRep()->pixelsWide(), long(100 * scale));
    EXPECT_EQ(context->bitmapImageRep()->pixelsHigh(), long(50 * scale));
}

TEST_F(OffscreenBitmapsTest, FocusSavesAndRestoresTheCallersContext) {
    auto callers = NSGraphicsContext::graphicsContextWithBitmapImageRep(NSBitmapImageRep::initWithBitmapDataPlanes(
        nullptr, 2, 2, 8, 4, true, false, NSDeviceRGBColorSpace, NSBitmapFormat(0), 0, 0));
    ASSERT_NE(callers, nullptr);
    for (const auto &current : {std::shared_ptr<NSGraphicsContext>(), callers}) {
        SCOPED_TRACE(current ? "with a current context" : "without a current context");
        NSGraphicsContext::setCurrentContext(current);
        UFOffscreenBitmapGraphicsContext offscreen(NSMakeSize(4, 2));
        EXPECT_FALSE(offscreen.isLocked());
        const auto locked = offscreen.lockFocus();
        ASSERT_NE(locked, nullptr);
        EXPECT_EQ(locked, offscreen.bitmapContext());
        EXPECT_EQ(NSGraphicsContext::currentContext(), locked);
        EXPECT_EQ(offscreen.savedContext(), current);
        EXPECT_TRUE(offscreen.isLocked());
        // A second lock answers nothing and changes nothing.
        EXPECT_EQ(offscreen.lockFocusAndEraseTransparent(true), nullptr);
        EXPECT_EQ(NSGraphicsContext::currentContext(), locked);

        offscreen.unlockFocus();
        EXPECT_FALSE(offscreen.isLocked());
        EXPECT_EQ(offscreen.savedContext(), nullptr);
        EXPECT_EQ(NSGraphicsContext::currentContext(), current);
        offscreen.unlockFocus();  // a second unlock does nothing
        EXPECT_EQ(NSGraphicsContext::currentContext(), current);
        // It locks again after the unlock.
        EXPECT_NE(offscreen.lockFocus(), nullptr);
        offscreen.unlockFocus();
        EXPECT_EQ(NSGraphicsContext::currentContext(), current);
    }
}

TEST_F(OffscreenBitmapsTest, DrawingIsReadBackFromTheBitmapAndTheImage) {
    UFOffscreenBitmapGraphicsContext offscreen(NSMakeSize(3, 2));
    const auto image = offscreen.image();
    ASSERT_NE(image, nullptr);
    ASSERT_EQ(image->representations().size(), 1u);
    EXPECT_EQ(image->representations().front(), offscreen.bitmapImageRep());  // the bitmap itself
    EXPECT_TRUE(NSEqualSizes(image->size(), NSMakeSize(3, 2)));

    // Opaque red over the bottom-left two pixels, half-transparent blue over the top-right one
    // (Quartz's origin is the bottom-left corner; row 0 of the bytes is the top row).
    auto context = offscreen.lockFocusAndEraseTransparent(false);
    ASSERT_NE(context, nullptr);
    CGContextRef port = NSGraphicsContext::currentContext()->graphicsPort();
    EXPECT_EQ(port, offscreen.graphicsContext());
    CGContextSetRGBFillColor(port, 1, 0, 0, 1);
    CGContextFillRect(port, CGRectMake(0, 0, 2, 1));
    CGContextSetRGBFillColor(port, 0, 0, 1, 0.5);
    CGContextFillRect(port, CGRectMake(2, 1, 1, 1));
    offscreen.unlockFocus();

    const Bytes none{0, 0, 0, 0}, red{255, 255, 0, 0}, blue{128, 0, 0, 128};  // A, R, G, B premultiplied
    Bytes expected = none;
    expected.insert(expected.end(), none.begin(), none.end());
    expected.insert(expected.end(), blue.begin(), blue.end());
    expected.insert(expected.end(), red.begin(), red.end());
    expected.insert(expected.end(), red.begin(), red.end());
    expected.insert(expected.end(), none.begin(), none.end());
    EXPECT_EQ(PixelBytes(*offscreen.bitmapImageRep()), expected);
    EXPECT_EQ(PixelBytes(*image->representations().front()), expected);  // later drawing shows in the image

    // Erasing to transparent on lock clears every pixel, alpha included.
    ASSERT_NE(offscreen.lockFocusAndEraseTransparent(true), nullptr);
    offscreen.unlockFocus();
    EXPECT_EQ(PixelBytes(*offscreen.bitmapImageRep()), Repeat(none, 6));
}

// ---- NSBitmapImageRep(category_NSGraphicsContext)

TEST_F(OffscreenBitmapsTest, ImagesRenderIntoRGBABitmapsByteForByte) {
    // 2 x 1 sources drawn 1:1; the result is R, G, B, A premultiplied.
    struct Case {
        const char *name;
        long samples;
        Bytes source;
        QColor background;  // invalid: none
        Bytes expected;
    };
    const Case cases[] = {
        {"grey", 1, {0, 200}, QColor(), {0, 0, 0, 255, 200, 200, 200, 255}},
        {"RGB", 3, {10, 20, 30, 250, 128, 0}, QColor(), {10, 20, 30, 255, 250, 128, 0, 255}},
        {"opaque RGBA", 4, {10, 20, 30, 255, 1, 2, 3, 255}, QColor(0, 255, 0), {10, 20, 30, 255, 1, 2, 3, 255}},
        // Half-transparent: red shows through; without a background the erase's white does.
        {"RGBA over red", 4, {0, 0, 255, 128, 0, 0, 0, 0}, QColor(255, 0, 0),
         {127, 0, 128, 255, 255, 0, 0, 255}},
        {"RGBA over white", 4, {0, 0, 255, 128, 0, 0, 0, 0}, QColor(), {127, 127, 255, 255, 255, 255, 255, 255}},
        // A translucent background replaces the white instead of blending with it.
        {"transparent RGBA over translucent green", 4, {0, 0, 0, 0, 0, 0, 0, 0}, QColor(0, 255, 0, 51),
         {0, 51, 0, 51, 0, 51, 0, 51}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const auto image = ImageOf(2, 1, c.samples, c.source);
        ASSERT_NE(image, nullptr);
        const auto bitmap =
            category_NSGraphicsContext::bitmapImageRepWithImage(image.get(), NSMakeSize(2, 1), c.background);
        ASSERT_NE(bitmap, nullptr);
        EXPECT_EQ(bitmap->samplesPerPixel(), 4);
        EXPECT_EQ(bitmap->bitmapFormat(), NSBitmapFormat(0));
        EXPECT_EQ(PixelBytes(*bitmap), c.expected);
    }
}

TEST_F(OffscreenBitmapsTest, RenderingScalesAndKeepsTheCurrentContext) {
    auto callers = NSGraphicsContext::graphicsContextWithBitmapImageRep(NSBitmapImageRep::initWithBitmapDataPlanes(
        nullptr, 1, 1, 8, 1, false, false, NSDeviceWhiteColorSpace, NSBitmapFormat(0), 0, 0));
    ASSERT_NE(callers, nullptr);
    NSGraphicsContext::setCurrentContext(callers);
    const CGAffineTransform before = CGContextGetCTM(callers->graphicsPort());

    // One pixel stretched over 3 x 2 (10.7 x 2.2 truncated); a nil image gives the colour or black.
    const auto dot = ImageOf(1, 1, 3, {40, 80, 120});
    auto bitmap = category_NSGraphicsContext::bitmapImageRepWithImage(dot.get(), NSMakeSize(3.7, 2.2));
    ASSERT_NE(bitmap, nullptr);
    EXPECT_EQ(PixelBytes(*bitmap), Repeat({40, 80, 120, 255}, 6));
    bitmap = category_NSGraphicsContext::bitmapImageRepWithImage(nullptr, NSMakeSize(2, 2), QColor());
    EXPECT_EQ(PixelBytes(*bitmap), Repeat({0, 0, 0, 255}, 4));
    bitmap = category_NSGraphicsContext::bitmapImageRepWithImage(nullptr, NSMakeSize(2, 1), QColor(255, 0, 0, 128));
    EXPECT_EQ(PixelBytes(*bitmap), Repeat({128, 0, 0, 128}, 2));
    EXPECT_EQ(category_NSGraphicsContext::bitmapImageRepWithImage(dot.get(), NSMakeSize(0, 3)), nullptr);

    EXPECT_EQ(NSGraphicsContext::currentContext(), callers);
    EXPECT_TRUE(CGAffineTransformEqualToTransform(CGContextGetCTM(callers->graphicsPort()), before));
}

TEST_F(OffscreenBitmapsTest, BitmapsAreWrappedOrRefused) {
    const auto source = ImageOf(2, 2, 1, {0, 50, 100, 150});
    const auto bitmap = category_NSGraphicsContext::bitmapImageRepWithBitmap(source->representations().front(),
                                                                             NSMakeSize(2, 2), QColor());
    ASSERT_NE(bitmap, nullptr);
    EXPECT_EQ(PixelBytes(*bitmap),
              (Bytes{0, 0, 0, 255, 50, 50, 50, 255, 100, 100, 100, 255, 150, 150, 150, 255}));
    EXPECT_EQ(LogText(), "");

    EXPECT_EQ(category_NSGraphicsContext::bitmapImageRepWithBitmap(nullptr, NSMakeSize(2, 2), QColor()), nullptr);
    EXPECT_EQ(LogText(), "VERIFY FAILED:  code : image in /Code/sdk/RiradI/CocoaGraphics/"
                         "NSBitmapImageRep_NSGraphicsContext:85 (+[NSBitmapImageRep(category_NSGraphicsContext) "
                         "bitmapImageRepWithBitmap:withSizePixels:backgroundColor:])\n");
}

TEST_F(OffscreenBitmapsTest, TIFFDataGivesTheSamePixels) {
    EXPECT_EQ(category_NSGraphicsContext::bitmapImageRepFromImageTIFFData(nullptr), nullptr);
    const NSImage empty(NSMakeSize(2, 2));
    EXPECT_EQ(category_NSGraphicsContext::bitmapImageRepFromImageTIFFData(&empty), nullptr);

    const Bytes pixels{10, 20, 30, 255, 40, 50, 60, 128, 0, 0, 0, 0, 255, 255, 255, 255};
    const auto image = ImageOf(2, 2, 4, pixels);
    const auto bitmap = category_NSGraphicsContext::bitmapImageRepFromImageTIFFData(image.get());
    ASSERT_NE(bitmap, nullptr);
    EXPECT_NE(bitmap->bitmapData(), image->representations().front()->bitmapData());
    EXPECT_EQ(bitmap->pixelsWide(), 2);
    EXPECT_EQ(bitmap->pixelsHigh(), 2);
    EXPECT_EQ(PixelBytes(*bitmap), pixels);
}

// ---- CGContextCurrentSaveGState

TEST_F(OffscreenBitmapsTest, SaveGStateScopeRestoresTheCurrentContext) {
    {
        CGContextCurrentSaveGState none;  // no current context: nothing to save
        EXPECT_EQ(none.context(), nullptr);
    }
    UFOffscreenBitmapGraphicsContext offscreen(NSMakeSize(2, 1));
    ASSERT_NE(offscreen.lockFocusAndEraseTransparent(true), nullptr);
    CGContextRef port = offscreen.graphicsContext();
    CGContextSetRGBFillColor(port, 0, 0, 1, 1);
    const CGAffineTransform identity = CGContextGetCTM(port);

    // A changed fill colour and transform end with the scope, also when an exception leaves it.
    for (const bool raise : {false, true}) {
        SCOPED_TRACE(raise ? "left by an exception" : "left normally");
        try {
            CGContextCurrentSaveGState saved;
            EXPECT_EQ(CGContextRef(saved), port);
            CGContextSetRGBFillColor(saved, 1, 0, 0, 1);
            CGContextTranslateCTM(saved, 1, 0);
            if (raise) throw std::runtime_error("drawing failed");
        } catch (const std::runtime_error &) {
        }
        EXPECT_TRUE(CGAffineTransformEqualToTransform(CGContextGetCTM(port), identity));
    }
    CGContextFillRect(port, CGRectMake(0, 0, 1, 1));
    offscreen.unlockFocus();
    EXPECT_EQ(PixelBytes(*offscreen.bitmapImageRep()), (Bytes{255, 0, 0, 255, 0, 0, 0, 0}));
}

}  // namespace
