// Helpers of the mask tests: masks filled from tables, bytes read by y-up position, and
// parameter records.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <initializer_list>
#include <vector>

#include <CoreG/Masks/namespace_CoreGraphics_MaskContext.h>

namespace coreg_mask_test {

// A mask of width x height whose bytes are `bytes` (memory order, row 0 at the top) or all
// `fill`. They touch the bytes directly, as the library's own users do: in step with Quartz.
inline void Fill(CoreGraphics::MaskContext &mask, uint8_t fill) {
    std::memset(mask.mImageDataBytes, fill, mask.mImageDataSize);
    mask.DidWritePixels();
}

inline void SetBytes(CoreGraphics::MaskContext &mask, const std::vector<uint8_t> &bytes) {
    ASSERT_EQ(bytes.size(), size_t(mask.mImageDataSize));
    std::memcpy(mask.mImageDataBytes, bytes.data(), bytes.size());
    mask.DidWritePixels();
}

inline std::vector<uint8_t> Bytes(const CoreGraphics::MaskContext &mask) {
    mask.WillAccessPixels();
    return std::vector<uint8_t>(mask.mImageDataBytes, mask.mImageDataBytes + mask.mImageDataSize);
}

// The byte of the pixel containing the point (x, y) given from the mask's centre, y up.
inline uint8_t AtCentred(const CoreGraphics::MaskContext &mask, double x, double y) {
    const double px = mask.mImageWidth / 2.0 + x, py = mask.mImageHeight / 2.0 + y;
    const uint32_t column = uint32_t(px), row = mask.mImageHeight - 1 - uint32_t(py);
    mask.WillAccessPixels();
    return mask.mImageDataBytes[size_t(row) * mask.mImageRowBytes + column];
}

// A record with angle A and parameters P0..P3.
inline MaskParams Params(float angle, float p0, float p1, float p2 = 0.5f, float p3 = 0.5f) {
    MaskParams params;
    params.AngleDegrees[0] = angle;
    params.Param[0] = p0;
    params.Param[1] = p1;
    params.Param[2] = p2;
    params.Param[3] = p3;
    return params;
}

inline size_t CountIf(const CoreGraphics::MaskContext &mask, bool (*predicate)(uint8_t)) {
    size_t count = 0;
    mask.WillAccessPixels();
    for (uint32_t i = 0; i < mask.mImageDataSize; ++i) count += predicate(mask.mImageDataBytes[i]) ? 1 : 0;
    return count;
}

}  // namespace coreg_mask_test
