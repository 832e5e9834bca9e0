// Rounded rectangles: the record, its outline and the drawn shape, checked by samples inside
// and outside the corners with a margin for anti-aliasing.
#include <gtest/gtest.h>

#include <cmath>

#include <CoreG/Drawing/namespace_CoreGraphics_BitmapContext.h>
#include <CoreG/Drawing/namespace_CoreGraphics_QuartzDrawing.h>
#include <CoreG/Drawing/namespace_CoreGraphics_ScaledRoundRect.h>

#include "GraphicsTestSupport.h"

using namespace CoreGraphics;
using coreg_graphics_test::PixelAtPoint;

namespace {

// Grey coverage at a y-up point of the picture.
int Coverage(const BitmapContext &bitmap, double x, double y) { return *PixelAtPoint(bitmap, x, y); }

TEST(ScaledRoundRect, RecordAndOutline) {
    const ScaledRoundRect record(CGRectMake(5, 6, 100, 40), 10, 8);
    EXPECT_EQ(record.unitWidth, 10);
    EXPECT_EQ(record.unitHeight, 5);
    ASSERT_NE(record.path, nullptr);
    // In corner units: the box of the outline is the unit rectangle.
    const CGRect box = CGPathGetBoundingBox(record.path);
    EXPECT_NEAR(box.origin.x, 0, 1e-9);
    EXPECT_NEAR(box.origin.y, 0, 1e-9);
    EXPECT_NEAR(box.size.width, 10, 1e-9);
    EXPECT_NEAR(box.size.height, 5, 1e-9);
    // The corners are quarter circles of radius 1 about (1, 1), (9, 1), (1, 4), (9, 4).
    const struct {
        double x, y;
        bool inside;
    } samples[] = {{5, 2.5, true},    {0.05, 0.05, false}, {9.95, 4.95, false}, {0.4, 0.4, true},
                   {0.25, 0.25, false}, {9.7, 0.6, true},  {5, 4.9, true},      {10.1, 2.5, false}};
    for (const auto &s : samples)
        EXPECT_EQ(CGPathContainsPoint(record.path, nullptr, CGPointMake(s.x, s.y), false), s.inside)
            << s.x << ", " << s.y;

    CGPathRef another = RoundRectPathCreate(record);
    ASSERT_NE(another, nullptr);
    EXPECT_TRUE(CGRectEqualToRect(CGPathGetBoundingBox(another), box));
    CGPathRelease(another);
}

class RoundedFill : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(mBitmap.Construct(140, 80, kBitmapType_Gray8));
        CGContextSetGrayFillColor(mBitmap.mContext, 1, 1);
    }
    BitmapContext mBitmap;
};

// A 100 x 40 rectangle at (10, 20): corner 0.25 means radius 10 (a quarter of the smaller
// side), corner 6 radius 6. Along the diagonal of each corner the outline lies r(1 - 1/sqrt 2)
// in from the corner; samples 1.5 pixels either side of it are empty and full.
TEST_F(RoundedFill, CornerIsAFractionBelowOneElseARadius) {
    for (const float corner : {0.25f, 6.0f}) {
        const double r = corner < 1 ? corner * 40 : corner;
        CGContextClearRect(mBitmap.mContext, CGRectMake(0, 0, 140, 80));
        FillRoundedRectPath(mBitmap.mContext, 10, 20, 100, 40, 0, corner);
        const double edge = r * (1 - std::sqrt(0.5));
        const double out = edge - 1.5, in = edge + 1.5;
        // (corner x, corner y, direction into the rectangle)
        const double corners[4][4] = {{10, 20, 1, 1}, {110, 20, -1, 1}, {10, 60, 1, -1}, {110, 60, -1, -1}};
        for (const auto &k : corners) {
            if (out > 0) {
                EXPECT_LT(Coverage(mBitmap, k[0] + k[2] * out, k[1] + k[3] * out), 40)
                    << "corner " << corner << " at " << k[0] << ", " << k[1];
            }
            EXPECT_GT(Coverage(mBitmap, k[0] + k[2] * in, k[1] + k[3] * in), 215)
                << "corner " << corner << " at " << k[0] << ", " << k[1];
            // Straight edges are full right up to the rectangle, empty outside it.
            EXPECT_EQ(Coverage(mBitmap, k[0] + k[2] * (r + 1.5), k[1] + k[3] * 0.5), 255);
            EXPECT_EQ(Coverage(mBitmap, k[0] - k[2] * 1.5, k[1] + k[3] * (r + 1.5)), 0);
        }
        EXPECT_EQ(Coverage(mBitmap, 60, 40), 255);
    }
}

TEST_F(RoundedFill, UnequalCornerSizesGiveEllipticalCorners) {
    const ScaledRoundRect record(CGRectMake(0, 0, 100, 40), 30, 10);
    RoundRectPathDraw(record, mBitmap.mContext, 20, 20, 0);
    // The lower-left corner spans 30 across and 10 up from (20, 20).
    EXPECT_LT(Coverage(mBitmap, 20 + 5, 20 + 1), 40);     // (5, 1) is outside the ellipse
    EXPECT_GT(Coverage(mBitmap, 20 + 20, 20 + 2.5), 215);  // (20, 2.5) is inside
    EXPECT_LT(Coverage(mBitmap, 20 + 1.5, 20 + 5), 40);
    EXPECT_EQ(Coverage(mBitmap, 20 + 35, 20 + 0.5), 255);
}

// A corner size of 0 is a plain rectangle (scaling by the corner size would draw nothing).
TEST_F(RoundedFill, ZeroCornerFillsThePlainRectangle) {
    FillRoundedRectPath(mBitmap.mContext, 10, 20, 100, 40, 0, 0);
    EXPECT_EQ(Coverage(mBitmap, 10.5, 20.5), 255);
    EXPECT_EQ(Coverage(mBitmap, 109.5, 59.5), 255);
    EXPECT_EQ(Coverage(mBitmap, 110.5, 40), 0);
    EXPECT_EQ(Coverage(mBitmap, 60, 19.5), 0);
}

// With a line width the shape is filled, then stroked with lines of that width in the
// caller's units whatever the corner size.
TEST(RoundedStroke, LineWidthIsNotScaledByTheCorner) {
    BitmapContext bitmap;
    ASSERT_TRUE(bitmap.Construct(140, 80, kBitmapType_ARGB32));
    CGContextSetRGBFillColor(bitmap.mContext, 1, 0, 0, 1);
    CGContextSetRGBStrokeColor(bitmap.mContext, 0, 0, 1, 1);
    FillRoundedRectPath(bitmap.mContext, 10, 20, 100, 40, 2, 10);
    const auto colour = [&](double x, double y) {
        const uint8_t *p = PixelAtPoint(bitmap, x, y);
        return std::vector<uint8_t>(p, p + 4);
    };
    EXPECT_EQ(colour(60, 20.5), (std::vector<uint8_t>{255, 0, 0, 255}));  // on the bottom edge: stroke
    EXPECT_EQ(colour(60, 23.5), (std::vector<uint8_t>{255, 255, 0, 0}));  // 3.5 in: fill
    EXPECT_EQ(colour(60, 40), (std::vector<uint8_t>{255, 255, 0, 0}));
    EXPECT_EQ(colour(60, 18.5), (std::vector<uint8_t>{0, 0, 0, 0}));      // outside the line
    // Nothing without a context.
    FillRoundedRectPath(nullptr, 10, 20, 100, 40, 2, 10);
}

}  // namespace
