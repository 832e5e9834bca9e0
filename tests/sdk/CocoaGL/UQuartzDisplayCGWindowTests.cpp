// Typed reads of a window-information dictionary: the values of a complete dictionary, and
// the defaults for a missing dictionary, a missing entry or an entry of another type.
#include <CocoaGL/UQuartzDisplayCGWindow.h>

#include <gtest/gtest.h>

#include <string>

namespace {

CFNumberRef Number(long long value) { return CFNumberCreate(nullptr, kCFNumberLongLongType, &value); }
CFNumberRef Real(double value) { return CFNumberCreate(nullptr, kCFNumberDoubleType, &value); }

// A mutable dictionary that takes over the values set into it.
class Info {
public:
    Info() : mDict(CFDictionaryCreateMutable(nullptr, 0, &kCFTypeDictionaryKeyCallBacks, &kCFTypeDictionaryValueCallBacks)) {}
    ~Info() {
        if (mDict != nullptr) CFRelease(mDict);
    }
    Info(const Info &) = delete;
    Info &operator=(const Info &) = delete;

    Info &Set(CFStringRef key, CFTypeRef created) {
        CFDictionarySetValue(mDict, key, created);
        CFRelease(created);
        return *this;
    }
    Info &SetConstant(CFStringRef key, CFTypeRef value) {
        CFDictionarySetValue(mDict, key, value);
        return *this;
    }
    Info &SetString(CFStringRef key, const char *text) {
        return Set(key, CFStringCreateWithCString(nullptr, text, kCFStringEncodingUTF8));
    }
    Info &SetBounds(CGRect rect) { return Set(kCGWindowBounds, CGRectCreateDictionaryRepresentation(rect)); }
    CFDictionaryRef Get() const { return mDict; }
    // Hands the dictionary over to the caller.
    CFDictionaryRef Release() {
        CFDictionaryRef dict = mDict;
        mDict = nullptr;
        return dict;
    }

private:
    CFMutableDictionaryRef mDict;
};

TEST(UQuartzDisplayCGWindow, ReadsEveryEntryOfAWindow) {
    Info info;
    info.SetBounds(CGRectMake(10, 20, 300, 200))
        .SetConstant(kCGWindowIsOnscreen, kCFBooleanTrue)
        .Set(kCGWindowNumber, Number(4242))
        .Set(kCGWindowOwnerPID, Number(1234))
        .SetString(kCGWindowName, "Lumora:30300.NSWindow")
        .SetString(kCGWindowOwnerName, "Lumora")
        .Set(kCGWindowLayer, Number(20))
        .Set(kCGWindowSharingState, Number(kCGWindowSharingReadOnly))
        .Set(kCGWindowAlpha, Real(0.5));

    // Held by the window alone once the caller gives its reference up.
    UQuartzDisplayCGWindow window(info.Release());
    CFRelease(window.cgwindow());

    EXPECT_TRUE(CGRectEqualToRect(window.windowBounds(), CGRectMake(10, 20, 300, 200)));
    EXPECT_EQ(window.windowBoundsString().toStdString(), "Bounds(10,20,300,200)");
    EXPECT_TRUE(window.isOnscreen());
    EXPECT_EQ(window.windowIDNumber(), QVariant(qlonglong(4242)));
    EXPECT_EQ(window.windowID(), 4242u);
    EXPECT_EQ(window.windowOwnerPID(), QVariant(qlonglong(1234)));
    EXPECT_EQ(window.windowName().toStdString(), "Lumora:30300.NSWindow");
    EXPECT_EQ(window.windowOwnerName().toStdString(), "Lumora");
    EXPECT_EQ(window.windowLevelNumber(), QVariant(qlonglong(20)));
    EXPECT_EQ(window.windowLevel(), 20u);
    EXPECT_EQ(window.sharingState(), int(kCGWindowSharingReadOnly));

    EXPECT_EQ(window.numberForKey(kCGWindowAlpha), QVariant(0.5));
    EXPECT_EQ(window.numberForKey(kCGWindowIsOnscreen), QVariant(true));
    EXPECT_FALSE(window.numberForKey(kCGWindowName).isValid());
    EXPECT_EQ(window.stringForKey(kCGWindowOwnerName).toStdString(), "Lumora");
    EXPECT_TRUE(window.stringForKey(kCGWindowNumber).isNull());
    EXPECT_EQ(window.stringForKeyWithDefaultValue(kCGWindowNumber, "none").toStdString(), "none");
    EXPECT_TRUE(window.booleanForKey(kCGWindowIsOnscreen));
    EXPECT_FALSE(window.booleanForKey(kCGWindowNumber));

    // Copies share the dictionary and keep it alive.
    UQuartzDisplayCGWindow copy(window);
    window.setCgwindow(nullptr);
    EXPECT_EQ(copy.windowID(), 4242u);
    window = copy;
    EXPECT_EQ(window.windowOwnerName().toStdString(), "Lumora");
}

TEST(UQuartzDisplayCGWindow, AnswersDefaultsWithoutUsableEntries) {
    // No dictionary, an empty one, an object that is no dictionary, and a dictionary whose
    // entries all have other types.
    Info empty;
    Info wrong;
    wrong.Set(kCGWindowBounds, Number(1))
        .Set(kCGWindowIsOnscreen, Number(1))
        .SetString(kCGWindowNumber, "7")
        .SetString(kCGWindowOwnerPID, "1234")
        .Set(kCGWindowName, Number(3))
        .SetConstant(kCGWindowOwnerName, kCFBooleanTrue)
        .SetString(kCGWindowLayer, "20")
        .SetString(kCGWindowSharingState, "1");
    const CFStringRef notADictionary = CFSTR("not a dictionary");
    const std::pair<const char *, CFDictionaryRef> cases[] = {
        {"none", nullptr},
        {"empty", empty.Get()},
        {"not a dictionary", reinterpret_cast<CFDictionaryRef>(notADictionary)},
        {"other types", wrong.Get()},
    };
    for (const auto &[label, dict] : cases) {
        SCOPED_TRACE(label);
        const auto window = UQuartzDisplayCGWindow::quartzWindowWithQuartzDisplayServicesInfoDictionary(dict);
        EXPECT_TRUE(CGRectEqualToRect(window->windowBounds(), CGRectZero));
        EXPECT_EQ(window->windowBoundsString().toStdString(), "Bounds(0,0,0,0)");
        EXPECT_FALSE(window->isOnscreen());
        EXPECT_FALSE(window->windowIDNumber().isValid());
        EXPECT_EQ(window->windowID(), 0u);
        EXPECT_FALSE(window->windowOwnerPID().isValid());
        EXPECT_TRUE(window->windowName().isEmpty());
        EXPECT_FALSE(window->windowName().isNull());
        EXPECT_EQ(window->windowOwnerName().toStdString(), "(unknown)");
        EXPECT_FALSE(window->windowLevelNumber().isValid());
        EXPECT_EQ(window->windowLevel(), 0u);
        EXPECT_EQ(window->sharingState(), 0);
        EXPECT_TRUE(window->stringForKey(kCGWindowName).isNull());
        EXPECT_FALSE(window->booleanForKey(kCGWindowIsOnscreen));
    }
}

TEST(UQuartzDisplayCGWindow, BoundsTextHasNoDecimalsAndNumbersConvertAsUnsigned) {
    Info info;
    info.SetBounds(CGRectMake(10.25, -20.75, 300.4, 199.6))
        .Set(kCGWindowNumber, Real(12.9))
        .Set(kCGWindowLayer, Number(-1));
    UQuartzDisplayCGWindow window(info.Get());
    EXPECT_EQ(window.windowBoundsString().toStdString(), "Bounds(10,-21,300,200)");
    EXPECT_EQ(window.windowID(), 12u);               // the fraction is cut
    EXPECT_EQ(window.windowIDNumber(), QVariant(12.9));
    EXPECT_EQ(window.windowLevel(), 0xFFFFFFFFu);    // the low 32 bits
}

}  // namespace
