#include <CocoaQZ/Audio/QAudioFileRecorder.h>

#include <CoreX/CoreMachDebugLog.h>
#include <dispatch/dispatch.h>

#include <QApplication>
#include <QMessageBox>
#include <QMetaObject>
#include <QThread>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <exception>
#include <thread>
#include <vector>

namespace {

// Silence is written in pieces of at most this many frames.
constexpr UInt32 kZeroFillChunkFrames = 48000;

std::mutex gPresenterLock;
std::function<void(const QString &)> &Presenter() {
    static std::function<void(const QString &)> presenter;
    return presenter;
}

void DefaultPresentError(const QString &error) {
    fprintf(stderr, "QAudioFileRecorder: %s\n", error.toUtf8().constData());
    auto *application = qobject_cast<QApplication *>(QCoreApplication::instance());
    if (!application)
        return;
    QMetaObject::invokeMethod(
        application, [error] { QMessageBox::warning(nullptr, QStringLiteral("Sound Recording"), error); },
        Qt::QueuedConnection);
}

} // namespace

std::shared_ptr<QAudioFileRecorder> QAudioFileRecorder::audioFileRecorder() {
    return std::shared_ptr<QAudioFileRecorder>(new QAudioFileRecorder);
}

std::shared_ptr<QAudioFileRecorder> QAudioFileRecorder::audioFileRecorderWithOutputFileURL(const QUrl &url) {
    std::shared_ptr<QAudioFileRecorder> recorder = audioFileRecorder();
    if (url.isLocalFile() && !url.toLocalFile().isEmpty())
        recorder->startRecordingSession(url, false);
    return recorder;
}

std::shared_ptr<QAudioFileRecorder> QAudioFileRecorder::audioFileRecorderWithOutputFileName(const QString &path) {
    return audioFileRecorderWithOutputFileURL(path.isEmpty() ? QUrl() : QUrl::fromLocalFile(path));
}

QAudioFileRecorder::~QAudioFileRecorder() { stopRecordingSession(); }

void QAudioFileRecorder::setErrorPresenter(std::function<void(const QString &)> presenter) {
    std::lock_guard<std::mutex> locked(gPresenterLock);
    Presenter() = std::move(presenter);
}

void QAudioFileRecorder::presentError(const QString &error) {
    std::function<void(const QString &)> presenter;
    {
        std::lock_guard<std::mutex> locked(gPresenterLock);
        presenter = Presenter();
    }
    if (presenter)
        presenter(error);
    else
        DefaultPresentError(error);
}

bool QAudioFileRecorder::hasCaptureSession() const {
    std::lock_guard<std::recursive_mutex> locked(mLock);
    return mCaptureSession != nullptr;
}

bool QAudioFileRecorder::hasAudioEffectFileWriter() const {
    std::lock_guard<std::recursive_mutex> locked(mLock);
    return mAudioEffectFileWriter != nullptr;
}

bool QAudioFileRecorder::openCaptureSession(QString *outError) {
    mRecording = false;
    std::string deviceID = mAudioDeviceID.empty() ? AudioCaptureDefaultInputDeviceID() : mAudioDeviceID;
    std::string error;
    std::unique_ptr<AudioCaptureSession> session = AudioCaptureSession::Open(deviceID, &error);
    if (!VERIFY_TEXT(session != nullptr, " code : [self.audioDevice open:outError]")) {
        if (outError)
            *outError = QString::fromStdString(error);
        return false;
    }
    std::lock_guard<std::recursive_mutex> locked(mLock);
    mCaptureSession = std::move(session);
    return true;
}

bool QAudioFileRecorder::startRecordingSession(const QUrl &fileURL, bool startAudioCapture) {
    QString error;
    if (openCaptureSession(&error) && error.isEmpty()) {
        std::unique_ptr<QAudioEffectFileWriter> writer = QAudioEffectFileWriter::audioFileWriterWithOutputFileURL(fileURL);
        if (writer) {
            {
                std::lock_guard<std::recursive_mutex> locked(mLock);
                mAudioEffectFileWriter = std::move(writer);
            }
            if (startAudioCapture)
                startCapturingAudio();
            return true;
        }
    }
    closeCaptureSession();
    closeAudioEffectUnit();
    if (!error.isEmpty())
        presentError(error);
    return false;
}

void QAudioFileRecorder::startCapturingAudioWithFirstVideoFrameHostTime(double firstVideoFrameHostTime) {
    std::lock_guard<std::recursive_mutex> locked(mLock);
    if (!mCaptureSession)
        return;
    mFirstVideoFrameHostTime = firstVideoFrameHostTime;
    mFirstSamplePresentationTime = QTTime{};
    mRecording = true;
    mCaptureSession->startRunning([this](const AudioCaptureSampleBuffer &buffer) {
        // Nothing may leave the capture thread: a fault in one buffer loses that buffer only.
        try {
            captureOutput(buffer);
        } catch (const std::exception &exception) {
            fprintf(stderr, "QAudioFileRecorder::captureOutput exception:%s\n", exception.what());
        } catch (...) {
            fprintf(stderr, "QAudioFileRecorder::captureOutput exception:unknown\n");
        }
    });
}

