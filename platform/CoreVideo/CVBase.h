// Core Video's times: a time value with its scale, and the time stamp a display link hands
// its output callback (video time, host time, rate and refresh period, with flags telling
// which of them are valid).
#pragma once

#include <cstdint>

typedef uint64_t CVOptionFlags;

// A time of timeValue / timeScale seconds.
struct CVTime {
    int64_t timeValue;
    int32_t timeScale;
    int32_t flags;
};

enum : int32_t {
    kCVTimeIsIndefinite = 1 << 0,
};

// A SMPTE time; a display link here leaves it zero (its flag is never set).
struct CVSMPTETime {
    int16_t subframes;
    int16_t subframeDivisor;
    uint32_t counter;
    uint32_t type;
    uint32_t flags;
    int16_t hours;
    int16_t minutes;
    int16_t seconds;
    int16_t frames;
};

struct CVTimeStamp {
    uint32_t version;          // 0
    int32_t videoTimeScale;    // units of videoTime and videoRefreshPeriod per second
    int64_t videoTime;         // the refresh's time in videoTimeScale units
    uint64_t hostTime;         // host time (CVGetCurrentHostTime) of the refresh
    double rateScalar;         // measured rate against the nominal rate (1.0 here)
    int64_t videoRefreshPeriod;  // one refresh in videoTimeScale units
    CVSMPTETime smpteTime;
    uint64_t flags;            // which of the above are valid
    uint64_t reserved;
};

enum : uint64_t {
    kCVTimeStampVideoTimeValid = 1 << 0,
    kCVTimeStampHostTimeValid = 1 << 1,
    kCVTimeStampSMPTETimeValid = 1 << 2,
    kCVTimeStampVideoRefreshPeriodValid = 1 << 3,
    kCVTimeStampRateScalarValid = 1 << 4,
    kCVTimeStampTopField = 1 << 16,
    kCVTimeStampBottomField = 1 << 17,
    kCVTimeStampVideoHostTimeValid = kCVTimeStampVideoTimeValid | kCVTimeStampHostTimeValid,
    kCVTimeStampIsInterlaced = kCVTimeStampTopField | kCVTimeStampBottomField,
};
