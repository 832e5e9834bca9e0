// Text encodings, the Unicode Converter and the Text Encoding Converter over ICU, and the
// Script Manager's region.
//
// UTF-8 and UTF-16 follow the system's one definition (CoreFoundation/CFStringUTF.h); the
// legacy encodings are ICU's tables, which Core Foundation reads too, so both layers give a
// byte the same character.
//
// A conversion decodes the whole input into UTF-16 (remembering where each unit came
// from), cuts it into segments that normalisation never joins (a base character with its
// combining marks), normalises each segment as the output asks, encodes it and copies whole
// segments while they fit. So the output always holds exactly the conversion of the input
// bytes reported as read.
#include <Carbon/Script.h>
#include <Carbon/TextEncodingConverter.h>
#include <Carbon/UnicodeConverter.h>
#include <CoreFoundation/CFStringUTF.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include <unicode/ucnv.h>
#include <unicode/unorm2.h>
#include <unicode/uset.h>
#include <unicode/ustring.h>
#include <unicode/utf16.h>

namespace lumora::carbon {

namespace {

// ----- Encodings -----

struct MacEncoding {
    TextEncodingBase base;
    ScriptCode script;
    const char *icuName;  // null: known, not converted
};

constexpr MacEncoding kMacEncodings[] = {
    {kTextEncodingMacRoman, smRoman, "macintosh"},
    {kTextEncodingMacJapanese, smJapanese, nullptr},
    {kTextEncodingMacChineseTrad, smTradChinese, nullptr},
    {kTextEncodingMacKorean, smKorean, nullptr},
    {kTextEncodingMacArabic, smArabic, nullptr},
    {kTextEncodingMacHebrew, smHebrew, nullptr},
    {kTextEncodingMacGreek, smGreek, "x-mac-greek"},
    {kTextEncodingMacCyrillic, smCyrillic, "x-mac-cyrillic"},
    {kTextEncodingMacThai, smThai, nullptr},
    {kTextEncodingMacChineseSimp, smSimpChinese, nullptr},
    {kTextEncodingMacCentralEurRoman, smCentralEuroRoman, "x-mac-centraleurroman"},
    {kTextEncodingMacTurkish, smRoman, "x-mac-turkish"},
    {kTextEncodingMacCroatian, smRoman, nullptr},
    {kTextEncodingMacIcelandic, smRoman, nullptr},
    {kTextEncodingMacRomanian, smRoman, nullptr},
    {kTextEncodingMacFarsi, smArabic, nullptr},
    {kTextEncodingMacUkrainian, smCyrillic, "x-MacUkraine"},
};

const MacEncoding *FindEncoding(TextEncodingBase base) {
    for (const MacEncoding &encoding : kMacEncodings) {
        if (encoding.base == base) return &encoding;
    }
    return nullptr;
}

bool IsScript(ScriptCode script) {
    for (const MacEncoding &encoding : kMacEncodings) {
        if (encoding.base == TextEncodingBase(script) && encoding.script == script) return true;
    }
    return false;
}

struct Region {
    RegionCode region;
    ScriptCode script;
    TextEncodingBase encoding;
    const char *locales;  // language_TERRITORY names, space-separated
};

constexpr Region kRegions[] = {
    {verUS, smRoman, kTextEncodingMacRoman, "en_US en"},
    {verFrance, smRoman, kTextEncodingMacRoman, "fr_FR fr"},
    {verBritain, smRoman, kTextEncodingMacRoman, "en_GB"},
    {verGermany, smRoman, kTextEncodingMacRoman, "de_DE de"},
    {verItaly, smRoman, kTextEncodingMacRoman, "it_IT it"},
    {verNetherlands, smRoman, kTextEncodingMacRoman, "nl_NL nl"},
    {verFlemish, smRoman, kTextEncodingMacRoman, "nl_BE"},
    {verSweden, smRoman, kTextEncodingMacRoman, "sv_SE sv"},
    {verSpain, smRoman, kTextEncodingMacRoman, "es_ES es"},
    {verDenmark, smRoman, kTextEncodingMacRoman, "da_DK da"},
    {verPortugal, smRoman, kTextEncodingMacRoman, "pt_PT pt"},
    {verFrCanada, smRoman, kTextEncodingMacRoman, "fr_CA"},
    {verNorway, smRoman, kTextEncodingMacRoman, "nb_NO nn_NO no_NO nb nn no"},
    {verIsrael, smHebrew, kTextEncodingMacHebrew, "he_IL he"},
    {verJapan, smJapanese, kTextEncodingMacJapanese, "ja_JP ja"},
    {verAustralia, smRoman, kTextEncodingMacRoman, "en_AU"},
    {verArabic, smArabic, kTextEncodingMacArabic, "ar"},
    {verFinland, smRoman, kTextEncodingMacRoman, "fi_FI fi"},
    {verFrSwiss, smRoman, kTextEncodingMacRoman, "fr_CH"},
    {verGrSwiss, smRoman, kTextEncodingMacRoman, "de_CH"},
    {verGreece, smGreek, kTextEncodingMacGreek, "el_GR el"},
    {verIceland, smRoman, kTextEncodingMacIcelandic, "is_IS is"},
    {verTurkey, smRoman, kTextEncodingMacTurkish, "tr_TR tr"},
    {verItalianSwiss, smRoman, kTextEncodingMacRoman, "it_CH"},
    {verRomania, smRoman, kTextEncodingMacRomanian, "ro_RO ro"},
    {verLithuania, smCentralEuroRoman, kTextEncodingMacCentralEurRoman, "lt_LT lt"},
    {verPoland, smCentralEuroRoman, kTextEncodingMacCentralEurRoman, "pl_PL pl"},
    {verHungary, smCentralEuroRoman, kTextEncodingMacCentralEurRoman, "hu_HU hu"},
    {verEstonia, smCentralEuroRoman, kTextEncodingMacCentralEurRoman, "et_EE et"},
    {verLatvia, smCentralEuroRoman, kTextEncodingMacCentralEurRoman, "lv_LV lv"},
    {verIran, smArabic, kTextEncodingMacFarsi, "fa_IR fa"},
    {verRussia, smCyrillic, kTextEncodingMacCyrillic, "ru_RU ru"},
    {verIreland, smRoman, kTextEncodingMacRoman, "en_IE ga_IE ga"},
    {verKorea, smKorean, kTextEncodingMacKorean, "ko_KR ko"},
    {verChina, smSimpChinese, kTextEncodingMacChineseSimp, "zh_CN zh"},
    {verTaiwan, smTradChinese, kTextEncodingMacChineseTrad, "zh_TW"},
    {verThailand, smThai, kTextEncodingMacThai, "th_TH th"},
    {verCzech, smCentralEuroRoman, kTextEncodingMacCentralEurRoman, "cs_CZ cs"},
    {verSlovak, smCentralEuroRoman, kTextEncodingMacCentralEurRoman, "sk_SK sk"},
    {verUkraine, smCyrillic, kTextEncodingMacUkrainian, "uk_UA uk"},
    {verSlovenian, smRoman, kTextEncodingMacCroatian, "sl_SI sl"},
    {verCroatia, smRoman, kTextEncodingMacCroatian, "hr_HR hr"},
    {verBrazil, smRoman, kTextEncodingMacRoman, "pt_BR"},
    {verBulgaria, smCyrillic, kTextEncodingMacCyrillic, "bg_BG bg"},
    {verCatalonia, smRoman, kTextEncodingMacRoman, "ca_ES ca"},
    {verAustria, smRoman, kTextEncodingMacRoman, "de_AT"},
};

const Region *FindRegion(RegionCode code) {
    for (const Region &region : kRegions) {
        if (region.region == code) return &region;
    }
    return nullptr;
}

bool ListsLocale(const char *list, const std::string &name) {
    const std::string padded = std::string(" ") + list + " ";
    return padded.find(" " + name + " ") != std::string::npos;
}

// The region of the process's locale.
const Region &LocaleRegion() {
    const char *value = nullptr;
    for (const char *name : {"LC_ALL", "LC_CTYPE", "LANG"}) {
        value = std::getenv(name);
        if (value != nullptr && *value != 0) break;
    }
    std::string locale = value != nullptr ? value : "";
    locale = locale.substr(0, locale.find_first_of(".@"));
    const std::string language = locale.substr(0, locale.find('_'));
    for (const std::string &name : {locale, language}) {
        if (name.empty()) continue;
        for (const Region &region : kRegions) {
            if (ListsLocale(region.locales, name)) return region;
        }
    }
    return kRegions[0];
}

// ----- Normalisation -----

enum class Normalization { None, Decompose, HFSDecompose, HFSCompose };

const UNormalizer2 *HFSNormalizer(bool compose) {
    struct Normalizers {
        USet *set = nullptr;
        const UNormalizer2 *decompose = nullptr;
        const UNormalizer2 *compose = nullptr;
    };
    static const Normalizers normalizers = [] {
        Normalizers made;
        UErrorCode error = U_ZERO_ERROR;
        // Unicode 3.2 without the ranges HFS Plus leaves alone.
        static const char kPattern[] = "[[:age=3.2:]-[\\u2000-\\u2FFF\\uF900-\\uFAFF\\U0002F800-\\U0002FAFF]]";
        UChar pattern[sizeof kPattern];
        u_charsToUChars(kPattern, pattern, int32_t(sizeof kPattern));
        made.set = uset_openPattern(pattern, -1, &error);
        if (U_FAILURE(error)) return made;
        uset_freeze(made.set);
        const UNormalizer2 *nfd = unorm2_getNFDInstance(&error);
        const UNormalizer2 *nfc = unorm2_getNFCInstance(&error);
        if (U_FAILURE(error)) return made;
        made.decompose = unorm2_openFiltered(nfd, made.set, &error);
        made.compose = unorm2_openFiltered(nfc, made.set, &error);
        if (U_FAILURE(error)) made.decompose = made.compose = nullptr;
        return made;  // kept for the life of the process
    }();
    return compose ? normalizers.compose : normalizers.decompose;
}

const UNormalizer2 *NormalizerOf(Normalization normalization) {
    UErrorCode error = U_ZERO_ERROR;
    switch (normalization) {
    case Normalization::Decompose: return unorm2_getNFDInstance(&error);
    case Normalization::HFSDecompose: return HFSNormalizer(false);
    case Normalization::HFSCompose: return HFSNormalizer(true);
    default: return nullptr;
    }
}

// ----- Converters -----

enum class Form { Legacy, UTF16, UTF8 };

struct Side {
    Form form = Form::Legacy;
    const char *icuName = nullptr;
    Normalization normalization = Normalization::None;  // of Unicode produced on this side
};

bool IsUnicodeBase(TextEncodingBase base) { return base >= 0x100 && base <= 0x1FF; }

OSStatus DescribeEncoding(TextEncoding encoding, bool hfsMapping, Side &side) {
    const TextEncodingBase base = GetTextEncodingBase(encoding);
    if (IsUnicodeBase(base)) {
        switch (GetTextEncodingFormat(encoding)) {
        case kUnicode16BitFormat: side.form = Form::UTF16; break;
        case kUnicodeUTF8Format: side.form = Form::UTF8; break;
        default: return kTextUnsupportedEncodingErr;
        }
        switch (GetTextEncodingVariant(encoding)) {
        case kUnicodeNoSubset: side.normalization = Normalization::None; break;
        case kUnicodeCanonicalDecompVariant:
            side.normalization = hfsMapping ? Normalization::HFSDecompose : Normalization::Decompose;
            break;
        case kUnicodeHFSPlusDecompVariant: side.normalization = Normalization::HFSDecompose; break;
        default: return kTextUnsupportedEncodingErr;
        }
        return noErr;
    }
    const MacEncoding *mac = FindEncoding(base);
    if (mac == nullptr || mac->icuName == nullptr || GetTextEncodingVariant(encoding) != 0 ||
        GetTextEncodingFormat(encoding) != 0)
        return kTextUnsupportedEncodingErr;
    side.form = Form::Legacy;
    side.icuName = mac->icuName;
    return noErr;
}

struct ICUConverter {
    UConverter *converter = nullptr;
    ~ICUConverter() {
        if (converter != nullptr) ucnv_close(converter);
    }
};

class TextConverter {
public:
    OSStatus Construct(const Side &from, const Side &to) {
        mFrom = from;
        mTo = to;
        UErrorCode error = U_ZERO_ERROR;
        if (from.form == Form::Legacy) mDecoder.converter = ucnv_open(from.icuName, &error);
        if (U_SUCCESS(error) && to.form == Form::Legacy) mEncoder.converter = ucnv_open(to.icuName, &error);
        if (U_SUCCESS(error) && mEncoder.converter != nullptr) ucnv_setSubstChars(mEncoder.converter, "?", 1, &error);
        return U_FAILURE(error) ? OSStatus(kTextUnsupportedEncodingErr) : OSStatus(noErr);
    }

