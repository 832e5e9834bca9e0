// The operations of TCFString. Compiled once, by TCFString.cpp; failed checks report this
// file.
#ifndef CORE_TCFSTRING_IMPLEMENTATION
#error "T_CFString_inlines.h is compiled by TCFString.cpp only"
#endif

#include <algorithm>
#include <cstdlib>

#include <CoreX/CoreCString.h>
#include <CoreX/CoreMachDebugLog.h>
#include <CoreX/CoreUnicode.h>

// The lines the constructors' reports carry.
enum : int { kTCFStringCStringLine = 26, kTCFStringWideCStringLine = 37 };

// ----- construction -----

TCFString::TCFString(CFStringRef string, CFTypeRef_Ownership ownership) { construct(string, ownership); }

TCFString::TCFString(const char *in_cstring) {
    if (in_cstring == NULL) {
        _CoreMachDebugVerifyBody(__func__, __FILE__, kTCFStringCStringLine, " code : in_cstring!=NULL");
        return;
    }
    SetValue(in_cstring, kCFStringEncodingUTF8);
}

TCFString::TCFString(const std::string &text) { SetValue(text, kCFStringEncodingUTF8); }

TCFString::TCFString(const wchar_t *in_wide_cstring) {
    if (in_wide_cstring == NULL) {
        _CoreMachDebugVerifyBody(__func__, __FILE__, kTCFStringWideCStringLine, " code : in_wide_cstring!=NULL");
        return;
    }
    SetValue(in_wide_cstring);
}

TCFString::TCFString(const std::wstring &text) { SetValue(text.c_str()); }

TCFString::TCFString(const HFSUniStr255 &name) { SetValue(name); }

// ----- setters -----

bool TCFString::SetValue(const char *in_cstring, CFStringEncoding encoding) {
    if (!VERIFY(in_cstring!=NULL)) {
        destruct();
        return false;
    }
    CFStringRef made = CFStringCreateWithCString(NULL, in_cstring, encoding);
    if (made == NULL) {
        CoreMachDebugLog("TCFString::SetValue in_cstring:%s inFromThisEncoding:%d\n", in_cstring,
                         static_cast<int>(encoding));
        destruct();
        return false;
    }
    return construct(made, kCFTypeRef_Owned);
}

bool TCFString::SetValue(const std::string &text, CFStringEncoding encoding) {
    return SetValue(text.c_str(), encoding);
}

TCFString &TCFString::operator=(const char *in_cstring) {
    if (!VERIFY(in_cstring!=NULL)) {
        destruct();
        return *this;
    }
    SetValue(in_cstring, kCFStringEncodingUTF8);
    return *this;
}

bool TCFString::SetValue(const unsigned char *in_pstring, CFStringEncoding encoding) {
    if (!VERIFY(in_pstring!=NULL)) {
        destruct();
        return false;
    }
    return construct(CFStringCreateWithPascalString(NULL, in_pstring, encoding), kCFTypeRef_Owned);
}

bool TCFString::SetValue(const unsigned short *in_cstring) {
    if (!VERIFY(in_cstring!=NULL)) {
        destruct();
        return false;
    }
    CFIndex string_length = 0;
    while (in_cstring[string_length] != 0) ++string_length;
    const UniChar *units = reinterpret_cast<const UniChar *>(in_cstring);
    if (!construct(CFStringCreateWithCharacters(kCFAllocatorDefault, units, string_length), kCFTypeRef_Owned))
        return false;
    VERIFY(string_length == strlen());
    return true;
}

bool TCFString::SetValue(const wchar_t *in_wide_cstring) {
    if (!VERIFY(in_wide_cstring!=NULL)) {
        destruct();
        return false;
    }
    const CoreUnicode::string_t<unsigned short, wchar_t> units(in_wide_cstring);
    return construct(CFStringCreateWithCharacters(kCFAllocatorDefault, units.c_str(),
                                                  static_cast<CFIndex>(units.length())),
                     kCFTypeRef_Owned);
}

