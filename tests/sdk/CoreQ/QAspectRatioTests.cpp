// Aspect ratios and placing rectangles inside containers.
#include <gtest/gtest.h>

#include <CoreQ/QAspectRatio.h>
#include <CoreQ/QGWorld.h>
#include <CoreQ/QRect_Placement.h>

#include "sdk/CoreX/CoreMachDebugLogTestSupport.h"

namespace {

using QAspectRatioTest = corex_test::DebugLogFileTest;

TEST_F(QAspectRatioTest, RatioFromEveryKindOfSize) {
    EXPECT_FLOAT_EQ(QAspectRatio(Rect{10, 20, 490, 660}).GetRatio(), 640.0f / 480.0f);
    EXPECT_FLOAT_EQ(QAspectRatio(1920, 1080).GetRatio(), 16.0f / 9.0f);
    EXPECT_FLOAT_EQ(QAspectRatio(-4.0f, 2.0f).GetRatio(), 2.0f);  // magnitudes
    EXPECT_FLOAT_EQ(QAspectRatio(::Dimensions{100, 50}).GetRatio(), 0.5f);  // v (height) first
    EXPECT_FLOAT_EQ(QAspectRatio(CGSizeMake(300, 200)).GetRatio(), 1.5f);
    EXPECT_FLOAT_EQ(QAspectRatio(CGRectMake(5, 5, 200, 400)).GetRatio(), 0.5f);
    PixMap pixmap{};
    pixmap.bounds = Rect{0, 0, 48, 64};
    EXPECT_FLOAT_EQ(QAspectRatio(pixmap).GetRatio(), 64.0f / 48.0f);
    QGWorld world(QPoint(320, 240), k32ARGBPixelFormat);
    EXPECT_FLOAT_EQ(QAspectRatio(world).GetRatio(), 320.0f / 240.0f);
    EXPECT_EQ(LogText(), "");
}

TEST_F(QAspectRatioTest, ZeroHeightIsReportedAndKeepsTheRatio) {
    QAspectRatio ratio(16, 9);
    EXPECT_FALSE(ratio.Construct(4, 0));
    EXPECT_FLOAT_EQ(ratio.GetRatio(), 16.0f / 9.0f);
    EXPECT_NE(LogText().find(" code : inHeight!=0.0"), std::string::npos) << LogText();

    // Every constructor starts from 1.0, also those built from Quartz sizes, pixel maps and
    // worlds that are not built.
    EXPECT_FLOAT_EQ(QAspectRatio(CGSizeMake(10, 0)).GetRatio(), 1.0f);
    EXPECT_FLOAT_EQ(QAspectRatio(CGRectMake(0, 0, 10, 0)).GetRatio(), 1.0f);
    EXPECT_FLOAT_EQ(QAspectRatio(PixMap{}).GetRatio(), 1.0f);
    EXPECT_FLOAT_EQ(QAspectRatio(Rect{5, 0, 5, 10}).GetRatio(), 1.0f);
    QGWorld empty;
    EXPECT_FLOAT_EQ(QAspectRatio(empty).GetRatio(), 1.0f);
}

TEST_F(QAspectRatioTest, EqualToTwoDecimalsTruncated) {
    struct Case {
        float a, b;
        bool equal;
    };
    const Case cases[] = {
        {1.7777f, 1.7799f, true},  // both 177
        {1.333f, 1.34f, false},    // 133 and 134
        {1.34f, 1.3499f, true},
        {1.0f, 0.999f, false},
        {640.0f / 480.0f, 4.0f / 3.0f, true},
        {1920.0f / 1080.0f, 16.0f / 9.0f, true},
        {16.0f / 9.0f, 4.0f / 3.0f, false},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(QAspectRatio(c.a, 1.0f).IsEqual(QAspectRatio(c.b, 1.0f)), c.equal) << c.a << " vs " << c.b;
        EXPECT_EQ(QAspectRatio(c.b, 1.0f).IsEqual(c.a), c.equal) << c.b << " vs " << c.a;
    }
    EXPECT_TRUE(QAspectRatio(480, 480).IsSquare());
    EXPECT_FALSE(QAspectRatio(481, 480).IsSquare());
}

// QuickDraw rectangles print as (top, left, bottom, right).
std::string Text(const Rect &r) {
    return "(" + std::to_string(r.top) + ", " + std::to_string(r.left) + ", " + std::to_string(r.bottom) + ", " +
           std::to_string(r.right) + ")";
}

TEST(QRectPlacement, CenterWithin) {
    struct Case {
        Rect container, r, expected;
    };
    const Case cases[] = {
        {{0, 0, 480, 640}, {0, 0, 50, 100}, {215, 270, 265, 370}},
        {{100, 200, 580, 840}, {7, 9, 57, 109}, {315, 470, 365, 570}},   // r's own origin is ignored
        {{0, 0, 11, 11}, {0, 0, 4, 4}, {3, 3, 7, 7}},                     // odd room: the extra on the right
        {{10, 20, 20, 30}, {0, 0, 13, 16}, {9, 17, 22, 33}},              // larger: overhangs both sides
    };
    for (const Case &c : cases) EXPECT_EQ(Text(QRect_CenterWithin(c.container, c.r)), Text(c.expected));
}

TEST(QRectPlacement, EveryPositionLiesInAContainerAwayFromTheOrigin) {
    // A 100 x 50 rectangle, inset 10, in the container (top 100, left 200, bottom 580, right 840).
    const Rect container{100, 200, 580, 840};
    const Rect r{0, 0, 50, 100};
    const struct {
        long position;
        Rect expected;
    } cases[] = {
        {0, {110, 210, 160, 310}},  // top left
        {1, {110, 730, 160, 830}},  // top right
        {2, {520, 210, 570, 310}},  // bottom left
        {3, {520, 730, 570, 830}},  // bottom right
        {4, {110, 470, 160, 570}},  // top centre
        {5, {315, 210, 365, 310}},  // left centre
        {6, {315, 730, 365, 830}},  // right centre
        {7, {520, 470, 570, 570}},  // bottom centre
        {8, {110, 210, 160, 310}},  // any other: top left
        {-1, {110, 210, 160, 310}},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(Text(QRect_PositionWithin(container, r, c.position, 10)), Text(c.expected)) << c.position;
        EXPECT_EQ(Text(QRect_PositionWithin(container, 100, 50, c.position, 10)), Text(c.expected)) << c.position;
    }
    // At the origin: bottom right of (0, 0, 480, 640) with inset 10.
    EXPECT_EQ(Text(QRect_PositionWithin(Rect{0, 0, 480, 640}, r, 3, 10)), Text(Rect{420, 530, 470, 630}));
}

}  // namespace
