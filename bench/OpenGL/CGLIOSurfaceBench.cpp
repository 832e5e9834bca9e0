// A 640 x 480 'BGRA' frame between the CPU and GL through a surface texture, against the
// same bytes moved by plain GL calls in one context.
//
// Upload: the CPU writes the frame into the surface under a write lock; a second context of
// the share group (the texture was bound in the first) reaches its sync point
// (CGLSyncIOSurfaceTextures) and glFinish. Floor: the frame copied into a plain buffer and
// given to glTexSubImage2D of a texture of the same size, and glFinish, in one context.
//
// Read-back: the frame is drawn (a clear) into the surface texture through a framebuffer
// object, glFinishRenderAPPLE reads it back into the surface, then a forked process (no GL)
// is woken through a pipe, copies the frame out under a read-only lock and answers through a
// pipe. Floor: the same clear into a plain texture, glReadPixels of it into a buffer, and
// the copy of that buffer, in one context. BM_PipeRoundTrip is the cost of waking the other
// process alone.
#include <OpenGL/CGLIOSurface.h>
#include <OpenGL/OpenGL.h>
#include <OpenGL/glext.h>

#include <IOSurface/IOSurface.h>

#include <CoreFoundation/CFNumber.h>

#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include <sys/wait.h>
#include <unistd.h>

