#include <CoreX/CoreCString.h>

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <CoreFoundation/CFString.h>
#include <CoreX/CoreException.h>
#include <CoreX/CorePString.h>

namespace {

const char *const kNil = "throws Nil exception pointer";
const char *const kInvariant = "throws Invariant failed";

// "text/capacity", "(no buffer)" or the exception an operation threw.
std::string Describe(const CoreCString &string) {
    if (string.c_str() == nullptr) return "(no buffer)";
    return std::string(string.c_str()) + "/" + std::to_string(string.capacity());
}

std::string Outcome(const std::function<std::string()> &operation) {
    try {
        return operation();
    } catch (const CoreException &exception) {
        return std::string("throws ") + exception.what();
    }
}

std::basic_string<unsigned char> Prefixed(const std::string &text) {
    std::basic_string<unsigned char> result(1, static_cast<unsigned char>(text.size()));
    result.append(reinterpret_cast<const unsigned char *>(text.data()), text.size());
    return result;
}

struct OperationCase {
    const char *name;
    std::function<std::string()> run;
    std::string expected;
};

void RunCases(const std::vector<OperationCase> &cases) {
    for (const OperationCase &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(Outcome(c.run), c.expected);
    }
}

// ---- storage, copying in and appending ------------------------------------------------------

TEST(CoreCStringOperations, StorageAndCopyingIn) {
    const std::string tooLong(70000, 'x');
    RunCases({
        {"default", [] { return Describe(CoreCString()); }, "/1"},
        {"from a C string", [] { return Describe(CoreCString("abc")); }, "abc/4"},
        {"with a minimum size", [] { return Describe(CoreCString("abc", 10)); }, "abc/10"},
        {"from null", [] { return Describe(CoreCString(static_cast<const char *>(nullptr))); }, "/1"},
        {"from std::string", [] { return Describe(CoreCString(std::string("hello"))); }, "hello/6"},
        {"from a prefixed string", [] { return Describe(CoreCString(Prefixed("pas").c_str())); }, "pas/4"},
        {"from a CorePString", [] { return Describe(CoreCString(CorePString("cp"), 8)); }, "cp/8"},
        {"Alloc keeps a large enough buffer",
         [] {
             CoreCString s;
             s.Delete();
             s.Alloc("abc", 10);
             s.Alloc("x", 0);
             return Describe(s);
         },
         "x/10"},
        {"Alloc grows a small buffer",
         [] {
             CoreCString s("ab");
             s.Alloc("abcdef", 0);
             return Describe(s);
         },
         "abcdef/7"},
        {"Alloc of a size", [] {
             CoreCString s("abc");
             s.Alloc(8);
             return Describe(s);
         }, "/8"},
        {"Empty without buffer", [] {
             CoreCString s;
             s.Delete();
             s.Empty();
             return Describe(s);
         }, kNil},
        {"safe_strcpy is cut at the capacity", [] {
             CoreCStringSized s(4);
             s.safe_strcpy("abcdef");
             return Describe(s);
         }, "abc/4"},
        {"assigning a C string frees the old buffer", [] {
             CoreCString s("abc", 50);
             s = "de";
             return Describe(s);
         }, "de/3"},
        {"assigning a CoreCString", [] {
             CoreCString s, t("copied", 40);
             s = t;
             return Describe(s);
         }, "copied/7"},
        {"assigning a CorePString", [] {
             CoreCString s;
             s = CorePString("pstr");
             return Describe(s);
         }, "pstr/5"},
        {"assigning a null prefixed string", [] {
             CoreCString s("abc");
             s = static_cast<const unsigned char *>(nullptr);
             return Describe(s);
         }, "/1"},
        {"assigning a null CFString", [] {
             CoreCString s("abc");
             s = static_cast<CFStringRef>(nullptr);
             return Describe(s);
         }, "(no buffer)"},
        {"assigning itself", [] {
             CoreCString s("abc");
             const CoreCString &self = s;
             s = self;
             return Describe(s);
         }, "abc/4"},
        {"assigning its own tail", [] {
             CoreCString s("abcdef");
             s = s.c_str() + 2;
             return Describe(s);
         }, "cdef/5"},
        {"safe_strcpy of its own tail", [] {
             CoreCString s("abcdef");
             s.safe_strcpy(s.c_str() + 1);
             return Describe(s);
         }, "bcdef/7"},
        {"a source longer than the capacity can hold", [tooLong] { return Describe(CoreCString(tooLong.c_str())); },
         kInvariant},
        {"assigning one leaves the text", [tooLong] {
             CoreCString s("kept");
             try {
                 s = tooLong.c_str();
             } catch (const CoreException &) {
             }
             return Describe(s);
         }, "kept/5"},
        {"the longest text that fits", [] {
             const std::string longest(65534, 'y');
             CoreCString s(longest.c_str());
             return std::to_string(std::strlen(s.c_str())) + "/" + std::to_string(s.capacity());
         }, "65534/65535"},
    });
}

TEST(CoreCStringOperations, SafeStrncpyOnlyWidensTheZeroFill) {
    CoreCStringSized s(10);
    std::memset(const_cast<char *>(s.c_str()), 'Z', 10);
    s.safe_strncpy("ab", 5);
    EXPECT_EQ(std::memcmp(s.c_str(), "ab\0\0\0\0", 6), 0);
    EXPECT_EQ(s.c_str()[6], 'Z');
    s.safe_strncpy("abcdefghijkl", 2);  // the whole source as far as the capacity allows
    EXPECT_STREQ(s.c_str(), "abcdefghi");
}

TEST(CoreCStringOperations, Appending) {
    RunCases({
        {"strcat grows", [] {
             CoreCString s("ab");
             s.strcat("cd");
             return Describe(s);
         }, "abcd/5"},
        {"strcat of null appends nothing", [] {
             CoreCString s("ab");
             s.strcat(nullptr);
             return Describe(s);
         }, "ab/3"},
        {"strcat without buffer", [] {
             CoreCString s;
             s.Delete();
             s.strcat("x");
             return Describe(s);
         }, kNil},
        {"strcat of itself", [] {
             CoreCString s("abc");
             s.strcat(s.c_str());
             return Describe(s);
         }, "abcabc/7"},
        {"strcat past the 16-bit capacity", [] {
             const std::string half(40000, 'h');
             CoreCString s(half.c_str());
             s.strcat(half.c_str());
             return Describe(s);
         }, kInvariant},
        {"+= of a C string, a CoreCString and a prefixed string", [] {
             CoreCString s("a");
             s += "b";
             s += CoreCString("c");
             s += Prefixed("d").c_str();
             return Describe(s);
         }, "abcd/5"},
        {"safe_strcat cuts at the capacity", [] {
             CoreCStringSized s("abc", 6);
             s.safe_strcat("defg");
             return Describe(s);
         }, "abcde/6"},
        {"safe_strcat of null", [] {
             CoreCString s("abc");
             s.safe_strcat(nullptr);
             return Describe(s);
         }, kNil},
        {"sized strcat refuses 6 + 1 in 8 bytes", [] {
             CoreCStringSized s("abcdef", 8);
             try {
                 s.strcat("g");
             } catch (const CoreException &exception) {
                 return std::string("throws ") + exception.what() + " leaving " + Describe(s);
             }
             return Describe(s);
         }, "throws Invariant failed leaving abcdef/8"},
        {"sized strcat 5 + 1 in 8 bytes", [] {
             CoreCStringSized s("abcde", 8);
             s.strcat("f");
             return Describe(s);
         }, "abcdef/8"},
        {"sized strcat of null", [] {
             CoreCStringSized s(8);
             s.strcat(nullptr);
             return Describe(s);
         }, kNil},
        {"sized copy keeps the capacity", [] {
             CoreCStringSized s("ab", 12);
             CoreCStringSized copy(s);
             return Describe(copy);
         }, "ab/12"},
    });
}

TEST(CoreCStringOperations, Truncate) {
    char elsewhere[4] = {};
    RunCases({
        {"inside the text", [] {
             CoreCStringSized s("abcdef", 10);
             s.truncate(s.c_str() + 2);
             return Describe(s);
         }, "ab/10"},
        {"at the first character", [] {
             CoreCStringSized s("abc", 10);
             s.truncate(s.c_str());
             return Describe(s);
         }, "/10"},
        {"at the terminator", [] {
             CoreCStringSized s("abc", 10);
             s.truncate(s.c_str() + 3);
             return Describe(s);
         }, "abc/10"},
        {"past the terminator", [] {
             CoreCStringSized s("abc", 10);
             s.truncate(s.c_str() + 4);
             return Describe(s);
         }, kInvariant},
        {"in another buffer", [&elsewhere] {
             CoreCStringSized s("abc", 10);
             s.truncate(elsewhere);
             return Describe(s);
         }, kInvariant},
        {"null", [] {
             CoreCStringSized s("abc", 10);
             s.truncate(nullptr);
             return Describe(s);
         }, kInvariant},
        {"without buffer", [] {
             CoreCStringSized s(10);
             s.Delete();
             s.truncate(nullptr);
             return Describe(s);
         }, kNil},
    });
}

// ---- formatting -----------------------------------------------------------------------------

TEST(CoreCStringFormatting, PrintfAndSprintf) {
    RunCases({
        {"printf", [] {
             CoreCString s;
             s.printf("x=%d %s", 5, "y");
             return Describe(s);
         }, "x=5 y/6"},
        {"printf of 2048 characters", [] {
             CoreCString s;
             s.printf("%2048s", "");
             return std::to_string(std::strlen(s.c_str()));
         }, "2048"},
        {"printf of 2049 characters", [] {
             CoreCString s;
             s.printf("%2049s", "");
             return Describe(s);
         }, kInvariant},
        {"printf of its own text", [] {
             CoreCString s("ab");
             s.printf("%s-%s", s.c_str(), s.c_str());
             return Describe(s);
         }, "ab-ab/6"},
        {"sprintf", [] {
             CoreCString s;
             char buffer[16];
             s.sprintf(buffer, sizeof buffer, "%03d", 7);
             return Describe(s) + " " + buffer;
         }, "007/4 007"},
        {"sprintf into a null buffer", [] {
             CoreCString s;
             s.sprintf(nullptr, 10, "x");
             return Describe(s);
         }, kNil},
        {"sprintf too long for the buffer", [] {
             CoreCString s("kept");
             char buffer[4];
             s.sprintf(buffer, sizeof buffer, "%s", "abcdef");
             return Describe(s);
         }, kInvariant},
        {"four-character code", [] { return Describe(CoreCString(static_cast<unsigned long>(MakeFourCharCode("appl")))); },
         "0x6170706c 'appl'/18"},
        {"sized four-character code in memory order",
         [] { return Describe(CoreCStringSized(static_cast<unsigned long>(MakeFourCharCode("appl")), 16)); },
         "'lppa'/16"},
    });
}

TEST(CoreCStringFormatting, SprintfNeverWritesPastTheGivenSize) {
    char buffer[12];
    std::memset(buffer, 'Z', sizeof buffer);
    CoreCString s;
    EXPECT_THROW(s.sprintf(buffer, 4, "%s", "abcdefgh"), CoreException);
    EXPECT_EQ(std::string(buffer, 3), "abc");
    EXPECT_EQ(buffer[3], 0);
    for (std::size_t i = 4; i < sizeof buffer; ++i) EXPECT_EQ(buffer[i], 'Z') << i;
}

// ---- hexadecimal ----------------------------------------------------------------------------

TEST(CoreCStringHex, DigitPairs) {
    const unsigned char byte = 0x4A;
    EXPECT_STREQ(CoreCString::HexDigitPairFromByte(&byte, 0), "4A");
    EXPECT_STREQ(CoreCString::HexDigitPairFromByte(&byte, ','), "4A,");
    EXPECT_STREQ(CoreCString::HexDigitPairFromByte(&byte, '\n'), "4A ");
    EXPECT_STREQ(CoreCString::HexDigitPairFromByte(&byte, static_cast<char>(0x80)), "4A ");
    EXPECT_THROW(CoreCString::HexDigitPairFromByte(nullptr, 0), CoreException);
}

TEST(CoreCStringHex, EachThreadHasItsOwnDigitPairBuffer) {
    const unsigned char mine = 0x41;
    const char *pair = CoreCString::HexDigitPairFromByte(&mine, 0);
    std::thread other([] {
        for (unsigned value = 0; value < 1000; ++value) {
            const unsigned char byte = static_cast<unsigned char>(value);
            CoreCString::HexDigitPairFromByte(&byte, ' ');
        }
    });
    other.join();
    EXPECT_STREQ(pair, "41");
}

TEST(CoreCStringHex, EncodeAndDecode) {
    RunCases({
        {"encode without separator", [] {
             CoreCString s;
             s.EncodeHexString("AB", 2, 0, 0);
             return Describe(s);
         }, "4142/17"},
        {"HexData", [] {
             CoreCString s;
             s.HexData("\x00\xff", 2, 0);
             return Describe(s);
         }, "00 FF /17"},
        {"HexData bounded by maximum", [] {
             CoreCString s;
             s.HexData("\x01\x02\x03", 3, 1);
             return Describe(s);
         }, "01 /13"},
        {"AsHexString", [] {
             CoreCString s("AB");
             s.AsHexString();
             return std::string(s.c_str());
         }, "41 42 "},
        {"AsHexString of empty text", [] {
             CoreCString s("");
             s.AsHexString();
             return Describe(s);
         }, "/1"},
        {"AsHexString without buffer", [] {
             CoreCString s;
             s.Delete();
             s.AsHexString();
             return Describe(s);
         }, kNil},
        {"encode more than the capacity holds", [] {
             const std::string data(20000, 'd');
             CoreCString s;
             s.HexData(data.data(), static_cast<unsigned>(data.size()), 0);
             return Describe(s);
         }, kInvariant},
        {"decode with separators", [] {
             CoreCString s;
             const unsigned count = s.DecodeHexString("4 1-4 2");
             return std::to_string(count) + " " + s.c_str();
         }, "2 AB"},
        {"decode contiguous digits", [] {
             CoreCString s;
             const unsigned count = s.DecodeHexString("4142");
             return std::to_string(count) + " " + s.c_str();
         }, "2 AB"},
        {"decode lower case, odd digit dropped", [] {
             CoreCString s;
             const unsigned count = s.DecodeHexString("6a6b6");
             return std::to_string(count) + " " + s.c_str();
         }, "2 jk"},
        {"decode nothing", [] {
             CoreCString s;
             const unsigned count = s.DecodeHexString("xyz");
             return std::to_string(count) + " " + Describe(s);
         }, "0 /9"},
        {"decode null", [] {
             CoreCString s;
             s.DecodeHexString(nullptr);
             return Describe(s);
         }, kNil},
        {"round trip through its own text", [] {
             CoreCString s("Hi!");
             s.AsHexString();
             s.DecodeHexString(s.c_str());
             return std::string(s.c_str());
         }, "Hi!"},
    });
}

TEST(CoreCStringHex, DecodeStopsAtTheEndOfTheText) {
    // Texts ending with a digit or a separator, each in a heap block of exactly its size,
    // so that any read past the terminator is caught.
    for (const char *text : {"4", "4 1", "41 4", "4 1-4 2", "41-"}) {
        SCOPED_TRACE(text);
        const std::size_t size = std::strlen(text) + 1;
        std::unique_ptr<char[]> exact(new char[size]);
        std::memcpy(exact.get(), text, size);
        CoreCString s;
        s.DecodeHexString(exact.get());
    }
}

TEST(CoreCStringHex, DecodedBytesMayIncludeZero) {
    CoreCString s;
    ASSERT_EQ(s.DecodeHexString("00 ff 10"), 3u);
    EXPECT_EQ(std::memcmp(s.c_str(), "\x00\xff\x10\x00", 4), 0);
}

// ---- reading out and comparing --------------------------------------------------------------

TEST(CoreCStringReading, AssignToAsDoubleAndEquality) {
    const std::string long300(300, 'q');
    RunCases({
        {"AssignTo a C string", [] {
             char buffer[8];
             CoreCString("abc").AssignTo(buffer);
             return std::string(buffer);
         }, "abc"},
        {"AssignTo null", [] {
             CoreCString("abc").AssignTo(static_cast<char *>(nullptr));
             return std::string();
         }, kNil},
        {"AssignTo a prefixed string, bounded", [] {
             unsigned char buffer[8];
             CoreCString("abcdef").AssignTo(buffer, 3);
             return std::string(reinterpret_cast<char *>(buffer + 1), buffer[0]);
         }, "abc"},
        {"AssignTo a prefixed string keeps at most 255", [long300] {
             unsigned char buffer[256];
             CoreCString::AssignTo(buffer, 1000, long300.c_str());
             return std::to_string(buffer[0]);
         }, "255"},
        {"AssignTo from null", [] {
             unsigned char buffer[4] = {9, 'x', 'y', 'z'};
             CoreCString::AssignTo(buffer, 3, nullptr);
             return std::to_string(buffer[0]);
         }, "0"},
        {"AsDouble", [] { return std::to_string(CoreCString(" 3.5kg").AsDouble()); }, "3.500000"},
        {"AsDouble of no number", [] { return std::to_string(CoreCString("kg").AsDouble()); }, "0.000000"},
        {"AsDouble without buffer", [] {
             CoreCString s;
             s.Delete();
             return std::to_string(s.AsDouble());
         }, kNil},
        {"== a C string", [] { return std::to_string(CoreCString("abc") == "abc") + std::to_string(CoreCString("abc") == "abd"); },
         "10"},
        {"== null", [] { return std::to_string(CoreCString("abc") == static_cast<const char *>(nullptr)); }, kNil},
        {"== a prefixed string", [] { return std::to_string(CoreCString("abc") == Prefixed("abc").c_str()); }, "1"},
    });
}

TEST(CoreCStringReading, FileSpecName) {
    FSSpec spec{};
    spec.name[0] = 5;
    std::memcpy(spec.name + 1, "hello", 5);
    EXPECT_STREQ(CoreCString(spec).c_str(), "hello");
    EXPECT_STREQ(CoreCString(&spec).c_str(), "hello");
    EXPECT_STREQ(CoreCStringSized(spec, 32).c_str(), "hello");
    EXPECT_STREQ(CoreCString(static_cast<const FSSpec *>(nullptr)).c_str(), "");

    // A length byte larger than the name field is read only within the field.
    auto corrupt = std::make_unique<FSSpec>();
    std::memset(corrupt->name, 'n', sizeof corrupt->name);
    corrupt->name[0] = 200;
    EXPECT_EQ(std::strlen(CoreCString(*corrupt).c_str()), sizeof corrupt->name - 1);
}

TEST(CoreCStringReading, FromCFStringInMacRoman) {
    CFStringRef cafe = CFStringCreateWithCString(nullptr, "Caf\xC3\xA9", kCFStringEncodingUTF8);
    CFStringRef japanese = CFStringCreateWithCString(nullptr, "\xE6\x97\xA5\xE6\x9C\xAC", kCFStringEncodingUTF8);
    CoreCString s;
    s = cafe;
    EXPECT_STREQ(s.c_str(), "Caf\x8E");
    s = japanese;  // no MacRoman form
    EXPECT_STREQ(s.c_str(), "");
    CFRelease(cafe);
    CFRelease(japanese);
}

// ---- whitespace -----------------------------------------------------------------------------

TEST(CoreCStringWhitespace, Trim) {
    struct Case {
        const char *text;
        const char *leading, *trailing, *both;
    };
    const Case cases[] = {
        {" a b ", "a b ", " a b", "a b"},
        {"   ", "   ", "", ""},
        {"\t\nx", "x", "\t\nx", "x"},
        {"", "", "", ""},
        {"ab", "ab", "ab", "ab"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.text);
        const CoreCString leading(c.text), trailing(c.text), both(c.text);
        leading.trim_leading_whitespace();
        trailing.trim_trailing_whitespace();
        both.trim_trailing_and_leading_whitespace();
        EXPECT_STREQ(leading.c_str(), c.leading);
        EXPECT_STREQ(trailing.c_str(), c.trailing);
        EXPECT_STREQ(both.c_str(), c.both);
    }
    CoreCString none;
    none.Delete();
    EXPECT_THROW(none.trim_leading_whitespace(), CoreException);
    EXPECT_THROW(none.trim_trailing_whitespace(), CoreException);
}

}  // namespace
