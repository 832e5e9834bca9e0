#include <CocoaGL/NSOGLPBufferRendererBase.h>

#include <CocoaGL/NSOGLSharingContext.h>
#include <CoreG/GL/namespace_OpenGL_CGLContextState.h>

#include <OpenGL/glext.h>

#include <utility>

namespace {

// Holds a render lock (none: nothing) for a scope.
class RenderLockScope {
public:
    explicit RenderLockScope(std::shared_ptr<NSOGLRecursiveLock> lock) : mLock(std::move(lock)) {
        if (mLock != nullptr) mLock->lock();
    }
    ~RenderLockScope() {
        if (mLock != nullptr) mLock->unlock();
    }
    RenderLockScope(const RenderLockScope &) = delete;
    RenderLockScope &operator=(const RenderLockScope &) = delete;

private:
    std::shared_ptr<NSOGLRecursiveLock> mLock;
};

bool IsAcceptedTarget(GLenum target) { return target == GL_TEXTURE_2D || target == GL_TEXTURE_RECTANGLE_ARB; }

GLenum BindingQuery(GLenum target) {
    return target == GL_TEXTURE_2D ? GLenum(GL_TEXTURE_BINDING_2D) : GLenum(GL_TEXTURE_BINDING_RECTANGLE_ARB);
}

}  // namespace

NSOGLPBufferRendererBase::NSOGLPBufferRendererBase() = default;

NSOGLPBufferRendererBase::~NSOGLPBufferRendererBase() {
    const std::shared_ptr<NSOpenGLContext> sharing = sharingContext();
    const std::shared_ptr<NSOGLRecursiveLock> renderLock = this->renderLock();
    {
        const OpenGL::CGLContextStateLock scope(sharing.get());
        const RenderLockScope guard(renderLock);
        if (const auto context = pixelBufferContext(); context != nullptr && mRendererClearDrawable)
            context->clearDrawable();
        setPixelBufferContext(nullptr);
        setPrivatePixelBuffer(nullptr);
        setPixelFormat(nullptr);
        setSharingContext(nullptr);
        if (mTextureName != 0 && sharing != nullptr && CGLGetCurrentContext() != nullptr) {
            glDeleteTextures(1, &mTextureName);
            OpenGL::DiscardGLErrors();
        }
        mTextureName = 0;
    }
    setRenderLock(nullptr);
}

// ---- Creation ------------------------------------------------------------------------------

bool NSOGLPBufferRendererBase::initWithTextureTarget(GLenum target, GLuint width, GLuint height,
                                                     std::shared_ptr<NSOpenGLContext> openGLContext) {
    const OpenGL::CGLContextStateLock scope(openGLContext.get());
    if (openGLContext != nullptr && CGLGetCurrentContext() != nullptr) OpenGL::DiscardGLErrors();
    if (!IsAcceptedTarget(target) || width < 16 || height < 16 || openGLContext == nullptr) return false;

    setRenderLock(std::make_shared<NSOGLRecursiveLock>());
    mRendererClearDrawable = false;
    mTextureTarget = target;
    mTextureUpdateNeeded = true;

    const std::shared_ptr<NSOpenGLPixelFormat> format = defaultSharedPixelFormat();
    setPixelFormat(format);
    setSharingContext(openGLContext);
    if (format == nullptr) return true;

    CGLContextObj context = nullptr;
    if (CGLCreateContext(format->CGLPixelFormatObj(), openGLContext->CGLContextObj(), &context) != kCGLNoError ||
        context == nullptr)
        return true;
    setPixelBufferContext(std::make_shared<NSOpenGLContext>(context));
    CGLReleaseContext(context);  // the context object holds its own reference

    if (createOrUpdatePixelBuffer(NSMakeSize(width, height)) && CGLGetCurrentContext() != nullptr) {
        glGenTextures(1, &mTextureName);
        OpenGL::DiscardGLErrors();
        initTextureParameters();
    }
    clearDrawablePixels(true);
    return true;
}

bool NSOGLPBufferRendererBase::initWithTextureTarget(GLenum target, GLuint width, GLuint height) {
    return initWithTextureTarget(target, width, height, sharingTextureContext());
}

std::shared_ptr<NSOpenGLContext> NSOGLPBufferRendererBase::sharingTextureContext() {
    return NSOGLSharingContext::rootSharingContext();
}

