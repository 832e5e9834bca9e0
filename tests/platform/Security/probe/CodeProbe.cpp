// Prints the running program's signing identifier and entitlements blob (length and header
// bytes), for the Security tests.
#include <Security/Security.h>

#include <cstdio>

int main() {
    SecCodeRef code = nullptr;
    if (SecCodeCopySelf(kSecCSDefaultFlags, &code) != errSecSuccess) return 1;
    CFDictionaryRef information = nullptr;
    const OSStatus status =
        SecCodeCopySigningInformation(code, kSecCSSigningInformation | kSecCSRequirementInformation, &information);
    CFRelease(code);
    if (status != errSecSuccess) return 2;
    char identifier[256] = "-";
    auto name = static_cast<CFStringRef>(CFDictionaryGetValue(information, kSecCodeInfoIdentifier));
    if (name != nullptr) CFStringGetCString(name, identifier, sizeof identifier, kCFStringEncodingUTF8);
    std::printf("identifier=%s\n", identifier);
    auto blob = static_cast<CFDataRef>(CFDictionaryGetValue(information, kSecCodeInfoEntitlements));
    if (blob == nullptr) {
        std::printf("entitlements=-\n");
    } else {
        std::printf("entitlements=%ld", long(CFDataGetLength(blob)));
        for (CFIndex i = 0; i < 8 && i < CFDataGetLength(blob); ++i) std::printf(" %02X", CFDataGetBytePtr(blob)[i]);
        std::printf("\n");
    }
    CFRelease(information);
    return 0;
}
