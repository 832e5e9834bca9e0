// Movie recording end to end: numbered frames through the still-frame recorder and the
// recording controller into "Lumora NNNN.mov", read back with the movie layer; with a test
// microphone, without one, stopping and starting at once, and a flatten that fails.
#include <CocoaQZ/QTKit/QAudioFileRecorderLink.h>
#include <CocoaQZ/QTKit/QMovieRecorderController.h>
#include <CocoaQZ/QTKit/QStillFrameMovieRecorder.h>

#include <CoreGraphics/CGColorSpace.h>
#include <CoreGraphics/CGDataProvider.h>
#include <QTKit/MovieFlattener.h>
#include <QuickTime/QuickTime.h>
#include <USecuritySandbox/USandboxUserFolder.h>
#include <dispatch/dispatch.h>

#include <QDir>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <memory>
#include <string>
#include <cstdlib>
#include <thread>
#include <vector>

#include <time.h>

#include "support/NumberedMovies.h"
#include "support/TestFolders.h"

namespace {

constexpr int kWidth = 128;
constexpr int kHeight = 96;

// The number the movie shows at `time` (1/600 s); also its duration.
int64_t NumberAt(const QString &path, TimeValue time, TimeValue *duration = nullptr) {
    return lumora::test::MovieNumberAt(path.toStdString(), kWidth, kHeight, time, duration);
}
using lumora::test::AiffBytes;

// A BGRA image whose top eighth shows `number` as 32 white or black cells (the test
// camera's frame numbering).
CGImageRef NumberedImage(uint32_t number, int width = kWidth) {
    auto *bytes = new std::vector<uint8_t>(size_t(width) * kHeight * 4, 0x80);
    for (int y = 0; y < kHeight / 8; ++y)
        for (int x = 0; x < width; ++x) {
            const uint8_t value = ((number >> (31 - 32 * x / width)) & 1u) != 0 ? 255 : 0;
            uint8_t *p = &(*bytes)[(size_t(y) * width + x) * 4];
            p[0] = p[1] = p[2] = value;
            p[3] = 255;
        }
    CGDataProviderRef provider = CGDataProviderCreateWithData(
        bytes, bytes->data(), bytes->size(),
        [](void *info, const void *, size_t) { delete static_cast<std::vector<uint8_t> *>(info); });
    CGColorSpaceRef space = CGColorSpaceCreateDeviceRGB();
    CGImageRef image = CGImageCreate(size_t(width), kHeight, 8, 32, size_t(width) * 4, space,
                                     kCGImageAlphaPremultipliedFirst | kCGBitmapByteOrder32Little, provider,
                                     nullptr, false, kCGRenderingIntentDefault);
    CGColorSpaceRelease(space);
    CGDataProviderRelease(provider);
    return image;
}

// A test microphone: the sound file holds what was "heard" between the first video frame
// and the stop; the stop completes on the main queue after a delay, as the real one does.
class TestMicrophone : public QAudioFileRecorderProtocol {
public:
    bool openFails = false;
    double secondsPerStop = 0.5;  // what each recording hears (0: no buffer ever written)
    std::chrono::milliseconds closeDelay{100};
    int stops = 0;

    bool startRecordingSession(const QUrl &url, bool startAudioCapture) override {
        if (openFails) return false;
        mUrl = url;
        mRecording = startAudioCapture;
        mFirst = 0.0;
        return true;
    }
    void startCapturingAudioWithFirstVideoFrameHostTime(double hostTime) override {
        if (mUrl.isEmpty()) return;
        mRecording = true;
        mFirst = hostTime;
    }
    bool recording() const override { return mRecording; }
    double firstVideoFrameHostTime() const override { return mFirst; }
    void setFirstVideoFrameHostTime(double hostTime) override { mFirst = hostTime; }
    bool stopRecordingSessionAfterMicroseconds(uint32_t, std::function<void()> completion) override {
        ++stops;
        const QUrl url = std::exchange(mUrl, QUrl());
        const bool had = !url.isEmpty();
        mRecording = false;
        const double seconds = secondsPerStop;
        dispatch_after(dispatch_time(DISPATCH_TIME_NOW, int64_t(closeDelay.count()) * 1000000),
                       dispatch_get_main_queue(), [url, had, seconds, completion] {
                           if (had) lumora::test::WriteFile(url.toLocalFile().toStdString(), AiffBytes(seconds));
                           completion();
                       });
        return had;
    }

private:
    QUrl mUrl;
    bool mRecording = false;
    double mFirst = 0.0;
};

class TestController : public QMovieRecorderController {
public:
    std::vector<QString> opened;
    std::vector<std::pair<QString, QString>> kept;
    void openFinalMovieFilePathName(const QString &path) override { opened.push_back(path); }
    void recordingKeptFiles(const QString &video, const QString &audio) override { kept.emplace_back(video, audio); }
};

struct Studio {
    lumora::test::ScopedFolder folder{"Movies"};
    std::unique_ptr<USandboxUserFolder> movies{
        USandboxUserFolder::sandboxPrefsFolderWithFolderURL(QUrl::fromLocalFile(QString::fromStdString(folder.path())))};
    QStillFrameMovieRecorder writer;
    TestMicrophone microphone;
    TestController controller;
    uint32_t nextNumber = 0;
    uint64_t hostTime = 5'000'000'000;

