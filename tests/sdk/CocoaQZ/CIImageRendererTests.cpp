// The Core Image bitmap renderer: the bitmap's geometry from a size in floats, sizes it
// refuses, the bytes a render writes (A, R, G, B, top row first) into its own bitmap and into a
// caller's bitmap context, and every way a render answers false, the bitmap left untouched.
#include <CocoaQZ/CoreImage/CIImageRenderer.h>

#include <CocoaGL/NSOGLSharingContext.h>

#include <CoreGraphics/CGBitmapContext.h>
#include <CoreGraphics/CGContext.h>
#include <CoreImage/CIKernel.h>
#include <CoreImage/CISampler.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "RendererTestSupport.h"

namespace {

using renderer_test::BitmapImage;

// A, R, G, B premultiplied, top row first: 3 x 2 distinct pixels, one half transparent.
const std::vector<uint8_t> kPicture = {255, 1, 2, 3,     255, 4, 5, 6,     128, 7, 8, 9,  //
                                       255, 11, 12, 13,  255, 14, 15, 16,  255, 17, 18, 19};

// An image whose render fails: the kernel translates, but GLSL has no .rgbx.
CIImageRef ImageThatFailsToRender() {
    const auto kernels = CIKernel::kernelsWithString("kernel vec4 k(sampler s)\n{\n  vec4 p = sample(s, samplerCoord(s));\n"
                                                     "  return p.rgbx;\n}\n");
    if (kernels.empty()) return nullptr;
    const CIImageRef source = BitmapImage(3, 2, kPicture);
    return kernels[0]->apply({CISampler(source)}, {source->extent(), {}, nullptr});
}

TEST(CIImageRenderer, TruncatesTheSizeToWholePixelsOfFourBytes) {
    ASSERT_TRUE(import_CIImageRenderer());
    const auto renderer = CIImageRenderer::imageRendererWithSizePixels(320.7f, 240.2f);
    ASSERT_NE(renderer, nullptr);
    EXPECT_NE(renderer->imagePixelData(), nullptr);
    EXPECT_EQ(renderer->imagePixelRowBytes(), 1280u);
    EXPECT_EQ(renderer->imagePixelDataSize(), 1280u * 240u);
    // A renderer is initialised once.
    EXPECT_FALSE(renderer->initWithSizePixels(16, 16));
    EXPECT_EQ(renderer->imagePixelRowBytes(), 1280u);

    CIImageRenderer other;
    EXPECT_EQ(other.imagePixelData(), nullptr);
    EXPECT_EQ(other.imagePixelDataSize(), 0u);
    EXPECT_TRUE(other.initSizePixels(1.0f, 3.9f));
    EXPECT_EQ(other.imagePixelRowBytes(), 4u);
    EXPECT_EQ(other.imagePixelDataSize(), 12u);
}

TEST(CIImageRenderer, RefusesSizesOfNoWholePixelNotFiniteOrTooLarge) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    const struct {
        float width, height;
    } cases[] = {{0, 240}, {320, 0}, {0.9f, 240}, {-320, 240}, {nan, 240}, {320, inf}, {-inf, 240}, {1e9f, 1e9f},
                 {40000, 1}};
    for (const auto &c : cases) {
        SCOPED_TRACE(std::to_string(c.width) + " x " + std::to_string(c.height));
        EXPECT_EQ(CIImageRenderer::imageRendererWithSizePixels(c.width, c.height), nullptr);
        CIImageRenderer renderer;
        EXPECT_FALSE(renderer.initWithSizePixels(c.width, c.height));
        EXPECT_EQ(renderer.imagePixelData(), nullptr);
        EXPECT_FALSE(renderer.renderImage(BitmapImage(1, 1, {255, 1, 2, 3})));
    }
}

// Each call answers false and leaves the bytes of the renderer's bitmap and of the caller's
// bitmap as they were.
TEST(CIImageRenderer, AnswersNoWithoutImageContextOrSuitableBitmap) {
    const auto renderer = CIImageRenderer::imageRendererWithSizePixels(4, 2);
    ASSERT_NE(renderer, nullptr);
    std::memset(renderer->imagePixelData(), 0x5A, renderer->imagePixelDataSize());
    const CIImageRef image = BitmapImage(1, 1, {255, 10, 20, 30});
    ASSERT_NE(image, nullptr);
    const CIImageRef failing = ImageThatFailsToRender();
    ASSERT_NE(failing, nullptr);

    CoreGraphics::BitmapContext bitmap;
    ASSERT_TRUE(bitmap.Construct(4, 2, CoreGraphics::kBitmapType_ARGB32));
    std::memset(bitmap.mImageDataBytes, 0x5A, bitmap.mImageDataSize);
    CoreGraphics::BitmapContext grey;
    ASSERT_TRUE(grey.Construct(16, 2, CoreGraphics::kBitmapType_Gray8));
    CoreGraphics::BitmapContext rgbx;
    ASSERT_TRUE(rgbx.Construct(4, 2, CoreGraphics::kBitmapType_RGBX32));
    CoreGraphics::BitmapContext unconstructed;

    const struct {
        const char *name;
        std::function<bool()> call;
    } cases[] = {
        {"renderImage, no image", [&] { return renderer->renderImage(nullptr); }},
        {"renderImageGpuContext, no image",
         [&] { return renderer->renderImageGpuContext(nullptr, renderer->renderContextWithGPUContext(nullptr)); }},
        {"renderImageGpuContext, no context", [&] { return renderer->renderImageGpuContext(image, nullptr); }},
        {"into bitmap, no bitmap", [&] { return renderer->renderImageIntoBitmapContext(image, nullptr); }},
        {"into bitmap, no image", [&] { return renderer->renderImageIntoBitmapContext(nullptr, &bitmap); }},
        {"into bitmap, not constructed", [&] { return renderer->renderImageIntoBitmapContext(image, &unconstructed); }},
        {"into bitmap, grey", [&] { return renderer->renderImageIntoBitmapContext(image, &grey); }},
        {"into bitmap, R G B X", [&] { return renderer->renderImageIntoBitmapContext(image, &rgbx); }},
        {"renderImage, a render that fails", [&] { return renderer->renderImage(failing); }},
        {"renderImageGpuContext, a render that fails",
         [&] { return renderer->renderImageGpuContext(failing, CIContext::offscreenContext()); }},
        {"into bitmap, a render that fails", [&] { return renderer->renderImageIntoBitmapContext(failing, &bitmap); }},
        {"into bitmap with a context, no bitmap",
         [&] {
             return renderer->renderImageIntoBitmapContextGpuContext(image, nullptr,
                                                                     renderer->renderContextWithGPUContext(nullptr));
         }},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_FALSE(c.call());
    }
    const std::vector<uint8_t> untouched(8 * 4, 0x5A);
    EXPECT_EQ(std::memcmp(renderer->imagePixelData(), untouched.data(), untouched.size()), 0);
    EXPECT_EQ(std::memcmp(bitmap.mImageDataBytes, untouched.data(), untouched.size()), 0);
}

