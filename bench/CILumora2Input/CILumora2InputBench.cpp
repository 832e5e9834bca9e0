// What a host of the image unit pays per frame for Lumora's picture: setting the filter's
// clock and taking its output image (an image on the shared surface, no copy), and the same
// rendered into a 640 x 480 bitmap. Floors: a memcpy of the frame, and the render of an image
// made directly on a surface of this process.
//
// The frames come from a sharing server in this process, under the application's service
// name, in a runtime folder of the benchmark's own.
#include <benchmark/benchmark.h>

#include <FrameSharing/Mach/IOSurfaceIPC.h>
#include <FrameSharing/Mach/IOSurfaceMachServer.h>

#include <CoreFoundation/CoreFoundation.h>
#include <CoreImage/CIContext.h>
#include <CoreImage/CIFilter.h>
#include <CoreImage/CIPlugIn.h>
#include <IOSurface/IOSurface.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

constexpr size_t kWidth = 640, kHeight = 480, kRowBytes = kWidth * 4;

struct Sharing {
    Sharing() {
        char folder[] = "/tmp/lumora-bench-XXXXXX";
        if (::mkdtemp(folder) != nullptr) ::setenv("XDG_RUNTIME_DIR", folder, 1);
        surface = IOSurfaceIPC::globalSurfaceWithSizePixels(kWidth, kHeight, 0x42475241 /* 'BGRA' */);
        server = IOSurfaceMachServer::serverWithDelegate(nullptr);
        server->publishServerConnectionWithServerPortName("com.tarvex.Lumora2.IOSurfaceSharing");
        const std::string bundle = LUMORA_CILUMORA2INPUT_BUNDLE;
        CFURLRef url = CFURLCreateFromFileSystemRepresentation(
            kCFAllocatorDefault, reinterpret_cast<const UInt8 *>(bundle.data()), CFIndex(bundle.size()), true);
        CIPlugIn::loadPlugIn(url, true);
        CFRelease(url);
        filter = CIFilter::filterWithName("CILumora2Input");
        context = CIContext::offscreenContext();
        bitmap.resize(kRowBytes * kHeight);
        if (filter == nullptr) return;
        // Clock the filter until its output is the shared surface.
        for (int i = 0; i < 300 && !shared; ++i) {
            server->broadcastFrameSurface(surface, uint64_t(i));
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
            filter->setValue(double(i), "inputClock");
            CIImageRef image = filter->outputImage();
            shared = image != nullptr && image->sourceKind() == CIImage::SourceKind::IOSurface;
        }
    }
    IOSurfaceRef surface = nullptr;
    std::shared_ptr<IOSurfaceMachServer> server;
    CIFilterRef filter;
    CIContextRef context;
    std::vector<uint8_t> bitmap;
    bool shared = false;
};

Sharing &TheSharing() {
    static Sharing *sharing = new Sharing;
    return *sharing;
}

void BM_Floor_MemcpyFrame(benchmark::State &state) {
    std::vector<uint8_t> from(kRowBytes * kHeight, 0x5a), to(kRowBytes * kHeight);
    for (auto _ : state) {
        std::memcpy(to.data(), from.data(), to.size());
        benchmark::DoNotOptimize(to.data());
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_Floor_MemcpyFrame);

void BM_Floor_RenderLocalSurface(benchmark::State &state) {
    Sharing &sharing = TheSharing();
    if (sharing.context == nullptr) return state.SkipWithError("no OpenGL context");
    CIImageRef image = CIImage::imageWithIOSurface(sharing.surface);
    for (auto _ : state)
        sharing.context->render(image, sharing.bitmap.data(), kRowBytes, CGRectMake(0, 0, kWidth, kHeight),
                                kCIFormatBGRA8);
}
BENCHMARK(BM_Floor_RenderLocalSurface)->Unit(benchmark::kMillisecond);

void BM_UnitClockAndOutputImage(benchmark::State &state) {
    Sharing &sharing = TheSharing();
    if (!sharing.shared) return state.SkipWithError("the unit shows no shared frame");
    double clock = 0;
    for (auto _ : state) {
        sharing.filter->setValue(clock += 1, "inputClock");
        benchmark::DoNotOptimize(sharing.filter->outputImage());
    }
}
BENCHMARK(BM_UnitClockAndOutputImage)->Unit(benchmark::kMicrosecond);

void BM_UnitFrameRendered(benchmark::State &state) {
    Sharing &sharing = TheSharing();
    if (!sharing.shared || sharing.context == nullptr) return state.SkipWithError("the unit shows no shared frame");
    double clock = 0;
    for (auto _ : state) {
        sharing.filter->setValue(clock += 1, "inputClock");
        sharing.context->render(sharing.filter->outputImage(), sharing.bitmap.data(), kRowBytes,
                                CGRectMake(0, 0, kWidth, kHeight), kCIFormatBGRA8);
    }
}
BENCHMARK(BM_UnitFrameRendered)->Unit(benchmark::kMillisecond);

}  // namespace
