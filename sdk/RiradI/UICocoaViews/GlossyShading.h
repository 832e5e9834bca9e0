// The glossy shading: a vertical fill computed from one colour. The top half blends from the
// colour whitened (most at the top edge) to the plain colour at the middle; the bottom half
// blends from the plain colour to a brighter tint of it, shifted in hue towards yellow
// (towards magenta for purples and blues above hue 0.7), reached exactly at the bottom edge.
#pragma once

#include <CoreFoundation/CFString.h>
#include <CoreGraphics/CoreGraphics.h>

#include <QColor>

// What the shading's function reads at each evaluation.
struct GlossyShadingInfo {
    float baseRGBA[4];   // the colour
    float tintRGBA[4];   // the colour at the bottom edge
    float falloff;       // exponent coefficient, 1.2
    float falloffScale;  // 1 / (1 - e^-falloff)
    float falloffFloor;  // e^-falloff
    float highlightTop;  // white mixed in at the top edge
    float highlightMid;  // white mixed in at the middle
};

// The record for a colour and a gloss strength (0 for no whitening). An invalid colour is
// taken as mid grey.
GlossyShadingInfo GlossyShadingInfoMake(const QColor &color, CGFloat gloss);

// The function of the shading: t = 0 at the top edge, 1 at the bottom; four outputs (red,
// green, blue, alpha).
void GlossyShadingEvaluate(void *info, const CGFloat *in, CGFloat *out);

// Fills rect (y upwards) with the glossy shading of the colour in the colour space of the
// given name (kCGColorSpaceSRGB, ...); draws nothing with an unknown name or a null context.
// The context's graphics state is left as it was.
void FillGlossyShading(CGContextRef context, const QColor &color, CGRect rect, CGFloat gloss, CFStringRef spaceName);

bool import_GlossyShading();
