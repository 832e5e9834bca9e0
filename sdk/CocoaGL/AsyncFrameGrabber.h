// The asynchronous frame grabber: recording must not stall the frame loop, so frames reach
// the encoder through a small pool of reusable readers that circulate between a free queue
// and a filled queue (two FrameQueues held by an AsyncFrameQueueController).
//
// AsyncBaseGrabber paces the capture (every call, or no more often than a rate) and hands
// each filled reader to its subclass (capturedFrameReady); the subclass gives the reader
// back with asyncReuseCaptureFrame when its encoder is done. When every reader is out the
// new frames are dropped until one returns.
//
// The still-image family: CGImageFrameQueue holds the pending CGImage and builds the
// readers; CGImageFrame takes the pending image (synchronously, on the caller's thread);
// CGImagePixelBuffer wraps a copy of an image's bytes as a 'BGRA' CVPixelBuffer.
//
// A reader begun while no image is pending goes straight back to the free queue, so the
// pool never shrinks.
//
// Threads: both queues are locked FIFOs; each reader serialises its state with its own
// mutex; asynchronous readers capture on their private serial queue "AsyncBaseReader".
// The texture hand-out of the platform's reader (a Core Video texture on the root sharing
// context) is not offered: the only consumer here wants pixel buffers or images.
#pragma once

#include "FrameQueue.h"

#include <CoreGraphics/CGGeometry.h>
#include <CoreGraphics/CGImage.h>
#include <CoreVideo/CVPixelBuffer.h>
#include <dispatch/dispatch.h>

#include <functional>
#include <memory>
#include <mutex>

class AsyncFrameQueueController;

// The operations of a captured frame, in the order its consumer uses them.
class AsyncFrameSourceProtocol {
public:
    virtual ~AsyncFrameSourceProtocol() = default;
    virtual double captureFrameTimeStamp() = 0;
    virtual void asyncReuseCaptureFrame() = 0;
    virtual CVPixelBufferRef asyncEndCaptureFrameCopyPixelBuffer() = 0;  // the caller's, or null
    virtual void asyncBeginCaptureFrameWithSequenceStartTime(double startTime) = 0;
};

// Seconds since the reference date (2001-01-01), the clock every capture time comes from.
double AsyncGrabberTimeNow();

class AsyncBaseReader : public AsyncFrameSourceProtocol, public std::enable_shared_from_this<AsyncBaseReader> {
public:
    AsyncBaseReader(int pixelsWide, int pixelsHigh, AsyncFrameQueueController *frameQueue);
    ~AsyncBaseReader() override;  // waits for its serial queue to drain
    AsyncBaseReader(const AsyncBaseReader &) = delete;
    AsyncBaseReader &operator=(const AsyncBaseReader &) = delete;

    void asyncBeginCaptureFrameWithSequenceStartTime(double startTime) override;
    double captureFrameTimeStamp() override;
    void asyncReuseCaptureFrame() override;
    CVPixelBufferRef asyncEndCaptureFrameCopyPixelBuffer() override { return readFrameAsyncFinishWithCopyPixelBuffer(); }
    // The frame as the subclass's native object (for images: a retained CGImageRef).
    virtual void *asyncEndCaptureFrameCopyNativeBuffer() { return readFrameAsyncFinishWithCopyNativeBuffer(); }

    void recordFrameCaptureTime();
    void addSelfToFrameFilledQueue();
    CGPoint point();
    CGSize pixels() const { return mPixels; }
    bool synchronousOperation() const { return mSynchronousOperation; }
    void setSynchronousOperation(bool value) { mSynchronousOperation = value; }

    // Where the mouse is, y counted from the top of the screen; (0, 0) when unknown. Tests
    // and the interface replace it.
    static void setMouseLocationFunction(std::function<CGPoint()> function);

protected:
    // Captures the frame and files the reader as filled; false when there was none.
    virtual bool readFrameAsyncBegin() { return false; }
    virtual CVPixelBufferRef readFrameAsyncFinishWithCopyPixelBuffer() { return nullptr; }
    virtual void *readFrameAsyncFinishWithCopyNativeBuffer() { return readFrameAsyncFinishWithCopyPixelBuffer(); }
    void readFrameSynchronized();

    std::recursive_mutex mMutex;
    AsyncFrameQueueController *mFrameQueue;  // not owned: the controller owns its readers

private:
    double mRecordTime = 0.0;
    CGPoint mCapturePoint{0, 0};
    CGSize mPixels;
    double mCaptureSequenceStartTime = 0.0;
    dispatch_queue_t mReaderQueue = nullptr;
    bool mSynchronousOperation = false;
};

class AsyncFrameQueueController {
public:
    using Reader = std::shared_ptr<AsyncBaseReader>;
    AsyncFrameQueueController();
    virtual ~AsyncFrameQueueController();
    AsyncFrameQueueController(const AsyncFrameQueueController &) = delete;
    AsyncFrameQueueController &operator=(const AsyncFrameQueueController &) = delete;

