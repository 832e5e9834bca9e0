// Framebuffer-object states: building a texture's and a drawable's framebuffer without
// disturbing the caller, the begin/end state machine (nesting refused, the caller's binding
// and viewport restored), invalid states, and the framebuffer names a texture's framebuffer
// takes and gives back.
#include <CocoaGL/NSOGLFrameBufferObjectState.h>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>

#include "FramebufferTestSupport.h"

namespace {

namespace fbs = NSOGLFrameBufferObjectState;
using fbo_test::BoundFramebuffer;
using fbo_test::CurrentViewport;
using fbo_test::PlainFramebuffer;
using fbo_test::Viewport;

constexpr uint32_t kOpaqueBlack = 0xFF000000u;  // as 0xAARRGGBB and as 0xAABBGGRR

// A rectangle texture of the size with storage and no contents, left unbound.
GLuint NewRectangleTexture(GLsizei width, GLsizei height, bool withStorage = true) {
    GLuint texture = 0;
    glGenTextures(1, &texture);
    glBindTexture(GL_TEXTURE_RECTANGLE_ARB, texture);
    if (withStorage)
        glTexImage2D(GL_TEXTURE_RECTANGLE_ARB, 0, GL_RGBA, width, height, 0, GL_BGRA,
                     GL_UNSIGNED_INT_8_8_8_8_REV, nullptr);
    glBindTexture(GL_TEXTURE_RECTANGLE_ARB, 0);
    return texture;
}

class FrameBufferObjectStateTest : public fbo_test::GLContextTest {
protected:
    void SetUp() override {
        fbo_test::GLContextTest::SetUp();
        mCallers = std::make_unique<PlainFramebuffer>(8, 8, 0xFF0000FFu);
        glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, mCallers->framebuffer);
        glViewport(1, 2, 3, 4);
    }
    void TearDown() override {
        mCallers.reset();
        fbo_test::GLContextTest::TearDown();
    }
    void ExpectCallersStateKept() const {
        EXPECT_EQ(BoundFramebuffer(), GLint(mCallers->framebuffer));
        EXPECT_EQ(CurrentViewport(), (Viewport{1, 2, 3, 4}));
    }
    std::unique_ptr<PlainFramebuffer> mCallers;  // the caller's framebuffer, bound
};

