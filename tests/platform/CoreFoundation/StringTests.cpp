#include <gtest/gtest.h>

#include <CoreFoundation/CoreFoundation.h>

#include <bit>
#include <climits>
#include <cstring>
#include <cwchar>
#include <thread>
#include <vector>

#include "CFTestSupport.h"

using cftest::MakeString;
using cftest::Owned;
using cftest::Text;

namespace {

std::string Bytes(std::initializer_list<int> values) {
    std::string bytes;
    for (const int value : values) bytes.push_back(char(value));
    return bytes;
}

std::u16string Units(CFStringRef string) {
    std::u16string units(size_t(CFStringGetLength(string)), u'\0');
    CFStringGetCharacters(string, CFRangeMake(0, CFIndex(units.size())), reinterpret_cast<UniChar *>(units.data()));
    return units;
}

CFStringRef FromUnits(const std::u16string &units) {
    return CFStringCreateWithCharacters(nullptr, reinterpret_cast<const UniChar *>(units.data()), CFIndex(units.size()));
}

CFStringRef FromBytes(const std::string &bytes, CFStringEncoding encoding, bool external = false) {
    return CFStringCreateWithBytes(nullptr, reinterpret_cast<const UInt8 *>(bytes.data()), CFIndex(bytes.size()),
                                   encoding, external);
}

std::string AllBytes(CFStringRef string, CFStringEncoding encoding, UInt8 lossByte = 0, bool external = false,
                     CFIndex *converted = nullptr) {
    const CFRange all = CFRangeMake(0, CFStringGetLength(string));
    CFIndex used = 0;
    CFStringGetBytes(string, all, encoding, lossByte, external, nullptr, 0, &used);
    std::string bytes(size_t(used), '\0');
    const CFIndex count = CFStringGetBytes(string, all, encoding, lossByte, external,
                                           reinterpret_cast<UInt8 *>(bytes.data()), used, &used);
    if (converted) *converted = count;
    bytes.resize(size_t(used));
    return bytes;
}

std::string Format(CFStringRef format, ...) {
    va_list arguments;
    va_start(arguments, format);
    Owned<CFStringRef> result(CFStringCreateWithFormatAndArguments(nullptr, nullptr, format, arguments));
    va_end(arguments);
    return Text(result);
}

const std::u16string kGrinning = u"\U0001F600";  // outside the Basic Multilingual Plane

// ---------------------------------------------------------------------------------------
// Encodings

struct RoundTrip {
    const char *name;
    CFStringEncoding encoding;
    std::u16string text;
    std::string bytes;
};

const RoundTrip kRoundTrips[] = {
    {"MacRoman", kCFStringEncodingMacRoman, u"café π €", Bytes({'c', 'a', 'f', 0x8E, ' ', 0xB9, ' ', 0xDB})},
    {"WindowsLatin1", kCFStringEncodingWindowsLatin1, u"café € œ “", Bytes({'c', 'a', 'f', 0xE9, ' ', 0x80, ' ', 0x9C, ' ', 0x93})},
    {"ISOLatin1", kCFStringEncodingISOLatin1, u"café ÿ", Bytes({'c', 'a', 'f', 0xE9, ' ', 0xFF})},
    {"NextStepLatin", kCFStringEncodingNextStepLatin, u"é ﬁ Ł ß", Bytes({0xDD, ' ', 0xAE, ' ', 0xE8, ' ', 0xFB})},
    {"ASCII", kCFStringEncodingASCII, u"plain text", "plain text"},
    {"UTF8", kCFStringEncodingUTF8, u"a" + kGrinning + u"é", Bytes({'a', 0xF0, 0x9F, 0x98, 0x80, 0xC3, 0xA9})},
    {"Unicode", kCFStringEncodingUnicode, u"a" + kGrinning,
     std::endian::native == std::endian::little ? Bytes({'a', 0, 0x3D, 0xD8, 0x00, 0xDE})
                                                : Bytes({0, 'a', 0xD8, 0x3D, 0xDE, 0x00})},
    {"UTF16BE", kCFStringEncodingUTF16BE, u"a" + kGrinning, Bytes({0, 'a', 0xD8, 0x3D, 0xDE, 0x00})},
    {"UTF16LE", kCFStringEncodingUTF16LE, u"a" + kGrinning, Bytes({'a', 0, 0x3D, 0xD8, 0x00, 0xDE})},
    {"NonLossyASCII", kCFStringEncodingNonLossyASCII, u"a\\é€" + kGrinning,
     "a\\\\\\351\\u20ac\\ud83d\\ude00"},
};

TEST(CFStringEncoding, RoundTripsEveryEncoding) {
    for (const RoundTrip &c : kRoundTrips) {
        SCOPED_TRACE(c.name);
        EXPECT_TRUE(CFStringIsEncodingAvailable(c.encoding));
        Owned<CFStringRef> decoded(FromBytes(c.bytes, c.encoding));
        ASSERT_TRUE(decoded);
        EXPECT_EQ(Units(decoded), c.text);

        Owned<CFStringRef> source(FromUnits(c.text));
        CFIndex converted = 0;
        EXPECT_EQ(AllBytes(source, c.encoding, 0, false, &converted), c.bytes);
        EXPECT_EQ(converted, CFIndex(c.text.size()));

        // As a C string: the bytes, then a zero (two zero bytes for UTF-16).
        const size_t terminator = (c.encoding & 0xFFFF) == 0x0100 && c.encoding != kCFStringEncodingUTF8 ? 2 : 1;
        std::string buffer(c.bytes.size() + terminator, '\x7F');
        ASSERT_TRUE(CFStringGetCString(source, buffer.data(), CFIndex(buffer.size()), c.encoding));
        EXPECT_EQ(buffer, c.bytes + std::string(terminator, '\0'));
        EXPECT_FALSE(CFStringGetCString(source, buffer.data(), CFIndex(buffer.size() - 1), c.encoding));

        buffer.assign(c.bytes + std::string(terminator, '\0'));
        Owned<CFStringRef> again(CFStringCreateWithCString(nullptr, buffer.data(), c.encoding));
        ASSERT_TRUE(again);
        EXPECT_EQ(Units(again), c.text);

        // The empty string in every encoding.
        Owned<CFStringRef> empty(FromBytes("", c.encoding));
        ASSERT_TRUE(empty);
        EXPECT_EQ(CFStringGetLength(empty), 0);
        char zeros[2] = {'x', 'x'};
        EXPECT_TRUE(CFStringGetCString(empty, zeros, 2, c.encoding));
        EXPECT_EQ(zeros[0], 0);
    }
}

TEST(CFStringEncoding, CharacterMissingInTheTargetEncoding) {
    struct Missing {
        std::u16string text;
        CFStringEncoding encoding;
    } const cases[] = {
        {u"a€b", kCFStringEncodingISOLatin1},   {u"a" + kGrinning, kCFStringEncodingMacRoman},
        {u"aπ", kCFStringEncodingWindowsLatin1}, {u"zł", kCFStringEncodingASCII},
        {u"a€", kCFStringEncodingNextStepLatin}, {u"a\xD800", kCFStringEncodingUTF8},  // a lone surrogate
    };
    for (const Missing &c : cases) {
        SCOPED_TRACE(c.encoding);
        Owned<CFStringRef> string(FromUnits(c.text));
        char buffer[32];
        EXPECT_FALSE(CFStringGetCString(string, buffer, sizeof buffer, c.encoding));
        CFIndex converted = -1;
        EXPECT_EQ(AllBytes(string, c.encoding, 0, false, &converted), c.text.substr(0, 1) == u"z" ? "z" : "a");
        EXPECT_EQ(converted, 1);
        // With a loss byte the character (a surrogate pair too) becomes one '?'.
        const std::string lossy = AllBytes(string, c.encoding, '?', false, &converted);
        EXPECT_EQ(converted, CFIndex(c.text.size()));
        EXPECT_EQ(lossy.substr(1, 1), "?");
    }
}

TEST(CFStringEncoding, InvalidInputGivesNoString) {
    const struct {
        std::string bytes;
        CFStringEncoding encoding;
    } cases[] = {
        {Bytes({0xC3, 0x28}), kCFStringEncodingUTF8},              // bad continuation
        {Bytes({0xC0, 0xAF}), kCFStringEncodingUTF8},              // overlong
        {Bytes({0xED, 0xA0, 0x80}), kCFStringEncodingUTF8},        // an encoded surrogate
        {Bytes({0xF4, 0x90, 0x80, 0x80}), kCFStringEncodingUTF8},  // past U+10FFFF
        {Bytes({'a', 0xE2, 0x82}), kCFStringEncodingUTF8},         // truncated
        {Bytes({0x80}), kCFStringEncodingASCII},
        {Bytes({0x81}), kCFStringEncodingWindowsLatin1},  // no character at 0x81
        {Bytes({0xFF}), kCFStringEncodingNextStepLatin},
        {"\\x", kCFStringEncodingNonLossyASCII},
        {"\\u12", kCFStringEncodingNonLossyASCII},
        {"\\9", kCFStringEncodingNonLossyASCII},
        {"end\\", kCFStringEncodingNonLossyASCII},
        {Bytes({'a', 0, 'b'}), kCFStringEncodingUTF16BE},  // odd length
        {"abc", 0x0C01},                                   // an encoding this layer does not know
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.bytes);
        EXPECT_EQ(FromBytes(c.bytes, c.encoding), nullptr);
    }
    EXPECT_EQ(CFStringCreateWithCString(nullptr, nullptr, kCFStringEncodingUTF8), nullptr);
    EXPECT_EQ(CFStringCreateWithBytes(nullptr, nullptr, 3, kCFStringEncodingUTF8, false), nullptr);
    EXPECT_FALSE(CFStringIsEncodingAvailable(kCFStringEncodingInvalidId));
}

