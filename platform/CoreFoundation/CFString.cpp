// Strings: UTF-16 units in a std::u16string; immutable strings also keep the 8-bit text
// they were made from, so that CFStringGetCStringPtr can answer it without converting.
#include <CoreFoundation/CFInternal.h>
#include <CoreFoundation/CFStringUTF.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <mutex>
#include <unordered_map>

using namespace cf::encoding;

namespace {

bool IsPlainASCII(std::u16string_view units) {
    for (const char16_t unit : units)
        if (unit == 0 || unit >= 0x80) return false;
    return true;
}

bool ValidRange(std::u16string_view units, CFRange range) {
    return range.location >= 0 && range.length >= 0 && size_t(range.location) <= units.size() &&
           size_t(range.length) <= units.size() - size_t(range.location);
}

__CFString *MutableString(CFMutableStringRef string) {
    auto *object = const_cast<__CFString *>(cf::String(string));
    return object != nullptr && object->isMutable() ? object : nullptr;
}

CFStringRef CreateFromBytes(const UInt8 *bytes, size_t length, CFStringEncoding encoding, bool external) {
    std::u16string units;
    if (!Decode(bytes, length, encoding, external, units)) return nullptr;
    auto *string = new __CFString(false);
    string->mUnits = std::move(units);
    // A byte-order mark is not part of the text, so external bytes are not kept.
    string->captureForms(external ? nullptr : reinterpret_cast<const char *>(bytes), length, encoding);
    return string;
}

// The length in bytes of a C string in the encoding: up to a 16-bit zero unit for UTF-16.
size_t CStringLength(const char *text, CFStringEncoding encoding) {
    if (!IsUTF16(encoding)) return std::strlen(text);
    size_t length = 0;
    while (text[length] != 0 || text[length + 1] != 0) length += 2;
    return length;
}

}  // namespace

// ---------------------------------------------------------------------------------------
// The object

void __CFString::captureForms(const char *bytes, size_t length, CFStringEncoding encoding) {
    mAscii = IsPlainASCII(mUnits);
    if (mAscii) {
        mBytes.assign(mUnits.begin(), mUnits.end());
        mBytesEncoding = kCFStringEncodingASCII;
    } else if (bytes != nullptr && !IsUTF16(encoding) && std::memchr(bytes, 0, length) == nullptr) {
        mBytes.assign(bytes, length);
        mBytesEncoding = encoding;
    }
}

const char *__CFString::cStringPtr(CFStringEncoding encoding) const {
    if (mConstAscii != nullptr) return IsASCIICompatible(encoding) ? mConstAscii : nullptr;
    if (mMutable) return nullptr;  // its text changes; never answer stale bytes
    if (mAscii) return IsASCIICompatible(encoding) ? mBytes.c_str() : nullptr;
    if (mBytesEncoding != kCFStringEncodingInvalidId && mBytesEncoding == encoding) return mBytes.c_str();
    return nullptr;
}

bool __CFString::isEqual(const cf::Object &other) const {
    return units() == static_cast<const __CFString &>(other).units();
}

CFHashCode __CFString::hash() const {
    CFHashCode value = 14695981039346656037ull;  // FNV-1a over the units
    for (const char16_t unit : units()) value = (value ^ unit) * 1099511628211ull;
    return value;
}

std::string __CFString::description() const { return cf::UTF8Lossy(units()); }

// ---------------------------------------------------------------------------------------
// Helpers of the layer

namespace cf {

CFStringRef CreateString(std::u16string units) {
    auto *string = new __CFString(false);
    string->mUnits = std::move(units);
    string->captureForms(nullptr, 0, kCFStringEncodingInvalidId);
    return string;
}

CFStringRef CreateStringFromUTF8(std::string_view text) {
    return CreateFromBytes(reinterpret_cast<const UInt8 *>(text.data()), text.size(), kCFStringEncodingUTF8, false);
}

bool UTF8(CFStringRef string, std::string &text) {
    if (String(string) == nullptr) return false;
    std::string made;
    if (!utf::AppendUTF16AsUTF8(Units(string), made, utf::OnInvalid::Fail)) return false;
    text = std::move(made);
    return true;
}

std::string UTF8Lossy(std::u16string_view units) {
    std::string text;
    utf::AppendUTF16AsUTF8(units, text, utf::OnInvalid::Replace);
    return text;
}

}  // namespace cf

// ---------------------------------------------------------------------------------------
// Creation

CFTypeID CFStringGetTypeID(void) { return cf::kStringTypeID; }

