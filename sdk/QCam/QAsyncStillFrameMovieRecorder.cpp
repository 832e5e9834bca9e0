#include "QAsyncStillFrameMovieRecorder.h"

#include "QImageCompressionSettings.h"
#include "QStandardCompressionComponent.h"

#include <CoreX/CoreMachDebugLog.h>
#include <Foundation/NSException.h>
#include <QTKit/MovieFileWriter.h>
#include <QuickTime/Movies.h>

#include <cmath>
#include <utility>

namespace {

// Seconds as units of the time scale, truncated; negative times are 0.
int64_t TimeValueOf(double seconds, int scale) {
    if (!std::isfinite(seconds) || seconds < 0.0) return 0;
    return int64_t(seconds * scale);
}

CodecQ QualityOf(QImageCompressionSettings &settings) {
    SCSpatialSettings spatial{};
    if (settings.component() != nullptr && settings.component()->getSpatialSettings(&spatial))
        return spatial.spatialQuality;
    return codecHighQuality;
}

}  // namespace

// MARK: captured frame

std::shared_ptr<QAsyncCapturedFrame> QAsyncCapturedFrame::frameWithAsyncFrameSource(
    std::shared_ptr<AsyncFrameSourceProtocol> source) {
    return std::make_shared<QAsyncCapturedFrame>(std::move(source));
}

QAsyncCapturedFrame::QAsyncCapturedFrame(std::shared_ptr<AsyncFrameSourceProtocol> source)
    : mFrameSource(std::move(source)) {}

QAsyncCapturedFrame::~QAsyncCapturedFrame() { reclaimFrameResources(); }

std::shared_ptr<AsyncFrameSourceProtocol> QAsyncCapturedFrame::frameSource() {
    std::lock_guard<std::mutex> lock(mMutex);
    return mFrameSource;
}

CVPixelBufferRef QAsyncCapturedFrame::copyFramePixelBuffer() {
    const std::shared_ptr<AsyncFrameSourceProtocol> source = frameSource();
    return source ? source->asyncEndCaptureFrameCopyPixelBuffer() : nullptr;
}

double QAsyncCapturedFrame::frameTimeStamp() {
    const std::shared_ptr<AsyncFrameSourceProtocol> source = frameSource();
    return source ? source->captureFrameTimeStamp() : 0.0;
}

void QAsyncCapturedFrame::reclaimFrameResources() {
    std::shared_ptr<AsyncFrameSourceProtocol> source;
    {
        std::lock_guard<std::mutex> lock(mMutex);
        source = std::move(mFrameSource);
        mFrameSource.reset();
    }
    if (source) source->asyncReuseCaptureFrame();
}

// MARK: movie writer

QMovieFrameWriter::QMovieFrameWriter(const QString &path, uint32_t pixelsWide, uint32_t pixelsHigh,
                                     int movieTimeScale, CodecType codec, CodecQ quality)
    : mPixelsWide(pixelsWide), mPixelsHigh(pixelsHigh), mQueue(dispatch_queue_create("QMovieFrameWriter", nullptr)) {
    std::lock_guard<std::mutex> lock(mMutex);
    dispatch_sync(mQueue, [&] {
        auto movie = std::make_unique<lumora::qtkit::MovieFileWriter>();
        lumora::qtkit::MovieFileWriter::Format format;
        format.pixelFormat = 'BGRA';
        format.codec = codec;
        format.timeScale = movieTimeScale > 0 ? movieTimeScale : defaultMovieTimeScale();
        format.quality = quality;
        mOpenError = movie->Open(path.toStdString(), int(pixelsWide), int(pixelsHigh), format);
        if (mOpenError == noErr) mMovie = std::move(movie);
        else CoreMachDebugLog("QMovieFrameWriter: the movie %s cannot be made (%d)\n", qPrintable(path), int(mOpenError));
    });
}

QMovieFrameWriter::~QMovieFrameWriter() {
    closeMovie();
    dispatch_release(mQueue);
}

