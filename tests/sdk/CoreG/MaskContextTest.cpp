// Masks: the clamped value kinds, the parameter record, sizes, fills, image forms, the point
// sampler, table remapping and the merge operators.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include <CoreG/Masks/namespace_CoreGraphics_MaskContext.h>

#include "MaskTestSupport.h"
#include "sdk/CoreX/CoreMachDebugLogTestSupport.h"

using namespace CoreGraphics;
using coreg_mask_test::Bytes;
using coreg_mask_test::Fill;
using coreg_mask_test::SetBytes;

namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInfinity = std::numeric_limits<float>::infinity();

std::string Report(int line, const char *function, const char *text) {
    return std::string("VERIFY FAILED:  code : ") + text + " in /Code/sdk/CoreG/namespace_CoreGraphics_MaskContext:" +
           std::to_string(line) + " (" + function + ")\n";
}

TEST(ClampedValues, AnglesWrapIntoOneTurn) {
    const struct {
        float in, out;
    } cases[] = {
        {0, 0},       {90.25f, 90.25f}, {359.5f, 359.5f}, {360, 0},         {360.2f, 0},   {725, 5},
        {720.9f, 0},  {-30, 330},       {-0.5f, 359.5f},  {-359.5f, 0.5f},  {-360, 0},     {-400, 320},
        {-725, 355},  {kNaN, 0},        {kInfinity, 0},   {-kInfinity, 0},  {1e30f, 120},    {-1e-9f, 0},
    };
    for (const auto &c : cases) {
        T_normal_value<CoreGeometry::T_clamped_angle_degrees<float>> angle;
        angle = c.in;
        EXPECT_EQ(angle.m_value, c.out) << c.in;
        EXPECT_EQ(float(angle), c.out) << c.in;
    }
}

TEST(ClampedValues, FractionsAreKeptInZeroToOne) {
    const struct {
        float in, out;
    } cases[] = {{-1, 0}, {0, 0}, {0.25f, 0.25f}, {1, 1}, {2, 1}, {kNaN, 0}, {kInfinity, 1}, {-kInfinity, 0}};
    for (const auto &c : cases) {
        T_normal_value<CoreGeometry::T_clamped_value<float>> value = c.in;
        EXPECT_EQ(value.m_value, c.out) << c.in;
    }
}

TEST(MaskParams, NewAndResetRecordsReadAnglesZeroAndParametersHalf) {
    MaskParams params;
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(float(params.AngleDegrees[i]), 0);
        EXPECT_EQ(float(params.Param[i]), 0.5f);
    }
    params.AngleDegrees[0] = -90.0f;
    params.Param[3] = 7.0f;
    EXPECT_EQ(float(params.AngleDegrees[0]), 270);
    EXPECT_EQ(float(params.Param[3]), 1);
    params.Reset();
    EXPECT_EQ(float(params.AngleDegrees[0]), 0);
    EXPECT_EQ(float(params.Param[3]), 0.5f);
}

class MaskContextTest : public corex_test::DebugLogFileTest {};

TEST_F(MaskContextTest, ConstructMakesAGreyMaskWhoseRowsAreItsWidth) {
    MaskContext mask;
    ASSERT_TRUE(mask.Construct(5, 3));
    EXPECT_EQ(mask.mImageType, kBitmapType_Gray8);
    EXPECT_EQ(mask.mImageRowBytes, 5u);
    EXPECT_EQ(mask.mImageDataSize, 15u);
    EXPECT_TRUE(mask.mGWorld.IsConstructed());
    // Constructing again replaces the bytes (the old ones are released: LeakSanitizer).
    ASSERT_TRUE(mask.Construct(7, 2));
    EXPECT_EQ(mask.mImageDataSize, 14u);
    EXPECT_FALSE(MaskContext().Construct(0, 3));
    EXPECT_EQ(LogText(), "");
}

