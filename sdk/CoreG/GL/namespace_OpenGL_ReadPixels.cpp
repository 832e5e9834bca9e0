#include <CoreG/GL/namespace_OpenGL_ReadPixels.h>

#include <CoreX/CoreMachDebugLog.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {

// B,G,R,A in memory is the little-endian word 0xAARRGGBB; A,R,G,B is its byte reversal.
inline uint32_t LoadPixel(const unsigned char *at) {
    uint32_t value;
    std::memcpy(&value, at, sizeof value);
    return value;
}

inline void StorePixel(unsigned char *at, uint32_t value) { std::memcpy(at, &value, sizeof value); }

// One row from `source` into `target` (different memory). The plain loops vectorise as
// byte shuffles (pshufb) in the SSSE3 and AVX2 versions of ConvertRows below.
inline void ConvertRow(unsigned char *__restrict target, const unsigned char *__restrict source, size_t pixels,
                       bool mirrored) {
    if (mirrored) {
        // The alpha lands in the first byte, the low byte of the word.
        const unsigned char *last = source + (pixels - 1) * 4;
        for (size_t x = 0; x < pixels; ++x)
            StorePixel(target + x * 4, __builtin_bswap32(LoadPixel(last - x * 4)) | 0xFFu);
    } else {
        for (size_t x = 0; x < pixels; ++x)
            StorePixel(target + x * 4, __builtin_bswap32(LoadPixel(source + x * 4)));
    }
}

// The whole conversion, with `line` a scan line of at least pixels * 4 bytes. Built for
// the baseline processor and for SSSE3 and AVX2, chosen once when the program loads.
__attribute__((target_clones("avx2", "ssse3", "default"))) void ConvertRows(unsigned char *pixels, int rows,
                                                                           size_t rowBytes, size_t pixelCount,
                                                                           bool flipVertically, bool mirrored,
                                                                           unsigned char *line) {
    const size_t lineBytes = pixelCount * 4;
    if (flipVertically) {
        // Pairs from the outside in; an odd count leaves the middle row, converted alone.
        size_t i = 0;
        size_t j = size_t(rows) - 1;
        for (; i < j; ++i, --j) {
            unsigned char *top = pixels + i * rowBytes;
            unsigned char *bottom = pixels + j * rowBytes;
            ConvertRow(line, top, pixelCount, mirrored);
            ConvertRow(top, bottom, pixelCount, mirrored);
            std::memcpy(bottom, line, lineBytes);
        }
        if (i == j) {
            unsigned char *middle = pixels + i * rowBytes;
            ConvertRow(line, middle, pixelCount, mirrored);
            std::memcpy(middle, line, lineBytes);
        }
    } else {
        for (size_t y = 0; y < size_t(rows); ++y) {
            unsigned char *row = pixels + y * rowBytes;
            ConvertRow(line, row, pixelCount, mirrored);
            std::memcpy(row, line, lineBytes);
        }
    }
}

}  // namespace

namespace OpenGL {

void SwizzleFramebufferToARGB(unsigned char *pixels, int rows, unsigned rowBytes, bool flipVertically,
                              bool mirrored) {
    const size_t pixelCount = rowBytes / 4;
    if (pixels == nullptr || rows <= 0 || pixelCount == 0) return;
    unsigned char *line = static_cast<unsigned char *>(std::malloc(rowBytes));
    if (line == nullptr) {
        _CoreMachDebugVerifyBody("T_swizzle_framebuffer_GL_BGRX_to_XXXX", "/Code/sdk/CoreG/namespace_OpenGL_ReadPixels",
                                 flipVertically ? 119 : 138, " code : one_scanline_buffer");
        return;
    }
    ConvertRows(pixels, rows, rowBytes, pixelCount, flipVertically, mirrored, line);
    std::free(line);
}

}  // namespace OpenGL

bool import_namespace_OpenGL_ReadPixels() { return import_CoreMachDebugLog(); }
