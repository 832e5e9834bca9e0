// The window-image device on an X server: this program's own window, drawn in two colours,
// is an input and comes out aspect-fitted in the device's frames; the system's owners never
// appear, and an owner whose windows went stays listed without a new picture.
#include <Windrake/GRABBER_CAM_DEVICE_ARGB.h>

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

long OwnInput(GRABBER_CAM_DEVICE_ARGB &device) {
    const std::string own = std::string("Windrake: ") + program_invocation_short_name;
    for (long n = 0; n < device.GetNumberOfInputs(); ++n)
        if (device.DeviceNameOfInput(n) == own) return n;
    return -1;
}

// Frames until `ready` holds for one (each release asks for a grab).
bool GrabUntil(GRABBER_CAM_DEVICE_ARGB &device, const std::function<bool(const void *)> &ready) {
    for (int i = 0; i < 200; ++i) {
        UInt8 count = 0;
        Ptr data = nullptr;
        long size = 0;
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
    ASSERT_TRUE(device.Connect());
    const long input = OwnInput(device);
    ASSERT_GE(input, 0) << "this program is listed as an input";
    for (long n = 0; n < device.GetNumberOfInputs(); ++n)
        for (const std::string &never : UWindrakeWindow::NeverListedOwners())
            EXPECT_NE(device.DeviceNameOfInput(n), "Windrake: " + never);
    EXPECT_EQ(device.DeviceNameOfInput(device.GetNumberOfInputs()), "Windrake: ");

    device.SetCurrentInputNumber(input);
    const std::vector<int> red{255, 255, 0, 0}, blue{255, 0, 0, 255};
    ASSERT_TRUE(GrabUntil(device, [&](const void *frame) {
        return Pixel(frame, 320, 100) == red && Pixel(frame, 320, 380) == blue;
    }));

    // The window goes: the input stays, the last picture stays.
    window.Destroy();
    const long inputs = device.GetNumberOfInputs();
    ASSERT_TRUE(GrabUntil(device, [&](const void *frame) { return Pixel(frame, 320, 100) == red; }));
    device.Disconnect();
    device.Connect();
    EXPECT_GE(device.GetNumberOfInputs(), inputs);
    EXPECT_EQ(OwnInput(device), input);
}

}  // namespace
