// A 640 x 480 'BGRA' frame through a global surface: written under a write lock by the
// surface's creator and read under a read-only lock through a second reference found by
// id, against the floor of the same two copies between plain buffers.
#include <IOSurface/IOSurface.h>

#include <CoreFoundation/CFNumber.h>

#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

namespace {

constexpr int kWidth = 640, kHeight = 480;
constexpr size_t kFrameBytes = size_t(kWidth) * kHeight * 4;

IOSurfaceRef MakeFrameSurface() {
    int values[] = {kWidth, kHeight, 4, 0x42475241};
    const void *keys[] = {kIOSurfaceWidth, kIOSurfaceHeight, kIOSurfaceBytesPerElement, kIOSurfacePixelFormat,
                          kIOSurfaceIsGlobal};
    const void *objects[5];
    for (int i = 0; i < 4; ++i) objects[i] = CFNumberCreate(nullptr, kCFNumberIntType, &values[i]);
    objects[4] = kCFBooleanTrue;
    CFDictionaryRef properties =
        CFDictionaryCreate(nullptr, keys, objects, 5, &kCFTypeDictionaryKeyCallBacks, &kCFTypeDictionaryValueCallBacks);
    IOSurfaceRef surface = IOSurfaceCreate(properties);
    CFRelease(properties);
    for (int i = 0; i < 4; ++i) CFRelease(objects[i]);
    return surface;
}

void BM_FrameThroughSurface(benchmark::State &state) {
    IOSurfaceRef writer = MakeFrameSurface();
    IOSurfaceRef reader = writer ? IOSurfaceLookup(IOSurfaceGetID(writer)) : nullptr;
    if (reader == nullptr) {
        state.SkipWithError("no surface");
        if (writer) CFRelease(writer);
        return;
    }
    std::vector<uint8_t> frame(kFrameBytes, 0x40), out(kFrameBytes);
    for (auto _ : state) {
        IOSurfaceLock(writer, 0, nullptr);
        std::memcpy(IOSurfaceGetBaseAddress(writer), frame.data(), kFrameBytes);
        IOSurfaceUnlock(writer, 0, nullptr);
        IOSurfaceLock(reader, kIOSurfaceLockReadOnly, nullptr);
        std::memcpy(out.data(), IOSurfaceGetBaseAddress(reader), kFrameBytes);
        IOSurfaceUnlock(reader, kIOSurfaceLockReadOnly, nullptr);
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(kFrameBytes) * 2);
    CFRelease(reader);
    CFRelease(writer);
}
BENCHMARK(BM_FrameThroughSurface);

// The floor: the same write and read between plain buffers.
void BM_FramePlainMemcpy(benchmark::State &state) {
    std::vector<uint8_t> frame(kFrameBytes, 0x40), middle(kFrameBytes), out(kFrameBytes);
    for (auto _ : state) {
        std::memcpy(middle.data(), frame.data(), kFrameBytes);
        std::memcpy(out.data(), middle.data(), kFrameBytes);
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(kFrameBytes) * 2);
}
BENCHMARK(BM_FramePlainMemcpy);

}  // namespace
