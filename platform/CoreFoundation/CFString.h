// Strings: immutable and mutable sequences of UTF-16 units. Lengths, indexes and ranges
// count UTF-16 units; a character outside the Basic Multilingual Plane is two units.
//
// Conversions to and from the 8-bit and Unicode encodings below answer null (creation)
// or false (extraction) when the input is not valid in the encoding or a character has
// no representation in the target encoding; nothing is silently replaced unless the
// caller passes a loss byte to CFStringGetBytes.
#pragma once

#include <CoreFoundation/CFArray.h>
#include <CoreFoundation/CFBase.h>
#include <CoreFoundation/CFData.h>
#include <CoreFoundation/CFDictionary.h>

typedef UInt32 CFStringEncoding;

enum : CFStringEncoding {
    kCFStringEncodingMacRoman = 0,
    kCFStringEncodingWindowsLatin1 = 0x0500,
    kCFStringEncodingISOLatin1 = 0x0201,
    kCFStringEncodingNextStepLatin = 0x0B01,
    kCFStringEncodingASCII = 0x0600,
    kCFStringEncodingUnicode = 0x0100,  // UTF-16 in host byte order
    kCFStringEncodingUTF8 = 0x08000100,
    // ASCII; other characters as backslash escapes: \ooo (octal) for U+0080-U+00FF,
    // \uXXXX above, and a backslash as two backslashes.
    kCFStringEncodingNonLossyASCII = 0x0BFF,
    kCFStringEncodingUTF16 = 0x0100,
    kCFStringEncodingUTF16BE = 0x10000100,
    kCFStringEncodingUTF16LE = 0x14000100,
    kCFStringEncodingInvalidId = 0xffffffffU,
};

typedef CFOptionFlags CFStringCompareFlags;
enum : CFStringCompareFlags {
    kCFCompareCaseInsensitive = 1,
};

// One immortal string per literal text (the same object for the same text). Thread-safe.
// The literal is UTF-8.
#define CFSTR(cStr) __CFStringMakeConstantString("" cStr "")
CFStringRef __CFStringMakeConstantString(const char *cStr);

CFTypeID CFStringGetTypeID(void);

// Creation. The text is converted from the encoding; null when it is not valid in it.
// For the UTF-16 encodings a C string ends with a 16-bit zero unit.
CFStringRef CFStringCreateWithCString(CFAllocatorRef alloc, const char *cStr, CFStringEncoding encoding);
// isExternalRepresentation: a byte-order mark may begin the bytes (UTF-16 and UTF-8) and is
// honoured and removed.
CFStringRef CFStringCreateWithBytes(CFAllocatorRef alloc, const UInt8 *bytes, CFIndex numBytes,
                                    CFStringEncoding encoding, Boolean isExternalRepresentation);
CFStringRef CFStringCreateWithPascalString(CFAllocatorRef alloc, ConstStr255Param pStr, CFStringEncoding encoding);
CFStringRef CFStringCreateWithCharacters(CFAllocatorRef alloc, const UniChar *chars, CFIndex numChars);
CFStringRef CFStringCreateWithSubstring(CFAllocatorRef alloc, CFStringRef str, CFRange range);
// An immutable string with the same characters (the string itself when it is immutable).
CFStringRef CFStringCreateCopy(CFAllocatorRef alloc, CFStringRef theString);

// printf-style formatting. Conversions: the C library's d i u o x X f F e E g G a A c s p
// with flags, width, precision (both may be *) and length modifiers (hh h l ll q L j z t);
// %@ inserts an object's description (a string as itself, null as "(null)"); %C is a
// UniChar, %S a zero-terminated UniChar array, %lc / %ls wide characters; %% a percent
// sign. %s texts are read as UTF-8 (as ISO Latin-1 when they are not valid UTF-8).
// %n writes nothing. An unknown conversion is kept as written. Null on a formatting error.
CFStringRef CFStringCreateWithFormat(CFAllocatorRef alloc, CFDictionaryRef formatOptions, CFStringRef format, ...);
CFStringRef CFStringCreateWithFormatAndArguments(CFAllocatorRef alloc, CFDictionaryRef formatOptions,
                                                 CFStringRef format, va_list arguments);

// Mutable strings (maxLength and the allocator are hints only).
CFMutableStringRef CFStringCreateMutable(CFAllocatorRef alloc, CFIndex maxLength);
CFMutableStringRef CFStringCreateMutableCopy(CFAllocatorRef alloc, CFIndex maxLength, CFStringRef theString);
void CFStringAppend(CFMutableStringRef theString, CFStringRef appendedString);
// Nothing is appended when the C string is not valid in the encoding.
void CFStringAppendCString(CFMutableStringRef theString, const char *cStr, CFStringEncoding encoding);
void CFStringAppendFormat(CFMutableStringRef theString, CFDictionaryRef formatOptions, CFStringRef format, ...);

// Access.
CFIndex CFStringGetLength(CFStringRef theString);
UniChar CFStringGetCharacterAtIndex(CFStringRef theString, CFIndex idx);  // 0 outside the string
void CFStringGetCharacters(CFStringRef theString, CFRange range, UniChar *buffer);

// Converts the whole string and ends it with a zero (two zero bytes for the UTF-16
// encodings). False when the buffer is too small or a character cannot be represented.
Boolean CFStringGetCString(CFStringRef theString, char *buffer, CFIndex bufferSize, CFStringEncoding encoding);
// The string's own 8-bit form in the encoding, or null. Answered only when the string is
// immutable and either was created from these bytes in this encoding or is all ASCII and
// the encoding is ASCII-compatible. Valid as long as the string lives.
const char *CFStringGetCStringPtr(CFStringRef theString, CFStringEncoding encoding);
// Converts the characters of the range until the buffer is full or a character cannot be
// represented (one lossByte stands for it when lossByte is not 0). Answers the number of
// UTF-16 units converted; *usedBufLen receives the bytes written. Never writes past
// maxBufLen; a null buffer measures (maxBufLen is then ignored). isExternalRepresentation
// puts a byte-order mark before UTF-16 (kCFStringEncodingUnicode / UTF16).
CFIndex CFStringGetBytes(CFStringRef theString, CFRange range, CFStringEncoding encoding, UInt8 lossByte,
                         Boolean isExternalRepresentation, UInt8 *buffer, CFIndex maxBufLen, CFIndex *usedBufLen);
// The most bytes `length` UTF-16 units can take in the encoding, without a terminator;
// kCFNotFound for an unknown encoding or an overflow.
CFIndex CFStringGetMaximumSizeForEncoding(CFIndex length, CFStringEncoding encoding);
Boolean CFStringIsEncodingAvailable(CFStringEncoding encoding);

// Comparison of UTF-16 units; kCFCompareCaseInsensitive folds the case of Latin, Greek and
// Cyrillic letters first. A null string sorts before every other string.
CFComparisonResult CFStringCompare(CFStringRef theString1, CFStringRef theString2, CFStringCompareFlags compareOptions);
// False for an empty prefix or suffix (an empty string is never found).
Boolean CFStringHasPrefix(CFStringRef theString, CFStringRef prefix);
Boolean CFStringHasSuffix(CFStringRef theString, CFStringRef suffix);
