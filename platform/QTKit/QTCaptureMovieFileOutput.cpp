#include <QTKit/QTCaptureMovieFileOutput.h>

#include "MovieFileWriter.h"

#include <QuickTime/MacMemory.h>
#include <QuickTime/Movies.h>

#include <syslog.h>

struct QTCaptureMovieFileOutput::Recording {
    QString path;
    lumora::qtkit::MovieFileWriter writer;
    bool opened = false;
    std::mutex writing;  // the frame being written (the capture thread) against the finish
};

namespace {
QTCaptureError WriterError(OSErr err, const QString &path) {
    QTCaptureError error;
    error.code = err;
    error.localizedDescription = err == dupFNErr ? QStringLiteral("The file \"%1\" already exists.").arg(path)
                                                 : QStringLiteral("The movie \"%1\" could not be written (%2).").arg(path).arg(err);
    return error;
}
}  // namespace

QTCaptureMovieFileOutput::QTCaptureMovieFileOutput() = default;

QTCaptureMovieFileOutput::~QTCaptureMovieFileOutput() {
    std::shared_ptr<Recording> recording;
    {
        std::lock_guard guard(mLock);
        recording = std::move(mRecording);
        mDelegate = nullptr;
    }
    if (recording) {
        std::lock_guard writing(recording->writing);
        if (recording->opened) recording->writer.Finish();
    }
}

QString QTCaptureMovieFileOutput::outputFileURL() const {
    std::lock_guard guard(mLock);
    return mRecording ? mRecording->path : QString();
}

protocol_QTCaptureFileOutputDelegate *QTCaptureMovieFileOutput::delegate() const {
    std::lock_guard guard(mLock);
    return mDelegate;
}

void QTCaptureMovieFileOutput::setDelegate(protocol_QTCaptureFileOutputDelegate *delegate) {
    std::lock_guard guard(mLock);
    mDelegate = delegate;
}

uint32_t QTCaptureMovieFileOutput::wantedPixelFormat() const { return kCVPixelFormatType_422YpCbCr8; }

void QTCaptureMovieFileOutput::recordToOutputFileURL(const QString &path) {
    std::shared_ptr<Recording> previous;
    {
        std::lock_guard guard(mLock);
        previous = std::move(mRecording);
        if (!path.isEmpty()) {
            mRecording = std::make_shared<Recording>();
            mRecording->path = path;
        }
    }
    if (previous) finish(std::move(previous), {});
}

void QTCaptureMovieFileOutput::sessionStopped() { recordToOutputFileURL(QString()); }

void QTCaptureMovieFileOutput::finish(std::shared_ptr<Recording> recording, QTCaptureError error) {
    protocol_QTCaptureFileOutputDelegate *target = delegate();
    if (target != nullptr) target->captureOutputWillFinishRecordingToOutputFileAtURL(this, recording->path, error);
    {
        std::lock_guard writing(recording->writing);
        if (!error) {
            const OSErr err = recording->opened ? recording->writer.Finish() : OSErr(noMovieFound);
            if (err != noErr) error = WriterError(err, recording->path);
        }
    }
    if (error) syslog(LOG_WARNING, "QTCaptureMovieFileOutput: %s", error.localizedDescription.toUtf8().constData());
    target = delegate();
    if (target != nullptr) target->captureOutputDidFinishRecordingToOutputFileAtURL(this, recording->path, error);
}

void QTCaptureMovieFileOutput::deliverFrame(CVPixelBufferRef buffer, const QTSampleBuffer &sample,
                                            QTCaptureConnection *connection) {
    std::shared_ptr<Recording> recording;
    {
        std::lock_guard guard(mLock);
        recording = mRecording;
        if (!recording) return;
    }
    std::unique_lock writing(recording->writing);
    {
        std::lock_guard guard(mLock);
        if (mRecording != recording) return;  // ended meanwhile
    }
    bool started = false;
    OSErr err = noErr;
    if (!recording->opened) {
        err = recording->writer.Open(recording->path.toStdString(), int(CVPixelBufferGetWidth(buffer)),
                                     int(CVPixelBufferGetHeight(buffer)));
        recording->opened = err == noErr;
        started = recording->opened;
    }
    if (err == noErr) {
        CVPixelBufferLockBaseAddress(buffer, kCVPixelBufferLock_ReadOnly);
        err = recording->writer.Write(static_cast<const uint8_t *>(CVPixelBufferGetBaseAddress(buffer)),
                                      CVPixelBufferGetBytesPerRow(buffer), sample.captureMicroseconds);
        CVPixelBufferUnlockBaseAddress(buffer, kCVPixelBufferLock_ReadOnly);
    }
    const QString path = recording->path;
    writing.unlock();
    if (started) {
        protocol_QTCaptureFileOutputDelegate *target = delegate();
        const std::vector<QTCaptureConnection *> connections{connection};
        if (target != nullptr) {
            target->captureOutputWillStartRecordingToOutputFileAtURL(this, path, connections);
            target->captureOutputDidStartRecordingToOutputFileAtURL(this, path, connections);
        }
    }
    if (err != noErr) {
        std::shared_ptr<Recording> failed;
        {
            std::lock_guard guard(mLock);
            if (mRecording == recording) failed = std::move(mRecording);
        }
        if (failed) {
            QTCaptureError error = WriterError(err, path);
            // What was written up to the failure is kept, complete, under its name.
            if (failed->opened && failed->writer.framesWritten() > 0 && failed->writer.Finish() == noErr)
                error.recordingSuccessfullyFinished = true;
            failed->opened = false;
            finish(std::move(failed), error);
        }
    }
}

bool import_QTCaptureMovieFileOutput() { return import_QTCaptureSession(); }
