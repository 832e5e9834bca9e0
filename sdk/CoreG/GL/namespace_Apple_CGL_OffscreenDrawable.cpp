#include <CoreG/GL/namespace_Apple_CGL_OffscreenDrawable.h>

#include <CoreG/GL/namespace_OpenGL_CGLContextState.h>
#include <OpenGL/glu.h>

namespace Apple_CGL {

namespace {

// A size in whole pixels: truncated, negative and NaN giving 0, kept within GLsizei.
uint32_t Pixels(float size) {
    if (!(size >= 1.0f)) return 0;
    if (size >= 2147483647.0f) return 0x7FFFFFFFu;
    return static_cast<uint32_t>(size);
}

}  // namespace

// ---- OffscreenDrawable ----------------------------------------------------------------------

OffscreenDrawable::~OffscreenDrawable() { ReleaseContext(); }

void OffscreenDrawable::SetContext(CGLContextObj context) {
    CGLRetainContext(context);  // first, in case it is the held one
    if (mContext != nullptr) {
        if (CGLGetCurrentContext() == mContext) CGLSetCurrentContext(nullptr);
        CGLReleaseContext(mContext);
    }
    mContext = context;
}

bool OffscreenDrawable::Construct(float width, float height, CGLContextObj share, CGLPixelFormatObj pixelFormat) {
    mWidth = Pixels(width);
    mHeight = Pixels(height);
    if (pixelFormat == nullptr) pixelFormat = PixelFormatWindow();
    CGLContextObj context = nullptr;
    if (pixelFormat == nullptr || CGLCreateContext(pixelFormat, share, &context) != kCGLNoError) return false;
    SetContext(context);
    CGLReleaseContext(context);  // the drawable holds its own reference
    return mContext != nullptr;
}

bool OffscreenDrawable::MakeCurrent() { return mContext != nullptr && CGLSetCurrentContext(mContext) == kCGLNoError; }

bool OffscreenDrawable::BeginDrawing(bool clear) {
    if (mContext == nullptr) return false;
    const bool current = MakeCurrent();
    if (current && clear) Clear(0.0f, 0.0f, 0.0f, 1.0f);
    return current;
}

bool OffscreenDrawable::Flush(bool flush) {
    if (!flush || mContext == nullptr || CGLGetCurrentContext() != mContext) return false;
    glFlush();
    OpenGL::DiscardGLErrors();
    return true;
}

void OffscreenDrawable::Clear(float red, float green, float blue, float alpha) {
    glClearColor(red, green, blue, alpha);
    OpenGL::DiscardGLErrors();
    glClear(GL_COLOR_BUFFER_BIT);
    OpenGL::DiscardGLErrors();
    glClear(GL_DEPTH_BUFFER_BIT);
    OpenGL::DiscardGLErrors();
}

void OffscreenDrawable::Viewport(bool clear) {
    if (mContext == nullptr || CGLGetCurrentContext() != mContext) return;
    const auto width = static_cast<GLsizei>(mWidth);
    const auto height = static_cast<GLsizei>(mHeight);
    glViewport(0, 0, width, height);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(0, width, 0, height, -1, 1);
    glMatrixMode(GL_TEXTURE);
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    OpenGL::DiscardGLErrors();
    if (clear) Clear(0.0f, 0.0f, 0.0f, 1.0f);
}

bool OffscreenDrawable::FlushAndUnlock(bool flush) {
    const bool flushed = Flush(flush);
    if (mContext != nullptr) CGLUnlockContext(mContext);
    return flushed;
}

// ---- OffscreenDrawableFBO -------------------------------------------------------------------

OffscreenDrawableFBO::OffscreenDrawableFBO(float width, float height) { Construct(width, height, nullptr, nullptr); }

OffscreenDrawableFBO::~OffscreenDrawableFBO() {
    DeleteBuffers();
    ReleaseContext();
}

void OffscreenDrawableFBO::DeleteBuffers() {
    if (mContext == nullptr) return;
    const OpenGL::CGLContextState scope(mContext);  // the caller's context comes back after
    if (mColorBuffer != kNone) glDeleteRenderbuffersEXT(1, &mColorBuffer);
    if (mDepthBuffer != kNone) glDeleteRenderbuffersEXT(1, &mDepthBuffer);
    OpenGL::DiscardGLErrors();
    Flush(true);  // binds the window system's framebuffer
    if (mFramebuffer != kNone) glDeleteFramebuffersEXT(1, &mFramebuffer);
    OpenGL::DiscardGLErrors();
    mFramebuffer = mColorBuffer = mDepthBuffer = kNone;
}

bool OffscreenDrawableFBO::Construct(float width, float height, CGLContextObj share, CGLPixelFormatObj pixelFormat) {
    DeleteBuffers();  // of an earlier construction
    if (!OffscreenDrawable::Construct(width, height, share, pixelFormat)) return false;
    MakeCurrent();
    const auto pixelsWide = static_cast<GLsizei>(mWidth);
    const auto pixelsHigh = static_cast<GLsizei>(mHeight);

    glGenRenderbuffersEXT(1, &mDepthBuffer);
    glBindRenderbufferEXT(GL_RENDERBUFFER_EXT, mDepthBuffer);
    glRenderbufferStorageEXT(GL_RENDERBUFFER_EXT, GL_DEPTH_COMPONENT24, pixelsWide, pixelsHigh);
    OpenGL::DiscardGLErrors();

    glGenRenderbuffersEXT(1, &mColorBuffer);
    glBindRenderbufferEXT(GL_RENDERBUFFER_EXT, mColorBuffer);
    glRenderbufferStorageEXT(GL_RENDERBUFFER_EXT, GL_RGBA8, pixelsWide, pixelsHigh);
    OpenGL::DiscardGLErrors();

    glGenFramebuffersEXT(1, &mFramebuffer);
    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, mFramebuffer);
    glFramebufferRenderbufferEXT(GL_FRAMEBUFFER_EXT, GL_COLOR_ATTACHMENT0_EXT, GL_RENDERBUFFER_EXT, mColorBuffer);
    glFramebufferRenderbufferEXT(GL_FRAMEBUFFER_EXT, GL_DEPTH_ATTACHMENT_EXT, GL_RENDERBUFFER_EXT, mDepthBuffer);
    OpenGL::DiscardGLErrors();

