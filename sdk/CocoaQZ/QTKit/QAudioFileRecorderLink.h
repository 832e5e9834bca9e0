// The microphone recorder (QAudioFileRecorder) as the movie recording controller's sound
// outlet. Each recording session gets a recorder of its own (on the same device): the
// previous one may still be closing its file a second after its stop, and its delayed close
// must never reach the next recording's file.
#pragma once

#include "QAudioFileRecorderProtocol.h"

#include <CocoaQZ/Audio/QAudioFileRecorder.h>

#include <memory>

class QAudioFileRecorderLink : public QAudioFileRecorderProtocol {
public:
    explicit QAudioFileRecorderLink(std::shared_ptr<QAudioFileRecorder> recorder = QAudioFileRecorder::audioFileRecorder())
        : mRecorder(std::move(recorder)) {}

    bool startRecordingSession(const QUrl &url, bool startAudioCapture) override {
        std::shared_ptr<QAudioFileRecorder> fresh = QAudioFileRecorder::audioFileRecorder();
        if (!fresh) return false;
        if (mRecorder) fresh->setAudioDeviceID(mRecorder->audioDeviceID());
        mRecorder = std::move(fresh);  // the previous recorder lives on until its close has run
        return mRecorder->startRecordingSession(url, startAudioCapture);
    }
    void startCapturingAudioWithFirstVideoFrameHostTime(double hostTime) override {
        if (mRecorder) mRecorder->startCapturingAudioWithFirstVideoFrameHostTime(hostTime);
    }
    bool recording() const override { return mRecorder && mRecorder->recording(); }
    double firstVideoFrameHostTime() const override { return mRecorder ? mRecorder->firstVideoFrameHostTime() : 0.0; }
    void setFirstVideoFrameHostTime(double hostTime) override {
        if (mRecorder) mRecorder->setFirstVideoFrameHostTime(hostTime);
    }
    bool stopRecordingSessionAfterMicroseconds(uint32_t microseconds, std::function<void()> completion) override {
        if (!mRecorder) return false;
        return mRecorder->stopRecordingSessionAfterMicroseconds(microseconds, std::move(completion));
    }
    const std::shared_ptr<QAudioFileRecorder> &recorder() const { return mRecorder; }

private:
    std::shared_ptr<QAudioFileRecorder> mRecorder;
};
