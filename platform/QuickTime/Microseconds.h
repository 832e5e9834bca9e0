// The microsecond clock: a steady count (CLOCK_MONOTONIC) that never goes backwards.
#pragma once

#include <CoreFoundation/MacTypes.h>

// The layer's calls have C linkage, as the framework's exported entry points do.
extern "C" {

// A 64-bit count as two 32-bit halves, laid out as the host's 64-bit integer:
// value = hi * 4294967296 + lo.
struct UnsignedWide {
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
    UInt32 hi;
    UInt32 lo;
#else
    UInt32 lo;
    UInt32 hi;
#endif
};

// Microseconds since an arbitrary fixed moment (the system's start). Null is ignored.
void Microseconds(UnsignedWide *microTickCount);

}  // extern "C"
