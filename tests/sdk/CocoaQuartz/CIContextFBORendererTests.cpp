// The Core Image framebuffer renderer: its surface and geometry, the pixel-buffer attributes it
// prefers, the flip of an image, the images of the surface and their colour space, and every
// way a render can fail: each answers false, and a render that got as far as the framebuffer
// leaves the surface cleared to transparent black.
#include <CocoaQuartz/CIContextFBORenderer.h>

#include <CocoaGL/NSOGLSharingContext.h>

#include <CoreFoundation/CFNumber.h>
#include <CoreVideo/CVPixelBuffer.h>
#include <IOSurface/IOSurface.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "RendererTestSupport.h"

namespace {

using renderer_test::SurfaceBytes;

constexpr OSType kBGRA = 0x42475241u;

// A renderer whose Core Image context is missing, counting its render steps.
class NoContextRenderer : public CIContextFBORenderer {
public:
    CIContextRef coreImageContextWithGLContext() override { return nullptr; }
    bool renderToSurfaceCIContext(const CIContextRef &) override {
        ++steps;
        return true;
    }
    int steps = 0;
};

template <typename T>
std::shared_ptr<T> NewRenderer(uint32_t width, uint32_t height) {
    IOSurfaceRef surface = NSOGLTextureIOSurface::surfaceWithSurfaceWidth(width, height, false);
    if (surface == nullptr) return nullptr;
    auto renderer = std::make_shared<T>();
    renderer->initWithIOSurface(surface);
    CFRelease(surface);
    return renderer;
}

bool AllBytes(const std::vector<uint8_t> &bytes, uint8_t value) {
    return !bytes.empty() && std::all_of(bytes.begin(), bytes.end(), [value](uint8_t b) { return b == value; });
}

TEST(CIContextFBORenderer, MakesARendererOnABGRASurfaceOfTheSize) {
    ASSERT_TRUE(import_CIContextFBORenderer());
    const auto renderer = CIContextFBORenderer::rendererWithWidthPixels(640, 480);
    ASSERT_NE(renderer, nullptr);
    EXPECT_TRUE(CGRectEqualToRect(renderer->rendererBounds(), CGRectMake(0, 0, 640, 480)));
    EXPECT_TRUE(CGSizeEqualToSize(renderer->rendererSizePixels(), CGSizeMake(640, 480)));
    IOSurfaceRef surface = renderer->surface();
    ASSERT_NE(surface, nullptr);
    EXPECT_EQ(IOSurfaceGetPixelFormat(surface), kBGRA);
    EXPECT_EQ(IOSurfaceGetWidth(surface), 640u);
    EXPECT_EQ(IOSurfaceGetHeight(surface), 480u);
    EXPECT_EQ(IOSurfaceGetBytesPerElement(surface), 4u);
    EXPECT_EQ(renderer->textureTarget(), GLenum(GL_TEXTURE_RECTANGLE_EXT));
    EXPECT_GE(renderer->frameBufferObject(), 0);
    // Made on the root sharing context, which does not stay current on the caller's thread.
    EXPECT_EQ(renderer->textureShareContext(), renderer->CGLContextObj());
    EXPECT_EQ(CGLGetCurrentContext(), nullptr);
    EXPECT_EQ(renderer->CGLContextObj(), NSOGLSharingContext::rootSharingContext()->CGLContextObj());
    EXPECT_EQ(renderer->CGLPixelFormatObj(), NSOGLSharingContext::defaultSharedPixelFormat()->CGLPixelFormatObj());
    // The colour space starts as the process's device RGB space.
    EXPECT_EQ(renderer->contextColorSpace(), CIContextFBORenderer::rendererDefaultColorSpace());
    EXPECT_EQ(CIContextFBORenderer::rendererDefaultColorSpace(), CIContextFBORenderer::rendererDefaultColorSpace());
    EXPECT_EQ(CGColorSpaceGetModel(renderer->contextColorSpace()), kCGColorSpaceModelRGB);

    EXPECT_EQ(CIContextFBORenderer::rendererWithWidthPixels(0, 480), nullptr);
    EXPECT_EQ(CIContextFBORenderer::rendererWithWidthPixels(640, 0), nullptr);
}

TEST(CIContextFBORenderer, PrefersSurfaceBackedGLCompatibleBGRAPixelBuffers) {
    CFDictionaryRef attributes = CIContextFBORenderer::rendererPreferredPixelBufferAttributes();
    ASSERT_NE(attributes, nullptr);
    EXPECT_EQ(CFDictionaryGetCount(attributes), 5);
    const auto properties =
        static_cast<CFDictionaryRef>(CFDictionaryGetValue(attributes, kCVPixelBufferIOSurfacePropertiesKey));
    ASSERT_NE(properties, nullptr);
    EXPECT_EQ(CFGetTypeID(properties), CFDictionaryGetTypeID());
    EXPECT_EQ(CFDictionaryGetCount(properties), 0);
    for (CFStringRef key : {kCVPixelBufferOpenGLCompatibilityKey, kCVPixelBufferIOSurfaceOpenGLTextureCompatibilityKey,
                            kCVPixelBufferIOSurfaceOpenGLFBOCompatibilityKey})
        EXPECT_EQ(CFDictionaryGetValue(attributes, key), kCFBooleanTrue);
    const auto format = static_cast<CFNumberRef>(CFDictionaryGetValue(attributes, kCVPixelBufferPixelFormatTypeKey));
    uint32_t value = 0;
    ASSERT_NE(format, nullptr);
    ASSERT_TRUE(CFNumberGetValue(format, kCFNumberSInt32Type, &value));
    EXPECT_EQ(value, kBGRA);
    CFRelease(attributes);
}

TEST(CIContextFBORenderer, FlipsAnImageTopToBottomWithinItsExtent) {
    const CIImageRef image = renderer_test::BitmapImage(4, 2, std::vector<uint8_t>(4 * 4 * 2, 0xFF));
    ASSERT_NE(image, nullptr);
    const CIImageRef flipped = CIContextFBORenderer::imageFlippedUpsideDown(image);
    ASSERT_NE(flipped, nullptr);
    EXPECT_TRUE(CGRectEqualToRect(flipped->extent(), CGRectMake(0, 0, 4, 2)));
    // The bottom-left pixel of the flipped image is the top-left pixel of the source.
    const CGPoint source = CGPointApplyAffineTransform(CGPointMake(0.5, 0.5), flipped->samplerTransform());
    EXPECT_DOUBLE_EQ(source.x, 0.5);
    EXPECT_DOUBLE_EQ(source.y, 1.5);
    EXPECT_EQ(CIContextFBORenderer::imageFlippedUpsideDown(nullptr), nullptr);
}

TEST(CIContextFBORenderer, MakesImagesOfTheSurfaceOnlyWithAColourSpace) {
    const auto renderer = CIContextFBORenderer::rendererWithWidthPixels(16, 8);
    ASSERT_NE(renderer, nullptr);

    const CIImageRef stored = renderer->surfaceCIImageFlippedUpsideDown(false);
    ASSERT_NE(stored, nullptr);
    EXPECT_EQ(stored->sourceKind(), CIImage::SourceKind::IOSurface);
    EXPECT_EQ(stored->ioSurface(), renderer->surface());
    EXPECT_EQ(stored->colorSpace(), renderer->contextColorSpace());
    EXPECT_TRUE(CGRectEqualToRect(stored->extent(), CGRectMake(0, 0, 16, 8)));
    const CIImageRef upright = renderer->surfaceCIImage();
    ASSERT_NE(upright, nullptr);
    EXPECT_TRUE(CGRectEqualToRect(upright->extent(), CGRectMake(0, 0, 16, 8)));
    const CGPoint source = CGPointApplyAffineTransform(CGPointMake(0.5, 0.5), upright->samplerTransform());
    const CGPoint storedSource = CGPointApplyAffineTransform(CGPointMake(0.5, 7.5), stored->samplerTransform());
    EXPECT_DOUBLE_EQ(source.y, storedSource.y);
    for (CGImageRef image : {renderer->createSurfaceCGImageByCopyingPixels(), renderer->createSurfaceCGImageByLockingSurface()}) {
        ASSERT_NE(image, nullptr);
        EXPECT_EQ(CGImageGetWidth(image), 16u);
        EXPECT_EQ(CGImageGetHeight(image), 8u);
        EXPECT_EQ(CGImageGetColorSpace(image), renderer->contextColorSpace());
        CGImageRelease(image);
    }

    CGColorSpaceRef space = CGColorSpaceCreateWithName(kCGColorSpaceSRGB);
    renderer->setContextColorSpace(space);
    EXPECT_EQ(renderer->contextColorSpace(), space);
    CGColorSpaceRef copy = renderer->contextColorSpaceCopy();
    EXPECT_EQ(copy, space);
    CGColorSpaceRelease(copy);
    CGColorSpaceRelease(space);
    EXPECT_EQ(renderer->surfaceCIImage()->colorSpace(), renderer->contextColorSpace());

    renderer->setContextColorSpace(nullptr);
    EXPECT_EQ(renderer->contextColorSpace(), nullptr);
    EXPECT_EQ(renderer->contextColorSpaceCopy(), nullptr);
    EXPECT_EQ(renderer->surfaceCIImage(), nullptr);
    EXPECT_EQ(renderer->surfaceCIImageFlippedUpsideDown(false), nullptr);
    EXPECT_EQ(renderer->createSurfaceCGImageByCopyingPixels(), nullptr);
    EXPECT_EQ(renderer->createSurfaceCGImageByLockingSurface(), nullptr);
}

TEST(CIContextFBORenderer, WithoutACoreImageContextAnswersNoAndLeavesTheSurfaceCleared) {
    const auto renderer = NewRenderer<NoContextRenderer>(8, 4);
    ASSERT_NE(renderer, nullptr);
    ASSERT_TRUE(renderer->setSurfacePixelsValue(0x7F, false));
    ASSERT_TRUE(AllBytes(SurfaceBytes(renderer->surface()), 0x7F));

    EXPECT_FALSE(renderer->renderToSurface());
    EXPECT_EQ(renderer->steps, 0);
    bool blockCalled = false;
    EXPECT_FALSE(renderer->renderToSurfaceWithBlock([&](const CIContextRef &) { return blockCalled = true; }));
    EXPECT_FALSE(blockCalled);
    // The framebuffer was bound, cleared and ended: the surface holds the cleared frame, and
    // the renderer can begin again.
    EXPECT_EQ(CGLGetCurrentContext(), nullptr);
    EXPECT_TRUE(AllBytes(SurfaceBytes(renderer->surface()), 0x00));
    EXPECT_FALSE(renderer->isRenderingToFrameBuffer());
}

TEST(CIContextFBORenderer, ARendererWithoutSurfaceOrBlockRendersNothing) {
    auto empty = std::make_shared<CIContextFBORenderer>();
    empty->initWithIOSurface(nullptr);
    EXPECT_EQ(empty->surface(), nullptr);
    EXPECT_FALSE(empty->renderToSurface());
    EXPECT_FALSE(empty->renderToSurfaceWithBlock([](const CIContextRef &) { return true; }));
    EXPECT_EQ(empty->surfaceCIImage(), nullptr);
    EXPECT_EQ(empty->createSurfaceCGImageByCopyingPixels(), nullptr);
    EXPECT_EQ(empty->createSurfaceCGImageByLockingSurface(), nullptr);

    const auto renderer = CIContextFBORenderer::rendererWithWidthPixels(8, 4);
    ASSERT_NE(renderer, nullptr);
    ASSERT_TRUE(renderer->setSurfacePixelsValue(0x7F, false));
    EXPECT_FALSE(renderer->renderToSurfaceWithBlock(nullptr));
    // Refused before anything: the surface is as it was.
    EXPECT_TRUE(AllBytes(SurfaceBytes(renderer->surface()), 0x7F));
}

}  // namespace
