// The Core Image framebuffer renderer: its surface and geometry, the pixel-buffer attributes it
// prefers, the images of the surface and their colour space, the bytes a render leaves in the
// surface (read under a CPU lock), the flips, and every way a render can fail: each answers
// false, and a render that got as far as the framebuffer leaves the surface cleared to
// transparent black.
#include <CocoaQZ/CoreImage/CIContextFBORenderer.h>

#include <CocoaGL/NSOGLSharingContext.h>

#include <CoreFoundation/CFNumber.h>
#include <CoreImage/CIKernel.h>
#include <CoreImage/CISampler.h>
#include <CoreVideo/CVPixelBuffer.h>
#include <IOSurface/IOSurface.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>
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
    EXPECT_EQ(upright->colorSpace(), renderer->contextColorSpace());
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

// ---- rendering ----------------------------------------------------------------------------

// Counts its render steps and answers what it is told; can lose its Core Image context.
class ScriptedRenderer : public CIContextFBORenderer {
public:
    CIContextRef coreImageContextWithGLContext() override {
        return noContext ? nullptr : CIContextFBORenderer::coreImageContextWithGLContext();
    }
    bool renderToSurfaceCIContext(const CIContextRef &) override {
        ++steps;
        return stepAnswer;
    }
    bool noContext = false;
    bool stepAnswer = true;
    int steps = 0;
};

CIKernelRef BrokenKernel() {
    // Translates, but GLSL has no .rgbx: the program does not compile and the draw fails.
    const auto kernels = CIKernel::kernelsWithString("kernel vec4 k(sampler s)\n{\n  vec4 p = sample(s, samplerCoord(s));\n"
                                                     "  return p.rgbx;\n}\n");
    return kernels.empty() ? nullptr : kernels[0];
}

// A block drawing `image` over the whole surface.
CIContextFBORenderer::RenderBlock DrawWhole(const CIContextFBORenderer &renderer, const CIImageRef &image) {
    const CGRect bounds = renderer.rendererBounds();
    return [image, bounds](const CIContextRef &context) { return context->drawImage(image, bounds, bounds); };
}

// The surface's pixels that differ from the B, G, R, A bytes `bgra`.
size_t PixelsOtherThan(const std::vector<uint8_t> &bytes, const std::array<uint8_t, 4> &bgra) {
    size_t count = 0;
    for (size_t i = 0; i + 4 <= bytes.size(); i += 4)
        if (!std::equal(bgra.begin(), bgra.end(), bytes.begin() + long(i))) ++count;
    return count;
}

// A colour image renders premultiplied, and is blended over the cleared frame with one and one
// minus source alpha: the premultiplied bytes land unchanged (a source-alpha blend would
// multiply by alpha twice). The surface holds them when the render returns, read with no
// context current (so the read syncs nothing itself).
TEST(CIContextFBORenderer, RendersAColourImageIntoTheSurfacePremultiplied) {
    const auto renderer = CIContextFBORenderer::rendererWithWidthPixels(640, 480);
    ASSERT_NE(renderer, nullptr);
    const CIImageRef colour = CIImage::imageWithColor(CIColor::colorWithRed(0.4, 0.2, 1.0, 0.6));
    ASSERT_TRUE(renderer->renderToSurfaceWithBlock(DrawWhole(*renderer, colour)));
    ASSERT_EQ(CGLGetCurrentContext(), nullptr);
    const std::vector<uint8_t> bytes = SurfaceBytes(renderer->surface());
    ASSERT_EQ(bytes.size(), 640u * 480u * 4u);
    EXPECT_EQ(PixelsOtherThan(bytes, {153, 31, 61, 153}), 0u);

    // The next frame starts cleared: the base render step draws nothing and answers true.
    EXPECT_TRUE(renderer->renderToSurface());
    EXPECT_EQ(PixelsOtherThan(SurfaceBytes(renderer->surface()), {0, 0, 0, 0}), 0u);
}

