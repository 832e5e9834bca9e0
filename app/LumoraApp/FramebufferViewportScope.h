// The framebuffer binding and viewport of the current context, saved for a scope and put back
// on every path; nothing without a current context. Shared by the camera view's files.
#pragma once

#include <CoreG/GL/namespace_OpenGL_CGLContextState.h>
#include <OpenGL/OpenGL.h>

class FramebufferViewportScope {
public:
    FramebufferViewportScope() : mContext(CGLGetCurrentContext()) {
        if (mContext != nullptr) mState.Save();
    }
    ~FramebufferViewportScope() {
        if (mContext != nullptr && CGLGetCurrentContext() == mContext) mState.Restore();
    }
    FramebufferViewportScope(const FramebufferViewportScope &) = delete;
    FramebufferViewportScope &operator=(const FramebufferViewportScope &) = delete;

private:
    CGLContextObj mContext;
    tagOpenGL_FBOState mState;
};
