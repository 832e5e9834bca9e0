// Images and image masks over data providers. An image reads its pixels from the provider
// each time it is drawn, so an image over a live bitmap shows later drawing.
//
// Pixel layouts: 8 bits per component. Grey is one byte per pixel (no alpha); RGB is 24 bits
// (no alpha) or 32 bits with alpha first or last (premultiplied or not) or a skipped byte,
// in the big-endian byte order (the default: A,R,G,B for alpha first) or the 32-bit
// little-endian one (B,G,R,A). Image masks are one byte per pixel.
#pragma once

#include <CoreGraphics/CGColorSpace.h>
#include <CoreGraphics/CGDataProvider.h>
#include <CoreGraphics/CGGeometry.h>

typedef struct CGImage *CGImageRef;

enum CGImageAlphaInfo : uint32_t {
    kCGImageAlphaNone = 0,
    kCGImageAlphaPremultipliedLast = 1,
    kCGImageAlphaPremultipliedFirst = 2,
    kCGImageAlphaLast = 3,
    kCGImageAlphaFirst = 4,
    kCGImageAlphaNoneSkipLast = 5,
    kCGImageAlphaNoneSkipFirst = 6,
    kCGImageAlphaOnly = 7,
};

// Bitmap info: the alpha info in the low bits, or-ed with a byte order. The constants are
// plain integers so that `kCGImageAlphaPremultipliedFirst | kCGBitmapByteOrder32Little`
// mixes no two enumeration types.
typedef uint32_t CGBitmapInfo;
inline constexpr CGBitmapInfo kCGBitmapAlphaInfoMask = 0x1F;
inline constexpr CGBitmapInfo kCGBitmapFloatComponents = 1 << 8;
inline constexpr CGBitmapInfo kCGBitmapByteOrderMask = 0x7000;
inline constexpr CGBitmapInfo kCGBitmapByteOrderDefault = 0 << 12;
inline constexpr CGBitmapInfo kCGBitmapByteOrder16Little = 1 << 12;
inline constexpr CGBitmapInfo kCGBitmapByteOrder32Little = 2 << 12;
inline constexpr CGBitmapInfo kCGBitmapByteOrder16Big = 3 << 12;
inline constexpr CGBitmapInfo kCGBitmapByteOrder32Big = 4 << 12;
// Linux on the machines Lumora runs on is little-endian.
inline constexpr CGBitmapInfo kCGBitmapByteOrder16Host = kCGBitmapByteOrder16Little;
inline constexpr CGBitmapInfo kCGBitmapByteOrder32Host = kCGBitmapByteOrder32Little;

enum CGColorRenderingIntent : int32_t {
    kCGRenderingIntentDefault,
    kCGRenderingIntentAbsoluteColorimetric,
    kCGRenderingIntentRelativeColorimetric,
    kCGRenderingIntentPerceptual,
    kCGRenderingIntentSaturation,
};

CFTypeID CGImageGetTypeID(void);

// Null when the layout is not one of those above, the space does not fit it, a decode array
// is given, or the provider holds fewer than bytesPerRow * (height - 1) + width * bytes per
// pixel bytes (an image never reads past its provider's bytes).
CGImageRef CGImageCreate(size_t width, size_t height, size_t bitsPerComponent, size_t bitsPerPixel,
                         size_t bytesPerRow, CGColorSpaceRef space, CGBitmapInfo bitmapInfo,
                         CGDataProviderRef provider, const CGFloat *decode, bool shouldInterpolate,
                         CGColorRenderingIntent intent);
// A mask of 8-bit samples: drawn or clipped to, a sample of 0 lets paint through and 255
// blocks it. Same refusals as CGImageCreate (8 bits per component and per pixel only).
CGImageRef CGImageMaskCreate(size_t width, size_t height, size_t bitsPerComponent, size_t bitsPerPixel,
                             size_t bytesPerRow, CGDataProviderRef provider, const CGFloat *decode,
                             bool shouldInterpolate);
// The part of the image inside rect (pixel units, origin at the top-left pixel), sharing the
// image's provider. The rect is made integral and intersected with the image; null when
// nothing of the image is left.
CGImageRef CGImageCreateWithImageInRect(CGImageRef image, CGRect rect);

CGImageRef CGImageRetain(CGImageRef image);
void CGImageRelease(CGImageRef image);

size_t CGImageGetWidth(CGImageRef image);
size_t CGImageGetHeight(CGImageRef image);
size_t CGImageGetBitsPerComponent(CGImageRef image);
size_t CGImageGetBitsPerPixel(CGImageRef image);
size_t CGImageGetBytesPerRow(CGImageRef image);
// Null for an image mask.
CGColorSpaceRef CGImageGetColorSpace(CGImageRef image);
CGBitmapInfo CGImageGetBitmapInfo(CGImageRef image);
CGImageAlphaInfo CGImageGetAlphaInfo(CGImageRef image);
CGDataProviderRef CGImageGetDataProvider(CGImageRef image);
bool CGImageGetShouldInterpolate(CGImageRef image);
CGColorRenderingIntent CGImageGetRenderingIntent(CGImageRef image);
bool CGImageIsMask(CGImageRef image);