    explicit Studio(bool withMicrophone) {
        controller.outletMoviesFolder = movies.get();
        controller.outletStillFrameRecorder = &writer;
        controller.outletAudioFileRecorder = withMicrophone ? &microphone : nullptr;
    }
    QString path(const char *name) const { return QString::fromStdString(folder.file(name)); }
    // `count` frames of 1/30 s numbered from `first`.
    void frames(uint32_t first, int count) {
        for (int n = 0; n < count; ++n) {
            CGImageRef image = NumberedImage(first + uint32_t(n));
            EXPECT_TRUE(controller.addFrameImageRef(image, 1.0 / 30.0, hostTime));
            CGImageRelease(image);
            hostTime += 33'333'333;
        }
    }
    // Runs the main queue until `count` recordings have been reported.
    bool waitForRecordings(size_t count) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (controller.opened.size() + controller.kept.size() < count) {
            if (std::chrono::steady_clock::now() > deadline) return false;
            dispatch_main_queue_drain();
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return true;
    }
    QStringList files() const {
        return QDir(QString::fromStdString(folder.path())).entryList(QDir::Files | QDir::Hidden, QDir::Name);
    }
};

lumora::qtkit::MovieFileInfo Info(const QString &path) {
    lumora::qtkit::MovieFileInfo info;
    EXPECT_EQ(lumora::qtkit::GetMovieFileInfo(path.toStdString(), info), noErr) << path.toStdString();
    return info;
}

TEST(StillFrameMovieRecorder, DurationsAreRoundedInDoublePrecision) {
    struct Case {
        double seconds;
        int32_t units;
    };
    for (const Case &c : {Case{0.0, 1}, Case{1.0 / 30.0, 20}, Case{0.0334, 20}, Case{1.0, 600}, Case{1.0 / 600 / 3, 1},
                          Case{-1.0, 1}, Case{0.04, 24}})
        EXPECT_EQ(QStillFrameMovieRecorder::calculateElapsedFramesWithFrameDurationSeconds(c.seconds), c.units)
            << c.seconds;
}

TEST(StillFrameMovieRecorder, ThirtyFramesOfAThirtiethMakeOneSecondOfMovie) {
    lumora::test::ScopedFolder folder("stills");
    const QString path = QString::fromStdString(folder.file("one second.qt"));
    QStillFrameMovieRecorder recorder;
    CGImageRef early = NumberedImage(1);
    EXPECT_FALSE(recorder.addFrameImageRef(early, 0.1)) << "not recording yet";
    CGImageRelease(early);
    EXPECT_FALSE(recorder.endRecordingMovie());
    ASSERT_TRUE(recorder.beginRecordingMovieFile(path));
    EXPECT_FALSE(recorder.beginRecordingMovieFile(path)) << "already recording";
    EXPECT_EQ(recorder.addFrameAttributes().value("QTAddImageCodecType").toString(), "rle ");
    EXPECT_EQ(recorder.addFrameAttributes().value("QTAddImageCodecQuality").toInt(), 1024);
    for (int n = 0; n < 30; ++n) {
        CGImageRef image = NumberedImage(uint32_t(200 + n));
        EXPECT_TRUE(recorder.addFrameImageRef(image, 1.0 / 30.0));
        CGImageRelease(image);
    }
    EXPECT_FALSE(recorder.addFrameImageRef(nullptr, 1.0 / 30.0));
    EXPECT_EQ(recorder.movieDuration(), 600);
    EXPECT_TRUE(recorder.endRecordingMovie());
    EXPECT_FALSE(recorder.isRecordingMovie());
    EXPECT_FALSE(recorder.endRecordingMovie()) << "the second end finds nothing";
    TimeValue duration = 0;
    EXPECT_EQ(NumberAt(path, 0, &duration), 200);
    EXPECT_NEAR(duration, 600, 20) << "within a frame of one second";
    EXPECT_EQ(NumberAt(path, 15 * 20 + 3), 215);
    EXPECT_EQ(NumberAt(path, 599), 229);
    EXPECT_EQ(Info(path).videoCodec, "qtrle");
}

TEST(StillFrameMovieRecorder, AnswersWhetherTheFrameWasAppended) {
    lumora::test::ScopedFolder folder("refused");
    QStillFrameMovieRecorder recorder;
    // A taken name is refused at once and left alone.
    ASSERT_TRUE(lumora::test::WriteFile(folder.file("taken.qt"), "mine"));
    EXPECT_FALSE(recorder.beginRecordingMovieFile(QString::fromStdString(folder.file("taken.qt"))));
    EXPECT_EQ(lumora::test::ReadFile(folder.file("taken.qt")), "mine");
    // An image the movie cannot take (odd width) is not reported as added.
    ASSERT_TRUE(recorder.beginRecordingMovieFile(QString::fromStdString(folder.file("odd.qt"))));
    CGImageRef odd = NumberedImage(1, kWidth + 1);
    EXPECT_FALSE(recorder.addFrameImageRef(odd, 0.1));
    CGImageRelease(odd);
    EXPECT_TRUE(recorder.endRecordingMovie());
}

TEST(MovieRecorderController, WithoutAMicrophoneTheMovieIsMadeFromTheVideo) {
    for (const bool microphoneFails : {false, true}) {
        SCOPED_TRACE(microphoneFails ? "microphone cannot open" : "no microphone");
        Studio studio(microphoneFails);
        studio.microphone.openFails = true;
        studio.controller.startRecording();
        ASSERT_TRUE(studio.controller.isRecording());
        EXPECT_EQ(studio.controller.movieFileName(), studio.path("Lumora 0000.mov"));
        EXPECT_EQ(studio.controller.videoFileName(), studio.path("Lumora 0000.qt"));
        EXPECT_EQ(studio.controller.audioFileName(), studio.path("Lumora 0000.aiff"));
        EXPECT_EQ(studio.controller.flattenerFileURL().toLocalFile(), studio.path("Lumora 0000.MooV"));
        studio.frames(300, 30);
        studio.controller.stopRecording();
        EXPECT_FALSE(studio.controller.isRecording());
        studio.controller.stopRecording();  // nothing the second time
        ASSERT_TRUE(studio.waitForRecordings(1));
        ASSERT_EQ(studio.controller.opened.size(), 1u);
        EXPECT_EQ(studio.controller.opened[0], studio.path("Lumora 0000.mov"));
        EXPECT_EQ(studio.files(), QStringList{"Lumora 0000.mov"}) << "no temporary is left";
        const auto info = Info(studio.path("Lumora 0000.mov"));
        EXPECT_FALSE(info.hasAudio);
        EXPECT_NEAR(info.videoSeconds, 1.0, 1 / 30.0);
        EXPECT_EQ(info.copyright, "Made with Lum@ra");
        EXPECT_EQ(NumberAt(studio.path("Lumora 0000.mov"), 0), 300);
        EXPECT_EQ(NumberAt(studio.path("Lumora 0000.mov"), 29 * 20 + 1), 329);
    }
}

TEST(MovieRecorderController, TheMicrophoneStartsAtTheFirstFrameAndItsSoundJoinsTheMovie) {
    struct Case {
        const char *name;
        double heard;
        bool soundTrack;
    };
    for (const Case &c : {Case{"sound", 1.0, true}, Case{"no buffer written", 0.0, false}}) {
        SCOPED_TRACE(c.name);
        Studio studio(true);
        studio.microphone.secondsPerStop = c.heard;
        studio.controller.startRecording();
        EXPECT_FALSE(studio.microphone.recording()) << "no capture before the first frame";
        studio.frames(10, 1);
        EXPECT_TRUE(studio.microphone.recording());
        EXPECT_DOUBLE_EQ(studio.microphone.firstVideoFrameHostTime(), 5.0);
        studio.frames(11, 29);
        studio.controller.stopRecording();
        ASSERT_TRUE(studio.waitForRecordings(1));
        ASSERT_EQ(studio.controller.opened.size(), 1u);
        EXPECT_EQ(studio.files(), QStringList{"Lumora 0000.mov"});
        const auto info = Info(studio.path("Lumora 0000.mov"));
        EXPECT_EQ(info.hasAudio, c.soundTrack);
        if (c.soundTrack) EXPECT_NEAR(info.audioSeconds, c.heard, 0.01);
        EXPECT_NEAR(info.videoSeconds, 1.0, 1 / 30.0);
    }
}

TEST(MovieRecorderController, StoppingAndStartingAtOnceMakesTwoSeparateMovies) {
    Studio studio(true);
    studio.microphone.closeDelay = std::chrono::milliseconds(300);
    studio.controller.startRecording();
    studio.frames(1000, 15);
    studio.controller.stopRecording();
    studio.microphone.secondsPerStop = 0.25;
    studio.controller.startRecording();  // before the first sound file is closed
    ASSERT_TRUE(studio.controller.isRecording());
    EXPECT_EQ(studio.controller.movieFileName(), studio.path("Lumora 0001.mov"));
    studio.frames(2000, 30);
    studio.controller.stopRecording();
    ASSERT_TRUE(studio.waitForRecordings(2));
    ASSERT_EQ(studio.controller.opened.size(), 2u);
    EXPECT_EQ(studio.files(), (QStringList{"Lumora 0000.mov", "Lumora 0001.mov"}));
    const auto first = Info(studio.path("Lumora 0000.mov"));
    const auto second = Info(studio.path("Lumora 0001.mov"));
    EXPECT_NEAR(first.videoSeconds, 0.5, 1 / 30.0);
    EXPECT_NEAR(second.videoSeconds, 1.0, 1 / 30.0);
    EXPECT_NEAR(first.audioSeconds, 0.5, 0.01);
    EXPECT_NEAR(second.audioSeconds, 0.25, 0.01);
    EXPECT_EQ(NumberAt(studio.path("Lumora 0000.mov"), 0), 1000);
    EXPECT_EQ(NumberAt(studio.path("Lumora 0001.mov"), 0), 2000);
}

TEST(MovieRecorderController, AFailedFlattenKeepsTheRecordingAndSaysWhere) {
    Studio studio(true);
    studio.controller.startRecording();
    studio.frames(40, 10);
    // Something else writes into the claimed movie name: the movie cannot take it.
    ASSERT_TRUE(lumora::test::WriteFile(studio.folder.file("Lumora 0000.mov"), "other"));
    studio.controller.stopRecording();
    ASSERT_TRUE(studio.waitForRecordings(1));
    ASSERT_EQ(studio.controller.kept.size(), 1u);
    EXPECT_EQ(studio.controller.kept[0].first, studio.path("Lumora 0000.qt"));
    EXPECT_EQ(studio.controller.kept[0].second, studio.path("Lumora 0000.aiff"));
    EXPECT_EQ(lumora::test::ReadFile(studio.folder.file("Lumora 0000.mov")), "other");
    EXPECT_EQ(studio.files(), (QStringList{"Lumora 0000.aiff", "Lumora 0000.mov", "Lumora 0000.qt"}))
        << "the reference movie is gone, video and sound are kept";
    EXPECT_EQ(NumberAt(studio.path("Lumora 0000.qt"), 0), 40);
    EXPECT_NEAR(Info(studio.path("Lumora 0000.aiff")).audioSeconds, 0.5, 0.01);
    // The next recording takes the next number.
    studio.controller.startRecording();
    EXPECT_EQ(studio.controller.movieFileName(), studio.path("Lumora 0001.mov"));
    studio.controller.stopRecording();
}

TEST(MovieRecorderController, StartDoesNothingWithoutAFolderOrWhenTheWriterRefuses) {
    Studio studio(true);
    studio.controller.outletMoviesFolder = nullptr;
    studio.controller.startRecording();
    EXPECT_FALSE(studio.controller.isRecording());
    studio.controller.outletMoviesFolder = studio.movies.get();
    // The video name is taken: the writer refuses, the microphone is not started and the
    // claimed movie name is given back.
    ASSERT_TRUE(lumora::test::WriteFile(studio.folder.file("Lumora 0000.qt"), "mine"));
    studio.controller.startRecording();
    EXPECT_FALSE(studio.controller.isRecording());
    EXPECT_FALSE(studio.microphone.recording());
    EXPECT_EQ(studio.files(), QStringList{"Lumora 0000.qt"});
    EXPECT_FALSE(studio.controller.addFrameImageRef(nullptr, 0.1, 1));
    EXPECT_FALSE(studio.microphone.recording()) << "frames while idle start no microphone";
}

// The recorder's sound comes from the sound layer's test microphone (a tone paced by the
// clock), frames from the frame loop's clock: host times on CLOCK_MONOTONIC.
struct TestMicrophoneEnvironment {
    TestMicrophoneEnvironment(const char *microphone, const char *device) {
        if (microphone != nullptr) setenv("LUMORA_TEST_MICROPHONE", microphone, 1);
        if (device != nullptr) setenv("LUMORA_SOUND_INPUT_DEVICE", device, 1);
        QAudioFileRecorder::setErrorPresenter([this](const QString &error) { errors.push_back(error); });
    }
    ~TestMicrophoneEnvironment() {
        unsetenv("LUMORA_TEST_MICROPHONE");
        unsetenv("LUMORA_SOUND_INPUT_DEVICE");
        QAudioFileRecorder::setErrorPresenter(nullptr);
    }
    std::vector<QString> errors;
};

uint64_t HostNanoseconds() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return uint64_t(now.tv_sec) * 1000000000u + uint64_t(now.tv_nsec);
}

