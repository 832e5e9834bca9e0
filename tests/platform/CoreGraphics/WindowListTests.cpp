// The window list without an X server, and the dictionary form of rectangles its entries
// use for their bounds. (The list on a server: Window/.)
#include <CoreFoundation/CoreFoundation.h>

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <limits>
#include <string>

#include "CGTestSupport.h"

using cgtest::Holder;

namespace {

TEST(RectDictionary, RoundTrip) {
    for (CGRect rect : {CGRectMake(1.5, -2, 30, 40.25), CGRectZero, CGRectMake(-5, 7, -3, 0)}) {
        Holder<CFDictionaryRef> dict(CGRectCreateDictionaryRepresentation(rect));
        ASSERT_TRUE(dict);
        CGRect read = CGRectNull;
        ASSERT_TRUE(CGRectMakeWithDictionaryRepresentation(dict, &read));
        EXPECT_EQ(read.origin.x, rect.origin.x);
        EXPECT_EQ(read.origin.y, rect.origin.y);
        EXPECT_EQ(read.size.width, rect.size.width);
        EXPECT_EQ(read.size.height, rect.size.height);
    }
}

// A dictionary made by hand: the value of each key, or a missing one.
Holder<CFDictionaryRef> Dict(std::initializer_list<std::pair<const char *, CFTypeRef>> entries) {
    CFMutableDictionaryRef dict =
        CFDictionaryCreateMutable(nullptr, 0, &kCFTypeDictionaryKeyCallBacks, &kCFTypeDictionaryValueCallBacks);
    for (const auto &[key, value] : entries) {
        Holder<CFStringRef> name(CFStringCreateWithCString(nullptr, key, kCFStringEncodingUTF8));
        CFDictionarySetValue(dict, name, value);
    }
    return Holder<CFDictionaryRef>(dict);
}

Holder<CFNumberRef> Num(double value) { return Holder<CFNumberRef>(CFNumberCreate(nullptr, kCFNumberDoubleType, &value)); }

TEST(RectDictionary, RefusesWhatIsNoRectangle) {
    Holder<CFNumberRef> one = Num(1), nan = Num(std::nan("")), inf = Num(std::numeric_limits<double>::infinity());
    struct Case {
        const char *what;
        Holder<CFDictionaryRef> dict;
        bool ok;
    } cases[] = {
        {"integers", Dict({{"X", one}, {"Y", one}, {"Width", one}, {"Height", one}}), true},
        {"no Height", Dict({{"X", one}, {"Y", one}, {"Width", one}}), false},
        {"a string for X", Dict({{"X", CFSTR("1")}, {"Y", one}, {"Width", one}, {"Height", one}}), false},
        {"a boolean for Y", Dict({{"X", one}, {"Y", kCFBooleanTrue}, {"Width", one}, {"Height", one}}), false},
        {"not a number", Dict({{"X", one}, {"Y", one}, {"Width", nan}, {"Height", one}}), false},
        {"infinite", Dict({{"X", one}, {"Y", one}, {"Width", one}, {"Height", inf}}), false},
        {"lower-case keys", Dict({{"x", one}, {"y", one}, {"width", one}, {"height", one}}), false},
        {"empty", Dict({}), false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        CGRect rect = CGRectMake(9, 9, 9, 9);
        EXPECT_EQ(CGRectMakeWithDictionaryRepresentation(c.dict, &rect), c.ok);
        if (!c.ok) {
            EXPECT_TRUE(CGRectEqualToRect(rect, CGRectMake(9, 9, 9, 9)));
        }
    }
    CGRect rect;
    EXPECT_FALSE(CGRectMakeWithDictionaryRepresentation(nullptr, &rect));
    EXPECT_FALSE(CGRectMakeWithDictionaryRepresentation(cases[0].dict, nullptr));
    // Another kind of object where a dictionary belongs.
    EXPECT_FALSE(CGRectMakeWithDictionaryRepresentation(reinterpret_cast<CFDictionaryRef>(CFSTR("X")), &rect));
}

// What every window-list call answers without a server: an empty list and no image.
// Exits 0 when so.
[[noreturn]] void CheckWithoutServer() {
    bool ok = true;
    CFArrayRef list = CGWindowListCopyWindowInfo(kCGWindowListOptionAll, kCGNullWindowID);
    ok = ok && list != nullptr && CFArrayGetCount(list) == 0;
    if (list) CFRelease(list);
    const void *window = reinterpret_cast<const void *>(uintptr_t{0x200001});
    CFArrayRef windows = CFArrayCreate(nullptr, &window, 1, nullptr);
    const CGImageRef images[] = {
        CGWindowListCreateImage(CGRectNull, kCGWindowListOptionOnScreenOnly, kCGNullWindowID, kCGWindowImageDefault),
        CGWindowListCreateImage(CGRectMake(0, 0, 10, 10), kCGWindowListOptionAll, kCGNullWindowID,
                                kCGWindowImageShouldBeOpaque),
        CGWindowListCreateImageFromArray(CGRectNull, windows, kCGWindowImageDefault),
    };
    CFRelease(windows);
    for (CGImageRef image : images) {
        ok = ok && image == nullptr;
        if (image) CGImageRelease(image);
    }
    std::exit(ok ? 0 : 1);
}

// The connection is opened once per process, so each case runs in a fresh process (the
// threadsafe death-test style starts the program again for it).
TEST(WindowListWithoutServer, EmptyListAndNoImages) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    struct Case {
        const char *what;
        const char *display;  // null: unset
    } cases[] = {
        {"no DISPLAY", nullptr},
        {"an empty DISPLAY", ""},
        {"a server that is not there", ":4093"},
        {"a malformed DISPLAY", "not a display"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EXIT(
            {
                if (c.display)
                    ::setenv("DISPLAY", c.display, 1);
                else
                    ::unsetenv("DISPLAY");
                CheckWithoutServer();
            },
            ::testing::ExitedWithCode(0), "");
    }
}

}  // namespace
