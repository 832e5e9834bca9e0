// Drawing decoded pictures into worlds: libswscale scales and converts the picture straight
// into the world when the destination rect lies inside it, otherwise into a scratch picture
// of the rect's size in the world's own layout whose part inside the world is then copied.
// Y'CbCr worlds are BT.709, video range; Y'CbCr of another matrix is converted here.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>

extern "C" {
#include <libavutil/mem.h>
#include <libavutil/pixdesc.h>
#include <libavutil/pixfmt.h>
#include <libswscale/swscale.h>
}

#include <QuickTime/ImageCompression.h>

#include "QTInternal.h"
#include "YCbCr.h"

namespace lumora::qt {
namespace {

constexpr int64_t kMaximumScratchBytes = int64_t(1) << 30;

// The JPEG-range formats FFmpeg still produces are their plain forms with full range.
AVPixelFormat PlainFormat(AVPixelFormat format, bool &fullRange) {
    switch (format) {
    case AV_PIX_FMT_YUVJ420P: fullRange = true; return AV_PIX_FMT_YUV420P;
    case AV_PIX_FMT_YUVJ422P: fullRange = true; return AV_PIX_FMT_YUV422P;
    case AV_PIX_FMT_YUVJ444P: fullRange = true; return AV_PIX_FMT_YUV444P;
    case AV_PIX_FMT_YUVJ440P: fullRange = true; return AV_PIX_FMT_YUV440P;
    default: return format;
    }
}

// A cached libswscale context, the colour details set on it, and the scratch picture used
// when the destination rect is not wholly inside the world.
struct Scaler {
    SwsContext *context = nullptr;
    const int *sourceTable = nullptr;
    int sourceRange = -1;
    const int *destTable = nullptr;
    uint8_t *scratch = nullptr;
    size_t scratchBytes = 0;
    ~Scaler() {
        sws_freeContext(context);
        av_free(scratch);
    }
};

bool IsYCbCrSource(AVPixelFormat format) {
    const AVPixFmtDescriptor *descriptor = av_pix_fmt_desc_get(format);
    return descriptor != nullptr && (descriptor->flags & AV_PIX_FMT_FLAG_RGB) == 0 && descriptor->nb_components >= 3;
}

struct Coefficients {
    double kr, kb;
};
Coefficients CoefficientsOf(UInt16 matrix) {
    return matrix == kQTMatrix_ITU_R_601_4 ? Coefficients{0.299, 0.114} : Coefficients{0.2126, 0.0722};
}

// Normalised Y'CbCr (Y 0..1, C -0.5..0.5) from R'G'B', and back.
void ToYCbCr(const Coefficients &k, double m[3][3]) {
    const double kg = 1.0 - k.kr - k.kb;
    const double rgbY[3] = {k.kr, kg, k.kb};
    for (int j = 0; j < 3; ++j) {
        m[0][j] = rgbY[j];
        m[1][j] = ((j == 2 ? 1.0 : 0.0) - rgbY[j]) / (2.0 * (1.0 - k.kb));
        m[2][j] = ((j == 0 ? 1.0 : 0.0) - rgbY[j]) / (2.0 * (1.0 - k.kr));
    }
}
void ToRGB(const Coefficients &k, double m[3][3]) {
    const double kg = 1.0 - k.kr - k.kb;
    const double crToR = 2.0 * (1.0 - k.kr), cbToB = 2.0 * (1.0 - k.kb);
    // R = Y + crToR Cr, B = Y + cbToB Cb, G = (Y - kr R - kb B) / kg
    const double rows[3][3] = {{1.0, 0.0, crToR},
                               {1.0, -k.kb * cbToB / kg, -k.kr * crToR / kg},
                               {1.0, cbToB, 0.0}};
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) m[i][j] = rows[i][j];
}

int32_t Fixed16(double v) { return int32_t(std::lround(v * 65536.0)); }

inline uint8_t Clamp8(int32_t v) { return uint8_t(v < 0 ? 0 : v > 255 ? 255 : v); }

}  // namespace

UInt16 YCbCrMatrixOf(ImageDescriptionHandle desc) {
    NCLCColorInfoImageDescriptionExtension info{};
    if (ICMImageDescriptionGetProperty(desc, kQTPropertyClass_ImageDescription,
                                       kICMImageDescriptionPropertyID_NCLCColorInfo, sizeof info, &info,
                                       nullptr) == noErr &&
        info.colorParamType == kVideoColorInfoImageDescriptionExtensionType && info.matrix == kQTMatrix_ITU_R_601_4)
        return kQTMatrix_ITU_R_601_4;
    return kQTMatrix_ITU_R_709_2;
}

