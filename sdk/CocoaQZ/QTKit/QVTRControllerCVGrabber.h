// QVTRControllerCVGrabber: the capture controller with a frame output that keeps the latest
// camera frame as a Core Video pixel buffer, which the application's QTKit camera input reads
// once per frame.
//
// Frames arrive on the capture thread (setVideoFrame) and are read on the main thread
// (videoFrame, videoFrameCopy), all under the grabber's own lock, so a reader gets the old or
// the new frame, never a released one. videoFrame is not retained for the caller: a reader that
// keeps it beyond the next frame takes videoFrameCopy.
//
// When the camera's input is closed (deselected, unplugged, session ended) the latest frame
// becomes a black frame of the attributes' size and format ('2vuy' black is Y 16 with chroma
// 128; 'BGRA' black is 0, 0, 0, 255).
#pragma once

#include "QVTRControllerVideo.h"

#include <CoreVideo/CVPixelBuffer.h>
#include <QVariantMap>

#include <mutex>

class QVTRControllerCVGrabber : public QVTRControllerVideo, protected protocol_QTCaptureDecompressedVideoOutputDelegate {
    Q_OBJECT

public:
    using OutputClass = std::shared_ptr<QTCaptureDecompressedVideoOutput> (*)();

    Q_INVOKABLE explicit QVTRControllerCVGrabber(QObject *parent = nullptr);
    ~QVTRControllerCVGrabber() override;

    // The latest frame (not retained), or null.
    CVPixelBufferRef videoFrame() const;
    // The latest frame retained for the caller, or null.
    CVPixelBufferRef videoFrameCopy() const;
    // Retains the new frame and releases the previous one, then calls videoFrameChanged.
    void setVideoFrame(CVPixelBufferRef frame);
    virtual void videoFrameChanged() {}

    void videoFrameSize(float &width, float &height) const;
    // Stores the size and makes the attributes the default ones of that size.
    void setVideoFrameSize(float width, float height);
    QVariantMap pixelBufferAttributes() const;
    void setPixelBufferAttributes(const QVariantMap &attributes);
    OutputClass videoOutputClass() const { return mVideoOutputClass; }
    void setVideoOutputClass(OutputClass outputClass) { mVideoOutputClass = outputClass; }
    void setVideoOutputClassQTCaptureDecompressedVideoOutput();
    void setVideoOutputClassQTCaptureVideoPreviewOutput();

    // A frame of the attributes' size (640 x 480 when absent or 0) and format ('BGRA' when
    // absent or 0) filled with black, owned by the caller; null without attributes.
    CVPixelBufferRef createEmptyBlackVideoFramePixelBuffer() const;

    static void defaultVideoFrameSize(float &width, float &height);
    static uint32_t defaultPixelBufferFormat();
    static QVariantMap defaultVideoFrameFormat();
    static QVariantMap defaultVideoFrameFormatWithFrameSize(float width, float height);
    static QVariantMap defaultIOSurfaceProperties() { return {}; }
    static OutputClass defaultVideoOutputClass();

protected:
    void captureSessionAttachOutputConnections() override;
    void closeVideoDeviceInput() override;
    void captureOutputDidOutputVideoFrame(QTCaptureOutput *output, CVImageBufferRef videoFrame,
                                          const QTSampleBuffer &sampleBuffer, QTCaptureConnection *connection) override;

private:
    mutable std::recursive_mutex mFrameLock;
    CVPixelBufferRef mVideoFrame = nullptr;
    QVariantMap mPixelBufferAttributes;
    OutputClass mVideoOutputClass;
    float mVideoFrameWidth = 640;
    float mVideoFrameHeight = 480;
};

// Fills a locked-or-not pixel buffer with black of its format.
void QVTRFillBlack(CVPixelBufferRef buffer);

bool import_QVTRControllerCVGrabber();
