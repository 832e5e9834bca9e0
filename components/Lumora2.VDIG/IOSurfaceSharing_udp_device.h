// The virtual camera's device: the newest surface the application's UDP casts name, as a
// 640 x 480 'raw ' (A R G B) frame from the shared frame cache; while no surface has been
// announced, a placeholder with the device name in its lower third.
//
// All its work runs on the host's capture thread. The frame handed out is held in the cache
// (never rewritten, never freed) until ReleaseCompressBuffer gives it back.
#pragma once

#include <QVDig/T_config_VDIG_device.h>

#include <VDig/UVideoFrameBuffer_GraphicsContext.h>
#include <VDigDevices/IOSurfaceSharingUDPImage.h>

#include <cstdint>

class IOSurfaceSharing_udp_device : public T_config_VDIG_device {
public:
    static constexpr QVDigConfiguration kConfiguration = {
        "Lum@ra2", MakeFourCharCode("raw "), 4, 640, 480, 2560, 1228800, rgbComponentIn};
    static constexpr uint16_t kConfig_ServerPortNumber = 30300;

    IOSurfaceSharing_udp_device();
    ~IOSurfaceSharing_udp_device() override;

    // The configuration's connect; passes the server port to the frame source.
    bool Connect();
    // The placeholder again until the next announcement; counters cleared.
    void Disconnect();
    // Stores the port, draws the device message and passes the port on (the next read
    // reconnects).
    void SetServerPortNumber(uint16_t port);
    uint16_t GetServerPortNumber() const { return mServerPortNumber; }
    // Erases the placeholder and draws "Lum@ra2" centred in its lower third.
    virtual void DrawDeviceMessage();

    // Always 0; count 0 when no frame this time.
    ComponentResult GetFrame(UInt8 *count, Ptr *data, long *size);
    ComponentResult ReleaseCompressBuffer(Ptr data);

    // One input: the application's output.
    long GetNumberOfInputs() { return 1; }
    long GetCurrentInputNumber() { return 0; }
    void SetCurrentInputNumber(long) {}

    uint32_t FramesDelivered() const { return mFramesDelivered; }
    int64_t CurrentFrameTime() const { return mCurrentFrameTime; }
    const void *PlaceholderData() const { return mPlaceholder.mFrameBufferData; }
    IOSurfaceSharingUDPImageARGB &Source() { return mSource; }

private:
    void ReleaseLockedFrame();

    uint16_t mServerPortNumber = kConfig_ServerPortNumber;
    UVideoFrameBuffer::GraphicsContext mPlaceholder;
    IOSurfaceSharingFrameBufferCache::Entry mLockedCachedFrame;
    int64_t mCurrentFrameTime = -1;
    IOSurfaceSharingUDPImageARGB mSource;
};

bool import_IOSurfaceSharing_udp_device();
