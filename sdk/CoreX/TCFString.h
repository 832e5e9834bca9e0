// TCFString: a CFStringRef wrapper with conversions to and from C strings in a chosen
// encoding, length-prefixed strings, UTF-16 units, wide strings (UTF-32 on this platform),
// the 255-unit HFS Unicode name and standard library strings.
//
// Every setter creates a new string and owns it; a failed setter leaves the wrapper empty.
// "Valid" means non-null and a CFString. Setters and getters report failed checks through
// the debug log and answer false; only construct's type check throws.
#pragma once

#include <string>

#include <Carbon/Files.h>
#include <CoreFoundation/CFString.h>
#include <CoreX/T_CFTypeRef.h>

class TCFString : public T_CFTypeRef<CFStringRef> {
public:
    TCFString() = default;
    TCFString(CFStringRef string, CFTypeRef_Ownership ownership);
    // From UTF-8; a null C string is reported and leaves the wrapper empty.
    TCFString(const char *in_cstring);
    TCFString(const std::string &text);
    // From wide text; a null pointer is reported and leaves the wrapper empty.
    TCFString(const wchar_t *in_wide_cstring);
    TCFString(const std::wstring &text);
    TCFString(const HFSUniStr255 &name);

    bool IsValid() const { return IsTypeValid(); }

    // Setters.
    bool SetValue(const char *in_cstring, CFStringEncoding encoding = kCFStringEncodingUTF8);
    bool SetValue(const std::string &text, CFStringEncoding encoding = kCFStringEncodingUTF8);
    TCFString &operator=(const char *in_cstring);
    bool SetValue(const unsigned char *in_pstring, CFStringEncoding encoding);
    // UTF-16 units up to the 0 unit.
    bool SetValue(const unsigned short *in_cstring);
    // Wide characters; those above U+FFFF become surrogate pairs.
    bool SetValue(const wchar_t *in_wide_cstring);
    TCFString &operator=(const wchar_t *in_wide_cstring);
    bool SetValue(const HFSUniStr255 &name);

    // Getters.
    CFIndex strlen() const;  // UTF-16 units
    // The text in encoding; when the string cannot be converted to it (or encoding is
    // kCFStringEncodingInvalidId) the first preferred encoding that can is used instead:
    // UTF-8, MacRoman, WindowsLatin1, ISOLatin1, ASCII, NextStepLatin, NonLossyASCII.
    // An empty string answers false.
    bool GetValue(std::string &text, CFStringEncoding encoding = kCFStringEncodingUTF8) const;
    bool GetConstCharStarValue(std::string &text, CFStringEncoding encoding) const;
    // The MacRoman text as a length-prefixed string of at most 255 characters.
    bool GetValue(unsigned char *out_pstring) const;
    // A malloc'ed array of exactly the string's UTF-16 units and a 0 unit; the caller frees
    // it with free(). length is the number of units.
    bool GetValue(const unsigned short *&units, long &length) const;
    // Surrogate pairs become one wide character.
    bool GetValue(std::wstring &text) const;
    // The first 255 units (one fewer when the 255th would split a surrogate pair).
    bool GetValue(HFSUniStr255 &name) const;

    // Conversions through a temporary TCFString.
    static bool ToUnicode(const unsigned char *in_pstring, HFSUniStr255 &name, CFStringEncoding encoding);
    static bool ToUnicode(const char *in_utf8_cstring, HFSUniStr255 &name, CFStringEncoding encoding);
    static bool ToUnicode(const char *in_utf8_cstring, std::wstring &text, CFStringEncoding encoding);
    static bool FromUnicode(const HFSUniStr255 &name, std::string &text, CFStringEncoding encoding);
    static bool FromUnicode(const wchar_t *in_wide_cstring, std::string &text, CFStringEncoding encoding);

    // CFStringCompare with no options: -1, 0 or 1; -1 with a report when either side is
    // missing or not a string.
    int strcmp(CFStringRef rhs_StringRef) const;
    int strcmp(const char *in_rhs_utf8_cstring) const;
};

bool import_TCFString();