std::shared_ptr<NSOpenGLPixelFormat> NSOGLPBufferRendererBase::classDefaultSharedPixelFormat() {
    return NSOGLSharingContext::defaultSharedPixelFormat(true);
}

std::shared_ptr<NSOpenGLPixelFormat> NSOGLPBufferRendererBase::defaultSharedPixelFormat() const {
    return classDefaultSharedPixelFormat();
}

// ---- Hooks ---------------------------------------------------------------------------------

bool NSOGLPBufferRendererBase::renderSceneForTime(double) {
    clearDrawablePixels();
    return true;
}

void NSOGLPBufferRendererBase::clearDrawablePixels() { clearDrawablePixels(false); }

void NSOGLPBufferRendererBase::clearDrawablePixels(bool force) {
    if (!mRendererClearDrawable && !force) return;
    const std::shared_ptr<NSOpenGLContext> context = pixelBufferContext();
    if (context == nullptr) return;
    const OpenGL::CGLContextStateLock scope(context.get());
    const RenderLockScope guard(renderLock());
    if (privatePixelBuffer() == nullptr || CGLGetCurrentContext() != context->CGLContextObj()) return;
    GLfloat saved[4] = {0, 0, 0, 0};
    glGetFloatv(GL_COLOR_CLEAR_VALUE, saved);
    glClearColor(0, 0, 0, 0);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glClearColor(saved[0], saved[1], saved[2], saved[3]);
    OpenGL::DiscardGLErrors();
}

// ---- Update chain --------------------------------------------------------------------------

bool NSOGLPBufferRendererBase::textureUpdateWithTime(double seconds) { return textureUpdate(QVariant(seconds)); }

bool NSOGLPBufferRendererBase::updateTexture(double seconds) { return textureUpdate(QVariant(seconds)); }

bool NSOGLPBufferRendererBase::textureUpdate() { return textureUpdate(QVariant()); }

bool NSOGLPBufferRendererBase::textureUpdate(const QVariant &time) {
    const double seconds = time.isValid() && !time.isNull() ? time.toDouble() : 0.0;
    bool rendered = false;
    {
        const std::shared_ptr<NSOpenGLContext> context = pixelBufferContext();
        // The context's CGL lock first, the render lock inside it (given back first). Both,
        // and the previous context, are given back when the scene throws.
        const OpenGL::CGLContextStateLock scope(context.get());
        const RenderLockScope guard(renderLock());
        mTextureUpdateNeeded = false;
        if (context == nullptr || CGLGetCurrentContext() != context->CGLContextObj()) return false;
        if (!pixelBufferContextHasSameVirtualScreenAsSharingContext()) {
            if (const auto old = privatePixelBuffer(); old != nullptr)
                createOrUpdatePixelBuffer(NSMakeSize(old->pixelsWide(), old->pixelsHigh()));
        }
        if (privatePixelBuffer() != nullptr && pixelBufferContextHasSameVirtualScreenAsSharingContext()) {
            rendered = renderSceneForTime(seconds);
            if (rendered) {
                glFlushRenderAPPLE();
                OpenGL::DiscardGLErrors();
                mTextureUpdateNeeded = true;
            }
        }
    }
    // The frame is copied after the render lock has been given back; the update takes it
    // again and copies whatever frame waits then (this one or a newer one of another thread).
    if (rendered) updateTextureInTextureSharingContext();
    return rendered;
}

bool NSOGLPBufferRendererBase::updateTextureInTextureSharingContext() {
    const std::shared_ptr<NSOpenGLContext> sharing = sharingContext();
    if (sharing == nullptr) return false;
    const OpenGL::CGLContextStateLock scope(sharing.get());
    const RenderLockScope guard(renderLock());
    // Cleared before the copy, under the lock: a frame drawn after this point sets it again
    // and is copied by the update that follows its rendering.
    if (!mTextureUpdateNeeded.exchange(false)) return false;
    if (CGLGetCurrentContext() != sharing->CGLContextObj()) return false;
    const std::shared_ptr<NSOpenGLPixelBuffer> pixelBuffer = privatePixelBuffer();
    GLint previous = 0;
    if (mTextureTarget != 0) {
        glGetIntegerv(BindingQuery(mTextureTarget), &previous);
        glBindTexture(mTextureTarget, mTextureName);
    }
    const bool copied = sharing->setTextureImageToPixelBuffer(pixelBuffer.get(), GL_FRONT_LEFT);
    OpenGL::DiscardGLErrors();
    if (mTextureTarget != 0) {
        glBindTexture(mTextureTarget, GLuint(previous));
        OpenGL::DiscardGLErrors();
    }
    return copied;
}

