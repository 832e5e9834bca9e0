#include <CocoaGL/NSOGL2vuyPixels.h>

#include <algorithm>
#include <cstring>

namespace {

// 16.16 fixed-point factors of the video-range BT.709 decoding (Kr 0.2125, Kb 0.0721,
// Kg 1 - Kr - Kb): luma (Y' - 16) x 255 / 219, chroma (C - 128) x 255 / 224 times the
// matrix's factors.
constexpr double kKr = 0.2125, kKb = 0.0721, kKg = 1.0 - kKr - kKb;
constexpr double kLuma = 255.0 / 219.0, kChroma = 255.0 / 224.0;
constexpr int32_t Fixed(double value) { return int32_t(value * 65536.0 + (value < 0 ? -0.5 : 0.5)); }
constexpr int32_t kY = Fixed(kLuma);
constexpr int32_t kRCr = Fixed(2.0 * (1.0 - kKr) * kChroma);
constexpr int32_t kGCb = Fixed(2.0 * kKb * (1.0 - kKb) / kKg * kChroma);
constexpr int32_t kGCr = Fixed(2.0 * kKr * (1.0 - kKr) / kKg * kChroma);
constexpr int32_t kBCb = Fixed(2.0 * (1.0 - kKb) * kChroma);
constexpr int32_t kHalf = 1 << 15;

// A 16.16 value rounded down to an integer and limited to 0..255, without branches.
inline uint8_t Clamp8(int32_t fixed) {
    const int32_t value = fixed >> 16;
    return uint8_t(std::min(std::max(value, 0), 255));
}

// One pair: Cb Y0 Cr Y1 in, R G B A R G B A out.
inline void Pair(const uint8_t *in, uint8_t *out) {
    const int32_t cb = int32_t(in[0]) - 128, cr = int32_t(in[2]) - 128;
    const int32_t r = kRCr * cr, g = kGCb * cb + kGCr * cr, b = kBCb * cb;
    const int32_t y0 = (int32_t(in[1]) - 16) * kY + kHalf;
    const int32_t y1 = (int32_t(in[3]) - 16) * kY + kHalf;
    out[0] = Clamp8(y0 + r);
    out[1] = Clamp8(y0 - g);
    out[2] = Clamp8(y0 + b);
    out[3] = 255;
    out[4] = Clamp8(y1 + r);
    out[5] = Clamp8(y1 - g);
    out[6] = Clamp8(y1 + b);
    out[7] = 255;
}

}  // namespace

namespace NSOGL2vuyPixels {

// Built for AVX2 and the baseline; the loader picks the one the processor runs.
__attribute__((target_clones("avx2", "default"))) void ConvertToRGBA(const uint8_t *src, std::size_t srcRowBytes, uint8_t *dst, std::size_t dstRowBytes,
                   std::size_t width, std::size_t height) {
    const std::size_t pairs = width / 2;
    for (std::size_t row = 0; row < height; ++row) {
        const uint8_t *__restrict in = src + row * srcRowBytes;
        uint8_t *__restrict out = dst + row * dstRowBytes;
        // Whole pairs: a plain loop the compiler vectorises.
        for (std::size_t pair = 0; pair < pairs; ++pair) Pair(in + pair * 4, out + pair * 8);
        if (width % 2 != 0) {  // the last pair's first pixel
            uint8_t last[8];
            Pair(in + pairs * 4, last);
            std::memcpy(out + pairs * 8, last, 4);
        }
    }
}

}  // namespace NSOGL2vuyPixels

bool import_NSOGL2vuyPixels() { return true; }
