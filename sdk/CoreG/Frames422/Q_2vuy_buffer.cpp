#include <CoreG/Frames422/Q_2vuy_buffer.h>

#include <cstdlib>
#include <cstring>

#include <CoreG/Drawing/namespace_CoreGraphics_BitmapContext.h>
#include <CoreG/Masks/namespace_CoreGraphics_MaskContext.h>
#include <CoreQ/QGWorld.h>
#include <CoreQ/QImageDescription.h>
#include <CoreX/CoreMachDebugLog.h>

namespace {

// The conversion constants, fixed at compile time: BT.709 (the library's own) and BT.601.
struct Weights {
    float kr, kg, kb;
    float cbScale;  // 1 / (2 (1 - Kb))
    float crScale;  // 1 / (2 (1 - Kr))
};
constexpr Weights kBT709 = {0.2125f, 0.7154f, 0.0721f, 0.5388511f, 0.6349207f};
constexpr Weights kBT601 = {0.299f, 0.587f, 0.114f, 0.5643341f, 0.7132668f};
constexpr double kChromaRange = 0.875;  // 224 / 256

const Weights &WeightsOf(UInt16 matrix) { return matrix == kQTMatrix_ITU_R_601_4 ? kBT601 : kBT709; }
constexpr double kRounding = 0.49999999;

// Where Cb, Y0, Cr and Y1 sit in a pair of a frame.
struct PairOrder {
    int cb, y0, cr, y1;
};
constexpr PairOrder k2vuyOrder = {0, 1, 2, 3};
constexpr PairOrder kYuvsOrder = {1, 0, 3, 2};

PairOrder OrderOf(OSType pixelFormat) { return pixelFormat == kYUVSPixelFormat ? kYuvsOrder : k2vuyOrder; }

// A value limited to 0..1, NaN 0.
float UnitValue(float value) {
    if (!(value > 0.0f)) return 0.0f;
    return value < 1.0f ? value : 1.0f;
}

struct Pair422 {
    int cb, y0, cr, y1;
};

inline int Chroma(float difference, float scale) {
    return int(double(difference * scale) * kChromaRange + 128.0 + kRounding);
}

inline int Luma(float y) { return int(double(y * 219.0f / 256.0f + 16.0f) + kRounding); }

// Two ARGB pixels (8 bytes) as one 4:2:2 pair.
inline Pair422 ConvertPair(const uint8_t *p, const Weights &w) {
    const float r0 = p[1], g0 = p[2], b0 = p[3];
    const float r1 = p[5], g1 = p[6], b1 = p[7];
    const float y0 = w.kr * r0 + w.kg * g0 + w.kb * b0;
    const float y1 = w.kr * r1 + w.kg * g1 + w.kb * b1;
    const int cb0 = Chroma(b0 - y0, w.cbScale), cb1 = Chroma(b1 - y1, w.cbScale);
    const int cr0 = Chroma(r0 - y0, w.crScale), cr1 = Chroma(r1 - y1, w.crScale);
    return Pair422{(cb0 + cb1) >> 1, Luma(y0), (cr0 + cr1) >> 1, Luma(y1)};
}

// trunc(old x (1 - weight) + value x weight), weight in 0..1.
inline uint8_t Mix(uint8_t old, int value, float weight) {
    return uint8_t(int(float(old) * (1.0f - weight) + float(value) * weight));
}

// Two rows of any 4:2:2 order mixed by a mask row into a '2vuy' row; dst may be a or b.
void BlendRows(uint8_t *dst, const uint8_t *a, PairOrder orderA, const uint8_t *b, PairOrder orderB, int width,
               float strength, const uint8_t *mask) {
    const float s = UnitValue(strength);
    for (int pair = 0; pair < width / 2; ++pair) {
        const uint8_t *pa = a + pair * 4, *pb = b + pair * 4;
        float w0 = 2.0f * (float(mask[pair * 2]) / 255.0f + s) * s;
        float w1 = 2.0f * (float(mask[pair * 2 + 1]) / 255.0f + s) * s;
        w0 = w0 < 1.0f ? w0 : 1.0f;
        w1 = w1 < 1.0f ? w1 : 1.0f;
        const float w = (w0 + w1) / 2.0f;
        const uint8_t cb = Mix(pa[orderA.cb], pb[orderB.cb], w);
        const uint8_t y0 = Mix(pa[orderA.y0], pb[orderB.y0], w0);
        const uint8_t cr = Mix(pa[orderA.cr], pb[orderB.cr], w);
        const uint8_t y1 = Mix(pa[orderA.y1], pb[orderB.y1], w1);
        uint8_t *out = dst + pair * 4;
        out[0] = cb;
        out[1] = y0;
        out[2] = cr;
        out[3] = y1;
    }
}

// One half-width '2vuy' row of `pairs` pairs from two source rows, 2:1 both ways.
void ReduceRows(uint8_t *dst, const uint8_t *row0, const uint8_t *row1, PairOrder order, long pairs) {
    const int offsets[4] = {order.cb, order.y0, order.cr, order.y1};
    for (long pair = 0; pair < pairs; ++pair) {
        const uint8_t *p00 = row0 + pair * 8, *p01 = p00 + 4;
        const uint8_t *p10 = row1 + pair * 8, *p11 = p10 + 4;
        for (int k = 0; k < 4; ++k) {
            const int i = offsets[k];
            dst[pair * 4 + k] = uint8_t((((p00[i] + p01[i]) >> 1) + ((p10[i] + p11[i]) >> 1)) >> 1);
        }
    }
}

}  // namespace

