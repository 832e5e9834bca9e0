// Images, image masks, data providers, crops and clipping to masks.
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <memory>
#include <string>

#include "CGTestSupport.h"

using cgtest::Bitmap;
using cgtest::Holder;

namespace {

constexpr uint32_t kARGB = kCGImageAlphaPremultipliedFirst;

// An image over a vector of exactly the bytes it needs (so that AddressSanitizer sees any
// read past them).
struct TestImage {
    std::shared_ptr<std::vector<uint8_t>> bytes;
    Holder<CGImageRef> image;
};

TestImage MakeImage(size_t width, size_t height, size_t bytesPerPixel, uint32_t info, std::vector<uint8_t> bytes,
                    bool mask = false) {
    TestImage made;
    made.bytes = std::make_shared<std::vector<uint8_t>>(std::move(bytes));
    Holder<CGDataProviderRef> provider(
        CGDataProviderCreateWithData(nullptr, made.bytes->data(), made.bytes->size(), nullptr));
    if (mask) {
        made.image.reset(CGImageMaskCreate(width, height, 8, 8, width, provider, nullptr, true));
    } else {
        Holder<CGColorSpaceRef> space(bytesPerPixel == 1 ? CGColorSpaceCreateDeviceGray()
                                                         : CGColorSpaceCreateDeviceRGB());
        made.image.reset(CGImageCreate(width, height, 8, bytesPerPixel * 8, width * bytesPerPixel, space, info,
                                       provider, nullptr, true, kCGRenderingIntentDefault));
    }
    return made;
}

std::vector<uint8_t> Row(const Bitmap &b, size_t row) {
    return std::vector<uint8_t>(b.at(0, row), b.at(0, row) + b.width * b.bytesPerPixel);
}

TEST(Image, DrawnScaledWithItsFirstRowAtTheTop) {
    // 2 x 2 grey image: top row 10, 20; bottom row 30, 40.
    TestImage source = MakeImage(2, 2, 1, kCGImageAlphaNone, {10, 20, 30, 40});
    ASSERT_TRUE(source.image);
    Bitmap bitmap = Bitmap::Make(4, 4, kCGImageAlphaNone, true);
    CGContextSetInterpolationQuality(bitmap.context, kCGInterpolationNone);
    CGContextDrawImage(bitmap.context, CGRectMake(0, 0, 4, 4), source.image);
    EXPECT_EQ(Row(bitmap, 0), (std::vector<uint8_t>{10, 10, 20, 20}));
    EXPECT_EQ(Row(bitmap, 1), (std::vector<uint8_t>{10, 10, 20, 20}));
    EXPECT_EQ(Row(bitmap, 2), (std::vector<uint8_t>{30, 30, 40, 40}));
    EXPECT_EQ(Row(bitmap, 3), (std::vector<uint8_t>{30, 30, 40, 40}));
}

TEST(Image, DrawnIntoAPartOfTheContext) {
    TestImage source = MakeImage(1, 1, 4, kARGB, {255, 0, 255, 0});
    Bitmap bitmap = Bitmap::Make(4, 4, kARGB);
    CGContextDrawImage(bitmap.context, CGRectMake(2, 0, 2, 1), source.image);
    EXPECT_EQ(Row(bitmap, 3), (std::vector<uint8_t>{0, 0, 0, 0, 0, 0, 0, 0, 255, 0, 255, 0, 255, 0, 255, 0}));
    for (size_t row = 0; row < 3; ++row)
        for (uint8_t b : Row(bitmap, row)) EXPECT_EQ(b, 0);
}

struct ImageLayoutCase {
    const char *name;
    size_t bytesPerPixel;
    uint32_t info;
    std::vector<uint8_t> pixel;
    std::vector<uint8_t> drawn;  // in a premultiplied ARGB context cleared to 0
};

class ImageLayout : public testing::TestWithParam<ImageLayoutCase> {};

TEST_P(ImageLayout, DrawsAsPremultipliedARGB) {
    const ImageLayoutCase &c = GetParam();
    TestImage source = MakeImage(1, 1, c.bytesPerPixel, c.info, c.pixel);
    ASSERT_TRUE(source.image);
    Bitmap bitmap = Bitmap::Make(1, 1, kARGB);
    CGContextDrawImage(bitmap.context, CGRectMake(0, 0, 1, 1), source.image);
    EXPECT_EQ(bitmap.pixel(0, 0), c.drawn);
}

INSTANTIATE_TEST_SUITE_P(
    Layouts, ImageLayout,
    testing::Values(ImageLayoutCase{"PremultipliedFirst", 4, kARGB, {128, 100, 50, 0}, {128, 100, 50, 0}},
                    ImageLayoutCase{"NotPremultipliedFirst", 4, kCGImageAlphaFirst, {128, 255, 100, 0}, {128, 128, 50, 0}},
                    ImageLayoutCase{"NotPremultipliedLittle", 4, kCGImageAlphaFirst | kCGBitmapByteOrder32Little,
                                    {0, 100, 255, 128}, {128, 128, 50, 0}},
                    ImageLayoutCase{"NotPremultipliedLast", 4, kCGImageAlphaLast, {255, 100, 0, 128}, {128, 128, 50, 0}},
                    ImageLayoutCase{"SkipLast", 4, kCGImageAlphaNoneSkipLast, {1, 2, 3, 0}, {255, 1, 2, 3}},
                    ImageLayoutCase{"RGB24", 3, kCGImageAlphaNone, {1, 2, 3}, {255, 1, 2, 3}},
                    ImageLayoutCase{"Grey", 1, kCGImageAlphaNone, {9}, {255, 9, 9, 9}}),
    [](const testing::TestParamInfo<ImageLayoutCase> &info) { return std::string(info.param.name); });

TEST(Image, CreateRefusesWhatItCannotReadSafely) {
    std::vector<uint8_t> bytes(4 * 4 * 4);
    Holder<CGDataProviderRef> provider(CGDataProviderCreateWithData(nullptr, bytes.data(), bytes.size(), nullptr));
    Holder<CGColorSpaceRef> rgb(CGColorSpaceCreateDeviceRGB());
    Holder<CGColorSpaceRef> grey(CGColorSpaceCreateDeviceGray());
    const CGFloat decode[8] = {1, 0, 1, 0, 1, 0, 1, 0};
    auto create = [&](size_t w, size_t h, size_t bpp, size_t bpr, CGColorSpaceRef space, uint32_t info,
                      const CGFloat *dec = nullptr) {
        Holder<CGImageRef> image(CGImageCreate(w, h, 8, bpp, bpr, space, info, provider, dec, true,
                                               kCGRenderingIntentDefault));
        return bool(image);
    };
    EXPECT_TRUE(create(4, 4, 32, 16, rgb, kARGB));
    EXPECT_FALSE(create(4, 5, 32, 16, rgb, kARGB));  // one row more than the provider holds
    EXPECT_FALSE(create(4, 4, 32, 17, rgb, kARGB));  // rows too far apart for the last one
    EXPECT_TRUE(create(4, 4, 8, 4, grey, kCGImageAlphaNone));
    EXPECT_FALSE(create(4, 4, 8, 4, rgb, kCGImageAlphaNone));  // one byte is not RGB
    EXPECT_FALSE(create(4, 4, 32, 8, rgb, kARGB));            // rows shorter than the pixels
    EXPECT_FALSE(create(4, 4, 32, 16, rgb, kCGImageAlphaOnly));
    EXPECT_FALSE(create(4, 4, 32, 16, rgb, kARGB, decode));
    EXPECT_FALSE(create(4, 4, 32, 16, nullptr, kARGB));
    EXPECT_FALSE(create(0, 4, 32, 16, rgb, kARGB));
    Holder<CGImageRef> mask(CGImageMaskCreate(4, 4, 1, 1, 1, provider, nullptr, true));
    EXPECT_FALSE(mask);  // 1-bit masks are not read
}

TEST(Image, AccessorsDescribeTheImage) {
    TestImage made = MakeImage(3, 2, 4, kCGImageAlphaNoneSkipFirst, std::vector<uint8_t>(24));
    EXPECT_EQ(CGImageGetWidth(made.image), 3u);
    EXPECT_EQ(CGImageGetHeight(made.image), 2u);
    EXPECT_EQ(CGImageGetBitsPerComponent(made.image), 8u);
    EXPECT_EQ(CGImageGetBitsPerPixel(made.image), 32u);
    EXPECT_EQ(CGImageGetBytesPerRow(made.image), 12u);
    EXPECT_EQ(CGImageGetAlphaInfo(made.image), kCGImageAlphaNoneSkipFirst);
    EXPECT_EQ(CGColorSpaceGetModel(CGImageGetColorSpace(made.image)), kCGColorSpaceModelRGB);
    EXPECT_FALSE(CGImageIsMask(made.image));
    EXPECT_EQ(CFGetTypeID(made.image), CGImageGetTypeID());
    TestImage mask = MakeImage(3, 2, 1, 0, std::vector<uint8_t>(6), true);
    EXPECT_TRUE(CGImageIsMask(mask.image));
    EXPECT_EQ(CGImageGetColorSpace(mask.image), nullptr);
}

struct CropCase {
    const char *name;
    CGRect rect;
    bool made;
    size_t x, y, width, height;  // the part of the 5 x 4 image it holds
};

class Crop : public testing::TestWithParam<CropCase> {};

TEST_P(Crop, HoldsThePartInsideTheImage) {
    const CropCase &c = GetParam();
    // A 5 x 4 grey image whose pixel (x, y) is 10 * y + x.
    std::vector<uint8_t> bytes;
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 5; ++x) bytes.push_back(uint8_t(10 * y + x));
    TestImage source = MakeImage(5, 4, 1, kCGImageAlphaNone, bytes);
    Holder<CGImageRef> part(CGImageCreateWithImageInRect(source.image, c.rect));
    ASSERT_EQ(bool(part), c.made);
    if (!part) return;
    ASSERT_EQ(CGImageGetWidth(part), c.width);
    ASSERT_EQ(CGImageGetHeight(part), c.height);
    // Drawn, every byte of the part is read (AddressSanitizer checks none beyond the image).
    Bitmap bitmap = Bitmap::Make(c.width, c.height, kCGImageAlphaNone, true);
    CGContextDrawImage(bitmap.context, CGRectMake(0, 0, CGFloat(c.width), CGFloat(c.height)), part);
    for (size_t y = 0; y < c.height; ++y)
        for (size_t x = 0; x < c.width; ++x)
            EXPECT_EQ(bitmap.at(x, y)[0], 10 * (c.y + y) + (c.x + x)) << x << "," << y;
    Holder<CFDataRef> data(CGDataProviderCopyData(CGImageGetDataProvider(part)));
    EXPECT_EQ(size_t(CFDataGetLength(data)), (c.height - 1) * 5 + c.width);
}

