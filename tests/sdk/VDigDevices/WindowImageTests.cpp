// The window-image device's parts without a display: the aspect fit, the owner list from
// window information, and drawing an image into the frame.
#include <VDigDevices/GRABBER_CAM_DEVICE_ARGB.h>

#include <CoreFoundation/CFNumber.h>
#include <CoreG/Drawing/namespace_CoreGraphics_BitmapContext.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

TEST(WindrakeFitImageRect, ImagesKeepTheirAspectCentredInTheFrame) {
    struct Case {
        double w, h;
        CGRect expected;
    } cases[] = {
        {1280, 720, CGRectMake(0, 60, 640, 360)},
        {300, 600, CGRectMake(200, 0, 240, 480)},
        {640, 480, CGRectMake(0, 0, 640, 480)},
        {64, 48, CGRectMake(0, 0, 640, 480)},
    };
    for (const Case &c : cases) {
        const CGRect r = WindrakeFitImageRect(640, 480, c.w, c.h);
        EXPECT_TRUE(CGRectEqualToRect(r, c.expected)) << c.w << "x" << c.h;
    }
    EXPECT_TRUE(CGRectIsNull(WindrakeFitImageRect(640, 480, 0, 10)));
}

CFDictionaryRef WindowInfo(const char *owner, long long sharing) {
    CFMutableDictionaryRef info = CFDictionaryCreateMutable(kCFAllocatorDefault, 0, &kCFTypeDictionaryKeyCallBacks,
                                                            &kCFTypeDictionaryValueCallBacks);
    if (owner != nullptr) {
        CFStringRef name = CFStringCreateWithCString(kCFAllocatorDefault, owner, kCFStringEncodingUTF8);
        CFDictionarySetValue(info, kCGWindowOwnerName, name);
        CFRelease(name);
    }
    CFNumberRef number = CFNumberCreate(kCFAllocatorDefault, kCFNumberLongLongType, &sharing);
    CFDictionarySetValue(info, kCGWindowSharingState, number);
    CFRelease(number);
    return info;
}

TEST(UWindrakeWindow, OwnersAreListedOnceInOrderWithoutTheSystemsOwn) {
    std::vector<CFDictionaryRef> infos = {
        WindowInfo("Editor", 1),  WindowInfo("Dock", 1),   WindowInfo("Paint", 2), WindowInfo("Editor", 1),
        WindowInfo("Hidden", 0),  WindowInfo(nullptr, 1), WindowInfo("SystemUIServer", 1),
        WindowInfo("Window Server", 1),
    };
    CFArrayRef array = CFArrayCreate(kCFAllocatorDefault, reinterpret_cast<const void **>(infos.data()),
                                     CFIndex(infos.size()), &kCFTypeArrayCallBacks);
    UWindrakeWindow owners;
    owners.UpdateWindowOwnerListFromWindowInfo(array);
    owners.UpdateWindowOwnerListFromWindowInfo(array);
    ASSERT_EQ(owners.GetNumberOfUniqueWindowOwners(), 2u);
    std::string name;
    EXPECT_TRUE(owners.GetWindowOwnerAtIndex(0, name));
    EXPECT_EQ(name, "Editor");
    EXPECT_TRUE(owners.GetWindowOwnerAtIndex(1, name));
    EXPECT_EQ(name, "Paint");
    EXPECT_FALSE(owners.GetWindowOwnerAtIndex(2, name));
    EXPECT_EQ(name, "");
    EXPECT_EQ(owners.CopyWindowOwnerImage(5), nullptr);
    CFRelease(array);
    for (CFDictionaryRef info : infos) CFRelease(info);
}

TEST(GRABBER_CAM_DEVICE_ARGB, AnImageIsDrawnFittedOnWhiteAndFramesAnswerOnlyWhileConnected) {
    GRABBER_CAM_DEVICE_ARGB device;
    int32_t count = -1;
    void *data = reinterpret_cast<void *>(1);
    uint32_t size = 7;
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

    ASSERT_TRUE(device.DeviceConnect());
    ASSERT_EQ(device.GetFrame(&count, &data, &size), 0);
    ASSERT_EQ(count, 1);
    EXPECT_EQ(size, 1228800u);
    auto pixel = [&](int x, int y) {
        const uint8_t *p = static_cast<const uint8_t *>(data) + y * 2560 + x * 4;
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
    device.DeviceDisconnect();
    EXPECT_EQ(device.GetFrame(&count, &data, &size), -50);
}

}  // namespace
