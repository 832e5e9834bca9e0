// The OpenGL views on the X11 display: an ortho unit view draws a texture of the root share
// group with source-alpha blending into its window (read back from the X server), ends a
// render with or without the flush and the buffer swap, stays off its window until the window
// is mapped, survives a 0 x 0 size and reshapes once per resize. The render timer keeps its
// rate in the main loop, in a modal dialog and in a menu.
#include <CocoaGL/NSOGLSharingContext.h>
#include <CocoaGL/NSOGLTextureBase.h>
#include <CocoaGL/NSUIOGLOrthoUnitView.h>
#include <CocoaGL/category_NSOGLRenderTimer.h>
#include <CoreG/GL/namespace_OpenGL_CGLContextState.h>

#include <Foundation/NSObjCRuntime.h>

#include "sdk/RiradI/RiradITestApplication.h"

#include <gtest/gtest.h>

#include <QDialog>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QImage>
#include <QMenu>
#include <QPixmap>
#include <QScreen>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <functional>
#include <limits>
#include <memory>
#include <thread>
#include <vector>

#include "support/EventLoop.h"

namespace {

constexpr int kSize = 64;

// Runs the event loop for a while.
// Records what the view hands its delegate and draws with a callback.
class Delegate : public protocol_NSUIOGLRenderSceneDelegate {
public:
    void renderScene(NSUIOGLOrthoUnitView *view, NSOGLDrawableRect rect) override {
        rects.push_back(rect);
        if (draw) draw(view, rect);
    }
    std::vector<NSOGLDrawableRect> rects;
    std::function<void(NSUIOGLOrthoUnitView *, NSOGLDrawableRect)> draw;
};

// An ortho view counting its reshapes.
class CountingView : public NSUIOGLOrthoUnitView {
public:
    using NSUIOGLOrthoUnitView::NSUIOGLOrthoUnitView;
    void renderSceneReshape() override {
        ++reshapes;
        inReshape = true;
        NSUIOGLOrthoUnitView::renderSceneReshape();
        inReshape = false;
    }
    void renderSceneSelf() override {
        if (inReshape) ++reshapeRenders;
        NSUIOGLOrthoUnitView::renderSceneSelf();
    }
    int reshapes = 0;
    int reshapeRenders = 0;
    bool inReshape = false;
};

class OpenGLView : public ::testing::Test {
protected:
    void SetUp() override {
        riradi_test::WindowApplication();
        ASSERT_TRUE(import_NSUIOGLOrthoUnitView());
        mContainer = std::make_unique<QWidget>();
        mContainer->resize(kSize + 16, kSize + 16);
        mView = new CountingView(mContainer.get());
        mView->setGeometry(0, 0, kSize, kSize);
        ASSERT_NE(mView->renderContext(), nullptr);
        mView->setRenderSceneDelegate(&mDelegate);
        mView->setFlushBlock([this](bool flag) { mFlushes.push_back(flag); });
    }
    void TearDown() override {
        mContainer.reset();
        mView = nullptr;
    }

    void ShowAndWait() {
        mContainer->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(mContainer.get()));
        QElapsedTimer timer;
        timer.start();
        while (!mView->hasWindowSurface() && timer.elapsed() < 5000) Spin(20);
        ASSERT_TRUE(mView->hasWindowSurface());
    }

    // The view's window as the X server shows it (0xAARRGGBB, top row first).
    QImage Shown() {
        return QApplication::primaryScreen()->grabWindow(mView->winId()).toImage().convertToFormat(
            QImage::Format_RGB32);
    }

    std::unique_ptr<QWidget> mContainer;
    CountingView *mView = nullptr;
    Delegate mDelegate;
    std::vector<bool> mFlushes;
};

bool Near(QRgb shown, QRgb expected, int tolerance = 2) {
    return std::abs(qRed(shown) - qRed(expected)) <= tolerance &&
           std::abs(qGreen(shown) - qGreen(expected)) <= tolerance &&
           std::abs(qBlue(shown) - qBlue(expected)) <= tolerance;
}

