// Textures with a framebuffer: a plain rectangle texture rendered into, its framebuffer state
// through the texture, and the framebuffer given back with the texture, in the texture's own
// context whatever context is current at the end.
#include <CocoaGL/NSOGLTextureFBO.h>

#include <gtest/gtest.h>

#include <memory>

#include "FramebufferTestSupport.h"

namespace {

using fbo_test::BoundFramebuffer;
using fbo_test::CurrentViewport;
using fbo_test::Viewport;

class NSOGLTextureFBOTest : public fbo_test::GLContextTest {};

TEST_F(NSOGLTextureFBOTest, RendersIntoItsRectangleTextureAndRestoresTheCaller) {
    ASSERT_TRUE(import_NSOGLTextureFBO());
    glViewport(3, 4, 5, 6);
    const auto texture = NSOGLTextureFBO::textureWithTextureWidth(64, 48);
    ASSERT_NE(texture, nullptr);
    EXPECT_EQ(texture->textureTarget(), GLenum(GL_TEXTURE_RECTANGLE_ARB));
    EXPECT_EQ(texture->textureWidth(), 64u);
    EXPECT_EQ(texture->textureHeight(), 48u);
    ASSERT_NE(texture->textureName(), NSOGLTextureBase::kNoTextureName);
    const GLint framebuffer = texture->frameBufferObject();
    ASSERT_GT(framebuffer, 0);
    EXPECT_TRUE(texture->textureUpdate());
    EXPECT_EQ(BoundFramebuffer(), 0);
    EXPECT_EQ(CurrentViewport(), (Viewport{3, 4, 5, 6}));
    GLint boundTexture = -1;
    glGetIntegerv(GL_TEXTURE_BINDING_RECTANGLE_ARB, &boundTexture);
    EXPECT_EQ(boundTexture, 0);

    for (uint32_t pixel : fbo_test::TexturePixels(GL_TEXTURE_RECTANGLE_ARB, texture->textureName(), 64, 48))
        ASSERT_EQ(pixel, 0xFF000000u) << "built cleared to opaque black";

    ASSERT_TRUE(texture->beginRenderToFrameBuffer());
    EXPECT_TRUE(texture->isRenderingToFrameBuffer());
    EXPECT_FALSE(texture->beginRenderToFrameBuffer()) << "nested";
    EXPECT_EQ(BoundFramebuffer(), framebuffer);
    glViewport(0, 0, 64, 48);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(0, 64, 0, 48, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    fbo_test::FillRect(0, 24, 64, 48, 0, 1, 0);
    ASSERT_TRUE(texture->endRenderToFrameBuffer(true));
    EXPECT_FALSE(texture->isRenderingToFrameBuffer());
    EXPECT_EQ(BoundFramebuffer(), 0);
    EXPECT_EQ(CurrentViewport(), (Viewport{3, 4, 5, 6}));

    const auto pixels = fbo_test::TexturePixels(GL_TEXTURE_RECTANGLE_ARB, texture->textureName(), 64, 48);
    EXPECT_EQ(pixels[30 * 64 + 10], 0xFF00FF00u) << "green in the upper half";
    EXPECT_EQ(pixels[10 * 64 + 10], 0xFF000000u);
}

// The framebuffer goes with the texture, deleted in the texture's context even when another
// context (or none) is current at the end; the caller's context stays current.
TEST_F(NSOGLTextureFBOTest, FramebufferIsDeletedWithTheTextureInItsContext) {
    CGLContextObj other = fbo_test::NewContext();
    ASSERT_NE(other, nullptr);
    for (CGLContextObj currentAtEnd : {mContext, other, static_cast<CGLContextObj>(nullptr)}) {
        SCOPED_TRACE(currentAtEnd == mContext ? "own context" : currentAtEnd == other ? "other context" : "none");
        ASSERT_EQ(CGLSetCurrentContext(mContext), kCGLNoError);
        auto texture = NSOGLTextureFBO::textureWithTextureWidth(8, 8);
        const GLint framebuffer = texture->frameBufferObject();
        ASSERT_GT(framebuffer, 0);
        ASSERT_EQ(CGLSetCurrentContext(currentAtEnd), kCGLNoError);
        texture.reset();
        EXPECT_EQ(CGLGetCurrentContext(), currentAtEnd);
        ASSERT_EQ(CGLSetCurrentContext(mContext), kCGLNoError);
        EXPECT_FALSE(glIsFramebufferEXT(GLuint(framebuffer)));
    }
    CGLSetCurrentContext(mContext);
    CGLReleaseContext(other);
}

TEST_F(NSOGLTextureFBOTest, WithoutContextThereIsNoTextureAndNoFramebuffer) {
    CGLSetCurrentContext(nullptr);
    const auto texture = NSOGLTextureFBO::textureWithTextureWidth(8, 8);
    ASSERT_NE(texture, nullptr);
    EXPECT_EQ(texture->textureName(), NSOGLTextureBase::kNoTextureName);
    EXPECT_EQ(texture->frameBufferObject(), -1);
    EXPECT_FALSE(texture->beginRenderToFrameBuffer());
    EXPECT_FALSE(texture->endRenderToFrameBuffer(false));
    EXPECT_FALSE(texture->isRenderingToFrameBuffer());

    NSOGLTextureFBOState fbo;
    EXPECT_FALSE(category_NSOGLTextureFBOState::constructFrameBufferObject(texture.get(), &fbo)) << "no name";
    EXPECT_FALSE(category_NSOGLTextureFBOState::constructFrameBufferObject(nullptr, &fbo));
}

}  // namespace
