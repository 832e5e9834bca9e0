// QAudioFileRecorder: records the microphone beside a movie recording. It owns the capture
// session of the sound input device (the default one, or the one named by audioDeviceID)
// and a QAudioEffectFileWriter, and decides which sound is written: nothing stamped before the
// first video frame, and, when zeroFillToFirstVideoFrame is on, silence from the first video
// frame up to the first sound buffer.
//
// Lifecycle: closed -> session open (startRecordingSession) -> capturing (recording; after
// startCapturingAudio...) -> session closed (stop, at once) -> writer closed (about one second
// later) -> not recording (on the main queue, then the completion runs).
//
// Threads and locks: sound buffers arrive on the capture session's thread; closing the
// capture session and closing the writer run on the calling thread or a low-priority global
// queue. All of them take the recorder's one recursive lock, so the writer is never closed
// in the middle of a buffer. The capture thread is stopped and joined outside the lock (it
// may be waiting for it). The recorder is always held by a shared pointer (its factories);
// the delayed close keeps it alive until it has run.
//
// Errors: a missing or failing sound input device writes a VERIFY line and an error alert
// (a modal message box in an application with widgets, else a log line) and start answers
// false; the movie then goes on without sound.
#pragma once

#include <CocoaQZ/Audio/QAudioEffectFileWriter.h>

#include <CoreAudio/AudioCapture.h>

#include <QString>
#include <QUrl>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>

// A QuickTime time: value / scale seconds. Zero time is value 0.
struct QTTime {
    int64_t timeValue = 0;
    int32_t timeScale = 1;
    int32_t flags = 0;
};

class QAudioFileRecorder : public std::enable_shared_from_this<QAudioFileRecorder> {
public:
    // Make a recorder and start its session for the file without capturing (the URL's local
    // file; an empty name starts nothing).
    static std::shared_ptr<QAudioFileRecorder> audioFileRecorderWithOutputFileURL(const QUrl &url);
    static std::shared_ptr<QAudioFileRecorder> audioFileRecorderWithOutputFileName(const QString &path);
    // A recorder that has started nothing (the device can be chosen before starting).
    static std::shared_ptr<QAudioFileRecorder> audioFileRecorder();
    ~QAudioFileRecorder();
    QAudioFileRecorder(const QAudioFileRecorder &) = delete;
    QAudioFileRecorder &operator=(const QAudioFileRecorder &) = delete;

    // The sound input device to open (AudioCaptureCopyInputDevices); empty for the default.
    void setAudioDeviceID(const std::string &deviceID) { mAudioDeviceID = deviceID; }
    const std::string &audioDeviceID() const { return mAudioDeviceID; }

    bool startRecordingSession(const QUrl &fileURL, bool startAudioCapture);
    void startCapturingAudioWithFirstVideoFrameHostTime(double firstVideoFrameHostTime);
    void startCapturingAudio() { startCapturingAudioWithFirstVideoFrameHostTime(0.0); }
    // Waits the microseconds, stops and closes the capture session; one second later, on a
    // low-priority global queue, closes the writer (the file is complete and at its name from
    // then on); then, on the main queue, clears recording and runs the completion. Answers
    // whether a writer existed when the call began.
    bool stopRecordingSessionAfterMicroseconds(uint32_t microseconds, std::function<void()> completion);
    // The same at once, on the calling thread, without completion.
    bool stopRecordingSession();
    void stopCapturingAudio();
    bool openCaptureSession(QString *outError);
    void closeCaptureSession();
    void closeAudioEffectUnit();

    // The capture session's delegate callback (capture thread).
    void captureOutput(const AudioCaptureSampleBuffer &sampleBuffer);
    void handleAudioInputFormatChange(const AudioCaptureFormatDescription &formatDescription);
    void setAudioInputFormat(const AudioStreamBasicDescription *description);
    bool sameAudioInputFormat(const AudioStreamBasicDescription &description) const;

    bool recording() const { return mRecording.load(); }
    double firstVideoFrameHostTime() const { return mFirstVideoFrameHostTime.load(); }
    void setFirstVideoFrameHostTime(double seconds) { mFirstVideoFrameHostTime.store(seconds); }
    bool zeroFillToFirstVideoFrame() const { return mZeroFillToFirstVideoFrame.load(); }
    void setZeroFillToFirstVideoFrame(bool on) { mZeroFillToFirstVideoFrame.store(on); }
    bool hasCaptureSession() const;
    bool hasAudioEffectFileWriter() const;
    // Under the recorder's lock, for callers that inspect the writer (tests).
    template <typename F> auto withAudioEffectFileWriter(F &&f) const {
        std::lock_guard<std::recursive_mutex> locked(mLock);
        return f(mAudioEffectFileWriter.get());
    }

    // How errors are shown; the default is described above. Tests may replace it.
    static void setErrorPresenter(std::function<void(const QString &)> presenter);

private:
    QAudioFileRecorder() = default;
    void presentError(const QString &error);

    mutable std::recursive_mutex mLock;
    std::string mAudioDeviceID;
    std::unique_ptr<AudioCaptureSession> mCaptureSession;
    std::unique_ptr<QAudioEffectFileWriter> mAudioEffectFileWriter;
    std::optional<AudioStreamBasicDescription> mInputFormat;
    std::atomic<bool> mRecording{false};
    QTTime mFirstSamplePresentationTime;
    std::atomic<double> mFirstVideoFrameHostTime{0.0};
    std::atomic<bool> mZeroFillToFirstVideoFrame{false};
};

bool import_QAudioFileRecorder();
