// CIImageRenderer: renders a CIImage into a CPU bitmap of a fixed pixel size, through the
// caller's Core Image context or a private one. The QuickTime input path subclasses it.
//
//     auto renderer = CIImageRenderer::imageRendererWithSizePixels(320, 240);
//     if (renderer->renderImage(image)) use(renderer->imagePixelData(), renderer->imagePixelRowBytes());
//
// The bitmap is A, R, G, B premultiplied bytes (kCIFormatARGB8), 4 x width row bytes, its
// first row the top of the picture; the rendered rectangle is (0, 0, width, height) of the
// image's plane. Sizes are taken as floats and truncated to whole pixels.
//
// The private Core Image context is what the renderer's offscreen window supplied on the
// original platform, where the window existed for nothing else: here there is no window, and
// the context is an offscreen Core Image context sharing with the root sharing context, made
// on first use and kept.
//
// Every render answers false, leaving the bitmap as it was, without image, context, colour
// space or bitmap, and when the Core Image render fails or raises.
#pragma once

#include <CoreG/Drawing/namespace_CoreGraphics_BitmapContext.h>

#include <CoreGraphics/CGColorSpace.h>
#include <CoreGraphics/CGGeometry.h>
#include <CoreImage/CIContext.h>
#include <CoreImage/CIImage.h>

#include <cstddef>
#include <memory>
#include <mutex>

class CIImageRenderer {
public:
    // A renderer of the size; null when the bitmap cannot be made (a size below one pixel,
    // not finite, or too large).
    static std::shared_ptr<CIImageRenderer> imageRendererWithSizePixels(float widthPixels, float heightPixels);

    // Holds nothing: call an initialiser.
    CIImageRenderer();
    // Releases the colour space, the bitmap and the private context.
    virtual ~CIImageRenderer();
    CIImageRenderer(const CIImageRenderer &) = delete;
    CIImageRenderer &operator=(const CIImageRenderer &) = delete;

    // Stores the size, makes the sRGB colour space and a bitmap of the size truncated to whole
    // pixels (A, R, G, B premultiplied, device RGB, 4 x width row bytes). False, with nothing
    // kept, when the size is below one pixel, not finite or too large, or when the bitmap
    // cannot be made; false for a renderer already initialised.
    bool initWithSizePixels(float widthPixels, float heightPixels);
    bool initSizePixels(float widthPixels, float heightPixels) { return initWithSizePixels(widthPixels, heightPixels); }

    // The bitmap's pixel memory (null before initialisation), its row bytes, and row bytes x
    // the integer height.
    void *imagePixelData() const;
    size_t imagePixelRowBytes() const;
    size_t imagePixelDataSize() const;

    // The given context, else the private one (made on first use), else null.
    CIContextRef renderContextWithGPUContext(const CIContextRef &gpuContext);

    // The context renders (0, 0, width, height) of the image into the renderer's bitmap,
    // kCIFormatARGB8, tagged sRGB; the render's answer. False without image, context,
    // colour space or bitmap.
    bool renderImageGpuContext(const CIImageRef &image, const CIContextRef &gpuContext);
    // renderImageGpuContext with the private context; false for a null image.
    bool renderImage(const CIImageRef &image);
    // The chosen context (renderContextWithGPUContext) renders (0, 0, its width, its height) of
    // the image into the bitmap's pixels, kCIFormatARGB8, tagged with the bitmap's own colour
    // space; the render's answer. False without context, image or bitmap, for a bitmap that
    // is not constructed or whose pixels are not alpha (or a skipped byte) followed by R, G,
    // B, and when the render raises (not logged).
    bool renderImageIntoBitmapContextGpuContext(const CIImageRef &image, CoreGraphics::BitmapContext *bitmapContext,
                                                const CIContextRef &gpuContext);
    // The same with the private context.
    bool renderImageIntoBitmapContext(const CIImageRef &image, CoreGraphics::BitmapContext *bitmapContext) {
        return renderImageIntoBitmapContextGpuContext(image, bitmapContext, nullptr);
    }

protected:
    // The size as given to the initialiser (not truncated), for subclasses.
    CGSize sizePixels() const { return CGSizeMake(mSizePixels[0], mSizePixels[1]); }
    // The bitmap the renders write, for subclasses that draw into it or read it.
    CoreGraphics::BitmapContext &bitmapContext() { return mBitmapContext; }
    const CoreGraphics::BitmapContext &bitmapContext() const { return mBitmapContext; }

private:
    float mSizePixels[2] = {0, 0};                // width, height
    std::mutex mContextLock;                      // guards the private context's creation
    CIContextRef mOffscreenContext;               // the private context, once made
    CoreGraphics::BitmapContext mBitmapContext;
    CGColorSpaceRef mBitmapColorSpace = nullptr;  // owned
};

bool import_CIImageRenderer();
