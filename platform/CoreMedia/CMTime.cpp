#include <CoreMedia/CMTime.h>

#include <cinttypes>
#include <cmath>
#include <cstdio>

const CMTime kCMTimeInvalid = {0, 0, 0, 0};
const CMTime kCMTimeZero = {0, 1, kCMTimeFlags_Valid, 0};

CMTime CMTimeMake(CMTimeValue value, CMTimeScale timescale) {
    if (timescale <= 0) return kCMTimeInvalid;
    return CMTime{value, timescale, kCMTimeFlags_Valid, 0};
}

double CMTimeGetSeconds(CMTime time) {
    if (!(time.flags & kCMTimeFlags_Valid) || (time.flags & kCMTimeFlags_Indefinite)) return NAN;
    if (time.flags & kCMTimeFlags_PositiveInfinity) return INFINITY;
    if (time.flags & kCMTimeFlags_NegativeInfinity) return -INFINITY;
    if (time.timescale <= 0) return NAN;
    return double(time.value) / double(time.timescale);
}

CFStringRef CMTimeCopyDescription(CFAllocatorRef allocator, CMTime time) {
    char text[96];
    if (!(time.flags & kCMTimeFlags_Valid) || time.timescale <= 0) std::snprintf(text, sizeof text, "{INVALID}");
    else if (time.flags & kCMTimeFlags_Indefinite) std::snprintf(text, sizeof text, "{INDEFINITE}");
    else if (time.flags & kCMTimeFlags_PositiveInfinity) std::snprintf(text, sizeof text, "{+INFINITY}");
    else if (time.flags & kCMTimeFlags_NegativeInfinity) std::snprintf(text, sizeof text, "{-INFINITY}");
    else
        std::snprintf(text, sizeof text, "{%" PRId64 "/%" PRId32 " = %.3f}", time.value, time.timescale,
                      CMTimeGetSeconds(time));
    return CFStringCreateWithCString(allocator, text, kCFStringEncodingUTF8);
}
