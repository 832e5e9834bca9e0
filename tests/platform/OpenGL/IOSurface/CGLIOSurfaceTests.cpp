// Surface textures: uploads from a surface written here or in another process, drawing read
// back into the surface at the sync points, seeds, and the binding seen from every context
// of the share group and from other threads.
#include <OpenGL/CGLIOSurface.h>
#include <OpenGL/OpenGL.h>
#include <OpenGL/glext.h>

#include <IOSurface/IOSurface.h>

#include <CoreFoundation/CFNumber.h>

#include <gtest/gtest.h>

#include "helper/HelperProcess.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr int kBGRA = 0x42475241;

IOSurfaceRef MakeSurface(int width, int height, int bytesPerElement = 4, int bytesPerRow = 0) {
    CFMutableDictionaryRef properties =
        CFDictionaryCreateMutable(nullptr, 0, &kCFTypeDictionaryKeyCallBacks, &kCFTypeDictionaryValueCallBacks);
    const std::pair<CFStringRef, int> numbers[] = {{kIOSurfaceWidth, width},
                                                   {kIOSurfaceHeight, height},
                                                   {kIOSurfaceBytesPerElement, bytesPerElement},
                                                   {kIOSurfaceBytesPerRow, bytesPerRow},
                                                   {kIOSurfacePixelFormat, kBGRA}};
    for (const auto &[key, value] : numbers) {
        if (value == 0) continue;
        CFNumberRef number = CFNumberCreate(nullptr, kCFNumberIntType, &value);
        CFDictionarySetValue(properties, key, number);
        CFRelease(number);
    }
    CFDictionarySetValue(properties, kIOSurfaceIsGlobal, kCFBooleanTrue);
    IOSurfaceRef surface = IOSurfaceCreate(properties);
    CFRelease(properties);
    return surface;
}

// The 4-byte pixel (x, y) of the surface in memory order, read without a lock.
uint32_t SurfacePixel(IOSurfaceRef surface, size_t x, size_t y) {
    uint32_t pixel;
    std::memcpy(&pixel,
                static_cast<uint8_t *>(IOSurfaceGetBaseAddress(surface)) + y * IOSurfaceGetBytesPerRow(surface) + x * 4,
                4);
    return pixel;
}

// Fills the surface under a write lock with one 4-byte value.
void FillSurface(IOSurfaceRef surface, uint32_t value) {
    IOSurfaceLock(surface, 0, nullptr);
    for (size_t y = 0; y < IOSurfaceGetHeight(surface); ++y)
        for (size_t x = 0; x < IOSurfaceGetWidth(surface); ++x)
            std::memcpy(static_cast<uint8_t *>(IOSurfaceGetBaseAddress(surface)) +
                            y * IOSurfaceGetBytesPerRow(surface) + x * 4,
                        &value, 4);
    IOSurfaceUnlock(surface, 0, nullptr);
}

// Level 0 of the texture as packed 'BGRA' bytes (one uint32_t a pixel, memory order).
std::vector<uint32_t> TexturePixels(GLenum target, GLuint texture, int width, int height) {
    std::vector<uint32_t> pixels(size_t(width) * size_t(height), 0);
    glBindTexture(target, texture);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glGetTexImage(target, 0, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, pixels.data());
    glBindTexture(target, 0);
    return pixels;
}

// The bytes b0 b1 b2 b3 as a uint32_t with that memory order.
uint32_t Bytes(uint8_t b0, uint8_t b1, uint8_t b2, uint8_t b3) {
    const uint8_t bytes[4] = {b0, b1, b2, b3};
    uint32_t value;
    std::memcpy(&value, bytes, 4);
    return value;
}

// The helper's gradient pixel (x, y): bytes x, y, 0x80, 0xFF.
uint32_t Gradient(int x, int y) { return Bytes(uint8_t(x), uint8_t(y), 0x80, 0xFF); }

