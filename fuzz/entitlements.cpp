// Entitlements blobs and the Core Foundation XML property-list reader under them. The first
// byte chooses how the rest is used: as a whole blob, or as the XML of a blob whose header
// is made right (so the fuzzer works on the property list). What reads is checked against
// the reader run on its own, and its answers are asked of a UCodeEntitlements record.
#include "FuzzSupport.h"

#include <CoreFoundation/CoreFoundation.h>
#include <CoreX/UCodeEntitlements.h>

#include <string>

namespace {

std::string BigEndian(uint32_t value) {
    std::string bytes;
    for (int shift = 24; shift >= 0; shift -= 8) bytes.push_back(char((value >> shift) & 0xFF));
    return bytes;
}

CFDataRef DataOf(const std::string &bytes) {
    return CFDataCreate(nullptr, reinterpret_cast<const UInt8 *>(bytes.data()), CFIndex(bytes.size()));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    lumora::fuzz::Input input(data, size);
    const bool wrap = (input.byte() & 1) != 0;
    const std::string rest(input.rest());
    const std::string blob =
        wrap ? BigEndian(0xFADE7171) + BigEndian(uint32_t(8 + rest.size())) + rest : rest;

    CFDataRef blobData = DataOf(blob);
    CFDictionaryRef dictionary = UCodeEntitlements::copyEntitlementsDictionaryFromBlobData(blobData);
    CFRelease(blobData);

    // The XML part read on its own.
    const std::string xml = blob.size() >= 8 ? blob.substr(8) : std::string();
    CFDataRef xmlData = DataOf(xml);
    CFStringRef error = nullptr;
    CFPropertyListRef list = CFPropertyListCreateFromXMLData(nullptr, xmlData, kCFPropertyListImmutable, &error);
    CFRelease(xmlData);
    LUMORA_CHECK((list == nullptr) == (error != nullptr));  // a refusal always says why
    if (error != nullptr) CFRelease(error);

    if (dictionary != nullptr) {
        LUMORA_CHECK(CFGetTypeID(dictionary) == CFDictionaryGetTypeID());
        LUMORA_CHECK(blob.size() >= 9 && blob.compare(0, 4, "\xFA\xDE\x71\x71") == 0);
        LUMORA_CHECK(blob.compare(4, 4, BigEndian(uint32_t(blob.size()))) == 0);
        // (Counts, not CFEqual: a <real>nan</real> is not equal to itself.)
        LUMORA_CHECK(list != nullptr && CFGetTypeID(list) == CFDictionaryGetTypeID() &&
                     CFDictionaryGetCount(static_cast<CFDictionaryRef>(list)) == CFDictionaryGetCount(dictionary));
        UCodeEntitlements entitlements;
        entitlements.SetCodeSignedEntitlementsCopy(dictionary);
        LUMORA_CHECK(entitlements.HasActiveSecuritySandbox() ==
                     entitlements.HasEntitlementAndBooleanValueIsTrue(CFSTR("com.apple.security.app-sandbox")));
        if (!entitlements.HasActiveSecuritySandbox()) {
            LUMORA_CHECK(entitlements.HasAccessToPrinting() && entitlements.HasAccessToCameraDevice() &&
                         entitlements.HasAccessToNetworkClient() && entitlements.HasAccessToNetworkServer() &&
                         entitlements.HasActiveSecurityBookmarksAppScope());
        }
    } else if (wrap && list != nullptr) {
        LUMORA_CHECK(CFGetTypeID(list) != CFDictionaryGetTypeID());  // only a non-dictionary root is refused
    }
    if (list != nullptr) CFRelease(list);
    return 0;
}
