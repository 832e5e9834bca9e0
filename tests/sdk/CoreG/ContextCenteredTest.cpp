// The centring scope: the translation by half the rectangle's size, the corner moves, the
// restore at the end, and the report for a missing context.
#include <gtest/gtest.h>

#include <CoreG/Drawing/namespace_CoreGraphics_BitmapContext.h>
#include <CoreG/Drawing/namespace_CoreGraphics_ContextCentered.h>

#include "sdk/CoreX/CoreMachDebugLogTestSupport.h"

using namespace CoreGraphics;

namespace {

class ContextCenteredTest : public corex_test::DebugLogFileTest {
protected:
    void SetUp() override {
        DebugLogFileTest::SetUp();
        ASSERT_TRUE(mBitmap.Construct(100, 60, kBitmapType_Gray8));
    }
    CGPoint Origin() const {
        const CGAffineTransform ctm = CGContextGetCTM(mBitmap.mContext);
        return CGPointMake(ctm.tx, ctm.ty);
    }
    BitmapContext mBitmap;
};

TEST_F(ContextCenteredTest, MovesTheOriginByHalfTheSizeUntilItEnds) {
    const CFIndex references = CFGetRetainCount(mBitmap.mContext);
    {
        // Only the size counts, not the rectangle's origin.
        ContextCentered centered(CGRectMake(10, 10, 80, 40), mBitmap.mContext);
        EXPECT_EQ(Origin().x, 40);
        EXPECT_EQ(Origin().y, 20);
        EXPECT_EQ(CFGetRetainCount(mBitmap.mContext), references + 1);
        // Drawing at the origin lands at the centre of an 80 x 40 rectangle from (0, 0).
        CGContextSetGrayFillColor(mBitmap.mContext, 1, 1);
        CGContextFillRect(mBitmap.mContext, CGRectMake(-1, -1, 2, 2));
    }
    EXPECT_EQ(Origin().x, 0);
    EXPECT_EQ(Origin().y, 0);
    EXPECT_EQ(CFGetRetainCount(mBitmap.mContext), references);
    mBitmap.WillAccessPixels();
    EXPECT_EQ(mBitmap.mImageDataBytes[(60 - 20) * 100 + 40], 255);  // y-up 19..21 is rows 39..40
    EXPECT_EQ(mBitmap.mImageDataBytes[(60 - 21) * 100 + 39], 255);
    EXPECT_EQ(LogText(), "");
}

TEST_F(ContextCenteredTest, MoveOriginToCorner) {
    const struct {
        int corner;
        CGFloat x, y;
    } cases[] = {{0, 0, 0}, {2, 0, 40}, {3, 80, 0}, {1, 80, 40}, {7, 80, 40}};
    for (const auto &c : cases) {
        ContextCentered centered(CGRectMake(0, 0, 80, 40), mBitmap.mContext);
        centered.MoveOriginToCorner(c.corner);
        EXPECT_EQ(Origin().x, c.x) << c.corner;
        EXPECT_EQ(Origin().y, c.y) << c.corner;
    }
    EXPECT_EQ(Origin().x, 0);
}

TEST_F(ContextCenteredTest, MissingContextIsReported) {
    {
        ContextCentered centered(CGRectMake(0, 0, 80, 40), nullptr);
        centered.MoveOriginToCorner(0);  // does nothing
    }
    EXPECT_EQ(LogText(),
              "VERIFY FAILED:  code : mContext in /Code/sdk/CoreG/namespace_CoreGraphics_ContextCentered:23 "
              "(ContextCentered)\n");
}

}  // namespace
