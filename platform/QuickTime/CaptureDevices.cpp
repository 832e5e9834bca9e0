// The listing of capture devices: V4L2 cameras and the test camera, with unique names.
#include "CaptureDevices.h"

#include <cstdlib>
#include <cstring>

#include <CoreFoundation/CFString.h>

namespace lumora::qt {

std::vector<CaptureDeviceInfo> ListV4L2Devices();
std::unique_ptr<CaptureSource> OpenV4L2Device(const std::string &path, OSErr &err);

namespace {

constexpr size_t kMaximumName = 63;

CaptureDeviceInfo TestCameraInfo() {
    CaptureDeviceInfo info;
    info.name = kTestCameraName;
    info.inputs.push_back(kTestCameraInputName);
    return info;
}

bool Taken(const std::vector<CaptureDeviceInfo> &devices, const std::string &name) {
    for (const CaptureDeviceInfo &device : devices)
        if (device.name == name) return true;
    return false;
}

}  // namespace

std::string MacRomanName(const std::string &utf8) {
    std::string result;
    CFStringRef text = CFStringCreateWithBytes(nullptr, reinterpret_cast<const UInt8 *>(utf8.data()),
                                               CFIndex(utf8.size()), kCFStringEncodingUTF8, false);
    if (text != nullptr) {
        UInt8 buffer[kMaximumName];
        CFIndex used = 0;
        CFStringGetBytes(text, CFRangeMake(0, CFStringGetLength(text)), kCFStringEncodingMacRoman, '?', false, buffer,
                         CFIndex(sizeof buffer), &used);
        CFRelease(text);
        result.assign(reinterpret_cast<const char *>(buffer), size_t(used));
    } else {  // not UTF-8: keep the ASCII
        for (char c : utf8) {
            if (result.size() == kMaximumName) break;
            result.push_back(static_cast<unsigned char>(c) < 0x80 ? c : '?');
        }
    }
    return result;
}

std::vector<CaptureDeviceInfo> ListCaptureDevices() {
    std::vector<CaptureDeviceInfo> found = ListV4L2Devices();
    const char *wanted = std::getenv("LUMORA_TEST_CAMERA");
    const bool testFirst = wanted != nullptr && std::strcmp(wanted, "1") == 0;
    const bool testCamera = !TestCameraUnplugged() && (testFirst || found.empty());

    std::vector<CaptureDeviceInfo> devices;
    if (testCamera && testFirst) devices.push_back(TestCameraInfo());
    for (CaptureDeviceInfo &device : found) {
        // Devices of the same name get " (2)", " (3)"... in node order.
        std::string name = device.name;
        for (int copy = 2; Taken(devices, name) || (testCamera && name == kTestCameraName); ++copy) {
            const std::string suffix = " (" + std::to_string(copy) + ")";
            name = device.name.substr(0, kMaximumName - suffix.size()) + suffix;
        }
        device.name = name;
        devices.push_back(std::move(device));
    }
    if (testCamera && !testFirst) devices.push_back(TestCameraInfo());
    return devices;
}

std::unique_ptr<CaptureSource> OpenCaptureSource(const CaptureDeviceInfo &device, OSErr &err) {
    if (device.path.empty()) return OpenTestCamera(err);
    return OpenV4L2Device(device.path, err);
}

}  // namespace lumora::qt
