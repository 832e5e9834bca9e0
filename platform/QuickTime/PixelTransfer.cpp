// Drawing decoded pictures into worlds: libswscale scales and converts the picture into a
// scratch buffer of the destination rect's size in the world's own layout, then the part
// inside the world is copied row by row.
#include <algorithm>
#include <cstring>

extern "C" {
#include <libavutil/mem.h>
#include <libavutil/pixfmt.h>
#include <libswscale/swscale.h>
}

#include <QuickTime/ImageCompression.h>

#include "QTInternal.h"

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

struct Scratch {
    uint8_t *data = nullptr;
    ~Scratch() { av_free(data); }
};

}  // namespace

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
        sws_freeContext(static_cast<SwsContext *>(*scaler));
        *scaler = nullptr;
    }
}

OSErr DrawPictureIntoWorld(void **scaler, const PictureSource &source, GWorldPtr world, const Rect &destRect) {
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

    const int scratchWidth = info.pairs ? (destWidth + 1) & ~1 : destWidth;
    const int64_t scratchStride = (MinimumRowBytes(info, scratchWidth) + 63) & ~int64_t(63);
    if (scratchStride * destHeight > kMaximumScratchBytes) return memFullErr;

    SwsContext *context = sws_getCachedContext(static_cast<SwsContext *>(*scaler), source.width, source.height,
                                               sourceFormat, scratchWidth, destHeight, destFormat,
                                               SWS_BILINEAR | SWS_ACCURATE_RND | SWS_FULL_CHR_H_INT, nullptr,
                                               nullptr, nullptr);
    *scaler = context;
    if (context == nullptr) return memFullErr;
    const int *coefficients = sws_getCoefficients(source.bt709 ? SWS_CS_ITU709 : SWS_CS_DEFAULT);
    sws_setColorspaceDetails(context, coefficients, fullRange ? 1 : 0, sws_getCoefficients(SWS_CS_DEFAULT), 0, 0,
                             1 << 16, 1 << 16);

    Scratch scratch;
    scratch.data = static_cast<uint8_t *>(av_malloc(size_t(scratchStride * destHeight + 64)));
    if (scratch.data == nullptr) return memFullErr;
    uint8_t *planes[4] = {scratch.data, nullptr, nullptr, nullptr};
    const int strides[4] = {int(scratchStride), 0, 0, 0};
    if (sws_scale(context, source.planes, source.strides, 0, source.height, planes, strides) != destHeight)
        return codecErr;

    const int bytesPerPixel = info.bytesPerPixel;
    for (int y = top; y < bottom; ++y) {
        const uint8_t *from = scratch.data + int64_t(y - destRect.top) * scratchStride;
        uint8_t *to = geometry.base + int64_t(y - geometry.bounds.top) * geometry.rowBytes;
        if (!info.pairs) {
            std::memcpy(to + int64_t(left - geometry.bounds.left) * bytesPerPixel,
                        from + int64_t(left - destRect.left) * bytesPerPixel, size_t(right - left) * bytesPerPixel);
            continue;
        }
        // 4:2:2: each pixel takes its luma and the chroma of its pair in the scratch row;
        // the pair grids of the scratch and the world differ when the rect's offset is odd.
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
    return noErr;
}

}  // namespace lumora::qt
