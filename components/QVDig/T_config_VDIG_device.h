// The base of every digitizer device: the component's configuration constants (frame size,
// pixel format, name), the device's name and its frame counters.
#pragma once

#include <QuickTime/VideoDigitizer.h>

#include <cstdint>

// The constants of one component's device.
struct QVDigConfiguration {
    const char *kDeviceName;
    OSType kPixelFormat;
    UInt32 kPixelSizeBytes;
    UInt32 kFrameWidthPixels;
    UInt32 kFrameHeightPixels;
    UInt32 kFrameRowBytes;
    UInt32 kFrameSizeBytes;
    short kFrameInputFormat;
};

class T_config_VDIG_device {
public:
    explicit T_config_VDIG_device(const QVDigConfiguration &configuration);
    virtual ~T_config_VDIG_device();
    T_config_VDIG_device(const T_config_VDIG_device &) = delete;
    T_config_VDIG_device &operator=(const T_config_VDIG_device &) = delete;

    const QVDigConfiguration &Configuration() const { return mConfiguration; }

    // Resets the name, clears the compression flag and both counters; true.
    bool Connect();
    // Clears both counters.
    void Disconnect();
    // {0, 0, height, width}.
    void GetMaxSrcRectFromDevice(Rect &rect) const;
    ComponentResult SetCompressionOnOff(Boolean on);
    // The name as a Pascal string (at most 255 characters); paramErr for a null name.
    ComponentResult GetDeviceName(StringPtr name, long input) const;
    // Appends the text to the name (kept to 64 characters).
    void SetDeviceNameSuffix(const char *text);
    const char *DeviceName() const { return mDeviceName; }

protected:
    const QVDigConfiguration &mConfiguration;
    char mDeviceName[65] = {};
    UInt32 mCompressionOn = 0;
    uint32_t mFramesDelivered = 0;
    uint32_t mFramesDropped = 0;
    void *mLockedData = nullptr;
    uint32_t mFrameSizeBytes = 0;
};
