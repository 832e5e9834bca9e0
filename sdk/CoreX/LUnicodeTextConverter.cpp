#include <CoreX/LUnicodeTextConverter.h>

#include <CoreX/CoreMachDebugLog.h>

bool import_LUnicodeTextConverter() { return import_CoreMachDebugLog(); }

namespace {

void DisposeInfos(UnicodeToTextInfo &mUTF8ToTextInfo, UnicodeToTextInfo &mUnicodeToTextInfo,
                  TextToUnicodeInfo &mTextToUTF8Info, TextToUnicodeInfo &mTextToUnicodeInfo) {
    if (mUTF8ToTextInfo != nullptr) DisposeUnicodeToTextInfo(&mUTF8ToTextInfo);
    if (mUnicodeToTextInfo != nullptr) DisposeUnicodeToTextInfo(&mUnicodeToTextInfo);
    if (mTextToUTF8Info != nullptr) DisposeTextToUnicodeInfo(&mTextToUTF8Info);
    if (mTextToUnicodeInfo != nullptr) DisposeTextToUnicodeInfo(&mTextToUnicodeInfo);
    mUTF8ToTextInfo = nullptr;
    mUnicodeToTextInfo = nullptr;
    mTextToUTF8Info = nullptr;
    mTextToUnicodeInfo = nullptr;
}

enum : ByteCount { kNameBytes = sizeof(HFSUniStr255::unicode) };

}  // namespace

LUnicodeTextConverter::LUnicodeTextConverter(ScriptCode inForScript, RegionCode inForRegion) {
    InitUnicodeTextConverter(inForScript, inForRegion);
}

LUnicodeTextConverter::LUnicodeTextConverter(TextEncoding textEncodingHint) {
    InitUnicodeTextConverter(textEncodingHint);
}

LUnicodeTextConverter::~LUnicodeTextConverter() { Dispose(); }

void LUnicodeTextConverter::Dispose() {
    if (mUnicodeToUTF8 != nullptr) TECDisposeConverter(mUnicodeToUTF8);
    if (mUTF8ToUnicode != nullptr) TECDisposeConverter(mUTF8ToUnicode);
    mUnicodeToUTF8 = nullptr;
    mUTF8ToUnicode = nullptr;
    DisposeInfos(mUTF8ToTextInfo, mUnicodeToTextInfo, mTextToUTF8Info, mTextToUnicodeInfo);
}

bool LUnicodeTextConverter::InitUnicodeTextConverter(ScriptCode inForScript, RegionCode inForRegion) {
    Dispose();
    const OSStatus status = VERIFY_OSERR(CreateTextToUnicodeConverters(inForScript, inForRegion, mUTF8ToTextInfo, mUnicodeToTextInfo, mTextToUTF8Info, mTextToUnicodeInfo));
    return CreateUnicodeToUnicodeConverters() == noErr && status == noErr;
}

bool LUnicodeTextConverter::InitUnicodeTextConverter(TextEncoding textEncodingHint) {
    Dispose();
    const OSStatus status = VERIFY_OSERR(CreateTextToUnicodeConverters(textEncodingHint, mUTF8ToTextInfo, mUnicodeToTextInfo, mTextToUTF8Info, mTextToUnicodeInfo));
    return CreateUnicodeToUnicodeConverters() == noErr && status == noErr;
}

OSStatus LUnicodeTextConverter::CreateTextToUnicodeConverters(TextEncoding textEncodingHint,
                                                              UnicodeToTextInfo &mUTF8ToTextInfo,
                                                              UnicodeToTextInfo &mUnicodeToTextInfo,
                                                              TextToUnicodeInfo &mTextToUTF8Info,
                                                              TextToUnicodeInfo &mTextToUnicodeInfo) {
    mUTF8ToTextInfo = nullptr;
    mUnicodeToTextInfo = nullptr;
    mTextToUTF8Info = nullptr;
    mTextToUnicodeInfo = nullptr;

    UnicodeMapping mapping;
    mapping.unicodeEncoding =
        CreateTextEncoding(kTextEncodingUnicodeV2_0, kUnicodeCanonicalDecompVariant, kUnicodeUTF8Format);
    mapping.otherEncoding = GetTextEncodingBase(textEncodingHint);
    mapping.mappingVersion = kUnicodeUseHFSPlusMapping;

    // The first failing step stops the sequence; it and every later one are reported.
    OSStatus status = CreateTextToUnicodeInfo(&mapping, &mTextToUTF8Info);
    VERIFY(status == noErr);
    if (status == noErr) status = CreateUnicodeToTextInfo(&mapping, &mUTF8ToTextInfo);
    VERIFY(status == noErr);
    if (status == noErr) {
        mapping.unicodeEncoding =
            CreateTextEncoding(kTextEncodingUnicodeV2_0, kUnicodeCanonicalDecompVariant, kUnicode16BitFormat);
        status = CreateTextToUnicodeInfo(&mapping, &mTextToUnicodeInfo);
    }
    VERIFY(status == noErr);
    if (status == noErr) status = CreateUnicodeToTextInfo(&mapping, &mUnicodeToTextInfo);
    VERIFY(status == noErr);

    if (status != noErr) DisposeInfos(mUTF8ToTextInfo, mUnicodeToTextInfo, mTextToUTF8Info, mTextToUnicodeInfo);
    return status;
}

