// 16.16 fixed-point numbers (Fixed) and their conversions. Conversions that do not fit
// saturate to the largest or smallest Fixed.
#pragma once

#include <CoreFoundation/MacTypes.h>

// The layer's calls have C linkage, as the framework's exported entry points do.
extern "C" {

enum : Fixed {
    fixed1 = 0x00010000,
};

// numerator / denominator; a zero denominator gives the saturated value of the sign of
// the numerator (0x7FFFFFFF, or -0x7FFFFFFF for a negative numerator).
Fixed FixRatio(short numer, short denom);
Fixed FixMul(Fixed a, Fixed b);
// Integer to Fixed (saturating) and back (rounded to the nearest, halves away from zero).
Fixed Long2Fix(long x);
long Fix2Long(Fixed x);
// Double to Fixed (rounded to the nearest, saturating; NaN gives 0) and back.
Fixed X2Fix(double x);
double Fix2X(Fixed x);

inline Fixed IntToFixed(long x) { return Long2Fix(x); }
// The integer part, truncated toward minus infinity (x >> 16).
inline long FixedToInt(Fixed x) { return long(x >> 16); }
inline Fixed FloatToFixed(double x) { return X2Fix(x); }
inline double FixedToFloat(Fixed x) { return Fix2X(x); }

}  // extern "C"
