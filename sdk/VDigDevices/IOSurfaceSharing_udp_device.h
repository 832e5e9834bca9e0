// The virtual camera's device: the newest surface the application's UDP casts name, as a
// 640 x 480 'raw ' (A R G B) frame from the shared frame cache; while no surface has been
// announced, a placeholder with the device name in its lower third.
//
// All its work runs on the host's capture thread. The frame handed out is held in the cache
// (never rewritten, never freed) until ReleaseCompressBuffer gives it back.
#pragma once

#include <VDigDevices/IOSurfaceSharingUDPImage.h>
#include <VDig/UVideoFrameBuffer_GraphicsContext.h>

#include <cstdint>
#include <string>

class IOSurfaceSharing_udp_device {
public:
    static constexpr uint16_t kConfig_ServerPortNumber = 30300;
    static constexpr int kFrameWidthPixels = 640;
    static constexpr int kFrameHeightPixels = 480;
    static constexpr uint32_t kFrameSizeBytes = 640 * 480 * 4;

    IOSurfaceSharing_udp_device();
    virtual ~IOSurfaceSharing_udp_device();
    IOSurfaceSharing_udp_device(const IOSurfaceSharing_udp_device &) = delete;
    IOSurfaceSharing_udp_device &operator=(const IOSurfaceSharing_udp_device &) = delete;

    // Passes the server port to the frame source.
    bool DeviceConnect();
    // The placeholder again until the next announcement; counters cleared.
    void DeviceDisconnect();
    // Stores the port and passes it on (the next read reconnects).
    void SetServerPortNumber(uint16_t port);
    uint16_t GetServerPortNumber() const { return mServerPortNumber; }
    // Erases the placeholder and draws "Lum@ra2" centred in its lower third.
    virtual void DrawDeviceMessage();

    // Always 0; count 0 when no frame this time.
    int GetFrame(int32_t *count, void **data, uint32_t *size);
    int ReleaseCompressBuffer(void *data);

    uint32_t FramesDelivered() const { return mFramesDelivered; }
    int64_t CurrentFrameTime() const { return mCurrentFrameTime; }
    const void *PlaceholderData() const { return mPlaceholder.mFrameBufferData; }
    IOSurfaceSharingUDPImageARGB &Source() { return mSource; }

    std::string mDeviceName = "Lum@ra2";

private:
    void ReleaseLockedFrame();

    uint32_t mFramesDelivered = 0;
    uint32_t mFramesDropped = 0;
    uint16_t mServerPortNumber = kConfig_ServerPortNumber;
    UVideoFrameBuffer::GraphicsContext mPlaceholder;
    IOSurfaceSharingFrameBufferCache::Entry mLockedCachedFrame;
    int64_t mCurrentFrameTime = -1;
    IOSurfaceSharingUDPImageARGB mSource;
};

bool import_IOSurfaceSharing_udp_device();
