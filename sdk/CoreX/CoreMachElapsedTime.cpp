#include <CoreX/CoreMachElapsedTime.h>

#include <Mach/mach_time.h>

namespace {

struct Timebase {
    Timebase() : kresult(mach_timebase_info(&s_mach_timebase_info)) {}
    mach_timebase_info_data_t s_mach_timebase_info{0, 0};
    kern_return_t kresult;
};

// Asked once for the process, on first use.
const Timebase &ProcessTimebase() {
    static const Timebase timebase;
    return timebase;
}

}  // namespace

uint64_t CoreMachElapsedTime::GetNanoseconds() {
    const Timebase &timebase = ProcessTimebase();
    if (timebase.kresult != KERN_SUCCESS || timebase.s_mach_timebase_info.denom == 0) return 0;
    // The product wraps modulo 2^64 before the division, as the clock's users expect.
    return mach_absolute_time() * timebase.s_mach_timebase_info.numer /
           timebase.s_mach_timebase_info.denom;
}

bool import_CoreMachElapsedTime() { return true; }
