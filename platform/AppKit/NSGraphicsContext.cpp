#include "NSGraphicsContext.h"

#include <CoreGraphics/CGColorSpace.h>
#include <CoreGraphics/CGDataProvider.h>
#include <CoreGraphics/CGImage.h>

#include <cmath>
#include <utility>
#include <vector>

namespace {

thread_local std::shared_ptr<NSGraphicsContext> tCurrentContext;
thread_local std::vector<std::shared_ptr<NSGraphicsContext>> tSavedContexts;

bool IsPremultiplied(NSBitmapFormat format) { return (format & NSAlphaNonpremultipliedBitmapFormat) == 0; }

// The bitmap info of a bitmap context over these pixels, or false when a bitmap context
// cannot draw them.
bool BitmapContextInfo(const NSBitmapImageRep &bitmap, CGBitmapInfo &info) {
    if (bitmap.bitsPerSample() != 8 || (bitmap.bitmapFormat() & NSFloatingPointSamplesBitmapFormat)) return false;
    const bool first = (bitmap.bitmapFormat() & NSAlphaFirstBitmapFormat) != 0;
    const long samples = bitmap.samplesPerPixel(), bits = bitmap.bitsPerPixel();
    if (samples == 1 && !bitmap.hasAlpha() && bits == 8) {
        info = kCGImageAlphaNone;
        return true;
    }
    if (samples == 3 && !bitmap.hasAlpha() && bits == 32) {
        info = first ? kCGImageAlphaNoneSkipFirst : kCGImageAlphaNoneSkipLast;
        return true;
    }
    if (samples == 4 && bitmap.hasAlpha() && bits == 32 && IsPremultiplied(bitmap.bitmapFormat())) {
        info = first ? kCGImageAlphaPremultipliedFirst : kCGImageAlphaPremultipliedLast;
        return true;
    }
    return false;
}

// The bitmap info of an image over these pixels, or false.
bool ImageInfo(const NSBitmapImageRep &bitmap, CGBitmapInfo &info) {
    if (bitmap.bitsPerSample() != 8 || (bitmap.bitmapFormat() & NSFloatingPointSamplesBitmapFormat)) return false;
    const bool first = (bitmap.bitmapFormat() & NSAlphaFirstBitmapFormat) != 0;
    const bool premultiplied = IsPremultiplied(bitmap.bitmapFormat());
    const long samples = bitmap.samplesPerPixel(), bits = bitmap.bitsPerPixel();
    if (samples == 1 && !bitmap.hasAlpha() && bits == 8) {
        info = kCGImageAlphaNone;
        return true;
    }
    if (samples == 3 && !bitmap.hasAlpha() && (bits == 24 || bits == 32)) {
        info = bits == 24 ? kCGImageAlphaNone : first ? kCGImageAlphaNoneSkipFirst : kCGImageAlphaNoneSkipLast;
        return true;
    }
    if (samples == 4 && bitmap.hasAlpha() && bits == 32) {
        info = first ? (premultiplied ? kCGImageAlphaPremultipliedFirst : kCGImageAlphaFirst)
                     : (premultiplied ? kCGImageAlphaPremultipliedLast : kCGImageAlphaLast);
        return true;
    }
    return false;
}

CGColorSpaceRef CreateSpaceFor(const NSBitmapImageRep &bitmap) {
    return bitmap.samplesPerPixel() == 1 ? CGColorSpaceCreateDeviceGray() : CGColorSpaceCreateDeviceRGB();
}

// The provider's hold on the bitmap it reads.
void ReleaseBitmapHold(void *info, const void *, size_t) {
    delete static_cast<std::shared_ptr<NSBitmapImageRep> *>(info);
}

}  // namespace

std::shared_ptr<NSGraphicsContext> NSGraphicsContext::graphicsContextWithBitmapImageRep(
    std::shared_ptr<NSBitmapImageRep> bitmap) {
    CGBitmapInfo info = 0;
    if (bitmap == nullptr || bitmap->bitmapData() == nullptr || !BitmapContextInfo(*bitmap, info)) return nullptr;
    CGColorSpaceRef space = CreateSpaceFor(*bitmap);
    CGContextRef port = CGBitmapContextCreate(bitmap->bitmapData(), size_t(bitmap->pixelsWide()),
                                              size_t(bitmap->pixelsHigh()), 8, size_t(bitmap->bytesPerRow()), space,
                                              info);
    CGColorSpaceRelease(space);
    if (port == nullptr) return nullptr;
    std::shared_ptr<NSGraphicsContext> context(new NSGraphicsContext);
    context->mPort = port;
    context->mBitmap = std::move(bitmap);
    return context;
}

