// What the movie recording controller asks of the microphone recorder (QAudioFileRecorder):
// a session writing an AIFF file, capture started at the first video frame, and a stop that
// closes the file a little later and then runs a completion on the main queue.
#pragma once

#include <QUrl>

#include <cstdint>
#include <functional>

class QAudioFileRecorderProtocol {
public:
    virtual ~QAudioFileRecorderProtocol() = default;
    // Prepares the sound file at url (and captures at once when startAudioCapture); false
    // when the session cannot be opened.
    virtual bool startRecordingSession(const QUrl &url, bool startAudioCapture) = 0;
    // Starts capturing; samples before the first video frame's host time (seconds) are not
    // written.
    virtual void startCapturingAudioWithFirstVideoFrameHostTime(double hostTime) = 0;
    virtual bool recording() const = 0;
    virtual double firstVideoFrameHostTime() const = 0;
    virtual void setFirstVideoFrameHostTime(double hostTime) = 0;
    // Stops capture after the delay and closes the file; the completion runs on the main
    // queue once the file is closed (also when there was no file). Answers whether a file
    // was being written.
    virtual bool stopRecordingSessionAfterMicroseconds(uint32_t microseconds, std::function<void()> completion) = 0;
};