YCbCrTransform MakeYCbCrTransform(UInt16 from, bool fromFullRange, UInt16 to) {
    const bool sameMatrix = CoefficientsOf(from).kr == CoefficientsOf(to).kr;
    YCbCrTransform t;
    if (sameMatrix && !fromFullRange) return t;
    double toRGB[3][3], toYCC[3][3], m[3][3];
    ToRGB(CoefficientsOf(from), toRGB);
    ToYCbCr(CoefficientsOf(to), toYCC);
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) {
            m[i][j] = 0.0;
            for (int k = 0; k < 3; ++k) m[i][j] += toYCC[i][k] * toRGB[k][j];
        }
    const double yScaleIn = fromFullRange ? 255.0 : 219.0, cScaleIn = fromFullRange ? 255.0 : 224.0;
    const double yScaleOut = 219.0, cScaleOut = 224.0;
    t.identity = false;
    t.yIn = fromFullRange ? 0 : 16;
    t.yy = Fixed16(m[0][0] * yScaleOut / yScaleIn);
    t.ycb = Fixed16(m[0][1] * yScaleOut / cScaleIn);
    t.ycr = Fixed16(m[0][2] * yScaleOut / cScaleIn);
    t.cbcb = Fixed16(m[1][1] * cScaleOut / cScaleIn);
    t.cbcr = Fixed16(m[1][2] * cScaleOut / cScaleIn);
    t.crcb = Fixed16(m[2][1] * cScaleOut / cScaleIn);
    t.crcr = Fixed16(m[2][2] * cScaleOut / cScaleIn);
    t.yOut = (16 << 16) + 32768;
    return t;
}

namespace {

struct PairOut {
    uint8_t cb, y0, cr, y1;
};

inline PairOut ConvertPair(int y0, int y1, int cb, int cr, const YCbCrTransform &t) {
    const int32_t b = cb - 128, r = cr - 128;
    const int32_t chromaToY = t.ycb * b + t.ycr * r + t.yOut;
    return PairOut{Clamp8((t.cbcb * b + t.cbcr * r + (128 << 16) + 32768) >> 16),
                   Clamp8((t.yy * (y0 - t.yIn) + chromaToY) >> 16),
                   Clamp8((t.crcb * b + t.crcr * r + (128 << 16) + 32768) >> 16),
                   Clamp8((t.yy * (y1 - t.yIn) + chromaToY) >> 16)};
}

}  // namespace

void TransformPairs(uint8_t *row, int pairs, bool lumaFirst, const YCbCrTransform &t) {
    if (t.identity) return;
    const int iy0 = lumaFirst ? 0 : 1, icb = lumaFirst ? 1 : 0, iy1 = lumaFirst ? 2 : 3, icr = lumaFirst ? 3 : 2;
    for (int i = 0; i < pairs; ++i, row += 4) {
        const PairOut p = ConvertPair(row[iy0], row[iy1], row[icb], row[icr], t);
        row[icb] = p.cb;
        row[iy0] = p.y0;
        row[icr] = p.cr;
        row[iy1] = p.y1;
    }
}

void PixelsToPairs(const uint8_t *ycc, uint8_t *pairs, int width, bool lumaFirst, const YCbCrTransform &t) {
    const int iy0 = lumaFirst ? 0 : 1, icb = lumaFirst ? 1 : 0, iy1 = lumaFirst ? 2 : 3, icr = lumaFirst ? 3 : 2;
    const int whole = width / 2;
    for (int i = 0; i < whole; ++i, ycc += 6, pairs += 4) {
        const PairOut p = ConvertPair(ycc[0], ycc[3], (ycc[1] + ycc[4] + 1) >> 1, (ycc[2] + ycc[5] + 1) >> 1, t);
        pairs[icb] = p.cb;
        pairs[iy0] = p.y0;
        pairs[icr] = p.cr;
        pairs[iy1] = p.y1;
    }
    if (width & 1) {  // the last pixel fills its pair
        const PairOut p = ConvertPair(ycc[0], ycc[0], ycc[1], ycc[2], t);
        pairs[icb] = p.cb;
        pairs[iy0] = p.y0;
        pairs[icr] = p.cr;
        pairs[iy1] = p.y1;
    }
}

