// IOSurface textures: the surfaces they make, a texture on a surface (size, coordinates,
// surface references and use counts), filling a surface, the CGImages of a surface (copied or
// over the locked surface), and pixels crossing between the CPU and GL both ways: a surface
// filled by the CPU shows in its texture, and what is rendered into the texture through its
// framebuffer is read through a CPU lock.
#include <CocoaGL/NSOGLTextureIOSurface.h>
#include <CocoaGL/NSOGLTextureIOSurfaceFBO.h>

#include <CoreFoundation/CFNumber.h>
#include <IOSurface/IOSurface.h>
#include <OpenGL/CGLIOSurface.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "FramebufferTestSupport.h"

namespace {

constexpr OSType kBGRA = 0x42475241u;

// A surface of the caller's (released at the end of the scope).
struct Surface {
    IOSurfaceRef ref = nullptr;
    explicit Surface(IOSurfaceRef surface) : ref(surface) {}
    ~Surface() {
        if (ref != nullptr) CFRelease(ref);
    }
    Surface(const Surface &) = delete;
    Surface &operator=(const Surface &) = delete;
    uint8_t *bytes() const { return static_cast<uint8_t *>(IOSurfaceGetBaseAddress(ref)); }
};

// A surface of another pixel format (for the image layouts).
IOSurfaceRef NewSurfaceOfFormat(OSType format, int width, int height) {
    CFMutableDictionaryRef properties = NSOGLTextureIOSurface::surfaceProperties();
    const int values[] = {int(format), width, height};
    const CFStringRef keys[] = {kIOSurfacePixelFormat, kIOSurfaceWidth, kIOSurfaceHeight};
    for (int i = 0; i < 3; ++i) {
        CFNumberRef number = CFNumberCreate(nullptr, kCFNumberIntType, &values[i]);
        CFDictionarySetValue(properties, keys[i], number);
        CFRelease(number);
    }
    IOSurfaceRef surface = IOSurfaceCreate(properties);
    CFRelease(properties);
    return surface;
}

int32_t NumberValue(CFDictionaryRef dictionary, CFStringRef key) {
    int32_t value = -1;
    const auto number = static_cast<CFNumberRef>(CFDictionaryGetValue(dictionary, key));
    if (number == nullptr || !CFNumberGetValue(number, kCFNumberSInt32Type, &value)) return -1;
    return value;
}

// What another process sees of the global surface of this id: the first line of the surface
// helper's "inspect", "none" when the id is not found there.
std::string SeenByAnotherProcess(IOSurfaceID id) {
    const std::string command = std::string(LUMORA_IOSURFACE_HELPER) + " inspect " + std::to_string(id);
    FILE *pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr) return "";
    char line[256] = {};
    const bool read = std::fgets(line, sizeof line, pipe) != nullptr;
    ::pclose(pipe);
    std::string text = read ? line : "";
    if (!text.empty() && text.back() == '\n') text.pop_back();
    return text;
}

TEST(NSOGLTextureIOSurface, MakesBGRASurfacesGlobalWhenAsked) {
    ASSERT_TRUE(import_NSOGLTextureIOSurface());
    EXPECT_EQ(NSOGLTextureIOSurface::surfaceCVPixelBufferPixelFormatType(), kBGRA);
    EXPECT_EQ(NSOGLTextureIOSurface::surfaceCVPixelBufferPixelFormatTypeBytesPerElement(), 4u);
    EXPECT_EQ(NSOGLTextureIOSurface::textureTexImageIOSurface2D_internal_format(), GLenum(0x1908));
    EXPECT_EQ(NSOGLTextureIOSurface::textureTexImageIOSurface2D_format(), GLenum(0x80E1));
    EXPECT_EQ(NSOGLTextureIOSurface::textureTexImageIOSurface2D_type(), GLenum(0x8367));

    CFMutableDictionaryRef properties = NSOGLTextureIOSurface::surfaceProperties();
    ASSERT_NE(properties, nullptr);
    EXPECT_EQ(CFDictionaryGetCount(properties), 2);
    EXPECT_EQ(NumberValue(properties, kIOSurfacePixelFormat), int32_t(kBGRA));
    EXPECT_EQ(NumberValue(properties, kIOSurfaceBytesPerElement), 4);
    CFRelease(properties);

    for (const bool global : {false, true}) {
        SCOPED_TRACE(global ? "global" : "not global");
        Surface surface(global ? NSOGLTextureIOSurface::surfaceWithSurfaceWidth(640, 480, true)
                               : NSOGLTextureIOSurface::surfaceWithSurfaceWidth(640, 480));
        ASSERT_NE(surface.ref, nullptr);
        EXPECT_EQ(IOSurfaceGetWidth(surface.ref), 640u);
        EXPECT_EQ(IOSurfaceGetHeight(surface.ref), 480u);
        EXPECT_EQ(IOSurfaceGetPixelFormat(surface.ref), kBGRA);
        EXPECT_EQ(IOSurfaceGetBytesPerElement(surface.ref), 4u);
        const std::string seen = SeenByAnotherProcess(IOSurfaceGetID(surface.ref));
        if (global)
            EXPECT_EQ(seen.rfind("640 480 2560 42475241 ", 0), 0u) << seen;
        else
            EXPECT_EQ(seen, "none");
    }
    EXPECT_EQ(NSOGLTextureIOSurface::surfaceWithSurfaceWidth(0, 480), nullptr);
}

