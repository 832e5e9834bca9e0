// CGL on EGL: pixel formats, contexts, sharing, the current context per thread (including a
// logical context current on several threads at once), locking, and the flush functions.
#include <OpenGL/CGDirectDisplay.h>
#include <OpenGL/NSOpenGL.h>
#include <OpenGL/OpenGL.h>
#include <OpenGL/glext.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <future>
#include <string>
#include <thread>
#include <vector>

namespace {

const CGLPixelFormatAttribute kWindowAttributes[] = {
    kCGLPFANoRecovery, kCGLPFAAccelerated, kCGLPFADoubleBuffer, kCGLPFABackingStore,
    kCGLPFAColorSize,  CGLPixelFormatAttribute(24), kCGLPFAAlphaSize, CGLPixelFormatAttribute(8),
    kCGLPFADepthSize,  CGLPixelFormatAttribute(8),  CGLPixelFormatAttribute(0)};

CGLPixelFormatObj ChooseWindowFormat() {
    CGLPixelFormatObj format = nullptr;
    GLint count = 0;
    EXPECT_EQ(CGLChoosePixelFormat(kWindowAttributes, &format, &count), kCGLNoError);
    return format;
}

// A context of its own, with its format released (the context keeps a reference).
CGLContextObj NewContext(CGLContextObj share = nullptr) {
    CGLPixelFormatObj format = ChooseWindowFormat();
    CGLContextObj context = nullptr;
    EXPECT_EQ(CGLCreateContext(format, share, &context), kCGLNoError);
    CGLReleasePixelFormat(format);
    return context;
}

// A 2 x 2 RGBA texture with the given texels, made on the current context.
GLuint MakeTexture(const uint32_t (&texels)[4]) {
    GLuint texture = 0;
    glGenTextures(1, &texture);
    glBindTexture(GL_TEXTURE_2D, texture);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, 2, 2, 0, GL_RGBA, GL_UNSIGNED_BYTE, texels);
    glBindTexture(GL_TEXTURE_2D, 0);
    return texture;
}

// The texels of a 2 x 2 texture, read on the current context.
std::vector<uint32_t> ReadTexture(GLuint texture) {
    std::vector<uint32_t> texels(4, 0);
    glBindTexture(GL_TEXTURE_2D, texture);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, texels.data());
    glBindTexture(GL_TEXTURE_2D, 0);
    return texels;
}

constexpr uint32_t kTexels[4] = {0xFF0000FFu, 0xFF00FF00u, 0xFFFF0000u, 0xFFFFFFFFu};

class CGLTest : public ::testing::Test {
protected:
    void TearDown() override {
        CGLSetCurrentContext(nullptr);
        for (CGLContextObj context : mContexts) CGLReleaseContext(context);
    }
    CGLContextObj Make(CGLContextObj share = nullptr) {
        CGLContextObj context = NewContext(share);
        mContexts.push_back(context);
        return context;
    }
    std::vector<CGLContextObj> mContexts;
};

// ---- pixel formats --------------------------------------------------------------------------

struct FormatCase {
    const char *name;
    std::vector<int32_t> attributes;  // without the closing 0
    CGLError expected;
};

TEST(CGLPixelFormat, ChoosesOrRejectsAttributeLists) {
    const GLint mask = static_cast<GLint>(CGDisplayIDToOpenGLDisplayMask(CGMainDisplayID()));
    const std::vector<int32_t> window = {72, 73, 5, 76, 8, 24, 11, 8, 12, 8};
    std::vector<int32_t> display = window;
    display.insert(display.end(), {84, mask});
    std::vector<int32_t> pbuffer = display;
    pbuffer.push_back(90);
    const FormatCase cases[] = {
        {"window", window, kCGLNoError},
        {"display", display, kCGLNoError},
        {"pbuffer", pbuffer, kCGLNoError},
        {"empty", {}, kCGLNoError},
        {"unknown attribute", {5, 4242}, kCGLBadAttribute},
        {"negative depth", {12, -1}, kCGLBadValue},
        {"mask of another display", {84, 2}, kCGLBadDisplay},
    };
    for (const FormatCase &c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<CGLPixelFormatAttribute> list;
        for (int32_t value : c.attributes) list.push_back(static_cast<CGLPixelFormatAttribute>(value));
        list.push_back(static_cast<CGLPixelFormatAttribute>(0));
        CGLPixelFormatObj format = reinterpret_cast<CGLPixelFormatObj>(1);
        GLint count = -1;
        EXPECT_EQ(CGLChoosePixelFormat(list.data(), &format, &count), c.expected);
        if (c.expected == kCGLNoError) {
            EXPECT_NE(format, nullptr);
            EXPECT_EQ(count, 1);
        } else {
            EXPECT_EQ(format, nullptr);
            EXPECT_EQ(count, 0);
        }
        CGLReleasePixelFormat(format);
    }
    EXPECT_EQ(CGLChoosePixelFormat(kWindowAttributes, nullptr, nullptr), kCGLBadAddress);
}

