#include <CoreX/CoreUnicode.h>
#include <CoreX/TCFString.h>

#include <gtest/gtest.h>

#include <string>

#include "../../platform/CoreFoundation/UTFCases.h"

namespace {

using Narrow = CoreUnicode::string_t<unsigned short, wchar_t>;
using Widen = CoreUnicode::string_t<wchar_t, unsigned short>;

TEST(CoreUnicode, NarrowingToUtf16) {
    struct Case {
        const char *name;
        std::wstring wide;
        std::u16string units;
    };
    const Case cases[] = {
        {"empty", L"", u""},
        {"BMP", L"a\u00e9\u65e5", u"a\u00e9\u65e5"},
        {"above U+FFFF", L"\U0001F600", {0xD83D, 0xDE00}},
        {"the last code point", L"\U0010FFFF", {0xDBFF, 0xDFFF}},
        {"no code point", {wchar_t(0x110000), wchar_t(-1)}, {0xFFFD, 0xFFFD}},
        {"a surrogate value", {wchar_t(0xD83D), wchar_t(0xDE00)}, {0xFFFD, 0xFFFD}},  // never a pair
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        Narrow narrow;
        narrow.assign(L"previous");
        ASSERT_TRUE(narrow.assign(c.wide.c_str()));
        ASSERT_EQ(narrow.length(), c.units.size());
        EXPECT_EQ(std::u16string(reinterpret_cast<const char16_t *>(narrow.c_str()), narrow.length()), c.units);
        EXPECT_EQ(narrow.c_str()[narrow.length()], 0);
    }
    Narrow none;
    EXPECT_FALSE(none.assign(nullptr));
    EXPECT_EQ(none.c_str(), nullptr);
}

TEST(CoreUnicode, WideningFromUtf16) {
    struct Case {
        const char *name;
        std::u16string units;
        std::wstring wide;
    };
    const Case cases[] = {
        {"empty", u"", L""},
        {"BMP", u"a\u00e9", L"a\u00e9"},
        {"a pair", {0x61, 0xD83D, 0xDE00, 0x62}, L"a\U0001F600b"},
        // An unpaired surrogate is no character: U+FFFD takes its place.
        {"a lone high surrogate at the end", {0x61, 0xD83D}, L"a\uFFFD"},
        {"a lone low surrogate", {0xDE00, 0x62}, L"\uFFFDb"},
        {"two high surrogates", {0xD83D, 0xD83D, 0xDE00}, L"\uFFFD\U0001F600"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const std::u16string terminated = c.units;  // c_str() adds the 0 unit
        Widen widen(reinterpret_cast<const unsigned short *>(terminated.c_str()));
        ASSERT_NE(widen.c_str(), nullptr);
        EXPECT_EQ(std::wstring(widen.c_str(), widen.length()), c.wide);
        EXPECT_EQ(widen.c_str()[widen.length()], 0);
    }
}

}  // namespace

// The wide conversions and TCFString follow the system's one UTF rule: what it calls invalid
// becomes U+FFFD in these lossy conversions, and invalid UTF-8 makes no string.
namespace {

TEST(CoreUnicode, UTFEdgeCasesFollowTheSharedRule) {
    for (const utf_cases::UTF16Case &c : utf_cases::kUTF16Cases) {
        SCOPED_TRACE(c.name);
        const std::u16string terminated = c.units;
        Widen widen(reinterpret_cast<const unsigned short *>(terminated.c_str()));
        const std::wstring wide(widen.c_str(), widen.length());
        if (c.valid) {
            EXPECT_EQ(wide, std::wstring(c.text.begin(), c.text.end()));
        } else {
            EXPECT_NE(wide.find(L'\uFFFD'), std::wstring::npos);
        }
    }
    for (const utf_cases::UTF32Case &c : utf_cases::kUTF32Cases) {
        SCOPED_TRACE(c.name);
        const wchar_t wide[2] = {static_cast<wchar_t>(c.value), 0};
        Narrow narrow(wide);
        const std::u16string units(reinterpret_cast<const char16_t *>(narrow.c_str()), narrow.length());
        std::u16string expected;
        cf::utf::AppendUTF32AsUTF16(std::u32string(1, c.value), expected, cf::utf::OnInvalid::Replace);
        EXPECT_EQ(units, expected);
        EXPECT_EQ(units == u"\uFFFD", !c.valid);

        std::string text;
        EXPECT_TRUE(TCFString(wide).GetValue(text, kCFStringEncodingUTF8));
        EXPECT_EQ(text == "\xEF\xBF\xBD", !c.valid) << text;
    }
    for (const utf_cases::UTF8Case &c : utf_cases::kUTF8Cases) {
        SCOPED_TRACE(c.name);
        TCFString string;
        EXPECT_EQ(string.SetValue(c.bytes, kCFStringEncodingUTF8), c.valid);
    }
}

}  // namespace
