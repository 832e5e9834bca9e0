// The whole frame loop in a window on the X server: the test image through the effect input
// controller, the input stack and a render buffer playing an inverting composition, paced by the
// render timer, shown by the display link.
//  - every tick composes one frame, the display link draws them, and the window shows the test
//    image inverted; every stage reports its time under its label;
//  - closing the window while the loop runs stops the timer and the display link and waits for
//    the refresh in progress, with nothing left running;
//  - the display-link calls: a refresh without a new frame draws nothing, a drawing that throws
//    gives both the view's context lock and the composition lock back, and a redraw by the
//    window system changes nothing on the screen.
#include <LumoraApp/LumoraLayerViewNibbler.h>
#include <LumoraApp/LumoraRenderBuffer.h>
#include <LumoraApp/NSUILumoraView.h>
#include <LumoraApp/QActualFPSController.h>
#include <LumoraApp/QTZInputController.h>
#include <LumoraApp/UCoreFnSampler.h>

#include <CocoaQZ/DisplayLink/NSUIDisplayLink.h>
#include <CocoaGL/NSOGLTextureMatrixController.h>
#include <AppKit/NSButton.h>
#include <Foundation/NSException.h>

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QImage>
#include <QPixmap>
#include <QScreen>
#include <QTest>

#include <chrono>
#include <cstdlib>
#include <future>
#include <memory>

#include "app/LumoraApp/CameraViewTestSupport.h"
#include "sdk/RiradI/RiradITestApplication.h"

using namespace cameraview_test;

#include "support/EventLoop.h"

namespace {

constexpr int kWidth = 640, kHeight = 480;

class FrameRateSettings : public QObject {
    Q_OBJECT
    Q_PROPERTY(double frameRate READ frameRate WRITE setFrameRate NOTIFY frameRateChanged)
public:
    double frameRate() const { return mFrameRate; }
    void setFrameRate(double rate) {
        mFrameRate = rate;
        emit frameRateChanged();
    }
signals:
    void frameRateChanged();

private:
    double mFrameRate = 30.0;
};

// The camera view whose scene can be told to throw.
class FaultyView : public NSUILumoraView {
public:
    using NSUILumoraView::NSUILumoraView;
    void renderSceneBegin() override {
        NSUILumoraView::renderSceneBegin();
        if (throwInScene) NSException::raise(NSInternalInconsistencyException, "a drawing fault");
    }
    std::atomic<bool> throwInScene{false};
};

uint32_t Reports(const char *label) {
    UCoreFnSampler *sampler = UCoreFnSampler::sharedFnSampler();
    if (sampler == nullptr) return 0;
    for (const UCoreFunction &function : sampler->functions())
        if (function.functionName() == QLatin1String(label)) return function.sampleCount();
    return 0;
}

class CameraViewWindow : public ::testing::Test {
protected:
    void SetUp() override {
        const char *display = std::getenv("DISPLAY");
        if (display == nullptr || *display == '\0') GTEST_SKIP() << "needs an X display (scripts/test runs this under Xvfb)";
        riradi_test::WindowApplication();
        ASSERT_TRUE(import_NSUILumoraView());
        mSampler = std::make_unique<UCoreFnSampler>();
        mFPS = std::make_unique<QActualFPSController>();
        mSettings = std::make_unique<FrameRateSettings>();
        mInput = std::make_unique<QTZInputController>();
        ASSERT_NE(mInput->cameraTestImage(), nullptr) << "the build puts cameraImage.png beside the program";
        mBuffer = std::make_unique<LumoraRenderBuffer>();
        ASSERT_TRUE(mBuffer->isInitialized());
        mDisplayLink = std::make_unique<NSUIDisplayLinkViewController>();
        mWindow = std::make_unique<QWidget>();
        mWindow->resize(kWidth, kHeight);
        mView = new FaultyView(mWindow.get());
        mView->setGeometry(0, 0, kWidth, kHeight);
        // The layer panel: the composition's texture shown, not mirrored.
        mPanel = std::make_unique<LumoraLayerViewNibbler>();
        auto *textureOn = new NSButton(mPanel.get());
        textureOn->setState(1);
        auto *matrix = new NSOGLTextureMatrixController(mPanel.get());
        matrix->set_textureEnabled(textureOn);
        mPanel->setLayerMatrixController(matrix);
        mBuffer->setLayerController(mPanel.get());
        mView->outletLumoraLayerController = mPanel.get();
        mView->outletLumoraBuffer = mBuffer.get();
        mView->outletInputController = mInput.get();
        mView->outletActualFPSController = mFPS.get();
        mView->outletCompressionSettings = mSettings.get();
        mView->outletDisplayLinkViewController = mDisplayLink.get();
        mView->awakeFromNib();
        mView->openCompositionPrivateData(InvertCameraComposition());
        ASSERT_TRUE(mView->isCompositionOpenPrivate());
        mWindow->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(mWindow.get()));
        ASSERT_TRUE(SpinUntil([this] { return mView->hasWindowSurface(); }, 5000));
    }
    void TearDown() override {
        mWindow.reset();  // the view goes with its window
        mDisplayLink.reset();
        mBuffer.reset();
        mPanel.reset();
        mInput.reset();
        mSettings.reset();
        mFPS.reset();
        mSampler.reset();
    }

