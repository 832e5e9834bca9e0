// Bitmap contexts: the pixel memory in the creator's layout and its bridge to cairo.
#include <CoreGraphics/CGInternal.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace cgimpl {

namespace {

// The shadowed stores, for images and data providers that read a context's memory.
std::mutex &RegistryLock() {
    static std::mutex lock;
    return lock;
}
std::vector<BitmapStore *> &Registry() {
    static std::vector<BitmapStore *> stores;
    return stores;
}

// The conversions are plain loops over whole rows with loop-invariant shifts, which the
// compiler turns into vector code.

inline uint32_t Load32(const uint8_t *p) {
    uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
}

inline void Store32(uint8_t *p, uint32_t v) { std::memcpy(p, &v, 4); }

// Integer Rec. 601 luma of a cairo pixel; exact for grey (equal components). The sum fits
// 16 bits, which lets the compiler use 16-bit vector multiplies.
inline uint32_t Luma(uint32_t v) {
    const auto r = uint16_t((v >> 16) & 0xFF), g = uint16_t((v >> 8) & 0xFF), b = uint16_t(v & 0xFF);
    return uint16_t(uint16_t(77 * r) + uint16_t(150 * g) + uint16_t(29 * b) + 128) >> 8;
}

void GreyToShadow(const uint8_t *__restrict src, uint32_t *__restrict dst, int n) {
    for (int x = 0; x < n; ++x) dst[x] = 0xFF000000u | uint32_t(src[x]) * 0x010101u;
}

void ShadowToGrey(const uint32_t *__restrict src, uint8_t *__restrict dst, int n) {
    for (int x = 0; x < n; ++x) dst[x] = uint8_t(Luma(src[x]));
}

void ShadowToShadowGrey(uint32_t *p, int n) {
    for (int x = 0; x < n; ++x) p[x] = 0xFF000000u | Luma(p[x]) * 0x010101u;
}

// Shifts of the components in a 32-bit pixel read little-endian from memory.
struct Shifts {
    uint32_t r, g, b, a;  // a: alpha or skipped byte
    bool skip;
};

Shifts ShiftsOf(const PixelLayout &l) {
    const int a = l.alpha >= 0 ? l.alpha : l.skip;
    return Shifts{uint32_t(8 * l.red), uint32_t(8 * l.green), uint32_t(8 * l.blue), uint32_t(8 * a), l.alpha < 0};
}

void WordsToShadow(const uint8_t *__restrict src, uint32_t *__restrict dst, int n, Shifts s) {
    const uint32_t opaque = s.skip ? 0xFF000000u : 0;
    const uint32_t aShift = s.skip ? 0 : s.a;
    const uint32_t aMask = s.skip ? 0 : 0xFF;
    for (int x = 0; x < n; ++x) {
        const uint32_t w = Load32(src + 4 * x);
        dst[x] = opaque | ((w >> aShift) & aMask) << 24 | ((w >> s.r) & 0xFF) << 16 | ((w >> s.g) & 0xFF) << 8 |
                 ((w >> s.b) & 0xFF);
    }
}

// Layouts with alpha: every byte follows the shadow.
void ShadowToAlphaWords(const uint32_t *__restrict src, uint8_t *__restrict dst, int n, Shifts s) {
    for (int x = 0; x < n; ++x) {
        const uint32_t v = src[x];
        Store32(dst + 4 * x, (v >> 24) << s.a | ((v >> 16) & 0xFF) << s.r | ((v >> 8) & 0xFF) << s.g |
                                 (v & 0xFF) << s.b);
    }
}

// Layouts with a skipped byte: a pixel whose colour changed gets the skipped byte 255; the
// others keep theirs.
void ShadowToSkipWords(const uint32_t *__restrict src, uint8_t *__restrict dst, int n, Shifts s) {
    const uint32_t colour = ~(0xFFu << s.a);
    for (int x = 0; x < n; ++x) {
        const uint32_t v = src[x];
        const uint32_t fresh = 0xFFu << s.a | ((v >> 16) & 0xFF) << s.r | ((v >> 8) & 0xFF) << s.g | (v & 0xFF) << s.b;
        const uint32_t old = Load32(dst + 4 * x);
        Store32(dst + 4 * x, (old & colour) == (fresh & colour) ? old : fresh);
    }
}

}  // namespace

