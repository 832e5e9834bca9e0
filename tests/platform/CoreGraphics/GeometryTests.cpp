// Geometry helpers, transforms and path objects.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "CGTestSupport.h"

using cgtest::Holder;

namespace {

void ExpectRect(CGRect r, CGFloat x, CGFloat y, CGFloat w, CGFloat h) {
    EXPECT_DOUBLE_EQ(r.origin.x, x);
    EXPECT_DOUBLE_EQ(r.origin.y, y);
    EXPECT_DOUBLE_EQ(r.size.width, w);
    EXPECT_DOUBLE_EQ(r.size.height, h);
}

TEST(Geometry, RectHelpers) {
    const CGRect r = CGRectMake(10, 20, -4, 6);  // a negative width counts leftwards
    EXPECT_EQ(CGRectGetMinX(r), 6);
    EXPECT_EQ(CGRectGetMaxX(r), 10);
    EXPECT_EQ(CGRectGetMidX(r), 8);
    EXPECT_EQ(CGRectGetMidY(r), 23);
    EXPECT_EQ(CGRectGetWidth(r), 4);
    ExpectRect(CGRectStandardize(r), 6, 20, 4, 6);
    ExpectRect(CGRectInset(CGRectMake(0, 0, 10, 8), 2, 1), 2, 1, 6, 6);
    EXPECT_TRUE(CGRectIsNull(CGRectInset(CGRectMake(0, 0, 2, 2), 2, 0)));
    ExpectRect(CGRectIntegral(CGRectMake(0.5, -0.5, 1, 1.2)), 0, -1, 2, 2);
    ExpectRect(CGRectIntersection(CGRectMake(0, 0, 4, 4), CGRectMake(2, 3, 5, 5)), 2, 3, 2, 1);
    EXPECT_TRUE(CGRectIsNull(CGRectIntersection(CGRectMake(0, 0, 1, 1), CGRectMake(2, 2, 1, 1))));
    EXPECT_TRUE(CGRectIsEmpty(CGRectNull));
    EXPECT_TRUE(CGRectIsEmpty(CGRectZero));
    EXPECT_TRUE(CGRectContainsPoint(CGRectMake(0, 0, 2, 2), CGPointMake(0, 0)));
    EXPECT_FALSE(CGRectContainsPoint(CGRectMake(0, 0, 2, 2), CGPointMake(2, 1)));
    EXPECT_TRUE(CGRectEqualToRect(CGRectMake(2, 0, -2, 1), CGRectMake(0, 0, 2, 1)));
    ExpectRect(CGRectUnion(CGRectMake(0, 0, 2, 2), CGRectMake(5, -1, -2, 1)), 0, -1, 5, 3);
    ExpectRect(CGRectUnion(CGRectNull, CGRectMake(1, 1, -1, 1)), 0, 1, 1, 1);
    EXPECT_TRUE(CGRectIsNull(CGRectUnion(CGRectNull, CGRectNull)));
    ExpectRect(CGRectOffset(CGRectMake(1, 2, 3, 4), -1, 0.5), 0, 2.5, 3, 4);
    EXPECT_TRUE(CGRectIsNull(CGRectOffset(CGRectNull, 1, 1)));
    EXPECT_TRUE(CGRectContainsRect(CGRectMake(0, 0, 4, 4), CGRectMake(0, 1, 4, 3)));
    EXPECT_FALSE(CGRectContainsRect(CGRectMake(0, 0, 4, 4), CGRectMake(0, 1, 4, 3.5)));
    EXPECT_FALSE(CGRectContainsRect(CGRectMake(0, 0, 4, 4), CGRectNull));
}

TEST(Geometry, TransformsComposeInQuartzOrder) {
    // Concat(t1, t2) applies t1 first.
    const CGAffineTransform scale = CGAffineTransformMakeScale(2, 3);
    const CGAffineTransform move = CGAffineTransformMakeTranslation(10, 0);
    const CGPoint p = CGPointApplyAffineTransform(CGPointMake(1, 1), CGAffineTransformConcat(scale, move));
    EXPECT_DOUBLE_EQ(p.x, 12);
    EXPECT_DOUBLE_EQ(p.y, 3);
    // Translate(t, ...) applies the translation before t.
    const CGPoint q = CGPointApplyAffineTransform(CGPointMake(1, 1), CGAffineTransformTranslate(scale, 10, 0));
    EXPECT_DOUBLE_EQ(q.x, 22);
    const CGPoint r = CGPointApplyAffineTransform(CGPointMake(1, 0), CGAffineTransformMakeRotation(M_PI / 2));
    EXPECT_NEAR(r.x, 0, 1e-12);
    EXPECT_NEAR(r.y, 1, 1e-12);  // counter-clockwise in a y-up space

    const CGAffineTransform t = CGAffineTransformRotate(CGAffineTransformMake(2, 0, 0, 4, 5, 6), 0.3);
    const CGAffineTransform round = CGAffineTransformConcat(t, CGAffineTransformInvert(t));
    for (CGFloat v : {round.a - 1, round.b, round.c, round.d - 1, round.tx, round.ty}) EXPECT_NEAR(v, 0, 1e-12);
    const CGAffineTransform singular = CGAffineTransformMakeScale(0, 1);
    EXPECT_TRUE(CGAffineTransformEqualToTransform(CGAffineTransformInvert(singular), singular));

    const CGRect turned = CGRectApplyAffineTransform(CGRectMake(0, 0, 2, 1), CGAffineTransformMakeRotation(M_PI / 2));
    EXPECT_NEAR(turned.origin.x, -1, 1e-12);
    EXPECT_NEAR(turned.origin.y, 0, 1e-12);
    EXPECT_NEAR(turned.size.width, 1, 1e-12);
    EXPECT_NEAR(turned.size.height, 2, 1e-12);
}

struct InsideCase {
    const char *name;
    CGPoint point;
    bool inside;
};

// The rounded rectangle the way the drawn controls build it: unit corners, arcs to points.
Holder<CGPathRef> RoundRect(CGFloat u, CGFloat v) {
    CGMutablePathRef path = CGPathCreateMutable();
    CGPathMoveToPoint(path, nullptr, u, v / 2);
    CGPathAddArcToPoint(path, nullptr, u, v, u / 2, v, 1);
    CGPathAddArcToPoint(path, nullptr, 0, v, 0, v / 2, 1);
    CGPathAddArcToPoint(path, nullptr, 0, 0, u / 2, 0, 1);
    CGPathAddArcToPoint(path, nullptr, u, 0, u, v / 2, 1);
    CGPathAddLineToPoint(path, nullptr, u, v / 2);
    CGPathCloseSubpath(path);
    Holder<CGPathRef> copy(CGPathCreateCopy(path));
    CGPathRelease(path);
    return copy;
}

class RoundRectPath : public testing::TestWithParam<InsideCase> {};

TEST_P(RoundRectPath, InsideOutside) {
    // 10 x 6 units with corners of radius 1, scaled by 10: corners of radius 10 on 100 x 60.
    Holder<CGPathRef> path = RoundRect(10, 6);
    const CGAffineTransform scale = CGAffineTransformMakeScale(0.1, 0.1);  // point -> unit space
    const CGPoint p = CGPointApplyAffineTransform(GetParam().point, scale);
    EXPECT_EQ(CGPathContainsPoint(path, nullptr, p, false), GetParam().inside);
}

INSTANTIATE_TEST_SUITE_P(Samples, RoundRectPath,
                         testing::Values(InsideCase{"Centre", {50, 30}, true},
                                         InsideCase{"NearLeftEdge", {1, 30}, true},
                                         InsideCase{"CornerCut", {1.5, 1.5}, false},
                                         InsideCase{"InsideCornerArc", {4, 4}, true},
                                         InsideCase{"TopRightCornerCut", {98.5, 58.5}, false},
                                         InsideCase{"AlongTopEdge", {50, 59}, true},
                                         InsideCase{"Outside", {101, 30}, false}),
                         [](const testing::TestParamInfo<InsideCase> &info) { return std::string(info.param.name); });

TEST(Path, ArcToPointIsTangentToBothLines) {
    CGMutablePathRef path = CGPathCreateMutable();
    CGPathMoveToPoint(path, nullptr, 0, 0);
    CGPathAddArcToPoint(path, nullptr, 10, 0, 10, 10, 4);
    // Ends on the second line, 4 from the corner.
    const CGPoint end = CGPathGetCurrentPoint(path);
    EXPECT_NEAR(end.x, 10, 1e-9);
    EXPECT_NEAR(end.y, 4, 1e-9);
    const CGRect box = CGPathGetBoundingBox(path);
    EXPECT_NEAR(CGRectGetMaxX(box), 10, 1e-9);
    // Points on one line: a line to the corner.
    CGPathAddArcToPoint(path, nullptr, 10, 20, 10, 30, 4);
    EXPECT_NEAR(CGPathGetCurrentPoint(path).y, 20, 1e-9);
    CGPathRelease(path);
}

TEST(Path, CallsWithoutACurrentPointAddNothing) {
    CGMutablePathRef path = CGPathCreateMutable();
    CGPathAddLineToPoint(path, nullptr, 1, 1);
    CGPathAddCurveToPoint(path, nullptr, 1, 1, 2, 2, 3, 3);
    CGPathAddArcToPoint(path, nullptr, 1, 1, 2, 0, 1);
    EXPECT_TRUE(CGPathIsEmpty(path));
    EXPECT_TRUE(CGRectIsNull(CGPathGetBoundingBox(path)));
    CGPathAddArc(path, nullptr, 0, 0, 2, 0, M_PI, false);  // begins with a move
    EXPECT_FALSE(CGPathIsEmpty(path));
    EXPECT_NEAR(CGPathGetCurrentPoint(path).x, -2, 1e-9);
    EXPECT_TRUE(CGPathContainsPoint(path, nullptr, CGPointMake(0, 1), false));
    EXPECT_FALSE(CGPathContainsPoint(path, nullptr, CGPointMake(0, -1), false));  // the upper half only
    CGPathRelease(path);
}

TEST(Path, TransformsAndEvenOdd) {
    CGMutablePathRef path = CGPathCreateMutable();
    const CGAffineTransform m = CGAffineTransformMakeTranslation(100, 0);
    CGPathAddRect(path, &m, CGRectMake(0, 0, 10, 10));
    CGPathAddEllipseInRect(path, &m, CGRectMake(2, 2, 6, 6));
    const CGRect box = CGPathGetBoundingBox(path);
    EXPECT_DOUBLE_EQ(box.origin.x, 100);
    EXPECT_DOUBLE_EQ(box.size.width, 10);
    EXPECT_TRUE(CGPathContainsPoint(path, nullptr, CGPointMake(105, 5), false));
    EXPECT_FALSE(CGPathContainsPoint(path, nullptr, CGPointMake(105, 5), true));
    EXPECT_TRUE(CGPathContainsPoint(path, nullptr, CGPointMake(101, 1), true));
    // The test point through a transform of its own.
    EXPECT_TRUE(CGPathContainsPoint(path, &m, CGPointMake(205, 5), false));
    Holder<CGMutablePathRef> other(CGPathCreateMutable());
    CGPathAddPath(other, nullptr, path);
    CGPathAddPath(other, nullptr, other);  // adding a path to itself doubles it
    EXPECT_FALSE(CGPathContainsPoint(other, nullptr, CGPointMake(101, 1), true));
    CGPathRelease(path);
}

TEST(Path, QuadCurveStaysInsideItsControlTriangle) {
    CGMutablePathRef path = CGPathCreateMutable();
    CGPathMoveToPoint(path, nullptr, 0, 0);
    CGPathAddQuadCurveToPoint(path, nullptr, 5, 10, 10, 0);
    CGPathCloseSubpath(path);
    EXPECT_TRUE(CGPathContainsPoint(path, nullptr, CGPointMake(5, 4.9), false));   // the apex is at y = 5
    EXPECT_FALSE(CGPathContainsPoint(path, nullptr, CGPointMake(5, 5.1), false));
    CGPathRelease(path);
}

TEST(ColourSpace, NamesAreTagsAndCompareByName) {
    Holder<CGColorSpaceRef> srgb(CGColorSpaceCreateWithName(kCGColorSpaceSRGB));
    Holder<CGColorSpaceRef> srgb2(CGColorSpaceCreateWithName(CFSTR("kCGColorSpaceSRGB")));
    Holder<CGColorSpaceRef> adobe(CGColorSpaceCreateWithName(kCGColorSpaceAdobeRGB1998));
    Holder<CGColorSpaceRef> linear(CGColorSpaceCreateWithName(kCGColorSpaceGenericRGBLinear));
    Holder<CGColorSpaceRef> device(CGColorSpaceCreateDeviceRGB());
    ASSERT_TRUE(srgb && srgb2 && adobe && linear && device);
    EXPECT_NE(srgb.get(), srgb2.get());
    EXPECT_TRUE(CFEqual(srgb, srgb2));
    EXPECT_FALSE(CFEqual(srgb, adobe));
    EXPECT_FALSE(CFEqual(srgb, device));
    Holder<CFStringRef> name(CGColorSpaceCopyName(linear));
    EXPECT_TRUE(CFEqual(name, kCGColorSpaceGenericRGBLinear));
    EXPECT_EQ(CGColorSpaceCopyName(device), nullptr);
    EXPECT_EQ(CGColorSpaceGetNumberOfComponents(adobe), 3u);
    Holder<CGColorSpaceRef> grey(CGColorSpaceCreateDeviceGray());
    EXPECT_EQ(CGColorSpaceGetModel(grey), kCGColorSpaceModelMonochrome);
    EXPECT_EQ(CGColorSpaceCreateWithName(CFSTR("kCGColorSpaceNoSuchSpace")), nullptr);
    EXPECT_EQ(CFGetTypeID(srgb), CGColorSpaceGetTypeID());
}

TEST(Colour, ComponentsAndUseAsFill) {
    Holder<CGColorRef> grey(CGColorCreateGenericGray(0.2, 0.5));
    EXPECT_EQ(CGColorGetNumberOfComponents(grey), 2u);
    EXPECT_DOUBLE_EQ(CGColorGetAlpha(grey), 0.5);
    Holder<CGColorRef> red(CGColorCreateGenericRGB(1, 0, 0, 1));
    EXPECT_EQ(CGColorGetNumberOfComponents(red), 4u);
    EXPECT_EQ(CGColorSpaceGetModel(CGColorGetColorSpace(red)), kCGColorSpaceModelRGB);
    cgtest::Bitmap bitmap = cgtest::Bitmap::Make(1, 1, kCGImageAlphaPremultipliedFirst);
    CGContextSetFillColorWithColor(bitmap.context, red);
    CGContextFillRect(bitmap.context, CGRectMake(0, 0, 1, 1));
    EXPECT_EQ(bitmap.pixel(0, 0), (std::vector<uint8_t>{255, 255, 0, 0}));
}

}  // namespace
