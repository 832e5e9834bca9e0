// Paths: the shared representation (PathData) and the CGPath objects.
#include <CoreGraphics/CGInternal.h>

#include <algorithm>
#include <cmath>
#include <numbers>

namespace cgimpl {

namespace {

constexpr double kPi = std::numbers::pi;

CGPoint Apply(const CGAffineTransform &t, CGPoint p) { return CGPointApplyAffineTransform(p, t); }

CGPoint Polar(CGPoint centre, double radius, double angle) {
    return {centre.x + radius * std::cos(angle), centre.y + radius * std::sin(angle)};
}

}  // namespace

void PathData::clear() {
    mOps.clear();
    mPoints.clear();
    mHasCurrent = false;
    mCurrent = mSubpathStart = CGPoint{0, 0};
}

void PathData::add(Op op, std::initializer_list<CGPoint> points) {
    mOps.push_back(op);
    mPoints.insert(mPoints.end(), points);
}

void PathData::moveTo(const CGAffineTransform &t, CGPoint p) {
    const CGPoint q = Apply(t, p);
    add(kMove, {q});
    mHasCurrent = true;
    mCurrent = mSubpathStart = q;
}

void PathData::lineTo(const CGAffineTransform &t, CGPoint p) {
    if (!mHasCurrent) return;
    const CGPoint q = Apply(t, p);
    add(kLine, {q});
    mCurrent = q;
}

void PathData::quadTo(const CGAffineTransform &t, CGPoint cp, CGPoint p) {
    if (!mHasCurrent) return;
    // The cubic with the same shape: control points 2/3 of the way to the quadratic's.
    const CGPoint p0 = mCurrent;
    const CGPoint c = Apply(t, cp), q = Apply(t, p);
    const CGPoint c1{p0.x + 2.0 / 3.0 * (c.x - p0.x), p0.y + 2.0 / 3.0 * (c.y - p0.y)};
    const CGPoint c2{q.x + 2.0 / 3.0 * (c.x - q.x), q.y + 2.0 / 3.0 * (c.y - q.y)};
    add(kCurve, {c1, c2, q});
    mCurrent = q;
}

void PathData::curveTo(const CGAffineTransform &t, CGPoint cp1, CGPoint cp2, CGPoint p) {
    if (!mHasCurrent) return;
    const CGPoint q = Apply(t, p);
    add(kCurve, {Apply(t, cp1), Apply(t, cp2), q});
    mCurrent = q;
}

void PathData::close() {
    if (!mHasCurrent || mOps.empty() || mOps.back() == kClose) return;
    add(kClose, {});
    mCurrent = mSubpathStart;
}

void PathData::arc(const CGAffineTransform &t, CGPoint centre, CGFloat radius, CGFloat startAngle,
                   CGFloat endAngle, bool clockwise) {
    if (!std::isfinite(startAngle) || !std::isfinite(endAngle)) return;
    // Counter-clockwise arcs sweep towards larger angles; a sweep past a full turn is one turn.
    double sweep = endAngle - startAngle;
    if (!clockwise) {
        if (sweep < 0) sweep = std::fmod(sweep, 2 * kPi) + 2 * kPi;
        sweep = std::min(sweep, 2 * kPi);
    } else {
        if (sweep > 0) sweep = std::fmod(sweep, 2 * kPi) - 2 * kPi;
        sweep = std::max(sweep, -2 * kPi);
    }
    const CGPoint start = Polar(centre, radius, startAngle);
    if (!mHasCurrent) {
        moveTo(t, start);
    } else {
        const CGPoint q = Apply(t, start);
        if (std::fabs(q.x - mCurrent.x) > 1e-9 || std::fabs(q.y - mCurrent.y) > 1e-9) lineTo(t, start);
    }
    if (sweep == 0 || radius == 0) return;
    const int segments = std::max(1, int(std::ceil(std::fabs(sweep) / (kPi / 2) - 1e-9)));
    const double step = sweep / segments;
    const double k = 4.0 / 3.0 * std::tan(step / 4) * radius;
    double a = startAngle;
    for (int i = 0; i < segments; ++i) {
        const double b = a + step;
        const CGPoint p0 = Polar(centre, radius, a), p3 = Polar(centre, radius, b);
        const CGPoint c1{p0.x - k * std::sin(a), p0.y + k * std::cos(a)};
        const CGPoint c2{p3.x + k * std::sin(b), p3.y - k * std::cos(b)};
        curveTo(t, c1, c2, p3);
        a = b;
    }
}

bool PathData::currentPointIn(const CGAffineTransform &t, CGPoint &p) const {
    if (!Invertible(t)) return false;
    p = Apply(CGAffineTransformInvert(t), mCurrent);
    return true;
}

void PathData::arcToPoint(const CGAffineTransform &t, CGPoint p1, CGPoint p2, CGFloat radius) {
    if (!mHasCurrent) return;
    CGPoint p0;
    if (!currentPointIn(t, p0)) return lineTo(t, p1);
    // Unit vectors from the corner p1 towards p0 and towards p2.
    const double ax = p0.x - p1.x, ay = p0.y - p1.y, bx = p2.x - p1.x, by = p2.y - p1.y;
    const double la = std::hypot(ax, ay), lb = std::hypot(bx, by);
    const double cross = ax * by - ay * bx;
    if (!(radius > 0) || la == 0 || lb == 0 || std::fabs(cross) <= 1e-12 * la * lb) return lineTo(t, p1);
    const double ux = ax / la, uy = ay / la, vx = bx / lb, vy = by / lb;
    const double cosTheta = std::clamp(ux * vx + uy * vy, -1.0, 1.0);
    const double theta = std::acos(cosTheta);  // the angle at the corner, in (0, pi)
    const double tangent = radius / std::tan(theta / 2);
    const CGPoint t1{p1.x + ux * tangent, p1.y + uy * tangent};
    const CGPoint t2{p1.x + vx * tangent, p1.y + vy * tangent};
    // The centre lies on the bisector, radius / sin(theta / 2) from the corner.
    double bisx = ux + vx, bisy = uy + vy;
    const double lbis = std::hypot(bisx, bisy);
    bisx /= lbis;
    bisy /= lbis;
    const double distance = radius / std::sin(theta / 2);
    const CGPoint centre{p1.x + bisx * distance, p1.y + bisy * distance};
    const double a0 = std::atan2(t1.y - centre.y, t1.x - centre.x);
    const double a1 = std::atan2(t2.y - centre.y, t2.x - centre.x);
    // Turning left at the corner (p0 -> p1 -> p2 counter-clockwise) runs the arc
    // counter-clockwise; the arc is the short one.
    const bool clockwise = cross > 0;
    double end = a1;
    if (!clockwise && end < a0) end += 2 * kPi;
    if (clockwise && end > a0) end -= 2 * kPi;
    arc(t, centre, radius, a0, end, clockwise);  // begins with the line to t1
}

void PathData::rect(const CGAffineTransform &t, CGRect r) {
    const double x0 = r.origin.x, y0 = r.origin.y, x1 = x0 + r.size.width, y1 = y0 + r.size.height;
    moveTo(t, {x0, y0});
    lineTo(t, {x1, y0});
    lineTo(t, {x1, y1});
    lineTo(t, {x0, y1});
    close();
}

void PathData::ellipse(const CGAffineTransform &t, CGRect r) {
    const CGRect s = CGRectStandardize(r);
    const double cx = CGRectGetMidX(s), cy = CGRectGetMidY(s), rx = s.size.width / 2, ry = s.size.height / 2;
    const double k = 0.5522847498307936;  // 4/3 (sqrt 2 - 1): quarter circles as cubic curves
    moveTo(t, {cx + rx, cy});
    curveTo(t, {cx + rx, cy + k * ry}, {cx + k * rx, cy + ry}, {cx, cy + ry});
    curveTo(t, {cx - k * rx, cy + ry}, {cx - rx, cy + k * ry}, {cx - rx, cy});
    curveTo(t, {cx - rx, cy - k * ry}, {cx - k * rx, cy - ry}, {cx, cy - ry});
    curveTo(t, {cx + k * rx, cy - ry}, {cx + rx, cy - k * ry}, {cx + rx, cy});
    close();
}

void PathData::append(const PathData &other, const CGAffineTransform &t) {
    size_t i = 0;
    for (Op op : other.mOps) {
        switch (op) {
        case kMove: moveTo(t, other.mPoints[i]); i += 1; break;
        case kLine:
            if (!mHasCurrent) moveTo(t, other.mPoints[i]);
            else lineTo(t, other.mPoints[i]);
            i += 1;
            break;
        case kCurve:
            if (!mHasCurrent) moveTo(t, other.mPoints[i + 2]);
            else curveTo(t, other.mPoints[i], other.mPoints[i + 1], other.mPoints[i + 2]);
            i += 3;
            break;
        case kClose: close(); break;
        }
    }
}

CGRect PathData::bounds() const {
    if (mPoints.empty()) return CGRectNull;
    double x0 = mPoints[0].x, x1 = x0, y0 = mPoints[0].y, y1 = y0;
    for (const CGPoint &p : mPoints) {
        x0 = std::min(x0, p.x);
        x1 = std::max(x1, p.x);
        y0 = std::min(y0, p.y);
        y1 = std::max(y1, p.y);
    }
    return CGRectMake(x0, y0, x1 - x0, y1 - y0);
}

bool PathData::finite() const {
    return std::all_of(mPoints.begin(), mPoints.end(),
                       [](const CGPoint &p) { return std::isfinite(p.x) && std::isfinite(p.y); });
}

bool PathData::hasJoins() const {
    int segments = 0;
    for (Op op : mOps) {
        if (op == kClose) return true;
        segments = op == kMove ? 0 : segments + 1;
        if (segments > 1) return true;
    }
    return false;
}

void PathData::addTo(cairo_t *cr) const {
    size_t i = 0;
    for (Op op : mOps) {
        switch (op) {
        case kMove: cairo_move_to(cr, mPoints[i].x, mPoints[i].y); i += 1; break;
        case kLine: cairo_line_to(cr, mPoints[i].x, mPoints[i].y); i += 1; break;
        case kCurve:
            cairo_curve_to(cr, mPoints[i].x, mPoints[i].y, mPoints[i + 1].x, mPoints[i + 1].y, mPoints[i + 2].x,
                           mPoints[i + 2].y);
            i += 3;
            break;
        case kClose: cairo_close_path(cr); break;
        }
    }
}

bool Invertible(const CGAffineTransform &t) {
    const double det = t.a * t.d - t.b * t.c;
    return det != 0 && std::isfinite(det) && std::isfinite(t.tx) && std::isfinite(t.ty);
}

cairo_matrix_t ToCairo(const CGAffineTransform &t) {
    cairo_matrix_t m;
    cairo_matrix_init(&m, t.a, t.b, t.c, t.d, t.tx, t.ty);
    return m;
}

}  // namespace cgimpl

