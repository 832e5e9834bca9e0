#include <gtest/gtest.h>

#include <CoreFoundation/CoreFoundation.h>

#include <string>
#include <vector>

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

// Reads with CFPropertyListCreateWithData; the error's description goes to *why.
CFPropertyListRef ReadAny(const std::string &bytes, CFOptionFlags options, CFPropertyListFormat *format = nullptr,
                          std::string *why = nullptr) {
    Owned<CFDataRef> data(CFDataCreate(nullptr, reinterpret_cast<const UInt8 *>(bytes.data()), CFIndex(bytes.size())));
    CFErrorRef error = nullptr;
    CFPropertyListRef list = CFPropertyListCreateWithData(nullptr, data, options, format, &error);
    if (why != nullptr) {
        *why = "";
        if (error != nullptr) {
            Owned<CFStringRef> description(CFErrorCopyDescription(error));
            *why = Text(description);
        }
    }
    if (error != nullptr) CFRelease(error);
    return list;
}

// The written bytes of a list, "" when it cannot be written.
std::string Write(CFPropertyListRef list, CFPropertyListFormat format, std::string *why = nullptr) {
    CFErrorRef error = nullptr;
    Owned<CFDataRef> data(CFPropertyListCreateData(nullptr, list, format, 0, &error));
    if (why != nullptr) *why = "";
    if (error != nullptr) {
        EXPECT_FALSE(data);
        Owned<CFStringRef> description(CFErrorCopyDescription(error));
        if (why != nullptr) *why = Text(description);
        CFRelease(error);
    }
    if (!data) return "";
    return std::string(reinterpret_cast<const char *>(CFDataGetBytePtr(data)), size_t(CFDataGetLength(data)));
}

// A binary property list: objects given as raw encodings, one-byte references.
std::string BinaryPlist(const std::vector<std::string> &objects, uint8_t top = 0) {
    std::string bytes = "bplist00";
    std::vector<size_t> offsets;
    for (const std::string &object : objects) {
        offsets.push_back(bytes.size());
        bytes += object;
    }
    const size_t table = bytes.size();
    for (size_t offset : offsets) bytes += char(offset);
    std::string trailer(32, '\0');
    trailer[6] = 1;
    trailer[7] = 1;
    trailer[15] = char(objects.size());
    trailer[23] = char(top);
    trailer[31] = char(table);
    return bytes + trailer;
}

const char kComposite[] =
    "<dict><key>s</key><string>a &lt;b&gt; &amp; c</string><key>n</key><integer>-5</integer>"
    "<key>r</key><real>0.1</real><key>t</key><true/><key>d</key><data>AAEC</data>"
    "<key>a</key><array><dict><key>k</key><string>v</string></dict><array/></array></dict>";

TEST(CFPropertyListWithData, MutableContainersAreMutableAllTheWayDown) {
    Owned<CFPropertyListRef> list(ReadAny(Plist(kComposite), kCFPropertyListMutableContainers));
    ASSERT_TRUE(list);
    auto root = static_cast<CFDictionaryRef>(list.get());
    EXPECT_TRUE(CFDictionaryIsMutable(root));
    auto array = static_cast<CFArrayRef>(CFDictionaryGetValue(root, CFSTR("a")));
    EXPECT_TRUE(CFArrayIsMutable(array));
    EXPECT_TRUE(CFDictionaryIsMutable(static_cast<CFDictionaryRef>(CFArrayGetValueAtIndex(array, 0))));
    EXPECT_TRUE(CFArrayIsMutable(static_cast<CFArrayRef>(CFArrayGetValueAtIndex(array, 1))));
    // Editing a nested container in place is seen from the root.
    CFDictionarySetValue(const_cast<CFMutableDictionaryRef>(static_cast<CFDictionaryRef>(CFArrayGetValueAtIndex(array, 0))),
                         CFSTR("k"), CFSTR("w"));
    auto nested = static_cast<CFDictionaryRef>(CFArrayGetValueAtIndex(
        static_cast<CFArrayRef>(CFDictionaryGetValue(root, CFSTR("a"))), 0));
    EXPECT_EQ(Text(static_cast<CFStringRef>(CFDictionaryGetValue(nested, CFSTR("k")))), "w");

    Owned<CFPropertyListRef> fixed(ReadAny(Plist(kComposite), kCFPropertyListImmutable));
    ASSERT_TRUE(fixed);
    EXPECT_FALSE(CFDictionaryIsMutable(static_cast<CFDictionaryRef>(fixed.get())));
    EXPECT_FALSE(CFArrayIsMutable(static_cast<CFArrayRef>(CFDictionaryGetValue(static_cast<CFDictionaryRef>(fixed.get()), CFSTR("a")))));
}

