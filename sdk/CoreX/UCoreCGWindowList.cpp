#include <CoreX/UCoreCGWindowList.h>

namespace {

// The value for key, or null for a null dictionary (or another object) or a missing key.
const void *ValueForKey(CFDictionaryRef dict, CFStringRef key) {
    if (dict == nullptr || key == nullptr || CFGetTypeID(dict) != CFDictionaryGetTypeID()) return nullptr;
    return CFDictionaryGetValue(dict, key);
}

bool SInt64ForKey(CFDictionaryRef dict, CFStringRef key, int64_t &value) {
    const void *number = ValueForKey(dict, key);
    if (number == nullptr || CFGetTypeID(number) != CFNumberGetTypeID()) return false;
    int64_t read = 0;
    if (!CFNumberGetValue(static_cast<CFNumberRef>(number), kCFNumberSInt64Type, &read)) return false;
    value = read;
    return true;
}

}  // namespace

CFIndex UCoreCGWindowList_EnumWindowsWithOptions(CGWindowListOption options, const UCoreCGWindowList_Block &block) {
    if (!block) return 0;
    CFArrayRef list = CGWindowListCopyWindowInfo(options, kCGNullWindowID);
    if (list == nullptr) return 0;
    CFIndex handed = 0;
    const CFIndex count = CFArrayGetCount(list);
    for (CFIndex i = 0; i < count; ++i) {
        ++handed;
        if (!block(i, static_cast<CFDictionaryRef>(CFArrayGetValueAtIndex(list, i)))) break;
    }
    CFRelease(list);
    return handed;
}

CFIndex UCoreCGWindowList_FindWindowNameWithOptions(CFStringRef name, CGWindowListOption options,
                                                    const UCoreCGWindowList_Block &block) {
    if (!block || name == nullptr) return 0;
    CFArrayRef list = CGWindowListCopyWindowInfo(options, kCGNullWindowID);
    if (list == nullptr) return 0;
    CFIndex handed = 0;
    const CFIndex count = CFArrayGetCount(list);
    for (CFIndex i = 0; i < count; ++i) {
        const auto info = static_cast<CFDictionaryRef>(CFArrayGetValueAtIndex(list, i));
        const CFStringRef windowName = string_ForKey(info, kCGWindowName, CFSTR(""));
        if (CFStringCompare(windowName, name, 0) != kCFCompareEqualTo) continue;
        if (!block(handed++, info)) break;
    }
    CFRelease(list);
    return handed;
}

bool boolean_ForKey(CFDictionaryRef dict, CFStringRef key) { return ValueForKey(dict, key) == kCFBooleanTrue; }

uint64_t uint64_ForKey(CFDictionaryRef dict, CFStringRef key, uint64_t defaultValue) {
    int64_t value = 0;
    return SInt64ForKey(dict, key, value) ? static_cast<uint64_t>(value) : defaultValue;
}

int64_t int64_ForKey(CFDictionaryRef dict, CFStringRef key, int64_t defaultValue) {
    int64_t value = 0;
    return SInt64ForKey(dict, key, value) ? value : defaultValue;
}

CFStringRef string_ForKey(CFDictionaryRef dict, CFStringRef key, CFStringRef defaultValue) {
    const void *value = ValueForKey(dict, key);
    if (value == nullptr || CFGetTypeID(value) != CFStringGetTypeID()) return defaultValue;
    return static_cast<CFStringRef>(value);
}

bool hasString_ForKeyWithValue(CFDictionaryRef dict, CFStringRef key, CFStringRef value) {
    const CFStringRef string = string_ForKey(dict, key, nullptr);
    return string != nullptr && value != nullptr && CFStringCompare(string, value, 0) == kCFCompareEqualTo;
}

CGWindowID UCoreCGWindowInfo_GetWindowID(CFDictionaryRef dict) {
    const uint64_t id = uint64_ForKey(dict, kCGWindowNumber, kCGNullWindowID);
    return id <= UINT32_MAX ? static_cast<CGWindowID>(id) : kCGNullWindowID;
}

int64_t UCoreCGWindowInfo_GetWindowLevel(CFDictionaryRef dict) { return int64_ForKey(dict, kCGWindowLayer, 0); }

CFStringRef UCoreCGWindowInfo_GetWindowOwnerName(CFDictionaryRef dict) {
    return string_ForKey(dict, kCGWindowOwnerName, CFSTR(""));
}

bool UCoreCGWindowInfo_HasWindowOwnerName(CFDictionaryRef dict, CFStringRef name) {
    return hasString_ForKeyWithValue(dict, kCGWindowOwnerName, name);
}

bool UCoreCGWindowInfo_HasWindowName(CFDictionaryRef dict, CFStringRef name) {
    return hasString_ForKeyWithValue(dict, kCGWindowName, name);
}

bool UCoreCGWindowInfo_GetWindowBounds(CGRect &bounds, CFDictionaryRef dict) {
    bounds = CGRectZero;
    const void *rect = ValueForKey(dict, kCGWindowBounds);
    return rect != nullptr && CFGetTypeID(rect) == CFDictionaryGetTypeID() &&
           CGRectMakeWithDictionaryRepresentation(static_cast<CFDictionaryRef>(rect), &bounds);
}

bool UCoreCGWindowInfo_GetIsOnscreen(CFDictionaryRef dict) { return boolean_ForKey(dict, kCGWindowIsOnscreen); }

CGWindowSharingType UCoreCGWindowInfo_GetSharingState(CFDictionaryRef dict) {
    const int64_t state = int64_ForKey(dict, kCGWindowSharingState, kCGWindowSharingNone);
    return state >= 0 && state <= UINT32_MAX ? static_cast<CGWindowSharingType>(state) : kCGWindowSharingNone;
}

bool import_UCoreCGWindowList() { return true; }