void QAudioFileRecorder::closeCaptureSession() {
    std::unique_ptr<AudioCaptureSession> session;
    {
        std::lock_guard<std::recursive_mutex> locked(mLock);
        session = std::move(mCaptureSession);
    }
    // Joined outside the lock: the capture thread may be waiting for it.
    if (session)
        session->stopRunning();
    session.reset();
    setAudioInputFormat(nullptr);
}

void QAudioFileRecorder::closeAudioEffectUnit() {
    std::lock_guard<std::recursive_mutex> locked(mLock);
    if (mAudioEffectFileWriter) {
        mAudioEffectFileWriter->closeAllAndDispose();
        mAudioEffectFileWriter.reset();
    }
}

void QAudioFileRecorder::stopCapturingAudio() {
    closeCaptureSession();
    mRecording = false;
}

bool QAudioFileRecorder::stopRecordingSessionAfterMicroseconds(uint32_t microseconds, std::function<void()> completion) {
    const bool hadWriter = hasAudioEffectFileWriter();
    std::this_thread::sleep_for(std::chrono::microseconds(microseconds));
    closeCaptureSession();
    std::shared_ptr<QAudioFileRecorder> self = shared_from_this();
    dispatch_async(dispatch_get_global_queue(DISPATCH_QUEUE_PRIORITY_LOW, 0), [self, completion] {
        std::this_thread::sleep_for(std::chrono::seconds(1));
        self->closeAudioEffectUnit();
        dispatch_async(dispatch_get_main_queue(), [self, completion] {
            self->mRecording = false;
            if (completion)
                completion();
        });
    });
    return hadWriter;
}

bool QAudioFileRecorder::stopRecordingSession() {
    const bool hadWriter = hasAudioEffectFileWriter();
    closeCaptureSession();
    closeAudioEffectUnit();
    mRecording = false;
    return hadWriter;
}

void QAudioFileRecorder::setAudioInputFormat(const AudioStreamBasicDescription *description) {
    std::lock_guard<std::recursive_mutex> locked(mLock);
    if (description)
        mInputFormat = *description;
    else
        mInputFormat.reset();
}

bool QAudioFileRecorder::sameAudioInputFormat(const AudioStreamBasicDescription &description) const {
    std::lock_guard<std::recursive_mutex> locked(mLock);
    return mInputFormat && mInputFormat->mChannelsPerFrame == description.mChannelsPerFrame &&
           mInputFormat->mSampleRate == description.mSampleRate;
}

void QAudioFileRecorder::handleAudioInputFormatChange(const AudioCaptureFormatDescription &formatDescription) {
    std::lock_guard<std::recursive_mutex> locked(mLock);
    const AudioStreamBasicDescription &description = formatDescription.streamDescription;
    if (sameAudioInputFormat(description))
        return;
    if (mAudioEffectFileWriter && mAudioEffectFileWriter->initializeAudioEffectUnit(description) == 0)
        setAudioInputFormat(&description);
    else
        setAudioInputFormat(nullptr);
}

void QAudioFileRecorder::captureOutput(const AudioCaptureSampleBuffer &sampleBuffer) {
    if (!sampleBuffer.formatDescription)
        return;
    std::lock_guard<std::recursive_mutex> locked(mLock);
    handleAudioInputFormatChange(*sampleBuffer.formatDescription);
    QAudioEffectFileWriter *writer = mAudioEffectFileWriter.get();
    if (!writer)
        return;
    if (mRecording && !writer->hasExtAudioFile())
        writer->createAudioFileRecordingWithFormatDescription(*sampleBuffer.formatDescription);
    if (!writer->hasExtAudioFile() || !sampleBuffer.bufferList)
        return;
    const double t = sampleBuffer.presentationTimeSeconds;
    const double firstVideoFrame = mFirstVideoFrameHostTime.load();
    if (mZeroFillToFirstVideoFrame && mFirstSamplePresentationTime.timeValue == 0) {
        mFirstSamplePresentationTime = QTTime{std::llround(t * 1e9), 1000000000, 0};
        if (firstVideoFrame != 0.0 && t > firstVideoFrame) {
            const AudioStreamBasicDescription &format = writer->inputASBD();
            double frames = std::trunc((t - firstVideoFrame) * format.mSampleRate);
            AudioBufferList *zeros = QAudioEffectFileWriter::createOutputABLWithInputASBD(
                format, UInt32(std::min<double>(frames, kZeroFillChunkFrames)));
            if (VERIFY(zeros != nullptr)) {
                while (frames > 0) {
                    const UInt32 count = UInt32(std::min<double>(frames, kZeroFillChunkFrames));
                    for (UInt32 c = 0; c < zeros->mNumberBuffers; ++c)
                        zeros->mBuffers[c].mDataByteSize = count * format.mBytesPerFrame;
                    if (writer->writeInputABL(zeros, count, true) != 0)
                        break;
                    frames -= count;
                }
                QAudioEffectFileWriter::destroyOutputABL(zeros, format);
            }
        }
    }
    if (t >= firstVideoFrame)
        writer->writeInputABL(sampleBuffer.bufferList, sampleBuffer.numberOfSamples, true);
}

bool import_QAudioFileRecorder() { return import_QAudioEffectFileWriter() && import_CoreMachDebugLog(); }
