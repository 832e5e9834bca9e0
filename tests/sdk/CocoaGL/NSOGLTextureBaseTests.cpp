// The texture base: creation per target, coordinates and flips, the optional lock, and the
// deletion of the texture name in the share group that made it.
#include <CocoaGL/NSOGLTextureBase.h>

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <thread>

#include "sdk/CoreG/GLTestSupport.h"

namespace {

using coreg_test::GLContextTest;
using coreg_test::NewContext;

class NSOGLTextureBaseTest : public GLContextTest {};

bool IsTexture(GLuint name) { return glIsTexture(name) == GL_TRUE; }

TEST_F(NSOGLTextureBaseTest, CoordinatesFollowTargetAndFlips) {
    ASSERT_TRUE(import_NSOGLTextureBase());
    struct Case {
        GLenum target;
        bool flipHorizontal, flipVertical;
        float sMin, sMax, tMin, tMax;
    };
    const Case cases[] = {
        {GL_TEXTURE_RECTANGLE_EXT, false, false, 0, 640, 0, 480},
        {GL_TEXTURE_RECTANGLE_EXT, false, true, 0, 640, 480, 0},
        {GL_TEXTURE_RECTANGLE_EXT, true, false, 640, 0, 0, 480},
        {GL_TEXTURE_RECTANGLE_EXT, true, true, 640, 0, 480, 0},
        {GL_TEXTURE_2D, false, false, 0, 1, 0, 1},
        {GL_TEXTURE_2D, true, true, 1, 0, 1, 0},
        {GL_TEXTURE_1D, false, false, 0, 1, 0, 1},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << std::hex << c.target << " flipH " << c.flipHorizontal << " flipV "
                                        << c.flipVertical);
        NSOGLTextureBase texture;
        texture.initWithTextureTarget(c.target, 640, 480);
        texture.setFlipHorizontal(c.flipHorizontal);
        texture.setFlipVertical(c.flipVertical);
        EXPECT_EQ(texture.textureCoordSMin(), c.sMin);
        EXPECT_EQ(texture.textureCoordSMax(), c.sMax);
        EXPECT_EQ(texture.textureCoordTMin(), c.tMin);
        EXPECT_EQ(texture.textureCoordTMax(), c.tMax);
        EXPECT_EQ(texture.textureSize().width, 640.0);
        EXPECT_EQ(texture.textureSize().height, 480.0);
    }
}

TEST_F(NSOGLTextureBaseTest, OnlyTwoTargetsGetATexture) {
    struct Case {
        GLenum target;
        bool made;
    };
    for (const Case c : {Case{GL_TEXTURE_2D, true}, Case{GL_TEXTURE_RECTANGLE_EXT, true}, Case{GL_TEXTURE_1D, false},
                         Case{GL_TEXTURE_3D, false}, Case{GL_TEXTURE_CUBE_MAP, false}}) {
        SCOPED_TRACE(c.target);
        NSOGLTextureBase texture;
        texture.initWithTextureTarget(c.target, 4, 2);
        if (c.made) {
            EXPECT_TRUE(IsTexture(texture.textureName()));
            EXPECT_FALSE(texture.isDirty());  // the transparent fill ran
            EXPECT_EQ(texture.textureShareContext(), mContext);
            GLint width = 0, minFilter = 0, wrap = 0;
            glBindTexture(c.target, texture.textureName());
            glGetTexLevelParameteriv(c.target, 0, GL_TEXTURE_WIDTH, &width);
            glGetTexParameteriv(c.target, GL_TEXTURE_MIN_FILTER, &minFilter);
            glGetTexParameteriv(c.target, GL_TEXTURE_WRAP_S, &wrap);
            glBindTexture(c.target, 0);
            EXPECT_EQ(width, 4);
            EXPECT_EQ(minFilter, GL_LINEAR);
            EXPECT_EQ(wrap, c.target == GL_TEXTURE_RECTANGLE_EXT ? GL_CLAMP_TO_BORDER : GL_REPEAT);
        } else {
            EXPECT_EQ(texture.textureName(), NSOGLTextureBase::kNoTextureName);
            EXPECT_FALSE(texture.isDirty());
            EXPECT_EQ(texture.textureShareContext(), nullptr);
        }
    }
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}

TEST_F(NSOGLTextureBaseTest, CreationPutsTheCallersBindingBack) {
    GLuint previous = 0;
    glGenTextures(1, &previous);
    glBindTexture(GL_TEXTURE_RECTANGLE_EXT, previous);
    NSOGLTextureBase texture;
    texture.initWithTextureTarget(GL_TEXTURE_RECTANGLE_EXT, 8, 8);
    GLint bound = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_RECTANGLE_EXT, &bound);
    EXPECT_EQ(GLuint(bound), previous);
    EXPECT_NE(texture.textureName(), previous);
    glBindTexture(GL_TEXTURE_RECTANGLE_EXT, 0);
    glDeleteTextures(1, &previous);
}

