// Gradients: colours at locations along an axis, blended linearly in between.
#pragma once

#include <CoreGraphics/CGColorSpace.h>
#include <CoreGraphics/CGGeometry.h>

typedef struct CGGradient *CGGradientRef;
typedef struct CGContext *CGContextRef;

typedef uint32_t CGGradientDrawingOptions;
enum : uint32_t {
    kCGGradientDrawsBeforeStartLocation = 1u << 0,
    kCGGradientDrawsAfterEndLocation = 1u << 1,
};

CFTypeID CGGradientGetTypeID(void);

// count colours of the space's components followed by alpha, at locations from 0 to 1
// (null: spread evenly from 0 to 1). Locations need not be sorted. Null without a space or
// components, or with count 0.
CGGradientRef CGGradientCreateWithColorComponents(CGColorSpaceRef space, const CGFloat *components,
                                                  const CGFloat *locations, size_t count);
CGGradientRef CGGradientRetain(CGGradientRef gradient);
void CGGradientRelease(CGGradientRef gradient);

// Paints the gradient along the axis from start (location 0) to end (location 1) across the
// whole clip; the end colours continue past the ends only when the options ask.
void CGContextDrawLinearGradient(CGContextRef c, CGGradientRef gradient, CGPoint startPoint, CGPoint endPoint,
                                 CGGradientDrawingOptions options);
