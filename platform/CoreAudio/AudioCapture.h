// Sound input: the list of capture devices, and a capture session that delivers the sound of
// one device as buffers of 32-bit float, one buffer per channel, stamped on the host clock.
//
// Devices:
// - "lumora-test-microphone" ("Lumora Test Microphone"), listed first and the default when the
//   environment variable LUMORA_TEST_MICROPHONE is 1: 48 kHz stereo, a 1 kHz sine at
//   amplitude 0.25 on the left and 0.125 on the right, in 10 ms buffers paced by the clock;
//   sample n of the left channel is exactly 0.25 * sin(2 pi 1000 n / 48000) in float.
// - ALSA capture PCMs: the ones ALSA's name hints list for input, and any PCM name given
//   ("default", "null", "hw:1,0", "dsnoop:..."). The default device is the one named by
//   LUMORA_SOUND_INPUT_DEVICE, else "default". A PCM is read at 48 kHz stereo (ALSA's plug
//   layer converts), in 10 ms periods; a source that answers faster than real time (ALSA's
//   null plugin) is paced by the clock.
//
// A session's buffers come on its own capture thread, one at a time, in order.
#pragma once

#include <CoreAudio/CoreAudioTypes.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

extern const char *const kAudioCaptureTestMicrophoneID;

struct AudioCaptureDeviceInfo {
    std::string uniqueID;
    std::string localizedName;
};

// The input devices known now (ALSA may list none in a container).
std::vector<AudioCaptureDeviceInfo> AudioCaptureCopyInputDevices();
// The unique id of the default input device (see above).
std::string AudioCaptureDefaultInputDeviceID();

// The format of the buffers: the stream description and the channel layout's bytes (an
// AudioChannelLayout).
struct AudioCaptureFormatDescription {
    AudioStreamBasicDescription streamDescription{};
    std::vector<UInt8> channelLayout;
};

// One buffer of sound: the list is valid only during the callback. The presentation time is
// the host time (seconds on CLOCK_MONOTONIC) of its first sample.
struct AudioCaptureSampleBuffer {
    const AudioCaptureFormatDescription *formatDescription = nullptr;
    const AudioBufferList *bufferList = nullptr;
    UInt32 numberOfSamples = 0;
    Float64 presentationTimeSeconds = 0.0;
};

class AudioCaptureSession {
public:
    using Callback = std::function<void(const AudioCaptureSampleBuffer &)>;

    // Opens the device; null with a readable reason in *error when it does not exist or cannot
    // be opened (no sound hardware, busy, refuses the format).
    static std::unique_ptr<AudioCaptureSession> Open(const std::string &deviceID, std::string *error);
    virtual ~AudioCaptureSession();

    // Starts the capture thread; false when already running.
    bool startRunning(Callback callback);
    // Stops and joins the capture thread (not from inside the callback). Idempotent.
    void stopRunning();
    bool isRunning() const;
    const AudioCaptureFormatDescription &formatDescription() const { return mFormat; }
    const std::string &deviceID() const { return mDeviceID; }

protected:
    AudioCaptureSession() = default;
    // Reads up to one period into the interleaved float buffer; answers the frames read (0
    // when nothing came within a short wait), or -1 when the device failed for good.
    virtual long readPeriod(float *interleaved, unsigned long frames) = 0;
    // True when the source delivers faster than real time and must be paced.
    virtual bool needsPacing() const = 0;

    AudioCaptureFormatDescription mFormat;
    std::string mDeviceID;

private:
    void run();
    struct Thread;
    std::unique_ptr<Thread> mThread;
};
