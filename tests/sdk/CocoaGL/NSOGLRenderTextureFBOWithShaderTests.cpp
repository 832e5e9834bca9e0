// Render textures: a source texture drawn through a named program into the texture's
// IOSurface on a pool context (flushing renders complete the surface, others leave it to the
// next sync point), erasing, the delegate wrapping or replacing the drawing (an exception of
// its own logged, locks given back, the framebuffer usable again), and CGImageRenderTexture
// handing the result out as an upright CGImage, copied or over the locked surface, with the
// surface's row bytes.
#include <CocoaGL/CGImageRenderTexture.h>
#include <CocoaGL/NSOGLRenderTextureFBOWithShader.h>
#include <CocoaGL/NSOGLSharingContext.h>

#include <CoreFoundation/CFData.h>
#include <CoreG/GL/namespace_OpenGL_CGLContextState.h>
#include <CoreGraphics/CGDataProvider.h>
#include <Foundation/NSException.h>
#include <OpenGL/CGLIOSurface.h>

#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "RenderTextureTestSupport.h"

namespace {

using namespace rendertex_test;

constexpr int kWidth = 16, kHeight = 12;

class RenderTextureTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(import_CGImageRenderTexture());
        root = NSOGLSharingContext::rootSharingContext();
        ASSERT_NE(root, nullptr);
        CGLSetCurrentContext(nullptr);
        // Sources and render textures are made in the root's share group; renders then run
        // with nothing current on this thread.
        OpenGL::CGLContextStateLock scope(root->CGLContextObj());
        source = NewSourceTexture(kWidth, kHeight);
        texture = NSOGLRenderTextureFBOWithShader::textureWithShaderSourceClass(MemorySourceCode::Get(), "swap_rb",
                                                                                kWidth, kHeight);
        CGLSetCurrentContext(nullptr);
    }
    void TearDown() override {
        OpenGL::CGLContextStateLock scope(root->CGLContextObj());
        texture.reset();
        source.reset();
        CGLSetCurrentContext(nullptr);
    }

    // The swapped picture, texture row 0 at memory row 0.
    static std::vector<uint32_t> Expected() {
        std::vector<uint32_t> pixels;
        for (int y = 0; y < kHeight; ++y)
            for (int x = 0; x < kWidth; ++x) pixels.push_back(SwapRB(SourcePixel(x, y)));
        return pixels;
    }

    std::shared_ptr<NSOpenGLContext> root;
    std::shared_ptr<NSOGLTextureBase> source;
    std::shared_ptr<NSOGLRenderTextureFBOWithShader> texture;
};

TEST_F(RenderTextureTest, DrawsTheSourceThroughTheNamedProgramIntoTheSurfaceOnAPoolContext) {
    ASSERT_NE(texture, nullptr);
    ASSERT_NE(texture->shaderProgram(), nullptr);
    EXPECT_TRUE(texture->shaderProgram()->shaderCanBeEnabled());
    EXPECT_EQ(texture->shaderProgram()->shaderProgramName(), "swap_rb");
    const auto pool = texture->defaultRenderContextNilMeansUseCurrentContext();
    ASSERT_NE(pool, nullptr);
    EXPECT_NE(pool->CGLContextObj(), root->CGLContextObj());
    EXPECT_EQ(texture->defaultRenderContextObj(), pool->CGLContextObj());
    EXPECT_TRUE(texture->clearContextBeforeRendering());
    EXPECT_EQ(texture->renderBounds().size.width, kWidth);
    EXPECT_EQ(SurfacePixels(texture->surface()), std::vector<uint32_t>(kWidth * kHeight, 0u));  // set to 0

    texture->setSourceTexture(source);
    texture->renderScene();
    EXPECT_EQ(CGLGetCurrentContext(), nullptr);  // the caller's (no) context is back
    EXPECT_EQ(texture->currentRenderContextObj(), nullptr);
    EXPECT_EQ(texture->currentRenderContext(), nullptr);
    EXPECT_EQ(SurfacePixels(texture->surface()), Expected());

    // A render with no context at all, none current and none by default, does nothing.
    texture->setDefaultRenderContextNilMeansUseCurrentContext(nullptr);
    texture->renderSceneWithContext(nullptr, true);
    texture->renderScene();
}