const uint32_t kBlue = Bytes(0xFF, 0, 0, 0xFF);  // 'BGRA' bytes
const uint32_t kRed = Bytes(0, 0, 0xFF, 0xFF);

// A framebuffer object drawing into `texture`.
GLuint FramebufferOn(GLenum target, GLuint texture) {
    GLuint framebuffer = 0;
    glGenFramebuffers(1, &framebuffer);
    glBindFramebuffer(GL_FRAMEBUFFER, framebuffer);
    glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, target, texture, 0);
    EXPECT_EQ(glCheckFramebufferStatus(GL_FRAMEBUFFER), GLenum(GL_FRAMEBUFFER_COMPLETE));
    return framebuffer;
}

// Clears the bound framebuffer to blue with a red rectangle of 3 x 2 at (2, 1).
void DrawBlueWithRedRectangle(int width, int height) {
    glViewport(0, 0, width, height);
    glDisable(GL_SCISSOR_TEST);
    glClearColor(0, 0, 1, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    glEnable(GL_SCISSOR_TEST);
    glScissor(2, 1, 3, 2);
    glClearColor(1, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    glDisable(GL_SCISSOR_TEST);
}

bool InRedRectangle(int x, int y) { return x >= 2 && x < 5 && y >= 1 && y < 3; }

std::string Hex(uint32_t pixel) {
    const uint8_t *bytes = reinterpret_cast<const uint8_t *>(&pixel);
    char text[16];
    std::snprintf(text, sizeof text, "%02x%02x%02x%02x", bytes[0], bytes[1], bytes[2], bytes[3]);
    return text;
}

class CGLIOSurfaceTest : public ::testing::Test {
protected:
    void SetUp() override {
        const CGLPixelFormatAttribute attributes[] = {kCGLPFAAccelerated, CGLPixelFormatAttribute(0)};
        GLint count = 0;
        ASSERT_EQ(CGLChoosePixelFormat(attributes, &mFormat, &count), kCGLNoError);
        mContext = Make(nullptr);
        ASSERT_EQ(CGLSetCurrentContext(mContext), kCGLNoError);
    }
    void TearDown() override {
        CGLSetCurrentContext(nullptr);
        for (CGLContextObj context : mContexts) CGLReleaseContext(context);
        for (IOSurfaceRef surface : mSurfaces) CFRelease(surface);
        CGLReleasePixelFormat(mFormat);
    }
    CGLContextObj Make(CGLContextObj share) {
        CGLContextObj context = nullptr;
        EXPECT_EQ(CGLCreateContext(mFormat, share, &context), kCGLNoError);
        mContexts.push_back(context);
        return context;
    }
    IOSurfaceRef Surface(int width, int height, int bytesPerElement = 4, int bytesPerRow = 0) {
        IOSurfaceRef surface = MakeSurface(width, height, bytesPerElement, bytesPerRow);
        EXPECT_NE(surface, nullptr);
        mSurfaces.push_back(surface);
        return surface;
    }
    // A new texture bound to target on the current context, with `surface` as its storage.
    GLuint BoundTexture(GLenum target, IOSurfaceRef surface) {
        GLuint texture = 0;
        glGenTextures(1, &texture);
        glBindTexture(target, texture);
        EXPECT_EQ(CGLTexImageIOSurface2D(CGLGetCurrentContext(), target, GL_RGBA8, GLsizei(IOSurfaceGetWidth(surface)),
                                         GLsizei(IOSurfaceGetHeight(surface)), GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV,
                                         surface, 0),
                  kCGLNoError);
        glBindTexture(target, 0);
        return texture;
    }

    CGLPixelFormatObj mFormat = nullptr;
    CGLContextObj mContext = nullptr;
    std::vector<CGLContextObj> mContexts;
    std::vector<IOSurfaceRef> mSurfaces;
};

TEST_F(CGLIOSurfaceTest, RefusesWhatDoesNotFitTheSurface) {
    IOSurfaceRef surface = Surface(8, 4);              // 4 bytes a pixel, rows of 32 bytes
    IOSurfaceRef oddRows = Surface(8, 4, 4, 34);       // rows not a whole number of pixels
    IOSurfaceRef twoBytes = Surface(8, 4, 2);          // 2 bytes a pixel
    struct Case {
        const char *name;
        GLenum target, internalFormat;
        GLsizei width, height;
        GLenum format, type;
        IOSurfaceRef surface;
        GLuint plane;
        CGLError expected;
    };
    const Case cases[] = {
        {"rectangle BGRA", GL_TEXTURE_RECTANGLE, GL_RGBA, 8, 4, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, surface, 0, kCGLNoError},
        {"2D RGBA bytes", GL_TEXTURE_2D, GL_RGBA8, 8, 4, GL_RGBA, GL_UNSIGNED_BYTE, surface, 0, kCGLNoError},
        {"two bytes a pixel", GL_TEXTURE_2D, GL_RG8, 8, 4, GL_RG, GL_UNSIGNED_BYTE, twoBytes, 0, kCGLNoError},
        {"width not the surface's", GL_TEXTURE_RECTANGLE, GL_RGBA, 7, 4, GL_BGRA, GL_UNSIGNED_BYTE, surface, 0, kCGLBadValue},
        {"height not the surface's", GL_TEXTURE_RECTANGLE, GL_RGBA, 8, 5, GL_BGRA, GL_UNSIGNED_BYTE, surface, 0, kCGLBadValue},
        {"pixel wider than an element", GL_TEXTURE_2D, GL_RGBA, 8, 4, GL_RGBA, GL_UNSIGNED_SHORT, surface, 0, kCGLBadValue},
        {"pixel narrower than an element", GL_TEXTURE_2D, GL_RGBA, 8, 4, GL_RGB, GL_UNSIGNED_SHORT_5_6_5, surface, 0, kCGLBadValue},
        {"packed type of another format", GL_TEXTURE_2D, GL_RGBA, 8, 4, GL_RGB, GL_UNSIGNED_INT_8_8_8_8, surface, 0, kCGLBadValue},
        {"unknown format", GL_TEXTURE_2D, GL_RGBA, 8, 4, GL_DEPTH_COMPONENT, GL_UNSIGNED_INT, surface, 0, kCGLBadValue},
        {"internal format GL refuses", GL_TEXTURE_2D, GL_DEPTH_COMPONENT24, 8, 4, GL_BGRA, GL_UNSIGNED_BYTE, surface, 0, kCGLBadValue},
        {"rows not whole pixels", GL_TEXTURE_2D, GL_RGBA, 8, 4, GL_BGRA, GL_UNSIGNED_BYTE, oddRows, 0, kCGLBadValue},
        {"plane 1", GL_TEXTURE_2D, GL_RGBA, 8, 4, GL_BGRA, GL_UNSIGNED_BYTE, surface, 1, kCGLBadValue},
        {"cube map target", GL_TEXTURE_CUBE_MAP, GL_RGBA, 8, 4, GL_BGRA, GL_UNSIGNED_BYTE, surface, 0, kCGLBadValue},
        {"no surface", GL_TEXTURE_2D, GL_RGBA, 8, 4, GL_BGRA, GL_UNSIGNED_BYTE, nullptr, 0, kCGLBadValue},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        GLuint bound = 0;
        glGenTextures(1, &bound);
        if (c.target == GL_TEXTURE_2D || c.target == GL_TEXTURE_RECTANGLE) glBindTexture(c.target, bound);
        EXPECT_EQ(CGLTexImageIOSurface2D(mContext, c.target, c.internalFormat, c.width, c.height, c.format, c.type,
                                         c.surface, c.plane),
                  c.expected);
        EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
        if (c.target == GL_TEXTURE_2D || c.target == GL_TEXTURE_RECTANGLE) {
            // A refused binding leaves the texture as it was: no storage, not a surface texture.
            GLint width = -1;
            glGetTexLevelParameteriv(c.target, 0, GL_TEXTURE_WIDTH, &width);
            EXPECT_EQ(width, c.expected == kCGLNoError ? c.width : 0);
            EXPECT_EQ(CGLSetIOSurfaceTextureRendered(mContext, bound),
                      c.expected == kCGLNoError ? kCGLNoError : kCGLBadValue);
            glBindTexture(c.target, 0);
        }
        glDeleteTextures(1, &bound);
    }

    // The default texture (name 0) is the context's own: not a shareable storage.
    glBindTexture(GL_TEXTURE_2D, 0);
    EXPECT_EQ(CGLTexImageIOSurface2D(mContext, GL_TEXTURE_2D, GL_RGBA, 8, 4, GL_BGRA, GL_UNSIGNED_BYTE, surface, 0),
              kCGLBadValue);
    // The context must be the current one.
    CGLContextObj other = Make(mContext);
    EXPECT_EQ(CGLTexImageIOSurface2D(other, GL_TEXTURE_2D, GL_RGBA, 8, 4, GL_BGRA, GL_UNSIGNED_BYTE, surface, 0),
              kCGLBadContext);
    EXPECT_EQ(CGLTexImageIOSurface2D(nullptr, GL_TEXTURE_2D, GL_RGBA, 8, 4, GL_BGRA, GL_UNSIGNED_BYTE, surface, 0),
              kCGLBadContext);
    EXPECT_EQ(CGLSyncIOSurfaceTextures(other), kCGLBadContext);
    EXPECT_EQ(CGLSetIOSurfaceTextureRendered(other, 1), kCGLBadContext);
    ASSERT_EQ(CGLSetCurrentContext(nullptr), kCGLNoError);
    EXPECT_EQ(CGLTexImageIOSurface2D(mContext, GL_TEXTURE_2D, GL_RGBA, 8, 4, GL_BGRA, GL_UNSIGNED_BYTE, surface, 0),
              kCGLBadContext);
}

TEST_F(CGLIOSurfaceTest, TextureShowsWhatAnotherProcessWrote) {
    // Padded rows (256 bytes for 37 pixels) check the row length of the upload.
    IOSurfaceRef surface = Surface(37, 23, 4, 256);
    FillSurface(surface, 0);
    const GLuint texture = BoundTexture(GL_TEXTURE_RECTANGLE, surface);
    const uint32_t seedAtBinding = IOSurfaceGetSeed(surface);

    {
        Helper helper({"gradient", std::to_string(IOSurfaceGetID(surface))});
        EXPECT_EQ(helper.line(), std::to_string(seedAtBinding + 1));
    }
    // Nothing moves before a sync point; at one, the newer surface is uploaded.
    EXPECT_EQ(TexturePixels(GL_TEXTURE_RECTANGLE, texture, 37, 23)[0], 0u);
    ASSERT_EQ(CGLSyncIOSurfaceTextures(mContext), kCGLNoError);
    const std::vector<uint32_t> pixels = TexturePixels(GL_TEXTURE_RECTANGLE, texture, 37, 23);
    for (int y = 0; y < 23; ++y)
        for (int x = 0; x < 37; ++x) ASSERT_EQ(pixels[size_t(y) * 37 + size_t(x)], Gradient(x, y)) << x << "," << y;
    // An upload reads the surface: the seed stays.
    EXPECT_EQ(IOSurfaceGetSeed(surface), seedAtBinding + 1);

    // Written here and uploaded at the flush of the render.
    FillSurface(surface, kRed);
    glFlushRenderAPPLE();
    EXPECT_EQ(TexturePixels(GL_TEXTURE_RECTANGLE, texture, 37, 23).back(), kRed);
    glDeleteTextures(1, &texture);
}

TEST_F(CGLIOSurfaceTest, DrawingReachesTheSurfaceAtTheSyncPoints) {
    constexpr int kWidth = 9, kHeight = 5;
    IOSurfaceRef surface = Surface(kWidth, kHeight);
    FillSurface(surface, 0);
    const GLuint texture = BoundTexture(GL_TEXTURE_RECTANGLE, surface);
    const GLuint framebuffer = FramebufferOn(GL_TEXTURE_RECTANGLE, texture);
    const std::string id = std::to_string(IOSurfaceGetID(surface));
    auto readInHelper = [&] {
        Helper helper({"read", id, "0", "0", "2", "1", "4", "2", "5", "2", "8", "4"});
        return helper.line();
    };
    auto expectDrawn = [&] {
        for (int y = 0; y < kHeight; ++y)
            for (int x = 0; x < kWidth; ++x)
                ASSERT_EQ(SurfacePixel(surface, size_t(x), size_t(y)), InRedRectangle(x, y) ? kRed : kBlue)
                    << x << "," << y;
    };

    // A CPU lock in this process reads back what the bound framebuffer drew; a lock that
    // avoids the sync does not.
    DrawBlueWithRedRectangle(kWidth, kHeight);
    uint32_t seed = IOSurfaceGetSeed(surface), lockSeed = 0;
    ASSERT_EQ(IOSurfaceLock(surface, kIOSurfaceLockReadOnly | kIOSurfaceLockAvoidSync, nullptr), kIOReturnSuccess);
    EXPECT_EQ(SurfacePixel(surface, 0, 0), 0u);
    IOSurfaceUnlock(surface, kIOSurfaceLockReadOnly | kIOSurfaceLockAvoidSync, nullptr);
    ASSERT_EQ(IOSurfaceLock(surface, kIOSurfaceLockReadOnly, &lockSeed), kIOReturnSuccess);
    expectDrawn();
    IOSurfaceUnlock(surface, kIOSurfaceLockReadOnly, nullptr);
    EXPECT_EQ(lockSeed, seed + 1);  // the read-back is a write of the surface

    // Another process sees a frame once it has been flushed here while drawing.
    glClearColor(0, 1, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    const uint32_t green = Bytes(0, 0xFF, 0, 0xFF);
    EXPECT_EQ(readInHelper(), std::to_string(lockSeed) + " " + Hex(kBlue) + " " + Hex(kRed) + " " + Hex(kRed) +
                                  " " + Hex(kBlue) + " " + Hex(kBlue))
        << "the old frame before the flush";
    glFlushRenderAPPLE();
    const std::string g = Hex(green);
    EXPECT_EQ(readInHelper(), std::to_string(lockSeed + 1) + " " + g + " " + g + " " + g + " " + g + " " + g);

    // Drawing that is over (framebuffer unbound) reaches the surface when it is said to have
    // been drawn, at the next sync point.
    DrawBlueWithRedRectangle(kWidth, kHeight);
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    glFinishRenderAPPLE();
    EXPECT_EQ(SurfacePixel(surface, 0, 0), green) << "not known to be drawn";
    EXPECT_EQ(CGLSetIOSurfaceTextureRendered(mContext, texture), kCGLNoError);
    glFinishRenderAPPLE();
    expectDrawn();
    EXPECT_EQ(readInHelper(), std::to_string(lockSeed + 2) + " " + Hex(kBlue) + " " + Hex(kRed) + " " + Hex(kRed) +
                                  " " + Hex(kBlue) + " " + Hex(kBlue));
    // Read back once: the next sync point leaves the surface (and its seed) alone.
    ASSERT_EQ(CGLSyncIOSurfaceTextures(mContext), kCGLNoError);
    EXPECT_EQ(IOSurfaceGetSeed(surface), lockSeed + 2);

    // A texture flushed through CGLFlushDrawable (a context without a window) too.
    glBindFramebuffer(GL_FRAMEBUFFER, framebuffer);
    glClearColor(1, 1, 1, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    EXPECT_EQ(CGLFlushDrawable(mContext), kCGLNoError);
    EXPECT_EQ(SurfacePixel(surface, 8, 4), 0xFFFFFFFFu);
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    glDeleteFramebuffers(1, &framebuffer);
    glDeleteTextures(1, &texture);
}

TEST_F(CGLIOSurfaceTest, BindingHoldsInTheShareGroupAndOnOtherThreads) {
    constexpr int kWidth = 6, kHeight = 4;
    IOSurfaceRef surface = Surface(kWidth, kHeight);
    FillSurface(surface, kBlue);
    const GLuint texture = BoundTexture(GL_TEXTURE_2D, surface);
    glFinish();

    // A second context of the group uploads the surface's new pixels into the shared texture.
    CGLContextObj second = Make(mContext);
    ASSERT_EQ(CGLSetCurrentContext(second), kCGLNoError);
    FillSurface(surface, kRed);
    ASSERT_EQ(CGLSyncIOSurfaceTextures(second), kCGLNoError);
    EXPECT_EQ(TexturePixels(GL_TEXTURE_2D, texture, kWidth, kHeight)[0], kRed);
    glFinish();

    // A context of another group has its own texture of that name, which is not the surface's:
    // drawing into it and finishing there leaves the surface alone.
    CGLContextObj stranger = Make(nullptr);
    ASSERT_EQ(CGLSetCurrentContext(stranger), kCGLNoError);
    GLuint own = 0;
    glGenTextures(1, &own);
    EXPECT_EQ(own, texture) << "the test wants the same name in both groups";
    glBindTexture(GL_TEXTURE_2D, own);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, kWidth, kHeight, 0, GL_BGRA, GL_UNSIGNED_BYTE, nullptr);
    glBindTexture(GL_TEXTURE_2D, 0);
    const GLuint strangerFramebuffer = FramebufferOn(GL_TEXTURE_2D, own);
    glClearColor(0, 1, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    glFinishRenderAPPLE();
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    glDeleteFramebuffers(1, &strangerFramebuffer);
    glDeleteTextures(1, &own);
    EXPECT_EQ(SurfacePixel(surface, 0, 0), kRed);

    // Another thread, on a shadow of the first context (current here too), draws into the
    // texture and finishes there: the read-back is done on that thread.
    ASSERT_EQ(CGLSetCurrentContext(mContext), kCGLNoError);
    std::thread([&] {
        ASSERT_EQ(CGLSetCurrentContext(mContext), kCGLNoError);
        const GLuint framebuffer = FramebufferOn(GL_TEXTURE_2D, texture);
        DrawBlueWithRedRectangle(kWidth, kHeight);
        glFinishRenderAPPLE();
        glBindFramebuffer(GL_FRAMEBUFFER, 0);
        glDeleteFramebuffers(1, &framebuffer);
        CGLSetCurrentContext(nullptr);
    }).join();
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x)
            ASSERT_EQ(SurfacePixel(surface, size_t(x), size_t(y)), InRedRectangle(x, y) ? kRed : kBlue) << x << "," << y;

    // Deleted, the texture is no longer the surface's, even when its name comes back: drawing
    // into the new texture of that name leaves the surface alone.
    // (The compatibility profile makes a texture of any name at its first binding.)
    glDeleteTextures(1, &texture);
    const GLuint again = texture;
    glBindTexture(GL_TEXTURE_2D, again);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, kWidth, kHeight, 0, GL_BGRA, GL_UNSIGNED_BYTE, nullptr);
    glBindTexture(GL_TEXTURE_2D, 0);
    const GLuint framebuffer = FramebufferOn(GL_TEXTURE_2D, again);
    glClearColor(0, 1, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    const uint32_t seed = IOSurfaceGetSeed(surface);
    glFinishRenderAPPLE();
    EXPECT_EQ(SurfacePixel(surface, 0, 0), kBlue);
    EXPECT_EQ(IOSurfaceGetSeed(surface), seed);
    EXPECT_EQ(CGLSetIOSurfaceTextureRendered(mContext, again), kCGLBadValue);
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    glDeleteFramebuffers(1, &framebuffer);
    glDeleteTextures(1, &again);
}

}  // namespace
