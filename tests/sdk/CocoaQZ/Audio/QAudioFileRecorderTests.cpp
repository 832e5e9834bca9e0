#include "AudioRecordingSupport.h"

#include <CocoaQZ/Audio/QAudioFileRecorder.h>

#include <atomic>
#include <cmath>
#include <cstring>
#include <mutex>

using namespace audio_test;
namespace fs = std::filesystem;

namespace {

// Host seconds on the clock the capture stamps its buffers with.
double HostNow() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return double(now.tv_sec) + double(now.tv_nsec) * 1e-9;
}

// The test microphone's left sample n as the file holds it (the tone is below the dynamics
// threshold, so it passes unchanged).
short ToneLeft(size_t n) {
    const float s = float(std::sin(2.0 * M_PI * double(n % 48) / 48.0));
    return short(std::lrint(0.25f * s * 32768.0f));
}

struct Errors {
    std::mutex lock;
    QStringList shown;
    Errors() {
        QAudioFileRecorder::setErrorPresenter([this](const QString &e) {
            std::lock_guard<std::mutex> locked(lock);
            shown << e;
        });
    }
    ~Errors() { QAudioFileRecorder::setErrorPresenter(nullptr); }
};

AudioCaptureFormatDescription Format(UInt32 channels, double rate, UInt32 bytesPerPacket = 4) {
    AudioCaptureFormatDescription format;
    format.streamDescription = AudioStreamBasicDescription{
        rate, kAudioFormatLinearPCM, kAudioFormatFlagsCanonicalNonInterleaved, bytesPerPacket, 1, 4, channels, 32, 0};
    AudioChannelLayout layout{kAudioChannelLayoutTag_DiscreteInOrder | channels, 0, 0};
    format.channelLayout.resize(sizeof layout);
    memcpy(format.channelLayout.data(), &layout, sizeof layout);
    return format;
}

} // namespace

// The first frame starts capture; stopping ends the sound after the given microseconds and
// closes the file about one second later on a global queue; the completion comes last, on
// the main queue. The file holds exactly the tone, from the first frame to the stop.
TEST(QAudioFileRecorder, RecordsTheMicrophoneFromTheFirstFrameToTheStop) {
    ScopedEnvironment microphone("LUMORA_TEST_MICROPHONE", "1");
    Errors errors;
    const fs::path path = Home() / "Lumora 0000.aiff";
    auto recorder = QAudioFileRecorder::audioFileRecorderWithOutputFileName(QString::fromStdString(path.string()));
    ASSERT_TRUE(recorder->hasCaptureSession());
    ASSERT_TRUE(recorder->hasAudioEffectFileWriter());
    EXPECT_FALSE(recorder->recording());
    EXPECT_FALSE(recorder->zeroFillToFirstVideoFrame());

    const double firstFrame = HostNow();
    recorder->startCapturingAudioWithFirstVideoFrameHostTime(firstFrame);
    EXPECT_TRUE(recorder->recording());
    EXPECT_EQ(recorder->firstVideoFrameHostTime(), firstFrame);
    std::this_thread::sleep_for(std::chrono::milliseconds(400));
    EXPECT_TRUE(recorder->withAudioEffectFileWriter([](QAudioEffectFileWriter *w) { return w->hasExtAudioFile(); }));

    std::atomic<double> completedAt{0}, writerClosedAt{0};
    std::atomic<bool> recordingAtCompletion{true};
    const double stopCalled = HostNow();
    const bool hadWriter = recorder->stopRecordingSessionAfterMicroseconds(11111, [&] {
        recordingAtCompletion = recorder->recording();
        completedAt = HostNow();
    });
    const double stopReturned = HostNow();
    EXPECT_TRUE(hadWriter);
    EXPECT_GE(stopReturned - stopCalled, 0.011111);
    EXPECT_FALSE(recorder->hasCaptureSession());     // the sound has ended
    EXPECT_TRUE(recorder->hasAudioEffectFileWriter()); // but the file is not closed yet
    EXPECT_FALSE(fs::exists(path));                    // and not at its name before it is complete
    EXPECT_TRUE(recorder->recording());

    ASSERT_TRUE(WaitDraining(
        [&] {
            if (writerClosedAt == 0 && !recorder->hasAudioEffectFileWriter())
                writerClosedAt = HostNow();
            return completedAt != 0;
        },
        30));
    EXPECT_GE(writerClosedAt.load(), stopReturned + 0.95);
    EXPECT_LE(writerClosedAt.load(), completedAt.load());
    EXPECT_FALSE(recordingAtCompletion.load());
    EXPECT_FALSE(recorder->recording());

    SoundFile sound = ReadSound(path);
    ASSERT_TRUE(sound.opened);
    EXPECT_EQ(sound.info.format & (SF_FORMAT_TYPEMASK | SF_FORMAT_SUBMASK), SF_FORMAT_AIFF | SF_FORMAT_PCM_16);
    EXPECT_EQ(sound.info.channels, 2);
    EXPECT_EQ(sound.info.samplerate, 48000);
    // As long as the capture ran (from the first frame to the session's stop), within 0.1 s.
    const double seconds = double(sound.info.frames) / 48000.0;
    EXPECT_GT(seconds, stopCalled - firstFrame - 0.1);
    EXPECT_LT(seconds, stopReturned - firstFrame + 0.1);
    for (size_t n = 0; n < size_t(sound.info.frames); n += 101) {
        ASSERT_EQ(sound.samples[n * 2], ToneLeft(n)) << n;
        ASSERT_EQ(sound.samples[n * 2 + 1], short(std::lrint(0.125f * std::sin(2.0 * M_PI * double(n % 48) / 48.0) * 32768.0f)));
    }
    EXPECT_TRUE(errors.shown.isEmpty());
}

