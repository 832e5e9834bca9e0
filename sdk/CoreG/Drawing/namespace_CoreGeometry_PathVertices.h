// Outline generators of the mask shapes and ray screens, and the paths made from them.
//
// A PathVertices is a list of points about the origin (the painters draw with the origin at
// the mask's centre), fitted to a size: a generator of size (w, h) reaches out to w/2 and
// h/2. Each subclass generates its outline when made (SupershapeFn when asked).
#pragma once

#include <cstddef>
#include <vector>

#include <CoreGraphics/CoreGraphics.h>

namespace CoreGeometry {

class PathVertices {
public:
    PathVertices() = default;
    explicit PathVertices(CGSize size) : mSize(size) {}
    virtual ~PathVertices() = default;

    // Appends a point and grows the bounding box.
    void AddPoint(CGPoint point);
    // Forgets every point.
    void RemoveAllPoints();

    size_t Count() const { return mPoints.size(); }
    const std::vector<CGPoint> &Points() const { return mPoints; }

    std::vector<CGPoint> mPoints;
    CGSize mSize = {0, 0};      // the size the outline is fitted to
    CGRect mBounds = CGRectNull;  // of the points added; null while there are none
};

// Regular polygons, star polygons and pinwheels of n corners on the ellipse of the size.
//   polygon  the n corners in order
//   star     the polygon {n/step}, step = trunc(n/2 - 1/2): every step-th corner
//   pinwheel n/2 wedges from the centre, each one angle step (360/n degrees) wide and
//            separated by gaps of one step; only corners whose angle lies within
//            [start, end] degrees are used
// n below 3 becomes 3; a pinwheel lowers an odd n by one, the other kinds cap n at 25.
class EquilateralVertices : public PathVertices {
public:
    enum Kind : int { kPolygon = 0, kStar = 1, kPinwheel = 2 };

    EquilateralVertices(CGSize size, int n, int kind, float startDegrees, float endDegrees);

    int mCount;           // n as used
    int mKind;
    float mStartDegrees;
    float mEndDegrees;
    float mAngleStep;     // 2 pi / n

private:
    void Generate();
};

// A polar rose: the centre, then r(theta) = sin(petals x theta) x (0.5 + amplitude) for theta
// from 0 to 360 degrees in steps of 2 degrees (coarse) or 0.1 degrees, at (cos theta x r x
// w/2, sin theta x r x h/2). Petals are limited to 3..17.
class FlowerVertices : public PathVertices {
public:
    FlowerVertices(CGSize size, bool coarse, int petals, float amplitude);

    bool mCoarse;
    int mPetals;
    float mAmplitude;

private:
    void Generate();
};

// The superformula outline: for angle phi, t = m phi / 4 and
// p = (|cos t / a|^N2 + |sin t / b|^N3)^(1 / (N1 + 0.005)); the point is (cos phi / p,
// sin phi / p), or the origin when p is 0.
class SupershapeFn : public PathVertices {
public:
    // m, N1, N2, N3, a, b all 1, 512 samples, 1 turn, scale 0, no minimum distance.
    SupershapeFn() = default;

    // Stores the parameters and sets the scale to 1; with `normalise` the scale becomes the
    // largest |x| or |y| of the samples (phi_i = i x 2 pi x turns / samples, i = 0..samples).
    void SetParams(float m, float n1, float n2, float n3, float a, float b, unsigned samples, unsigned turns,
                   float minimumDistance, bool normalise);

    // Replaces the points by the samples i = 0..samples, each (x / scale x w/2,
    // y / scale x h/2) plus the centre. The first is always added; a later one is skipped
    // when both its coordinates rounded to hundredths equal the last added point's, or when
    // it lies closer than the minimum distance (when that is not 0). Samples that are not
    // finite are skipped. Answers the number of points.
    size_t Generate(CGPoint centre);

    // The superformula point at phi (not scaled); NaN components where it is undefined.
    CGPoint Evaluate(double phi) const;

    float m_m = 1, mN1 = 1, mN2 = 1, mN3 = 1, mA = 1, mB = 1;
    unsigned mSamples = 512;
    unsigned mTurns = 1;
    float mScale = 0;
    float mMinimumDistance = 0;
};

// A cubic Bezier segment.
struct CubicSegment {
    CGPoint start;
    CGPoint end;
    CGPoint control1;
    CGPoint control2;
};

// The heart outline of a size (two segments meeting at the top notch and the bottom tip).
std::vector<CubicSegment> HeartSegments(CGSize size);

// A new path (caller releases) through the points, each moved by `offset`: lines from point
// to point, closed when asked. Null for fewer than 2 points.
CGPathRef CreatePathWithLines(const PathVertices &vertices, CGPoint offset, bool close);
// The same, each further point reached by an arc tangent to the lines previous -> point
// and point -> next, radius |point - previous| x 3.14 x 0.5 (a rounded version of the lines).
CGPathRef CreatePathWithArcs(const PathVertices &vertices, CGPoint offset, bool close);
// A new closed path of the segments: a move to each segment's start where it does not
// continue the previous one, then the curve. Null for fewer than 2 segments.
CGPathRef CreatePathWithCurves(const std::vector<CubicSegment> &segments, CGPoint offset);

}  // namespace CoreGeometry

bool import_namespace_CoreGeometry_PathVertices();
