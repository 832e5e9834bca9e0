// Time bases: a clock that runs at a rate from a steady clock of the machine.
//
// A new time base stands at time 0 with rate 0 (stopped). Its time at any moment is the time
// it was last set to plus rate x the seconds of the steady clock since then; changing the rate
// first settles the time reached. Times are read in any time scale. A time base may be used
// from any thread (each has its own lock); it must not be used after DisposeTimeBase.
#pragma once

#include <QuickTime/Movies.h>

extern "C" {

TimeBase NewTimeBase(void);
void DisposeTimeBase(TimeBase tb);
// The time in the scale (truncated); the record, when not null, gets value, scale and the
// time base. 0 for a null time base or a scale that is not positive.
TimeValue GetTimeBaseTime(TimeBase tb, TimeScale scale, TimeRecord *tr);
// Sets the time (its value in its scale; a scale that is not positive is ignored).
void SetTimeBaseTime(TimeBase tb, const TimeRecord *tr);
void SetTimeBaseValue(TimeBase tb, TimeValue t, TimeScale s);
Fixed GetTimeBaseRate(TimeBase tb);
void SetTimeBaseRate(TimeBase tb, Fixed r);

}  // extern "C"
