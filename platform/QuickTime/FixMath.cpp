#include <QuickTime/FixMath.h>

#include <cmath>
#include <cstdint>

namespace {

Fixed Saturate(int64_t value) {
    if (value > INT32_MAX) return INT32_MAX;
    if (value < INT32_MIN) return INT32_MIN;
    return Fixed(value);
}

}  // namespace

Fixed FixRatio(short numer, short denom) {
    if (denom == 0) return numer < 0 ? -0x7FFFFFFF : 0x7FFFFFFF;
    return Saturate((int64_t(numer) * 65536) / denom);
}

Fixed FixMul(Fixed a, Fixed b) { return Saturate((int64_t(a) * int64_t(b)) >> 16); }

Fixed Long2Fix(long x) {
    if (x > 32767) return INT32_MAX;
    if (x < -32768) return INT32_MIN;
    return Fixed(uint32_t(x) << 16);
}

long Fix2Long(Fixed x) {
    const int64_t value = x;
    return long(value >= 0 ? (value + 0x8000) >> 16 : -((-value + 0x8000) >> 16));
}

Fixed X2Fix(double x) {
    if (std::isnan(x)) return 0;
    const double scaled = std::round(x * 65536.0);
    if (scaled >= 2147483647.0) return INT32_MAX;
    if (scaled <= -2147483648.0) return INT32_MIN;
    return Fixed(scaled);
}

double Fix2X(Fixed x) { return double(x) / 65536.0; }
