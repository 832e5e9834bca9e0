#include "AsyncFrameGrabber.h"

#include <CoreFoundation/CFData.h>
#include <CoreGraphics/CGDataProvider.h>
#include <CoreX/CoreMachDebugLog.h>

#include <chrono>
#include <utility>

namespace {

constexpr double kReferenceDateUnixSeconds = 978307200.0;  // 2001-01-01 00:00:00 UTC

std::mutex gMouseMutex;
std::function<CGPoint()> &MouseLocationFunction() {
    static std::function<CGPoint()> function;
    return function;
}

CGPoint CurrentMouseLocation() {
    std::function<CGPoint()> function;
    {
        std::lock_guard<std::mutex> lock(gMouseMutex);
        function = MouseLocationFunction();
    }
    return function ? function() : CGPoint{0, 0};
}

void ReleaseCFDataCallback(void *releaseRefCon, const void * /*baseAddress*/) {
    CFRelease(static_cast<CFDataRef>(releaseRefCon));
}

}  // namespace

double AsyncGrabberTimeNow() {
    const auto since = std::chrono::system_clock::now().time_since_epoch();
    return std::chrono::duration<double>(since).count() - kReferenceDateUnixSeconds;
}

// MARK: reader

AsyncBaseReader::AsyncBaseReader(int pixelsWide, int pixelsHigh, AsyncFrameQueueController *frameQueue)
    : mFrameQueue(frameQueue), mPixels{CGFloat(pixelsWide), CGFloat(pixelsHigh)} {
    mReaderQueue = dispatch_queue_create("AsyncBaseReader", nullptr);
}

AsyncBaseReader::~AsyncBaseReader() {
    if (mReaderQueue != nullptr) {
        dispatch_sync(mReaderQueue, [] {});
        dispatch_release(mReaderQueue);
    }
    mFrameQueue = nullptr;
}

void AsyncBaseReader::setMouseLocationFunction(std::function<CGPoint()> function) {
    std::lock_guard<std::mutex> lock(gMouseMutex);
    MouseLocationFunction() = std::move(function);
}

void AsyncBaseReader::asyncBeginCaptureFrameWithSequenceStartTime(double startTime) {
    {
        std::lock_guard<std::recursive_mutex> lock(mMutex);
        mCaptureSequenceStartTime = startTime;
    }
    if (mSynchronousOperation) {
        readFrameSynchronized();
        return;
    }
    // The block keeps the reader alive until it has run.
    std::shared_ptr<AsyncBaseReader> self = shared_from_this();
    dispatch_async(mReaderQueue, [self] { self->readFrameSynchronized(); });
}

void AsyncBaseReader::readFrameSynchronized() {
    recordFrameCaptureTime();
    if (!readFrameAsyncBegin()) {
        // Nothing to capture: the reader goes back to the free queue rather than out of
        // both queues for good.
        asyncReuseCaptureFrame();
    }
}

void AsyncBaseReader::recordFrameCaptureTime() {
    std::lock_guard<std::recursive_mutex> lock(mMutex);
    mRecordTime = AsyncGrabberTimeNow() - mCaptureSequenceStartTime;
    const CGPoint mouse = CurrentMouseLocation();
    mCapturePoint = CGPoint{mouse.x, mPixels.height - mouse.y};
}

double AsyncBaseReader::captureFrameTimeStamp() {
    std::lock_guard<std::recursive_mutex> lock(mMutex);
    return mRecordTime;
}

CGPoint AsyncBaseReader::point() {
    std::lock_guard<std::recursive_mutex> lock(mMutex);
    return mCapturePoint;
}

void AsyncBaseReader::addSelfToFrameFilledQueue() {
    if (mFrameQueue != nullptr) mFrameQueue->addItemToFilledQ(shared_from_this());
}

void AsyncBaseReader::asyncReuseCaptureFrame() {
    std::lock_guard<std::recursive_mutex> lock(mMutex);
    if (mFrameQueue != nullptr) mFrameQueue->addItemToFreeQ(shared_from_this());
}

// MARK: queue controller

AsyncFrameQueueController::AsyncFrameQueueController()
    : mFreeQ(FrameQueue<AsyncBaseReader>::emptyObjectQueue()),
      mFilledQ(FrameQueue<AsyncBaseReader>::emptyObjectQueue()) {}

AsyncFrameQueueController::~AsyncFrameQueueController() {
    mFreeQ->removeAllObjects();
    mFilledQ->removeAllObjects();
}

// MARK: grabber

void AsyncBaseGrabber::setImageSizePixels(CGSize size) {
    mImageSizePixels = size;
    if (outletFormat != nullptr) outletFormat->setInputFrameSize(size);
}

