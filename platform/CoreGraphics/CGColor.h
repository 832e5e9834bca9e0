// Colours: components in a colour space, alpha last.
#pragma once

#include <CoreGraphics/CGColorSpace.h>

typedef struct CGColor *CGColorRef;

CFTypeID CGColorGetTypeID(void);

// components holds the space's components and then alpha (copied). Null without a space
// or components.
CGColorRef CGColorCreate(CGColorSpaceRef space, const CGFloat *components);
CGColorRef CGColorCreateGenericRGB(CGFloat red, CGFloat green, CGFloat blue, CGFloat alpha);
CGColorRef CGColorCreateGenericGray(CGFloat gray, CGFloat alpha);

CGColorRef CGColorRetain(CGColorRef color);
void CGColorRelease(CGColorRef color);

// Components including alpha.
size_t CGColorGetNumberOfComponents(CGColorRef color);
const CGFloat *CGColorGetComponents(CGColorRef color);
CGFloat CGColorGetAlpha(CGColorRef color);
CGColorSpaceRef CGColorGetColorSpace(CGColorRef color);
