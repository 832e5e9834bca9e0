// Offscreen drawables (plain and framebuffer object), the process-wide shared context, and
// the flush step of the views.
#include <CoreG/GL/namespace_Apple_CGL_OffscreenDrawable.h>
#include <CoreG/GL/namespace_OpenGL_CGLContextState.h>
#include <CoreG/GL/namespace_OpenGL_FlushFn.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <future>
#include <thread>
#include <vector>

#include "GLTestSupport.h"

namespace {

using Apple_CGL::OffscreenDrawable;
using Apple_CGL::OffscreenDrawableFBO;
using coreg_test::PixelAt;

class OffscreenDrawableTest : public ::testing::Test {
protected:
    void TearDown() override { CGLSetCurrentContext(nullptr); }
};

// Whether another thread can take the context's lock now.
bool LockableElsewhere(CGLContextObj context) {
    auto done = std::async(std::launch::async, [context] {
        CGLLockContext(context);
        CGLUnlockContext(context);
    });
    return done.wait_for(std::chrono::seconds(10)) == std::future_status::ready;
}

TEST_F(OffscreenDrawableTest, FramebufferDrawableHasWholePixelsAndRendersExactly) {
    OffscreenDrawableFBO drawable;
    ASSERT_TRUE(drawable.Construct(640.9f, 480.2f, nullptr, nullptr));
    EXPECT_EQ(drawable.GetWidth(), 640u);
    EXPECT_EQ(drawable.GetHeight(), 480u);
    EXPECT_EQ(CGLGetCurrentContext(), drawable.GetContext());
    GLint viewport[4] = {};
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ(viewport[2], 640);
    EXPECT_EQ(viewport[3], 480);
    EXPECT_EQ(PixelAt(639, 479), 0xFF000000u) << "cleared to opaque black";

    // Clear to a known colour, then draw a rectangle in pixel coordinates.
    ASSERT_TRUE(drawable.BeginDrawing(false));
    drawable.Viewport(false);
    drawable.Clear(51 / 255.0f, 102 / 255.0f, 204 / 255.0f, 1.0f);
    glColor4ub(10, 20, 30, 255);
    glBegin(GL_QUADS);
    glVertex2i(100, 200);
    glVertex2i(300, 200);
    glVertex2i(300, 400);
    glVertex2i(100, 400);
    glEnd();
    std::vector<uint32_t> pixels(640 * 480);
    glReadPixels(0, 0, 640, 480, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
    size_t inside = 0, outside = 0;
    for (int y = 0; y < 480; ++y) {
        for (int x = 0; x < 640; ++x) {
            const bool inRectangle = x >= 100 && x < 300 && y >= 200 && y < 400;
            const uint32_t expected = inRectangle ? 0xFF1E140Au : 0xFFCC6633u;
            if (pixels[size_t(y) * 640 + size_t(x)] == expected) ++(inRectangle ? inside : outside);
        }
    }
    EXPECT_EQ(inside, 200u * 200u);
    EXPECT_EQ(outside, 640u * 480u - 200u * 200u);

    EXPECT_TRUE(drawable.Flush(true));
    GLint bound = -1;
    glGetIntegerv(GL_FRAMEBUFFER_BINDING_EXT, &bound);
    EXPECT_EQ(bound, 0) << "the flush binds the window system's framebuffer";
    EXPECT_TRUE(OffscreenDrawableFBO::HasFramebufferObjectExtension());
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}

TEST_F(OffscreenDrawableTest, IncompleteFramebufferFailsAndKeepsTheContext) {
    GLint largest = 0;
    {
        OffscreenDrawableFBO probe(16, 16);
        glGetIntegerv(GL_MAX_RENDERBUFFER_SIZE_EXT, &largest);
    }
    ASSERT_GT(largest, 0);
    const float sizes[][2] = {{float(largest) + 1.0f, 16.0f}, {0.5f, 0.5f}, {-3.0f, 16.0f}};
    for (const auto &size : sizes) {
        SCOPED_TRACE(size[0]);
        OffscreenDrawableFBO drawable;
        EXPECT_FALSE(drawable.Construct(size[0], size[1], nullptr, nullptr));
        EXPECT_NE(drawable.GetContext(), nullptr);
    }
}

TEST_F(OffscreenDrawableTest, PlainDrawableFlushAnswersWhetherItFlushed) {
    OffscreenDrawable drawable;
    EXPECT_FALSE(drawable.BeginDrawing(true)) << "no context yet";
    EXPECT_FALSE(drawable.Flush(true));
    ASSERT_TRUE(drawable.Construct(32, 32, nullptr, nullptr));
    EXPECT_FALSE(drawable.Flush(true)) << "its context is not current";
    ASSERT_TRUE(drawable.BeginDrawing(true));
    EXPECT_TRUE(drawable.Flush(true));
    EXPECT_FALSE(drawable.Flush(false));

    ASSERT_EQ(CGLLockContext(drawable.GetContext()), kCGLNoError);
    EXPECT_TRUE(drawable.FlushAndUnlock(true));
    EXPECT_TRUE(LockableElsewhere(drawable.GetContext()));
    ASSERT_EQ(CGLLockContext(drawable.GetContext()), kCGLNoError);
    EXPECT_FALSE(drawable.FlushAndUnlock(false));
    EXPECT_TRUE(LockableElsewhere(drawable.GetContext()));
}

TEST_F(OffscreenDrawableTest, DrawablesHoldTheirContextAndGiveTheCallersBack) {
    CGLContextObj mine = coreg_test::NewContext();
    CGLContextObj held = nullptr;
    {
        OffscreenDrawableFBO drawable;
        ASSERT_TRUE(drawable.Construct(8, 8, mine, nullptr));
        held = CGLRetainContext(drawable.GetContext());
        EXPECT_EQ(CGLGetContextRetainCount(held), 3u) << "the creator's, the drawable's and this thread's";

        drawable.SetContext(drawable.GetContext());  // the same context again stays alive
        EXPECT_EQ(drawable.GetContext(), held);
        ASSERT_EQ(CGLSetCurrentContext(mine), kCGLNoError);
    }
    EXPECT_EQ(CGLGetCurrentContext(), mine) << "destroying the drawable puts the caller's context back";
    EXPECT_EQ(CGLGetContextRetainCount(held), 1u);
    CGLReleaseContext(held);
    CGLSetCurrentContext(nullptr);
    CGLReleaseContext(mine);
}

TEST_F(OffscreenDrawableTest, SharedContextIsOneContextAcrossThreads) {
    CGLContextObj mine = coreg_test::NewContext();
    ASSERT_EQ(CGLSetCurrentContext(mine), kCGLNoError);
    std::vector<std::future<CGLContextObj>> answers;
    for (int i = 0; i < 4; ++i)
        answers.push_back(std::async(std::launch::async, [] { return OffscreenDrawableFBO::SharedContext(); }));
    const CGLContextObj shared = OffscreenDrawableFBO::SharedContext();
    ASSERT_NE(shared, nullptr);
    EXPECT_EQ(CGLGetCurrentContext(), mine) << "the caller's context stays current";
    for (auto &answer : answers) EXPECT_EQ(answer.get(), shared);

    // Used on two threads at once, the shared context shares its objects.
    GLuint texture = 0;
    {
        OpenGL::CGLContextState scope(shared);
        const uint32_t texel = 0xFF0080FFu;
        glGenTextures(1, &texture);
        glBindTexture(GL_TEXTURE_2D, texture);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, 1, 1, 0, GL_RGBA, GL_UNSIGNED_BYTE, &texel);
        glBindTexture(GL_TEXTURE_2D, 0);
        glFinish();
        std::thread([&] {
            OpenGL::CGLContextState theirs(shared);
            uint32_t read = 0;
            glBindTexture(GL_TEXTURE_2D, texture);
            glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, &read);
            glBindTexture(GL_TEXTURE_2D, 0);
            EXPECT_EQ(read, texel);
            glDeleteTextures(1, &texture);
            glFinish();
            CGLSetCurrentContext(nullptr);
        }).join();
    }
    EXPECT_EQ(CGLGetCurrentContext(), mine);
    CGLSetCurrentContext(nullptr);
    CGLReleaseContext(mine);
}