namespace {

constexpr int kWidth = 640, kHeight = 480;
constexpr size_t kFrameBytes = size_t(kWidth) * kHeight * 4;

IOSurfaceRef MakeFrameSurface() {
    int values[] = {kWidth, kHeight, 4, 0x42475241};
    const void *keys[] = {kIOSurfaceWidth, kIOSurfaceHeight, kIOSurfaceBytesPerElement, kIOSurfacePixelFormat};
    const void *objects[4];
    for (int i = 0; i < 4; ++i) objects[i] = CFNumberCreate(nullptr, kCFNumberIntType, &values[i]);
    CFDictionaryRef properties =
        CFDictionaryCreate(nullptr, keys, objects, 4, &kCFTypeDictionaryKeyCallBacks, &kCFTypeDictionaryValueCallBacks);
    IOSurfaceRef surface = IOSurfaceCreate(properties);
    CFRelease(properties);
    for (int i = 0; i < 4; ++i) CFRelease(objects[i]);
    return surface;
}

// Two contexts of one share group, the second current for the benchmark's life.
struct Contexts {
    CGLPixelFormatObj format = nullptr;
    CGLContextObj first = nullptr;
    CGLContextObj second = nullptr;
    Contexts() {
        const CGLPixelFormatAttribute attributes[] = {kCGLPFAAccelerated, CGLPixelFormatAttribute(0)};
        GLint count = 0;
        if (CGLChoosePixelFormat(attributes, &format, &count) != kCGLNoError) return;
        CGLCreateContext(format, nullptr, &first);
        CGLCreateContext(format, first, &second);
        CGLSetCurrentContext(first);
    }
    ~Contexts() {
        CGLSetCurrentContext(nullptr);
        CGLReleaseContext(second);
        CGLReleaseContext(first);
        CGLReleasePixelFormat(format);
    }
    bool ok() const { return second != nullptr; }
};

GLuint NewRectangleTexture() {
    GLuint texture = 0;
    glGenTextures(1, &texture);
    glBindTexture(GL_TEXTURE_RECTANGLE, texture);
    return texture;
}

void BM_FrameIntoSurfaceTextureInAnotherContext(benchmark::State &state) {
    Contexts contexts;
    IOSurfaceRef surface = MakeFrameSurface();
    if (!contexts.ok() || surface == nullptr) {
        state.SkipWithError("no context or surface");
        if (surface) CFRelease(surface);
        return;
    }
    GLuint texture = NewRectangleTexture();
    CGLTexImageIOSurface2D(contexts.first, GL_TEXTURE_RECTANGLE, GL_RGBA8, kWidth, kHeight, GL_BGRA,
                           GL_UNSIGNED_INT_8_8_8_8_REV, surface, 0);
    glFinish();
    CGLSetCurrentContext(contexts.second);
    std::vector<uint8_t> frame(kFrameBytes, 0x40);
    uint8_t value = 0;
    for (auto _ : state) {
        frame[0] = ++value;
        IOSurfaceLock(surface, 0, nullptr);
        std::memcpy(IOSurfaceGetBaseAddress(surface), frame.data(), kFrameBytes);
        IOSurfaceUnlock(surface, 0, nullptr);
        CGLSyncIOSurfaceTextures(contexts.second);
        glFinish();
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(kFrameBytes));
    glDeleteTextures(1, &texture);
    CFRelease(surface);
}
BENCHMARK(BM_FrameIntoSurfaceTextureInAnotherContext)->Unit(benchmark::kMicrosecond);

void BM_FramePlainTexSubImage(benchmark::State &state) {
    Contexts contexts;
    if (!contexts.ok()) {
        state.SkipWithError("no context");
        return;
    }
    GLuint texture = NewRectangleTexture();
    glTexImage2D(GL_TEXTURE_RECTANGLE, 0, GL_RGBA8, kWidth, kHeight, 0, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, nullptr);
    std::vector<uint8_t> frame(kFrameBytes, 0x40), buffer(kFrameBytes);
    uint8_t value = 0;
    for (auto _ : state) {
        frame[0] = ++value;
        std::memcpy(buffer.data(), frame.data(), kFrameBytes);
        glTexSubImage2D(GL_TEXTURE_RECTANGLE, 0, 0, 0, kWidth, kHeight, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV,
                        buffer.data());
        glFinish();
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(kFrameBytes));
    glDeleteTextures(1, &texture);
}
BENCHMARK(BM_FramePlainTexSubImage)->Unit(benchmark::kMicrosecond);

// The other process: for each byte read from `wake`, copies the surface out under a
// read-only lock and writes its first byte to `answer`. It never calls GL (a lock that
// avoids the sync: the forked copy of this thread still names a current context).
[[noreturn]] void Reader(IOSurfaceRef surface, int wake, int answer) {
    std::vector<uint8_t> out(kFrameBytes);
    char byte;
    while (::read(wake, &byte, 1) == 1) {
        IOSurfaceLock(surface, kIOSurfaceLockReadOnly | kIOSurfaceLockAvoidSync, nullptr);
        std::memcpy(out.data(), IOSurfaceGetBaseAddress(surface), kFrameBytes);
        IOSurfaceUnlock(surface, kIOSurfaceLockReadOnly | kIOSurfaceLockAvoidSync, nullptr);
        byte = char(out[0]);
        if (::write(answer, &byte, 1) != 1) break;
    }
    ::_exit(0);
}

struct OtherProcess {
    pid_t pid = -1;
    int wake = -1, answer = -1;
    explicit OtherProcess(IOSurfaceRef surface) {
        int toChild[2], fromChild[2];
        if (::pipe(toChild) != 0 || ::pipe(fromChild) != 0) return;
        pid = ::fork();
        if (pid == 0) {
            ::close(toChild[1]);
            ::close(fromChild[0]);
            Reader(surface, toChild[0], fromChild[1]);
        }
        ::close(toChild[0]);
        ::close(fromChild[1]);
        wake = toChild[1];
        answer = fromChild[0];
    }
    ~OtherProcess() {
        ::close(wake);
        ::close(answer);
        if (pid > 0) ::waitpid(pid, nullptr, 0);
    }
    // Wakes the reader and answers the first byte it copied.
    int roundTrip() {
        char byte = 1;
        if (::write(wake, &byte, 1) != 1 || ::read(answer, &byte, 1) != 1) return -1;
        return uint8_t(byte);
    }
};

void BM_RenderedFrameReadInAnotherProcess(benchmark::State &state) {
    Contexts contexts;
    IOSurfaceRef surface = MakeFrameSurface();
    if (!contexts.ok() || surface == nullptr) {
        state.SkipWithError("no context or surface");
        if (surface) CFRelease(surface);
        return;
    }
    GLuint texture = NewRectangleTexture();
    CGLTexImageIOSurface2D(contexts.first, GL_TEXTURE_RECTANGLE, GL_RGBA8, kWidth, kHeight, GL_BGRA,
                           GL_UNSIGNED_INT_8_8_8_8_REV, surface, 0);
    GLuint framebuffer = 0;
    glGenFramebuffers(1, &framebuffer);
    glBindFramebuffer(GL_FRAMEBUFFER, framebuffer);
    glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_RECTANGLE, texture, 0);
    glViewport(0, 0, kWidth, kHeight);
    glFinish();
    OtherProcess other(surface);
    int value = 0;
    for (auto _ : state) {
        value = (value + 1) & 0xFF;
        glClearColor(float(value) / 255.0f, 0.5f, 0.25f, 1.0f);  // byte 0 is blue: 0x40
        glClear(GL_COLOR_BUFFER_BIT);
        glFinishRenderAPPLE();
        if (other.roundTrip() != 0x40) {
            state.SkipWithError("the other process did not see the frame");
            break;
        }
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(kFrameBytes));
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    glDeleteFramebuffers(1, &framebuffer);
    glDeleteTextures(1, &texture);
    CFRelease(surface);
}
BENCHMARK(BM_RenderedFrameReadInAnotherProcess)->Unit(benchmark::kMicrosecond)->UseRealTime();

