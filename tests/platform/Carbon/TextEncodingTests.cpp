#include <gtest/gtest.h>

#include <Carbon/Script.h>
#include <Carbon/TextEncodingConverter.h>
#include <Carbon/UnicodeConverter.h>

#include <CoreFoundation/CoreFoundation.h>

#include <cstring>
#include <string>
#include <vector>

#include "../CoreFoundation/UTFCases.h"
#include "CarbonTestSupport.h"

using carbon_test::ScopedEnv;

namespace {

const TextEncoding kUTF16 = CreateTextEncoding(kTextEncodingUnicodeDefault, kTextEncodingDefaultVariant, kUnicode16BitFormat);
const TextEncoding kUTF8 = CreateTextEncoding(kTextEncodingUnicodeDefault, kTextEncodingDefaultVariant, kUnicodeUTF8Format);
// The HFS Plus mapping the file layer uses: Unicode 2.0, canonically decomposed.
const TextEncoding kHFS16 = CreateTextEncoding(kTextEncodingUnicodeV2_0, kUnicodeCanonicalDecompVariant, kUnicode16BitFormat);
const TextEncoding kHFS8 = CreateTextEncoding(kTextEncodingUnicodeV2_0, kUnicodeCanonicalDecompVariant, kUnicodeUTF8Format);

struct Result {
    OSStatus status;
    std::string output;
    ByteCount read;
};

Result ToUnicode(TextEncoding unicode, TextEncoding other, UnicodeMapVersion version, const std::string &input,
                 OptionBits flags = kUnicodeLooseMappingsMask, size_t capacity = 4096) {
    const UnicodeMapping mapping{unicode, other, version};
    TextToUnicodeInfo info = nullptr;
    Result result{CreateTextToUnicodeInfo(&mapping, &info), "", 0};
    if (result.status != noErr) return result;
    std::vector<UniChar> out(capacity / 2 + 1);
    ByteCount written = 0;
    result.status = ConvertFromTextToUnicode(info, input.size(), input.data(), flags, 0, nullptr, nullptr, nullptr,
                                             capacity, &result.read, &written, out.data());
    result.output.assign(reinterpret_cast<const char *>(out.data()), written);
    EXPECT_EQ(DisposeTextToUnicodeInfo(&info), noErr);
    EXPECT_EQ(info, nullptr);
    return result;
}

Result FromUnicode(TextEncoding unicode, TextEncoding other, const std::string &input, OptionBits flags = 0,
                   size_t capacity = 4096) {
    const UnicodeMapping mapping{unicode, other, kUnicodeUseHFSPlusMapping};
    UnicodeToTextInfo info = nullptr;
    Result result{CreateUnicodeToTextInfo(&mapping, &info), "", 0};
    if (result.status != noErr) return result;
    std::string out(capacity, '\0');
    ByteCount written = 0;
    result.status = ConvertFromUnicodeToText(info, input.size(), reinterpret_cast<const UniChar *>(input.data()), flags,
                                             0, nullptr, nullptr, nullptr, capacity, &result.read, &written, out.data());
    result.output = out.substr(0, written);
    EXPECT_EQ(DisposeUnicodeToTextInfo(&info), noErr);
    return result;
}

Result Tec(TextEncoding from, TextEncoding to, const std::string &input, size_t capacity = 4096) {
    TECObjectRef converter = nullptr;
    Result result{TECCreateConverter(&converter, from, to), "", 0};
    if (result.status != noErr) return result;
    std::string out(capacity, '\0');
    ByteCount written = 0;
    result.status = TECConvertText(converter, reinterpret_cast<ConstTextPtr>(input.data()), input.size(), &result.read,
                                   reinterpret_cast<TextPtr>(out.data()), capacity, &written);
    result.output = out.substr(0, written);
    EXPECT_EQ(TECDisposeConverter(converter), noErr);
    return result;
}

// UTF-16 (host order) bytes of a UTF-16 literal.
std::string Bytes16(const std::u16string &text) { return std::string(reinterpret_cast<const char *>(text.data()), text.size() * 2); }

}  // namespace

