// The camera device of the Avistor component: 960 x 720 '2vuy' frames from a capture device
// of the QTKit layer (V4L2 cameras and the test camera, the devices the Sequence Grabber
// lists), one digitizer input per video or muxed device.
//
// A session controller runs a QTCaptureSession whose decompressed-video output hands each
// frame, on the session's capture thread, to the device, which copies it into the back half
// of a double buffer (a try-lock: a frame that finds the back half held is dropped and
// counted). The frame pump takes the front half: GetFrame locks it until
// ReleaseCompressBuffer.
#pragma once

#include <QVDig/T_config_VDIG_device.h>

#include <CoreX/UVideoFrameBuffer.h>
#include <CoreVideo/CVPixelBuffer.h>

#include <memory>
#include <mutex>
#include <string>

class AvistorSessionController10001;

// Copies the source frame into the destination frame (same pixel format): byte for byte or
// resampled when the sizes or at least the aspect ratios match; from a source of the same
// height and another aspect, the centred full-height region of the destination's aspect,
// 1:1 (a wider source is cropped, never stretched); otherwise the largest centred
// full-height 4:3 region, resampled. False when either frame is empty or the formats differ.
bool TryToResampleVideoFrameRequestedFormat(UVideoFrameBuffer::Data &dst, UVideoFrameBuffer::Memory &scratch,
                                            const UVideoFrameBuffer::Data &src);

class QTCoreVideo_cam_device : public T_config_VDIG_device {
public:
    static constexpr QVDigConfiguration kConfiguration = {
        "Avistor", MakeFourCharCode("2vuy"), 2, 960, 720, 1920, 1382400, 4,
    };

    QTCoreVideo_cam_device();
    ~QTCoreVideo_cam_device() override;

    bool Connect();
    void Disconnect();
    long GetNumberOfInputs();
    long GetCurrentInputNumber() const { return mCurrentInput; }
    void SetCurrentInputNumber(long n);
    ComponentResult GetDeviceName(StringPtr name, long n);
    ComponentResult GetFrame(UInt8 *count, Ptr *data, long *size);
    ComponentResult ReleaseCompressBuffer(Ptr data);

    // On the capture thread: a new frame from the session.
    void FrameArrived(CVPixelBufferRef buffer);
    // Counters (for tests and the log at Disconnect).
    uint32_t FramesDelivered() const { return mFramesDelivered; }
    uint32_t FramesDropped() const;

    // The name of capture device n: "AV #n <name>", "AV #n" or "AV #n (No Camera)".
    static std::string InputName(const char *prefix, long n);

private:
    long mCurrentInput = 0;
    char mDeviceNamePrefix[65] = "AV";
    UVideoFrameBuffer::Memory mScratch;
    UVideoFrameBuffer::Double_T<UVideoFrameBuffer::Memory> mFrames;
    std::mutex mSwapLock;                // guards which half is current
    mutable std::mutex mControllerLock;  // guards the controller pointer and the drop counter
    std::shared_ptr<AvistorSessionController10001> mController;
    bool mFrameReceived = false;
};
