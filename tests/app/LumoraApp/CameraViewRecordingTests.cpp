// Recording from the camera view: while the application's recorder records, every rendered
// frame goes to its frame writer with the recorder's frame duration, and the sound recorder is
// started with the host time of the camera frame the render buffer showed (not the time of the
// read-back); stopping makes the numbered movie in the Movies folder, opened in a viewer.
#include <LumoraApp/LumoraLayerViewNibbler.h>
#include <LumoraApp/LumoraRecorder.h>
#include <LumoraApp/LumoraRenderBuffer.h>
#include <LumoraApp/NSUILumoraView.h>
#include <LumoraApp/SnapViewWindowController.h>

#include <AppKit/NSButton.h>
#include <CocoaGL/NSOGLTextureMatrixController.h>
#include <CoreFoundation/CFData.h>
#include <CoreGraphics/CGDataProvider.h>
#include <QTKit/MovieFileWriter.h>
#include <QTKit/MovieFlattener.h>
#include <USecuritySandbox/USandboxUserFolder.h>
#include <dispatch/dispatch.h>

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QPointer>

#include <chrono>
#include <cmath>
#include <memory>
#include <thread>
#include <vector>

#include "app/LumoraApp/CameraViewTestSupport.h"
#include "sdk/RiradI/RiradITestApplication.h"

using namespace cameraview_test;

