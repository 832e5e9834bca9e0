#include <CocoaGL/NSOGL2vuyPixels.h>

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

inline uint8_t Clamp8(int32_t fixed) {
    const int32_t value = fixed >> 16;
    return uint8_t(value < 0 ? 0 : value > 255 ? 255 : value);
}

inline void Pixel(int32_t luma, int32_t r, int32_t g, int32_t b, uint8_t *out) {
    const int32_t y = (luma - 16) * kY + kHalf;
    out[0] = Clamp8(y + r);
    out[1] = Clamp8(y - g);
    out[2] = Clamp8(y + b);
    out[3] = 255;
}

}  // namespace

namespace NSOGL2vuyPixels {

void ConvertToRGBA(const uint8_t *src, std::size_t srcRowBytes, uint8_t *dst, std::size_t dstRowBytes,
                   std::size_t width, std::size_t height) {
    const std::size_t pairs = width / 2;
    for (std::size_t row = 0; row < height; ++row) {
        const uint8_t *in = src + row * srcRowBytes;
        uint8_t *out = dst + row * dstRowBytes;
        for (std::size_t pair = 0; pair < pairs; ++pair, in += 4, out += 8) {
            const int32_t cb = int32_t(in[0]) - 128, cr = int32_t(in[2]) - 128;
            const int32_t r = kRCr * cr, g = kGCb * cb + kGCr * cr, b = kBCb * cb;
            Pixel(in[1], r, g, b, out);
            Pixel(in[3], r, g, b, out + 4);
        }
        if (width % 2 != 0) {  // the last pair's first pixel
            const int32_t cb = int32_t(in[0]) - 128, cr = int32_t(in[2]) - 128;
            Pixel(in[1], kRCr * cr, kGCb * cb + kGCr * cr, kBCb * cb, out);
        }
    }
}

}  // namespace NSOGL2vuyPixels

bool import_NSOGL2vuyPixels() { return true; }
