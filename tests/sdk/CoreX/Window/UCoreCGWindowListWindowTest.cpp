// The window-list enumerations on a real X server (scripts/test runs this program under
// Xvfb): windows the test makes are handed to the block with what the readers find in them,
// and the walks stop where the block says.
#include <CoreX/UCoreCGWindowList.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <string>
#include <vector>

#include "support/XcbTestWindow.h"

namespace {

using lumora::test::XcbTestConnection;
using lumora::test::XcbTestWindow;

struct Owned {
    explicit Owned(CFStringRef string) : ref(string) {}
    ~Owned() {
        if (ref) CFRelease(ref);
    }
    Owned(const Owned &) = delete;
    Owned &operator=(const Owned &) = delete;
    CFStringRef ref;
};

Owned String(const std::string &text) {
    return Owned(CFStringCreateWithCString(nullptr, text.c_str(), kCFStringEncodingUTF8));
}

std::string Unique(const std::string &name) { return name + " " + std::to_string(::getpid()); }

class WindowListEnumeration : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(mX.Usable()) << "no X display: this program runs under Xvfb (scripts/test)";
    }
    XcbTestConnection mX;
};

TEST_F(WindowListEnumeration, HandsOverEveryWindowWithItsInformation) {
    XcbTestWindow window(mX, 30, 40, 50, 60, Unique("Lumora enumerated"));
    window.Show();
    const Owned program = String(program_invocation_short_name);

    std::vector<CFIndex> indexes;
    int found = 0;
    const CFIndex count = UCoreCGWindowList_EnumWindowsWithOptions(
        kCGWindowListOptionOnScreenOnly, [&](CFIndex index, CFDictionaryRef info) {
            indexes.push_back(index);
            if (UCoreCGWindowInfo_HasWindowOwnerName(info, program.ref) &&
                UCoreCGWindowInfo_GetWindowID(info) == window.Id()) {
                ++found;
                EXPECT_TRUE(UCoreCGWindowInfo_GetIsOnscreen(info));
                EXPECT_EQ(UCoreCGWindowInfo_GetSharingState(info), kCGWindowSharingReadOnly);
                EXPECT_EQ(UCoreCGWindowInfo_GetWindowLevel(info), 0);
                CGRect bounds;
                EXPECT_TRUE(UCoreCGWindowInfo_GetWindowBounds(bounds, info));
                EXPECT_TRUE(CGRectEqualToRect(bounds, CGRectMake(30, 40, 50, 60)));
                const Owned name = String(Unique("Lumora enumerated"));
                EXPECT_TRUE(UCoreCGWindowInfo_HasWindowName(info, name.ref));
            }
            return true;
        });
    EXPECT_EQ(found, 1);
    ASSERT_EQ(count, static_cast<CFIndex>(indexes.size()));
    for (CFIndex i = 0; i < count; ++i) EXPECT_EQ(indexes[i], i);
}

TEST_F(WindowListEnumeration, StopsAfterTheBlockSaysSo) {
    XcbTestWindow first(mX, 0, 0, 10, 10, Unique("Lumora stop"));
    XcbTestWindow second(mX, 20, 0, 10, 10, Unique("Lumora stop"));
    first.Show();
    second.Show();
    for (int stopAt : {0, 1}) {
        SCOPED_TRACE(stopAt);
        int calls = 0;
        const CFIndex count = UCoreCGWindowList_EnumWindowsWithOptions(
            kCGWindowListOptionOnScreenOnly, [&](CFIndex index, CFDictionaryRef) {
                EXPECT_EQ(index, calls);
                return calls++ != stopAt;
            });
        EXPECT_EQ(count, stopAt + 1);
        EXPECT_EQ(calls, stopAt + 1);
    }
    EXPECT_EQ(UCoreCGWindowList_EnumWindowsWithOptions(kCGWindowListOptionOnScreenOnly, nullptr), 0);
}

TEST_F(WindowListEnumeration, FindsWindowsByName) {
    const std::string shared = Unique("Lumora twin");
    XcbTestWindow back(mX, 0, 0, 10, 10, shared);
    XcbTestWindow front(mX, 20, 0, 10, 10, shared);
    XcbTestWindow other(mX, 40, 0, 10, 10, Unique("Lumora other"));
    XcbTestWindow nameless(mX, 60, 0, 10, 10, "");
    for (XcbTestWindow *window : {&back, &front, &other, &nameless}) window->Show();
    const Owned name = String(shared);

    std::vector<CGWindowID> ids;
    std::vector<CFIndex> indexes;
    EXPECT_EQ(UCoreCGWindowList_FindWindowNameWithOptions(name.ref, kCGWindowListOptionOnScreenOnly,
                                                         [&](CFIndex index, CFDictionaryRef info) {
                                                             indexes.push_back(index);
                                                             ids.push_back(UCoreCGWindowInfo_GetWindowID(info));
                                                             return true;
                                                         }),
              2);
    EXPECT_EQ(indexes, (std::vector<CFIndex>{0, 1}));
    EXPECT_EQ(ids, (std::vector<CGWindowID>{front.Id(), back.Id()}));  // front to back

    const auto stop = [](CFIndex, CFDictionaryRef) { return false; };
    EXPECT_EQ(UCoreCGWindowList_FindWindowNameWithOptions(name.ref, kCGWindowListOptionOnScreenOnly, stop), 1);
    const Owned nobody = String(Unique("Lumora nobody"));
    EXPECT_EQ(UCoreCGWindowList_FindWindowNameWithOptions(nobody.ref, kCGWindowListOptionOnScreenOnly, stop), 0);
    EXPECT_EQ(UCoreCGWindowList_FindWindowNameWithOptions(nullptr, kCGWindowListOptionOnScreenOnly, stop), 0);

    // A window without a name has the name "".
    bool sawNameless = false;
    UCoreCGWindowList_FindWindowNameWithOptions(CFSTR(""), kCGWindowListOptionOnScreenOnly,
                                                [&](CFIndex, CFDictionaryRef info) {
                                                    sawNameless |= UCoreCGWindowInfo_GetWindowID(info) == nameless.Id();
                                                    return true;
                                                });
    EXPECT_TRUE(sawNameless);
}

}  // namespace
