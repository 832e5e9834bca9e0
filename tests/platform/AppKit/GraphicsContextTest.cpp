// Graphics contexts: which bitmaps they draw into, the per-thread current context and its
// stack of saved states, and images drawn into the current context.
#include <gtest/gtest.h>

#include <cstring>
#include <thread>
#include <vector>

#include <AppKit/NSGraphicsContext.h>

namespace {

using Bytes = std::vector<uint8_t>;

std::shared_ptr<NSBitmapImageRep> Bitmap(long samples, bool alpha, NSBitmapFormat format, long bitsPerPixel,
                                         long bitsPerSample = 8) {
    return NSBitmapImageRep::initWithBitmapDataPlanes(nullptr, 2, 2, bitsPerSample, samples, alpha, false,
                                                      NSDeviceRGBColorSpace, format, 0, bitsPerPixel);
}

TEST(NSGraphicsContext, DrawsIntoTheBitmapLayoutsQuartzDraws) {
    struct Case {
        const char *name;
        std::shared_ptr<NSBitmapImageRep> bitmap;
        bool drawable;
    };
    const Case cases[] = {
        {"grey", Bitmap(1, false, NSBitmapFormat(0), 8), true},
        {"RGB skipping the last byte", Bitmap(3, false, NSBitmapFormat(0), 32), true},
        {"RGB skipping the first byte", Bitmap(3, false, NSAlphaFirstBitmapFormat, 32), true},
        {"RGBA premultiplied", Bitmap(4, true, NSBitmapFormat(0), 32), true},
        {"ARGB premultiplied", Bitmap(4, true, NSAlphaFirstBitmapFormat, 32), true},
        {"packed RGB", Bitmap(3, false, NSBitmapFormat(0), 24), false},
        {"straight RGBA", Bitmap(4, true, NSAlphaNonpremultipliedBitmapFormat, 32), false},
        {"16-bit RGBA", Bitmap(4, true, NSBitmapFormat(0), 64, 16), false},
        {"null", nullptr, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const auto context = NSGraphicsContext::graphicsContextWithBitmapImageRep(c.bitmap);
        EXPECT_EQ(context != nullptr, c.drawable);
        if (context == nullptr) continue;
        EXPECT_EQ(context->bitmapImageRep(), c.bitmap);
        EXPECT_FALSE(context->isFlipped());
        // What is drawn reaches the bitmap's own bytes once flushed.
        CGContextSetRGBFillColor(context->graphicsPort(), 1, 1, 1, 1);
        CGContextFillRect(context->graphicsPort(), CGRectMake(0, 0, 2, 2));
        context->flushGraphics();
        EXPECT_EQ(c.bitmap->bitmapData()[0], 255);
    }
    EXPECT_EQ(NSGraphicsContext::graphicsContextWithGraphicsPort(nullptr, true), nullptr);
}

TEST(NSGraphicsContext, CurrentContextAndSavedStatesArePerThread) {
    const auto first = NSGraphicsContext::graphicsContextWithBitmapImageRep(Bitmap(1, false, NSBitmapFormat(0), 8));
    const auto second = NSGraphicsContext::graphicsContextWithBitmapImageRep(Bitmap(1, false, NSBitmapFormat(0), 8));
    ASSERT_TRUE(first && second);
    EXPECT_EQ(NSGraphicsContext::currentContext(), nullptr);
    NSGraphicsContext::restoreGraphicsState();  // nothing saved: nothing happens
    EXPECT_EQ(NSGraphicsContext::currentContext(), nullptr);

    NSGraphicsContext::saveGraphicsState();  // saves "no context"
    NSGraphicsContext::setCurrentContext(first);
    NSGraphicsContext::saveGraphicsState();
    CGContextTranslateCTM(first->graphicsPort(), 5, 0);
    NSGraphicsContext::setCurrentContext(second);
    std::thread([] { EXPECT_EQ(NSGraphicsContext::currentContext(), nullptr); }).join();

    NSGraphicsContext::restoreGraphicsState();
    EXPECT_EQ(NSGraphicsContext::currentContext(), first);
    EXPECT_EQ(CGContextGetCTM(first->graphicsPort()).tx, 0.0);
    NSGraphicsContext::restoreGraphicsState();
    EXPECT_EQ(NSGraphicsContext::currentContext(), nullptr);
}

TEST(NSGraphicsContext, ImagesDrawIntoTheCurrentContext) {
    // A 2 x 1 grey image: its right half only, stretched over a 2 x 1 grey bitmap.
    auto grey = Bitmap(1, false, NSBitmapFormat(0), 8);
    auto source = NSBitmapImageRep::initWithBitmapDataPlanes(nullptr, 2, 1, 8, 1, false, false,
                                                             NSDeviceWhiteColorSpace, NSBitmapFormat(0), 0, 8);
    source->bitmapData()[0] = 10;
    source->bitmapData()[1] = 90;
    NSImage image;
    image.addRepresentation(source);
    EXPECT_FALSE(NSImageDrawInRect(image, CGRectMake(0, 0, 2, 2), CGRectZero, NSCompositingOperationCopy, 1));

    const auto context = NSGraphicsContext::graphicsContextWithBitmapImageRep(grey);
    NSGraphicsContext::setCurrentContext(context);
    EXPECT_TRUE(NSImageDrawInRect(image, CGRectMake(0, 0, 2, 2), CGRectMake(1, 0, 1, 1),
                                  NSCompositingOperationSourceOver, 1));
    context->flushGraphics();
    EXPECT_EQ(Bytes(grey->bitmapData(), grey->bitmapData() + 4), (Bytes{90, 90, 90, 90}));
    // The whole image, half strength over black.
    std::memset(grey->bitmapData(), 0, grey->dataSize());
    context->bitmapDataWritten();
    EXPECT_TRUE(NSImageDrawInRect(image, CGRectMake(0, 0, 2, 2), CGRectZero, NSCompositingOperationSourceOver, 0.5));
    context->flushGraphics();
    EXPECT_EQ(Bytes(grey->bitmapData(), grey->bitmapData() + 4), (Bytes{5, 45, 5, 45}));
    // Nothing to draw from an image without a bitmap.
    EXPECT_FALSE(NSImageDrawInRect(NSImage(NSMakeSize(2, 2)), CGRectMake(0, 0, 2, 2), CGRectZero,
                                   NSCompositingOperationCopy, 1));
    NSGraphicsContext::setCurrentContext(nullptr);
}

}  // namespace