    void Launch() { mView->applicationDidFinishLaunching(NSNotification()); }

    QImage Shown() {
        return QApplication::primaryScreen()->grabWindow(mView->winId()).toImage().convertToFormat(QImage::Format_RGB32);
    }

    std::unique_ptr<UCoreFnSampler> mSampler;
    std::unique_ptr<QActualFPSController> mFPS;
    std::unique_ptr<FrameRateSettings> mSettings;
    std::unique_ptr<QTZInputController> mInput;
    std::unique_ptr<LumoraLayerViewNibbler> mPanel;
    std::unique_ptr<LumoraRenderBuffer> mBuffer;
    std::unique_ptr<NSUIDisplayLinkViewController> mDisplayLink;
    std::unique_ptr<QWidget> mWindow;
    FaultyView *mView = nullptr;
};

TEST_F(CameraViewWindow, TheLoopShowsTheEffectOnTheTestImage) {
    Launch();
    ASSERT_NE(mView->renderTimer(), nullptr);
    EXPECT_TRUE(mDisplayLink->isDisplayLinkRunning());
    EXPECT_TRUE(mDisplayLink->isMasterDisplayLinkViewDelegate(mView));
    ASSERT_TRUE(SpinUntil([this] { return mView->displayLinkFrameCount() >= 10 && mFPS->sampleCount() >= 10; }, 20000));
    Spin(300);

    // Every tick made a frame (none was in progress when the next came): the frames follow the
    // render timer, each stage timed under its label.
    const uint32_t ticks = Reports(NSUILumoraView::kRenderTimer);
    EXPECT_GE(ticks, 10u);
    EXPECT_EQ(Reports(NSUILumoraView::kRenderQuartzComposition), ticks);
    EXPECT_EQ(Reports(NSUILumoraView::kRenderInputStack), ticks);
    EXPECT_EQ(Reports(NSUILumoraView::kRenderInputFrame), ticks);
    EXPECT_EQ(Reports("Input Camera Frame"), ticks);
    EXPECT_EQ(Reports("Render Input Tint & Mask"), ticks);
    EXPECT_LE(mView->displayLinkFrameCount(), ticks);

    // The window shows the test chart inverted: compared where the chart is flat, so that the
    // scaling and filtering of the path cannot blur the answer.
    mSettings->setFrameRate(0);  // the timer goes; the last frame stays on the screen
    Spin(200);
    const QImage chart = QImage(QStringLiteral(LUMORA_APP_RESOURCES "/cameraImage.png")).convertToFormat(QImage::Format_RGB32);
    ASSERT_EQ(chart.size(), QSize(kWidth, kHeight));
    const QImage shown = Shown();
    int compared = 0, matched = 0;
    for (int y = 12; y < kHeight - 12; y += 23) {
        for (int x = 12; x < kWidth - 12; x += 23) {
            const QRgb centre = chart.pixel(x, y);
            bool flat = true;
            for (int dy = -4; dy <= 4 && flat; ++dy)
                for (int dx = -4; dx <= 4 && flat; ++dx) flat = chart.pixel(x + dx, y + dy) == centre;
            if (!flat) continue;
            ++compared;
            const QRgb seen = shown.pixel(x, y);
            if (std::abs(qRed(seen) - (255 - qRed(centre))) <= 8 && std::abs(qGreen(seen) - (255 - qGreen(centre))) <= 8 &&
                std::abs(qBlue(seen) - (255 - qBlue(centre))) <= 8)
                ++matched;
            else
                ADD_FAILURE() << "at " << x << "," << y << std::hex << " chart " << centre << " shown " << seen;
        }
    }
    EXPECT_GE(compared, 50);
    EXPECT_EQ(matched, compared);
}