TEST(CGLPixelFormat, ContextsKeepTheirFormat) {
    CGLPixelFormatObj format = ChooseWindowFormat();
    ASSERT_NE(format, nullptr);
    EXPECT_EQ(CGLGetPixelFormatRetainCount(format), 1u);
    CGLContextObj context = nullptr;
    ASSERT_EQ(CGLCreateContext(format, nullptr, &context), kCGLNoError);
    EXPECT_EQ(CGLGetPixelFormat(context), format);
    EXPECT_EQ(CGLGetPixelFormatRetainCount(format), 2u);
    EXPECT_EQ(CGLDestroyPixelFormat(format), kCGLNoError);
    EXPECT_EQ(CGLGetPixelFormatRetainCount(CGLGetPixelFormat(context)), 1u);
    EXPECT_EQ(CGLDestroyContext(context), kCGLNoError);

    EXPECT_EQ(CGLCreateContext(nullptr, nullptr, &context), kCGLBadPixelFormat);
    EXPECT_EQ(context, nullptr);
    EXPECT_EQ(CGLDestroyPixelFormat(nullptr), kCGLBadPixelFormat);
}

// ---- contexts -------------------------------------------------------------------------------

TEST_F(CGLTest, RetainReleaseAndTheCurrentThreadsReference) {
    CGLContextObj context = Make();
    ASSERT_NE(context, nullptr);
    EXPECT_EQ(CGLRetainContext(context), context);
    EXPECT_EQ(CGLGetContextRetainCount(context), 2u);
    CGLReleaseContext(context);

    ASSERT_EQ(CGLSetCurrentContext(context), kCGLNoError);
    EXPECT_EQ(CGLGetCurrentContext(), context);
    EXPECT_EQ(CGLGetContextRetainCount(context), 2u) << "the thread holds its current context";
    ASSERT_EQ(CGLSetCurrentContext(nullptr), kCGLNoError);
    EXPECT_EQ(CGLGetCurrentContext(), nullptr);
    EXPECT_EQ(CGLGetContextRetainCount(context), 1u);

    GLint screen = -1;
    EXPECT_EQ(CGLGetVirtualScreen(context, &screen), kCGLNoError);
    EXPECT_EQ(screen, 0);
    EXPECT_EQ(CGLGetVirtualScreen(nullptr, &screen), kCGLBadContext);
    EXPECT_EQ(CGLGetVirtualScreen(context, nullptr), kCGLBadAddress);
}

TEST_F(CGLTest, DestroyingTheCurrentContextLeavesNoneCurrent) {
    CGLContextObj context = NewContext();
    ASSERT_EQ(CGLSetCurrentContext(context), kCGLNoError);
    EXPECT_EQ(CGLDestroyContext(context), kCGLNoError);
    EXPECT_EQ(CGLGetCurrentContext(), nullptr);
    EXPECT_EQ(CGLDestroyContext(nullptr), kCGLBadContext);
}

TEST_F(CGLTest, NSOpenGLContextHoldsItsCGLContext) {
    CGLContextObj context = Make();
    {
        NSOpenGLContext holder(context);
        EXPECT_EQ(holder.CGLContextObj(), context);
        EXPECT_EQ(CGLGetContextRetainCount(context), 2u);
    }
    EXPECT_EQ(CGLGetContextRetainCount(context), 1u);
}

