// The cost of encoding one rendered 640 x 480 BGRA frame into a still-frame movie, for every
// compressor the build offers, against a memcpy of the same frame (the floor) in the same
// run. Each iteration writes one frame (a new moving pattern each time) into an open movie.
#include <benchmark/benchmark.h>

#include <QTKit/MovieFileWriter.h>

#include <QuickTime/CodecEncoders.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <unistd.h>

namespace {

constexpr int kWidth = 640;
constexpr int kHeight = 480;
constexpr size_t kRowBytes = kWidth * 4;

// Frames that change as rendered effects do: moving bars over a gradient.
std::vector<std::vector<uint8_t>> Frames() {
    std::vector<std::vector<uint8_t>> frames(8, std::vector<uint8_t>(kRowBytes * kHeight));
    for (size_t f = 0; f < frames.size(); ++f)
        for (int y = 0; y < kHeight; ++y)
            for (int x = 0; x < kWidth; ++x) {
                uint8_t *p = &frames[f][size_t(y) * kRowBytes + size_t(x) * 4];
                const bool bar = ((x + int(f) * 8) / 40) % 2 == 0;
                p[0] = uint8_t(bar ? 240 : x * 255 / kWidth);
                p[1] = uint8_t(y * 255 / kHeight);
                p[2] = uint8_t(bar ? 30 : (x + y) / 5);
                p[3] = 255;
            }
    return frames;
}

std::string Folder() {
    const char *base = std::getenv("TMPDIR");
    std::string folder = std::string(base != nullptr && *base != '\0' ? base : "/tmp") + "/lumora-bench-movie-XXXXXX";
    if (mkdtemp(folder.data()) == nullptr) return {};
    return folder;
}

void BM_Floor_MemcpyFrame(benchmark::State &state) {
    const auto frames = Frames();
    std::vector<uint8_t> target(kRowBytes * kHeight);
    size_t n = 0;
    for (auto _ : state) {
        std::memcpy(target.data(), frames[n++ % frames.size()].data(), target.size());
        benchmark::DoNotOptimize(target.data());
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_Floor_MemcpyFrame);

void BM_EncodeFrame(benchmark::State &state) {
    const auto &codecs = lumora::qt::AvailableCodecEncoders();
    const size_t index = size_t(state.range(0));
    if (index >= codecs.size()) {
        state.SkipWithError("compressor not in this build");
        return;
    }
    state.SetLabel(codecs[index].typeName);
    const auto frames = Frames();
    const std::string folder = Folder();
    const std::string path = folder + "/bench.mov";
    lumora::qtkit::MovieFileWriter writer;
    lumora::qtkit::MovieFileWriter::Format format;
    format.pixelFormat = 'BGRA';
    format.codec = codecs[index].type;
    format.timeScale = 600;
    format.quality = codecHighQuality;
    if (folder.empty() || writer.Open(path, kWidth, kHeight, format) != noErr) {
        state.SkipWithError("the movie cannot be made");
        return;
    }
    int64_t time = 0;
    size_t n = 0;
    for (auto _ : state) {
        if (writer.WriteFrame(frames[n++ % frames.size()].data(), kRowBytes, time, 20) != noErr) {
            state.SkipWithError("write failed");
            break;
        }
        time += 20;
    }
    writer.Finish();
    unlink(path.c_str());
    rmdir(folder.c_str());
}
BENCHMARK(BM_EncodeFrame)->DenseRange(0, 5)->Unit(benchmark::kMicrosecond);

}  // namespace

