// Bitmap contexts: the four pixel layouts byte for byte, construction and its failures,
// images over the pixels, crops, the bilinear sampler and the noise fill.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include <CoreG/Drawing/namespace_CoreGeometry_PerlinNoise.h>
#include <CoreG/Drawing/namespace_CoreGraphics_BitmapContext.h>

#include "GraphicsTestSupport.h"
#include "sdk/CoreX/CoreMachDebugLogTestSupport.h"

using namespace CoreGraphics;
using coreg_graphics_test::Holder;
using coreg_graphics_test::PixelAt;

namespace {

struct LayoutCase {
    const char *name;
    BitmapType type;
    uint32_t channels;
    uint32_t bitmapInfo;
    CGColorSpaceModel model;
    // Bytes of an opaque fill with RGB (51, 102, 153)/255 (grey: 102/255), and of a fill
    // with (204, 204, 204)/255 over it.
    std::vector<uint8_t> fill, second;
};

void PrintTo(const LayoutCase &c, std::ostream *os) { *os << c.name; }

class BitmapLayout : public ::testing::TestWithParam<LayoutCase> {};

// Every layout keeps its creator's byte order: a fill reads back as exact bytes, row 0 of the
// memory is the top of the picture, and padding beyond a row is never written.
TEST_P(BitmapLayout, FillsReadBackAsExactBytes) {
    const LayoutCase &c = GetParam();
    constexpr int kWidth = 5, kHeight = 3;
    const unsigned long rowBytes = c.channels * kWidth + 7;  // padding at the end of each row
    BitmapContext bitmap;
    ASSERT_TRUE(bitmap.Construct(kWidth, kHeight, c.type, rowBytes, nullptr));
    EXPECT_TRUE(bitmap.IsConstructed());
    EXPECT_EQ(bitmap.mImageType, c.type);
    EXPECT_EQ(bitmap.mImageChannels, c.channels);
    EXPECT_EQ(bitmap.mImageBitsPerPixel, 8 * c.channels);
    EXPECT_EQ(bitmap.mImageRowBytes, rowBytes);
    EXPECT_EQ(bitmap.mImageDataSize, rowBytes * kHeight);
    EXPECT_EQ(bitmap.mImageBitmapInfo, c.bitmapInfo);
    EXPECT_EQ(CGColorSpaceGetModel(bitmap.mImageColorspace), c.model);
    EXPECT_EQ(CGBitmapContextGetData(bitmap.mContext), bitmap.mImageDataBytes);
    for (uint32_t i = 0; i < bitmap.mImageDataSize; ++i) ASSERT_EQ(bitmap.mImageDataBytes[i], 0) << i;

    if (c.type == kBitmapType_Gray8)
        CGContextSetGrayFillColor(bitmap.mContext, 102 / 255.0, 1);
    else
        CGContextSetRGBFillColor(bitmap.mContext, 51 / 255.0, 102 / 255.0, 153 / 255.0, 1);
    CGContextFillRect(bitmap.mContext, CGRectMake(0, 0, kWidth, kHeight));
    // The bottom row of the picture (y 0..1) is the last memory row.
    CGContextSetRGBFillColor(bitmap.mContext, 0.8, 0.8, 0.8, 1);
    CGContextFillRect(bitmap.mContext, CGRectMake(0, 0, kWidth, 1));

    for (uint32_t row = 0; row < kHeight; ++row) {
        const std::vector<uint8_t> &expected = row == kHeight - 1 ? c.second : c.fill;
        for (uint32_t column = 0; column < kWidth; ++column) {
            const uint8_t *p = PixelAt(bitmap, column, row);
            EXPECT_EQ(std::vector<uint8_t>(p, p + c.channels), expected) << "row " << row << " column " << column;
        }
        const uint8_t *padding = PixelAt(bitmap, kWidth, row);
        EXPECT_EQ(std::vector<uint8_t>(padding, padding + 7), std::vector<uint8_t>(7, 0)) << "row " << row;
    }
}

INSTANTIATE_TEST_SUITE_P(
    AllTypes, BitmapLayout,
    ::testing::Values(
        LayoutCase{"Gray8", kBitmapType_Gray8, 1, 0, kCGColorSpaceModelMonochrome, {102}, {204}},
        LayoutCase{"ARGB32", kBitmapType_ARGB32, 4, 2, kCGColorSpaceModelRGB, {255, 51, 102, 153}, {255, 204, 204, 204}},
        LayoutCase{"XRGB32", kBitmapType_XRGB32, 4, 6, kCGColorSpaceModelRGB, {255, 51, 102, 153}, {255, 204, 204, 204}},
        LayoutCase{"RGBX32", kBitmapType_RGBX32, 4, 5, kCGColorSpaceModelRGB, {51, 102, 153, 255}, {204, 204, 204, 255}}),
    [](const ::testing::TestParamInfo<LayoutCase> &info) { return std::string(info.param.name); });

TEST(BitmapContext, PremultipliedAlphaIsStoredFirst) {
    BitmapContext bitmap;
    ASSERT_TRUE(bitmap.Construct(2, 2, kBitmapType_ARGB32));
    CGContextSetRGBFillColor(bitmap.mContext, 1, 0, 0, 0.6);
    CGContextFillRect(bitmap.mContext, CGRectMake(0, 0, 2, 2));
    const uint8_t *p = PixelAt(bitmap, 1, 1);
    EXPECT_EQ(std::vector<uint8_t>(p, p + 4), (std::vector<uint8_t>{153, 153, 0, 0}));
}

struct RowBytesCase {
    BitmapType type;
    int width;
    unsigned long rowBytes;
    uint32_t expected;
};

TEST(BitmapContext, RowBytesAreTheLargerOfTheRowAndTheRequest) {
    const RowBytesCase cases[] = {
        {kBitmapType_Gray8, 200, 100, 200},   {kBitmapType_Gray8, 200, 0, 200},
        {kBitmapType_ARGB32, 200, 1024, 1024}, {kBitmapType_ARGB32, 200, 100, 800},
        {kBitmapType_RGBX32, 7, 29, 29},
    };
    for (const RowBytesCase &c : cases) {
        BitmapContext bitmap;
        ASSERT_TRUE(bitmap.Construct(c.width, 3, c.type, c.rowBytes, nullptr));
        EXPECT_EQ(bitmap.mImageRowBytes, c.expected) << c.width << " " << c.rowBytes;
        EXPECT_EQ(CGBitmapContextGetBytesPerRow(bitmap.mContext), c.expected);
    }
}

TEST(BitmapContext, ColourSpaces) {
    Holder<CGColorSpaceRef> rgb(CGColorSpaceCreateWithName(kCGColorSpaceAdobeRGB1998));
    const CFIndex before = CFGetRetainCount(rgb);
    {
        // The grey layout ignores the caller's space; the others keep it (retained).
        BitmapContext grey, colour;
        ASSERT_TRUE(grey.Construct(4, 4, kBitmapType_Gray8, 0, rgb));
        EXPECT_EQ(CGColorSpaceGetModel(grey.mImageColorspace), kCGColorSpaceModelMonochrome);
        ASSERT_TRUE(colour.Construct(4, 4, kBitmapType_XRGB32, 0, rgb));
        EXPECT_EQ(colour.mImageColorspace, rgb.get());
        EXPECT_GT(CFGetRetainCount(rgb), before);
    }
    EXPECT_EQ(CFGetRetainCount(rgb), before);

    const SharedColorSpaces &spaces = SharedColorSpaces::Get();
    EXPECT_EQ(&spaces, &SharedColorSpaces::Get());
    const std::pair<CGColorSpaceRef, CFStringRef> named[] = {
        {spaces.sLinearColorSpace, kCGColorSpaceGenericRGBLinear},
        {spaces.sSRGBColorSpace, kCGColorSpaceSRGB},
        {spaces.sDefaultColorSpace, kCGColorSpaceSRGB},
        {spaces.sAdobe98ColorSpace, kCGColorSpaceAdobeRGB1998},
    };
    for (const auto &[space, name] : named) {
        ASSERT_NE(space, nullptr);
        Holder<CFStringRef> spaceName(CGColorSpaceCopyName(space));
        EXPECT_TRUE(CFEqual(spaceName, name));
    }
    EXPECT_NE(spaces.sSRGBColorSpace, spaces.sDefaultColorSpace);
}

// Counts the pixel blocks handed out and taken back, and can make ConstructSelf fail.
class CountingBitmap : public BitmapContext {
public:
    ~CountingBitmap() override { Destruct(); }
    uint8_t *CreateImageData(unsigned long size) override {
        ++mCreated;
        return BitmapContext::CreateImageData(size);
    }
    void DeleteImageData(uint8_t *data) override {
        if (data != nullptr) ++mDeleted;
        BitmapContext::DeleteImageData(data);
    }
    bool ConstructSelf() override { return mSelfResult; }

