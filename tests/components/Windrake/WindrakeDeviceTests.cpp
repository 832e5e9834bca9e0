// The window-image device without a display: frames only while connected, and an image
// drawn fitted on white into the frame.
#include <Windrake/GRABBER_CAM_DEVICE_ARGB.h>

#include <CoreG/Drawing/namespace_CoreGraphics_BitmapContext.h>

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace {

TEST(GRABBER_CAM_DEVICE_ARGB, AnImageIsDrawnFittedOnWhiteAndFramesAnswerOnlyWhileConnected) {
    GRABBER_CAM_DEVICE_ARGB device;
    UInt8 count = 0xFF;
    Ptr data = reinterpret_cast<Ptr>(1);
    long size = 7;
    EXPECT_EQ(device.GetFrame(&count, &data, &size), -50);
    EXPECT_EQ(count, 0);
    EXPECT_EQ(data, nullptr);

    // A red 1280 x 720 picture: red in the middle, white bands of 60 rows above and below.
    CoreGraphics::BitmapContext picture;
    ASSERT_TRUE(picture.Construct(1280, 720, CoreGraphics::kBitmapType_ARGB32));
    CGContextSetRGBFillColor(picture.mContext, 1, 0, 0, 1);
    CGContextFillRect(picture.mContext, CGRectMake(0, 0, 1280, 720));
    CGImageRef image = picture.ConstructCGImage(nullptr);
    ASSERT_NE(image, nullptr);
    device.RenderWindowImage(image);
    CGImageRelease(image);

    ASSERT_TRUE(device.Connect());
    ASSERT_EQ(device.GetFrame(&count, &data, &size), 0);
    ASSERT_EQ(count, 1);
    EXPECT_EQ(size, 1228800);
    auto pixel = [&](int x, int y) {
        const uint8_t *p = reinterpret_cast<const uint8_t *>(data) + y * 2560 + x * 4;
        return std::vector<int>(p, p + 4);
    };
    const std::vector<int> white{255, 255, 255, 255}, red{255, 255, 0, 0};
    for (int y : {0, 30, 59, 420, 479}) EXPECT_EQ(pixel(320, y), white) << y;
    for (int y : {61, 240, 418}) EXPECT_EQ(pixel(5, y), red) << y;
    EXPECT_EQ(device.ReleaseCompressBuffer(data), 0);
    device.Drain();
    EXPECT_EQ(device.GetCurrentInputNumber(), 0);
    device.SetCurrentInputNumber(3);
    EXPECT_EQ(device.GetCurrentInputNumber(), 3);
    device.Disconnect();
    EXPECT_EQ(device.GetFrame(&count, &data, &size), -50);
}

// A host that asks again before giving the frame back gets the frame it holds (it does not
// wait on itself), and a device destroyed while the host holds its frame does not hang.
TEST(GRABBER_CAM_DEVICE_ARGB, AskingTwiceOrClosingWhileHoldingTheFrameDoesNotHang) {
    auto device = std::make_unique<GRABBER_CAM_DEVICE_ARGB>();
    ASSERT_TRUE(device->Connect());
    UInt8 count = 0;
    Ptr first = nullptr, second = nullptr;
    long size = 0;
    ASSERT_EQ(device->GetFrame(&count, &first, &size), 0);
    ASSERT_EQ(device->GetFrame(&count, &second, &size), 0);
    EXPECT_EQ(count, 1);
    EXPECT_EQ(first, second);
    EXPECT_EQ(device->ReleaseCompressBuffer(second), 0);
    ASSERT_EQ(device->GetFrame(&count, &first, &size), 0);
    device.reset();
}

}  // namespace
