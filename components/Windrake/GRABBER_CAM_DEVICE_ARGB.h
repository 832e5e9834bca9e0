// The window-image device: each input is one application with shareable windows; its
// on-screen windows are grabbed as one image on the grabber queue and drawn aspect-fitted
// on white into the 640 x 480 'ARGB' frame on the render queue.
//
// Threads: the host's capture thread (GetFrame, ReleaseCompressBuffer), the grabber queue
// and the render queue. The frame lock keeps drawing out of the frame while the host holds
// it and the other way round; it may be released by another thread than the one that took
// it. At most one grab is under way; each released frame asks for one.
#pragma once

#include <QVDig/T_config_VDIG_device.h>

#include <VDig/UVideoFrameBuffer_GraphicsContext.h>
#include <VDigDevices/UWindrakeWindow.h>

#include <atomic>
#include <cstdint>
#include <string>

// A lock any thread may release (the host takes it on one thread and may give it back on
// another); waiters sleep.
class WindrakeFrameLock {
public:
    void Lock() {
        while (mHeld.test_and_set(std::memory_order_acquire)) mHeld.wait(true, std::memory_order_relaxed);
    }
    void Unlock() {
        mHeld.clear(std::memory_order_release);
        mHeld.notify_one();
    }

private:
    std::atomic_flag mHeld;
};

class GRABBER_CAM_DEVICE_ARGB : public T_config_VDIG_device {
public:
    static constexpr QVDigConfiguration kConfiguration = {
        "Windrake", MakeFourCharCode("raw "), 4, 640, 480, 2560, 1228800, yuvComponentIn};
    static constexpr int kFrameWidthPixels = 640;
    static constexpr int kFrameHeightPixels = 480;

    GRABBER_CAM_DEVICE_ARGB();
    ~GRABBER_CAM_DEVICE_ARGB() override;

    // The configuration's connect; refreshes the owner list; the frame becomes the data
    // handed out.
    bool Connect();
    // No data handed out until the next connect; counters cleared.
    void Disconnect();
    long GetNumberOfInputs() { return long(mWindowOwners.GetNumberOfUniqueWindowOwners()); }
    void SetCurrentInputNumber(long n) { mCurrentInput.store(n); }
    long GetCurrentInputNumber() { return mCurrentInput.load(); }
    // "<device name>: <owner n>" (an empty owner past the end), at most 255 characters.
    std::string DeviceNameOfInput(long n);
    ComponentResult GetDeviceName(StringPtr name, long n);

    // -50 while disconnected; else the frame, held until ReleaseCompressBuffer.
    ComponentResult GetFrame(UInt8 *count, Ptr *data, long *size);
    // Gives a held frame back and asks for one grab when none is under way.
    ComponentResult ReleaseCompressBuffer(Ptr data);

    // Fills the frame with white and draws the image fitted into it (under the frame lock).
    void RenderWindowImage(CGImageRef image);
    // Waits until the grab and the drawing asked for so far are done.
    void Drain();

    uint32_t FramesDelivered() const { return mFramesDelivered; }
    UVideoFrameBuffer::GraphicsContext &Frame() { return mFrame; }
    UWindrakeWindow &WindowOwners() { return mWindowOwners; }

private:
    void Grab();

    bool mFrameHandedOut = false;
    WindrakeFrameLock mFrameLock;
    UVideoFrameBuffer::GraphicsContext mFrame;
    std::atomic<long> mCurrentInput{0};
    UWindrakeWindow mWindowOwners;
    UDispatchQueueSerialAsync mGrabberQueue;
    UDispatchQueueSerialAsync mRenderQueue;
    std::atomic<int32_t> mGrabsInFlight{0};
};

bool import_GRABBER_CAM_DEVICE_ARGB();