INSTANTIATE_TEST_SUITE_P(
    Rects, Crop,
    testing::Values(CropCase{"Inside", CGRectMake(1, 1, 2, 2), true, 1, 1, 2, 2},
                    CropCase{"Whole", CGRectMake(0, 0, 5, 4), true, 0, 0, 5, 4},
                    CropCase{"BottomRightCorner", CGRectMake(3, 2, 2, 2), true, 3, 2, 2, 2},
                    CropCase{"PastRightAndBottom", CGRectMake(3, 2, 10, 10), true, 3, 2, 2, 2},
                    CropCase{"BeforeTheOrigin", CGRectMake(-2, -1, 4, 3), true, 0, 0, 2, 2},
                    CropCase{"Fractional", CGRectMake(0.5, 0.5, 1, 1), true, 0, 0, 2, 2},
                    CropCase{"OutsideRight", CGRectMake(5, 0, 2, 2), false, 0, 0, 0, 0},
                    CropCase{"OutsideBelow", CGRectMake(0, 4, 2, 2), false, 0, 0, 0, 0},
                    CropCase{"Empty", CGRectMake(1, 1, 0, 0), false, 0, 0, 0, 0},
                    CropCase{"Null", CGRectNull, false, 0, 0, 0, 0},
                    CropCase{"NotFinite", CGRectMake(0, 0, NAN, 2), false, 0, 0, 0, 0}),
    [](const testing::TestParamInfo<CropCase> &info) { return std::string(info.param.name); });