// The compatibility profile: fixed-function drawing through an ARB fragment program into a
// rectangle texture attached to an EXT framebuffer object.
TEST_F(CGLTest, CompatibilityProfileDrawsWithTheOldInterfaces) {
    ASSERT_EQ(CGLSetCurrentContext(Make()), kCGLNoError);
    const std::string extensions = reinterpret_cast<const char *>(glGetString(GL_EXTENSIONS));
    for (const char *name : {"GL_ARB_shader_objects", "GL_ARB_vertex_shader", "GL_ARB_fragment_shader",
                             "GL_ARB_shading_language_100", "GL_ARB_fragment_program", "GL_EXT_framebuffer_object",
                             "GL_ARB_texture_rectangle"}) {
        EXPECT_NE((" " + extensions + " ").find(std::string(" ") + name + " "), std::string::npos) << name;
    }

    GLuint texture = 0, framebuffer = 0, program = 0;
    glGenTextures(1, &texture);
    glBindTexture(GL_TEXTURE_RECTANGLE_ARB, texture);
    glTexImage2D(GL_TEXTURE_RECTANGLE_ARB, 0, GL_RGBA8, 3, 2, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
    glGenFramebuffersEXT(1, &framebuffer);
    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, framebuffer);
    glFramebufferTexture2DEXT(GL_FRAMEBUFFER_EXT, GL_COLOR_ATTACHMENT0_EXT, GL_TEXTURE_RECTANGLE_ARB, texture, 0);
    ASSERT_EQ(glCheckFramebufferStatusEXT(GL_FRAMEBUFFER_EXT), GLenum(GL_FRAMEBUFFER_COMPLETE_EXT));

    const char *source = "!!ARBfp1.0\nPARAM colour = {0.0, 1.0, 0.0, 1.0};\nMOV result.color, colour;\nEND\n";
    glGenProgramsARB(1, &program);
    glBindProgramARB(GL_FRAGMENT_PROGRAM_ARB, program);
    glProgramStringARB(GL_FRAGMENT_PROGRAM_ARB, GL_PROGRAM_FORMAT_ASCII_ARB, GLsizei(std::strlen(source)), source);
    ASSERT_EQ(glGetError(), GLenum(GL_NO_ERROR));
    glEnable(GL_FRAGMENT_PROGRAM_ARB);

    glViewport(0, 0, 3, 2);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(0, 1, 0, 1, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glBegin(GL_QUADS);
    glVertex2f(0, 0);
    glVertex2f(1, 0);
    glVertex2f(1, 1);
    glVertex2f(0, 1);
    glEnd();
    glDisable(GL_FRAGMENT_PROGRAM_ARB);

    uint32_t pixels[6] = {};
    glReadPixels(0, 0, 3, 2, GL_RGBA, GL_UNSIGNED_BYTE, pixels);
    for (uint32_t pixel : pixels) EXPECT_EQ(pixel, 0xFF00FF00u);
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));

    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, 0);
    glDeleteFramebuffersEXT(1, &framebuffer);
    glDeleteTextures(1, &texture);
    glDeleteProgramsARB(1, &program);
}

TEST_F(CGLTest, ShareContextSeesTheTextures) {
    CGLContextObj root = Make();
    CGLContextObj shared = Make(root);
    CGLContextObj alone = Make();
    ASSERT_EQ(CGLSetCurrentContext(root), kCGLNoError);
    const GLuint texture = MakeTexture(kTexels);
    glFinish();

    ASSERT_EQ(CGLSetCurrentContext(shared), kCGLNoError);
    EXPECT_TRUE(glIsTexture(texture));
    EXPECT_EQ(ReadTexture(texture), std::vector<uint32_t>(std::begin(kTexels), std::end(kTexels)));

    ASSERT_EQ(CGLSetCurrentContext(alone), kCGLNoError);
    EXPECT_FALSE(glIsTexture(texture));
}

// ---- threads --------------------------------------------------------------------------------

TEST_F(CGLTest, TheCurrentContextIsPerThread) {
    CGLContextObj context = Make();
    ASSERT_EQ(CGLSetCurrentContext(context), kCGLNoError);
    std::thread([] { EXPECT_EQ(CGLGetCurrentContext(), nullptr); }).join();
    EXPECT_EQ(CGLGetCurrentContext(), context);
}

// A context current on two threads at once: the second gets a shadow in the same share
// group, sees the objects of the first, and has GL state of its own. Once the first thread
// lets go, the next thread gets the context's own state back.
TEST_F(CGLTest, ContextCurrentOnTwoThreadsSharesObjectsNotState) {
    CGLContextObj context = Make();
    ASSERT_EQ(CGLSetCurrentContext(context), kCGLNoError);
    const GLuint texture = MakeTexture(kTexels);
    glClearColor(0.25f, 0.5f, 0.75f, 1.0f);
    glFinish();

    auto clearRed = [] {
        GLfloat colour[4] = {};
        glGetFloatv(GL_COLOR_CLEAR_VALUE, colour);
        return colour[0];
    };
    std::thread([&] {
        ASSERT_EQ(CGLSetCurrentContext(context), kCGLNoError);
        EXPECT_EQ(CGLGetCurrentContext(), context);
        EXPECT_TRUE(glIsTexture(texture));
        EXPECT_EQ(ReadTexture(texture), std::vector<uint32_t>(std::begin(kTexels), std::end(kTexels)));
        EXPECT_EQ(clearRed(), 0.0f) << "a shadow starts with its own state";
        glClearColor(1.0f, 1.0f, 1.0f, 1.0f);
        EXPECT_EQ(CGLGetContextRetainCount(context), 3u);
    }).join();
    EXPECT_EQ(CGLGetContextRetainCount(context), 2u) << "the ended thread gave its reference back";
    EXPECT_EQ(clearRed(), 0.25f);

    ASSERT_EQ(CGLSetCurrentContext(nullptr), kCGLNoError);
    std::thread([&] {
        ASSERT_EQ(CGLSetCurrentContext(context), kCGLNoError);
        EXPECT_EQ(clearRed(), 0.25f) << "the free primary, with the context's state";
        CGLSetCurrentContext(nullptr);
    }).join();
}

