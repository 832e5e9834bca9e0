// Core Foundation base: reference-counted objects identified by a type id.
//
// Every object of every layer (strings, numbers, images, surfaces...) derives from
// cf::Object (CFRuntime.h) and is handled through CFTypeRef. CFRetain/CFRelease are
// thread-safe; an object is destroyed by the release that takes its count to zero.
#pragma once

#include <cstdarg>

#include <CoreFoundation/MacTypes.h>

typedef long CFIndex;
typedef unsigned long CFTypeID;
typedef unsigned long CFOptionFlags;
typedef unsigned long CFHashCode;
typedef const void *CFTypeRef;

typedef const struct __CFAllocator *CFAllocatorRef;
typedef const struct __CFString *CFStringRef;
typedef struct __CFString *CFMutableStringRef;
typedef const struct __CFNull *CFNullRef;

struct CFRange {
    CFIndex location;
    CFIndex length;
};
inline CFRange CFRangeMake(CFIndex location, CFIndex length) { return CFRange{location, length}; }

enum CFComparisonResult : CFIndex {
    kCFCompareLessThan = -1,
    kCFCompareEqualTo = 0,
    kCFCompareGreaterThan = 1,
};

enum : CFIndex { kCFNotFound = -1 };

// Allocators are accepted for the callers' sake; every object uses the C++ heap.
extern const CFAllocatorRef kCFAllocatorDefault;
extern const CFAllocatorRef kCFAllocatorSystemDefault;
extern const CFAllocatorRef kCFAllocatorMalloc;
extern const CFAllocatorRef kCFAllocatorNull;

// Retains and answers the object. A null reference is answered unchanged.
CFTypeRef CFRetain(CFTypeRef object);
// Releases; the last release destroys the object. A null reference is ignored.
void CFRelease(CFTypeRef object);
CFIndex CFGetRetainCount(CFTypeRef object);
CFTypeID CFGetTypeID(CFTypeRef object);
// The registered name of a type ("CFString"); null for an unknown id. Created.
CFStringRef CFCopyTypeIDDescription(CFTypeID type);
// A text describing the object (a string's own characters for CFString). Created.
CFStringRef CFCopyDescription(CFTypeRef object);
Boolean CFEqual(CFTypeRef a, CFTypeRef b);
CFHashCode CFHash(CFTypeRef object);

// The null object, for collections that need a placeholder.
extern const CFNullRef kCFNull;
CFTypeID CFNullGetTypeID();
