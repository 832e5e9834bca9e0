// Data providers, images and image masks, and the pixel layouts they are read in.
#include <CoreGraphics/CGInternal.h>

#include <algorithm>
#include <bit>
#include <cmath>

static_assert(std::endian::native == std::endian::little, "cairo's ARGB32 is taken as B,G,R,A in memory");

namespace cgimpl {

bool PixelLayout::isCairoARGB() const {
    return kind == Kind::RGB && bytesPerPixel == 4 && premultiplied && alpha == 3 && red == 2 && green == 1 &&
           blue == 0;
}

bool LayoutFor(size_t bitsPerComponent, size_t bitsPerPixel, CGBitmapInfo info, CGColorSpaceModel model,
               bool forContext, PixelLayout &layout) {
    if (bitsPerComponent != 8 || (info & kCGBitmapFloatComponents)) return false;
    const uint32_t alphaInfo = info & kCGBitmapAlphaInfoMask;
    const uint32_t order = info & kCGBitmapByteOrderMask;
    layout = PixelLayout{};
    if (bitsPerPixel == 8) {
        if (model != kCGColorSpaceModelMonochrome || alphaInfo != kCGImageAlphaNone) return false;
        layout.kind = PixelLayout::Kind::Gray;
        layout.bytesPerPixel = 1;
        return true;
    }
    if (model != kCGColorSpaceModelRGB) return false;
    layout.kind = PixelLayout::Kind::RGB;
    if (bitsPerPixel == 24) {
        if (forContext || alphaInfo != kCGImageAlphaNone) return false;
        if (order != kCGBitmapByteOrderDefault && order != kCGBitmapByteOrder32Big) return false;
        layout.bytesPerPixel = 3;
        layout.red = 0;
        layout.green = 1;
        layout.blue = 2;
        return true;
    }
    if (bitsPerPixel != 32) return false;
    bool little;
    if (order == kCGBitmapByteOrderDefault || order == kCGBitmapByteOrder32Big) {
        little = false;
    } else if (order == kCGBitmapByteOrder32Little) {
        little = true;
    } else {
        return false;
    }
    bool first, hasAlpha;
    switch (alphaInfo) {
    case kCGImageAlphaPremultipliedFirst: first = true, hasAlpha = true; break;
    case kCGImageAlphaPremultipliedLast: first = false, hasAlpha = true; break;
    case kCGImageAlphaFirst:
        if (forContext) return false;
        first = true, hasAlpha = true, layout.premultiplied = false;
        break;
    case kCGImageAlphaLast:
        if (forContext) return false;
        first = false, hasAlpha = true, layout.premultiplied = false;
        break;
    case kCGImageAlphaNoneSkipFirst: first = true, hasAlpha = false; break;
    case kCGImageAlphaNoneSkipLast: first = false, hasAlpha = false; break;
    default: return false;
    }
    // Big-endian order: X,R,G,B (first) or R,G,B,X (last); little-endian reverses the four.
    int8_t x = first ? 0 : 3, r = first ? 1 : 0, g = first ? 2 : 1, b = first ? 3 : 2;
    if (little) x = 3 - x, r = 3 - r, g = 3 - g, b = 3 - b;
    layout.bytesPerPixel = 4;
    layout.red = r;
    layout.green = g;
    layout.blue = b;
    (hasAlpha ? layout.alpha : layout.skip) = x;
    return true;
}

uint32_t ReadPixel(const PixelLayout &layout, const uint8_t *p) {
    if (layout.kind == PixelLayout::Kind::Gray) return 0xFF000000u | (uint32_t(p[0]) * 0x010101u);
    uint32_t a = layout.alpha >= 0 ? p[layout.alpha] : 255;
    uint32_t r = p[layout.red], g = p[layout.green], b = p[layout.blue];
    if (!layout.premultiplied && a != 255) {
        r = (r * a + 127) / 255;
        g = (g * a + 127) / 255;
        b = (b * a + 127) / 255;
    }
    return (a << 24) | (r << 16) | (g << 8) | b;
}

SurfacePtr MakeSurfacePtr(cairo_surface_t *surface) {
    return SurfacePtr(surface, [](cairo_surface_t *s) { cairo_surface_destroy(s); });
}

cairo_surface_t *CreateImageSurface(CGImageRef image, bool coverage) {
    if (!image || image->mWidth > 32767 || image->mHeight > 32767) return nullptr;
    const int width = int(image->mWidth), height = int(image->mHeight);
    const PixelLayout &layout = image->mLayout;
    const uint8_t *data = image->mProvider->mData;
    // The provider may cover a bitmap context's memory that its shadow is ahead of.
    BitmapStore::SyncMemory(data, image->mProvider->mSize);
    cairo_surface_t *surface;
    if (coverage) {
        if (!image->mIsMask && layout.kind != PixelLayout::Kind::Gray) return nullptr;
        surface = cairo_image_surface_create(CAIRO_FORMAT_A8, width, height);
        if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS) {
            cairo_surface_destroy(surface);
            return nullptr;
        }
        uint8_t *out = cairo_image_surface_get_data(surface);
        const int stride = cairo_image_surface_get_stride(surface);
        for (int y = 0; y < height; ++y) {
            const uint8_t *row = data + size_t(y) * image->mBytesPerRow;
            uint8_t *dst = out + size_t(y) * stride;
            // An image mask's sample is the part of the paint it blocks; a grey value is the
            // part it lets through.
            if (image->mIsMask) {
                for (int x = 0; x < width; ++x) dst[x] = uint8_t(255 - row[x]);
            } else {
                std::copy(row, row + width, dst);
            }
        }
    } else {
        if (image->mIsMask) return nullptr;
        const cairo_format_t format = layout.hasAlpha() ? CAIRO_FORMAT_ARGB32 : CAIRO_FORMAT_RGB24;
        surface = cairo_image_surface_create(format, width, height);
        if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS) {
            cairo_surface_destroy(surface);
            return nullptr;
        }
        uint8_t *out = cairo_image_surface_get_data(surface);
        const int stride = cairo_image_surface_get_stride(surface);
        for (int y = 0; y < height; ++y) {
            const uint8_t *row = data + size_t(y) * image->mBytesPerRow;
            auto *dst = reinterpret_cast<uint32_t *>(out + size_t(y) * stride);
            for (int x = 0; x < width; ++x) dst[x] = ReadPixel(layout, row + size_t(x) * layout.bytesPerPixel);
        }
    }
    cairo_surface_mark_dirty(surface);
    return surface;
}

