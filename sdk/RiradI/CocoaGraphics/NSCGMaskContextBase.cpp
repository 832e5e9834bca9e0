#include "NSCGMaskContextBase.h"

#include <Foundation/NSException.h>

#include <CoreG/Drawing/namespace_CoreGraphics_BitmapContext.h>
#include <CoreG/Masks/namespace_CoreGraphics_MaskContext.h>
#include <CoreX/CoreMachDebugLog.h>

#include <CoreGraphics/CoreGraphics.h>

namespace {

constexpr const char *kFile = "/Code/sdk/RiradI/CocoaGraphics/NSCGMaskContextBase";
constexpr unsigned kDefaultMaskWidth = 640;
constexpr unsigned kDefaultMaskHeight = 480;

inline void Report(const char *function, int line, const char *text) {
    _CoreMachDebugVerifyBody(function, kFile, line, text);
}

// The 8-bit layouts an image over the pixels can describe: grey 8, RGB in 24 or 32 bits, RGBA
// in 32 bits.
bool LayoutIsDrawable(long bitsPerPixel, long samplesPerPixel, bool hasAlpha) {
    if (samplesPerPixel == 1) return !hasAlpha && bitsPerPixel == 8;
    if (samplesPerPixel == 3) return !hasAlpha && (bitsPerPixel == 24 || bitsPerPixel == 32);
    if (samplesPerPixel == 4) return hasAlpha && bitsPerPixel == 32;
    return false;
}

// Where alpha (or the skipped byte) is and whether colour is premultiplied, from the format.
CGBitmapInfo BitmapInfoFor(long bitsPerPixel, bool hasAlpha, NSBitmapFormat format) {
    const CGBitmapInfo floating = (format & NSFloatingPointSamplesBitmapFormat) ? kCGBitmapFloatComponents : 0;
    if (bitsPerPixel < 32) return floating | kCGImageAlphaNone;
    const bool first = (format & NSAlphaFirstBitmapFormat) != 0;
    const bool straight = (format & NSAlphaNonpremultipliedBitmapFormat) != 0;
    CGImageAlphaInfo alpha;
    if (hasAlpha) {
        alpha = first ? (straight ? kCGImageAlphaFirst : kCGImageAlphaPremultipliedFirst)
                      : (straight ? kCGImageAlphaLast : kCGImageAlphaPremultipliedLast);
    } else {
        alpha = first ? kCGImageAlphaNoneSkipFirst : kCGImageAlphaNoneSkipLast;
    }
    return floating | alpha;
}

// The step of making an image over pixels that failed.
enum class ImageStep { kMade, kColorSpace, kProvider, kImage };

// An image over `length` bytes of pixels in the layout given (nothing is copied: the bytes
// must outlive the image).
CGImageRef CreateImageOverPixels(const void *data, size_t length, long width, long height, long rowBytes,
                                 long bitsPerPixel, long samplesPerPixel, bool hasAlpha, NSBitmapFormat format,
                                 ImageStep &failed) {
    CGColorSpaceRef colorSpace = samplesPerPixel == 1 ? CGColorSpaceCreateDeviceGray() : CGColorSpaceCreateDeviceRGB();
    if (colorSpace == nullptr) {
        failed = ImageStep::kColorSpace;
        return nullptr;
    }
    CGDataProviderRef dataProvider = CGDataProviderCreateWithData(nullptr, data, length, nullptr);
    if (dataProvider == nullptr) {
        CGColorSpaceRelease(colorSpace);
        failed = ImageStep::kProvider;
        return nullptr;
    }
    CGImageRef image = nullptr;
    if (LayoutIsDrawable(bitsPerPixel, samplesPerPixel, hasAlpha))
        image = CGImageCreate(size_t(width), size_t(height), 8, size_t(bitsPerPixel), size_t(rowBytes), colorSpace,
                              BitmapInfoFor(bitsPerPixel, hasAlpha, format), dataProvider, nullptr, true,
                              kCGRenderingIntentDefault);
    CGDataProviderRelease(dataProvider);
    CGColorSpaceRelease(colorSpace);
    failed = image != nullptr ? ImageStep::kMade : ImageStep::kImage;
    return image;
}

// An offscreen picture of the mask's size: A, R, G, B premultiplied, cleared, drawn into by
// `draw`, then its bytes taken as a bitmap (valid while `picture` lives).
template <typename Draw>
std::shared_ptr<NSBitmapImageRep> CaptureOffscreen(CoreGraphics::BitmapContext &picture, long width, long height,
                                                   Draw draw) {
    if (!picture.Construct(int(width), int(height), CoreGraphics::kBitmapType_ARGB32)) return nullptr;
    draw(picture.mContext);
    picture.WillAccessPixels();  // the bytes are read directly from here on
    return NSBitmapImageRep::initWithBitmapDataPlanes(picture.mImageDataBytes, width, height, 8, 4, true, false,
                                                      NSDeviceRGBColorSpace, NSAlphaFirstBitmapFormat,
                                                      long(picture.mImageRowBytes), 32);
}

}  // namespace

