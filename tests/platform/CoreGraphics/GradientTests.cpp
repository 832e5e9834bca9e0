// Gradients: stops blended along an axis, their order, and the ends painted only when asked.
#include <gtest/gtest.h>

#include "CGTestSupport.h"

#include <cmath>

using cgtest::Bitmap;
using cgtest::Holder;

namespace {

// Red at 0, green at 0.5 and blue at 1, given out of order.
Holder<CGGradientRef> ThreeStops() {
    const CGFloat components[] = {0, 0, 1, 1, 1, 0, 0, 1, 0, 1, 0, 1};
    const CGFloat locations[] = {1, 0, 0.5};
    Holder<CGColorSpaceRef> space(CGColorSpaceCreateWithName(kCGColorSpaceSRGB));
    return Holder<CGGradientRef>(CGGradientCreateWithColorComponents(space, components, locations, 3));
}

// Red, green and blue of a premultiplied-first pixel of an opaque drawing (A, R, G, B in memory).
std::vector<int> Rgb(const Bitmap &bitmap, size_t column, size_t row) {
    const uint8_t *p = bitmap.at(column, row);
    return {p[1], p[2], p[3]};
}

void ExpectNear(const std::vector<int> &got, const std::vector<int> &want, int tolerance, const char *where) {
    for (size_t i = 0; i < 3; ++i) EXPECT_NEAR(got[i], want[i], tolerance) << where << " component " << i;
}

TEST(Gradient, StopsAreBlendedInLocationOrderAlongTheAxis) {
    Holder<CGGradientRef> gradient = ThreeStops();
    ASSERT_TRUE(gradient);
    Bitmap bitmap = Bitmap::Make(100, 1, kCGImageAlphaPremultipliedFirst);
    CGContextDrawLinearGradient(bitmap.context, gradient, CGPointMake(0, 0), CGPointMake(100, 0), 0);
    ExpectNear(Rgb(bitmap, 0, 0), {255, 0, 0}, 3, "start");
    // Pixel 25 is centred at 0.255: 0.51 of the way from red to green.
    ExpectNear(Rgb(bitmap, 25, 0), {125, 130, 0}, 4, "a quarter");
    ExpectNear(Rgb(bitmap, 50, 0), {0, 255, 0}, 4, "middle");
    ExpectNear(Rgb(bitmap, 99, 0), {0, 0, 255}, 4, "end");
}

TEST(Gradient, EndsArePaintedOnlyWhenAsked) {
    struct Case {
        CGGradientDrawingOptions options;
        bool before, after;
    };
    const Case cases[] = {{0, false, false},
                          {kCGGradientDrawsBeforeStartLocation, true, false},
                          {kCGGradientDrawsAfterEndLocation, false, true},
                          {kCGGradientDrawsBeforeStartLocation | kCGGradientDrawsAfterEndLocation, true, true}};
    Holder<CGGradientRef> gradient = ThreeStops();
    for (const Case &c : cases) {
        Bitmap bitmap = Bitmap::Make(30, 1, kCGImageAlphaPremultipliedFirst);
        CGContextDrawLinearGradient(bitmap.context, gradient, CGPointMake(10, 0), CGPointMake(20, 0), c.options);
        EXPECT_EQ(bitmap.at(2, 0)[0], c.before ? 255 : 0) << c.options;
        EXPECT_EQ(bitmap.at(27, 0)[0], c.after ? 255 : 0) << c.options;
        if (c.before) ExpectNear(Rgb(bitmap, 2, 0), {255, 0, 0}, 2, "before");
        if (c.after) ExpectNear(Rgb(bitmap, 27, 0), {0, 0, 255}, 2, "after");
        EXPECT_EQ(bitmap.at(15, 0)[0], 255) << c.options;
    }
}

TEST(Gradient, EvenlySpreadWithoutLocationsAndBadInput) {
    Holder<CGColorSpaceRef> grey(CGColorSpaceCreateDeviceGray());
    const CGFloat components[] = {0, 1, 1, 1};  // black to white
    Holder<CGGradientRef> gradient(CGGradientCreateWithColorComponents(grey, components, nullptr, 2));
    ASSERT_TRUE(gradient);
    Bitmap bitmap = Bitmap::Make(1, 64, kCGImageAlphaNone, true);
    // Vertical, from the bottom (memory row 63) to the top.
    CGContextDrawLinearGradient(bitmap.context, gradient, CGPointMake(0, 0), CGPointMake(0, 64), 0);
    EXPECT_LE(bitmap.at(0, 63)[0], 4);
    EXPECT_GE(bitmap.at(0, 0)[0], 251);
    EXPECT_NEAR(bitmap.at(0, 32)[0], 125, 3);

    EXPECT_EQ(CGGradientCreateWithColorComponents(nullptr, components, nullptr, 2), nullptr);
    EXPECT_EQ(CGGradientCreateWithColorComponents(grey, nullptr, nullptr, 2), nullptr);
    EXPECT_EQ(CGGradientCreateWithColorComponents(grey, components, nullptr, 0), nullptr);
    // A single stop paints one colour; a stop at a location out of [0, 1] or NaN is held to it.
    const CGFloat odd[] = {NAN, 3};
    Holder<CGGradientRef> single(CGGradientCreateWithColorComponents(grey, components + 2, odd, 1));
    ASSERT_TRUE(single);
    CGContextDrawLinearGradient(bitmap.context, single, CGPointMake(0, 0), CGPointMake(0, 64), 0);
    EXPECT_GE(bitmap.at(0, 40)[0], 254);
    CGContextDrawLinearGradient(nullptr, single, CGPointMake(0, 0), CGPointMake(0, 1), 0);  // nothing
    CGContextDrawLinearGradient(bitmap.context, nullptr, CGPointMake(0, 0), CGPointMake(0, 1), 0);
}

}  // namespace
