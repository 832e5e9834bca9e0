// What the frame-pipeline tests share: small Core Graphics images of one colour.
#pragma once

#include <CoreGraphics/CGBitmapContext.h>
#include <CoreGraphics/CGColorSpace.h>
#include <CoreGraphics/CGContext.h>
#include <CoreGraphics/CGImage.h>

#include <cstdint>
#include <cstring>

namespace frame_test {

// A `width` x `height` image (B, G, R, A premultiplied bytes) filled with one colour; the
// caller releases it.
inline CGImageRef SolidCGImage(size_t width, size_t height, uint8_t red, uint8_t green, uint8_t blue,
                               uint8_t alpha = 255) {
    CGColorSpaceRef space = CGColorSpaceCreateDeviceRGB();
    CGContextRef context = CGBitmapContextCreate(nullptr, width, height, 8, width * 4, space,
                                                 kCGImageAlphaPremultipliedFirst | kCGBitmapByteOrder32Little);
    CGColorSpaceRelease(space);
    if (context == nullptr) return nullptr;
    auto *bytes = static_cast<uint8_t *>(CGBitmapContextGetData(context));
    for (size_t i = 0; i < width * height; ++i) {
        bytes[i * 4 + 0] = blue;
        bytes[i * 4 + 1] = green;
        bytes[i * 4 + 2] = red;
        bytes[i * 4 + 3] = alpha;
    }
    CGBitmapContextDidWriteData(context);
    CGImageRef image = CGBitmapContextCreateImage(context);
    CGContextRelease(context);
    return image;
}

}  // namespace frame_test
