// TheOffscreenRenderer and NSImageView(CIImage): a picture of any size turned into a Core Image
// image of a fixed pixel size (the tint stage's image well gives its picture at 640 x 480).
//
//     CIImageRef sized = NSImageView_CIImage::imageWithSizePixels(*imageView, 640, 480);
//
// The picture is scaled to fill the size exactly (its aspect ratio is not kept), its extent's
// origin moved to (0, 0), and composited over opaque black; the result is an image of its own
// (a copy of the rendered pixels), upright, with the extent (0, 0, width, height), so later
// renders never change a picture handed out.
//
// One renderer serves the process: it is made on first use, kept while the same size is asked
// for and replaced by one of the new size otherwise. It is used under one process-wide lock, so
// any thread may ask, one render at a time.
#pragma once

#include <CocoaQZ/CoreImage/CIImageRenderer.h>
#include <CoreGraphics/CGGeometry.h>
#include <CoreImage/CIImage.h>

#include <memory>

class NSImageView;

class TheOffscreenRenderer : public CIImageRenderer {
public:
    // A renderer of the size; null when its bitmap cannot be made.
    static std::shared_ptr<TheOffscreenRenderer> imageRendererWithSizePixels(float widthPixels, float heightPixels);
    // The renderer the process shares now (null before the first sized image).
    static std::shared_ptr<TheOffscreenRenderer> sharedOffscreenRenderer();

    // Whether its bitmap is exactly width x height pixels.
    bool hasSizePixels(float widthPixels, float heightPixels) const;
    // (0, 0, bitmap width, bitmap height).
    CGRect extent() const;
    // The image's (0, 0, width, height) over opaque black, rendered into the bitmap and handed
    // out as an image of a copy of its pixels. Null without a bitmap or an image, or when the
    // render fails.
    CIImageRef renderedImage(const CIImageRef &image);
};

// The category NSImageView(CIImage).
namespace NSImageView_CIImage {

// The view's picture (its first bitmap, which is what its TIFF data holds) as a Core Image
// image of its own; null when the view has no picture or the picture has no bitmap.
CIImageRef imageWithTIFFRepresentation(const NSImageView &view);
// renderImageIntoSizePixels of that picture.
CIImageRef imageWithSizePixels(const NSImageView &view, float widthPixels, float heightPixels);
// The image scaled to width x height pixels by the shared renderer (see the top of the file).
// Null for a null or empty image, a size that cannot be made, or a failed render.
CIImageRef renderImageIntoSizePixels(const CIImageRef &image, float widthPixels, float heightPixels);

}  // namespace NSImageView_CIImage

bool import_TheOffscreenRenderer();
