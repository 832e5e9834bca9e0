// UQuartzDisplayCGWindow: one window of the window server's list, as the window-information
// dictionary CGWindowListCopyWindowInfo hands out, with typed reads of its entries; and the
// enumeration of that list with a block, one window object per dictionary.
//
// Every read answers its default when the object holds no dictionary (or an object that is
// not a dictionary) or when the entry is missing or of another type. Strings are answered as
// QString, numbers as QVariant (an invalid QVariant for a missing number); a number is a
// CFNumber or a CFBoolean (as bool), as a Foundation number covers both.
//
// The object holds one reference to its dictionary; copies share it.
#pragma once

#include <CoreFoundation/CoreFoundation.h>
#include <CoreGraphics/CGGeometry.h>
#include <CoreGraphics/CGWindow.h>

#include <QString>
#include <QVariant>

#include <cstdint>
#include <functional>
#include <memory>

class UQuartzDisplayCGWindow {
public:
    // Called with the running index (from 0) and the window, which lives during the call (a
    // caller that keeps it makes a copy).
    typedef std::function<void(unsigned index, UQuartzDisplayCGWindow *window)> EnumerationBlock;

    // No dictionary: every read answers its default.
    UQuartzDisplayCGWindow() = default;
    // initWithInfoDictionary: retains the dictionary (null is allowed).
    explicit UQuartzDisplayCGWindow(CFDictionaryRef infoDictionary);
    UQuartzDisplayCGWindow(const UQuartzDisplayCGWindow &other);
    UQuartzDisplayCGWindow &operator=(const UQuartzDisplayCGWindow &other);
    ~UQuartzDisplayCGWindow();

    static std::unique_ptr<UQuartzDisplayCGWindow> quartzWindowWithQuartzDisplayServicesInfoDictionary(
        CFDictionaryRef infoDictionary);

    // Hands each window of CGWindowListCopyWindowInfo(options, kCGNullWindowID) to the block,
    // in the list's order, and answers how many it handed over: 0 without a list or a block.
    static unsigned enumerateQuartzDisplayCGWindowListOptions(CGWindowListOption options,
                                                              const EnumerationBlock &block);

    // The dictionary (not retained for the caller), or null.
    CFDictionaryRef cgwindow() const { return mCGWindow; }
    // Retains the new dictionary and releases the old one.
    void setCgwindow(CFDictionaryRef infoDictionary);

    // kCGWindowBounds as a rectangle; CGRectZero when absent or not a rectangle's dictionary.
    CGRect windowBounds() const;
    // "Bounds(%.0f,%.0f,%.0f,%.0f)" of x, y, width and height of windowBounds.
    QString windowBoundsString() const;
    // kCGWindowIsOnscreen is kCFBooleanTrue.
    bool isOnscreen() const;
    // kCGWindowNumber: the number / its unsigned 32-bit value (0 when absent).
    QVariant windowIDNumber() const;
    CGWindowID windowID() const;
    // kCGWindowOwnerPID: the number, or an invalid QVariant.
    QVariant windowOwnerPID() const;
    // kCGWindowName: the string, "" when absent.
    QString windowName() const;
    // kCGWindowOwnerName: the string, "(unknown)" when absent.
    QString windowOwnerName() const;
    // kCGWindowLayer: the number / its unsigned 32-bit value (0 when absent).
    QVariant windowLevelNumber() const;
    unsigned windowLevel() const;
    // kCGWindowSharingState as an integer, 0 when absent.
    int sharingState() const;

    // The value when it is a string, else the default.
    QString stringForKeyWithDefaultValue(CFStringRef key, const QString &defaultValue) const;
    // The value when it is a string, else a null QString.
    QString stringForKey(CFStringRef key) const;
    // The value when it is a number (an integer as qlonglong, a floating-point number as
    // double, a boolean as bool), else an invalid QVariant.
    QVariant numberForKey(CFStringRef key) const;
    // The value is kCFBooleanTrue.
    bool booleanForKey(CFStringRef key) const;

private:
    // The entry, or null without a dictionary or such a key.
    CFTypeRef ValueForKey(CFStringRef key) const;
    // The entry read as a number and converted as a Foundation number's unsignedIntValue
    // does (integers keep their low 32 bits, fractions are cut); 0 when it is no number.
    uint32_t UnsignedValueForKey(CFStringRef key) const;

    CFDictionaryRef mCGWindow = nullptr;  // retained
};

bool import_UQuartzDisplayCGWindow();
