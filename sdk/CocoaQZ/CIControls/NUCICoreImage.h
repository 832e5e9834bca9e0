// Core Image for the drawn controls: the controls' Core Image context, images of their faces
// and of their own pictures, and a Core Image image drawn into the current graphics context
// (the original views drew through the graphics context's own Core Image context; here one
// offscreen context renders every control's image, which is then drawn with Core Graphics).
//
// Drawing state: these run on the main thread.
#pragma once

#include <AppKit/NSImage.h>
#include <CoreGraphics/CGContext.h>
#include <CoreGraphics/CGGeometry.h>
#include <CoreImage/CIContext.h>
#include <CoreImage/CIImage.h>

class QImage;

// The controls' offscreen Core Image context, made on first use and kept; null when none
// can be made (no OpenGL).
CIContextRef NUCICoreImageContext();

// The image's first bitmap as a Core Image image (upright: the bitmap's top row at the top
// of the extent (0, 0, pixels wide, pixels high)); null without a drawable bitmap.
CIImageRef NUCICoreImageWithNSImage(const NSImage &image);
// A copy of the picture's pixels as a Core Image image, upright; null for a null picture.
CIImageRef NUCICoreImageWithQImage(const QImage &image);

// Renders the image's whole extent and draws it scaled into `rect` of the current graphics
// context, source over, upright whether the context is flipped or not. False, drawing
// nothing, without a current context, an image of finite non-empty extent, or a context to
// render it.
bool NUCIDrawCIImageInRect(const CIImageRef &image, CGRect rect);
// The same into a given Core Graphics context, flipped (y down) or not.
bool NUCIDrawCIImageInContext(CGContextRef port, bool flipped, const CIImageRef &image, CGRect rect);
// The same rendering, as a picture: the image's extent (rounded out to whole pixels), top row
// first, premultiplied ARGB32. A null picture on failure.
QImage NUCIRenderCIImage(const CIImageRef &image);
