// Attributed strings: a string with attributes (key -> value) over ranges of its UTF-16
// units. The text layer reads the font and colour attributes (CTStringAttributes.h).
//
// This type belongs with Core Foundation; it lives in the Core Graphics layer because the
// text calls are its only user.
#pragma once

#include <CoreFoundation/CFDictionary.h>
#include <CoreFoundation/CFString.h>

typedef const struct __CFAttributedString *CFAttributedStringRef;
typedef struct __CFAttributedString *CFMutableAttributedStringRef;

CFTypeID CFAttributedStringGetTypeID(void);

// The string is copied; attributes (may be null) apply to the whole string. Null for a null
// string.
CFAttributedStringRef CFAttributedStringCreate(CFAllocatorRef alloc, CFStringRef str, CFDictionaryRef attributes);
// maxLength is a hint only.
CFMutableAttributedStringRef CFAttributedStringCreateMutableCopy(CFAllocatorRef alloc, CFIndex maxLength,
                                                                 CFAttributedStringRef aStr);

CFIndex CFAttributedStringGetLength(CFAttributedStringRef aStr);
CFStringRef CFAttributedStringGetString(CFAttributedStringRef aStr);
// The value of the attribute at the index (not retained), or null. *effectiveRange (may be
// null) receives the range around loc over which that answer holds.
CFTypeRef CFAttributedStringGetAttribute(CFAttributedStringRef aStr, CFIndex loc, CFStringRef attrName,
                                         CFRange *effectiveRange);
// Sets (retains) the value over the range; a range outside the string changes nothing. A
// null value removes the attribute there.
void CFAttributedStringSetAttribute(CFMutableAttributedStringRef aStr, CFRange range, CFStringRef attrName,
                                    CFTypeRef value);