    int mCreated = 0;
    int mDeleted = 0;
    bool mSelfResult = true;
};

TEST(BitmapContext, RefusedArgumentsAllocateNothing) {
    struct Case {
        int width, height, type;
        unsigned long rowBytes;
    };
    const Case cases[] = {
        {8, 8, 0, 0},  {8, 8, 5, 0},     {8, 8, -1, 0},          {0, 8, 2, 0},
        {8, 0, 1, 0},  {-4, 8, 1, 0},    {70000, 70000, 2, 0},   {8, 8, 2, 1ul << 40},
    };
    for (const Case &c : cases) {
        CountingBitmap bitmap;
        EXPECT_FALSE(bitmap.Construct(c.width, c.height, static_cast<BitmapType>(c.type), c.rowBytes, nullptr))
            << c.width << " x " << c.height << " type " << c.type;
        EXPECT_EQ(bitmap.mCreated, 0);
        EXPECT_FALSE(bitmap.IsConstructed());
    }
}

// When Quartz refuses the context, the pixels and the colour space obtained are given back.
TEST(BitmapContext, FailedConstructReleasesWhatItObtained) {
    Holder<CGColorSpaceRef> grey(CGColorSpaceCreateDeviceGray());
    const CFIndex before = CFGetRetainCount(grey);
    {
        CountingBitmap bitmap;
        // A grey space cannot serve a 32-bit layout.
        EXPECT_FALSE(bitmap.Construct(8, 8, kBitmapType_ARGB32, 0, grey));
        EXPECT_EQ(bitmap.mCreated, 1);
        EXPECT_EQ(bitmap.mDeleted, 1);
        EXPECT_EQ(bitmap.mImageDataBytes, nullptr);
        EXPECT_EQ(bitmap.mImageColorspace, nullptr);
        EXPECT_EQ(CFGetRetainCount(grey), before);
    }
    {
        CountingBitmap bitmap;  // wider than Quartz's bitmaps
        EXPECT_FALSE(bitmap.Construct(40000, 1, kBitmapType_Gray8));
        EXPECT_EQ(bitmap.mCreated, 1);
        EXPECT_EQ(bitmap.mDeleted, 1);
    }
    {
        // A failing ConstructSelf leaves the bitmap constructed; Destruct gives it back.
        CountingBitmap bitmap;
        bitmap.mSelfResult = false;
        EXPECT_FALSE(bitmap.Construct(8, 8, kBitmapType_Gray8));
        EXPECT_TRUE(bitmap.IsConstructed());
        bitmap.Destruct();
        EXPECT_EQ(bitmap.mDeleted, 1);
        EXPECT_FALSE(bitmap.IsConstructed());
        EXPECT_EQ(bitmap.mContext, nullptr);
    }
    {
        CountingBitmap bitmap;
        ASSERT_TRUE(bitmap.Construct(8, 8, kBitmapType_RGBX32));
        bitmap.Destruct();
        bitmap.Destruct();  // a second one does nothing
        EXPECT_EQ(bitmap.mCreated, 1);
        EXPECT_EQ(bitmap.mDeleted, 1);
        ASSERT_TRUE(bitmap.Construct(4, 4, kBitmapType_Gray8));  // re-sizing after Destruct
    }
}

// The image aliases the pixels: it shows drawing done after it was made.
TEST(BitmapContext, ImagesShareThePixels) {
    BitmapContext bitmap;
    EXPECT_EQ(bitmap.ConstructCGImage(nullptr), nullptr);
    ASSERT_TRUE(bitmap.Construct(6, 4, kBitmapType_ARGB32));
    Holder<CGImageRef> image(bitmap.ConstructCGImage(nullptr));
    ASSERT_TRUE(image);
    EXPECT_EQ(CGImageGetWidth(image), 6u);
    EXPECT_EQ(CGImageGetHeight(image), 4u);
    EXPECT_EQ(CGImageGetBytesPerRow(image), 24u);
    EXPECT_EQ(CGImageGetBitmapInfo(image), 2u);
    EXPECT_EQ(CGImageGetColorSpace(image), bitmap.mImageColorspace);

    CGContextSetRGBFillColor(bitmap.mContext, 0, 1, 0, 1);
    CGContextFillRect(bitmap.mContext, CGRectMake(0, 0, 6, 4));
    Holder<CFDataRef> data(CGDataProviderCopyData(CGImageGetDataProvider(image)));
    ASSERT_TRUE(data);
    ASSERT_EQ(CFDataGetLength(data), 96);
    EXPECT_EQ(std::vector<uint8_t>(CFDataGetBytePtr(data), CFDataGetBytePtr(data) + 4),
              (std::vector<uint8_t>{255, 0, 255, 0}));

    // Tagged sRGB when asked for managed colour without a space, the given space otherwise.
    Holder<CGImageRef> managed(bitmap.ConstructCGImageWithManagedColor(nullptr));
    ASSERT_TRUE(managed);
    Holder<CFStringRef> name(CGColorSpaceCopyName(CGImageGetColorSpace(managed)));
    EXPECT_TRUE(name && CFEqual(name, kCGColorSpaceSRGB));
    Holder<CGColorSpaceRef> linear(CGColorSpaceCreateWithName(kCGColorSpaceGenericRGBLinear));
    Holder<CGImageRef> tagged(bitmap.ConstructCGImageWithManagedColor(linear));
    EXPECT_EQ(CGImageGetColorSpace(tagged), linear.get());
}

class CroppedImage : public ::testing::Test {
protected:
    // 10 x 8 grey bitmap whose byte at memory row r, column c is 10 r + c.
    void SetUp() override {
        ASSERT_TRUE(mBitmap.Construct(10, 8, kBitmapType_Gray8));
        for (uint32_t r = 0; r < 8; ++r)
            for (uint32_t c = 0; c < 10; ++c) mBitmap.mImageDataBytes[r * mBitmap.mImageRowBytes + c] = uint8_t(10 * r + c);
        mBitmap.DidWritePixels();
    }
    // The image's rows, read through its provider.
    static std::vector<std::vector<uint8_t>> Rows(CGImageRef image) {
        Holder<CFDataRef> data(CGDataProviderCopyData(CGImageGetDataProvider(image)));
        std::vector<std::vector<uint8_t>> rows;
        for (size_t r = 0; r < CGImageGetHeight(image); ++r) {
            const uint8_t *row = CFDataGetBytePtr(data) + r * CGImageGetBytesPerRow(image);
            rows.emplace_back(row, row + CGImageGetWidth(image));
        }
        return rows;
    }

