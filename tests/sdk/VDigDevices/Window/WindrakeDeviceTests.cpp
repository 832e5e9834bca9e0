// The window-image device on an X server: this program's own window, drawn in two colours,
// is an input and comes out aspect-fitted in the device's frames; the system's owners never
// appear, and an owner whose windows went stays listed without a new picture.
#include <VDigDevices/GRABBER_CAM_DEVICE_ARGB.h>

#include <gtest/gtest.h>

#include <chrono>
#include <errno.h>
#include <string>
#include <thread>
#include <vector>

#include "support/XcbTestWindow.h"

namespace {

using lumora::test::XcbTestConnection;
using lumora::test::XcbTestWindow;

std::vector<int> Pixel(const void *frame, int x, int y) {
    const uint8_t *p = static_cast<const uint8_t *>(frame) + y * 2560 + x * 4;
    return {p[0], p[1], p[2], p[3]};
}

int32_t OwnInput(GRABBER_CAM_DEVICE_ARGB &device) {
    const std::string own = std::string("Windrake: ") + program_invocation_short_name;
    for (int32_t n = 0; n < device.GetNumberOfInputs(); ++n)
        if (device.GetDeviceName(n) == own) return n;
    return -1;
}

// Frames until `ready` holds for one (each release asks for a grab).
bool GrabUntil(GRABBER_CAM_DEVICE_ARGB &device, const std::function<bool(const void *)> &ready) {
    for (int i = 0; i < 200; ++i) {
        int32_t count = 0;
        void *data = nullptr;
        uint32_t size = 0;
        if (device.GetFrame(&count, &data, &size) != 0 || count != 1) return false;
        const bool done = ready(data);
        device.ReleaseCompressBuffer(data);
        device.Drain();
        if (done) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

TEST(GRABBER_CAM_DEVICE_ARGB, AnApplicationsWindowIsTheCameraPicture) {
    XcbTestConnection x;
    ASSERT_TRUE(x.Usable()) << "the gui tests run under Xvfb";
    XcbTestWindow window(x, 40, 30, 320, 240, "Windrake test window");
    window.Show(0xFF0000, 0x0000FF);

    GRABBER_CAM_DEVICE_ARGB device;
    ASSERT_TRUE(device.DeviceConnect());
    const int32_t input = OwnInput(device);
    ASSERT_GE(input, 0) << "this program is listed as an input";
    for (int32_t n = 0; n < device.GetNumberOfInputs(); ++n)
        for (const std::string &never : UWindrakeWindow::NeverListedOwners())
            EXPECT_NE(device.GetDeviceName(n), "Windrake: " + never);
    EXPECT_EQ(device.GetDeviceName(device.GetNumberOfInputs()), "Windrake: ");

    device.SetCurrentInputNumber(input);
    const std::vector<int> red{255, 255, 0, 0}, blue{255, 0, 0, 255};
    ASSERT_TRUE(GrabUntil(device, [&](const void *frame) {
        return Pixel(frame, 320, 100) == red && Pixel(frame, 320, 380) == blue;
    }));

    // The window goes: the input stays, the last picture stays.
    window.Destroy();
    const int32_t inputs = device.GetNumberOfInputs();
    ASSERT_TRUE(GrabUntil(device, [&](const void *frame) { return Pixel(frame, 320, 100) == red; }));
    device.DeviceDisconnect();
    device.DeviceConnect();
    EXPECT_GE(device.GetNumberOfInputs(), inputs);
    EXPECT_EQ(OwnInput(device), input);
}

}  // namespace