CFStringRef __CFStringMakeConstantString(const char *cStr) {
    if (cStr == nullptr) return nullptr;
    struct InternTable {
        std::mutex lock;
        std::unordered_map<std::string, CFStringRef> strings;
    };
    static InternTable *table = new InternTable;  // lives to the end of the process
    std::lock_guard<std::mutex> guard(table->lock);
    auto [entry, inserted] = table->strings.try_emplace(cStr, nullptr);
    if (inserted) {
        const auto *bytes = reinterpret_cast<const UInt8 *>(cStr);
        const size_t length = std::strlen(cStr);
        CFStringRef string = CreateFromBytes(bytes, length, kCFStringEncodingUTF8, false);
        if (string == nullptr) {  // not UTF-8: every byte still becomes a character
            std::u16string units(bytes, bytes + length);
            string = cf::CreateString(std::move(units));
        }
        const_cast<cf::Object *>(cf::ObjectOf(string))->makeImmortal();
        entry->second = string;
    }
    return entry->second;
}

CFStringRef CFStringCreateWithCString(CFAllocatorRef, const char *cStr, CFStringEncoding encoding) {
    if (cStr == nullptr) return nullptr;
    return CreateFromBytes(reinterpret_cast<const UInt8 *>(cStr), CStringLength(cStr, encoding), encoding, false);
}

CFStringRef CFStringCreateWithBytes(CFAllocatorRef, const UInt8 *bytes, CFIndex numBytes, CFStringEncoding encoding,
                                    Boolean isExternalRepresentation) {
    if (numBytes < 0 || (bytes == nullptr && numBytes > 0)) return nullptr;
    return CreateFromBytes(bytes, size_t(numBytes), encoding, isExternalRepresentation);
}

CFStringRef CFStringCreateWithPascalString(CFAllocatorRef, ConstStr255Param pStr, CFStringEncoding encoding) {
    if (pStr == nullptr) return nullptr;
    return CreateFromBytes(pStr + 1, pStr[0], encoding, false);
}

CFStringRef CFStringCreateWithCharacters(CFAllocatorRef, const UniChar *chars, CFIndex numChars) {
    if (numChars < 0 || (chars == nullptr && numChars > 0)) return nullptr;
    return cf::CreateString(numChars > 0 ? std::u16string(chars, chars + numChars) : std::u16string());
}

CFStringRef CFStringCreateWithSubstring(CFAllocatorRef, CFStringRef str, CFRange range) {
    if (cf::String(str) == nullptr) return nullptr;
    const std::u16string_view units = cf::Units(str);
    if (!ValidRange(units, range)) return nullptr;
    return cf::CreateString(std::u16string(units.substr(size_t(range.location), size_t(range.length))));
}

CFStringRef CFStringCreateCopy(CFAllocatorRef, CFStringRef theString) {
    const __CFString *string = cf::String(theString);
    if (string == nullptr) return nullptr;
    if (!string->isMutable()) return static_cast<CFStringRef>(CFRetain(theString));
    return cf::CreateString(string->mUnits);
}

CFStringRef CFStringCreateWithFormat(CFAllocatorRef alloc, CFDictionaryRef formatOptions, CFStringRef format, ...) {
    va_list arguments;
    va_start(arguments, format);
    CFStringRef result = CFStringCreateWithFormatAndArguments(alloc, formatOptions, format, arguments);
    va_end(arguments);
    return result;
}

CFStringRef CFStringCreateWithFormatAndArguments(CFAllocatorRef, CFDictionaryRef, CFStringRef format,
                                                 va_list arguments) {
    if (cf::String(format) == nullptr) return nullptr;
    std::u16string text;
    if (!cf::AppendFormat(text, cf::Units(format), arguments)) return nullptr;
    return cf::CreateString(std::move(text));
}

// ---------------------------------------------------------------------------------------
// Mutable strings

CFMutableStringRef CFStringCreateMutable(CFAllocatorRef, CFIndex) { return new __CFString(true); }

CFMutableStringRef CFStringCreateMutableCopy(CFAllocatorRef, CFIndex, CFStringRef theString) {
    if (cf::String(theString) == nullptr) return nullptr;
    auto *copy = new __CFString(true);
    copy->mUnits = cf::Units(theString);
    return copy;
}

void CFStringAppend(CFMutableStringRef theString, CFStringRef appendedString) {
    __CFString *string = MutableString(theString);
    if (string == nullptr || cf::String(appendedString) == nullptr) return;
    const std::u16string appended(cf::Units(appendedString));  // a copy: the string may be appended to itself
    string->mUnits += appended;
}

void CFStringAppendCString(CFMutableStringRef theString, const char *cStr, CFStringEncoding encoding) {
    __CFString *string = MutableString(theString);
    if (string == nullptr || cStr == nullptr) return;
    std::u16string units;
    if (Decode(reinterpret_cast<const UInt8 *>(cStr), CStringLength(cStr, encoding), encoding, false, units))
        string->mUnits += units;
}

void CFStringAppendFormat(CFMutableStringRef theString, CFDictionaryRef, CFStringRef format, ...) {
    __CFString *string = MutableString(theString);
    if (string == nullptr || cf::String(format) == nullptr) return;
    std::u16string text;
    va_list arguments;
    va_start(arguments, format);
    const bool formatted = cf::AppendFormat(text, cf::Units(format), arguments);
    va_end(arguments);
    if (formatted) string->mUnits += text;
}