TEST(QAudioFileRecorder, ZeroFillPutsSilenceBetweenTheFirstFrameAndTheFirstSound) {
    ScopedEnvironment microphone("LUMORA_TEST_MICROPHONE", "1");
    const fs::path path = Home() / "zero-filled.aiff";
    auto recorder = QAudioFileRecorder::audioFileRecorderWithOutputFileName(QString::fromStdString(path.string()));
    recorder->setZeroFillToFirstVideoFrame(true);
    // The first frame was half a second before the capture starts.
    const double firstFrame = HostNow() - 0.5;
    recorder->startCapturingAudioWithFirstVideoFrameHostTime(firstFrame);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    recorder->stopRecordingSession();

    SoundFile sound = ReadSound(path);
    ASSERT_TRUE(sound.opened);
    size_t silent = 0;
    while (silent < size_t(sound.info.frames) && sound.samples[silent * 2] == 0 && sound.samples[silent * 2 + 1] == 0)
        ++silent;
    // The tone's own first sample is 0: the silence is the rest.
    const size_t zeroFill = silent - 1;
    EXPECT_GE(zeroFill, size_t(24000));
    EXPECT_LE(zeroFill, size_t(24000 + 0.2 * 48000));
    ASSERT_GT(size_t(sound.info.frames), silent + 480);
    for (size_t n = 0; n < 480; ++n)
        ASSERT_EQ(sound.samples[(zeroFill + n) * 2], ToneLeft(n)) << n;
}

TEST(QAudioFileRecorder, OnlyAChangeOfChannelsOrRateReinitialisesTheUnit) {
    ScopedEnvironment microphone("LUMORA_TEST_MICROPHONE", "1");
    auto recorder = QAudioFileRecorder::audioFileRecorderWithOutputFileName(
        QString::fromStdString((Home() / "formats.aiff").string()));
    ASSERT_TRUE(recorder->hasAudioEffectFileWriter());
    auto writerFormat = [&] {
        return recorder->withAudioEffectFileWriter([](QAudioEffectFileWriter *w) { return w->inputASBD(); });
    };
    struct Case {
        const char *what;
        AudioCaptureFormatDescription format;
        UInt32 channels;
        double rate;
        UInt32 bytesPerPacket;
    };
    for (Case c : {Case{"first format", Format(1, 44100), 1, 44100, 4},
                   Case{"another field only", Format(1, 44100, 8), 1, 44100, 4},
                   Case{"one to two channels", Format(2, 44100), 2, 44100, 4},
                   Case{"another rate", Format(2, 48000), 2, 48000, 4}}) {
        SCOPED_TRACE(c.what);
        recorder->handleAudioInputFormatChange(c.format);
        AudioStreamBasicDescription now = writerFormat();
        EXPECT_EQ(now.mChannelsPerFrame, c.channels);
        EXPECT_EQ(now.mSampleRate, c.rate);
        EXPECT_EQ(now.mBytesPerPacket, c.bytesPerPacket);
        EXPECT_TRUE(recorder->sameAudioInputFormat(c.format.streamDescription));
    }
    // A format the unit refuses leaves no current format.
    AudioCaptureFormatDescription interleaved = Format(3, 48000);
    interleaved.streamDescription.mFormatFlags &= ~kAudioFormatFlagIsNonInterleaved;
    recorder->handleAudioInputFormatChange(interleaved);
    EXPECT_FALSE(recorder->sameAudioInputFormat(Format(2, 48000).streamDescription));
    EXPECT_FALSE(recorder->sameAudioInputFormat(interleaved.streamDescription));
}

TEST(QAudioFileRecorder, WithoutASoundInputDeviceNothingStartsAndTheStopStillCompletes) {
    ScopedEnvironment noMicrophone("LUMORA_TEST_MICROPHONE", nullptr);
    ScopedEnvironment device("LUMORA_SOUND_INPUT_DEVICE", "hw:CARD=NoSuchCard");
    Errors errors;
    const fs::path path = Home() / "silent.aiff";
    auto recorder = QAudioFileRecorder::audioFileRecorderWithOutputFileName(QString::fromStdString(path.string()));
    EXPECT_FALSE(recorder->hasCaptureSession());
    EXPECT_FALSE(recorder->hasAudioEffectFileWriter());
    {
        std::lock_guard<std::mutex> locked(errors.lock);
        ASSERT_EQ(errors.shown.size(), 1);
        EXPECT_TRUE(errors.shown[0].contains("cannot open sound input device \"hw:CARD=NoSuchCard\"")) << errors.shown[0].toStdString();
    }
    recorder->startCapturingAudioWithFirstVideoFrameHostTime(HostNow());
    EXPECT_FALSE(recorder->recording());
    std::atomic<bool> completed{false};
    EXPECT_FALSE(recorder->stopRecordingSessionAfterMicroseconds(11111, [&] { completed = true; }));
    EXPECT_TRUE(WaitDraining([&] { return completed.load(); }, 30));
    EXPECT_FALSE(fs::exists(path));
    // A device the user picks is opened in place of the default one.
    recorder->setAudioDeviceID("null");
    EXPECT_TRUE(recorder->startRecordingSession(QUrl::fromLocalFile(QString::fromStdString(path.string())), false));
    EXPECT_TRUE(recorder->hasCaptureSession());
    EXPECT_TRUE(recorder->stopRecordingSession());
}