std::shared_ptr<AsyncFrameQueueController> AsyncBaseGrabber::frameQueueController() {
    std::lock_guard<std::mutex> lock(mControllerMutex);
    return mFrameQueueController;
}

void AsyncBaseGrabber::setFrameQueueController(std::shared_ptr<AsyncFrameQueueController> controller) {
    std::shared_ptr<AsyncFrameQueueController> old;
    std::lock_guard<std::mutex> lock(mControllerMutex);
    old = std::exchange(mFrameQueueController, std::move(controller));
}

void AsyncBaseGrabber::beginAsyncCaptureSequence() {
    if (mCaptureStart == 0.0) {
        mCaptureStart = now();
        mCaptureLast = -1.0;
    }
}

bool AsyncBaseGrabber::beginAsyncFrameWithCaptureFrameTime(double time) {
    const std::shared_ptr<AsyncFrameQueueController> controller = frameQueueController();
    if (!controller) return false;
    const std::shared_ptr<AsyncBaseReader> reader = controller->copyAndRemoveOldestItemFromFreeQ();
    if (!reader) return false;  // every reader is out: the frame is dropped
    reader->asyncBeginCaptureFrameWithSequenceStartTime(mCaptureStart);
    mCaptureLast = time;
    return true;
}

void AsyncBaseGrabber::endAsynchFrame() {
    const std::shared_ptr<AsyncFrameQueueController> controller = frameQueueController();
    if (!controller) return;
    const std::shared_ptr<AsyncBaseReader> reader = controller->copyAndRemoveOldestItemFromFilledQ();
    if (reader) capturedFrameReady(reader);
}

void AsyncBaseGrabber::captureFramesWithUnlimitedFrameRate() {
    beginAsyncCaptureSequence();
    beginAsyncFrameWithCaptureFrameTime(now());
    endAsynchFrame();
}

void AsyncBaseGrabber::captureFramesWithMinimumFrameRate(double framesPerSecond) {
    beginAsyncCaptureSequence();
    const double time = now();
    // The first frame of a sequence always begins (the last time is -1); after that only
    // when strictly more than one frame interval has passed.
    if (mCaptureLast < 0.0 || (framesPerSecond > 0.0 && time - mCaptureLast > 1.0 / framesPerSecond))
        beginAsyncFrameWithCaptureFrameTime(time);
    endAsynchFrame();
}

// MARK: still images

CGImageFrameQueue::CGImageFrameQueue(int readerCount, int pixelsWide, int pixelsHigh) {
    for (int index = 0; index < readerCount; ++index)
        addItemToFreeQ(std::make_shared<CGImageFrame>(pixelsWide, pixelsHigh, this));
}

CGImageFrameQueue::~CGImageFrameQueue() {
    setPendingFrame(nullptr);
    mPendingFrameTime = 0.0;
}

CGImageRef CGImageFrameQueue::pendingFrame() {
    std::lock_guard<std::mutex> lock(mPendingMutex);
    return mPendingFrame;
}

CGImageRef CGImageFrameQueue::pendingFrameCopy() {
    std::lock_guard<std::mutex> lock(mPendingMutex);
    return mPendingFrame != nullptr ? CGImageRetain(mPendingFrame) : nullptr;
}

void CGImageFrameQueue::setPendingFrame(CGImageRef image) {
    CGImageRef old;
    {
        std::lock_guard<std::mutex> lock(mPendingMutex);
        if (image != nullptr) CGImageRetain(image);
        old = std::exchange(mPendingFrame, image);
    }
    if (old != nullptr) CGImageRelease(old);
}

CGImageFrame::CGImageFrame(int pixelsWide, int pixelsHigh, CGImageFrameQueue *frameQueue)
    : AsyncBaseReader(pixelsWide, pixelsHigh, frameQueue) {
    setSynchronousOperation(true);
}

CGImageFrame::~CGImageFrame() { setFrameImage(nullptr); }

CGImageRef CGImageFrame::frameImage() {
    std::lock_guard<std::recursive_mutex> lock(mMutex);
    return mFrameImage;
}

CGImageRef CGImageFrame::frameImageCopy() {
    std::lock_guard<std::recursive_mutex> lock(mMutex);
    return mFrameImage != nullptr ? CGImageRetain(mFrameImage) : nullptr;
}

void CGImageFrame::setFrameImage(CGImageRef image) {
    std::lock_guard<std::recursive_mutex> lock(mMutex);
    if (image != nullptr) CGImageRetain(image);
    if (mFrameImage != nullptr) CGImageRelease(mFrameImage);
    mFrameImage = image;
}

