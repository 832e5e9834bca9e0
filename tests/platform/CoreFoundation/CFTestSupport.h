// Helpers of the Core Foundation tests.
#pragma once

#include <CoreFoundation/CoreFoundation.h>

#include <string>

namespace cftest {

// Owns one reference and releases it.
template <class T>
class Owned {
public:
    explicit Owned(T ref = nullptr) : mRef(ref) {}
    ~Owned() {
        if (mRef) CFRelease(mRef);
    }
    Owned(const Owned &) = delete;
    Owned &operator=(const Owned &) = delete;
    T get() const { return mRef; }
    operator T() const { return mRef; }
    explicit operator bool() const { return mRef != nullptr; }

private:
    T mRef;
};

// The UTF-8 text of a string ("<null>" for a null reference).
inline std::string Text(CFStringRef string) {
    if (string == nullptr) return "<null>";
    CFIndex used = 0;
    const CFIndex length = CFStringGetLength(string);
    CFStringGetBytes(string, CFRangeMake(0, length), kCFStringEncodingUTF8, '?', false, nullptr, 0, &used);
    std::string text(size_t(used), '\0');
    CFStringGetBytes(string, CFRangeMake(0, length), kCFStringEncodingUTF8, '?', false,
                     reinterpret_cast<UInt8 *>(text.data()), used, &used);
    return text;
}

inline CFStringRef MakeString(const std::string &utf8) {
    return CFStringCreateWithBytes(nullptr, reinterpret_cast<const UInt8 *>(utf8.data()), CFIndex(utf8.size()),
                                   kCFStringEncodingUTF8, false);
}

}  // namespace cftest
