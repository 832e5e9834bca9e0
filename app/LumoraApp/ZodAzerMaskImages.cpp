#include "ZodAzerMaskImages.h"

#include <CocoaGraphics/NSCGMaskContextBase.h>
#include <CoreFoundation/CFData.h>
#include <CoreG/Masks/namespace_CoreGraphics_MaskContext.h>
#include <CoreGraphics/CGColorSpace.h>
#include <CoreGraphics/CGDataProvider.h>
#include <CoreGraphics/CGImage.h>

namespace ZodAzerMaskImages {

CIImageRef imageOfGreyBytes(const uint8_t *bytes, size_t width, size_t height, size_t rowBytes) {
    if (bytes == nullptr || width == 0 || height == 0 || rowBytes < width) return nullptr;
    CFDataRef data = CFDataCreate(nullptr, bytes, CFIndex(rowBytes * height));
    if (data == nullptr) return nullptr;
    CGDataProviderRef provider = CGDataProviderCreateWithCFData(data);
    CFRelease(data);
    if (provider == nullptr) return nullptr;
    CGColorSpaceRef grey = CGColorSpaceCreateDeviceGray();
    CGImageRef image = CGImageCreate(width, height, 8, 8, rowBytes, grey, kCGImageAlphaNone, provider, nullptr, false,
                                     kCGRenderingIntentDefault);
    CGColorSpaceRelease(grey);
    CGDataProviderRelease(provider);
    if (image == nullptr) return nullptr;
    CIImageRef result = CIImage::imageWithCGImage(image);
    CGImageRelease(image);
    return result;
}

CIImageRef imageOfMask(CoreGraphics::MaskContext *mask) {
    if (mask == nullptr || mask->mImageDataBytes == nullptr) return nullptr;
    mask->WillAccessPixels();
    return imageOfGreyBytes(mask->mImageDataBytes, mask->mImageWidth, mask->mImageHeight, mask->mImageRowBytes);
}

CIImageRef imageOfMaskContext(NSCGMaskContextBase *maskContext) {
    if (maskContext == nullptr) return nullptr;
    return imageOfMask(&maskContext->mask());
}

}  // namespace ZodAzerMaskImages

bool import_ZodAzerMaskImages() { return import_NSCGMaskContextBase() && import_namespace_CoreGraphics_MaskContext(); }
