// Property lists read into Core Foundation objects.
//
// Only XML property lists are read, and only as immutable objects. A value becomes a
// CFDictionary (string keys), CFArray, CFString, CFNumber (integers as 64-bit signed values,
// reals as doubles), CFBoolean or CFData. The layer has no date type, so a list holding a
// <date> is refused, and so is an integer above 2^63-1. Anything malformed is refused
// whole: text that is not a property list, invalid UTF-8, any NUL byte (XML allows none),
// nesting deeper than kCFPropertyListMaxDepth containers.
#pragma once

#include <CoreFoundation/CFBase.h>
#include <CoreFoundation/CFData.h>
#include <CoreFoundation/CFString.h>

typedef CFTypeRef CFPropertyListRef;

enum {
    kCFPropertyListImmutable = 0,
    kCFPropertyListMutableContainers = 1,
    kCFPropertyListMutableContainersAndLeaves = 2,
};
typedef CFOptionFlags CFPropertyListMutabilityOptions;

// The deepest nesting of arrays and dictionaries that is read.
enum { kCFPropertyListMaxDepth = 512 };

// The property list of the XML data (created: the caller releases it), or null; then
// *errorString, when errorString is not null, receives a created text saying why.
// mutabilityOption must be kCFPropertyListImmutable: mutable results are not provided.
CFPropertyListRef CFPropertyListCreateFromXMLData(CFAllocatorRef allocator, CFDataRef xmlData,
                                                  CFOptionFlags mutabilityOption, CFStringRef *errorString);
