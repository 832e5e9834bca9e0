#include <QVDig/T_config_VDIG_device.h>

#include <algorithm>
#include <cstring>

T_config_VDIG_device::T_config_VDIG_device(const QVDigConfiguration &configuration)
    : mConfiguration(configuration), mFrameSizeBytes(configuration.kFrameSizeBytes) {
    std::strncpy(mDeviceName, configuration.kDeviceName, sizeof mDeviceName - 1);
}

T_config_VDIG_device::~T_config_VDIG_device() { mLockedData = nullptr; }

bool T_config_VDIG_device::Connect() {
    std::memset(mDeviceName, 0, sizeof mDeviceName);
    std::strncpy(mDeviceName, mConfiguration.kDeviceName, sizeof mDeviceName - 1);
    mCompressionOn = 0;
    mFramesDelivered = 0;
    mFramesDropped = 0;
    return true;
}

void T_config_VDIG_device::Disconnect() {
    mFramesDelivered = 0;
    mFramesDropped = 0;
}

void T_config_VDIG_device::GetMaxSrcRectFromDevice(Rect &rect) const {
    rect = Rect{0, 0, short(mConfiguration.kFrameHeightPixels), short(mConfiguration.kFrameWidthPixels)};
}

ComponentResult T_config_VDIG_device::SetCompressionOnOff(Boolean on) {
    mCompressionOn = on;
    return noErr;
}

ComponentResult T_config_VDIG_device::GetDeviceName(StringPtr name, long input) const {
    (void)input;
    if (name == nullptr) return paramErr;
    const size_t length = std::min<size_t>(std::strlen(mDeviceName), 255);
    name[0] = static_cast<unsigned char>(length);
    std::memcpy(name + 1, mDeviceName, length);
    return noErr;
}

void T_config_VDIG_device::SetDeviceNameSuffix(const char *text) {
    if (text == nullptr) return;
    const size_t used = std::strlen(mDeviceName);
    std::strncat(mDeviceName, text, sizeof mDeviceName - 1 - used);
}