    OSStatus Convert(const UInt8 *source, size_t sourceLength, OptionBits flags, UInt8 *output, size_t outputLength,
                     size_t &read, size_t &written);

private:
    OSStatus Decode(const UInt8 *source, size_t sourceLength, OptionBits flags, std::u16string &text,
                    std::vector<size_t> &offsets, size_t &consumed);
    OSStatus Encode(const std::u16string &segment, OptionBits flags, std::string &bytes, bool &usedFallbacks);

    Side mFrom, mTo;
    ICUConverter mDecoder, mEncoder;
    std::mutex mMutex;  // an ICU converter serves one call at a time
};

OSStatus StatusOfICU(UErrorCode error, bool decoding) {
    switch (error) {
    case U_INVALID_CHAR_FOUND: return decoding ? kTextUndefinedElementErr : kTECUnmappableElementErr;
    case U_TRUNCATED_CHAR_FOUND: return kTECPartialCharErr;
    default: return kTextMalformedInputErr;
    }
}

OSStatus TextConverter::Decode(const UInt8 *source, size_t sourceLength, OptionBits flags, std::u16string &text,
                               std::vector<size_t> &offsets, size_t &consumed) {
    text.clear();
    offsets.clear();
    consumed = sourceLength;
    if (mFrom.form == Form::UTF16) {
        if (sourceLength % 2 != 0) return paramErr;
        const size_t count = sourceLength / 2;
        std::u16string units(count, u'\0');
        std::memcpy(units.data(), source, sourceLength);
        for (size_t i = 0; i < count;) {
            const cf::utf::Decoded character = cf::utf::DecodeUTF16(units.data() + i, count - i);
            if (character.verdict != cf::utf::Verdict::Valid) {
                consumed = i * 2;
                return character.verdict == cf::utf::Verdict::Truncated ? kTECPartialCharErr : kTextMalformedInputErr;
            }
            for (size_t k = 0; k < character.length; ++k) {
                text.push_back(units[i + k]);
                offsets.push_back(i * 2);
            }
            i += character.length;
        }
        return noErr;
    }
    if (mFrom.form == Form::UTF8) {
        for (size_t i = 0; i < sourceLength;) {
            const cf::utf::Decoded character = cf::utf::DecodeUTF8(source + i, sourceLength - i);
            if (character.verdict != cf::utf::Verdict::Valid) {
                consumed = i;
                // A valid beginning cut by the end of the input is a partial character.
                return character.verdict == cf::utf::Verdict::Truncated ? kTECPartialCharErr : kTextMalformedInputErr;
            }
            char16_t units[2];
            const size_t count = cf::utf::EncodeUTF16(character.value, units);
            for (size_t k = 0; k < count; ++k) {
                text.push_back(units[k]);
                offsets.push_back(i);
            }
            i += character.length;
        }
        return noErr;
    }

    // A legacy encoding through ICU.
    const bool fallbacks = (flags & kUnicodeUseFallbacksMask) != 0;
    UConverter *converter = mDecoder.converter;
    UErrorCode error = U_ZERO_ERROR;
    ucnv_setToUCallBack(converter, fallbacks ? UCNV_TO_U_CALLBACK_SUBSTITUTE : UCNV_TO_U_CALLBACK_STOP, nullptr,
                        nullptr, nullptr, &error);
    ucnv_setFallback(converter, (flags & kUnicodeLooseMappingsMask) != 0);
    for (size_t capacity = sourceLength * 2 + 16;; capacity *= 2) {
        ucnv_resetToUnicode(converter);
        std::u16string buffer(capacity, u'\0');
        std::vector<int32_t> sourceOffsets(capacity, -1);
        UChar *target = reinterpret_cast<UChar *>(buffer.data());
        const char *from = reinterpret_cast<const char *>(source);
        error = U_ZERO_ERROR;
        ucnv_toUnicode(converter, &target, target + capacity, &from, from + sourceLength, sourceOffsets.data(), true,
                       &error);
        if (error == U_BUFFER_OVERFLOW_ERROR) continue;
        const size_t count = size_t(target - reinterpret_cast<UChar *>(buffer.data()));
        text.assign(buffer.data(), count);
        for (size_t i = 0; i < count; ++i) offsets.push_back(sourceOffsets[i] < 0 ? 0 : size_t(sourceOffsets[i]));
        if (U_SUCCESS(error)) return noErr;
        char invalid[32];
        int8_t invalidLength = int8_t(sizeof invalid);
        UErrorCode ignored = U_ZERO_ERROR;
        ucnv_getInvalidChars(converter, invalid, &invalidLength, &ignored);
        const size_t reached = size_t(from - reinterpret_cast<const char *>(source));
        consumed = reached >= size_t(invalidLength) ? reached - size_t(invalidLength) : 0;
        // Units produced for bytes at or beyond the bad ones are dropped.
        while (!offsets.empty() && offsets.back() >= consumed) {
            offsets.pop_back();
            text.pop_back();
        }
        return StatusOfICU(error, true);
    }
}

OSStatus TextConverter::Encode(const std::u16string &segment, OptionBits flags, std::string &bytes,
                               bool &usedFallbacks) {
    bytes.clear();
    const UChar *units = reinterpret_cast<const UChar *>(segment.data());
    const int32_t length = int32_t(segment.size());
    if (mTo.form == Form::UTF16) {
        bytes.assign(reinterpret_cast<const char *>(segment.data()), segment.size() * 2);
        return noErr;
    }
    UErrorCode error = U_ZERO_ERROR;
    if (mTo.form == Form::UTF8) {
        if (!cf::utf::AppendUTF16AsUTF8(segment, bytes, cf::utf::OnInvalid::Fail)) return kTextMalformedInputErr;
        return noErr;
    }
    UConverter *converter = mEncoder.converter;
    ucnv_setFallback(converter, (flags & kUnicodeLooseMappingsMask) != 0);
    for (int pass = 0; pass < 2; ++pass) {
        const bool substitute = pass == 1;
        error = U_ZERO_ERROR;
        ucnv_setFromUCallBack(converter, substitute ? UCNV_FROM_U_CALLBACK_SUBSTITUTE : UCNV_FROM_U_CALLBACK_STOP,
                              nullptr, nullptr, nullptr, &error);
        const int32_t capacity = length * 4 + 16;
        std::vector<char> buffer(static_cast<size_t>(capacity));
        const int32_t written = ucnv_fromUChars(converter, buffer.data(), capacity, units, length, &error);
        if (U_SUCCESS(error)) {
            bytes.assign(buffer.data(), size_t(written));
            if (substitute) usedFallbacks = true;
            return noErr;
        }
        if (error != U_INVALID_CHAR_FOUND || (flags & kUnicodeUseFallbacksMask) == 0) return StatusOfICU(error, false);
    }
    return kTECUnmappableElementErr;
}

OSStatus TextConverter::Convert(const UInt8 *source, size_t sourceLength, OptionBits flags, UInt8 *output,
                                size_t outputLength, size_t &read, size_t &written) {
    std::lock_guard<std::mutex> lock(mMutex);
    read = written = 0;
    std::u16string text;
    std::vector<size_t> offsets;
    size_t consumed = 0;
    const OSStatus decoded = Decode(source, sourceLength, flags, text, offsets, consumed);
    if (decoded == paramErr) return paramErr;

    // Unicode becoming text is composed; Unicode output is normalised as its variant says.
    const Normalization normalization =
        mTo.form == Form::Legacy ? Normalization::HFSCompose : mTo.normalization;
    const UNormalizer2 *normalizer = NormalizerOf(normalization);
    if (normalization != Normalization::None && normalizer == nullptr) return kTextUnsupportedEncodingErr;

    bool usedFallbacks = false;
    size_t at = 0;
    while (at < text.size()) {
        // The segment: one code point, or up to the next normalisation boundary.
        size_t end = at;
        do {
            UChar32 c;
            U16_NEXT(text.data(), end, text.size(), c);
            if (end >= text.size()) break;
            if (normalizer == nullptr) break;
            UChar32 next;
            size_t peek = end;
            U16_NEXT(text.data(), peek, text.size(), next);
            if (unorm2_hasBoundaryBefore(normalizer, next)) break;
        } while (true);
        std::u16string segment = text.substr(at, end - at);
        if (normalizer != nullptr) {
            std::u16string normalized(segment.size() * 4 + 8, u'\0');
            for (int attempt = 0; attempt < 2; ++attempt) {
                UErrorCode error = U_ZERO_ERROR;
                const int32_t length = unorm2_normalize(normalizer, reinterpret_cast<const UChar *>(segment.data()),
                                                        int32_t(segment.size()),
                                                        reinterpret_cast<UChar *>(normalized.data()),
                                                        int32_t(normalized.size()), &error);
                if (error == U_BUFFER_OVERFLOW_ERROR && attempt == 0) {
                    normalized.resize(size_t(length));
                    continue;
                }
                if (U_FAILURE(error)) return kTextMalformedInputErr;
                normalized.resize(size_t(length));
                break;
            }
            segment = std::move(normalized);
        }
        std::string bytes;
        const OSStatus encoded = Encode(segment, flags, bytes, usedFallbacks);
        if (encoded != noErr) return encoded;  // read and written stop before the segment
        if (bytes.size() > outputLength - written) return kTECOutputBufferFullStatus;
        if (!bytes.empty()) std::memcpy(output + written, bytes.data(), bytes.size());
        written += bytes.size();
        at = end;
        read = at < text.size() ? offsets[at] : consumed;
    }
    read = consumed;
    if (decoded != noErr) return decoded;
    return usedFallbacks ? OSStatus(kTECUsedFallbacksStatus) : OSStatus(noErr);
}

// Every converter object made and not yet disposed of, so that a stale or foreign pointer
// is refused instead of used.
class LiveObjects {
public:
    static LiveObjects &Shared() {
        static LiveObjects *objects = new LiveObjects;
        return *objects;
    }
    void add(const void *object) {
        std::lock_guard<std::mutex> lock(mMutex);
        mObjects.insert(object);
    }
    bool contains(const void *object) {
        std::lock_guard<std::mutex> lock(mMutex);
        return mObjects.count(object) != 0;
    }
    bool remove(const void *object) {
        std::lock_guard<std::mutex> lock(mMutex);
        return mObjects.erase(object) != 0;
    }

private:
    std::mutex mMutex;
    std::set<const void *> mObjects;
};

}  // namespace

}  // namespace lumora::carbon

