// The display's size: the X11 screen's, or the nominal 1280 x 800 when rendering without one.
#include <OpenGL/CGDirectDisplay.h>

#include <gtest/gtest.h>

#include <cstdlib>

TEST(CGDirectDisplay, MainDisplayHasASizeAndOtherIdsNone) {
    const CGDirectDisplayID main = CGMainDisplayID();
    EXPECT_GT(CGDisplayPixelsWide(main), 0u);
    EXPECT_GT(CGDisplayPixelsHigh(main), 0u);
    EXPECT_EQ(CGDisplayPixelsWide(main + 1), 0u);
    EXPECT_EQ(CGDisplayPixelsHigh(main + 1), 0u);
    const char *x11 = std::getenv("DISPLAY");
    if (x11 == nullptr || *x11 == '\0') {
        EXPECT_EQ(CGDisplayPixelsWide(main), 1280u);
        EXPECT_EQ(CGDisplayPixelsHigh(main), 800u);
    }
}
