// Loadability of the digitizer components in hosts of different entitlements. The process's
// own record is set for each host and put back afterwards.
#include <VDig/QVDigIsLoadable.h>

#include <CoreX/CoreSystem.h>
#include <CoreX/UCodeEntitlements.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using namespace QVDigIsLoadable;

// Entitlements of the named keys set to true (the app-sandbox key among them or not).
CFDictionaryRef Entitlements(const std::vector<const char *> &trueKeys, const char *falseKey = nullptr) {
    CFMutableDictionaryRef dictionary = CFDictionaryCreateMutable(kCFAllocatorDefault, 0, &kCFTypeDictionaryKeyCallBacks,
                                                                  &kCFTypeDictionaryValueCallBacks);
    for (const char *key : trueKeys) {
        CFStringRef string = CFStringCreateWithCString(kCFAllocatorDefault, key, kCFStringEncodingUTF8);
        CFDictionarySetValue(dictionary, string, kCFBooleanTrue);
        CFRelease(string);
    }
    if (falseKey != nullptr) {
        CFStringRef string = CFStringCreateWithCString(kCFAllocatorDefault, falseKey, kCFStringEncodingUTF8);
        CFDictionarySetValue(dictionary, string, kCFBooleanFalse);
        CFRelease(string);
    }
    return dictionary;
}

class HostRecord : public ::testing::Test {
protected:
    void SetUp() override {
        UCodeEntitlements &record = UCodeEntitlements::sEntitlements();
        mSavedID = record.CopySignedBundleID();
    }
    void TearDown() override {
        UCodeEntitlements &record = UCodeEntitlements::sEntitlements();
        record.SetSignedBundleID(mSavedID);
        if (mSavedID != nullptr) CFRelease(mSavedID);
        record.Construct();
    }
    CFStringRef mSavedID = nullptr;
};

TEST_F(HostRecord, EntitlementsOfTheHost) {
    const char *sandbox = "com.apple.security.app-sandbox";
    const char *camera = "com.apple.security.device.camera";
    const char *client = "com.apple.security.network.client";
    const char *server = "com.apple.security.network.server";
    struct Case {
        const char *host;
        CFDictionaryRef entitlements;
        bool camera, network, sharedMemory;
    };
    const Case cases[] = {
        {"no entitlements", nullptr, true, true, true},
        {"not sandboxed", Entitlements({camera}), true, true, true},
        {"sandbox false", Entitlements({}, sandbox), true, true, true},
        {"sandboxed", Entitlements({sandbox}), false, false, false},
        {"sandboxed, camera", Entitlements({sandbox, camera}), true, false, false},
        {"sandboxed, camera false", Entitlements({sandbox}, camera), false, false, false},
        {"sandboxed, client", Entitlements({sandbox, client}), false, false, false},
        {"sandboxed, client and server", Entitlements({sandbox, client, server}), false, true, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.host);
        UCodeEntitlements::sEntitlements().SetCodeSignedEntitlementsCopy(c.entitlements);  // takes it over
        EXPECT_EQ(IsLoadableMacCameraEntitlement(), c.camera);
        EXPECT_EQ(IsLoadableNetworkCamera(), c.network);
        EXPECT_EQ(IsLoadableSharedMemoryCamera(), c.sharedMemory);
        EXPECT_EQ(IsLoadableMachIPCCamera(), c.sharedMemory);
    }
}

TEST_F(HostRecord, SignedBundleIdentifier) {
    UCodeEntitlements &record = UCodeEntitlements::sEntitlements();
    record.SetSignedBundleID(nullptr);
    EXPECT_FALSE(IsLoadableProcessHasSignedBundleIdentifier(CFSTR("org.lumora.host")));
    record.SetSignedBundleID(CFSTR("org.lumora.host"));
    EXPECT_TRUE(IsLoadableProcessHasSignedBundleIdentifier(CFSTR("org.lumora.host")));
    EXPECT_FALSE(IsLoadableProcessHasSignedBundleIdentifier(CFSTR("org.lumora.other")));
    EXPECT_FALSE(IsLoadableProcessHasSignedBundleIdentifier(nullptr));
    EXPECT_FALSE(IsLoadableProcessHasSignedBundleIdentifier(reinterpret_cast<CFStringRef>(kCFBooleanTrue)));
}

TEST(QVDigIsLoadable, SystemVersions) {
    // The system answers 10.9.
    ASSERT_EQ(CoreSystem::GetVersion(), 0x1090);
    EXPECT_TRUE(IsLoadableSnowLeopardOrNewer());
    EXPECT_TRUE(IsLoadableMountainLionOrNewer());
}

}  // namespace
