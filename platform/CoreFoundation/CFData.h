// Data: immutable and mutable byte buffers.
#pragma once

#include <CoreFoundation/CFBase.h>

typedef const struct __CFData *CFDataRef;
typedef struct __CFData *CFMutableDataRef;

CFTypeID CFDataGetTypeID(void);

// A copy of the bytes.
CFDataRef CFDataCreate(CFAllocatorRef allocator, const UInt8 *bytes, CFIndex length);
// Uses the caller's bytes in place. When the data dies the bytes are freed with free()
// unless bytesDeallocator is kCFAllocatorNull (then the caller keeps them).
CFDataRef CFDataCreateWithBytesNoCopy(CFAllocatorRef allocator, const UInt8 *bytes, CFIndex length,
                                      CFAllocatorRef bytesDeallocator);
// capacity is a hint; the data grows as needed.
CFMutableDataRef CFDataCreateMutable(CFAllocatorRef allocator, CFIndex capacity);

CFIndex CFDataGetLength(CFDataRef theData);
// Never null for a valid data object, even an empty one.
const UInt8 *CFDataGetBytePtr(CFDataRef theData);
// Null for immutable data.
UInt8 *CFDataGetMutableBytePtr(CFMutableDataRef theData);
void CFDataAppendBytes(CFMutableDataRef theData, const UInt8 *bytes, CFIndex length);
// New bytes are zero.
void CFDataSetLength(CFMutableDataRef theData, CFIndex length);
