// Offscreen drawables: a CGL context of its own with a pixel size, to render into without a
// window; the framebuffer-object variant adds a colour and a depth render buffer of that
// size. One process-wide 256 x 256 framebuffer-object drawable provides the shared context
// of the OpenGL kit.
#pragma once

#include <OpenGL/OpenGL.h>
#include <OpenGL/glext.h>

#include <cstdint>

namespace Apple_CGL {

class OffscreenDrawable {
public:
    OffscreenDrawable() = default;
    virtual ~OffscreenDrawable();
    OffscreenDrawable(const OffscreenDrawable &) = delete;
    OffscreenDrawable &operator=(const OffscreenDrawable &) = delete;

    // Makes a context of `pixelFormat` (PixelFormatWindow when null) sharing with `share`
    // (may be null) and holds it; the size is the floats truncated to whole pixels. False
    // when no context could be made.
    virtual bool Construct(float width, float height, CGLContextObj share, CGLPixelFormatObj pixelFormat);
    // The context made current on the calling thread.
    virtual bool MakeCurrent();
    // MakeCurrent, then, when `clear`, clears to opaque black.
    virtual bool BeginDrawing(bool clear);
    // glFlush of the drawable's context when `flush` is true and that context is current.
    // Answers whether the flush was done.
    virtual bool Flush(bool flush);
    virtual void Clear(float red, float green, float blue, float alpha);
    // When the drawable's context is current: the viewport and an orthographic projection
    // over the whole size, identity texture and model-view matrices; cleared when `clear`.
    virtual void Viewport(bool clear);

    // Holds `context` (a new reference) in place of the held one, which stops being current
    // on this thread and is released.
    void SetContext(CGLContextObj context);
    void ReleaseContext() { SetContext(nullptr); }
    // Flush, then unlocks the context's CGL lock that the caller took. Answers the flush.
    bool FlushAndUnlock(bool flush);

    CGLContextObj GetContext() const { return mContext; }
    uint32_t GetWidth() const { return mWidth; }
    uint32_t GetHeight() const { return mHeight; }

protected:
    CGLContextObj mContext = nullptr;
    uint32_t mWidth = 0;
    uint32_t mHeight = 0;
};

class OffscreenDrawableFBO : public OffscreenDrawable {
public:
    static constexpr GLuint kNone = 0xFFFFFFFFu;

    OffscreenDrawableFBO() = default;
    // Constructs at once, with no share context and the default pixel format.
    OffscreenDrawableFBO(float width, float height);
    ~OffscreenDrawableFBO() override;

    // The base construction, then the render buffers (GL_DEPTH_COMPONENT24, GL_RGBA8) and
    // the framebuffer object, left bound, with the viewport set and cleared. False when the
    // context cannot be made or the framebuffer is incomplete (the context is kept).
    bool Construct(float width, float height, CGLContextObj share, CGLPixelFormatObj pixelFormat) override;
    // The context made current and the framebuffer object bound; cleared when `clear`.
    bool BeginDrawing(bool clear) override;
    // Makes the context current, flushes, and binds the window system's framebuffer again.
    bool Flush(bool flush) override;

    // The context of the process-wide 256 x 256 drawable, made at the first call from any
    // thread (null when that failed) and never destroyed, so no GL call is made for it at
    // exit. The caller's current context stays current.
    static CGLContextObj SharedContext();
    // Whether the current context has GL_EXT_framebuffer_object.
    static bool HasFramebufferObjectExtension();

protected:
    void DeleteBuffers();

    GLuint mFramebuffer = kNone;
    GLuint mColorBuffer = kNone;
    GLuint mDepthBuffer = kNone;
};

}  // namespace Apple_CGL
