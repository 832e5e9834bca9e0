#include <CoreX/LHFSUnicodeName.h>

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <CoreX/LUnicodeTextConverter.h>

#include "CoreMachDebugLogTestSupport.h"

namespace {

const char *const kComposed = "Caf\xC3\xA9";     // Café, é as U+00E9
const char *const kDecomposed = "Cafe\xCC\x81";  // Café, e + U+0301
const char *const kEmoji = "a\xF0\x9F\x98\x80";  // a😀 (a surrogate pair in UTF-16)

std::string Utf8(const LHFSUnicodeName &name) {
    std::string text = "stale";
    EXPECT_TRUE(name.GetUnixPath(text));
    return text;
}

std::vector<UniChar> Units(const HFSUniStr255 &name) { return std::vector<UniChar>(name.unicode, name.unicode + name.length); }

std::basic_string<unsigned char> Prefixed(const std::string &text) {
    std::basic_string<unsigned char> result(1, static_cast<unsigned char>(text.size()));
    result.append(reinterpret_cast<const unsigned char *>(text.data()), text.size());
    return result;
}

class HFSNames : public corex_test::DebugLogFileTest {};

// 253 characters fit with their terminator; 254 and 255 do not, from every source form.
TEST_F(HFSNames, LengthLimitFromEachSourceForm) {
    using Maker = std::function<bool(LHFSUnicodeName &, std::size_t)>;
    const std::pair<const char *, Maker> forms[] = {
        {"UTF-8", [](LHFSUnicodeName &n, std::size_t count) { return n.Construct(std::string(count, 'a')); }},
        {"UTF-16",
         [](LHFSUnicodeName &n, std::size_t count) {
             std::vector<unsigned short> units(count, 'a');
             units.push_back(0);
             return n.Construct(units.data());
         }},
        {"UTF-32",
         [](LHFSUnicodeName &n, std::size_t count) {
             std::vector<unsigned int> characters(count, 'a');
             characters.push_back(0);
             return n.Construct(characters.data());
         }},
        {"MacRoman",
         [](LHFSUnicodeName &n, std::size_t count) { return n.Construct(Prefixed(std::string(count, 'a')).c_str()); }},
        {"script",
         [](LHFSUnicodeName &n, std::size_t count) {
             return n.Construct(Prefixed(std::string(count, 'a')).c_str(), smRoman);
         }},
        {"HFSUniStr255",
         [](LHFSUnicodeName &n, std::size_t count) {
             HFSUniStr255 source;
             source.length = static_cast<UInt16>(count);
             for (std::size_t i = 0; i < 255; ++i) source.unicode[i] = 'a';
             return n.Construct(source);
         }},
    };
    for (const auto &[form, make] : forms) {
        for (const std::size_t count : {std::size_t(253), std::size_t(254), std::size_t(255)}) {
            SCOPED_TRACE(std::string(form) + " " + std::to_string(count));
            auto name = std::make_unique<LHFSUnicodeName>("previous");
            const bool made = make(*name, count);
            EXPECT_EQ(made, count == 253);
            EXPECT_TRUE(name->IsValid());
            EXPECT_EQ(name->length, count == 253 ? 253 : 0);
            if (count == 253) {
                EXPECT_EQ(name->unicode[253], 0);
                EXPECT_EQ(Utf8(*name), std::string(253, 'a'));
            }
        }
    }
}

TEST_F(HFSNames, SurrogatePairsCountAsTwoUnits) {
    std::vector<unsigned int> characters(251, 'a');
    characters.push_back(0x1F600);
    characters.push_back(0);
    LHFSUnicodeName name;
    EXPECT_TRUE(name.Construct(characters.data()));
    EXPECT_EQ(name.length, 253);
    EXPECT_EQ(name.unicode[251], 0xD83D);
    EXPECT_EQ(name.unicode[252], 0xDE00);

    characters.insert(characters.begin(), 'b');  // 254 units
    EXPECT_FALSE(name.Construct(characters.data()));
    EXPECT_EQ(name.length, 0);

    const unsigned int emoji[] = {'a', 0x1F600, 0};
    ASSERT_TRUE(name.Construct(emoji));
    EXPECT_EQ(Utf8(name), kEmoji);
    std::wstring wide;
    EXPECT_TRUE(name.GetUnixPath(wide));
    EXPECT_EQ(wide, L"a\U0001F600");
}

TEST_F(HFSNames, NullAndEmptySourcesAreRefused) {
    LHFSUnicodeName name("x");
    EXPECT_FALSE(name.Construct(static_cast<const unsigned short *>(nullptr)));
    EXPECT_FALSE(name.Construct(static_cast<const unsigned int *>(nullptr)));
    EXPECT_FALSE(name.Construct(static_cast<const char *>(nullptr)));
    const unsigned short none[] = {0};
    EXPECT_FALSE(name.Construct(none));
    EXPECT_FALSE(name.Construct(""));
    EXPECT_FALSE(name.Construct("\xFF\xFE"));  // not UTF-8
    EXPECT_TRUE(name.IsValid());
    EXPECT_EQ(name.length, 0);
    // The empty name is valid and gives the empty path.
    std::string text = "stale";
    EXPECT_TRUE(name.GetUnixPath(text));
    EXPECT_EQ(text, "");
}

TEST_F(HFSNames, SpecialNames) {
    const LHFSUnicodeName dataFork(LHFSUnicodeName::kSpecialName_DataFork);
    HFSUniStr255 expected;
    ASSERT_EQ(FSGetDataForkName(&expected), noErr);
    EXPECT_EQ(Units(dataFork), Units(expected));
    EXPECT_TRUE(dataFork.IsValid());

    const LHFSUnicodeName resourceFork(LHFSUnicodeName::kSpecialName_ResourceFork);
    ASSERT_EQ(FSGetResourceForkName(&expected), noErr);
    EXPECT_EQ(Units(resourceFork), Units(expected));
    EXPECT_EQ(Utf8(resourceFork), "RESOURCE_FORK");
    EXPECT_EQ(Units(LHFSUnicodeName::sResourceFork()), Units(expected));
    EXPECT_EQ(LHFSUnicodeName::sDataFork().length, dataFork.length);

    LHFSUnicodeName name("x");
    EXPECT_TRUE(name.Construct(LHFSUnicodeName::kSpecialName_Empty));
    EXPECT_EQ(name.length, 0);
    EXPECT_FALSE(name.Construct(1));
    EXPECT_TRUE(name.IsValid());
}

TEST_F(HFSNames, ConversionRoundTrips) {
    // UTF-8 keeps its form, composed or decomposed.
    for (const char *text : {kComposed, kDecomposed, kEmoji, "plain name.txt"}) {
        SCOPED_TRACE(text);
        const LHFSUnicodeName name(text);
        EXPECT_EQ(Utf8(name), text);
        const LHFSUnicodeName copy(static_cast<const HFSUniStr255 &>(name));
        EXPECT_EQ(Units(copy), Units(name));
    }
    EXPECT_EQ(LHFSUnicodeName(kDecomposed).length, 5);

    // MacRoman through Core Foundation: the é of MacRoman (0x8E) stays precomposed.
    LHFSUnicodeName macRoman;
    ASSERT_TRUE(macRoman.Construct(reinterpret_cast<const unsigned char *>("\x04" "Caf\x8E")));
    EXPECT_EQ(Utf8(macRoman), kComposed);

    // A script's text through the converter in the HFS Plus mapping: decomposed.
    LHFSUnicodeName scripted(reinterpret_cast<const unsigned char *>("\x04" "Caf\x8E"), smRoman);
    EXPECT_EQ(Utf8(scripted), kDecomposed);
    EXPECT_EQ(LogText(), "");
}

TEST_F(HFSNames, ConverterRoundTripsAndDecomposes) {
    LUnicodeTextConverter converter(smRoman, verUS);
    HFSUniStr255 name;
    ASSERT_EQ(converter.UTF8ToUnicode(kEmoji, name), noErr);
    EXPECT_EQ(name.length, 3);
    std::string utf8;
    ASSERT_EQ(converter.UnicodeToUTF8(name, utf8), noErr);
    EXPECT_EQ(utf8, kEmoji);

    ASSERT_EQ(converter.TextToUnicode(std::string("\x8E\x8A"), name), noErr);  // é ä in MacRoman
    EXPECT_EQ(Units(name), (std::vector<UniChar>{'e', 0x0301, 'a', 0x0308}));
    name.length = 0;
    ASSERT_EQ(converter.UnicodeToUTF8(name, utf8), noErr);
    EXPECT_EQ(utf8, "");

    // Text longer than a name: the converter's status, and the units that fit.
    EXPECT_NE(converter.TextToUnicode(std::string(300, 'x'), name), noErr);
    EXPECT_LE(name.length, 255);
    ClearLog();

    // A name longer than its record is refused, not read past.
    name.length = 400;
    EXPECT_EQ(converter.UnicodeToUTF8(name, utf8), paramErr);
}

TEST_F(HFSNames, RegionRejectedByTheScriptFallsBackOnce) {
    LUnicodeTextConverter converter(smRoman, verJapan);
    const std::string log = LogText();
    std::size_t reports = 0;
    for (std::size_t at = log.find(" code : status!=paramErr"); at != std::string::npos;
         at = log.find(" code : status!=paramErr", at + 1))
        ++reports;
    EXPECT_EQ(reports, 1u) << log;
    HFSUniStr255 name;
    EXPECT_EQ(converter.TextToUnicode(reinterpret_cast<const unsigned char *>("\x01\x8E"), name), noErr);
    EXPECT_EQ(Units(name), (std::vector<UniChar>{'e', 0x0301}));
}

TEST_F(HFSNames, PathsRefuseBrokenNames) {
    LHFSUnicodeName name("abc");
    name.unicode[1] = 0xD800;  // an unpaired high surrogate
    std::string text;
    EXPECT_FALSE(name.GetUnixPath(text));
    std::wstring wide;
    EXPECT_FALSE(name.GetUnixPath(wide));
    name.unicode[1] = 0;  // a NUL inside the name
    EXPECT_FALSE(name.GetUnixPath(text));

    name.set_length(300);  // refused: the record holds 255 units
    EXPECT_EQ(name.length, 3);
    name.set_length(254);
    EXPECT_FALSE(name.NullTerminateIt());
    EXPECT_FALSE(name.GetUnixPath(text));
    EXPECT_NE(LogText().find(" code : in_length<kMaxLength"), std::string::npos);
    EXPECT_NE(LogText().find(" code : fOk = (superclass_t::length<kMaxLength)"), std::string::npos);
}

TEST_F(HFSNames, OverwrittenGuardWordIsReportedOnDestruction) {
    auto name = std::make_unique<LHFSUnicodeName>("guarded");
    EXPECT_TRUE(name->IsMarked());
    // The guard words follow the 512-byte record.
    unsigned char *bytes = reinterpret_cast<unsigned char *>(name.get());
    std::memset(bytes + sizeof(HFSUniStr255), 0x55, 2);
    EXPECT_FALSE(name->IsMarked());
    EXPECT_FALSE(name->IsValid());
    name.reset();
    EXPECT_NE(LogText().find(" code : IsMarked()"), std::string::npos) << LogText();
}

}  // namespace