TEST(TextEncodings, PartsOfAnEncoding) {
    EXPECT_EQ(kHFS8, 0x08020103u);
    EXPECT_EQ(GetTextEncodingBase(kHFS8), kTextEncodingUnicodeV2_0);
    EXPECT_EQ(GetTextEncodingVariant(kHFS8), kUnicodeCanonicalDecompVariant);
    EXPECT_EQ(GetTextEncodingFormat(kHFS8), kUnicodeUTF8Format);
    EXPECT_EQ(CreateTextEncoding(kTextEncodingMacRoman, 0, 0), 0u);
}

TEST(TextEncodings, ScriptsAndRegions) {
    const struct {
        ScriptCode script;
        RegionCode region;
        OSStatus status;
        TextEncodingBase base;
    } cases[] = {
        {smRoman, kTextRegionDontCare, noErr, kTextEncodingMacRoman},
        {smSystemScript, verFrance, noErr, kTextEncodingMacRoman},
        {smRoman, verIceland, noErr, kTextEncodingMacIcelandic},
        {smRoman, verTurkey, noErr, kTextEncodingMacTurkish},
        {smRoman, verCroatia, noErr, kTextEncodingMacCroatian},
        {smCyrillic, verUkraine, noErr, kTextEncodingMacUkrainian},
        {smCyrillic, kTextRegionDontCare, noErr, kTextEncodingMacCyrillic},
        {kTextScriptDontCare, verGreece, noErr, kTextEncodingMacGreek},
        {smJapanese, verJapan, noErr, kTextEncodingMacJapanese},
        {smRoman, verJapan, paramErr, 0},   // a region of another script
        {smGreek, verUS, paramErr, 0},
        {smRoman, 9999, paramErr, 0},       // no such region
        {99, kTextRegionDontCare, paramErr, 0},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(std::to_string(c.script) + " " + std::to_string(c.region));
        TextEncoding encoding = 0xDEADBEEF;
        EXPECT_EQ(UpgradeScriptInfoToTextEncoding(c.script, kTextLanguageDontCare, c.region, nullptr, &encoding), c.status);
        EXPECT_EQ(encoding, c.status == noErr ? CreateTextEncoding(c.base, 0, 0) : 0xDEADBEEF);
    }
    ScriptCode script = -5;
    LangCode language = 0;
    EXPECT_EQ(RevertTextEncodingToScriptInfo(kTextEncodingMacTurkish, &script, &language, nullptr), noErr);
    EXPECT_EQ(script, smRoman);
    EXPECT_EQ(language, kTextLanguageDontCare);
    EXPECT_EQ(RevertTextEncodingToScriptInfo(kTextEncodingMacUkrainian, &script, nullptr, nullptr), noErr);
    EXPECT_EQ(script, smCyrillic);
    EXPECT_EQ(RevertTextEncodingToScriptInfo(kUTF16, &script, nullptr, nullptr), paramErr);
}

TEST(TextEncodings, TheRegionComesFromTheLocale) {
    const struct {
        std::optional<std::string> all, ctype, lang;
        long region;
        long script;
    } cases[] = {
        {std::nullopt, std::nullopt, std::string("de_DE.UTF-8"), verGermany, smRoman},
        {std::nullopt, std::nullopt, std::string("fr_CA.UTF-8"), verFrCanada, smRoman},
        {std::nullopt, std::nullopt, std::string("pt_BR.UTF-8@latin"), verBrazil, smRoman},
        {std::nullopt, std::nullopt, std::string("ja"), verJapan, smJapanese},
        {std::nullopt, std::nullopt, std::string("el_CY.UTF-8"), verGreece, smGreek},  // by its language
        {std::nullopt, std::string("uk_UA.UTF-8"), std::string("en_US.UTF-8"), verUkraine, smCyrillic},
        {std::string("is_IS"), std::string("uk_UA"), std::string("de_DE"), verIceland, smRoman},
        {std::string(""), std::nullopt, std::string("tr_TR.UTF-8"), verTurkey, smRoman},
        {std::nullopt, std::nullopt, std::string("C"), verUS, smRoman},
        {std::nullopt, std::nullopt, std::string("xx_YY"), verUS, smRoman},
        {std::nullopt, std::nullopt, std::nullopt, verUS, smRoman},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.lang.value_or("(unset)"));
        ScopedEnv env{{"LC_ALL", c.all}, {"LC_CTYPE", c.ctype}, {"LANG", c.lang}};
        EXPECT_EQ(GetScriptManagerVariable(smRegionCode), c.region);
        EXPECT_EQ(GetScriptManagerVariable(smSysScript), c.script);
    }
    EXPECT_EQ(GetScriptManagerVariable(12345), 0);
}

