// Paths: sub-paths of lines and cubic curves (quadratic curves, arcs, rectangles and
// ellipses are stored as those). Every call takes an optional transform applied to the
// points it adds.
#pragma once

#include <CoreGraphics/CGAffineTransform.h>

typedef const struct CGPath *CGPathRef;
typedef struct CGPath *CGMutablePathRef;

CFTypeID CGPathGetTypeID(void);

CGMutablePathRef CGPathCreateMutable(void);
CGPathRef CGPathCreateCopy(CGPathRef path);
CGMutablePathRef CGPathCreateMutableCopy(CGPathRef path);

CGPathRef CGPathRetain(CGPathRef path);
void CGPathRelease(CGPathRef path);

void CGPathMoveToPoint(CGMutablePathRef path, const CGAffineTransform *m, CGFloat x, CGFloat y);
// The line, curve and arc-to-point calls need a current point; without one they add nothing.
void CGPathAddLineToPoint(CGMutablePathRef path, const CGAffineTransform *m, CGFloat x, CGFloat y);
void CGPathAddQuadCurveToPoint(CGMutablePathRef path, const CGAffineTransform *m, CGFloat cpx, CGFloat cpy,
                               CGFloat x, CGFloat y);
void CGPathAddCurveToPoint(CGMutablePathRef path, const CGAffineTransform *m, CGFloat cp1x, CGFloat cp1y,
                           CGFloat cp2x, CGFloat cp2y, CGFloat x, CGFloat y);
// An arc of the circle around (x, y) from startAngle to endAngle (radians, counter-clockwise
// from the x axis in a y-up space), clockwise or not; a line leads from the current point to
// the arc's start (a move when there is none).
void CGPathAddArc(CGMutablePathRef path, const CGAffineTransform *m, CGFloat x, CGFloat y, CGFloat radius,
                  CGFloat startAngle, CGFloat endAngle, bool clockwise);
// A line from the current point towards (x1, y1) and an arc of the given radius tangent to
// the lines current point -> (x1, y1) and (x1, y1) -> (x2, y2); ends on the second tangent.
// A line to (x1, y1) when the points are in one line or the radius is 0.
void CGPathAddArcToPoint(CGMutablePathRef path, const CGAffineTransform *m, CGFloat x1, CGFloat y1, CGFloat x2,
                         CGFloat y2, CGFloat radius);
// A closed sub-path (minX, minY), (maxX, minY), (maxX, maxY), (minX, maxY).
void CGPathAddRect(CGMutablePathRef path, const CGAffineTransform *m, CGRect rect);
// A closed sub-path of four curves, counter-clockwise from (maxX, midY).
void CGPathAddEllipseInRect(CGMutablePathRef path, const CGAffineTransform *m, CGRect rect);
void CGPathAddPath(CGMutablePathRef path, const CGAffineTransform *m, CGPathRef other);
void CGPathCloseSubpath(CGMutablePathRef path);

bool CGPathIsEmpty(CGPathRef path);
// The current point; (0, 0) for an empty path.
CGPoint CGPathGetCurrentPoint(CGPathRef path);
// The box of every point including the curves' control points; CGRectNull when empty.
CGRect CGPathGetBoundingBox(CGPathRef path);
// Whether the point lies inside the path filled with the non-zero winding rule, or the
// even-odd rule when eoFill.
bool CGPathContainsPoint(CGPathRef path, const CGAffineTransform *m, CGPoint point, bool eoFill);
