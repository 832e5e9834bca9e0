#include <CoreG/Drawing/namespace_CoreGraphics_BitmapContext.h>

#include <cmath>
#include <cstdlib>

#include <CoreG/Drawing/namespace_CoreGeometry_PerlinNoise.h>
#include <CoreX/CoreMachDebugLog.h>

#include <CoreG/Masks/namespace_CoreGraphics_MaskPixels.h>

namespace CoreGraphics {

namespace {

constexpr size_t kBitsPerComponent = 8;

using maskpixels::ClampedFraction;
using maskpixels::ClampedIndex;
using maskpixels::LowByteOfTruncated;

}  // namespace

const SharedColorSpaces &SharedColorSpaces::Get() {
    static const SharedColorSpaces sSpaces = {
        CGColorSpaceCreateWithName(kCGColorSpaceGenericRGBLinear),
        CGColorSpaceCreateWithName(kCGColorSpaceSRGB),
        CGColorSpaceCreateWithName(kCGColorSpaceSRGB),
        CGColorSpaceCreateWithName(kCGColorSpaceAdobeRGB1998),
    };
    return sSpaces;
}

BitmapContext::~BitmapContext() {
    if (IsConstructed()) Destruct();
}

void BitmapContext::Empty() {
    mContext = nullptr;
    mImageType = static_cast<BitmapType>(0);
    mImageWidth = 0;
    mImageHeight = 0;
    mImageBitsPerPixel = 0;
    mImageChannels = 0;
    mImageRowBytes = 0;
    mImageDataSize = 0;
    mImageBitmapInfo = 0;
    mImageColorspace = nullptr;
    mImageDataBytes = nullptr;
}

void BitmapContext::ReleaseResources() {
    if (mContext != nullptr) CGContextRelease(mContext);
    if (mImageColorspace != nullptr) CGColorSpaceRelease(mImageColorspace);
    if (mImageDataBytes != nullptr) DeleteImageData(mImageDataBytes);
    mContext = nullptr;
    mImageColorspace = nullptr;
    mImageDataBytes = nullptr;
}

void BitmapContext::Destruct() {
    if (IsConstructed()) ReleaseResources();
    Empty();
}

uint8_t *BitmapContext::CreateImageData(unsigned long size) {
    return static_cast<uint8_t *>(std::calloc(size, 1));
}

void BitmapContext::DeleteImageData(uint8_t *data) {
    if (data != nullptr) std::free(data);
}

bool BitmapContext::ConstructSelf() { return true; }

bool BitmapContext::Construct(int width, int height, BitmapType type, unsigned long rowBytes,
                              CGColorSpaceRef space) {
    Empty();
    uint32_t channels = 4;
    uint32_t bitmapInfo = 0;
    switch (type) {
    case kBitmapType_Gray8:
        channels = 1;
        bitmapInfo = kCGImageAlphaNone;
        break;
    case kBitmapType_ARGB32: bitmapInfo = kCGImageAlphaPremultipliedFirst; break;
    case kBitmapType_XRGB32: bitmapInfo = kCGImageAlphaNoneSkipFirst; break;
    case kBitmapType_RGBX32: bitmapInfo = kCGImageAlphaNoneSkipLast; break;
    default: return false;
    }
    if (width < 1 || height < 1) return false;
    uint64_t row = uint64_t(channels) * uint64_t(width);
    if (rowBytes > row) row = rowBytes;
    const uint64_t size = row * uint64_t(height);  // wraps only for rows above 4 GiB, refused too
    if (row > UINT32_MAX || size > UINT32_MAX) return false;

    CGColorSpaceRef colorspace = type == kBitmapType_Gray8 ? CGColorSpaceCreateDeviceGray()
                                 : space != nullptr        ? CGColorSpaceRetain(space)
                                                           : CGColorSpaceCreateDeviceRGB();
    if (colorspace == nullptr) return false;
    uint8_t *bytes = CreateImageData(static_cast<unsigned long>(size));
    if (bytes == nullptr) {
        CGColorSpaceRelease(colorspace);
        return false;
    }
    CGContextRef context = CGBitmapContextCreate(bytes, size_t(width), size_t(height), kBitsPerComponent,
                                                 size_t(row), colorspace, bitmapInfo);
    if (context == nullptr) {
        DeleteImageData(bytes);
        CGColorSpaceRelease(colorspace);
        return false;
    }

    mImageType = type;
    mImageWidth = uint32_t(width);
    mImageHeight = uint32_t(height);
    mImageChannels = channels;
    mImageBitsPerPixel = 8 * channels;
    mImageRowBytes = uint32_t(row);
    mImageDataSize = uint32_t(size);
    mImageBitmapInfo = bitmapInfo;
    mImageColorspace = colorspace;
    mImageDataBytes = bytes;
    mContext = context;
    return ConstructSelf();
}

CGImageRef BitmapContext::ConstructCGImage(CGColorSpaceRef space) {
    if (!IsConstructed()) return nullptr;
    CGDataProviderRef provider = CGDataProviderCreateWithData(nullptr, mImageDataBytes, mImageDataSize, nullptr);
    if (provider == nullptr) return nullptr;
    CGImageRef image = CGImageCreate(mImageWidth, mImageHeight, kBitsPerComponent, mImageBitsPerPixel, mImageRowBytes,
                                     space != nullptr ? space : mImageColorspace, mImageBitmapInfo, provider, nullptr,
                                     true, kCGRenderingIntentDefault);
    CGDataProviderRelease(provider);
    return image;
}

CGImageRef BitmapContext::ConstructCGImageWithManagedColor(CGColorSpaceRef space) {
    return ConstructCGImage(space != nullptr ? space : SharedColorSpaces::Get().sSRGBColorSpace);
}

CGImageRef BitmapContext::GetCroppedImageRef(const CGRect &crop, CGColorSpaceRef space) {
    if (!IsConstructed()) return nullptr;
    const double width = mImageWidth, height = mImageHeight;
    if (crop.origin.x == 0 && crop.origin.y == 0 && crop.size.width == width && crop.size.height == height)
        return ConstructCGImage(space);

    // y-up crop to memory rows; every comparison is false for NaN, so such crops are refused.
    const double firstRow = std::trunc(height - (crop.origin.y + crop.size.height));
    const double firstColumn = std::trunc(crop.origin.x);
    const double cropWidth = std::trunc(crop.size.width);
    const double cropHeight = std::trunc(crop.size.height);
    if (!(firstRow >= 0 && firstColumn >= 0 && cropWidth >= 1 && cropHeight >= 1 &&
          firstColumn + cropWidth <= width && firstRow + cropHeight <= height))
        return nullptr;

    const size_t row = size_t(firstRow), column = size_t(firstColumn);
    const size_t columns = size_t(cropWidth), rows = size_t(cropHeight);
    const size_t offset = row * mImageRowBytes + column * mImageChannels;
    const size_t length = (rows - 1) * mImageRowBytes + columns * mImageChannels;
    CGDataProviderRef provider = CGDataProviderCreateWithData(nullptr, mImageDataBytes + offset, length, nullptr);
    if (provider == nullptr) return nullptr;
    CGImageRef image = CGImageCreate(columns, rows, kBitsPerComponent, mImageBitsPerPixel, mImageRowBytes,
                                     space != nullptr ? space : mImageColorspace, mImageBitmapInfo, provider, nullptr,
                                     true, kCGRenderingIntentDefault);
    CGDataProviderRelease(provider);
    return image;
}

uint32_t BitmapContext::SafeGetPixel_BilinearInterpolatedSample8888(double x, double y) const {
    if (!IsConstructed() || mImageChannels != 4) return 0;
    WillAccessPixels();
    const uint32_t lastColumn = mImageWidth - 1, lastRow = mImageHeight - 1;
    const uint32_t c0 = ClampedIndex(std::trunc(x), lastColumn);
    const uint32_t c1 = c0 < lastColumn ? c0 + 1 : c0;
    const uint32_t r0 = ClampedIndex(std::trunc(y), lastRow);
    const uint32_t r1 = r0 < lastRow ? r0 + 1 : r0;
    const double fx = ClampedFraction(x - c0), fy = ClampedFraction(y - r0);

    const uint8_t *p00 = mImageDataBytes + size_t(r0) * mImageRowBytes + size_t(c0) * 4;
    const uint8_t *p01 = mImageDataBytes + size_t(r0) * mImageRowBytes + size_t(c1) * 4;
    const uint8_t *p10 = mImageDataBytes + size_t(r1) * mImageRowBytes + size_t(c0) * 4;
    const uint8_t *p11 = mImageDataBytes + size_t(r1) * mImageRowBytes + size_t(c1) * 4;
    uint32_t mixed[4];
    for (int b = 0; b < 4; ++b) {
        const double v = (p00[b] * (1.0 - fx) + p01[b] * fx) * (1.0 - fy) + (p10[b] * (1.0 - fx) + p11[b] * fx) * fy;
        mixed[b] = v >= 255.0 ? 255u : static_cast<uint32_t>(v);
    }
    return (mixed[0] << 24) | mixed[1] | (mixed[2] << 8) | (mixed[3] << 16);
}

void BitmapContext::FillPerlinNoise(int octave, float amplitude) {
    uint32_t channels;
    switch (mImageType) {
    case kBitmapType_Gray8: channels = 1; break;
    case kBitmapType_ARGB32:
    case kBitmapType_XRGB32:
    case kBitmapType_RGBX32: channels = 4; break;
    default:
        _CoreMachDebugVerifyBody("FillPerlinNoise", "/Code/sdk/CoreG/namespace_CoreGraphics_BitmapContext", 252,
                                 " code : false");
        return;
    }
    if (!IsConstructed()) return;
    const int block = octave <= 0 ? 1 : octave >= 64 ? 64 : octave;
    const CoreGeometry::PerlinNoise &noise = CoreGeometry::PerlinNoise::Singleton();
    const float width = static_cast<float>(mImageWidth), height = static_cast<float>(mImageHeight);
    for (uint32_t r = 0; r < mImageHeight; ++r) {
        uint8_t *pixel = mImageDataBytes + size_t(r) * mImageRowBytes;
        const float ny = static_cast<float>(int(r) / block * block) / height * 256.0f;
        for (uint32_t c = 0; c < mImageWidth; ++c, pixel += channels) {
            const float nx = static_cast<float>(int(c) / block * block) / width * 256.0f;
            const uint8_t q = LowByteOfTruncated(noise.Noise2(nx, ny) * amplitude * 255.0f);
            if (channels == 1) {
                pixel[0] = q;
            } else {
                pixel[0] = 255;
                pixel[1] = pixel[2] = pixel[3] = q;
            }
        }
    }
    DidWritePixels();  // every pixel was written: nothing to catch up on before
}

}  // namespace CoreGraphics

bool import_namespace_CoreGraphics_BitmapContext() {
    return import_namespace_CoreGeometry_PerlinNoise() && import_CoreMachDebugLog();
}
