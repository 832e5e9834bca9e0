#include <CoreAudio/AudioCapture.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <mutex>
#include <thread>
#include <vector>

namespace {

struct ScopedEnvironment {
    const char *name;
    ScopedEnvironment(const char *n, const char *value) : name(n) { setenv(n, value, 1); }
    ~ScopedEnvironment() { unsetenv(name); }
};

struct Collected {
    std::mutex lock;
    std::vector<float> left, right;
    std::vector<double> times;
    std::vector<UInt32> counts;
};

void Collect(AudioCaptureSession &session, Collected &out, double seconds) {
    ASSERT_TRUE(session.startRunning([&](const AudioCaptureSampleBuffer &buffer) {
        std::lock_guard<std::mutex> locked(out.lock);
        ASSERT_EQ(buffer.bufferList->mNumberBuffers, 2u);
        for (UInt32 c = 0; c < 2; ++c) {
            EXPECT_EQ(reinterpret_cast<uintptr_t>(buffer.bufferList->mBuffers[c].mData) % 16, 0u);
            EXPECT_EQ(buffer.bufferList->mBuffers[c].mDataByteSize, buffer.numberOfSamples * 4);
        }
        const float *l = static_cast<const float *>(buffer.bufferList->mBuffers[0].mData);
        const float *r = static_cast<const float *>(buffer.bufferList->mBuffers[1].mData);
        out.left.insert(out.left.end(), l, l + buffer.numberOfSamples);
        out.right.insert(out.right.end(), r, r + buffer.numberOfSamples);
        out.times.push_back(buffer.presentationTimeSeconds);
        out.counts.push_back(buffer.numberOfSamples);
    }));
    EXPECT_FALSE(session.startRunning(nullptr)); // already running
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
    session.stopRunning();
    session.stopRunning();
    EXPECT_FALSE(session.isRunning());
}

} // namespace

TEST(AudioCapture, TheTestMicrophoneGivesItsToneInRealTime) {
    ScopedEnvironment on("LUMORA_TEST_MICROPHONE", "1");
    EXPECT_EQ(AudioCaptureDefaultInputDeviceID(), kAudioCaptureTestMicrophoneID);
    auto devices = AudioCaptureCopyInputDevices();
    ASSERT_FALSE(devices.empty());
    EXPECT_EQ(devices.front().uniqueID, kAudioCaptureTestMicrophoneID);

    std::string error;
    auto session = AudioCaptureSession::Open(kAudioCaptureTestMicrophoneID, &error);
    ASSERT_TRUE(session) << error;
    const AudioStreamBasicDescription &d = session->formatDescription().streamDescription;
    EXPECT_EQ(d.mSampleRate, 48000.0);
    EXPECT_EQ(d.mChannelsPerFrame, 2u);
    EXPECT_EQ(d.mFormatFlags, UInt32(kAudioFormatFlagsCanonicalNonInterleaved));
    EXPECT_FALSE(session->formatDescription().channelLayout.empty());

    Collected got;
    const auto began = std::chrono::steady_clock::now();
    Collect(*session, got, 0.3);
    const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
    // Paced by the clock: never more than the elapsed time's worth (plus one buffer).
    EXPECT_LE(double(got.left.size()), elapsed * 48000 + 480);
    ASSERT_GE(got.left.size(), 480u);
    for (size_t n = 0; n < got.left.size(); n += 97) {
        const float s = float(std::sin(2.0 * M_PI * double(n % 48) / 48.0));
        ASSERT_EQ(got.left[n], 0.25f * s) << n;
        ASSERT_EQ(got.right[n], 0.125f * s) << n;
    }
    // Time stamps follow the sample count exactly.
    double frames = 0;
    for (size_t i = 0; i < got.times.size(); ++i) {
        EXPECT_NEAR(got.times[i] - got.times[0], frames / 48000.0, 1e-9);
        frames += got.counts[i];
    }
}

TEST(AudioCapture, ALSANullPluginCapturesSilencePacedByTheClock) {
    std::string error;
    auto session = AudioCaptureSession::Open("null", &error);
    ASSERT_TRUE(session) << error;
    Collected got;
    const auto began = std::chrono::steady_clock::now();
    Collect(*session, got, 0.25);
    const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
    EXPECT_GT(got.left.size(), 0u);
    EXPECT_LE(double(got.left.size()), elapsed * 48000 + 480);
    for (float s : got.left)
        ASSERT_EQ(s, 0.0f);
}

TEST(AudioCapture, AMissingDeviceIsAClearError) {
    struct Case {
        const char *id;
        const char *mentions;
    };
    unsetenv("LUMORA_TEST_MICROPHONE");
    for (Case c : {Case{"hw:CARD=NoSuchCard", "cannot open sound input device \"hw:CARD=NoSuchCard\""},
                   Case{"default", "default"}, Case{kAudioCaptureTestMicrophoneID, "LUMORA_TEST_MICROPHONE"},
                   Case{"", "no sound input device"}}) {
        SCOPED_TRACE(c.id);
        std::string error;
        auto session = AudioCaptureSession::Open(c.id, &error);
        if (std::string(c.id) == "default" && session)
            continue; // a machine with sound hardware
        EXPECT_FALSE(session);
        EXPECT_NE(error.find(c.mentions), std::string::npos) << error;
    }
}
