// The movie file output: records the session's frames into a QuickTime movie (Motion JPEG
// in a .mov container, through FFmpeg, using the QuickTime layer's compressor table), which
// the QuickTime layer's movies open.
//
// recordToOutputFileURL(path) starts a recording (the file is made at the first frame, at
// the device's frame size); an empty path ends the current one; a new path ends the current
// one and starts the next. Frames are stamped with their capture times (time scale 600).
// The movie is written to a hidden temporary file beside the target and linked to its name
// only when it is complete: a half-written movie never appears under the name, and an
// existing file of that name is never overwritten (the recording then ends with an error).
//
// Delegate calls: willStartRecording and didStartRecording (at the first frame, on the
// capture thread), willFinishRecording and didFinishRecording (on the thread that ends the
// recording, or on the capture thread when the writing fails). The error of the finish calls
// is code 0 for a complete movie; a movie that was written but ended by an error other than
// the writing carries recordingSuccessfullyFinished.
#pragma once

#include <QTKit/QTCaptureSession.h>

#include <memory>
#include <mutex>

class QTCaptureMovieFileOutput;

class protocol_QTCaptureFileOutputDelegate {
public:
    virtual ~protocol_QTCaptureFileOutputDelegate() = default;
    virtual void captureOutputWillStartRecordingToOutputFileAtURL(QTCaptureMovieFileOutput *, const QString &,
                                                                  const std::vector<QTCaptureConnection *> &) {}
    virtual void captureOutputDidStartRecordingToOutputFileAtURL(QTCaptureMovieFileOutput *, const QString &,
                                                                 const std::vector<QTCaptureConnection *> &) {}
    // Answer true to go on in a new file (never asked here: files have no size limit).
    virtual bool captureOutputShouldChangeOutputFileAtURL(QTCaptureMovieFileOutput *, const QString &,
                                                          const QTCaptureError &) {
        return true;
    }
    virtual void captureOutputMustChangeOutputFileAtURL(QTCaptureMovieFileOutput *, const QString &,
                                                        const QTCaptureError &) {}
    virtual void captureOutputWillFinishRecordingToOutputFileAtURL(QTCaptureMovieFileOutput *, const QString &,
                                                                   const QTCaptureError &) {}
    virtual void captureOutputDidFinishRecordingToOutputFileAtURL(QTCaptureMovieFileOutput *, const QString &,
                                                                  const QTCaptureError &) {}
};

class QTCaptureMovieFileOutput : public QTCaptureOutput {
public:
    QTCaptureMovieFileOutput();
    ~QTCaptureMovieFileOutput() override;

    // The file being recorded to; empty when not recording.
    QString outputFileURL() const;
    void recordToOutputFileURL(const QString &path);
    protocol_QTCaptureFileOutputDelegate *delegate() const;
    void setDelegate(protocol_QTCaptureFileOutputDelegate *delegate);

    uint32_t wantedPixelFormat() const override;
    void deliverFrame(CVPixelBufferRef buffer, const QTSampleBuffer &sample, QTCaptureConnection *connection) override;
    void sessionStopped() override;

private:
    struct Recording;
    void finish(std::shared_ptr<Recording> recording, QTCaptureError error);

    mutable std::mutex mLock;
    std::shared_ptr<Recording> mRecording;
    protocol_QTCaptureFileOutputDelegate *mDelegate = nullptr;
};

bool import_QTCaptureMovieFileOutput();
