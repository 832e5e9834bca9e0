// Scopes for OpenGL code: making a CGL context current (and locked) for the length of a
// scope, saving and restoring the framebuffer binding and viewport around rendering into a
// framebuffer object, and the three process-wide pixel formats of the main display.
#pragma once

#include <OpenGL/CGDirectDisplay.h>
#include <OpenGL/NSOpenGL.h>
#include <OpenGL/OpenGL.h>
#include <OpenGL/glext.h>

namespace OpenGL {

// Reads and discards every pending GL error (the graphics library never reports them).
void DiscardGLErrors();

// Makes a context current for the scope and puts the previously current one back when the
// scope ends. A null context changes nothing. When no context was current before, the
// scope's context stays current after the scope.
class CGLContextState {
public:
    // The current context stays current (and is remembered).
    CGLContextState();
    explicit CGLContextState(CGLContextObj context);
    explicit CGLContextState(NSOpenGLContext *context);
    virtual ~CGLContextState();
    CGLContextState(const CGLContextState &) = delete;
    CGLContextState &operator=(const CGLContextState &) = delete;

    // Makes `context` current, remembering the current one. A scope already holding a
    // context ends that first.
    virtual void Construct(CGLContextObj context);
    // Makes the remembered context current again and forgets both.
    virtual void Destruct();

protected:
    struct Deferred {};
    explicit CGLContextState(Deferred) {}

    CGLContextObj mContext = nullptr;   // the context this scope made current
    CGLContextObj mPrevious = nullptr;  // the context current before
};

// The scope that also holds the context's CGL lock: every construction locks the context
// it makes current and the end of the scope unlocks it, on every path.
class CGLContextStateLock : public CGLContextState {
public:
    CGLContextStateLock();
    explicit CGLContextStateLock(CGLContextObj context);
    explicit CGLContextStateLock(NSOpenGLContext *context);
    ~CGLContextStateLock() override;

    void Construct(CGLContextObj context) override;
    void Destruct() override;

protected:
    bool mLocked = false;  // true while this scope holds the context's lock
};

}  // namespace OpenGL

// The framebuffer binding and the viewport, saved before rendering into another framebuffer
// and restored after. A plain record, so that the framebuffer-object states of the OpenGL
// kit carry it as a field.
struct tagOpenGL_FBOState {
    GLint mSaveFrameBufferObject = 0;
    GLint mSaveViewPort[4] = {0, 0, 0, 0};  // x, y, width, height

    // Reads GL_FRAMEBUFFER_BINDING_EXT and GL_VIEWPORT of the current context, discarding
    // GL errors after each query.
    void Save();
    // Binds the saved framebuffer (GL_FRAMEBUFFER_EXT) and sets the saved viewport.
    void Restore() const;
};

namespace OpenGL {

using FramebufferViewportState = ::tagOpenGL_FBOState;

}  // namespace OpenGL

namespace Apple_CGL {

enum PixelFormatKind : int {
    kPixelFormatWindow = 0,
    kPixelFormatDisplay = 2,   // adds the display mask
    kPixelFormatPBuffer = 3,   // adds the display mask and PBuffer
};

// A new pixel format for `display` (owned by the caller), or null when none matched:
// NoRecovery, Accelerated, DoubleBuffer, BackingStore, ColorSize 24, AlphaSize 8,
// DepthSize 8, then for any non-zero kind the display's OpenGL mask, and for kind 3 PBuffer.
CGLPixelFormatObj ChoosePixelFormat(CGDirectDisplayID display, int kind);

// The process-wide formats of the main display, chosen at the first call and never
// destroyed (null when none matched).
CGLPixelFormatObj PixelFormatWindow();
CGLPixelFormatObj PixelFormatDisplay();
CGLPixelFormatObj PixelFormatPBuffer();

}  // namespace Apple_CGL
