// Sets: unordered collections of distinct values.
#pragma once

#include <CoreFoundation/CFBase.h>

typedef const void *(*CFSetRetainCallBack)(CFAllocatorRef allocator, const void *value);
typedef void (*CFSetReleaseCallBack)(CFAllocatorRef allocator, const void *value);
typedef CFStringRef (*CFSetCopyDescriptionCallBack)(const void *value);
typedef Boolean (*CFSetEqualCallBack)(const void *value1, const void *value2);
typedef CFHashCode (*CFSetHashCallBack)(const void *value);

struct CFSetCallBacks {
    CFIndex version;
    CFSetRetainCallBack retain;
    CFSetReleaseCallBack release;
    CFSetCopyDescriptionCallBack copyDescription;
    CFSetEqualCallBack equal;
    CFSetHashCallBack hash;
};

extern const CFSetCallBacks kCFTypeSetCallBacks;

typedef const struct __CFSet *CFSetRef;
typedef struct __CFSet *CFMutableSetRef;

CFTypeID CFSetGetTypeID(void);

CFSetRef CFSetCreate(CFAllocatorRef allocator, const void **values, CFIndex numValues, const CFSetCallBacks *callBacks);
CFMutableSetRef CFSetCreateMutable(CFAllocatorRef allocator, CFIndex capacity, const CFSetCallBacks *callBacks);
CFIndex CFSetGetCount(CFSetRef theSet);
Boolean CFSetContainsValue(CFSetRef theSet, const void *value);
// Nothing happens when an equal value is already in the set.
void CFSetAddValue(CFMutableSetRef theSet, const void *value);