    BitmapContext mBitmap;
};

TEST_F(CroppedImage, WholeBitmapIsTheImageOfThePixels) {
    Holder<CGImageRef> whole(mBitmap.GetCroppedImageRef(CGRectMake(0, 0, 10, 8), nullptr));
    Holder<CGImageRef> image(mBitmap.ConstructCGImage(nullptr));
    ASSERT_TRUE(whole);
    EXPECT_EQ(Rows(whole), Rows(image));
    EXPECT_EQ(CFDataGetLength(Holder<CFDataRef>(CGDataProviderCopyData(CGImageGetDataProvider(whole)))), 80);
}

// Crops are in y-up coordinates: y 0 is the bottom memory row. The provider covers exactly the
// bytes the crop reads.
TEST_F(CroppedImage, CropsAddressTheRowsFromTheBottom) {
    Holder<CGImageRef> bottom(mBitmap.GetCroppedImageRef(CGRectMake(0, 0, 10, 3), nullptr));
    ASSERT_TRUE(bottom);
    EXPECT_EQ(Rows(bottom)[0][0], 50);
    EXPECT_EQ(Rows(bottom)[2][9], 79);

    // Fractions are dropped: y-up 0.5..3.2 starts at memory row trunc(8 - 3.2) = 4.
    Holder<CGImageRef> fraction(mBitmap.GetCroppedImageRef(CGRectMake(7.9, 0.5, 3.2, 2.7), nullptr));
    ASSERT_TRUE(fraction);
    EXPECT_EQ(Rows(fraction), (std::vector<std::vector<uint8_t>>{{47, 48, 49}, {57, 58, 59}}));

    // The bottom-right corner: the last byte of the memory is the crop's last byte.
    Holder<CGImageRef> corner(mBitmap.GetCroppedImageRef(CGRectMake(7, 0, 3, 2), nullptr));
    ASSERT_TRUE(corner);
    EXPECT_EQ(CGImageGetWidth(corner), 3u);
    EXPECT_EQ(CGImageGetHeight(corner), 2u);
    EXPECT_EQ(Rows(corner), (std::vector<std::vector<uint8_t>>{{67, 68, 69}, {77, 78, 79}}));
    Holder<CFDataRef> data(CGDataProviderCopyData(CGImageGetDataProvider(corner)));
    EXPECT_EQ(CFDataGetLength(data), 10 + 3);

    // Drawing the crop reads all of its pixels (AddressSanitizer watches the memory's end).
    BitmapContext target;
    ASSERT_TRUE(target.Construct(3, 2, kBitmapType_Gray8));
    CGContextDrawImage(target.mContext, CGRectMake(0, 0, 3, 2), corner);
    target.WillAccessPixels();
    EXPECT_EQ(target.mImageDataBytes[0], 67);
    EXPECT_EQ(target.mImageDataBytes[5], 79);
}

TEST_F(CroppedImage, CropsNotWhollyInsideAreRefused) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    const CGRect refused[] = {
        CGRectMake(5, 0, 10, 3),     // past the right edge
        CGRectMake(9, 0, 2, 1),      // one column past it, on the last memory row
        CGRectMake(0, -2, 4, 4),     // below the bottom edge (past the end of the memory)
        CGRectMake(0, 6, 4, 4),      // above the top edge
        CGRectMake(-1, 0, 4, 4),     // left of the left edge
        CGRectMake(10, 0, 1, 1),     // corner outside
        CGRectMake(2, 2, 0.5, 3),    // no whole column
        CGRectMake(2, 2, 3, 0),      // no row
        CGRectMake(2, 2, -3, 3),
        CGRectMake(nan, 0, 2, 2),    CGRectMake(0, nan, 2, 2), CGRectMake(0, 0, nan, 2),
        CGRectMake(0, 0, inf, 2),    CGRectMake(-inf, 0, 2, 2), CGRectMake(0, 0, 2, 1e300),
    };
    for (const CGRect &crop : refused) {
        EXPECT_EQ(mBitmap.GetCroppedImageRef(crop, nullptr), nullptr)
            << crop.origin.x << ", " << crop.origin.y << ", " << crop.size.width << ", " << crop.size.height;
    }
    BitmapContext empty;
    EXPECT_EQ(empty.GetCroppedImageRef(CGRectMake(0, 0, 1, 1), nullptr), nullptr);
}

