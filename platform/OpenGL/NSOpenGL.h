// The OpenGL context class of the interface code: a holder of a CGL context.
#pragma once

#include <OpenGL/NSOpenGLPixelBuffer.h>
#include <OpenGL/OpenGL.h>

#include <memory>
#include <mutex>

class NSOpenGLContext {
public:
    // Holds a reference on `context` (may be null).
    explicit NSOpenGLContext(::CGLContextObj context);
    ~NSOpenGLContext();
    NSOpenGLContext(const NSOpenGLContext &) = delete;
    NSOpenGLContext &operator=(const NSOpenGLContext &) = delete;

    // The CGL context (borrowed).
    ::CGLContextObj CGLContextObj() const { return mContext; }

    // Pixel buffers (NSOpenGLPixelBuffer.cpp). setPixelBuffer attaches the pixel buffer as the
    // context's drawable (CGLSetPBuffer) and keeps it; false when CGL refuses. pixelBuffer is
    // the one kept (null when none). setTextureImageToPixelBuffer copies the pixel buffer's
    // image into the texture bound to its target in this context (CGLTexImagePBuffer).
    bool setPixelBuffer(std::shared_ptr<NSOpenGLPixelBuffer> pixelBuffer, GLenum face, GLint level, GLint screen);
    std::shared_ptr<NSOpenGLPixelBuffer> pixelBuffer() const;
    bool setTextureImageToPixelBuffer(const NSOpenGLPixelBuffer *pixelBuffer, GLenum source);
    // Detaches the pixel buffer or offscreen memory (CGLClearDrawable) and lets the kept pixel
    // buffer go.
    void clearDrawable();
    // The context's virtual screen (CGLGetVirtualScreen); 0 when it cannot be told.
    GLint currentVirtualScreen() const;

private:
    ::CGLContextObj mContext;
    mutable std::mutex mPixelBufferLock;
    std::shared_ptr<NSOpenGLPixelBuffer> mPixelBuffer;
};
