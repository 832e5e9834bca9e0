// Private to the bitmap and mask code: conversions from computed values to bytes and indices that are
// defined for every input (a NaN or an out-of-range value never reaches a float-to-integer
// conversion).
#pragma once

#include <cmath>
#include <cstdint>
#include <functional>

namespace CoreGraphics::maskpixels {

// trunc(v) limited to 0..255; NaN gives 0.
inline uint8_t ByteOf(double v) {
    if (!(v > 0.0)) return 0;
    if (v >= 255.0) return 255;
    return static_cast<uint8_t>(v);
}

// The low 8 bits of trunc(v), as two's complement gives them (-1 is 255); 0 for NaN and
// infinities.
inline uint8_t LowByteOfTruncated(double v) {
    if (std::fabs(v) < 9.0e18) return static_cast<uint8_t>(static_cast<int64_t>(v) & 0xFF);
    if (!std::isfinite(v)) return 0;  // also NaN
    double m = std::fmod(std::trunc(v), 256.0);
    if (m < 0) m += 256.0;
    return static_cast<uint8_t>(m);
}

// trunc(v) limited to 0..maximum; NaN gives 0.
inline uint32_t ClampedIndex(double v, uint32_t maximum) {
    if (!(v >= 0.0)) return 0;
    if (v >= static_cast<double>(maximum)) return maximum;
    return static_cast<uint32_t>(v);
}

// v limited to 0..1; NaN gives 0.
inline double ClampedFraction(double v) {
    if (!(v > 0.0)) return 0.0;
    return v < 1.0 ? v : 1.0;
}

// trunc(v) limited to lo..hi (as ints); NaN gives lo.
inline int ClampedInt(double v, int lo, int hi) {
    if (!(v > double(lo))) return lo;
    if (v >= double(hi)) return hi;
    return static_cast<int>(v);
}

// A mask side from a length: trunc(v), or 0 (which Construct refuses) when that is not a
// positive int (NaN, infinities, below 1, too large).
inline int SideFromLength(double v) {
    if (!(v >= 1.0) || v >= 2147483647.0) return 0;
    return static_cast<int>(v);
}

// Runs body(firstRow, endRow) over bands of the rows [0, rows) of a picture `width` pixels
// wide, each band exactly once: on the calling thread and, for pictures large enough to be
// worth it, on threads of the global queue at the same time. The calling thread takes every
// band no helper has started, so it never waits for a busy pool; it returns when all bands
// are done. body must give the same result whichever thread runs a band.
void ForEachRowBand(uint32_t rows, uint32_t width, const std::function<void(uint32_t, uint32_t)> &body);

}  // namespace CoreGraphics::maskpixels
