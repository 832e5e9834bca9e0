// What the camera view's tests share: the effect they run (the camera image inverted, drawn over
// the whole picture) and pictures of quadrants.
#pragma once

#include "sdk/CocoaQZ/CompositionTestSupport.h"

#include <CoreGraphics/CGBitmapContext.h>
#include <CoreGraphics/CGColorSpace.h>
#include <CoreGraphics/CGContext.h>
#include <CoreGraphics/CGImage.h>
#include <CoreImage/CIImage.h>

#include <QByteArray>

#include <array>
#include <string>

namespace cameraview_test {

using cocoaqz_test::Composition;
using cocoaqz_test::Kernel;
using cocoaqz_test::Node;
using cocoaqz_test::Published;
using cocoaqz_test::Wire;

// "cameraImage" inverted and drawn over the whole picture.
inline QByteArray InvertCameraComposition() {
    const std::string xml = Composition(
        Node("Clear", "QCClear", "<key>layer</key><integer>0</integer>") +
            Node("Input", "QCSplitter", "<key>portClass</key><string>QCGLImagePort</string>") +
            Node("Invert", "QCImageKernel",
                 Kernel("kernel vec4 invert(sampler image) {\n"
                        "  vec4 p = sample(image, samplerCoord(image));\n"
                        "  return vec4(p.a - p.rgb, p.a);\n}")) +
            Node("Billboard", "QCBillboard",
                 "<key>layer</key><integer>1</integer><key>inputValues</key><dict><key>inputScale</key>"
                 "<real>2</real></dict>"),
        Wire("a", "Input", "output", "Invert", "image") + Wire("b", "Invert", "outputImage", "Billboard", "inputImage"),
        Published("cameraImage", "Input", "input"));
    return QByteArray::fromStdString(xml);
}

// An opaque picture of four colours (each 0xRRGGBB): top-left, top-right, bottom-left,
// bottom-right. Owned by the caller.
inline CGImageRef CreateQuadrantImage(size_t width, size_t height, const std::array<uint32_t, 4> &colours) {
    CGColorSpaceRef space = CGColorSpaceCreateDeviceRGB();
    CGContextRef context = CGBitmapContextCreate(nullptr, width, height, 8, width * 4, space,
                                                 kCGImageAlphaPremultipliedFirst | kCGBitmapByteOrder32Little);
    CGColorSpaceRelease(space);
    const double w = double(width) / 2, h = double(height) / 2;
    // Quartz has y up: the top half is at y = h.
    const CGRect rects[4] = {CGRectMake(0, h, w, h), CGRectMake(w, h, w, h), CGRectMake(0, 0, w, h),
                             CGRectMake(w, 0, w, h)};
    for (int i = 0; i < 4; ++i) {
        const uint32_t c = colours[size_t(i)];
        CGContextSetRGBFillColor(context, ((c >> 16) & 0xFF) / 255.0, ((c >> 8) & 0xFF) / 255.0, (c & 0xFF) / 255.0,
                                 1.0);
        CGContextFillRect(context, rects[i]);
    }
    CGImageRef image = CGBitmapContextCreateImage(context);
    CGContextRelease(context);
    return image;
}

inline CIImageRef QuadrantCIImage(size_t width, size_t height, const std::array<uint32_t, 4> &colours) {
    CGImageRef image = CreateQuadrantImage(width, height, colours);
    CIImageRef made = CIImage::imageWithCGImage(image);
    CGImageRelease(image);
    return made;
}

}  // namespace cameraview_test