TEST(NSOGLTextureIOSurface, WithoutSurfaceThereIsNothing) {
    NSOGLTextureIOSurface texture;
    texture.initWithIOSurface(nullptr, true);
    EXPECT_EQ(texture.surface(), nullptr);
    EXPECT_EQ(texture.surfaceCopy(), nullptr);
    EXPECT_EQ(texture.textureName(), NSOGLTextureBase::kNoTextureName);
    EXPECT_FALSE(texture.setSurfacePixelsInitialValue(0));
    EXPECT_FALSE(texture.textureUpdateWithSurface());
    EXPECT_EQ(NSOGLTextureIOSurface::textureWithIOSurface(nullptr), nullptr);
    EXPECT_EQ(NSOGLTextureIOSurface::copyTextureWithIOSurfaceWithManagedUseCount(nullptr), nullptr);
    CGColorSpaceRef space = CGColorSpaceCreateDeviceRGB();
    EXPECT_EQ(texture.createSurfaceImageByCopyingPixelsWithColorSpace(space), nullptr);
    EXPECT_EQ(texture.createSurfaceImageLockingSurfaceWithColorSpace(space), nullptr);
    CGColorSpaceRelease(space);
}

// Surface references and use counts: a managed texture counts one use while it holds a
// surface, an unmanaged one none; setting the surface the texture already holds (its only
// reference) keeps it alive and counted once.
TEST(NSOGLTextureIOSurface, HoldsItsSurfaceAndCountsItsUse) {
    Surface first(NSOGLTextureIOSurface::surfaceWithSurfaceWidth(16, 16));
    Surface second(NSOGLTextureIOSurface::surfaceWithSurfaceWidth(8, 8));
    ASSERT_NE(first.ref, nullptr);
    ASSERT_NE(second.ref, nullptr);

    for (const bool managed : {false, true}) {
        SCOPED_TRACE(managed ? "managed" : "not managed");
        auto texture = managed ? NSOGLTextureIOSurface::copyTextureWithIOSurfaceWithManagedUseCount(first.ref)
                               : NSOGLTextureIOSurface::textureWithIOSurface(first.ref);
        ASSERT_NE(texture, nullptr);
        EXPECT_EQ(texture->manageSurfaceUseCount(), managed);
        EXPECT_EQ(texture->surface(), first.ref);
        EXPECT_EQ(CFGetRetainCount(first.ref), 2);
        EXPECT_EQ(IOSurfaceGetUseCount(first.ref), managed ? 1 : 0);

        IOSurfaceRef copy = texture->surfaceCopy();
        EXPECT_EQ(copy, first.ref);
        EXPECT_EQ(CFGetRetainCount(first.ref), 3);
        CFRelease(copy);

        texture->setSurface(second.ref);
        EXPECT_EQ(texture->surface(), second.ref);
        EXPECT_EQ(CFGetRetainCount(first.ref), 1);
        EXPECT_EQ(IOSurfaceGetUseCount(first.ref), 0);
        EXPECT_EQ(IOSurfaceGetUseCount(second.ref), managed ? 1 : 0);

        texture->setSurface(texture->surface());
        EXPECT_EQ(CFGetRetainCount(second.ref), 2);
        EXPECT_EQ(IOSurfaceGetUseCount(second.ref), managed ? 1 : 0);

        texture.reset();
        EXPECT_EQ(CFGetRetainCount(second.ref), 1);
        EXPECT_EQ(IOSurfaceGetUseCount(second.ref), 0);
    }

    // The texture's own reference is the only one: re-setting it must not let it go first.
    auto texture = NSOGLTextureIOSurface::copyTextureWithIOSurfaceWithManagedUseCount(
        NSOGLTextureIOSurface::surfaceWithSurfaceWidth(4, 4));
    IOSurfaceRef only = texture->surface();
    CFRelease(only);  // the factory's reference
    ASSERT_EQ(CFGetRetainCount(only), 1);
    texture->setSurface(texture->surface());
    EXPECT_EQ(texture->surface(), only);
    EXPECT_EQ(IOSurfaceGetWidth(only), 4u) << "the surface is still alive";
    EXPECT_EQ(IOSurfaceGetUseCount(only), 1);
    EXPECT_TRUE(texture->setSurfacePixelsInitialValue(7));
}