TEST(CIImageRenderer, RendersIntoItsBitmapAsARGBTopRowFirst) {
    const auto renderer = CIImageRenderer::imageRendererWithSizePixels(3.5f, 2.5f);
    ASSERT_NE(renderer, nullptr);
    ASSERT_EQ(renderer->imagePixelDataSize(), kPicture.size());
    const CIImageRef image = BitmapImage(3, 2, kPicture);
    const auto bytes = [&] {
        const auto *data = static_cast<const uint8_t *>(renderer->imagePixelData());
        return std::vector<uint8_t>(data, data + renderer->imagePixelDataSize());
    };
    ASSERT_TRUE(renderer->renderImage(image));
    EXPECT_EQ(bytes(), kPicture);

    // Through the caller's context; outside the image is transparent black.
    std::memset(renderer->imagePixelData(), 0x5A, renderer->imagePixelDataSize());
    const CIContextRef context = CIContext::offscreenContext();
    ASSERT_NE(context, nullptr);
    ASSERT_TRUE(renderer->renderImageGpuContext(image->imageByCroppingToRect(CGRectMake(0, 1, 1, 1)), context));
    std::vector<uint8_t> want(kPicture.size(), 0);
    std::copy_n(kPicture.begin(), 4, want.begin());
    EXPECT_EQ(bytes(), want);
}

// The render writes the bitmap's bytes directly: Quartz drawing afterwards starts from them
// (the bitmap is told it was written), so a small fill leaves the rendered pixels around it.
TEST(CIImageRenderer, RendersIntoABitmapContextThatQuartzThenDrawsOver) {
    const auto renderer = CIImageRenderer::imageRendererWithSizePixels(1, 1);
    ASSERT_NE(renderer, nullptr);
    CoreGraphics::BitmapContext bitmap;
    ASSERT_TRUE(bitmap.Construct(3, 2, CoreGraphics::kBitmapType_ARGB32));
    // Quartz has drawn into it before.
    CGContextSetRGBFillColor(bitmap.mContext, 0, 0, 1, 1);
    CGContextFillRect(bitmap.mContext, CGRectMake(0, 0, 3, 2));
    ASSERT_TRUE(renderer->renderImageIntoBitmapContext(BitmapImage(3, 2, kPicture), &bitmap));
    CGContextSetRGBFillColor(bitmap.mContext, 1, 1, 1, 1);
    CGContextFillRect(bitmap.mContext, CGRectMake(0, 0, 1, 1));  // the bottom-left pixel
    bitmap.WillAccessPixels();
    std::vector<uint8_t> want = kPicture;
    std::fill_n(want.begin() + 12, 4, 255);
    EXPECT_EQ(std::vector<uint8_t>(bitmap.mImageDataBytes, bitmap.mImageDataBytes + want.size()), want);

    // A bitmap with a skipped byte first takes the same bytes.
    CoreGraphics::BitmapContext xrgb;
    ASSERT_TRUE(xrgb.Construct(3, 2, CoreGraphics::kBitmapType_XRGB32));
    ASSERT_TRUE(renderer->renderImageIntoBitmapContextGpuContext(BitmapImage(3, 2, kPicture), &xrgb,
                                                                 CIContext::offscreenContext()));
    xrgb.WillAccessPixels();
    EXPECT_EQ(std::vector<uint8_t>(xrgb.mImageDataBytes, xrgb.mImageDataBytes + kPicture.size()), kPicture);
}

TEST(CIImageRenderer, HandsTheCallersContextBackAndKeepsItsOwn) {
    const auto renderer = CIImageRenderer::imageRendererWithSizePixels(4, 2);
    ASSERT_NE(renderer, nullptr);
    // Its own: an offscreen context in the root sharing context's share group, made once.
    const CIContextRef own = renderer->renderContextWithGPUContext(nullptr);
    ASSERT_NE(own, nullptr);
    EXPECT_EQ(renderer->renderContextWithGPUContext(nullptr), own);
    EXPECT_EQ(CGLGetShareGroup(own->CGLContext()),
              CGLGetShareGroup(NSOGLSharingContext::rootSharingContext()->CGLContextObj()));
    EXPECT_EQ(CGLGetCurrentContext(), nullptr);
    const CIContextRef callers = CIContext::offscreenContext();
    ASSERT_NE(callers, nullptr);
    EXPECT_EQ(renderer->renderContextWithGPUContext(callers), callers);
}

}  // namespace