OSStatus LUnicodeTextConverter::CreateTextToUnicodeConverters(ScriptCode inForScript, RegionCode inForRegion,
                                                              UnicodeToTextInfo &mUTF8ToTextInfo,
                                                              UnicodeToTextInfo &mUnicodeToTextInfo,
                                                              TextToUnicodeInfo &mTextToUTF8Info,
                                                              TextToUnicodeInfo &mTextToUnicodeInfo) {
    TextEncoding textEncodingHint = kTextEncodingMacRoman;
    OSStatus status =
        UpgradeScriptInfoToTextEncoding(inForScript, kTextLanguageDontCare, inForRegion, nullptr, &textEncodingHint);
    if (!VERIFY(status!=paramErr))
        status = UpgradeScriptInfoToTextEncoding(inForScript, kTextLanguageDontCare, kTextRegionDontCare, nullptr,
                                                 &textEncodingHint);
    if (status != noErr) textEncodingHint = kTextEncodingMacRoman;
    return CreateTextToUnicodeConverters(textEncodingHint, mUTF8ToTextInfo, mUnicodeToTextInfo, mTextToUTF8Info,
                                         mTextToUnicodeInfo);
}

OSStatus LUnicodeTextConverter::CreateUnicodeToUnicodeConverters() {
    const TextEncoding utf8Encoding =
        CreateTextEncoding(kTextEncodingUnicodeDefault, kTextEncodingDefaultVariant, kUnicodeUTF8Format);
    const TextEncoding unicode16Encoding =
        CreateTextEncoding(kTextEncodingUnicodeDefault, kTextEncodingDefaultVariant, kUnicode16BitFormat);
    OSStatus status = VERIFY_OSERR(TECCreateConverter(&mUTF8ToUnicode, utf8Encoding, unicode16Encoding));
    if (status != noErr) {
        mUTF8ToUnicode = nullptr;
        return status;
    }
    status = VERIFY_OSERR(TECCreateConverter(&mUnicodeToUTF8, unicode16Encoding, utf8Encoding));
    if (status != noErr) mUnicodeToUTF8 = nullptr;
    return status;
}

OSStatus LUnicodeTextConverter::TextToUnicode(const unsigned char *in_pstring, HFSUniStr255 &out_name) {
    out_name.length = 0;
    if (!VERIFY(in_pstring!=NULL)) return paramErr;
    return TextToUnicode(std::string(reinterpret_cast<const char *>(in_pstring + 1), in_pstring[0]), out_name);
}

OSStatus LUnicodeTextConverter::TextToUnicode(const std::string &in_bytes, HFSUniStr255 &out_name) {
    out_name.length = 0;
    if (!VERIFY(mTextToUnicodeInfo!=NULL)) return paramErr;
    ByteCount sourceRead = 0;
    ByteCount unicodeLength = 0;
    const OSStatus status = ConvertFromTextToUnicode(
        mTextToUnicodeInfo, in_bytes.size(), in_bytes.data(), kUnicodeLooseMappingsMask, 0, nullptr, nullptr,
        nullptr, kNameBytes, &sourceRead, &unicodeLength, out_name.unicode);
    out_name.length = static_cast<UInt16>(unicodeLength > kNameBytes ? kNameBytes / 2 : unicodeLength / 2);
    VERIFY(status==noErr);
    return status;
}

OSStatus LUnicodeTextConverter::UTF8ToUnicode(const std::string &in_utf8, HFSUniStr255 &out_name) {
    out_name.length = 0;
    if (!VERIFY(mUTF8ToUnicode!=NULL)) return paramErr;
    ByteCount actualInput = 0;
    ByteCount actualOutput = 0;
    const OSStatus status = TECConvertText(mUTF8ToUnicode, reinterpret_cast<ConstTextPtr>(in_utf8.data()),
                                           in_utf8.size(), &actualInput,
                                           reinterpret_cast<TextPtr>(out_name.unicode), kNameBytes, &actualOutput);
    out_name.length = static_cast<UInt16>(actualOutput > kNameBytes ? kNameBytes / 2 : actualOutput / 2);
    VERIFY(status==noErr);
    return status;
}

OSStatus LUnicodeTextConverter::UnicodeToUTF8(const HFSUniStr255 &in_name, std::string &out_utf8) {
    out_utf8.clear();
    if (!VERIFY(mUnicodeToUTF8!=NULL)) return paramErr;
    if (!VERIFY(in_name.length<=255)) return paramErr;
    out_utf8.resize(5 * std::size_t(in_name.length));
    ByteCount actualInput = 0;
    ByteCount actualOutput = 0;
    const OSStatus status =
        TECConvertText(mUnicodeToUTF8, reinterpret_cast<ConstTextPtr>(in_name.unicode), 2 * ByteCount(in_name.length),
                       &actualInput, reinterpret_cast<TextPtr>(out_utf8.data()), out_utf8.size(), &actualOutput);
    out_utf8.resize(actualOutput > out_utf8.size() ? out_utf8.size() : actualOutput);
    VERIFY(status==noErr);
    return status;
}
