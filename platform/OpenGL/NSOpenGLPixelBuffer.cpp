#include <OpenGL/NSOpenGL.h>

#include <mutex>
#include <utility>

// ---- NSOpenGLPixelBuffer --------------------------------------------------------------------

NSOpenGLPixelBuffer::NSOpenGLPixelBuffer(::CGLPBufferObj pbuffer) : mPBuffer(CGLRetainPBuffer(pbuffer)) {
    CGLDescribePBuffer(mPBuffer, &mWidth, &mHeight, &mTarget, &mInternalFormat, &mMaxLevel);
}

NSOpenGLPixelBuffer::~NSOpenGLPixelBuffer() { CGLReleasePBuffer(mPBuffer); }

std::shared_ptr<NSOpenGLPixelBuffer> NSOpenGLPixelBuffer::initWithTextureTarget(GLenum target, GLenum internalFormat,
                                                                                GLint maxLevel, GLsizei pixelsWide,
                                                                                GLsizei pixelsHigh) {
    ::CGLPBufferObj pbuffer = nullptr;
    if (CGLCreatePBuffer(pixelsWide, pixelsHigh, target, internalFormat, maxLevel, &pbuffer) != kCGLNoError)
        return nullptr;
    auto made = std::make_shared<NSOpenGLPixelBuffer>(pbuffer);
    CGLReleasePBuffer(pbuffer);  // the object holds its own reference
    return made;
}

GLenum NSOpenGLPixelBuffer::textureTarget() const { return mTarget; }
GLenum NSOpenGLPixelBuffer::textureInternalFormat() const { return mInternalFormat; }
GLint NSOpenGLPixelBuffer::textureMaxMipMapLevel() const { return mMaxLevel; }
GLsizei NSOpenGLPixelBuffer::pixelsWide() const { return mWidth; }
GLsizei NSOpenGLPixelBuffer::pixelsHigh() const { return mHeight; }

// ---- NSOpenGLPixelFormat --------------------------------------------------------------------

NSOpenGLPixelFormat::NSOpenGLPixelFormat(::CGLPixelFormatObj format) : mFormat(CGLRetainPixelFormat(format)) {}

NSOpenGLPixelFormat::~NSOpenGLPixelFormat() { CGLReleasePixelFormat(mFormat); }

// ---- NSOpenGLContext: pixel buffers ---------------------------------------------------------

bool NSOpenGLContext::setPixelBuffer(std::shared_ptr<NSOpenGLPixelBuffer> pixelBuffer, GLenum face, GLint level,
                                     GLint screen) {
    if (mContext == nullptr || pixelBuffer == nullptr) return false;
    if (CGLSetPBuffer(mContext, pixelBuffer->CGLPBufferObj(), face, level, screen) != kCGLNoError) return false;
    std::lock_guard<std::mutex> guard(mPixelBufferLock);
    mPixelBuffer = std::move(pixelBuffer);
    return true;
}

std::shared_ptr<NSOpenGLPixelBuffer> NSOpenGLContext::pixelBuffer() const {
    std::lock_guard<std::mutex> guard(mPixelBufferLock);
    return mPixelBuffer;
}

bool NSOpenGLContext::setTextureImageToPixelBuffer(const NSOpenGLPixelBuffer *pixelBuffer, GLenum source) {
    return mContext != nullptr && pixelBuffer != nullptr &&
           CGLTexImagePBuffer(mContext, pixelBuffer->CGLPBufferObj(), source) == kCGLNoError;
}

void NSOpenGLContext::clearDrawable() {
    if (mContext != nullptr) CGLClearDrawable(mContext);
    std::shared_ptr<NSOpenGLPixelBuffer> released;
    {
        std::lock_guard<std::mutex> guard(mPixelBufferLock);
        released = std::move(mPixelBuffer);
    }
}

GLint NSOpenGLContext::currentVirtualScreen() const {
    GLint screen = 0;
    if (mContext == nullptr || CGLGetVirtualScreen(mContext, &screen) != kCGLNoError) return 0;
    return screen;
}
