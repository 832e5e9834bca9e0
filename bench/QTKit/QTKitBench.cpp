// One 640 x 480 frame of the test camera through QTKit into a pixel buffer, against a plain
// memcpy of the frame (the floor) in the same run.
#include <benchmark/benchmark.h>

#include <QTKit/FrameConverter.h>

#include <QuickTime/CaptureDevices.h>
#include <QuickTime/QuickTime.h>

#include <cstring>
#include <vector>

namespace {

constexpr int kWidth = 640;
constexpr int kHeight = 480;
constexpr int64_t kRowBytes = kWidth * 2;

struct TestFrame {
    std::vector<uint8_t> pixels = std::vector<uint8_t>(size_t(kRowBytes * kHeight));
    lumora::qt::CaptureFormat format;
    TestFrame() {
        lumora::qt::DrawTestPattern(pixels.data(), kWidth, kHeight, kRowBytes, 12345);
        format.type = k2vuyPixelFormat;
        format.width = kWidth;
        format.height = kHeight;
        format.rowBytes = kRowBytes;
        format.frameBytes = kRowBytes * kHeight;
        format.matrix = kQTMatrix_ITU_R_601_4;
    }
    lumora::qt::CapturedFrame frame() { return {pixels.data(), pixels.size(), 0}; }
};

void BM_Floor_MemcpyFrame(benchmark::State &state) {
    TestFrame source;
    std::vector<uint8_t> target(source.pixels.size());
    for (auto _ : state) {
        std::memcpy(target.data(), source.pixels.data(), source.pixels.size());
        benchmark::DoNotOptimize(target.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(source.pixels.size()));
}
BENCHMARK(BM_Floor_MemcpyFrame);

// The session's path for one frame and one output: a pooled buffer, the frame in the output's
// format, the buffer released back to the pool.
void BM_QTKitFrameToPixelBuffer(benchmark::State &state) {
    const auto pixelFormat = uint32_t(state.range(0));
    TestFrame source;
    lumora::qtkit::FrameConverter converter;
    const int key = 0;
    for (auto _ : state) {
        CVPixelBufferRef buffer = converter.make(&key, pixelFormat, 0, 0, source.format, source.frame());
        if (buffer == nullptr) {
            state.SkipWithError("no buffer");
            break;
        }
        benchmark::DoNotOptimize(CVPixelBufferGetBaseAddress(buffer));
        CVPixelBufferRelease(buffer);
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(source.pixels.size()));
}
BENCHMARK(BM_QTKitFrameToPixelBuffer)
    ->Arg(kCVPixelFormatType_422YpCbCr8)
    ->Arg(kCVPixelFormatType_32BGRA)
    ->ArgName("format");

}  // namespace