TEST(NSOGLTextureIOSurface, FillsTheWholeAllocationIncludingRowPadding) {
    Surface surface(NSOGLTextureIOSurface::surfaceWithSurfaceWidth(30, 7));
    ASSERT_NE(surface.ref, nullptr);
    ASSERT_GT(IOSurfaceGetBytesPerRow(surface.ref), 30u * 4) << "rows are padded";
    NSOGLTextureIOSurface texture;
    texture.setSurface(surface.ref);
    const uint32_t seed = IOSurfaceGetSeed(surface.ref);
    for (const uint8_t value : {uint8_t(0xFF), uint8_t(0x00), uint8_t(0x5C)}) {
        EXPECT_TRUE(value == 0x5C ? texture.setSurfacePixelsValue(value, true) : texture.setSurfacePixelsInitialValue(value));
        const size_t size = IOSurfaceGetAllocSize(surface.ref);
        ASSERT_EQ(size, IOSurfaceGetBytesPerRow(surface.ref) * 7);
        for (size_t i = 0; i < size; ++i) ASSERT_EQ(surface.bytes()[i], value) << "byte " << i;
    }
    EXPECT_NE(IOSurfaceGetSeed(surface.ref), seed) << "written under a write lock";
    EXPECT_EQ(IOSurfaceUnlock(surface.ref, 0, nullptr), kIOReturnBadArgument) << "and unlocked";
}

// ---- images -------------------------------------------------------------------------------

class SurfaceImageTest : public ::testing::Test {
protected:
    void SetUp() override {
        mSpace = CGColorSpaceCreateDeviceRGB();
        mTexture.setSurface(mSurface.ref);
        IOSurfaceLock(mSurface.ref, 0, nullptr);
        for (size_t i = 0; i < IOSurfaceGetAllocSize(mSurface.ref); ++i) mSurface.bytes()[i] = uint8_t(i * 7);
        IOSurfaceUnlock(mSurface.ref, 0, nullptr);
    }
    void TearDown() override { CGColorSpaceRelease(mSpace); }

    std::vector<uint8_t> ImageBytes(CGImageRef image) const {
        CFDataRef data = CGDataProviderCopyData(CGImageGetDataProvider(image));
        std::vector<uint8_t> bytes(CFDataGetBytePtr(data), CFDataGetBytePtr(data) + CFDataGetLength(data));
        CFRelease(data);
        return bytes;
    }
    std::vector<uint8_t> SurfaceBytes() const {
        return {mSurface.bytes(), mSurface.bytes() + IOSurfaceGetAllocSize(mSurface.ref)};
    }
    // True while the surface is locked read-only by someone (this process's lock count).
    bool LockedReadOnly() const {
        if (IOSurfaceUnlock(mSurface.ref, kIOSurfaceLockReadOnly, nullptr) != kIOReturnSuccess) return false;
        IOSurfaceLock(mSurface.ref, kIOSurfaceLockReadOnly, nullptr);
        return true;
    }

    Surface mSurface{NSOGLTextureIOSurface::surfaceWithSurfaceWidth(13, 5)};
    NSOGLTextureIOSurface mTexture;
    CGColorSpaceRef mSpace = nullptr;
};

