// The image of one window, as frame sharing takes it, on a real X server (scripts/test runs
// this program under Xvfb).
#include <CoreG/Capture/namespace_CoreGraphics_WindowListImage.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "support/XcbTestWindow.h"

namespace {

using lumora::test::XcbTestConnection;
using lumora::test::XcbTestWindow;

class WindowListImage : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(mX.Usable()) << "no X display: this program runs under Xvfb (scripts/test)";
        ASSERT_EQ(mX.Screen()->root_depth, 24) << "the tests paint 24-bit TrueColor pixels";
    }
    XcbTestConnection mX;
};

TEST_F(WindowListImage, AnOpaqueImageOfTheWindowAtItsSize) {
    XcbTestWindow window(mX, 50, 60, 33, 21, "Lumora window image " + std::to_string(::getpid()));
    window.Show(0x40C020, 0xE0E000);

    CGImageRef image = CoreGraphics::CreateWindowListImage(window.Id());
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(CGImageGetWidth(image), 33u);
    EXPECT_EQ(CGImageGetHeight(image), 21u);
    EXPECT_EQ(CGImageGetAlphaInfo(image), kCGImageAlphaNoneSkipFirst);
    CFDataRef data = CGDataProviderCopyData(CGImageGetDataProvider(image));
    ASSERT_NE(data, nullptr);
    const size_t rowBytes = CGImageGetBytesPerRow(image);
    const auto pixel = [&](size_t x, size_t y) {
        uint32_t value;
        std::memcpy(&value, CFDataGetBytePtr(data) + y * rowBytes + x * 4, 4);
        return value;
    };
    EXPECT_EQ(pixel(0, 0), 0xFF40C020u);
    EXPECT_EQ(pixel(32, 9), 0xFF40C020u);
    EXPECT_EQ(pixel(0, 10), 0xFFE0E000u);
    EXPECT_EQ(pixel(32, 20), 0xFFE0E000u);
    CFRelease(data);
    CGImageRelease(image);
}

TEST_F(WindowListImage, NoImageOfAWindowThatIsNotShown) {
    XcbTestWindow hidden(mX, 0, 0, 10, 10, "");
    XcbTestWindow gone(mX, 0, 0, 10, 10, "");
    gone.Show();
    const xcb_window_t goneId = gone.Id();
    gone.Destroy();
    for (CGWindowID id : {CGWindowID{hidden.Id()}, CGWindowID{goneId}, kCGNullWindowID}) {
        SCOPED_TRACE(id);
        EXPECT_EQ(CoreGraphics::CreateWindowListImage(id), nullptr);
    }
}

}  // namespace
