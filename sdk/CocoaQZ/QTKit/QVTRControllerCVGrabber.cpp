#include "QVTRControllerCVGrabber.h"

#include <cstring>

namespace {
std::shared_ptr<QTCaptureDecompressedVideoOutput> MakeDecompressedOutput() {
    return std::make_shared<QTCaptureDecompressedVideoOutput>();
}
std::shared_ptr<QTCaptureDecompressedVideoOutput> MakePreviewOutput() {
    return std::make_shared<QTCaptureVideoPreviewOutput>();
}
}  // namespace

void QVTRFillBlack(CVPixelBufferRef buffer) {
    if (buffer == nullptr || CVPixelBufferLockBaseAddress(buffer, 0) != kCVReturnSuccess) return;
    auto *base = static_cast<uint8_t *>(CVPixelBufferGetBaseAddress(buffer));
    const size_t rowBytes = CVPixelBufferGetBytesPerRow(buffer);
    const size_t width = CVPixelBufferGetWidth(buffer);
    const size_t height = CVPixelBufferGetHeight(buffer);
    uint8_t pattern[4];
    size_t patternPixels = 1;
    switch (CVPixelBufferGetPixelFormatType(buffer)) {
    case kCVPixelFormatType_422YpCbCr8:  // Cb Y0 Cr Y1: video-range black
        pattern[0] = 128, pattern[1] = 16, pattern[2] = 128, pattern[3] = 16;
        patternPixels = 2;
        break;
    case kCVPixelFormatType_32BGRA:
        pattern[0] = 0, pattern[1] = 0, pattern[2] = 0, pattern[3] = 255;
        break;
    default:  // 32 ARGB
        pattern[0] = 255, pattern[1] = 0, pattern[2] = 0, pattern[3] = 0;
        break;
    }
    const size_t groups = (width + patternPixels - 1) / patternPixels;
    for (size_t y = 0; y < height; ++y) {
        uint8_t *row = base + y * rowBytes;
        for (size_t g = 0; g < groups; ++g) std::memcpy(row + g * 4, pattern, 4);
    }
    CVPixelBufferUnlockBaseAddress(buffer, 0);
}

QVTRControllerCVGrabber::QVTRControllerCVGrabber(QObject *parent)
    : QVTRControllerVideo(parent), mPixelBufferAttributes(defaultVideoFrameFormat()),
      mVideoOutputClass(defaultVideoOutputClass()) {
    defaultVideoFrameSize(mVideoFrameWidth, mVideoFrameHeight);
}

QVTRControllerCVGrabber::~QVTRControllerCVGrabber() {
    // The output stops calling back before the frame goes.
    if (mSession) mSession->stopRunning();
    if (auto output = std::dynamic_pointer_cast<QTCaptureDecompressedVideoOutput>(mVideoCaptureOutput))
        output->setDelegate(nullptr);
    std::lock_guard guard(mFrameLock);
    if (mVideoFrame != nullptr) CVPixelBufferRelease(mVideoFrame);
    mVideoFrame = nullptr;
}

CVPixelBufferRef QVTRControllerCVGrabber::videoFrame() const {
    std::lock_guard guard(mFrameLock);
    return mVideoFrame;
}

CVPixelBufferRef QVTRControllerCVGrabber::videoFrameCopy() const {
    std::lock_guard guard(mFrameLock);
    return mVideoFrame != nullptr ? CVPixelBufferRetain(mVideoFrame) : nullptr;
}

void QVTRControllerCVGrabber::setVideoFrame(CVPixelBufferRef frame) {
    {
        std::lock_guard guard(mFrameLock);
        if (frame != nullptr) CVPixelBufferRetain(frame);
        if (mVideoFrame != nullptr) CVPixelBufferRelease(mVideoFrame);
        mVideoFrame = frame;
    }
    videoFrameChanged();
}

void QVTRControllerCVGrabber::videoFrameSize(float &width, float &height) const {
    width = mVideoFrameWidth;
    height = mVideoFrameHeight;
}

void QVTRControllerCVGrabber::setVideoFrameSize(float width, float height) {
    mVideoFrameWidth = width;
    mVideoFrameHeight = height;
    setPixelBufferAttributes(defaultVideoFrameFormatWithFrameSize(width, height));
}