void CopyIntoWorld(const WorldGeometry &geometry, const uint8_t *pixels, int64_t stride, const Rect &destRect) {
    const int left = std::max<int>(destRect.left, geometry.bounds.left);
    const int right = std::min<int>(destRect.right, geometry.bounds.right);
    const int top = std::max<int>(destRect.top, geometry.bounds.top);
    const int bottom = std::min<int>(destRect.bottom, geometry.bounds.bottom);
    if (left >= right || top >= bottom) return;
    const PixelFormatInfo &info = *geometry.format;
    const int bytesPerPixel = info.bytesPerPixel;
    const bool pairsAligned = ((left - destRect.left) & 1) == 0 && ((left - geometry.bounds.left) & 1) == 0 &&
                              (right == geometry.bounds.right || ((right - left) & 1) == 0);
    for (int y = top; y < bottom; ++y) {
        const uint8_t *from = pixels + int64_t(y - destRect.top) * stride;
        uint8_t *to = geometry.base + int64_t(y - geometry.bounds.top) * geometry.rowBytes;
        if (!info.pairs) {
            std::memcpy(to + int64_t(left - geometry.bounds.left) * bytesPerPixel,
                        from + int64_t(left - destRect.left) * bytesPerPixel, size_t(right - left) * bytesPerPixel);
            continue;
        }
        if (pairsAligned) {  // whole pairs on both sides: the bytes as they are
            const int64_t width = right - left;
            std::memcpy(to + (int64_t(left - geometry.bounds.left) / 2) * 4, from + (int64_t(left - destRect.left) / 2) * 4,
                        size_t((width + 1) / 2) * 4);
            continue;
        }
        // 4:2:2: each pixel takes its luma and the chroma of its pair in the picture's row;
        // the pair grids of the picture and the world differ when the rect's offset is odd.
        const bool lumaFirst = info.format == kYUVSPixelFormat;
        const int lumaOffset[2] = {lumaFirst ? 0 : 1, lumaFirst ? 2 : 3};
        const int cbOffset = lumaFirst ? 1 : 0;
        const int crOffset = lumaFirst ? 3 : 2;
        for (int x = left; x < right; ++x) {
            const int s = x - destRect.left;
            const int w = x - geometry.bounds.left;
            const uint8_t *sp = from + (s / 2) * 4;
            uint8_t *wp = to + (w / 2) * 4;
            wp[lumaOffset[w & 1]] = sp[lumaOffset[s & 1]];
            if ((w & 1) == 0 || x == left) {
                wp[cbOffset] = sp[cbOffset];
                wp[crOffset] = sp[crOffset];
            }
        }
    }
}

int FFmpegPixelFormat(OSType format) {
    switch (format) {
    case k32ARGBPixelFormat: return AV_PIX_FMT_ARGB;
    case k32BGRAPixelFormat: return AV_PIX_FMT_BGRA;
    case k24RGBPixelFormat: return AV_PIX_FMT_RGB24;
    case k16BE555PixelFormat: return AV_PIX_FMT_RGB555BE;
    case k8IndexedGrayPixelFormat: return AV_PIX_FMT_GRAY8;
    case k2vuyPixelFormat: return AV_PIX_FMT_UYVY422;
    case kYUVSPixelFormat: return AV_PIX_FMT_YUYV422;
    default: return AV_PIX_FMT_NONE;
    }
}

void FreeScaler(void **scaler) {
    if (scaler != nullptr && *scaler != nullptr) {
        delete static_cast<Scaler *>(*scaler);
        *scaler = nullptr;
    }
}

