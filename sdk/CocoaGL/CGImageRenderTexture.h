// CGImageRenderTexture: a render texture (NSOGLRenderTextureFBOWithShader) that hands its
// result out as a CGImage in its colour space (sRGB by default): snapshots and recorded movie
// frames leave the GPU this way.
//
//     texture->renderToCGImageLockingSurfacePixels(false, [](CGImageRef image) { ... });
//
// The surface holds the image top row first (the row order of a CGImage): the source is drawn
// with its vertical flip set for the render. The image is made with the surface's row bytes.
#pragma once

#include <CocoaGL/NSOGLRenderTextureFBOWithShader.h>

#include <CoreGraphics/CGColorSpace.h>
#include <CoreGraphics/CGImage.h>

#include <functional>
#include <memory>
#include <mutex>

class CGImageRenderTexture : public NSOGLRenderTextureFBOWithShader {
public:
    // Called with the image, which is valid for the call only (retain it to keep it).
    using ImageBlock = std::function<void(CGImageRef image)>;

    // A texture on a new surface of the size with the named program; null when no surface or
    // texture object could be made.
    static std::shared_ptr<CGImageRenderTexture> textureWithShaderName(const std::string &shaderName,
                                                                       uint32_t textureWidth, uint32_t textureHeight);
    static std::shared_ptr<CGImageRenderTexture> textureWithShaderSourceClass(NSOGLShaderSourceCodeClassRef sourceClass,
                                                                              const std::string &shaderName,
                                                                              uint32_t textureWidth,
                                                                              uint32_t textureHeight);
    // A new sRGB colour space (owned by the caller).
    static CGColorSpaceRef defaultImageColorSpace();

    CGImageRenderTexture();
    ~CGImageRenderTexture() override;

    // The render texture's initialiser; with a surface, the colour space becomes the default one.
    void initWithIOSurface(IOSurfaceRef surface, const std::string &shaderName,
                           NSOGLShaderSourceCodeClassRef sourceClass) override;
    using NSOGLRenderTextureFBOWithShader::initWithIOSurface;
    void createImageColorSpace();

    // Not retained for the caller.
    CGColorSpaceRef imageColorSpace() const;
    // Retained for the caller (CGColorSpaceRelease); null when none.
    CGColorSpaceRef imageColorSpaceCopy() const;
    // Retains the new space, releases the old one.
    void setImageColorSpace(CGColorSpaceRef colorSpace);

    // Renders with the default context and flush (the surface holds the frame on return),
    // then, with a block, wrapSurfaceFBOWithCGImageRef. False when a block was given and no
    // image was made for it; true otherwise.
    bool renderToCGImageLockingSurfacePixels(bool lockSurface, const ImageBlock &completion);
    // Makes an image of the surface in the colour space, over the surface kept locked
    // read-only while the image lives (`lockSurfaceDontCopyPixels`) or a copy of its pixels,
    // and calls the block with it. True when the block was called; false without block,
    // surface or colour space, or when no image could be made.
    bool wrapSurfaceFBOWithCGImageRef(const ImageBlock &block, bool lockSurfaceDontCopyPixels);

    // The render texture's drawing with the source's vertical flip set (then restored), so
    // that the surface's first row holds the top of the image.
    void renderSceneSelf() override;

protected:
    const char *className() const override { return "CGImageRenderTexture"; }

private:
    mutable std::mutex mColorSpaceLock;
    CGColorSpaceRef mImageColorSpace = nullptr;  // retained
};

bool import_CGImageRenderTexture();
