// Offscreen contexts: each backing renders and reads back the right pixels, the sharing
// roles, the target size, the pixel buffer made once, the memory backings' pixels, and images
// written to files.
#include <CocoaGL/NSOGLOffscreenContextBase.h>
#include <CocoaGL/NSOGLSharingContext.h>

#include <CoreG/GL/namespace_Apple_CGL_OffscreenDrawable.h>
#include <CoreGraphics/CGDataProvider.h>
#include <ImageIO/ImageIO.h>

#include <QImage>

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <string>

#include "FramebufferTestSupport.h"

namespace {

// A pixel of an image of 32-bit little-endian pixels as 0x00RRGGBB (alpha or padding dropped).
uint32_t ImagePixel(CGImageRef image, size_t x, size_t y) {
    CFDataRef data = CGDataProviderCopyData(CGImageGetDataProvider(image));
    uint32_t pixel = 0;
    std::memcpy(&pixel, CFDataGetBytePtr(data) + y * CGImageGetBytesPerRow(image) + x * 4, 4);
    CFRelease(data);
    return pixel & 0x00FFFFFFu;
}

constexpr uint32_t kBlue = 0x0000FF, kRed = 0xFF0000;

// Clears the current framebuffer to blue and fills its bottom-left quarter with red, in the
// pixel coordinates that reshaping sets up.
void DrawQuarter(uint32_t width, uint32_t height) {
    glClearColor(0, 0, 1, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    fbo_test::FillRect(0, 0, float(width / 2), float(height / 2), 1, 0, 0);
    glFlush();
}

// An upright image of (width x height) with red over the bottom-left quarter on blue.
void ExpectQuarter(CGImageRef image, uint32_t width, uint32_t height) {
    ASSERT_NE(image, nullptr);
    ASSERT_EQ(CGImageGetWidth(image), width);
    ASSERT_EQ(CGImageGetHeight(image), height);
    EXPECT_EQ(ImagePixel(image, 1, height - 2), kRed);            // bottom left: the last rows
    EXPECT_EQ(ImagePixel(image, 1, 1), kBlue);                     // top left
    EXPECT_EQ(ImagePixel(image, width - 2, height - 2), kBlue);   // bottom right
    EXPECT_EQ(ImagePixel(image, width / 2 - 1, height / 2), kRed);  // the quarter's top-right pixel
    EXPECT_EQ(ImagePixel(image, width / 2, height / 2), kBlue);
    EXPECT_EQ(ImagePixel(image, width / 2 - 1, height / 2 - 1), kBlue);
}

// Whether a texture name made on `maker` names a texture on `other`.
bool SharesTextures(CGLContextObj maker, CGLContextObj other) {
    GLuint texture = 0;
    {
        const OpenGL::CGLContextStateLock scope(maker);
        glGenTextures(1, &texture);
        glBindTexture(GL_TEXTURE_2D, texture);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, 1, 1, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
        glBindTexture(GL_TEXTURE_2D, 0);
        glFinish();
    }
    bool shared = false;
    {
        const OpenGL::CGLContextStateLock scope(other);
        shared = glIsTexture(texture) == GL_TRUE;
    }
    const OpenGL::CGLContextStateLock scope(maker);
    glDeleteTextures(1, &texture);
    return shared;
}

class OffscreenContextTest : public ::testing::Test {
protected:
    void TearDown() override { CGLSetCurrentContext(nullptr); }
};

}  // namespace

TEST_F(OffscreenContextTest, TargetIsHalfTheDisplay) {
    const CGSize display = NSOGLOffscreenContextBase::displaySizePixels(CGMainDisplayID());
    EXPECT_EQ(display.width, CGFloat(CGDisplayPixelsWide(CGMainDisplayID())));
    EXPECT_EQ(display.height, CGFloat(CGDisplayPixelsHigh(CGMainDisplayID())));
    NSOGLOffscreenContextBase base;
    base.initWithMainDisplayID();
    const CGRect target = base.openGLTargetRect();
    EXPECT_EQ(target.origin.x, 0);
    EXPECT_EQ(target.origin.y, 0);
    EXPECT_EQ(target.size.width, CGFloat(uint32_t(display.width) / 2));
    EXPECT_EQ(target.size.height, CGFloat(uint32_t(display.height) / 2));
    const CGRect fallback = NSOGLOffscreenContextBase::defaultOpenGLTargetRect();
    EXPECT_EQ(fallback.size.width, 1280);
    EXPECT_EQ(fallback.size.height, 800);

    // The base class has a pixel format (role 0's) but no context.
    EXPECT_EQ(base.openGLPixelFormatObj(), Apple_CGL::PixelFormatWindow());
    ASSERT_NE(base.openGLPixelFormat(), nullptr);
    EXPECT_EQ(base.openGLPixelFormat()->CGLPixelFormatObj(), Apple_CGL::PixelFormatWindow());
    EXPECT_EQ(base.openGLContext(), nullptr);
    EXPECT_EQ(base.openGLSharingContextRole(), kNSOGLSharingContextRoleStandAlone);
    EXPECT_TRUE(base.openGLSharingContext());
    EXPECT_EQ(base.rootGLContext(), nullptr);
    EXPECT_EQ(NSOGLOffscreenContextBase::offscreenDrawableWithSharedRoot()->rootGLContext(),
              NSOGLSharingContext::rootSharingContext());
}

// Every backing with a drawable: its context, made current, draws a clear and a quad that
// reading back finds upright.
TEST_F(OffscreenContextTest, EachBackingRendersAndReadsBack) {
    using Maker = std::function<std::shared_ptr<NSOGLOffscreenContextBase>()>;
    struct Case {
        const char *name;
        Maker make;
    };
    const CGDirectDisplayID display = CGMainDisplayID();
    const Case cases[] = {
        {"pixel buffer",
         [&] { return NSOGLOffscreenContextBase::makeWithDisplayID<NSOGLOffscreenContextWithCGLPBufferBacking>(display, 1); }},
        {"framebuffer",
         [&] { return NSOGLOffscreenContextBase::makeWithDisplayID<NSOGLOffscreenContextWithCGLDrawableFBO>(display, 1); }},
        {"memory",
         [&] { return NSOGLOffscreenContextBase::makeWithDisplayID<NSOGLOffscreenContextWithCGLMemoryBacking>(display, 1); }},
        {"surface",
         [&] { return NSOGLOffscreenContextBase::makeWithDisplayID<NSOGLOffscreenContextWithCGLMemoryTexture>(display, 2); }},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const std::shared_ptr<NSOGLOffscreenContextBase> offscreen = c.make();
        ASSERT_NE(offscreen->openGLContext(), nullptr);
        const CGSize size = offscreen->openGLTargetRect().size;
        const auto width = uint32_t(size.width), height = uint32_t(size.height);
        {
            const OpenGL::CGLContextStateLock scope(offscreen->openGLContext().get());
            // Made ready by reshaping: the whole target cleared to opaque black.
            EXPECT_EQ(fbo_test::PixelAt(int(width) - 1, int(height) - 1), 0xFF000000u);
            DrawQuarter(width, height);
        }
        CGImageRef image = offscreen->copyCGImageWithReadPixels(true);
        ExpectQuarter(image, width, height);
        CGImageRelease(image);

        if (auto *memory = dynamic_cast<NSOGLOffscreenContextWithCGLMemoryBacking *>(offscreen.get())) {
            EXPECT_EQ(memory->offscreenRowBytes(), width * 4);
            EXPECT_EQ(memory->offscreenSizeBytes(), width * 4 * height);
            CGImageRef contents = memory->copyCGImageDrawableContents();
            ExpectQuarter(contents, width, height);
            EXPECT_EQ(CGImageGetAlphaInfo(contents), kCGImageAlphaFirst);
            CGImageRelease(contents);
        }
        if (auto *surface = dynamic_cast<NSOGLOffscreenContextWithCGLMemoryTexture *>(offscreen.get())) {
            ASSERT_NE(surface->surface(), nullptr);
            EXPECT_NE(surface->surfaceID(), 0u);
            EXPECT_EQ(surface->textureTarget(), static_cast<GLenum>(GL_TEXTURE_RECTANGLE_ARB));
            EXPECT_EQ(surface->textureName(), 0u);
            {
                const OpenGL::CGLContextStateLock scope(surface->openGLContext().get());
                ASSERT_EQ(CGLFlushDrawable(surface->openGLContextObj()), kCGLNoError);
            }
            IOSurfaceRef pixels = surface->surface();
            ASSERT_EQ(IOSurfaceLock(pixels, kIOSurfaceLockReadOnly, nullptr), 0);
            const auto *base = static_cast<const uint8_t *>(IOSurfaceGetBaseAddress(pixels));
            const size_t rowBytes = IOSurfaceGetBytesPerRow(pixels);
            uint32_t bottomLeft = 0, topLeft = 0;
            std::memcpy(&bottomLeft, base + (height - 1) * rowBytes, 4);
            std::memcpy(&topLeft, base, 4);
            IOSurfaceUnlock(pixels, kIOSurfaceLockReadOnly, nullptr);
            EXPECT_EQ(bottomLeft, 0xFF000000u | kRed);  // 'BGRA': bytes B, G, R, A, top row first
            EXPECT_EQ(topLeft, 0xFF000000u | kBlue);
        }
    }
}

// A context without backing draws into framebuffer objects only; the read-back reads the one
// bound.
TEST_F(OffscreenContextTest, NoBackingReadsTheBoundFramebuffer) {
    const auto offscreen = NSOGLSharingContext::offscreenContextObject();
    ASSERT_NE(offscreen->openGLContext(), nullptr);
    EXPECT_EQ(offscreen->openGLPixelFormatObj(), Apple_CGL::PixelFormatDisplay());
    const OpenGL::CGLContextStateLock scope(offscreen->openGLContext().get());
    fbo_test::PlainFramebuffer framebuffer(8, 6, 0xFF00FF00u);
    framebuffer.Attach();
    glViewport(0, 0, 8, 6);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glOrtho(0, 8, 0, 6, -1, 1);
    DrawQuarter(8, 6);
    CGImageRef image = NSOGLOffscreenContextBase::copyCGImageWithReadPixelsWithSizePixels(CGSizeMake(8.9, 6.2), true);
    ExpectQuarter(image, 8, 6);
    CGImageRelease(image);
    EXPECT_EQ(NSOGLOffscreenContextBase::copyCGImageWithReadPixelsWithSizePixels(CGSizeMake(0.5, 6), true), nullptr);
    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, 0);
}