TEST_F(SurfaceImageTest, ImagesHaveTheSurfacesGeometryAndBGRALayout) {
    CGImageRef copied = mTexture.createSurfaceImageByCopyingPixelsWithColorSpace(mSpace);
    CGImageRef locked = mTexture.createSurfaceImageLockingSurfaceWithColorSpace(mSpace);
    for (CGImageRef image : {copied, locked}) {
        SCOPED_TRACE(image == copied ? "copied" : "locked");
        ASSERT_NE(image, nullptr);
        EXPECT_EQ(CGImageGetWidth(image), 13u);
        EXPECT_EQ(CGImageGetHeight(image), 5u);
        EXPECT_EQ(CGImageGetBytesPerRow(image), IOSurfaceGetBytesPerRow(mSurface.ref));
        EXPECT_EQ(CGImageGetBitsPerComponent(image), 8u);
        EXPECT_EQ(CGImageGetBitsPerPixel(image), 32u);
        EXPECT_EQ(CGImageGetBitmapInfo(image), kCGImageAlphaPremultipliedFirst | kCGBitmapByteOrder32Little);
        EXPECT_TRUE(CGImageGetShouldInterpolate(image));
        EXPECT_EQ(CGImageGetRenderingIntent(image), kCGRenderingIntentDefault);
        EXPECT_EQ(CGImageGetColorSpace(image), mSpace);
        EXPECT_EQ(ImageBytes(image), SurfaceBytes());
    }
    CGImageRelease(copied);
    CGImageRelease(locked);

    CGImageRef named = mTexture.createSurfaceImageByCopyingPixelsWithColorSpaceName(kCGColorSpaceGenericRGB);
    ASSERT_NE(named, nullptr);
    CFStringRef name = CGColorSpaceCopyName(CGImageGetColorSpace(named));
    EXPECT_TRUE(name != nullptr && CFEqual(name, kCGColorSpaceGenericRGB));
    if (name != nullptr) CFRelease(name);
    CGImageRelease(named);
    CGImageRef lockedNamed = mTexture.createSurfaceImageLockingSurfaceWithColorSpaceName(kCGColorSpaceSRGB);
    EXPECT_NE(lockedNamed, nullptr);
    CGImageRelease(lockedNamed);

    const CFStringRef unknown = CFSTR("no such colour space");
    EXPECT_EQ(mTexture.createSurfaceImageByCopyingPixelsWithColorSpaceName(unknown), nullptr);
    EXPECT_EQ(mTexture.createSurfaceImageLockingSurfaceWithColorSpaceName(unknown), nullptr);
    EXPECT_EQ(mTexture.createSurfaceImageByCopyingPixelsWithColorSpace(nullptr), nullptr);
    EXPECT_EQ(mTexture.createSurfaceImageLockingSurfaceWithColorSpace(nullptr), nullptr);
    EXPECT_FALSE(LockedReadOnly()) << "no failure left a lock behind";
}

TEST_F(SurfaceImageTest, LayoutFollowsThePixelFormat) {
    const struct {
        OSType format;
        CGBitmapInfo info;
    } cases[] = {{kBGRA, kCGImageAlphaPremultipliedFirst | kCGBitmapByteOrder32Little},
                 {32, kCGImageAlphaPremultipliedFirst | kCGBitmapByteOrder32Big},
                 {0x52474241u /* 'RGBA' */, kCGImageAlphaNoneSkipLast}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.format);
        Surface surface(NewSurfaceOfFormat(c.format, 4, 4));
        ASSERT_NE(surface.ref, nullptr);
        NSOGLTextureIOSurface texture;
        texture.setSurface(surface.ref);
        CGImageRef copied = texture.createSurfaceImageByCopyingPixelsWithColorSpace(mSpace);
        CGImageRef locked = texture.createSurfaceImageLockingSurfaceWithColorSpace(mSpace);
        ASSERT_NE(copied, nullptr);
        ASSERT_NE(locked, nullptr);
        EXPECT_EQ(CGImageGetBitmapInfo(copied), c.info);
        EXPECT_EQ(CGImageGetBitmapInfo(locked), c.info);
        CGImageRelease(copied);
        CGImageRelease(locked);
    }
}