// ---- exit -----------------------------------------------------------------------------------

// What a run of the GLAtExit program (ExitHelper/GLAtExit.cpp) wrote and its exit status.
struct ExitRun {
    std::string output;
    int status = -1;
};

ExitRun RunExitHelper(const char *mode) {
    ExitRun run;
    const std::string command = std::string("'") + LUMORA_GL_AT_EXIT + "' " + mode + " 2>&1";
    FILE *pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr) return run;
    char buffer[4096];
    for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) run.output.append(buffer, n);
    run.status = ::pclose(pipe);
    return run;
}

// No GL or EGL call is made after main returns. The layer reports every CGL call that would
// reach EGL once exit has begun (and does no EGL work for it): the process-wide shared
// drawable must make none, even left current on the main thread with a shadow made on
// another; a context released by a static destructor is reported and freed without EGL.
TEST(OffscreenDrawableExit, NoGLCallAfterMainReturns) {
    struct Case {
        const char *mode;
        size_t reports;  // lines "called while the process exits"
    };
    const Case cases[] = {{"shared", 0}, {"static", 1}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.mode);
        const ExitRun run = RunExitHelper(c.mode);
        EXPECT_EQ(run.status, 0) << run.output;
        EXPECT_EQ(coreg_test::Count(run.output, "called while the process exits"), c.reports) << run.output;
    }
}

