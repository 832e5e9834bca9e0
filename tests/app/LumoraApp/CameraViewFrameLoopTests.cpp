// The camera view's frame loop without a window (the display link draws in the window tests):
// frames scripted one per tick through the view's frame source, composed by a real render
// buffer playing an effect composition.
//  - a frame that throws (NSException or any other exception), a frame without a picture and no
//    frame at all leave the loop idle and unlocked, and the next tick composes again; a frame
//    without a picture never reaches the render buffer;
//  - a tick during a frame does nothing and is not counted;
//  - the first composed frame has render time 0;
//  - a frame-rate change replaces the timer and clears both flags;
//  - a 1280 x 720 picture is flipped about its own height and scaled into the 640 x 480 input
//    stack, whose frame carries the source's stack and time stamp;
//  - the stages report their times under their labels; the sharing controller gets the
//    rebroadcast switch and draws through the view; the stand-in shares nothing;
//  - the pop-ups and the open-snapshot switch kept in the user defaults (the pop-ups keep their
//    selection when a composition is already open at launch).
#include <LumoraApp/LumBroadcastControl.h>
#include <LumoraApp/LumoraRenderBuffer.h>
#include <LumoraApp/NSUILumoraView.h>
#include <LumoraApp/QActualFPSController.h>
#include <LumoraApp/UCoreFnSampler.h>

#include <Foundation/NSException.h>
#include <Foundation/NSUserDefaults.h>
#include <dispatch/dispatch.h>

#include <gtest/gtest.h>

#include <QAction>
#include <QComboBox>
#include <QObject>
#include <QThread>

#include <functional>
#include <future>
#include <memory>
#include <stdexcept>
#include <vector>

#include "app/LumoraApp/CameraViewTestSupport.h"
#include "sdk/RiradI/RiradITestApplication.h"

using namespace cameraview_test;

namespace {

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

class BroadcastSwitch : public QObject {
    Q_OBJECT
public:
    Q_INVOKABLE bool isBroadcasting() const { return broadcasting; }
    bool broadcasting = false;
};

class RecorderState : public QObject {
    Q_OBJECT
public:
    Q_INVOKABLE bool isRecording() const { return recording; }
    bool recording = false;
};

// A sharing controller that asks the view to draw into its one surface on every broadcast.
class SharingController : public QObject, public protocol_IOSurfaceSharingController {
    Q_OBJECT
public:
    struct Surface : protocol_IOSurfaceSharingSurface {
        std::function<void()> onRender;
        int renders = 0;
        void renderScene() override {
            ++renders;
            if (onRender) onRender();
        }
    };
    void setSurfaceSharingDelegate(IOSurfaceSharingControllerDelegate *delegate) override { mDelegate = delegate; }
    bool publishServerWithTextureClass(const QString &name) override {
        publishedClass = name;
        return true;
    }
    bool broadcastNextSurface(bool broadcast, bool render) override {
        flags.push_back(broadcast);
        if (render && mDelegate != nullptr) mDelegate->surfaceSharingRenderSurface(this, &surface);
        return true;
    }
    void applicationWillTerminate(const NSNotification &) override {}

    std::vector<bool> flags;
    QString publishedClass;
    Surface surface;

private:
    IOSurfaceSharingControllerDelegate *mDelegate = nullptr;
};

// The view with its frame source scripted: each tick takes the next step.
class ScriptedView : public NSUILumoraView {
public:
    using NSUILumoraView::NSUILumoraView;
    CamInputFrameRef captureInputFrameStack() override {
        ++captures;
        if (!step) return nullptr;
        return step();
    }
    std::function<CamInputFrameRef()> step;
    int captures = 0;
};

bool LockIsFreeOnAnotherThread(std::recursive_mutex &lock) {
    return std::async(std::launch::async, [&lock] {
               if (!lock.try_lock()) return false;
               lock.unlock();
               return true;
           }).get();
}

uint32_t Reports(const char *label) {
    UCoreFnSampler *sampler = UCoreFnSampler::sharedFnSampler();
    if (sampler == nullptr) return 0;
    for (const UCoreFunction &function : sampler->functions())
        if (function.functionName() == QLatin1String(label)) return function.sampleCount();
    return 0;
}

class CameraViewFrameLoop : public ::testing::Test, public riradi_test::WithApplication {
protected:
    void SetUp() override {
        ASSERT_TRUE(import_NSUILumoraView());
        mSampler = std::make_unique<UCoreFnSampler>();
        mBuffer = std::make_unique<LumoraRenderBuffer>();
        ASSERT_TRUE(mBuffer->isInitialized());
        mView = std::make_unique<ScriptedView>();
        mView->resize(64, 48);
        mView->outletLumoraBuffer = mBuffer.get();
        mView->outletActualFPSController = &mFPS;
        mView->outletCompressionSettings = &mSettings;
        mView->outletCameraRebroadcastControl = &mBroadcast;
        mView->outletLumoraRecorder = &mRecorder;
        mView->openCompositionPrivateData(InvertCameraComposition());
        ASSERT_TRUE(mView->isCompositionOpenPrivate());
        mView->setInputStackRenderer(CIContextFBORenderer::rendererWithWidthPixels(640, 480));
        ASSERT_TRUE(mView->inputStackRenderer());
        mPicture = QuadrantCIImage(64, 48, {0x336699, 0x336699, 0x336699, 0x336699});
    }
    void TearDown() override {
        mView.reset();
        mBuffer.reset();
        mSampler.reset();
    }

