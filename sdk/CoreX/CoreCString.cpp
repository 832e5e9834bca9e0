#include <CoreX/CoreCString.h>

#include <algorithm>
#include <cctype>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>

#include <CoreFoundation/CFString.h>
#include <CoreX/CoreException.h>
#include <CoreX/CorePString.h>

bool import_CoreCString() { return import_CorePString() && import_CoreException(); }

namespace {

[[noreturn]] void ThrowNil() { throw CoreException("Nil exception pointer"); }
[[noreturn]] void ThrowInvariant() { throw CoreException("Invariant failed"); }

// The buffer size a source needs, refused when it exceeds the 16-bit capacity.
unsigned short NeededSize(const char *source, unsigned short minimumSize) {
    const std::size_t needed = std::max<std::size_t>(source ? std::strlen(source) + 1 : 1, minimumSize);
    if (needed > CoreCString::kMaxCapacity) ThrowInvariant();
    return static_cast<unsigned short>(needed);
}

unsigned short CheckedSize(std::size_t size) {
    if (size > CoreCString::kMaxCapacity) ThrowInvariant();
    return static_cast<unsigned short>(size);
}

// The name of a file spec as a C string, read within the name field.
std::string FileSpecName(const FSSpec &spec) {
    const std::size_t field = sizeof(spec.name) - 1;
    const std::size_t length = std::min<std::size_t>(spec.name[0], field);
    const char *characters = reinterpret_cast<const char *>(spec.name + 1);
    return std::string(characters, ::strnlen(characters, length));
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool IsSpace(char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; }

}  // namespace

// ----- construction -----

CoreCString::CoreCString() : CoreCString(kNoBuffer) { Alloc(static_cast<const char *>(nullptr), 0); }

CoreCString::CoreCString(const char *cstring, unsigned short minimumSize) : CoreCString(kNoBuffer) {
    Alloc(cstring, minimumSize);
}

CoreCString::CoreCString(const CoreCString &other, unsigned short minimumSize) : CoreCString(kNoBuffer) {
    Alloc(other.mString, minimumSize);
}

CoreCString::CoreCString(const std::string &text, unsigned short minimumSize) : CoreCString(kNoBuffer) {
    Alloc(text.c_str(), minimumSize);
}

CoreCString::CoreCString(const CorePString &pstring, unsigned short minimumSize) : CoreCString(kNoBuffer) {
    Alloc(pstring.c_str(), minimumSize);
}

CoreCString::CoreCString(const unsigned char *prefixed, unsigned short minimumSize) : CoreCString(kNoBuffer) {
    Alloc(prefixed, minimumSize);
}

CoreCString::CoreCString(const FSSpec &spec, unsigned short minimumSize) : CoreCString(kNoBuffer) {
    Alloc(FileSpecName(spec).c_str(), minimumSize);
}

CoreCString::CoreCString(const FSSpec *spec, unsigned short minimumSize) : CoreCString(kNoBuffer) {
    Alloc(spec ? FileSpecName(*spec).c_str() : nullptr, minimumSize);
}

CoreCString::CoreCString(unsigned long code, unsigned short) : CoreCString(kNoBuffer) {
    ConstructFourCharCode(code);
}

CoreCString::~CoreCString() { Delete(); }

// ----- storage -----

bool CoreCString::Aliases(const void *pointer) const {
    if (mString == nullptr || pointer == nullptr) return false;
    const std::uintptr_t begin = reinterpret_cast<std::uintptr_t>(mString);
    const std::uintptr_t at = reinterpret_cast<std::uintptr_t>(pointer);
    return at >= begin && at - begin < mCapacity;
}

std::size_t CoreCString::Length() const { return mString ? std::strlen(mString) : 0; }

char *CoreCString::Alloc(const char *source, unsigned short minimumSize) {
    std::string copy;
    if (Aliases(source)) {
        copy = source;
        source = copy.c_str();
    }
    const unsigned short needed = NeededSize(source, minimumSize);
    if (mString == nullptr || mCapacity < needed) {
        char *made = new char[needed];
        made[0] = 0;
        delete[] mString;
        mString = made;
        mCapacity = needed;
    }
    safe_strcpy(source);
    return mString;
}

char *CoreCString::Alloc(unsigned short size) { return Alloc(static_cast<const char *>(nullptr), size); }

char *CoreCString::Alloc(const unsigned char *prefixed, unsigned short size) {
    const CorePString pstring(prefixed);
    return Alloc(pstring.c_str(), size);
}

void CoreCString::Delete() {
    delete[] mString;
    mString = nullptr;
    mCapacity = 0;
}

char *CoreCString::Empty() {
    if (mString == nullptr) ThrowNil();
    mString[0] = 0;
    return mString;
}

void CoreCString::Assign(const char *source) {
    std::string copy;
    if (Aliases(source)) {
        copy = source;
        source = copy.c_str();
    }
    NeededSize(source, 0);  // refuse before the old text is gone
    Delete();
    Alloc(source, 0);
}

// ----- copying in -----

CoreCString &CoreCString::operator=(const char *cstring) {
    Assign(cstring);
    return *this;
}

CoreCString &CoreCString::operator=(const CoreCString &other) {
    if (this != &other) Assign(other.mString);
    return *this;
}

CoreCString &CoreCString::operator=(const CorePString &pstring) {
    Assign(pstring.c_str());
    return *this;
}

CoreCString &CoreCString::operator=(const unsigned char *prefixed) {
    const CorePString pstring(prefixed);
    Assign(pstring.c_str());
    return *this;
}

CoreCString &CoreCString::operator=(CFStringRef string) {
    if (string == nullptr || CFGetTypeID(string) != CFStringGetTypeID()) {
        Delete();
        return *this;
    }
    // MacRoman has one byte per character.
    const unsigned short size = CheckedSize(static_cast<std::size_t>(CFStringGetLength(string)) + 1);
    Delete();
    mString = new char[size];
    mCapacity = size;
    mString[0] = 0;
    if (!CFStringGetCString(string, mString, size, kCFStringEncodingMacRoman)) mString[0] = 0;
    return *this;
}

void CoreCString::safe_strcpy(const char *source) {
    safe_strncpy(source, source ? static_cast<unsigned short>(std::min<std::size_t>(std::strlen(source), kMaxCapacity)) : 0);
}

void CoreCString::safe_strncpy(const char *source, unsigned short count) {
    std::string copy;
    if (Aliases(source)) {
        copy = source;
        source = copy.c_str();
    }
    Empty();
    if (source == nullptr) return;
    const std::size_t length = std::strlen(source);
    const std::size_t total = std::min<std::size_t>(std::max<std::size_t>(length, count), mCapacity - 1u);
    const std::size_t copied = std::min(length, total);
    std::memcpy(mString, source, copied);
    std::memset(mString + copied, 0, total - copied);
    mString[total] = 0;
}

// ----- appending -----

void CoreCString::strcat(const char *source) {
    if (mString == nullptr) ThrowNil();
    if (source == nullptr) return;
    const std::size_t length = std::strlen(mString);
    const std::size_t added = std::strlen(source);
    CheckedSize(length + added + 1);
    CoreCStringSized result(CheckedSize(std::min<std::size_t>((length + 1) + (added + 1), kMaxCapacity)));
    std::memcpy(result.mString, mString, length);
    std::memcpy(result.mString + length, source, added);
    result.mString[length + added] = 0;
    Alloc(result.mString, 0);
}

CoreCString &CoreCString::operator+=(const char *source) {
    strcat(source);
    return *this;
}

CoreCString &CoreCString::operator+=(const CoreCString &source) {
    strcat(source.mString);
    return *this;
}

CoreCString &CoreCString::operator+=(const unsigned char *prefixed) {
    const CorePString pstring(prefixed);
    strcat(pstring.c_str());
    return *this;
}

void CoreCString::safe_strcat(const char *source) {
    if (mString == nullptr || source == nullptr) ThrowNil();
    const std::size_t length = std::strlen(mString);
    const std::size_t room = mCapacity - 1u - length;
    const std::size_t added = std::min(std::strlen(source), room);
    std::memmove(mString + length, source, added);
    mString[length + added] = 0;
}

// ----- formatting -----

void CoreCString::printf(const char *format, ...) {
    enum : std::size_t { kTemporarySize = 2050 };
    if (format == nullptr) ThrowNil();
    std::unique_ptr<char[]> temporary(new (std::nothrow) char[kTemporarySize]);
    if (!temporary) ThrowNil();
    va_list arguments;
    va_start(arguments, format);
    const int length = std::vsnprintf(temporary.get(), kTemporarySize, format, arguments);
    va_end(arguments);
    if (length < 0 || length >= static_cast<int>(kTemporarySize) - 1) ThrowInvariant();
    Alloc(temporary.get(), 0);
}

void CoreCString::sprintf(char *buffer, unsigned long size, const char *format, ...) {
    if (buffer == nullptr || format == nullptr) ThrowNil();
    va_list arguments;
    va_start(arguments, format);
    const int length = std::vsnprintf(buffer, size, format, arguments);
    va_end(arguments);
    if (length < 0 || static_cast<unsigned long>(length) >= size) ThrowInvariant();
    Alloc(buffer, 0);
}

bool CoreCString::ConstructFourCharCode(unsigned long code) {
    Delete();
    printf("0x%08lx '%c%c%c%c'", code, static_cast<int>((code >> 24) & 0xFF),
           static_cast<int>((code >> 16) & 0xFF), static_cast<int>((code >> 8) & 0xFF),
           static_cast<int>(code & 0xFF));
    return mString != nullptr;
}

// ----- hexadecimal -----

char *CoreCString::HexDigitPairFromByte(const unsigned char *byte, char separator) {
    static const char kDigits[] = "0123456789ABCDEF";
    thread_local char sBuffer[4];
    if (byte == nullptr) ThrowNil();
    sBuffer[0] = kDigits[*byte >> 4];
    sBuffer[1] = kDigits[*byte & 0x0F];
    if (separator != 0) {
        sBuffer[2] = static_cast<signed char>(separator) < 32 ? ' ' : separator;
        sBuffer[3] = 0;
    } else {
        sBuffer[2] = 0;
    }
    return sBuffer;
}

void CoreCString::EncodeHexString(const void *data, unsigned length, unsigned maximum, char separator) {
    const std::size_t count = (maximum != 0 && maximum < length) ? maximum : length;
    if (count > 0 && data == nullptr) ThrowNil();
    const unsigned short size = CheckedSize(4 * count + 9);
    std::string copy;
    if (Aliases(data)) {
        copy.assign(static_cast<const char *>(data), count);
        data = copy.data();
    }
    Alloc(size);
    const unsigned char *bytes = static_cast<const unsigned char *>(data);
    char *end = mString;
    for (std::size_t i = 0; i < count; ++i) {
        const char *pair = HexDigitPairFromByte(bytes + i, separator);
        const std::size_t pairLength = std::strlen(pair);
        std::memcpy(end, pair, pairLength + 1);
        end += pairLength;
    }
}

void CoreCString::HexData(const void *data, unsigned length, unsigned maximum) {
    EncodeHexString(data, length, maximum, ' ');
}

void CoreCString::AsHexString() {
    if (mString == nullptr) ThrowNil();
    if (mString[0] == 0) return;
    const std::string text(mString);
    EncodeHexString(text.data(), static_cast<unsigned>(text.size()), 0, ' ');
}

unsigned CoreCString::DecodeHexString(const char *text) {
    if (text == nullptr) ThrowNil();
    std::string copy;
    if (Aliases(text)) {
        copy = text;
        text = copy.c_str();
    }
    std::size_t digits = 0;
    for (const char *p = text; *p != 0; ++p)
        if (HexValue(*p) >= 0) ++digits;
    const std::size_t bytes = digits / 2;
    Alloc(CheckedSize(bytes + 9));

    unsigned char *out = reinterpret_cast<unsigned char *>(mString);
    std::size_t made = 0;
    int high = -1;
    for (const char *p = text; *p != 0 && made < bytes; ++p) {
        const int value = HexValue(*p);
        if (value < 0) continue;  // separators and any other character
        if (high < 0) {
            high = value;
        } else {
            out[made++] = static_cast<unsigned char>((high << 4) | value);
            high = -1;
        }
    }
    out[made] = 0;
    return static_cast<unsigned>(made);
}

// ----- reading out -----

void CoreCString::AssignTo(char *destination) const {
    if (mString == nullptr || destination == nullptr) ThrowNil();
    std::memmove(destination, mString, std::strlen(mString) + 1);
}

void CoreCString::AssignTo(unsigned char *prefixed, unsigned maximum) const {
    AssignTo(prefixed, maximum, mString);
}

void CoreCString::AssignTo(unsigned char *prefixed, unsigned maximum, const char *source) {
    if (prefixed == nullptr) return;
    if (source == nullptr) {
        prefixed[0] = 0;
        return;
    }
    const std::size_t count = std::min<std::size_t>({std::strlen(source), maximum, CorePString::kMaxLength});
    std::memmove(prefixed + 1, source, count);
    prefixed[0] = static_cast<unsigned char>(count);
}

double CoreCString::AsDouble() const {
    if (mString == nullptr) ThrowNil();
    double value = 0.0;
    if (std::sscanf(mString, "%lf", &value) != 1) return 0.0;
    return value;
}

bool CoreCString::operator==(const char *rhs) const {
    if (mString == nullptr || rhs == nullptr) ThrowNil();
    return std::strcmp(mString, rhs) == 0;
}

bool CoreCString::operator==(const unsigned char *prefixed) const {
    if (prefixed == nullptr) ThrowNil();
    const CorePString pstring(prefixed);
    return *this == pstring.c_str();
}

// ----- whitespace -----

void CoreCString::trim_leading_whitespace() const {
    if (mString == nullptr) ThrowNil();
    if (!IsSpace(mString[0])) return;
    std::size_t first = 0;
    while (mString[first] != 0 && IsSpace(mString[first])) ++first;
    if (mString[first] == 0) return;  // only whitespace: left as it is
    std::memmove(mString, mString + first, std::strlen(mString + first) + 1);
}

void CoreCString::trim_trailing_whitespace() const {
    if (mString == nullptr) ThrowNil();
    std::size_t length = std::strlen(mString);
    while (length > 0 && IsSpace(mString[length - 1])) mString[--length] = 0;
}

void CoreCString::trim_trailing_and_leading_whitespace() const {
    trim_leading_whitespace();
    trim_trailing_whitespace();
}

// ----- CoreCStringSized -----

CoreCStringSized::CoreCStringSized(unsigned short size) : CoreCString(kNoBuffer) {
    Alloc(static_cast<const char *>(nullptr), size);
}

CoreCStringSized::CoreCStringSized(const CoreCStringSized &other) : CoreCString(kNoBuffer) {
    Alloc(other.mString, other.mCapacity);
}

CoreCStringSized::CoreCStringSized(const char *cstring, unsigned short size) : CoreCString(kNoBuffer) {
    Alloc(cstring, size);
}

CoreCStringSized::CoreCStringSized(const unsigned char *prefixed, unsigned short size)
    : CoreCString(kNoBuffer) {
    Alloc(prefixed, size);
}

CoreCStringSized::CoreCStringSized(const FSSpec &spec, unsigned short size) : CoreCString(kNoBuffer) {
    Alloc(FileSpecName(spec).c_str(), size);
}

CoreCStringSized::CoreCStringSized(unsigned long code, unsigned short size) : CoreCString(kNoBuffer) {
    const char text[] = {'\'',
                         static_cast<char>(code & 0xFF),
                         static_cast<char>((code >> 8) & 0xFF),
                         static_cast<char>((code >> 16) & 0xFF),
                         static_cast<char>((code >> 24) & 0xFF),
                         '\'',
                         0};
    Alloc(text, size);
}

CoreCStringSized::~CoreCStringSized() = default;

void CoreCStringSized::strcat(const char *source) {
    if (mString == nullptr || source == nullptr) ThrowNil();
    const std::size_t length = std::strlen(mString);
    const std::size_t added = std::strlen(source);
    if (!(length + added + 1 < mCapacity)) ThrowInvariant();
    std::memmove(mString + length, source, added);
    mString[length + added] = 0;
}

void CoreCStringSized::truncate(const char *position) {
    if (mString == nullptr) ThrowNil();
    const std::uintptr_t begin = reinterpret_cast<std::uintptr_t>(mString);
    const std::uintptr_t at = reinterpret_cast<std::uintptr_t>(position);
    if (position == nullptr || at < begin || at - begin > std::strlen(mString)) ThrowInvariant();
    mString[at - begin] = 0;
}
