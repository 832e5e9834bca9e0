#include <QuickTime/Microseconds.h>

#include <ctime>

void Microseconds(UnsignedWide *microTickCount) {
    if (microTickCount == nullptr) return;
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    const UInt64 count = UInt64(now.tv_sec) * 1000000u + UInt64(now.tv_nsec) / 1000u;
    microTickCount->hi = UInt32(count >> 32);
    microTickCount->lo = UInt32(count);
}
