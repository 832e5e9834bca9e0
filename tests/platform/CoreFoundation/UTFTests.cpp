// The one UTF definition (CFStringUTF.h) and Core Foundation's strings, which must judge every
// edge case the same way.
#include <gtest/gtest.h>

#include <CoreFoundation/CFStringUTF.h>
#include <CoreFoundation/CoreFoundation.h>

#include <string>

#include "CFTestSupport.h"
#include "UTFCases.h"

using cftest::Owned;
using namespace utf_cases;

namespace {

std::u16string UTF16Of(const std::u32string &text) {
    std::u16string units;
    EXPECT_TRUE(cf::utf::AppendUTF32AsUTF16(text, units, cf::utf::OnInvalid::Fail));
    return units;
}

std::u16string Units(CFStringRef string) {
    std::u16string units(size_t(CFStringGetLength(string)), u'\0');
    CFStringGetCharacters(string, CFRangeMake(0, CFIndex(units.size())), reinterpret_cast<UniChar *>(units.data()));
    return units;
}

CFStringRef FromBytes(const std::string &bytes, CFStringEncoding encoding) {
    return CFStringCreateWithBytes(nullptr, reinterpret_cast<const UInt8 *>(bytes.data()), CFIndex(bytes.size()),
                                   encoding, false);
}

std::string LittleEndian(const std::u16string &units) {
    std::string bytes;
    for (char16_t unit : units) {
        bytes.push_back(char(unit & 0xFF));
        bytes.push_back(char(unit >> 8));
    }
    return bytes;
}

}  // namespace

TEST(UTF, UTF8EdgeCasesInTheHelperAndInStrings) {
    for (const UTF8Case &c : kUTF8Cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(cf::utf::IsValidUTF8(c.bytes), c.valid);
        std::u16string units;
        EXPECT_EQ(cf::utf::AppendUTF8AsUTF16(c.bytes, units, cf::utf::OnInvalid::Fail), c.valid);
        Owned<CFStringRef> string(FromBytes(c.bytes, kCFStringEncodingUTF8));
        EXPECT_EQ(string.get() != nullptr, c.valid);
        if (!c.valid) continue;
        EXPECT_EQ(units, UTF16Of(c.text));
        EXPECT_EQ(Units(string), UTF16Of(c.text));
        // And back: the same bytes.
        std::string bytes;
        EXPECT_TRUE(cf::utf::AppendUTF16AsUTF8(units, bytes, cf::utf::OnInvalid::Fail));
        EXPECT_EQ(bytes, c.bytes);
    }
}

TEST(UTF, UTF16EdgeCasesInTheHelperAndInStrings) {
    for (const UTF16Case &c : kUTF16Cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(cf::utf::IsValidUTF16(c.units), c.valid);
        std::u32string values;
        EXPECT_EQ(cf::utf::AppendUTF16AsUTF32(c.units, values, cf::utf::OnInvalid::Fail), c.valid);
        std::string utf8;
        EXPECT_EQ(cf::utf::AppendUTF16AsUTF8(c.units, utf8, cf::utf::OnInvalid::Fail), c.valid);
        if (c.valid) {
            EXPECT_EQ(values, c.text);
        }

        // UTF-16 bytes become a string only when valid.
        Owned<CFStringRef> decoded(FromBytes(LittleEndian(c.units), kCFStringEncodingUTF16LE));
        EXPECT_EQ(decoded.get() != nullptr, c.valid);
        // A string holding the units (any units may be held) converts to UTF-8 and UTF-16
        // only when valid; a loss byte stands for each unpaired surrogate.
        Owned<CFStringRef> held(CFStringCreateWithCharacters(nullptr, reinterpret_cast<const UniChar *>(c.units.data()),
                                                             CFIndex(c.units.size())));
        for (CFStringEncoding encoding : {kCFStringEncodingUTF8, kCFStringEncodingUTF16BE}) {
            SCOPED_TRACE(encoding);
            const CFRange all = CFRangeMake(0, CFIndex(c.units.size()));
            EXPECT_EQ(CFStringGetBytes(held, all, encoding, 0, false, nullptr, 0, nullptr) == all.length, c.valid);
            EXPECT_EQ(CFStringGetBytes(held, all, encoding, '?', false, nullptr, 0, nullptr), all.length);
        }
    }
}

TEST(UTF, UTF32ValuesInTheHelperAndInFormats) {
    for (const UTF32Case &c : kUTF32Cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(cf::utf::IsScalar(c.value), c.valid);
        std::u16string units;
        EXPECT_EQ(cf::utf::AppendUTF32AsUTF16(std::u32string(1, c.value), units, cf::utf::OnInvalid::Fail), c.valid);
        // Formatting is lossy: a value that is no character becomes U+FFFD.
        Owned<CFStringRef> formatted(
            CFStringCreateWithFormat(nullptr, nullptr, CFSTR("%lc"), static_cast<wint_t>(c.value)));
        ASSERT_TRUE(formatted);
        if (c.valid) {
            EXPECT_EQ(Units(formatted), units);
        } else {
            EXPECT_EQ(Units(formatted), u"\uFFFD");
        }
    }
}

// A lossy conversion puts one U+FFFD for each maximal invalid subpart (the practice ICU and
// the WHATWG decoders follow), so text after a bad byte is never swallowed.
TEST(UTF, ReplacementTakesEachMaximalInvalidSubpart) {
    const struct {
        std::string bytes;
        std::u16string units;
    } cases[] = {
        {B({'a', 0xF0, 0x9F, 0x98, 'b'}), u"a\uFFFDb"},          // a cut four-byte form: one
        {B({0xED, 0xA0, 0x80, 'x'}), u"\uFFFD\uFFFD\uFFFDx"},    // an encoded surrogate: one per byte
        {B({0xF4, 0x90, 0x80, 0x80}), u"\uFFFD\uFFFD\uFFFD\uFFFD"},  // past U+10FFFF
        {B({0xC0, 0xAF}), u"\uFFFD\uFFFD"},                      // overlong
        {B({0xE2, 0x82}), u"\uFFFD"},                            // cut at the end
        {B({0xE2, 0x82, 0xAC}), u"\u20AC"},
    };
    for (const auto &c : cases) {
        std::u16string units;
        EXPECT_TRUE(cf::utf::AppendUTF8AsUTF16(c.bytes, units, cf::utf::OnInvalid::Replace));
        EXPECT_EQ(units, c.units);
    }
    std::string utf8;
    EXPECT_TRUE(cf::utf::AppendUTF16AsUTF8(u"a\xDC00\xD800", utf8, cf::utf::OnInvalid::Replace));
    EXPECT_EQ(utf8, "a\xEF\xBF\xBD\xEF\xBF\xBD");
}