TEST_F(OpenGLView, DrawsATextureWithSourceAlphaBlendingIntoItsWindow) {
    // An 8 x 8 texture of the root share group (0xAABBGGRR, bottom row first) in quadrants:
    // opaque green, half-transparent blue (bottom), fully transparent, opaque white (top).
    constexpr int kTexels = 8;
    const uint32_t quadrants[4] = {0xFF00FF00u, 0x80FF0000u, 0x00000000u, 0xFFFFFFFFu};
    std::vector<uint32_t> texels(kTexels * kTexels);
    for (int y = 0; y < kTexels; ++y)
        for (int x = 0; x < kTexels; ++x)
            texels[std::size_t(y * kTexels + x)] = quadrants[(y >= kTexels / 2 ? 2 : 0) + (x >= kTexels / 2 ? 1 : 0)];
    auto texture = std::make_unique<NSOGLTextureBase>();
    const auto root = NSOGLSharingContext::rootSharingContext();
    ASSERT_NE(root, nullptr);
    {
        OpenGL::CGLContextStateLock current(root.get());
        texture->initWithTextureTarget(GL_TEXTURE_RECTANGLE_EXT, kTexels, kTexels, root.get());
        ASSERT_TRUE(texture->textureUpdateFromPixelData(texels.data(), kTexels * 4, 32, 4, true));
        glFinish();
    }
    mView->setClearDrawableColor(QColor(255, 0, 0));  // erased to red under the texture
    mDelegate.draw = [&](NSUIOGLOrthoUnitView *view, NSOGLDrawableRect rect) {
        view->renderDrawQuad(rect, texture.get());
    };
    ShowAndWait();
    mView->renderScene(true);

    // The whole bounds are the whole unit cube.
    ASSERT_FALSE(mDelegate.rects.empty());
    const NSOGLDrawableRect whole = mDelegate.rects.back();
    EXPECT_FLOAT_EQ(whole.x, -0.5f);
    EXPECT_FLOAT_EQ(whole.y, -0.5f);
    EXPECT_FLOAT_EQ(whole.width, 1.0f);
    EXPECT_FLOAT_EQ(whole.height, 1.0f);

    const QImage shown = Shown();
    ASSERT_EQ(shown.size(), QSize(kSize, kSize));
    const struct {
        const char *name;
        int x, y;  // image coordinates, top row first
        QRgb expected;
    } cases[] = {
        {"opaque texel replaces", 16, 48, qRgb(0, 255, 0)},
        {"half alpha blends over the erase colour", 48, 48, qRgb(127, 0, 128)},
        {"transparent texel leaves the erase colour", 16, 16, qRgb(255, 0, 0)},
        {"opaque white", 48, 16, qRgb(255, 255, 255)},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const QRgb pixel = shown.pixel(c.x, c.y);
        EXPECT_TRUE(Near(pixel, c.expected)) << std::hex << pixel;
    }
    mContainer.reset();  // the view, whose delegate draws the texture, goes first
    mView = nullptr;
}

TEST_F(OpenGLView, FlushAndBufferSwapAtTheEndOfARender) {
    mView->setRenderSceneDelegate(nullptr);  // erasing only
    mView->setClearDrawableColor(QColor(0, 0, 255));
    ShowAndWait();
    mView->renderScene(true);
    ASSERT_TRUE(Near(Shown().pixel(32, 32), qRgb(0, 0, 255)));

    const struct {
        const char *name;
        bool flush, endFlushContext;
        QColor erase;
        QRgb shown;
    } cases[] = {
        {"no flush: no swap", false, true, QColor(0, 255, 0), qRgb(0, 0, 255)},
        {"flush without the context's flush: no swap", true, false, QColor(0, 255, 0), qRgb(0, 0, 255)},
        {"flush: the new frame shows", true, true, QColor(255, 255, 0), qRgb(255, 255, 0)},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        mFlushes.clear();
        mView->setRenderSceneEndFlushOpenGLContext(c.endFlushContext);
        mView->setClearDrawableColor(c.erase);
        mView->renderScene(c.flush);
        // The flush function ran once with the flag (mode 0: only the block).
        ASSERT_EQ(mFlushes.size(), 1u);
        EXPECT_EQ(mFlushes.front(), c.flush);
        EXPECT_TRUE(Near(Shown().pixel(32, 32), c.shown)) << std::hex << Shown().pixel(32, 32);
    }
    EXPECT_EQ(mView->flushFunction(), OpenGL_Flush_None);
    EXPECT_EQ(mView->rendererNames().size(), 1);
}

