#include <CoreQ/QPixMap.h>

#include <cmath>
#include <cstring>

#include <CoreX/CoreException.h>
#include <CoreX/CoreMachDebugLog.h>

namespace {

// trunc(v) limited to 0..255; NaN gives 0.
inline uint8_t ClampedByte(double v) {
    if (!(v > 0.0)) return 0;
    if (v >= 255.0) return 255;
    return static_cast<uint8_t>(v);
}

// trunc(v) limited to 0..maximum; NaN gives 0.
inline long ClampedIndex(double v, long maximum) {
    if (!(v > 0.0)) return 0;
    if (v >= static_cast<double>(maximum)) return maximum;
    return static_cast<long>(v);
}

inline double ClampedFraction(double v) {
    if (!(v > 0.0)) return 0.0;
    return v < 1.0 ? v : 1.0;
}

// The bilinear mix of four bytes.
inline double Mix(double p00, double p01, double p10, double p11, double fx, double fy) {
    return (p01 * fx + p00 * (1.0 - fx)) * (1.0 - fy) + (p11 * fx + p10 * (1.0 - fx)) * fy;
}

struct Geometry {
    long width;
    long height;
    long rowBytes;
    uint8_t *base;
    OSType format;
};

// Fills g from the map; false for a map that cannot be addressed (no base address, row
// bytes too small for its width in bytes).
bool ReadGeometry(PixMapHandle pixmap, long bytesPerPixel, Geometry &g) {
    const PixMap &pm = **pixmap;
    g.width = long(pm.bounds.right) - pm.bounds.left;
    g.height = long(pm.bounds.bottom) - pm.bounds.top;
    g.rowBytes = pm.rowBytes;
    g.base = reinterpret_cast<uint8_t *>(pm.baseAddr);
    g.format = pm.pixelFormat != 0 ? pm.pixelFormat : OSType(pm.pixelSize);
    if (g.width < 0) g.width = 0;
    if (g.height < 0) g.height = 0;
    if (g.width == 0 || g.height == 0) return true;
    return g.base != nullptr && g.rowBytes >= g.width * bytesPerPixel;
}

}  // namespace

QPixMapGeometry32::QPixMapGeometry32(PixMapHandle pixmap) {
    if (pixmap == nullptr || *pixmap == nullptr || (*pixmap)->pixelSize != 32)
        throw CoreException("Nil exception pointer");
    const PixMap &pm = **pixmap;
    width = long(pm.bounds.right) - pm.bounds.left;
    height = long(pm.bounds.bottom) - pm.bounds.top;
    rowBytes = pm.rowBytes;
    baseAddr = reinterpret_cast<uint8_t *>(pm.baseAddr);
}

QPixMapGeometry::QPixMapGeometry(PixMapHandle pixmap) {
    if (pixmap == nullptr || *pixmap == nullptr) throw CoreException("Nil exception pointer");
    const PixMap &pm = **pixmap;
    width = long(pm.bounds.right) - pm.bounds.left;
    height = long(pm.bounds.bottom) - pm.bounds.top;
    pixelSize = pm.pixelSize;
    baseAddr = reinterpret_cast<uint8_t *>(pm.baseAddr);
    rowBytes = pm.rowBytes;
}

OSType QPixMap_GetPixelFormat(PixMapHandle hPixMap) {
    if (!VERIFY(hPixMap) || *hPixMap == nullptr) return 0;
    return (*hPixMap)->pixelFormat != 0 ? (*hPixMap)->pixelFormat : OSType((*hPixMap)->pixelSize);
}

bool QPixMap_FillPixelARGB32(PixMapHandle hPixMap, uint8_t value) {
    if (!VERIFY(hPixMap) || *hPixMap == nullptr) return false;
    const PixMap &pm = **hPixMap;
    const long rowBytes = pm.rowBytes;
    if (!VERIFY(rowBytes) || !VERIFY(rowBytes>0)) return false;
    const long rows = long(pm.bounds.bottom) - pm.bounds.top;
    if (rows <= 0) return true;
    uint8_t *base = reinterpret_cast<uint8_t *>(pm.baseAddr);
    if (!VERIFY(base != nullptr)) return false;
    for (long row = 0; row < rows; ++row) std::memset(base + row * rowBytes, value, size_t(rowBytes));
    return true;
}

uint16_t QPixMap_GetPixel8_Bilinear(PixMapHandle hPixMap, double x, double y) {
    if (!VERIFY(hPixMap) || *hPixMap == nullptr) return 0;
    Geometry g;
    if (!VERIFY(ReadGeometry(hPixMap, 1, g))) return 0;
    if (g.width == 0 || g.height == 0) return 0;
    const long maxRow = g.height - 1;
    const long maxCol = g.width - 1;
    const long x0 = ClampedIndex(std::trunc(x), maxCol);
    const long x1 = x0 < maxCol ? x0 + 1 : x0;
    const double fx = ClampedFraction(x - double(x0));
    const long y0 = ClampedIndex(std::trunc(y), maxRow);
    const long y1 = ClampedIndex(std::trunc(y) + 1.0, maxRow);
    const double fy = ClampedFraction(y - double(y0));
    const uint8_t *row0 = g.base + y0 * g.rowBytes;
    const uint8_t *row1 = g.base + y1 * g.rowBytes;
    return uint16_t(ClampedByte(Mix(row0[x0], row0[x1], row1[x0], row1[x1], fx, fy)));
}