TEST_F(CameraViewWindow, ClosingTheWindowStopsTheTimerAndTheDisplayLink) {
    Launch();
    ASSERT_TRUE(SpinUntil([this] { return mView->displayLinkFrameCount() >= 3; }, 20000));
    const auto closing = std::chrono::steady_clock::now();
    mWindow.reset();
    EXPECT_LT(std::chrono::steady_clock::now() - closing, std::chrono::seconds(5));
    EXPECT_FALSE(mDisplayLink->isDisplayLinkRunning());
    EXPECT_EQ(mDisplayLink->delegate(), nullptr);
    const uint32_t ticks = Reports(NSUILumoraView::kRenderTimer);
    Spin(200);
    EXPECT_EQ(Reports(NSUILumoraView::kRenderTimer), ticks);  // no timer fires into the closed view
    EXPECT_EQ(NSUILumoraView::sharedSingleton(), nullptr);
}

TEST_F(CameraViewWindow, DisplayLinkCallsDrawOnlyNewFramesAndGiveTheLocksBackOnAFault) {
    // No timer and no running link: the test makes the calls of one refresh itself.
    mView->setInputStackRenderer(CIContextFBORenderer::rendererWithWidthPixels(kWidth, kHeight));
    CVTimeStamp now = NSUIDisplayLink::displayLinkCurrentTime();
    mDisplayLink->setMasterDisplayLinkViewDelegate(mView);

    // Nothing new: locked and unlocked, nothing drawn.
    mDisplayLink->callDisplayLinkDelegate(mView, &now);
    EXPECT_EQ(mView->displayLinkFrameCount(), 0u);

    // A frame: drawn once, then the flag is clear.
    mView->renderSceneDoubleTimer();
    ASSERT_TRUE(mView->renderFrameAvailable());
    mDisplayLink->callDisplayLinkDelegate(mView, &now);
    EXPECT_EQ(mView->displayLinkFrameCount(), 1u);
    EXPECT_FALSE(mView->renderFrameAvailable());
    mDisplayLink->callDisplayLinkDelegate(mView, &now);
    EXPECT_EQ(mView->displayLinkFrameCount(), 1u);

    // A redraw by the window system leaves the screen as the display link drew it.
    Spin(100);
    const QImage before = Shown();
    mView->repaint();
    mView->update();
    Spin(200);
    EXPECT_EQ(Shown(), before);

    // A drawing that throws: the exception reaches the controller's caller after the unlock,
    // and another thread can take both locks at once.
    mView->renderSceneDoubleTimer();
    mView->throwInScene = true;
    EXPECT_THROW(mDisplayLink->callDisplayLinkDelegate(mView, &now), NSException);
    mView->throwInScene = false;
    const CGLContextObj context = mView->renderContext();
    auto other = std::async(std::launch::async, [this, context] {
        if (CGLLockContext(context) != kCGLNoError) return false;
        const bool composition = mView->compositionLock().try_lock();
        if (composition) mView->compositionLock().unlock();
        CGLUnlockContext(context);
        return composition;
    });
    ASSERT_EQ(other.wait_for(std::chrono::seconds(5)), std::future_status::ready) << "a lock was kept";
    EXPECT_TRUE(other.get());
    // The next refresh draws again.
    mView->renderSceneDoubleTimer();
    mDisplayLink->callDisplayLinkDelegate(mView, &now);
    EXPECT_EQ(mView->displayLinkFrameCount(), 2u);  // the faulty drawing was not counted
}

}  // namespace

#include "CameraViewWindowTests.moc"