Q_2vuy_buffer::Q_2vuy_buffer(ImageDescriptionHandle hImageDescription, void *pixelData, UInt32 byteCount)
    : _PixelData(nullptr), _PixelDataSize(0), _OwnsPixelData(false) {
    if (ConstructFromImageDescription(hImageDescription)) {
        _PixelData = static_cast<uint8_t *>(pixelData);
        _PixelDataSize = byteCount;
    }
}

Q_2vuy_buffer::Q_2vuy_buffer(const Q_2vuy_buffer &other)
    : Q_2vuy_format(other), _PixelData(other._PixelData), _PixelDataSize(other._PixelDataSize), _OwnsPixelData(false) {}

Q_2vuy_buffer::~Q_2vuy_buffer() {
    if (_OwnsPixelData) std::free(_PixelData);
}

bool Q_2vuy_buffer::HasPixelRows() const {
    if (!IsAllocated() || _Width < 1 || _Height < 1) return false;
    if (_RowBytes < UInt32(_Width) * 2) return false;
    return uint64_t(_RowBytes) * uint64_t(_Height) <= _PixelDataSize;
}

bool Q_2vuy_buffer::Allocate(const Q_2vuy_format &format) {
    if (IsAllocated() || (_OwnsPixelData && _PixelData != nullptr)) return false;
    if (format._Width < 1 || format._Height < 1 || format._RowBytes < UInt32(format._Width) * 2) return false;
    SetFormat(format);
    _PixelData = nullptr;
    _PixelDataSize = 0;
    _OwnsPixelData = false;
    const uint64_t size = uint64_t(_RowBytes) * uint64_t(_Height);
    if (size > UINT32_MAX) return false;
    uint8_t *pixels = static_cast<uint8_t *>(std::malloc(size_t(size)));
    if (pixels == nullptr) return false;
    _PixelData = pixels;
    _PixelDataSize = UInt32(size);
    _OwnsPixelData = true;
    FillYUV(0, 128, 128);
    return true;
}

bool Q_2vuy_buffer::Free() {
    if (_PixelData == nullptr) return false;
    if (_OwnsPixelData) std::free(_PixelData);
    _PixelData = nullptr;
    _PixelDataSize = 0;
    _OwnsPixelData = false;
    _Width = 0;
    _Height = 0;
    _PixelFormat = k2vuyPixelFormat;
    _Matrix = kQTMatrix_ITU_R_709_2;
    return true;
}