TEST_F(MaskContextTest, SetMaskDimensionsReconstructsOnlyForANewSize) {
    MaskContext mask;
    EXPECT_TRUE(mask.SetMaskDimensions(CGSizeMake(4, 3)));
    Fill(mask, 77);
    EXPECT_FALSE(mask.SetMaskDimensions(CGSizeMake(4, 3)));
    EXPECT_EQ(Bytes(mask), std::vector<uint8_t>(12, 77));
    EXPECT_TRUE(mask.SetMaskDimensions(CGSizeMake(6.9, 5.2)));  // truncated
    EXPECT_EQ(mask.mImageWidth, 6u);
    EXPECT_EQ(mask.mImageHeight, 5u);
    EXPECT_EQ(LogText(), "");

    const CGSize refused[] = {CGSizeMake(0, 5), CGSizeMake(kNaN, 3), CGSizeMake(4, -kInfinity), CGSizeMake(1e12, 2)};
    for (const CGSize &size : refused) {
        ClearLog();
        EXPECT_FALSE(mask.SetMaskDimensions(size)) << size.width << " x " << size.height;
        EXPECT_FALSE(mask.IsConstructed());
        EXPECT_EQ(LogText(), Report(121, "SetMaskDimensions", "fReconstructed = Construct(inDimensions)"));
    }
}

TEST_F(MaskContextTest, Fills) {
    MaskContext mask;
    ASSERT_TRUE(mask.Construct(3, 2));
    const struct {
        float level;
        uint8_t byte;
    } levels[] = {{0.5f, 127}, {1, 255}, {0, 0}, {2, 255}, {-1, 0}, {kNaN, 0}};
    for (const auto &c : levels) {
        ASSERT_TRUE(mask.MakeOpaque(&c.level));
        EXPECT_EQ(Bytes(mask), std::vector<uint8_t>(6, c.byte)) << c.level;
    }
    ASSERT_TRUE(mask.MakeOpaque(nullptr));
    EXPECT_EQ(Bytes(mask), std::vector<uint8_t>(6, 255));
    ASSERT_TRUE(mask.MakeTransparent());
    EXPECT_EQ(Bytes(mask), std::vector<uint8_t>(6, 0));
    ASSERT_TRUE(mask.MakeOpaque());
    EXPECT_EQ(Bytes(mask), std::vector<uint8_t>(6, 255));

    // Grey 1 - o at alpha 1 - o over the bytes: (1 - o)^2 x 255 + o x byte.
    const struct {
        float opacity;
        double expected;
    } opacities[] = {{0.25f, 0.75 * 0.75 * 255 + 0.25 * 100}, {1, 100}, {0, 255}, {5, 100}, {kNaN, 255}};
    for (const auto &c : opacities) {
        Fill(mask, 100);
        ASSERT_TRUE(mask.MakeOpacity(c.opacity));
        for (uint8_t byte : Bytes(mask)) EXPECT_NEAR(byte, c.expected, 1) << c.opacity;
    }
    // The clear fill colour paints nothing.
    Fill(mask, 100);
    MaskContext::SetClearFillColor(mask.mContext);
    CGContextFillRect(mask.mContext, CGRectMake(0, 0, 3, 2));
    EXPECT_EQ(Bytes(mask), std::vector<uint8_t>(6, 100));
    MaskContext::SetClearFillColor(nullptr);
    EXPECT_EQ(LogText(), "");
}

TEST_F(MaskContextTest, FillsOfAnUnconstructedMaskAreReported) {
    MaskContext mask;
    const float level = 0.5f;
    EXPECT_FALSE(mask.MakeTransparent());
    EXPECT_FALSE(mask.MakeOpaque());
    EXPECT_FALSE(mask.MakeOpaque(&level));
    EXPECT_FALSE(mask.MakeOpacity(0.5f));
    EXPECT_EQ(LogText(), Report(328, "MakeTransparent", "IsConstructed()") +
                             Report(305, "MakeOpaque", "IsConstructed()") +
                             Report(316, "MakeOpaque", "IsConstructed()") +
                             Report(293, "MakeOpacity", "IsConstructed()"));
}

