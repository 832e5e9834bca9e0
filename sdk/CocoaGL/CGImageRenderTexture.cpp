#include <CocoaGL/CGImageRenderTexture.h>

std::shared_ptr<CGImageRenderTexture> CGImageRenderTexture::textureWithShaderName(const std::string &shaderName,
                                                                                  uint32_t textureWidth,
                                                                                  uint32_t textureHeight) {
    return textureWithShaderSourceClass(nullptr, shaderName, textureWidth, textureHeight);
}

std::shared_ptr<CGImageRenderTexture> CGImageRenderTexture::textureWithShaderSourceClass(
    NSOGLShaderSourceCodeClassRef sourceClass, const std::string &shaderName, uint32_t textureWidth,
    uint32_t textureHeight) {
    return makeWithShader<CGImageRenderTexture>(sourceClass, shaderName, textureWidth, textureHeight);
}

CGColorSpaceRef CGImageRenderTexture::defaultImageColorSpace() { return CGColorSpaceCreateWithName(kCGColorSpaceSRGB); }

CGImageRenderTexture::CGImageRenderTexture() = default;

CGImageRenderTexture::~CGImageRenderTexture() { setImageColorSpace(nullptr); }

void CGImageRenderTexture::initWithIOSurface(IOSurfaceRef surface, const std::string &shaderName,
                                             NSOGLShaderSourceCodeClassRef sourceClass) {
    NSOGLRenderTextureFBOWithShader::initWithIOSurface(surface, shaderName, sourceClass);
    if (this->surface() != nullptr) createImageColorSpace();
}

void CGImageRenderTexture::createImageColorSpace() {
    CGColorSpaceRef colorSpace = defaultImageColorSpace();
    setImageColorSpace(colorSpace);
    if (colorSpace != nullptr) CGColorSpaceRelease(colorSpace);
}

CGColorSpaceRef CGImageRenderTexture::imageColorSpace() const {
    std::lock_guard<std::mutex> guard(mColorSpaceLock);
    return mImageColorSpace;
}

CGColorSpaceRef CGImageRenderTexture::imageColorSpaceCopy() const {
    std::lock_guard<std::mutex> guard(mColorSpaceLock);
    return mImageColorSpace != nullptr ? CGColorSpaceRetain(mImageColorSpace) : nullptr;
}

void CGImageRenderTexture::setImageColorSpace(CGColorSpaceRef colorSpace) {
    std::lock_guard<std::mutex> guard(mColorSpaceLock);
    if (colorSpace != nullptr) CGColorSpaceRetain(colorSpace);
    if (mImageColorSpace != nullptr) CGColorSpaceRelease(mImageColorSpace);
    mImageColorSpace = colorSpace;
}

bool CGImageRenderTexture::renderToCGImageLockingSurfacePixels(bool lockSurface, const ImageBlock &completion) {
    renderScene(true);
    if (!completion) return true;
    return wrapSurfaceFBOWithCGImageRef(completion, lockSurface);
}

bool CGImageRenderTexture::wrapSurfaceFBOWithCGImageRef(const ImageBlock &block, bool lockSurfaceDontCopyPixels) {
    if (!block) return false;
    CGColorSpaceRef colorSpace = imageColorSpaceCopy();
    if (colorSpace == nullptr) return false;
    CGImageRef image = nullptr;
    if (surface() != nullptr) {
        image = lockSurfaceDontCopyPixels ? createSurfaceImageLockingSurfaceWithColorSpace(colorSpace)
                                          : createSurfaceImageByCopyingPixelsWithColorSpace(colorSpace);
    }
    CGColorSpaceRelease(colorSpace);
    if (image == nullptr) return false;
    block(image);
    CGImageRelease(image);
    return true;
}

void CGImageRenderTexture::renderSceneSelf() {
    const std::shared_ptr<protocol_NSOGLDynamicTexture> source = sourceTexture();
    if (source == nullptr) {
        NSOGLRenderTextureFBOWithShader::renderSceneSelf();
        return;
    }
    // The flip is put back also when the drawing throws.
    struct FlipScope {
        protocol_NSOGLDynamicTexture &texture;
        bool saved;
        ~FlipScope() { texture.setFlipVertical(saved); }
    } flip{*source, source->flipVertical()};
    source->setFlipVertical(true);
    NSOGLRenderTextureFBOWithShader::renderSceneSelf();
}

bool import_CGImageRenderTexture() { return import_NSOGLRenderTextureFBOWithShader(); }
