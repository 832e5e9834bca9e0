#include <CocoaQZ/CoreImage/CIContextFBORenderer.h>

#include <CocoaGL/NSOGLSharingContext.h>
#include <CocoaGL/NSOGLCurrentContextScope.h>

#include <CoreFoundation/CFNumber.h>
#include <CoreG/GL/namespace_OpenGL_CGLContextState.h>
#include <CoreVideo/CVPixelBuffer.h>
#include <OpenGL/CGLIOSurface.h>
#include <OpenGL/gl.h>

#include <optional>

namespace {

// The root sharing context's CGL context, or null.
CGLContextObj RootCGLContext() {
    const std::shared_ptr<NSOpenGLContext> root = NSOGLSharingContext::rootSharingContext();
    return root != nullptr ? root->CGLContextObj() : nullptr;
}


// The texture's own lock for the scope.
class TextureLockScope {
public:
    explicit TextureLockScope(NSOGLTextureBase &texture) : mTexture(texture) { mTexture.lock(); }
    ~TextureLockScope() { mTexture.unlock(); }
    TextureLockScope(const TextureLockScope &) = delete;
    TextureLockScope &operator=(const TextureLockScope &) = delete;

private:
    NSOGLTextureBase &mTexture;
};

// The blend factors of the current context, set to premultiplied-alpha compositing (one, one
// minus source alpha) for the scope and put back after.
class BlendFunctionScope {
public:
    BlendFunctionScope() {
        glGetIntegerv(GL_BLEND_SRC, &mSource);
        glGetIntegerv(GL_BLEND_DST, &mDestination);
        glBlendFunc(GL_ONE, GL_ONE_MINUS_SRC_ALPHA);
        OpenGL::DiscardGLErrors();
    }
    ~BlendFunctionScope() {
        glBlendFunc(GLenum(mSource), GLenum(mDestination));
        OpenGL::DiscardGLErrors();
    }
    BlendFunctionScope(const BlendFunctionScope &) = delete;
    BlendFunctionScope &operator=(const BlendFunctionScope &) = delete;

private:
    GLint mSource = GL_ONE;
    GLint mDestination = GL_ZERO;
};

void SetBoolean(CFMutableDictionaryRef dictionary, CFStringRef key, bool value) {
    CFDictionarySetValue(dictionary, key, value ? kCFBooleanTrue : kCFBooleanFalse);
}

}  // namespace

// ---- class methods ----------------------------------------------------------------------------

std::shared_ptr<CIContextFBORenderer> CIContextFBORenderer::rendererWithWidthPixels(uint32_t widthPixels,
                                                                                   uint32_t heightPixels) {
    return makeRenderer<CIContextFBORenderer>(widthPixels, heightPixels);
}

CFDictionaryRef CIContextFBORenderer::rendererPreferredPixelBufferAttributes() {
    CFMutableDictionaryRef attributes = CFDictionaryCreateMutable(
        kCFAllocatorDefault, 0, &kCFTypeDictionaryKeyCallBacks, &kCFTypeDictionaryValueCallBacks);
    if (attributes == nullptr) return nullptr;
    CFMutableDictionaryRef surfaceProperties = CFDictionaryCreateMutable(
        kCFAllocatorDefault, 0, &kCFTypeDictionaryKeyCallBacks, &kCFTypeDictionaryValueCallBacks);
    const uint32_t format = surfaceCVPixelBufferPixelFormatType();
    CFNumberRef formatNumber = CFNumberCreate(kCFAllocatorDefault, kCFNumberSInt32Type, &format);
    if (surfaceProperties == nullptr || formatNumber == nullptr) {
        if (surfaceProperties != nullptr) CFRelease(surfaceProperties);
        if (formatNumber != nullptr) CFRelease(formatNumber);
        CFRelease(attributes);
        return nullptr;
    }
    CFDictionarySetValue(attributes, kCVPixelBufferIOSurfacePropertiesKey, surfaceProperties);
    SetBoolean(attributes, kCVPixelBufferOpenGLCompatibilityKey, true);
    SetBoolean(attributes, kCVPixelBufferIOSurfaceOpenGLTextureCompatibilityKey, true);
    SetBoolean(attributes, kCVPixelBufferIOSurfaceOpenGLFBOCompatibilityKey, true);
    CFDictionarySetValue(attributes, kCVPixelBufferPixelFormatTypeKey, formatNumber);
    CFRelease(surfaceProperties);
    CFRelease(formatNumber);
    return attributes;
}