TEST(CFStringEncoding, ExternalRepresentationCarriesAByteOrderMark) {
    Owned<CFStringRef> string(FromUnits(u"hi"));
    const std::string external = AllBytes(string, kCFStringEncodingUnicode, 0, true);
    ASSERT_EQ(external.size(), 6u);
    Owned<CFStringRef> back(FromBytes(external, kCFStringEncodingUnicode, true));
    EXPECT_EQ(Units(back), u"hi");
    // A big-endian mark is honoured whatever the host order.
    Owned<CFStringRef> big(FromBytes(Bytes({0xFE, 0xFF, 0, 'o', 0, 'k'}), kCFStringEncodingUnicode, true));
    EXPECT_EQ(Units(big), u"ok");
    Owned<CFStringRef> utf8(FromBytes(Bytes({0xEF, 0xBB, 0xBF, 'o', 'k'}), kCFStringEncodingUTF8, true));
    EXPECT_EQ(Units(utf8), u"ok");
}

TEST(CFStringEncoding, UTF16CStringEndsAtASixteenBitZero) {
    // 'a' and 'b' as 16-bit units hold zero bytes; the C string goes on to the zero unit.
    const UniChar units[] = {'a', 0x20AC, 'b', 0};
    Owned<CFStringRef> string(
        CFStringCreateWithCString(nullptr, reinterpret_cast<const char *>(units), kCFStringEncodingUnicode));
    EXPECT_EQ(Units(string), u"a€b");
    UniChar out[4] = {1, 1, 1, 1};
    EXPECT_TRUE(CFStringGetCString(string, reinterpret_cast<char *>(out), sizeof out, kCFStringEncodingUnicode));
    EXPECT_EQ(std::memcmp(out, units, sizeof units), 0);
}

