// CIContextFBORenderer: renders Core Image output straight into an IOSurface, through the
// framebuffer of a surface texture on the root sharing context, and hands the surface back as
// a CIImage or a CGImage. The camera view's input stack renders every camera frame this way
// (a subclass overriding renderToSurfaceCIContext).
//
//     auto renderer = CIContextFBORenderer::rendererWithWidthPixels(640, 480);
//     renderer->renderToSurfaceWithBlock([&](const CIContextRef &context) {
//         return context->drawImage(image, renderer->rendererBounds(), image->extent());
//     });
//     CIImageRef frame = renderer->surfaceCIImage();
//
// A render (renderToSurface, renderToSurfaceWithBlock) holds the texture's own lock for its
// whole length, so a reader taking that lock never sees half a frame. It makes the root sharing
// context current and holds its CGL lock (taken before the texture's lock: the Core Image
// context takes it for every draw), sets premultiplied-alpha blending, binds the
// framebuffer, clears it to transparent black and sets an orthographic projection of the
// surface's pixels (renderToSurfaceBegin); runs the render step with the Core Image context;
// then ends (renderToSurfaceEnd) and puts the blend factors and the caller's context back.
// When it returns, the surface's memory holds the frame: the end is followed by a sync of the
// share group's surface textures (the OpenGL layer's glFinish is not a sync point).
//
// A render answers true only when its step answered true and the frame reached the surface.
// It answers false, leaving the surface as it was, without a surface or framebuffer, for a null
// block, and inside another render of the same renderer (from its step). It answers false with
// the cleared frame in the surface when there is no Core Image context and when the step
// answers false. A step that throws has its frame ended before the exception goes on.
//
// The surface keeps its first memory row at the bottom of what was drawn (OpenGL's row order),
// while a CIImage or CGImage of a surface takes its first row as the top: surfaceCIImage flips
// the surface's image back upright, surfaceCIImageFlippedUpsideDown(false) and the CGImages
// give the surface as stored.
#pragma once

#include <CocoaGL/NSOGLTextureIOSurfaceFBO.h>

#include <CoreFoundation/CFDictionary.h>
#include <CoreGraphics/CGColorSpace.h>
#include <CoreGraphics/CGGeometry.h>
#include <CoreGraphics/CGImage.h>
#include <CoreImage/CIContext.h>
#include <CoreImage/CIImage.h>
#include <IOSurface/IOSurfaceRef.h>
#include <OpenGL/OpenGL.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>

class CIContextFBORenderer : public NSOGLTextureIOSurfaceFBO {
public:
    // A render step: draws with the Core Image context into the bound framebuffer and answers
    // whether it drew.
    using RenderBlock = std::function<bool(const CIContextRef &context)>;

    // ---- Class methods ----

    // A renderer on a new non-global 'BGRA' surface of the size; null when no surface or
    // texture could be made (a zero size included).
    static std::shared_ptr<CIContextFBORenderer> rendererWithWidthPixels(uint32_t widthPixels, uint32_t heightPixels);
    // What pixel buffers must carry to be rendered the same way, owned by the caller:
    // {kCVPixelBufferIOSurfacePropertiesKey: {}, kCVPixelBufferOpenGLCompatibilityKey: true,
    // kCVPixelBufferIOSurfaceOpenGLTextureCompatibilityKey: true,
    // kCVPixelBufferIOSurfaceOpenGLFBOCompatibilityKey: true,
    // kCVPixelBufferPixelFormatTypeKey: 'BGRA'}. Null when it cannot be made.
    static CFDictionaryRef rendererPreferredPixelBufferAttributes();
    // One device RGB colour space for the process, made on first use and kept (not retained
    // for the caller).
    static CGColorSpaceRef rendererDefaultColorSpace();
    // The image transformed by (1, 0, 0, -1, 0, extent height): mirrored top to bottom within
    // an extent whose bottom is at 0. Null for null.
    static CIImageRef imageFlippedUpsideDown(const CIImageRef &image);

    // Holds no surface: call initWithIOSurface.
    CIContextFBORenderer();
    // Releases the colour space and the cached context; the bases then release the framebuffer,
    // the texture and the surface.
    ~CIContextFBORenderer() override;

    // The framebuffer texture's initialiser on the surface, run with the root sharing context
    // current and locked (the renderer's texture and framebuffer belong to the context it
    // renders with; the caller's context is put back), then the default colour space. A null
    // surface leaves the renderer without texture.
    void initWithIOSurface(IOSurfaceRef surface);

