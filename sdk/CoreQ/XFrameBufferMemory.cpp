#include <CoreQ/XFrameBufferMemory.h>

#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <vector>

#include <CoreX/CoreMachDebugLog.h>

// ---------------------------------------------------------------------------------------
// XFrameBufferMemory

bool XFrameBufferMemory::SetFrameDimensions(long width, long height) {
    Free();
    const long frame_stride_bytes = width >= 0 && width <= LONG_MAX / 4 ? width * 4 : -1;
    size_t frame_malloc_size = 0;
    // A frame whose rows cannot be described (row bytes are 32-bit) or whose size
    // overflows counts as a size of 0.
    if (frame_stride_bytes >= 0 && frame_stride_bytes <= INT32_MAX && height >= 0 &&
        (height == 0 || size_t(frame_stride_bytes) <= SIZE_MAX / size_t(height)))
        frame_malloc_size = size_t(frame_stride_bytes) * size_t(height);
    if (!VERIFY(frame_malloc_size!=0)) return false;
    const size_t frame_start_offset = 0;
    return VERIFY(Construct(frame_malloc_size, frame_start_offset, frame_stride_bytes));
}

bool XFrameBufferMemory::Construct(size_t frame_malloc_size, size_t frame_start_offset, long frame_stride_bytes) {
    m_base_malloc = static_cast<uint8_t *>(std::malloc(frame_malloc_size));
    if (!VERIFY(m_base_malloc)) return false;
    m_frame_start = m_base_malloc + frame_start_offset;
    m_frame_stride = frame_stride_bytes;
    return true;
}

void XFrameBufferMemory::Free() {
    std::free(m_base_malloc);
    m_base_malloc = nullptr;
    m_frame_start = nullptr;
    m_frame_stride = 0;
}

// ---------------------------------------------------------------------------------------
// Frame operations

namespace {

// A frame whose rows of `rowSpan` bytes can be addressed: a base address, a positive
// size and row bytes that hold the span.
bool IsAddressable(const XFrameBuffer &frame, int64_t rowSpan) {
    return frame.baseAddr != nullptr && frame.width > 0 && frame.height > 0 && rowSpan > 0 &&
           int64_t(frame.rowBytes) >= rowSpan;
}

inline int64_t PixelRowSpan(const XFrameBuffer &frame) { return int64_t(frame.width) * frame.bytesPerPixel; }

inline uint8_t *RowAt(const XFrameBuffer &frame, long row) { return frame.baseAddr + int64_t(row) * frame.rowBytes; }

bool SameLayout(const XFrameBuffer &a, const XFrameBuffer &b) {
    return a.pixelFormat == b.pixelFormat && a.width == b.width && a.height == b.height && a.rowBytes == b.rowBytes &&
           a.bytesPerPixel == b.bytesPerPixel;
}

inline double Mix(double p00, double p01, double p10, double p11, double fx, double fy) {
    return (p01 * fx + p00 * (1.0 - fx)) * (1.0 - fy) + (p11 * fx + p10 * (1.0 - fx)) * fy;
}

inline uint8_t ClampedByte(double v) {
    if (!(v > 0.0)) return 0;
    if (v >= 255.0) return 255;
    return uint8_t(v);
}

// trunc(v) limited to 0..maximum (v is never negative here; NaN gives 0).
inline long TruncatedIndex(double v, long maximum) {
    if (!(v > 0.0)) return 0;
    if (v >= double(maximum)) return maximum;
    return long(v);
}

inline double Fraction(double v) {
    if (!(v > 0.0)) return 0.0;
    return v < 1.0 ? v : 1.0;
}

}  // namespace

bool XFrame_CopyBufferMemory(const XFrameBuffer &source, const XFrameBuffer &destination) {
    if (!VERIFY_TEXT(SameLayout(source, destination), " code : Source==Destination")) return false;
    const int64_t span = PixelRowSpan(source);
    if (!IsAddressable(source, span) || !IsAddressable(destination, span)) return false;
    for (long row = 0; row < source.height; ++row)
        std::memmove(RowAt(destination, row), RowAt(source, row), size_t(span));
    return true;
}

