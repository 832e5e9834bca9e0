#include <CoreAudio/AudioCapture.h>
#include <CoreAudio/CoreAudioInternal.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <thread>

using namespace coreaudio_internal;

const char *const kAudioCaptureTestMicrophoneID = "lumora-test-microphone";

namespace {

constexpr unsigned kRate = 48000;
constexpr unsigned kChannels = 2;
constexpr unsigned kPeriodFrames = 480;

bool TestMicrophoneEnabled() {
    const char *value = getenv("LUMORA_TEST_MICROPHONE");
    return value && strcmp(value, "1") == 0;
}

void FillFormat(AudioCaptureFormatDescription *format) {
    AudioStreamBasicDescription &d = format->streamDescription;
    d = AudioStreamBasicDescription{};
    d.mSampleRate = kRate;
    d.mFormatID = kAudioFormatLinearPCM;
    d.mFormatFlags = kAudioFormatFlagsCanonicalNonInterleaved;
    d.mBytesPerPacket = 4;
    d.mFramesPerPacket = 1;
    d.mBytesPerFrame = 4;
    d.mChannelsPerFrame = kChannels;
    d.mBitsPerChannel = 32;
    AudioChannelLayout layout{kAudioChannelLayoutTag_Stereo, 0, 0};
    format->channelLayout.resize(sizeof layout);
    memcpy(format->channelLayout.data(), &layout, sizeof layout);
}

class TestMicrophoneSession final : public AudioCaptureSession {
public:
    TestMicrophoneSession() {
        mDeviceID = kAudioCaptureTestMicrophoneID;
        FillFormat(&mFormat);
    }
    ~TestMicrophoneSession() override { stopRunning(); }

protected:
    long readPeriod(float *interleaved, unsigned long frames) override {
        for (unsigned long i = 0; i < frames; ++i, ++mSample) {
            // The phase is reduced per 48-sample cycle so the values never lose precision.
            const double phase = 2.0 * M_PI * double(mSample % 48) / 48.0;
            const float s = float(std::sin(phase));
            interleaved[i * 2] = 0.25f * s;
            interleaved[i * 2 + 1] = 0.125f * s;
        }
        return long(frames);
    }
    bool needsPacing() const override { return true; }

private:
    unsigned long long mSample = 0;
};

class ALSACaptureSession final : public AudioCaptureSession {
public:
    ALSACaptureSession(snd_pcm_t *pcm, const std::string &name, bool paced) : mPCM(pcm), mPaced(paced) {
        mDeviceID = name;
        FillFormat(&mFormat);
    }
    ~ALSACaptureSession() override {
        stopRunning();
        snd_pcm_close(mPCM);
    }

protected:
    long readPeriod(float *interleaved, unsigned long frames) override {
        int ready = snd_pcm_wait(mPCM, 50);
        if (ready < 0) {
            if (snd_pcm_recover(mPCM, ready, 1) < 0)
                return -1;
            return 0;
        }
        if (ready == 0)
            return 0;
        snd_pcm_sframes_t got = snd_pcm_readi(mPCM, interleaved, frames);
        if (got == -EAGAIN)
            return 0;
        if (got < 0) {
            if (snd_pcm_recover(mPCM, int(got), 1) < 0)
                return -1;
            return 0;
        }
        return long(got);
    }
    bool needsPacing() const override { return mPaced; }

private:
    snd_pcm_t *mPCM;
    bool mPaced;
};

} // namespace

std::vector<AudioCaptureDeviceInfo> AudioCaptureCopyInputDevices() {
    std::vector<AudioCaptureDeviceInfo> devices;
    if (TestMicrophoneEnabled())
        devices.push_back({kAudioCaptureTestMicrophoneID, "Lumora Test Microphone"});
    QuietALSAErrors();
    void **hints = nullptr;
    if (snd_device_name_hint(-1, "pcm", &hints) == 0 && hints) {
        for (void **hint = hints; *hint; ++hint) {
            char *name = snd_device_name_get_hint(*hint, "NAME");
            char *description = snd_device_name_get_hint(*hint, "DESC");
            char *direction = snd_device_name_get_hint(*hint, "IOID");
            if (name && (!direction || strcmp(direction, "Input") == 0)) {
                std::string text = description ? description : name;
                for (char &c : text)
                    if (c == '\n')
                        c = ' ';
                devices.push_back({name, text});
            }
            free(name);
            free(description);
            free(direction);
        }
        snd_device_name_free_hint(hints);
    }
    return devices;
}

std::string AudioCaptureDefaultInputDeviceID() {
    if (TestMicrophoneEnabled())
        return kAudioCaptureTestMicrophoneID;
    return EnvironmentOr("LUMORA_SOUND_INPUT_DEVICE", "default");
}

