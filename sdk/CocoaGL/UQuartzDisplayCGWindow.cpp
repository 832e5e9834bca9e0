#include "UQuartzDisplayCGWindow.h"

#include <CoreX/UCoreCGWindowList.h>

#include <vector>

namespace {

QString QStringFromCFString(CFStringRef string) {
    const CFIndex length = CFStringGetLength(string);
    std::vector<UniChar> units(static_cast<size_t>(length));
    if (length > 0) CFStringGetCharacters(string, CFRangeMake(0, length), units.data());
    return QString(reinterpret_cast<const QChar *>(units.data()), qsizetype(length));
}

// A number's value as a signed 64-bit integer (fractions cut, clamped to the range, NaN 0);
// false for anything that is not a number.
bool SInt64OfNumber(CFTypeRef value, int64_t &result) {
    if (value == nullptr) return false;
    if (CFGetTypeID(value) == CFBooleanGetTypeID()) {
        result = CFBooleanGetValue(static_cast<CFBooleanRef>(value)) ? 1 : 0;
        return true;
    }
    if (CFGetTypeID(value) != CFNumberGetTypeID()) return false;
    int64_t read = 0;
    CFNumberGetValue(static_cast<CFNumberRef>(value), kCFNumberSInt64Type, &read);  // stores even when inexact
    result = read;
    return true;
}

}  // namespace

UQuartzDisplayCGWindow::UQuartzDisplayCGWindow(CFDictionaryRef infoDictionary) { setCgwindow(infoDictionary); }

UQuartzDisplayCGWindow::UQuartzDisplayCGWindow(const UQuartzDisplayCGWindow &other) { setCgwindow(other.mCGWindow); }

UQuartzDisplayCGWindow &UQuartzDisplayCGWindow::operator=(const UQuartzDisplayCGWindow &other) {
    setCgwindow(other.mCGWindow);
    return *this;
}

UQuartzDisplayCGWindow::~UQuartzDisplayCGWindow() { setCgwindow(nullptr); }

std::unique_ptr<UQuartzDisplayCGWindow> UQuartzDisplayCGWindow::quartzWindowWithQuartzDisplayServicesInfoDictionary(
    CFDictionaryRef infoDictionary) {
    return std::make_unique<UQuartzDisplayCGWindow>(infoDictionary);
}

unsigned UQuartzDisplayCGWindow::enumerateQuartzDisplayCGWindowListOptions(CGWindowListOption options,
                                                                           const EnumerationBlock &block) {
    if (!block) return 0;
    unsigned index = 0;
    UCoreCGWindowList_EnumWindowsWithOptions(options, [&](CFIndex, CFDictionaryRef windowInfo) {
        UQuartzDisplayCGWindow window(windowInfo);
        block(index, &window);
        ++index;
        return true;
    });
    return index;
}

void UQuartzDisplayCGWindow::setCgwindow(CFDictionaryRef infoDictionary) {
    if (infoDictionary == mCGWindow) return;
    if (infoDictionary != nullptr) CFRetain(infoDictionary);
    if (mCGWindow != nullptr) CFRelease(mCGWindow);
    mCGWindow = infoDictionary;
}

CFTypeRef UQuartzDisplayCGWindow::ValueForKey(CFStringRef key) const {
    if (mCGWindow == nullptr || key == nullptr || CFGetTypeID(mCGWindow) != CFDictionaryGetTypeID()) return nullptr;
    return CFDictionaryGetValue(mCGWindow, key);
}

uint32_t UQuartzDisplayCGWindow::UnsignedValueForKey(CFStringRef key) const {
    int64_t value = 0;
    return SInt64OfNumber(ValueForKey(key), value) ? static_cast<uint32_t>(value) : 0;
}

CGRect UQuartzDisplayCGWindow::windowBounds() const {
    CGRect bounds = CGRectZero;
    const CFTypeRef value = ValueForKey(kCGWindowBounds);
    if (value == nullptr || CFGetTypeID(value) != CFDictionaryGetTypeID() ||
        !CGRectMakeWithDictionaryRepresentation(static_cast<CFDictionaryRef>(value), &bounds))
        return CGRectZero;
    return bounds;
}

QString UQuartzDisplayCGWindow::windowBoundsString() const {
    const CGRect bounds = windowBounds();
    return QString::asprintf("Bounds(%.0f,%.0f,%.0f,%.0f)", double(bounds.origin.x), double(bounds.origin.y),
                             double(bounds.size.width), double(bounds.size.height));
}

bool UQuartzDisplayCGWindow::isOnscreen() const { return booleanForKey(kCGWindowIsOnscreen); }

QVariant UQuartzDisplayCGWindow::windowIDNumber() const { return numberForKey(kCGWindowNumber); }

CGWindowID UQuartzDisplayCGWindow::windowID() const { return UnsignedValueForKey(kCGWindowNumber); }

QVariant UQuartzDisplayCGWindow::windowOwnerPID() const { return numberForKey(kCGWindowOwnerPID); }

QString UQuartzDisplayCGWindow::windowName() const {
    return stringForKeyWithDefaultValue(kCGWindowName, QStringLiteral(""));
}

QString UQuartzDisplayCGWindow::windowOwnerName() const {
    return stringForKeyWithDefaultValue(kCGWindowOwnerName, QStringLiteral("(unknown)"));
}

QVariant UQuartzDisplayCGWindow::windowLevelNumber() const { return numberForKey(kCGWindowLayer); }

unsigned UQuartzDisplayCGWindow::windowLevel() const { return UnsignedValueForKey(kCGWindowLayer); }

int UQuartzDisplayCGWindow::sharingState() const {
    return static_cast<int>(UnsignedValueForKey(kCGWindowSharingState));
}

QString UQuartzDisplayCGWindow::stringForKeyWithDefaultValue(CFStringRef key, const QString &defaultValue) const {
    const CFTypeRef value = ValueForKey(key);
    if (value == nullptr || CFGetTypeID(value) != CFStringGetTypeID()) return defaultValue;
    return QStringFromCFString(static_cast<CFStringRef>(value));
}

QString UQuartzDisplayCGWindow::stringForKey(CFStringRef key) const { return stringForKeyWithDefaultValue(key, QString()); }

QVariant UQuartzDisplayCGWindow::numberForKey(CFStringRef key) const {
    const CFTypeRef value = ValueForKey(key);
    if (value == nullptr) return QVariant();
    if (CFGetTypeID(value) == CFBooleanGetTypeID())
        return QVariant(bool(CFBooleanGetValue(static_cast<CFBooleanRef>(value))));
    if (CFGetTypeID(value) != CFNumberGetTypeID()) return QVariant();
    const auto number = static_cast<CFNumberRef>(value);
    if (CFNumberIsFloatType(number)) {
        double real = 0;
        CFNumberGetValue(number, kCFNumberFloat64Type, &real);
        return QVariant(real);
    }
    int64_t integer = 0;
    CFNumberGetValue(number, kCFNumberSInt64Type, &integer);
    return QVariant(qlonglong(integer));
}

bool UQuartzDisplayCGWindow::booleanForKey(CFStringRef key) const { return ValueForKey(key) == kCFBooleanTrue; }

bool import_UQuartzDisplayCGWindow() { return import_UCoreCGWindowList(); }
