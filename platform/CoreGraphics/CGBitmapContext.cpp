// Bitmap contexts: the pixel memory in the creator's layout and its bridge to cairo.
#include <CoreGraphics/CGInternal.h>

#include <cstdlib>
#include <cstring>

namespace cgimpl {

BitmapStore::~BitmapStore() {
    if (mSurface) {
        void *shadow = mInPlace ? nullptr : cairo_image_surface_get_data(mSurface);
        cairo_surface_destroy(mSurface);
        std::free(shadow);
    }
    if (mOwnsData) std::free(mData);
}

bool BitmapStore::init(void *data, size_t width, size_t height, size_t bytesPerRow, const PixelLayout &layout) {
    mData = static_cast<uint8_t *>(data);
    mWidth = width;
    mHeight = height;
    mBytesPerRow = bytesPerRow;
    mLayout = layout;
    mInPlace = layout.isCairoARGB() && reinterpret_cast<uintptr_t>(data) % 4 == 0 && bytesPerRow % 4 == 0;
    return true;
}

cairo_surface_t *BitmapStore::surface() {
    if (mSurface) return mSurface;
    cairo_surface_t *surface;
    if (mInPlace) {
        surface = cairo_image_surface_create_for_data(mData, CAIRO_FORMAT_ARGB32, int(mWidth), int(mHeight),
                                                      int(mBytesPerRow));
        if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS) {
            cairo_surface_destroy(surface);
            return nullptr;
        }
    } else {
        const cairo_format_t format = mLayout.hasAlpha() ? CAIRO_FORMAT_ARGB32 : CAIRO_FORMAT_RGB24;
        const int stride = cairo_format_stride_for_width(format, int(mWidth));
        auto *shadow = static_cast<unsigned char *>(std::calloc(size_t(stride) * mHeight, 1));
        if (!shadow) return nullptr;
        surface = cairo_image_surface_create_for_data(shadow, format, int(mWidth), int(mHeight), stride);
        if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS) {
            cairo_surface_destroy(surface);
            std::free(shadow);
            return nullptr;
        }
    }
    mSurface = surface;
    return mSurface;
}

void BitmapStore::load(const PixelRect &r) {
    if (!mInPlace) {
        cairo_surface_flush(mSurface);
        uint8_t *shadow = cairo_image_surface_get_data(mSurface);
        const size_t stride = size_t(cairo_image_surface_get_stride(mSurface));
        const size_t bpp = mLayout.bytesPerPixel;
        for (int y = r.y0; y < r.y1; ++y) {
            const uint8_t *src = mData + size_t(y) * mBytesPerRow + size_t(r.x0) * bpp;
            auto *dst = reinterpret_cast<uint32_t *>(shadow + size_t(y) * stride) + r.x0;
            for (int x = r.x0; x < r.x1; ++x, src += bpp) *dst++ = ReadPixel(mLayout, src);
        }
    }
    // In place the caller may have written the bytes since the last call.
    cairo_surface_mark_dirty_rectangle(mSurface, r.x0, r.y0, r.x1 - r.x0, r.y1 - r.y0);
}

void BitmapStore::store(const PixelRect &r) {
    cairo_surface_flush(mSurface);
    if (mInPlace) return;
    const uint8_t *shadow = cairo_image_surface_get_data(mSurface);
    const size_t stride = size_t(cairo_image_surface_get_stride(mSurface));
    const PixelLayout &l = mLayout;
    for (int y = r.y0; y < r.y1; ++y) {
        const auto *src = reinterpret_cast<const uint32_t *>(shadow + size_t(y) * stride) + r.x0;
        uint8_t *p = mData + size_t(y) * mBytesPerRow + size_t(r.x0) * l.bytesPerPixel;
        for (int x = r.x0; x < r.x1; ++x, ++src, p += l.bytesPerPixel) {
            const uint32_t v = *src;
            const uint8_t red = uint8_t(v >> 16), green = uint8_t(v >> 8), blue = uint8_t(v);
            if (l.kind == PixelLayout::Kind::Gray) {
                // Integer Rec. 601 luma; exact for grey (equal components).
                const auto grey = uint8_t((77u * red + 150u * green + 29u * blue + 128u) >> 8);
                if (p[0] != grey) p[0] = grey;
                continue;
            }
            if (p[l.red] == red && p[l.green] == green && p[l.blue] == blue &&
                (l.alpha < 0 || p[l.alpha] == uint8_t(v >> 24)))
                continue;
            p[l.red] = red;
            p[l.green] = green;
            p[l.blue] = blue;
            if (l.alpha >= 0) p[l.alpha] = uint8_t(v >> 24);
            if (l.skip >= 0) p[l.skip] = 255;
        }
    }
}

}  // namespace cgimpl

