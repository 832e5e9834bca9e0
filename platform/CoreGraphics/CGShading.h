// Axial shadings: a colour that varies along a line, computed by a function of one input.
#pragma once

#include <CoreGraphics/CGColorSpace.h>
#include <CoreGraphics/CGFunction.h>
#include <CoreGraphics/CGGeometry.h>

typedef struct CGShading *CGShadingRef;

CFTypeID CGShadingGetTypeID(void);

// The colour at start is the function at its domain's minimum, at end at its maximum; the
// function answers the space's components followed by alpha (alpha 1 when it answers only
// the components). extendStart / extendEnd continue the end colours past the two ends.
CGShadingRef CGShadingCreateAxial(CGColorSpaceRef space, CGPoint start, CGPoint end, CGFunctionRef function,
                                  bool extendStart, bool extendEnd);
CGShadingRef CGShadingRetain(CGShadingRef shading);
void CGShadingRelease(CGShadingRef shading);