TCFString &TCFString::operator=(const wchar_t *in_wide_cstring) {
    if (!VERIFY(in_wide_cstring!=NULL)) {
        destruct();
        return *this;
    }
    SetValue(in_wide_cstring);
    return *this;
}

bool TCFString::SetValue(const HFSUniStr255 &name) {
    const CFIndex count = std::min<CFIndex>(name.length, 255);
    return construct(CFStringCreateWithCharacters(kCFAllocatorDefault, name.unicode, count), kCFTypeRef_Owned);
}

// ----- getters -----

CFIndex TCFString::strlen() const {
    if (!VERIFY(IsValid())) return 0;
    return CFStringGetLength(mValueRef);
}

bool TCFString::GetValue(std::string &text, CFStringEncoding encoding) const {
    if (GetConstCharStarValue(text, encoding)) return true;
    text.clear();
    return false;
}

bool TCFString::GetConstCharStarValue(std::string &text, CFStringEncoding encoding) const {
    static const CFStringEncoding PreferredEncoding[] = {
        kCFStringEncodingUTF8,          kCFStringEncodingUTF8,      kCFStringEncodingMacRoman,
        kCFStringEncodingWindowsLatin1, kCFStringEncodingISOLatin1, kCFStringEncodingASCII,
        kCFStringEncodingNextStepLatin, kCFStringEncodingNonLossyASCII,
    };
    if (!IsValid()) return false;
    const CFIndex length = CFStringGetLength(mValueRef);
    if (length < 1) return false;

    // CFStringGetMaximumSizeForEncoding leaves out the terminator; one more byte for it.
    if (encoding != kCFStringEncodingInvalidId && CFStringIsEncodingAvailable(encoding)) {
        const CFIndex maximum = CFStringGetMaximumSizeForEncoding(length, encoding);
        if (maximum > 0) {
            const CFIndex _max_buffer_size = maximum + 1;
            char *buffer_raw_string = NULL;
            if (VERIFY(buffer_raw_string = (char*)std::malloc(_max_buffer_size))) {
                const bool fOk = ::CFStringGetCString(mValueRef, buffer_raw_string, _max_buffer_size, encoding);
                if (fOk) text.assign(buffer_raw_string);
                std::free(buffer_raw_string);
                if (fOk) return true;
            }
        }
    }

    for (std::size_t i = 0; i < sizeof PreferredEncoding / sizeof PreferredEncoding[0]; ++i) {
        if (!CFStringIsEncodingAvailable(PreferredEncoding[i])) continue;
        const CFIndex maximum = CFStringGetMaximumSizeForEncoding(length, PreferredEncoding[i]);
        if (maximum <= 0) continue;
        const CFIndex _max_buffer_size = maximum + 1;
        char *buffer_raw_string = NULL;
        if (!VERIFY(buffer_raw_string = (char*)std::malloc(_max_buffer_size))) continue;
        bool fOk = false;
        VERIFY(fOk = ::CFStringGetCString(mValueRef,buffer_raw_string,_max_buffer_size,PreferredEncoding[i]));
        if (fOk) text.assign(buffer_raw_string);
        std::free(buffer_raw_string);
        if (fOk) return true;
    }
    return false;
}

bool TCFString::GetValue(unsigned char *out_pstring) const {
    if (!VERIFY(out_pstring!=NULL)) return false;
    std::string text;
    const bool fOk = GetConstCharStarValue(text, kCFStringEncodingMacRoman);
    CoreCString::AssignTo(out_pstring, 255, fOk ? text.c_str() : "");
    return fOk;
}