// ---- data providers

struct ReleaseCount {
    std::atomic<int> calls{0};
    const void *data = nullptr;
    size_t size = 0;
};

void CountRelease(void *info, const void *data, size_t size) {
    auto *count = static_cast<ReleaseCount *>(info);
    ++count->calls;
    count->data = data;
    count->size = size;
}

TEST(DataProvider, ReleaseCallbackRunsOnceWhenTheLastUserGoes) {
    std::vector<uint8_t> bytes(4 * 4, 7);
    ReleaseCount count;
    CGDataProviderRef provider = CGDataProviderCreateWithData(&count, bytes.data(), bytes.size(), CountRelease);
    ASSERT_NE(provider, nullptr);
    Holder<CGColorSpaceRef> grey(CGColorSpaceCreateDeviceGray());
    CGImageRef image =
        CGImageCreate(4, 4, 8, 8, 4, grey, kCGImageAlphaNone, provider, nullptr, true, kCGRenderingIntentDefault);
    CGImageRef part = CGImageCreateWithImageInRect(image, CGRectMake(1, 1, 2, 2));
    ASSERT_NE(part, nullptr);
    CGDataProviderRelease(provider);
    CGImageRelease(image);
    EXPECT_EQ(count.calls, 0);  // the part still reads the bytes
    Bitmap bitmap = Bitmap::Make(2, 2, kCGImageAlphaNone, true);
    CGContextDrawImage(bitmap.context, CGRectMake(0, 0, 2, 2), part);
    EXPECT_EQ(bitmap.bytes()[0], 7);
    CGImageRelease(part);
    EXPECT_EQ(count.calls, 1);
    EXPECT_EQ(count.data, bytes.data());
    EXPECT_EQ(count.size, bytes.size());
}

