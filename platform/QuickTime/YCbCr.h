// Inside the QuickTime layer: Y'CbCr matrices, the conversion of Y'CbCr from one matrix
// and range to another, and the copy of pixels already in a world's layout into it.
#pragma once

#include <cstdint>

#include "QTInternal.h"

namespace lumora::qt {

// The matrix a description's 'colr' extension names: kQTMatrix_ITU_R_601_4, else (no
// extension, another index, a malformed one) kQTMatrix_ITU_R_709_2.
UInt16 YCbCrMatrixOf(ImageDescriptionHandle desc);

// Y'CbCr of one matrix and range to another, per pixel (16.16 fixed point). Chroma comes
// out of chroma alone, so 4:2:2 pairs convert exactly.
struct YCbCrTransform {
    bool identity = true;
    int32_t yIn = 0;                    // luma offset of the input
    int32_t yy = 0, ycb = 0, ycr = 0;   // luma from luma, Cb - 128, Cr - 128
    int32_t cbcb = 0, cbcr = 0;         // Cb from Cb - 128, Cr - 128
    int32_t crcb = 0, crcr = 0;         // Cr from Cb - 128, Cr - 128
    int32_t yOut = 0;                   // luma offset of the output, << 16
};
// From matrix `from` (kQTMatrix_...) in full range (JFIF) or video range, to matrix `to` in
// video range.
YCbCrTransform MakeYCbCrTransform(UInt16 from, bool fromFullRange, UInt16 to);

// In place, `pairs` 4:2:2 pairs of a row (Y first for 'yuvs', else Cb first).
void TransformPairs(uint8_t *row, int pairs, bool lumaFirst, const YCbCrTransform &t);
// A row of `width` pixels of interleaved Y, Cb, Cr (3 bytes each) into (width + 1) / 2
// 4:2:2 pairs; the two chroma samples of a pair are averaged.
void PixelsToPairs(const uint8_t *ycc, uint8_t *pairs, int width, bool lumaFirst, const YCbCrTransform &t);

// Copies a picture already in the world's layout (rows `stride` bytes apart, its top-left
// pixel at destRect's top-left) into the world, clipped to the world's bounds. For 4:2:2
// the picture's pairs start at destRect.left.
void CopyIntoWorld(const WorldGeometry &world, const uint8_t *pixels, int64_t stride, const Rect &destRect);

}  // namespace lumora::qt
