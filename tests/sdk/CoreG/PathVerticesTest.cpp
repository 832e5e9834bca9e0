// The outline generators (polygon, star, pinwheel, flower, superformula) and the paths made
// from them.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include <CoreG/Drawing/namespace_CoreGeometry_PathVertices.h>

using namespace CoreGeometry;

namespace {

constexpr double kPi = 3.14159265358979323846;

// The angle of a point in whole degrees, 0..359.
int Degrees(CGPoint p) {
    const int d = int(std::lround(std::atan2(p.y, p.x) * 180 / kPi));
    return (d + 360) % 360;
}

bool IsCentre(CGPoint p) { return std::fabs(p.x) < 1e-9 && std::fabs(p.y) < 1e-9; }

// The points as angles in degrees, -1 for the centre.
std::vector<int> Angles(const PathVertices &vertices) {
    std::vector<int> angles;
    for (const CGPoint &p : vertices.Points()) angles.push_back(IsCentre(p) ? -1 : Degrees(p));
    return angles;
}

TEST(EquilateralVertices, PolygonsStarsAndPinwheels) {
    const struct {
        int n, kind;
        float start, end;
        int count;
        std::vector<int> angles;
    } cases[] = {
        {5, EquilateralVertices::kPolygon, 0, 360, 5, {0, 72, 144, 216, 288}},
        {2, EquilateralVertices::kPolygon, 0, 360, 3, {0, 120, 240}},
        {-4, EquilateralVertices::kPolygon, 0, 360, 3, {0, 120, 240}},
        {5, EquilateralVertices::kStar, 0, 360, 5, {0, 144, 288, 72, 216}},  // {5/2}
        {7, EquilateralVertices::kStar, 0, 360, 7, {0, 154, 309, 103, 257, 51, 206}},  // {7/3}
        // Wedges 0-90 and 180-270: centre, corner, corner, centre, ...
        {4, EquilateralVertices::kPinwheel, 0, 360, 4, {-1, 0, 90, -1, 180, 270, -1, -1}},
        {5, EquilateralVertices::kPinwheel, 0, 360, 4, {-1, 0, 90, -1, 180, 270, -1, -1}},  // odd n lowered
        {3, EquilateralVertices::kPinwheel, 0, 360, 2, {-1, 0, 180, -1, -1}},  // a line: no area
        // Only corners within [start, end] degrees; the first corner only from angle 0.
        {8, EquilateralVertices::kPinwheel, 0, 90, 8, {-1, 0, 45, -1, 90, -1}},
        {8, EquilateralVertices::kPinwheel, 45, 180, 8, {-1, 45, -1, 90, 135, -1, 180, -1}},
    };
    for (const auto &c : cases) {
        const EquilateralVertices vertices(CGSizeMake(2, 2), c.n, c.kind, c.start, c.end);
        EXPECT_EQ(vertices.mCount, c.count) << c.n << " kind " << c.kind;
        EXPECT_EQ(Angles(vertices), c.angles) << c.n << " kind " << c.kind;
        for (const CGPoint &p : vertices.Points())
            if (!IsCentre(p)) {
                EXPECT_NEAR(std::hypot(p.x, p.y), 1.0, 1e-9);
            }
    }
}

TEST(EquilateralVertices, CornersLieOnTheEllipseOfTheSizeAndCountsAreCapped) {
    const EquilateralVertices ellipse(CGSizeMake(40, 20), 4, EquilateralVertices::kPolygon, 0, 360);
    ASSERT_EQ(ellipse.Count(), 4u);
    EXPECT_NEAR(ellipse.Points()[0].x, 20, 1e-9);
    EXPECT_NEAR(ellipse.Points()[1].y, 10, 1e-9);
    EXPECT_NEAR(ellipse.Points()[2].x, -20, 1e-9);
    EXPECT_NEAR(CGRectGetWidth(ellipse.mBounds), 40, 1e-9);
    EXPECT_NEAR(CGRectGetHeight(ellipse.mBounds), 20, 1e-9);

    EXPECT_EQ(EquilateralVertices(CGSizeMake(2, 2), 40, EquilateralVertices::kPolygon, 0, 360).Count(), 25u);
    EXPECT_EQ(EquilateralVertices(CGSizeMake(2, 2), 40, EquilateralVertices::kStar, 0, 360).mCount, 25);
    // Pinwheels are not capped: the ray screens use up to 1080 rays.
    EXPECT_EQ(EquilateralVertices(CGSizeMake(2, 2), 1080, EquilateralVertices::kPinwheel, 0, 360).mCount, 1080);
}

TEST(FlowerVertices, APolarRoseFromTheCentre) {
    const struct {
        bool coarse;
        int petals, petalsUsed;
        size_t count;
    } cases[] = {{false, 10, 10, 3602}, {true, 10, 10, 182}, {true, 1, 3, 182}, {true, 40, 17, 182}};
    for (const auto &c : cases) {
        const FlowerVertices flower(CGSizeMake(4, 2), c.coarse, c.petals, 1);
        EXPECT_EQ(flower.mPetals, c.petalsUsed);
        ASSERT_EQ(flower.Count(), c.count);
        const std::vector<CGPoint> &points = flower.Points();
        EXPECT_TRUE(IsCentre(points[0]));
        EXPECT_TRUE(IsCentre(points[1]));                 // theta 0: r = 0
        EXPECT_NEAR(points.back().x, 0, 1e-9);            // theta 360 is reached: r = 0 again
        // r = sin(petals theta) x 1.5 at (cos theta r w/2, sin theta r h/2).
        const size_t i = c.coarse ? 3 : 60;  // theta 6 degrees
        const double theta = 6 * kPi / 180, r = std::sin(c.petalsUsed * theta) * 1.5;
        EXPECT_NEAR(points[i + 1].x, std::cos(theta) * r * 2, 1e-9);
        EXPECT_NEAR(points[i + 1].y, std::sin(theta) * r * 1, 1e-9);
    }
}

TEST(SupershapeFn, DefaultsAndNormalisation) {
    SupershapeFn shape;
    EXPECT_EQ(shape.m_m, 1);
    EXPECT_EQ(shape.mB, 1);
    EXPECT_EQ(shape.mSamples, 512u);
    EXPECT_EQ(shape.mTurns, 1u);
    EXPECT_EQ(shape.mScale, 0);

    // A four-lobed outline, normalised: its largest |x| or |y| is half the size.
    shape.mSize = CGSizeMake(100, 60);
    shape.SetParams(4, 0.5f, 1, 1, 1, 1, 256, 1, 0, true);
    EXPECT_GT(shape.mScale, 0);
    ASSERT_GT(shape.Generate(CGPointMake(10, 20)), 100u);
    double largestX = 0, largestY = 0;
    for (const CGPoint &p : shape.Points()) {
        largestX = std::max(largestX, std::fabs(p.x - 10));
        largestY = std::max(largestY, std::fabs(p.y - 20));
    }
    EXPECT_NEAR(std::max(largestX / 50, largestY / 30), 1.0, 1e-6);
    EXPECT_NEAR(shape.Points()[0].x, 10 + 50 * shape.Evaluate(0).x / shape.mScale, 1e-9);

    // Without normalisation the scale is 1.
    shape.SetParams(4, 0.5f, 1, 1, 1, 1, 256, 1, 0, false);
    EXPECT_EQ(shape.mScale, 1);
}

// Consecutive points equal to the hundredth, or closer than the minimum distance, are left out.
TEST(SupershapeFn, SkipsRepeatedAndCrowdedPoints) {
    const struct {
        const char *name;
        CGSize size;
        unsigned samples;
        float minimumDistance;
        size_t count;
    } cases[] = {
        // m = 0 is the unit circle: 8 samples and the closing one (i = 0..8).
        {"circle", CGSizeMake(2, 2), 8, 0, 9},
        // Chords of 0.765 under a minimum distance of 1: every other sample is left out.
        {"crowded", CGSizeMake(2, 2), 8, 1, 5},
        // A circle of radius 0.004: every sample rounds to (0, 0) in hundredths.
        {"tiny", CGSizeMake(0.008, 0.008), 64, 0, 1},
        // Radius 0.02: hundredths only change every few samples.
        {"small", CGSizeMake(0.04, 0.04), 64, 0, 0},
    };
    for (const auto &c : cases) {
        SupershapeFn shape;
        shape.mSize = c.size;
        shape.SetParams(0, 1, 1, 1, 1, 1, c.samples, 1, c.minimumDistance, true);
        const size_t count = shape.Generate(CGPointMake(0, 0));
        EXPECT_EQ(count, shape.Count());
        if (c.count != 0) {
            EXPECT_EQ(count, c.count) << c.name;
        } else {
            EXPECT_GT(count, 4u) << c.name;
            EXPECT_LT(count, size_t(c.samples)) << c.name;
        }
        // No two consecutive points are the same to the hundredth.
        const auto &points = shape.Points();
        for (size_t i = 1; i < points.size(); ++i)
            EXPECT_FALSE(std::trunc(points[i].x * 100 + 0.5) == std::trunc(points[i - 1].x * 100 + 0.5) &&
                         std::trunc(points[i].y * 100 + 0.5) == std::trunc(points[i - 1].y * 100 + 0.5))
                << c.name << " " << i;
    }
}

TEST(SupershapeFn, DegenerateParametersGiveFinitePointsOrNone) {
    SupershapeFn shape;
    shape.mSize = CGSizeMake(100, 100);
    // a = 0 divides by zero; N1 = -0.005 makes the exponent infinite; no samples at all.
    shape.SetParams(6, 1, 1, 1, 0, 1, 64, 1, 0, true);
    shape.Generate(CGPointMake(0, 0));
    shape.SetParams(6, -0.005f, 2, 2, 1, 1, 64, 1, 0, true);
    shape.Generate(CGPointMake(0, 0));
    for (const CGPoint &p : shape.Points()) EXPECT_TRUE(std::isfinite(p.x) && std::isfinite(p.y));
    shape.SetParams(6, 1, 1, 1, 1, 1, 0, 1, 0, true);
    EXPECT_EQ(shape.Generate(CGPointMake(0, 0)), 0u);
    SupershapeFn unset;  // scale 0: taken as 1
    unset.mSize = CGSizeMake(2, 2);
    unset.Generate(CGPointMake(0, 0));
    for (const CGPoint &p : unset.Points()) EXPECT_TRUE(std::isfinite(p.x) && std::isfinite(p.y));
}

TEST(Paths, LinesArcsAndCurves) {
    PathVertices square;
    EXPECT_EQ(CreatePathWithLines(square, CGPointMake(0, 0), true), nullptr);
    square.AddPoint(CGPointMake(0, 0));
    EXPECT_EQ(CreatePathWithLines(square, CGPointMake(0, 0), true), nullptr);
    square.AddPoint(CGPointMake(10, 0));
    square.AddPoint(CGPointMake(10, 10));
    square.AddPoint(CGPointMake(0, 10));
    CGPathRef lines = CreatePathWithLines(square, CGPointMake(5, -5), true);
    ASSERT_NE(lines, nullptr);
    const CGRect box = CGPathGetBoundingBox(lines);
    EXPECT_EQ(box.origin.x, 5);
    EXPECT_EQ(box.origin.y, -5);
    EXPECT_EQ(box.size.width, 10);
    EXPECT_TRUE(CGPathContainsPoint(lines, nullptr, CGPointMake(10, 0), false));
    EXPECT_FALSE(CGPathContainsPoint(lines, nullptr, CGPointMake(2, 0), false));
    CGPathRelease(lines);

    // Arcs round the corners of the polyline but keep its body.
    const FlowerVertices flower(CGSizeMake(100, 100), false, 4, 1);
    CGPathRef arcs = CreatePathWithArcs(flower, CGPointMake(0, 0), true);
    ASSERT_NE(arcs, nullptr);
    // r = sin(4 theta) has eight petals (the negative lobes point the other way), centred at
    // 22.5 degrees and every 45 degrees on; the gaps lie at multiples of 45 degrees.
    const double petal = 22.5 * kPi / 180;
    EXPECT_TRUE(CGPathContainsPoint(arcs, nullptr, CGPointMake(30 * std::cos(petal), 30 * std::sin(petal)), false));
    EXPECT_FALSE(CGPathContainsPoint(arcs, nullptr, CGPointMake(30, -30 * std::tan(2 * kPi / 180)), false));
    CGPathRelease(arcs);

    // The heart: the notch at the top, the tip at the bottom.
    const std::vector<CubicSegment> heart = HeartSegments(CGSizeMake(100, 100));
    ASSERT_EQ(heart.size(), 2u);
    EXPECT_EQ(heart[0].end.y, heart[1].start.y);
    EXPECT_EQ(CreatePathWithCurves({heart[0]}, CGPointMake(0, 0)), nullptr);
    CGPathRef curves = CreatePathWithCurves(heart, CGPointMake(0, 0));
    ASSERT_NE(curves, nullptr);
    const struct {
        double x, y;
        bool inside;
    } samples[] = {{0, 0, true}, {-30, 30, true}, {30, 30, true}, {0, 40, false}, {0, -52, false}, {-60, -30, false}};
    for (const auto &s : samples)
        EXPECT_EQ(CGPathContainsPoint(curves, nullptr, CGPointMake(s.x, s.y), false), s.inside) << s.x << ", " << s.y;
    CGPathRelease(curves);
}

}  // namespace