TEST(CFStringEncoding, MaximumSize) {
    EXPECT_EQ(CFStringGetMaximumSizeForEncoding(4, kCFStringEncodingUTF8), 12);
    EXPECT_EQ(CFStringGetMaximumSizeForEncoding(4, kCFStringEncodingMacRoman), 4);
    EXPECT_EQ(CFStringGetMaximumSizeForEncoding(4, kCFStringEncodingUTF16BE), 8);
    EXPECT_EQ(CFStringGetMaximumSizeForEncoding(4, kCFStringEncodingNonLossyASCII), 24);
    EXPECT_EQ(CFStringGetMaximumSizeForEncoding(4, kCFStringEncodingInvalidId), kCFNotFound);
    EXPECT_EQ(CFStringGetMaximumSizeForEncoding(LONG_MAX / 2, kCFStringEncodingUTF8), kCFNotFound);
    // The bound holds for the widest characters.
    Owned<CFStringRef> wide(FromUnits(u"€€" + kGrinning));
    EXPECT_LE(CFIndex(AllBytes(wide, kCFStringEncodingUTF8).size()),
              CFStringGetMaximumSizeForEncoding(CFStringGetLength(wide), kCFStringEncodingUTF8));
}

// ---------------------------------------------------------------------------------------
// CFStringGetCStringPtr and CFStringGetBytes