// ---- CGPath objects

CFTypeID CGPathGetTypeID(void) {
    static const CFTypeID type = cf::RegisterType("CGPath");
    return type;
}

CGPath::CGPath() : cf::Object(CGPathGetTypeID()) {}

namespace {
const CGAffineTransform &Or(const CGAffineTransform *m) { return m ? *m : CGAffineTransformIdentity; }
}  // namespace

CGMutablePathRef CGPathCreateMutable(void) { return new CGPath; }

CGMutablePathRef CGPathCreateMutableCopy(CGPathRef path) {
    if (!path) return nullptr;
    auto *copy = new CGPath;
    copy->mData = path->mData;
    return copy;
}

CGPathRef CGPathCreateCopy(CGPathRef path) { return CGPathCreateMutableCopy(path); }

CGPathRef CGPathRetain(CGPathRef path) {
    if (path) CFRetain(path);
    return path;
}

void CGPathRelease(CGPathRef path) {
    if (path) CFRelease(path);
}

void CGPathMoveToPoint(CGMutablePathRef path, const CGAffineTransform *m, CGFloat x, CGFloat y) {
    if (path) path->mData.moveTo(Or(m), {x, y});
}

void CGPathAddLineToPoint(CGMutablePathRef path, const CGAffineTransform *m, CGFloat x, CGFloat y) {
    if (path) path->mData.lineTo(Or(m), {x, y});
}

