// Cocoa mask contexts: a new mask, the grey bytes each picture layout gives (alpha honoured),
// scaling to the mask's size, the default update and the refusals.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include <CocoaGraphics/NSCGMaskContextBase.h>
#include <CoreG/Masks/namespace_CoreGraphics_MaskContext.h>

#include "sdk/CoreX/CoreMachDebugLogTestSupport.h"

namespace {

using Bytes = std::vector<uint8_t>;

std::string Report(int line, const char *method, const char *text) {
    return std::string("VERIFY FAILED: ") + text + " in /Code/sdk/RiradI/CocoaGraphics/NSCGMaskContextBase:" +
           std::to_string(line) + " (-[NSCGMaskContextBase " + method + "])\n";
}

Bytes MaskBytes(NSCGMaskContextBase &context) {
    CoreGraphics::MaskContext &mask = context.mask();
    mask.WillAccessPixels();
    Bytes bytes;
    for (uint32_t row = 0; row < mask.mImageHeight; ++row) {
        const uint8_t *start = mask.mImageDataBytes + size_t(row) * mask.mImageRowBytes;
        bytes.insert(bytes.end(), start, start + mask.mImageWidth);
    }
    return bytes;
}

void FillMask(NSCGMaskContextBase &context, uint8_t value) {
    CoreGraphics::MaskContext &mask = context.mask();
    std::memset(mask.mImageDataBytes, value, mask.mImageDataSize);
    mask.DidWritePixels();
}

// A bitmap of its own bytes, filled row after row from `pixels` (whole rows).
std::shared_ptr<NSBitmapImageRep> Bitmap(long width, long height, long samples, bool alpha, NSBitmapFormat format,
                                         long bitsPerPixel, const Bytes &pixels, long bitsPerSample = 8) {
    auto bitmap = NSBitmapImageRep::initWithBitmapDataPlanes(nullptr, width, height, bitsPerSample, samples, alpha,
                                                             false, NSDeviceRGBColorSpace, format, 0, bitsPerPixel);
    if (bitmap && !pixels.empty()) std::memcpy(bitmap->bitmapData(), pixels.data(), std::min(pixels.size(), bitmap->dataSize()));
    return bitmap;
}

class MaskContextsTest : public corex_test::DebugLogFileTest {};

TEST_F(MaskContextsTest, NewMaskIsOpaqueAndNotDirty) {
    NSCGMaskContextBase context;
    EXPECT_TRUE(NSEqualSizes(context.sizePixels(), NSMakeSize(640, 480)));
    EXPECT_EQ(MaskBytes(context), Bytes(640 * 480, 255));
    EXPECT_FALSE(context.isDirty());
    context.setDirty(true);
    EXPECT_TRUE(context.isDirty());

    NSCGMaskContextBase small(3, 2);
    EXPECT_TRUE(NSEqualSizes(small.sizePixels(), NSMakeSize(3, 2)));
    CGImageRef image = small.copyMaskImageRef();
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(CGImageGetWidth(image), 3u);
    EXPECT_EQ(CGImageGetBitsPerPixel(image), 8u);
    CGImageRelease(image);
    EXPECT_EQ(LogText(), "");
}

TEST_F(MaskContextsTest, PicturesBecomeGreyWithTheirAlphaOverAnOpaqueMask) {
    const auto first = NSAlphaFirstBitmapFormat, straight = NSAlphaNonpremultipliedBitmapFormat;
    const auto none = NSBitmapFormat(0);
    // Two pixels a case. Black at alpha 128 leaves 255 x 127 / 255 = 127 of the opaque mask;
    // premultiplied 64 at alpha 128 adds 64 to it. Red is Rec. 601 luma: 77.
    const struct {
        const char *name;
        long samples;
        bool alpha;
        NSBitmapFormat format;
        long bitsPerPixel;
        Bytes pixels;
        Bytes grey;
    } cases[] = {
        {"grey", 1, false, none, 8, {0, 77}, {0, 77}},
        {"RGB", 3, false, none, 24, {255, 255, 255, 10, 10, 10}, {255, 10}},
        {"RGB, skipped byte last", 3, false, none, 32, {0, 0, 0, 0x55, 255, 0, 0, 0x55}, {0, 77}},
        {"RGB, skipped byte first", 3, false, first, 32, {0x55, 0, 0, 0, 0x55, 255, 0, 0}, {0, 77}},
        {"RGBA straight, white and black opaque", 4, true, straight, 32, {255, 255, 255, 255, 0, 0, 0, 255},
         {255, 0}},
        {"RGBA straight, transparent", 4, true, straight, 32, {0, 0, 0, 0, 255, 0, 0, 0}, {255, 255}},
        {"RGBA straight, half black", 4, true, straight, 32, {0, 0, 0, 128, 255, 0, 0, 255}, {127, 77}},
        {"ARGB straight", 4, true, first | straight, 32, {128, 0, 0, 0, 0, 0, 0, 0}, {127, 255}},
        {"ARGB straight, opaque red", 4, true, first | straight, 32, {255, 255, 0, 0, 255, 0, 0, 0}, {77, 0}},
        {"RGBA premultiplied", 4, true, none, 32, {64, 64, 64, 128, 0, 0, 0, 0}, {191, 255}},
        {"ARGB premultiplied", 4, true, first, 32, {128, 64, 64, 64, 255, 255, 255, 255}, {191, 255}},
    };
    for (const auto &c : cases) {
        NSCGMaskContextBase context(2, 1);
        FillMask(context, 33);  // every update starts from an opaque mask
        auto bitmap = Bitmap(2, 1, c.samples, c.alpha, c.format, c.bitsPerPixel, c.pixels);
        ASSERT_TRUE(bitmap) << c.name;
        EXPECT_TRUE(context.maskUpdateFromBitmapData(bitmap.get())) << c.name;
        EXPECT_EQ(MaskBytes(context), c.grey) << c.name;
    }
    EXPECT_EQ(LogText(), "");
}

TEST_F(MaskContextsTest, RawPixelBuffersNameTheirLayout) {
    NSCGMaskContextBase context(2, 2);
    // Rows of 12 bytes: two A, R, G, B pixels and 4 bytes of padding, straight alpha.
    const Bytes world{0, 9, 9, 9, 255, 255, 255, 255, 7, 7, 7, 7, 255, 0, 0, 0, 128, 0, 0, 0, 7, 7, 7, 7};
    EXPECT_TRUE(context.maskUpdateFromPixelData(world.data(), 12, 32, 4, true,
                                                NSAlphaFirstBitmapFormat | NSAlphaNonpremultipliedBitmapFormat));
    EXPECT_EQ(MaskBytes(context), (Bytes{255, 255, 0, 127}));
    EXPECT_EQ(LogText(), "");
}

TEST_F(MaskContextsTest, SameSizeKeepsPixelsAndOtherSizesAreScaledToFill) {
    // Black, white / white, black; row 0 is the top.
    const Bytes quadrants{0, 255, 255, 0};
    auto bitmap = Bitmap(2, 2, 1, false, NSBitmapFormat(0), 8, quadrants);
    NSCGMaskContextBase same(2, 2);
    ASSERT_TRUE(same.maskUpdateFromBitmapData(bitmap.get()));
    EXPECT_EQ(MaskBytes(same), quadrants);

    NSCGMaskContextBase larger(64, 48);
    ASSERT_TRUE(larger.maskUpdateFromBitmapData(bitmap.get()));
    const Bytes bytes = MaskBytes(larger);
    auto at = [&](int x, int y) { return bytes[size_t(y) * 64 + size_t(x)]; };
    EXPECT_EQ(at(8, 8), 0);
    EXPECT_EQ(at(56, 8), 255);
    EXPECT_EQ(at(8, 40), 255);
    EXPECT_EQ(at(56, 40), 0);

    // A one-pixel picture covers the whole mask, edges included; a larger one shrinks.
    auto grey = Bitmap(1, 1, 1, false, NSBitmapFormat(0), 8, {128});
    ASSERT_TRUE(larger.maskUpdateFromBitmapData(grey.get()));
    EXPECT_EQ(MaskBytes(larger), Bytes(64 * 48, 128));
    auto big = Bitmap(300, 200, 4, true, NSAlphaNonpremultipliedBitmapFormat, 32, Bytes(300 * 200 * 4, 0));
    ASSERT_TRUE(larger.maskUpdateFromBitmapData(big.get()));  // transparent
    EXPECT_EQ(MaskBytes(larger), Bytes(64 * 48, 255));
    EXPECT_EQ(LogText(), "");
}

TEST_F(MaskContextsTest, DefaultUpdateLeavesTheMaskOpaque) {
    NSCGMaskContextBase context(5, 4);
    FillMask(context, 0);
    EXPECT_TRUE(context.maskUpdate());
    EXPECT_EQ(MaskBytes(context), Bytes(20, 255));
    EXPECT_EQ(LogText(), "");
}

TEST_F(MaskContextsTest, UnusableInputIsRefusedAndTheMaskKept) {
    NSCGMaskContextBase context(2, 1);
    FillMask(context, 40);
    auto floating = Bitmap(2, 1, 1, false, NSFloatingPointSamplesBitmapFormat, 32, {}, 32);
    auto wide = Bitmap(2, 1, 4, true, NSBitmapFormat(0), 64, {}, 16);
    auto greyAndAlpha = Bitmap(2, 1, 2, true, NSBitmapFormat(0), 16, {});
    ASSERT_TRUE(floating && wide && greyAndAlpha);
    EXPECT_FALSE(context.maskUpdateFromBitmapData(nullptr));
    EXPECT_FALSE(context.maskUpdateFromBitmapDataSameSize(floating.get()));
    EXPECT_FALSE(context.maskUpdateFromBitmapDataSameSize(wide.get()));
    EXPECT_FALSE(context.maskUpdateFromBitmapData(greyAndAlpha.get()));
    EXPECT_FALSE(context.maskUpdateFromPixelData(nullptr, 8, 32, 4, true, NSBitmapFormat(0)));
    const Bytes pixels(8, 0);
    EXPECT_FALSE(context.maskUpdateFromPixelData(pixels.data(), 0, 32, 4, true, NSBitmapFormat(0)));
    EXPECT_FALSE(context.maskDrawCGImage(nullptr));
    EXPECT_EQ(MaskBytes(context), Bytes(2, 40));
    const char *pixelMethod = "maskUpdateFromPixelData:rowBytes:bitsPerPixel:samplesPerPixel:hasAlpha:";
    EXPECT_EQ(LogText(),
              Report(189, "maskUpdateFromBitmapData:", " code : inBitmapImageRep") +
                  Report(144, "maskUpdateFromBitmapDataSameSize:", " code : fFloatingPoint==false") +
                  Report(145, "maskUpdateFromBitmapDataSameSize:", " code : bitsPerSample==8") +
                  Report(109, "maskDrawFromPixelData:rowBytes:bitsPerPixel:samplesPerPixel:hasAlpha:",
                         " code : imageRef") +
                  Report(126, pixelMethod, " code : pixelData!=NULL && rowBytes!=0") +
                  Report(126, pixelMethod, " code : pixelData!=NULL && rowBytes!=0"));
}

}  // namespace
