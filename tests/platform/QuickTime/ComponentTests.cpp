#include <gtest/gtest.h>

#include <QuickTime/QuickTime.h>

namespace {

// A reference to a closed or disposed instance is recognised without reading through it
// (AddressSanitizer reports a use after free otherwise).
TEST(Components, StaleReferencesAreRefused) {
    SeqGrabComponent grabber = OpenDefaultComponent(SeqGrabComponentType, 0);
    ASSERT_NE(grabber, nullptr);
    ASSERT_EQ(SGInitialize(grabber), noErr);
    SGChannel channel = nullptr;
    ASSERT_EQ(SGNewChannel(grabber, VideoMediaType, &channel), noErr);
    ASSERT_EQ(SGDisposeChannel(grabber, channel), noErr);

    const Rect bounds = {0, 0, 48, 64};
    EXPECT_NE(SGSetChannelBounds(channel, &bounds), noErr);
    EXPECT_NE(SGDisposeChannel(grabber, channel), noErr);

    EXPECT_EQ(CloseComponent(grabber), noErr);
    EXPECT_EQ(CloseComponent(grabber), invalidComponentID);
    EXPECT_NE(SGIdle(grabber), noErr);

    int notAComponent = 0;
    EXPECT_EQ(CloseComponent(reinterpret_cast<ComponentInstance>(&notAComponent)), invalidComponentID);
}

}  // namespace
