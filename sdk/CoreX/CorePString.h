// CorePString: a length-prefixed string of up to 255 characters held in place.
//
// Layout: the length byte, the characters, then a null byte after the last character, so
// that the characters can also be read as a C string. The first 256 bytes are an ordinary
// Str255 (p_str() may be passed wherever one is expected); one more byte follows so that a
// full string of 255 characters still has room for its null byte. sizeof(CorePString) is
// therefore 257, not 256.
//
// Misuse throws CoreException ("Nil exception pointer").
#pragma once

#include <cstddef>

#include <CoreFoundation/MacTypes.h>

class CorePString {
public:
    enum : std::size_t {
        kMaxLength = 255,                  // characters
        kStorageSize = kMaxLength + 2,     // length byte, characters, null byte
    };

    CorePString();
    CorePString(const CorePString &other);
    explicit CorePString(const char *cstring);
    explicit CorePString(const unsigned char *prefixed);

    // Copies the whole storage.
    CorePString &operator=(const CorePString &other);
    // At most 255 characters up to the first null; a null or empty C string gives length 0.
    CorePString &operator=(const char *cstring);
    // The length byte and that many characters; a null pointer gives length 0.
    CorePString &operator=(const unsigned char *prefixed);

    // Copies the smaller of the length and maximum characters into prefixed and sets its
    // length byte. A null destination is left alone.
    void AssignTo(unsigned char *prefixed, unsigned short maximum) const;

    // Appends the characters of prefixed (a null pointer appends nothing), keeping at most
    // 255 characters in all. Returns the length-prefixed string.
    const unsigned char *strcat(const unsigned char *prefixed);

    // Compares the characters of both as C strings; "Nil exception pointer" for null.
    bool operator==(const unsigned char *prefixed) const;

    const char *c_str() const { return reinterpret_cast<const char *>(mPString + 1); }
    const unsigned char *p_str() const { return mPString; }
    unsigned char *p_str() { return mPString; }
    std::size_t length() const { return mPString[0]; }

private:
    void SetLength(std::size_t length);

    unsigned char mPString[kStorageSize];
};

bool import_CorePString();
