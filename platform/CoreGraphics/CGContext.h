// Drawing contexts. Quartz's coordinates: the origin is the bottom-left corner of the
// drawing and y grows upwards; the current transform (CTM) maps user space onto that.
//
// The graphics state (CTM, clip, colours, line settings, anti-aliasing, interpolation,
// blend mode, alpha, text drawing mode) is saved and restored as a whole; the current path,
// the text matrix and the text position are not part of it.
#pragma once

#include <CoreGraphics/CGAffineTransform.h>
#include <CoreGraphics/CGColor.h>
#include <CoreGraphics/CGImage.h>
#include <CoreGraphics/CGPath.h>
#include <CoreGraphics/CGShading.h>

typedef struct CGContext *CGContextRef;
typedef struct CGPDFPage *CGPDFPageRef;

enum CGLineCap : int32_t { kCGLineCapButt, kCGLineCapRound, kCGLineCapSquare };
enum CGLineJoin : int32_t { kCGLineJoinMiter, kCGLineJoinRound, kCGLineJoinBevel };

enum CGPathDrawingMode : int32_t {
    kCGPathFill,
    kCGPathEOFill,
    kCGPathStroke,
    kCGPathFillStroke,
    kCGPathEOFillStroke,
};

enum CGInterpolationQuality : int32_t {
    kCGInterpolationDefault = 0,
    kCGInterpolationNone = 1,
    kCGInterpolationLow = 2,
    kCGInterpolationHigh = 3,
    kCGInterpolationMedium = 4,
};

// The blend modes the drawing code uses: normal (source over), copy (the source replaces
// what is under the shape) and source-in (the source shows only where the destination is
// opaque, in proportion to its alpha; the destination under the shape is replaced). Any other
// value is drawn as normal.
enum CGBlendMode : int32_t {
    kCGBlendModeNormal = 0,
    kCGBlendModeCopy = 17,
    kCGBlendModeSourceIn = 18,
};

enum CGTextDrawingMode : int32_t {
    kCGTextFill,
    kCGTextStroke,
    kCGTextFillStroke,
    kCGTextInvisible,
    kCGTextFillClip,
    kCGTextStrokeClip,
    kCGTextFillStrokeClip,
    kCGTextClip,
};

CFTypeID CGContextGetTypeID(void);
CGContextRef CGContextRetain(CGContextRef c);
void CGContextRelease(CGContextRef c);

// Graphics state. A restore without a matching save does nothing.
void CGContextSaveGState(CGContextRef c);
void CGContextRestoreGState(CGContextRef c);

// The CTM; identity in a new context (one unit is one pixel, the origin at the bottom-left).
CGAffineTransform CGContextGetCTM(CGContextRef c);
// Each of these applies the new operation first, then the CTM.
void CGContextConcatCTM(CGContextRef c, CGAffineTransform transform);
void CGContextTranslateCTM(CGContextRef c, CGFloat tx, CGFloat ty);
void CGContextScaleCTM(CGContextRef c, CGFloat sx, CGFloat sy);
void CGContextRotateCTM(CGContextRef c, CGFloat angle);

// Stroke settings (line width in user space at the time of stroking; default 1, butt caps,
// miter joins, miter limit 10).
void CGContextSetLineWidth(CGContextRef c, CGFloat width);
void CGContextSetLineCap(CGContextRef c, CGLineCap cap);
void CGContextSetLineJoin(CGContextRef c, CGLineJoin join);
void CGContextSetMiterLimit(CGContextRef c, CGFloat limit);

// Anti-aliasing is used when both the state's switch and the context's permission are on
// (both are on in a new context). The permission is not part of the graphics state.
void CGContextSetShouldAntialias(CGContextRef c, bool shouldAntialias);
void CGContextSetAllowsAntialiasing(CGContextRef c, bool allowsAntialiasing);
void CGContextSetInterpolationQuality(CGContextRef c, CGInterpolationQuality quality);
CGInterpolationQuality CGContextGetInterpolationQuality(CGContextRef c);
void CGContextSetBlendMode(CGContextRef c, CGBlendMode mode);
// Multiplies everything drawn; clamped to 0..1.
void CGContextSetAlpha(CGContextRef c, CGFloat alpha);

