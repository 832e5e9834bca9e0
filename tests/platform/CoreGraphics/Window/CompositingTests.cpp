// The compositor query on a real X server: Xvfb has no compositing manager until a client
// owns the screen's "_NET_WM_CM_S<n>" selection, as a compositor does.
#include <CoreGraphics/CGWindowCompositing.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "support/XcbTestWindow.h"

namespace {

using lumora::test::XcbTestConnection;
using lumora::test::XcbTestWindow;

TEST(WindowServerCompositing, FollowsTheSelectionOwner) {
    XcbTestConnection x;
    ASSERT_TRUE(x.Usable());
    EXPECT_FALSE(CGWindowServerIsCompositing());

    const char *display = std::getenv("DISPLAY");
    std::string screen = "0";
    if (const char *dot = display != nullptr ? std::strrchr(display, '.') : nullptr) screen = dot + 1;
    const xcb_atom_t selection = x.Atom(("_NET_WM_CM_S" + screen).c_str());
    {
        XcbTestWindow owner(x, 0, 0, 1, 1, "");
        xcb_set_selection_owner(x.Get(), owner.Id(), selection, XCB_CURRENT_TIME);
        x.Sync();
        EXPECT_TRUE(CGWindowServerIsCompositing());
        xcb_set_selection_owner(x.Get(), XCB_NONE, selection, XCB_CURRENT_TIME);
        x.Sync();
    }
    EXPECT_FALSE(CGWindowServerIsCompositing());
}

TEST(WindowServerCompositing, NoDisplayNoCompositor) {
    const std::string saved = std::getenv("DISPLAY") != nullptr ? std::getenv("DISPLAY") : "";
    ::unsetenv("DISPLAY");
    EXPECT_FALSE(CGWindowServerIsCompositing());
    ::setenv("DISPLAY", ":99999", 1);  // no server there
    EXPECT_FALSE(CGWindowServerIsCompositing());
    if (saved.empty()) {
        ::unsetenv("DISPLAY");
    } else {
        ::setenv("DISPLAY", saved.c_str(), 1);
    }
}

}  // namespace
