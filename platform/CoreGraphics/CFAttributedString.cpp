// Attributed strings: the string and a list of attribute settings over ranges, the later
// setting of a key winning where settings overlap.
#include <CoreGraphics/CFAttributedString.h>

#include <CoreFoundation/CFRuntime.h>

#include <algorithm>
#include <vector>

CFTypeID CFAttributedStringGetTypeID(void) {
    static const CFTypeID type = cf::RegisterType("CFAttributedString");
    return type;
}

struct __CFAttributedString final : cf::Object {
    struct Setting {
        CFIndex start, end;
        CFStringRef key;  // retained
        CFTypeRef value;  // retained; null removes the attribute over the range
    };

    explicit __CFAttributedString(CFStringRef string)
        : cf::Object(CFAttributedStringGetTypeID()), mString(string) {}
    ~__CFAttributedString() override {
        for (const Setting &s : mSettings) {
            CFRelease(s.key);
            if (s.value) CFRelease(s.value);
        }
        CFRelease(mString);
    }

    void set(CFIndex start, CFIndex end, CFStringRef key, CFTypeRef value) {
        mSettings.push_back({start, end, static_cast<CFStringRef>(CFRetain(key)), value ? CFRetain(value) : nullptr});
    }

    const CFStringRef mString;  // an immutable copy
    std::vector<Setting> mSettings;
};

namespace {

const __CFAttributedString *Object(CFAttributedStringRef string) {
    return cf::As<const __CFAttributedString>(string, CFAttributedStringGetTypeID());
}

}  // namespace

CFAttributedStringRef CFAttributedStringCreate(CFAllocatorRef alloc, CFStringRef str, CFDictionaryRef attributes) {
    if (!str) return nullptr;
    CFStringRef copy = CFStringCreateCopy(alloc, str);
    if (!copy) return nullptr;
    auto *made = new __CFAttributedString(copy);
    const CFIndex count = attributes ? CFDictionaryGetCount(attributes) : 0;
    if (count > 0) {
        std::vector<const void *> keys(static_cast<size_t>(count)), values(static_cast<size_t>(count));
        CFDictionaryGetKeysAndValues(attributes, keys.data(), values.data());
        const CFIndex length = CFStringGetLength(copy);
        for (CFIndex i = 0; i < count; ++i) {
            if (CFGetTypeID(keys[size_t(i)]) == CFStringGetTypeID())
                made->set(0, length, static_cast<CFStringRef>(keys[size_t(i)]), values[size_t(i)]);
        }
    }
    return made;
}

CFMutableAttributedStringRef CFAttributedStringCreateMutableCopy(CFAllocatorRef alloc, CFIndex,
                                                                 CFAttributedStringRef aStr) {
    const __CFAttributedString *source = Object(aStr);
    if (!source) return nullptr;
    auto *made = new __CFAttributedString(CFStringCreateCopy(alloc, source->mString));
    for (const auto &s : source->mSettings) made->set(s.start, s.end, s.key, s.value);
    return made;
}

CFIndex CFAttributedStringGetLength(CFAttributedStringRef aStr) {
    const __CFAttributedString *string = Object(aStr);
    return string ? CFStringGetLength(string->mString) : 0;
}

CFStringRef CFAttributedStringGetString(CFAttributedStringRef aStr) {
    const __CFAttributedString *string = Object(aStr);
    return string ? string->mString : nullptr;
}

CFTypeRef CFAttributedStringGetAttribute(CFAttributedStringRef aStr, CFIndex loc, CFStringRef attrName,
                                         CFRange *effectiveRange) {
    const __CFAttributedString *string = Object(aStr);
    if (effectiveRange) *effectiveRange = CFRangeMake(kCFNotFound, 0);
    if (!string || !attrName) return nullptr;
    const CFIndex length = CFStringGetLength(string->mString);
    if (loc < 0 || loc >= length) return nullptr;
    const auto &settings = string->mSettings;
    // The last setting of the key that covers loc decides; the settings of the key after it
    // (all of them when none covers loc) bound the range over which that answer holds.
    size_t decided = settings.size();
    for (size_t i = settings.size(); i-- > 0;) {
        const auto &s = settings[i];
        if (s.start <= loc && loc < s.end && CFEqual(s.key, attrName)) {
            decided = i;
            break;
        }
    }
    CFIndex start = 0, end = length;
    if (decided < settings.size()) start = settings[decided].start, end = settings[decided].end;
    for (size_t i = decided < settings.size() ? decided + 1 : 0; i < settings.size(); ++i) {
        const auto &s = settings[i];
        if (!CFEqual(s.key, attrName)) continue;
        if (s.end <= loc) start = std::max(start, s.end);
        else if (s.start > loc) end = std::min(end, s.start);
    }
    if (effectiveRange) *effectiveRange = CFRangeMake(start, end - start);
    return decided < settings.size() ? settings[decided].value : nullptr;
}

void CFAttributedStringSetAttribute(CFMutableAttributedStringRef aStr, CFRange range, CFStringRef attrName,
                                    CFTypeRef value) {
    auto *string = const_cast<__CFAttributedString *>(Object(aStr));
    if (!string || !attrName) return;
    const CFIndex length = CFStringGetLength(string->mString);
    if (range.location < 0 || range.length <= 0 || range.location > length || range.length > length - range.location)
        return;
    string->set(range.location, range.location + range.length, attrName, value);
}