namespace {

class SteppedView : public NSUILumoraView {
public:
    using NSUILumoraView::NSUILumoraView;
    CamInputFrameRef captureInputFrameStack() override {
        return CamInputFrame::camInputFrameWithFrameImageFrameHostTimeStamp(picture, timeStamp);
    }
    CIImageRef picture;
    uint64_t timeStamp = 0;
};

// A frame writer of the QTKit layer's movie file writer ('BGRA' frames, Motion JPEG).
class WriterFrames : public QMovieFrameRecorderProtocol {
public:
    bool beginRecordingMovieFileURL(const QUrl &url) override {
        writer = std::make_unique<lumora::qtkit::MovieFileWriter>();
        lumora::qtkit::MovieFileWriter::Format format;
        format.pixelFormat = 'BGRA';
        if (writer->Open(url.toLocalFile().toStdString(), 640, 480, format) != 0) {
            writer.reset();
            return false;
        }
        time = 0;
        return true;
    }
    bool addFrameImageRef(CGImageRef image, double seconds) override {
        if (!writer || image == nullptr) return false;
        durations.push_back(seconds);
        CFDataRef data = CGDataProviderCopyData(CGImageGetDataProvider(image));
        if (data == nullptr) return false;
        const int64_t duration = std::max<int64_t>(1, std::llround(seconds * 600));
        const bool written = writer->WriteFrame(CFDataGetBytePtr(data), CGImageGetBytesPerRow(image), time, duration) == 0;
        time += duration;
        CFRelease(data);
        return written;
    }
    double getFrameDurationNow() override { return 1.0 / 30; }
    bool isRecordingMovie() override { return writer != nullptr; }
    bool endRecordingMovie() override {
        if (!writer) return false;
        const bool finished = writer->Finish() == 0;
        writer.reset();
        return finished;
    }
    std::unique_ptr<lumora::qtkit::MovieFileWriter> writer;
    int64_t time = 0;
    std::vector<double> durations;
};

// A microphone that records nothing but the time it was started with.
class TimeOnlySound : public QAudioFileRecorderProtocol {
public:
    bool startRecordingSession(const QUrl &, bool) override { return true; }
    void startCapturingAudioWithFirstVideoFrameHostTime(double hostTime) override {
        capturing = true;
        firstTime = hostTime;
    }
    bool recording() const override { return capturing; }
    double firstVideoFrameHostTime() const override { return firstTime; }
    void setFirstVideoFrameHostTime(double hostTime) override { firstTime = hostTime; }
    bool stopRecordingSessionAfterMicroseconds(uint32_t, std::function<void()> completion) override {
        capturing = false;
        dispatch_async(dispatch_get_main_queue(), std::move(completion));
        return false;
    }
    bool capturing = false;
    double firstTime = 0;
};

TEST(CameraViewRecording, AShortRecordingBecomesANumberedMovieOpenedInAViewer) {
    riradi_test::Application();
    ASSERT_TRUE(import_NSUILumoraView());
    const QString moviesPath = USandboxMoviesFolder::defaultFolderPath();
    ASSERT_TRUE(QDir().mkpath(moviesPath));
    LumoraRenderBuffer buffer;
    ASSERT_TRUE(buffer.isInitialized());
    LumoraLayerViewNibbler panel;
    auto *textureOn = new NSButton(&panel);
    textureOn->setState(1);
    auto *matrix = new NSOGLTextureMatrixController(&panel);
    matrix->set_textureEnabled(textureOn);
    panel.setLayerMatrixController(matrix);
    buffer.setLayerController(&panel);

    USandboxMoviesFolder movies;
    WriterFrames frames;
    TimeOnlySound sound;
    LumoraRecorder recorder;
    recorder.outletMoviesFolder = &movies;
    recorder.outletStillFrameRecorder = &frames;
    recorder.outletAudioFileRecorder = &sound;
    recorder.awakeFromNib();

    SteppedView view;
    view.outletLumoraBuffer = &buffer;
    view.outletLumoraLayerController = &panel;
    view.outletLumoraRecorder = &recorder;
    view.openCompositionPrivateData(InvertCameraComposition());
    view.applicationDidFinishLaunching(NSNotification());
    ASSERT_TRUE(view.recordingTexture());

    view.picture = QuadrantCIImage(64, 48, {0x336699, 0x336699, 0x336699, 0x336699});
    view.timeStamp = 7000000000u;  // not recording yet: no frame is written
    view.renderSceneDoubleTimer();
    recorder.startStopRecording(nullptr);
    ASSERT_TRUE(recorder.isRecording());
    for (uint64_t i = 0; i < 6; ++i) {
        view.timeStamp = 12000000000u + i * 33333333u;
        view.renderSceneDoubleTimer();
    }
    EXPECT_EQ(frames.durations, std::vector<double>(6, 1.0 / 30));
    EXPECT_DOUBLE_EQ(sound.firstTime, 12.0);  // the first recorded camera frame's time
    const QString moviePath = recorder.movieFileName();
    bool finished = false, succeeded = false;
    QObject::connect(&recorder, &QMovieRecorderController::recordingFinished, [&](const QString &, bool made) {
        finished = true;
        succeeded = made;
    });
    recorder.startStopRecording(nullptr);
    EXPECT_FALSE(recorder.isRecording());
    const auto start = std::chrono::steady_clock::now();
    while (!finished && std::chrono::steady_clock::now() - start < std::chrono::seconds(20)) {
        dispatch_main_queue_drain();
        recorder.waitUntilFlatteningsFinished();
        dispatch_main_queue_drain();
        QCoreApplication::processEvents();
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    ASSERT_TRUE(finished);
    EXPECT_TRUE(succeeded);
    EXPECT_EQ(QFileInfo(moviePath).fileName(), "Lumora 0000.mov");
    lumora::qtkit::MovieFileInfo info;
    ASSERT_EQ(lumora::qtkit::GetMovieFileInfo(moviePath.toStdString(), info), 0);
    EXPECT_TRUE(info.hasVideo);
    EXPECT_FALSE(info.hasAudio);
    EXPECT_EQ(info.videoFrames, 6);
    EXPECT_EQ(info.width, 640);
    EXPECT_NEAR(info.videoSeconds, 6.0 / 30, 1.0 / 30);

    std::vector<QPointer<SnapViewWindow>> viewers;
    for (QWidget *widget : QApplication::topLevelWidgets())
        if (auto *viewer = qobject_cast<SnapViewWindow *>(widget)) viewers.emplace_back(viewer);
    ASSERT_EQ(viewers.size(), 1u);
    EXPECT_EQ(viewers[0]->mediaPath(), moviePath);
    for (const auto &viewer : viewers) delete viewer.data();
    view.applicationWillTerminate(NSNotification());
}

}  // namespace
