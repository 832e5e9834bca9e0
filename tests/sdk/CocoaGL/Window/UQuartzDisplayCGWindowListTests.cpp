// The window list through UQuartzDisplayCGWindow on a real X server (scripts/test runs this
// program under Xvfb): every window is handed to the block once, in order, with what the
// typed reads find in it.
#include <CocoaGL/UQuartzDisplayCGWindow.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <optional>
#include <string>
#include <unistd.h>

#include "support/XcbTestWindow.h"

namespace {

using lumora::test::XcbTestConnection;
using lumora::test::XcbTestWindow;

std::string Unique(const std::string &name) { return name + " " + std::to_string(::getpid()); }

class QuartzWindowList : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(mX.Usable()) << "no X display: this program runs under Xvfb (scripts/test)";
    }
    XcbTestConnection mX;
};

TEST_F(QuartzWindowList, HandsEveryWindowToTheBlockWithItsInformation) {
    const std::string name = Unique("Lumora quartz window");
    XcbTestWindow named(mX, 10, 20, 300, 200, name);
    XcbTestWindow nameless(mX, 400, 20, 40, 30, "");
    named.Show();
    nameless.Show();

    unsigned calls = 0;
    std::optional<UQuartzDisplayCGWindow> found;
    std::optional<UQuartzDisplayCGWindow> foundNameless;
    const unsigned count = UQuartzDisplayCGWindow::enumerateQuartzDisplayCGWindowListOptions(
        kCGWindowListOptionOnScreenOnly, [&](unsigned index, UQuartzDisplayCGWindow *window) {
            EXPECT_EQ(index, calls);
            ++calls;
            ASSERT_NE(window, nullptr);
            if (window->windowID() == named.Id()) found = *window;
            if (window->windowID() == nameless.Id()) foundNameless = *window;
        });
    EXPECT_EQ(count, calls);
    EXPECT_GE(count, 2u);

    // Copies made in the block outlive the enumeration.
    ASSERT_TRUE(found.has_value());
    EXPECT_EQ(found->windowName().toStdString(), name);
    EXPECT_EQ(found->windowOwnerName().toStdString(), program_invocation_short_name);
    EXPECT_EQ(found->windowOwnerPID(), QVariant(qlonglong(::getpid())));
    EXPECT_TRUE(found->isOnscreen());
    EXPECT_EQ(found->windowBoundsString().toStdString(), "Bounds(10,20,300,200)");
    EXPECT_EQ(found->windowIDNumber(), QVariant(qlonglong(named.Id())));
    EXPECT_EQ(found->windowLevel(), 0u);
    EXPECT_EQ(found->sharingState(), int(kCGWindowSharingReadOnly));

    // A window without a name (and so, here, without an owner).
    ASSERT_TRUE(foundNameless.has_value());
    EXPECT_EQ(foundNameless->windowName().toStdString(), "");
    EXPECT_EQ(foundNameless->windowOwnerName().toStdString(), "(unknown)");
    EXPECT_FALSE(foundNameless->windowOwnerPID().isValid());
}

TEST_F(QuartzWindowList, HiddenWindowsAreListedOnlyWithAllWindows) {
    XcbTestWindow hidden(mX, 0, 0, 10, 10, Unique("Lumora hidden"));  // never mapped
    const auto listed = [&](CGWindowListOption options) {
        bool seen = false;
        UQuartzDisplayCGWindow::enumerateQuartzDisplayCGWindowListOptions(
            options, [&](unsigned, UQuartzDisplayCGWindow *window) {
                if (window->windowID() != hidden.Id()) return;
                seen = true;
                EXPECT_FALSE(window->isOnscreen());
            });
        return seen;
    };
    EXPECT_TRUE(listed(kCGWindowListOptionAll));
    EXPECT_FALSE(listed(kCGWindowListOptionOnScreenOnly));
    EXPECT_EQ(UQuartzDisplayCGWindow::enumerateQuartzDisplayCGWindowListOptions(kCGWindowListOptionAll, nullptr), 0u);
}

}  // namespace
