// The window list and window images on a real X server (scripts/test runs this program
// under Xvfb, which has no window manager): windows the test makes with its own xcb
// connection are listed with their properties, in stacking order, and their images hold
// what the test painted.
#include <CoreFoundation/CoreFoundation.h>
#include <CoreGraphics/CoreGraphics.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

#include "platform/CoreGraphics/CGTestSupport.h"
#include "support/XcbTestWindow.h"

namespace {

using cgtest::Holder;
using lumora::test::XcbTestConnection;
using lumora::test::XcbTestWindow;

std::string UTF8(CFStringRef string) {
    if (string == nullptr) return "<null>";
    char buffer[8192];
    return CFStringGetCString(string, buffer, sizeof buffer, kCFStringEncodingUTF8) ? buffer : "<unconvertible>";
}

// A name no other program's window has.
std::string Unique(const std::string &name) { return name + " " + std::to_string(::getpid()); }

struct Listed {
    CFIndex index = -1;
    CFDictionaryRef info = nullptr;  // owned by the list
};

// The entry of window in list, by kCGWindowNumber.
Listed Find(CFArrayRef list, xcb_window_t window) {
    for (CFIndex i = 0; i < CFArrayGetCount(list); ++i) {
        auto info = static_cast<CFDictionaryRef>(CFArrayGetValueAtIndex(list, i));
        auto number = static_cast<CFNumberRef>(CFDictionaryGetValue(info, kCGWindowNumber));
        int64_t id = 0;
        if (number != nullptr && CFNumberGetValue(number, kCFNumberSInt64Type, &id) && id == window) return {i, info};
    }
    return {};
}

std::optional<int64_t> Number(CFDictionaryRef info, CFStringRef key) {
    const void *value = CFDictionaryGetValue(info, key);
    int64_t result = 0;
    if (value == nullptr || CFGetTypeID(value) != CFNumberGetTypeID() ||
        !CFNumberGetValue(static_cast<CFNumberRef>(value), kCFNumberSInt64Type, &result))
        return std::nullopt;
    return result;
}

std::string Text(CFDictionaryRef info, CFStringRef key) {
    const void *value = CFDictionaryGetValue(info, key);
    if (value == nullptr) return "<missing>";
    if (CFGetTypeID(value) != CFStringGetTypeID()) return "<not a string>";
    return UTF8(static_cast<CFStringRef>(value));
}

CGRect Bounds(CFDictionaryRef info) {
    CGRect rect = CGRectNull;
    auto dict = static_cast<CFDictionaryRef>(CFDictionaryGetValue(info, kCGWindowBounds));
    EXPECT_TRUE(CGRectMakeWithDictionaryRepresentation(dict, &rect));
    return rect;
}

// The pixels of a 32-bit little-endian image as 0xAARRGGBB.
std::vector<uint32_t> Pixels(CGImageRef image) {
    Holder<CFDataRef> data(CGDataProviderCopyData(CGImageGetDataProvider(image)));
    const size_t width = CGImageGetWidth(image), height = CGImageGetHeight(image);
    std::vector<uint32_t> pixels(width * height);
    for (size_t y = 0; y < height; ++y)
        std::memcpy(&pixels[y * width], CFDataGetBytePtr(data) + y * CGImageGetBytesPerRow(image), width * 4);
    return pixels;
}

class WindowList : public ::testing::Test {
protected:
    void SetUp() override {
        // This program is run only on an X server (the gui label).
        ASSERT_TRUE(mX.Usable()) << "no X display: this program runs under Xvfb (scripts/test)";
        ASSERT_EQ(mX.Screen()->root_depth, 24) << "the tests paint 24-bit TrueColor pixels";
    }
    Holder<CFArrayRef> List(CGWindowListOption option, CGWindowID relative = kCGNullWindowID) {
        return Holder<CFArrayRef>(CGWindowListCopyWindowInfo(option, relative));
    }