TEST(BitmapContext, BilinearSamplePacksAndStaysInside) {
    // 3 x 2, not square; pixel bytes b0..b3 = (10 r + c) + (0, 40, 80, 120).
    BitmapContext bitmap;
    ASSERT_TRUE(bitmap.Construct(3, 2, kBitmapType_ARGB32));
    for (uint32_t r = 0; r < 2; ++r)
        for (uint32_t c = 0; c < 3; ++c)
            for (uint32_t b = 0; b < 4; ++b)
                bitmap.mImageDataBytes[r * bitmap.mImageRowBytes + c * 4 + b] = uint8_t(10 * r + c + 40 * b);
    const auto pack = [](uint32_t b0, uint32_t b1, uint32_t b2, uint32_t b3) {
        return (b0 << 24) | b1 | (b2 << 8) | (b3 << 16);
    };
    const auto pixel = [&](uint32_t v) { return pack(v, v + 40, v + 80, v + 120); };
    struct Case {
        double x, y;
        uint32_t expected;
    };
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const Case cases[] = {
        {0, 0, pixel(0)},       {2, 1, pixel(12)},   {1, 0, pixel(1)},
        {0.5, 0, pixel(0)},     // 0.5 truncated
        {1.5, 0.5, pixel(6)},   // (1 + 2 + 11 + 12) / 4 = 6.5, truncated
        {2.75, 0, pixel(2)},    // beyond the last column's centre: the edge
        {50, 0, pixel(2)},      {0, 50, pixel(10)},   {1e300, 1e300, pixel(12)},
        {-3, 0, pixel(0)},      {0, -7.5, pixel(0)},  {nan, nan, pixel(0)},
    };
    for (const Case &c : cases)
        EXPECT_EQ(bitmap.SafeGetPixel_BilinearInterpolatedSample8888(c.x, c.y), c.expected) << c.x << ", " << c.y;

    BitmapContext grey;
    ASSERT_TRUE(grey.Construct(3, 2, kBitmapType_Gray8));
    EXPECT_EQ(grey.SafeGetPixel_BilinearInterpolatedSample8888(1, 1), 0u);
}