using namespace lumora::carbon;

struct OpaqueTextToUnicodeInfo {
    TextConverter converter;
};
struct OpaqueUnicodeToTextInfo {
    TextConverter converter;
};
struct OpaqueTECObjectRef {
    TextConverter converter;
};

namespace {

template <class Object>
OSStatus MakeConverter(const Side &from, const Side &to, Object *&out) {
    auto made = std::make_unique<Object>();
    const OSStatus status = made->converter.Construct(from, to);
    if (status != noErr) return status;
    out = made.release();
    LiveObjects::Shared().add(out);
    return noErr;
}

template <class Object>
OSStatus DisposeConverter(Object *object) {
    if (object == nullptr || !LiveObjects::Shared().remove(object)) return paramErr;
    delete object;
    return noErr;
}

OSStatus DescribeMapping(const UnicodeMapping *mapping, Side &unicode, Side &other) {
    if (mapping == nullptr || !IsUnicodeBase(GetTextEncodingBase(mapping->unicodeEncoding))) return paramErr;
    const bool hfs = mapping->mappingVersion == kUnicodeUseHFSPlusMapping;
    OSStatus status = DescribeEncoding(mapping->unicodeEncoding, hfs, unicode);
    if (status == noErr) status = DescribeEncoding(mapping->otherEncoding, hfs, other);
    return status;
}

}  // namespace

