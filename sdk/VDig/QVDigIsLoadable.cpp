#include <VDig/QVDigIsLoadable.h>

#include <CoreX/CoreSystem.h>
#include <CoreX/UCodeEntitlements.h>

namespace QVDigIsLoadable {

namespace {

bool Sandboxed() { return UCodeEntitlements::sEntitlements().HasActiveSecuritySandbox(); }

bool EntitlementIsTrue(CFStringRef key) {
    return UCodeEntitlements::sEntitlements().HasEntitlementAndBooleanValueIsTrue(key);
}

}  // namespace

bool IsLoadableSnowLeopardOrNewer() { return CoreSystem::IsAtLeast(CoreSystemName(0x1066)); }

bool IsLoadableMountainLionOrNewer() { return CoreSystem::IsAtLeast(CoreSystemName(0x1080)); }

bool IsLoadableMacCameraEntitlement() {
    return !Sandboxed() || EntitlementIsTrue(CFSTR("com.apple.security.device.camera"));
}

bool IsLoadableNetworkCamera() {
    return !Sandboxed() || (EntitlementIsTrue(CFSTR("com.apple.security.network.client")) &&
                            EntitlementIsTrue(CFSTR("com.apple.security.network.server")));
}

bool IsLoadableSharedMemoryCamera() { return !Sandboxed(); }

bool IsLoadableMachIPCCamera() { return !Sandboxed(); }

bool IsLoadableProcessHasSignedBundleIdentifier(CFStringRef identifier) {
    if (identifier == nullptr) return false;
    CFStringRef signedID = UCodeEntitlements::sEntitlements().CopySignedBundleID();
    if (signedID == nullptr) return false;
    const bool equal = CFGetTypeID(identifier) == CFStringGetTypeID() && CFEqual(signedID, identifier);
    CFRelease(signedID);
    return equal;
}

}  // namespace QVDigIsLoadable

bool import_QVDigIsLoadable() { return import_CoreSystem() && import_UCodeEntitlements(); }