// ---- Pixel buffer --------------------------------------------------------------------------

bool NSOGLPBufferRendererBase::createOrUpdatePixelBuffer(NSSize size) {
    if (!(size.width >= 1 && size.height >= 1 && size.width <= 16384 && size.height <= 16384)) return false;
    auto made = NSOpenGLPixelBuffer::initWithTextureTarget(mTextureTarget, GL_RGBA, 0, GLsizei(size.width),
                                                           GLsizei(size.height));
    if (made == nullptr) return false;
    setPixelBuffer(std::move(made));
    return true;
}

void NSOGLPBufferRendererBase::setPixelBuffer(std::shared_ptr<NSOpenGLPixelBuffer> pixelBuffer) {
    const RenderLockScope guard(renderLock());
    const std::shared_ptr<NSOpenGLContext> context = pixelBufferContext();
    if (context != nullptr && mRendererClearDrawable) context->clearDrawable();
    setPrivatePixelBuffer(pixelBuffer);
    if (pixelBuffer != nullptr && context != nullptr) {
        const std::shared_ptr<NSOpenGLContext> sharing = sharingContext();
        context->setPixelBuffer(pixelBuffer, 0, 0, sharing != nullptr ? sharing->currentVirtualScreen() : 0);
        if (CGLGetCurrentContext() != nullptr) OpenGL::DiscardGLErrors();
    }
}

