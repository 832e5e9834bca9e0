// PDF pages: their boxes and the transform that fits one into a rectangle.
#pragma once

#include <CoreGraphics/CGAffineTransform.h>
#include <CoreGraphics/CGPDFDocument.h>

enum CGPDFBox : int32_t {
    kCGPDFMediaBox = 0,
    kCGPDFCropBox = 1,
    kCGPDFBleedBox = 2,
    kCGPDFTrimBox = 3,
    kCGPDFArtBox = 4,
};

CFTypeID CGPDFPageGetTypeID(void);
CGPDFPageRef CGPDFPageRetain(CGPDFPageRef page);
void CGPDFPageRelease(CGPDFPageRef page);

size_t CGPDFPageGetPageNumber(CGPDFPageRef page);
// The page's box in PDF user space. poppler exposes only the crop box (which is the media box
// unless the document sets one), so every box answers the crop box. CGRectNull for null.
CGRect CGPDFPageGetBoxRect(CGPDFPageRef page, CGPDFBox box);
// The transform that maps the box into rect: the box rotated clockwise by rotate degrees (a
// multiple of 90; others count as 0), centred on rect and scaled down where it is larger
// than rect, never up: with preserveAspectRatio by one factor, so that it fits in the more
// restrictive dimension; without, each dimension on its own. Identity for null. The page's
// own /Rotate entry is not applied (poppler-glib does not expose it).
CGAffineTransform CGPDFPageGetDrawingTransform(CGPDFPageRef page, CGPDFBox box, CGRect rect, int rotate,
                                               bool preserveAspectRatio);
