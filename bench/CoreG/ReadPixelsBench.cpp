// A 640 x 480 OpenGL read-back made into top-row-first ARGB: glReadPixels (GL_BGRA,
// GL_UNSIGNED_INT_8_8_8_8_REV) from a framebuffer object followed by the swizzle, the
// swizzle alone in its three modes, and the floor: a memcpy of the same 1.2 MB.
// The GL context is a headless one (CGL over EGL surfaceless), so no display is needed.
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include <CoreG/GL/namespace_OpenGL_ReadPixels.h>
#include <OpenGL/OpenGL.h>
#include <OpenGL/gl.h>

namespace {

constexpr int kWidth = 640;
constexpr int kHeight = 480;
constexpr unsigned kRowBytes = kWidth * 4;
constexpr size_t kBytes = size_t(kRowBytes) * kHeight;

std::vector<unsigned char> Picture() {
    std::vector<unsigned char> bytes(kBytes);
    for (size_t i = 0; i < kBytes; ++i) bytes[i] = static_cast<unsigned char>(i * 7 + (i >> 11));
    return bytes;
}

// A current context with a complete 640 x 480 RGBA8 framebuffer object bound.
struct Framebuffer {
    CGLContextObj context = nullptr;
    GLuint framebuffer = 0, colour = 0;
    bool ok = false;

    Framebuffer() {
        const CGLPixelFormatAttribute attributes[] = {kCGLPFAColorSize, CGLPixelFormatAttribute(24),
                                                      kCGLPFAAlphaSize, CGLPixelFormatAttribute(8),
                                                      CGLPixelFormatAttribute(0)};
        CGLPixelFormatObj format = nullptr;
        GLint count = 0;
        if (CGLChoosePixelFormat(attributes, &format, &count) != kCGLNoError || format == nullptr) return;
        const CGLError made = CGLCreateContext(format, nullptr, &context);
        CGLReleasePixelFormat(format);
        if (made != kCGLNoError || CGLSetCurrentContext(context) != kCGLNoError) return;
        glGenFramebuffersEXT(1, &framebuffer);
        glGenRenderbuffersEXT(1, &colour);
        glBindRenderbufferEXT(GL_RENDERBUFFER_EXT, colour);
        glRenderbufferStorageEXT(GL_RENDERBUFFER_EXT, GL_RGBA8, kWidth, kHeight);
        glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, framebuffer);
        glFramebufferRenderbufferEXT(GL_FRAMEBUFFER_EXT, GL_COLOR_ATTACHMENT0_EXT, GL_RENDERBUFFER_EXT, colour);
        if (glCheckFramebufferStatusEXT(GL_FRAMEBUFFER_EXT) != GL_FRAMEBUFFER_COMPLETE_EXT) return;
        // Something other than one colour in it: the picture drawn as pixels.
        const std::vector<unsigned char> picture = Picture();
        glViewport(0, 0, kWidth, kHeight);
        glRasterPos2f(-1, -1);
        glDrawPixels(kWidth, kHeight, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, picture.data());
        glFinish();
        ok = glGetError() == GL_NO_ERROR;
    }
    ~Framebuffer() {
        if (context == nullptr) return;
        glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, 0);
        glDeleteRenderbuffersEXT(1, &colour);
        glDeleteFramebuffersEXT(1, &framebuffer);
        CGLSetCurrentContext(nullptr);
        CGLReleaseContext(context);
    }
};

void ReadBack(unsigned char *pixels) {
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    glReadPixels(0, 0, kWidth, kHeight, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, pixels);
}

void BM_ReadBackAndSwizzle(benchmark::State &state) {
    Framebuffer framebuffer;
    if (!framebuffer.ok) {
        state.SkipWithError("no OpenGL framebuffer object");
        return;
    }
    const bool swizzle = state.range(0) != 0;
    std::vector<unsigned char> pixels(kBytes);
    for (auto _ : state) {
        ReadBack(pixels.data());
        if (swizzle) OpenGL::SwizzleFramebufferToARGB(pixels.data(), kHeight, kRowBytes, true, false);
        benchmark::DoNotOptimize(pixels.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * int64_t(kBytes));
    state.SetLabel(swizzle ? "glReadPixels + swizzle (flipped)" : "glReadPixels alone");
}
BENCHMARK(BM_ReadBackAndSwizzle)->Arg(1)->Arg(0)->Unit(benchmark::kMicrosecond);

// range(0): 0 plain, 1 flipped, 2 flipped and mirrored.
void BM_Swizzle(benchmark::State &state) {
    std::vector<unsigned char> pixels = Picture();
    const bool flip = state.range(0) >= 1;
    const bool mirrored = state.range(0) == 2;
    for (auto _ : state) {
        OpenGL::SwizzleFramebufferToARGB(pixels.data(), kHeight, kRowBytes, flip, mirrored);
        benchmark::DoNotOptimize(pixels.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * int64_t(kBytes));
    state.SetLabel(mirrored ? "flipped, mirrored" : flip ? "flipped" : "in place");
}
BENCHMARK(BM_Swizzle)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMicrosecond);

// The floor: the same bytes copied once.
void BM_Memcpy(benchmark::State &state) {
    const std::vector<unsigned char> source = Picture();
    std::vector<unsigned char> target(kBytes);
    for (auto _ : state) {
        std::memcpy(target.data(), source.data(), kBytes);
        benchmark::DoNotOptimize(target.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * int64_t(kBytes));
}
BENCHMARK(BM_Memcpy)->Unit(benchmark::kMicrosecond);

}  // namespace
