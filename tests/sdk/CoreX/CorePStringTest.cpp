#include <CoreX/CorePString.h>

#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>
#include <memory>
#include <regex>
#include <string>

#include <CoreX/CoreException.h>

#include "CoreMachDebugLogTestSupport.h"

namespace {

std::string Characters(const CorePString &pstring) {
    return std::string(reinterpret_cast<const char *>(pstring.p_str() + 1), pstring.length());
}

// A length-prefixed string from text (at most 255 characters).
std::basic_string<unsigned char> Prefixed(const std::string &text) {
    std::basic_string<unsigned char> result(1, static_cast<unsigned char>(text.size()));
    result.append(reinterpret_cast<const unsigned char *>(text.data()), text.size());
    return result;
}

TEST(CorePStringLayout, LengthByteThenCharactersThenNull) {
    EXPECT_EQ(sizeof(CorePString), 257u);
    CorePString pstring("abc");
    const unsigned char *bytes = pstring.p_str();
    EXPECT_EQ(bytes[0], 3);
    EXPECT_EQ(std::memcmp(bytes + 1, "abc", 4), 0);  // the characters and the null byte
    EXPECT_STREQ(pstring.c_str(), "abc");
}

TEST(CorePStringAssign, FromCStringsAndPrefixedStrings) {
    struct Case {
        const char *name;
        const char *cstring;
        std::size_t length;
    };
    const std::string long300(300, 'x');
    const std::string exact255(255, 'y');
    const Case cases[] = {
        {"empty", "", 0},
        {"null", nullptr, 0},
        {"short", "abc", 3},
        {"255 characters", exact255.c_str(), 255},
        {"300 characters keep 255", long300.c_str(), 255},
        {"stops at the first null", "ab\0cd", 2},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        // On the heap, so that the sanitizer sees any byte written past the object.
        auto pstring = std::make_unique<CorePString>();
        *pstring = "previous text";
        *pstring = c.cstring;
        EXPECT_EQ(pstring->length(), c.length);
        EXPECT_EQ(std::strlen(pstring->c_str()), c.length);
        const std::string expected = c.cstring ? std::string(c.cstring).substr(0, c.length) : "";
        EXPECT_EQ(Characters(*pstring), expected);

        auto copy = std::make_unique<CorePString>(Prefixed(expected).c_str());
        EXPECT_EQ(copy->length(), c.length);
        EXPECT_STREQ(copy->c_str(), expected.c_str());
        CorePString assigned;
        assigned = *copy;
        EXPECT_STREQ(assigned.c_str(), expected.c_str());
    }
    CorePString fromNull("abc");
    fromNull = static_cast<const unsigned char *>(nullptr);
    EXPECT_EQ(fromNull.length(), 0u);
    EXPECT_STREQ(fromNull.c_str(), "");
}

TEST(CorePStringAssign, AssignToCopiesAtMostMaximum) {
    const CorePString pstring("abcdef");
    unsigned char destination[16];
    std::memset(destination, 'Z', sizeof destination);
    pstring.AssignTo(destination, 3);
    EXPECT_EQ(destination[0], 3);
    EXPECT_EQ(std::memcmp(destination + 1, "abc", 3), 0);
    EXPECT_EQ(destination[4], 'Z');  // nothing beyond the copied characters
    pstring.AssignTo(destination, 100);
    EXPECT_EQ(destination[0], 6);
    EXPECT_EQ(std::memcmp(destination + 1, "abcdef", 6), 0);
    pstring.AssignTo(nullptr, 10);  // ignored
}

class CorePStringStrcat : public corex_test::DebugLogFileTest {};

TEST_F(CorePStringStrcat, AppendsUpTo255Characters) {
    struct Case {
        const char *name;
        std::string left, right, expected;
    };
    const Case cases[] = {
        {"plain", "ab", "cd", "abcd"},
        {"to an empty string", "", "cd", "cd"},
        {"nothing", "ab", "", "ab"},
        {"exactly full", std::string(200, 'a'), std::string(55, 'b'), std::string(200, 'a') + std::string(55, 'b')},
        {"cut at 255", std::string(200, 'a'), std::string(100, 'b'), std::string(200, 'a') + std::string(55, 'b')},
        {"already full", std::string(255, 'a'), "b", std::string(255, 'a')},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        auto pstring = std::make_unique<CorePString>(c.left.c_str());
        const unsigned char *result = pstring->strcat(Prefixed(c.right.substr(0, 255)).c_str());
        EXPECT_EQ(result, pstring->p_str());
        EXPECT_EQ(Characters(*pstring), c.expected);
        EXPECT_EQ(std::strlen(pstring->c_str()), c.expected.size());
    }
    EXPECT_EQ(LogText(), "");
}

TEST_F(CorePStringStrcat, TwoEmptyStringsAreReported) {
    CorePString pstring;
    pstring.strcat(Prefixed("").c_str());
    pstring.strcat(nullptr);
    EXPECT_EQ(pstring.length(), 0u);
    const std::string line = "VERIFY FAILED:  code : pstring_len\\+rhs_len in [^ ]*/sdk/CoreX/CorePString\\.cpp:[0-9]+ \\(strcat\\)\n";
    EXPECT_TRUE(std::regex_match(LogText(), std::regex(line + line))) << LogText();
}

TEST(CorePStringCompare, ComparesTheCharacters) {
    const CorePString pstring("abc");
    EXPECT_TRUE(pstring == Prefixed("abc").c_str());
    EXPECT_FALSE(pstring == Prefixed("abd").c_str());
    EXPECT_FALSE(pstring == Prefixed("ab").c_str());
    // The right-hand side has no null byte after its characters: it is read by its length.
    const unsigned char unterminated[] = {3, 'a', 'b', 'c', 'z', 'z'};
    EXPECT_TRUE(pstring == unterminated);
    try {
        (void)(pstring == static_cast<const unsigned char *>(nullptr));
        FAIL() << "no exception";
    } catch (const CoreException &exception) {
        EXPECT_STREQ(exception.what(), "Nil exception pointer");
    }
}

}  // namespace
