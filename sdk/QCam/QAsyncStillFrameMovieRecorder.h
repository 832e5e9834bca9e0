// Asynchronous still-frame movie compression: rendered images become a movie without
// holding up the frame loop.
//
// 1. The frame loop gives the image to the recorder's frame queue (CGImageFrameQueue) as the
//    pending frame and asks the grabber to capture; when every reader is out, the frame is
//    dropped.
// 2. The captured reader is wrapped in a QAsyncCapturedFrame and handed to the exporter.
// 3. The exporter (a QAsyncFrameCompressor) takes the frame's pixels on its serial queue
//    "QAsyncFrameCompressor", one frame at a time in arrival order;
// 4. and its QMovieFrameWriter encodes and appends it on the writer's serial queue
//    "QMovieFrameWriter" (the QTKit layer's movie file writer: FFmpeg's encoder for the
//    settings' codec, then the QuickTime muxer). The movie is complete, under its name,
//    after endRecordingMovie.
//
// Codec, quality, frame rate, size and time scale come from a copy of the compression
// settings made when recording begins. A frame that fails (an exception while encoding)
// is logged, its reader given back to the pool and the frame dropped; recording goes on.
//
// Locks: the compressor's mutex, then the writer's (which waits on the writer's queue).
#pragma once

#include <CocoaGL/AsyncFrameGrabber.h>
#include <CocoaQZ/QTKit/QMovieFrameRecorderProtocol.h>
#include <Foundation/NSObject.h>
#include <QuickTime/ImageCompression.h>
#include <dispatch/dispatch.h>

#include <QString>

#include <cstdint>
#include <memory>
#include <mutex>

class QImageCompressionSettings;

namespace lumora::qtkit {
class MovieFileWriter;
}

// What the compressor takes: a frame that gives its pixels once and its time stamp, and is
// given back to its source when done.
class QAsyncEncoderFrameProtocol {
public:
    virtual ~QAsyncEncoderFrameProtocol() = default;
    virtual CVPixelBufferRef copyFramePixelBuffer() = 0;  // the caller's, or null
    virtual double frameTimeStamp() = 0;                  // seconds
    virtual void reclaimFrameResources() = 0;
};

class QAsyncCapturedFrame : public QAsyncEncoderFrameProtocol {
public:
    static std::shared_ptr<QAsyncCapturedFrame> frameWithAsyncFrameSource(std::shared_ptr<AsyncFrameSourceProtocol> source);
    explicit QAsyncCapturedFrame(std::shared_ptr<AsyncFrameSourceProtocol> source);
    ~QAsyncCapturedFrame() override;  // reclaims
    CVPixelBufferRef copyFramePixelBuffer() override;
    double frameTimeStamp() override;
    // Gives the source back to the capture loop, at most once.
    void reclaimFrameResources() override;
    std::shared_ptr<AsyncFrameSourceProtocol> frameSource();

private:
    std::mutex mMutex;
    std::shared_ptr<AsyncFrameSourceProtocol> mFrameSource;
};

// The movie file on its own serial queue.
class QMovieFrameWriter {
public:
    static int defaultMovieTimeScale() { return 1000000; }
    QMovieFrameWriter(const QString &path, uint32_t pixelsWide, uint32_t pixelsHigh, int movieTimeScale,
                      CodecType codec, CodecQ quality);
    ~QMovieFrameWriter();  // closes the movie
    QMovieFrameWriter(const QMovieFrameWriter &) = delete;
    QMovieFrameWriter &operator=(const QMovieFrameWriter &) = delete;

    // Whether the movie file could be started (frames are dropped otherwise).
    bool isOpen() const { return mOpenError == noErr; }
    OSErr openError() const { return mOpenError; }
    // A 'BGRA' frame of the movie's size at `time` for `duration` units; frames of no
    // duration are skipped.
    bool writeFrameToEndOfMovie(CVPixelBufferRef pixels, int64_t time, int64_t duration);
    // Completes the movie under its name; noErr also when there was nothing to close.
    OSErr closeMovie();
    uint32_t pixelsWide() const { return mPixelsWide; }
    uint32_t pixelsHigh() const { return mPixelsHigh; }
    dispatch_queue_t queue() const { return mQueue; }

private:
    std::mutex mMutex;
    uint32_t mPixelsWide;
    uint32_t mPixelsHigh;
    dispatch_queue_t mQueue;
    std::unique_ptr<lumora::qtkit::MovieFileWriter> mMovie;
    OSErr mOpenError = noErr;
};

