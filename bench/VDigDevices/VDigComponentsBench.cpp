// A 640 x 480 frame from each digitizer component into the host, against a plain memcpy of
// the frame (the floor), in the same run. The host opens the component through the
// Component Manager and takes preview frames (CompressDone / ReleaseCompressBuffer).
// - Lumora2.VDIG: a frame-sharing server in this process draws a new frame number into its
//   global 'BGRA' surface and casts it; timed until the host holds a frame showing that
//   number (the UDP datagram, the flip and swizzle into the cached A R G B frame).
// - Windrake (needs an X display, e.g. xvfb-run): this process repaints its own 640 x 480
//   window; timed until the host holds a frame showing the new colour (the window image
//   from the X server, drawn fitted into the frame on the render queue).
#include <FrameSharing/Network/UDPLoopbackMessageServer.h>
#include <QuickTime/Components.h>
#include <QuickTime/TimeBases.h>
#include <QuickTime/VideoDigitizer.h>
#include <Carbon/Files.h>

#include "support/VDigTestSurfaces.h"
#include "support/XcbTestWindow.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstring>
#include <errno.h>
#include <functional>
#include <string>
#include <thread>
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

ComponentInstance OpenComponent(const char *bundle, OSType subtype) {
    FSRef ref;
    if (FSPathMakeRef(reinterpret_cast<const UInt8 *>(bundle), &ref, nullptr) != noErr) return nullptr;
    if (RegisterComponentFileRef(&ref, false) != noErr) return nullptr;
    ComponentDescription looking{MakeFourCharCode("vdig"), subtype, MakeFourCharCode("Tarv"), 0, 0};
    Component component = FindNextComponent(nullptr, &looking);
    ComponentInstance instance = nullptr;
    if (component == nullptr || OpenAComponent(component, &instance) != noErr) return nullptr;
    return instance;
}

struct PreviewHost {
    ComponentInstance vd;
    TimeBase timeBase = NewTimeBase();
    explicit PreviewHost(ComponentInstance instance) : vd(instance) {
        Rect bounds{0, 0, 480, 640};
        VDSetCompressionOnOff(vd, true);
        VDSetCompression(vd, 0, 0, &bounds, 0, 0, 0);
        SetTimeBaseRate(timeBase, 0x00010000);
        VDSetTimeBase(vd, timeBase);
        VDSetFrameRate(vd, 30 << 16);
        VDCaptureStateChanging(vd, vdFlagCaptureStarting | vdFlagCaptureIsForPreview);
    }
    ~PreviewHost() {
        CloseComponent(vd);
        DisposeTimeBase(timeBase);
    }
    // Takes frames until `wanted` holds for one (or a second has passed).
    bool FrameUntil(const std::function<bool(const uint8_t *)> &wanted, const std::function<void()> &between = {}) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(1);
        while (std::chrono::steady_clock::now() < deadline) {
            UInt8 count = 0, similarity = 0;
            Ptr data = nullptr;
            long size = 0;
            TimeRecord time{};
            VDCompressOneFrameAsync(vd);
            if (VDCompressDone(vd, &count, &data, &size, &similarity, &time) == noErr && count != 0) {
                const bool done = wanted(reinterpret_cast<const uint8_t *>(data));
                benchmark::DoNotOptimize(data);
                VDReleaseCompressBuffer(vd, data);
                if (done) return true;
            }
            if (between) between();
        }
        return false;
    }
};

void BM_VirtualCameraComponentFrame(benchmark::State &state) {
    UDPLoopbackMessageServer server(30300);
    for (int i = 0; i < 100 && !server.Open(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(20));
    IOSurfaceRef surface = vdigtest::NewTaggedBGRASurface(640, 480, 0);
    ComponentInstance vd = OpenComponent(LUMORA_VDIG_COMPONENT, MakeFourCharCode("Lm2v"));
    if (!server.IsOpen() || surface == nullptr || vd == nullptr) {
        state.SkipWithError("no server on 30300, no surface or no component");
        if (surface) CFRelease(surface);
        return;
    }
    {
        PreviewHost host(vd);
        auto serve = [&] {
            while (server.ServeOneDatagram()) {
            }
        };
        uint8_t number = 0;
        auto castNext = [&] {
            ++number;
            IOSurfaceLock(surface, 0, nullptr);
            static_cast<uint8_t *>(IOSurfaceGetBaseAddress(surface))[2] = number;  // red of the bottom-left pixel
            IOSurfaceUnlock(surface, 0, nullptr);
            server.CastMessage(UDPLoopBackMessageData(3, IOSurfaceGetID(surface), number, "cast"));
        };
        auto shows = [&](const uint8_t *p) { return p[479 * 2560 + 1] == number; };
        // The client's ping answered, the first frame through.
        castNext();
        host.FrameUntil(shows, [&] {
            serve();
            castNext();
        });
        int64_t missed = 0;
        for (auto _ : state) {
            serve();
            castNext();
            if (!host.FrameUntil(shows)) ++missed;
        }
        if (missed != 0) state.SkipWithError("frames did not come through");
        state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(kFrameBytes));
    }
    CFRelease(surface);
}
BENCHMARK(BM_VirtualCameraComponentFrame)->UseRealTime();

void BM_WindrakeComponentFrame(benchmark::State &state) {
    lumora::test::XcbTestConnection x;
    if (!x.Usable()) {
        state.SkipWithError("no X display");
        return;
    }
    lumora::test::XcbTestWindow window(x, 0, 0, 640, 480, "Windrake bench window");
    window.Show(0x000000, 0x000000);
    ComponentInstance vd = OpenComponent(LUMORA_WINDRAKE_COMPONENT, MakeFourCharCode("Wrak"));
    if (vd == nullptr) {
        state.SkipWithError("no component");
        return;
    }
    short last = -1, own = -1;
    VDGetNumberOfInputs(vd, &last);
    for (short n = 0; n <= last; ++n) {
        Str255 name{};
        VDGetInputName(vd, n, name);
        if (std::string(reinterpret_cast<const char *>(name + 1), name[0]) ==
            std::string("Windrake: ") + program_invocation_short_name)
            own = n;
    }
    if (own < 0) {
        CloseComponent(vd);
        state.SkipWithError("this program is not an input");
        return;
    }
    VDSetInput(vd, own);
    {
        PreviewHost host(vd);
        uint8_t red = 0;
        auto shows = [&](const uint8_t *p) { return p[240 * 2560 + 320 * 4 + 1] == red; };
        int64_t missed = 0;
        for (auto _ : state) {
            red = uint8_t(red + 37) | 1;
            window.Paint(uint32_t(red) << 16, uint32_t(red) << 16);
            if (!host.FrameUntil(shows)) ++missed;
        }
        if (missed != 0) state.SkipWithError("frames did not come through");
        state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(kFrameBytes));
    }
}
BENCHMARK(BM_WindrakeComponentFrame)->UseRealTime();

}  // namespace
