// NSOGLCurrentContextScope: makes a context current (and locked, when asked) for the scope and
// puts back exactly what was current before, none included. The graphics library's scopes
// leave their context current when none was, which would leave a shared context current on
// the caller's thread.
#pragma once

#include <CoreG/GL/namespace_OpenGL_CGLContextState.h>

#include <optional>

class NSOGLCurrentContextScope {
public:
    NSOGLCurrentContextScope(CGLContextObj context, bool lock) : mWasNone(CGLGetCurrentContext() == nullptr) {
        if (lock) {
            mLocked.emplace(context);
        } else {
            mUnlocked.emplace(context);
        }
    }
    ~NSOGLCurrentContextScope() {
        mLocked.reset();
        mUnlocked.reset();
        if (mWasNone) CGLSetCurrentContext(nullptr);
    }
    NSOGLCurrentContextScope(const NSOGLCurrentContextScope &) = delete;
    NSOGLCurrentContextScope &operator=(const NSOGLCurrentContextScope &) = delete;

private:
    bool mWasNone;
    std::optional<OpenGL::CGLContextStateLock> mLocked;
    std::optional<OpenGL::CGLContextState> mUnlocked;
};
