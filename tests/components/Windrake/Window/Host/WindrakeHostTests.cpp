// A host opens the Windrake bundle through the Component Manager and films its own window:
// this program is one of the inputs, named "Windrake: <program>", and after choosing it the
// frames show the window (red over blue, fitted into 640 x 480).
#include "components/VDigHost.h"

#include "support/XcbTestWindow.h"

#include <errno.h>
#include <string>
#include <vector>

namespace {

using lumora::test::XcbTestConnection;
using lumora::test::XcbTestWindow;

TEST(WindrakeHost, OpensListsTheApplicationsAndFilmsTheChosenOnesWindow) {
    XcbTestConnection x;
    ASSERT_TRUE(x.Usable()) << "the gui tests run under Xvfb";
    XcbTestWindow window(x, 100, 80, 400, 300, "Windrake host window");
    window.Show(0xFF0000, 0x0000FF);

    ComponentInstance vd = vdighost::Open(LUMORA_WINDRAKE_COMPONENT, MakeFourCharCode("Wrak"));
    ASSERT_NE(vd, nullptr);
    short last = -1;
    ASSERT_EQ(VDGetNumberOfInputs(vd, &last), noErr);
    short own = -1;
    const std::string ownName = std::string("Windrake: ") + program_invocation_short_name;
    for (short n = 0; n <= last; ++n) {
        Str255 name{};
        ASSERT_EQ(VDGetInputName(vd, n, name), noErr);
        if (vdighost::Text(name) == ownName) own = n;
        EXPECT_NE(vdighost::Text(name), "Windrake: Dock");
    }
    ASSERT_GE(own, 0) << "this program is an input";
    ASSERT_EQ(VDSetInput(vd, own), noErr);
    short chosen = -1;
    ASSERT_EQ(VDGetInput(vd, &chosen), noErr);
    EXPECT_EQ(chosen, own);

    {
        vdighost::Capture capture(vd, 30);
        const std::vector<int> red{255, 255, 0, 0}, blue{255, 0, 0, 255};
        auto pixel = [](const uint8_t *p, int x, int y) {
            const uint8_t *q = p + y * 2560 + x * 4;
            return std::vector<int>{q[0], q[1], q[2], q[3]};
        };
        bool filmed = false;
        for (int i = 0; i < 300 && !filmed; ++i) {
            // 400 x 300 fits 640 x 480 exactly: the top half red, the bottom half blue.
            filmed = capture.Frame([&](const uint8_t *p) {
                return pixel(p, 320, 100) == red && pixel(p, 320, 380) == blue && pixel(p, 5, 5) == red;
            });
            if (!filmed) usleep(10000);
        }
        EXPECT_TRUE(filmed);
    }
    EXPECT_EQ(CloseComponent(vd), noErr);
}

}  // namespace