void CGPathAddQuadCurveToPoint(CGMutablePathRef path, const CGAffineTransform *m, CGFloat cpx, CGFloat cpy,
                               CGFloat x, CGFloat y) {
    if (path) path->mData.quadTo(Or(m), {cpx, cpy}, {x, y});
}

void CGPathAddCurveToPoint(CGMutablePathRef path, const CGAffineTransform *m, CGFloat cp1x, CGFloat cp1y,
                           CGFloat cp2x, CGFloat cp2y, CGFloat x, CGFloat y) {
    if (path) path->mData.curveTo(Or(m), {cp1x, cp1y}, {cp2x, cp2y}, {x, y});
}

void CGPathAddArc(CGMutablePathRef path, const CGAffineTransform *m, CGFloat x, CGFloat y, CGFloat radius,
                  CGFloat startAngle, CGFloat endAngle, bool clockwise) {
    if (path) path->mData.arc(Or(m), {x, y}, radius, startAngle, endAngle, clockwise);
}

void CGPathAddArcToPoint(CGMutablePathRef path, const CGAffineTransform *m, CGFloat x1, CGFloat y1, CGFloat x2,
                         CGFloat y2, CGFloat radius) {
    if (path) path->mData.arcToPoint(Or(m), {x1, y1}, {x2, y2}, radius);
}