bool QMovieFrameWriter::writeFrameToEndOfMovie(CVPixelBufferRef pixels, int64_t time, int64_t duration) {
    std::lock_guard<std::mutex> lock(mMutex);
    if (!mMovie || pixels == nullptr || duration <= 0) return false;
    if (CVPixelBufferGetPixelFormatType(pixels) != 'BGRA' || CVPixelBufferGetWidth(pixels) != mPixelsWide ||
        CVPixelBufferGetHeight(pixels) != mPixelsHigh)
        return false;
    bool written = false;
    dispatch_sync(mQueue, [&] {
        CVPixelBufferLockBaseAddress(pixels, kCVPixelBufferLock_ReadOnly);
        const OSErr err = mMovie->WriteFrame(static_cast<const uint8_t *>(CVPixelBufferGetBaseAddress(pixels)),
                                             CVPixelBufferGetBytesPerRow(pixels), time, duration);
        CVPixelBufferUnlockBaseAddress(pixels, kCVPixelBufferLock_ReadOnly);
        if (err != noErr) CoreMachDebugLog(" code : AddMediaSampleFromEncodedFrame(mMedia, frame, NULL) %d\n", int(err));
        written = err == noErr;
    });
    return written;
}

OSErr QMovieFrameWriter::closeMovie() {
    std::lock_guard<std::mutex> lock(mMutex);
    if (!mMovie) return noErr;
    OSErr err = noErr;
    dispatch_sync(mQueue, [&] {
        err = mMovie->Finish();
        if (err != noErr && err != noMovieFound) CoreMachDebugLog(" code : CloseMovieStorage(mDataHandler) %d\n", int(err));
        mMovie.reset();
    });
    return err;
}

// MARK: compressor

QAsyncFrameCompressor::QAsyncFrameCompressor(QImageCompressionSettings &settings)
    : mFrameDuration(settings.frameRate() > 0.0 ? 1.0 / settings.frameRate() : 1.0 / 30.0),
      mTimeScale(settings.timeScale() > 0 ? settings.timeScale() : QMovieFrameWriter::defaultMovieTimeScale()),
      mQueue(dispatch_queue_create("QAsyncFrameCompressor", nullptr)) {}

QAsyncFrameCompressor::~QAsyncFrameCompressor() {
    dispatch_sync(mQueue, [] {});
    dispatch_release(mQueue);
}

bool QAsyncFrameCompressor::compressInputFrameAsynchronous(std::shared_ptr<QAsyncEncoderFrameProtocol> frame) {
    if (!frame) return true;
    dispatch_async(mQueue, [this, frame] { compressFrameInBackgroundWithAutoreleasePool(frame); });
    return true;
}

void QAsyncFrameCompressor::compressFrameInBackgroundWithAutoreleasePool(
    const std::shared_ptr<QAsyncEncoderFrameProtocol> &frame) {
    try {
        compressFrameOnCurrentThread(frame);
    } catch (const NSException &exception) {
        // One bad frame must not end the process: logged, its reader given back, dropped.
        NSLog(QStringLiteral("QAsyncFrameCompressor::compressFrameInBackgroundWithAutoreleasePool: exception:%1")
                  .arg(exception.description()));
        frame->reclaimFrameResources();
    } catch (const std::exception &exception) {
        NSLog(QStringLiteral("QAsyncFrameCompressor::compressFrameInBackgroundWithAutoreleasePool: exception:%1")
                  .arg(QString::fromUtf8(exception.what())));
        frame->reclaimFrameResources();
    }
}

void QAsyncFrameCompressor::compressFrameOnCurrentThread(const std::shared_ptr<QAsyncEncoderFrameProtocol> &frame) {
    std::lock_guard<std::recursive_mutex> lock(mMutex);
    CVPixelBufferRef pixels = frame->copyFramePixelBuffer();
    if (pixels == nullptr) {
        frame->reclaimFrameResources();
        return;
    }
    const double timeStamp = frame->frameTimeStamp();
    // The pixels are copied out of the reader's image, so the reader returns to the pool at
    // once; the encoder works from the pixel buffer.
    frame->reclaimFrameResources();
    compressionCompleteOutputFrame(pixels, TimeValueOf(timeStamp, mTimeScale), TimeValueOf(mFrameDuration, mTimeScale));
    CVPixelBufferRelease(pixels);
}

bool QAsyncFrameCompressor::flushImageCompressionQueue() {
    dispatch_sync(mQueue, [] {});
    return true;
}

// MARK: exporter

QAsyncMovieExporter::QAsyncMovieExporter(const QString &path, QImageCompressionSettings &settings)
    : QAsyncFrameCompressor(settings),
      mFrameWriter(std::make_unique<QMovieFrameWriter>(path, settings.outputFrameWidth(), settings.outputFrameHeight(),
                                                       timeScale(), settings.codecType(), QualityOf(settings))) {}

