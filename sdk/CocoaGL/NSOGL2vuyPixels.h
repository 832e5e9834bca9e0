// 2vuy frames (Cb Y0 Cr Y1 for each pair of pixels, 8 bits a sample) turned into R, G, B, A
// bytes for textures: the OpenGL here has no 4:2:2 texture format that can be read back, so
// frames are converted once on upload.
//
// The matrix is BT.709 in video range (the library's frames: Kr 0.2125, Kb 0.0721; Y' 16..235,
// Cb and Cr 16..240 around 128), computed in 16.16 fixed point, each channel rounded and
// limited to 0..255; alpha is 255. Both pixels of a pair share its chroma.
#pragma once

#include <cstddef>
#include <cstdint>

namespace NSOGL2vuyPixels {

// `height` rows of `width` pixels: source rows `srcRowBytes` apart (at least (width + 1) / 2
// pairs of 4 bytes each), destination rows `dstRowBytes` apart (at least width x 4 bytes).
void ConvertToRGBA(const uint8_t *src, std::size_t srcRowBytes, uint8_t *dst, std::size_t dstRowBytes,
                   std::size_t width, std::size_t height);

}  // namespace NSOGL2vuyPixels

bool import_NSOGL2vuyPixels();