    CamInputFrameRef PictureFrame() { return CamInputFrame::camInputFrameWithFrameImage(mPicture); }

    std::unique_ptr<UCoreFnSampler> mSampler;
    std::unique_ptr<LumoraRenderBuffer> mBuffer;
    std::unique_ptr<ScriptedView> mView;
    QActualFPSController mFPS;
    FrameRateSettings mSettings;
    BroadcastSwitch mBroadcast;
    RecorderState mRecorder;
    CIImageRef mPicture;
};

TEST_F(CameraViewFrameLoop, NoFaultInOneFrameStopsTheNext) {
    enum Kind { Picture, NSExceptionThrown, OtherExceptionThrown, NoPicture, NoFrame };
    const struct {
        Kind kind;
        bool composed;
    } steps[] = {{Picture, true},  {NSExceptionThrown, false}, {Picture, true}, {OtherExceptionThrown, false},
                 {Picture, true},  {NoPicture, false},         {Picture, true}, {NoFrame, false},
                 {Picture, true}};
    uint32_t composed = 0;
    for (const auto &s : steps) {
        mView->step = [&]() -> CamInputFrameRef {
            switch (s.kind) {
            case Picture: return PictureFrame();
            case NSExceptionThrown: NSException::raise(NSInternalInconsistencyException, "a camera fault");
            case OtherExceptionThrown: throw std::runtime_error("a driver fault");
            case NoPicture: return CamInputFrame::camInputFrameWithFrameImage(CIImageRef());
            case NoFrame: return nullptr;
            }
            return nullptr;
        };
        const CamInputFrameRef before = mBuffer->inputCameraFrame();
        mView->setRenderFrameAvailable(false);
        mView->renderSceneDoubleTimer();
        if (s.composed) ++composed;
        SCOPED_TRACE(int(s.kind));
        EXPECT_FALSE(mView->renderFrameInProgress());
        EXPECT_EQ(mView->renderFrameAvailable(), s.composed);
        EXPECT_TRUE(LockIsFreeOnAnotherThread(mView->compositionLock()));
        // A frame that is not composed never reaches the render buffer.
        if (!s.composed) EXPECT_EQ(mBuffer->inputCameraFrame(), before);
        else EXPECT_NE(mBuffer->inputCameraFrame(), before);
    }
    // One count per composed frame (the first only begins sampling), and every tick timed.
    EXPECT_EQ(mFPS.sampleCount(), composed - 1);
    EXPECT_EQ(Reports(NSUILumoraView::kRenderTimer), std::size(steps));
    EXPECT_EQ(Reports(NSUILumoraView::kRenderInputStack), composed);
    EXPECT_EQ(Reports(NSUILumoraView::kRenderQuartzComposition), composed);
}

TEST_F(CameraViewFrameLoop, ATickDuringAFrameDoesNothingAndTheFirstFrameHasRenderTimeZero) {
    int nestedCaptures = -1;
    mView->step = [&] {
        // The timer fires again while this frame is made.
        const int before = mView->captures;
        mView->renderCameraInputOnMainThread(nullptr);
        nestedCaptures = mView->captures - before;
        return PictureFrame();
    };
    mView->renderSceneDoubleTimer();
    EXPECT_EQ(nestedCaptures, 0);
    EXPECT_EQ(mView->captures, 1);
    EXPECT_EQ(mBuffer->lastUpdateTime(), 0.0);
    EXPECT_EQ(mFPS.sampleCount(), 0u);  // one frame: sampling has only begun
    EXPECT_GT(mFPS.lastSample(), 0.0);

    mView->step = [this] { return PictureFrame(); };
    QThread::msleep(20);
    mView->renderSceneDoubleTimer();
    EXPECT_GE(mBuffer->lastUpdateTime(), 0.015);
    EXPECT_EQ(mFPS.sampleCount(), 1u);
}

TEST_F(CameraViewFrameLoop, AFrameRateChangeReplacesTheTimerAndClearsBothFlags) {
    mView->awakeFromNib();
    mSettings.setFrameRate(30.0);
    ASSERT_NE(mView->renderTimer(), nullptr);
    EXPECT_NEAR(mView->renderTimer()->timeInterval(), 1.0 / 120, 1e-12);
    const struct {
        double rate;
        bool timer;
    } cases[] = {{15.0, true}, {60.0, true}, {0.0, false}, {-5.0, false}, {std::nan(""), false}, {25.0, true}};
    for (const auto &c : cases) {
        mView->setRenderFrameAvailable(true);
        mView->setRenderFrameInProgress(true);
        mSettings.setFrameRate(c.rate);
        SCOPED_TRACE(c.rate);
        EXPECT_FALSE(mView->renderFrameAvailable());
        EXPECT_FALSE(mView->renderFrameInProgress());
        ASSERT_EQ(mView->renderTimer() != nullptr, c.timer);
        if (c.timer) {
            EXPECT_TRUE(mView->renderTimer()->isValid());
            EXPECT_NEAR(mView->renderTimer()->timeInterval(), 1.0 / (4 * c.rate), 1e-12);
        }
    }
}

TEST_F(CameraViewFrameLoop, A1280x720PictureIsFlippedAboutItsHeightAndScaledInto640x480) {
    const std::array<uint32_t, 4> colours = {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF};
    const CamInputFrameRef source = CamInputFrame::camInputFrameWithFrameImageFrameHostTimeStamp(
        QuadrantCIImage(1280, 720, colours), 123456789u);
    mView->step = [&] { return source; };
    mView->renderSceneDoubleTimer();
    const CamInputFrameRef stacked = mBuffer->inputCameraFrame();
    ASSERT_TRUE(stacked);
    EXPECT_EQ(stacked->frameHostTimeStamp(), 123456789u);
    const CamInputFrameStack stack = stacked->frameInputStack();
    ASSERT_EQ(stack.size(), 2u);
    EXPECT_TRUE(stack[0].isCGImage());
    EXPECT_TRUE(stack[1].isCIImage());
    CGImageRef image = stacked->frameImageRef();
    ASSERT_NE(image, nullptr);
    ASSERT_EQ(CGImageGetWidth(image), 640u);
    ASSERT_EQ(CGImageGetHeight(image), 480u);
    // The surface's image as stored: upright again, each quadrant now 320 x 240.
    const cocoaqz_test::ImagePixels pixels(image);
    const struct {
        size_t x, y;
        uint32_t colour;
    } samples[] = {{10, 10, colours[0]},   {630, 10, colours[1]},  {10, 470, colours[2]}, {630, 470, colours[3]},
                   {300, 220, colours[0]}, {340, 220, colours[1]}, {300, 260, colours[2]}, {340, 260, colours[3]}};
    for (const auto &s : samples) {
        const cocoaqz_test::Pixel expected = {int((s.colour >> 16) & 0xFF), int((s.colour >> 8) & 0xFF),
                                              int(s.colour & 0xFF), 255};
        EXPECT_TRUE(cocoaqz_test::Near(pixels.at(s.x, s.y), expected, 2)) << s.x << "," << s.y;
    }
}

TEST_F(CameraViewFrameLoop, SharingGetsTheRebroadcastSwitchAndRecordingIsTimed) {
    // The view's own controller, not published: it has no surface to share, and moves on to
    // no other slot.
    mView->step = [this] { return PictureFrame(); };
    mBroadcast.broadcasting = true;
    mView->renderSceneDoubleTimer();
    EXPECT_EQ(mView->surfaceSharingController().nextSurfaceIndex(), 0u);
    EXPECT_EQ(mView->surfaceSharingController().surfaceTextures(), nullptr);

    SharingController sharing;
    mView->outletIOSurfaceSharing = &sharing;
    sharing.setSurfaceSharingDelegate(mView.get());
    bool bufferLockedWhileDrawn = false;
    sharing.surface.onRender = [&] {
        bufferLockedWhileDrawn = !std::async(std::launch::async, [this] {
                                      // The render lock is recursive and held by the main thread.
                                      auto lock = mBuffer->renderLock();
                                      if (!lock || !lock->tryLock()) return false;
                                      lock->unlock();
                                      return true;
                                  }).get();
    };
    for (bool on : {false, true, false}) {
        mBroadcast.broadcasting = on;
        mView->renderSceneDoubleTimer();
    }
    EXPECT_EQ(sharing.flags, (std::vector<bool>{false, true, false}));
    EXPECT_EQ(sharing.surface.renders, 3);
    EXPECT_TRUE(bufferLockedWhileDrawn);
    EXPECT_EQ(Reports(NSUILumoraView::kRenderSharedImage), 3u);
    EXPECT_EQ(mView->surfaceSharingController().nextSurfaceIndex(), 0u);

    // The application's rebroadcast control: its switch as it stands.
    LumBroadcastControl control;
    mView->outletCameraRebroadcastControl = &control;
    for (bool on : {true, false}) {
        control.setBroadcastEnabled(on);
        mView->renderSceneDoubleTimer();
        EXPECT_EQ(sharing.flags.back(), on);
    }

    EXPECT_EQ(Reports(NSUILumoraView::kRenderMovieFrame), 0u);
    mRecorder.recording = true;
    mView->renderSceneDoubleTimer();
    EXPECT_EQ(Reports(NSUILumoraView::kRenderMovieFrame), 1u);
}

TEST_F(CameraViewFrameLoop, AnUpdateSequenceHoldsTheLocksUntilTheMainQueueRuns) {
    mView->step = [this] { return PictureFrame(); };
    mView->renderSceneDoubleTimer();
    ASSERT_GT(Reports(NSUILumoraView::kRenderTimer), 0u);
    mView->beginUpdateCompositionSequence();
    EXPECT_FALSE(LockIsFreeOnAnotherThread(mView->compositionLock()));
    mView->endUpdateCompositionSequence();
    EXPECT_FALSE(LockIsFreeOnAnotherThread(mView->compositionLock()));  // given back later
    QCoreApplication::processEvents();
    dispatch_main_queue_drain();
    EXPECT_TRUE(LockIsFreeOnAnotherThread(mView->compositionLock()));
    EXPECT_TRUE(std::async(std::launch::async, [this] {
                    auto lock = mBuffer->renderLock();
                    const bool free = lock && lock->tryLock();
                    if (free) lock->unlock();
                    return free;
                }).get());
    EXPECT_TRUE(mSampler->functions().empty());  // the timings start again
}

TEST_F(CameraViewFrameLoop, LaunchAndQuitKeepThePopUpsAndTheOpenSnapshotSwitch) {
    NSUserDefaults &defaults = NSUserDefaults::standardUserDefaults();
    const QString keys[] = {"outletEffectsPopupButton", "outletShutterPopupButton", "outletMenuItemOpenSnapshot"};
    for (const QString &key : keys) defaults.removeObject(key);
    QComboBox effects, shutter;
    effects.addItems({"Blur", "iSight", "Twirl"});
    shutter.addItems({"Click", "Default"});
    QAction openSnapshot(nullptr);
    openSnapshot.setCheckable(true);
    mView->outletEffectsPopupButton = &effects;
    mView->outletShutterPopupButton = &shutter;
    mView->outletMenuItemOpenSnapshot = &openSnapshot;

    // Nothing stored, no composition open: the defaults.
    mView->closeCompositionPrivate();
    mView->applicationDidFinishLaunching(NSNotification());
    EXPECT_EQ(effects.currentText(), "iSight");
    EXPECT_EQ(shutter.currentText(), "Default");
    EXPECT_TRUE(openSnapshot.isChecked());

    effects.setCurrentText("Twirl");
    shutter.setCurrentText("Click");
    openSnapshot.setChecked(false);
    mView->applicationWillTerminate(NSNotification());
    EXPECT_EQ(defaults.stringForKey(keys[0]), "Twirl");
    EXPECT_EQ(defaults.stringForKey(keys[1]), "Click");
    EXPECT_EQ(defaults.integerForKey(keys[2]), 0);
    EXPECT_EQ(mView->renderTimer(), nullptr);

    // A composition already open at launch: the pop-ups keep their selection.
    effects.setCurrentText("Blur");
    shutter.setCurrentText("Default");
    openSnapshot.setChecked(true);
    mView->openCompositionPrivateData(InvertCameraComposition());
    mView->applicationDidFinishLaunching(NSNotification());
    EXPECT_EQ(effects.currentText(), "Blur");
    EXPECT_EQ(shutter.currentText(), "Default");
    EXPECT_FALSE(openSnapshot.isChecked());
    // Without one they show what was stored.
    mView->closeCompositionPrivate();
    mView->applicationDidFinishLaunching(NSNotification());
    EXPECT_EQ(effects.currentText(), "Twirl");
    EXPECT_EQ(shutter.currentText(), "Click");
    mView->applicationWillTerminate(NSNotification());
    for (const QString &key : keys) defaults.removeObject(key);
}

}  // namespace

#include "CameraViewFrameLoopTests.moc"
