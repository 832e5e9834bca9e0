// The tint, mask and stencil stage per 640 x 480 frame. Every case hands the stage a new camera
// frame (B, G, R, A bytes in memory, uploaded by each render, as a camera's frames are), takes
// its output and renders it into a 640 x 480 BGRA bitmap through an offscreen Core Image
// context, which is what the frame loop pays for it:
//
//   Floor_Memcpy        a memcpy of the frame's 1228800 bytes.
//   Floor_PassThrough   the frame rendered as it is (the same upload, pass and read-back).
//   Stage/<switches>    the stage with its real filters: tint only, the drawn mask (inverted,
//                       multiplied), the stencil (multiplied), and every switch on (tint,
//                       stencil and mask as alpha).
#include <benchmark/benchmark.h>

#include <LumoraApp/ZodAzerController.h>
#include <LumoraApp/ZodAzerMaskImages.h>
#include <LumoraApp/ZodAzerMaskViewNibbler.h>

#include <AppKit/NSButton.h>
#include <CoreFoundation/CFData.h>
#include <CoreImage/CIContext.h>
#include <UICocoaControls/NSSlider.h>

#include <QApplication>

#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

constexpr int kWidth = 640, kHeight = 480;

QApplication *Application() {
    static QApplication *application = [] {
        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
        static int argc = 1;
        static char name[] = "TintMaskStageBench";
        static char *argv[] = {name, nullptr};
        return new QApplication(argc, argv);
    }();
    return application;
}

// A camera-like frame: a colour ramp, B, G, R, A bytes.
std::vector<uint8_t> FrameBytes() {
    std::vector<uint8_t> bytes(size_t(kWidth) * kHeight * 4);
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x) {
            uint8_t *p = &bytes[(size_t(y) * kWidth + x) * 4];
            p[0] = uint8_t(x * 255 / kWidth);
            p[1] = uint8_t(y * 255 / kHeight);
            p[2] = uint8_t((x + y) & 0xFF);
            p[3] = 255;
        }
    return bytes;
}

CIImageRef FrameImage(const std::vector<uint8_t> &bytes) {
    CFDataRef data = CFDataCreate(nullptr, bytes.data(), CFIndex(bytes.size()));
    CIImageRef image =
        CIImage::imageWithBitmapData(data, size_t(kWidth) * 4, CGSizeMake(kWidth, kHeight), kCIFormatBGRA8);
    CFRelease(data);
    return image;
}

CIImageRef Mask(uint8_t top, uint8_t bottom) {
    std::vector<uint8_t> bytes(size_t(kWidth) * kHeight);
    for (int y = 0; y < kHeight; ++y) std::memset(&bytes[size_t(y) * kWidth], y < kHeight / 2 ? top : bottom, kWidth);
    return ZodAzerMaskImages::imageOfGreyBytes(bytes.data(), kWidth, kHeight, kWidth);
}

struct Fixture {
    Fixture() {
        nibbler.setNibblerController(&tint);
        nibbler.setFilterMaskControllerView(&maskView);
        nibbler.setFilterMaskEnabled(&boxes[0]);
        nibbler.setFilterAlphaEnabled(&boxes[1]);
        nibbler.setSampleMaskEnabled(&boxes[2]);
        nibbler.setSampleAlphaEnabled(&boxes[3]);
        nibbler.setChromaTintEnabled(&boxes[4]);
        tint.setTintAmountSlider(&amount);
        amount.setMinValue(0);
        amount.setMaxValue(1);
        amount.setDoubleValue(0.75);
        nibbler.makeStageFilters();
        tint.setCachedGradientImage(
            CIImage::imageWithColor(CIColor::colorWithRed(1, 0.2, 0.1, 1))->imageByCroppingToRect(CGRectMake(0, 0, kWidth, kHeight)));
        nibbler.setStencilCIImage(Mask(200, 90));
        maskView.setMaskCIImage(Mask(30, 160));
    }
    void setSwitches(const char *bits) {
        for (int i = 0; i < 5; ++i) boxes[i].setState(bits[i] == '1' ? 1 : 0);
    }
    ZodAzerMaskViewNibbler nibbler;
    ZodAzerController tint;
    FilterMaskControllerView maskView;
    NSButton boxes[5];
    NSSlider amount;
};

Fixture &SharedFixture() {
    Application();  // before the fixture's widgets
    static Fixture *fixture = new Fixture;
    return *fixture;
}

CIContextRef Context() {
    static CIContextRef context = CIContext::offscreenContext();
    return context;
}

void Floor_Memcpy(benchmark::State &state) {
    const std::vector<uint8_t> frame = FrameBytes();
    std::vector<uint8_t> copy(frame.size());
    for (auto _ : state) {
        std::memcpy(copy.data(), frame.data(), frame.size());
        benchmark::DoNotOptimize(copy.data());
        benchmark::ClobberMemory();
    }
}

void Floor_PassThrough(benchmark::State &state) {
    const std::vector<uint8_t> frame = FrameBytes();
    std::vector<uint8_t> out(frame.size());
    const CGRect bounds = CGRectMake(0, 0, kWidth, kHeight);
    for (auto _ : state) {
        const CIImageRef image = FrameImage(frame);
        if (!Context()->render(image, out.data(), size_t(kWidth) * 4, bounds, kCIFormatBGRA8))
            state.SkipWithError("render failed");
    }
}

void Stage(benchmark::State &state, const char *switches) {
    Fixture &fixture = SharedFixture();
    fixture.setSwitches(switches);
    const std::vector<uint8_t> frame = FrameBytes();
    std::vector<uint8_t> out(frame.size());
    const CGRect bounds = CGRectMake(0, 0, kWidth, kHeight);
    for (auto _ : state) {
        fixture.nibbler.setInputImage(FrameImage(frame));
        const CIImageRef output = fixture.nibbler.outputImage();
        if (output == nullptr || !Context()->render(output, out.data(), size_t(kWidth) * 4, bounds, kCIFormatBGRA8))
            state.SkipWithError("stage render failed");
    }
}

BENCHMARK(Floor_Memcpy)->Unit(benchmark::kMicrosecond);
BENCHMARK(Floor_PassThrough)->Unit(benchmark::kMicrosecond)->UseRealTime();
// Switches: filter mask, filter alpha, sample mask, sample alpha, chroma tint.
BENCHMARK_CAPTURE(Stage, TintOnly, "00001")->Unit(benchmark::kMicrosecond)->UseRealTime();
BENCHMARK_CAPTURE(Stage, Mask, "10000")->Unit(benchmark::kMicrosecond)->UseRealTime();
BENCHMARK_CAPTURE(Stage, Stencil, "00100")->Unit(benchmark::kMicrosecond)->UseRealTime();
BENCHMARK_CAPTURE(Stage, AllOn, "11111")->Unit(benchmark::kMicrosecond)->UseRealTime();
BENCHMARK(Floor_PassThrough)->Name("Floor_PassThrough/again")->Unit(benchmark::kMicrosecond)->UseRealTime();

}  // namespace
