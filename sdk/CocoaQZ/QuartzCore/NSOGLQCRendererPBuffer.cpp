#include <CocoaQZ/QuartzCore/NSOGLQCRendererPBuffer.h>

#include <CocoaGL/NSOGLSharingContext.h>
#include <CoreG/GL/namespace_OpenGL_CGLContextState.h>

#include <CoreGraphics/CGColorSpace.h>
#include <OpenGL/glext.h>

NSOGLQCRendererPBuffer::NSOGLQCRendererPBuffer() = default;

NSOGLQCRendererPBuffer::~NSOGLQCRendererPBuffer() {
    closeComposition(true);
    if (const auto state = rendererState()) state->setDelegate(nullptr);
    setRendererState(nullptr);
}

// ---- Creation ------------------------------------------------------------------------------

bool NSOGLQCRendererPBuffer::initWithTextureTarget(GLenum target, GLuint width, GLuint height,
                                                   std::shared_ptr<NSOpenGLContext> openGLContext) {
    if (!NSOGLPBufferRendererBase::initWithTextureTarget(target, width, height, std::move(openGLContext))) return false;
    setRendererState(std::make_shared<NSOGLQCRendererState>(this));
    clearDrawablePixels();
    return true;
}

bool NSOGLQCRendererPBuffer::initWithCompositionPath(const std::string &path, GLenum target, GLuint width,
                                                     GLuint height, std::shared_ptr<NSOpenGLContext> openGLContext) {
    if (!initWithTextureTarget(target, width, height, std::move(openGLContext))) return false;
    if (!path.empty()) openCompositionPath(path);
    return true;
}

bool NSOGLQCRendererPBuffer::initWithTextureTarget(GLenum target, GLuint width, GLuint height) {
    return initWithTextureTarget(target, width, height, NSOGLSharingContext::rootSharingContext());
}

bool NSOGLQCRendererPBuffer::initWithCompositionPath(const std::string &path, GLenum target, GLuint width,
                                                     GLuint height) {
    return initWithCompositionPath(path, target, width, height, NSOGLSharingContext::rootSharingContext());
}

// ---- The composition -----------------------------------------------------------------------

bool NSOGLQCRendererPBuffer::openCompositionObject(QCCompositionRef composition) {
    const auto state = rendererState();
    return state && state->openCompositionObject(std::move(composition));
}

bool NSOGLQCRendererPBuffer::openCompositionComposition(QCCompositionRef composition) {
    const auto state = rendererState();
    return state && state->openCompositionComposition(std::move(composition));
}

bool NSOGLQCRendererPBuffer::openCompositionData(CFDataRef data) {
    return openCompositionComposition(data ? QCComposition::compositionWithData(data) : nullptr);
}

bool NSOGLQCRendererPBuffer::openCompositionPath(const std::string &path) {
    closeComposition(false);
    clearDrawablePixels();
    const auto state = rendererState();
    return state && state->openCompositionPath(path);
}

void NSOGLQCRendererPBuffer::closeComposition() { closeComposition(true); }

void NSOGLQCRendererPBuffer::closeComposition(bool) {
    if (const auto state = rendererState()) state->closeComposition();
}

bool NSOGLQCRendererPBuffer::isCompositionOpen() const {
    const auto state = rendererState();
    return state && state->isCompositionOpen();
}

bool NSOGLQCRendererPBuffer::hasInputKey(const std::string &key) const {
    const auto state = rendererState();
    return state && state->hasInputKey(key);
}

bool NSOGLQCRendererPBuffer::setValue(const QCValue &value, const std::string &key) {
    const auto state = rendererState();
    return state && state->setValue(value, key);
}

std::shared_ptr<QCRenderer> NSOGLQCRendererPBuffer::renderer() const {
    const auto state = rendererState();
    return state ? state->renderer() : nullptr;
}

NSOGLQCRendererInputKeys NSOGLQCRendererPBuffer::rendererInputKeys() const {
    const auto state = rendererState();
    return state ? state->rendererInputKeys() : nullptr;
}

QCRenderArguments NSOGLQCRendererPBuffer::rendererArguments() const {
    const auto state = rendererState();
    return state ? state->rendererArguments() : QCRenderArguments();
}

void NSOGLQCRendererPBuffer::setRendererArguments(const QCRenderArguments &arguments) {
    if (const auto state = rendererState()) state->setRendererArguments(arguments);
}

std::shared_ptr<NSOGLQCRendererState> NSOGLQCRendererPBuffer::rendererState() const {
    std::lock_guard<std::mutex> guard(mStateLock);
    return mRendererState;
}

void NSOGLQCRendererPBuffer::setRendererState(std::shared_ptr<NSOGLQCRendererState> rendererState) {
    std::shared_ptr<NSOGLQCRendererState> old;
    {
        std::lock_guard<std::mutex> guard(mStateLock);
        old = std::exchange(mRendererState, std::move(rendererState));
    }
}

// ---- Rendering -----------------------------------------------------------------------------

bool NSOGLQCRendererPBuffer::renderSceneForTime(double seconds) {
    const auto state = rendererState();
    if (!state || !state->isCompositionOpen()) return false;
    const std::shared_ptr<NSOpenGLContext> context = pixelBufferContext();
    if (!context) return false;
    const OpenGL::CGLContextState scope(context.get());
    // A render on whatever else is current would draw somewhere else, or nowhere.
    if (CGLGetCurrentContext() != context->CGLContextObj()) return false;
    if (rendererClearDrawable()) clearDrawablePixels();
    return state->renderStateForTime(seconds);
}

CIImageRef NSOGLQCRendererPBuffer::textureImage() {
    const GLuint width = textureWidth(), height = textureHeight();
    CGColorSpaceRef colorSpace = CGColorSpaceCreateWithName(kCGColorSpaceGenericRGBLinear);
    if (!colorSpace) return nullptr;
    CIImageRef image;
    // Core Image reads rectangle textures only.
    if (textureName() != 0 && width > 0 && height > 0 && textureTarget() == GL_TEXTURE_RECTANGLE_ARB) {
        const std::shared_ptr<NSOpenGLContext> sharing = sharingContext();
        const OpenGL::CGLContextState scope(sharing.get());
        image = CIImage::imageWithTexture(textureName(), CGSizeMake(width, height), flipVertical(), colorSpace);
    }
    CGColorSpaceRelease(colorSpace);
    return image;
}

// ---- NSOGLQCRendererStateDelegate ----------------------------------------------------------

std::shared_ptr<NSOpenGLContext> NSOGLQCRendererPBuffer::rendererOpenGLContext() { return pixelBufferContext(); }

std::shared_ptr<NSOpenGLPixelFormat> NSOGLQCRendererPBuffer::rendererOpenGLPixelFormat() { return pixelFormat(); }

void NSOGLQCRendererPBuffer::rendererStateRendererInitialize(NSOGLQCRendererState *, bool flag) {
    clearDrawablePixels(flag);
    textureUpdateWithTime(0.0);
}

void NSOGLQCRendererPBuffer::rendererStateClearDrawablePixels(NSOGLQCRendererState *, bool force) {
    clearDrawablePixels(force);
}

bool import_NSOGLQCRendererPBuffer() { return import_NSOGLQCRendererState() && import_NSOGLPBufferRendererBase(); }
