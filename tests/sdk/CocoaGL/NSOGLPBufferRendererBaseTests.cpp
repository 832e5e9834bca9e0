// The pixel-buffer renderer: a scene rendered for a time into the pixel buffer becomes a
// texture that the root sharing context sees; the dynamic-texture interface (name, size,
// flips, dirty flag, lock, the update chain with its time); frames rendered by two threads
// at once; a scene that fails or throws; a renderer that could not be made whole.
#include <CocoaGL/NSOGLPBufferRendererBase.h>

#include <CocoaGL/NSOGLSharingContext.h>
#include <CoreG/GL/namespace_OpenGL_CGLContextState.h>

#include <OpenGL/glext.h>

#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <functional>
#include <future>
#include <mutex>
#include <stdexcept>
#include <thread>
#include <vector>

namespace {

using Pixel = std::array<int, 4>;  // R, G, B, A bytes

// The colour a scene clears to for `seconds` (0 to 10).
std::array<float, 4> ColourFor(double seconds) {
    const float red = float(seconds / 10.0);
    return {red, 0.5f, 1.0f - red, 1.0f};
}

Pixel BytesFor(double seconds) {
    const auto colour = ColourFor(seconds);
    return {int(std::lround(colour[0] * 255)), int(std::lround(colour[1] * 255)), int(std::lround(colour[2] * 255)),
            int(std::lround(colour[3] * 255))};
}

bool Near(const Pixel &a, const Pixel &b) {
    for (int i = 0; i < 4; ++i)
        if (std::abs(a[i] - b[i]) > 1) return false;
    return true;
}

// The last time a scene was rendered for on the calling thread.
thread_local double tLastRenderedTime = -1;

// Clears the pixel buffer to the colour of the time; the hooks let tests order threads.
class TimeColourRenderer : public NSOGLPBufferRendererBase {
public:
    bool renderSceneForTime(double seconds) override {
        {
            std::lock_guard<std::mutex> guard(mLock);
            mTimes.push_back(seconds);
        }
        tLastRenderedTime = seconds;
        mContextDuringRender = CGLGetCurrentContext();
        if (mThrow) throw std::runtime_error("scene failed");
        if (!mRenders) return false;
        if (mUseBase) return NSOGLPBufferRendererBase::renderSceneForTime(seconds);
        const auto colour = ColourFor(seconds);
        glClearColor(colour[0], colour[1], colour[2], colour[3]);
        glClear(GL_COLOR_BUFFER_BIT);
        if (mOnRender) mOnRender(seconds);
        return true;
    }

    bool updateTextureInTextureSharingContext() override {
        if (mBeforeUpdate) mBeforeUpdate();
        const bool updated = NSOGLPBufferRendererBase::updateTextureInTextureSharingContext();
        if (mAfterUpdate) mAfterUpdate();
        return updated;
    }

    std::vector<double> times() {
        std::lock_guard<std::mutex> guard(mLock);
        return mTimes;
    }

