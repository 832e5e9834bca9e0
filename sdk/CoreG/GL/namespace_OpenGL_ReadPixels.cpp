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

// One row from `source` into `target` (different memory), mirrored. These plain loops
// vectorise as byte shuffles (pshufb) in the SSSE3 and AVX2 versions of ConvertRows below.
inline void ConvertRowMirrored(unsigned char *__restrict target, const unsigned char *__restrict source,
                               size_t pixels) {
    // The alpha lands in the first byte, the low byte of the word.
    const unsigned char *last = source + (pixels - 1) * 4;
    for (size_t x = 0; x < pixels; ++x) StorePixel(target + x * 4, __builtin_bswap32(LoadPixel(last - x * 4)) | 0xFFu);
}

// Rows `top` and `bottom` (different rows) converted into each other's place in one pass:
// pixel x of one row and pixel x (mirrored: pixels - 1 - x) of the other change places.
inline void ExchangeRows(unsigned char *__restrict top, unsigned char *__restrict bottom, size_t pixels,
                         bool mirrored) {
    if (mirrored) {
        unsigned char *last = bottom + (pixels - 1) * 4;
        for (size_t x = 0; x < pixels; ++x) {
            const uint32_t upper = LoadPixel(top + x * 4);
            const uint32_t lower = LoadPixel(last - x * 4);
            StorePixel(top + x * 4, __builtin_bswap32(lower) | 0xFFu);
            StorePixel(last - x * 4, __builtin_bswap32(upper) | 0xFFu);
        }
    } else {
        for (size_t x = 0; x < pixels; ++x) {
            const uint32_t upper = LoadPixel(top + x * 4);
            const uint32_t lower = LoadPixel(bottom + x * 4);
            StorePixel(top + x * 4, __builtin_bswap32(lower));
            StorePixel(bottom + x * 4, __builtin_bswap32(upper));
        }
    }
}

// A row converted where it is.
inline void ConvertRowInPlace(unsigned char *row, size_t pixels) {
    for (size_t x = 0; x < pixels; ++x) StorePixel(row + x * 4, __builtin_bswap32(LoadPixel(row + x * 4)));
}

// A row that keeps its place: through the scan line when mirrored, else where it is.
inline void ConvertRowAlone(unsigned char *row, size_t pixels, bool mirrored, unsigned char *line) {
    if (mirrored) {
        ConvertRowMirrored(line, row, pixels);
        std::memcpy(row, line, pixels * 4);
    } else {
        ConvertRowInPlace(row, pixels);
    }
}

// The whole conversion, with `line` a scan line of at least pixels * 4 bytes. Built for
// the baseline processor and for SSSE3 and AVX2, chosen once when the program loads.
__attribute__((target_clones("avx2", "ssse3", "default"))) void ConvertRows(unsigned char *pixels, int rows,
                                                                           size_t rowBytes, size_t pixelCount,
                                                                           bool flipVertically, bool mirrored,
                                                                           unsigned char *line) {
    // Rows that change places are exchanged in one pass; a row that keeps its place goes
    // through the scan line when it is mirrored and is converted where it is otherwise.
    // Every row is touched once, as converting each through the scan line would, without
    // the copies back.
    if (flipVertically) {
        // Pairs from the outside in; an odd count leaves the middle row, converted alone.
        size_t i = 0;
        size_t j = size_t(rows) - 1;
        for (; i < j; ++i, --j) ExchangeRows(pixels + i * rowBytes, pixels + j * rowBytes, pixelCount, mirrored);
        if (i == j) ConvertRowAlone(pixels + i * rowBytes, pixelCount, mirrored, line);
    } else {
        for (size_t y = 0; y < size_t(rows); ++y) ConvertRowAlone(pixels + y * rowBytes, pixelCount, mirrored, line);
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