bool XFrame_MergeFields(const XFrameBuffer &source, const XFrameBuffer &destination, const XFrameMergeOptions &options) {
    if (!SameLayout(source, destination) || source.height % 2 != 0) return false;
    const int64_t span = PixelRowSpan(source);
    if (!IsAddressable(source, span) || !IsAddressable(destination, span)) return false;
    const size_t bytes = size_t(span);
    const long height = source.height;
    if ((options.flags & kXFrameMergeOption_Filter) == 0) {
        for (long row = 0; row < height; row += 2) {
            const uint8_t *a = RowAt(source, row);
            const uint8_t *b = RowAt(source, row + 1);
            uint8_t *d0 = RowAt(destination, row);
            uint8_t *d1 = RowAt(destination, row + 1);
            for (size_t i = 0; i < bytes; ++i) {
                const uint8_t v = uint8_t((unsigned(a[i]) + unsigned(b[i])) / 2);
                d0[i] = v;
                d1[i] = v;
            }
        }
        return true;
    }
    // The rows as they were before this pass, so the destination may be the source.
    std::vector<uint8_t> above(RowAt(source, 0), RowAt(source, 0) + bytes);
    std::vector<uint8_t> current(bytes);
    for (long row = 0; row < height; ++row) {
        std::memcpy(current.data(), RowAt(source, row), bytes);
        const uint8_t *below = RowAt(source, row + 1 < height ? row + 1 : row);
        uint8_t *d = RowAt(destination, row);
        for (size_t i = 0; i < bytes; ++i) {
            const unsigned neighbours = (unsigned(above[i]) + unsigned(below[i])) / 2;
            d[i] = uint8_t((unsigned(current[i]) + neighbours) / 2);
        }
        above.swap(current);
    }
    return true;
}

bool XFrame_ScaleBufferMemory(const XFrameBuffer &source, const XFrameBuffer &destination) {
    if (destination.height < 1) return true;
    if (!IsAddressable(source, int64_t(source.width) * 4) ||
        !IsAddressable(destination, int64_t(destination.width) * 4))
        return false;
    const long srcW = source.width, srcH = source.height;
    const float ry = float(srcH) / float(destination.height);
    const float rx = float(srcW) / float(destination.width);
    float sy = 0.0f;
    for (long y = 0; y < destination.height; ++y, sy += ry) {
        const long y0 = TruncatedIndex(std::trunc(sy), srcH - 1);
        const long y1 = y0 + 1 < srcH ? y0 + 1 : y0;
        const double fy = Fraction(double(sy) - double(y0));
        const uint8_t *row0 = RowAt(source, y0);
        const uint8_t *row1 = RowAt(source, y1);
        uint8_t *out = RowAt(destination, y);
        float sx = 0.0f;
        for (long x = 0; x < destination.width; ++x, sx += rx, out += 4) {
            const long x0 = TruncatedIndex(std::trunc(sx), srcW - 1);
            const long x1 = x0 + 1 < srcW ? x0 + 1 : x0;
            const double fx = Fraction(double(sx) - double(x0));
            const uint8_t *p00 = row0 + x0 * 4, *p01 = row0 + x1 * 4;
            const uint8_t *p10 = row1 + x0 * 4, *p11 = row1 + x1 * 4;
            for (int b = 0; b < 4; ++b) out[b] = ClampedByte(Mix(p00[b], p01[b], p10[b], p11[b], fx, fy));
        }
    }
    return true;
}

bool XFrame_ScaleBufferMemory32(const XFrameBuffer &source, const XFrameBuffer &destination) {
    if (destination.height < 1) return true;
    // Four bytes are read at the last source pixel.
    if (source.bytesPerPixel < 1 ||
        !IsAddressable(source, int64_t(source.width - 1) * source.bytesPerPixel + 4) ||
        !IsAddressable(destination, int64_t(destination.width) * 4))
        return false;
    const long srcW = source.width, srcH = source.height;
    const double ry = double(srcH) / double(destination.height);
    const double rx = double(srcW) / double(destination.width);
    double sy = 0.0;
    for (long y = 0; y < destination.height; ++y, sy += ry) {
        const uint8_t *in = RowAt(source, TruncatedIndex(std::trunc(sy), srcH - 1));
        uint8_t *out = RowAt(destination, y);
        double sx = 0.0;
        for (long x = 0; x < destination.width; ++x, sx += rx, out += 4)
            std::memcpy(out, in + TruncatedIndex(std::trunc(sx), srcW - 1) * source.bytesPerPixel, 4);
    }
    return true;
}

bool XFrame_GetFields(const XFrameBuffer &frame, XFrameBuffer &firstField, XFrameBuffer &secondField) {
    if (frame.baseAddr == nullptr || int64_t(frame.rowBytes) * 2 > INT32_MAX || frame.rowBytes < 0) return false;
    firstField = frame;
    firstField.height = frame.height / 2;
    firstField.rowBytes = frame.rowBytes * 2;
    firstField.fields = 1;
    secondField = firstField;
    secondField.baseAddr = frame.baseAddr + frame.rowBytes;
    return true;
}

