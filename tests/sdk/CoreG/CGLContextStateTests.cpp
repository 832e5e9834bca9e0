// Context scopes (plain and locking), on one thread and on two threads sharing one logical
// context, the framebuffer and viewport state, and the start-up pixel formats.
#include <CoreG/GL/namespace_OpenGL_CGLContextState.h>

#include <chrono>
#include <future>
#include <memory>
#include <stdexcept>
#include <thread>

#include "GLTestSupport.h"

namespace {

using coreg_test::NewContext;
using OpenGL::CGLContextState;
using OpenGL::CGLContextStateLock;

class CGLContextStateTest : public ::testing::Test {
protected:
    void SetUp() override {
        mA = NewContext();
        mB = NewContext();
        mOther = NewContext();
        CGLSetCurrentContext(nullptr);
    }
    void TearDown() override {
        CGLSetCurrentContext(nullptr);
        for (CGLContextObj context : {mA, mB, mOther}) CGLReleaseContext(context);
    }
    CGLContextObj mA = nullptr, mB = nullptr, mOther = nullptr;
};

TEST_F(CGLContextStateTest, NestedScopesRestoreInOrder) {
    for (CGLContextObj before : {static_cast<CGLContextObj>(nullptr), mOther}) {
        SCOPED_TRACE(before == nullptr ? "nothing current before" : "another context current before");
        CGLSetCurrentContext(before);
        {
            CGLContextState a(mA);
            EXPECT_EQ(CGLGetCurrentContext(), mA);
            {
                CGLContextState b(mB);
                EXPECT_EQ(CGLGetCurrentContext(), mB);
            }
            EXPECT_EQ(CGLGetCurrentContext(), mA);
        }
        // With nothing current before, the outer scope's context stays current.
        EXPECT_EQ(CGLGetCurrentContext(), before != nullptr ? before : mA);
    }
}

// The context current before a scope may have no owner but this thread (its owner let it go
// while it was current): the scope keeps it alive until it is current again.
TEST_F(CGLContextStateTest, ScopeRestoresAContextWhoseOwnerLetItGo) {
    for (const bool locking : {false, true}) {
        SCOPED_TRACE(locking ? "locking scope" : "plain scope");
        CGLContextObj orphan = NewContext();
        ASSERT_EQ(CGLSetCurrentContext(orphan), kCGLNoError);
        CGLReleaseContext(orphan);  // the thread's reference is the last
        if (locking) {
            CGLContextStateLock scope(mA);
            EXPECT_EQ(CGLGetCurrentContext(), mA);
        } else {
            CGLContextState scope(mA);
            EXPECT_EQ(CGLGetCurrentContext(), mA);
        }
        EXPECT_EQ(CGLGetCurrentContext(), orphan);
        EXPECT_EQ(CGLGetContextRetainCount(orphan), 1u);
        CGLSetCurrentContext(nullptr);
    }
}

TEST_F(CGLContextStateTest, NullAndCurrentScopesChangeNothing) {
    CGLSetCurrentContext(mOther);
    {
        CGLContextState none(static_cast<CGLContextObj>(nullptr));
        EXPECT_EQ(CGLGetCurrentContext(), mOther);
        CGLContextState current;
        EXPECT_EQ(CGLGetCurrentContext(), mOther);
        CGLContextState noView(static_cast<NSOpenGLContext *>(nullptr));
        EXPECT_EQ(CGLGetCurrentContext(), mOther);
    }
    EXPECT_EQ(CGLGetCurrentContext(), mOther);

    NSOpenGLContext view(mA);
    {
        CGLContextState scope(&view);
        EXPECT_EQ(CGLGetCurrentContext(), mA);
    }
    EXPECT_EQ(CGLGetCurrentContext(), mOther);
}

TEST_F(CGLContextStateTest, ScopeEndsWhenAnExceptionPasses) {
    CGLSetCurrentContext(mOther);
    try {
        CGLContextStateLock scope(mA);
        throw std::runtime_error("render failed");
    } catch (const std::runtime_error &) {
    }
    EXPECT_EQ(CGLGetCurrentContext(), mOther);
    EXPECT_EQ(CGLUnlockContext(mA), kCGLBadState) << "the scope unlocked it";
}

// Whether another thread can take the context's lock within `wait`. The thread is joined
// before answering, so the caller must not hold the lock forever.
class LockProbe {
public:
    explicit LockProbe(CGLContextObj context)
        : mDone(std::async(std::launch::async, [context] {
              CGLLockContext(context);
              CGLUnlockContext(context);
          })) {}
    bool Finished(std::chrono::milliseconds wait) { return mDone.wait_for(wait) == std::future_status::ready; }

private:
    std::future<void> mDone;
};

TEST_F(CGLContextStateTest, LockScopeHoldsTheLockForItsWholeLife) {
    std::unique_ptr<LockProbe> probe;
    {
        CGLContextStateLock scope(mA);
        EXPECT_EQ(CGLGetCurrentContext(), mA);
        probe = std::make_unique<LockProbe>(mA);
        EXPECT_FALSE(probe->Finished(std::chrono::milliseconds(100)));
        {
            CGLContextStateLock nested(mA);  // recursive on this thread
            EXPECT_EQ(CGLGetCurrentContext(), mA);
        }
        EXPECT_FALSE(probe->Finished(std::chrono::milliseconds(50)));
    }
    EXPECT_TRUE(probe->Finished(std::chrono::seconds(10)));

    // A second construction ends the first scope: the first context is unlocked.
    CGLSetCurrentContext(mOther);
    {
        CGLContextStateLock scope;  // the current context, locked
        EXPECT_EQ(CGLGetCurrentContext(), mOther);
        scope.Construct(mB);
        EXPECT_EQ(CGLGetCurrentContext(), mB);
        EXPECT_TRUE(LockProbe(mOther).Finished(std::chrono::seconds(10)));
        probe = std::make_unique<LockProbe>(mB);
        EXPECT_FALSE(probe->Finished(std::chrono::milliseconds(100)));
    }
    EXPECT_TRUE(probe->Finished(std::chrono::seconds(10)));
    EXPECT_EQ(CGLGetCurrentContext(), mOther);
}

// Two threads in scopes of the same logical context at once: the second works on a shadow
// of the context and sees the texture the first made.
TEST_F(CGLContextStateTest, ScopesOnTwoThreadsShareTheContextsObjects) {
    CGLContextState mine(mA);
    const uint32_t texels[4] = {0xFF112233u, 0xFF445566u, 0xFF778899u, 0xFFAABBCCu};
    GLuint texture = 0;
    glGenTextures(1, &texture);
    glBindTexture(GL_TEXTURE_2D, texture);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, 2, 2, 0, GL_RGBA, GL_UNSIGNED_BYTE, texels);
    glBindTexture(GL_TEXTURE_2D, 0);
    glFinish();

