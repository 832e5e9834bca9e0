#include <Mach/mach_time.h>

#include <ctime>

extern "C" uint64_t mach_absolute_time(void) {
    struct timespec now;
    // CLOCK_MONOTONIC cannot fail with a valid pointer on Linux.
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    return uint64_t(now.tv_sec) * 1000000000u + uint64_t(now.tv_nsec);
}

extern "C" kern_return_t mach_timebase_info(mach_timebase_info_t info) {
    if (info == nullptr) return KERN_INVALID_ARGUMENT;
    info->numer = 1;
    info->denom = 1;
    return KERN_SUCCESS;
}