cairo_filter_t FilterFor(CGInterpolationQuality quality, bool shouldInterpolate) {
    if (!shouldInterpolate) return CAIRO_FILTER_NEAREST;
    switch (quality) {
    case kCGInterpolationNone: return CAIRO_FILTER_NEAREST;
    case kCGInterpolationLow: return CAIRO_FILTER_BILINEAR;
    case kCGInterpolationHigh: return CAIRO_FILTER_BEST;
    default: return CAIRO_FILTER_GOOD;
    }
}

cairo_pattern_t *CreateImagePattern(cairo_surface_t *surface, CGRect rect, cairo_filter_t filter) {
    const double w = cairo_image_surface_get_width(surface);
    const double h = cairo_image_surface_get_height(surface);
    cairo_pattern_t *pattern = cairo_pattern_create_for_surface(surface);
    // User space -> image pixels: x from the rect's left, rows from its top (max y).
    cairo_matrix_t m;
    cairo_matrix_init(&m, w / rect.size.width, 0, 0, -h / rect.size.height, -rect.origin.x * w / rect.size.width,
                      (rect.origin.y + rect.size.height) * h / rect.size.height);
    cairo_pattern_set_matrix(pattern, &m);
    cairo_pattern_set_filter(pattern, filter);
    cairo_pattern_set_extend(pattern, CAIRO_EXTEND_PAD);
    return pattern;
}

}  // namespace cgimpl

// ---- data providers

CFTypeID CGDataProviderGetTypeID(void) {
    static const CFTypeID type = cf::RegisterType("CGDataProvider");
    return type;
}

CGDataProvider::CGDataProvider() : cf::Object(CGDataProviderGetTypeID()) {}

CGDataProvider::~CGDataProvider() {
    if (mRelease) mRelease(mInfo, mData, mSize);
    if (mCFData) CFRelease(mCFData);
}

