// NSOGLTextureIOSurface(CGContextTexture): CGImages of the texture's surface.
#include "NSOGLTextureIOSurface.h"

#include <CoreGraphics/CGDataProvider.h>
#include <IOSurface/IOSurface.h>

#include <cstdlib>
#include <cstring>

namespace {

constexpr OSType kBGRAPixelFormat = 0x42475241u;  // 'BGRA'
constexpr OSType k32ARGBPixelFormat = 0x00000020u;

CGBitmapInfo BitmapInfoOfPixelFormat(OSType pixelFormat) {
    switch (pixelFormat) {
    case kBGRAPixelFormat:
        return kCGImageAlphaPremultipliedFirst | kCGBitmapByteOrder32Little;
    case k32ARGBPixelFormat:
        return kCGImageAlphaPremultipliedFirst | kCGBitmapByteOrder32Big;
    default:
        return kCGImageAlphaNoneSkipLast;
    }
}

CGImageRef CreateImage(IOSurfaceRef surface, CGColorSpaceRef colorSpace, CGDataProviderRef provider) {
    return CGImageCreate(IOSurfaceGetWidth(surface), IOSurfaceGetHeight(surface), 8, 32,
                         IOSurfaceGetBytesPerRow(surface), colorSpace,
                         BitmapInfoOfPixelFormat(IOSurfaceGetPixelFormat(surface)), provider, nullptr, true,
                         kCGRenderingIntentDefault);
}

void FreeCopiedPixels(void * /*info*/, const void *data, size_t /*size*/) { std::free(const_cast<void *>(data)); }

// The end of an image over a locked surface: the read-only lock and the reference go.
void UnlockAndReleaseSurface(void *info, const void * /*data*/, size_t /*size*/) {
    auto surface = static_cast<IOSurfaceRef>(info);
    IOSurfaceUnlock(surface, kIOSurfaceLockReadOnly, nullptr);
    CFRelease(surface);
}

// Calls `make` with the colour space of the name, released after.
template <typename Make>
CGImageRef WithNamedColorSpace(CFStringRef colorSpaceName, Make make) {
    CGColorSpaceRef colorSpace = colorSpaceName != nullptr ? CGColorSpaceCreateWithName(colorSpaceName) : nullptr;
    CGImageRef image = make(colorSpace);
    if (colorSpace != nullptr) CGColorSpaceRelease(colorSpace);
    return image;
}

}  // namespace

CGImageRef NSOGLTextureIOSurface::createSurfaceImageByCopyingPixelsWithColorSpaceName(CFStringRef colorSpaceName) const {
    return WithNamedColorSpace(colorSpaceName, [this](CGColorSpaceRef colorSpace) {
        return createSurfaceImageByCopyingPixelsWithColorSpace(colorSpace);
    });
}

CGImageRef NSOGLTextureIOSurface::createSurfaceImageLockingSurfaceWithColorSpaceName(CFStringRef colorSpaceName) const {
    return WithNamedColorSpace(colorSpaceName, [this](CGColorSpaceRef colorSpace) {
        return createSurfaceImageLockingSurfaceWithColorSpace(colorSpace);
    });
}

CGImageRef NSOGLTextureIOSurface::createSurfaceImageByCopyingPixelsWithColorSpace(CGColorSpaceRef colorSpace) const {
    if (colorSpace == nullptr) return nullptr;
    IOSurfaceRef surface = surfaceCopy();
    if (surface == nullptr) return nullptr;
    CGImageRef image = nullptr;
    const size_t size = IOSurfaceGetBytesPerRow(surface) * IOSurfaceGetHeight(surface);
    void *pixels = size != 0 ? std::malloc(size) : nullptr;
    if (CGDataProviderRef provider = CGDataProviderCreateWithData(nullptr, pixels, size, FreeCopiedPixels);
        provider == nullptr) {
        std::free(pixels);
    } else {
        if (IOSurfaceLock(surface, kIOSurfaceLockReadOnly, nullptr) == kIOReturnSuccess) {
            if (const void *base = IOSurfaceGetBaseAddress(surface); base != nullptr) {
                std::memcpy(pixels, base, size);
                image = CreateImage(surface, colorSpace, provider);
            }
            IOSurfaceUnlock(surface, kIOSurfaceLockReadOnly, nullptr);
        }
        CGDataProviderRelease(provider);
    }
    CFRelease(surface);
    return image;
}

CGImageRef NSOGLTextureIOSurface::createSurfaceImageLockingSurfaceWithColorSpace(CGColorSpaceRef colorSpace) const {
    if (colorSpace == nullptr) return nullptr;
    IOSurfaceRef surface = surfaceCopy();  // the provider's reference, given up by its callback
    if (surface == nullptr) return nullptr;
    if (IOSurfaceLock(surface, kIOSurfaceLockReadOnly, nullptr) != kIOReturnSuccess) {
        CFRelease(surface);
        return nullptr;
    }
    const void *base = IOSurfaceGetBaseAddress(surface);
    CGDataProviderRef provider =
        base != nullptr ? CGDataProviderCreateWithData(surface, base,
                                                       IOSurfaceGetBytesPerRow(surface) * IOSurfaceGetHeight(surface),
                                                       UnlockAndReleaseSurface)
                        : nullptr;
    if (provider == nullptr) {
        IOSurfaceUnlock(surface, kIOSurfaceLockReadOnly, nullptr);
        CFRelease(surface);
        return nullptr;
    }
    CGImageRef image = CreateImage(surface, colorSpace, provider);
    CGDataProviderRelease(provider);  // without an image this unlocks and releases the surface
    return image;
}