class PerlinFill : public corex_test::DebugLogFileTest {};

TEST_F(PerlinFill, BlocksOfTheSharedNoise) {
    const CoreGeometry::PerlinNoise &noise = CoreGeometry::PerlinNoise::Singleton();
    BitmapContext grey;
    ASSERT_TRUE(grey.Construct(40, 24, kBitmapType_Gray8));
    grey.FillPerlinNoise(4, 1.0f);
    bool varied = false;
    for (uint32_t r = 0; r < 24; ++r) {
        for (uint32_t c = 0; c < 40; ++c) {
            const uint8_t v = *PixelAt(grey, c, r);
            ASSERT_EQ(v, *PixelAt(grey, c / 4 * 4, r / 4 * 4)) << r << ", " << c;  // 4 x 4 blocks
            varied = varied || v != 0;
        }
    }
    EXPECT_TRUE(varied);
    // Block (1, 2) samples the noise at (4 / 40 x 256, 8 / 24 x 256).
    const float n = noise.Noise2(4.0f / 40.0f * 256.0f, 8.0f / 24.0f * 256.0f);
    EXPECT_EQ(*PixelAt(grey, 5, 9), uint8_t(int(n * 255.0f)));

    // The 32-bit layouts: byte 0 is 255, the other three the grey value.
    BitmapContext colour;
    ASSERT_TRUE(colour.Construct(40, 24, kBitmapType_RGBX32));
    colour.FillPerlinNoise(4, 1.0f);
    for (uint32_t r = 0; r < 24; ++r)
        for (uint32_t c = 0; c < 40; ++c) {
            const uint8_t *p = PixelAt(colour, c, r);
            const uint8_t v = *PixelAt(grey, c, r);
            ASSERT_EQ(std::vector<uint8_t>(p, p + 4), (std::vector<uint8_t>{255, v, v, v})) << r << ", " << c;
        }
}