CGDataProviderRef CGDataProviderCreateWithData(void *info, const void *data, size_t size,
                                               CGDataProviderReleaseDataCallback releaseData) {
    if (!data) return nullptr;
    auto *provider = new CGDataProvider;
    provider->mData = static_cast<const uint8_t *>(data);
    provider->mSize = size;
    provider->mInfo = info;
    provider->mRelease = releaseData;
    return provider;
}

CGDataProviderRef CGDataProviderCreateWithCFData(CFDataRef data) {
    if (!data || CFGetTypeID(data) != CFDataGetTypeID()) return nullptr;
    auto *provider = new CGDataProvider;
    provider->mCFData = static_cast<CFDataRef>(CFRetain(data));
    provider->mData = CFDataGetBytePtr(data);
    provider->mSize = size_t(CFDataGetLength(data));
    return provider;
}

CGDataProviderRef CGDataProviderRetain(CGDataProviderRef provider) {
    if (provider) CFRetain(provider);
    return provider;
}

void CGDataProviderRelease(CGDataProviderRef provider) {
    if (provider) CFRelease(provider);
}

CFDataRef CGDataProviderCopyData(CGDataProviderRef provider) {
    if (!provider) return nullptr;
    cgimpl::BitmapStore::SyncMemory(provider->mData, provider->mSize);
    return CFDataCreate(kCFAllocatorDefault, provider->mData, CFIndex(provider->mSize));
}

// ---- images

CFTypeID CGImageGetTypeID(void) {
    static const CFTypeID type = cf::RegisterType("CGImage");
    return type;
}

CGImage::CGImage() : cf::Object(CGImageGetTypeID()) {}

CGImage::~CGImage() {
    CGColorSpaceRelease(mSpace);
    CGDataProviderRelease(mProvider);
}

namespace {

// The bytes an image of this shape reads: every row but the last in full, the last up to its
// last pixel. False on overflow or an empty image.
bool BytesNeeded(size_t width, size_t height, size_t bytesPerRow, size_t bytesPerPixel, size_t &needed) {
    if (width == 0 || height == 0) return false;
    size_t rowLength, rows;
    if (__builtin_mul_overflow(width, bytesPerPixel, &rowLength)) return false;
    if (bytesPerRow < rowLength) return false;
    if (__builtin_mul_overflow(height - 1, bytesPerRow, &rows)) return false;
    return !__builtin_add_overflow(rows, rowLength, &needed);
}

CGImageRef MakeImage(size_t width, size_t height, size_t bitsPerPixel, size_t bytesPerRow, CGColorSpaceRef space,
                     CGBitmapInfo info, CGDataProviderRef provider, bool shouldInterpolate,
                     CGColorRenderingIntent intent, bool isMask, const cgimpl::PixelLayout &layout) {
    size_t needed;
    if (!provider || !BytesNeeded(width, height, bytesPerRow, layout.bytesPerPixel, needed)) return nullptr;
    if (provider->mSize < needed) return nullptr;
    auto *image = new CGImage;
    image->mWidth = width;
    image->mHeight = height;
    image->mBitsPerPixel = bitsPerPixel;
    image->mBytesPerRow = bytesPerRow;
    image->mSpace = CGColorSpaceRetain(space);
    image->mBitmapInfo = info;
    image->mProvider = CGDataProviderRetain(provider);
    image->mShouldInterpolate = shouldInterpolate;
    image->mIntent = intent;
    image->mIsMask = isMask;
    image->mLayout = layout;
    return image;
}

void ReleaseParentProvider(void *info, const void *, size_t) {
    CGDataProviderRelease(static_cast<CGDataProviderRef>(info));
}

}  // namespace

CGImageRef CGImageCreate(size_t width, size_t height, size_t bitsPerComponent, size_t bitsPerPixel,
                         size_t bytesPerRow, CGColorSpaceRef space, CGBitmapInfo bitmapInfo,
                         CGDataProviderRef provider, const CGFloat *decode, bool shouldInterpolate,
                         CGColorRenderingIntent intent) {
    cgimpl::PixelLayout layout;
    if (decode || !space) return nullptr;
    if (!cgimpl::LayoutFor(bitsPerComponent, bitsPerPixel, bitmapInfo, CGColorSpaceGetModel(space), false, layout))
        return nullptr;
    return MakeImage(width, height, bitsPerPixel, bytesPerRow, space, bitmapInfo, provider, shouldInterpolate,
                     intent, false, layout);
}