TEST_F(OpenGLView, RendersFromAnotherThread) {
    // The display-link thread draws the camera view: a render on the main thread leaves the
    // context's primary free, so a second thread draws into the window.
    mView->setRenderSceneDelegate(nullptr);
    ShowAndWait();
    CGLSetCurrentContext(nullptr);  // (an earlier scope may have left one current)
    mView->renderScene(true);
    ASSERT_EQ(CGLGetCurrentContext(), nullptr);
    mView->setClearDrawableColor(QColor(255, 0, 255));
    std::thread worker([&] {
        mView->renderScene(true);
        EXPECT_EQ(CGLGetCurrentContext(), nullptr);
    });
    worker.join();
    EXPECT_TRUE(Near(Shown().pixel(32, 32), qRgb(255, 0, 255))) << std::hex << Shown().pixel(32, 32);
}

TEST_F(OpenGLView, MadeByNameAsANibMakesIt) {
    for (const char *name : {"NSUIOGLCGContextView", "NSUIOGLOrthoUnitView"}) {
        SCOPED_TRACE(name);
        std::unique_ptr<QObject> made(NSClassCreateInstance(NSClassFromString(QString::fromLatin1(name))));
        auto *view = qobject_cast<NSUIOGLCGContextView *>(made.get());
        ASSERT_NE(view, nullptr);
        EXPECT_NE(view->renderContext(), nullptr);
        EXPECT_NE(view->pixelFormat(), nullptr);
        EXPECT_TRUE(view->renderSceneEndFlushOpenGLContext());
        EXPECT_EQ(view->flushFunction(), OpenGL_Flush_None);
        EXPECT_EQ(view->rendererNames().size(), 1);
    }
    auto *ortho = qobject_cast<NSUIOGLOrthoUnitView *>(mView);
    EXPECT_TRUE(ortho->clearDrawableBeforeRender());
    EXPECT_FALSE(ortho->clearDrawableColor().has_value());
}

TEST_F(OpenGLView, UnmappedViewMakesNoSurfaceAndDrawsNothing) {
    // Made and sized but never shown: there is a context, no window surface, and no render.
    mView->resize(kSize + 1, kSize);
    mView->renderSceneReshape();
    mView->renderScene(true);
    mView->renderScene();
    EXPECT_FALSE(mView->hasWindowSurface());
    EXPECT_TRUE(mDelegate.rects.empty());
    EXPECT_TRUE(mFlushes.empty());

    // Mapped, it attaches at its first paint and draws.
    ShowAndWait();
    EXPECT_FALSE(mDelegate.rects.empty());
}

TEST_F(OpenGLView, ZeroSizeRendersNothingAndRecovers) {
    ShowAndWait();
    mView->resize(0, 0);
    Spin(50);
    mDelegate.rects.clear();
    mView->renderScene(true);
    mView->renderSceneReshape();
    EXPECT_TRUE(mDelegate.rects.empty());
    const CGRect bounds = mView->renderBounds();
    EXPECT_EQ(bounds.size.width, 0);
    EXPECT_EQ(bounds.size.height, 0);

    mView->resize(kSize, kSize);
    Spin(50);
    mView->renderScene(true);
    ASSERT_FALSE(mDelegate.rects.empty());
    for (const NSOGLDrawableRect &rect : mDelegate.rects) {
        EXPECT_TRUE(std::isfinite(rect.x) && std::isfinite(rect.y) && std::isfinite(rect.width) &&
                    std::isfinite(rect.height));
        EXPECT_FLOAT_EQ(rect.width, 1.0f);
    }
}

TEST_F(OpenGLView, OnePixelResizeReshapesAndRendersOnce) {
    ShowAndWait();
    Spin(100);
    mView->reshapes = 0;
    mView->reshapeRenders = 0;
    mDelegate.rects.clear();
    mView->resize(kSize + 1, kSize);
    EXPECT_EQ(mView->reshapes, 1);
    EXPECT_EQ(mView->reshapeRenders, 1);
    // The paints the server asks for afterwards render the new size, and reshape nothing.
    Spin(200);
    EXPECT_EQ(mView->reshapes, 1);
    ASSERT_FALSE(mDelegate.rects.empty());
    for (const NSOGLDrawableRect &rect : mDelegate.rects) EXPECT_FLOAT_EQ(rect.width, 1.0f);
    EXPECT_EQ(mView->renderBounds().size.width, kSize + 1);
}

// ---- The render timer -------------------------------------------------------------------------