TEST_F(FrameBufferObjectStateTest, TextureFramebufferBuildsClearedAndLeavesTheCallerAlone) {
    const GLuint texture = NewRectangleTexture(64, 32);
    glClearColor(0.25f, 0.5f, 0.75f, 1);
    NSOGLTextureFBOState state;
    ASSERT_TRUE(fbs::Construct(&state, GL_TEXTURE_RECTANGLE_ARB, texture, 64, 32));
    ExpectCallersStateKept();
    GLfloat clear[4] = {};
    glGetFloatv(GL_COLOR_CLEAR_VALUE, clear);
    EXPECT_FLOAT_EQ(clear[1], 0.5f) << "the caller's clear colour is kept";

    EXPECT_TRUE(fbs::IsValid(&state));
    EXPECT_EQ(state.mDrawableWidth, 64u);
    EXPECT_EQ(state.mDrawableHeight, 32u);
    EXPECT_EQ(state.mIsComplete, GLuint(GL_FRAMEBUFFER_COMPLETE_EXT));
    EXPECT_EQ(state.mRecursionBlocker, 0u);
    EXPECT_EQ(fbs::FrameBufferName(&state), GLint(state.mFrameBufferName));
    EXPECT_TRUE(glIsFramebufferEXT(state.mFrameBufferName));
    EXPECT_TRUE(glIsRenderbufferEXT(state.mDepthBufferName));

    for (uint32_t pixel : fbo_test::TexturePixels(GL_TEXTURE_RECTANGLE_ARB, texture, 64, 32))
        ASSERT_EQ(pixel, kOpaqueBlack) << "the texture is cleared to opaque black";

    // Rendering reaches the texture, with depth testing available.
    ASSERT_TRUE(fbs::BeginRender(&state));
    glViewport(0, 0, 64, 32);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(0, 64, 0, 32, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glEnable(GL_DEPTH_TEST);
    fbo_test::FillRect(0, 0, 32, 32, 1, 0, 0);
    glDisable(GL_DEPTH_TEST);
    ASSERT_TRUE(fbs::EndRender(&state, true));
    ExpectCallersStateKept();
    const auto pixels = fbo_test::TexturePixels(GL_TEXTURE_RECTANGLE_ARB, texture, 64, 32);
    EXPECT_EQ(pixels[10 * 64 + 5], 0xFFFF0000u);
    EXPECT_EQ(pixels[10 * 64 + 50], kOpaqueBlack);

    const GLuint framebuffer = state.mFrameBufferName, depth = state.mDepthBufferName;
    EXPECT_TRUE(fbs::Destruct(&state));
    EXPECT_FALSE(glIsFramebufferEXT(framebuffer)) << "destroying deletes the framebuffer";
    EXPECT_FALSE(glIsRenderbufferEXT(depth));
    EXPECT_FALSE(fbs::IsValid(&state));
    EXPECT_EQ(state.mFrameBufferName, ~0u);
    EXPECT_EQ(state.mDepthBufferName, ~0u);
    EXPECT_EQ(state.mDrawableWidth, 0u);
    EXPECT_EQ(state.mIsComplete, 0u);
    ExpectCallersStateKept();
    glDeleteTextures(1, &texture);
}

TEST_F(FrameBufferObjectStateTest, BeginRefusesNestingAndEndRestoresTheFirstBeginsBinding) {
    const GLuint texture = NewRectangleTexture(16, 16);
    NSOGLTextureFBOState state;
    ASSERT_TRUE(fbs::Construct(&state, GL_TEXTURE_RECTANGLE_ARB, texture, 16, 16));

    EXPECT_TRUE(fbs::EndRender(&state, false)) << "end without begin";
    ExpectCallersStateKept();
    EXPECT_FALSE(fbs::IsRendering(&state));

    ASSERT_TRUE(fbs::BeginRender(&state));
    EXPECT_TRUE(fbs::IsRendering(&state));
    EXPECT_EQ(state.mRecursionBlocker, 1u);
    EXPECT_EQ(BoundFramebuffer(), GLint(state.mFrameBufferName));
    EXPECT_EQ(CurrentViewport(), (Viewport{1, 2, 3, 4})) << "the viewport is the caller's to set";
    glViewport(0, 0, 16, 16);

    // A nested begin, with yet another framebuffer bound meanwhile, changes nothing.
    PlainFramebuffer other(4, 4, 0);
    other.Attach();
    EXPECT_FALSE(fbs::BeginRender(&state));
    EXPECT_EQ(BoundFramebuffer(), GLint(other.framebuffer));
    EXPECT_EQ(state.mRecursionBlocker, 1u);

    EXPECT_TRUE(fbs::EndRender(&state, false));
    EXPECT_FALSE(fbs::IsRendering(&state));
    ExpectCallersStateKept();
    EXPECT_TRUE(fbs::EndRender(&state, true)) << "a second end";
    ExpectCallersStateKept();

    // Destroying while rendering gives the caller's binding back.
    ASSERT_TRUE(fbs::BeginRender(&state));
    glViewport(0, 0, 16, 16);
    EXPECT_TRUE(fbs::Destruct(&state));
    ExpectCallersStateKept();
    glDeleteTextures(1, &texture);
}

TEST_F(FrameBufferObjectStateTest, InvalidAndNullStatesAnswerFailureAndTouchNothing) {
    NSOGLTextureFBOState fresh;
    NSOGLTextureFBOState zeroFilled{};
    zeroFilled.mFrameBufferName = 0;
    zeroFilled.mDepthBufferName = 0;
    NSOGLTextureFBOState incomplete;  // complete in every respect but the status
    incomplete.mDrawableWidth = incomplete.mDrawableHeight = 8;
    incomplete.mFrameBufferName = mCallers->framebuffer;
    incomplete.mIsComplete = GL_FRAMEBUFFER_INCOMPLETE_ATTACHMENT_EXT;
    NSOGLDrawableFBOState drawable;

    const struct {
        const char *name;
        NSOGLTextureFBOState *state;
    } cases[] = {{"null", nullptr}, {"fresh", &fresh}, {"zero-filled", &zeroFilled},
                 {"incomplete", &incomplete}, {"fresh drawable", &drawable}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_FALSE(fbs::IsValid(c.state));
        EXPECT_FALSE(fbs::BeginRender(c.state));
        EXPECT_FALSE(fbs::IsRendering(c.state));
        EXPECT_EQ(fbs::FrameBufferName(c.state), -1);
        EXPECT_FALSE(fbs::EndRender(c.state, true));
        EXPECT_FALSE(fbs::Destruct(c.state));
        ExpectCallersStateKept();
    }
    EXPECT_TRUE(glIsFramebufferEXT(mCallers->framebuffer)) << "no framebuffer of another was deleted";
    EXPECT_FALSE(fbs::BeginRenderAndSetup(&drawable));
    EXPECT_FALSE(fbs::EndRender(&drawable, false));
    EXPECT_FALSE(fbs::Destruct(&drawable));
    ExpectCallersStateKept();
    EXPECT_FALSE(fbs::Construct(static_cast<NSOGLTextureFBOState *>(nullptr), GL_TEXTURE_RECTANGLE_ARB, 1, 8, 8));
    EXPECT_FALSE(fbs::Construct(static_cast<NSOGLDrawableFBOState *>(nullptr), 8, 8));
}

// A texture without storage makes an incomplete framebuffer: logged with its status, state
// left invalid, nothing of it kept, the caller's binding and viewport as they were.
TEST_F(FrameBufferObjectStateTest, IncompleteFramebufferIsLoggedAndLeavesNothing) {
    const GLuint texture = NewRectangleTexture(16, 16, /*withStorage=*/false);
    GLuint before = 0;
    glGenFramebuffersEXT(1, &before);
    NSOGLTextureFBOState state;
    testing::internal::CaptureStderr();
    EXPECT_FALSE(fbs::Construct(&state, GL_TEXTURE_RECTANGLE_ARB, texture, 16, 16));
    const std::string log = testing::internal::GetCapturedStderr();
    EXPECT_NE(state.mIsComplete, 0u);
    EXPECT_NE(state.mIsComplete, GLuint(GL_FRAMEBUFFER_COMPLETE_EXT));
    EXPECT_NE(log.find("NSOGLFrameBufferObjectState::CheckIsComplete\n" + std::to_string(state.mIsComplete) +
                       "=glCheckFramebufferStatusEXT(GL_FRAMEBUFFER_EXT)\n"),
              std::string::npos)
        << log;
    EXPECT_FALSE(fbs::IsValid(&state));
    EXPECT_EQ(fbs::FrameBufferName(&state), -1);
    EXPECT_EQ(state.mFrameBufferName, ~0u);
    EXPECT_EQ(state.mDepthBufferName, ~0u);
    EXPECT_EQ(state.mDrawableWidth, 0u);
    ExpectCallersStateKept();
    // The framebuffer tried was deleted: the names after the one taken before are free.
    for (GLuint name = before + 1; name < before + 4; ++name) EXPECT_FALSE(glIsFramebufferEXT(name)) << name;
    glDeleteFramebuffersEXT(1, &before);
    glDeleteTextures(1, &texture);
}

// A 2-D texture is attached with its own target (attaching it as a rectangle texture leaves
// the framebuffer without a colour attachment).
TEST_F(FrameBufferObjectStateTest, TwoDimensionalTextureIsAttachedWithItsTarget) {
    GLuint texture = 0;
    glGenTextures(1, &texture);
    glBindTexture(GL_TEXTURE_2D, texture);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, 8, 8, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
    NSOGLTextureFBOState state;
    EXPECT_TRUE(fbs::Construct(&state, GL_TEXTURE_2D, texture, 8, 8));
    GLint bound = -1;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    EXPECT_EQ(bound, 0) << "the target's binding is left at 0";
    for (uint32_t pixel : fbo_test::TexturePixels(GL_TEXTURE_2D, texture, 8, 8)) ASSERT_EQ(pixel, kOpaqueBlack);
    EXPECT_TRUE(fbs::Destruct(&state));
    glDeleteTextures(1, &texture);
}

// Framebuffer objects are shared by the contexts of a share group. A texture's framebuffer
// must never take over a framebuffer of another context that happens to have the texture's
// number: it gets a name of its own and gives it back.
TEST_F(FrameBufferObjectStateTest, TextureFramebufferNeverDisturbsAnotherOfTheSameNumber) {
    const std::unique_ptr<_CGLContextObject, decltype(&CGLReleaseContext)> sharing(fbo_test::NewContext(mContext),
                                                                                 &CGLReleaseContext);
    ASSERT_NE(sharing, nullptr);
    const GLuint texture = NewRectangleTexture(16, 16);

    // The other context's framebuffer, red, numbered like the texture.
    ASSERT_EQ(CGLSetCurrentContext(sharing.get()), kCGLNoError);
    GLuint theirs = 0;
    std::vector<GLuint> spare;
    for (int i = 0; i < 256 && theirs != texture; ++i) {
        if (theirs != 0) spare.push_back(theirs);
        glGenFramebuffersEXT(1, &theirs);
    }
    glDeleteFramebuffersEXT(GLsizei(spare.size()), spare.data());
    ASSERT_EQ(theirs, texture) << "a framebuffer numbered like the texture";
    auto red = std::make_unique<PlainFramebuffer>(4, 4, 0xFF0000FFu);
    glDeleteFramebuffersEXT(1, &red->framebuffer);
    red->framebuffer = theirs;
    red->Attach();
    glClearColor(1, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, 0);
    glFinish();

    ASSERT_EQ(CGLSetCurrentContext(mContext), kCGLNoError);
    NSOGLTextureFBOState state;
    ASSERT_TRUE(fbs::Construct(&state, GL_TEXTURE_RECTANGLE_ARB, texture, 16, 16));
    EXPECT_NE(state.mFrameBufferName, theirs);
    ASSERT_TRUE(fbs::BeginRender(&state));
    glViewport(0, 0, 16, 16);
    glClearColor(0, 1, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    ASSERT_TRUE(fbs::EndRender(&state, true));
    EXPECT_TRUE(fbs::Destruct(&state));
    glFinish();
    glDeleteTextures(1, &texture);

    ASSERT_EQ(CGLSetCurrentContext(sharing.get()), kCGLNoError);
    EXPECT_TRUE(glIsFramebufferEXT(theirs)) << "the other framebuffer still exists";
    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, theirs);
    GLint attached = 0;
    glGetFramebufferAttachmentParameterivEXT(GL_FRAMEBUFFER_EXT, GL_COLOR_ATTACHMENT0_EXT,
                                             GL_FRAMEBUFFER_ATTACHMENT_OBJECT_NAME_EXT, &attached);
    EXPECT_EQ(GLuint(attached), red->texture) << "its colour attachment is still its own";
    EXPECT_EQ(fbo_test::PixelAt(1, 1), 0xFF0000FFu) << "and still red";
    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, 0);
    red.reset();
    ASSERT_EQ(CGLSetCurrentContext(mContext), kCGLNoError);
}