// A framebuffer object made on one thread's context is bound and drawn into by a second
// thread that has the context current at the same time (so it has a shadow), and the
// result is read back on both. The shadows rely on Mesa sharing framebuffer objects across
// the share group, which the OpenGL standard does not promise; this test keeps that
// reliance checked.
TEST_F(CGLTest, ShadowDrawsIntoAFramebufferObjectOfThePrimary) {
    CGLContextObj context = Make();
    ASSERT_EQ(CGLSetCurrentContext(context), kCGLNoError);
    GLuint colour = 0, framebuffer = 0;
    glGenRenderbuffersEXT(1, &colour);
    glBindRenderbufferEXT(GL_RENDERBUFFER_EXT, colour);
    glRenderbufferStorageEXT(GL_RENDERBUFFER_EXT, GL_RGBA8, 8, 8);
    glGenFramebuffersEXT(1, &framebuffer);
    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, framebuffer);
    glFramebufferRenderbufferEXT(GL_FRAMEBUFFER_EXT, GL_COLOR_ATTACHMENT0_EXT, GL_RENDERBUFFER_EXT, colour);
    ASSERT_EQ(glCheckFramebufferStatusEXT(GL_FRAMEBUFFER_EXT), GLenum(GL_FRAMEBUFFER_COMPLETE_EXT));
    glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, 0);
    glFinish();

    auto pixel = [](int x, int y) {
        uint32_t value = 0;
        glReadPixels(x, y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, &value);
        return value;
    };
    std::thread([&] {
        ASSERT_EQ(CGLSetCurrentContext(context), kCGLNoError);  // a shadow: the primary is taken
        EXPECT_TRUE(glIsFramebufferEXT(framebuffer));
        glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, framebuffer);
        EXPECT_EQ(glCheckFramebufferStatusEXT(GL_FRAMEBUFFER_EXT), GLenum(GL_FRAMEBUFFER_COMPLETE_EXT));
        glViewport(0, 0, 8, 8);
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        glOrtho(0, 8, 0, 8, -1, 1);
        glColor4ub(0, 0, 255, 255);
        glBegin(GL_QUADS);  // the right half blue
        glVertex2i(4, 0);
        glVertex2i(8, 0);
        glVertex2i(8, 8);
        glVertex2i(4, 8);
        glEnd();
        EXPECT_EQ(pixel(1, 1), 0xFF000000u);
        EXPECT_EQ(pixel(6, 6), 0xFFFF0000u);
        EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
        glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, 0);
        glFinish();
        CGLSetCurrentContext(nullptr);
    }).join();

    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, framebuffer);  // see the shadow's drawing on the next bind
    EXPECT_EQ(pixel(1, 1), 0xFF000000u);
    EXPECT_EQ(pixel(6, 6), 0xFFFF0000u);
    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, 0);
    glDeleteFramebuffersEXT(1, &framebuffer);
    glDeleteRenderbuffersEXT(1, &colour);
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}

// Many threads draw with one logical context at the same time and in turns, and end with
// it current; then the context is still usable (every EGL context was given back).
TEST_F(CGLTest, ManyThreadsUseOneContext) {
    CGLContextObj context = Make();
    constexpr int kThreads = 6;
    constexpr int kRounds = 20;
    for (int pass = 0; pass < 3; ++pass) {
        std::atomic<int> failures{0};
        std::vector<std::thread> threads;
        for (int t = 0; t < kThreads; ++t) {
            threads.emplace_back([&, t] {
                for (int round = 0; round < kRounds; ++round) {
                    if (CGLSetCurrentContext(context) != kCGLNoError) {
                        ++failures;
                        return;
                    }
                    const uint32_t value = 0xFF000000u | uint32_t(t * 40 + round);
                    const uint32_t texels[4] = {value, value, value, value};
                    const GLuint texture = MakeTexture(texels);
                    if (ReadTexture(texture) != std::vector<uint32_t>(4, value)) ++failures;
                    glDeleteTextures(1, &texture);
                    if (glGetError() != GL_NO_ERROR) ++failures;
                    if (round % 3 == 2 && CGLSetCurrentContext(nullptr) != kCGLNoError) ++failures;
                }
            });
        }
        for (std::thread &thread : threads) thread.join();
        EXPECT_EQ(failures.load(), 0);
        EXPECT_EQ(CGLGetContextRetainCount(context), 1u);
        ASSERT_EQ(CGLSetCurrentContext(context), kCGLNoError);
        ASSERT_EQ(CGLSetCurrentContext(nullptr), kCGLNoError);
    }
}

