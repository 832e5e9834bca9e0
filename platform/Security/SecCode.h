// Code-signing information of the running program (or of a bundle on disk).
//
// Linux has no code signatures; a program's "signature" here is what its bundle says about
// it, as trustworthy as the bundle's own files:
//   - the signing identifier is the CFBundleIdentifier of the bundle's Contents/Info.plist
//     (absent when the program is not in a bundle, or the bundle names none);
//   - the entitlements are the file Contents/Resources/Entitlements.plist (an XML property
//     list whose root is a dictionary) when the bundle ships one. It is handed out as the
//     entitlements blob is laid out: the magic 0xFADE7171 and the blob's total length, both
//     big-endian, then the file's bytes as they are. No file, no blob.
// A program outside a bundle (a bare tool, see CFBundleGetMainBundle) has neither.
#pragma once

#include <CoreFoundation/CoreFoundation.h>
#include <Security/SecBase.h>

typedef struct __SecCode *SecCodeRef;
typedef struct __SecCode *SecStaticCodeRef;  // the same objects: a program's code on disk

typedef uint32_t SecCSFlags;
enum {
    kSecCSDefaultFlags = 0,
    kSecCSSigningInformation = 1 << 1,      // the signing identifier
    kSecCSRequirementInformation = 1 << 2,  // the entitlements blob
};

// Keys of the information dictionary.
extern const CFStringRef kSecCodeInfoIdentifier;    // "identifier": CFString
extern const CFStringRef kSecCodeInfoEntitlements;  // "entitlements": CFData, the blob

enum { kSecCodeMagicEntitlement = 0xFADE7171 };
// The largest Entitlements.plist that is read (a bigger one is errSecCSBadResource).
enum { kSecCodeMaxEntitlementsFileSize = 1 << 20 };

CFTypeID SecCodeGetTypeID(void);

// The running program's code: its main bundle (CFBundleGetMainBundle), or no bundle for a
// bare tool. flags must be kSecCSDefaultFlags. *self receives a created object.
OSStatus SecCodeCopySelf(SecCSFlags flags, SecCodeRef *self);

// The code of a bundle folder (its Contents/Info.plist and Contents/Resources/
// Entitlements.plist are read as for the running program), or of a single program file (no
// bundle). errSecCSStaticCodeNotFound when nothing is at the path. flags must be
// kSecCSDefaultFlags.
OSStatus SecStaticCodeCreateWithPath(CFURLRef path, SecCSFlags flags, SecStaticCodeRef *staticCode);

// A created dictionary of what the flags ask for (kSecCSSigningInformation,
// kSecCSRequirementInformation, or both): kSecCodeInfoIdentifier when the code has an
// identifier, kSecCodeInfoEntitlements when it has entitlements. The files are read at each
// call. errSecCSBadResource when Entitlements.plist exists but cannot be read whole;
// errSecCSInvalidFlags for any other flag; errSecParam for a null argument.
OSStatus SecCodeCopySigningInformation(SecStaticCodeRef code, SecCSFlags flags, CFDictionaryRef *information);