TEST_F(FrameBufferObjectStateTest, DrawableFramebufferBuildsBeginsWithProjectionAndDestroys) {
    NSOGLDrawableFBOState state;
    ASSERT_TRUE(fbs::Construct(&state, 32, 16));
    ExpectCallersStateKept();
    EXPECT_TRUE(fbs::IsValid(&state));
    EXPECT_EQ(state.mDrawableWidth, 32u);
    EXPECT_EQ(state.mDrawableHeight, 16u);
    EXPECT_TRUE(glIsRenderbufferEXT(state.mRenderBufferName));
    EXPECT_TRUE(glIsRenderbufferEXT(state.mDepthBufferName));
    EXPECT_TRUE(glIsFramebufferEXT(state.mFrameBufferName));

    // Whatever the caller left in the matrices, the set-up maps framebuffer pixels.
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glScalef(0.5f, 0.5f, 1);
    ASSERT_TRUE(fbs::BeginRenderAndSetup(&state));
    EXPECT_EQ(BoundFramebuffer(), GLint(state.mFrameBufferName));
    EXPECT_EQ(CurrentViewport(), (Viewport{0, 0, 32, 16}));
    EXPECT_EQ(fbo_test::PixelAt(20, 10), kOpaqueBlack);
    fbo_test::FillRect(16, 0, 32, 8, 0, 0, 1);
    EXPECT_EQ(fbo_test::PixelAt(20, 4), 0xFFFF0000u) << "blue where drawn";
    EXPECT_EQ(fbo_test::PixelAt(20, 12), kOpaqueBlack);
    EXPECT_EQ(fbo_test::PixelAt(4, 4), kOpaqueBlack);
    EXPECT_FALSE(fbs::BeginRenderAndSetup(&state)) << "nested";
    EXPECT_EQ(fbo_test::PixelAt(20, 4), 0xFFFF0000u) << "a refused begin clears nothing";
    EXPECT_TRUE(fbs::EndRender(&state, true));
    ExpectCallersStateKept();

    const GLuint colour = state.mRenderBufferName, depth = state.mDepthBufferName, framebuffer = state.mFrameBufferName;
    EXPECT_TRUE(fbs::Destruct(&state));
    EXPECT_FALSE(glIsRenderbufferEXT(colour));
    EXPECT_FALSE(glIsRenderbufferEXT(depth));
    EXPECT_FALSE(glIsFramebufferEXT(framebuffer));
    EXPECT_EQ(BoundFramebuffer(), 0);
    EXPECT_FALSE(fbs::IsValid(&state));
    EXPECT_EQ(state.mRenderBufferName, ~0u);

    NSOGLDrawableFBOState empty;
    EXPECT_FALSE(fbs::Construct(&empty, 0, 16)) << "no size, no framebuffer";
    EXPECT_FALSE(fbs::IsValid(&empty));
}

}  // namespace