TEST(CFStringCStringPtr, AnswersOnlyTheStringsOwnEightBitForm) {
    const char *literal = CFStringGetCStringPtr(CFSTR("abc"), kCFStringEncodingUTF8);
    ASSERT_NE(literal, nullptr);
    EXPECT_STREQ(literal, "abc");
    EXPECT_STREQ(CFStringGetCStringPtr(CFSTR("abc"), kCFStringEncodingMacRoman), "abc");
    EXPECT_EQ(CFStringGetCStringPtr(CFSTR("abc"), kCFStringEncodingUnicode), nullptr);
    EXPECT_EQ(CFStringGetCStringPtr(CFSTR("a\\b"), kCFStringEncodingNonLossyASCII), nullptr);

    // Made from Mac Roman bytes: those bytes in Mac Roman, nothing in UTF-8.
    Owned<CFStringRef> roman(CFStringCreateWithCString(nullptr, "caf\x8E", kCFStringEncodingMacRoman));
    EXPECT_STREQ(CFStringGetCStringPtr(roman, kCFStringEncodingMacRoman), "caf\x8E");
    EXPECT_EQ(CFStringGetCStringPtr(roman, kCFStringEncodingUTF8), nullptr);

    Owned<CFStringRef> utf8(MakeString("café"));
    EXPECT_STREQ(CFStringGetCStringPtr(utf8, kCFStringEncodingUTF8), "café");
    EXPECT_EQ(CFStringGetCStringPtr(utf8, kCFStringEncodingISOLatin1), nullptr);

    Owned<CFStringRef> asciiUnits(FromUnits(u"plain"));
    EXPECT_STREQ(CFStringGetCStringPtr(asciiUnits, kCFStringEncodingUTF8), "plain");
    Owned<CFStringRef> wideUnits(FromUnits(u"é"));
    EXPECT_EQ(CFStringGetCStringPtr(wideUnits, kCFStringEncodingUTF8), nullptr);

    Owned<CFStringRef> withZero(FromBytes(Bytes({'a', 0, 'b'}), kCFStringEncodingUTF8));
    EXPECT_EQ(CFStringGetLength(withZero), 3);
    EXPECT_EQ(CFStringGetCStringPtr(withZero, kCFStringEncodingUTF8), nullptr);
}

TEST(CFStringCStringPtr, MutableStringsNeverAnswerStaleBytes) {
    Owned<CFMutableStringRef> text(CFStringCreateMutableCopy(nullptr, 0, CFSTR("abc")));
    EXPECT_EQ(CFStringGetCStringPtr(text, kCFStringEncodingUTF8), nullptr);
    CFStringAppendCString(text, "d", kCFStringEncodingUTF8);
    EXPECT_EQ(CFStringGetCStringPtr(text, kCFStringEncodingUTF8), nullptr);
    Owned<CFStringRef> frozen(CFStringCreateCopy(nullptr, text));
    EXPECT_STREQ(CFStringGetCStringPtr(frozen, kCFStringEncodingUTF8), "abcd");
}

TEST(CFStringGetBytes, NeverWritesPastTheBuffer) {
    Owned<CFStringRef> string(MakeString("héllo"));  // 5 units, 6 UTF-8 bytes
    UInt8 buffer[8];
    CFIndex used = -1;
    std::memset(buffer, 0xAA, sizeof buffer);
    // é takes two bytes: with three bytes "hé" fits, with two only "h".
    EXPECT_EQ(CFStringGetBytes(string, CFRangeMake(0, 5), kCFStringEncodingUTF8, 0, false, buffer, 3, &used), 2);
    EXPECT_EQ(used, 3);
    EXPECT_EQ(buffer[3], 0xAA);
    EXPECT_EQ(CFStringGetBytes(string, CFRangeMake(0, 5), kCFStringEncodingUTF8, 0, false, buffer, 2, &used), 1);
    EXPECT_EQ(used, 1);
    // A null buffer measures, whatever maxBufLen says.
    EXPECT_EQ(CFStringGetBytes(string, CFRangeMake(0, 5), kCFStringEncodingUTF8, 0, false, nullptr, 0, &used), 5);
    EXPECT_EQ(used, 6);
    // A sub-range.
    EXPECT_EQ(CFStringGetBytes(string, CFRangeMake(2, 3), kCFStringEncodingUTF8, 0, false, buffer, 8, &used), 3);
    EXPECT_EQ(std::string(reinterpret_cast<char *>(buffer), size_t(used)), "llo");
    // Ranges outside the string convert nothing.
    EXPECT_EQ(CFStringGetBytes(string, CFRangeMake(3, 3), kCFStringEncodingUTF8, 0, false, buffer, 8, &used), 0);
    EXPECT_EQ(used, 0);
    EXPECT_EQ(CFStringGetBytes(string, CFRangeMake(-1, 2), kCFStringEncodingUTF8, 0, false, buffer, 8, &used), 0);

    // A surrogate pair is never split.
    Owned<CFStringRef> pair(FromUnits(u"a" + kGrinning));
    EXPECT_EQ(CFStringGetBytes(pair, CFRangeMake(0, 3), kCFStringEncodingUTF16BE, 0, false, buffer, 5, &used), 1);
    EXPECT_EQ(used, 2);
    // The byte-order mark must fit first.
    EXPECT_EQ(CFStringGetBytes(pair, CFRangeMake(0, 3), kCFStringEncodingUnicode, 0, true, buffer, 1, &used), 0);
    EXPECT_EQ(used, 0);
}