TEST_F(RenderTextureTest, FlushingRenderCompletesTheSurfaceOtherRendersWaitForASyncPoint) {
    ASSERT_NE(texture, nullptr);
    texture->setSourceTexture(source);
    texture->renderScene(false);
    // No sync point yet: the surface's memory still holds its initial pixels.
    EXPECT_EQ(SurfacePixels(texture->surface()), std::vector<uint32_t>(kWidth * kHeight, 0u));
    {
        const auto pool = texture->defaultRenderContextNilMeansUseCurrentContext();
        OpenGL::CGLContextStateLock scope(pool->CGLContextObj());
        EXPECT_EQ(CGLSyncIOSurfaceTextures(pool->CGLContextObj()), kCGLNoError);
        CGLSetCurrentContext(nullptr);
    }
    EXPECT_EQ(SurfacePixels(texture->surface()), Expected());
}

TEST_F(RenderTextureTest, ErasesToBlackOrToTheEraseColourOrTransparent) {
    ASSERT_NE(texture, nullptr);
    struct Case {
        bool clear;
        std::optional<QColor> color;
        uint32_t pixel;  // B,G,R,A value
    };
    const Case cases[] = {
        {true, QColor(255, 0, 0), 0xFF000000u},  // clearing wins over the colour
        {false, QColor(255, 0, 0), 0xFFFF0000u},
        {false, std::nullopt, 0x00000000u},
        {false, QColor(0, 0, 255), 0xFF0000FFu},
    };
    for (const Case &c : cases) {  // no source: an erased frame
        texture->setClearContextBeforeRendering(c.clear);
        texture->setEraseColor(c.color);
        texture->renderScene();
        EXPECT_EQ(SurfacePixels(texture->surface()), std::vector<uint32_t>(kWidth * kHeight, c.pixel))
            << "clear " << c.clear;
    }
    // A source without program is not drawn either.
    texture->setSourceTexture(source);
    texture->setShaderProgram(nullptr);
    texture->renderScene();
    EXPECT_EQ(SurfacePixels(texture->surface()), std::vector<uint32_t>(kWidth * kHeight, 0xFF0000FFu));
}

// Records its calls; draws green in place of the default drawing when `replace`; raises
// from the drawing when `raise`.
struct RecordingDelegate : NSOGLRenderTextureFBOWithShaderDelegate {
    bool replace = false, raise = false, answerBegin = true;
    std::vector<std::string> calls;
    CGRect rect{};
    CGLContextObj context = nullptr;

    bool renderBeginScene(NSOGLRenderTextureFBOWithShader *texture, CGRect drawableRect) override {
        if (!answerBegin) return false;
        calls.push_back("begin");
        rect = drawableRect;
        context = texture->renderContext();
        return true;
    }
    bool renderScene(NSOGLRenderTextureFBOWithShader *, CGRect) override {
        if (raise) NSException::raise(NSGenericException, "drawing failed");
        if (!replace) return false;
        calls.push_back("scene");
        glClearColor(0, 1, 0, 1);
        glClear(GL_COLOR_BUFFER_BIT);
        return true;
    }
    bool renderEndScene(NSOGLRenderTextureFBOWithShader *, CGRect) override {
        calls.push_back("end");
        return true;
    }
};

TEST_F(RenderTextureTest, DelegateWrapsOrReplacesTheDrawing) {
    ASSERT_NE(texture, nullptr);
    texture->setSourceTexture(source);
    RecordingDelegate delegate;
    texture->setDelegate(&delegate);

    // Begin and end only: the default drawing still runs.
    texture->renderScene();
    EXPECT_EQ(delegate.calls, (std::vector<std::string>{"begin", "end"}));
    EXPECT_EQ(delegate.rect.origin.x, -0.5);
    EXPECT_EQ(delegate.rect.origin.y, -0.5);
    EXPECT_EQ(delegate.rect.size.width, 1.0);
    EXPECT_EQ(delegate.rect.size.height, 1.0);
    EXPECT_EQ(delegate.context, texture->defaultRenderContextObj());
    EXPECT_EQ(SurfacePixels(texture->surface()), Expected());

    // Replacing the drawing.
    delegate.calls.clear();
    delegate.replace = true;
    texture->renderScene();
    EXPECT_EQ(delegate.calls, (std::vector<std::string>{"begin", "scene", "end"}));
    EXPECT_EQ(SurfacePixels(texture->surface()), std::vector<uint32_t>(kWidth * kHeight, 0xFF00FF00u));
    texture->setDelegate(nullptr);
}

