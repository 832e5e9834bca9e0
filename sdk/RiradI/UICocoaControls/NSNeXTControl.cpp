#include "NSNeXTControl.h"

#include <AppKit/NSGraphicsContext.h>
#include <CocoaGraphics/NSImage_NSNextRetinaImage.h>

CGImageRef NSNeXTControl::controlImageNamedCreate(const QString &name) {
    const std::shared_ptr<NSImage> image = NSImage_NSNextRetinaImage::nextRetinaImageNamed(name);
    return controlImageCreate(image.get());
}

CGImageRef NSNeXTControl::controlImageCreate(const NSImage *image) {
    if (image == nullptr || image->representations().empty()) return nullptr;
    CGImageRef source = NSBitmapImageRepCreateCGImage(image->representations().front());
    if (source == nullptr) return nullptr;
    const size_t width = CGImageGetWidth(source), height = CGImageGetHeight(source);
    CGColorSpaceRef space = CGColorSpaceCreateDeviceRGB();
    CGContextRef context =
        CGBitmapContextCreate(nullptr, width, height, 8, 0, space, kCGImageAlphaPremultipliedFirst | kCGBitmapByteOrder32Big);
    CGColorSpaceRelease(space);
    CGImageRef flipped = nullptr;
    if (context != nullptr) {
        CGContextConcatCTM(context, CGAffineTransformMake(1, 0, 0, -1, 0, CGFloat(height)));
        CGContextSetBlendMode(context, kCGBlendModeCopy);
        CGContextDrawImage(context, CGRectMake(0, 0, CGFloat(width), CGFloat(height)), source);
        flipped = CGBitmapContextCreateImage(context);
        CGContextRelease(context);
    }
    CGImageRelease(source);
    return flipped;
}

bool import_NSNeXTControl() { return import_NSImage_NSNextRetinaImage(); }