    std::thread([&] {
        CGLContextState theirs(mA);
        EXPECT_EQ(CGLGetCurrentContext(), mA);
        uint32_t read[4] = {};
        glBindTexture(GL_TEXTURE_2D, texture);
        glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, read);
        glBindTexture(GL_TEXTURE_2D, 0);
        for (int i = 0; i < 4; ++i) EXPECT_EQ(read[i], texels[i]);
        EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
        CGLSetCurrentContext(nullptr);
    }).join();
    EXPECT_EQ(CGLGetCurrentContext(), mA);
    glDeleteTextures(1, &texture);
}

TEST_F(CGLContextStateTest, FramebufferViewportStateRestoresBindingAndViewport) {
    CGLContextState scope(mA);
    GLuint framebuffers[2] = {}, textures[2] = {};
    glGenFramebuffersEXT(2, framebuffers);
    glGenTextures(2, textures);
    for (int i = 0; i < 2; ++i) {
        glBindTexture(GL_TEXTURE_2D, textures[i]);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, 16, 16, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
        glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, framebuffers[i]);
        glFramebufferTexture2DEXT(GL_FRAMEBUFFER_EXT, GL_COLOR_ATTACHMENT0_EXT, GL_TEXTURE_2D, textures[i], 0);
    }
    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, framebuffers[0]);
    glViewport(1, 2, 3, 4);

    OpenGL::FramebufferViewportState state;
    state.Save();
    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, framebuffers[1]);
    glViewport(0, 0, 16, 16);
    glClear(GL_COLOR_BUFFER_BIT);
    glGetIntegerv(0xFFFF, nullptr);  // leaves an error pending
    state.Restore();

    GLint bound = 0, viewport[4] = {};
    glGetIntegerv(GL_FRAMEBUFFER_BINDING_EXT, &bound);
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ(GLuint(bound), framebuffers[0]);
    EXPECT_EQ(viewport[0], 1);
    EXPECT_EQ(viewport[1], 2);
    EXPECT_EQ(viewport[2], 3);
    EXPECT_EQ(viewport[3], 4);
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));

    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, 0);
    glDeleteFramebuffersEXT(2, framebuffers);
    glDeleteTextures(2, textures);
}

TEST(PixelFormat, StartUpFormatsAreChosenOnceForTheMainDisplay) {
    const CGLPixelFormatObj window = Apple_CGL::PixelFormatWindow();
    const CGLPixelFormatObj display = Apple_CGL::PixelFormatDisplay();
    const CGLPixelFormatObj pbuffer = Apple_CGL::PixelFormatPBuffer();
    for (CGLPixelFormatObj format : {window, display, pbuffer}) EXPECT_NE(format, nullptr);
    EXPECT_EQ(Apple_CGL::PixelFormatWindow(), window);
    EXPECT_EQ(Apple_CGL::PixelFormatDisplay(), display);
    EXPECT_EQ(Apple_CGL::PixelFormatPBuffer(), pbuffer);

    // A display that does not exist has no OpenGL mask: only the window kind, which names no
    // display, finds a format.
    const CGDirectDisplayID missing = CGMainDisplayID() + 7;
    CGLPixelFormatObj format = Apple_CGL::ChoosePixelFormat(missing, Apple_CGL::kPixelFormatWindow);
    EXPECT_NE(format, nullptr);
    CGLReleasePixelFormat(format);
    EXPECT_EQ(Apple_CGL::ChoosePixelFormat(missing, Apple_CGL::kPixelFormatDisplay), nullptr);
    EXPECT_EQ(Apple_CGL::ChoosePixelFormat(missing, Apple_CGL::kPixelFormatPBuffer), nullptr);
}

}  // namespace
