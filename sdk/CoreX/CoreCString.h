// CoreCString: an owned, heap-allocated, null-terminated string with a capacity, and
// CoreCStringSized, the same with fixed-capacity operations that refuse to grow.
//
// The capacity is the buffer's size in bytes including the terminator, an unsigned 16-bit
// number: a text longer than 65534 characters cannot be held and is refused with
// "Invariant failed" (the object is left as it was). Misuse throws CoreException:
// "Nil exception pointer" when an operation needs a string and finds none, "Invariant
// failed" when a result would not fit.
//
// Sources may point into the object's own buffer (s = s.c_str() + 1, s.strcat(s.c_str())):
// such a source is copied before the buffer changes.
#pragma once

#include <string>

#include <Carbon/Files.h>
#include <CoreFoundation/CFBase.h>

class CorePString;

class CoreCString {
public:
    enum : unsigned { kMaxCapacity = 0xFFFF };

    CoreCString();
    CoreCString(const char *cstring, unsigned short minimumSize = 0);
    CoreCString(const CoreCString &other, unsigned short minimumSize = 0);
    CoreCString(const std::string &text, unsigned short minimumSize = 0);
    CoreCString(const CorePString &pstring, unsigned short minimumSize = 0);
    CoreCString(const unsigned char *prefixed, unsigned short minimumSize = 0);
    // The file spec's name; a null pointer gives "".
    explicit CoreCString(const FSSpec &spec, unsigned short minimumSize = 0);
    explicit CoreCString(const FSSpec *spec, unsigned short minimumSize = 0);
    // ConstructFourCharCode(code); the size is not used.
    explicit CoreCString(unsigned long code, unsigned short minimumSize = 0);
    virtual ~CoreCString();

    // Storage. The needed size is the larger of strlen(source) + 1 (1 for a null source)
    // and minimumSize; a smaller buffer is replaced, a large enough one is kept.
    char *Alloc(const char *source, unsigned short minimumSize);
    char *Alloc(unsigned short size);
    char *Alloc(const unsigned char *prefixed, unsigned short size);
    void Delete();
    char *Empty();
    const char *c_str() const { return mString; }
    const char *Get_const_cstring() const { return mString; }
    unsigned short capacity() const { return mCapacity; }

    // Copying in: the old buffer is freed, then Alloc(source, 0).
    CoreCString &operator=(const char *cstring);
    CoreCString &operator=(const CoreCString &other);
    CoreCString &operator=(const CorePString &pstring);
    CoreCString &operator=(const unsigned char *prefixed);
    // A null string leaves the object without buffer; otherwise its MacRoman text ("" when
    // it has characters MacRoman cannot hold; "Invariant failed" beyond 65534 characters).
    CoreCString &operator=(CFStringRef string);

    void safe_strcpy(const char *source);
    // Empty() first; then copies the whole source (count only widens the zero-filled area)
    // as far as the capacity allows, and terminates it.
    void safe_strncpy(const char *source, unsigned short count);

    // Appending.
    void strcat(const char *source);
    CoreCString &operator+=(const char *source);
    CoreCString &operator+=(const CoreCString &source);
    CoreCString &operator+=(const unsigned char *prefixed);
    // Appends as much of source as fits in the current capacity.
    void safe_strcat(const char *source);

    // Formatting (both bounded: nothing is written past the buffers).
    void printf(const char *format, ...) __attribute__((format(printf, 2, 3)));
    void sprintf(char *buffer, unsigned long size, const char *format, ...)
        __attribute__((format(printf, 4, 5)));
    // "0x%08lx '%c%c%c%c'" of the code, its characters from the most significant byte.
    bool ConstructFourCharCode(unsigned long code);

    // Hexadecimal. HexDigitPairFromByte answers this thread's 4-byte buffer, overwritten by
    // the thread's next call.
    static char *HexDigitPairFromByte(const unsigned char *byte, char separator);
    void EncodeHexString(const void *data, unsigned length, unsigned maximum, char separator);
    void HexData(const void *data, unsigned length, unsigned maximum);
    void AsHexString();
    // Decodes the hexadecimal digits of text in pairs (first digit the high nibble); every
    // other character (blanks, dashes...) is skipped, and reading stops at the terminator. The
    // content becomes the raw bytes (which may include 0), followed by a terminator. Answers
    // the number of bytes.
    unsigned DecodeHexString(const char *text);

    // Reading out.
    void AssignTo(char *destination) const;
    void AssignTo(unsigned char *prefixed, unsigned maximum) const;
    // The length byte is the smaller of strlen(source), maximum and 255.
    static void AssignTo(unsigned char *prefixed, unsigned maximum, const char *source);
    double AsDouble() const;
    bool operator==(const char *rhs) const;
    bool operator==(const unsigned char *prefixed) const;

    // Whitespace (isspace in the current locale).
    void trim_leading_whitespace() const;
    void trim_trailing_whitespace() const;
    void trim_trailing_and_leading_whitespace() const;

protected:
    enum NoBufferTag { kNoBuffer };
    explicit CoreCString(NoBufferTag) : mString(nullptr), mCapacity(0) {}

    // True when pointer lies in this object's buffer.
    bool Aliases(const void *pointer) const;
    std::size_t Length() const;
    // Delete, then Alloc(source, 0); a source that cannot be held leaves the object as it was.
    void Assign(const char *source);

    char *mString;
    unsigned short mCapacity;
};

class CoreCStringSized : public CoreCString {
public:
    explicit CoreCStringSized(unsigned short size);
    CoreCStringSized(const CoreCStringSized &other);
    CoreCStringSized(const char *cstring, unsigned short size);
    CoreCStringSized(const unsigned char *prefixed, unsigned short size);
    CoreCStringSized(const FSSpec &spec, unsigned short size);
    // A single quote, the code's four bytes from the least significant, a single quote
    // ('appl' gives 'lppa', the bytes in memory order on this platform).
    CoreCStringSized(unsigned long code, unsigned short size);
    ~CoreCStringSized() override;

    CoreCStringSized &operator=(const CoreCStringSized &other) = default;

    // Appends when current length + source length < capacity - 1, else "Invariant failed"
    // with the text unchanged.
    void strcat(const char *source);
    // position must lie within the text, from its first character to its terminator.
    void truncate(const char *position);
};

bool import_CoreCString();
