// Errors: a domain, a code and a dictionary of further information.
#pragma once

#include <CoreFoundation/CFBase.h>
#include <CoreFoundation/CFDictionary.h>

typedef struct __CFError *CFErrorRef;
typedef CFStringRef CFErrorDomain;

extern const CFErrorDomain kCFErrorDomainPOSIX;     // "NSPOSIXErrorDomain"
extern const CFErrorDomain kCFErrorDomainOSStatus;  // "NSOSStatusErrorDomain"
extern const CFErrorDomain kCFErrorDomainCocoa;     // "NSCocoaErrorDomain"

// userInfo key of a description for the user (a CFString).
extern const CFStringRef kCFErrorLocalizedDescriptionKey;  // "NSLocalizedDescription"

CFTypeID CFErrorGetTypeID(void);

// Null without a domain. The error keeps its own copy of userInfo.
CFErrorRef CFErrorCreate(CFAllocatorRef allocator, CFErrorDomain domain, CFIndex code, CFDictionaryRef userInfo);
CFErrorDomain CFErrorGetDomain(CFErrorRef err);
CFIndex CFErrorGetCode(CFErrorRef err);
// userInfo's kCFErrorLocalizedDescriptionKey when it is a string, else
// "The operation couldn’t be completed. (<domain> error <code>.)".
CFStringRef CFErrorCopyDescription(CFErrorRef err);