NSCGMaskContextBase::NSCGMaskContextBase(QObject *parent)
    : NSCGMaskContextBase(kDefaultMaskWidth, kDefaultMaskHeight, parent) {}

NSCGMaskContextBase::NSCGMaskContextBase(unsigned maskWidth, unsigned maskHeight, QObject *parent)
    : NSObject(parent), _maskContext(std::make_unique<CoreGraphics::MaskContext>()) {
    if (maskWidth <= 32767 && maskHeight <= 32767 && _maskContext->Construct(int(maskWidth), int(maskHeight)))
        _maskContext->MakeOpaque();
}

NSCGMaskContextBase::~NSCGMaskContextBase() = default;

NSSize NSCGMaskContextBase::sizePixels() const {
    return NSSize{double(_maskContext->mImageWidth), double(_maskContext->mImageHeight)};
}

CGImageRef NSCGMaskContextBase::copyMaskImageRef() {
    CGImageRef maskImageRef = _maskContext->IsConstructed() ? _maskContext->CreateMaskImage() : nullptr;
    if (maskImageRef == nullptr) Report("-[NSCGMaskContextBase copyMaskImageRef]", 47, " code : maskImageRef");
    return maskImageRef;
}

bool NSCGMaskContextBase::maskUpdate() { return maskUpdateDefault(); }

bool NSCGMaskContextBase::maskUpdateDefault() {
    static constexpr const char *kFunction = "-[NSCGMaskContextBase maskUpdateDefault]";
    try {
        const long width = _maskContext->mImageWidth, height = _maskContext->mImageHeight;
        CoreGraphics::BitmapContext image;
        if (width < 1 || height < 1) {
            Report(kFunction, 206, "image");
            return false;
        }
        // Nothing is drawn: the picture stays fully clear.
        const auto bitmap = CaptureOffscreen(image, width, height, [](CGContextRef) {});
        if (!bitmap) {
            Report(kFunction, 213, " code : bitmap");
            return false;
        }
        const bool updated = maskUpdateFromBitmapDataSameSize(bitmap.get());
        if (!updated) Report(kFunction, 222, " code : maskUpdateFromBitmapDataSameSize(bitmap)");
        return updated;
    } catch (const NSException &) {
        return false;
    }
}

bool NSCGMaskContextBase::maskUpdateFromBitmapData(const NSBitmapImageRep *bitmap) {
    if (bitmap == nullptr) {
        Report("-[NSCGMaskContextBase maskUpdateFromBitmapData:]", 189, " code : inBitmapImageRep");
        return false;
    }
    if (bitmap->pixelsWide() == long(_maskContext->mImageWidth) &&
        bitmap->pixelsHigh() == long(_maskContext->mImageHeight))
        return maskUpdateFromBitmapDataSameSize(bitmap);
    return maskUpdateFromBitmapDataResize(*bitmap);
}

bool NSCGMaskContextBase::maskUpdateFromBitmapDataResize(const NSBitmapImageRep &bitmap) {
    static constexpr const char *kFunction = "-[NSCGMaskContextBase maskUpdateFromBitmapDataResize:]";
    try {
        ImageStep failed;
        CGImageRef image = CreateImageOverPixels(bitmap.bitmapData(), bitmap.dataSize(), bitmap.pixelsWide(),
                                                 bitmap.pixelsHigh(), bitmap.bytesPerRow(), bitmap.bitsPerPixel(),
                                                 bitmap.samplesPerPixel(), bitmap.hasAlpha(), bitmap.bitmapFormat(),
                                                 failed);
        if (image == nullptr || bitmap.bitsPerSample() != 8) {
            CGImageRelease(image);
            Report(kFunction, 158, " code : image");
            return false;
        }
        const long width = _maskContext->mImageWidth, height = _maskContext->mImageHeight;
        CoreGraphics::BitmapContext picture;
        const auto scaled = CaptureOffscreen(picture, width, height, [&](CGContextRef context) {
            CGContextSetInterpolationQuality(context, kCGInterpolationHigh);
            CGContextDrawImage(context, CGRectMake(0, 0, CGFloat(width), CGFloat(height)), image);
        });
        CGImageRelease(image);
        if (!scaled) {
            Report(kFunction, 168, " code : bitmapImageRep");
            return false;
        }
        const bool updated = maskUpdateFromBitmapDataSameSize(scaled.get());
        if (!updated) Report(kFunction, 177, " code : maskUpdateFromBitmapDataSameSize(bitmapImageRep)");
        return updated;
    } catch (const NSException &) {
        return false;
    }
}