TextEncoding CreateTextEncoding(TextEncodingBase encodingBase, TextEncodingVariant encodingVariant,
                                TextEncodingFormat encodingFormat) {
    return (encodingBase & 0xFFFF) | ((encodingVariant & 0x3FF) << 16) | ((encodingFormat & 0x3F) << 26);
}

TextEncodingBase GetTextEncodingBase(TextEncoding encoding) { return encoding & 0xFFFF; }
TextEncodingVariant GetTextEncodingVariant(TextEncoding encoding) { return (encoding >> 16) & 0x3FF; }
TextEncodingFormat GetTextEncodingFormat(TextEncoding encoding) { return (encoding >> 26) & 0x3F; }

OSStatus UpgradeScriptInfoToTextEncoding(ScriptCode iTextScriptID, LangCode, RegionCode iRegionID,
                                         ConstStr255Param, TextEncoding *oEncoding) {
    if (oEncoding == nullptr) return paramErr;
    ScriptCode script = iTextScriptID == smSystemScript ? ScriptCode(smRoman) : iTextScriptID;
    TextEncodingBase base;
    if (iRegionID != kTextRegionDontCare) {
        const Region *region = FindRegion(iRegionID);
        if (region == nullptr) return paramErr;
        if (script == kTextScriptDontCare) script = region->script;
        if (region->script != script) return paramErr;
        base = region->encoding;
    } else {
        if (script == kTextScriptDontCare) script = smRoman;
        if (!IsScript(script)) return paramErr;
        base = TextEncodingBase(script);
    }
    *oEncoding = CreateTextEncoding(base, kTextEncodingDefaultVariant, kTextEncodingDefaultFormat);
    return noErr;
}