bool Q_2vuy_buffer::FillYUV(uint8_t y, uint8_t cb, uint8_t cr) {
    if (!HasPixelRows()) return false;
    const PairOrder order = OrderOf(_PixelFormat);
    uint8_t pair[4];
    pair[order.cb] = cb;
    pair[order.y0] = y;
    pair[order.cr] = cr;
    pair[order.y1] = y;
    for (long row = 0; row < _Height; ++row) {
        uint8_t *dst = _PixelData + row * _RowBytes;
        for (int i = 0; i < _Width / 2; ++i) std::memcpy(dst + i * 4, pair, 4);
    }
    return true;
}

bool Q_2vuy_buffer::ConstructGWorldAlias(QGWorld &world) const {
    world.Dispose();
    if (!HasPixelRows() || !Is422()) return false;
    QImageDescription description;
    if (!GetImageDescription(description)) return false;
    return world.ConstructAlias(_PixelData, description.GetHandle());
}

bool Q_2vuy_buffer::CopyFrom(const Q_2vuy_buffer &src) {
    if (!HasPixelRows() || !src.HasPixelRows() || !SameSize(src)) return false;
    const size_t rowLength = size_t(_Width) * 2;
    if (_PixelFormat == src._PixelFormat) {
        if (_PixelData == src._PixelData && _RowBytes == src._RowBytes) return true;
        for (long row = 0; row < _Height; ++row)
            std::memmove(_PixelData + row * _RowBytes, src._PixelData + row * src._RowBytes, rowLength);
        return true;
    }
    if (_PixelFormat != k2vuyPixelFormat || src._PixelFormat != kYUVSPixelFormat) return false;
    for (long row = 0; row < _Height; ++row) {
        const uint8_t *s = src._PixelData + row * src._RowBytes;
        uint8_t *d = _PixelData + row * _RowBytes;
        for (int i = 0; i < _Width / 2; ++i, s += 4, d += 4) {
            const uint8_t y0 = s[0], cb = s[1], y1 = s[2], cr = s[3];
            d[0] = cb;
            d[1] = y0;
            d[2] = cr;
            d[3] = y1;
        }
    }
    return true;
}

bool Q_2vuy_buffer::CopyFromWithLUT(const Q_2vuy_buffer &src, const uint16_t (&table)[256]) {
    if (!HasPixelRows() || _PixelFormat != k2vuyPixelFormat) return false;
    if (!src.HasPixelRows() || !src.Is422() || !SameSize(src)) return false;
    const PairOrder order = OrderOf(src._PixelFormat);
    for (long row = 0; row < _Height; ++row) {
        const uint8_t *s = src._PixelData + row * src._RowBytes;
        uint8_t *d = _PixelData + row * _RowBytes;
        for (int i = 0; i < _Width / 2; ++i, s += 4, d += 4) {
            const uint8_t cb = s[order.cb], y0 = s[order.y0], cr = s[order.cr], y1 = s[order.y1];
            d[0] = cb;
            d[1] = uint8_t(table[y0]);
            d[2] = cr;
            d[3] = uint8_t(table[y1]);
        }
    }
    return true;
}

bool Q_2vuy_buffer::CopyFromWithLUTAndHistogram(const Q_2vuy_buffer &src, const uint16_t (&table)[256],
                                                LumaHistogram &record) {
    if (!HasPixelRows() || _PixelFormat != k2vuyPixelFormat) return false;
    if (!src.HasPixelRows() || !src.Is422() || !SameSize(src)) return false;
    // Each luma's output for this frame, from the previous frame's record.
    uint8_t mapped[256];
    for (int y = 0; y < 256; ++y) mapped[y] = uint8_t(table[record.Equalised(y)]);
    uint32_t counts[LumaHistogram::kBins] = {};
    uint32_t count = 0;
    const PairOrder order = OrderOf(src._PixelFormat);
    for (long row = 0; row < _Height; ++row) {
        const uint8_t *s = src._PixelData + row * src._RowBytes;
        uint8_t *d = _PixelData + row * _RowBytes;
        for (int i = 0; i < _Width / 2; ++i, s += 4, d += 4) {
            const uint8_t cb = s[order.cb], y0 = s[order.y0], cr = s[order.cr], y1 = s[order.y1];
            ++counts[LumaHistogram::BinOf(y0)];
            ++counts[LumaHistogram::BinOf(y1)];
            d[0] = cb;
            d[1] = mapped[y0];
            d[2] = cr;
            d[3] = mapped[y1];
        }
        count += uint32_t(_Width / 2) * 2;
    }
    record.Equalise(counts, count);
    return true;
}

