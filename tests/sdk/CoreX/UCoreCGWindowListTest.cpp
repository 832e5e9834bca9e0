// The window-information readers on dictionaries made by hand, and the enumerations
// without an X server. (The enumerations on a server: Window/.)
#include <CoreX/UCoreCGWindowList.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

namespace {

struct Releaser {
    void operator()(const void *object) const { CFRelease(object); }
};
using Owned = std::unique_ptr<const void, Releaser>;

Owned Int(int64_t value) { return Owned(CFNumberCreate(nullptr, kCFNumberSInt64Type, &value)); }
Owned Real(double value) { return Owned(CFNumberCreate(nullptr, kCFNumberDoubleType, &value)); }
Owned Rect(CGRect rect) { return Owned(CGRectCreateDictionaryRepresentation(rect)); }

// A dictionary of the given keys and values; values are retained by it.
Owned Dict(const std::vector<std::pair<CFStringRef, const void *>> &entries) {
    CFMutableDictionaryRef dict =
        CFDictionaryCreateMutable(nullptr, 0, &kCFTypeDictionaryKeyCallBacks, &kCFTypeDictionaryValueCallBacks);
    for (const auto &[key, value] : entries) CFDictionarySetValue(dict, key, value);
    return Owned(dict);
}

std::string UTF8(CFStringRef string) {
    char buffer[256];
    return string && CFStringGetCString(string, buffer, sizeof buffer, kCFStringEncodingUTF8) ? buffer : "<null>";
}

// Each row a dictionary, each column what one reader answers for it.
TEST(UCoreCGWindowInfo, ReadersOfAWindowDictionary) {
    const Owned rect = Rect(CGRectMake(10, 20, 300, 200));
    const Owned halfRect = Dict({{CFSTR("X"), Int(1).get()}, {CFSTR("Y"), Int(2).get()}, {CFSTR("Width"), Int(3).get()}});
    struct Case {
        const char *what;
        Owned dict;
        CGWindowID id;
        int64_t level;
        std::string owner;
        bool ownerIsLumora, nameIsMain;
        bool hasBounds;
        CGRect bounds;
        bool onscreen;
        CGWindowSharingType sharing;
    };
    Case cases[] = {
        {"no dictionary", nullptr, 0, 0, "", false, false, false, CGRectZero, false, 0},
        {"an empty dictionary", Dict({}), 0, 0, "", false, false, false, CGRectZero, false, 0},
        {"every key",
         Dict({{kCGWindowNumber, Int(4242).get()},
               {kCGWindowLayer, Int(-3).get()},
               {kCGWindowOwnerName, CFSTR("Lumora")},
               {kCGWindowName, CFSTR("Main")},
               {kCGWindowBounds, rect.get()},
               {kCGWindowIsOnscreen, kCFBooleanTrue},
               {kCGWindowSharingState, Int(2).get()}}),
         4242, -3, "Lumora", true, true, true, CGRectMake(10, 20, 300, 200), true, 2},
        {"every value of the wrong type",
         Dict({{kCGWindowNumber, CFSTR("4242")},
               {kCGWindowLayer, kCFBooleanTrue},
               {kCGWindowOwnerName, Int(5).get()},
               {kCGWindowName, kCFBooleanTrue},
               {kCGWindowBounds, CFSTR("{10, 20, 300, 200}")},
               {kCGWindowIsOnscreen, Int(1).get()},
               {kCGWindowSharingState, CFSTR("2")}}),
         0, 0, "", false, false, false, CGRectZero, false, 0},
        {"numbers that are no id, level or state",
         Dict({{kCGWindowNumber, Int(int64_t{1} << 40).get()},
               {kCGWindowLayer, Real(2.5).get()},
               {kCGWindowSharingState, Int(-1).get()}}),
         0, 0, "", false, false, false, CGRectZero, false, 0},
        {"an inexact window number", Dict({{kCGWindowNumber, Real(7.5).get()}}), 0, 0, "", false, false, false,
         CGRectZero, false, 0},
        {"a sharing state past 32 bits", Dict({{kCGWindowSharingState, Int(int64_t{1} << 33).get()}}), 0, 0, "", false,
         false, false, CGRectZero, false, 0},
        {"names differing in case, off screen, bounds without a height",
         Dict({{kCGWindowOwnerName, CFSTR("lumora")},
               {kCGWindowName, CFSTR("main")},
               {kCGWindowIsOnscreen, kCFBooleanFalse},
               {kCGWindowBounds, halfRect.get()}}),
         0, 0, "lumora", false, false, false, CGRectZero, false, 0},
        {"a string where the dictionary belongs", Owned(CFRetain(CFSTR("kCGWindowNumber"))), 0, 0, "", false, false,
         false, CGRectZero, false, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        const auto dict = static_cast<CFDictionaryRef>(c.dict.get());
        EXPECT_EQ(UCoreCGWindowInfo_GetWindowID(dict), c.id);
        EXPECT_EQ(UCoreCGWindowInfo_GetWindowLevel(dict), c.level);
        EXPECT_EQ(UTF8(UCoreCGWindowInfo_GetWindowOwnerName(dict)), c.owner);
        EXPECT_EQ(UCoreCGWindowInfo_HasWindowOwnerName(dict, CFSTR("Lumora")), c.ownerIsLumora);
        EXPECT_EQ(UCoreCGWindowInfo_HasWindowName(dict, CFSTR("Main")), c.nameIsMain);
        CGRect bounds = CGRectMake(-1, -1, -1, -1);
        EXPECT_EQ(UCoreCGWindowInfo_GetWindowBounds(bounds, dict), c.hasBounds);
        EXPECT_TRUE(CGRectEqualToRect(bounds, c.bounds));
        EXPECT_EQ(UCoreCGWindowInfo_GetIsOnscreen(dict), c.onscreen);
        EXPECT_EQ(UCoreCGWindowInfo_GetSharingState(dict), c.sharing);
        // A null name to compare with matches nothing.
        EXPECT_FALSE(UCoreCGWindowInfo_HasWindowOwnerName(dict, nullptr));
        EXPECT_FALSE(UCoreCGWindowInfo_HasWindowName(dict, nullptr));
    }
}

TEST(UCoreCGWindowInfo, KeyedReadersGiveTheirDefaults) {
    const Owned dict = Dict({{CFSTR("n"), Int(-1).get()}, {CFSTR("s"), CFSTR("text")}, {CFSTR("t"), kCFBooleanTrue}});
    const auto d = static_cast<CFDictionaryRef>(dict.get());
    // The number is read as signed 64 bits whatever the reader's type.
    EXPECT_EQ(uint64_ForKey(d, CFSTR("n"), 7), UINT64_MAX);
    EXPECT_EQ(int64_ForKey(d, CFSTR("n"), 7), -1);
    EXPECT_EQ(uint64_ForKey(d, CFSTR("missing"), 7), 7u);
    EXPECT_EQ(int64_ForKey(d, CFSTR("s"), -7), -7);
    EXPECT_EQ(int64_ForKey(nullptr, CFSTR("n"), 9), 9);
    EXPECT_EQ(int64_ForKey(d, nullptr, 9), 9);
    EXPECT_EQ(string_ForKey(d, CFSTR("n"), CFSTR("default")), CFSTR("default"));
    EXPECT_EQ(UTF8(string_ForKey(d, CFSTR("s"), nullptr)), "text");
    EXPECT_EQ(string_ForKey(d, CFSTR("missing"), nullptr), nullptr);
    EXPECT_TRUE(boolean_ForKey(d, CFSTR("t")));
    EXPECT_FALSE(boolean_ForKey(d, CFSTR("n")));  // a non-zero number is no boolean
    EXPECT_TRUE(hasString_ForKeyWithValue(d, CFSTR("s"), CFSTR("text")));
    EXPECT_FALSE(hasString_ForKeyWithValue(d, CFSTR("s"), CFSTR("text ")));
    EXPECT_FALSE(hasString_ForKeyWithValue(d, CFSTR("missing"), CFSTR("")));
}

// Exits 0 when neither enumeration hands over a window.
[[noreturn]] void EnumerateWithoutAServer() {
    ::unsetenv("DISPLAY");
    int calls = 0;
    const auto block = [&calls](CFIndex, CFDictionaryRef) {
        ++calls;
        return true;
    };
    const CFIndex all = UCoreCGWindowList_EnumWindowsWithOptions(kCGWindowListOptionAll, block);
    const CFIndex named = UCoreCGWindowList_FindWindowNameWithOptions(CFSTR(""), kCGWindowListOptionAll, block);
    std::exit(all == 0 && named == 0 && calls == 0 ? 0 : 1);
}

// The connection to the X server is opened once per process: a fresh process (the
// threadsafe death-test style starts the program again) runs without DISPLAY.
TEST(UCoreCGWindowList, NothingToEnumerateWithoutAServer) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(EnumerateWithoutAServer(), ::testing::ExitedWithCode(0), "");
}

}  // namespace
