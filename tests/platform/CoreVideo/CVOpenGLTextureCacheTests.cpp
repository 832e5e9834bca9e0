// OpenGL texture caches: pixel buffers of each format into textures, surface-backed buffers
// following their surface, the context the cache works in, and the end of released textures.
#include <CoreVideo/CoreVideo.h>

#include <CoreFoundation/CFNumber.h>
#include <OpenGL/CGLIOSurface.h>
#include <OpenGL/OpenGL.h>
#include <OpenGL/glext.h>

#include <gtest/gtest.h>

#include <cstring>
#include <thread>
#include <vector>

namespace {

IOSurfaceRef MakeBGRASurface(int width, int height) {
    int values[] = {width, height, 4, int(kCVPixelFormatType_32BGRA)};
    const void *keys[] = {kIOSurfaceWidth, kIOSurfaceHeight, kIOSurfaceBytesPerElement, kIOSurfacePixelFormat};
    CFNumberRef numbers[4];
    for (int i = 0; i < 4; ++i) numbers[i] = CFNumberCreate(nullptr, kCFNumberIntType, &values[i]);
    CFDictionaryRef properties =
        CFDictionaryCreate(nullptr, keys, reinterpret_cast<const void **>(numbers), 4, &kCFTypeDictionaryKeyCallBacks,
                           &kCFTypeDictionaryValueCallBacks);
    IOSurfaceRef surface = IOSurfaceCreate(properties);
    CFRelease(properties);
    for (CFNumberRef number : numbers) CFRelease(number);
    return surface;
}

// The texture's level 0 as 'BGRA' bytes, packed.
std::vector<uint8_t> TextureBytes(CVOpenGLTextureRef texture) {
    const CGSize size = CVImageBufferGetEncodedSize(texture);
    std::vector<uint8_t> bytes(size_t(size.width) * size_t(size.height) * 4, 0);
    glBindTexture(CVOpenGLTextureGetTarget(texture), CVOpenGLTextureGetName(texture));
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glGetTexImage(CVOpenGLTextureGetTarget(texture), 0, GL_BGRA, GL_UNSIGNED_BYTE, bytes.data());
    glBindTexture(CVOpenGLTextureGetTarget(texture), 0);
    return bytes;
}

class CVOpenGLTextureCacheTest : public ::testing::Test {
protected:
    void SetUp() override {
        const CGLPixelFormatAttribute attributes[] = {kCGLPFAAccelerated, CGLPixelFormatAttribute(0)};
        GLint count = 0;
        ASSERT_EQ(CGLChoosePixelFormat(attributes, &mFormat, &count), kCGLNoError);
        ASSERT_EQ(CGLCreateContext(mFormat, nullptr, &mContext), kCGLNoError);
        ASSERT_EQ(CGLSetCurrentContext(mContext), kCGLNoError);
        ASSERT_EQ(CVOpenGLTextureCacheCreate(nullptr, nullptr, mContext, mFormat, nullptr, &mCache), kCVReturnSuccess);
    }
    void TearDown() override {
        CVOpenGLTextureCacheRelease(mCache);
        CGLSetCurrentContext(nullptr);
        CGLReleaseContext(mContext);
        CGLReleasePixelFormat(mFormat);
    }
    CVOpenGLTextureRef Texture(CVPixelBufferRef buffer) {
        CVOpenGLTextureRef texture = nullptr;
        EXPECT_EQ(CVOpenGLTextureCacheCreateTextureFromImage(nullptr, mCache, buffer, nullptr, &texture),
                  kCVReturnSuccess);
        return texture;
    }