TEST(CFPropertyListWithData, WritesXMLAndBinaryThatReadBackEqual) {
    Owned<CFPropertyListRef> list(ReadAny(Plist(kComposite), kCFPropertyListImmutable));
    ASSERT_TRUE(list);
    for (CFPropertyListFormat format : {kCFPropertyListXMLFormat_v1_0, kCFPropertyListBinaryFormat_v1_0}) {
        SCOPED_TRACE(format);
        const std::string bytes = Write(list, format);
        ASSERT_FALSE(bytes.empty());
        EXPECT_EQ(bytes.compare(0, 8, "bplist00") == 0, format == kCFPropertyListBinaryFormat_v1_0);
        CFPropertyListFormat read = 0;
        Owned<CFPropertyListRef> back(ReadAny(bytes, kCFPropertyListMutableContainers, &read));
        ASSERT_TRUE(back);
        EXPECT_EQ(read, format);
        EXPECT_TRUE(CFEqual(back, list));
    }
    // Keys in order, whatever order the dictionary keeps them in.
    const std::string xml = Write(list, kCFPropertyListXMLFormat_v1_0);
    EXPECT_LT(xml.find("<key>a</key>"), xml.find("<key>d</key>"));
    EXPECT_LT(xml.find("<key>r</key>"), xml.find("<key>s</key>"));
    EXPECT_NE(xml.find("<integer>-5</integer>"), std::string::npos);
    EXPECT_NE(xml.find("a &lt;b&gt; &amp; c"), std::string::npos);
}

TEST(CFPropertyListWithData, RefusesWhatCannotBeWritten) {
    Owned<CFMutableArrayRef> looped(CFArrayCreateMutable(nullptr, 0, &kCFTypeArrayCallBacks));
    Owned<CFMutableArrayRef> holder(CFArrayCreateMutable(nullptr, 0, &kCFTypeArrayCallBacks));
    CFArrayAppendValue(holder, looped.get());
    CFArrayAppendValue(looped, holder.get());  // a cycle: broken again below
    const UniChar lone[] = {'a', 0xD800};
    Owned<CFStringRef> loneSurrogate(CFStringCreateWithCharacters(nullptr, lone, 2));
    const UniChar nul[] = {'a', 0};
    Owned<CFStringRef> withNul(CFStringCreateWithCharacters(nullptr, nul, 2));
    Owned<CFNumberRef> number(CFNumberCreate(nullptr, kCFNumberSInt32Type, &lone[0]));
    const void *numberKey[] = {number.get()};
    const void *value[] = {kCFBooleanTrue};
    Owned<CFDictionaryRef> numberKeyed(CFDictionaryCreate(nullptr, numberKey, value, 1, &kCFTypeDictionaryKeyCallBacks,
                                                          &kCFTypeDictionaryValueCallBacks));
    const void *nulKey[] = {withNul.get()};
    Owned<CFDictionaryRef> nulKeyed(CFDictionaryCreate(nullptr, nulKey, value, 1, &kCFTypeDictionaryKeyCallBacks,
                                                       &kCFTypeDictionaryValueCallBacks));
    Owned<CFErrorRef> notAValue(CFErrorCreate(nullptr, kCFErrorDomainPOSIX, 1, nullptr));
    const struct {
        const char *name;
        CFPropertyListRef list;
        CFPropertyListFormat format;
    } cases[] = {
        {"a container holding itself", looped.get(), kCFPropertyListXMLFormat_v1_0},
        {"a lone surrogate", loneSurrogate.get(), kCFPropertyListXMLFormat_v1_0},
        {"a NUL character", withNul.get(), kCFPropertyListBinaryFormat_v1_0},
        {"a key that is not a string", numberKeyed.get(), kCFPropertyListXMLFormat_v1_0},
        {"a key with a NUL character", nulKeyed.get(), kCFPropertyListXMLFormat_v1_0},
        {"not a property-list type", notAValue.get(), kCFPropertyListXMLFormat_v1_0},
        {"null", nullptr, kCFPropertyListXMLFormat_v1_0},
        {"the OpenStep format", kCFBooleanTrue, kCFPropertyListOpenStepFormat},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        std::string why;
        EXPECT_EQ(Write(c.list, c.format, &why), "");
        EXPECT_FALSE(why.empty());
    }
    CFArrayRemoveAllValues(looped);
}

TEST(CFPropertyListWithData, RefusesUnsoundBinaryListsAndMutableLeaves) {
    const struct {
        const char *name;
        std::string bytes;
    } cases[] = {
        {"truncated", "bplist00\xA0"},
        {"reference outside the data", BinaryPlist({std::string("\xA1\x05", 2)})},
        {"array holding itself", BinaryPlist({std::string("\xA1\x00", 2)})},
        {"string with a NUL", BinaryPlist({std::string("\x52" "a\0", 3)})},
        {"date (no date type)", BinaryPlist({std::string("\x33\0\0\0\0\0\0\0\0", 9)})},
        {"not a property list", "bplist01 and text"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        std::string why;
        Owned<CFPropertyListRef> list(ReadAny(c.bytes, kCFPropertyListMutableContainers, nullptr, &why));
        EXPECT_FALSE(list);
        EXPECT_FALSE(why.empty());
    }
    // A sound one of the same making reads.
    Owned<CFPropertyListRef> sound(ReadAny(BinaryPlist({std::string("\xA1\x01", 2), "\x09"}), kCFPropertyListImmutable));
    ASSERT_TRUE(sound);
    EXPECT_EQ(CFArrayGetValueAtIndex(static_cast<CFArrayRef>(sound.get()), 0), kCFBooleanTrue);

    std::string why;
    Owned<CFPropertyListRef> leaves(ReadAny(Plist("<true/>"), kCFPropertyListMutableContainersAndLeaves, nullptr, &why));
    EXPECT_FALSE(leaves);
    EXPECT_FALSE(why.empty());
    EXPECT_EQ(CFPropertyListCreateWithData(nullptr, nullptr, kCFPropertyListImmutable, nullptr, nullptr), nullptr);
}

}  // namespace