BitmapStore::~BitmapStore() {
    if (mExternal) {
        if (mSurface) cairo_surface_destroy(mSurface);
        return;
    }
    if (!mInPlace) {
        std::lock_guard<std::mutex> guard(RegistryLock());
        auto &stores = Registry();
        stores.erase(std::remove(stores.begin(), stores.end(), this), stores.end());
    }
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
    if (!mInPlace) {
        std::lock_guard<std::mutex> guard(RegistryLock());
        Registry().push_back(this);
    }
    return true;
}

void BitmapStore::initWithSurface(cairo_surface_t *surface, size_t width, size_t height) {
    mExternal = true;
    mInPlace = true;
    mSurface = surface;
    mWidth = width;
    mHeight = height;
    mLayout = PixelLayout{PixelLayout::Kind::RGB, 4, 3, 2, 1, 0, -1, true};
}

size_t BitmapStore::memoryLength() const { return mBytesPerRow * (mHeight - 1) + mWidth * mLayout.bytesPerPixel; }

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
    std::lock_guard<std::mutex> guard(mLock);
    mSurface = surface;
    mShadowCurrent = false;
    return mSurface;
}

void BitmapStore::load() {
    cairo_surface_flush(mSurface);
    uint8_t *shadow = cairo_image_surface_get_data(mSurface);
    const size_t stride = size_t(cairo_image_surface_get_stride(mSurface));
    const int n = int(mWidth);
    const bool grey = mLayout.kind == PixelLayout::Kind::Gray;
    const Shifts shifts = ShiftsOf(mLayout);
    for (size_t y = 0; y < mHeight; ++y) {
        const uint8_t *src = mData + y * mBytesPerRow;
        auto *dst = reinterpret_cast<uint32_t *>(shadow + y * stride);
        if (grey) GreyToShadow(src, dst, n);
        else WordsToShadow(src, dst, n, shifts);
    }
    cairo_surface_mark_dirty(mSurface);
}

void BitmapStore::store(const PixelRect &r) {
    cairo_surface_flush(mSurface);
    const uint8_t *shadow = cairo_image_surface_get_data(mSurface);
    const size_t stride = size_t(cairo_image_surface_get_stride(mSurface));
    const int n = r.x1 - r.x0;
    const Shifts shifts = ShiftsOf(mLayout);
    for (int y = r.y0; y < r.y1; ++y) {
        const auto *src = reinterpret_cast<const uint32_t *>(shadow + size_t(y) * stride) + r.x0;
        uint8_t *dst = mData + size_t(y) * mBytesPerRow + size_t(r.x0) * mLayout.bytesPerPixel;
        if (mLayout.kind == PixelLayout::Kind::Gray) ShadowToGrey(src, dst, n);
        else if (mLayout.hasAlpha()) ShadowToAlphaWords(src, dst, n, shifts);
        else ShadowToSkipWords(src, dst, n, shifts);
    }
}

void BitmapStore::makeGrey(const PixelRect &r) {
    uint8_t *shadow = cairo_image_surface_get_data(mSurface);
    const size_t stride = size_t(cairo_image_surface_get_stride(mSurface));
    for (int y = r.y0; y < r.y1; ++y)
        ShadowToShadowGrey(reinterpret_cast<uint32_t *>(shadow + size_t(y) * stride) + r.x0, r.x1 - r.x0);
    cairo_surface_mark_dirty_rectangle(mSurface, r.x0, r.y0, r.x1 - r.x0, r.y1 - r.y0);
}

void BitmapStore::beginDraw(const PixelRect &r) {
    if (mExternal) return;
    std::lock_guard<std::mutex> guard(mLock);
    if (mInPlace) {
        // The caller may have written the bytes since the last call.
        cairo_surface_mark_dirty_rectangle(mSurface, r.x0, r.y0, r.x1 - r.x0, r.y1 - r.y0);
        return;
    }
    if (!mShadowCurrent) {
        load();
        mShadowCurrent = true;
    }
}

