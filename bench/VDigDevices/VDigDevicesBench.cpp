// A 640 x 480 frame from each digitizer device into the host, against a plain memcpy of the
// frame (the floor), in the same run:
// - the virtual camera: the application draws into its shared surface (a new seed), casts
//   it, and the device reads the cast, converts the 'BGRA' surface into its cached A R G B
//   frame and hands it out;
// - the window-image device: a 640 x 480 window image drawn fitted into the frame and
//   handed out (each release also asks for a grab of the chosen input, which without a
//   display finds nothing).
#include <Windrake/GRABBER_CAM_DEVICE_ARGB.h>
#include <Lumora2.VDIG/IOSurfaceSharing_udp_device.h>

#include <CoreFoundation/CFNumber.h>
#include <CoreG/Drawing/namespace_CoreGraphics_BitmapContext.h>

#include <benchmark/benchmark.h>

#include <poll.h>

#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

constexpr size_t kFrameBytes = 640 * 480 * 4;

void BM_MemcpyFrame(benchmark::State &state) {
    std::vector<uint8_t> src(kFrameBytes, 0x5A), dst(kFrameBytes);
    for (auto _ : state) {
        std::memcpy(dst.data(), src.data(), kFrameBytes);
        benchmark::DoNotOptimize(dst.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(kFrameBytes));
}
BENCHMARK(BM_MemcpyFrame);

IOSurfaceRef NewGlobalBGRASurface() {
    CFMutableDictionaryRef properties = CFDictionaryCreateMutable(kCFAllocatorDefault, 0, &kCFTypeDictionaryKeyCallBacks,
                                                                  &kCFTypeDictionaryValueCallBacks);
    for (auto [key, value] : {std::pair{kIOSurfaceWidth, 640LL}, {kIOSurfaceHeight, 480LL},
                              {kIOSurfaceBytesPerElement, 4LL}, {kIOSurfacePixelFormat, (long long)'BGRA'}}) {
        CFNumberRef number = CFNumberCreate(kCFAllocatorDefault, kCFNumberLongLongType, &value);
        CFDictionarySetValue(properties, key, number);
        CFRelease(number);
    }
    CFDictionarySetValue(properties, kIOSurfaceIsGlobal, kCFBooleanTrue);
    IOSurfaceRef surface = IOSurfaceCreate(properties);
    CFRelease(properties);
    return surface;
}

void BM_VirtualCameraFrame(benchmark::State &state) {
    UDPLoopbackMessageServer server(0);
    uint16_t port = 0;
    for (uint16_t candidate = 41000; candidate < 60000 && port == 0; candidate += 31) {
        server.Protocol().SetServerListenerPort(candidate);
        if (server.Open()) port = candidate;
    }
    IOSurfaceRef surface = NewGlobalBGRASurface();
    if (port == 0 || surface == nullptr) {
        state.SkipWithError("no server port or surface");
        return;
    }
    IOSurfaceSharing_udp_device device;
    device.SetServerPortNumber(port);
    device.DeviceConnect();
    int32_t count = 0;
    void *data = nullptr;
    uint32_t size = 0;
    device.GetFrame(&count, &data, &size);  // opens the client socket and pings
    device.ReleaseCompressBuffer(data);
    for (int i = 0; i < 100 && server.ActiveClientCount() == 0; ++i) {
        pollfd p{server.ServerSocket().GetDescriptor(), POLLIN, 0};
        if (::poll(&p, 1, 10) > 0) server.ServeOneDatagram();
    }
    const int fd = device.Source().Client().ClientSocket().GetDescriptor();
    uint64_t time = 0;
    for (auto _ : state) {
        IOSurfaceLock(surface, 0, nullptr);  // the application's drawing: a new seed
        static_cast<uint8_t *>(IOSurfaceGetBaseAddress(surface))[0] = uint8_t(time);
        IOSurfaceUnlock(surface, 0, nullptr);
        server.CastMessage(UDPLoopBackMessageData(3, IOSurfaceGetID(surface), ++time, "cast"));
        pollfd p{fd, POLLIN, 0};
        ::poll(&p, 1, 100);
        device.GetFrame(&count, &data, &size);
        benchmark::DoNotOptimize(data);
        device.ReleaseCompressBuffer(data);
    }
    if (device.CurrentFrameTime() <= 0) state.SkipWithError("no frame came from the server");
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(kFrameBytes));
    CFRelease(surface);
}
BENCHMARK(BM_VirtualCameraFrame);

void BM_WindowImageFrame(benchmark::State &state) {
    GRABBER_CAM_DEVICE_ARGB device;
    device.DeviceConnect();
    CoreGraphics::BitmapContext picture;
    picture.Construct(640, 480, CoreGraphics::kBitmapType_ARGB32);
    CGContextSetRGBFillColor(picture.mContext, 0.2, 0.4, 0.6, 1);
    CGContextFillRect(picture.mContext, CGRectMake(0, 0, 640, 480));
    CGImageRef image = picture.ConstructCGImage(nullptr);
    int32_t count = 0;
    void *data = nullptr;
    uint32_t size = 0;
    for (auto _ : state) {
        device.RenderWindowImage(image);
        device.GetFrame(&count, &data, &size);
        benchmark::DoNotOptimize(data);
        device.ReleaseCompressBuffer(data);
        device.Drain();
    }
    CGImageRelease(image);
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(kFrameBytes));
}
BENCHMARK(BM_WindowImageFrame);

}  // namespace
