#include <CoreX/UCodeEntitlements.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include <CoreX/CoreSystem.h>

namespace {

CFDataRef DataOf(const std::string &bytes) {
    return CFDataCreate(nullptr, reinterpret_cast<const UInt8 *>(bytes.data()), CFIndex(bytes.size()));
}

std::string BigEndian(uint32_t value) {
    std::string bytes;
    for (int shift = 24; shift >= 0; shift -= 8) bytes.push_back(char((value >> shift) & 0xFF));
    return bytes;
}

// A blob of the XML with the given length field (by default the true one).
std::string Blob(const std::string &xml, int64_t lengthDelta = 0, uint32_t magic = 0xFADE7171) {
    return BigEndian(magic) + BigEndian(uint32_t(int64_t(8 + xml.size()) + lengthDelta)) + xml;
}

std::string Plist(const std::string &body) { return "<plist version=\"1.0\">" + body + "</plist>"; }

CFDictionaryRef Parse(const std::string &bytes) {
    CFDataRef data = DataOf(bytes);
    CFDictionaryRef dictionary = UCodeEntitlements::copyEntitlementsDictionaryFromBlobData(data);
    CFRelease(data);
    return dictionary;
}

TEST(UCodeEntitlements, BlobParserAcceptsOnlyWellFormedBlobs) {
    const std::string sandbox = Plist("<dict><key>com.apple.security.app-sandbox</key><true/></dict>");
    const struct {
        const char *name;
        std::string bytes;
        bool accepted;
    } cases[] = {
        {"well formed", Blob(sandbox), true},
        {"empty dictionary", Blob(Plist("<dict/>")), true},
        {"empty data", "", false},
        {"header only", Blob(""), false},
        {"eight bytes of a longer blob", Blob(sandbox).substr(0, 8), false},
        {"one byte of XML", Blob("<"), false},
        {"wrong magic", Blob(sandbox, 0, 0xFADE7172), false},
        {"magic little-endian", Blob(sandbox, 0, 0x7171DEFA), false},
        {"code-directory magic", Blob(sandbox, 0, 0xFADE0C02), false},
        {"length one short", Blob(sandbox, -1), false},
        {"length one long", Blob(sandbox, +1), false},
        {"huge length claim", Blob(sandbox, int64_t(0xFFFFFFFF) - int64_t(8 + sandbox.size())), false},
        {"length zero", Blob(sandbox, -int64_t(8 + sandbox.size())), false},
        {"truncated blob", Blob(sandbox).substr(0, Blob(sandbox).size() - 1), false},
        {"not a property list", Blob("hello, world"), false},
        {"binary property list", Blob(std::string("bplist00\x08", 9)), false},
        {"array root", Blob(Plist("<array><true/></array>")), false},
        {"string root", Blob(Plist("<string>x</string>")), false},
        {"boolean root", Blob(Plist("<true/>")), false},
        {"embedded NUL", Blob(Plist(std::string("<dict><key>a\0b</key><true/></dict>", 34))), false},
        {"NUL after the list", Blob(sandbox + std::string(1, '\0')), false},
        {"unclosed dictionary", Blob(Plist("<dict><key>a</key><true/>")), false},
        {"date value", Blob(Plist("<dict><key>a</key><date>2020-01-01T00:00:00Z</date></dict>")), false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        CFDictionaryRef dictionary = Parse(c.bytes);
        EXPECT_EQ(dictionary != nullptr, c.accepted);
        if (dictionary != nullptr) {
            EXPECT_EQ(CFGetTypeID(dictionary), CFDictionaryGetTypeID());
            CFRelease(dictionary);
        }
    }
    EXPECT_EQ(UCodeEntitlements::copyEntitlementsDictionaryFromBlobData(nullptr), nullptr);
}

TEST(UCodeEntitlements, BlobParserReadsTheEntitlements) {
    CFDictionaryRef dictionary = Parse(Blob(
        Plist("<dict><key>com.apple.security.device.camera</key><true/><key>group</key><string>g</string></dict>")));
    ASSERT_NE(dictionary, nullptr);
    EXPECT_EQ(CFDictionaryGetCount(dictionary), 2);
    EXPECT_EQ(CFDictionaryGetValue(dictionary, CFSTR("com.apple.security.device.camera")), kCFBooleanTrue);
    CFRelease(dictionary);
}

struct Access {
    bool all, sandbox, printing, bookmarks, server, client, camera;
    bool operator==(const Access &) const = default;
};

Access AccessOf(const UCodeEntitlements &e) {
    return {e.HasAccessToAllEntitlements(), e.HasActiveSecuritySandbox(),       e.HasAccessToPrinting(),
            e.HasActiveSecurityBookmarksAppScope(), e.HasAccessToNetworkServer(), e.HasAccessToNetworkClient(),
            e.HasAccessToCameraDevice()};
}

std::ostream &operator<<(std::ostream &out, const Access &a) {
    return out << "all=" << a.all << " sandbox=" << a.sandbox << " print=" << a.printing << " bookmarks=" << a.bookmarks
               << " server=" << a.server << " client=" << a.client << " camera=" << a.camera;
}

TEST(UCodeEntitlements, AccessFollowsTheSandboxAndEachEntitlement) {
    // The system presents itself as 10.9, so the sandbox is in force whenever it is asked for.
    ASSERT_FALSE(CoreSystem::IsEarlierThanRevision(CoreSystemName(0x1070)));
    ASSERT_TRUE(UCodeEntitlements::IsSystemLionWithSandboxOrLater());

    const bool T = true, F = false;
    const struct {
        const char *name;
        const char *entitlements;  // null: no dictionary
        Access expected;
    } cases[] = {
        {"no entitlements", nullptr, {T, F, T, T, T, T, T}},
        {"empty dictionary", "<dict/>", {T, F, T, T, T, T, T}},
        {"app-sandbox false",
         "<dict><key>com.apple.security.app-sandbox</key><false/><key>com.apple.security.print</key><false/></dict>",
         {T, F, T, T, T, T, T}},
        {"app-sandbox not a boolean",
         "<dict><key>com.apple.security.app-sandbox</key><string>YES</string></dict>", {T, F, T, T, T, T, T}},
        {"sandboxed, nothing granted", "<dict><key>com.apple.security.app-sandbox</key><true/></dict>",
         {F, T, F, F, F, F, F}},
        {"sandboxed, printing false, camera and client true",
         "<dict><key>com.apple.security.app-sandbox</key><true/><key>com.apple.security.print</key><false/>"
         "<key>com.apple.security.device.camera</key><true/><key>com.apple.security.network.client</key><true/></dict>",
         {F, T, F, F, F, T, T}},
        {"sandboxed, every key true",
         "<dict><key>com.apple.security.app-sandbox</key><true/><key>com.apple.security.print</key><true/>"
         "<key>com.apple.security.files.bookmarks.app-scope</key><true/>"
         "<key>com.apple.security.network.server</key><true/><key>com.apple.security.network.client</key><true/>"
         "<key>com.apple.security.device.camera</key><true/></dict>",
         {F, T, T, T, T, T, T}},
        {"sandboxed, values that are not booleans",
         "<dict><key>com.apple.security.app-sandbox</key><true/><key>com.apple.security.print</key><integer>1</integer>"
         "<key>com.apple.security.network.server</key><string>true</string></dict>",
         {F, T, F, F, F, F, F}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        UCodeEntitlements entitlements;
        entitlements.SetCodeSignedEntitlementsCopy(c.entitlements != nullptr ? Parse(Blob(Plist(c.entitlements))) : nullptr);
        EXPECT_EQ(AccessOf(entitlements), c.expected);
    }
}

TEST(UCodeEntitlements, KeyValuesAndIdentifierAreCopied) {
    UCodeEntitlements entitlements;
    entitlements.SetCodeSignedEntitlementsCopy(
        Parse(Blob(Plist("<dict><key>group</key><string>g</string><key>flag</key><true/></dict>"))));
    CFTypeRef group = entitlements.CopyEntitlementKeyValue(CFSTR("group"));
    ASSERT_NE(group, nullptr);
    EXPECT_TRUE(CFEqual(group, CFSTR("g")));
    EXPECT_GE(CFGetRetainCount(group), 2);  // the dictionary's and ours
    CFRelease(group);
    EXPECT_EQ(entitlements.CopyEntitlementKeyValue(CFSTR("missing")), nullptr);
    EXPECT_EQ(entitlements.CopyEntitlementKeyValue(nullptr), nullptr);
    EXPECT_TRUE(entitlements.HasEntitlementAndBooleanValueIsTrue(CFSTR("flag")));
    EXPECT_FALSE(entitlements.HasEntitlementAndBooleanValueIsTrue(CFSTR("group")));

    // Replacing the dictionary releases the old one (the leak check would see it).
    entitlements.SetCodeSignedEntitlementsCopy(nullptr);
    EXPECT_EQ(entitlements.CopyEntitlementKeyValue(CFSTR("group")), nullptr);

    CFStringRef identifier = CFStringCreateWithCString(nullptr, "org.lumora.Test", kCFStringEncodingUTF8);
    entitlements.SetSignedBundleID(identifier);
    CFRelease(identifier);
    CFStringRef copied = entitlements.CopySignedBundleID();
    ASSERT_NE(copied, nullptr);
    EXPECT_TRUE(CFEqual(copied, CFSTR("org.lumora.Test")));
    CFRelease(copied);
    entitlements.SetSignedBundleID(nullptr);
    EXPECT_EQ(entitlements.CopySignedBundleID(), nullptr);
}

// The test program is a bare tool without a signature: no identifier, no entitlements, all
// access.
TEST(UCodeEntitlements, ProcessRecordOfAnUnsignedProgram) {
    UCodeEntitlements &entitlements = UCodeEntitlements::sEntitlements();
    EXPECT_EQ(&entitlements, &UCodeEntitlements::sEntitlements());
    EXPECT_EQ(entitlements.CopySignedBundleID(), nullptr);
    EXPECT_FALSE(entitlements.Construct());
    EXPECT_TRUE(entitlements.HasAccessToAllEntitlements());
    EXPECT_FALSE(entitlements.HasActiveSecuritySandbox());
    EXPECT_TRUE(entitlements.HasAccessToCameraDevice());
    EXPECT_TRUE(import_UCodeEntitlements());
}

// A program inside an application bundle reads its identifier and entitlements from the
// bundle's files.
TEST(UCodeEntitlements, ProcessRecordOfAProgramInABundle) {
    const std::string program = std::string(COREX_TEST_BINARY_DIR) + "/EntitlementsProbe.app/Contents/Linux/EntitlementsProbe";
    FILE *pipe = ::popen(("'" + program + "'").c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::string output;
    char buffer[256];
    while (std::fgets(buffer, sizeof buffer, pipe) != nullptr) output += buffer;
    ASSERT_EQ(::pclose(pipe), 0);
    EXPECT_EQ(output, "identifier=org.lumora.test.Entitlements sandbox=1 camera=1 client=0 printing=0\n");
}

}  // namespace