TEST_F(RenderTextureTest, DelegateExceptionIsLoggedAndTheTextureStaysUsable) {
    ASSERT_NE(texture, nullptr);
    texture->setSourceTexture(source);
    RecordingDelegate delegate;
    delegate.raise = true;
    texture->setDelegate(&delegate);
    testing::internal::CaptureStderr();
    texture->renderScene();
    const std::string log = testing::internal::GetCapturedStderr();
    EXPECT_NE(log.find("NSOGLRenderTextureFBOWithShader::renderSceneWithCGLContextObj::exception:"), std::string::npos)
        << log;
    EXPECT_NE(log.find("drawing failed"), std::string::npos) << log;
    // The scene was still ended, and both locks were given back.
    EXPECT_EQ(delegate.calls, (std::vector<std::string>{"begin", "end"}));
    EXPECT_FALSE(texture->isRenderingToFrameBuffer());
    bool textureFree = false;
    std::thread([&] {
        textureFree = texture->tryLock();
        if (textureFree) texture->unlock();
    }).join();
    EXPECT_TRUE(textureFree);

    texture->setDelegate(nullptr);
    texture->renderScene();
    EXPECT_EQ(SurfacePixels(texture->surface()), Expected());
}

// ---- CGImageRenderTexture -----------------------------------------------------------------

// The image's pixels as B,G,R,A values, image row 0 first, with its row bytes.
std::vector<uint32_t> ImagePixels(CGImageRef image) {
    const std::size_t width = CGImageGetWidth(image), height = CGImageGetHeight(image);
    const std::size_t rowBytes = CGImageGetBytesPerRow(image);
    std::vector<uint32_t> pixels(width * height, 0xEEEEEEEEu);
    CFDataRef data = CGDataProviderCopyData(CGImageGetDataProvider(image));
    if (data == nullptr || std::size_t(CFDataGetLength(data)) < rowBytes * height) {
        ADD_FAILURE() << "image data too short";
    } else {
        for (std::size_t y = 0; y < height; ++y)
            std::memcpy(&pixels[y * width], CFDataGetBytePtr(data) + y * rowBytes, width * 4);
    }
    if (data != nullptr) CFRelease(data);
    return pixels;
}

// The source picture upright: image row 0 is the source's top row.
std::vector<uint32_t> UprightSource(int width, int height) {
    std::vector<uint32_t> pixels;
    for (int row = 0; row < height; ++row)
        for (int x = 0; x < width; ++x) pixels.push_back(SourcePixel(x, height - 1 - row));
    return pixels;
}

