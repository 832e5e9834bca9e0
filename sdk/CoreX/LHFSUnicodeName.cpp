#include <CoreX/LHFSUnicodeName.h>

#include <cstring>
#include <new>

#include <CoreFoundation/CFStringUTF.h>
#include <CoreX/CoreMachDebugLog.h>
#include <CoreX/CoreUnicode.h>
#include <CoreX/LUnicodeTextConverter.h>
#include <CoreX/TCFString.h>

bool import_LHFSUnicodeName() {
    return import_CoreMachDebugLog() && import_TCFString() && import_LUnicodeTextConverter();
}

namespace {

// The units before `length` make a file name: no 0 unit and no unpaired surrogate.
bool IsFileNameText(const HFSUniStr255 &name) {
    const std::size_t length = name.length;
    if (length > sizeof name.unicode / sizeof name.unicode[0]) return false;
    for (std::size_t i = 0; i < length;) {
        const cf::utf::Decoded character = cf::utf::DecodeUTF16(name.unicode + i, length - i);
        if (character.verdict != cf::utf::Verdict::Valid || character.value == 0) return false;
        i += character.length;
    }
    return true;
}

}  // namespace

// ----- construction -----

void LHFSUnicodeName::Clear() {
    length = 0;
    std::memset(unicode, 0, sizeof unicode);
    mGuardWord1 = kGuardWord1;
    mGuardWord2 = kGuardWord2;
}

LHFSUnicodeName::LHFSUnicodeName() { Clear(); }

LHFSUnicodeName::LHFSUnicodeName(int in_special_name) {
    Clear();
    VERIFY(Construct(in_special_name));
    VERIFY(IsValid());
}

LHFSUnicodeName::LHFSUnicodeName(const char *in_utf8_file_name) {
    Clear();
    VERIFY(Construct(in_utf8_file_name));
    VERIFY(IsValid());
}

LHFSUnicodeName::LHFSUnicodeName(const unsigned char *in_pstring, ScriptCode forScriptCode) {
    Clear();
    VERIFY(Construct(in_pstring, forScriptCode));
    VERIFY(IsValid());
}

LHFSUnicodeName::LHFSUnicodeName(const HFSUniStr255 &copyOf) : HFSUniStr255() {
    Clear();
    VERIFY(Construct(copyOf));
    VERIFY(IsValid());
}

LHFSUnicodeName::LHFSUnicodeName(const LHFSUnicodeName &copyOf) : HFSUniStr255() {
    Clear();
    VERIFY(Construct(copyOf));
    VERIFY(IsValid());
}

LHFSUnicodeName::~LHFSUnicodeName() { VERIFY(IsMarked()); }

LHFSUnicodeName &LHFSUnicodeName::operator=(const HFSUniStr255 &copyOf) {
    Construct(copyOf);
    return *this;
}

LHFSUnicodeName &LHFSUnicodeName::operator=(const LHFSUnicodeName &copyOf) {
    Construct(copyOf);
    return *this;
}

bool LHFSUnicodeName::Construct(int in_special_name) {
    Clear();
    OSErr err = noErr;
    switch (in_special_name) {
    case kSpecialName_Empty:
        return true;
    case kSpecialName_DataFork:
        err = VERIFY_OSERR(FSGetDataForkName(this));
        break;
    case kSpecialName_ResourceFork:
        err = VERIFY_OSERR(FSGetResourceForkName(this));
        break;
    default:
        return false;
    }
    const bool fOk = err == noErr && NullTerminateIt();
    if (!fOk) Clear();
    return fOk;
}

bool LHFSUnicodeName::Construct(const char *in_file_name) {
    Clear();
    if (!VERIFY(in_file_name!=NULL)) return false;
    const bool fOk = VERIFY(ConvertFileName(in_file_name, *this)) && NullTerminateIt();
    if (!fOk) Clear();
    return fOk;
}

bool LHFSUnicodeName::Construct(const std::string &in_file_name) {
    bool fOk;
    VERIFY(fOk = Construct(in_file_name.c_str()));
    return fOk;
}

bool LHFSUnicodeName::Construct(const unsigned char *in_mac_roman_file_name) {
    Clear();
    if (!VERIFY(in_mac_roman_file_name!=NULL)) return false;
    const bool fOk =
        VERIFY(TCFString::ToUnicode(in_mac_roman_file_name, *this, kCFStringEncodingMacRoman)) && NullTerminateIt();
    if (!fOk) Clear();
    return fOk;
}

bool LHFSUnicodeName::Construct(const unsigned char *in_pstring, ScriptCode forScriptCode) {
    Clear();
    HFSUniStr255 utf16_file_name;
    utf16_file_name.length = 0;
    if (!VERIFY(ConvertFileName(in_pstring, forScriptCode, utf16_file_name))) return false;
    return Construct(utf16_file_name);
}

