// The absolute clock: a monotonic count of nanoseconds (CLOCK_MONOTONIC), so the
// timebase is always 1/1. Elapsed nanoseconds = difference * numer / denom.
#pragma once

#include <stdint.h>

#include <Mach/kern_return.h>

#ifdef __cplusplus
extern "C" {
#endif

struct mach_timebase_info {
    uint32_t numer;
    uint32_t denom;
};
typedef struct mach_timebase_info *mach_timebase_info_t;
typedef struct mach_timebase_info mach_timebase_info_data_t;

// Nanoseconds on the monotonic clock since an unspecified start; never goes backwards.
uint64_t mach_absolute_time(void);

// Fills the ratio of absolute-time units to nanoseconds (1/1). KERN_INVALID_ARGUMENT for null.
kern_return_t mach_timebase_info(mach_timebase_info_t info);

#ifdef __cplusplus
}
#endif