TEST_F(PerlinFill, OctaveIsLimitedAndNothingIsReportedForGoodTypes) {
    const auto fill = [](int octave, float amplitude) {
        BitmapContext bitmap;
        EXPECT_TRUE(bitmap.Construct(70, 66, kBitmapType_Gray8));
        bitmap.FillPerlinNoise(octave, amplitude);
        return std::vector<uint8_t>(bitmap.mImageDataBytes, bitmap.mImageDataBytes + bitmap.mImageDataSize);
    };
    EXPECT_EQ(fill(0, 1), fill(1, 1));
    EXPECT_EQ(fill(-5, 1), fill(1, 1));
    EXPECT_EQ(fill(100, 1), fill(64, 1));
    EXPECT_NE(fill(2, 1), fill(1, 1));
    // Amplitudes far out of range wrap or give 0 without undefined conversions.
    fill(3, 1e30f);
    fill(3, std::numeric_limits<float>::quiet_NaN());
    EXPECT_EQ(LogText(), "");
}

TEST_F(PerlinFill, EmptyBitmapIsReported) {
    BitmapContext empty;
    empty.FillPerlinNoise(1, 1);
    EXPECT_NE(LogText().find("VERIFY FAILED:  code : false in /Code/sdk/CoreG/namespace_CoreGraphics_BitmapContext:252 "
                             "(FillPerlinNoise)"),
              std::string::npos)
        << LogText();
}

}  // namespace

