// Arrays: ordered collections of pointer-sized values. The callbacks decide what the
// array does with a value it takes or drops; kCFTypeArrayCallBacks retains and releases
// Core Foundation objects and compares them with CFEqual. A null callbacks pointer keeps
// raw pointers untouched.
#pragma once

#include <CoreFoundation/CFBase.h>

typedef const void *(*CFArrayRetainCallBack)(CFAllocatorRef allocator, const void *value);
typedef void (*CFArrayReleaseCallBack)(CFAllocatorRef allocator, const void *value);
typedef CFStringRef (*CFArrayCopyDescriptionCallBack)(const void *value);
typedef Boolean (*CFArrayEqualCallBack)(const void *value1, const void *value2);

struct CFArrayCallBacks {
    CFIndex version;
    CFArrayRetainCallBack retain;
    CFArrayReleaseCallBack release;
    CFArrayCopyDescriptionCallBack copyDescription;
    CFArrayEqualCallBack equal;
};

extern const CFArrayCallBacks kCFTypeArrayCallBacks;

typedef const struct __CFArray *CFArrayRef;
typedef struct __CFArray *CFMutableArrayRef;

CFTypeID CFArrayGetTypeID(void);

CFArrayRef CFArrayCreate(CFAllocatorRef allocator, const void **values, CFIndex numValues,
                         const CFArrayCallBacks *callBacks);
// capacity is a hint; the array grows as needed.
CFMutableArrayRef CFArrayCreateMutable(CFAllocatorRef allocator, CFIndex capacity, const CFArrayCallBacks *callBacks);

// Whether the array was made mutable (the layer's own: Core Foundation keeps this to itself,
// while Foundation code asks for the mutable class). False for anything else.
Boolean CFArrayIsMutable(CFArrayRef theArray);

CFIndex CFArrayGetCount(CFArrayRef theArray);
// Null outside the array.
const void *CFArrayGetValueAtIndex(CFArrayRef theArray, CFIndex idx);
void CFArrayAppendValue(CFMutableArrayRef theArray, const void *value);
// Nothing happens outside the array.
void CFArrayRemoveValueAtIndex(CFMutableArrayRef theArray, CFIndex idx);
void CFArrayRemoveAllValues(CFMutableArrayRef theArray);
