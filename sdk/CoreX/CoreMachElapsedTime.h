// A nanosecond stopwatch on the Mach absolute clock.
#pragma once

#include <cstdint>

class CoreMachElapsedTime {
public:
    // Starts at construction.
    CoreMachElapsedTime() { Start(); }

    void Start() { _startTime_nsec = GetNanoseconds(); }
    // Nanoseconds since the last Start.
    uint64_t Elapsed_nsec() const { return GetNanoseconds() - _startTime_nsec; }

    // Now on the absolute clock in nanoseconds; 0 when the clock's timebase is unavailable.
    static uint64_t GetNanoseconds();

private:
    uint64_t _startTime_nsec;
};

bool import_CoreMachElapsedTime();