// Every MacRoman byte to HFS Plus Unicode (UTF-16 and UTF-8) and back.
TEST(TextEncodings, MacRomanRoundTripsThroughHFSPlusUnicode) {
    std::string all;
    for (int i = 0; i < 256; ++i) all.push_back(char(i));
    for (TextEncoding unicode : {kHFS16, kHFS8}) {
        SCOPED_TRACE(unicode);
        const Result there = ToUnicode(unicode, kTextEncodingMacRoman, kUnicodeUseHFSPlusMapping, all);
        ASSERT_EQ(there.status, noErr);
        EXPECT_EQ(there.read, 256u);
        const Result back = FromUnicode(unicode, kTextEncodingMacRoman, there.output, kUnicodeLooseMappingsMask);
        ASSERT_EQ(back.status, noErr);
        EXPECT_EQ(back.read, there.output.size());
        EXPECT_EQ(back.output, all);
    }
    const struct {
        std::string mac;
        std::u16string unicode;
    } cases[] = {
        {"\x8E", u"e\u0301"},           // é, decomposed
        {"\x80", u"A\u0308"},           // Ä
        {"\xDB", u"\u20AC"},            // €
        {"\xBD", u"\u03A9"},            // Ω
        {"Caf\x8E.jpg", u"Cafe\u0301.jpg"},
    };
    for (const auto &c : cases) {
        const Result result = ToUnicode(kHFS16, kTextEncodingMacRoman, kUnicodeUseHFSPlusMapping, c.mac);
        EXPECT_EQ(result.output, Bytes16(c.unicode));
        // Precomposed input maps too.
        EXPECT_EQ(FromUnicode(kUTF16, kTextEncodingMacRoman, Bytes16(c.unicode)).output, c.mac);
    }
    EXPECT_EQ(FromUnicode(kUTF16, kTextEncodingMacRoman, Bytes16(u"\u00E9")).output, "\x8E");
}

// A character the target cannot hold stops the conversion after what was done, unless
// fallbacks were asked for; loose mappings map what has a near equivalent.
TEST(TextEncodings, MissingCharactersAndLooseMappings) {
    const std::string input = Bytes16(u"a\u00B2\u6F22b");  // a, superscript two, a CJK character, b
    const struct {
        OptionBits flags;
        OSStatus status;
        std::string output;
        ByteCount read;
    } cases[] = {
        {0, kTECUnmappableElementErr, "a", 2},
        {kUnicodeLooseMappingsMask, kTECUnmappableElementErr, "a2", 4},
        {kUnicodeUseFallbacksMask, kTECUsedFallbacksStatus, "a??b", 8},
        {kUnicodeLooseMappingsMask | kUnicodeUseFallbacksMask, kTECUsedFallbacksStatus, "a2?b", 8},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.flags);
        const Result result = FromUnicode(kUTF16, kTextEncodingMacRoman, input, c.flags);
        EXPECT_EQ(result.status, c.status);
        EXPECT_EQ(result.output, c.output);
        EXPECT_EQ(result.read, c.read);
    }
    // The same through other Mac encodings ICU has tables for.
    EXPECT_EQ(FromUnicode(kUTF16, kTextEncodingMacGreek, Bytes16(u"\u03B1\u03B2")).status, noErr);
    EXPECT_EQ(FromUnicode(kUTF16, kTextEncodingMacCyrillic, Bytes16(u"\u0416")).output, "\x86");
    EXPECT_EQ(FromUnicode(kUTF16, kTextEncodingMacGreek, Bytes16(u"\u0416")).status, kTECUnmappableElementErr);
}