TEST_F(MaskContextTest, ImageMaskAndGreyImageShareTheBytes) {
    MaskContext mask;
    ASSERT_TRUE(mask.Construct(4, 2));
    CGColorSpaceRef rgb = CGColorSpaceCreateDeviceRGB();
    CGImageRef imageMask = mask.ConstructCGImage(rgb);  // the space is ignored
    CGColorSpaceRelease(rgb);
    ASSERT_NE(imageMask, nullptr);
    EXPECT_TRUE(CGImageIsMask(imageMask));
    EXPECT_EQ(CGImageGetWidth(imageMask), 4u);
    EXPECT_EQ(CGImageGetHeight(imageMask), 2u);
    EXPECT_EQ(CGImageGetBytesPerRow(imageMask), 4u);

    CGImageRef grey = mask.CreateMaskImage();
    ASSERT_NE(grey, nullptr);
    EXPECT_FALSE(CGImageIsMask(grey));
    EXPECT_EQ(CGColorSpaceGetModel(CGImageGetColorSpace(grey)), kCGColorSpaceModelMonochrome);
    EXPECT_EQ(CGImageGetAlphaInfo(grey), kCGImageAlphaNone);

    // Both read the mask's own bytes (no copy).
    mask.mImageDataBytes[5] = 201;
    for (CGImageRef image : {imageMask, grey}) {
        CFDataRef data = CGDataProviderCopyData(CGImageGetDataProvider(image));
        ASSERT_NE(data, nullptr);
        EXPECT_EQ(CFDataGetBytePtr(data)[5], 201);
        CFRelease(data);
        CGImageRelease(image);
    }
    EXPECT_EQ(LogText(), "");

    MaskContext empty;
    EXPECT_EQ(empty.ConstructCGImage(nullptr), nullptr);
    EXPECT_EQ(LogText(), Report(131, "ConstructCGImage",
                                "dataProvider=::CGDataProviderCreateWithData(refcon, mImageDataBytes, mImageDataSize, NULL)"));
}

TEST(MaskContext, SampleBilinearMeasuresUpFromTheBottomRow) {
    MaskContext mask;
    ASSERT_TRUE(mask.Construct(2, 2));
    SetBytes(mask, {10, 20,    // top row
                    30, 40});  // bottom row
    const struct {
        float fx, fy;
        uint8_t expected;
    } cases[] = {
        {0, 0, 30},      {0.25f, 0, 35},  {0, 0.25f, 20},  {0.25f, 0.25f, 25}, {0.5f, 0.5f, 20},
        {0.5f, 0, 40},   {0, 0.5f, 10},   {2, 2, 20},      {-1, -1, 30},        {-1, 0.25f, 20},
        // x 0.75, y 0.25: (30 x 0.25 + 40 x 0.75) x 0.75 + (10 x 0.25 + 20 x 0.75) x 0.25 = 32.5
        {0.375f, 0.125f, 32},
        {kNaN, kNaN, 30},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(mask.SampleBilinear(c.fx, c.fy), c.expected) << c.fx << ", " << c.fy;
    }
    EXPECT_EQ(MaskContext().SampleBilinear(0.5f, 0.5f), 0);
}

TEST(MaskContext, MapThroughTableMapsEveryByteToTheLowByteOfItsEntry) {
    MaskContext mask;
    ASSERT_TRUE(mask.Construct(5, 3));  // odd width: the last column too, nothing past the end (ASan)
    std::vector<uint8_t> bytes;
    for (int i = 0; i < 14; ++i) bytes.push_back(uint8_t(i));
    bytes.push_back(255);
    SetBytes(mask, bytes);
    uint16_t table[256];
    for (int v = 0; v < 256; ++v) table[v] = uint16_t(0x100 + 3 * v);
    mask.MapThroughTable(table);
    for (size_t i = 0; i < bytes.size(); ++i) EXPECT_EQ(mask.mImageDataBytes[i], uint8_t(3 * bytes[i])) << i;
}

class MergeMasksTest : public corex_test::DebugLogFileTest {
protected:
    void SetUp() override {
        DebugLogFileTest::SetUp();
        ASSERT_TRUE(mMask1.Construct(3, 2));
        ASSERT_TRUE(mMask2.Construct(3, 2));
        ASSERT_TRUE(mOut.Construct(3, 2));
    }
    MaskContext mMask1, mMask2, mOut;
};