CGImageRef CGImageMaskCreate(size_t width, size_t height, size_t bitsPerComponent, size_t bitsPerPixel,
                             size_t bytesPerRow, CGDataProviderRef provider, const CGFloat *decode,
                             bool shouldInterpolate) {
    if (decode || bitsPerComponent != 8 || bitsPerPixel != 8) return nullptr;
    cgimpl::PixelLayout layout;  // one byte per sample
    return MakeImage(width, height, bitsPerPixel, bytesPerRow, nullptr, kCGImageAlphaNone, provider,
                     shouldInterpolate, kCGRenderingIntentDefault, true, layout);
}

CGImageRef CGImageCreateWithImageInRect(CGImageRef image, CGRect rect) {
    if (!image) return nullptr;
    if (!std::isfinite(rect.origin.x) || !std::isfinite(rect.origin.y) || !std::isfinite(rect.size.width) ||
        !std::isfinite(rect.size.height))
        return nullptr;
    const CGRect bounds = CGRectMake(0, 0, CGFloat(image->mWidth), CGFloat(image->mHeight));
    const CGRect part = CGRectIntersection(CGRectIntegral(rect), bounds);
    if (CGRectIsEmpty(part)) return nullptr;
    const auto x = size_t(part.origin.x), y = size_t(part.origin.y);
    const auto width = size_t(part.size.width), height = size_t(part.size.height);
    const size_t bytesPerPixel = image->mLayout.bytesPerPixel;
    size_t needed;
    if (!BytesNeeded(width, height, image->mBytesPerRow, bytesPerPixel, needed)) return nullptr;

    CGDataProviderRef parent = CGDataProviderRetain(image->mProvider);
    CGDataProviderRef provider = CGDataProviderCreateWithData(
        parent, parent->mData + y * image->mBytesPerRow + x * bytesPerPixel, needed, ReleaseParentProvider);
    if (!provider) {
        CGDataProviderRelease(parent);
        return nullptr;
    }
    CGImageRef part_image = MakeImage(width, height, image->mBitsPerPixel, image->mBytesPerRow, image->mSpace,
                                      image->mBitmapInfo, provider, image->mShouldInterpolate, image->mIntent,
                                      image->mIsMask, image->mLayout);
    CGDataProviderRelease(provider);
    return part_image;
}

CGImageRef CGImageRetain(CGImageRef image) {
    if (image) CFRetain(image);
    return image;
}

void CGImageRelease(CGImageRef image) {
    if (image) CFRelease(image);
}

size_t CGImageGetWidth(CGImageRef image) { return image ? image->mWidth : 0; }
size_t CGImageGetHeight(CGImageRef image) { return image ? image->mHeight : 0; }
size_t CGImageGetBitsPerComponent(CGImageRef image) { return image ? image->mBitsPerComponent : 0; }
size_t CGImageGetBitsPerPixel(CGImageRef image) { return image ? image->mBitsPerPixel : 0; }
size_t CGImageGetBytesPerRow(CGImageRef image) { return image ? image->mBytesPerRow : 0; }
CGColorSpaceRef CGImageGetColorSpace(CGImageRef image) { return image ? image->mSpace : nullptr; }
CGBitmapInfo CGImageGetBitmapInfo(CGImageRef image) { return image ? image->mBitmapInfo : 0; }
CGImageAlphaInfo CGImageGetAlphaInfo(CGImageRef image) {
    return image ? CGImageAlphaInfo(image->mBitmapInfo & kCGBitmapAlphaInfoMask) : kCGImageAlphaNone;
}
CGDataProviderRef CGImageGetDataProvider(CGImageRef image) { return image ? image->mProvider : nullptr; }
bool CGImageGetShouldInterpolate(CGImageRef image) { return image && image->mShouldInterpolate; }
CGColorRenderingIntent CGImageGetRenderingIntent(CGImageRef image) {
    return image ? image->mIntent : kCGRenderingIntentDefault;
}
bool CGImageIsMask(CGImageRef image) { return image && image->mIsMask; }