CGContextRef CGBitmapContextCreate(void *data, size_t width, size_t height, size_t bitsPerComponent,
                                   size_t bytesPerRow, CGColorSpaceRef space, uint32_t bitmapInfo) {
    if (width == 0 || height == 0 || width > 32767 || height > 32767 || !space) return nullptr;
    const CGColorSpaceModel model = CGColorSpaceGetModel(space);
    const size_t bitsPerPixel = model == kCGColorSpaceModelMonochrome ? 8 : 32;
    cgimpl::PixelLayout layout;
    if (!cgimpl::LayoutFor(bitsPerComponent, bitsPerPixel, bitmapInfo, model, true, layout)) return nullptr;
    const size_t rowLength = width * layout.bytesPerPixel;
    if (bytesPerRow == 0) bytesPerRow = rowLength;
    size_t size;
    if (bytesPerRow < rowLength || __builtin_mul_overflow(bytesPerRow, height, &size)) return nullptr;
    bool owns = false;
    if (!data) {
        data = std::calloc(size, 1);
        if (!data) return nullptr;
        owns = true;
    }
    auto *context = new CGContext;
    context->mStore.init(data, width, height, bytesPerRow, layout);
    context->mStore.mOwnsData = owns;
    context->mSpace = CGColorSpaceRetain(space);
    context->mBitmapInfo = bitmapInfo;
    context->mState.clipBox = context->fullRect();
    return context;
}

void *CGBitmapContextGetData(CGContextRef c) { return c ? c->mStore.mData : nullptr; }
size_t CGBitmapContextGetWidth(CGContextRef c) { return c ? c->mStore.mWidth : 0; }
size_t CGBitmapContextGetHeight(CGContextRef c) { return c ? c->mStore.mHeight : 0; }
size_t CGBitmapContextGetBitsPerComponent(CGContextRef c) { return c ? 8 : 0; }
size_t CGBitmapContextGetBitsPerPixel(CGContextRef c) { return c ? c->mStore.mLayout.bytesPerPixel * 8u : 0; }
size_t CGBitmapContextGetBytesPerRow(CGContextRef c) { return c ? c->mStore.mBytesPerRow : 0; }
CGColorSpaceRef CGBitmapContextGetColorSpace(CGContextRef c) { return c ? c->mSpace : nullptr; }
CGBitmapInfo CGBitmapContextGetBitmapInfo(CGContextRef c) { return c ? c->mBitmapInfo : 0; }
CGImageAlphaInfo CGBitmapContextGetAlphaInfo(CGContextRef c) {
    return c ? CGImageAlphaInfo(c->mBitmapInfo & kCGBitmapAlphaInfoMask) : kCGImageAlphaNone;
}

namespace {
void FreeCopy(void *, const void *data, size_t) { std::free(const_cast<void *>(data)); }
}  // namespace

CGImageRef CGBitmapContextCreateImage(CGContextRef c) {
    if (!c) return nullptr;
    const cgimpl::BitmapStore &s = c->mStore;
    const size_t size = s.mBytesPerRow * (s.mHeight - 1) + s.mWidth * s.mLayout.bytesPerPixel;
    void *copy = std::malloc(size);
    if (!copy) return nullptr;
    std::memcpy(copy, s.mData, size);
    CGDataProviderRef provider = CGDataProviderCreateWithData(nullptr, copy, size, FreeCopy);
    CGImageRef image = CGImageCreate(s.mWidth, s.mHeight, 8, s.mLayout.bytesPerPixel * 8u, s.mBytesPerRow, c->mSpace,
                                     c->mBitmapInfo, provider, nullptr, true, kCGRenderingIntentDefault);
    CGDataProviderRelease(provider);
    return image;
}