// a = trunc(byte1 x opacity1), b = trunc(byte2 x opacity2) in single precision; the
// operator's value limited to 0..255; inverted when asked.
TEST_F(MergeMasksTest, OperatorsOpacitiesAndInversion) {
    const float kHalf = 0.5f, kOne = 1.0f, kTwo = 2.0f, kNaNOpacity = kNaN, kSeventenths = 0.7f;
    const float *const kNull = nullptr;
    const struct {
        int op;
        bool invert;
        const float *opacity1, *opacity2;
        uint8_t byte1, byte2, expected;
    } cases[] = {
        {0, false, &kOne, &kOne, 200, 50, 200},   {0, true, &kOne, &kOne, 200, 50, 55},
        {0, false, &kOne, &kOne, 50, 200, 200},   {1, false, &kOne, &kOne, 100, 100, 200},
        {1, false, &kOne, &kOne, 200, 100, 255},  {1, true, &kOne, &kOne, 200, 100, 0},
        {2, false, &kOne, &kOne, 50, 100, 50},    {2, false, &kOne, &kOne, 100, 50, 0},
        {3, false, &kOne, &kOne, 100, 50, 50},    {3, false, &kOne, &kOne, 50, 100, 0},
        {4, false, &kOne, &kOne, 128, 128, 1},    {4, false, &kOne, &kOne, 100, 100, 0},
        {5, false, &kOne, &kOne, 200, 100, 45},   {5, true, &kOne, &kOne, 200, 100, 210},
        {6, false, &kOne, &kOne, 100, 50, 255},   {6, false, &kOne, &kOne, 50, 100, 205},
        {7, false, &kOne, &kOne, 50, 100, 255},   {7, false, &kOne, &kOne, 100, 50, 205},
        {8, false, &kOne, &kOne, 70, 200, 70},    {8, true, &kOne, &kOne, 70, 200, 185},
        {9, false, &kOne, &kOne, 70, 200, 185},   {10, false, &kOne, &kOne, 70, 200, 200},
        {11, false, &kOne, &kOne, 70, 200, 55},   {12, false, &kOne, &kOne, 70, 200, 200},
        {-1, false, &kOne, &kOne, 210, 200, 210}, {99, true, &kOne, &kOne, 70, 200, 55},
        // Opacities scale each byte before the operator, truncating.
        {0, false, &kHalf, &kOne, 255, 100, 127}, {10, false, &kOne, &kHalf, 70, 255, 127},
        {10, false, &kOne, &kHalf, 70, 201, 100}, {8, false, &kSeventenths, &kOne, 10, 0, 7},  // 10 x 0.7f is 7.0f
        {8, false, &kTwo, &kOne, 200, 0, 200},    {8, false, &kNaNOpacity, &kOne, 200, 0, 0},
        {8, false, kNull, kNull, 200, 0, 200},    {9, false, &kHalf, &kHalf, 255, 0, 128},
    };
    for (const auto &c : cases) {
        Fill(mMask1, c.byte1);
        Fill(mMask2, c.byte2);
        Fill(mOut, 33);
        ASSERT_TRUE(mOut.MergeMasks(mMask1, c.opacity1, mMask2, c.opacity2, c.op, c.invert));
        EXPECT_EQ(Bytes(mOut), std::vector<uint8_t>(6, c.expected))
            << "op " << c.op << (c.invert ? " inverted" : "") << " of " << int(c.byte1) << ", " << int(c.byte2);
    }
    EXPECT_EQ(LogText(), "");
}

TEST_F(MergeMasksTest, PixelByPixelAndInPlace) {
    SetBytes(mMask1, {0, 50, 100, 150, 200, 250});
    SetBytes(mMask2, {250, 200, 150, 100, 50, 0});
    ASSERT_TRUE(mOut.MergeMasks(mMask1, mMask2));  // opacities 1, maximum
    EXPECT_EQ(Bytes(mOut), (std::vector<uint8_t>{250, 200, 150, 150, 200, 250}));
    const float one = 1.0f;
    ASSERT_TRUE(mMask1.MergeMasks(mMask1, &one, mMask2, &one, 3, false));  // into mask 1 itself
    EXPECT_EQ(Bytes(mMask1), (std::vector<uint8_t>{0, 0, 0, 50, 150, 250}));
}

