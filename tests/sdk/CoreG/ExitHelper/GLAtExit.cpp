// A program that uses OpenGL and then returns from main, for the test of what happens at
// exit (OffscreenDrawableTests.cpp). The OpenGL layer writes a line to standard error for
// every CGL call that would reach EGL after exit has begun; the test reads them.
//
//   GLAtExit shared   draws with the process-wide shared drawable's context, on this thread
//                     and on a second one, and returns with it current
//   GLAtExit static   keeps a context in a static object whose destructor releases it (a
//                     misuse the layer must survive: it reports and does no EGL work)
#include <CoreG/GL/namespace_Apple_CGL_OffscreenDrawable.h>
#include <CoreG/GL/namespace_OpenGL_CGLContextState.h>

#include <cstdio>
#include <cstring>
#include <thread>

namespace {

// The colour of the shared drawable's framebuffer at its centre after clearing to
// (r, g, b), as 0xAABBGGRR; 0 when the context could not be made current.
uint32_t ClearAndRead(CGLContextObj context, float r, float g, float b) {
    if (CGLSetCurrentContext(context) != kCGLNoError) return 0;
    glClearColor(r, g, b, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    uint32_t pixel = 0;
    glReadPixels(128, 128, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, &pixel);
    return pixel;
}

int UseSharedDrawable() {
    // The display opens first, so the shared drawable is not the first GL object made.
    CGLPixelFormatObj format = Apple_CGL::PixelFormatWindow();
    if (format == nullptr) return 2;
    CGLContextObj shared = Apple_CGL::OffscreenDrawableFBO::SharedContext();
    if (shared == nullptr) return 3;
    GLint framebuffer = 0;
    if (CGLSetCurrentContext(shared) != kCGLNoError) return 4;
    glGetIntegerv(GL_FRAMEBUFFER_BINDING_EXT, &framebuffer);
    uint32_t other = 0;
    std::thread([&] {
        // A shadow of the shared context: bind the drawable's framebuffer object here.
        if (CGLSetCurrentContext(shared) != kCGLNoError) return;
        glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, static_cast<GLuint>(framebuffer));
        other = ClearAndRead(shared, 0.0f, 1.0f, 0.0f);
        glFinish();
    }).join();
    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, static_cast<GLuint>(framebuffer));
    const uint32_t here = ClearAndRead(shared, 1.0f, 0.0f, 0.0f);
    if (other != 0xFF00FF00u || here != 0xFF0000FFu) {
        std::fprintf(stderr, "GLAtExit: read %08x and %08x\n", other, here);
        return 5;
    }
    return 0;  // the shared context stays current on this thread
}

// Releases its context when destroyed at exit.
struct StaticHolder {
    CGLContextObj mContext = nullptr;
    ~StaticHolder() { CGLReleaseContext(mContext); }
};

int KeepAContextInAStatic() {
    static StaticHolder holder;
    CGLContextObj context = nullptr;
    if (CGLCreateContext(Apple_CGL::PixelFormatWindow(), nullptr, &context) != kCGLNoError) return 2;
    holder.mContext = context;
    if (CGLSetCurrentContext(context) != kCGLNoError) return 3;
    glFinish();
    return CGLSetCurrentContext(nullptr) == kCGLNoError ? 0 : 4;
}

}  // namespace

int main(int argc, char **argv) {
    if (argc == 2 && std::strcmp(argv[1], "shared") == 0) return UseSharedDrawable();
    if (argc == 2 && std::strcmp(argv[1], "static") == 0) return KeepAContextInAStatic();
    std::fprintf(stderr, "usage: GLAtExit shared|static\n");
    return 1;
}
