// The window-image device: each input is one application with shareable windows; its
// on-screen windows are grabbed as one image on the grabber queue and drawn aspect-fitted
// on white into the 640 x 480 'ARGB' frame on the render queue.
//
// Threads: the host's capture thread (GetFrame, ReleaseCompressBuffer), the grabber queue
// and the render queue. The frame lock keeps drawing out of the frame while the host holds
// it and the other way round; it may be released by another thread than the one that took
// it. At most one grab is under way; each released frame asks for one.
#pragma once

#include <VDigDevices/UWindrakeWindow.h>
#include <VDig/UVideoFrameBuffer_GraphicsContext.h>

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

class GRABBER_CAM_DEVICE_ARGB {
public:
    static constexpr int kFrameWidthPixels = 640;
    static constexpr int kFrameHeightPixels = 480;
    static constexpr uint32_t kFrameSizeBytes = 640 * 480 * 4;

    GRABBER_CAM_DEVICE_ARGB();
    virtual ~GRABBER_CAM_DEVICE_ARGB();
    GRABBER_CAM_DEVICE_ARGB(const GRABBER_CAM_DEVICE_ARGB &) = delete;
    GRABBER_CAM_DEVICE_ARGB &operator=(const GRABBER_CAM_DEVICE_ARGB &) = delete;

    // Refreshes the owner list; the frame becomes the data handed out.
    bool DeviceConnect();
    // No data handed out until the next connect.
    void DeviceDisconnect();
    int32_t GetNumberOfInputs() { return int32_t(mWindowOwners.GetNumberOfUniqueWindowOwners()); }
    void SetCurrentInputNumber(int32_t n) { mCurrentInput.store(n); }
    int32_t GetCurrentInputNumber() const { return mCurrentInput.load(); }
    // "<device name>: <owner n>" (empty owner past the end), at most 255 characters.
    std::string GetDeviceName(int32_t n);

    // -50 while disconnected; else the frame, held until ReleaseCompressBuffer.
    int GetFrame(int32_t *count, void **data, uint32_t *size);
    // Gives a held frame back and asks for one grab when none is under way.
    int ReleaseCompressBuffer(void *data);

    // Fills the frame with white and draws the image fitted into it (under the frame lock).
    void RenderWindowImage(CGImageRef image);
    // Waits until the grab and the drawing asked for so far are done.
    void Drain();

    uint32_t FramesDelivered() const { return mFramesDelivered; }
    UVideoFrameBuffer::GraphicsContext &Frame() { return mFrame; }
    UWindrakeWindow &WindowOwners() { return mWindowOwners; }

    std::string mDeviceName = "Windrake";

private:
    void Grab();

    uint32_t mFramesDelivered = 0;
    uint32_t mFramesDropped = 0;
    void *mFrameData = nullptr;
    bool mFrameHandedOut = false;
    WindrakeFrameLock mFrameLock;
    UVideoFrameBuffer::GraphicsContext mFrame;
    std::atomic<int32_t> mCurrentInput{0};
    UWindrakeWindow mWindowOwners;
    UDispatchQueueSerialAsync mGrabberQueue;
    UDispatchQueueSerialAsync mRenderQueue;
    std::atomic<int32_t> mGrabsInFlight{0};
};

bool import_GRABBER_CAM_DEVICE_ARGB();
