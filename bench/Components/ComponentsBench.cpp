// A 640 x 480 camera frame through Avistor into the host, against memcpy of the same frame.
#include "QTCoreVideo_cam_device.h"

#include <Carbon/Files.h>
#include <CoreVideo/CVPixelBuffer.h>
#include <QuickTime/TestCamera.h>
#include <QuickTime/VideoDigitizer.h>

#include <benchmark/benchmark.h>

#include <cstring>
#include <thread>
#include <vector>

namespace {

constexpr size_t k640x480 = 640 * 480 * 2;  // one '2vuy' frame

void BM_Memcpy640x480(benchmark::State &state) {
    std::vector<UInt8> src(k640x480, 0x55), dst(k640x480);
    for (auto _ : state) {
        std::memcpy(dst.data(), src.data(), src.size());
        benchmark::DoNotOptimize(dst.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(k640x480));
}
BENCHMARK(BM_Memcpy640x480);

// The floor of the host's side: the 960 x 720 frame it copies out.
void BM_Memcpy960x720(benchmark::State &state) {
    std::vector<UInt8> src(1382400, 0x55), dst(1382400);
    for (auto _ : state) {
        std::memcpy(dst.data(), src.data(), src.size());
        benchmark::DoNotOptimize(dst.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * 1382400);
}
BENCHMARK(BM_Memcpy960x720);

// The camera's frame arriving on the capture thread: locked, scaled into the back half.
void BM_AvistorFrameArrival640x480(benchmark::State &state) {
    LumoraTestCameraSetUnplugged(true);
    QTCoreVideo_cam_device device;
    CVPixelBufferRef frame = nullptr;
    CVPixelBufferCreate(nullptr, 640, 480, MakeFourCharCode("2vuy"), nullptr, &frame);
    for (auto _ : state) device.FrameArrived(frame);
    CVPixelBufferRelease(frame);
    LumoraTestCameraSetUnplugged(false);
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(k640x480));
}
BENCHMARK(BM_AvistorFrameArrival640x480);

// The host's side: the frame pump's call through the Component Manager (preview), and the
// host copying the frame out before handing it back.
void BM_AvistorHostTakesFrame(benchmark::State &state) {
    FSRef ref;
    ComponentInstance vd = nullptr;
    if (FSPathMakeRef(reinterpret_cast<const UInt8 *>(LUMORA_AVISTOR_BUNDLE), &ref, nullptr) != noErr ||
        RegisterComponentFileRef(&ref, false) != noErr ||
        OpenADefaultComponent(videoDigitizerComponentType, MakeFourCharCode("Avis"), &vd) != noErr) {
        state.SkipWithError("Avistor cannot be opened");
        return;
    }
    VDSetCompressionOnOff(vd, true);
    VDCaptureStateChanging(vd, vdFlagCaptureIsForPreview);
    std::vector<UInt8> host(1382400);
    for (auto _ : state) {
        UInt8 count = 0;
        Ptr data = nullptr;
        long size = 0;
        VDCompressDone(vd, &count, &data, &size, nullptr, nullptr);
        if (count != 0) std::memcpy(host.data(), data, size_t(size));
        VDReleaseCompressBuffer(vd, data);
        benchmark::DoNotOptimize(host.data());
    }
    CloseComponent(vd);
    state.SetBytesProcessed(int64_t(state.iterations()) * 1382400);
}
BENCHMARK(BM_AvistorHostTakesFrame);

}  // namespace