bool LHFSUnicodeName::Construct(const unsigned short *in_file_name) {
    Clear();
    if (!VERIFY(in_file_name!=NULL)) return false;
    // Reads no further than one unit past the longest name it takes.
    std::size_t in_length = 0;
    while (in_length < kMaxLength && in_file_name[in_length] != 0) ++in_length;
    if (in_length == 0) return false;
    if (!VERIFY(in_length<kMaxLength)) return false;
    std::memcpy(unicode, in_file_name, in_length * sizeof(UniChar));
    length = static_cast<UInt16>(in_length);
    return NullTerminateIt();
}

bool LHFSUnicodeName::Construct(const unsigned int *in_file_name) {
    Clear();
    if (!VERIFY(in_file_name!=NULL)) return false;
    std::size_t in_length = 0;
    for (const unsigned int *character = in_file_name; *character != 0 && in_length < kMaxLength; ++character) {
        // A value that is no Unicode scalar value becomes U+FFFD.
        UniChar units[2];
        std::size_t count = cf::utf::EncodeUTF16(static_cast<char32_t>(*character), units);
        if (count == 0) count = cf::utf::EncodeUTF16(cf::utf::kReplacement, units);
        // A pair needs two units; when only one is left, the name is too long anyway.
        unicode[in_length++] = units[0];
        if (count == 2) {
            if (in_length < kMaxLength) unicode[in_length] = units[1];
            ++in_length;
        }
    }
    if (in_length == 0) return false;
    if (!VERIFY(in_length<kMaxLength)) {
        Clear();
        return false;
    }
    length = static_cast<UInt16>(in_length);
    return NullTerminateIt();
}

bool LHFSUnicodeName::Construct(const HFSUniStr255 &copyOf) {
    if (&copyOf == this) return IsValid();
    // The source may be read after Clear only when it is not this record.
    const UInt16 copy_length = copyOf.length;
    if (!VERIFY(copyOf.length<kMaxLength)) {
        Clear();
        return false;
    }
    HFSUniStr255 source;
    std::memcpy(source.unicode, copyOf.unicode, copy_length * sizeof(UniChar));
    Clear();
    std::memcpy(unicode, source.unicode, copy_length * sizeof(UniChar));
    length = copy_length;
    return NullTerminateIt();
}

// ----- length and terminator -----

void LHFSUnicodeName::set_length(UInt16 in_length) {
    VERIFY(in_length<kMaxLength);
    if (in_length <= 255) length = in_length;
}

bool LHFSUnicodeName::NullTerminateIt() {
    bool fOk;
    if (!VERIFY(fOk = (superclass_t::length<kMaxLength))) return false;
    unicode[length] = 0;
    return fOk;
}

// ----- out -----

bool LHFSUnicodeName::GetUnixPath(std::string &out_file_name) const {
    out_file_name.clear();
    if (length == 0) return true;
    if (!VERIFY(IsNullTerminated())) return false;
    if (!VERIFY(IsFileNameText(*this))) return false;
    return VERIFY(TCFString::FromUnicode(*this, out_file_name, kCFStringEncodingUTF8));
}

bool LHFSUnicodeName::GetUnixPath(std::wstring &out_file_name) const {
    out_file_name.clear();
    if (length == 0) return true;
    if (!VERIFY(IsNullTerminated())) return false;
    if (!VERIFY(IsFileNameText(*this))) return false;
    const CoreUnicode::string_t<wchar_t, unsigned short> wide(unicode);
    out_file_name.assign(wide.c_str(), wide.length());
    return true;
}

// ----- conversions -----

bool LHFSUnicodeName::ConvertFileName(const unsigned char *in_pstring, ScriptCode forScriptCode,
                                      HFSUniStr255 &out_file_name) {
    out_file_name.length = 0;
    if (!VERIFY(in_pstring!=NULL)) return false;
    bool fOk = false;
    try {
        LUnicodeTextConverter converter(forScriptCode,
                                        static_cast<RegionCode>(GetScriptManagerVariable(smRegionCode)));
        const OSStatus status = converter.TextToUnicode(in_pstring, out_file_name);
        VERIFY(fOk = (status==noErr));
    } catch (...) {
        fOk = false;
    }
    if (!fOk) out_file_name.length = 0;
    return fOk;
}

bool LHFSUnicodeName::ConvertFileName(const std::string &in_utf8_file_name, HFSUniStr255 &out_file_name) {
    return TCFString::ToUnicode(in_utf8_file_name.c_str(), out_file_name, kCFStringEncodingUTF8);
}

const LHFSUnicodeName &LHFSUnicodeName::sDataFork() {
    // Never destroyed: fork calls made late at exit still find it.
    static const LHFSUnicodeName *sName = new LHFSUnicodeName(kSpecialName_DataFork);
    return *sName;
}

const LHFSUnicodeName &LHFSUnicodeName::sResourceFork() {
    static const LHFSUnicodeName *sName = new LHFSUnicodeName(kSpecialName_ResourceFork);
    return *sName;
}