// glFinishRenderAPPLE completes drawing on one thread so that another thread, with a shared
// context, reads the result.
TEST_F(CGLTest, FinishRenderMakesDrawingVisibleToAnotherThread) {
    CGLContextObj root = Make();
    CGLContextObj worker = Make(root);
    ASSERT_EQ(CGLSetCurrentContext(root), kCGLNoError);
    const uint32_t black[4] = {0xFF000000u, 0xFF000000u, 0xFF000000u, 0xFF000000u};
    const GLuint texture = MakeTexture(black);
    glFinishRenderAPPLE();

    std::thread([&] {
        ASSERT_EQ(CGLSetCurrentContext(worker), kCGLNoError);
        GLuint framebuffer = 0;
        glGenFramebuffersEXT(1, &framebuffer);
        glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, framebuffer);
        glFramebufferTexture2DEXT(GL_FRAMEBUFFER_EXT, GL_COLOR_ATTACHMENT0_EXT, GL_TEXTURE_2D, texture, 0);
        glClearColor(0.0f, 0.0f, 1.0f, 1.0f);
        glClear(GL_COLOR_BUFFER_BIT);
        glFlushRenderAPPLE();
        glFinishRenderAPPLE();
        glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, 0);
        glDeleteFramebuffersEXT(1, &framebuffer);
        CGLSetCurrentContext(nullptr);
    }).join();

    glBindTexture(GL_TEXTURE_2D, 0);  // see the other context's change on the next bind
    EXPECT_EQ(ReadTexture(texture), std::vector<uint32_t>(4, 0xFFFF0000u));
}

TEST_F(CGLTest, FlushDrawableWithoutAWindowFlushes) {
    CGLContextObj context = Make();
    EXPECT_EQ(CGLFlushDrawable(context), kCGLBadContext) << "not current";
    ASSERT_EQ(CGLSetCurrentContext(context), kCGLNoError);
    EXPECT_EQ(CGLFlushDrawable(context), kCGLNoError);
    glSwapAPPLE();
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
    EXPECT_EQ(CGLFlushDrawable(nullptr), kCGLBadContext);
}

TEST_F(CGLTest, NativeWindowNeedsAnExistingX11Window) {
    CGLContextObj context = Make();
    const char *display = std::getenv("DISPLAY");
    const bool x11 = display != nullptr && *display != '\0';
    // An id no X server hands out to a client (the top bits are never set).
    EXPECT_EQ(CGLSetNativeWindow(context, 0x7FFFFFF0ul), x11 ? kCGLBadWindow : kCGLBadConnection);
    EXPECT_EQ(CGLSetNativeWindow(context, 0), kCGLNoError);
    EXPECT_EQ(CGLSetNativeWindow(nullptr, 0), kCGLBadContext);
}

// ---- locking --------------------------------------------------------------------------------

TEST_F(CGLTest, LockIsRecursiveAndExcludesOtherThreads) {
    CGLContextObj context = Make();
    ASSERT_EQ(CGLLockContext(context), kCGLNoError);
    ASSERT_EQ(CGLLockContext(context), kCGLNoError);

    std::atomic<bool> locked{false};
    std::thread other([&] {
        EXPECT_EQ(CGLUnlockContext(context), kCGLBadState) << "not this thread's lock";
        EXPECT_EQ(CGLLockContext(context), kCGLNoError);
        locked = true;
        EXPECT_EQ(CGLUnlockContext(context), kCGLNoError);
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_FALSE(locked.load());
    ASSERT_EQ(CGLUnlockContext(context), kCGLNoError);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_FALSE(locked.load()) << "still locked once";
    ASSERT_EQ(CGLUnlockContext(context), kCGLNoError);
    other.join();
    EXPECT_TRUE(locked.load());

    EXPECT_EQ(CGLUnlockContext(context), kCGLBadState);
    EXPECT_EQ(CGLLockContext(nullptr), kCGLBadContext);
    EXPECT_EQ(CGLUnlockContext(nullptr), kCGLBadContext);
}

}  // namespace
