#include <CoreX/TCFString.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <functional>
#include <regex>
#include <string>
#include <vector>

#include <CoreFoundation/CFNumber.h>

#include "CoreMachDebugLogTestSupport.h"

namespace {

// A lone "a", an e with acute accent, a CJK character, an emoji (outside the BMP).
const char *const kAccented = "Caf\xC3\xA9";                 // Café
const char *const kEmoji = "a\xF0\x9F\x98\x80" "b";          // a😀b
const char *const kJapanese = "\xE6\x97\xA5\xE6\x9C\xAC";    // 日本

std::string Utf8(const TCFString &string) {
    std::string text;
    string.GetValue(text, kCFStringEncodingUTF8);
    return text;
}

// ---- encodings ------------------------------------------------------------------------------

TEST(TCFStringEncodings, RoundTripTable) {
    struct Case {
        const char *name;
        std::string utf8;          // the text
        CFStringEncoding encoding;
        std::string bytes;         // its form in the encoding
    };
    const Case cases[] = {
        {"ASCII in UTF-8", "abc", kCFStringEncodingUTF8, "abc"},
        {"accent in UTF-8", kAccented, kCFStringEncodingUTF8, kAccented},
        {"emoji in UTF-8", kEmoji, kCFStringEncodingUTF8, kEmoji},
        {"accent in MacRoman", kAccented, kCFStringEncodingMacRoman, "Caf\x8E"},
        {"accent in WindowsLatin1", kAccented, kCFStringEncodingWindowsLatin1, "Caf\xE9"},
        {"accent in ISOLatin1", kAccented, kCFStringEncodingISOLatin1, "Caf\xE9"},
        {"ASCII in ASCII", "abc", kCFStringEncodingASCII, "abc"},
        {"accent in NonLossyASCII", kAccented, kCFStringEncodingNonLossyASCII, "Caf\\351"},
        {"ASCII in NextStepLatin", "abc", kCFStringEncodingNextStepLatin, "abc"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        TCFString fromBytes;
        ASSERT_TRUE(fromBytes.SetValue(c.bytes.c_str(), c.encoding));
        EXPECT_EQ(Utf8(fromBytes), c.utf8);

        const TCFString fromUtf8(c.utf8);
        std::string bytes;
        EXPECT_TRUE(fromUtf8.GetValue(bytes, c.encoding));
        EXPECT_EQ(bytes, c.bytes);
        std::string same;
        EXPECT_TRUE(fromUtf8.GetConstCharStarValue(same, c.encoding));
        EXPECT_EQ(same, c.bytes);
    }
}

TEST(TCFStringEncodings, EmptyStringIsValidButHasNoText) {
    TCFString empty("");
    EXPECT_TRUE(empty.IsValid());
    EXPECT_EQ(empty.strlen(), 0);
    std::string text = "old";
    EXPECT_FALSE(empty.GetValue(text, kCFStringEncodingUTF8));
    EXPECT_EQ(text, "");
    std::wstring wide = L"old";
    EXPECT_TRUE(empty.GetValue(wide));
    EXPECT_EQ(wide, L"");
    const unsigned short *units = nullptr;
    long length = -1;
    ASSERT_TRUE(empty.GetValue(units, length));
    EXPECT_EQ(length, 0);
    EXPECT_EQ(units[0], 0);
    std::free(const_cast<unsigned short *>(units));
}

TEST(TCFStringEncodings, FallsBackToThePreferredEncodings) {
    const TCFString japanese(kJapanese);
    std::string text;
    EXPECT_TRUE(japanese.GetValue(text, kCFStringEncodingMacRoman));  // no MacRoman form
    EXPECT_EQ(text, kJapanese);                                       // so UTF-8
    EXPECT_TRUE(TCFString("abc").GetValue(text, kCFStringEncodingInvalidId));
    EXPECT_EQ(text, "abc");
}

TEST(TCFStringEncodings, PascalStrings) {
    const unsigned char macRoman[] = {4, 'C', 'a', 'f', 0x8E};
    TCFString string;
    ASSERT_TRUE(string.SetValue(macRoman, kCFStringEncodingMacRoman));
    EXPECT_EQ(Utf8(string), kAccented);

    unsigned char out[256];
    ASSERT_TRUE(string.GetValue(out));
    EXPECT_EQ(std::basic_string<unsigned char>(out, out[0] + 1u), std::basic_string<unsigned char>(macRoman, 5));

    const TCFString long300(std::string(300, 'p'));
    ASSERT_TRUE(long300.GetValue(out));
    EXPECT_EQ(out[0], 255);
}

// ---- UTF-16 and wide text -------------------------------------------------------------------

TEST(TCFStringUnicode, WideTextBecomesUtf16WithSurrogatePairs) {
    const wchar_t *wide = L"a\U0001F600b";
    TCFString string(wide);
    EXPECT_EQ(string.strlen(), 4);
    EXPECT_EQ(Utf8(string), kEmoji);

    TCFString assigned;
    assigned = L"\u00e9\U00010348";
    EXPECT_EQ(assigned.strlen(), 3);
    EXPECT_EQ(Utf8(assigned), "\xC3\xA9\xF0\x90\x8D\x88");

    std::wstring back;
    ASSERT_TRUE(string.GetValue(back));
    EXPECT_EQ(back, std::wstring(wide));
    EXPECT_EQ(back.size(), 3u);

    TCFString fromStd(std::wstring(L"x\U0001F600"));
    EXPECT_EQ(fromStd.strlen(), 3);
}

TEST(TCFStringUnicode, UnitsAreExactlyTheStringsUnitsAndAZero) {
    const TCFString string(kEmoji);
    const unsigned short *units = nullptr;
    long length = 0;
    ASSERT_TRUE(string.GetValue(units, length));
    ASSERT_EQ(length, 4);
    const unsigned short expected[] = {0x61, 0xD83D, 0xDE00, 0x62, 0};
    EXPECT_EQ(std::memcmp(units, expected, sizeof expected), 0);

    TCFString back;
    ASSERT_TRUE(back.SetValue(units));
    EXPECT_EQ(Utf8(back), kEmoji);
    std::free(const_cast<unsigned short *>(units));
}

TEST(TCFStringUnicode, HFSNamesConvertBothWays) {
    // 200 units: ASCII, accented letters and CJK characters.
    std::string text;
    for (int i = 0; i < 50; ++i) text += std::string("a") + "\xC3\xA9" + "\xE6\x97\xA5" + "z";
    HFSUniStr255 name{};
    ASSERT_TRUE(TCFString::ToUnicode(text.c_str(), name, kCFStringEncodingUTF8));
    EXPECT_EQ(name.length, 200);
    EXPECT_EQ(name.unicode[1], 0x00E9);
    EXPECT_EQ(name.unicode[2], 0x65E5);
    std::string back;
    ASSERT_TRUE(TCFString::FromUnicode(name, back, kCFStringEncodingUTF8));
    EXPECT_EQ(back, text);

    const TCFString fromName(name);
    EXPECT_EQ(fromName.strlen(), 200);

    std::wstring wide;
    ASSERT_TRUE(TCFString::ToUnicode(text.c_str(), wide, kCFStringEncodingUTF8));
    EXPECT_EQ(wide.size(), 200u);
    std::string fromWide;
    ASSERT_TRUE(TCFString::FromUnicode(wide.c_str(), fromWide, kCFStringEncodingUTF8));
    EXPECT_EQ(fromWide, text);

    const unsigned char pascal[] = {3, 'a', 'b', 'c'};
    ASSERT_TRUE(TCFString::ToUnicode(pascal, name, kCFStringEncodingMacRoman));
    EXPECT_EQ(name.length, 3);
}

TEST(TCFStringUnicode, HFSNamesKeep255UnitsAndNeverSplitAPair) {
    HFSUniStr255 name{};
    ASSERT_TRUE(TCFString(std::string(300, 'n')).GetValue(name));
    EXPECT_EQ(name.length, 255);

    // 254 letters, then an emoji whose second half would be unit 256.
    const std::string split = std::string(254, 'n') + "\xF0\x9F\x98\x80";
    ASSERT_TRUE(TCFString(split).GetValue(name));
    EXPECT_EQ(name.length, 254);

    // A record whose length field claims more than 255 units is read as 255.
    HFSUniStr255 corrupt{};
    corrupt.length = 400;
    for (UniChar &unit : corrupt.unicode) unit = 'c';
    EXPECT_EQ(TCFString(corrupt).strlen(), 255);
}

// ---- reports --------------------------------------------------------------------------------

class TCFStringReports : public corex_test::DebugLogFileTest {
protected:
    // The report line of a check in T_CFString_inlines.h; the line number as given or any.
    static std::string Line(const std::string &expression, const std::string &function, const char *line = "[0-9]+") {
        return "VERIFY FAILED:  code : " + expression + " in [^ ]*/sdk/CoreX/T_CFString_inlines\\.h:" + line +
               " \\(" + function + "\\)\n";
    }
    void ExpectLog(const std::string &pattern) {
        EXPECT_TRUE(std::regex_match(LogText(), std::regex(pattern))) << LogText();
        ClearLog();
    }
};

TEST_F(TCFStringReports, NullInputsAreReported) {
    TCFString fromNull(static_cast<const char *>(nullptr));
    EXPECT_FALSE(fromNull.IsValid());
    ExpectLog(Line("in_cstring!=NULL", "TCFString", "26"));

    TCFString fromNullWide(static_cast<const wchar_t *>(nullptr));
    EXPECT_FALSE(fromNullWide.IsValid());
    ExpectLog(Line("in_wide_cstring!=NULL", "TCFString", "37"));

    TCFString string("keep");
    EXPECT_FALSE(string.SetValue(static_cast<const char *>(nullptr), kCFStringEncodingUTF8));
    ExpectLog(Line("in_cstring!=NULL", "SetValue"));
    string = static_cast<const char *>(nullptr);
    ExpectLog(Line("in_cstring!=NULL", "operator="));
    string = static_cast<const wchar_t *>(nullptr);
    ExpectLog(Line("in_wide_cstring!=NULL", "operator="));
    EXPECT_FALSE(string.SetValue(static_cast<const unsigned char *>(nullptr), kCFStringEncodingMacRoman));
    ExpectLog(Line("in_pstring!=NULL", "SetValue"));
    EXPECT_FALSE(string.SetValue(static_cast<const unsigned short *>(nullptr)));
    ExpectLog(Line("in_cstring!=NULL", "SetValue"));

    HFSUniStr255 name;
    EXPECT_FALSE(TCFString::ToUnicode(static_cast<const unsigned char *>(nullptr), name, kCFStringEncodingMacRoman));
    ExpectLog(Line("in_pstring!=NULL", "ToUnicode"));
    EXPECT_FALSE(TCFString::ToUnicode(static_cast<const char *>(nullptr), name, kCFStringEncodingUTF8));
    ExpectLog(Line("in_utf8_cstring!=NULL", "ToUnicode"));
    std::string text;
    EXPECT_FALSE(TCFString::FromUnicode(static_cast<const wchar_t *>(nullptr), text, kCFStringEncodingUTF8));
    ExpectLog(Line("in_wide_cstring!=NULL", "FromUnicode"));
}

TEST_F(TCFStringReports, InvalidStringsAreReported) {
    const TCFString empty;
    EXPECT_EQ(empty.strlen(), 0);
    ExpectLog(Line("IsValid\\(\\)", "strlen"));
    const unsigned short *units = reinterpret_cast<const unsigned short *>(1);
    long length = 0;
    EXPECT_FALSE(empty.GetValue(units, length));
    EXPECT_EQ(units, nullptr);
    ExpectLog(Line("IsTypeValid\\(\\)", "GetValue"));
}

TEST_F(TCFStringReports, TextThatIsNotInTheEncodingIsLogged) {
    TCFString string("keep");
    EXPECT_FALSE(string.SetValue("\xFF", kCFStringEncodingUTF8));
    EXPECT_FALSE(string.IsValid());
    ExpectLog("TCFString::SetValue in_cstring:\xFF inFromThisEncoding:134217984\n");
}

TEST_F(TCFStringReports, Strcmp) {
    const TCFString a("a");
    CFStringRef b = CFStringCreateWithCString(nullptr, "b", kCFStringEncodingUTF8);
    const int number = 1;
    CFNumberRef notAString = CFNumberCreate(nullptr, kCFNumberIntType, &number);
    struct Case {
        const char *name;
        std::function<int()> compare;
        int expected;
        std::string log;  // the report, "" for none
    };
    const Case cases[] = {
        {"a, b", [&] { return a.strcmp("b"); }, -1, ""},
        {"b, a", [] { return TCFString("b").strcmp("a"); }, 1, ""},
        {"a, a", [&] { return a.strcmp("a"); }, 0, ""},
        {"a, CFString b", [&] { return a.strcmp(b); }, -1, ""},
        {"by UTF-16 units", [] { return TCFString(kEmoji).strcmp("a\xEF\xBF\xBF"); }, -1, ""},
        {"null CFString", [&] { return a.strcmp(static_cast<CFStringRef>(nullptr)); }, -1,
         Line("rhs_StringRef!=NULL", "strcmp")},
        {"not a string", [&] { return a.strcmp(reinterpret_cast<CFStringRef>(notAString)); }, -1,
         Line("CFGetTypeID\\(rhs_StringRef\\)==CFStringGetTypeID\\(\\)", "strcmp")},
        {"null C string", [&] { return a.strcmp(static_cast<const char *>(nullptr)); }, -1,
         Line("in_rhs_utf8_cstring!=NULL", "strcmp")},
        {"invalid left side", [] { return TCFString().strcmp("a"); }, -1, Line("IsValid\\(\\)", "strcmp")},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.compare(), c.expected);
        ExpectLog(c.log);
    }
    CFRelease(b);
    CFRelease(notAString);
}

// ---- ownership ------------------------------------------------------------------------------

TEST(TCFStringOwnership, BorrowedIsNotReleasedOwnedIsReleasedOnce) {
    CFStringRef string = CFStringCreateWithCString(nullptr, "owned", kCFStringEncodingUTF8);
    ASSERT_EQ(CFGetRetainCount(string), 1);
    {
        const TCFString borrowed(string, kCFTypeRef_Borrowed);
        EXPECT_EQ(Utf8(borrowed), "owned");
    }
    EXPECT_EQ(CFGetRetainCount(string), 1);

    CFRetain(string);  // the reference handed over
    {
        TCFString owned(string, kCFTypeRef_Owned);
        EXPECT_EQ(CFGetRetainCount(string), 2);
        {
            const TCFString copy(owned);  // retains for itself
            EXPECT_EQ(CFGetRetainCount(string), 3);
        }
        EXPECT_EQ(CFGetRetainCount(string), 2);
        TCFString moved(std::move(owned));
        EXPECT_EQ(CFGetRetainCount(string), 2);
        moved.construct(string, kCFTypeRef_Borrowed);  // lets the owned one go first
        EXPECT_EQ(CFGetRetainCount(string), 1);
    }
    EXPECT_EQ(CFGetRetainCount(string), 1);

    CFRetain(string);
    {
        TCFString reassigned(string, kCFTypeRef_Owned);
        reassigned = "other";  // the setter's string replaces it
        EXPECT_EQ(CFGetRetainCount(string), 1);
    }
    CFRelease(string);
}

TEST(TCFStringOwnership, AWrongTypeThrowsAndAnOwnedOneIsReleased) {
    const int value = 7;
    CFNumberRef number = CFNumberCreate(nullptr, kCFNumberIntType, &value);
    EXPECT_THROW(TCFString(reinterpret_cast<CFStringRef>(number), kCFTypeRef_Borrowed), CFTypeRefClass::TypeException);
    EXPECT_EQ(CFGetRetainCount(number), 1);

    CFRetain(number);
    TCFString string("before");
    EXPECT_THROW(string.construct(reinterpret_cast<CFStringRef>(number), kCFTypeRef_Owned),
                 CFTypeRefClass::TypeException);
    EXPECT_EQ(CFGetRetainCount(number), 1);
    EXPECT_EQ(string.Get(), nullptr);
    CFRelease(number);
}

}  // namespace