    XcbTestConnection mX;
};

TEST_F(WindowList, ListsAWindowWithItsProperties) {
    const std::string name = Unique("Lumora window list \xC3\xBC");  // ü in UTF-8
    XcbTestWindow window(mX, 40, 30, 64, 48, name);
    window.Show();

    Holder<CFArrayRef> list = List(kCGWindowListOptionOnScreenOnly);
    ASSERT_TRUE(list);
    const Listed entry = Find(list, window.Id());
    ASSERT_NE(entry.info, nullptr);
    EXPECT_EQ(Text(entry.info, kCGWindowName), name);
    EXPECT_EQ(Number(entry.info, kCGWindowOwnerPID), ::getpid());
    // The program's full name, although the kernel keeps only its first 15 bytes as comm.
    EXPECT_EQ(Text(entry.info, kCGWindowOwnerName), program_invocation_short_name);
    EXPECT_TRUE(CGRectEqualToRect(Bounds(entry.info), CGRectMake(40, 30, 64, 48)));
    EXPECT_EQ(CFDictionaryGetValue(entry.info, kCGWindowIsOnscreen), kCFBooleanTrue);
    EXPECT_EQ(Number(entry.info, kCGWindowSharingState), kCGWindowSharingReadOnly);
    EXPECT_EQ(Number(entry.info, kCGWindowLayer), kCGNormalWindowLevel);
    EXPECT_EQ(Number(entry.info, kCGWindowAlpha), 1);

    // Listed on screen, and among all windows, and gone once destroyed.
    EXPECT_NE(Find(List(kCGWindowListOptionAll), window.Id()).info, nullptr);
    window.Destroy();
    EXPECT_EQ(Find(List(kCGWindowListOptionAll), window.Id()).info, nullptr);
}

TEST_F(WindowList, HiddenWindowsAreListedOnlyAmongAll) {
    XcbTestWindow window(mX, 10, 10, 20, 20, Unique("Lumora hidden"));
    window.Show();
    window.Hide();
    Holder<CFArrayRef> all = List(kCGWindowListOptionAll);
    const Listed entry = Find(all, window.Id());
    ASSERT_NE(entry.info, nullptr);
    EXPECT_EQ(CFDictionaryGetValue(entry.info, kCGWindowIsOnscreen), kCFBooleanFalse);
    EXPECT_EQ(Find(List(kCGWindowListOptionOnScreenOnly), window.Id()).info, nullptr);
}

TEST_F(WindowList, FrontToBackAndRelativeToAWindow) {
    XcbTestWindow back(mX, 10, 10, 30, 30, Unique("Lumora back"));
    XcbTestWindow front(mX, 20, 20, 30, 30, Unique("Lumora front"));
    back.Show();
    front.Show();  // mapped later: on top
    {
        Holder<CFArrayRef> list = List(kCGWindowListOptionOnScreenOnly);
        ASSERT_NE(Find(list, front.Id()).info, nullptr);
        EXPECT_LT(Find(list, front.Id()).index, Find(list, back.Id()).index);
    }
    struct Case {
        const char *what;
        CGWindowListOption option;
        const XcbTestWindow *relative;
        bool listsFront, listsBack;
    } cases[] = {
        {"above the back one", kCGWindowListOptionOnScreenAboveWindow, &back, true, false},
        {"above and including the back one", kCGWindowListOptionOnScreenAboveWindow | kCGWindowListOptionIncludingWindow,
         &back, true, true},
        {"below the front one", kCGWindowListOptionOnScreenBelowWindow, &front, false, true},
        {"above the front one", kCGWindowListOptionOnScreenAboveWindow, &front, false, false},
        {"only the front one", kCGWindowListOptionIncludingWindow, &front, true, false},
        {"above a window that does not exist", kCGWindowListOptionOnScreenAboveWindow, nullptr, false, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        Holder<CFArrayRef> list = List(c.option, c.relative ? c.relative->Id() : 0x1FFFFFFE);
        ASSERT_TRUE(list);
        EXPECT_EQ(Find(list, front.Id()).info != nullptr, c.listsFront);
        EXPECT_EQ(Find(list, back.Id()).info != nullptr, c.listsBack);
        if (c.option == kCGWindowListOptionIncludingWindow) {
            EXPECT_EQ(CFArrayGetCount(list), 1);
        }
    }

    back.Raise();
    Holder<CFArrayRef> list = List(kCGWindowListOptionOnScreenOnly);
    EXPECT_LT(Find(list, back.Id()).index, Find(list, front.Id()).index);
}

// Window properties are other programs' data: odd types, formats and lengths.
TEST_F(WindowList, PropertiesOfAnyShape) {
    // 4 KiB of a name are read: the cut falls inside the euro sign, which is left out.
    const std::string longName = std::string(4094, 'a') + "\xE2\x82\xAC" + "tail";
    struct Property {
        const char *name, *type;
        uint8_t format;
        std::string bytes;
    };
    struct Case {
        const char *what;
        std::vector<Property> properties;
        std::string name;  // "<missing>" when none
        bool hasPid;
    } cases[] = {
        {"no properties", {}, "<missing>", false},
        {"WM_NAME in Latin-1", {{"WM_NAME", "STRING", 8, "caf\xE9"}}, "caf\xC3\xA9", false},
        {"WM_NAME in UTF-8", {{"WM_NAME", "UTF8_STRING", 8, "\xE2\x82\xAC"}}, "\xE2\x82\xAC", false},
        {"WM_NAME as ASCII compound text", {{"WM_NAME", "COMPOUND_TEXT", 8, "plain"}}, "plain", false},
        {"WM_NAME as compound text with an escape", {{"WM_NAME", "COMPOUND_TEXT", 8, "\x1B-Acaf\xE9"}}, "<missing>", false},
        {"invalid UTF-8 in _NET_WM_NAME falls back to WM_NAME",
         {{"_NET_WM_NAME", "UTF8_STRING", 8, "\xFF\xFE"}, {"WM_NAME", "STRING", 8, "fallback"}}, "fallback", false},
        {"_NET_WM_NAME of format 32", {{"_NET_WM_NAME", "UTF8_STRING", 32, "abcd"}}, "<missing>", false},
        {"a name cut at its first NUL", {{"_NET_WM_NAME", "UTF8_STRING", 8, std::string("two\0parts", 9)}}, "two", false},
        {"a long name is cut at a character boundary", {{"_NET_WM_NAME", "UTF8_STRING", 8, longName}},
         std::string(4094, 'a'), false},
        {"_NET_WM_PID as a string", {{"_NET_WM_PID", "STRING", 8, "1234"}}, "<missing>", false},
        {"_NET_WM_PID of format 16", {{"_NET_WM_PID", "CARDINAL", 16, std::string("\x01\x00", 2)}}, "<missing>", false},
        {"_NET_WM_PID of another machine", {{"_NET_WM_PID", "CARDINAL", 32, "PID"}, {"WM_CLIENT_MACHINE", "STRING", 8, "elsewhere.invalid"}},
         "<missing>", false},
        {"_NET_WM_PID of this machine", {{"_NET_WM_PID", "CARDINAL", 32, "PID"}, {"WM_CLIENT_MACHINE", "STRING", 8, "HOST"}},
         "<missing>", true},
        {"_NET_WM_PID of 0", {{"_NET_WM_PID", "CARDINAL", 32, std::string(4, '\0')}}, "<missing>", false},
    };
    char host[256] = {};
    ASSERT_EQ(::gethostname(host, sizeof host - 1), 0);
    const uint32_t pid = static_cast<uint32_t>(::getpid());
    for (Case &c : cases) {
        SCOPED_TRACE(c.what);
        XcbTestWindow window(mX, 0, 0, 8, 8, "");
        for (Property &p : c.properties) {
            if (p.bytes == "PID") p.bytes.assign(reinterpret_cast<const char *>(&pid), 4);
            if (p.bytes == "HOST") p.bytes = host;
            const uint32_t count = static_cast<uint32_t>(p.bytes.size() / (p.format / 8));
            mX.SetProperty(window.Id(), mX.Atom(p.name), mX.Atom(p.type), p.format, count, p.bytes.data());
        }
        window.Show();
        Holder<CFArrayRef> list = List(kCGWindowListOptionOnScreenOnly);
        const Listed entry = Find(list, window.Id());
        ASSERT_NE(entry.info, nullptr);
        EXPECT_EQ(Text(entry.info, kCGWindowName), c.name);
        EXPECT_EQ(Number(entry.info, kCGWindowOwnerPID).has_value(), c.hasPid);
        EXPECT_EQ(CFDictionaryGetValue(entry.info, kCGWindowOwnerName) != nullptr, c.hasPid);
    }
}

// Under a window manager the top-level window is a frame holding the client, which carries
// WM_STATE: the client is the window listed, at its place on the screen.
TEST_F(WindowList, ClientsInsideFramesAreTheWindows) {
    XcbTestWindow frame(mX, 100, 80, 60, 50, "");
    XcbTestWindow client(mX, 5, 20, 50, 25, Unique("Lumora framed client"), frame.Id());
    const uint32_t state[2] = {1, 0};  // NormalState, no icon
    mX.SetProperty(client.Id(), mX.Atom("WM_STATE"), mX.Atom("WM_STATE"), 32, 2, state);
    client.Show();
    frame.Show();
    client.Paint(0x00FF00, 0x00FF00);

    Holder<CFArrayRef> list = List(kCGWindowListOptionOnScreenOnly);
    EXPECT_EQ(Find(list, frame.Id()).info, nullptr);
    const Listed entry = Find(list, client.Id());
    ASSERT_NE(entry.info, nullptr);
    EXPECT_EQ(Text(entry.info, kCGWindowName), Unique("Lumora framed client"));
    EXPECT_TRUE(CGRectEqualToRect(Bounds(entry.info), CGRectMake(105, 100, 50, 25)));

    Holder<CGImageRef> image(CGWindowListCreateImage(CGRectNull, kCGWindowListOptionIncludingWindow, client.Id(),
                                                     kCGWindowImageDefault));
    ASSERT_TRUE(image);
    EXPECT_EQ(CGImageGetWidth(image), 50u);
    EXPECT_EQ(Pixels(image)[0], 0xFF00FF00u);
}

TEST_F(WindowList, ImageOfAWindow) {
    XcbTestWindow window(mX, 200, 150, 40, 30, Unique("Lumora image"));
    window.Show(0xC03010, 0x2080F0);

    struct Case {
        const char *what;
        CGWindowImageOption option;
        CGImageAlphaInfo alpha;
    } cases[] = {
        {"default", kCGWindowImageDefault, kCGImageAlphaPremultipliedFirst},
        {"opaque", kCGWindowImageShouldBeOpaque, kCGImageAlphaNoneSkipFirst},
        {"ignoring framing", kCGWindowImageBoundsIgnoreFraming, kCGImageAlphaPremultipliedFirst},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        Holder<CGImageRef> image(
            CGWindowListCreateImage(CGRectNull, kCGWindowListOptionIncludingWindow, window.Id(), c.option));
        ASSERT_TRUE(image);
        ASSERT_EQ(CGImageGetWidth(image), 40u);
        ASSERT_EQ(CGImageGetHeight(image), 30u);
        EXPECT_EQ(CGImageGetAlphaInfo(image), c.alpha);
        EXPECT_EQ(CGImageGetBitmapInfo(image) & kCGBitmapByteOrderMask, kCGBitmapByteOrder32Little);
        const std::vector<uint32_t> pixels = Pixels(image);
        // Top row first: the top half is the first colour.
        EXPECT_EQ(pixels[0], 0xFFC03010u);
        EXPECT_EQ(pixels[14 * 40 + 39], 0xFFC03010u);
        EXPECT_EQ(pixels[15 * 40], 0xFF2080F0u);
        EXPECT_EQ(pixels.back(), 0xFF2080F0u);
    }
}

TEST_F(WindowList, ImageAreasAroundAWindow) {
    XcbTestWindow window(mX, 300, 300, 20, 20, Unique("Lumora area"));
    window.Show(0x808080, 0x808080);
    const uint32_t grey = 0xFF808080u;
    struct Case {
        const char *what;
        CGRect area;
        CGWindowImageOption option;
        size_t width, height;
        uint32_t inside, outside;  // at (10, 10) of the window, and at the image's top-left corner
    } cases[] = {
        {"an area larger than the window", CGRectMake(290, 290, 40, 40), kCGWindowImageDefault, 40, 40, grey, 0},
        {"the same, opaque", CGRectMake(290, 290, 40, 40), kCGWindowImageShouldBeOpaque, 40, 40, grey, 0xFFFFFFFFu},
        {"a part of the window", CGRectMake(305, 305, 10, 10), kCGWindowImageDefault, 10, 10, grey, grey},
        {"fractional edges grow to whole pixels", CGRectMake(289.5, 289.5, 40, 40), kCGWindowImageDefault, 41, 41, grey, 0},
        {"only shadows: X has none", CGRectNull, kCGWindowImageOnlyShadows, 20, 20, 0, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        Holder<CGImageRef> image(
            CGWindowListCreateImage(c.area, kCGWindowListOptionIncludingWindow, window.Id(), c.option));
        ASSERT_TRUE(image);
        ASSERT_EQ(CGImageGetWidth(image), c.width);
        ASSERT_EQ(CGImageGetHeight(image), c.height);
        const std::vector<uint32_t> pixels = Pixels(image);
        const CGFloat originX = CGRectIsNull(c.area) ? 300 : std::floor(c.area.origin.x);
        const CGFloat originY = CGRectIsNull(c.area) ? 300 : std::floor(c.area.origin.y);
        const size_t x = static_cast<size_t>(310 - originX), y = static_cast<size_t>(310 - originY);
        EXPECT_EQ(pixels[y * c.width + x], c.inside);
        EXPECT_EQ(pixels[0], c.outside);
    }
    // Refused areas.
    for (CGRect area : {CGRectMake(0, 0, 0, 10), CGRectMake(0, 0, 9000, 9000), CGRectMake(1e300, 0, 10, 10)}) {
        Holder<CGImageRef> image(
            CGWindowListCreateImage(area, kCGWindowListOptionIncludingWindow, window.Id(), kCGWindowImageDefault));
        EXPECT_FALSE(image) << area.origin.x << " " << area.size.width;
    }
}

TEST_F(WindowList, ImageOfAWindowPartlyOffTheScreen) {
    const int16_t x = static_cast<int16_t>(mX.Screen()->width_in_pixels - 10);
    XcbTestWindow window(mX, x, 0, 30, 20, Unique("Lumora off screen"));
    window.Show(0x102030, 0x102030);
    Holder<CGImageRef> image(
        CGWindowListCreateImage(CGRectNull, kCGWindowListOptionIncludingWindow, window.Id(), kCGWindowImageDefault));
    ASSERT_TRUE(image);
    ASSERT_EQ(CGImageGetWidth(image), 30u);
    const std::vector<uint32_t> pixels = Pixels(image);
    EXPECT_EQ(pixels[5 * 30 + 9], 0xFF102030u);  // on the screen
    EXPECT_EQ(pixels[5 * 30 + 10], 0u);          // past its right edge
}

TEST_F(WindowList, ImageFromAnArrayOfWindows) {
    XcbTestWindow back(mX, 400, 400, 20, 20, Unique("Lumora array back"));
    XcbTestWindow front(mX, 410, 400, 20, 20, Unique("Lumora array front"));
    back.Show(0x0000FF, 0x0000FF);
    front.Show(0xFF0000, 0xFF0000);
    XcbTestWindow hidden(mX, 0, 0, 5, 5, "");

    const auto array = [](std::vector<xcb_window_t> ids) {
        std::vector<const void *> values;
        for (xcb_window_t id : ids) values.push_back(reinterpret_cast<const void *>(static_cast<uintptr_t>(id)));
        return Holder<CFArrayRef>(CFArrayCreate(nullptr, values.data(), static_cast<CFIndex>(values.size()), nullptr));
    };
    Holder<CGImageRef> both(CGWindowListCreateImageFromArray(CGRectNull, array({front.Id(), back.Id()}),
                                                             kCGWindowImageDefault));
    ASSERT_TRUE(both);
    ASSERT_EQ(CGImageGetWidth(both), 30u);
    const std::vector<uint32_t> pixels = Pixels(both);
    EXPECT_EQ(pixels[5], 0xFF0000FFu);
    EXPECT_EQ(pixels[15], 0xFFFF0000u);

    // Windows that do not exist, are not shown, or are no window id at all give no image.
    for (const std::vector<xcb_window_t> &ids : {std::vector<xcb_window_t>{}, {0x1FFFFFFE}, {hidden.Id()}, {0}}) {
        EXPECT_FALSE(Holder<CGImageRef>(CGWindowListCreateImageFromArray(CGRectNull, array(ids), kCGWindowImageDefault)));
    }
    EXPECT_FALSE(Holder<CGImageRef>(CGWindowListCreateImageFromArray(CGRectNull, nullptr, kCGWindowImageDefault)));
    const xcb_window_t gone = front.Id();
    front.Destroy();
    EXPECT_FALSE(Holder<CGImageRef>(CGWindowListCreateImageFromArray(CGRectNull, array({gone}), kCGWindowImageDefault)));
}

// Windows appear and vanish while other threads walk the list and take images: the walk
// passes over windows that went away between its requests.
TEST_F(WindowList, WindowsVanishingDuringWalks) {
    std::atomic<bool> done{false};
    std::thread churn([&] {
        XcbTestConnection x;
        while (!done.load()) {
            std::vector<std::unique_ptr<XcbTestWindow>> windows;
            for (int i = 0; i < 8; ++i) {
                windows.push_back(std::make_unique<XcbTestWindow>(x, 10 * i, 10, 10, 10, Unique("Lumora churn")));
                xcb_map_window(x.Get(), windows.back()->Id());
            }
            xcb_flush(x.Get());
        }
    });
    std::vector<std::thread> walkers;
    for (int t = 0; t < 3; ++t)
        walkers.emplace_back([] {
            for (int i = 0; i < 30; ++i) {
                Holder<CFArrayRef> list(CGWindowListCopyWindowInfo(kCGWindowListOptionAll, kCGNullWindowID));
                EXPECT_TRUE(list);
                Holder<CGImageRef> image(CGWindowListCreateImage(CGRectMake(0, 0, 100, 30),
                                                                 kCGWindowListOptionOnScreenOnly, kCGNullWindowID,
                                                                 kCGWindowImageDefault));
            }
        });
    for (std::thread &walker : walkers) walker.join();
    done = true;
    churn.join();
}

}  // namespace
