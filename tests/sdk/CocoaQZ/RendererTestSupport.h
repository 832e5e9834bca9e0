// Helpers of the Core Image renderer tests: small bitmap images, the bytes of a surface read
// under a CPU lock, and images rendered back into bitmaps.
#pragma once

#include <CoreFoundation/CFData.h>
#include <CoreImage/CIContext.h>
#include <CoreImage/CIImage.h>
#include <IOSurface/IOSurfaceRef.h>
#include <OpenGL/OpenGL.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

namespace renderer_test {

// An image of `width` x `height` A, R, G, B premultiplied pixels, the first row of `argb` at
// the top of the picture (bitmap data's row order).
inline CIImageRef BitmapImage(int width, int height, const std::vector<uint8_t> &argb) {
    CFDataRef data = CFDataCreate(nullptr, argb.data(), CFIndex(argb.size()));
    CIImageRef image =
        CIImage::imageWithBitmapData(data, size_t(width) * 4, CGSizeMake(width, height), kCIFormatARGB8);
    CFRelease(data);
    return image;
}

// The surface's pixel rows (width x 4 bytes each, padding left out), first memory row first,
// read under a read-only CPU lock. With no context current on the calling thread the lock
// syncs nothing: what is read is what the surface held already.
inline std::vector<uint8_t> SurfaceBytes(IOSurfaceRef surface) {
    std::vector<uint8_t> bytes;
    if (surface == nullptr || IOSurfaceLock(surface, kIOSurfaceLockReadOnly, nullptr) != kIOReturnSuccess) return bytes;
    const size_t width = IOSurfaceGetWidth(surface), height = IOSurfaceGetHeight(surface);
    const size_t rowBytes = IOSurfaceGetBytesPerRow(surface);
    const auto *base = static_cast<const uint8_t *>(IOSurfaceGetBaseAddress(surface));
    bytes.resize(width * 4 * height);
    for (size_t row = 0; row < height; ++row) std::memcpy(&bytes[row * width * 4], base + row * rowBytes, width * 4);
    IOSurfaceUnlock(surface, kIOSurfaceLockReadOnly, nullptr);
    return bytes;
}

// `bounds` of the image as A, R, G, B rows, the top row first (empty when the render fails).
inline std::vector<uint8_t> RenderARGB(CIContext &context, const CIImageRef &image, CGRect bounds) {
    const size_t width = size_t(bounds.size.width), height = size_t(bounds.size.height);
    std::vector<uint8_t> bytes(width * 4 * height, 0xEE);
    if (!context.render(image, bytes.data(), width * 4, bounds, kCIFormatARGB8)) bytes.clear();
    return bytes;
}

// The rows of a picture (`rowBytes` each) in the reverse order.
inline std::vector<uint8_t> RowsReversed(const std::vector<uint8_t> &bytes, size_t rowBytes) {
    std::vector<uint8_t> reversed(bytes.size());
    const size_t rows = rowBytes != 0 ? bytes.size() / rowBytes : 0;
    for (size_t row = 0; row < rows; ++row)
        std::memcpy(&reversed[(rows - 1 - row) * rowBytes], &bytes[row * rowBytes], rowBytes);
    return reversed;
}

}  // namespace renderer_test
