// Core Video textures: a pixel buffer made into a texture through the cache of the root
// sharing context (name, size, flips and coordinates in pixels, the pixels themselves), the
// flips changing the coordinates, and updates that fail keeping the previous texture.
#include <CocoaGL/NSOGLCoreVideoTexture.h>
#include <CocoaGL/NSOGLSharingContext.h>

#include <CoreFoundation/CFString.h>
#include <CoreG/GL/namespace_OpenGL_CGLContextState.h>

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

// A 'BGRA' pixel buffer in memory filled with one B,G,R,A value (released by the caller).
CVPixelBufferRef NewBuffer(size_t width, size_t height, uint32_t bgra) {
    CVPixelBufferRef buffer = nullptr;
    EXPECT_EQ(CVPixelBufferCreate(nullptr, width, height, kCVPixelFormatType_32BGRA, nullptr, &buffer),
              kCVReturnSuccess);
    if (buffer == nullptr) return nullptr;
    CVPixelBufferLockBaseAddress(buffer, 0);
    auto *bytes = static_cast<uint8_t *>(CVPixelBufferGetBaseAddress(buffer));
    for (size_t y = 0; y < height; ++y)
        for (size_t x = 0; x < width; ++x)
            std::memcpy(bytes + y * CVPixelBufferGetBytesPerRow(buffer) + x * 4, &bgra, 4);
    CVPixelBufferUnlockBaseAddress(buffer, 0);
    return buffer;
}

struct Coords {
    float sMin, sMax, tMin, tMax;
    bool operator==(const Coords &) const = default;
};

Coords CoordsOf(const NSOGLCoreVideoTexture &texture) {
    return {texture.textureCoordSMin(), texture.textureCoordSMax(), texture.textureCoordTMin(),
            texture.textureCoordTMax()};
}

void PrintTo(const Coords &c, std::ostream *os) {
    *os << "S " << c.sMin << ".." << c.sMax << " T " << c.tMin << ".." << c.tMax;
}

TEST(NSOGLCoreVideoTexture, PixelBufferBecomesAnUprightTextureOfItsSize) {
    ASSERT_TRUE(import_NSOGLCoreVideoTexture());
    auto texture = NSOGLCVTextureCacheTexture::textureWithDefaultSharedContext();
    ASSERT_NE(texture, nullptr);
    EXPECT_FALSE(texture->isTextureValid());  // no texture yet

    CVPixelBufferRef buffer = NewBuffer(640, 480, 0x80402010u);
    ASSERT_TRUE(texture->updateTextureWithPixelBuffer(buffer));
    CVPixelBufferRelease(buffer);
    EXPECT_TRUE(texture->isTextureValid());
    EXPECT_EQ(texture->textureWidth(), 640u);
    EXPECT_EQ(texture->textureHeight(), 480u);
    EXPECT_EQ(texture->textureTarget(), GLenum(GL_TEXTURE_RECTANGLE_EXT));
    EXPECT_NE(texture->textureName(), 0u);
    EXPECT_FALSE(texture->textureUpdate());
    EXPECT_FALSE(texture->textureUpdateNeeded());

    // The cache's textures have the image's top row in row 0: drawn flipped, so upright.
    EXPECT_TRUE(texture->flipVertical());
    EXPECT_FALSE(texture->upsideDown());
    EXPECT_EQ(CoordsOf(*texture), (Coords{0, 640, 480, 0}));
    texture->setFlipVertical(false);
    EXPECT_TRUE(texture->upsideDown());
    EXPECT_EQ(CoordsOf(*texture), (Coords{0, 640, 0, 480}));
    texture->setFlipHorizontal(true);
    EXPECT_EQ(CoordsOf(*texture), (Coords{640, 0, 0, 480}));

    // The pixels, read in the root's share group.
    OpenGL::CGLContextStateLock scope(NSOGLSharingContext::rootSharingContext()->CGLContextObj());
    std::vector<uint32_t> pixels(640 * 480, 0);
    glBindTexture(GL_TEXTURE_RECTANGLE_EXT, texture->textureName());
    glGetTexImage(GL_TEXTURE_RECTANGLE_EXT, 0, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, pixels.data());
    glBindTexture(GL_TEXTURE_RECTANGLE_EXT, 0);
    EXPECT_EQ(pixels.front(), 0x80402010u);
    EXPECT_EQ(pixels.back(), 0x80402010u);
    CGLSetCurrentContext(nullptr);
}

TEST(NSOGLCoreVideoTexture, FailedUpdatesKeepThePreviousTexture) {
    auto texture = NSOGLCVTextureCacheTexture::textureWithDefaultSharedContext();
    ASSERT_NE(texture, nullptr);
    CVPixelBufferRef buffer = NewBuffer(32, 16, 0xFF0000FFu);
    ASSERT_TRUE(texture->updateTextureWithPixelBuffer(buffer, false));
    CVPixelBufferRelease(buffer);
    CVOpenGLTextureRef kept = texture->textureCopy();
    ASSERT_NE(kept, nullptr);

    EXPECT_FALSE(texture->updateTextureWithPixelBuffer(nullptr));
    EXPECT_FALSE(texture->updateTextureWithPixelBuffer(CFSTR("not a pixel buffer")));
    EXPECT_EQ(texture->texture(), kept);
    EXPECT_EQ(texture->textureWidth(), 32u);

    // Without a cache nothing can be made.
    NSOGLCVTextureCacheTexture cacheless;
    buffer = NewBuffer(8, 8, 0);
    EXPECT_FALSE(cacheless.updateTextureWithPixelBuffer(buffer));
    EXPECT_FALSE(cacheless.isTextureValid());
    CVPixelBufferRelease(buffer);
    CVOpenGLTextureRelease(kept);

    EXPECT_EQ(NSOGLCVTextureCacheTexture::textureWithOpenGLContext(nullptr, nullptr), nullptr);
    EXPECT_EQ(NSOGLCVTextureCacheTexture::createTextureCacheWithOpenGLContext(
                  NSOGLSharingContext::rootSharingContext().get(), nullptr),
              nullptr);
}

TEST(NSOGLCoreVideoTexture, TextureMatrixNilLoadsTheIdentity) {
    OpenGL::CGLContextStateLock scope(NSOGLSharingContext::rootSharingContext()->CGLContextObj());
    NSOGLCoreVideoTexture texture;
    glMatrixMode(GL_TEXTURE);
    glLoadIdentity();
    glScalef(2, 2, 2);
    texture.textureWithMatrix(nullptr);
    GLfloat m[16] = {};
    glGetFloatv(GL_TEXTURE_MATRIX, m);
    EXPECT_EQ(m[0], 1.0f);
    glMatrixMode(GL_MODELVIEW);
    CGLSetCurrentContext(nullptr);
}

}  // namespace
