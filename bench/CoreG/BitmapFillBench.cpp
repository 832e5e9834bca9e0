// One full 640 x 480 fill into a bitmap context: in cairo's own layout (drawn in place, the
// floor) against the grey 8 layout of the masks (drawn through the shadow surface), and the
// same grey fill followed by reading the bytes (the caller looking at the result each time).
// Each iteration alternates between two greys, so that every fill changes every pixel.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include <CoreGraphics/CoreGraphics.h>

namespace {

constexpr size_t kWidth = 640, kHeight = 480;

struct Target {
    std::vector<uint8_t> bytes;
    CGContextRef context = nullptr;

    explicit Target(bool grey) {
        const size_t bytesPerPixel = grey ? 1 : 4;
        bytes.assign(kWidth * kHeight * bytesPerPixel, 0);
        CGColorSpaceRef space = grey ? CGColorSpaceCreateDeviceGray() : CGColorSpaceCreateDeviceRGB();
        const uint32_t info =
            grey ? uint32_t(kCGImageAlphaNone) : uint32_t(kCGImageAlphaPremultipliedFirst) | kCGBitmapByteOrder32Little;
        context = CGBitmapContextCreate(bytes.data(), kWidth, kHeight, 8, kWidth * bytesPerPixel, space, info);
        CGColorSpaceRelease(space);
    }
    ~Target() { CGContextRelease(context); }
};

void Fill(benchmark::State &state, bool grey, bool read) {
    Target target(grey);
    if (!target.context) {
        state.SkipWithError("cannot make the bitmap context");
        return;
    }
    const CGRect all = CGRectMake(0, 0, kWidth, kHeight);
    int i = 0;
    for (auto _ : state) {
        CGContextSetGrayFillColor(target.context, (i++ & 1) ? 0.25 : 0.75, 1);
        CGContextFillRect(target.context, all);
        if (read) benchmark::DoNotOptimize(static_cast<const uint8_t *>(CGBitmapContextGetData(target.context))[0]);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * int64_t(kWidth * kHeight));
}

void BM_FillInPlace(benchmark::State &state) { Fill(state, false, false); }
void BM_FillGrey8(benchmark::State &state) { Fill(state, true, false); }
void BM_FillGrey8ThenRead(benchmark::State &state) { Fill(state, true, true); }

BENCHMARK(BM_FillInPlace)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_FillGrey8)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_FillGrey8ThenRead)->Unit(benchmark::kMicrosecond);

}  // namespace
