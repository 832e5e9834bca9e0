// CMTime: a rational time (value / timescale seconds) with its flags, as the camera stack
// passes them around and the requirement reporters describe them.
#pragma once

#include <CoreFoundation/CFString.h>

#include <cstdint>

typedef int64_t CMTimeValue;
typedef int32_t CMTimeScale;
typedef int64_t CMTimeEpoch;
typedef uint32_t CMTimeFlags;
enum : CMTimeFlags {
    kCMTimeFlags_Valid = 1u << 0,
    kCMTimeFlags_HasBeenRounded = 1u << 1,
    kCMTimeFlags_PositiveInfinity = 1u << 2,
    kCMTimeFlags_NegativeInfinity = 1u << 3,
    kCMTimeFlags_Indefinite = 1u << 4,
};

struct CMTime {
    CMTimeValue value;
    CMTimeScale timescale;
    CMTimeFlags flags;
    CMTimeEpoch epoch;
};

extern const CMTime kCMTimeInvalid;
extern const CMTime kCMTimeZero;

// A valid time of value / timescale seconds; invalid for a timescale of 0 or less.
CMTime CMTimeMake(CMTimeValue value, CMTimeScale timescale);
// The time in seconds: NaN for an invalid or indefinite time, +-infinity for the infinities.
double CMTimeGetSeconds(CMTime time);
// "{value/timescale = seconds}" (seconds with 3 decimals), "{INVALID}", "{INDEFINITE}",
// "{+INFINITY}", "{-INFINITY}"; created, the caller releases it.
CFStringRef CMTimeCopyDescription(CFAllocatorRef allocator, CMTime time);
