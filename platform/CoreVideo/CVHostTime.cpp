#include <CoreVideo/CVHostTime.h>

#include <Mach/mach_time.h>

uint64_t CVGetCurrentHostTime(void) { return mach_absolute_time(); }

double CVGetHostClockFrequency(void) { return 1e9; }

uint32_t CVGetHostClockMinimumTimeDelta(void) { return 1; }