TEST(DataProvider, NullDataIsRefusedAndKeepsTheCallbackUncalled) {
    ReleaseCount count;
    EXPECT_EQ(CGDataProviderCreateWithData(&count, nullptr, 16, CountRelease), nullptr);
    EXPECT_EQ(count.calls, 0);
    EXPECT_EQ(CGDataProviderCreateWithCFData(nullptr), nullptr);
}

TEST(DataProvider, OverCFDataWithoutCopying) {
    UInt8 bytes[4] = {255, 1, 2, 3};
    CFDataRef data = CFDataCreateWithBytesNoCopy(kCFAllocatorDefault, bytes, 4, kCFAllocatorNull);
    const CFIndex before = CFGetRetainCount(data);
    CGDataProviderRef provider = CGDataProviderCreateWithCFData(data);
    EXPECT_EQ(CFGetRetainCount(data), before + 1);
    Holder<CGColorSpaceRef> rgb(CGColorSpaceCreateDeviceRGB());
    Holder<CGImageRef> image(CGImageCreate(1, 1, 8, 32, 4, rgb, kARGB, provider, nullptr, true,
                                           kCGRenderingIntentDefault));
    bytes[1] = 9;  // read when drawn, not when made
    Bitmap bitmap = Bitmap::Make(1, 1, kARGB);
    CGContextDrawImage(bitmap.context, CGRectMake(0, 0, 1, 1), image);
    EXPECT_EQ(bitmap.pixel(0, 0), (std::vector<uint8_t>{255, 9, 2, 3}));
    Holder<CFDataRef> copy(CGDataProviderCopyData(provider));
    ASSERT_EQ(CFDataGetLength(copy), 4);
    EXPECT_EQ(CFDataGetBytePtr(copy)[1], 9);
    EXPECT_NE(CFDataGetBytePtr(copy), bytes);
    CGDataProviderRelease(provider);
    image.reset();
    EXPECT_EQ(CFGetRetainCount(data), before);
    CFRelease(data);
}