bool NSCGMaskContextBase::maskUpdateFromBitmapDataSameSize(const NSBitmapImageRep *bitmap) {
    static constexpr const char *kFunction = "-[NSCGMaskContextBase maskUpdateFromBitmapDataSameSize:]";
    if (bitmap == nullptr) {
        Report(kFunction, 136, " code : inBitmapImageRep");
        return false;
    }
    const bool fFloatingPoint = (bitmap->bitmapFormat() & NSFloatingPointSamplesBitmapFormat) != 0;
    if (fFloatingPoint) {
        Report(kFunction, 144, " code : fFloatingPoint==false");
        return false;
    }
    if (bitmap->bitsPerSample() != 8) {
        Report(kFunction, 145, " code : bitsPerSample==8");
        return false;
    }
    // The pixel data must cover the mask.
    if (bitmap->pixelsWide() != long(_maskContext->mImageWidth) ||
        bitmap->pixelsHigh() != long(_maskContext->mImageHeight)) {
        Report(kFunction, 146, " code : sameSize");
        return false;
    }
    return maskUpdateFromPixelData(bitmap->bitmapData(), bitmap->bytesPerRow(), bitmap->bitsPerPixel(),
                                   bitmap->samplesPerPixel(), bitmap->hasAlpha(), bitmap->bitmapFormat());
}

bool NSCGMaskContextBase::maskUpdateFromPixelData(const void *data, long rowBytes, long bitsPerPixel,
                                                  long samplesPerPixel, bool hasAlpha, NSBitmapFormat bitmapFormat) {
    if (data == nullptr || rowBytes <= 0) {
        Report("-[NSCGMaskContextBase maskUpdateFromPixelData:rowBytes:bitsPerPixel:samplesPerPixel:hasAlpha:]", 126,
               " code : pixelData!=NULL && rowBytes!=0");
        return false;
    }
    return maskDrawFromPixelData(data, rowBytes, bitsPerPixel, samplesPerPixel, hasAlpha, bitmapFormat);
}

bool NSCGMaskContextBase::maskDrawFromPixelData(const void *data, long rowBytes, long bitsPerPixel,
                                                long samplesPerPixel, bool hasAlpha, NSBitmapFormat bitmapFormat) {
    static constexpr const char *kFunction =
        "-[NSCGMaskContextBase maskDrawFromPixelData:rowBytes:bitsPerPixel:samplesPerPixel:hasAlpha:]";
    if (data == nullptr || rowBytes <= 0) {
        Report(kFunction, 90, " code : pixelData!=NULL && rowBytes!=0");
        return false;
    }
    if (!_maskContext->IsConstructed()) {
        Report(kFunction, 91, " code : _maskContext.IsConstructed()");
        return false;
    }
    const long width = _maskContext->mImageWidth, height = _maskContext->mImageHeight;
    ImageStep failed;
    CGImageRef image = CreateImageOverPixels(data, size_t(rowBytes) * size_t(height), width, height, rowBytes,
                                             bitsPerPixel, samplesPerPixel, hasAlpha, bitmapFormat, failed);
    switch (failed) {
    case ImageStep::kColorSpace: Report(kFunction, 93, " code : colorSpace"); return false;
    case ImageStep::kProvider: Report(kFunction, 97, " code : dataProvider"); return false;
    case ImageStep::kImage: Report(kFunction, 109, " code : imageRef"); return false;
    case ImageStep::kMade: break;
    }
    const bool drawn = maskDrawCGImage(image);
    CGImageRelease(image);
    return drawn;
}

bool NSCGMaskContextBase::maskDrawCGImage(CGImageRef image) {
    if (!_maskContext->IsConstructed() || image == nullptr) return false;
    _maskContext->MakeOpaque();
    const CGRect maskRect = CGRectMake(0, 0, CGFloat(_maskContext->mImageWidth), CGFloat(_maskContext->mImageHeight));
    CGContextDrawImage(_maskContext->mContext, maskRect, image);
    return true;
}

bool import_NSCGMaskContextBase() { return import_namespace_CoreGraphics_MaskContext() && import_CoreMachDebugLog(); }