std::unique_ptr<AudioCaptureSession> AudioCaptureSession::Open(const std::string &deviceID, std::string *error) {
    if (deviceID == kAudioCaptureTestMicrophoneID) {
        if (TestMicrophoneEnabled())
            return std::make_unique<TestMicrophoneSession>();
        if (error)
            *error = "the test microphone is off (LUMORA_TEST_MICROPHONE is not 1)";
        return nullptr;
    }
    if (deviceID.empty()) {
        if (error)
            *error = "no sound input device was named";
        return nullptr;
    }
    QuietALSAErrors();
    snd_pcm_t *pcm = nullptr;
    int status = snd_pcm_open(&pcm, deviceID.c_str(), SND_PCM_STREAM_CAPTURE, SND_PCM_NONBLOCK);
    if (status < 0) {
        if (error)
            *error = "cannot open sound input device \"" + deviceID + "\": " + snd_strerror(status);
        return nullptr;
    }
    status = snd_pcm_set_params(pcm, SND_PCM_FORMAT_FLOAT, SND_PCM_ACCESS_RW_INTERLEAVED, kChannels, kRate, 1,
                                4 * kPeriodFrames * 1000000ull / kRate);
    if (status < 0) {
        if (error)
            *error = "sound input device \"" + deviceID + "\" refuses 48 kHz stereo: " + snd_strerror(status);
        snd_pcm_close(pcm);
        return nullptr;
    }
    // A source that is not a clock of its own (the null plugin) answers at once.
    bool paced = snd_pcm_type(pcm) == SND_PCM_TYPE_NULL;
    return std::unique_ptr<AudioCaptureSession>(new ALSACaptureSession(pcm, deviceID, paced));
}

struct AudioCaptureSession::Thread {
    std::thread thread;
    std::atomic<bool> stop{false};
    Callback callback;
};

AudioCaptureSession::~AudioCaptureSession() = default;

bool AudioCaptureSession::startRunning(Callback callback) {
    if (mThread)
        return false;
    mThread = std::make_unique<Thread>();
    mThread->callback = std::move(callback);
    mThread->thread = std::thread([this] { run(); });
    return true;
}

void AudioCaptureSession::stopRunning() {
    if (!mThread)
        return;
    mThread->stop = true;
    if (mThread->thread.joinable())
        mThread->thread.join();
    mThread.reset();
}

bool AudioCaptureSession::isRunning() const { return mThread != nullptr; }

void AudioCaptureSession::run() {
    const UInt32 channels = mFormat.streamDescription.mChannelsPerFrame;
    const double rate = mFormat.streamDescription.mSampleRate;
    std::vector<float> interleaved(size_t(kPeriodFrames) * channels);
    // 16-byte aligned channel buffers.
    std::vector<float> planar(size_t(kPeriodFrames) * channels + 4);
    alignas(16) unsigned char listStorage[AudioBufferListSize(kChannels)];
    AudioBufferList *list = reinterpret_cast<AudioBufferList *>(listStorage);
    const double start = HostTimeSeconds();
    unsigned long long delivered = 0;
    while (!mThread->stop.load()) {
        long got = readPeriod(interleaved.data(), kPeriodFrames);
        if (got < 0) {
            Log("AudioCaptureSession: sound input device \"%s\" failed; capture ends", mDeviceID.c_str());
            break;
        }
        if (got == 0)
            continue;
        const double presentation = start + double(delivered) / rate;
        delivered += static_cast<unsigned long long>(got);
        if (needsPacing()) {
            // Deliver no earlier than the buffer's last sample could have been heard.
            const double due = start + double(delivered) / rate;
            while (!mThread->stop.load()) {
                const double wait = due - HostTimeSeconds();
                if (wait <= 0)
                    break;
                std::this_thread::sleep_for(std::chrono::duration<double>(std::min(wait, 0.02)));
            }
        }
        list->mNumberBuffers = channels;
        for (UInt32 c = 0; c < channels; ++c) {
            float *channel = planar.data() + size_t(c) * kPeriodFrames;
            for (long i = 0; i < got; ++i)
                channel[i] = interleaved[size_t(i) * channels + c];
            list->mBuffers[c] = AudioBuffer{1, UInt32(got) * UInt32(sizeof(float)), channel};
        }
        AudioCaptureSampleBuffer buffer;
        buffer.formatDescription = &mFormat;
        buffer.bufferList = list;
        buffer.numberOfSamples = UInt32(got);
        buffer.presentationTimeSeconds = presentation;
        if (mThread->callback)
            mThread->callback(buffer);
    }
}
