// A host opens the Lumora2.VDIG bundle through the Component Manager while a frame-sharing
// server of its own runs in another process: one input named after the device, 'raw '
// input format, the frame rate it was set to, and frames that are the server's surface
// (flipped to the top row first, swizzled to A R G B, each newer than the last).
#include "components/VDigHost.h"

#include "support/ChildProcess.h"

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

TEST(VirtualCameraHost, OpensListsSetsTheRateAndGrabsTheServersFrames) {
    if (!vdighost::OwnLoopbackNetwork()) std::fprintf(stderr, "sharing the machine's network: port 30300 may be busy\n");
    lumora::test::ChildProcess server({LUMORA_VDIG_TEST_SERVER});
    const std::string ready = server.line(30000);
    ASSERT_EQ(ready.rfind("surface ", 0), 0u) << ready;

    ComponentInstance vd = vdighost::Open(LUMORA_VDIG_COMPONENT, MakeFourCharCode("Lm2v"));
    ASSERT_NE(vd, nullptr);

    short inputs = -1, format = -1;
    ASSERT_EQ(VDGetNumberOfInputs(vd, &inputs), noErr);
    EXPECT_EQ(inputs, 0) << "one input (the number is the last input's)";
    Str255 name{};
    ASSERT_EQ(VDGetInputName(vd, 0, name), noErr);
    EXPECT_EQ(vdighost::Text(name), "Lum@ra2");
    UInt32 flags = 0;
    ASSERT_EQ(VDGetDeviceNameAndFlags(vd, name, &flags), noErr);
    EXPECT_EQ(vdighost::Text(name), "Lum@ra2");
    ASSERT_EQ(VDGetInputFormat(vd, 0, &format), noErr);
    EXPECT_EQ(format, rgbComponentIn);
    Rect max{};
    ASSERT_EQ(VDGetMaxSrcRect(vd, 0, &max), noErr);
    EXPECT_EQ(max.bottom, 480);
    EXPECT_EQ(max.right, 640);

    {
        vdighost::Capture capture(vd, 15);
        long msPerFrame = 0, bytesPerSecond = 0;
        Fixed fps = 0;
        ASSERT_EQ(VDGetDataRate(vd, &msPerFrame, &fps, &bytesPerSecond), noErr);
        EXPECT_EQ(bytesPerSecond, 640 * 480 * 4 * 15);

        // The server's frames come once the client's ping has been answered.
        int lastFrame = -1, newer = 0;
        for (int i = 0; i < 500 && newer < 3; ++i) {
            capture.Frame([&](const uint8_t *p) {
                // Row 0 of the frame is the surface's last row (y = 479); A R G B.
                const uint8_t *topLeft = p, *somewhere = p + 100 * 2560 + 300 * 4;
                const bool served = topLeft[0] == 255 && topLeft[2] == uint8_t(479) && topLeft[3] == 0 &&
                                    somewhere[2] == uint8_t(379) && somewhere[3] == uint8_t(300);
                if (served && topLeft[1] != lastFrame) {
                    if (lastFrame >= 0) ++newer;
                    lastFrame = topLeft[1];
                }
                return served;
            });
            usleep(10000);
        }
        EXPECT_GE(newer, 3) << "new frames of the server keep coming";
    }
    EXPECT_EQ(CloseComponent(vd), noErr);
    EXPECT_EQ(server.finish(), 0);
}

}  // namespace
