// A 640 x 480 '2vuy' camera frame turned into RGBA for a texture upload: our conversion
// (NSOGL2vuyPixels::ConvertToRGBA) against libswscale's UYVY-to-RGBA set to BT.709 limited
// range (the same work), and a memcpy of the RGBA frame as the floor.
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

extern "C" {
#include <libswscale/swscale.h>
}

#include <CocoaGL/NSOGL2vuyPixels.h>

namespace {

constexpr int kWidth = 640;
constexpr int kHeight = 480;

std::vector<uint8_t> Frame() {
    std::vector<uint8_t> frame(std::size_t(kWidth) * kHeight * 2);
    uint32_t seed = 12345;
    for (std::size_t i = 0; i < frame.size(); ++i) {
        seed = seed * 1664525u + 1013904223u;
        frame[i] = uint8_t(16 + (seed >> 24) % 220);
    }
    return frame;
}

void BM_ConvertToRGBA(benchmark::State &state) {
    const std::vector<uint8_t> frame = Frame();
    std::vector<uint8_t> rgba(std::size_t(kWidth) * kHeight * 4);
    for (auto _ : state) {
        NSOGL2vuyPixels::ConvertToRGBA(frame.data(), kWidth * 2, rgba.data(), kWidth * 4, kWidth, kHeight);
        benchmark::DoNotOptimize(rgba.data());
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_ConvertToRGBA)->Unit(benchmark::kMicrosecond);

void BM_SwscaleUYVYToRGBA(benchmark::State &state) {
    const std::vector<uint8_t> frame = Frame();
    std::vector<uint8_t> rgba(std::size_t(kWidth) * kHeight * 4);
    SwsContext *context = sws_getContext(kWidth, kHeight, AV_PIX_FMT_UYVY422, kWidth, kHeight, AV_PIX_FMT_RGBA,
                                         SWS_POINT, nullptr, nullptr, nullptr);
    if (context == nullptr) {
        state.SkipWithError("no swscale context");
        return;
    }
    const int *bt709 = sws_getCoefficients(SWS_CS_ITU709);
    sws_setColorspaceDetails(context, bt709, 0, bt709, 1, 0, 1 << 16, 1 << 16);
    const uint8_t *src[1] = {frame.data()};
    const int srcStride[1] = {kWidth * 2};
    uint8_t *dst[1] = {rgba.data()};
    const int dstStride[1] = {kWidth * 4};
    for (auto _ : state) {
        sws_scale(context, src, srcStride, 0, kHeight, dst, dstStride);
        benchmark::DoNotOptimize(rgba.data());
        benchmark::ClobberMemory();
    }
    sws_freeContext(context);
}
BENCHMARK(BM_SwscaleUYVYToRGBA)->Unit(benchmark::kMicrosecond);

void BM_MemcpyRGBAFrame(benchmark::State &state) {
    std::vector<uint8_t> from(std::size_t(kWidth) * kHeight * 4, 7), to(from.size());
    for (auto _ : state) {
        std::memcpy(to.data(), from.data(), from.size());
        benchmark::DoNotOptimize(to.data());
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_MemcpyRGBAFrame)->Unit(benchmark::kMicrosecond);

}  // namespace