    std::atomic<bool> mRenders{true};
    std::atomic<bool> mUseBase{false};
    std::atomic<bool> mThrow{false};
    std::atomic<CGLContextObj> mContextDuringRender{nullptr};
    std::function<void(double)> mOnRender;
    std::function<void()> mBeforeUpdate;
    std::function<void()> mAfterUpdate;

private:
    std::mutex mLock;
    std::vector<double> mTimes;
};

// Level 0 of the renderer's texture as the root sharing context sees it, bottom row first.
std::vector<Pixel> TexturePixels(NSOGLPBufferRendererBase &renderer) {
    const auto root = NSOGLSharingContext::rootSharingContext();
    const OpenGL::CGLContextStateLock scope(root.get());
    renderer.lock();
    const GLenum target = renderer.textureTarget();
    GLint previous = 0;
    glGetIntegerv(target == GL_TEXTURE_2D ? GL_TEXTURE_BINDING_2D : GL_TEXTURE_BINDING_RECTANGLE_ARB, &previous);
    glBindTexture(target, renderer.textureName());
    GLint width = 0, height = 0;
    glGetTexLevelParameteriv(target, 0, GL_TEXTURE_WIDTH, &width);
    glGetTexLevelParameteriv(target, 0, GL_TEXTURE_HEIGHT, &height);
    std::vector<uint8_t> bytes(std::size_t(width) * std::size_t(height) * 4);
    if (!bytes.empty()) glGetTexImage(target, 0, GL_RGBA, GL_UNSIGNED_BYTE, bytes.data());
    glBindTexture(target, GLuint(previous));
    renderer.unlock();
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
    EXPECT_EQ(GLuint(width), renderer.textureWidth());
    EXPECT_EQ(GLuint(height), renderer.textureHeight());
    std::vector<Pixel> pixels;
    for (std::size_t i = 0; i + 3 < bytes.size(); i += 4)
        pixels.push_back({bytes[i], bytes[i + 1], bytes[i + 2], bytes[i + 3]});
    return pixels;
}

// Whether every texel of the renderer's texture is near `expected`.
::testing::AssertionResult TextureIs(NSOGLPBufferRendererBase &renderer, const Pixel &expected) {
    const std::vector<Pixel> pixels = TexturePixels(renderer);
    if (pixels.empty()) return ::testing::AssertionFailure() << "no texture image";
    for (std::size_t i = 0; i < pixels.size(); ++i) {
        if (!Near(pixels[i], expected))
            return ::testing::AssertionFailure()
                   << "texel " << i << " is " << pixels[i][0] << "," << pixels[i][1] << "," << pixels[i][2] << ","
                   << pixels[i][3] << " instead of " << expected[0] << "," << expected[1] << "," << expected[2] << ","
                   << expected[3];
    }
    return ::testing::AssertionSuccess();
}

std::shared_ptr<TimeColourRenderer> MakeRenderer(GLenum target = GL_TEXTURE_RECTANGLE_ARB, GLuint width = 64,
                                                 GLuint height = 32) {
    return NSOGLPBufferRendererBase::makeWithTextureTarget<TimeColourRenderer>(target, width, height);
}

}  // namespace