// An image over the locked surface shows the surface's memory itself and keeps the surface
// locked read-only, and alive, until the image goes; a copied image keeps its own pixels.
TEST_F(SurfaceImageTest, LockingImageKeepsTheSurfaceLockedUntilReleased) {
    CGImageRef copied = mTexture.createSurfaceImageByCopyingPixelsWithColorSpace(mSpace);
    ASSERT_FALSE(LockedReadOnly()) << "the copy holds no lock";
    const std::vector<uint8_t> before = SurfaceBytes();

    CGImageRef locked = mTexture.createSurfaceImageLockingSurfaceWithColorSpace(mSpace);
    ASSERT_NE(locked, nullptr);
    EXPECT_TRUE(LockedReadOnly());
    const uint32_t seed = IOSurfaceGetSeed(mSurface.ref);

    mSurface.bytes()[0] ^= 0xFF;  // a writer that does not lock
    EXPECT_EQ(ImageBytes(locked), SurfaceBytes()) << "the locked image is over the surface";
    EXPECT_EQ(ImageBytes(copied), before) << "the copy is not";

    // The image alone keeps the surface: the texture and the caller let it go.
    IOSurfaceRef surface = mSurface.ref;
    CFRetain(surface);
    mTexture.setSurface(nullptr);
    const CFIndex held = CFGetRetainCount(surface);
    EXPECT_GE(held, 3) << "the caller's, the test's and the image's";
    EXPECT_TRUE(LockedReadOnly());

    CGImageRelease(locked);
    EXPECT_FALSE(LockedReadOnly()) << "released with the image";
    EXPECT_EQ(CFGetRetainCount(surface), held - 1);
    EXPECT_EQ(IOSurfaceGetSeed(mSurface.ref), seed) << "a read-only lock moves no seed";
    CFRelease(surface);
    CGImageRelease(copied);
}

// ---- pixels between the CPU and GL ----------------------------------------------------------

class SurfaceTextureGLTest : public fbo_test::GLContextTest {};

TEST_F(SurfaceTextureGLTest, TextureOnASurfaceIsARectangleTextureOfItsSize) {
    Surface surface(NSOGLTextureIOSurface::surfaceWithSurfaceWidth(1280, 720));
    const auto texture = NSOGLTextureIOSurface::textureWithIOSurface(surface.ref);
    ASSERT_NE(texture, nullptr);
    EXPECT_EQ(texture->textureTarget(), GLenum(GL_TEXTURE_RECTANGLE_EXT));
    EXPECT_NE(texture->textureName(), NSOGLTextureBase::kNoTextureName);
    EXPECT_EQ(texture->textureWidth(), 1280u);
    EXPECT_EQ(texture->textureHeight(), 720u);
    EXPECT_FLOAT_EQ(texture->textureCoordSMin(), 0);
    EXPECT_FLOAT_EQ(texture->textureCoordSMax(), 1280);
    EXPECT_FLOAT_EQ(texture->textureCoordTMin(), 0);
    EXPECT_FLOAT_EQ(texture->textureCoordTMax(), 720);
    EXPECT_FALSE(texture->textureUpdateNeeded());
    texture->setTextureUpdateNeeded(true);
    EXPECT_TRUE(texture->textureUpdate());
    EXPECT_FALSE(texture->textureUpdateNeeded());

    char expected[160];
    std::snprintf(expected, sizeof expected, "NSOGLTextureIOSurface{%lx,manageUseCount:0 {%s}}",
                  reinterpret_cast<unsigned long>(surface.ref), texture->NSOGLTextureBase::description().c_str());
    EXPECT_EQ(texture->description(), expected);
    EXPECT_EQ(texture->NSOGLTextureBase::description(),
              "NSOGLTextureBase{name:" + std::to_string(texture->textureName()) + " target:34037 (1280x720)}");
}