TEST_F(OffscreenContextTest, ReadBackNeedsACurrentContext) {
    CGLSetCurrentContext(nullptr);
    EXPECT_EQ(NSOGLOffscreenContextBase::copyCGImageWithReadPixelsWithSizePixels(CGSizeMake(4, 4), true), nullptr);
    EXPECT_FALSE(NSOGLSharingContext::readPixelsImageSize(CGSizeMake(4, 4), std::string(std::getenv("HOME")) + "/x.png",
                                                          kUTTypePNG));
    EXPECT_FALSE(NSOGLOffscreenContextBase::writeCGImageRef(nullptr, std::string(std::getenv("HOME")) + "/x.png",
                                                            kUTTypePNG));
}

TEST_F(OffscreenContextTest, OnlyRoleTwoSharesTheRoot) {
    const CGLContextObj root = NSOGLSharingContext::rootSharingContext()->CGLContextObj();
    const CGDirectDisplayID display = CGMainDisplayID();
    const auto standAlone =
        NSOGLOffscreenContextBase::makeWithDisplayID<NSOGLOffscreenContextWithCGLNoBacking>(display, 1);
    const auto sharing = NSOGLOffscreenContextBase::makeWithDisplayID<NSOGLOffscreenContextWithCGLNoBacking>(display, 2);
    const auto memory = NSOGLOffscreenContextBase::makeWithDisplayID<NSOGLOffscreenContextWithCGLMemoryBacking>(display, 2);
    EXPECT_EQ(standAlone->rootGLContextObj(), nullptr);
    EXPECT_EQ(sharing->rootGLContextObj(), root);
    EXPECT_EQ(memory->rootGLContextObj(), nullptr);  // never shares
    EXPECT_FALSE(SharesTextures(root, standAlone->openGLContextObj()));
    EXPECT_TRUE(SharesTextures(root, sharing->openGLContextObj()));
    EXPECT_TRUE(SharesTextures(sharing->openGLContextObj(), root));
    EXPECT_FALSE(SharesTextures(root, memory->openGLContextObj()));

    // The memory base class makes no context at all.
    const auto base = NSOGLOffscreenContextBase::makeWithDisplayID<NSOGLOffscreenContextWithCGLMemoryBase>(display, 2);
    EXPECT_EQ(base->openGLPixelFormatObj(), nullptr);
    EXPECT_EQ(base->openGLPixelFormat(), nullptr);
    EXPECT_EQ(base->openGLContext(), nullptr);
}

