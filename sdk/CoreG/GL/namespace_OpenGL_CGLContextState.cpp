#include <CoreG/GL/namespace_OpenGL_CGLContextState.h>

#include <vector>

namespace OpenGL {

void DiscardGLErrors() {
    // Bounded: a lost context may keep answering an error.
    for (int i = 0; i < 64 && glGetError() != GL_NO_ERROR; ++i) {
    }
}

// ---- CGLContextState ------------------------------------------------------------------------

CGLContextState::CGLContextState() { CGLContextState::Construct(CGLGetCurrentContext()); }

CGLContextState::CGLContextState(CGLContextObj context) { CGLContextState::Construct(context); }

CGLContextState::CGLContextState(NSOpenGLContext *context) {
    CGLContextState::Construct(context != nullptr ? context->CGLContextObj() : nullptr);
}

CGLContextState::~CGLContextState() { CGLContextState::Destruct(); }

void CGLContextState::Construct(CGLContextObj context) {
    if (mContext != nullptr) CGLContextState::Destruct();
    mContext = nullptr;
    mPrevious = nullptr;
    if (context == nullptr) return;
    // Held: the thread's own reference goes when another context becomes current, and it may
    // be the last one (an owner let the context go while it was current here).
    mPrevious = CGLRetainContext(CGLGetCurrentContext());
    mContext = context;
    CGLSetCurrentContext(context);
}

void CGLContextState::Destruct() {
    if (mPrevious != nullptr) {
        CGLSetCurrentContext(mPrevious);
        CGLReleaseContext(mPrevious);
    }
    mContext = nullptr;
    mPrevious = nullptr;
}

// ---- CGLContextStateLock --------------------------------------------------------------------

CGLContextStateLock::CGLContextStateLock() : CGLContextState(Deferred{}) {
    CGLContextStateLock::Construct(CGLGetCurrentContext());
}

CGLContextStateLock::CGLContextStateLock(CGLContextObj context) : CGLContextState(Deferred{}) {
    CGLContextStateLock::Construct(context);
}

CGLContextStateLock::CGLContextStateLock(NSOpenGLContext *context) : CGLContextState(Deferred{}) {
    CGLContextStateLock::Construct(context != nullptr ? context->CGLContextObj() : nullptr);
}

CGLContextStateLock::~CGLContextStateLock() { CGLContextStateLock::Destruct(); }

void CGLContextStateLock::Construct(CGLContextObj context) {
    CGLContextStateLock::Destruct();  // a scope already held ends first, unlocking
    CGLContextState::Construct(context);
    if (mContext != nullptr) mLocked = CGLLockContext(mContext) == kCGLNoError;
}

void CGLContextStateLock::Destruct() {
    if (mLocked && mContext != nullptr) CGLUnlockContext(mContext);
    mLocked = false;
    CGLContextState::Destruct();
}

}  // namespace OpenGL

// ---- tagOpenGL_FBOState ---------------------------------------------------------------------

void tagOpenGL_FBOState::Save() {
    mSaveFrameBufferObject = 0;
    glGetIntegerv(GL_FRAMEBUFFER_BINDING_EXT, &mSaveFrameBufferObject);
    OpenGL::DiscardGLErrors();
    glGetIntegerv(GL_VIEWPORT, mSaveViewPort);
    OpenGL::DiscardGLErrors();
}

void tagOpenGL_FBOState::Restore() const {
    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, static_cast<GLuint>(mSaveFrameBufferObject));
    OpenGL::DiscardGLErrors();
    glViewport(mSaveViewPort[0], mSaveViewPort[1], mSaveViewPort[2], mSaveViewPort[3]);
    OpenGL::DiscardGLErrors();
}

namespace Apple_CGL {

CGLPixelFormatObj ChoosePixelFormat(CGDirectDisplayID display, int kind) {
    std::vector<CGLPixelFormatAttribute> attributes = {
        kCGLPFANoRecovery, kCGLPFAAccelerated, kCGLPFADoubleBuffer, kCGLPFABackingStore,
        kCGLPFAColorSize,  CGLPixelFormatAttribute(24), kCGLPFAAlphaSize, CGLPixelFormatAttribute(8),
        kCGLPFADepthSize,  CGLPixelFormatAttribute(8)};
    if (kind != kPixelFormatWindow) {
        attributes.push_back(kCGLPFADisplayMask);
        attributes.push_back(static_cast<CGLPixelFormatAttribute>(CGDisplayIDToOpenGLDisplayMask(display)));
    }
    if (kind == kPixelFormatPBuffer) attributes.push_back(kCGLPFAPBuffer);
    attributes.push_back(static_cast<CGLPixelFormatAttribute>(0));

    CGLPixelFormatObj format = nullptr;
    GLint count = 0;
    CGLChoosePixelFormat(attributes.data(), &format, &count);
    return format;
}

CGLPixelFormatObj PixelFormatWindow() {
    static const CGLPixelFormatObj format = ChoosePixelFormat(CGMainDisplayID(), kPixelFormatWindow);
    return format;
}

CGLPixelFormatObj PixelFormatDisplay() {
    static const CGLPixelFormatObj format = ChoosePixelFormat(CGMainDisplayID(), kPixelFormatDisplay);
    return format;
}

CGLPixelFormatObj PixelFormatPBuffer() {
    static const CGLPixelFormatObj format = ChoosePixelFormat(CGMainDisplayID(), kPixelFormatPBuffer);
    return format;
}

}  // namespace Apple_CGL