// What is drawn at the bottom of the frame is the surface's first memory row (OpenGL's order).
TEST(CIContextFBORenderer, RendersABitmapImageBottomRowFirstIntoTheSurface) {
    const auto renderer = CIContextFBORenderer::rendererWithWidthPixels(4, 3);
    ASSERT_NE(renderer, nullptr);
    // A, R, G, B, top row first: P0 P1 over P2 P3.
    const std::vector<uint8_t> argb = {255, 10, 20,  30,   255, 40, 50, 60,   //
                                       128, 112, 16, 32,   255, 200, 100, 0};
    const CIImageRef image = renderer_test::BitmapImage(2, 2, argb);
    ASSERT_NE(image, nullptr);
    ASSERT_TRUE(renderer->renderToSurfaceWithBlock([&](const CIContextRef &context) {
        return context->drawImage(image, CGRectMake(1, 1, 2, 2), image->extent());
    }));
    const auto bgra = [&](int pixel) {
        const uint8_t *p = &argb[size_t(pixel) * 4];
        return std::vector<uint8_t>{p[3], p[2], p[1], p[0]};
    };
    const std::vector<uint8_t> none(4, 0);
    std::vector<uint8_t> want;
    const std::vector<std::vector<uint8_t>> rows[3] = {{none, none, none, none},
                                                       {none, bgra(2), bgra(3), none},
                                                       {none, bgra(0), bgra(1), none}};
    for (const auto &row : rows)
        for (const auto &pixel : row) want.insert(want.end(), pixel.begin(), pixel.end());
    EXPECT_EQ(SurfaceBytes(renderer->surface()), want);
}

TEST(CIContextFBORenderer, SurfaceCIImageIsUprightAndUnflippedIsTheSurfaceAsStored) {
    const auto renderer = CIContextFBORenderer::rendererWithWidthPixels(3, 2);
    ASSERT_NE(renderer, nullptr);
    const std::vector<uint8_t> argb = {255, 1, 2, 3,    255, 4, 5, 6,    255, 7, 8, 9,  //
                                       255, 11, 12, 13, 255, 14, 15, 16, 255, 17, 18, 19};
    const CIImageRef image = renderer_test::BitmapImage(3, 2, argb);
    ASSERT_TRUE(renderer->renderToSurfaceWithBlock(DrawWhole(*renderer, image)));

    const CIContextRef reader = CIContext::offscreenContext();
    ASSERT_NE(reader, nullptr);
    const CGRect bounds = CGRectMake(0, 0, 3, 2);
    EXPECT_EQ(renderer_test::RenderARGB(*reader, renderer->surfaceCIImage(), bounds), argb);
    EXPECT_EQ(renderer_test::RenderARGB(*reader, renderer->surfaceCIImageFlippedUpsideDown(false), bounds),
              renderer_test::RowsReversed(argb, 3 * 4));
    // The class's flip of any image is the same mirror.
    EXPECT_EQ(renderer_test::RenderARGB(*reader, CIContextFBORenderer::imageFlippedUpsideDown(image), bounds),
              renderer_test::RowsReversed(argb, 3 * 4));
    EXPECT_EQ(CIContextFBORenderer::imageFlippedUpsideDown(nullptr), nullptr);
}

TEST(CIContextFBORenderer, WithoutAColourSpaceMakesNoImagesButStillRenders) {
    const auto renderer = CIContextFBORenderer::rendererWithWidthPixels(8, 4);
    ASSERT_NE(renderer, nullptr);
    renderer->setContextColorSpace(nullptr);
    const CIImageRef colour = CIImage::imageWithColor(CIColor::colorWithRed(0, 1, 0, 1));
    EXPECT_TRUE(renderer->renderToSurfaceWithBlock(DrawWhole(*renderer, colour)));
    EXPECT_EQ(PixelsOtherThan(SurfaceBytes(renderer->surface()), {0, 255, 0, 255}), 0u);
    EXPECT_EQ(renderer->surfaceCIImage(), nullptr);
    EXPECT_EQ(renderer->createSurfaceCGImageByCopyingPixels(), nullptr);
}

// A render inside a render of the same renderer is refused without ending the outer one, which
// goes on drawing into its framebuffer.
TEST(CIContextFBORenderer, RefusesARenderInsideARender) {
    const auto renderer = CIContextFBORenderer::rendererWithWidthPixels(8, 4);
    ASSERT_NE(renderer, nullptr);
    const CIImageRef colour = CIImage::imageWithColor(CIColor::colorWithRed(1, 0, 0, 1));
    bool inner = true;
    EXPECT_TRUE(renderer->renderToSurfaceWithBlock([&](const CIContextRef &context) {
        inner = renderer->renderToSurface();
        return context->drawImage(colour, renderer->rendererBounds(), renderer->rendererBounds());
    }));
    EXPECT_FALSE(inner);
    EXPECT_EQ(PixelsOtherThan(SurfaceBytes(renderer->surface()), {0, 0, 255, 255}), 0u);
}

