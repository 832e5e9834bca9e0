// The window-image device's parts without a display: the aspect fit and the owner list from
// window information.
#include <VDigDevices/UWindrakeWindow.h>

#include <CoreFoundation/CFNumber.h>

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

}  // namespace
