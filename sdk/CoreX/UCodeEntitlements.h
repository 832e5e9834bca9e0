// What the running program's code signature says: its signing identifier and its
// entitlements, and from them whether it runs in the App Sandbox and which sandbox
// entitlements it holds (see Security/SecCode.h for where Linux finds them: the main
// bundle's Info.plist and Resources/Entitlements.plist). In a plug-in the answers describe
// the host process.
#pragma once

#include <CoreFoundation/CoreFoundation.h>

class UCodeEntitlements {
public:
    // The process-wide record, built from the running program's signature on first use and
    // never destroyed (threads that outlive main may still ask it). Made on first use rather
    // than as a global built before main: nothing heavy (file reads, property-list parsing)
    // runs before main, and no other static initialiser can find it unbuilt.
    static UCodeEntitlements &sEntitlements();

    // Fields cleared, both flags true, then Construct().
    UCodeEntitlements();
    virtual ~UCodeEntitlements();
    UCodeEntitlements(const UCodeEntitlements &) = delete;
    UCodeEntitlements &operator=(const UCodeEntitlements &) = delete;

    // Reads the running program's signing identifier and entitlements (SecCodeCopySelf).
    // True when an entitlements dictionary was found.
    bool Construct();

    // The dictionary of an entitlements blob (created), or null: the blob is the magic
    // 0xFADE7171 and its total length (both big-endian, the length equal to the data's),
    // then an XML property list whose root is a dictionary.
    static CFDictionaryRef copyEntitlementsDictionaryFromBlobData(CFDataRef blob);

    // Releases the old identifier and retains the new one (which may be null).
    void SetSignedBundleID(CFStringRef identifier);
    // The identifier retained (+1), or null.
    CFStringRef CopySignedBundleID() const;
    // Takes over the dictionary (null: no entitlements) and works out the flags.
    void SetCodeSignedEntitlementsCopy(CFDictionaryRef entitlements);

    // The entitlement's value retained (+1); null without a dictionary or such a key.
    CFTypeRef CopyEntitlementKeyValue(CFStringRef key) const;
    // The entitlement is present and is the boolean true.
    bool HasEntitlementAndBooleanValueIsTrue(CFStringRef key) const;

    // Not sandboxed, or no entitlements at all.
    bool HasAccessToAllEntitlements() const;
    bool HasActiveSecuritySandbox() const;
    // The system is 10.7 or later (the App Sandbox exists).
    static bool IsSystemLionWithSandboxOrLater();

    // Each: all access, or the entitlement of its name is true.
    bool HasAccessToPrinting() const;                 // com.apple.security.print
    bool HasActiveSecurityBookmarksAppScope() const;  // com.apple.security.files.bookmarks.app-scope
    bool HasAccessToNetworkServer() const;            // com.apple.security.network.server
    bool HasAccessToNetworkClient() const;            // com.apple.security.network.client
    bool HasAccessToCameraDevice() const;             // com.apple.security.device.camera

private:
    bool HasAccessForEntitlement(CFStringRef key) const;

    CFDictionaryRef mSigningInformation = nullptr;      // owned
    CFDictionaryRef mRequirementInformation = nullptr;  // owned
    CFDictionaryRef mEntitlements = nullptr;            // owned, may be null
    CFStringRef mSignedBundleID = nullptr;              // retained, may be null
    bool mHasSignedBundleID = false;
    bool mAllAccess = true;
    bool mNoEntitlements = true;
};

bool import_UCodeEntitlements();