OSStatus RevertTextEncodingToScriptInfo(TextEncoding iEncoding, ScriptCode *oTextScriptID, LangCode *oTextLanguageID,
                                        Str255 oTextFontname) {
    const MacEncoding *mac = FindEncoding(GetTextEncodingBase(iEncoding));
    if (mac == nullptr) return paramErr;
    if (oTextScriptID != nullptr) *oTextScriptID = mac->script;
    if (oTextLanguageID != nullptr) *oTextLanguageID = kTextLanguageDontCare;
    if (oTextFontname != nullptr) oTextFontname[0] = 0;
    return noErr;
}

long GetScriptManagerVariable(short selector) {
    switch (selector) {
    case smRegionCode: return LocaleRegion().region;
    case smSysScript: return LocaleRegion().script;
    default: return 0;
    }
}

OSStatus CreateTextToUnicodeInfo(ConstUnicodeMappingPtr iUnicodeMapping, TextToUnicodeInfo *oTextToUnicodeInfo) {
    if (oTextToUnicodeInfo == nullptr) return paramErr;
    Side unicode, other;
    const OSStatus status = DescribeMapping(iUnicodeMapping, unicode, other);
    if (status != noErr) return status;
    return MakeConverter(other, unicode, *oTextToUnicodeInfo);
}

