// Test-camera capture at 640 x 480 into the grabber's 32-bit ARGB frame buffer: frames per
// second and CPU time per frame.
//
// Each iteration is one frame delivered from inside Idle (the test camera's '2vuy' frame,
// decompressed into the bitmap context). Two runs:
//   rate 30    the camera's own rate, Idle polled every millisecond as a timer would:
//              the frames per second are the camera's, the CPU is what capture costs;
//   rate 1000  the camera asked for 1000 frames per second and Idle called back to back:
//              the frames per second are what the path can carry.
// Counters: fps (frames per wall-clock second), cpu_ms_per_frame (process CPU time per
// frame, the test camera drawing its pattern included), decompress_ms_per_frame (the
// thread CPU time spent decompressing into the frame buffer alone).
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <ctime>
#include <thread>

#include <CoreG/Capture/QCameraGrabCGContext.h>
#include <QuickTime/FixMath.h>

namespace {

double CpuSeconds(clockid_t clock) {
    timespec now = {};
    clock_gettime(clock, &now);
    return double(now.tv_sec) + double(now.tv_nsec) * 1e-9;
}

class BenchGrabber : public QCameraGrabCGContext {
public:
    OSErr DefaultDataProc(Ptr data, long dataSize) override {
        const double start = CpuSeconds(CLOCK_THREAD_CPUTIME_ID);
        const OSErr err = QCameraGrabCGContext::DefaultDataProc(data, dataSize);
        decompressSeconds += CpuSeconds(CLOCK_THREAD_CPUTIME_ID) - start;
        if (err == noErr) ++frames;
        return err;
    }
    long frames = 0;
    double decompressSeconds = 0;
};

void BM_TestCameraCapture640x480(benchmark::State &state) {
    const long rate = long(state.range(0));
    const bool poll = rate <= 60;
    ::setenv("LUMORA_TEST_CAMERA", "1", 1);
    BenchGrabber grabber;
    grabber.SetFramePacing(false, 1.0f);
    const Rect frame = {0, 0, 480, 640};
    if (grabber.OpenInitialize(frame, k32ARGBPixelFormat, nullptr) != noErr ||
        SGSetFrameRate(grabber.mVideoChannel, Long2Fix(rate)) != noErr || grabber.Prepare() != noErr ||
        grabber.StartRecord() != noErr) {
        state.SkipWithError("the test camera could not be opened");
        return;
    }
    // The first frame (the decompressor's start-up) is not measured.
    while (grabber.frames == 0) grabber.Idle();

    const long frames0 = grabber.frames;
    const double decompress0 = grabber.decompressSeconds;
    const double cpu0 = CpuSeconds(CLOCK_PROCESS_CPUTIME_ID);
    const auto wall0 = std::chrono::steady_clock::now();
    for (auto _ : state) {
        const long before = grabber.frames;
        while (grabber.frames == before) {
            if (grabber.Idle() != noErr) {
                state.SkipWithError("Idle failed");
                return;
            }
            if (poll && grabber.frames == before) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - wall0).count();
    const double frames = double(grabber.frames - frames0);
    state.counters["fps"] = frames / wall;
    state.counters["cpu_ms_per_frame"] = (CpuSeconds(CLOCK_PROCESS_CPUTIME_ID) - cpu0) * 1e3 / frames;
    state.counters["decompress_ms_per_frame"] = (grabber.decompressSeconds - decompress0) * 1e3 / frames;
    grabber.StopRecord();
}

BENCHMARK(BM_TestCameraCapture640x480)->Arg(30)->MinTime(3.0)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TestCameraCapture640x480)->Arg(1000)->MinTime(3.0)->UseRealTime()->Unit(benchmark::kMillisecond);

}  // namespace