void Q_2vuy_buffer::ConvertARGBRowTo2vuy(const uint8_t *src, uint8_t *dst, int width, UInt16 matrix) {
    const Weights weights = WeightsOf(matrix);  // a local copy: the byte writes below cannot alias it
    for (int pair = 0; pair < width / 2; ++pair, src += 8, dst += 4) {
        const Pair422 p = ConvertPair(src, weights);
        dst[0] = uint8_t(p.cb);
        dst[1] = uint8_t(p.y0);
        dst[2] = uint8_t(p.cr);
        dst[3] = uint8_t(p.y1);
    }
}

void Q_2vuy_buffer::BlendARGBRowInto2vuy(const uint8_t *src, uint8_t *dst, int width, float opacity,
                                         UInt16 matrix) {
    const Weights weights = WeightsOf(matrix);  // a local copy: the byte writes below cannot alias it
    const float o = UnitValue(opacity);
    for (int pair = 0; pair < width / 2; ++pair, src += 8, dst += 4) {
        const Pair422 p = ConvertPair(src, weights);
        const float a0 = float(src[0]) / 255.0f * o;
        const float a1 = float(src[4]) / 255.0f * o;
        const float m = ((1.0f - a0) + (1.0f - a1)) / 2.0f;
        dst[0] = uint8_t(int(float(dst[0]) * m + float(p.cb) * (1.0f - m)));
        dst[1] = Mix(dst[1], p.y0, a0);
        dst[2] = uint8_t(int(float(dst[2]) * m + float(p.cr) * (1.0f - m)));
        dst[3] = Mix(dst[3], p.y1, a1);
    }
}

void Q_2vuy_buffer::BlendRowsByMask(uint8_t *dst, const uint8_t *a, const uint8_t *b, int width, float strength,
                                    const uint8_t *mask) {
    BlendRows(dst, a, k2vuyOrder, b, k2vuyOrder, width, strength, mask);
}

void Q_2vuy_buffer::ARGBRowInto2vuy(const uint8_t *src, uint8_t *dst, int width, bool blend) const {
    if (blend)
        BlendARGBRowInto2vuy(src, dst, width, 1.0f, _Matrix);
    else
        ConvertARGBRowTo2vuy(src, dst, width, _Matrix);
}

bool Q_2vuy_buffer::CopyFromBitmapContext(const CoreGraphics::BitmapContext &bitmap, bool blend) {
    if (!bitmap.IsConstructed() || bitmap.mImageType != CoreGraphics::kBitmapType_ARGB32) return false;
    if (!HasPixelRows() || _PixelFormat != k2vuyPixelFormat) return false;
    const long bitmapHeight = long(bitmap.mImageHeight);
    const long bitmapWidth = long(bitmap.mImageWidth);
    if (uint64_t(bitmap.mImageRowBytes) < uint64_t(bitmapWidth) * 4 ||
        uint64_t(bitmap.mImageRowBytes) * uint64_t(bitmapHeight) > bitmap.mImageDataSize)
        return false;
    // A narrower bitmap has nothing for the frame's pixels beyond its own width.
    const int width = int(bitmapWidth < _Width ? bitmapWidth : _Width);
    const long offset = bitmapHeight - _Height;
    bitmap.WillAccessPixels();
    for (long row = 0; row < _Height; ++row) {
        const long bitmapRow = row + offset;
        if (bitmapRow < 0 || bitmapRow >= bitmapHeight) continue;
        const uint8_t *src = bitmap.mImageDataBytes + bitmapRow * long(bitmap.mImageRowBytes);
        uint8_t *dst = _PixelData + row * _RowBytes;
        ARGBRowInto2vuy(src, dst, width, blend);
    }
    return true;
}