TEST_F(RenderTextureTest, ImageHoldsTheRenderedPixelsUprightCopiedOrOverTheLockedSurface) {
    std::shared_ptr<CGImageRenderTexture> imageTexture;
    {
        OpenGL::CGLContextStateLock scope(root->CGLContextObj());
        imageTexture = CGImageRenderTexture::textureWithShaderSourceClass(MemorySourceCode::Get(), "copy", kWidth,
                                                                          kHeight);
        CGLSetCurrentContext(nullptr);
    }
    ASSERT_NE(imageTexture, nullptr);
    ASSERT_NE(imageTexture->imageColorSpace(), nullptr);
    imageTexture->setSourceTexture(source);
    for (bool lockSurface : {false, true}) {
        SCOPED_TRACE(lockSurface ? "locking the surface" : "copying the pixels");
        source->setFlipVertical(false);
        int calls = 0;
        EXPECT_TRUE(imageTexture->renderToCGImageLockingSurfacePixels(lockSurface, [&](CGImageRef image) {
            ++calls;
            EXPECT_EQ(CGImageGetWidth(image), std::size_t(kWidth));
            EXPECT_EQ(CGImageGetHeight(image), std::size_t(kHeight));
            EXPECT_EQ(ImagePixels(image), UprightSource(kWidth, kHeight));
        }));
        EXPECT_EQ(calls, 1);
        EXPECT_FALSE(source->flipVertical());  // the source's flip is put back
    }
    // Without a block it only renders.
    imageTexture->setSourceTexture(nullptr);
    EXPECT_TRUE(imageTexture->renderToCGImageLockingSurfacePixels(false, nullptr));
    EXPECT_EQ(SurfacePixels(imageTexture->surface()), std::vector<uint32_t>(kWidth * kHeight, 0xFF000000u));
    OpenGL::CGLContextStateLock scope(root->CGLContextObj());
    imageTexture.reset();
    CGLSetCurrentContext(nullptr);
}

TEST_F(RenderTextureTest, ImageOfASurfaceWithLongRowsIsRight) {
    constexpr int kRowBytes = kWidth * 4 + 48;
    IOSurfaceRef surface = NewSurfaceWithRowBytes(kWidth, kHeight, kRowBytes);
    ASSERT_NE(surface, nullptr);
    ASSERT_EQ(IOSurfaceGetBytesPerRow(surface), std::size_t(kRowBytes));
    auto imageTexture = std::make_shared<CGImageRenderTexture>();
    {
        OpenGL::CGLContextStateLock scope(root->CGLContextObj());
        imageTexture->initWithIOSurface(surface, "copy", MemorySourceCode::Get());
        CGLSetCurrentContext(nullptr);
    }
    CFRelease(surface);
    imageTexture->setSourceTexture(source);
    for (bool lockSurface : {false, true}) {
        bool called = false;
        EXPECT_TRUE(imageTexture->renderToCGImageLockingSurfacePixels(lockSurface, [&](CGImageRef image) {
            called = true;
            EXPECT_EQ(CGImageGetBytesPerRow(image), std::size_t(kRowBytes));
            EXPECT_EQ(ImagePixels(image), UprightSource(kWidth, kHeight));
        }));
        EXPECT_TRUE(called);
    }
    OpenGL::CGLContextStateLock scope(root->CGLContextObj());
    imageTexture.reset();
    CGLSetCurrentContext(nullptr);
}

TEST_F(RenderTextureTest, NoImageMeansNoBlockCallAndAFailure) {
    std::shared_ptr<CGImageRenderTexture> imageTexture;
    {
        OpenGL::CGLContextStateLock scope(root->CGLContextObj());
        imageTexture = CGImageRenderTexture::textureWithShaderSourceClass(MemorySourceCode::Get(), "copy", kWidth,
                                                                          kHeight);
        CGLSetCurrentContext(nullptr);
    }
    ASSERT_NE(imageTexture, nullptr);
    int calls = 0;
    const CGImageRenderTexture::ImageBlock block = [&](CGImageRef) { ++calls; };
    imageTexture->setImageColorSpace(nullptr);  // no colour space: no image
    EXPECT_FALSE(imageTexture->wrapSurfaceFBOWithCGImageRef(block, false));
    EXPECT_FALSE(imageTexture->wrapSurfaceFBOWithCGImageRef(block, true));
    EXPECT_FALSE(imageTexture->renderToCGImageLockingSurfacePixels(false, block));
    CGImageRenderTexture unmade;  // no surface
    EXPECT_FALSE(unmade.wrapSurfaceFBOWithCGImageRef(block, false));
    EXPECT_EQ(calls, 0);

    imageTexture->createImageColorSpace();
    EXPECT_TRUE(imageTexture->wrapSurfaceFBOWithCGImageRef(block, false));
    EXPECT_EQ(calls, 1);
    OpenGL::CGLContextStateLock scope(root->CGLContextObj());
    imageTexture.reset();
    CGLSetCurrentContext(nullptr);
}

}  // namespace
