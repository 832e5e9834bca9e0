// A 640 x 480 ARGB picture converted to a 4:2:2 '2vuy' frame: our conversion
// (Q_2vuy_buffer::CopyFromBitmapContext, plain and blended) against libswscale's
// ARGB-to-UYVY (the same byte order) on the same memory. The swscale context is set to
// BT.709 limited range, the nearest of its matrices to ours, so both do the same work;
// the largest luma difference between the two frames is reported as a counter.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdlib>
#include <vector>

extern "C" {
#include <libswscale/swscale.h>
}

#include <CoreG/Frames422/Q_2vuy_buffer.h>
#include <CoreG/Drawing/namespace_CoreGraphics_BitmapContext.h>

namespace {

constexpr int kWidth = 640;
constexpr int kHeight = 480;

// An opaque picture with smooth gradients and some per-pixel variation.
struct Picture {
    CoreGraphics::BitmapContext bitmap;
    bool ok = false;
    Picture() {
        if (!bitmap.Construct(kWidth, kHeight, CoreGraphics::kBitmapType_ARGB32)) return;
        uint32_t seed = 12345;
        for (int y = 0; y < kHeight; ++y) {
            uint8_t *row = bitmap.mImageDataBytes + size_t(y) * bitmap.mImageRowBytes;
            for (int x = 0; x < kWidth; ++x) {
                seed = seed * 1664525u + 1013904223u;
                row[x * 4 + 0] = 255;
                row[x * 4 + 1] = uint8_t(x * 255 / (kWidth - 1));
                row[x * 4 + 2] = uint8_t(y * 255 / (kHeight - 1));
                row[x * 4 + 3] = uint8_t((x + y) / 5 + (seed >> 29));
            }
        }
        ok = true;
    }
};

Q_2vuy_format FrameFormat() {
    Q_2vuy_format format;
    format._Width = kWidth;
    format._Height = kHeight;
    format._RowBytes = kWidth * 2;
    format._PixelFormat = k2vuyPixelFormat;
    return format;
}

SwsContext *MakeSwsContext(int flags) {
    SwsContext *context = sws_getContext(kWidth, kHeight, AV_PIX_FMT_ARGB, kWidth, kHeight, AV_PIX_FMT_UYVY422,
                                         flags, nullptr, nullptr, nullptr);
    if (context == nullptr) return nullptr;
    const int *bt709 = sws_getCoefficients(SWS_CS_ITU709);
    sws_setColorspaceDetails(context, bt709, 1, bt709, 0, 0, 1 << 16, 1 << 16);
    return context;
}

void SwsConvert(SwsContext *context, const Picture &picture, Q_2vuy_buffer &frame) {
    const uint8_t *src[4] = {picture.bitmap.mImageDataBytes, nullptr, nullptr, nullptr};
    const int srcStride[4] = {int(picture.bitmap.mImageRowBytes), 0, 0, 0};
    uint8_t *dst[4] = {frame._PixelData, nullptr, nullptr, nullptr};
    const int dstStride[4] = {int(frame._RowBytes), 0, 0, 0};
    sws_scale(context, src, srcStride, 0, kHeight, dst, dstStride);
}

void BM_Lumora_ARGBTo2vuy(benchmark::State &state) {
    static const Picture picture;
    Q_2vuy_buffer frame;
    if (!picture.ok || !frame.Allocate(FrameFormat())) {
        state.SkipWithError("cannot make the picture or the frame");
        return;
    }
    const bool blend = state.range(0) != 0;
    for (auto _ : state) {
        frame.CopyFromBitmapContext(picture.bitmap, blend);
        benchmark::DoNotOptimize(frame._PixelData);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations());
    state.SetBytesProcessed(state.iterations() * int64_t(kWidth) * kHeight * 4);
    state.SetLabel(blend ? "blend at opacity 1" : "convert");
}
BENCHMARK(BM_Lumora_ARGBTo2vuy)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

void BM_Swscale_ARGBToUYVY(benchmark::State &state) {
    static const Picture picture;
    Q_2vuy_buffer frame, ours;
    SwsContext *context = MakeSwsContext(int(state.range(0)));
    if (!picture.ok || context == nullptr || !frame.Allocate(FrameFormat()) || !ours.Allocate(FrameFormat())) {
        if (context != nullptr) sws_freeContext(context);
        state.SkipWithError("cannot make the picture, the frames or the swscale context");
        return;
    }
    for (auto _ : state) {
        SwsConvert(context, picture, frame);
        benchmark::DoNotOptimize(frame._PixelData);
        benchmark::ClobberMemory();
    }
    ours.CopyFromBitmapContext(picture.bitmap, false);
    int largest = 0;
    for (uint32_t i = 1; i < frame._PixelDataSize; i += 2)
        largest = std::max(largest, std::abs(int(frame._PixelData[i]) - int(ours._PixelData[i])));
    state.counters["max_luma_diff"] = largest;
    sws_freeContext(context);
    state.SetItemsProcessed(state.iterations());
    state.SetBytesProcessed(state.iterations() * int64_t(kWidth) * kHeight * 4);
    state.SetLabel(state.range(0) == SWS_POINT ? "SWS_POINT" : "SWS_BILINEAR");
}
BENCHMARK(BM_Swscale_ARGBToUYVY)->Arg(SWS_POINT)->Arg(SWS_BILINEAR)->Unit(benchmark::kMicrosecond);

}  // namespace
