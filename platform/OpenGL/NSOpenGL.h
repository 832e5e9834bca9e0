// The OpenGL context class of the interface code: a holder of a CGL context.
#pragma once

#include <OpenGL/OpenGL.h>

class NSOpenGLContext {
public:
    // Holds a reference on `context` (may be null).
    explicit NSOpenGLContext(::CGLContextObj context);
    ~NSOpenGLContext();
    NSOpenGLContext(const NSOpenGLContext &) = delete;
    NSOpenGLContext &operator=(const NSOpenGLContext &) = delete;

    // The CGL context (borrowed).
    ::CGLContextObj CGLContextObj() const { return mContext; }

private:
    ::CGLContextObj mContext;
};