TEST(PBufferRenderer, RefusesBadTargetsSizesAndContexts) {
    const auto root = NSOGLSharingContext::rootSharingContext();
    ASSERT_NE(root, nullptr);
    struct Case {
        GLenum target;
        GLuint width, height;
        bool context;
        bool made;
    };
    const Case cases[] = {
        {GL_TEXTURE_RECTANGLE_ARB, 640, 480, true, true},  {GL_TEXTURE_2D, 16, 16, true, true},
        {GL_TEXTURE_RECTANGLE_ARB, 15, 480, true, false},  {GL_TEXTURE_RECTANGLE_ARB, 640, 15, true, false},
        {GL_TEXTURE_CUBE_MAP, 64, 64, true, false},        {GL_TEXTURE_1D, 64, 64, true, false},
        {GL_TEXTURE_RECTANGLE_ARB, 640, 480, false, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(::testing::Message() << std::hex << c.target << std::dec << " " << c.width << "x" << c.height);
        const auto renderer = NSOGLPBufferRendererBase::makeWithTextureTarget(c.target, c.width, c.height,
                                                                             c.context ? root : nullptr);
        EXPECT_EQ(renderer != nullptr, c.made);
        if (renderer == nullptr) continue;
        EXPECT_NE(renderer->textureName(), 0u);
        EXPECT_EQ(renderer->textureTarget(), c.target);
        EXPECT_EQ(renderer->pixelsWide(), c.width);
        EXPECT_EQ(renderer->pixelsHigh(), c.height);
        EXPECT_TRUE(renderer->textureUpdateNeeded());
        EXPECT_FALSE(renderer->rendererClearDrawable());
    }
}

// A frame rendered for a time is the texture of the root sharing context afterwards, for both
// targets; the renderer's queries describe its pixel buffer and contexts.
TEST(PBufferRenderer, RenderedFrameIsTheRootContextsTexture) {
    const auto root = NSOGLSharingContext::rootSharingContext();
    struct Case {
        GLenum target;
        GLuint width, height;
    };
    for (const Case c : {Case{GL_TEXTURE_RECTANGLE_ARB, 640, 480}, Case{GL_TEXTURE_2D, 64, 32}}) {
        SCOPED_TRACE(::testing::Message() << c.width << "x" << c.height);
        const auto renderer = MakeRenderer(c.target, c.width, c.height);
        ASSERT_NE(renderer, nullptr);
        EXPECT_EQ(renderer->textureUpdateContextObj(), root->CGLContextObj());
        EXPECT_EQ(renderer->sharingContext(), root);
        ASSERT_NE(renderer->renderContext(), nullptr);
        EXPECT_NE(renderer->renderContext(), renderer->textureUpdateContextObj());
        EXPECT_EQ(renderer->pixelBufferContext()->pixelBuffer(), renderer->pixelBuffer());
        EXPECT_EQ(renderer->pixelFormat(), NSOGLSharingContext::defaultSharedPixelFormat(true));
        const CGRect bounds = renderer->renderBounds();
        EXPECT_EQ(bounds.origin.x, 0);
        EXPECT_EQ(bounds.origin.y, 0);
        EXPECT_EQ(bounds.size.width, c.width);
        EXPECT_EQ(bounds.size.height, c.height);
        EXPECT_EQ(renderer->textureWidth(), c.width);
        renderer->setTextureWidth(1);  // the size follows the pixel buffer
        renderer->setTextureHeight(1);
        EXPECT_EQ(renderer->textureWidth(), c.width);
        EXPECT_EQ(renderer->textureHeight(), c.height);

        // Made with a frame waiting: the cleared pixel buffer gives the texture its image.
        ASSERT_TRUE(renderer->updateTextureInTextureSharingContext());
        EXPECT_FALSE(renderer->updateTextureInTextureSharingContext());
        EXPECT_TRUE(TextureIs(*renderer, Pixel{0, 0, 0, 0}));

        CGLSetCurrentContext(nullptr);
        ASSERT_TRUE(renderer->textureUpdateWithTime(2.0));
        EXPECT_EQ(renderer->mContextDuringRender.load(), renderer->renderContext());
        EXPECT_FALSE(renderer->textureUpdateNeeded());
        EXPECT_TRUE(TextureIs(*renderer, BytesFor(2.0)));

        // The caller's context is current again after a render.
        const OpenGL::CGLContextState scope(root.get());
        ASSERT_TRUE(renderer->textureUpdateWithTime(7.0));
        EXPECT_EQ(CGLGetCurrentContext(), root->CGLContextObj());
        EXPECT_TRUE(TextureIs(*renderer, BytesFor(7.0)));
    }
}

// Each link of the update chain reaches the scene with its time; no time is 0.
TEST(PBufferRenderer, UpdateChainPassesTheTime) {
    const auto renderer = MakeRenderer();
    ASSERT_NE(renderer, nullptr);
    EXPECT_TRUE(renderer->textureUpdateWithTime(1.5));
    EXPECT_TRUE(renderer->updateTexture(2.5));
    EXPECT_TRUE(renderer->textureUpdate(QVariant(3.5)));
    EXPECT_TRUE(renderer->textureUpdate(QVariant()));
    EXPECT_TRUE(renderer->textureUpdate());
    const protocol_NSOGLDynamicTexture &texture = *renderer;
    EXPECT_EQ(&texture, static_cast<protocol_NSOGLDynamicTexture *>(renderer.get()));
    EXPECT_EQ(renderer->times(), (std::vector<double>{1.5, 2.5, 3.5, 0.0, 0.0}));
    EXPECT_TRUE(TextureIs(*renderer, BytesFor(0.0)));
}

// A scene that draws nothing leaves the texture as it was.
TEST(PBufferRenderer, SceneWithoutFrameLeavesTheTexture) {
    const auto renderer = MakeRenderer();
    ASSERT_NE(renderer, nullptr);
    ASSERT_TRUE(renderer->textureUpdateWithTime(4.0));
    renderer->mRenders = false;
    renderer->setTextureUpdateNeeded(true);
    EXPECT_FALSE(renderer->textureUpdateWithTime(9.0));
    EXPECT_FALSE(renderer->textureUpdateNeeded());
    EXPECT_FALSE(renderer->updateTextureInTextureSharingContext());  // nothing waits
    EXPECT_TRUE(TextureIs(*renderer, BytesFor(4.0)));
    EXPECT_EQ(renderer->times().size(), 2u);
}

// The base scene erases the frame only when the renderer clears its drawable.
TEST(PBufferRenderer, BaseSceneClearsOnlyWhenAsked) {
    const auto renderer = MakeRenderer();
    ASSERT_NE(renderer, nullptr);
    ASSERT_TRUE(renderer->textureUpdateWithTime(6.0));
    renderer->mUseBase = true;
    ASSERT_TRUE(renderer->textureUpdateWithTime(1.0));
    EXPECT_TRUE(TextureIs(*renderer, BytesFor(6.0)));
    renderer->setRendererClearDrawable(true);
    ASSERT_TRUE(renderer->textureUpdateWithTime(1.0));
    EXPECT_TRUE(TextureIs(*renderer, Pixel{0, 0, 0, 0}));

    // Forced, from outside a render.
    renderer->mUseBase = false;
    renderer->setRendererClearDrawable(false);
    ASSERT_TRUE(renderer->textureUpdateWithTime(3.0));
    renderer->clearDrawablePixels();
    renderer->setTextureUpdateNeeded(true);
    ASSERT_TRUE(renderer->updateTextureInTextureSharingContext());
    EXPECT_TRUE(TextureIs(*renderer, BytesFor(3.0)));
    renderer->clearDrawablePixels(true);
    renderer->setTextureUpdateNeeded(true);
    ASSERT_TRUE(renderer->updateTextureInTextureSharingContext());
    EXPECT_TRUE(TextureIs(*renderer, Pixel{0, 0, 0, 0}));
}

TEST(PBufferRenderer, TextureCoordinatesFollowTargetAndFlips) {
    struct Case {
        GLenum target;
        bool flipHorizontal, flipVertical;
        float sMin, sMax, tMin, tMax;
    };
    const Case cases[] = {
        {GL_TEXTURE_RECTANGLE_ARB, false, false, 0, 640, 0, 480},
        {GL_TEXTURE_RECTANGLE_ARB, false, true, 0, 640, 480, 0},
        {GL_TEXTURE_RECTANGLE_ARB, true, false, 640, 0, 0, 480},
        {GL_TEXTURE_2D, true, true, 1, 0, 1, 0},
        {GL_TEXTURE_2D, false, false, 0, 1, 0, 1},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(::testing::Message() << std::hex << c.target << std::dec << " h" << c.flipHorizontal << " v"
                                          << c.flipVertical);
        const auto renderer = MakeRenderer(c.target, 640, 480);
        ASSERT_NE(renderer, nullptr);
        renderer->setFlipHorizontal(c.flipHorizontal);
        renderer->setFlipVertical(c.flipVertical);
        EXPECT_EQ(renderer->flipHorizontal(), c.flipHorizontal);
        EXPECT_EQ(renderer->flipVertical(), c.flipVertical);
        EXPECT_EQ(renderer->textureCoordSMin(), c.sMin);
        EXPECT_EQ(renderer->textureCoordSMax(), c.sMax);
        EXPECT_EQ(renderer->textureCoordTMin(), c.tMin);
        EXPECT_EQ(renderer->textureCoordTMax(), c.tMax);
    }
}

// Null loads the identity; a matrix is applied with the renderer as its texture.
TEST(PBufferRenderer, TextureWithMatrix) {
    struct Recorder : NSOGLQuadMatrixProtocol {
        void applyModelViewMatrix() override {}
        void applyTextureMatrix(const protocol_NSOGLDynamicTexture *texture) override { seen = texture; }
        const protocol_NSOGLDynamicTexture *seen = nullptr;
    };
    const auto renderer = MakeRenderer();
    ASSERT_NE(renderer, nullptr);
    Recorder recorder;
    renderer->textureWithMatrix(&recorder);
    EXPECT_EQ(recorder.seen, renderer.get());

    const OpenGL::CGLContextStateLock scope(NSOGLSharingContext::rootSharingContext().get());
    glMatrixMode(GL_TEXTURE);
    glTranslatef(1, 2, 3);
    renderer->textureWithMatrix(nullptr);
    GLfloat matrix[16] = {};
    glGetFloatv(GL_TEXTURE_MATRIX, matrix);
    glMatrixMode(GL_MODELVIEW);
    for (int i = 0; i < 16; ++i) EXPECT_EQ(matrix[i], i % 5 == 0 ? 1.0f : 0.0f) << i;
}

// While a caller holds the renderer's lock (to draw its texture), no other thread renders.
TEST(PBufferRenderer, LockKeepsOtherThreadsFromRendering) {
    const auto renderer = MakeRenderer();
    ASSERT_NE(renderer, nullptr);
    renderer->lock();
    std::atomic<bool> done{false};
    std::thread other([&] {
        EXPECT_TRUE(renderer->textureUpdateWithTime(5.0));
        done = true;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_FALSE(done.load());
    EXPECT_TRUE(renderer->times().empty());
    renderer->unlock();
    other.join();
    EXPECT_TRUE(done.load());
    EXPECT_TRUE(TextureIs(*renderer, BytesFor(5.0)));
}

// Thread A renders frame 1; thread B asks for frame 2 meanwhile and renders it once A's frame
// has been copied, while A is still finishing its update. B's frame must become the texture:
// A must not clear the dirty flag that B's frame set.
TEST(PBufferRenderer, FrameRenderedWhileAnotherIsCopiedIsNotLost) {
    const auto renderer = MakeRenderer();
    ASSERT_NE(renderer, nullptr);
    std::promise<void> aRendering, bAboutToUpdate, aDone;
    auto bAboutToUpdateFuture = bAboutToUpdate.get_future().share();
    auto aDoneFuture = aDone.get_future().share();
    std::atomic<int> bUpdated{-1};

    renderer->mOnRender = [&](double seconds) {
        if (seconds != 1.0) return;
        renderer->lock();  // held past A's render, so that A's frame is copied before B renders
        aRendering.set_value();
    };
    renderer->mBeforeUpdate = [&] {
        if (tLastRenderedTime == 2.0) {  // thread B, its frame rendered and waiting
            bAboutToUpdate.set_value();
            aDoneFuture.wait();
        }
    };
    renderer->mAfterUpdate = [&] {
        if (tLastRenderedTime == 1.0) {  // thread A, its frame copied
            renderer->unlock();  // B renders now
            bAboutToUpdateFuture.wait();
        }
    };

    std::thread b;
    std::thread a([&] {
        EXPECT_TRUE(renderer->textureUpdateWithTime(1.0));
        aDone.set_value();
    });
    aRendering.get_future().wait();
    b = std::thread([&] {
        bUpdated = renderer->textureUpdateWithTime(2.0) ? 1 : 0;
    });
    a.join();
    b.join();
    EXPECT_EQ(bUpdated.load(), 1);
    EXPECT_EQ(renderer->times(), (std::vector<double>{1.0, 2.0}));
    EXPECT_FALSE(renderer->textureUpdateNeeded());
    EXPECT_TRUE(TextureIs(*renderer, BytesFor(2.0)));
}

// An exception of the scene reaches the caller with the lock free for other threads, the
// dirty flag cleared and the caller's context current again.
TEST(PBufferRenderer, SceneExceptionLeavesTheRendererUsable) {
    const auto renderer = MakeRenderer();
    ASSERT_NE(renderer, nullptr);
    const auto root = NSOGLSharingContext::rootSharingContext();
    const OpenGL::CGLContextState scope(root.get());
    renderer->mThrow = true;
    renderer->setTextureUpdateNeeded(true);
    EXPECT_THROW(renderer->textureUpdateWithTime(1.0), std::runtime_error);
    EXPECT_FALSE(renderer->textureUpdateNeeded());
    EXPECT_EQ(CGLGetCurrentContext(), root->CGLContextObj());
    bool locked = false;
    std::thread([&] {
        locked = renderer->renderLock()->tryLock();
        if (locked) renderer->renderLock()->unlock();
        CGLContextObj context = renderer->renderContext();
        EXPECT_EQ(CGLLockContext(context), kCGLNoError);  // not held by the thread that threw
        CGLUnlockContext(context);
    }).join();
    EXPECT_TRUE(locked);
    renderer->mThrow = false;
    EXPECT_TRUE(renderer->textureUpdateWithTime(8.0));
    EXPECT_TRUE(TextureIs(*renderer, BytesFor(8.0)));
}

// A renderer whose pixel-buffer context and sharing context end up on different virtual
// screens gets a new pixel buffer of the same size before it renders.
TEST(PBufferRenderer, NewPixelBufferWhenTheVirtualScreensDiffer) {
    class MovingRenderer : public TimeColourRenderer {
    public:
        bool pixelBufferContextHasSameVirtualScreenAsSharingContext() const override {
            if (mMoved.exchange(false)) return false;
            return NSOGLPBufferRendererBase::pixelBufferContextHasSameVirtualScreenAsSharingContext();
        }
        mutable std::atomic<bool> mMoved{false};
    };
    const auto renderer =
        NSOGLPBufferRendererBase::makeWithTextureTarget<MovingRenderer>(GL_TEXTURE_RECTANGLE_ARB, 640, 480);
    ASSERT_NE(renderer, nullptr);
    EXPECT_TRUE(renderer->pixelBufferContextHasSameVirtualScreenAsSharingContext());
    const auto before = renderer->pixelBuffer();
    ASSERT_TRUE(renderer->textureUpdateWithTime(1.0));
    EXPECT_EQ(renderer->pixelBuffer(), before);

    renderer->mMoved = true;
    ASSERT_TRUE(renderer->textureUpdateWithTime(3.0));
    const auto after = renderer->pixelBuffer();
    ASSERT_NE(after, nullptr);
    EXPECT_NE(after, before);
    EXPECT_EQ(after->pixelsWide(), 640);
    EXPECT_EQ(after->pixelsHigh(), 480);
    EXPECT_EQ(renderer->pixelBufferContext()->pixelBuffer(), after);
    EXPECT_TRUE(TextureIs(*renderer, BytesFor(3.0)));
}

// A renderer that got no pixel format has no context, pixel buffer or texture: it renders
// nothing, and an update asked of it reports that nothing was copied.
TEST(PBufferRenderer, RendererWithoutPixelFormatDoesNothing) {
    class NoFormatRenderer : public TimeColourRenderer {
    public:
        std::shared_ptr<NSOpenGLPixelFormat> defaultSharedPixelFormat() const override { return nullptr; }
    };
    const auto renderer =
        NSOGLPBufferRendererBase::makeWithTextureTarget<NoFormatRenderer>(GL_TEXTURE_RECTANGLE_ARB, 640, 480);
    ASSERT_NE(renderer, nullptr);
    EXPECT_EQ(renderer->pixelFormat(), nullptr);
    EXPECT_EQ(renderer->pixelBufferContext(), nullptr);
    EXPECT_EQ(renderer->renderContext(), nullptr);
    EXPECT_EQ(renderer->pixelBuffer(), nullptr);
    EXPECT_EQ(renderer->textureName(), 0u);
    EXPECT_EQ(renderer->pixelsWide(), 0u);
    EXPECT_EQ(renderer->textureCoordSMax(), 0.0f);
    EXPECT_EQ(renderer->renderBounds().size.width, 0);
    EXPECT_FALSE(renderer->pixelBufferContextHasSameVirtualScreenAsSharingContext());
    EXPECT_FALSE(renderer->textureUpdateWithTime(1.0));
    EXPECT_TRUE(renderer->times().empty());
    renderer->setTextureUpdateNeeded(true);
    EXPECT_FALSE(renderer->updateTextureInTextureSharingContext());
    EXPECT_FALSE(renderer->textureUpdateNeeded());
}

// Letting the renderer go deletes its texture in the sharing context.
TEST(PBufferRenderer, ReleaseDeletesTheTexture) {
    auto renderer = MakeRenderer();
    ASSERT_NE(renderer, nullptr);
    ASSERT_TRUE(renderer->textureUpdateWithTime(1.0));
    const GLuint name = renderer->textureName();
    const auto root = NSOGLSharingContext::rootSharingContext();
    const OpenGL::CGLContextStateLock scope(root.get());
    EXPECT_TRUE(glIsTexture(name));
    renderer.reset();
    EXPECT_EQ(CGLGetCurrentContext(), root->CGLContextObj());
    EXPECT_FALSE(glIsTexture(name));
}

// Sizes a pixel buffer cannot have make a renderer without pixel buffer or texture.
TEST(PBufferRenderer, SizeBeyondPixelBuffersGivesNoPixelBuffer) {
    const GLuint sizes[][2] = {{16385, 16}, {16, 16385}, {0xFFFFFFFFu, 0xFFFFFFFFu}};
    for (const auto &size : sizes) {
        SCOPED_TRACE(::testing::Message() << size[0] << "x" << size[1]);
        const auto renderer = MakeRenderer(GL_TEXTURE_RECTANGLE_ARB, size[0], size[1]);
        ASSERT_NE(renderer, nullptr);
        EXPECT_NE(renderer->renderContext(), nullptr);
        EXPECT_EQ(renderer->pixelBuffer(), nullptr);
        EXPECT_EQ(renderer->textureName(), 0u);
        EXPECT_EQ(renderer->textureWidth(), 0u);
        EXPECT_FALSE(renderer->textureUpdateWithTime(1.0));
        EXPECT_TRUE(renderer->times().empty());
        EXPECT_FALSE(renderer->createOrUpdatePixelBuffer(NSMakeSize(size[0], size[1])));
    }
}