OSStatus CreateTextToUnicodeInfoByEncoding(TextEncoding iEncoding, TextToUnicodeInfo *oTextToUnicodeInfo) {
    const UnicodeMapping mapping{CreateTextEncoding(kTextEncodingUnicodeDefault, 0, kUnicode16BitFormat), iEncoding,
                                 kUnicodeUseLatestMapping};
    return CreateTextToUnicodeInfo(&mapping, oTextToUnicodeInfo);
}

OSStatus CreateUnicodeToTextInfo(ConstUnicodeMappingPtr iUnicodeMapping, UnicodeToTextInfo *oUnicodeToTextInfo) {
    if (oUnicodeToTextInfo == nullptr) return paramErr;
    Side unicode, other;
    const OSStatus status = DescribeMapping(iUnicodeMapping, unicode, other);
    if (status != noErr) return status;
    return MakeConverter(unicode, other, *oUnicodeToTextInfo);
}

OSStatus CreateUnicodeToTextInfoByEncoding(TextEncoding iEncoding, UnicodeToTextInfo *oUnicodeToTextInfo) {
    const UnicodeMapping mapping{CreateTextEncoding(kTextEncodingUnicodeDefault, 0, kUnicode16BitFormat), iEncoding,
                                 kUnicodeUseLatestMapping};
    return CreateUnicodeToTextInfo(&mapping, oUnicodeToTextInfo);
}