void NSOGLPBufferRendererBase::initTextureParameters() {
    const std::shared_ptr<NSOpenGLContext> sharing = sharingContext();
    if (sharing == nullptr || mTextureName == 0) return;
    const OpenGL::CGLContextStateLock scope(sharing.get());
    GLint previous = 0;
    glGetIntegerv(BindingQuery(mTextureTarget), &previous);
    glBindTexture(mTextureTarget, mTextureName);
    glTexParameteri(mTextureTarget, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(mTextureTarget, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    if (mTextureTarget == GL_TEXTURE_RECTANGLE_ARB) {
        const GLfloat border[4] = {0, 0, 0, 0};
        glTexParameterfv(mTextureTarget, GL_TEXTURE_BORDER_COLOR, border);
        glTexParameteri(mTextureTarget, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_BORDER);
        glTexParameteri(mTextureTarget, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_BORDER);
    } else {
        glTexParameteri(mTextureTarget, GL_TEXTURE_WRAP_S, GL_REPEAT);
        glTexParameteri(mTextureTarget, GL_TEXTURE_WRAP_T, GL_REPEAT);
    }
    glBindTexture(mTextureTarget, GLuint(previous));
    OpenGL::DiscardGLErrors();
}

// ---- Locking -------------------------------------------------------------------------------

void NSOGLPBufferRendererBase::lock() {
    if (const auto renderLock = this->renderLock(); renderLock != nullptr) renderLock->lock();
}

void NSOGLPBufferRendererBase::unlock() {
    if (const auto renderLock = this->renderLock(); renderLock != nullptr) renderLock->unlock();
}

// ---- Queries -------------------------------------------------------------------------------

GLuint NSOGLPBufferRendererBase::pixelsWide() const {
    const auto pixelBuffer = privatePixelBuffer();
    return pixelBuffer != nullptr ? GLuint(pixelBuffer->pixelsWide()) : 0;
}

GLuint NSOGLPBufferRendererBase::pixelsHigh() const {
    const auto pixelBuffer = privatePixelBuffer();
    return pixelBuffer != nullptr ? GLuint(pixelBuffer->pixelsHigh()) : 0;
}

CGLContextObj NSOGLPBufferRendererBase::renderContext() const {
    const auto context = pixelBufferContext();
    return context != nullptr ? context->CGLContextObj() : nullptr;
}

CGLContextObj NSOGLPBufferRendererBase::textureUpdateContextObj() const {
    const auto context = sharingContext();
    return context != nullptr ? context->CGLContextObj() : nullptr;
}

CGRect NSOGLPBufferRendererBase::renderBounds() const {
    const auto pixelBuffer = privatePixelBuffer();
    if (pixelBuffer == nullptr) return CGRectMake(0, 0, 0, 0);
    return CGRectMake(0, 0, pixelBuffer->pixelsWide(), pixelBuffer->pixelsHigh());
}

float NSOGLPBufferRendererBase::_textureCoordSMax() const {
    return mTextureTarget == GL_TEXTURE_RECTANGLE_ARB ? float(pixelsWide()) : 1.0f;
}

float NSOGLPBufferRendererBase::_textureCoordTMax() const {
    return mTextureTarget == GL_TEXTURE_RECTANGLE_ARB ? float(pixelsHigh()) : 1.0f;
}

float NSOGLPBufferRendererBase::textureCoordSMin() const {
    return mFlipHorizontal ? _textureCoordSMax() : _textureCoordSMin();
}

float NSOGLPBufferRendererBase::textureCoordSMax() const {
    return mFlipHorizontal ? _textureCoordSMin() : _textureCoordSMax();
}

float NSOGLPBufferRendererBase::textureCoordTMin() const {
    return mFlipVertical ? _textureCoordTMax() : _textureCoordTMin();
}

float NSOGLPBufferRendererBase::textureCoordTMax() const {
    return mFlipVertical ? _textureCoordTMin() : _textureCoordTMax();
}

void NSOGLPBufferRendererBase::textureWithMatrix(NSOGLQuadMatrixProtocol *matrix) const {
    if (matrix == nullptr) {
        if (CGLGetCurrentContext() == nullptr) return;
        glLoadIdentity();
        OpenGL::DiscardGLErrors();
        return;
    }
    matrix->applyTextureMatrix(this);
}

bool NSOGLPBufferRendererBase::pixelBufferContextHasSameVirtualScreenAsSharingContext() const {
    const auto context = pixelBufferContext();
    const auto sharing = sharingContext();
    return context != nullptr && sharing != nullptr &&
           context->currentVirtualScreen() == sharing->currentVirtualScreen();
}

// ---- Properties ----------------------------------------------------------------------------

std::shared_ptr<NSOpenGLPixelFormat> NSOGLPBufferRendererBase::pixelFormat() const {
    std::lock_guard<std::mutex> guard(mPropertyLock);
    return mPixelFormat;
}

void NSOGLPBufferRendererBase::setPixelFormat(std::shared_ptr<NSOpenGLPixelFormat> pixelFormat) {
    std::lock_guard<std::mutex> guard(mPropertyLock);
    mPixelFormat.swap(pixelFormat);  // the old one goes outside the lock
}

std::shared_ptr<NSOpenGLContext> NSOGLPBufferRendererBase::pixelBufferContext() const {
    std::lock_guard<std::mutex> guard(mPropertyLock);
    return mPixelBufferContext;
}

void NSOGLPBufferRendererBase::setPixelBufferContext(std::shared_ptr<NSOpenGLContext> pixelBufferContext) {
    std::lock_guard<std::mutex> guard(mPropertyLock);
    mPixelBufferContext.swap(pixelBufferContext);
}

std::shared_ptr<NSOpenGLPixelBuffer> NSOGLPBufferRendererBase::privatePixelBuffer() const {
    std::lock_guard<std::mutex> guard(mPropertyLock);
    return mPrivatePixelBuffer;
}

void NSOGLPBufferRendererBase::setPrivatePixelBuffer(std::shared_ptr<NSOpenGLPixelBuffer> privatePixelBuffer) {
    std::lock_guard<std::mutex> guard(mPropertyLock);
    mPrivatePixelBuffer.swap(privatePixelBuffer);
}

std::shared_ptr<NSOpenGLContext> NSOGLPBufferRendererBase::sharingContext() const {
    std::lock_guard<std::mutex> guard(mPropertyLock);
    return mSharingContext;
}

void NSOGLPBufferRendererBase::setSharingContext(std::shared_ptr<NSOpenGLContext> sharingContext) {
    std::lock_guard<std::mutex> guard(mPropertyLock);
    mSharingContext.swap(sharingContext);
}

std::shared_ptr<NSOGLRecursiveLock> NSOGLPBufferRendererBase::renderLock() const {
    std::lock_guard<std::mutex> guard(mPropertyLock);
    return mRenderLock;
}

void NSOGLPBufferRendererBase::setRenderLock(std::shared_ptr<NSOGLRecursiveLock> renderLock) {
    std::lock_guard<std::mutex> guard(mPropertyLock);
    mRenderLock.swap(renderLock);
}

bool import_NSOGLPBufferRendererBase() { return import_NSOGLSharingContext() && import_NSOGLTextureBase(); }