// ---------------------------------------------------------------------------------------
// Access

CFIndex CFStringGetLength(CFStringRef theString) { return CFIndex(cf::Units(theString).size()); }

UniChar CFStringGetCharacterAtIndex(CFStringRef theString, CFIndex idx) {
    const std::u16string_view units = cf::Units(theString);
    return idx >= 0 && size_t(idx) < units.size() ? units[size_t(idx)] : 0;
}

void CFStringGetCharacters(CFStringRef theString, CFRange range, UniChar *buffer) {
    const std::u16string_view units = cf::Units(theString);
    if (buffer == nullptr || !ValidRange(units, range)) return;
    std::memcpy(buffer, units.data() + range.location, size_t(range.length) * sizeof(UniChar));
}

Boolean CFStringGetCString(CFStringRef theString, char *buffer, CFIndex bufferSize, CFStringEncoding encoding) {
    if (buffer == nullptr || bufferSize <= 0) return false;
    const CFIndex terminator = IsUTF16(encoding) ? 2 : 1;
    auto fail = [&] {
        std::memset(buffer, 0, size_t(std::min(bufferSize, terminator)));
        return false;
    };
    if (cf::String(theString) == nullptr || bufferSize < terminator || !IsAvailable(encoding)) return fail();
    const std::u16string_view units = cf::Units(theString);
    const EncodeResult result =
        Encode(units, encoding, 0, false, reinterpret_cast<UInt8 *>(buffer), bufferSize - terminator);
    if (size_t(result.units) != units.size()) return fail();
    std::memset(buffer + result.bytes, 0, size_t(terminator));
    return true;
}

const char *CFStringGetCStringPtr(CFStringRef theString, CFStringEncoding encoding) {
    const __CFString *string = cf::String(theString);
    return string ? string->cStringPtr(encoding) : nullptr;
}

CFIndex CFStringGetBytes(CFStringRef theString, CFRange range, CFStringEncoding encoding, UInt8 lossByte,
                         Boolean isExternalRepresentation, UInt8 *buffer, CFIndex maxBufLen, CFIndex *usedBufLen) {
    if (usedBufLen != nullptr) *usedBufLen = 0;
    const std::u16string_view units = cf::Units(theString);
    if (cf::String(theString) == nullptr || !ValidRange(units, range)) return 0;
    if (buffer != nullptr && maxBufLen <= 0) return 0;
    const EncodeResult result = Encode(units.substr(size_t(range.location), size_t(range.length)), encoding, lossByte,
                                       isExternalRepresentation, buffer, buffer ? maxBufLen : 0);
    if (usedBufLen != nullptr) *usedBufLen = result.bytes;
    return result.units;
}

CFIndex CFStringGetMaximumSizeForEncoding(CFIndex length, CFStringEncoding encoding) {
    const CFIndex perUnit = MaximumBytesPerUnit(encoding);
    if (perUnit == 0 || length < 0 || length > LONG_MAX / perUnit) return kCFNotFound;
    return length * perUnit;
}

Boolean CFStringIsEncodingAvailable(CFStringEncoding encoding) { return IsAvailable(encoding); }

// ---------------------------------------------------------------------------------------
// Comparison

CFComparisonResult CFStringCompare(CFStringRef theString1, CFStringRef theString2, CFStringCompareFlags compareOptions) {
    const bool valid1 = cf::String(theString1) != nullptr, valid2 = cf::String(theString2) != nullptr;
    if (!valid1 || !valid2) {
        if (valid1 == valid2) return kCFCompareEqualTo;
        return valid1 ? kCFCompareGreaterThan : kCFCompareLessThan;
    }
    const std::u16string_view a = cf::Units(theString1), b = cf::Units(theString2);
    const bool fold = (compareOptions & kCFCompareCaseInsensitive) != 0;
    const size_t common = std::min(a.size(), b.size());
    for (size_t i = 0; i < common; ++i) {
        const UniChar left = fold ? FoldCase(a[i]) : a[i];
        const UniChar right = fold ? FoldCase(b[i]) : b[i];
        if (left != right) return left < right ? kCFCompareLessThan : kCFCompareGreaterThan;
    }
    if (a.size() == b.size()) return kCFCompareEqualTo;
    return a.size() < b.size() ? kCFCompareLessThan : kCFCompareGreaterThan;
}

Boolean CFStringHasPrefix(CFStringRef theString, CFStringRef prefix) {
    const std::u16string_view units = cf::Units(theString), part = cf::Units(prefix);
    return !part.empty() && units.starts_with(part);
}

Boolean CFStringHasSuffix(CFStringRef theString, CFStringRef suffix) {
    const std::u16string_view units = cf::Units(theString), part = cf::Units(suffix);
    return !part.empty() && units.ends_with(part);
}
