// Helpers of the 2-D graphics tests of the graphics library: an owning holder for Core
// Foundation style references and pixel measurements of bitmaps.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <functional>
#include <utility>

#include <CoreG/Drawing/namespace_CoreGraphics_BitmapContext.h>

#include "platform/CoreGraphics/CGTestSupport.h"

namespace coreg_graphics_test {

// Owns one reference to a Core Foundation style object.
using cgtest::Holder;

// The bytes of a pixel: memory row (0 at the top) and column.
inline const uint8_t *PixelAt(const CoreGraphics::BitmapContext &bitmap, uint32_t column, uint32_t row) {
    bitmap.WillAccessPixels();
    return bitmap.mImageDataBytes + size_t(row) * bitmap.mImageRowBytes + size_t(column) * bitmap.mImageChannels;
}

// The bytes of the pixel containing the y-up point (x, y) of the picture.
inline const uint8_t *PixelAtPoint(const CoreGraphics::BitmapContext &bitmap, double x, double y) {
    return PixelAt(bitmap, uint32_t(x), bitmap.mImageHeight - 1 - uint32_t(y));
}

// The box of the pixels for which `painted` holds, in y-up pixel coordinates; x1/y1 exclusive.
struct Box {
    int x0 = INT_MAX, y0 = INT_MAX, x1 = INT_MIN, y1 = INT_MIN;
    bool empty() const { return x1 < x0; }
    double midX() const { return (x0 + x1) / 2.0; }
    double midY() const { return (y0 + y1) / 2.0; }
};

inline Box PaintedBox(const CoreGraphics::BitmapContext &bitmap, const std::function<bool(const uint8_t *)> &painted) {
    Box box;
    for (uint32_t row = 0; row < bitmap.mImageHeight; ++row) {
        const int y = int(bitmap.mImageHeight - 1 - row);
        for (uint32_t column = 0; column < bitmap.mImageWidth; ++column) {
            if (!painted(PixelAt(bitmap, column, row))) continue;
            box.x0 = std::min(box.x0, int(column));
            box.x1 = std::max(box.x1, int(column) + 1);
            box.y0 = std::min(box.y0, y);
            box.y1 = std::max(box.y1, y + 1);
        }
    }
    return box;
}

}  // namespace coreg_graphics_test
