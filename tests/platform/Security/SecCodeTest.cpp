#include <gtest/gtest.h>

#include <Security/Security.h>

#include <sys/stat.h>

#include <cstdio>
#include <string>

#include "support/TestFolders.h"

using lumora::test::ScopedFolder;
using lumora::test::WriteFile;

namespace {

const std::string kBinaryDir = SECURITY_TEST_BINARY_DIR;

const char kInfo[] = "<plist version=\"1.0\"><dict><key>CFBundleIdentifier</key><string>org.lumora.Fake</string>"
                     "</dict></plist>";
const char kEntitlements[] = "<plist version=\"1.0\"><dict><key>com.apple.security.print</key><true/></dict></plist>";

std::string Utf8(CFStringRef string) {
    char text[512] = "";
    if (string == nullptr || !CFStringGetCString(string, text, sizeof text, kCFStringEncodingUTF8)) return "<none>";
    return text;
}

struct Signing {
    OSStatus status = errSecSuccess;
    std::string identifier = "<none>";
    bool hasBlob = false;
    std::string blob;
};

Signing Read(const std::string &path, SecCSFlags flags) {
    Signing result;
    CFURLRef url = CFURLCreateFromFileSystemRepresentation(nullptr, reinterpret_cast<const UInt8 *>(path.data()),
                                                           CFIndex(path.size()), true);
    SecStaticCodeRef code = nullptr;
    result.status = SecStaticCodeCreateWithPath(url, kSecCSDefaultFlags, &code);
    CFRelease(url);
    if (result.status != errSecSuccess) return result;
    CFDictionaryRef information = nullptr;
    result.status = SecCodeCopySigningInformation(code, flags, &information);
    CFRelease(code);
    if (result.status != errSecSuccess) {
        EXPECT_EQ(information, nullptr);
        return result;
    }
    result.identifier = Utf8(static_cast<CFStringRef>(CFDictionaryGetValue(information, kSecCodeInfoIdentifier)));
    auto blob = static_cast<CFDataRef>(CFDictionaryGetValue(information, kSecCodeInfoEntitlements));
    result.hasBlob = blob != nullptr;
    if (blob != nullptr) result.blob.assign(reinterpret_cast<const char *>(CFDataGetBytePtr(blob)), size_t(CFDataGetLength(blob)));
    CFRelease(information);
    return result;
}

std::string BlobOf(const std::string &xml) {
    const size_t length = 8 + xml.size();
    std::string blob = "\xFA\xDE\x71\x71";
    for (int shift = 24; shift >= 0; shift -= 8) blob.push_back(char((length >> shift) & 0xFF));
    return blob + xml;
}

// A bundle folder as described, inside a fresh folder.
struct FakeBundle {
    ScopedFolder folder{"bundle"};
    std::string path = folder.file("Fake.app");
    FakeBundle(const char *info, const char *entitlements) {
        ::mkdir(path.c_str(), 0700);
        ::mkdir((path + "/Contents").c_str(), 0700);
        ::mkdir((path + "/Contents/Resources").c_str(), 0700);
        if (info != nullptr) {
            EXPECT_TRUE(WriteFile(path + "/Contents/Info.plist", info));
        }
        if (entitlements != nullptr) {
            EXPECT_TRUE(WriteFile(path + "/Contents/Resources/Entitlements.plist", entitlements));
        }
    }
};

TEST(SecCode, BundleGivesIdentifierAndEntitlementsBlobAsAskedFor) {
    const SecCSFlags both = kSecCSSigningInformation | kSecCSRequirementInformation;
    const struct {
        const char *name;
        const char *info;
        const char *entitlements;
        SecCSFlags flags;
        const char *identifier;
        bool hasBlob;
    } cases[] = {
        {"both files", kInfo, kEntitlements, both, "org.lumora.Fake", true},
        {"signing information only", kInfo, kEntitlements, kSecCSSigningInformation, "org.lumora.Fake", false},
        {"requirement information only", kInfo, kEntitlements, kSecCSRequirementInformation, "<none>", true},
        {"no entitlements file", kInfo, nullptr, both, "org.lumora.Fake", false},
        {"no Info.plist", nullptr, kEntitlements, both, "<none>", true},
        {"Info.plist without identifier", "<plist><dict/></plist>", nullptr, both, "<none>", false},
        {"empty identifier", "<plist><dict><key>CFBundleIdentifier</key><string></string></dict></plist>", nullptr,
         both, "<none>", false},
        {"identifier not a string", "<plist><dict><key>CFBundleIdentifier</key><true/></dict></plist>", nullptr, both,
         "<none>", false},
        {"Info.plist not a property list", "junk", nullptr, both, "<none>", false},
        // The blob carries the file as it is; deciding what it says is the reader's work.
        {"entitlements not a property list", kInfo, "junk", both, "org.lumora.Fake", true},
        {"empty entitlements file", kInfo, "", both, "org.lumora.Fake", true},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        FakeBundle bundle(c.info, c.entitlements);
        const Signing signing = Read(bundle.path, c.flags);
        ASSERT_EQ(signing.status, errSecSuccess);
        EXPECT_EQ(signing.identifier, c.identifier);
        ASSERT_EQ(signing.hasBlob, c.hasBlob);
        if (c.hasBlob) {
            EXPECT_EQ(signing.blob, BlobOf(c.entitlements));
        }
    }
}

TEST(SecCode, UnreadableEntitlementsFileIsAnError) {
    {
        SCOPED_TRACE("a folder");
        FakeBundle bundle(kInfo, nullptr);
        ::mkdir((bundle.path + "/Contents/Resources/Entitlements.plist").c_str(), 0700);
        EXPECT_EQ(Read(bundle.path, kSecCSRequirementInformation).status, errSecCSBadResource);
        // The identifier alone does not need the file.
        EXPECT_EQ(Read(bundle.path, kSecCSSigningInformation).identifier, "org.lumora.Fake");
    }
    {
        SCOPED_TRACE("too large");
        FakeBundle bundle(kInfo, nullptr);
        ASSERT_TRUE(WriteFile(bundle.path + "/Contents/Resources/Entitlements.plist",
                              std::string(kSecCodeMaxEntitlementsFileSize + 1, ' ')));
        EXPECT_EQ(Read(bundle.path, kSecCSRequirementInformation).status, errSecCSBadResource);
    }
}

TEST(SecCode, ProgramFileHasNoSignatureAndMissingPathIsNotFound) {
    ScopedFolder folder("program");
    ASSERT_TRUE(WriteFile(folder.file("tool"), "#!/bin/sh\n"));
    const Signing tool = Read(folder.file("tool"), kSecCSSigningInformation | kSecCSRequirementInformation);
    EXPECT_EQ(tool.status, errSecSuccess);
    EXPECT_EQ(tool.identifier, "<none>");
    EXPECT_FALSE(tool.hasBlob);
    EXPECT_EQ(Read(folder.file("missing"), kSecCSSigningInformation).status, errSecCSStaticCodeNotFound);
}

TEST(SecCode, RefusesBadArguments) {
    SecCodeRef code = nullptr;
    EXPECT_EQ(SecCodeCopySelf(kSecCSDefaultFlags, nullptr), errSecParam);
    EXPECT_EQ(SecCodeCopySelf(1u << 9, &code), errSecCSInvalidFlags);
    EXPECT_EQ(code, nullptr);
    ASSERT_EQ(SecCodeCopySelf(kSecCSDefaultFlags, &code), errSecSuccess);
    CFDictionaryRef information = nullptr;
    EXPECT_EQ(SecCodeCopySigningInformation(code, 1u << 3, &information), errSecCSInvalidFlags);
    EXPECT_EQ(information, nullptr);
    EXPECT_EQ(SecCodeCopySigningInformation(code, kSecCSSigningInformation, nullptr), errSecParam);
    EXPECT_EQ(SecCodeCopySigningInformation(nullptr, kSecCSSigningInformation, &information), errSecParam);
    // Not a code object.
    EXPECT_EQ(SecCodeCopySigningInformation(reinterpret_cast<SecStaticCodeRef>(
                                                const_cast<void *>(static_cast<const void *>(kSecCodeInfoIdentifier))),
                                            kSecCSSigningInformation, &information),
              errSecParam);
    CFRelease(code);
}

// The test program is a bare tool: no bundle, so no identifier and no entitlements, even with
// an Entitlements.plist beside it.
TEST(SecCode, SelfOfBareToolHasNoSignature) {
    struct stat info {};
    ASSERT_EQ(::stat((kBinaryDir + "/Entitlements.plist").c_str(), &info), 0);
    SecCodeRef code = nullptr;
    ASSERT_EQ(SecCodeCopySelf(kSecCSDefaultFlags, &code), errSecSuccess);
    CFDictionaryRef information = nullptr;
    ASSERT_EQ(SecCodeCopySigningInformation(code, kSecCSSigningInformation | kSecCSRequirementInformation, &information),
              errSecSuccess);
    EXPECT_EQ(CFDictionaryGetCount(information), 0);
    CFRelease(information);
    CFRelease(code);
}

TEST(SecCode, SelfInsideAnApplicationBundleReadsItsFiles) {
    const std::string program = kBinaryDir + "/SecProbe.app/Contents/Linux/SecProbe";
    FILE *pipe = ::popen(("'" + program + "'").c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::string output;
    char buffer[256];
    while (std::fgets(buffer, sizeof buffer, pipe) != nullptr) output += buffer;
    ASSERT_EQ(::pclose(pipe), 0);
    const std::string entitlements = lumora::test::ReadFile(kBinaryDir + "/SecProbe.app/Contents/Resources/Entitlements.plist");
    ASSERT_FALSE(entitlements.empty());
    EXPECT_EQ(output, "identifier=org.lumora.test.SecProbe\nentitlements=" + std::to_string(8 + entitlements.size()) +
                          " FA DE 71 71 00 00 00 " +
                          [&] {
                              char hex[8];
                              std::snprintf(hex, sizeof hex, "%02X", unsigned((8 + entitlements.size()) & 0xFF));
                              return std::string(hex);
                          }() +
                          "\n");
}

}  // namespace