void BM_RenderedFramePlainReadPixels(benchmark::State &state) {
    Contexts contexts;
    if (!contexts.ok()) {
        state.SkipWithError("no context");
        return;
    }
    GLuint texture = NewRectangleTexture();
    glTexImage2D(GL_TEXTURE_RECTANGLE, 0, GL_RGBA8, kWidth, kHeight, 0, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, nullptr);
    GLuint framebuffer = 0;
    glGenFramebuffers(1, &framebuffer);
    glBindFramebuffer(GL_FRAMEBUFFER, framebuffer);
    glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_RECTANGLE, texture, 0);
    glViewport(0, 0, kWidth, kHeight);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    std::vector<uint8_t> pixels(kFrameBytes), out(kFrameBytes);
    int value = 0;
    for (auto _ : state) {
        value = (value + 1) & 0xFF;
        glClearColor(float(value) / 255.0f, 0.5f, 0.25f, 1.0f);
        glClear(GL_COLOR_BUFFER_BIT);
        glReadPixels(0, 0, kWidth, kHeight, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, pixels.data());
        std::memcpy(out.data(), pixels.data(), kFrameBytes);
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(kFrameBytes));
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    glDeleteFramebuffers(1, &framebuffer);
    glDeleteTextures(1, &texture);
}
BENCHMARK(BM_RenderedFramePlainReadPixels)->Unit(benchmark::kMicrosecond);

void BM_PipeRoundTrip(benchmark::State &state) {
    int toChild[2], fromChild[2];
    if (::pipe(toChild) != 0 || ::pipe(fromChild) != 0) {
        state.SkipWithError("no pipe");
        return;
    }
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::close(toChild[1]);
        ::close(fromChild[0]);
        char byte;
        while (::read(toChild[0], &byte, 1) == 1)
            if (::write(fromChild[1], &byte, 1) != 1) break;
        ::_exit(0);
    }
    ::close(toChild[0]);
    ::close(fromChild[1]);
    for (auto _ : state) {
        char byte = 1;
        if (::write(toChild[1], &byte, 1) != 1 || ::read(fromChild[0], &byte, 1) != 1) break;
    }
    ::close(toChild[1]);
    ::close(fromChild[0]);
    ::waitpid(pid, nullptr, 0);
}
BENCHMARK(BM_PipeRoundTrip)->Unit(benchmark::kMicrosecond)->UseRealTime();

}  // namespace
