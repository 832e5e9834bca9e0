// The pixels of a window on the X server read with the window-image layer, and what the test
// camera's picture looks like in them.
#pragma once

#include <CoreGraphics/CGDataProvider.h>
#include <CoreGraphics/CGImage.h>
#include <CoreGraphics/CGWindow.h>

#include <QRect>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace window_pixels {

// The window's pixels as 0xRRGGBB, read with the window-image layer.
struct WindowPixels {
    int width = 0, height = 0;
    std::vector<uint32_t> pixels;
    uint32_t at(int x, int y) const { return pixels[size_t(y) * size_t(width) + size_t(x)]; }
};

inline WindowPixels Capture(CGWindowID window) {
    WindowPixels result;
    CGImageRef image = CGWindowListCreateImage(CGRectNull, kCGWindowListOptionIncludingWindow, window,
                                               kCGWindowImageBoundsIgnoreFraming | kCGWindowImageShouldBeOpaque);
    if (image == nullptr) return result;
    result.width = int(CGImageGetWidth(image));
    result.height = int(CGImageGetHeight(image));
    CFDataRef data = CGDataProviderCopyData(CGImageGetDataProvider(image));
    const size_t rowBytes = CGImageGetBytesPerRow(image);
    const UInt8 *bytes = CFDataGetBytePtr(data);
    result.pixels.resize(size_t(result.width) * size_t(result.height));
    for (int y = 0; y < result.height; ++y)
        for (int x = 0; x < result.width; ++x) {
            uint32_t pixel;
            std::memcpy(&pixel, bytes + size_t(y) * rowBytes + size_t(x) * 4, 4);  // B, G, R, A in memory
            result.pixels[size_t(y) * size_t(result.width) + size_t(x)] = pixel & 0xFFFFFF;
        }
    CFRelease(data);
    CGImageRelease(image);
    return result;
}

// How many of the test camera's saturated bar colours (yellow, cyan, green, magenta, red,
// blue) the area shows.
inline int BarColoursSeen(const WindowPixels &shot, const QRect &area) {
    const uint32_t bars[] = {0xFFFF00, 0x00FFFF, 0x00FF00, 0xFF00FF, 0xFF0000, 0x0000FF};
    int seen = 0;
    for (uint32_t bar : bars) {
        bool found = false;
        for (int y = area.top(); y <= area.bottom() && !found; y += 4)
            for (int x = area.left(); x <= area.right() && !found; x += 2) {
                const uint32_t p = shot.at(x, y);
                found = std::abs(int(p >> 16 & 255) - int(bar >> 16 & 255)) < 40 &&
                        std::abs(int(p >> 8 & 255) - int(bar >> 8 & 255)) < 40 && std::abs(int(p & 255) - int(bar & 255)) < 40;
            }
        seen += found ? 1 : 0;
    }
    return seen;
}

}  // namespace window_pixels