    CGLPixelFormatObj mFormat = nullptr;
    CGLContextObj mContext = nullptr;
    CVOpenGLTextureCacheRef mCache = nullptr;
};

TEST_F(CVOpenGLTextureCacheTest, RefusesMissingArguments) {
    CVOpenGLTextureCacheRef cache = reinterpret_cast<CVOpenGLTextureCacheRef>(1);
    EXPECT_EQ(CVOpenGLTextureCacheCreate(nullptr, nullptr, nullptr, mFormat, nullptr, &cache), kCVReturnInvalidArgument);
    EXPECT_EQ(cache, nullptr);
    EXPECT_EQ(CVOpenGLTextureCacheCreate(nullptr, nullptr, mContext, nullptr, nullptr, &cache), kCVReturnInvalidArgument);
    EXPECT_EQ(CVOpenGLTextureCacheCreate(nullptr, nullptr, mContext, mFormat, nullptr, nullptr), kCVReturnInvalidArgument);

    CVPixelBufferRef buffer = nullptr;
    ASSERT_EQ(CVPixelBufferCreate(nullptr, 4, 4, kCVPixelFormatType_32BGRA, nullptr, &buffer), kCVReturnSuccess);
    CVOpenGLTextureRef texture = reinterpret_cast<CVOpenGLTextureRef>(1);
    EXPECT_EQ(CVOpenGLTextureCacheCreateTextureFromImage(nullptr, nullptr, buffer, nullptr, &texture),
              kCVReturnInvalidArgument);
    EXPECT_EQ(texture, nullptr);
    EXPECT_EQ(CVOpenGLTextureCacheCreateTextureFromImage(nullptr, mCache, nullptr, nullptr, &texture),
              kCVReturnInvalidArgument);
    // A cache is not an image.
    EXPECT_EQ(CVOpenGLTextureCacheCreateTextureFromImage(nullptr, mCache, reinterpret_cast<CVImageBufferRef>(mCache),
                                                         nullptr, &texture),
              kCVReturnInvalidArgument);
    EXPECT_EQ(CVOpenGLTextureGetName(buffer), 0u);
    EXPECT_EQ(CVOpenGLTextureGetTarget(buffer), 0u);
    EXPECT_FALSE(CVOpenGLTextureIsFlipped(buffer));
    CVPixelBufferRelease(buffer);
}

TEST_F(CVOpenGLTextureCacheTest, UploadsBuffersInMemoryOfEachFormat) {
    // 'BGRA' with rows padded past the pixels, 32-bit ARGB, and '2vuy' of odd width.
    uint8_t bgra[3 * 40] = {};
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 5; ++x) {
            uint8_t *pixel = bgra + y * 40 + x * 4;
            pixel[0] = uint8_t(x), pixel[1] = uint8_t(y), pixel[2] = 0x80, pixel[3] = 0xFF;
        }
    const uint8_t argb[2 * 8] = {0xFF, 0x10, 0x20, 0x30, 0x80, 0x40, 0x50, 0x60,
                                 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08};
    // Pairs: black and white (grey chroma), then a red pair of which only one pixel is used.
    const uint8_t yuv[12] = {128, 16, 128, 235, 90, 81, 240, 81};
    struct Case {
        const char *name;
        OSType format;
        size_t width, height, rowBytes;
        void *bytes;
        std::vector<uint8_t> expected;  // 'BGRA', packed
    };
    std::vector<uint8_t> bgraExpected;
    for (int y = 0; y < 3; ++y)
        bgraExpected.insert(bgraExpected.end(), bgra + y * 40, bgra + y * 40 + 20);
    const Case cases[] = {
        {"BGRA", kCVPixelFormatType_32BGRA, 5, 3, 40, bgra, bgraExpected},
        {"ARGB", kCVPixelFormatType_32ARGB, 2, 2, 8, const_cast<uint8_t *>(argb),
         {0x30, 0x20, 0x10, 0xFF, 0x60, 0x50, 0x40, 0x80, 0x04, 0x03, 0x02, 0x01, 0x08, 0x07, 0x06, 0x05}},
        {"2vuy", kCVPixelFormatType_422YpCbCr8, 3, 1, 12, const_cast<uint8_t *>(yuv),
         {0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0xFE, 0xFF}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        CVPixelBufferRef buffer = nullptr;
        ASSERT_EQ(CVPixelBufferCreateWithBytes(nullptr, c.width, c.height, c.format, c.bytes, c.rowBytes, nullptr,
                                               nullptr, nullptr, &buffer),
                  kCVReturnSuccess);
        CVOpenGLTextureRef texture = Texture(buffer);
        ASSERT_NE(texture, nullptr);
        EXPECT_EQ(CVOpenGLTextureGetTarget(texture), GLenum(GL_TEXTURE_RECTANGLE));
        EXPECT_NE(CVOpenGLTextureGetName(texture), 0u);
        EXPECT_TRUE(CVOpenGLTextureIsFlipped(texture));
        const CGSize size = CVImageBufferGetEncodedSize(texture);
        EXPECT_EQ(size.width, double(c.width));
        EXPECT_EQ(size.height, double(c.height));
        const std::vector<uint8_t> bytes = TextureBytes(texture);
        ASSERT_EQ(bytes.size(), c.expected.size());
        for (size_t i = 0; i < bytes.size(); ++i) EXPECT_NEAR(int(bytes[i]), int(c.expected[i]), 1) << "byte " << i;
        CVOpenGLTextureRelease(texture);
        CVPixelBufferRelease(buffer);
    }
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}

TEST_F(CVOpenGLTextureCacheTest, SurfaceBufferTextureFollowsItsSurface) {
    IOSurfaceRef surface = MakeBGRASurface(4, 2);
    ASSERT_NE(surface, nullptr);
    CVPixelBufferRef buffer = nullptr;
    ASSERT_EQ(CVPixelBufferCreateWithIOSurface(nullptr, surface, nullptr, &buffer), kCVReturnSuccess);
    CFRelease(surface);  // the buffer holds it
    auto fill = [&](uint8_t value) {
        ASSERT_EQ(CVPixelBufferLockBaseAddress(buffer, 0), kCVReturnSuccess);
        std::memset(CVPixelBufferGetBaseAddress(buffer), value, CVPixelBufferGetDataSize(buffer));
        ASSERT_EQ(CVPixelBufferUnlockBaseAddress(buffer, 0), kCVReturnSuccess);
    };
    fill(0x11);
    CVOpenGLTextureRef texture = Texture(buffer);
    ASSERT_NE(texture, nullptr);
    EXPECT_EQ(TextureBytes(texture), std::vector<uint8_t>(32, 0x11));
    fill(0x22);
    glFlushRenderAPPLE();  // a sync point
    EXPECT_EQ(TextureBytes(texture), std::vector<uint8_t>(32, 0x22));
    CVOpenGLTextureRelease(texture);
    CVPixelBufferRelease(buffer);
}

TEST_F(CVOpenGLTextureCacheTest, WorksInItsContextAndDeletesReleasedTextures) {
    CVPixelBufferRef buffer = nullptr;
    ASSERT_EQ(CVPixelBufferCreate(nullptr, 4, 4, kCVPixelFormatType_32BGRA, nullptr, &buffer), kCVReturnSuccess);

    // Called with another context current, or none, the cache makes the texture in its own
    // context's group and gives the caller's context back.
    CGLContextObj other = nullptr;
    ASSERT_EQ(CGLCreateContext(mFormat, nullptr, &other), kCGLNoError);
    ASSERT_EQ(CGLSetCurrentContext(other), kCGLNoError);
    CVOpenGLTextureRef first = Texture(buffer);
    EXPECT_EQ(CGLGetCurrentContext(), other);
    ASSERT_EQ(CGLSetCurrentContext(nullptr), kCGLNoError);
    CVOpenGLTextureRef second = Texture(buffer);
    EXPECT_EQ(CGLGetCurrentContext(), nullptr);
    ASSERT_EQ(CGLSetCurrentContext(mContext), kCGLNoError);
    const GLuint firstName = CVOpenGLTextureGetName(first), secondName = CVOpenGLTextureGetName(second);
    EXPECT_TRUE(glIsTexture(firstName));
    EXPECT_TRUE(glIsTexture(secondName));

    // Released on another thread without a context, a texture goes at the flush.
    std::thread([&] { CVOpenGLTextureRelease(first); }).join();
    EXPECT_TRUE(glIsTexture(firstName));
    CVOpenGLTextureCacheFlush(mCache, 0);
    EXPECT_FALSE(glIsTexture(firstName));
    // ...or with the cache, made current for the time.
    CVOpenGLTextureRelease(second);
    ASSERT_EQ(CGLSetCurrentContext(other), kCGLNoError);
    CVOpenGLTextureCacheRelease(mCache);
    mCache = nullptr;
    EXPECT_EQ(CGLGetCurrentContext(), other);
    ASSERT_EQ(CGLSetCurrentContext(mContext), kCGLNoError);
    EXPECT_FALSE(glIsTexture(secondName));
    CGLReleaseContext(other);
    CVPixelBufferRelease(buffer);
}

}  // namespace