bool XFrame_ScaleFields(const XFrameBuffer &source, const XFrameBuffer &destination) {
    XFrameBuffer sourceFirst, sourceSecond, destinationFirst, destinationSecond;
    if (!XFrame_GetFields(source, sourceFirst, sourceSecond) ||
        !XFrame_GetFields(destination, destinationFirst, destinationSecond))
        return false;
    const bool first = XFrame_ScaleBufferMemory(sourceFirst, destinationFirst);
    const bool second = XFrame_ScaleBufferMemory(sourceSecond, destinationSecond);
    return first && second;
}

bool XFrame_Scale(const XFrameBuffer &source, const XFrameBuffer &destination, bool progressive) {
    return progressive ? XFrame_ScaleBufferMemory(source, destination) : XFrame_ScaleFields(source, destination);
}

namespace {

// Black over n bytes that start `phase` bytes into a group of 4 (the YUV pattern keeps
// its place in the row).
void FillBlack(uint8_t *p, long n, bool yuv, long phase) {
    if (n <= 0) return;
    if (!yuv) {
        std::memset(p, 0, size_t(n));
        return;
    }
    static constexpr uint8_t kPattern[4] = {255, 0, 128, 128};
    for (long i = 0; i < n; ++i) p[i] = kPattern[(phase + i) % 4];
}

// Each byte to trunc(byte / 3) (twoThirds false) or trunc(byte / 3 x 2).
void Fade(uint8_t *p, long n, bool twoThirds) {
    for (long i = 0; i < n; ++i) {
        const double third = double(p[i]) / 3.0;
        p[i] = uint8_t(twoThirds ? third * 2.0 : third);
    }
}

inline long Clamp(long v, long low, long high) { return v < low ? low : v > high ? high : v; }

}  // namespace

bool XFrame_BlankBorder(const XFrameBuffer &frame, const XFrameInsets &insets) {
    if (frame.baseAddr == nullptr || frame.width <= 0 || frame.height <= 0) return false;
    const int64_t span = PixelRowSpan(frame);
    if (!VERIFY(frame.bytesPerPixel > 0 && IsAddressable(frame, span))) return false;

    const long width = frame.width, height = frame.height, bpp = frame.bytesPerPixel;
    // Bands limited to the frame: negative insets count as 0, and the bands together
    // never cover more than the frame.
    const long top = Clamp(insets.top, 0, height);
    const long bottom = Clamp(insets.bottom, 0, height - top);
    const long left = Clamp(insets.left, 0, width);
    const long right = Clamp(insets.right, 0, width - left);
    const bool yuv = frame.pixelFormat == MakeFourCharCode("RYUV") || frame.pixelFormat == MakeFourCharCode("VYUV");

    for (long row = 0; row < top; ++row) FillBlack(RowAt(frame, row), long(span), yuv, 0);
    for (long row = height - bottom; row < height; ++row) FillBlack(RowAt(frame, row), long(span), yuv, 0);

    // The picture: rows [pictureTop, pictureBottom), bytes [pictureLeft, pictureRight).
    const long pictureTop = top, pictureBottom = height - bottom;
    const long pictureLeft = left * bpp, pictureRight = (width - right) * bpp;
    auto fadeRow = [&](long row, bool twoThirds) {
        if (row >= pictureTop && row < pictureBottom)
            Fade(RowAt(frame, row) + pictureLeft, pictureRight - pictureLeft, twoThirds);
    };
    if (top > 0) {
        fadeRow(pictureTop, false);
        fadeRow(pictureTop + 1, true);
    }
    if (bottom > 0) {
        fadeRow(pictureBottom - 1, false);
        fadeRow(pictureBottom - 2, true);
    }

    if (left != 0 || right != 0) {
        auto fadePixel = [&](uint8_t *row, long column, bool twoThirds) {
            if (column >= left && column < width - right) Fade(row + column * bpp, bpp, twoThirds);
        };
        for (long row = pictureTop; row < pictureBottom; ++row) {
            uint8_t *p = RowAt(frame, row);
            FillBlack(p, pictureLeft, yuv, 0);
            FillBlack(p + pictureRight, long(span) - pictureRight, yuv, pictureRight % 4);
            if (left > 0) {
                fadePixel(p, left, false);
                fadePixel(p, left + 1, true);
            }
            if (right > 0) {
                fadePixel(p, width - right - 1, false);
                fadePixel(p, width - right - 2, true);
            }
        }
    }
    return true;
}

void XFrame_Trace(const XFrameBuffer &frame, const char *label) {
    CoreMachDebugLog("-----------\n%s XFrameBuffer Properties\n", label != nullptr ? label : "");
    CoreMachDebugLog("Width,Height = (%d,%d)\n", int(frame.width), int(frame.height));
    CoreMachDebugLog("Fields  = %04x\n", unsigned(frame.fields));
}