void BitmapStore::endDraw(const PixelRect &r, bool neutral) {
    cairo_surface_flush(mSurface);
    if (mInPlace) return;
    std::lock_guard<std::mutex> guard(mLock);
    // The grey layout keeps only the luma: so must its shadow, or the next call would
    // composite over colours the memory never had.
    if (mLayout.kind == PixelLayout::Kind::Gray && !neutral) makeGrey(r);
    mPending = mPending.unite(r);
}

void BitmapStore::sync() {
    std::lock_guard<std::mutex> guard(mLock);
    if (!mSurface) return;
    if (mInPlace) {
        cairo_surface_flush(mSurface);
        return;
    }
    if (mPending.empty()) return;
    store(mPending);
    mPending = PixelRect{};
}

void BitmapStore::dataWritten() {
    std::lock_guard<std::mutex> guard(mLock);
    if (!mSurface || mExternal) return;
    if (mInPlace) {
        cairo_surface_mark_dirty(mSurface);
        return;
    }
    mPending = PixelRect{};
    mShadowCurrent = false;
}

void BitmapStore::SyncMemory(const void *begin, size_t length) {
    if (!begin || length == 0) return;
    const auto b = reinterpret_cast<uintptr_t>(begin), e = b + length;
    std::lock_guard<std::mutex> guard(RegistryLock());
    for (BitmapStore *store : Registry()) {
        const auto sb = reinterpret_cast<uintptr_t>(store->mData), se = sb + store->memoryLength();
        if (sb < e && b < se) store->sync();
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

// The bitmap calls answer nothing for a context without pixel memory (a PDF context, a layer's).
void *CGBitmapContextGetData(CGContextRef c) {
    if (!c || !c->mStore.hasMemory()) return nullptr;
    c->mStore.sync();
    c->mStore.dataWritten();  // the caller may write through the pointer
    return c->mStore.mData;
}

void CGBitmapContextWillAccessData(CGContextRef c) {
    if (c) c->mStore.sync();
}

void CGBitmapContextDidWriteData(CGContextRef c) {
    if (c) c->mStore.dataWritten();
}
size_t CGBitmapContextGetWidth(CGContextRef c) { return c && c->mStore.hasMemory() ? c->mStore.mWidth : 0; }
size_t CGBitmapContextGetHeight(CGContextRef c) { return c && c->mStore.hasMemory() ? c->mStore.mHeight : 0; }
size_t CGBitmapContextGetBitsPerComponent(CGContextRef c) { return c && c->mStore.hasMemory() ? 8 : 0; }
size_t CGBitmapContextGetBitsPerPixel(CGContextRef c) {
    return c && c->mStore.hasMemory() ? c->mStore.mLayout.bytesPerPixel * 8u : 0;
}
size_t CGBitmapContextGetBytesPerRow(CGContextRef c) { return c && c->mStore.hasMemory() ? c->mStore.mBytesPerRow : 0; }
CGColorSpaceRef CGBitmapContextGetColorSpace(CGContextRef c) { return c && c->mStore.hasMemory() ? c->mSpace : nullptr; }
CGBitmapInfo CGBitmapContextGetBitmapInfo(CGContextRef c) { return c ? c->mBitmapInfo : 0; }
CGImageAlphaInfo CGBitmapContextGetAlphaInfo(CGContextRef c) {
    return c ? CGImageAlphaInfo(c->mBitmapInfo & kCGBitmapAlphaInfoMask) : kCGImageAlphaNone;
}

namespace {
void FreeCopy(void *, const void *data, size_t) { std::free(const_cast<void *>(data)); }
}  // namespace

CGImageRef CGBitmapContextCreateImage(CGContextRef c) {
    if (!c || !c->mStore.hasMemory()) return nullptr;
    cgimpl::BitmapStore &s = c->mStore;
    s.sync();
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