QAsyncMovieExporter::~QAsyncMovieExporter() { writeAndCloseMovie(); }

bool QAsyncMovieExporter::isOpen() const { return mFrameWriter && mFrameWriter->isOpen(); }

bool QAsyncMovieExporter::compressionCompleteOutputFrame(CVPixelBufferRef pixels, int64_t time, int64_t duration) {
    return mFrameWriter && mFrameWriter->writeFrameToEndOfMovie(pixels, time, duration);
}

void QAsyncMovieExporter::writeAndCloseMovie() {
    flushImageCompressionQueue();
    std::lock_guard<std::recursive_mutex> lock(mMutex);
    if (mFrameWriter) {
        mFrameWriter->closeMovie();
        mFrameWriter.reset();
    }
}

// MARK: recorder

QAsyncStillFrameMovieRecorder::QAsyncStillFrameMovieRecorder(QObject *parent) : NSObject(parent) {}

QAsyncStillFrameMovieRecorder::~QAsyncStillFrameMovieRecorder() { endRecordingMovie(); }

std::shared_ptr<QAsyncMovieExporter> QAsyncStillFrameMovieRecorder::frameExporter() {
    std::lock_guard<std::mutex> lock(mExporterMutex);
    return mFrameExporter;
}

void QAsyncStillFrameMovieRecorder::setImageSizePixels(CGSize size) {
    AsyncBaseGrabber::setImageSizePixels(size);
    if (outletCompressionSettings != nullptr) {
        outletCompressionSettings->setInputFrameSize(QSizeF(size.width, size.height));
        outletCompressionSettings->setOutputFrameSize(QSizeF(size.width, size.height));
    }
}

bool QAsyncStillFrameMovieRecorder::beginRecordingMovieFileURL(const QUrl &url) {
    // Without settings there is nothing to write with: refusing here keeps the caller from
    // starting a microphone for a movie that will never exist.
    if (isRecordingMovie() || outletCompressionSettings == nullptr || !url.isLocalFile()) return false;
    const CGSize size = imageSizePixels();
    const int width = int(size.width);
    const int height = int(size.height);
    if (width <= 0 || height <= 0) return false;
    std::unique_ptr<QImageCompressionSettings> settings =
        outletCompressionSettings->compressionSettingsWithOutputFrameSize(QSizeF(width, height));
    if (!settings) return false;
    auto exporter = std::make_shared<QAsyncMovieExporter>(url.toLocalFile(), *settings);
    if (!exporter->isOpen()) return false;
    setFrameRate(settings->frameRate());
    setFrameQueueController(std::make_shared<CGImageFrameQueue>(defaultReaderQueueSize(), width, height));
    {
        std::lock_guard<std::mutex> lock(mExporterMutex);
        mFrameExporter = std::move(exporter);
    }
    startGrabbering();
    return true;
}

bool QAsyncStillFrameMovieRecorder::addFrameImageRef(CGImageRef image, double /*frameDurationInSeconds*/) {
    const std::shared_ptr<AsyncFrameQueueController> controller = frameQueueController();
    if (!controller) return false;
    static_cast<CGImageFrameQueue *>(controller.get())->setPendingFrame(image);
    captureFramesWithUnlimitedFrameRate();
    return true;
}

void QAsyncStillFrameMovieRecorder::capturedFrameReady(const std::shared_ptr<AsyncBaseReader> &reader) {
    const std::shared_ptr<QAsyncMovieExporter> exporter = frameExporter();
    if (!reader) return;
    if (!exporter) {
        reader->asyncReuseCaptureFrame();
        return;
    }
    exporter->exportFrame(QAsyncCapturedFrame::frameWithAsyncFrameSource(reader));
}

double QAsyncStillFrameMovieRecorder::getFrameDurationNow() { return mFrameRate > 0.0 ? 1.0 / mFrameRate : 0.0; }

bool QAsyncStillFrameMovieRecorder::isRecordingMovie() { return frameExporter() != nullptr; }

bool QAsyncStillFrameMovieRecorder::endRecordingMovie() {
    stopGrabbering();
    std::shared_ptr<QAsyncMovieExporter> exporter;
    {
        std::lock_guard<std::mutex> lock(mExporterMutex);
        exporter = std::move(mFrameExporter);
        mFrameExporter.reset();
    }
    if (exporter) exporter->writeAndCloseMovie();
    setFrameQueueController(nullptr);
    return exporter != nullptr;
}

bool import_QAsyncStillFrameMovieRecorder() { return true; }
