// CIContext: renders image recipes with OpenGL, on a CGL context (drawing into whatever
// framebuffer is bound there) or on a private offscreen context (for bitmaps, CGImages and
// IOSurfaces).
//
// A render walks the recipe once: sources are uploaded once per render (a texture image is
// used as it is), each kernel apply is one pass into a pooled intermediate texture covering
// what its consumers read, and the last pass draws straight into the destination. Crops and
// affine transforms cost nothing: they ride in the samplers' uniforms. Programs are compiled
// once per kernel and share group; intermediate textures and the framebuffer object are kept
// between renders, so a warm render compiles nothing and allocates no GL object.
//
// Every render answers false, drawing nothing, when it cannot be done: no image, an empty or
// non-finite rectangle, a bitmap too small, a context that cannot be made current, a kernel
// that does not compile (the log names its line).
#pragma once

#include <CoreGraphics/CGColorSpace.h>
#include <CoreGraphics/CGGeometry.h>
#include <CoreGraphics/CGImage.h>
#include <CoreImage/CIImage.h>
#include <IOSurface/IOSurfaceRef.h>
#include <OpenGL/OpenGL.h>

#include <cstdint>
#include <memory>
#include <string>

class CIContext;
using CIContextRef = std::shared_ptr<CIContext>;

// Counters of a context's work since it was made (tests and benchmarks).
struct CIContextStatistics {
    uint64_t passes = 0;            // kernel and draw passes run
    uint64_t programsCompiled = 0;  // programs linked for this context's share group
    uint64_t texturesAllocated = 0; // intermediate and upload textures created
    uint64_t renders = 0;           // renders begun
};

class CIContext {
public:
    // A context drawing with `context` (retained): renders run with it current on the calling
    // thread, into its bound framebuffer. The pixel format and colour space are tags; null for
    // a null context.
    static CIContextRef contextWithCGLContext(CGLContextObj context, CGLPixelFormatObj pixelFormat,
                                              CGColorSpaceRef colorSpace = nullptr);
    // A context of its own (an offscreen CGL context sharing with `shareContext` when given):
    // for bitmaps, CGImages and IOSurfaces. Null when no OpenGL context can be made.
    static CIContextRef offscreenContext(CGLContextObj shareContext = nullptr);

    ~CIContext();
    CIContext(const CIContext &) = delete;
    CIContext &operator=(const CIContext &) = delete;

    CGLContextObj CGLContext() const { return m_context; }

    // Draws the part `fromRect` of the image (in its plane) into `inRect` of the framebuffer
    // bound in the context (pixels, origin bottom-left, the viewport ignored), blending over
    // what is there with premultiplied alpha. The context must be current on this thread.
    bool drawImage(const CIImageRef &image, CGRect inRect, CGRect fromRect);
    // The part `fromRect` as a new CGImage (premultiplied BGRA, the first row the top), owned
    // by the caller; null on failure.
    CGImageRef createCGImage(const CIImageRef &image, CGRect fromRect, CGColorSpaceRef colorSpace = nullptr);
    // Writes `bounds` of the image into `bitmap` (rows of `rowBytes`, the first row the top of
    // the picture) in `format`. The bitmap must hold bounds.height rows of bounds.width pixels.
    bool render(const CIImageRef &image, void *bitmap, size_t rowBytes, CGRect bounds, CIFormat format,
                CGColorSpaceRef colorSpace = nullptr);
    // Writes `bounds` of the image into the surface ('BGRA' or 'RGBA', the first row the top);
    // bounds.size must be the surface's size.
    bool render(const CIImageRef &image, IOSurfaceRef surface, CGRect bounds, CGColorSpaceRef colorSpace = nullptr);

    CIContextStatistics statistics() const;
    // Why the last failed render failed.
    const std::string &lastError() const { return m_lastError; }

    struct Engine;

private:
    CIContext(CGLContextObj context, bool ownsContext);
    CGLContextObj m_context = nullptr;
    bool m_ownsContext = false;
    std::unique_ptr<Engine> m_engine;
    std::string m_lastError;
};

// The pixels of a '2vuy' image (4:2:2 Y'CbCr, byte order Cb Y0 Cr Y1, video range, BT.601) as
// opaque BGRA, rows of destinationRowBytes: how the renderer reads camera pixel buffers and
// surfaces of that format.
void CIConvert2vuyToBGRA(const uint8_t *source, size_t sourceRowBytes, size_t width, size_t height, uint8_t *destination,
                         size_t destinationRowBytes);