TEST_F(OffscreenContextTest, PixelBufferIsMadeOnce) {
    const auto offscreen = NSOGLOffscreenContextBase::makeWithDisplayID<NSOGLOffscreenContextWithCGLPBufferBacking>(
        CGMainDisplayID(), 2);
    const CGLPBufferObj first = offscreen->openGLPBufferObj();
    ASSERT_NE(first, nullptr);
    GLsizei width = 0, height = 0;
    GLenum target = 0, format = 0;
    GLint levels = -1;
    CGLDescribePBuffer(first, &width, &height, &target, &format, &levels);
    const CGSize size = offscreen->openGLTargetRect().size;
    EXPECT_EQ(width, GLsizei(size.width));
    EXPECT_EQ(height, GLsizei(size.height));
    EXPECT_EQ(target, static_cast<GLenum>(GL_TEXTURE_RECTANGLE_EXT));
    EXPECT_EQ(format, static_cast<GLenum>(GL_RGBA));
    EXPECT_EQ(levels, 0);
    EXPECT_FALSE(offscreen->createOffscreenCGLPBufferObject(offscreen->openGLContextObj()));
    EXPECT_EQ(offscreen->openGLPBufferObj(), first);
    CGLPBufferObj attached = nullptr;
    GLenum face = 1;
    GLint level = -1, screen = -1;
    CGLGetPBuffer(offscreen->openGLContextObj(), &attached, &face, &level, &screen);
    EXPECT_EQ(attached, first);
    EXPECT_EQ(offscreen->openGLPixelFormatObj(), Apple_CGL::PixelFormatPBuffer());
}