// Quartz drawing and the direct readers and writers interleaved, in every layout: the sampler
// sees what was drawn, and drawing after the noise fill composites over the noise exactly as
// over noise that was never preceded by drawing.
TEST(BitmapContext, DrawingAndDirectAccessInterleaveExactly) {
    for (const BitmapType type : {kBitmapType_Gray8, kBitmapType_ARGB32, kBitmapType_XRGB32, kBitmapType_RGBX32}) {
        const auto overNoise = [type](bool drawFirst, uint32_t *sample) {
            BitmapContext bitmap;
            EXPECT_TRUE(bitmap.Construct(40, 30, type));
            if (drawFirst) {
                CGContextSetRGBFillColor(bitmap.mContext, 0.2, 0.6, 1, 1);
                CGContextFillRect(bitmap.mContext, CGRectMake(0, 0, 40, 30));
                *sample = bitmap.SafeGetPixel_BilinearInterpolatedSample8888(5, 5);
            }
            bitmap.FillPerlinNoise(4, 0.8f);
            CGContextSetRGBFillColor(bitmap.mContext, 1, 0.5, 0.25, 0.5);
            CGContextFillEllipseInRect(bitmap.mContext, CGRectMake(5, 5, 30, 20));
            bitmap.WillAccessPixels();
            return std::vector<uint8_t>(bitmap.mImageDataBytes, bitmap.mImageDataBytes + bitmap.mImageDataSize);
        };
        uint32_t sample = 0;
        EXPECT_EQ(overNoise(true, &sample), overNoise(false, nullptr)) << type;
        // The drawn colour, as the sampler packs the bytes (0 for grey, which it does not sample).
        const uint32_t expected[] = {0, 0xFFFF9933u, 0xFFFF9933u, 0x33FFFF99u};
        EXPECT_EQ(sample, expected[type - 1]) << type;
    }
}
