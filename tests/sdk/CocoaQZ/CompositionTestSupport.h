// Compositions written in tests: XML property lists from nodes, wires and published ports,
// and the pixels of a CGImage.
#pragma once

#include "platform/QuartzComposer/QCTestSupport.h"

#include <QuartzComposer/QCComposition.h>

#include <CoreFoundation/CFData.h>
#include <CoreGraphics/CGDataProvider.h>
#include <CoreGraphics/CGImage.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

namespace cocoaqz_test {

using qc_test::Composition;
using qc_test::Kernel;
using qc_test::Node;
using qc_test::Open;
using qc_test::Published;
using qc_test::Wire;

using Pixel = std::array<int, 4>;  // R, G, B, A bytes

inline bool Near(const Pixel &a, const Pixel &b, int tolerance = 1) {
    for (size_t i = 0; i < 4; ++i)
        if (std::abs(a[i] - b[i]) > tolerance) return false;
    return true;
}







inline CFDataRef CreateData(const std::string &bytes) {
    return CFDataCreate(nullptr, reinterpret_cast<const UInt8 *>(bytes.data()), CFIndex(bytes.size()));
}

// A CGImage's pixels (32-bit, premultiplied first, little-endian: B, G, R, A bytes), (x, y)
// with y down from the top row.
struct ImagePixels {
    size_t width = 0, height = 0, rowBytes = 0;
    std::vector<uint8_t> bytes;
    explicit ImagePixels(CGImageRef image) {
        if (!image) return;
        width = CGImageGetWidth(image);
        height = CGImageGetHeight(image);
        rowBytes = CGImageGetBytesPerRow(image);
        CFDataRef data = CGDataProviderCopyData(CGImageGetDataProvider(image));
        bytes.assign(CFDataGetBytePtr(data), CFDataGetBytePtr(data) + CFDataGetLength(data));
        CFRelease(data);
    }
    Pixel at(size_t x, size_t y) const {
        const uint8_t *p = &bytes[y * rowBytes + x * 4];
        return {p[2], p[1], p[0], p[3]};
    }
};

} // namespace cocoaqz_test