TEST_F(NSOGLTextureBaseTest, DescriptionAndWrappedNames) {
    GLuint name = 0;
    glGenTextures(1, &name);
    {
        NSOGLTextureBase texture;
        texture.initWithTextureName(name, GL_TEXTURE_RECTANGLE_EXT, 32, 16, false);
        EXPECT_EQ(texture.textureName(), name);
        EXPECT_FALSE(texture.isDirty());
        EXPECT_EQ(texture.description(),
                  "NSOGLTextureBase{name:" + std::to_string(name) + " target:34037 (32x16)}");
        NSOGLTextureBase unmade;
        EXPECT_EQ(unmade.description(), "NSOGLTextureBase{name:-1 target:3553 (0x0)}");
    }
    EXPECT_FALSE(IsTexture(name));  // the wrapped name belonged to the texture
}

TEST_F(NSOGLTextureBaseTest, NoContextMakesNoTexture) {
    CGLSetCurrentContext(nullptr);
    NSOGLTextureBase texture;
    texture.initWithTextureTarget(GL_TEXTURE_RECTANGLE_EXT, 8, 8);
    EXPECT_EQ(texture.textureName(), NSOGLTextureBase::kNoTextureName);
    EXPECT_TRUE(texture.isDirty());  // nothing could be uploaded
    EXPECT_EQ(texture.textureShareContext(), nullptr);
}

TEST_F(NSOGLTextureBaseTest, LockIsMadeOnDemandAndRecursive) {
    NSOGLTextureBase texture;
    EXPECT_EQ(texture.optionalMutex(), nullptr);
    texture.unlock();  // nothing to unlock yet
    EXPECT_EQ(texture.optionalMutex(), nullptr);
    EXPECT_TRUE(texture.tryLock());
    ASSERT_NE(texture.optionalMutex(), nullptr);
    texture.lock();  // recursive on one thread

    std::atomic<bool> otherGot{true};
    std::thread([&] {
        otherGot = texture.tryLock();
        texture.unlock();  // not held by this thread: nothing happens
    }).join();
    EXPECT_FALSE(otherGot);

    texture.unlock();
    texture.unlock();
    std::thread([&] {
        otherGot = texture.tryLock();
        if (otherGot) texture.unlock();
    }).join();
    EXPECT_TRUE(otherGot);
    texture.unlock();  // an extra unlock does nothing
    EXPECT_TRUE(texture.tryLock());
    texture.unlock();
}

