// The Core Image bitmap renderer: the bitmap's geometry from a size in floats, sizes it
// refuses, and every way a render answers false, the bitmap left untouched.
#include <CocoaQuartz/CIImageRenderer.h>

#include <gtest/gtest.h>

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

TEST(CIImageRenderer, HandsTheCallersContextBackAndKeepsItsOwn) {
    const auto renderer = CIImageRenderer::imageRendererWithSizePixels(4, 2);
    ASSERT_NE(renderer, nullptr);
    const CIContextRef own = renderer->renderContextWithGPUContext(nullptr);
    EXPECT_EQ(renderer->renderContextWithGPUContext(nullptr), own);
    const CIContextRef callers = CIContext::offscreenContext();
    ASSERT_NE(callers, nullptr);
    EXPECT_EQ(renderer->renderContextWithGPUContext(callers), callers);
}

}  // namespace
