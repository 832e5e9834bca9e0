// Internal to the OpenGL layer: what a pixel format holds.
#pragma once

#include <OpenGL/OpenGL.h>

#include <atomic>

struct _CGLPixelFormatObject {
    std::atomic<GLuint> mRetainCount{1};
    // Preferred sizes for window surfaces; -1 when the list named none.
    GLint mColorSize = -1;
    GLint mAlphaSize = -1;
    GLint mDepthSize = -1;
    bool mDoubleBuffer = false;
};
