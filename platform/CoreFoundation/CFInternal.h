// Internals shared by the sources of this layer. Other platform layers may use
// LUMORA_CF_CONSTANT_STRING (constant strings of their own, usable before main) and the
// string helpers in namespace cf; callers above platform/ use the public headers only.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include <CoreFoundation/CFRuntime.h>
#include <CoreFoundation/CFString.h>

struct __CFString final : cf::Object {
    // A dynamic string; the creator fills mUnits and then calls captureForms when it is
    // immutable.
    explicit __CFString(bool isMutable) : cf::Object(cf::kStringTypeID), mUnits(), mMutable(isMutable), mBytes() {}
    // A constant ASCII string of static storage (error domains, keys). Its text is
    // mConstUnits/mConstAscii; mUnits and mBytes are never constructed (see below).
    constexpr __CFString(std::u16string_view units, const char *ascii)
        : cf::Object(cf::kStringTypeID, true), mNoUnits(), mNoBytes(), mConstUnits(units), mConstAscii(ascii) {}
    // Constants are immortal and never destroyed; only a dynamic string has the members.
    ~__CFString() override {
        if (mConstAscii == nullptr) {
            mUnits.~basic_string();
            mBytes.~basic_string();
        }
    }

    std::u16string_view units() const { return mConstAscii ? mConstUnits : std::u16string_view(mUnits); }
    bool isMutable() const { return mMutable; }

    // Records the 8-bit forms an immutable string keeps for CFStringGetCStringPtr: the bytes
    // it was made from (when they are 8-bit text without a zero byte) and, for an all-ASCII
    // string, its ASCII text.
    void captureForms(const char *bytes, size_t length, CFStringEncoding encoding);
    const char *cStringPtr(CFStringEncoding encoding) const;

    bool isEqual(const cf::Object &other) const override;
    CFHashCode hash() const override;
    std::string description() const override;

    // The strings live in anonymous unions so that the constant constructor can leave them
    // unconstructed: clang before 15 cannot evaluate libstdc++'s constexpr std::string
    // constructor, and a constant string never uses them.
    union {
        std::u16string mUnits;
        char mNoUnits;  // the member a constant holds
    };

private:
    bool mMutable = false;
    bool mAscii = false;  // all ASCII without a zero unit; mBytes then holds the ASCII text
    union {
        std::string mBytes;
        char mNoBytes;
    };
    CFStringEncoding mBytesEncoding = kCFStringEncodingInvalidId;
    std::u16string_view mConstUnits;
    const char *mConstAscii = nullptr;
};

// A constant string object: LUMORA_CF_CONSTANT_STRING(gName, "text") defines gName, usable
// as &gName.object before main. The text must be ASCII.
#define LUMORA_CF_CONSTANT_STRING(variable, text) \
    constinit cf::Constant<__CFString> variable { u"" text, text }

namespace cf {

// The string behind a reference, or null when it is not a string.
inline const __CFString *String(CFTypeRef ref) { return As<const __CFString>(ref, kStringTypeID); }
inline std::u16string_view Units(CFStringRef string) {
    const __CFString *object = String(string);
    return object ? object->units() : std::u16string_view();
}

// A new immutable string of these units.
CFStringRef CreateString(std::u16string units);
// A new immutable string from UTF-8; null when the text is not UTF-8.
CFStringRef CreateStringFromUTF8(std::string_view text);
// The UTF-8 text of a string; false for a null reference, a non-string or a lone surrogate.
bool UTF8(CFStringRef string, std::string &text);
// UTF-8 text with U+FFFD for lone surrogates (for descriptions).
std::string UTF8Lossy(std::u16string_view units);

// The callbacks of the kCFType collection callbacks.
const void *RetainCallBack(CFAllocatorRef allocator, const void *value);
void ReleaseCallBack(CFAllocatorRef allocator, const void *value);

// Hash and equality of hashed collections from their callbacks (pointer identity without).
struct ValueHash {
    CFHashCode (*hash)(const void *) = nullptr;
    bool hasEqual = false;
    size_t operator()(const void *value) const {
        if (hash != nullptr) return hash(value);
        return hasEqual ? 0 : std::hash<const void *>{}(value);  // equal without hash: one bucket
    }
};
struct ValueEqual {
    Boolean (*equal)(const void *, const void *) = nullptr;
    bool operator()(const void *a, const void *b) const { return a == b || (equal != nullptr && equal(a, b)); }
};

// Formats into out; false on a formatting error (out is then incomplete).
bool AppendFormat(std::u16string &out, std::u16string_view format, va_list arguments);

namespace encoding {

bool IsAvailable(CFStringEncoding encoding);
// Every ASCII character is the same single byte, and every other text is more than ASCII.
bool IsASCIICompatible(CFStringEncoding encoding);
bool IsUTF16(CFStringEncoding encoding);
// Bytes per UTF-16 unit at most; 0 for an unknown encoding.
CFIndex MaximumBytesPerUnit(CFStringEncoding encoding);

// Decodes bytes into UTF-16 units (appended to out). False when the bytes are not valid in
// the encoding (out is then incomplete).
bool Decode(const UInt8 *bytes, size_t length, CFStringEncoding encoding, bool external, std::u16string &out);

struct EncodeResult {
    CFIndex units = 0;  // UTF-16 units converted
    CFIndex bytes = 0;  // bytes produced
};
// Encodes units until they end, the next character does not fit in capacity bytes or cannot
// be represented (lossByte 0). A null buffer measures without a capacity.
EncodeResult Encode(std::u16string_view units, CFStringEncoding encoding, UInt8 lossByte, bool external,
                    UInt8 *buffer, CFIndex capacity);

UniChar FoldCase(UniChar unit);

}  // namespace encoding

}  // namespace cf