// Large masks are merged in bands of rows on several threads, also into one of the sources.
TEST(MaskContext, LargeMergesArePixelByPixel) {
    MaskContext mask1, mask2, out;
    ASSERT_TRUE(mask1.Construct(640, 480) && mask2.Construct(640, 480) && out.Construct(640, 480));
    std::vector<uint8_t> bytes1(640 * 480), bytes2(640 * 480);
    for (size_t i = 0; i < bytes1.size(); ++i) {
        bytes1[i] = uint8_t(i * 7 + i / 640);
        bytes2[i] = uint8_t(i * 13 + 3 * (i / 640));
    }
    const float opacity1 = 0.75f, opacity2 = 0.5f;
    for (const int op : {0, 4, 7}) {
        for (const bool invert : {false, true}) {
            for (MaskContext *target : {&out, &mask2}) {
                SetBytes(mask1, bytes1);
                SetBytes(mask2, bytes2);
                ASSERT_TRUE(target->MergeMasks(mask1, &opacity1, mask2, &opacity2, op, invert));
                const std::vector<uint8_t> merged = Bytes(*target);
                size_t wrong = 0;
                for (size_t i = 0; i < merged.size(); ++i) {
                    const int a = int(float(bytes1[i]) * opacity1), b = int(float(bytes2[i]) * opacity2);
                    const int r = std::clamp(MaskContext::MergeOperatorValue(op, a, b), 0, 255);
                    wrong += merged[i] != (invert ? 255 - r : r) ? 1 : 0;
                }
                EXPECT_EQ(wrong, 0u) << "op " << op << (invert ? " inverted" : "")
                                     << (target == &mask2 ? " into mask 2" : "");
            }
        }
    }
}

TEST_F(MergeMasksTest, SizesMustAgree) {
    MaskContext other;
    ASSERT_TRUE(other.Construct(2, 3));
    Fill(mOut, 33);
    const float one = 1.0f;
    // This mask against mask 1: refused quietly, nothing written.
    EXPECT_FALSE(other.MergeMasks(mMask1, &one, mMask2, &one, 0, false));
    EXPECT_FALSE(mOut.MergeMasks(other, &one, mMask2, &one, 0, false));
    EXPECT_EQ(Bytes(mOut), std::vector<uint8_t>(6, 33));
    EXPECT_EQ(LogText(), "");
    // Mask 2 against the others: reported.
    EXPECT_FALSE(mOut.MergeMasks(mMask1, &one, other, &one, 0, false));
    EXPECT_EQ(Bytes(mOut), std::vector<uint8_t>(6, 33));
    EXPECT_EQ(LogText(), Report(147, "T_MergeOp", "SameDimensions(inMask2)"));
    // Three empty masks: nothing to do.
    MaskContext a, b, c;
    EXPECT_TRUE(a.MergeMasks(b, c));
}

}  // namespace

// The mask's own direct readers and writers between Quartz calls: each sees the drawing
// before it, and the drawing after it composites over what it wrote, exactly as over the
// same bytes written by hand.
TEST(MaskContext, DrawingAndDirectAccessInterleaveExactly) {
    const auto run = [](bool byHand, uint8_t *sampled) {
        MaskContext mask, other;
        EXPECT_TRUE(mask.Construct(32, 24));
        EXPECT_TRUE(other.Construct(32, 24));
        if (byHand) {
            coreg_mask_test::Fill(mask, 255 - 153);
        } else {
            CGContextSetGrayFillColor(mask.mContext, 0.6, 1);
            CGContextFillRect(mask.mContext, CGRectMake(0, 0, 32, 24));
            *sampled = mask.SampleBilinear(0.5f, 0.5f);
            uint16_t invert[256];
            for (int v = 0; v < 256; ++v) invert[v] = uint16_t(255 - v);
            mask.MapThroughTable(invert);
        }
        CGContextSetGrayFillColor(mask.mContext, 1, 0.5);
        CGContextFillEllipseInRect(mask.mContext, CGRectMake(4, 4, 24, 16));
        CGContextSetGrayFillColor(other.mContext, 0.25, 1);
        CGContextFillRect(other.mContext, CGRectMake(0, 0, 16, 24));
        mask.MergeMasks(mask, other);  // reads both drawings, writes the mask
        CGContextSetGrayFillColor(mask.mContext, 0, 0.5);
        CGContextFillRect(mask.mContext, CGRectMake(8, 0, 16, 24));
        return coreg_mask_test::Bytes(mask);
    };
    uint8_t sampled = 0;
    EXPECT_EQ(run(false, &sampled), run(true, nullptr));
    EXPECT_EQ(sampled, 153);
}