CGColorSpaceRef CIContextFBORenderer::rendererDefaultColorSpace() {
    // Made once and never released: renderers made late at exit still find it.
    static const CGColorSpaceRef space = CGColorSpaceCreateDeviceRGB();
    return space;
}

CIImageRef CIContextFBORenderer::imageFlippedUpsideDown(const CIImageRef &image) {
    if (image == nullptr) return nullptr;
    const CGAffineTransform flip = CGAffineTransformMake(1, 0, 0, -1, 0, CGRectGetHeight(image->extent()));
    return image->imageByApplyingTransform(flip);
}

// ---- making -----------------------------------------------------------------------------------

CIContextFBORenderer::CIContextFBORenderer() = default;

CIContextFBORenderer::~CIContextFBORenderer() {
    setContextColorSpace(nullptr);
    setCachedContext(nullptr);
}

void CIContextFBORenderer::initWithIOSurface(IOSurfaceRef surface) {
    if (surface == nullptr) return;
    if (::CGLContextObj root = RootCGLContext(); root != nullptr) {
        NSOGLCurrentContextScope current(root, true);
        NSOGLTextureIOSurface::initWithIOSurface(surface, false);
    } else {
        // Without a root the renderer cannot render; the current context, if any, gets the
        // texture as with any surface texture.
        NSOGLTextureIOSurface::initWithIOSurface(surface, false);
    }
    setContextColorSpace(rendererDefaultColorSpace());
}

// ---- properties -------------------------------------------------------------------------------

CIContextRef CIContextFBORenderer::cachedContext() const {
    std::lock_guard<std::mutex> guard(mPropertyLock);
    return mCachedContext;
}

void CIContextFBORenderer::setCachedContext(CIContextRef context) {
    CIContextRef old;
    {
        std::lock_guard<std::mutex> guard(mPropertyLock);
        old = std::move(mCachedContext);
        mCachedContext = std::move(context);
    }
    // `old` goes here, outside the lock.
}

CGColorSpaceRef CIContextFBORenderer::contextColorSpace() const {
    std::lock_guard<std::mutex> guard(mPropertyLock);
    return mContextColorSpace;
}

CGColorSpaceRef CIContextFBORenderer::contextColorSpaceCopy() const {
    std::lock_guard<std::mutex> guard(mPropertyLock);
    return mContextColorSpace != nullptr ? CGColorSpaceRetain(mContextColorSpace) : nullptr;
}

void CIContextFBORenderer::setContextColorSpace(CGColorSpaceRef colorSpace) {
    std::lock_guard<std::mutex> guard(mPropertyLock);
    if (colorSpace != nullptr) CGColorSpaceRetain(colorSpace);
    if (mContextColorSpace != nullptr) CGColorSpaceRelease(mContextColorSpace);
    mContextColorSpace = colorSpace;
}

// ---- the surface as an image ------------------------------------------------------------------

CIImageRef CIContextFBORenderer::surfaceCIImageFlippedUpsideDown(bool flippedUpsideDown) const {
    CGColorSpaceRef colorSpace = contextColorSpaceCopy();
    if (colorSpace == nullptr) return nullptr;
    IOSurfaceRef surface = surfaceCopy();
    CIImageRef image;
    if (surface != nullptr) {
        const bool locked = IOSurfaceLock(surface, kIOSurfaceLockReadOnly, nullptr) == kIOReturnSuccess;
        image = CIImage::imageWithIOSurface(surface, colorSpace);
        if (locked) IOSurfaceUnlock(surface, kIOSurfaceLockReadOnly, nullptr);
        CFRelease(surface);
    }
    CGColorSpaceRelease(colorSpace);
    if (image != nullptr && flippedUpsideDown) image = imageFlippedUpsideDown(image);
    return image;
}

CIImageRef CIContextFBORenderer::surfaceCIImage() const { return surfaceCIImageFlippedUpsideDown(true); }

CGImageRef CIContextFBORenderer::createSurfaceCGImageByLockingSurface() const {
    CGColorSpaceRef colorSpace = contextColorSpaceCopy();
    if (colorSpace == nullptr) return nullptr;
    CGImageRef image = createSurfaceImageLockingSurfaceWithColorSpace(colorSpace);
    CGColorSpaceRelease(colorSpace);
    return image;
}

CGImageRef CIContextFBORenderer::createSurfaceCGImageByCopyingPixels() const {
    CGColorSpaceRef colorSpace = contextColorSpaceCopy();
    if (colorSpace == nullptr) return nullptr;
    CGImageRef image = createSurfaceImageByCopyingPixelsWithColorSpace(colorSpace);
    CGColorSpaceRelease(colorSpace);
    return image;
}

// ---- rendering --------------------------------------------------------------------------------