// ---- the flush step -------------------------------------------------------------------------

struct FlushCase {
    int32_t kind;
    const char *logged;  // the kind's name in the log line; null: nothing logged
};

TEST(FlushFn, EveryKindLogsItsLineAndCallsTheActionOnce) {
    coreg_test::DebugLogCapture log;
    CGLContextObj context = coreg_test::NewContext();
    ASSERT_EQ(CGLSetCurrentContext(context), kCGLNoError);
    const FlushCase cases[] = {
        {OpenGL_Flush_WithBlock, "OpenGL_Flush_WithBlock"},   {OpenGL_Flush_None, nullptr},
        {OpenGL_Flush_FlushApple, "OpenGL_Flush_FlushApple"}, {OpenGL_Flush_FlushGL, "OpenGL_Flush_FlushGL"},
        {OpenGL_Flush_FinishApple, "OpenGL_Flush_FinishApple"}, {OpenGL_Flush_FinishGL, "OpenGL_Flush_FinishGL"},
        {OpenGL_Flush_SwapApple, "OpenGL_Flush_SwapApple"},   {OpenGL_Flush_SwapGL, "OpenGL_Flush_SwapGL"},
        {7, nullptr},                                         {-2, nullptr},
    };
    for (const FlushCase &c : cases) {
        for (bool inFlush : {false, true}) {
            SCOPED_TRACE(testing::Message() << "kind " << c.kind << " in flush " << inFlush);
            log.Clear();
            std::vector<bool> calls;
            FlushDescriptor descriptor{c.kind, [&calls](bool flag) { calls.push_back(flag); }};
            glGetIntegerv(0xFFFF, nullptr);  // an error for the step to discard
            OpenGL::FlushFn(&descriptor, inFlush);
            EXPECT_EQ(calls, std::vector<bool>{inFlush});
            const std::string expected = c.logged == nullptr ? ""
                                                             : std::string("namespace_OpenGL_FlushFn:") + c.logged +
                                                                   ":in_flush:" + (inFlush ? "1" : "0") + "\n";
            EXPECT_EQ(log.Text(), expected);
            EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));

            descriptor.mFlushBlock = nullptr;  // without an action
            OpenGL::FlushFn(&descriptor, inFlush);
        }
    }
    OpenGL::FlushFn(nullptr, true);
    CGLSetCurrentContext(nullptr);
    CGLReleaseContext(context);
}

}  // namespace