void CGPathAddRect(CGMutablePathRef path, const CGAffineTransform *m, CGRect rect) {
    if (path) path->mData.rect(Or(m), rect);
}

void CGPathAddEllipseInRect(CGMutablePathRef path, const CGAffineTransform *m, CGRect rect) {
    if (path) path->mData.ellipse(Or(m), rect);
}

void CGPathAddPath(CGMutablePathRef path, const CGAffineTransform *m, CGPathRef other) {
    if (!path || !other) return;
    if (path == other) {
        const cgimpl::PathData copy = other->mData;
        path->mData.append(copy, Or(m));
    } else {
        path->mData.append(other->mData, Or(m));
    }
}

void CGPathCloseSubpath(CGMutablePathRef path) {
    if (path) path->mData.close();
}

bool CGPathIsEmpty(CGPathRef path) { return !path || path->mData.empty(); }

CGPoint CGPathGetCurrentPoint(CGPathRef path) {
    return path && path->mData.hasCurrentPoint() ? path->mData.currentPoint() : CGPointZero;
}

CGRect CGPathGetBoundingBox(CGPathRef path) { return path ? path->mData.bounds() : CGRectNull; }

bool CGPathContainsPoint(CGPathRef path, const CGAffineTransform *m, CGPoint point, bool eoFill) {
    if (!path || path->mData.empty() || !path->mData.finite()) return false;
    const CGAffineTransform &t = Or(m);
    if (!cgimpl::Invertible(t)) return false;
    // The point in the path's own space, tested by cairo's fill rules.
    const CGPoint p = CGPointApplyAffineTransform(point, CGAffineTransformInvert(t));
    cairo_surface_t *surface = cairo_image_surface_create(CAIRO_FORMAT_A8, 1, 1);
    cairo_t *cr = cairo_create(surface);
    path->mData.addTo(cr);
    cairo_set_fill_rule(cr, eoFill ? CAIRO_FILL_RULE_EVEN_ODD : CAIRO_FILL_RULE_WINDING);
    const bool inside = cairo_in_fill(cr, p.x, p.y);
    cairo_destroy(cr);
    cairo_surface_destroy(surface);
    return inside;
}