TEST_F(NSOGLTextureBaseTest, LockWaitsForTheHolder) {
    NSOGLTextureBase texture;
    texture.lock();
    std::atomic<bool> locked{false};
    std::thread waiter([&] {
        texture.lock();
        locked = true;
        texture.unlock();
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_FALSE(locked);
    texture.unlock();
    waiter.join();
    EXPECT_TRUE(locked);
}

// The name is deleted in the context that made it, whatever is current at release; the
// caller's context (or none) is current again afterwards.
TEST_F(NSOGLTextureBaseTest, ReleaseDeletesInTheOwningShareGroup) {
    CGLContextObj foreign = NewContext();  // not sharing with mContext
    ASSERT_NE(foreign, nullptr);
    CGLContextObj shared = NewContext(mContext);
    ASSERT_NE(shared, nullptr);

    enum Current { kNone, kForeign, kOwner, kShared };
    for (const Current atRelease : {kNone, kForeign, kOwner, kShared}) {
        SCOPED_TRACE(atRelease);
        CGLSetCurrentContext(mContext);
        auto texture = std::make_unique<NSOGLTextureBase>();
        texture->initWithTextureTarget(GL_TEXTURE_2D, 4, 4);
        const GLuint name = texture->textureName();
        ASSERT_TRUE(IsTexture(name));

        // A texture of the same name in the foreign context must survive.
        CGLSetCurrentContext(foreign);
        glBindTexture(GL_TEXTURE_2D, name);  // binding an unused name makes it a texture
        glBindTexture(GL_TEXTURE_2D, 0);
        ASSERT_TRUE(IsTexture(name));

        CGLContextObj current = atRelease == kNone      ? nullptr
                                : atRelease == kForeign ? foreign
                                : atRelease == kOwner   ? mContext
                                                        : shared;
        CGLSetCurrentContext(current);
        texture.reset();
        EXPECT_EQ(CGLGetCurrentContext(), current);

        CGLSetCurrentContext(mContext);
        EXPECT_FALSE(IsTexture(name)) << "deleted in its own share group";
        CGLSetCurrentContext(foreign);
        EXPECT_TRUE(IsTexture(name)) << "the foreign context's texture is left alone";
        glDeleteTextures(1, &name);
    }
    CGLSetCurrentContext(mContext);
    CGLReleaseContext(shared);
    CGLReleaseContext(foreign);
}

TEST_F(NSOGLTextureBaseTest, ReleaseHoldsTheOwnerUntilDeleted) {
    CGLContextObj owner = NewContext();
    CGLSetCurrentContext(owner);
    auto texture = std::make_unique<NSOGLTextureBase>();
    texture->initWithTextureTarget(GL_TEXTURE_RECTANGLE_EXT, 4, 4);
    const GLuint retained = CGLGetContextRetainCount(owner);
    CGLSetCurrentContext(mContext);
    EXPECT_EQ(CGLGetContextRetainCount(owner), retained - 1);  // the thread let its reference go
    CGLReleaseContext(owner);  // the texture keeps it alive
    texture.reset();           // deletes with it and lets it go
    EXPECT_EQ(CGLGetCurrentContext(), mContext);
}

TEST_F(NSOGLTextureBaseTest, UpdateChainEndsInTheTransparentFill) {
    struct Counting : NSOGLTextureBase {
        int defaults = 0;
        bool textureUpdateDefault() override {
            ++defaults;
            return NSOGLTextureBase::textureUpdateDefault();
        }
    };
    Counting texture;
    texture.initWithTextureTarget(GL_TEXTURE_RECTANGLE_EXT, 2, 2);
    EXPECT_EQ(texture.defaults, 1);  // at creation
    texture.setDirty(true);
    EXPECT_TRUE(texture.textureUpdateWithTime(1.5));
    EXPECT_EQ(texture.defaults, 2);
    EXPECT_FALSE(texture.isDirty());
    EXPECT_TRUE(texture.textureUpdate(QVariant()));
    EXPECT_EQ(texture.defaults, 3);

    // The fill leaves every pixel transparent black.
    uint8_t pixels[2 * 2 * 4];
    std::fill(std::begin(pixels), std::end(pixels), uint8_t(7));
    glBindTexture(GL_TEXTURE_RECTANGLE_EXT, texture.textureName());
    glGetTexImage(GL_TEXTURE_RECTANGLE_EXT, 0, GL_RGBA, GL_UNSIGNED_BYTE, pixels);
    glBindTexture(GL_TEXTURE_RECTANGLE_EXT, 0);
    for (uint8_t byte : pixels) EXPECT_EQ(byte, 0);
}

TEST_F(NSOGLTextureBaseTest, NullStorageAndTransparentBorder) {
    NSOGLTextureBase texture;
    texture.initWithTextureTarget(GL_TEXTURE_RECTANGLE_EXT, 16, 8);
    texture.setTextureWidth(32);
    texture.setDirty(true);
    EXPECT_TRUE(texture.textureUpdateNull());
    EXPECT_FALSE(texture.isDirty());
    glBindTexture(GL_TEXTURE_RECTANGLE_EXT, texture.textureName());
    GLint width = 0;
    glGetTexLevelParameteriv(GL_TEXTURE_RECTANGLE_EXT, 0, GL_TEXTURE_WIDTH, &width);
    EXPECT_EQ(width, 32);

    glTexParameteri(GL_TEXTURE_RECTANGLE_EXT, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    const GLfloat red[4] = {1, 0, 0, 1};
    glTexParameterfv(GL_TEXTURE_RECTANGLE_EXT, GL_TEXTURE_BORDER_COLOR, red);
    NSOGLTextureBase::textureClampToTransparentBorder(&texture, mContext);
    GLint wrapS = 0, wrapT = 0;
    GLfloat border[4] = {1, 1, 1, 1};
    glGetTexParameteriv(GL_TEXTURE_RECTANGLE_EXT, GL_TEXTURE_WRAP_S, &wrapS);
    glGetTexParameteriv(GL_TEXTURE_RECTANGLE_EXT, GL_TEXTURE_WRAP_T, &wrapT);
    glGetTexParameterfv(GL_TEXTURE_RECTANGLE_EXT, GL_TEXTURE_BORDER_COLOR, border);
    glBindTexture(GL_TEXTURE_RECTANGLE_EXT, 0);
    EXPECT_EQ(wrapS, GL_CLAMP_TO_BORDER);
    EXPECT_EQ(wrapT, GL_CLAMP_TO_BORDER);
    for (GLfloat value : border) EXPECT_EQ(value, 0.0f);

    CGLSetCurrentContext(nullptr);
    texture.setDirty(true);
    EXPECT_FALSE(texture.textureUpdateNull());
    EXPECT_TRUE(texture.isDirty());
}

}  // namespace