bool TCFString::GetValue(const unsigned short *&units, long &length) const {
    units = NULL;
    if (!VERIFY(IsTypeValid())) return false;
    const CFIndex count = CFStringGetLength(mValueRef);
    unsigned short *uszValue = static_cast<unsigned short *>(std::malloc(2 * static_cast<std::size_t>(count) + 2));
    if (!VERIFY(uszValue)) return false;
    CFStringGetCharacters(mValueRef, CFRangeMake(0, count), reinterpret_cast<UniChar *>(uszValue));
    uszValue[count] = 0;
    length = count;
    units = uszValue;
    return true;
}

bool TCFString::GetValue(std::wstring &text) const {
    const unsigned short *units = NULL;
    long length = 0;
    if (!GetValue(units, length)) {
        text.clear();
        return false;
    }
    const CoreUnicode::string_t<wchar_t, unsigned short> wide(units);
    std::free(const_cast<unsigned short *>(units));
    text.assign(wide.c_str(), wide.length());
    return true;
}

bool TCFString::GetValue(HFSUniStr255 &name) const {
    enum : CFIndex { kMaxUnits = sizeof name.unicode / sizeof name.unicode[0] };
    name.length = 0;
    if (!IsValid()) return false;
    const CFIndex length = CFStringGetLength(mValueRef);
    CFIndex count = std::min<CFIndex>(length, kMaxUnits);
    CFStringGetCharacters(mValueRef, CFRangeMake(0, count), name.unicode);
    // Never end the name with the first half of a surrogate pair.
    if (count < length && count > 0 && name.unicode[count - 1] >= 0xD800 && name.unicode[count - 1] <= 0xDBFF)
        --count;
    name.length = static_cast<UInt16>(count);
    return count != 0;
}

// ----- conversions -----

bool TCFString::ToUnicode(const unsigned char *in_pstring, HFSUniStr255 &name, CFStringEncoding encoding) {
    name.length = 0;
    if (!VERIFY(in_pstring!=NULL)) return false;
    TCFString string;
    return string.SetValue(in_pstring, encoding) && string.GetValue(name);
}

bool TCFString::ToUnicode(const char *in_utf8_cstring, HFSUniStr255 &name, CFStringEncoding encoding) {
    name.length = 0;
    if (!VERIFY(in_utf8_cstring!=NULL)) return false;
    TCFString string;
    return string.SetValue(in_utf8_cstring, encoding) && string.GetValue(name);
}

bool TCFString::ToUnicode(const char *in_utf8_cstring, std::wstring &text, CFStringEncoding encoding) {
    text.clear();
    if (!VERIFY(in_utf8_cstring!=NULL)) return false;
    TCFString string;
    return string.SetValue(in_utf8_cstring, encoding) && string.GetValue(text);
}

bool TCFString::FromUnicode(const HFSUniStr255 &name, std::string &text, CFStringEncoding encoding) {
    text.clear();
    TCFString string;
    return string.SetValue(name) && string.GetValue(text, encoding);
}

bool TCFString::FromUnicode(const wchar_t *in_wide_cstring, std::string &text, CFStringEncoding encoding) {
    text.clear();
    if (!VERIFY(in_wide_cstring!=NULL)) return false;
    TCFString string;
    return string.SetValue(in_wide_cstring) && string.GetValue(text, encoding);
}

// ----- comparison -----

int TCFString::strcmp(CFStringRef rhs_StringRef) const {
    if (!VERIFY(IsValid())) return -1;
    if (!VERIFY(rhs_StringRef!=NULL)) return -1;
    if (!VERIFY(CFGetTypeID(rhs_StringRef)==CFStringGetTypeID())) return -1;
    return static_cast<int>(CFStringCompare(mValueRef, rhs_StringRef, 0));
}

int TCFString::strcmp(const char *in_rhs_utf8_cstring) const {
    if (!VERIFY(IsValid())) return -1;
    if (!VERIFY(in_rhs_utf8_cstring!=NULL)) return -1;
    const TCFString rhs(in_rhs_utf8_cstring);
    return strcmp(rhs.Get());
}
