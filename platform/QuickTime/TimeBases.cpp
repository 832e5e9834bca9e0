#include <QuickTime/TimeBases.h>

#include <QuickTime/FixMath.h>

#include <chrono>
#include <cmath>
#include <mutex>

struct TimeBaseRecord {
    std::mutex lock;
    double seconds = 0;  // the time at `since`
    double rate = 0;
    std::chrono::steady_clock::time_point since = std::chrono::steady_clock::now();

    // The time now; called under the lock.
    double Now() const {
        const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
        return seconds + rate * elapsed;
    }
};

TimeBase NewTimeBase(void) { return new TimeBaseRecord; }

void DisposeTimeBase(TimeBase tb) { delete tb; }

TimeValue GetTimeBaseTime(TimeBase tb, TimeScale scale, TimeRecord *tr) {
    if (tb == nullptr || scale <= 0) {
        if (tr != nullptr) *tr = TimeRecord{0, scale, tb};
        return 0;
    }
    double seconds;
    {
        std::lock_guard<std::mutex> guard(tb->lock);
        seconds = tb->Now();
    }
    const double units = std::floor(seconds * scale);
    const SInt64 value = units > 9.0e18 ? SInt64(9.0e18) : units < -9.0e18 ? SInt64(-9.0e18) : SInt64(units);
    if (tr != nullptr) *tr = TimeRecord{value, scale, tb};
    return TimeValue(value);
}

void SetTimeBaseValue(TimeBase tb, TimeValue t, TimeScale s) {
    if (tb == nullptr || s <= 0) return;
    std::lock_guard<std::mutex> guard(tb->lock);
    tb->seconds = double(t) / s;
    tb->since = std::chrono::steady_clock::now();
}

void SetTimeBaseTime(TimeBase tb, const TimeRecord *tr) {
    if (tb == nullptr || tr == nullptr || tr->scale <= 0) return;
    std::lock_guard<std::mutex> guard(tb->lock);
    tb->seconds = double(tr->value) / tr->scale;
    tb->since = std::chrono::steady_clock::now();
}

Fixed GetTimeBaseRate(TimeBase tb) {
    if (tb == nullptr) return 0;
    std::lock_guard<std::mutex> guard(tb->lock);
    return X2Fix(tb->rate);
}

void SetTimeBaseRate(TimeBase tb, Fixed r) {
    if (tb == nullptr) return;
    std::lock_guard<std::mutex> guard(tb->lock);
    tb->seconds = tb->Now();
    tb->since = std::chrono::steady_clock::now();
    tb->rate = Fix2X(r);
}