// Colours (components are clamped to 0..1). New contexts fill and stroke in opaque black.
void CGContextSetRGBFillColor(CGContextRef c, CGFloat red, CGFloat green, CGFloat blue, CGFloat alpha);
void CGContextSetRGBStrokeColor(CGContextRef c, CGFloat red, CGFloat green, CGFloat blue, CGFloat alpha);
void CGContextSetGrayFillColor(CGContextRef c, CGFloat gray, CGFloat alpha);
void CGContextSetGrayStrokeColor(CGContextRef c, CGFloat gray, CGFloat alpha);
void CGContextSetFillColorWithColor(CGContextRef c, CGColorRef color);
void CGContextSetStrokeColorWithColor(CGContextRef c, CGColorRef color);

// The current path, built in user space and fixed in device space as it is built (later CTM
// changes do not move it). Filling, stroking and clipping to it consume it.
void CGContextBeginPath(CGContextRef c);
void CGContextMoveToPoint(CGContextRef c, CGFloat x, CGFloat y);
void CGContextAddLineToPoint(CGContextRef c, CGFloat x, CGFloat y);
void CGContextAddCurveToPoint(CGContextRef c, CGFloat cp1x, CGFloat cp1y, CGFloat cp2x, CGFloat cp2y, CGFloat x,
                              CGFloat y);
void CGContextAddQuadCurveToPoint(CGContextRef c, CGFloat cpx, CGFloat cpy, CGFloat x, CGFloat y);
void CGContextAddArc(CGContextRef c, CGFloat x, CGFloat y, CGFloat radius, CGFloat startAngle, CGFloat endAngle,
                     int clockwise);
void CGContextAddArcToPoint(CGContextRef c, CGFloat x1, CGFloat y1, CGFloat x2, CGFloat y2, CGFloat radius);
void CGContextAddRect(CGContextRef c, CGRect rect);
void CGContextAddEllipseInRect(CGContextRef c, CGRect rect);
void CGContextAddPath(CGContextRef c, CGPathRef path);
void CGContextClosePath(CGContextRef c);
bool CGContextIsPathEmpty(CGContextRef c);

void CGContextFillPath(CGContextRef c);    // non-zero winding rule
void CGContextEOFillPath(CGContextRef c);  // even-odd rule
void CGContextStrokePath(CGContextRef c);
void CGContextDrawPath(CGContextRef c, CGPathDrawingMode mode);

// These leave the current path alone.
void CGContextFillRect(CGContextRef c, CGRect rect);
void CGContextStrokeRect(CGContextRef c, CGRect rect);
void CGContextStrokeRectWithWidth(CGContextRef c, CGRect rect, CGFloat width);
// Makes the rectangle transparent (black in a context without alpha), whatever the blend
// mode and alpha.
void CGContextClearRect(CGContextRef c, CGRect rect);
void CGContextFillEllipseInRect(CGContextRef c, CGRect rect);
void CGContextStrokeEllipseInRect(CGContextRef c, CGRect rect);
// Strokes the segments points[0]-points[1], points[2]-points[3], ...
void CGContextStrokeLineSegments(CGContextRef c, const CGPoint *points, size_t count);

// Clipping only ever shrinks the drawable area, until the state is restored.
void CGContextClipToRect(CGContextRef c, CGRect rect);
// Clips to the mask drawn into rect (stretched like an image) and to rect itself. For an
// image mask (CGImageMaskCreate) a sample of 0 lets paint through and 255 blocks it; for a
// grey image the grey value is the coverage (255 paints, 0 blocks). Other images clip
// everything away.
void CGContextClipToMask(CGContextRef c, CGRect rect, CGImageRef mask);

// Draws the image stretched over rect, its first row at the top (max y) of rect. An image
// mask paints the fill colour through the mask.
void CGContextDrawImage(CGContextRef c, CGRect rect, CGImageRef image);
void CGContextDrawShading(CGContextRef c, CGShadingRef shading);
// Draws the page in its own coordinates (PDF user space) through the CTM, clipped to its
// crop box.
void CGContextDrawPDFPage(CGContextRef c, CGPDFPageRef page);

// Text (drawn by CTLineDraw). The text position is the translation of the text matrix;
// neither is part of the graphics state.
void CGContextSetTextMatrix(CGContextRef c, CGAffineTransform t);
CGAffineTransform CGContextGetTextMatrix(CGContextRef c);
void CGContextSetTextPosition(CGContextRef c, CGFloat x, CGFloat y);
CGPoint CGContextGetTextPosition(CGContextRef c);
void CGContextSetTextDrawingMode(CGContextRef c, CGTextDrawingMode mode);
