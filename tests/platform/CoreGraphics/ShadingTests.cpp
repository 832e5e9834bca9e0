// Axial shadings from functions, alone and through a mask.
#include <gtest/gtest.h>

#include "CGTestSupport.h"

using cgtest::Bitmap;
using cgtest::Holder;

namespace {

struct GreyRamp {
    int evaluations = 0;
    int releases = 0;
};

// (t, t, t, 1): the grey is the input.
void EvaluateGrey(void *info, const CGFloat *in, CGFloat *out) {
    ++static_cast<GreyRamp *>(info)->evaluations;
    out[0] = out[1] = out[2] = in[0];
    out[3] = 1;
}

void ReleaseGrey(void *info) { ++static_cast<GreyRamp *>(info)->releases; }

// A vertical shading over the whole bitmap: `top` at its upper edge, `bottom` at the lower.
Holder<CGShadingRef> VerticalShading(GreyRamp &ramp, CGFloat top, CGFloat bottom, CGFloat y0, CGFloat y1,
                                     bool extend) {
    const CGFloat domain[2] = {top, bottom};
    const CGFloat range[8] = {0, 1, 0, 1, 0, 1, 0, 1};
    const CGFunctionCallbacks callbacks = {0, EvaluateGrey, ReleaseGrey};
    Holder<CGFunctionRef> function(CGFunctionCreate(&ramp, 1, domain, 4, range, &callbacks));
    Holder<CGColorSpaceRef> space(CGColorSpaceCreateWithName(kCGColorSpaceSRGB));
    return Holder<CGShadingRef>(
        CGShadingCreateAxial(space, CGPointMake(0, y1), CGPointMake(0, y0), function, extend, extend));
}

TEST(Shading, AxialEndColoursAndDirection) {
    GreyRamp ramp;
    {
        Bitmap bitmap = Bitmap::Make(2, 64, kCGImageAlphaNone, true);
        Holder<CGShadingRef> shading = VerticalShading(ramp, 1, 0, 0, 64, false);
        ASSERT_TRUE(shading);
        CGContextDrawShading(bitmap.context, shading);
        EXPECT_GE(bitmap.at(0, 0)[0], 250);   // white at the top (memory row 0)
        EXPECT_LE(bitmap.at(0, 63)[0], 5);    // black at the bottom
        for (size_t row = 1; row < 64; ++row) EXPECT_LE(bitmap.at(1, row)[0], bitmap.at(1, row - 1)[0]) << row;
        EXPECT_NEAR(bitmap.at(0, 32)[0], 127, 3);
        EXPECT_GT(ramp.evaluations, 0);
        EXPECT_EQ(ramp.releases, 0);  // the shading holds the function
    }
    EXPECT_EQ(ramp.releases, 1);
}

TEST(Shading, EndsAreExtendedOnlyWhenAsked) {
    for (bool extend : {false, true}) {
        GreyRamp ramp;
        Bitmap bitmap = Bitmap::Make(1, 12, kCGImageAlphaNone, true, 77);
        Holder<CGShadingRef> shading = VerticalShading(ramp, 0.2, 0.8, 4, 8, extend);
        CGContextDrawShading(bitmap.context, shading);
        // The axis runs from y = 8 (memory row 4) to y = 4 (memory row 8).
        EXPECT_EQ(bitmap.at(0, 0)[0], extend ? 51 : 77) << extend;
        EXPECT_EQ(bitmap.at(0, 11)[0], extend ? 204 : 77) << extend;
        // Row 6 is y = 5.5: 5/8 of the way, grey 0.2 + 0.6 * 0.625.
        EXPECT_NEAR(bitmap.at(0, 6)[0], 147, 2) << extend;
    }
}

TEST(Shading, ThroughAnImageMaskOnlyWhereItPaints) {
    // As the control images do: a mask with a hole, and a gradient clipped to it.
    std::vector<uint8_t> maskBytes(8 * 8, 255);
    for (size_t y = 2; y < 6; ++y)
        for (size_t x = 2; x < 6; ++x) maskBytes[y * 8 + x] = 0;
    Holder<CGDataProviderRef> provider(CGDataProviderCreateWithData(nullptr, maskBytes.data(), maskBytes.size(), nullptr));
    Holder<CGImageRef> mask(CGImageMaskCreate(8, 8, 8, 8, 8, provider, nullptr, true));
    GreyRamp ramp;
    Holder<CGShadingRef> shading = VerticalShading(ramp, 1, 1, 0, 8, false);
    Bitmap bitmap = Bitmap::Make(8, 8, kCGImageAlphaNone, true, 0);
    CGContextSaveGState(bitmap.context);
    CGContextClipToMask(bitmap.context, CGRectMake(0, 0, 8, 8), mask);
    CGContextDrawShading(bitmap.context, shading);
    CGContextRestoreGState(bitmap.context);
    for (size_t y = 0; y < 8; ++y)
        for (size_t x = 0; x < 8; ++x) {
            const bool hole = x >= 2 && x < 6 && y >= 2 && y < 6;
            EXPECT_EQ(bitmap.at(x, y)[0], hole ? 255 : 0) << x << "," << y;
        }
}

TEST(Shading, FunctionOutputIsClampedToItsRange) {
    auto evaluate = [](void *, const CGFloat *, CGFloat *out) { out[0] = 5, out[1] = -1; };
    const CGFloat domain[2] = {0, 1};
    const CGFloat range[4] = {0, 0.5, 0, 1};
    const CGFunctionCallbacks callbacks = {0, evaluate, nullptr};
    Holder<CGFunctionRef> function(CGFunctionCreate(nullptr, 1, domain, 2, range, &callbacks));
    Holder<CGColorSpaceRef> grey(CGColorSpaceCreateDeviceGray());
    Holder<CGShadingRef> shading(CGShadingCreateAxial(grey, CGPointMake(0, 0), CGPointMake(1, 0), function, true, true));
    ASSERT_TRUE(shading);
    Bitmap bitmap = Bitmap::Make(2, 1, kCGImageAlphaNone, true, 99);
    CGContextDrawShading(bitmap.context, shading);
    EXPECT_EQ(bitmap.bytes(), (std::vector<uint8_t>{99, 99}));  // grey 0.5 at alpha 0
    EXPECT_EQ(CGFunctionCreate(nullptr, 1, domain, 2, range, nullptr), nullptr);
}

}  // namespace