OSStatus DisposeTextToUnicodeInfo(TextToUnicodeInfo *ioTextToUnicodeInfo) {
    if (ioTextToUnicodeInfo == nullptr) return paramErr;
    const OSStatus status = DisposeConverter(*ioTextToUnicodeInfo);
    if (status == noErr) *ioTextToUnicodeInfo = nullptr;
    return status;
}

OSStatus DisposeUnicodeToTextInfo(UnicodeToTextInfo *ioUnicodeToTextInfo) {
    if (ioUnicodeToTextInfo == nullptr) return paramErr;
    const OSStatus status = DisposeConverter(*ioUnicodeToTextInfo);
    if (status == noErr) *ioUnicodeToTextInfo = nullptr;
    return status;
}

namespace {

template <class Object>
OSStatus RunConversion(Object *object, ByteCount sourceLength, const void *source, OptionBits flags,
                       ItemCount offsetCount, ItemCount *outOffsetCount, ByteCount outputLength, ByteCount *read,
                       ByteCount *written, void *output) {
    if (read != nullptr) *read = 0;
    if (written != nullptr) *written = 0;
    if (outOffsetCount != nullptr) *outOffsetCount = 0;
    if (object == nullptr || !LiveObjects::Shared().contains(object) || read == nullptr || written == nullptr ||
        (sourceLength > 0 && source == nullptr) || (outputLength > 0 && output == nullptr) || offsetCount != 0)
        return paramErr;
    size_t done = 0, made = 0;
    const OSStatus status = object->converter.Convert(static_cast<const UInt8 *>(source), sourceLength, flags,
                                                      static_cast<UInt8 *>(output), outputLength, done, made);
    *read = done;
    *written = made;
    return status;
}

}  // namespace