class Ticker : public QObject {
    Q_OBJECT
public:
    Q_INVOKABLE void tick() {
        ++ticks;
        times.push_back(std::chrono::steady_clock::now());
    }
    // The middle interval between two fires, in milliseconds (a loaded machine stretches a few).
    double MedianIntervalMs() const {
        std::vector<double> intervals;
        for (std::size_t i = 1; i < times.size(); ++i)
            intervals.push_back(std::chrono::duration<double, std::milli>(times[i] - times[i - 1]).count());
        if (intervals.empty()) return 0;
        std::nth_element(intervals.begin(), intervals.begin() + std::ptrdiff_t(intervals.size() / 2), intervals.end());
        return intervals[intervals.size() / 2];
    }
    int ticks = 0;
    std::vector<std::chrono::steady_clock::time_point> times;
};

TEST(RenderTimer, RefusesBadArguments) {
    riradi_test::WindowApplication();
    Ticker ticker;
    const struct {
        const char *name;
        double fps;
        QObject *target;
        const char *method;
    } cases[] = {
        {"zero rate", 0.0, &ticker, "tick"},
        {"negative rate", -30.0, &ticker, "tick"},
        {"not a number", std::numeric_limits<double>::quiet_NaN(), &ticker, "tick"},
        {"infinite rate", std::numeric_limits<double>::infinity(), &ticker, "tick"},
        {"rate too high", 1e9, &ticker, "tick"},
        {"no target", 60.0, nullptr, "tick"},
        {"no method", 60.0, &ticker, nullptr},
        {"unknown method", 60.0, &ticker, "tock"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(category_NSOGLRenderTimer::renderTimerWithFPS(c.fps, c.target, c.method), nullptr);
    }
}

TEST(RenderTimer, KeepsItsRateInEveryLoop) {
    riradi_test::WindowApplication();
    constexpr int kRunMs = 500;
    const struct {
        const char *name;
        std::function<void()> run;
    } loops[] = {
        {"main loop", [] { Spin(kRunMs); }},
        {"modal dialog",
         [] {
             QDialog dialog;
             QTimer::singleShot(kRunMs, &dialog, &QDialog::accept);
             dialog.exec();
         }},
        {"menu tracking",
         [] {
             QMenu menu;
             menu.addAction(QStringLiteral("Item"));
             QTimer::singleShot(kRunMs, &menu, &QMenu::close);
             menu.exec(QPoint(20, 20));
         }},
    };
    for (const auto &loop : loops) {
        SCOPED_TRACE(loop.name);
        Ticker ticker;
        // The camera view asks for four times its frame rate: 30 frames a second, 1/120 s.
        auto timer = category_NSOGLRenderTimer::renderTimerWithFPS(4 * 30.0, &ticker, "tick");
        ASSERT_NE(timer, nullptr);
        EXPECT_DOUBLE_EQ(timer->timeInterval(), 1.0 / 120.0);
        QElapsedTimer clock;
        clock.start();
        loop.run();
        const double expected = clock.elapsed() / 1000.0 * 120.0;
        // Never faster than the rate; late fires are skipped, not bunched, so a loaded machine
        // (the sanitizers, other builds) gives fewer, but the usual turn is 8 or 9 ms and the
        // timer fires all along.
        EXPECT_LE(ticker.ticks, int(expected) + 1);
        EXPECT_GE(ticker.ticks, int(expected / 3)) << "expected about " << expected;
        EXPECT_GE(ticker.MedianIntervalMs(), 7.5);
        EXPECT_LE(ticker.MedianIntervalMs(), 10.5);
        EXPECT_EQ(timer->fireCount(), uint64_t(ticker.ticks));

        timer->invalidate();
        const int stopped = ticker.ticks;
        Spin(50);
        EXPECT_EQ(ticker.ticks, stopped);
        EXPECT_FALSE(timer->isValid());
    }
}

TEST(RenderTimer, StopsWhenItsTargetGoes) {
    riradi_test::WindowApplication();
    auto ticker = std::make_unique<Ticker>();
    auto timer = category_NSOGLRenderTimer::renderTimerWithFPS(200.0, ticker.get(), "tick");
    ASSERT_NE(timer, nullptr);
    Spin(30);
    ticker.reset();
    Spin(30);  // no call into the destroyed target
    EXPECT_FALSE(timer->isValid());
}

}  // namespace

#include "OpenGLViewWindowTests.moc"