// ---- masks

TEST(Mask, ImageMaskLetsPaintThroughWhereItsSampleIsZero) {
    TestImage mask = MakeImage(4, 1, 1, 0, {0, 255, 128, 0}, true);
    ASSERT_TRUE(mask.image);
    Bitmap bitmap = Bitmap::Make(4, 1, kCGImageAlphaNone, true, 0);
    CGContextClipToMask(bitmap.context, CGRectMake(0, 0, 4, 1), mask.image);
    CGContextSetGrayFillColor(bitmap.context, 1, 1);
    CGContextFillRect(bitmap.context, CGRectMake(0, 0, 4, 1));
    EXPECT_EQ(bitmap.bytes()[0], 255);
    EXPECT_EQ(bitmap.bytes()[1], 0);
    EXPECT_NEAR(bitmap.bytes()[2], 127, 1);
    EXPECT_EQ(bitmap.bytes()[3], 255);
}

TEST(Mask, GreyImageIsCoverage) {
    TestImage grey = MakeImage(4, 1, 1, kCGImageAlphaNone, {0, 255, 128, 0});
    Bitmap bitmap = Bitmap::Make(4, 1, kARGB);
    CGContextClipToMask(bitmap.context, CGRectMake(0, 0, 4, 1), grey.image);
    CGContextSetRGBFillColor(bitmap.context, 1, 1, 1, 1);
    CGContextFillRect(bitmap.context, CGRectMake(0, 0, 4, 1));
    EXPECT_EQ(bitmap.at(0, 0)[0], 0);
    EXPECT_EQ(bitmap.at(1, 0)[0], 255);
    EXPECT_NEAR(bitmap.at(2, 0)[0], 128, 1);
    EXPECT_EQ(bitmap.at(3, 0)[0], 0);
}

TEST(Mask, ClipsOnlyInsideItsRectAndStacks) {
    // Two masks over different halves: only where both let paint through is painted.
    TestImage left = MakeImage(2, 1, 1, 0, {0, 255}, true);   // paints the left half
    TestImage top = MakeImage(1, 2, 1, 0, {0, 255}, true);    // paints the top half
    Bitmap bitmap = Bitmap::Make(6, 4, kCGImageAlphaNone, true, 10);
    CGContextSetInterpolationQuality(bitmap.context, kCGInterpolationNone);
    CGContextClipToMask(bitmap.context, CGRectMake(0, 0, 4, 4), left.image);
    CGContextClipToMask(bitmap.context, CGRectMake(0, 0, 4, 4), top.image);
    CGContextSetGrayFillColor(bitmap.context, 1, 1);
    CGContextFillRect(bitmap.context, CGRectMake(0, 0, 6, 4));
    const std::vector<std::string> expected = {"##....", "##....", "......", "......"};
    for (size_t y = 0; y < 4; ++y) {
        std::string row;
        for (size_t x = 0; x < 6; ++x) row += bitmap.at(x, y)[0] == 255 ? '#' : bitmap.at(x, y)[0] == 10 ? '.' : '?';
        EXPECT_EQ(row, expected[y]) << "row " << y;
    }
}

