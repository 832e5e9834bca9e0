#include <dispatch/dispatch.h>

#include <ctime>

dispatch_time_t dispatch_time(dispatch_time_t when, int64_t delta) {
    if (when == DISPATCH_TIME_FOREVER) return DISPATCH_TIME_FOREVER;
    if (when == DISPATCH_TIME_NOW) {
        struct timespec now;
        ::clock_gettime(CLOCK_MONOTONIC, &now);
        when = uint64_t(now.tv_sec) * NSEC_PER_SEC + uint64_t(now.tv_nsec);
    }
    if (delta >= 0) {
        const uint64_t forward = uint64_t(delta);
        return when >= DISPATCH_TIME_FOREVER - forward ? DISPATCH_TIME_FOREVER : when + forward;
    }
    const uint64_t back = uint64_t(-(delta + 1)) + 1;  // no overflow for INT64_MIN
    // DISPATCH_TIME_NOW (0) means "now", so the earliest instant is 1.
    return back >= when ? 1 : when - back;
}