// A render step that throws: the exception reaches the caller with the frame ended, the lock
// given back and the caller's context (none) current again.
TEST(CIContextFBORenderer, AThrowingRenderStepLeavesTheRendererUsable) {
    const auto renderer = CIContextFBORenderer::rendererWithWidthPixels(8, 4);
    ASSERT_NE(renderer, nullptr);
    EXPECT_THROW(renderer->renderToSurfaceWithBlock([](const CIContextRef &) -> bool { throw std::runtime_error("x"); }),
                 std::runtime_error);
    EXPECT_FALSE(renderer->isRenderingToFrameBuffer());
    EXPECT_EQ(CGLGetCurrentContext(), nullptr);
    bool lockedElsewhere = false;
    std::thread([&] {
        lockedElsewhere = renderer->tryLock();
        if (lockedElsewhere) renderer->unlock();
    }).join();
    EXPECT_TRUE(lockedElsewhere);
    const CIImageRef colour = CIImage::imageWithColor(CIColor::colorWithRed(0, 0, 1, 1));
    EXPECT_TRUE(renderer->renderToSurfaceWithBlock(DrawWhole(*renderer, colour)));
}

// Every render that cannot be done answers NO. One that got as far as binding the framebuffer
// leaves the cleared frame in the surface; one refused at once leaves the surface as it was.
// Either way the renderer is not left rendering, no context stays current, and it renders
// again afterwards.
TEST(CIContextFBORenderer, RendersThatCannotBeDoneAnswerNo) {
    const CIKernelRef broken = BrokenKernel();
    ASSERT_NE(broken, nullptr);
    const CIImageRef colour = CIImage::imageWithColor(CIColor::colorWithRed(0, 0, 1, 1));
    enum class Surface { Cleared, Untouched };
    const struct {
        const char *name;
        std::function<bool(ScriptedRenderer &)> render;
        Surface surface;
        int steps;
    } cases[] = {
        {"no Core Image context",
         [](ScriptedRenderer &r) {
             r.noContext = true;
             const bool hook = r.renderToSurface();
             const bool block = r.renderToSurfaceWithBlock([](const CIContextRef &) { return true; });
             r.noContext = false;
             return hook || block;
         },
         Surface::Cleared, 0},
        {"the render hook answers NO",
         [](ScriptedRenderer &r) {
             r.stepAnswer = false;
             return r.renderToSurface();
         },
         Surface::Cleared, 1},
        {"the block answers NO",
         [](ScriptedRenderer &r) { return r.renderToSurfaceWithBlock([](const CIContextRef &) { return false; }); },
         Surface::Cleared, 0},
        {"a draw that fails",
         [&](ScriptedRenderer &r) {
             const CIImageRef image = broken->apply({CISampler(colour)}, {r.rendererBounds(), {}, nullptr});
             return image != nullptr && r.renderToSurfaceWithBlock(DrawWhole(r, image));
         },
         Surface::Cleared, 0},
        {"a draw of nothing", [](ScriptedRenderer &r) { return r.renderToSurfaceWithBlock(DrawWhole(r, nullptr)); },
         Surface::Cleared, 0},
        {"a null block", [](ScriptedRenderer &r) { return r.renderToSurfaceWithBlock(nullptr); }, Surface::Untouched,
         0},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const auto renderer = NewRenderer<ScriptedRenderer>(8, 4);
        ASSERT_NE(renderer, nullptr);
        ASSERT_TRUE(renderer->setSurfacePixelsValue(0x7F, false));
        EXPECT_FALSE(c.render(*renderer));
        EXPECT_EQ(renderer->steps, c.steps);
        EXPECT_EQ(CGLGetCurrentContext(), nullptr);
        EXPECT_FALSE(renderer->isRenderingToFrameBuffer());
        EXPECT_TRUE(AllBytes(SurfaceBytes(renderer->surface()), c.surface == Surface::Cleared ? 0x00 : 0x7F));
        EXPECT_TRUE(renderer->renderToSurfaceWithBlock(DrawWhole(*renderer, colour)));
        EXPECT_EQ(PixelsOtherThan(SurfaceBytes(renderer->surface()), {255, 0, 0, 255}), 0u);
    }

    // Without a surface there is nothing to render into.
    auto empty = std::make_shared<CIContextFBORenderer>();
    empty->initWithIOSurface(nullptr);
    EXPECT_EQ(empty->surface(), nullptr);
    EXPECT_FALSE(empty->renderToSurface());
    EXPECT_FALSE(empty->renderToSurfaceWithBlock([](const CIContextRef &) { return true; }));
    EXPECT_EQ(empty->surfaceCIImage(), nullptr);
    EXPECT_EQ(empty->createSurfaceCGImageByCopyingPixels(), nullptr);
    EXPECT_EQ(empty->createSurfaceCGImageByLockingSurface(), nullptr);
}
}  // namespace