// The output holds whole characters only: what was read is exactly what was written.
TEST(TextEncodings, AFullOutputBufferCutsBetweenCharacters) {
    const Result result =
        ToUnicode(kHFS16, kTextEncodingMacRoman, kUnicodeUseHFSPlusMapping, "\x8E\x8E\x8E", kUnicodeLooseMappingsMask, 10);
    EXPECT_EQ(result.status, kTECOutputBufferFullStatus);
    EXPECT_EQ(result.read, 2u);
    EXPECT_EQ(result.output, Bytes16(u"e\u0301e\u0301"));
    const Result utf8 = Tec(kUTF16, kUTF8, Bytes16(u"ab\U0001D11E"), 5);
    EXPECT_EQ(utf8.status, kTECOutputBufferFullStatus);
    EXPECT_EQ(utf8.output, "ab");
    EXPECT_EQ(utf8.read, 4u);
}

// HFS Plus decomposition: ICU's NFD of Unicode 3.2, leaving alone what HFS Plus leaves.
TEST(TextEncodings, HFSPlusDecomposition) {
    const TextEncoding hfsVariant = CreateTextEncoding(kTextEncodingUnicodeV2_0, kUnicodeHFSPlusDecompVariant, kUnicode16BitFormat);
    const struct {
        const char *what;
        std::u16string input;
        std::u16string hfs;
        std::u16string nfd;
    } cases[] = {
        {"precomposed letter", u"\u00E9", u"e\u0301", u"e\u0301"},
        {"marks put in canonical order", u"a\u0301\u0323", u"a\u0323\u0301", u"a\u0323\u0301"},
        {"two-mark character", u"\u0344", u"\u0308\u0301", u"\u0308\u0301"},
        {"Hangul syllable", u"\uAC00", u"\u1100\u1161", u"\u1100\u1161"},
        {"Angstrom sign (U+2000-U+2FFF kept)", u"\u212B", u"\u212B", u"A\u030A"},
        {"CJK compatibility ideograph kept", u"\uF900", u"\uF900", u"\u8C48"},
        {"character newer than Unicode 3.2", u"\u1B06", u"\u1B06", u"\u1B05\u1B35"},
        {"plain text", u"movie_001.mov", u"movie_001.mov", u"movie_001.mov"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        const std::string input = Bytes16(c.input);
        // UTF-16 input, so the text side is Unicode too.
        EXPECT_EQ(ToUnicode(kHFS16, kUTF16, kUnicodeUseHFSPlusMapping, input).output, Bytes16(c.hfs));
        EXPECT_EQ(ToUnicode(hfsVariant, kUTF16, kUnicodeUseLatestMapping, input).output, Bytes16(c.hfs));
        EXPECT_EQ(ToUnicode(kHFS16, kUTF16, kUnicodeUseLatestMapping, input).output, Bytes16(c.nfd));
        EXPECT_EQ(Tec(kUTF16, hfsVariant, input).output, Bytes16(c.hfs));
        // Composed again on the way to MacRoman where MacRoman has the character.
    }
    EXPECT_EQ(FromUnicode(kHFS16, kTextEncodingMacRoman, Bytes16(u"A\u030Angstr\u00F6m")).output, "\x81ngstr\x9Am");
}

TEST(TextEncodings, UTF8AndUTF16ConvertBothWays) {
    const std::string utf8 = "Caf\xC3\xA9 \xF0\x9D\x84\x9E \xE6\xBC\xA2\xE5\xAD\x97";  // "Café 𝄞 漢字", kept composed
    const Result there = Tec(kUTF8, kUTF16, utf8);
    ASSERT_EQ(there.status, noErr);
    EXPECT_EQ(there.output, Bytes16(u"Caf\u00E9 \U0001D11E \u6F22\u5B57"));
    const Result back = Tec(kUTF16, kUTF8, there.output);
    ASSERT_EQ(back.status, noErr);
    EXPECT_EQ(back.output, utf8);

    const struct {
        const char *what;
        TextEncoding from;
        std::string input;
        OSStatus status;
        ByteCount read;
    } errors[] = {
        {"UTF-8 cut inside a character", kUTF8, "ab\xE6\xBC", kTECPartialCharErr, 2},
        {"a byte that is not UTF-8", kUTF8, "a\xFF" "b", kTextMalformedInputErr, 1},
        {"an overlong form", kUTF8, "a\xC0\xAF", kTextMalformedInputErr, 1},
        {"a lone low surrogate", kUTF16, Bytes16(u"a") + std::string("\x00\xDC", 2), kTextMalformedInputErr, 2},
        {"UTF-16 cut after a high surrogate", kUTF16, Bytes16(u"ab") + std::string("\x3D\xD8", 2), kTECPartialCharErr, 4},
    };
    for (const auto &e : errors) {
        SCOPED_TRACE(e.what);
        const Result result = Tec(e.from, e.from == kUTF8 ? kUTF16 : kUTF8, e.input);
        EXPECT_EQ(result.status, e.status);
        EXPECT_EQ(result.read, e.read);
    }
}

TEST(TextEncodings, ConvertersThatCannotBeMadeOrUsed) {
    TECObjectRef converter = nullptr;
    EXPECT_EQ(TECCreateConverter(&converter, kTextEncodingMacJapanese, kUTF16), kTextUnsupportedEncodingErr);
    EXPECT_EQ(TECCreateConverter(&converter, kUTF16, CreateTextEncoding(kTextEncodingUnicodeDefault, 0, 1 /* UTF-7 */)),
              kTextUnsupportedEncodingErr);
    EXPECT_EQ(converter, nullptr);
    EXPECT_EQ(TECCreateConverter(nullptr, kUTF8, kUTF16), paramErr);
    TextToUnicodeInfo info = nullptr;
    EXPECT_EQ(CreateTextToUnicodeInfoByEncoding(kTextEncodingMacArabic, &info), kTextUnsupportedEncodingErr);
    const UnicodeMapping notUnicode{kTextEncodingMacRoman, kTextEncodingMacRoman, kUnicodeUseLatestMapping};
    EXPECT_EQ(CreateTextToUnicodeInfo(&notUnicode, &info), paramErr);
    EXPECT_EQ(info, nullptr);

    ASSERT_EQ(CreateTextToUnicodeInfoByEncoding(kTextEncodingMacRoman, &info), noErr);
    ByteCount read = 0, written = 0;
    UniChar out[8];
    const ByteOffset offsets[1] = {0};
    EXPECT_EQ(ConvertFromTextToUnicode(info, 1, "a", 0, 1, offsets, nullptr, nullptr, sizeof out, &read, &written, out),
              paramErr) << "offsets are not provided";
    EXPECT_EQ(ConvertFromTextToUnicode(info, 1, "a", 0, 0, nullptr, nullptr, nullptr, sizeof out, nullptr, &written, out),
              paramErr);
    TextToUnicodeInfo stale = info;
    ASSERT_EQ(DisposeTextToUnicodeInfo(&info), noErr);
    EXPECT_EQ(DisposeTextToUnicodeInfo(&stale), paramErr);
    EXPECT_EQ(ConvertFromTextToUnicode(stale, 1, "a", 0, 0, nullptr, nullptr, nullptr, sizeof out, &read, &written, out),
              paramErr);
    EXPECT_EQ(TECDisposeConverter(nullptr), paramErr);
    // UTF-16 input that is not whole units.
    EXPECT_EQ(Tec(kUTF16, kUTF8, "abc").status, paramErr);
}

// ----- The same tables and the same UTF rule as Core Foundation -----

namespace {

// The UTF-16 units Core Foundation decodes `bytes` to; false when it refuses them.
bool CoreFoundationDecodes(const std::string &bytes, CFStringEncoding encoding, std::u16string &units) {
    CFStringRef string = CFStringCreateWithBytes(nullptr, reinterpret_cast<const UInt8 *>(bytes.data()),
                                                 CFIndex(bytes.size()), encoding, false);
    if (string == nullptr) return false;
    units.assign(size_t(CFStringGetLength(string)), u'\0');
    CFStringGetCharacters(string, CFRangeMake(0, CFIndex(units.size())), reinterpret_cast<UniChar *>(units.data()));
    CFRelease(string);
    return true;
}

std::u16string UnitsOf(const std::string &hostBytes) {
    std::u16string units(hostBytes.size() / 2, u'\0');
    std::memcpy(units.data(), hostBytes.data(), units.size() * 2);
    return units;
}

}  // namespace

// Both layers read ICU's tables: every Mac Roman byte is the same character in each, both
// ways, and the bytes where tables differ take Apple's mapping (0xC6 is U+2206 INCREMENT,
// not U+0394 GREEK CAPITAL DELTA; 0xF0 is the Apple logo U+F8FF).
TEST(TextEncodings, MacRomanIsTheSameTableInCarbonAndCoreFoundation) {
    const TextEncoding macRoman = CreateTextEncoding(kTextEncodingMacRoman, 0, 0);
    for (int byte = 0; byte < 256; ++byte) {
        SCOPED_TRACE(byte);
        const std::string input(1, char(byte));
        const Result carbon = Tec(macRoman, kUTF16, input);
        std::u16string cf;
        ASSERT_EQ(carbon.status, noErr);
        ASSERT_TRUE(CoreFoundationDecodes(input, kCFStringEncodingMacRoman, cf));
        EXPECT_EQ(UnitsOf(carbon.output), cf);
        // And back to the same byte in each layer.
        EXPECT_EQ(Tec(kUTF16, macRoman, carbon.output).output, input);
        CFStringRef string = CFStringCreateWithCharacters(nullptr, reinterpret_cast<const UniChar *>(cf.data()),
                                                          CFIndex(cf.size()));
        UInt8 back = 0;
        CFIndex used = 0;
        EXPECT_EQ(CFStringGetBytes(string, CFRangeMake(0, 1), kCFStringEncodingMacRoman, 0, false, &back, 1, &used), 1);
        EXPECT_EQ(back, UInt8(byte));
        CFRelease(string);
    }
    const struct {
        UInt8 byte;
        char16_t unit;
    } notable[] = {{0x8E, u'\u00E9'}, {0xBD, u'\u03A9'}, {0xC6, u'\u2206'}, {0xDB, u'\u20AC'}, {0xF0, u'\uF8FF'}};
    for (const auto &n : notable) {
        SCOPED_TRACE(int(n.byte));
        std::u16string cf;
        ASSERT_TRUE(CoreFoundationDecodes(std::string(1, char(n.byte)), kCFStringEncodingMacRoman, cf));
        EXPECT_EQ(cf, std::u16string(1, n.unit));
        EXPECT_EQ(UnitsOf(Tec(macRoman, kUTF16, std::string(1, char(n.byte))).output), std::u16string(1, n.unit));
    }
}

// Every UTF edge case gets the same verdict from the Carbon converters as from Core
// Foundation, and the same characters when valid.
TEST(TextEncodings, UTFEdgeCasesAreJudgedAsCoreFoundationJudgesThem) {
    for (const utf_cases::UTF8Case &c : utf_cases::kUTF8Cases) {
        SCOPED_TRACE(c.name);
        const Result carbon = Tec(kUTF8, kUTF16, c.bytes);
        std::u16string cf;
        const bool cfValid = CoreFoundationDecodes(c.bytes, kCFStringEncodingUTF8, cf);
        EXPECT_EQ(cfValid, c.valid);
        EXPECT_EQ(carbon.status == noErr, c.valid) << carbon.status;
        if (c.valid) {
            EXPECT_EQ(UnitsOf(carbon.output), cf);
        }
    }
    for (const utf_cases::UTF16Case &c : utf_cases::kUTF16Cases) {
        SCOPED_TRACE(c.name);
        const std::string hostBytes(reinterpret_cast<const char *>(c.units.data()), c.units.size() * 2);
        const Result carbon = Tec(kUTF16, kUTF8, hostBytes);
        std::u16string cf;
        EXPECT_EQ(CoreFoundationDecodes(hostBytes, kCFStringEncodingUnicode, cf), c.valid);
        EXPECT_EQ(carbon.status == noErr, c.valid) << carbon.status;
    }
}
