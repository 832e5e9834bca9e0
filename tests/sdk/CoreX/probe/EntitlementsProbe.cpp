// Prints what the process-wide entitlements record says about this program, for the
// UCodeEntitlements tests (run from inside EntitlementsProbe.app).
#include <CoreX/UCodeEntitlements.h>

#include <cstdio>

int main() {
    const UCodeEntitlements &entitlements = UCodeEntitlements::sEntitlements();
    char identifier[256] = "-";
    if (CFStringRef name = entitlements.CopySignedBundleID()) {
        CFStringGetCString(name, identifier, sizeof identifier, kCFStringEncodingUTF8);
        CFRelease(name);
    }
    std::printf("identifier=%s sandbox=%d camera=%d client=%d printing=%d\n", identifier,
                int(entitlements.HasActiveSecuritySandbox()), int(entitlements.HasAccessToCameraDevice()),
                int(entitlements.HasAccessToNetworkClient()), int(entitlements.HasAccessToPrinting()));
    return 0;
}
