// The displays: the main one first in the active list, each with a size and an area; without
// an X server one display of the nominal 1280 x 800 whose refresh rate is not known.
#include <OpenGL/CGDirectDisplay.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

namespace {

bool HasX11() {
    const char *x11 = std::getenv("DISPLAY");
    return x11 != nullptr && *x11 != '\0';
}

}  // namespace

TEST(CGDirectDisplay, MainDisplayHasASizeAndOtherIdsNone) {
    const CGDirectDisplayID main = CGMainDisplayID();
    EXPECT_GT(CGDisplayPixelsWide(main), 0u);
    EXPECT_GT(CGDisplayPixelsHigh(main), 0u);
    uint32_t count = 0;
    ASSERT_EQ(CGGetActiveDisplayList(0, nullptr, &count), kCGErrorSuccess);
    EXPECT_EQ(CGDisplayPixelsWide(count + 1), 0u);
    EXPECT_EQ(CGDisplayPixelsHigh(count + 1), 0u);
    EXPECT_EQ(CGDisplayPixelsWide(0), 0u);
    if (!HasX11()) {
        EXPECT_EQ(count, 1u);
        EXPECT_EQ(CGDisplayPixelsWide(main), 1280u);
        EXPECT_EQ(CGDisplayPixelsHigh(main), 800u);
        EXPECT_EQ(CGDisplayRefreshRate(main), 0.0);
    }
}

TEST(CGDirectDisplay, ActiveListStartsWithTheMainDisplay) {
    uint32_t count = 0;
    EXPECT_EQ(CGGetActiveDisplayList(0, nullptr, nullptr), kCGErrorIllegalArgument);
    ASSERT_EQ(CGGetActiveDisplayList(0, nullptr, &count), kCGErrorSuccess);
    ASSERT_GE(count, 1u);
    std::vector<CGDirectDisplayID> displays(count + 2, 0);
    uint32_t given = 0;
    ASSERT_EQ(CGGetActiveDisplayList(count + 2, displays.data(), &given), kCGErrorSuccess);
    EXPECT_EQ(given, count);
    EXPECT_EQ(displays[0], CGMainDisplayID());
    EXPECT_EQ(displays[count], 0u);  // nothing past the count is written
    ASSERT_EQ(CGGetActiveDisplayList(0, displays.data(), &given), kCGErrorSuccess);
    EXPECT_EQ(given, 0u);

    for (uint32_t index = 0; index < count; ++index) {
        CGDisplayPixelArea area;
        ASSERT_TRUE(CGDisplayGetPixelArea(index + 1, &area));
        EXPECT_EQ(area.width, CGDisplayPixelsWide(index + 1));
        EXPECT_EQ(area.height, CGDisplayPixelsHigh(index + 1));
        EXPECT_GE(CGDisplayRefreshRate(index + 1), 0.0);
    }
    CGDisplayPixelArea area;
    EXPECT_FALSE(CGDisplayGetPixelArea(count + 1, &area));
    EXPECT_FALSE(CGDisplayGetPixelArea(CGMainDisplayID(), nullptr));
    EXPECT_EQ(CGDisplayRefreshRate(count + 1), 0.0);
}