bool Q_2vuy_buffer::CopyFromGWorld(const QGWorld &world, bool blend) {
    if (!world.IsConstructed()) return false;
    if (!HasPixelRows() || _PixelFormat != k2vuyPixelFormat) return false;
    const PixMapHandle pixmap = world.GetPixMap();
    if (pixmap == nullptr || *pixmap == nullptr || QPixMap_GetPixelFormat(pixmap) != k32ARGBPixelFormat) return false;
    const Rect bounds = (**pixmap).bounds;
    if (long(bounds.right) - bounds.left != _Width || long(bounds.bottom) - bounds.top != _Height) return false;
    const uint8_t *base = reinterpret_cast<const uint8_t *>(GetPixBaseAddr(pixmap));
    const long rowBytes = GetPixRowBytes(pixmap);
    if (base == nullptr || rowBytes < long(_Width) * 4) return false;
    for (long row = 0; row < _Height; ++row) {
        const uint8_t *src = base + row * rowBytes;
        uint8_t *dst = _PixelData + row * _RowBytes;
        ARGBRowInto2vuy(src, dst, _Width, blend);
    }
    return true;
}

bool Q_2vuy_buffer::BlendFrames(const Q_2vuy_buffer &a, const Q_2vuy_buffer &b,
                                const CoreGraphics::MaskContext &mask, float strength) {
    if (!HasPixelRows() || _PixelFormat != k2vuyPixelFormat) return false;
    if (!a.HasPixelRows() || !a.Is422() || !SameSize(a)) return false;
    if (!b.HasPixelRows() || !b.Is422() || !SameSize(b)) return false;
    if (!mask.IsConstructed() || mask.mImageType != CoreGraphics::kBitmapType_Gray8 ||
        mask.mImageWidth != UInt32(_Width) || mask.mImageHeight != UInt32(_Height) ||
        uint64_t(mask.mImageRowBytes) * mask.mImageHeight > mask.mImageDataSize)
        return false;
    const PairOrder orderA = OrderOf(a._PixelFormat), orderB = OrderOf(b._PixelFormat);
    mask.WillAccessPixels();
    for (long row = 0; row < _Height; ++row)
        BlendRows(_PixelData + row * _RowBytes, a._PixelData + row * a._RowBytes, orderA,
                  b._PixelData + row * b._RowBytes, orderB, _Width, strength,
                  mask.mImageDataBytes + row * long(mask.mImageRowBytes));
    return true;
}

bool Q_2vuy_buffer::ComposeSideBySide(const Q_2vuy_buffer &a, const Q_2vuy_buffer &b, long firstRow) {
    if (!HasPixelRows() || _PixelFormat != k2vuyPixelFormat || _Height < 2) return false;
    if (!a.HasPixelRows() || !a.Is422() || !SameSize(a)) return false;
    if (!b.HasPixelRows() || !b.Is422() || !SameSize(b)) return false;
    const long bandRows = _Height / 2;
    const long halfPairs = (_Width / 2) / 2;
    const PairOrder orderA = OrderOf(a._PixelFormat), orderB = OrderOf(b._PixelFormat);
    for (long j = 0; j < bandRows; ++j) {
        // Rows of the band outside the frame are skipped (firstRow may be anything).
        if (firstRow < -j || firstRow >= _Height - j) continue;
        uint8_t *dst = _PixelData + (firstRow + j) * _RowBytes;
        const long row0 = 2 * j, row1 = 2 * j + 1;
        ReduceRows(dst, a._PixelData + row0 * a._RowBytes, a._PixelData + row1 * a._RowBytes, orderA, halfPairs);
        ReduceRows(dst + halfPairs * 4, b._PixelData + row0 * b._RowBytes, b._PixelData + row1 * b._RowBytes, orderB,
                   halfPairs);
    }
    return true;
}

bool import_Q_2vuy_buffer() {
    return import_Q_2vuy_format() && import_CLUT_BASE() && import_namespace_CoreGraphics_BitmapContext() &&
           import_namespace_CoreGraphics_MaskContext();
}