bool CIContextFBORenderer::renderToSurface() {
    return renderFrame([this](const CIContextRef &context) { return renderToSurfaceCIContext(context); });
}

bool CIContextFBORenderer::renderToSurfaceWithBlock(const RenderBlock &block) {
    if (!block) return false;
    return renderFrame(block);
}

bool CIContextFBORenderer::renderToSurfaceCIContext(const CIContextRef &) { return true; }

bool CIContextFBORenderer::renderFrame(const RenderBlock &step) {
    ::CGLContextObj root = CGLContextObj();
    if (root == nullptr || surface() == nullptr) return false;
    // The root is current and locked for the frame, then the texture's own lock is taken: the
    // kit's order (a CGL lock before an object's lock). The Core Image context locks the root
    // for each draw in the step, so taking the texture's lock first would invert that order
    // against a reader holding the root's lock.
    NSOGLCurrentContextScope current(root, true);
    TextureLockScope textureLock(*this);
    // A render inside a render of this renderer (from its step, on this thread) would end
    // the outer render's framebuffer: refused, nothing touched.
    if (isRenderingToFrameBuffer()) return false;
    BlendFunctionScope blend;

    const CIContextRef context = renderToSurfaceBegin();
    // The begin may have bound the framebuffer and found no Core Image context: the cleared
    // frame is still ended into the surface.
    if (!isRenderingToFrameBuffer()) return false;
    bool rendered = false;
    try {
        rendered = context != nullptr && step(context);
    } catch (...) {
        renderToSurfaceEnd(context);
        throw;
    }
    const bool ended = renderToSurfaceEnd(context);
    // The surface holds the frame on return: the end marked the texture drawn, and the sync
    // reads it back into the surface's memory.
    const bool synced = CGLSyncIOSurfaceTextures(root) == kCGLNoError;
    return rendered && ended && synced;
}

CIContextRef CIContextFBORenderer::renderToSurfaceBegin() {
    if (isRenderingToFrameBuffer()) return nullptr;
    if (!beginRenderToFrameBuffer()) {
        // A begin that saved the caller's state and then failed to bind is given back.
        if (isRenderingToFrameBuffer()) endRenderToFrameBuffer(false);
        return nullptr;
    }
    const GLsizei width = GLsizei(textureWidth());
    const GLsizei height = GLsizei(textureHeight());
    glViewport(0, 0, width, height);
    glClearColor(0, 0, 0, 0);
    glClear(GL_COLOR_BUFFER_BIT);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(0, width, 0, height, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glEnable(GL_BLEND);
    OpenGL::DiscardGLErrors();
    return coreImageContextWithGLContext();
}

bool CIContextFBORenderer::renderToSurfaceEnd(const CIContextRef &) {
    glDisable(GL_BLEND);
    OpenGL::DiscardGLErrors();
    renderToSurfaceEndFlushGL();
    const bool ended = endRenderToFrameBuffer(false);
    renderToSurfaceEndFinishGL();
    return ended;
}

void CIContextFBORenderer::renderToSurfaceEndFlushGL() { glFlush(); }

void CIContextFBORenderer::renderToSurfaceEndFinishGL() { glFinish(); }

CIContextRef CIContextFBORenderer::coreImageContextWithGLContext() {
    if (CIContextRef cached = cachedContext(); cached != nullptr) return cached;
    std::lock_guard<std::mutex> creation(mContextCreationLock);
    if (CIContextRef cached = cachedContext(); cached != nullptr) return cached;
    ::CGLContextObj root = CGLContextObj();
    if (root == nullptr) return nullptr;
    CIContextRef context = CIContext::contextWithCGLContext(root, CGLPixelFormatObj(), nullptr);
    if (context != nullptr) setCachedContext(context);
    return context;
}

::CGLContextObj CIContextFBORenderer::CGLContextObj() const { return RootCGLContext(); }

::CGLPixelFormatObj CIContextFBORenderer::CGLPixelFormatObj() const {
    const std::shared_ptr<NSOpenGLPixelFormat> format = NSOGLSharingContext::defaultSharedPixelFormat();
    return format != nullptr ? format->CGLPixelFormatObj() : nullptr;
}

CGRect CIContextFBORenderer::rendererBounds() const {
    return CGRectMake(0, 0, double(textureWidth()), double(textureHeight()));
}

CGSize CIContextFBORenderer::rendererSizePixels() const {
    return CGSizeMake(double(textureWidth()), double(textureHeight()));
}

bool import_CIContextFBORenderer() { return import_NSOGLTextureIOSurfaceFBO() && import_NSOGLSharingContext(); }