std::shared_ptr<NSGraphicsContext> NSGraphicsContext::graphicsContextWithGraphicsPort(CGContextRef port,
                                                                                      bool flipped) {
    if (port == nullptr) return nullptr;
    std::shared_ptr<NSGraphicsContext> context(new NSGraphicsContext);
    context->mPort = CGContextRetain(port);
    context->mFlipped = flipped;
    return context;
}

NSGraphicsContext::~NSGraphicsContext() {
    // The port goes before the bitmap whose bytes it draws into.
    if (mPort != nullptr) CGContextRelease(mPort);
}

std::shared_ptr<NSGraphicsContext> NSGraphicsContext::currentContext() { return tCurrentContext; }

void NSGraphicsContext::setCurrentContext(std::shared_ptr<NSGraphicsContext> context) {
    tCurrentContext = std::move(context);
}

void NSGraphicsContext::saveGraphicsState() {
    if (tCurrentContext != nullptr) CGContextSaveGState(tCurrentContext->mPort);
    tSavedContexts.push_back(tCurrentContext);
}

void NSGraphicsContext::restoreGraphicsState() {
    if (tSavedContexts.empty()) return;
    tCurrentContext = std::move(tSavedContexts.back());
    tSavedContexts.pop_back();
    if (tCurrentContext != nullptr) CGContextRestoreGState(tCurrentContext->mPort);
}

void NSGraphicsContext::flushGraphics() {
    if (CGBitmapContextGetWidth(mPort) != 0) CGBitmapContextWillAccessData(mPort);
}

void NSGraphicsContext::bitmapDataWritten() {
    if (CGBitmapContextGetWidth(mPort) != 0) CGBitmapContextDidWriteData(mPort);
}

CGImageRef NSBitmapImageRepCreateCGImage(const std::shared_ptr<NSBitmapImageRep> &bitmap) {
    CGBitmapInfo info = 0;
    if (bitmap == nullptr || bitmap->bitmapData() == nullptr || !ImageInfo(*bitmap, info)) return nullptr;
    auto *hold = new std::shared_ptr<NSBitmapImageRep>(bitmap);
    CGDataProviderRef provider =
        CGDataProviderCreateWithData(hold, bitmap->bitmapData(), bitmap->dataSize(), ReleaseBitmapHold);
    if (provider == nullptr) {
        delete hold;
        return nullptr;
    }
    CGColorSpaceRef space = CreateSpaceFor(*bitmap);
    CGImageRef image = CGImageCreate(size_t(bitmap->pixelsWide()), size_t(bitmap->pixelsHigh()), 8,
                                     size_t(bitmap->bitsPerPixel()), size_t(bitmap->bytesPerRow()), space, info,
                                     provider, nullptr, true, kCGRenderingIntentDefault);
    CGColorSpaceRelease(space);
    CGDataProviderRelease(provider);
    return image;
}

bool NSImageDrawInRect(const NSImage &image, CGRect rect, CGRect fromRect, NSCompositingOperation operation,
                       CGFloat fraction) {
    const std::shared_ptr<NSGraphicsContext> context = NSGraphicsContext::currentContext();
    if (context == nullptr || image.representations().empty()) return false;
    const std::shared_ptr<NSBitmapImageRep> &bitmap = image.representations().front();
    CGImageRef whole = NSBitmapImageRepCreateCGImage(bitmap);
    if (whole == nullptr) return false;

    CGImageRef drawn = whole;
    const NSSize size = image.size();
    if (!CGRectIsEmpty(fromRect) && size.width > 0 && size.height > 0) {
        // Points (origin bottom-left) to pixels (origin top-left).
        const double sx = double(bitmap->pixelsWide()) / size.width, sy = double(bitmap->pixelsHigh()) / size.height;
        const CGRect pixels = CGRectMake(fromRect.origin.x * sx, (size.height - CGRectGetMaxY(fromRect)) * sy,
                                         fromRect.size.width * sx, fromRect.size.height * sy);
        const CGRect all = CGRectMake(0, 0, CGFloat(bitmap->pixelsWide()), CGFloat(bitmap->pixelsHigh()));
        if (!CGRectEqualToRect(CGRectIntegral(pixels), all)) drawn = CGImageCreateWithImageInRect(whole, pixels);
    }
    if (drawn == nullptr) {
        CGImageRelease(whole);
        return false;
    }
    CGContextRef port = context->graphicsPort();
    CGContextSaveGState(port);
    CGContextSetBlendMode(port, operation == NSCompositingOperationCopy       ? kCGBlendModeCopy
                                : operation == NSCompositingOperationSourceIn ? kCGBlendModeSourceIn
                                                                              : kCGBlendModeNormal);
    CGContextSetAlpha(port, std::isfinite(fraction) ? fraction : 1.0);
    CGContextDrawImage(port, rect, drawn);
    CGContextRestoreGState(port);
    if (drawn != whole) CGImageRelease(drawn);
    CGImageRelease(whole);
    return true;
}