    const GLenum status = glCheckFramebufferStatusEXT(GL_FRAMEBUFFER_EXT);
    OpenGL::DiscardGLErrors();
    if (status != GL_FRAMEBUFFER_COMPLETE_EXT) return false;
    if (!BeginDrawing(false)) return false;
    Viewport(true);
    return true;
}

bool OffscreenDrawableFBO::BeginDrawing(bool clear) {
    if (!OffscreenDrawable::BeginDrawing(false)) return false;
    if (mFramebuffer == kNone) return false;  // binding an unused name would make a new, empty one
    OpenGL::DiscardGLErrors();
    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, mFramebuffer);
    const bool bound = glGetError() == GL_NO_ERROR;
    OpenGL::DiscardGLErrors();
    if (clear) Clear(0.0f, 0.0f, 0.0f, 1.0f);
    return bound;
}

bool OffscreenDrawableFBO::Flush(bool flush) {
    if (mContext != nullptr && CGLGetCurrentContext() != mContext) MakeCurrent();
    const bool flushed = OffscreenDrawable::Flush(flush);
    if (mContext != nullptr && CGLGetCurrentContext() == mContext) {
        glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, 0);
        OpenGL::DiscardGLErrors();
    }
    return flushed;
}

CGLContextObj OffscreenDrawableFBO::SharedContext() {
    // Made once, by the first caller (a thread-safe static), and never destroyed, like the
    // EGL display: its destructor would make the context current from the exit handlers,
    // after the thread's own GL teardown. The process's end frees what it holds.
    static OffscreenDrawableFBO *const drawable = new OffscreenDrawableFBO;
    static const bool constructed = [] {
        const CGLContextObj previous = CGLGetCurrentContext();
        CGLRetainContext(previous);
        const bool made = drawable->Construct(256.0f, 256.0f, nullptr, nullptr);
        CGLSetCurrentContext(previous);
        CGLReleaseContext(previous);
        return made;
    }();
    return constructed ? drawable->GetContext() : nullptr;
}

bool OffscreenDrawableFBO::HasFramebufferObjectExtension() {
    const GLubyte *extensions = glGetString(GL_EXTENSIONS);
    OpenGL::DiscardGLErrors();
    return extensions != nullptr &&
           gluCheckExtension(reinterpret_cast<const GLubyte *>("GL_EXT_framebuffer_object"), extensions);
}

}  // namespace Apple_CGL