QVariantMap QVTRControllerCVGrabber::pixelBufferAttributes() const {
    std::lock_guard guard(mFrameLock);
    return mPixelBufferAttributes;
}

void QVTRControllerCVGrabber::setPixelBufferAttributes(const QVariantMap &attributes) {
    std::lock_guard guard(mFrameLock);
    mPixelBufferAttributes = attributes;
}

void QVTRControllerCVGrabber::setVideoOutputClassQTCaptureDecompressedVideoOutput() {
    mVideoOutputClass = MakeDecompressedOutput;
}

void QVTRControllerCVGrabber::setVideoOutputClassQTCaptureVideoPreviewOutput() { mVideoOutputClass = MakePreviewOutput; }

void QVTRControllerCVGrabber::defaultVideoFrameSize(float &width, float &height) {
    width = 640;
    height = 480;
}

uint32_t QVTRControllerCVGrabber::defaultPixelBufferFormat() { return kCVPixelFormatType_422YpCbCr8; }

QVariantMap QVTRControllerCVGrabber::defaultVideoFrameFormat() {
    return {{QTPixelBufferPixelFormatTypeKey, uint(defaultPixelBufferFormat())},
            {QTPixelBufferIOSurfacePropertiesKey, defaultIOSurfaceProperties()}};
}

QVariantMap QVTRControllerCVGrabber::defaultVideoFrameFormatWithFrameSize(float width, float height) {
    QVariantMap attributes = defaultVideoFrameFormat();
    attributes.insert(QTPixelBufferWidthKey, double(width));
    attributes.insert(QTPixelBufferHeightKey, double(height));
    return attributes;
}

QVTRControllerCVGrabber::OutputClass QVTRControllerCVGrabber::defaultVideoOutputClass() { return MakePreviewOutput; }

CVPixelBufferRef QVTRControllerCVGrabber::createEmptyBlackVideoFramePixelBuffer() const {
    const QVariantMap attributes = pixelBufferAttributes();
    if (attributes.isEmpty()) return nullptr;
    int width = attributes.value(QTPixelBufferWidthKey).toInt();
    int height = attributes.value(QTPixelBufferHeightKey).toInt();
    uint32_t format = attributes.value(QTPixelBufferPixelFormatTypeKey).toUInt();
    if (width <= 0) width = 640;
    if (height <= 0) height = 480;
    if (format == 0) format = kCVPixelFormatType_32BGRA;
    CVPixelBufferRef buffer = nullptr;
    if (CVPixelBufferCreate(nullptr, size_t(width), size_t(height), format, nullptr, &buffer) != kCVReturnSuccess)
        return nullptr;
    QVTRFillBlack(buffer);
    return buffer;
}

void QVTRControllerCVGrabber::captureSessionAttachOutputConnections() {
    if (mVideoOutputClass == nullptr) return;
    std::shared_ptr<QTCaptureDecompressedVideoOutput> output = mVideoOutputClass();
    if (!output) return;
    const QVariantMap attributes = pixelBufferAttributes();
    if (output->acceptsPixelBufferAttributes() && !attributes.isEmpty()) output->setPixelBufferAttributes(attributes);
    if (output->acceptsDelegate()) output->setDelegate(this);
    if (mSession->addOutput(output)) mVideoCaptureOutput = output;
}

void QVTRControllerCVGrabber::closeVideoDeviceInput() {
    const bool hadInput = mVideoDeviceInput != nullptr;
    QVTRControllerVideo::closeVideoDeviceInput();
    if (!hadInput) return;
    CVPixelBufferRef black = createEmptyBlackVideoFramePixelBuffer();
    setVideoFrame(black);
    if (black != nullptr) CVPixelBufferRelease(black);
}

void QVTRControllerCVGrabber::captureOutputDidOutputVideoFrame(QTCaptureOutput *, CVImageBufferRef videoFrame,
                                                               const QTSampleBuffer &, QTCaptureConnection *) {
    setVideoFrame(videoFrame);
}

bool import_QVTRControllerCVGrabber() { return import_QVTRControllerVideo(); }
