#include <OpenGL/NSOpenGL.h>

NSOpenGLContext::NSOpenGLContext(::CGLContextObj context) : mContext(CGLRetainContext(context)) {}

NSOpenGLContext::~NSOpenGLContext() { CGLReleaseContext(mContext); }