OSErr DrawPictureIntoWorld(void **scalerSlot, const PictureSource &source, GWorldPtr world, const Rect &destRect) {
    WorldGeometry geometry;
    if (!GetLiveWorld(world, geometry)) return paramErr;
    if (source.width <= 0 || source.height <= 0) return paramErr;
    const int destWidth = int(destRect.right) - destRect.left;
    const int destHeight = int(destRect.bottom) - destRect.top;
    if (destWidth <= 0 || destHeight <= 0) return noErr;

    // The visible part, in world coordinates.
    const int left = std::max<int>(destRect.left, geometry.bounds.left);
    const int right = std::min<int>(destRect.right, geometry.bounds.right);
    const int top = std::max<int>(destRect.top, geometry.bounds.top);
    const int bottom = std::min<int>(destRect.bottom, geometry.bounds.bottom);
    if (left >= right || top >= bottom) return noErr;

    const PixelFormatInfo &info = *geometry.format;
    const AVPixelFormat destFormat = AVPixelFormat(FFmpegPixelFormat(info.format));
    if (destFormat == AV_PIX_FMT_NONE) return cDepthErr;
    bool fullRange = source.fullRange;
    const AVPixelFormat sourceFormat = PlainFormat(AVPixelFormat(source.format), fullRange);

    // Straight into the world when the whole rect is inside it (on the world's pair grid
    // for 4:2:2, with whole pairs); otherwise through the scratch picture.
    const bool inside = left == destRect.left && right == destRect.right && top == destRect.top &&
                        bottom == destRect.bottom &&
                        (!info.pairs || (((left - geometry.bounds.left) & 1) == 0 &&
                                         ((destWidth & 1) == 0 || right == geometry.bounds.right)));
    const int scratchWidth = info.pairs ? (destWidth + 1) & ~1 : destWidth;
    const int64_t scratchStride = (MinimumRowBytes(info, scratchWidth) + 63) & ~int64_t(63);
    if (!inside && scratchStride * destHeight > kMaximumScratchBytes) return memFullErr;

    if (*scalerSlot == nullptr) *scalerSlot = new (std::nothrow) Scaler;
    auto *scaler = static_cast<Scaler *>(*scalerSlot);
    if (scaler == nullptr) return memFullErr;
    SwsContext *context = sws_getCachedContext(scaler->context, source.width, source.height, sourceFormat,
                                               scratchWidth, destHeight, destFormat,
                                               SWS_BILINEAR | SWS_ACCURATE_RND | SWS_FULL_CHR_H_INT, nullptr,
                                               nullptr, nullptr);
    if (context != scaler->context) scaler->sourceTable = nullptr;  // a new context has no details yet
    scaler->context = context;
    if (context == nullptr) return memFullErr;
    // Worlds are BT.709. A Y'CbCr source of another matrix drawn into a Y'CbCr world is
    // scaled in its own matrix (so that libswscale only copies or scales) and converted
    // afterwards, in place.
    const UInt16 sourceMatrix = source.bt709 ? kQTMatrix_ITU_R_709_2 : kQTMatrix_ITU_R_601_4;
    const bool convertMatrix = info.pairs && IsYCbCrSource(sourceFormat) && sourceMatrix != kQTMatrix_ITU_R_709_2;
    // libswscale goes through Y'CbCr inside even between R'G'B' formats: a side that is not
    // Y'CbCr takes the other side's matrix, so that nothing changes colour on the way.
    const bool sourceYCbCr = IsYCbCrSource(sourceFormat);
    const int *sourceTable = sws_getCoefficients(source.bt709 ? SWS_CS_ITU709 : SWS_CS_ITU601);
    const int *destTable = info.pairs && !convertMatrix ? sws_getCoefficients(SWS_CS_ITU709) : sourceTable;
    if (!sourceYCbCr) sourceTable = destTable;
    if (sourceTable != scaler->sourceTable || int(fullRange) != scaler->sourceRange || destTable != scaler->destTable) {
        sws_setColorspaceDetails(context, sourceTable, fullRange ? 1 : 0, destTable, 0, 0, 1 << 16, 1 << 16);
        scaler->sourceTable = sourceTable;
        scaler->sourceRange = int(fullRange);
        scaler->destTable = destTable;
    }

    uint8_t *target = nullptr;
    int64_t targetStride = 0;
    if (inside) {
        target = geometry.base + int64_t(top - geometry.bounds.top) * geometry.rowBytes +
                 int64_t(left - geometry.bounds.left) / (info.pairs ? 2 : 1) * (info.pairs ? 4 : info.bytesPerPixel);
        targetStride = geometry.rowBytes;
        // libswscale writes whole pairs: an odd width reaches the world's last pair only.
    } else {
        const size_t needed = size_t(scratchStride * destHeight + 64);
        if (needed > scaler->scratchBytes) {
            av_free(scaler->scratch);
            scaler->scratch = static_cast<uint8_t *>(av_malloc(needed));
            scaler->scratchBytes = scaler->scratch != nullptr ? needed : 0;
            if (scaler->scratch == nullptr) return memFullErr;
        }
        target = scaler->scratch;
        targetStride = scratchStride;
    }
    if (targetStride > INT32_MAX) return memFullErr;
    uint8_t *planes[4] = {target, nullptr, nullptr, nullptr};
    const int strides[4] = {int(targetStride), 0, 0, 0};
    if (sws_scale(context, source.planes, source.strides, 0, source.height, planes, strides) != destHeight)
        return codecErr;

    if (convertMatrix) {
        const YCbCrTransform t = MakeYCbCrTransform(sourceMatrix, false, kQTMatrix_ITU_R_709_2);
        for (int y = 0; y < destHeight; ++y)
            TransformPairs(target + int64_t(y) * targetStride, scratchWidth / 2, info.format == kYUVSPixelFormat, t);
    }
    if (!inside) CopyIntoWorld(geometry, target, targetStride, destRect);
    return noErr;
}

}  // namespace lumora::qt