class QAsyncFrameCompressor {
public:
    explicit QAsyncFrameCompressor(QImageCompressionSettings &settings);
    virtual ~QAsyncFrameCompressor();  // waits for queued frames
    QAsyncFrameCompressor(const QAsyncFrameCompressor &) = delete;
    QAsyncFrameCompressor &operator=(const QAsyncFrameCompressor &) = delete;

    // Queues the frame for compression; true (a null frame queues nothing).
    bool compressInputFrameAsynchronous(std::shared_ptr<QAsyncEncoderFrameProtocol> frame);
    // On the queue: compresses the frame; an exception is logged and the frame reclaimed.
    void compressFrameInBackgroundWithAutoreleasePool(const std::shared_ptr<QAsyncEncoderFrameProtocol> &frame);
    // Waits until every queued frame has been compressed.
    bool flushImageCompressionQueue();
    double frameDuration() const { return mFrameDuration; }
    int timeScale() const { return mTimeScale; }
    dispatch_queue_t queue() const { return mQueue; }

protected:
    virtual void compressFrameOnCurrentThread(const std::shared_ptr<QAsyncEncoderFrameProtocol> &frame);
    // One frame's pixels at its time and duration in the time scale; the exporter writes it.
    virtual bool compressionCompleteOutputFrame(CVPixelBufferRef /*pixels*/, int64_t /*time*/, int64_t /*duration*/) {
        return false;
    }

    std::recursive_mutex mMutex;

private:
    double mFrameDuration;
    int mTimeScale;
    dispatch_queue_t mQueue;
};

class QAsyncMovieExporter : public QAsyncFrameCompressor {
public:
    QAsyncMovieExporter(const QString &path, QImageCompressionSettings &settings);
    ~QAsyncMovieExporter() override;  // writes and closes the movie

    bool isOpen() const;
    bool exportFrame(std::shared_ptr<QAsyncEncoderFrameProtocol> frame) { return compressInputFrameAsynchronous(std::move(frame)); }
    // Compresses what is queued, then completes the movie.
    void writeAndCloseMovie();

protected:
    bool compressionCompleteOutputFrame(CVPixelBufferRef pixels, int64_t time, int64_t duration) override;

private:
    std::unique_ptr<QMovieFrameWriter> mFrameWriter;
};

class QAsyncStillFrameMovieRecorder : public NSObject, public AsyncBaseGrabber, public QMovieFrameRecorderProtocol {
    Q_OBJECT
public:
    Q_INVOKABLE explicit QAsyncStillFrameMovieRecorder(QObject *parent = nullptr);
    ~QAsyncStillFrameMovieRecorder() override;

    QImageCompressionSettings *outletCompressionSettings = nullptr;

    // False, starting nothing, without settings, without a frame size, when a recording is
    // under way, or when the movie cannot be started at the URL.
    bool beginRecordingMovieFileURL(const QUrl &url) override;
    // False when no recording is under way. The duration is not used: frames are timed by
    // their capture.
    bool addFrameImageRef(CGImageRef image, double frameDurationInSeconds) override;
    double getFrameDurationNow() override;
    bool isRecordingMovie() override;
    bool endRecordingMovie() override;

    double frameRate() const { return mFrameRate; }
    void setFrameRate(double framesPerSecond) { mFrameRate = framesPerSecond; }
    void setImageSizePixels(CGSize size) override;
    void capturedFrameReady(const std::shared_ptr<AsyncBaseReader> &reader) override;
    std::shared_ptr<QAsyncMovieExporter> frameExporter();

private:
    std::mutex mExporterMutex;
    std::shared_ptr<QAsyncMovieExporter> mFrameExporter;
    double mFrameRate = 30.0;
};

bool import_QAsyncStillFrameMovieRecorder();
