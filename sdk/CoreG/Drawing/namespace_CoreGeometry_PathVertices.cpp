#include <CoreG/Drawing/namespace_CoreGeometry_PathVertices.h>

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace CoreGeometry {

namespace {

constexpr double kPi = 3.14159265358979323846;

inline bool IsFinite(CGPoint p) { return std::isfinite(p.x) && std::isfinite(p.y); }

// trunc(v x 100 + 0.5): the coordinate taken to hundredths (kept as a double, so that no
// value is out of range).
inline double Hundredths(double v) { return std::trunc(v * 100 + 0.5); }

}  // namespace

void PathVertices::AddPoint(CGPoint point) {
    mPoints.push_back(point);
    const CGRect dot = CGRectMake(point.x, point.y, 0, 0);
    if (CGRectIsNull(mBounds)) {
        mBounds = dot;
    } else {
        const CGFloat x0 = std::min(mBounds.origin.x, point.x), y0 = std::min(mBounds.origin.y, point.y);
        const CGFloat x1 = std::max(CGRectGetMaxX(mBounds), point.x), y1 = std::max(CGRectGetMaxY(mBounds), point.y);
        mBounds = CGRectMake(x0, y0, x1 - x0, y1 - y0);
    }
}

void PathVertices::RemoveAllPoints() {
    mPoints.clear();
    mBounds = CGRectNull;
}

// ---- EquilateralVertices

EquilateralVertices::EquilateralVertices(CGSize size, int n, int kind, float startDegrees, float endDegrees)
    : PathVertices(size), mCount(n), mKind(kind), mStartDegrees(startDegrees), mEndDegrees(endDegrees),
      mAngleStep(0) {
    Generate();
}

void EquilateralVertices::Generate() {
    int n = mCount < 3 ? 3 : mCount;
    if (mKind == kPinwheel) {
        n &= ~1;  // an even count: wedges and gaps alternate all round
    } else if (n > 25) {
        n = 25;
    }
    mCount = n;
    mAngleStep = static_cast<float>(2 * kPi / n);
    const int step = mKind == kStar ? static_cast<int>(n * 0.5 - 0.5) : 1;
    const double rx = mSize.width / 2, ry = mSize.height / 2;
    const CGPoint centre = CGPointMake(0, 0);

    if (mKind == kPinwheel) {
        AddPoint(centre);
        if (mStartDegrees == 0) AddPoint(CGPointMake(rx, 0));
    } else {
        AddPoint(CGPointMake(rx, 0));
    }
    int k = step;
    for (int c = 0; c < n - 1; ++c) {
        const int16_t corner = static_cast<int16_t>(k);
        const double angle = 2 * kPi * corner / n;
        const CGPoint point = CGPointMake(std::cos(angle) * rx, std::sin(angle) * ry);
        if (mKind == kPinwheel) {
            const double degrees = 360.0 * corner / n;
            if (degrees >= mStartDegrees && degrees <= mEndDegrees) {
                AddPoint(point);
                if (c % 2 == 0) AddPoint(centre);
            }
        } else {
            AddPoint(point);
        }
        k = (k + step) % n;
    }
    if (mKind == kPinwheel) AddPoint(centre);
}

// ---- FlowerVertices

FlowerVertices::FlowerVertices(CGSize size, bool coarse, int petals, float amplitude)
    : PathVertices(size), mCoarse(coarse), mPetals(std::clamp(petals, 3, 17)),
      mAmplitude(std::isfinite(amplitude) ? amplitude : 0.0f) {
    Generate();
}

void FlowerVertices::Generate() {
    const double rx = mSize.width / 2, ry = mSize.height / 2;
    // Steps counted, not summed, so that 360 degrees itself is reached.
    const int steps = mCoarse ? 180 : 3600;
    const double stepDegrees = mCoarse ? 2.0 : 0.1;
    AddPoint(CGPointMake(0, 0));
    for (int i = 0; i <= steps; ++i) {
        const double theta = i * stepDegrees * kPi / 180;
        const double r = std::sin(mPetals * theta) * (0.5 + mAmplitude);
        AddPoint(CGPointMake(std::cos(theta) * r * rx, std::sin(theta) * r * ry));
    }
}

// ---- SupershapeFn

CGPoint SupershapeFn::Evaluate(double phi) const {
    const double t = m_m * phi / 4;
    const double p = std::pow(std::pow(std::fabs(std::cos(t) / mA), double(mN2)) +
                                  std::pow(std::fabs(std::sin(t) / mB), double(mN3)),
                              1.0 / (mN1 + 0.005));
    if (p == 0) return CGPointMake(0, 0);
    return CGPointMake(std::cos(phi) / p, std::sin(phi) / p);
}

void SupershapeFn::SetParams(float m, float n1, float n2, float n3, float a, float b, unsigned samples,
                             unsigned turns, float minimumDistance, bool normalise) {
    m_m = m, mN1 = n1, mN2 = n2, mN3 = n3, mA = a, mB = b;
    mSamples = samples;
    mTurns = turns;
    mMinimumDistance = minimumDistance;
    mScale = 1;
    if (!normalise || mSamples == 0) return;
    double largest = 0;
    for (unsigned i = 0; i <= mSamples; ++i) {
        const CGPoint p = Evaluate(double(i) * 2 * kPi * mTurns / mSamples);
        if (!IsFinite(p)) continue;
        largest = std::max({largest, std::fabs(p.x), std::fabs(p.y)});
    }
    mScale = static_cast<float>(largest);
}

size_t SupershapeFn::Generate(CGPoint centre) {
    RemoveAllPoints();
    if (mSamples == 0) return 0;
    // A scale of 0 or one that is not finite would send every point to 0 or infinity.
    const double f = std::isfinite(mScale) && mScale != 0 ? 1.0 / mScale : 1.0;
    const double hx = mSize.width / 2, hy = mSize.height / 2;
    CGPoint last = CGPointMake(0, 0);
    for (unsigned i = 0; i <= mSamples; ++i) {
        const CGPoint raw = Evaluate(double(i) * 2 * kPi * mTurns / mSamples);
        const CGPoint p = CGPointMake(raw.x * f * hx, raw.y * f * hy);
        if (!IsFinite(p)) continue;
        if (!mPoints.empty()) {
            if (Hundredths(p.x) == Hundredths(last.x) && Hundredths(p.y) == Hundredths(last.y)) continue;
            if (mMinimumDistance != 0 && std::hypot(p.x - last.x, p.y - last.y) < mMinimumDistance) continue;
        }
        AddPoint(CGPointMake(p.x + centre.x, p.y + centre.y));
        last = p;
    }
    return mPoints.size();
}

// ---- heart

std::vector<CubicSegment> HeartSegments(CGSize size) {
    const double W = 1.5 * size.width, H = 1.5 * size.height;
    return {
        {CGPointMake(0, 0.175 * H), CGPointMake(0, -0.325 * H), CGPointMake(-0.2 * W, 0.575 * H),
         CGPointMake(-0.5 * W, 0.075 * H)},
        {CGPointMake(0, -0.325 * H), CGPointMake(0, 0.175 * H), CGPointMake(0.5 * W, 0.075 * H),
         CGPointMake(0.2 * W, 0.575 * H)},
    };
}

// ---- paths

CGPathRef CreatePathWithLines(const PathVertices &vertices, CGPoint offset, bool close) {
    const std::vector<CGPoint> &points = vertices.Points();
    if (points.size() < 2) return nullptr;
    CGMutablePathRef path = CGPathCreateMutable();
    if (path == nullptr) return nullptr;
    CGPathMoveToPoint(path, nullptr, points[0].x + offset.x, points[0].y + offset.y);
    for (size_t i = 1; i < points.size(); ++i)
        CGPathAddLineToPoint(path, nullptr, points[i].x + offset.x, points[i].y + offset.y);
    if (close) CGPathCloseSubpath(path);
    return path;
}

CGPathRef CreatePathWithArcs(const PathVertices &vertices, CGPoint offset, bool close) {
    const std::vector<CGPoint> &points = vertices.Points();
    if (points.size() < 2) return nullptr;
    CGMutablePathRef path = CGPathCreateMutable();
    if (path == nullptr) return nullptr;
    CGPathMoveToPoint(path, nullptr, points[0].x + offset.x, points[0].y + offset.y);
    for (size_t i = 1; i < points.size(); ++i) {
        const CGPoint &previous = points[i - 1], &current = points[i];
        const double radius = std::hypot(current.x - previous.x, current.y - previous.y) * 3.14 * 0.5;
        CGPathAddArcToPoint(path, nullptr, previous.x + offset.x, previous.y + offset.y, current.x + offset.x,
                            current.y + offset.y, radius);
    }
    if (close) CGPathCloseSubpath(path);
    return path;
}

CGPathRef CreatePathWithCurves(const std::vector<CubicSegment> &segments, CGPoint offset) {
    if (segments.size() < 2) return nullptr;
    CGMutablePathRef path = CGPathCreateMutable();
    if (path == nullptr) return nullptr;
    const auto moved = [&](CGPoint p) { return CGPointMake(p.x + offset.x, p.y + offset.y); };
    CGPoint end = moved(segments[0].start);
    CGPathMoveToPoint(path, nullptr, end.x, end.y);
    for (const CubicSegment &segment : segments) {
        const CGPoint start = moved(segment.start);
        if (!CGPointEqualToPoint(start, end)) CGPathMoveToPoint(path, nullptr, start.x, start.y);
        const CGPoint c1 = moved(segment.control1), c2 = moved(segment.control2);
        end = moved(segment.end);
        CGPathAddCurveToPoint(path, nullptr, c1.x, c1.y, c2.x, c2.y, end.x, end.y);
    }
    CGPathCloseSubpath(path);
    return path;
}

}  // namespace CoreGeometry

bool import_namespace_CoreGeometry_PathVertices() { return true; }
