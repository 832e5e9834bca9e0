// The host clock: the absolute clock of the Mach layer (a monotonic count of nanoseconds).
#pragma once

#include <cstdint>

// Now, in host-clock units.
uint64_t CVGetCurrentHostTime(void);
// Host-clock units per second (1e9).
double CVGetHostClockFrequency(void);
// The smallest step of the host clock, in its units (1).
uint32_t CVGetHostClockMinimumTimeDelta(void);