// ---------------------------------------------------------------------------------------
// Formatting

TEST(CFStringFormat, PrintfConversionsWithFlagsWidthsAndPrecision) {
    EXPECT_EQ(Format(CFSTR("%d|%5d|%-5d|%05.1f|%x|%lld|%zu"), 42, 7, 7, 3.14159, 255, -9000000000LL, size_t(12)),
              "42|    7|7    |003.1|ff|-9000000000|12");
    EXPECT_EQ(Format(CFSTR("[%*d][%-*d][%.*s]"), 4, 1, 3, 2, 2, "abcdef"), "[   1][2  ][ab]");
    EXPECT_EQ(Format(CFSTR("%hhd %hu %lu %c %s %%"), 300, 70000, 4000000000UL, 'z', "é"), "44 4464 4000000000 z é %");
    EXPECT_EQ(Format(CFSTR("%.3e|%g|%Lg"), 12345.678, 0.5, 2.5L), "1.235e+04|0.5|2.5");
    EXPECT_EQ(Format(CFSTR("%s"), static_cast<const char *>(nullptr)), "(null)");
}

TEST(CFStringFormat, ObjectsAndUnicodeConversions) {
    const SInt32 fortyTwo = 42;
    Owned<CFNumberRef> number(CFNumberCreate(nullptr, kCFNumberSInt32Type, &fortyTwo));
    EXPECT_EQ(Format(CFSTR("%@ and %@ and %@"), CFSTR("abc"), number.get(), nullptr), "abc and 42 and (null)");
    EXPECT_EQ(Format(CFSTR("[%6@][%-6@]"), CFSTR("ab"), CFSTR("cd")), "[    ab][cd    ]");
    EXPECT_EQ(Format(CFSTR("%@"), kCFBooleanTrue), "true");
    const UniChar units[] = {'o', 0x20AC, 'k', 0};
    EXPECT_EQ(Format(CFSTR("%C|%S|%ls|%lc"), 0x20AC, units, L"wide\U0001F600", wint_t(0xE9)), "€|o€k|wide😀|é");
    // Non-ASCII text in the format survives.
    EXPECT_EQ(Format(CFSTR("été %d"), 1), "été 1");
}

TEST(CFStringFormat, OddConversionsAreHarmless) {
    int count = 7;
    EXPECT_EQ(Format(CFSTR("ab%n|%y|%"), &count), "ab|%y|%");
    EXPECT_EQ(count, 7);  // %n never writes
    EXPECT_EQ(Format(CFSTR("%2000000d"), 1), "<null>");  // an absurd width is an error, not gigabytes
}

TEST(CFStringFormat, AppendFormat) {
    Owned<CFMutableStringRef> text(CFStringCreateMutable(nullptr, 0));
    CFStringAppendFormat(text, nullptr, CFSTR("%s-%d"), "x", 1);
    CFStringAppendFormat(text, nullptr, CFSTR("/%@"), CFSTR("y"));
    EXPECT_EQ(Text(text), "x-1/y");
}

// ---------------------------------------------------------------------------------------
// Comparison, substrings, mutation, literals