    // ---- Properties ----

    // The Core Image context of the root sharing context once made (null before).
    CIContextRef cachedContext() const;
    void setCachedContext(CIContextRef context);
    // The colour space of the images read from the surface: not retained for the caller.
    CGColorSpaceRef contextColorSpace() const;
    // Retained for the caller (CGColorSpaceRelease); null when none.
    CGColorSpaceRef contextColorSpaceCopy() const;
    // Retains the new space (null allowed: no images are made then), releases the old one.
    void setContextColorSpace(CGColorSpaceRef colorSpace);

    // ---- The surface as an image ----

    // Null without a colour space or surface. Otherwise, with the surface locked read-only
    // for the call (which brings it up to date with drawing not yet synced on this thread's
    // share group), an image of the surface tagged with the colour space, flipped upside
    // down when asked.
    CIImageRef surfaceCIImageFlippedUpsideDown(bool flippedUpsideDown) const;
    // surfaceCIImageFlippedUpsideDown(true): what was drawn, upright.
    CIImageRef surfaceCIImage() const;
    // The surface as a CGImage owned by the caller, in the colour space: over the surface kept
    // locked read-only while the image lives, or over a copy of its pixels. Null without a
    // colour space or surface.
    CGImageRef createSurfaceCGImageByLockingSurface() const;
    CGImageRef createSurfaceCGImageByCopyingPixels() const;

    // ---- Rendering ----

    // A render whose step is renderToSurfaceCIContext.
    bool renderToSurface();
    // A render whose step is the block; false at once for a null block.
    bool renderToSurfaceWithBlock(const RenderBlock &block);
    // The render step of renderToSurface: draws nothing and answers true here; subclasses
    // draw their frame.
    virtual bool renderToSurfaceCIContext(const CIContextRef &context);
    // Binds the framebuffer, sets the viewport (0, 0, width, height), clears to (0, 0, 0, 0),
    // loads an orthographic projection (0, width) x (0, height) x (-1, 1) and an identity
    // model-view matrix, enables blending, and answers coreImageContextWithGLContext. Null,
    // with nothing set up, when the framebuffer cannot be bound (no framebuffer, or already
    // bound); null after the set-up when there is no Core Image context.
    virtual CIContextRef renderToSurfaceBegin();
    // Disables blending, renderToSurfaceEndFlushGL, ends the framebuffer without flushing
    // (the texture is marked drawn), renderToSurfaceEndFinishGL. The framebuffer end's answer.
    virtual bool renderToSurfaceEnd(const CIContextRef &context);
    // glFlush.
    virtual void renderToSurfaceEndFlushGL();
    // glFinish.
    virtual void renderToSurfaceEndFinishGL();

    // The cached context, made on the first call for the root sharing context's CGL context
    // and the default shared pixel format (no colour space); null when it cannot be made.
    virtual CIContextRef coreImageContextWithGLContext();
    // The root sharing context's CGL context (borrowed; null when there is none).
    ::CGLContextObj CGLContextObj() const;
    // The default shared pixel format's CGL object (borrowed; null when there is none).
    ::CGLPixelFormatObj CGLPixelFormatObj() const;

    // (0, 0, width, height) of the surface texture.
    CGRect rendererBounds() const;
    // (width, height).
    CGSize rendererSizePixels() const;

protected:
    // A renderer of class T on a new surface of the size (the factories of this class and of
    // subclasses); null when no surface or texture could be made.
    template <typename T>
    static std::shared_ptr<T> makeRenderer(uint32_t widthPixels, uint32_t heightPixels) {
        if (widthPixels == 0 || heightPixels == 0) return nullptr;
        IOSurfaceRef surface = surfaceWithSurfaceWidth(widthPixels, heightPixels, false);
        if (surface == nullptr) return nullptr;
        auto renderer = std::make_shared<T>();
        renderer->initWithIOSurface(surface);
        CFRelease(surface);
        if (renderer->textureName() == kNoTextureName || renderer->frameBufferObject() < 0) return nullptr;
        return renderer;
    }

private:
    // The render frame around `step` (see the top of this file).
    bool renderFrame(const RenderBlock &step);

    mutable std::mutex mPropertyLock;              // guards the two fields below
    CIContextRef mCachedContext;
    CGColorSpaceRef mContextColorSpace = nullptr;  // retained
    std::mutex mContextCreationLock;               // one creation of the cached context at a time
};

bool import_CIContextFBORenderer();