void QPixMap_Resize_ARGB32_Bilinear(PixMapHandle hDest, PixMapHandle hPixMap) {
    if (!VERIFY(hDest) || *hDest == nullptr) return;
    if (!VERIFY(hPixMap) || *hPixMap == nullptr) return;
    if (!VERIFY((*hDest)->pixelSize == 32 && (*hPixMap)->pixelSize == 32)) return;
    Geometry dst, src;
    if (!VERIFY(ReadGeometry(hDest, 4, dst)) || !VERIFY(ReadGeometry(hPixMap, 4, src))) return;
    if (dst.height < 1 || dst.width < 1 || src.width < 1 || src.height < 1) return;

    const float rowStep = float(src.height) / float(dst.height);
    const float colStep = float(src.width) / float(dst.width);
    float sy = 0.0f;
    for (long y = 0; y < dst.height; ++y, sy += rowStep) {
        const long ty = ClampedIndex(std::trunc(sy), src.height);
        const long y0 = ty < src.height - 1 ? ty : src.height - 1;
        const long y1 = ty + 1 < src.height - 1 ? ty + 1 : src.height - 1;
        const double fy = ClampedFraction(double(sy) - double(y0));
        const uint8_t *row0 = src.base + y0 * src.rowBytes;
        const uint8_t *row1 = src.base + y1 * src.rowBytes;
        uint8_t *out = dst.base + y * dst.rowBytes;
        float sx = 0.0f;
        for (long x = 0; x < dst.width; ++x, sx += colStep, out += 4) {
            const long tx = ClampedIndex(std::trunc(sx), src.width - 1);
            const long x0 = tx;
            const long x1 = x0 < src.width - 1 ? x0 + 1 : x0;
            const double fx = ClampedFraction(double(sx) - double(x0));
            const uint8_t *p00 = row0 + x0 * 4, *p01 = row0 + x1 * 4;
            const uint8_t *p10 = row1 + x0 * 4, *p11 = row1 + x1 * 4;
            for (int b = 0; b < 4; ++b) out[b] = ClampedByte(Mix(p00[b], p01[b], p10[b], p11[b], fx, fy));
        }
    }
}

namespace {

// The blend of a 32-bit ARGB image into a destination of destBytes (3 or 4) bytes per
// pixel, clipped to the destination.
void BlendClipped(PixMapHandle hDest, Point origin, PixMapHandle hAlphaPixMap, float opacity, long destBytes) {
    Geometry dst, src;
    if (!VERIFY(ReadGeometry(hDest, destBytes, dst)) || !VERIFY(ReadGeometry(hAlphaPixMap, 4, src))) return;
    // The rows and columns of the image that land inside the destination.
    const long firstRow = origin.v < 0 ? -long(origin.v) : 0;
    const long firstCol = origin.h < 0 ? -long(origin.h) : 0;
    long lastRow = src.height;  // exclusive
    long lastCol = src.width;
    if (long(origin.v) + lastRow > dst.height) lastRow = dst.height - origin.v;
    if (long(origin.h) + lastCol > dst.width) lastCol = dst.width - origin.h;
    const long skip = destBytes == 4 ? 0 : 1;  // a 24-bit destination takes R, G, B only
    for (long r = firstRow; r < lastRow; ++r) {
        const uint8_t *s = src.base + r * src.rowBytes + firstCol * 4;
        uint8_t *d = dst.base + (origin.v + r) * dst.rowBytes + (origin.h + firstCol) * destBytes;
        for (long c = firstCol; c < lastCol; ++c, s += 4, d += destBytes) {
            const float a = float(s[0]) / 255.0f * opacity;
            const float keep = 1.0f - a;
            for (long b = 0; b < destBytes; ++b) d[b] = ClampedByte(double(float(d[b]) * keep + float(s[b + skip]) * a));
        }
    }
}

bool CheckAlphaPixMap(PixMapHandle hAlphaPixMap) {
    if (!VERIFY(hAlphaPixMap) || *hAlphaPixMap == nullptr) return false;
    return VERIFY(QPixMap_GetPixelFormat(hAlphaPixMap)==k32ARGBPixelFormat);
}

}  // namespace

void QPM_44(PixMapHandle hDest, Point origin, PixMapHandle hAlphaPixMap, float opacity) {
    if (!VERIFY(hDest) || *hDest == nullptr || !CheckAlphaPixMap(hAlphaPixMap)) return;
    if (!VERIFY((*hDest)->pixelSize == 32)) return;
    BlendClipped(hDest, origin, hAlphaPixMap, opacity, 4);
}

void QPM_44(PixMapHandle hDest, PixMapHandle hAlphaPixMap) { QPM_44(hDest, Point{0, 0}, hAlphaPixMap, 1.0f); }

void QPM_34(PixMapHandle hDest, Point origin, PixMapHandle hAlphaPixMap, float opacity) {
    if (!VERIFY(hDest) || *hDest == nullptr || !CheckAlphaPixMap(hAlphaPixMap)) return;
    if (!VERIFY((*hDest)->pixelSize == 24)) return;
    BlendClipped(hDest, origin, hAlphaPixMap, opacity, 3);
}

void QPM_4(PixMapHandle hDest, Point origin, PixMapHandle hAlphaPixMap, float opacity) {
    if (!VERIFY(hDest) || *hDest == nullptr || !CheckAlphaPixMap(hAlphaPixMap)) return;
    switch (QPixMap_GetPixelFormat(hDest)) {
    case k24RGBPixelFormat: QPM_34(hDest, origin, hAlphaPixMap, opacity); break;
    case k32ARGBPixelFormat: QPM_44(hDest, origin, hAlphaPixMap, opacity); break;
    default: break;
    }
}
