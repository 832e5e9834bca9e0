// Property lists read into Core Foundation objects and written from them.
//
// CFPropertyListCreateFromXMLData reads XML only, into immutable objects;
// CFPropertyListCreateWithData reads XML and binary lists, with mutable containers when asked.
// A value becomes a CFDictionary (string keys), CFArray, CFString, CFNumber (integers as
// 64-bit signed values, reals as doubles), CFBoolean or CFData. The layer has no date type,
// so a list holding a <date> is refused, and so is an integer above 2^63-1. Anything
// malformed is refused whole: text that is not a property list, invalid UTF-8, any NUL byte
// (XML allows none), nesting deeper than kCFPropertyListMaxDepth containers; in a binary
// list, offsets or references outside the data, cycles, strings holding a NUL, integers
// wider than 64 bits and shared containers that would expand without bound.
#pragma once

#include <CoreFoundation/CFBase.h>
#include <CoreFoundation/CFData.h>
#include <CoreFoundation/CFError.h>
#include <CoreFoundation/CFString.h>

typedef CFTypeRef CFPropertyListRef;

enum {
    kCFPropertyListImmutable = 0,
    kCFPropertyListMutableContainers = 1,
    kCFPropertyListMutableContainersAndLeaves = 2,
};
typedef CFOptionFlags CFPropertyListMutabilityOptions;

typedef CFIndex CFPropertyListFormat;
enum {
    kCFPropertyListOpenStepFormat = 1,
    kCFPropertyListXMLFormat_v1_0 = 100,
    kCFPropertyListBinaryFormat_v1_0 = 200,
};

// The deepest nesting of arrays and dictionaries that is read.
enum { kCFPropertyListMaxDepth = 512 };

// The property list of the XML data (created: the caller releases it), or null; then
// *errorString, when errorString is not null, receives a created text saying why.
// mutabilityOption must be kCFPropertyListImmutable: mutable results are not provided.
CFPropertyListRef CFPropertyListCreateFromXMLData(CFAllocatorRef allocator, CFDataRef xmlData,
                                                  CFOptionFlags mutabilityOption, CFStringRef *errorString);

// The property list of the data, XML or binary (binary when it begins "bplist00"), created:
// the caller releases it. With kCFPropertyListMutableContainers every array and dictionary in
// it is mutable (CFArrayIsMutable, CFDictionaryIsMutable); kCFPropertyListImmutable makes
// every one immutable; mutable leaves are not provided (refused). *format, when format is not
// null, receives the format read. Null when the data cannot be read; then *error, when error
// is not null, receives a created error (kCFErrorDomainCocoa, 3840) whose description says
// why.
CFPropertyListRef CFPropertyListCreateWithData(CFAllocatorRef allocator, CFDataRef data, CFOptionFlags options,
                                               CFPropertyListFormat *format, CFErrorRef *error);

// The property list written as kCFPropertyListXMLFormat_v1_0 or
// kCFPropertyListBinaryFormat_v1_0 (created: the caller releases it); options are ignored.
// Dictionary keys are written in order of their UTF-8 bytes, so the same list always gives
// the same data. Null, and a created error (kCFErrorDomainCocoa, 3851) when error is not
// null, for the OpenStep format, a value that is not a property-list type, a key that is not
// a string, a string or key holding a NUL or a lone surrogate, or nesting deeper than
// kCFPropertyListMaxDepth (a container that holds itself among them).
CFDataRef CFPropertyListCreateData(CFAllocatorRef allocator, CFPropertyListRef propertyList,
                                   CFPropertyListFormat format, CFOptionFlags options, CFErrorRef *error);
