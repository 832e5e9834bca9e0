// Rounded rectangles: a record of a rectangle, its corner sizes and its outline, and the
// routines that build and draw the outline.
//
// The outline is kept in units of the corner size (a corner is a quarter circle of radius 1
// there), so it is drawn by scaling the context by the corner sizes: unequal corner sizes
// give elliptical corners. A record whose corner width or height is 0 holds a plain
// rectangle in the rectangle's own units.
//
// A caller that holds a corner size as a fraction below 1 first turns it into the smaller of
// fraction x width and fraction x height, builds the record on a rectangle at the origin and
// draws it with the real origin as the offset (FillRoundedRectPath does this).
#pragma once

#include <CoreGraphics/CoreGraphics.h>

namespace CoreGraphics {

struct ScaledRoundRect {
    // Stores the rectangle and corner sizes, computes the unit extents and makes the path.
    ScaledRoundRect(const CGRect &inRect, CGFloat inCornerWidth, CGFloat inCornerHeight);
    // Releases the path: the record owns it.
    ~ScaledRoundRect();
    ScaledRoundRect(const ScaledRoundRect &) = delete;
    ScaledRoundRect &operator=(const ScaledRoundRect &) = delete;

    // Whether the path is a plain rectangle (a corner size of 0).
    bool IsPlainRect() const { return cornerWidth == 0 || cornerHeight == 0; }

    CGPathRef path = nullptr;  // owned; null when it could not be made
    CGRect rect;
    CGFloat cornerWidth;
    CGFloat cornerHeight;
    CGFloat unitWidth;   // rect width / corner width
    CGFloat unitHeight;  // rect height / corner height
};

// A new path for the record (the caller releases it), or null when none can be made: in
// corner units, from the middle of the right edge round the four corners with radius 1
// counter-clockwise and closed; for a plain record the rectangle (0, 0, width, height).
CGPathRef RoundRectPathCreate(const ScaledRoundRect &record);

// Draws the record's path with its origin at (rect.x + dx, rect.y + dy) in a saved graphics
// state: filled in the fill colour when lineWidth is 0 or less, else filled and stroked in
// the stroke colour with lines lineWidth wide (in the caller's units, not scaled by the
// corner size). Nothing without a path or a context.
void RoundRectPathDraw(const ScaledRoundRect &record, CGContextRef context, CGFloat dx, CGFloat dy,
                       CGFloat lineWidth);

}  // namespace CoreGraphics

bool import_namespace_CoreGraphics_ScaledRoundRect();
