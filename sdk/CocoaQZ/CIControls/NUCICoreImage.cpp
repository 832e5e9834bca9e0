#include "NUCICoreImage.h"

#include <AppKit/NSGraphicsContext.h>
#include <CoreFoundation/CFData.h>
#include <CoreGraphics/CoreGraphics.h>

#include <QImage>

#include <cmath>

CIContextRef NUCICoreImageContext() {
    static const CIContextRef context = CIContext::offscreenContext();
    return context;
}

CIImageRef NUCICoreImageWithNSImage(const NSImage &image) {
    if (image.representations().empty()) return nullptr;
    CGImageRef picture = NSBitmapImageRepCreateCGImage(image.representations().front());
    if (picture == nullptr) return nullptr;
    CIImageRef result = CIImage::imageWithCGImage(picture);
    CGImageRelease(picture);
    return result;
}

CIImageRef NUCICoreImageWithQImage(const QImage &image) {
    if (image.isNull()) return nullptr;
    // Qt's premultiplied ARGB32 is B, G, R, A in memory on this little-endian machine.
    const QImage pixels = image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    CFDataRef data = CFDataCreate(nullptr, pixels.constBits(), CFIndex(pixels.sizeInBytes()));
    if (data == nullptr) return nullptr;
    CIImageRef result = CIImage::imageWithBitmapData(data, size_t(pixels.bytesPerLine()),
                                                     CGSizeMake(pixels.width(), pixels.height()), kCIFormatBGRA8);
    CFRelease(data);
    return result;
}

namespace {

bool UsableExtent(const CIImageRef &image, CGRect &extent) {
    if (image == nullptr) return false;
    extent = CGRectIntegral(image->extent());
    return !CGRectIsNull(extent) && !CIRectIsInfinite(extent) && extent.size.width >= 1 && extent.size.height >= 1 &&
           extent.size.width <= 16384 && extent.size.height <= 16384;
}

}  // namespace

bool NUCIDrawCIImageInRect(const CIImageRef &image, CGRect rect) {
    const std::shared_ptr<NSGraphicsContext> context = NSGraphicsContext::currentContext();
    return context != nullptr && NUCIDrawCIImageInContext(context->graphicsPort(), context->isFlipped(), image, rect);
}

bool NUCIDrawCIImageInContext(CGContextRef port, bool flipped, const CIImageRef &image, CGRect rect) {
    CGRect extent;
    if (port == nullptr || !UsableExtent(image, extent)) return false;
    const CIContextRef renderer = NUCICoreImageContext();
    if (renderer == nullptr) return false;
    CGImageRef picture = renderer->createCGImage(image, extent);
    if (picture == nullptr) return false;
    CGContextSaveGState(port);
    if (flipped) {
        CGContextTranslateCTM(port, 0, CGRectGetMinY(rect) + CGRectGetMaxY(rect));
        CGContextScaleCTM(port, 1, -1);
    }
    CGContextDrawImage(port, rect, picture);
    CGContextRestoreGState(port);
    CGImageRelease(picture);
    return true;
}

QImage NUCIRenderCIImage(const CIImageRef &image) {
    CGRect extent;
    if (!UsableExtent(image, extent)) return QImage();
    const CIContextRef renderer = NUCICoreImageContext();
    if (renderer == nullptr) return QImage();
    QImage picture(int(extent.size.width), int(extent.size.height), QImage::Format_ARGB32_Premultiplied);
    if (picture.isNull()) return QImage();
    if (!renderer->render(image, picture.bits(), size_t(picture.bytesPerLine()), extent, kCIFormatBGRA8))
        return QImage();
    return picture;
}