OSStatus ConvertFromTextToUnicode(TextToUnicodeInfo iTextToUnicodeInfo, ByteCount iSourceLen,
                                  ConstLogicalAddress iSourceStr, OptionBits iControlFlags, ItemCount iOffsetCount,
                                  const ByteOffset[], ItemCount *oOffsetCount, ByteOffset[], ByteCount iOutputBufLen,
                                  ByteCount *oSourceRead, ByteCount *oUnicodeLen, UniChar oUnicodeStr[]) {
    return RunConversion(iTextToUnicodeInfo, iSourceLen, iSourceStr, iControlFlags, iOffsetCount, oOffsetCount,
                         iOutputBufLen, oSourceRead, oUnicodeLen, oUnicodeStr);
}

OSStatus ConvertFromUnicodeToText(UnicodeToTextInfo iUnicodeToTextInfo, ByteCount iUnicodeLen,
                                  const UniChar iUnicodeStr[], OptionBits iControlFlags, ItemCount iOffsetCount,
                                  const ByteOffset[], ItemCount *oOffsetCount, ByteOffset[], ByteCount iOutputBufLen,
                                  ByteCount *oInputRead, ByteCount *oOutputLen, LogicalAddress oOutputStr) {
    return RunConversion(iUnicodeToTextInfo, iUnicodeLen, iUnicodeStr, iControlFlags, iOffsetCount, oOffsetCount,
                         iOutputBufLen, oInputRead, oOutputLen, oOutputStr);
}

OSStatus TECCreateConverter(TECObjectRef *newEncodingConverter, TextEncoding inputEncoding,
                            TextEncoding outputEncoding) {
    if (newEncodingConverter == nullptr) return paramErr;
    Side from, to;
    OSStatus status = DescribeEncoding(inputEncoding, false, from);
    if (status == noErr) status = DescribeEncoding(outputEncoding, false, to);
    if (status != noErr) return status;
    return MakeConverter(from, to, *newEncodingConverter);
}

OSStatus TECConvertText(TECObjectRef encodingConverter, ConstTextPtr inputBuffer, ByteCount inputBufferLength,
                        ByteCount *actualInputLength, TextPtr outputBuffer, ByteCount outputBufferLength,
                        ByteCount *actualOutputLength) {
    return RunConversion(encodingConverter, inputBufferLength, inputBuffer, 0, 0, nullptr, outputBufferLength,
                         actualInputLength, actualOutputLength, outputBuffer);
}

OSStatus TECDisposeConverter(TECObjectRef newEncodingConverter) { return DisposeConverter(newEncodingConverter); }