// Whoever keeps the context of a memory backing after the object has gone flushes into
// nothing: the memory was detached before it was freed.
TEST_F(OffscreenContextTest, MemoryOutlivesNoContextThatKeepsDrawing) {
    std::shared_ptr<NSOpenGLContext> kept;
    {
        const auto memory = NSOGLOffscreenContextBase::makeWithDisplayID<NSOGLOffscreenContextWithCGLMemoryBacking>(
            CGMainDisplayID(), 1);
        kept = memory->openGLContext();
        ASSERT_NE(kept, nullptr);
    }
    const OpenGL::CGLContextStateLock scope(kept.get());
    glClear(GL_COLOR_BUFFER_BIT);
    EXPECT_EQ(CGLFlushDrawable(kept->CGLContextObj()), kCGLNoError);  // ASan watches the freed memory
}

TEST_F(OffscreenContextTest, WritesWhatItReadsToAFile) {
    const auto offscreen = NSOGLOffscreenContextBase::makeWithDisplayID<NSOGLOffscreenContextWithCGLDrawableFBO>(
        CGMainDisplayID(), 2);
    ASSERT_NE(offscreen->openGLContext(), nullptr);
    const CGSize size = offscreen->openGLTargetRect().size;
    {
        const OpenGL::CGLContextStateLock scope(offscreen->openGLContext().get());
        DrawQuarter(uint32_t(size.width), uint32_t(size.height));
    }
    const std::string folder = std::getenv("HOME");
    ASSERT_TRUE(offscreen->readPixelsAndWriteToFileSystemPath(folder + "/frame.png", kUTTypePNG));
    ASSERT_TRUE(offscreen->readPixelsAndWriteToFileSystemPath_kUTTypeJPEG(folder + "/frame.jpg"));
    EXPECT_FALSE(offscreen->readPixelsAndWriteToFileSystemPath(folder + "/no such folder/frame.png", kUTTypePNG));

    const QImage png(QString::fromStdString(folder + "/frame.png"));
    ASSERT_EQ(png.width(), int(size.width));
    ASSERT_EQ(png.height(), int(size.height));
    EXPECT_EQ(png.pixel(1, png.height() - 2) & 0xFFFFFFu, kRed);
    EXPECT_EQ(png.pixel(1, 1) & 0xFFFFFFu, kBlue);
    const QImage jpeg(QString::fromStdString(folder + "/frame.jpg"));
    EXPECT_EQ(jpeg.width(), int(size.width));
    EXPECT_GT(qRed(jpeg.pixel(4, jpeg.height() - 5)), 200);
    EXPECT_GT(qBlue(jpeg.pixel(4, 4)), 200);
}