// `count` frames of 1/30 s, given at the frame loop's pace.
void LiveFrames(QMovieRecorderController &controller, uint32_t first, int count) {
    const auto start = std::chrono::steady_clock::now();
    for (int n = 0; n < count; ++n) {
        std::this_thread::sleep_until(start + std::chrono::microseconds(33333 * n));
        CGImageRef image = NumberedImage(first + uint32_t(n));
        EXPECT_TRUE(controller.addFrameImageRef(image, 1.0 / 30.0, HostNanoseconds()));
        CGImageRelease(image);
    }
    std::this_thread::sleep_until(start + std::chrono::microseconds(33333 * count));
}

TEST(MovieRecorderController, TheTestMicrophoneGivesEachOfTwoQuickRecordingsItsOwnSound) {
    TestMicrophoneEnvironment environment("1", nullptr);
    Studio studio(false);
    QAudioFileRecorderLink microphone;
    studio.controller.outletAudioFileRecorder = &microphone;
    studio.controller.startRecording();
    LiveFrames(studio.controller, 700, 15);
    studio.controller.stopRecording();
    studio.controller.startRecording();  // while the first sound file is still being closed
    LiveFrames(studio.controller, 800, 60);  // well past the first sound file's delayed close
    studio.controller.stopRecording();
    ASSERT_TRUE(studio.waitForRecordings(2));
    ASSERT_EQ(studio.controller.opened.size(), 2u);
    EXPECT_EQ(studio.files(), (QStringList{"Lumora 0000.mov", "Lumora 0001.mov"}));
    struct Expect {
        const char *name;
        double seconds;
        int64_t firstNumber;
    };
    for (const Expect &e : {Expect{"Lumora 0000.mov", 0.5, 700}, Expect{"Lumora 0001.mov", 2.0, 800}}) {
        SCOPED_TRACE(e.name);
        const auto info = Info(studio.path(e.name));
        EXPECT_NEAR(info.videoSeconds, e.seconds, 1 / 30.0);
        ASSERT_TRUE(info.hasAudio);
        // The sound runs from the first frame to the stop: the video's length, give or take
        // the stop's delay and the frame loop's scheduling.
        EXPECT_NEAR(info.audioSeconds, e.seconds, 0.15);
        EXPECT_EQ(NumberAt(studio.path(e.name), 0), e.firstNumber);
    }
    EXPECT_TRUE(environment.errors.empty());
}

TEST(MovieRecorderController, AMissingSoundDeviceStillGivesAVideoOnlyMovie) {
    TestMicrophoneEnvironment environment(nullptr, "hw:CARD=NoSuchCard");
    Studio studio(false);
    QAudioFileRecorderLink microphone;
    studio.controller.outletAudioFileRecorder = &microphone;
    studio.controller.startRecording();
    ASSERT_TRUE(studio.controller.isRecording());
    EXPECT_FALSE(environment.errors.empty()) << "the missing device was reported";
    studio.frames(900, 10);
    studio.controller.stopRecording();
    ASSERT_TRUE(studio.waitForRecordings(1));
    ASSERT_EQ(studio.controller.opened.size(), 1u);
    EXPECT_EQ(studio.files(), QStringList{"Lumora 0000.mov"});
    const auto info = Info(studio.path("Lumora 0000.mov"));
    EXPECT_FALSE(info.hasAudio);
    EXPECT_NEAR(info.videoSeconds, 10 / 30.0, 1 / 30.0);
}

}  // namespace
