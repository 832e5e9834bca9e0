// The pixel-buffer and pixel-format classes of the interface code: holders of a CGL pixel
// buffer and of a CGL pixel format (included by NSOpenGL.h).
#pragma once

#include <OpenGL/OpenGL.h>

#include <memory>

// A pixel buffer (CGLPBuffer.h): drawn into by a context it is attached to
// (NSOpenGLContext::setPixelBuffer), copied into a texture by setTextureImageToPixelBuffer.
class NSOpenGLPixelBuffer {
public:
    // Holds a reference on `pbuffer` (may be null).
    explicit NSOpenGLPixelBuffer(::CGLPBufferObj pbuffer);
    ~NSOpenGLPixelBuffer();
    NSOpenGLPixelBuffer(const NSOpenGLPixelBuffer &) = delete;
    NSOpenGLPixelBuffer &operator=(const NSOpenGLPixelBuffer &) = delete;

    // A new pixel buffer, or null when CGLCreatePBuffer refuses the arguments.
    static std::shared_ptr<NSOpenGLPixelBuffer> initWithTextureTarget(GLenum target, GLenum internalFormat,
                                                                      GLint maxLevel, GLsizei pixelsWide,
                                                                      GLsizei pixelsHigh);

    GLenum textureTarget() const;
    GLenum textureInternalFormat() const;
    GLint textureMaxMipMapLevel() const;
    GLsizei pixelsWide() const;
    GLsizei pixelsHigh() const;

    // The CGL pixel buffer (borrowed).
    ::CGLPBufferObj CGLPBufferObj() const { return mPBuffer; }

private:
    ::CGLPBufferObj mPBuffer;
    GLsizei mWidth = 0;
    GLsizei mHeight = 0;
    GLenum mTarget = 0;
    GLenum mInternalFormat = 0;
    GLint mMaxLevel = 0;
};

// A pixel format: a holder of a CGL pixel format.
class NSOpenGLPixelFormat {
public:
    // Holds a reference on `format` (may be null).
    explicit NSOpenGLPixelFormat(::CGLPixelFormatObj format);
    ~NSOpenGLPixelFormat();
    NSOpenGLPixelFormat(const NSOpenGLPixelFormat &) = delete;
    NSOpenGLPixelFormat &operator=(const NSOpenGLPixelFormat &) = delete;

    // The CGL pixel format (borrowed).
    ::CGLPixelFormatObj CGLPixelFormatObj() const { return mFormat; }

private:
    ::CGLPixelFormatObj mFormat;
};