TEST(Mask, WorksWithEveryDrawingCallAndEndsWithTheState) {
    TestImage mask = MakeImage(2, 1, 1, 0, {255, 0}, true);  // paints the right half
    TestImage picture = MakeImage(1, 1, 1, kCGImageAlphaNone, {200});
    Bitmap bitmap = Bitmap::Make(4, 3, kCGImageAlphaNone, true);
    CGContextSetInterpolationQuality(bitmap.context, kCGInterpolationNone);
    CGContextSaveGState(bitmap.context);
    CGContextClipToMask(bitmap.context, CGRectMake(0, 0, 4, 3), mask.image);
    CGContextSetGrayStrokeColor(bitmap.context, 1, 1);
    CGContextSetLineWidth(bitmap.context, 1);
    const CGPoint line[2] = {{0, 2.5}, {4, 2.5}};
    CGContextStrokeLineSegments(bitmap.context, line, 2);  // memory row 0
    CGContextDrawImage(bitmap.context, CGRectMake(0, 1, 4, 1), picture.image);  // memory row 1
    CGContextRestoreGState(bitmap.context);
    CGContextSetGrayFillColor(bitmap.context, 0.2, 1);
    CGContextFillRect(bitmap.context, CGRectMake(0, 0, 4, 1));  // memory row 2, no clip
    EXPECT_EQ(Row(bitmap, 0), (std::vector<uint8_t>{0, 0, 255, 255}));
    EXPECT_EQ(Row(bitmap, 1), (std::vector<uint8_t>{0, 0, 200, 200}));
    EXPECT_EQ(Row(bitmap, 2), (std::vector<uint8_t>{51, 51, 51, 51}));
}

TEST(Mask, ColourImageClipsEverything) {
    TestImage colour = MakeImage(1, 1, 4, kARGB, {255, 255, 255, 255});
    Bitmap bitmap = Bitmap::Make(2, 2, kARGB);
    CGContextClipToMask(bitmap.context, CGRectMake(0, 0, 2, 2), colour.image);
    CGContextSetRGBFillColor(bitmap.context, 1, 1, 1, 1);
    CGContextFillRect(bitmap.context, CGRectMake(0, 0, 2, 2));
    for (uint8_t b : bitmap.bytes()) EXPECT_EQ(b, 0);
}

TEST(Mask, DrawnImageMaskPaintsTheFillColour) {
    TestImage mask = MakeImage(2, 1, 1, 0, {0, 255}, true);
    Bitmap bitmap = Bitmap::Make(2, 1, kARGB);
    CGContextSetRGBFillColor(bitmap.context, 0, 1, 0, 1);
    CGContextDrawImage(bitmap.context, CGRectMake(0, 0, 2, 1), mask.image);
    EXPECT_EQ(bitmap.pixel(0, 0), (std::vector<uint8_t>{255, 0, 255, 0}));
    EXPECT_EQ(bitmap.pixel(1, 0), (std::vector<uint8_t>{0, 0, 0, 0}));
}

TEST(Mask, MaskOverLiveBitmapFollowsLaterDrawing) {
    // An image mask over a grey bitmap's own bytes sees what is drawn into it afterwards.
    Bitmap maskBitmap = Bitmap::Make(2, 1, kCGImageAlphaNone, true, 255);
    Holder<CGDataProviderRef> provider(
        CGDataProviderCreateWithData(nullptr, maskBitmap.bytes().data(), maskBitmap.bytes().size(), nullptr));
    Holder<CGImageRef> mask(CGImageMaskCreate(2, 1, 8, 8, 2, provider, nullptr, true));
    CGContextSetGrayFillColor(maskBitmap.context, 0, 1);
    CGContextFillRect(maskBitmap.context, CGRectMake(1, 0, 1, 1));  // opens the right pixel
    Bitmap bitmap = Bitmap::Make(2, 1, kCGImageAlphaNone, true);
    CGContextSetGrayFillColor(bitmap.context, 1, 1);
    CGContextDrawImage(bitmap.context, CGRectMake(0, 0, 2, 1), mask);
    EXPECT_EQ(bitmap.bytes(), (std::vector<uint8_t>{0, 255}));
}

}  // namespace
