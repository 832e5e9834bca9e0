// Bags: unordered collections that count how often each value was added.
#pragma once

#include <CoreFoundation/CFBase.h>

typedef const void *(*CFBagRetainCallBack)(CFAllocatorRef allocator, const void *value);
typedef void (*CFBagReleaseCallBack)(CFAllocatorRef allocator, const void *value);
typedef CFStringRef (*CFBagCopyDescriptionCallBack)(const void *value);
typedef Boolean (*CFBagEqualCallBack)(const void *value1, const void *value2);
typedef CFHashCode (*CFBagHashCallBack)(const void *value);

struct CFBagCallBacks {
    CFIndex version;
    CFBagRetainCallBack retain;
    CFBagReleaseCallBack release;
    CFBagCopyDescriptionCallBack copyDescription;
    CFBagEqualCallBack equal;
    CFBagHashCallBack hash;
};

extern const CFBagCallBacks kCFTypeBagCallBacks;

typedef const struct __CFBag *CFBagRef;
typedef struct __CFBag *CFMutableBagRef;

CFTypeID CFBagGetTypeID(void);

CFBagRef CFBagCreate(CFAllocatorRef allocator, const void **values, CFIndex numValues, const CFBagCallBacks *callBacks);
CFMutableBagRef CFBagCreateMutable(CFAllocatorRef allocator, CFIndex capacity, const CFBagCallBacks *callBacks);
// Every occurrence counts.
CFIndex CFBagGetCount(CFBagRef theBag);
CFIndex CFBagGetCountOfValue(CFBagRef theBag, const void *value);
void CFBagAddValue(CFMutableBagRef theBag, const void *value);
