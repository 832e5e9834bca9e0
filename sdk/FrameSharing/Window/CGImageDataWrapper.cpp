#include <FrameSharing/Window/CGImageDataWrapper.h>
#include <FrameSharing/Window/IOSurfaceMessagePacket.h>

#include <CoreFoundation/CFData.h>
#include <CoreGraphics/CGBitmapContext.h>
#include <CoreGraphics/CGColorSpace.h>
#include <CoreGraphics/CGContext.h>
#include <CoreGraphics/CGDataProvider.h>

#include <cmath>
#include <cstdlib>
#include <cstring>

namespace {

constexpr CGBitmapInfo kLayout = kCGImageAlphaNoneSkipFirst | kCGBitmapByteOrder32Little;

void FreePixels(void *, const void *data, size_t) { std::free(const_cast<void *>(data)); }

size_t IntegerSquareRoot(size_t n) {
    size_t root = size_t(std::sqrt(double(n)));
    while (root * root > n) --root;
    while ((root + 1) * (root + 1) <= n) ++root;
    return root;
}

bool IsRGB8888(CGImageRef image) {
    return image != nullptr && CGImageGetBitsPerComponent(image) == 8 && CGImageGetBitsPerPixel(image) == 32 &&
           CGColorSpaceGetModel(CGImageGetColorSpace(image)) == kCGColorSpaceModelRGB;
}

}  // namespace

bool CGImageDataWrapper::calculatedPixelSize(size_t n, size_t &width, size_t &height) {
    width = height = 0;
    if (n == 0 || n > kMaxBytes) return false;
    const size_t w = 4 * IntegerSquareRoot(n);
    const size_t h = 2 * (n % w);
    if (h == 0 || w * h <= n) return false;
    width = w, height = h;
    return true;
}

CGImageDataWrapper::CGImageDataWrapper(size_t rawDataSizeBytes) : mRawDataSizeBytes(rawDataSizeBytes) {
    if (calculatedPixelSize(rawDataSizeBytes, mWidth, mHeight)) mPixelCount = mWidth * mHeight;
}

CGImageDataWrapper &CGImageDataWrapper::sharedPacketWrapper() {
    static CGImageDataWrapper wrapper(kIOSurfaceMessagePacketSize);
    return wrapper;
}

CGImageRef CGImageDataWrapper::createImageWithBytes(const void *bytes, size_t length) const {
    if (bytes == nullptr || !isValid() || length >= mPixelCount) return nullptr;
    const size_t rowBytes = mWidth * 4;
    auto *pixels = static_cast<uint8_t *>(std::calloc(mPixelCount, 4));
    if (pixels == nullptr) return nullptr;
    const auto *in = static_cast<const uint8_t *>(bytes);
    for (size_t i = 0; i < length; ++i) {
        uint8_t *pixel = pixels + (mHeight - 1 - i / mWidth) * rowBytes + (i % mWidth) * 4;
        std::memset(pixel, in[i], 4);
    }
    CGDataProviderRef provider = CGDataProviderCreateWithData(nullptr, pixels, mPixelCount * 4, FreePixels);
    if (provider == nullptr) {
        std::free(pixels);
        return nullptr;
    }
    CGColorSpaceRef space = CGColorSpaceCreateDeviceRGB();
    CGImageRef image = space != nullptr ? CGImageCreate(mWidth, mHeight, 8, 32, rowBytes, space, kLayout, provider,
                                                        nullptr, false, kCGRenderingIntentDefault)
                                        : nullptr;
    CGColorSpaceRelease(space);
    CGDataProviderRelease(provider);
    return image;
}

CGImageRef CGImageDataWrapper::createPreparedImage(CGImageRef image) const {
    if (image == nullptr || !isValid()) return nullptr;
    const size_t w = CGImageGetWidth(image), h = CGImageGetHeight(image);
    if (w == 0 || w % mWidth != 0 || h != (w / mWidth) * mHeight) return nullptr;
    if (w == mWidth && IsRGB8888(image)) return CGImageRetain(image);
    CGColorSpaceRef space = CGColorSpaceCreateDeviceRGB();
    CGContextRef context = CGBitmapContextCreate(nullptr, mWidth, mHeight, 8, mWidth * 4, space, kLayout);
    CGColorSpaceRelease(space);
    if (context == nullptr) return nullptr;
    const CGRect all = CGRectMake(0, 0, CGFloat(mWidth), CGFloat(mHeight));
    CGContextClearRect(context, all);
    CGContextSetAlpha(context, 1.0);
    CGContextSetInterpolationQuality(context, kCGInterpolationNone);
    CGContextSetBlendMode(context, kCGBlendModeCopy);
    CGContextDrawImage(context, all, image);
    CGImageRef prepared = CGBitmapContextCreateImage(context);
    CGContextRelease(context);
    return prepared;
}

bool CGImageDataWrapper::readBytes(CGImageRef image, void *buffer, size_t length) const {
    if (buffer == nullptr) return false;
    std::memset(buffer, 0, length);
    if (!isValid() || length >= mPixelCount || !IsRGB8888(image)) return false;
    if (CGImageGetWidth(image) != mWidth || CGImageGetHeight(image) != mHeight) return false;
    const size_t rowBytes = CGImageGetBytesPerRow(image);
    if (rowBytes < mWidth * 4) return false;
    CFDataRef data = CGDataProviderCopyData(CGImageGetDataProvider(image));
    if (data == nullptr) return false;
    bool ok = size_t(CFDataGetLength(data)) >= rowBytes * (mHeight - 1) + mWidth * 4;
    const uint8_t *pixels = CFDataGetBytePtr(data);
    auto *out = static_cast<uint8_t *>(buffer);
    for (size_t i = 0; ok && i < length; ++i) {
        const uint8_t *pixel = pixels + (mHeight - 1 - i / mWidth) * rowBytes + (i % mWidth) * 4;
        if (pixel[1] != pixel[2]) ok = false;
        else out[i] = pixel[1];
    }
    CFRelease(data);
    if (!ok) std::memset(buffer, 0, length);
    return ok;
}