    Reader copyAndRemoveOldestItemFromFreeQ() { return mFreeQ->copyAndRemoveOldestObject(); }
    Reader copyAndRemoveOldestItemFromFilledQ() { return mFilledQ->copyAndRemoveOldestObject(); }
    void addItemToFreeQ(Reader reader) { mFreeQ->addNewestObject(std::move(reader)); }
    void addItemToFilledQ(Reader reader) { mFilledQ->addNewestObject(std::move(reader)); }
    std::shared_ptr<FrameQueue<AsyncBaseReader>> freeQ() const { return mFreeQ; }
    std::shared_ptr<FrameQueue<AsyncBaseReader>> filledQ() const { return mFilledQ; }

private:
    std::shared_ptr<FrameQueue<AsyncBaseReader>> mFreeQ;
    std::shared_ptr<FrameQueue<AsyncBaseReader>> mFilledQ;
};

// Told the input frame size by the grabber.
class AsyncGrabberFormatProtocol {
public:
    virtual ~AsyncGrabberFormatProtocol() = default;
    virtual void setInputFrameSize(CGSize size) = 0;
};

class AsyncBaseGrabber {
public:
    AsyncBaseGrabber() = default;
    virtual ~AsyncBaseGrabber() = default;
    AsyncBaseGrabber(const AsyncBaseGrabber &) = delete;
    AsyncBaseGrabber &operator=(const AsyncBaseGrabber &) = delete;

    static int defaultReaderQueueSize() { return 9; }

    AsyncGrabberFormatProtocol *outletFormat = nullptr;

    virtual void setImageSizePixels(CGSize size);
    CGSize imageSizePixels() const { return mImageSizePixels; }

    std::shared_ptr<AsyncFrameQueueController> frameQueueController();
    void setFrameQueueController(std::shared_ptr<AsyncFrameQueueController> controller);

    void startGrabbering() { mCaptureStart = 0.0; }
    virtual void stopGrabbering() {}
    void startRecording() { startGrabbering(); }
    void stopRecording() { stopGrabbering(); }

    // Receives each filled reader; the consumer gives it back with asyncReuseCaptureFrame.
    virtual void capturedFrameReady(const std::shared_ptr<AsyncBaseReader> & /*reader*/) {}

    void beginAsyncCaptureSequence();
    // False when no reader was free (the frame is dropped).
    bool beginAsyncFrameWithCaptureFrameTime(double time);
    void endAsynchFrame();
    void captureFramesWithUnlimitedFrameRate();
    void captureFramesWithMinimumFrameRate(double framesPerSecond);

    double captureStart() const { return mCaptureStart; }

protected:
    // The clock (seconds since the reference date); tests replace it.
    virtual double now() const { return AsyncGrabberTimeNow(); }

private:
    CGSize mImageSizePixels{0, 0};
    double mCaptureStart = 0.0;
    double mCaptureLast = -1.0;
    std::mutex mControllerMutex;
    std::shared_ptr<AsyncFrameQueueController> mFrameQueueController;
};

class CGImageFrameQueue : public AsyncFrameQueueController {
public:
    CGImageFrameQueue(int readerCount, int pixelsWide, int pixelsHigh);
    ~CGImageFrameQueue() override;

    CGImageRef pendingFrame();
    CGImageRef pendingFrameCopy();  // retained for the caller
    void setPendingFrame(CGImageRef image);
    double pendingFrameTime() const { return mPendingFrameTime; }
    void setPendingFrameTime(double time) { mPendingFrameTime = time; }

private:
    std::mutex mPendingMutex;
    CGImageRef mPendingFrame = nullptr;
    double mPendingFrameTime = 0.0;
};

class CGImageFrame : public AsyncBaseReader {
public:
    CGImageFrame(int pixelsWide, int pixelsHigh, CGImageFrameQueue *frameQueue);
    ~CGImageFrame() override;

    CGImageRef frameImage();
    CGImageRef frameImageCopy();
    void setFrameImage(CGImageRef image);

protected:
    bool readFrameAsyncBegin() override;
    CVPixelBufferRef readFrameAsyncFinishWithCopyPixelBuffer() override;
    void *readFrameAsyncFinishWithCopyNativeBuffer() override;

private:
    CGImageRef mFrameImage = nullptr;
};

class CGImagePixelBuffer {
public:
    // A 'BGRA' pixel buffer over a copy of the image's bytes (the caller's), or null.
    static CVPixelBufferRef copyPixelBufferWithCGImage(CGImageRef image);
};

// The Core Video reporter: one debug-log line for a failed CVReturn.
void VerifyCVReturn(CVReturn code, const char *function, const char *file, int line, const char *expression);
const char *CVReturnName(CVReturn code);

bool import_AsyncFrameGrabber();