TEST(CFStringCompare, OrderAndCaseInsensitivity) {
    const struct {
        const char *a, *b;
        CFStringCompareFlags options;
        CFComparisonResult expected;
    } cases[] = {
        {"abc", "abc", 0, kCFCompareEqualTo},
        {"abc", "abd", 0, kCFCompareLessThan},
        {"b", "a", 0, kCFCompareGreaterThan},
        {"abc", "ab", 0, kCFCompareGreaterThan},
        {"a", "A", 0, kCFCompareGreaterThan},
        {"abc", "ABC", kCFCompareCaseInsensitive, kCFCompareEqualTo},
        {"ÉCOLE", "école", kCFCompareCaseInsensitive, kCFCompareEqualTo},
        {"ΣΟΦΊΑ", "σοφία", kCFCompareCaseInsensitive, kCFCompareEqualTo},
        {"ПРИВЕТ", "привет", kCFCompareCaseInsensitive, kCFCompareEqualTo},
        {"ŁÓDŹ", "łódź", kCFCompareCaseInsensitive, kCFCompareEqualTo},
        {"apple", "BANANA", kCFCompareCaseInsensitive, kCFCompareLessThan},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(std::string(c.a) + " / " + c.b);
        Owned<CFStringRef> a(MakeString(c.a)), b(MakeString(c.b));
        EXPECT_EQ(CFStringCompare(a, b, c.options), c.expected);
    }
    EXPECT_EQ(CFStringCompare(nullptr, CFSTR("a"), 0), kCFCompareLessThan);
}

TEST(CFString, SubstringsPrefixesAndCharacters) {
    Owned<CFStringRef> text(FromUnits(u"x" + kGrinning + u"yz"));
    EXPECT_EQ(CFStringGetLength(text), 5);  // UTF-16 units
    EXPECT_EQ(CFStringGetCharacterAtIndex(text, 1), 0xD83D);
    EXPECT_EQ(CFStringGetCharacterAtIndex(text, 9), 0);
    Owned<CFStringRef> middle(CFStringCreateWithSubstring(nullptr, text, CFRangeMake(1, 3)));
    EXPECT_EQ(Units(middle), kGrinning + u"y");
    EXPECT_EQ(CFStringCreateWithSubstring(nullptr, text, CFRangeMake(4, 2)), nullptr);
    EXPECT_TRUE(CFStringHasPrefix(text, CFSTR("x")));
    EXPECT_TRUE(CFStringHasSuffix(text, CFSTR("yz")));
    EXPECT_FALSE(CFStringHasSuffix(text, CFSTR("y")));
    EXPECT_FALSE(CFStringHasPrefix(text, CFSTR("")));

    const unsigned char pascal[] = {3, 'c', 'a', 0x8E, 'x'};
    Owned<CFStringRef> fromPascal(CFStringCreateWithPascalString(nullptr, pascal, kCFStringEncodingMacRoman));
    EXPECT_EQ(Text(fromPascal), "caé");
}

TEST(CFString, MutableStrings) {
    Owned<CFMutableStringRef> text(CFStringCreateMutable(nullptr, 0));
    CFStringAppendCString(text, "ab", kCFStringEncodingASCII);
    CFStringAppendCString(text, "\xC3", kCFStringEncodingUTF8);  // not UTF-8: nothing appended
    CFStringAppend(text, text);                                  // itself
    EXPECT_EQ(Text(text), "abab");
    // An immutable string is never changed through the mutable calls.
    Owned<CFStringRef> fixed(MakeString("fixed"));
    CFStringAppend(const_cast<CFMutableStringRef>(fixed.get()), CFSTR("!"));
    EXPECT_EQ(Text(fixed), "fixed");
    EXPECT_TRUE(CFEqual(text, CFSTR("abab")));
    EXPECT_EQ(CFHash(text), CFHash(CFSTR("abab")));
}

TEST(CFString, LiteralsAreInternedAndImmortal) {
    CFStringRef first = CFSTR("interned literal");
    std::vector<CFStringRef> seen(8);
    std::vector<std::thread> threads;
    for (size_t i = 0; i < seen.size(); ++i)
        threads.emplace_back([&seen, i] { seen[i] = CFSTR("interned literal"); });
    for (std::thread &thread : threads) thread.join();
    for (CFStringRef each : seen) EXPECT_EQ(each, first);
    CFRelease(first);  // ignored
    EXPECT_EQ(Text(CFSTR("interned literal")), "interned literal");
}

TEST(CFString, DescriptionsAndTypeNames) {
    EXPECT_EQ(CFGetTypeID(CFSTR("x")), CFStringGetTypeID());
    Owned<CFStringRef> name(CFCopyTypeIDDescription(CFStringGetTypeID()));
    EXPECT_EQ(Text(name), "CFString");
    // A lone surrogate still has a description.
    Owned<CFStringRef> odd(FromUnits(u"a\xDC00"));
    Owned<CFStringRef> description(CFCopyDescription(odd));
    EXPECT_EQ(Units(description), u"a\xDC00");
}

}  // namespace
