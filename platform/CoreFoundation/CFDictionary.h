// Dictionaries: unordered key-value collections. Keys are found with the key callbacks'
// hash and equal functions (pointer identity without them).
#pragma once

#include <CoreFoundation/CFBase.h>

typedef const void *(*CFDictionaryRetainCallBack)(CFAllocatorRef allocator, const void *value);
typedef void (*CFDictionaryReleaseCallBack)(CFAllocatorRef allocator, const void *value);
typedef CFStringRef (*CFDictionaryCopyDescriptionCallBack)(const void *value);
typedef Boolean (*CFDictionaryEqualCallBack)(const void *value1, const void *value2);
typedef CFHashCode (*CFDictionaryHashCallBack)(const void *value);

struct CFDictionaryKeyCallBacks {
    CFIndex version;
    CFDictionaryRetainCallBack retain;
    CFDictionaryReleaseCallBack release;
    CFDictionaryCopyDescriptionCallBack copyDescription;
    CFDictionaryEqualCallBack equal;
    CFDictionaryHashCallBack hash;
};

struct CFDictionaryValueCallBacks {
    CFIndex version;
    CFDictionaryRetainCallBack retain;
    CFDictionaryReleaseCallBack release;
    CFDictionaryCopyDescriptionCallBack copyDescription;
    CFDictionaryEqualCallBack equal;
};

// Retain/release Core Foundation objects, compare with CFEqual, hash with CFHash.
extern const CFDictionaryKeyCallBacks kCFTypeDictionaryKeyCallBacks;
// The same, but a key is taken as an immutable copy of the string (CFStringCreateCopy), so
// a mutable string used as a key can change afterwards without harm.
extern const CFDictionaryKeyCallBacks kCFCopyStringDictionaryKeyCallBacks;
extern const CFDictionaryValueCallBacks kCFTypeDictionaryValueCallBacks;

typedef const struct __CFDictionary *CFDictionaryRef;
typedef struct __CFDictionary *CFMutableDictionaryRef;

CFTypeID CFDictionaryGetTypeID(void);

// A later duplicate key replaces the value of an earlier one.
CFDictionaryRef CFDictionaryCreate(CFAllocatorRef allocator, const void **keys, const void **values,
                                   CFIndex numValues, const CFDictionaryKeyCallBacks *keyCallBacks,
                                   const CFDictionaryValueCallBacks *valueCallBacks);
// capacity is a hint; the dictionary grows as needed.
CFMutableDictionaryRef CFDictionaryCreateMutable(CFAllocatorRef allocator, CFIndex capacity,
                                                 const CFDictionaryKeyCallBacks *keyCallBacks,
                                                 const CFDictionaryValueCallBacks *valueCallBacks);
// A mutable dictionary of the same entries and callbacks (the values themselves are shared,
// not copied); null when theDict is not a dictionary.
CFMutableDictionaryRef CFDictionaryCreateMutableCopy(CFAllocatorRef allocator, CFIndex capacity, CFDictionaryRef theDict);
// Whether the dictionary was made mutable (the layer's own: Core Foundation keeps this to
// itself, while Foundation code asks for the mutable class). False for anything else.
Boolean CFDictionaryIsMutable(CFDictionaryRef theDict);

CFIndex CFDictionaryGetCount(CFDictionaryRef theDict);
// Null when the key is absent.
const void *CFDictionaryGetValue(CFDictionaryRef theDict, const void *key);
Boolean CFDictionaryGetValueIfPresent(CFDictionaryRef theDict, const void *key, const void **value);
// Either array may be null; each must hold CFDictionaryGetCount entries.
void CFDictionaryGetKeysAndValues(CFDictionaryRef theDict, const void **keys, const void **values);
// Adds or replaces.
void CFDictionarySetValue(CFMutableDictionaryRef theDict, const void *key, const void *value);
// Adds only when the key is absent.
void CFDictionaryAddValue(CFMutableDictionaryRef theDict, const void *key, const void *value);
void CFDictionaryRemoveValue(CFMutableDictionaryRef theDict, const void *key);
void CFDictionaryRemoveAllValues(CFMutableDictionaryRef theDict);