// A surface filled by the CPU shows in its texture, at creation and after a later write.
TEST_F(SurfaceTextureGLTest, TextureShowsTheSurfacesPixels) {
    Surface surface(NSOGLTextureIOSurface::surfaceWithSurfaceWidth(8, 4));
    const size_t rowBytes = IOSurfaceGetBytesPerRow(surface.ref);
    const auto fill = [&](uint32_t salt) {
        IOSurfaceLock(surface.ref, 0, nullptr);
        for (size_t y = 0; y < 4; ++y)
            for (size_t x = 0; x < 8; ++x) {
                const uint32_t pixel = 0xFF000000u | salt | uint32_t(y << 8) | uint32_t(x);
                std::memcpy(surface.bytes() + y * rowBytes + x * 4, &pixel, 4);  // B,G,R,A bytes
            }
        IOSurfaceUnlock(surface.ref, 0, nullptr);
    };
    fill(0x00110000u);
    const auto texture = NSOGLTextureIOSurface::textureWithIOSurface(surface.ref);
    ASSERT_NE(texture, nullptr);
    const auto expect = [&](uint32_t salt) {
        const auto pixels = fbo_test::TexturePixels(GL_TEXTURE_RECTANGLE_EXT, texture->textureName(), 8, 4);
        for (size_t y = 0; y < 4; ++y)
            for (size_t x = 0; x < 8; ++x)
                ASSERT_EQ(pixels[y * 8 + x], 0xFF000000u | salt | uint32_t(y << 8) | uint32_t(x)) << x << "," << y;
    };
    expect(0x00110000u);

    fill(0x00EE0000u);
    glFinishRenderAPPLE();  // a sync point: the surface's newer pixels are uploaded
    expect(0x00EE0000u);
}

// What is drawn into the texture through its framebuffer reaches the surface's memory and is
// read through a CPU lock, whether the end flushes or not.
TEST_F(SurfaceTextureGLTest, RenderedPixelsAreReadThroughACPULock) {
    for (const bool flush : {true, false}) {
        SCOPED_TRACE(flush ? "flushed" : "not flushed");
        Surface surface(NSOGLTextureIOSurface::surfaceWithSurfaceWidth(64, 32));
        const auto texture = NSOGLTextureIOSurfaceFBO::textureWithIOSurface(surface.ref);
        ASSERT_NE(texture, nullptr);
        ASSERT_GT(texture->frameBufferObject(), 0);
        EXPECT_TRUE(texture->setSurfacePixelsInitialValue(0));

        glViewport(1, 2, 3, 4);
        ASSERT_TRUE(texture->beginRenderToFrameBuffer());
        EXPECT_TRUE(texture->isRenderingToFrameBuffer());
        EXPECT_FALSE(texture->beginRenderToFrameBuffer());
        glViewport(0, 0, 64, 32);
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        glOrtho(0, 64, 0, 32, -1, 1);
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        glClearColor(0, 0, 1, 1);
        glClear(GL_COLOR_BUFFER_BIT);
        fbo_test::FillRect(0, 0, 32, 32, 1, 0, 0);
        ASSERT_TRUE(texture->endRenderToFrameBuffer(flush));
        EXPECT_EQ(fbo_test::BoundFramebuffer(), 0);
        EXPECT_EQ(fbo_test::CurrentViewport(), (fbo_test::Viewport{1, 2, 3, 4}));

        ASSERT_EQ(IOSurfaceLock(surface.ref, kIOSurfaceLockReadOnly, nullptr), kIOReturnSuccess);
        const size_t rowBytes = IOSurfaceGetBytesPerRow(surface.ref);
        uint32_t left = 0, right = 0;
        std::memcpy(&left, surface.bytes() + 10 * rowBytes + 5 * 4, 4);
        std::memcpy(&right, surface.bytes() + 10 * rowBytes + 50 * 4, 4);
        IOSurfaceUnlock(surface.ref, kIOSurfaceLockReadOnly, nullptr);
        EXPECT_EQ(left, 0xFFFF0000u) << "red, as 0xAARRGGBB";
        EXPECT_EQ(right, 0xFF0000FFu) << "blue";

        // The images of the surface show the same.
        CGColorSpaceRef space = CGColorSpaceCreateDeviceRGB();
        CGImageRef image = texture->createSurfaceImageLockingSurfaceWithColorSpace(space);
        ASSERT_NE(image, nullptr);
        CFDataRef data = CGDataProviderCopyData(CGImageGetDataProvider(image));
        uint32_t first = 0;
        std::memcpy(&first, CFDataGetBytePtr(data), 4);
        EXPECT_EQ(first, 0xFFFF0000u);
        CFRelease(data);
        CGImageRelease(image);
        CGColorSpaceRelease(space);
    }
}

}  // namespace
