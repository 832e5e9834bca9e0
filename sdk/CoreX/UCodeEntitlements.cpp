#include <CoreX/UCodeEntitlements.h>

#include <CoreX/CoreSystem.h>
#include <Security/Security.h>

namespace {

constexpr CoreSystemName kSystemLion(0x1070);

uint32_t BigEndian32(const UInt8 *bytes) {
    return uint32_t(bytes[0]) << 24 | uint32_t(bytes[1]) << 16 | uint32_t(bytes[2]) << 8 | uint32_t(bytes[3]);
}

}  // namespace

UCodeEntitlements &UCodeEntitlements::sEntitlements() {
    // Never destroyed: a background thread still running while the process exits (a plug-in's
    // reconnection, say) may ask it after static destruction has begun.
    static UCodeEntitlements *const entitlements = new UCodeEntitlements;
    return *entitlements;
}

UCodeEntitlements::UCodeEntitlements() { Construct(); }

UCodeEntitlements::~UCodeEntitlements() {
    if (mSignedBundleID != nullptr) CFRelease(mSignedBundleID);
    if (mEntitlements != nullptr) CFRelease(mEntitlements);
    if (mSigningInformation != nullptr) CFRelease(mSigningInformation);
    if (mRequirementInformation != nullptr) CFRelease(mRequirementInformation);
}

bool UCodeEntitlements::Construct() {
    CFStringRef identifier = nullptr;
    CFDictionaryRef entitlements = nullptr;
    SecCodeRef code = nullptr;
    if (SecCodeCopySelf(kSecCSDefaultFlags, &code) == errSecSuccess && code != nullptr) {
        CFDictionaryRef signing = nullptr;
        if (SecCodeCopySigningInformation(code, kSecCSSigningInformation, &signing) == errSecSuccess) {
            if (mSigningInformation != nullptr) CFRelease(mSigningInformation);
            mSigningInformation = signing;
            CFTypeRef value = CFDictionaryGetValue(signing, kSecCodeInfoIdentifier);
            if (value != nullptr && CFGetTypeID(value) == CFStringGetTypeID()) identifier = static_cast<CFStringRef>(value);
        }
        CFDictionaryRef requirement = nullptr;
        if (SecCodeCopySigningInformation(code, kSecCSRequirementInformation, &requirement) == errSecSuccess) {
            if (mRequirementInformation != nullptr) CFRelease(mRequirementInformation);
            mRequirementInformation = requirement;
            CFTypeRef blob = CFDictionaryGetValue(requirement, kSecCodeInfoEntitlements);
            if (blob != nullptr && CFGetTypeID(blob) == CFDataGetTypeID())
                entitlements = copyEntitlementsDictionaryFromBlobData(static_cast<CFDataRef>(blob));
        }
        CFRelease(code);
    }
    SetSignedBundleID(identifier);
    SetCodeSignedEntitlementsCopy(entitlements);
    return entitlements != nullptr;
}

CFDictionaryRef UCodeEntitlements::copyEntitlementsDictionaryFromBlobData(CFDataRef blob) {
    if (blob == nullptr || CFGetTypeID(blob) != CFDataGetTypeID()) return nullptr;
    const CFIndex length = CFDataGetLength(blob);
    const UInt8 *bytes = CFDataGetBytePtr(blob);
    if (length < 9 || bytes == nullptr) return nullptr;
    if (BigEndian32(bytes) != kSecCodeMagicEntitlement) return nullptr;
    if (CFIndex(BigEndian32(bytes + 4)) != length) return nullptr;
    CFDataRef xml = CFDataCreateWithBytesNoCopy(kCFAllocatorDefault, bytes + 8, length - 8, kCFAllocatorNull);
    if (xml == nullptr) return nullptr;
    CFPropertyListRef list = CFPropertyListCreateFromXMLData(kCFAllocatorDefault, xml, kCFPropertyListImmutable, nullptr);
    CFRelease(xml);
    if (list == nullptr) return nullptr;
    if (CFGetTypeID(list) != CFDictionaryGetTypeID()) {
        CFRelease(list);
        return nullptr;
    }
    return static_cast<CFDictionaryRef>(list);
}

void UCodeEntitlements::SetSignedBundleID(CFStringRef identifier) {
    if (identifier != nullptr) CFRetain(identifier);
    if (mSignedBundleID != nullptr) CFRelease(mSignedBundleID);
    mSignedBundleID = identifier;
    mHasSignedBundleID = identifier != nullptr;
}

CFStringRef UCodeEntitlements::CopySignedBundleID() const {
    if (mSignedBundleID == nullptr) return nullptr;
    return static_cast<CFStringRef>(CFRetain(mSignedBundleID));
}

void UCodeEntitlements::SetCodeSignedEntitlementsCopy(CFDictionaryRef entitlements) {
    if (mEntitlements != nullptr && mEntitlements != entitlements) CFRelease(mEntitlements);
    mEntitlements = entitlements;
    mAllAccess = CoreSystem::IsEarlierThanRevision(kSystemLion) ||
                 !HasEntitlementAndBooleanValueIsTrue(CFSTR("com.apple.security.app-sandbox"));
    mNoEntitlements = entitlements == nullptr;
}

CFTypeRef UCodeEntitlements::CopyEntitlementKeyValue(CFStringRef key) const {
    if (mEntitlements == nullptr || key == nullptr) return nullptr;
    CFTypeRef value = CFDictionaryGetValue(mEntitlements, key);
    return value != nullptr ? CFRetain(value) : nullptr;
}

bool UCodeEntitlements::HasEntitlementAndBooleanValueIsTrue(CFStringRef key) const {
    CFTypeRef value = CopyEntitlementKeyValue(key);
    if (value == nullptr) return false;
    const bool isTrue =
        CFGetTypeID(value) == CFBooleanGetTypeID() && CFBooleanGetValue(static_cast<CFBooleanRef>(value));
    CFRelease(value);
    return isTrue;
}

bool UCodeEntitlements::HasAccessToAllEntitlements() const { return mAllAccess || mNoEntitlements; }

bool UCodeEntitlements::HasActiveSecuritySandbox() const { return !HasAccessToAllEntitlements(); }

bool UCodeEntitlements::IsSystemLionWithSandboxOrLater() { return !CoreSystem::IsEarlierThanRevision(kSystemLion); }

bool UCodeEntitlements::HasAccessForEntitlement(CFStringRef key) const {
    return mAllAccess || mNoEntitlements || HasEntitlementAndBooleanValueIsTrue(key);
}

bool UCodeEntitlements::HasAccessToPrinting() const {
    return HasAccessForEntitlement(CFSTR("com.apple.security.print"));
}

bool UCodeEntitlements::HasActiveSecurityBookmarksAppScope() const {
    return HasAccessForEntitlement(CFSTR("com.apple.security.files.bookmarks.app-scope"));
}

bool UCodeEntitlements::HasAccessToNetworkServer() const {
    return HasAccessForEntitlement(CFSTR("com.apple.security.network.server"));
}

bool UCodeEntitlements::HasAccessToNetworkClient() const {
    return HasAccessForEntitlement(CFSTR("com.apple.security.network.client"));
}

bool UCodeEntitlements::HasAccessToCameraDevice() const {
    return HasAccessForEntitlement(CFSTR("com.apple.security.device.camera"));
}

bool import_UCodeEntitlements() { return import_CoreSystem(); }
