// Points, sizes and rectangles in Quartz's coordinate conventions (origin bottom-left, y up).
#pragma once

#include <CoreFoundation/CFDictionary.h>
#include <CoreGraphics/CGBase.h>

struct CGPoint {
    CGFloat x;
    CGFloat y;
};

struct CGSize {
    CGFloat width;
    CGFloat height;
};

struct CGRect {
    CGPoint origin;
    CGSize size;
};

extern const CGPoint CGPointZero;
extern const CGSize CGSizeZero;
extern const CGRect CGRectZero;
// The null rectangle: the result of intersecting rectangles that do not meet.
extern const CGRect CGRectNull;

inline CGPoint CGPointMake(CGFloat x, CGFloat y) { return CGPoint{x, y}; }
inline CGSize CGSizeMake(CGFloat width, CGFloat height) { return CGSize{width, height}; }
inline CGRect CGRectMake(CGFloat x, CGFloat y, CGFloat width, CGFloat height) {
    return CGRect{{x, y}, {width, height}};
}

// The edges of a rectangle; a negative width or height counts from the other side.
CGFloat CGRectGetMinX(CGRect rect);
CGFloat CGRectGetMidX(CGRect rect);
CGFloat CGRectGetMaxX(CGRect rect);
CGFloat CGRectGetMinY(CGRect rect);
CGFloat CGRectGetMidY(CGRect rect);
CGFloat CGRectGetMaxY(CGRect rect);
CGFloat CGRectGetWidth(CGRect rect);
CGFloat CGRectGetHeight(CGRect rect);

bool CGPointEqualToPoint(CGPoint a, CGPoint b);
bool CGSizeEqualToSize(CGSize a, CGSize b);
bool CGRectEqualToRect(CGRect a, CGRect b);

// The same rectangle with a non-negative width and height.
CGRect CGRectStandardize(CGRect rect);
// Null: the result of an empty intersection. Empty: null, or of zero width or height.
bool CGRectIsNull(CGRect rect);
bool CGRectIsEmpty(CGRect rect);

// Moves every edge inwards by dx and dy (outwards when negative); null when nothing is left.
CGRect CGRectInset(CGRect rect, CGFloat dx, CGFloat dy);
// The smallest rectangle with integer edges that contains the rectangle.
CGRect CGRectIntegral(CGRect rect);
CGRect CGRectIntersection(CGRect a, CGRect b);
// The smallest rectangle containing both (a null one is ignored).
CGRect CGRectUnion(CGRect a, CGRect b);
// The rectangle moved by (dx, dy); null stays null.
CGRect CGRectOffset(CGRect rect, CGFloat dx, CGFloat dy);
// Whether every point of `inner` is in `outer` (a null rectangle contains nothing and is in
// nothing).
bool CGRectContainsRect(CGRect outer, CGRect inner);
// A point on the minimum edges is inside, one on the maximum edges is not.
bool CGRectContainsPoint(CGRect rect, CGPoint point);

// A new dictionary holding the rectangle as CFNumbers under "X", "Y", "Width" and "Height"
// (the caller releases it).
CFDictionaryRef CGRectCreateDictionaryRepresentation(CGRect rect);
// Reads a dictionary made as above into *rect. False, leaving *rect alone, when the
// dictionary or rect is null or any of the four values is missing, not a CFNumber or not
// finite.
bool CGRectMakeWithDictionaryRepresentation(CFDictionaryRef dict, CGRect *rect);