bool CGImageFrame::readFrameAsyncBegin() {
    std::lock_guard<std::recursive_mutex> lock(mMutex);
    auto *queue = static_cast<CGImageFrameQueue *>(mFrameQueue);
    if (queue == nullptr) return false;
    CGImageRef image = queue->pendingFrameCopy();
    if (image == nullptr) return false;
    queue->setPendingFrame(nullptr);
    setFrameImage(image);
    CGImageRelease(image);
    addSelfToFrameFilledQueue();
    return true;
}

CVPixelBufferRef CGImageFrame::readFrameAsyncFinishWithCopyPixelBuffer() {
    std::lock_guard<std::recursive_mutex> lock(mMutex);
    if (mFrameImage == nullptr) return nullptr;
    CVPixelBufferRef buffer = CGImagePixelBuffer::copyPixelBufferWithCGImage(mFrameImage);
    setFrameImage(nullptr);
    return buffer;
}

void *CGImageFrame::readFrameAsyncFinishWithCopyNativeBuffer() {
    std::lock_guard<std::recursive_mutex> lock(mMutex);
    CGImageRef image = mFrameImage;  // the reader's reference passes to the caller
    mFrameImage = nullptr;
    return image;
}

CVPixelBufferRef CGImagePixelBuffer::copyPixelBufferWithCGImage(CGImageRef image) {
    if (image == nullptr) return nullptr;
    const size_t imageWidth = CGImageGetWidth(image);
    const size_t imageHeight = CGImageGetHeight(image);
    const size_t imageRowBytes = CGImageGetBytesPerRow(image);
    const OSType imagePixelFormat = 'BGRA';
    CFDataRef imageDataRef = CGDataProviderCopyData(CGImageGetDataProvider(image));
    if (imageDataRef == nullptr) return nullptr;
    if (size_t(CFDataGetLength(imageDataRef)) < imageRowBytes * imageHeight || imageRowBytes < imageWidth * 4) {
        CFRelease(imageDataRef);
        VerifyCVReturn(kCVReturnInvalidSize, __func__, __FILE__, __LINE__, "image bytes do not cover the frame");
        return nullptr;
    }
    const void *imageDataBytes = CFDataGetBytePtr(imageDataRef);
    CVPixelBufferRef imagePixelBuffer = nullptr;
    const CVReturn result =
        CVPixelBufferCreateWithBytes(kCFAllocatorDefault, imageWidth, imageHeight, imagePixelFormat,
                                     const_cast<void *>(imageDataBytes), imageRowBytes, ReleaseCFDataCallback,
                                     const_cast<void *>(static_cast<const void *>(imageDataRef)), nullptr,
                                     &imagePixelBuffer);
    if (result != kCVReturnSuccess) {
        VerifyCVReturn(result, __func__, __FILE__, __LINE__,
                       "CVPixelBufferCreateWithBytes(kCFAllocatorDefault, imageWidth, imageHeight, "
                       "imagePixelFormat, (void*)imageDataBytes, imageRowBytes, "
                       "sCVPixelBufferReleaseCFDataRefCallback, (void*)imageDataRef, "
                       "(CFDictionaryRef)pixelBufferAttributes, &imagePixelBuffer)");
        if (imagePixelBuffer == nullptr) CFRelease(imageDataRef);
        return nullptr;
    }
    return imagePixelBuffer;
}

const char *CVReturnName(CVReturn code) {
    switch (code) {
        case 0: return "kCVReturnSuccess = 0";
        case -6660: return "kCVReturnError = kCVReturnFirst";
        case -6661: return "kCVReturnInvalidArgument = -6661";
        case -6662: return "kCVReturnAllocationFailed = -6662";
        case -6670: return "kCVReturnInvalidDisplay = -6670";
        case -6671: return "kCVReturnDisplayLinkAlreadyRunning = -6671";
        case -6672: return "kCVReturnDisplayLinkNotRunning = -6672";
        case -6673: return "kCVReturnDisplayLinkCallbacksNotSet = -6673";
        case -6680: return "kCVReturnInvalidPixelFormat = -6680";
        case -6681: return "kCVReturnInvalidSize = -6681";
        case -6682: return "kCVReturnInvalidPixelBufferAttributes = -6682";
        case -6683: return "kCVReturnPixelBufferNotOpenGLCompatible = -6683";
        case -6690: return "kCVReturnPoolAllocationFailed = -6690";
        case -6691: return "kCVReturnInvalidPoolAttributes = -6691";
        default: return "CVReturn (UNKNOWN)";
    }
}

void VerifyCVReturn(CVReturn code, const char *function, const char *file, int line, const char *expression) {
    CoreMachDebugLog("VERIFY_CVRETURN FAILED: CVReturn:%d (%s) %s in %s:%d (%s)\n", int(code), CVReturnName(code),
                     expression, file, line, function);
}

bool import_AsyncFrameGrabber() { return import_FrameQueue(); }
