#include <gtest/gtest.h>

#include <CoreFoundation/CoreFoundation.h>

#include <string>

#include "CFTestSupport.h"

using cftest::Owned;
using cftest::Text;

namespace {

CFPropertyListRef Read(const std::string &xml, std::string *why = nullptr) {
    Owned<CFDataRef> data(CFDataCreate(nullptr, reinterpret_cast<const UInt8 *>(xml.data()), CFIndex(xml.size())));
    CFStringRef error = nullptr;
    CFPropertyListRef list = CFPropertyListCreateFromXMLData(nullptr, data, kCFPropertyListImmutable, &error);
    if (why != nullptr) *why = error != nullptr ? Text(error) : "";
    if (error != nullptr) CFRelease(error);
    return list;
}

std::string Plist(const std::string &body) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">" + body + "</plist>";
}

TEST(CFPropertyList, ReadsEveryKindOfValueIntoImmutableObjects) {
    Owned<CFPropertyListRef> list(Read(Plist(
        "<dict><key>s</key><string>caf\xC3\xA9 &amp; co</string><key>i</key><integer>-42</integer>"
        "<key>big</key><integer>9223372036854775807</integer><key>r</key><real>2.5</real>"
        "<key>t</key><true/><key>f</key><false/><key>d</key><data>AAEC</data>"
        "<key>a</key><array><string>x</string><dict/></array></dict>")));
    ASSERT_TRUE(list);
    ASSERT_EQ(CFGetTypeID(list), CFDictionaryGetTypeID());
    auto dict = static_cast<CFDictionaryRef>(list.get());
    EXPECT_EQ(CFDictionaryGetCount(dict), 8);
    auto value = [&](const char *key) { return CFDictionaryGetValue(dict, Owned<CFStringRef>(cftest::MakeString(key)).get()); };

    EXPECT_EQ(Text(static_cast<CFStringRef>(value("s"))), "caf\xC3\xA9 & co");
    SInt64 integer = 0;
    ASSERT_TRUE(CFNumberGetValue(static_cast<CFNumberRef>(value("i")), kCFNumberSInt64Type, &integer));
    EXPECT_EQ(integer, -42);
    ASSERT_TRUE(CFNumberGetValue(static_cast<CFNumberRef>(value("big")), kCFNumberSInt64Type, &integer));
    EXPECT_EQ(integer, INT64_MAX);
    double real = 0;
    ASSERT_TRUE(CFNumberGetValue(static_cast<CFNumberRef>(value("r")), kCFNumberDoubleType, &real));
    EXPECT_EQ(real, 2.5);
    EXPECT_EQ(value("t"), kCFBooleanTrue);
    EXPECT_EQ(value("f"), kCFBooleanFalse);
    auto data = static_cast<CFDataRef>(value("d"));
    ASSERT_EQ(CFGetTypeID(data), CFDataGetTypeID());
    ASSERT_EQ(CFDataGetLength(data), 3);
    EXPECT_EQ(CFDataGetBytePtr(data)[2], 2);
    auto array = static_cast<CFArrayRef>(value("a"));
    ASSERT_EQ(CFGetTypeID(array), CFArrayGetTypeID());
    ASSERT_EQ(CFArrayGetCount(array), 2);
    EXPECT_EQ(CFGetTypeID(CFArrayGetValueAtIndex(array, 1)), CFDictionaryGetTypeID());
}

TEST(CFPropertyList, RootMayBeAnyValue) {
    Owned<CFPropertyListRef> array(Read(Plist("<array><true/></array>")));
    ASSERT_TRUE(array);
    EXPECT_EQ(CFGetTypeID(array), CFArrayGetTypeID());
    Owned<CFPropertyListRef> string(Read(Plist("<string>x</string>")));
    ASSERT_TRUE(string);
    EXPECT_EQ(Text(static_cast<CFStringRef>(string.get())), "x");
}

TEST(CFPropertyList, RefusesWhatItCannotReadWhole) {
    std::string deep;
    for (int i = 0; i < kCFPropertyListMaxDepth + 1; ++i) deep += "<array>";
    for (int i = 0; i < kCFPropertyListMaxDepth + 1; ++i) deep += "</array>";
    const struct {
        const char *name;
        std::string xml;
    } cases[] = {
        {"empty", ""},
        {"not XML", "hello"},
        {"not closed", Plist("<dict><key>a</key><true/>").substr(0, 60)},
        {"NUL byte in a string", Plist(std::string("<string>a\0b</string>", 20))},
        {"NUL byte in a key", Plist(std::string("<dict><key>a\0</key><true/></dict>", 33))},
        {"NUL character reference", Plist("<string>a&#0;b</string>")},
        {"invalid UTF-8 string", Plist("<string>\xFF\xFE</string>")},
        {"invalid UTF-8 key", Plist("<dict><key>\xC0\x80</key><true/></dict>")},
        {"integer above 2^63-1", Plist("<integer>18446744073709551615</integer>")},
        {"date (no date type)", Plist("<date>2020-01-01T00:00:00Z</date>")},
        {"date inside a dictionary", Plist("<dict><key>a</key><date>2020-01-01T00:00:00Z</date></dict>")},
        {"string as a key", Plist("<dict><string>k</string><true/></dict>")},
        {"too deep", Plist(deep)},
        {"binary list", std::string("bplist00\x08\x08\x00\x00\x00\x00\x00\x01\x01\x00\x00\x00\x00\x00\x00\x00\x01"
                                    "\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x09", 42)},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        std::string why;
        Owned<CFPropertyListRef> list(Read(c.xml, &why));
        EXPECT_FALSE(list);
        EXPECT_FALSE(why.empty());
    }
}

TEST(CFPropertyList, AtTheDepthLimitStillReads) {
    std::string deep;
    for (int i = 0; i < kCFPropertyListMaxDepth; ++i) deep += "<array>";
    for (int i = 0; i < kCFPropertyListMaxDepth; ++i) deep += "</array>";
    Owned<CFPropertyListRef> list(Read(Plist(deep)));
    EXPECT_TRUE(list);
}

TEST(CFPropertyList, RefusesMutableResultsAndNullData) {
    Owned<CFDataRef> data(CFDataCreate(nullptr, reinterpret_cast<const UInt8 *>("<plist><true/></plist>"), 22));
    CFStringRef error = nullptr;
    EXPECT_EQ(CFPropertyListCreateFromXMLData(nullptr, data, kCFPropertyListMutableContainers, &error), nullptr);
    ASSERT_NE(error, nullptr);
    CFRelease(error);
    EXPECT_EQ(CFPropertyListCreateFromXMLData(nullptr, nullptr, kCFPropertyListImmutable, nullptr), nullptr);
    Owned<CFPropertyListRef> yes(CFPropertyListCreateFromXMLData(nullptr, data, kCFPropertyListImmutable, nullptr));
    EXPECT_EQ(yes.get(), kCFBooleanTrue);
}

}  // namespace
