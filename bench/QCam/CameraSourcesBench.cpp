// The camera source switcher's cost per 640 x 480 frame, source by source, against the floor
// of one memcpy of a 640 x 480 '2vuy' frame (614400 bytes) in the same run:
//
//   Memcpy2vuyFrame          the floor
//   CameraFrame/0,1,2        one test-camera frame (captured once) through the switcher's
//                            camera path into the sink: plain copy (0), through the luma
//                            table (1), with low-light equalisation (2)
//   CameraTick               a grab tick that waits for the next test-camera frame (the
//                            camera runs at 1000 frames per second: about 1 ms is its pacing,
//                            the rest its pattern drawing and the switcher's work)
//   StillFrame               a still source's tick (the converted frame copied into the sink)
//   StillImageDraw           a 640 x 480 PNG drawn into the still bitmap and converted
//   PDFPageDraw              a PDF page drawn into the still bitmap and converted
//   MovieFrame               one MPEG-4 640 x 480 movie frame decoded into the 2vuy world and
//                            written into the sink
#include <benchmark/benchmark.h>

#include <CoreFoundation/CFURL.h>
#include <CoreGraphics/CGPDFContext.h>
#include <CoreGraphics/CoreGraphics.h>
#include <ImageIO/ImageIO.h>
#include <QCam/Camera/QCamDefaultCaptureFormat.h>
#include <QCam/Camera/QCamOutputBase.h>
#include <QCam/Camera/QCamReflecter.h>
#include <QuickTime/FixMath.h>
#include <QuickTime/Movies.h>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/imgutils.h>
}

#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

constexpr int kWidth = 640, kHeight = 480;

std::string TempPath(const char *name) {
    const char *dir = std::getenv("TMPDIR");
    return std::string(dir != nullptr ? dir : "/tmp") + "/lumora-qcam-bench-" + std::to_string(::getpid()) + "-" + name;
}

CFURLRef URLOf(const std::string &path) {
    return CFURLCreateFromFileSystemRepresentation(nullptr, reinterpret_cast<const UInt8 *>(path.c_str()),
                                                   CFIndex(path.size()), false);
}

// Bars of eight colours.
void PaintBars(CGContextRef context, double width, double height) {
    const double colours[8][3] = {{1, 1, 1}, {1, 1, 0}, {0, 1, 1}, {0, 1, 0}, {1, 0, 1}, {1, 0, 0}, {0, 0, 1}, {0, 0, 0}};
    for (int i = 0; i < 8; ++i) {
        CGContextSetRGBFillColor(context, colours[i][0], colours[i][1], colours[i][2], 1);
        CGContextFillRect(context, CGRectMake(i * width / 8, 0, width / 8, height));
    }
}

bool WritePNG(const std::string &path) {
    CGColorSpaceRef space = CGColorSpaceCreateDeviceRGB();
    CGContextRef bitmap = CGBitmapContextCreate(nullptr, kWidth, kHeight, 8, 0, space, kCGImageAlphaPremultipliedFirst);
    CGColorSpaceRelease(space);
    if (bitmap == nullptr) return false;
    PaintBars(bitmap, kWidth, kHeight);
    CGImageRef image = CGBitmapContextCreateImage(bitmap);
    CGContextRelease(bitmap);
    CFURLRef url = URLOf(path);
    CGImageDestinationRef destination = CGImageDestinationCreateWithURL(url, kUTTypePNG, 1, nullptr);
    CFRelease(url);
    bool ok = destination != nullptr && image != nullptr;
    if (ok) {
        CGImageDestinationAddImage(destination, image, nullptr);
        ok = CGImageDestinationFinalize(destination);
    }
    if (destination != nullptr) CFRelease(destination);
    if (image != nullptr) CGImageRelease(image);
    return ok;
}

bool WritePDF(const std::string &path) {
    CFURLRef url = URLOf(path);
    const CGRect box = CGRectMake(0, 0, kWidth, kHeight);
    CGContextRef pdf = CGPDFContextCreateWithURL(url, &box, nullptr);
    CFRelease(url);
    if (pdf == nullptr) return false;
    CGPDFContextBeginPage(pdf, nullptr);
    PaintBars(pdf, kWidth, kHeight);
    CGContextSetRGBFillColor(pdf, 0.2, 0.4, 0.8, 1);
    CGContextFillEllipseInRect(pdf, CGRectMake(160, 120, 320, 240));
    CGPDFContextEndPage(pdf);
    CGPDFContextClose(pdf);
    CGContextRelease(pdf);
    return true;
}

// An MPEG-4 movie of `frames` frames at 30 per second, each a moving gradient.
bool WriteMovie(const std::string &path, int frames) {
    AVFormatContext *format = nullptr;
    if (avformat_alloc_output_context2(&format, nullptr, "mov", path.c_str()) < 0) return false;
    const AVCodec *codec = avcodec_find_encoder(AV_CODEC_ID_MPEG4);
    AVStream *stream = codec != nullptr ? avformat_new_stream(format, nullptr) : nullptr;
    AVCodecContext *encoder = codec != nullptr ? avcodec_alloc_context3(codec) : nullptr;
    AVFrame *frame = av_frame_alloc();
    AVPacket *packet = av_packet_alloc();
    bool ok = stream != nullptr && encoder != nullptr && frame != nullptr && packet != nullptr;
    if (ok) {
        encoder->width = kWidth;
        encoder->height = kHeight;
        encoder->pix_fmt = AV_PIX_FMT_YUV420P;
        encoder->time_base = AVRational{1, 30};
        encoder->framerate = AVRational{30, 1};
        encoder->gop_size = 10;
        encoder->bit_rate = 4000000;
        if (format->oformat->flags & AVFMT_GLOBALHEADER) encoder->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
        ok = avcodec_open2(encoder, codec, nullptr) >= 0 &&
             avcodec_parameters_from_context(stream->codecpar, encoder) >= 0;
        stream->time_base = encoder->time_base;
    }
    ok = ok && avio_open(&format->pb, path.c_str(), AVIO_FLAG_WRITE) >= 0 && avformat_write_header(format, nullptr) >= 0;
    if (ok) {
        frame->format = encoder->pix_fmt;
        frame->width = kWidth;
        frame->height = kHeight;
        ok = av_frame_get_buffer(frame, 0) >= 0;
    }
    auto drain = [&](AVFrame *input) {
        if (avcodec_send_frame(encoder, input) < 0) return false;
        while (avcodec_receive_packet(encoder, packet) >= 0) {
            av_packet_rescale_ts(packet, encoder->time_base, stream->time_base);
            packet->stream_index = stream->index;
            if (av_interleaved_write_frame(format, packet) < 0) return false;
        }
        return true;
    };
    for (int n = 0; ok && n < frames; ++n) {
        ok = av_frame_make_writable(frame) >= 0;
        for (int y = 0; ok && y < kHeight; ++y)
            for (int x = 0; x < kWidth; ++x) frame->data[0][y * frame->linesize[0] + x] = uint8_t(x + y + n * 3);
        for (int y = 0; ok && y < kHeight / 2; ++y)
            for (int x = 0; x < kWidth / 2; ++x) {
                frame->data[1][y * frame->linesize[1] + x] = uint8_t(128 + y / 4);
                frame->data[2][y * frame->linesize[2] + x] = uint8_t(64 + x / 4 + n);
            }
        frame->pts = n;
        ok = ok && drain(frame);
    }
    ok = ok && drain(nullptr) && av_write_trailer(format) >= 0;
    av_packet_free(&packet);
    av_frame_free(&frame);
    avcodec_free_context(&encoder);
    if (format->pb != nullptr) avio_closep(&format->pb);
    avformat_free_context(format);
    return ok;
}

// A switcher writing into a sink, with its buffers made.
struct Switcher {
    QCamOutputBuffer sink;
    QCamReflecter reflecter;
    Switcher() {
        reflecter.SetOutput(&sink);
        reflecter.SetOutputEnabled(true);
        reflecter.AllocateOutputBuffers();
    }
};

void BM_Memcpy2vuyFrame(benchmark::State &state) {
    std::vector<uint8_t> a(size_t(kWidth) * kHeight * 2, 16), b(a.size());
    for (auto _ : state) {
        std::memcpy(b.data(), a.data(), a.size());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(a.size()));
}
BENCHMARK(BM_Memcpy2vuyFrame);

// Keeps a copy of the last camera frame's data.
class CapturingReflecter : public QCamReflecter {
public:
    std::vector<char> lastFrame;
    OSErr DefaultDataProc(Ptr data, long dataSize) override {
        lastFrame.assign(data, data + dataSize);
        return QCamReflecter::DefaultDataProc(data, dataSize);
    }
};

void BM_CameraFrame(benchmark::State &state) {
    ::setenv("LUMORA_TEST_CAMERA", "1", 1);
    QCamOutputBuffer sink;
    CapturingReflecter reflecter;
    reflecter.SetOutput(&sink);
    reflecter.SetOutputEnabled(true);
    const Rect rect = QCamDefaultCaptureFormat::Get().FrameRect();
    if (reflecter.BeginCamera(rect, 32, nullptr) != noErr || reflecter.StartRecord() != noErr) {
        state.SkipWithError("the test camera could not be opened");
        return;
    }
    reflecter.SetPlayState(1);
    while (reflecter.lastFrame.empty()) reflecter.GrabTick();
    if (state.range(0) >= 1) reflecter.SetImageAdjustmentsEnabled(true);
    if (state.range(0) == 2) reflecter.SetLowLight(true);
    for (auto _ : state) reflecter.CameraFrameArrived(reflecter.lastFrame.data(), long(reflecter.lastFrame.size()));
    reflecter.EndCamera();
}
BENCHMARK(BM_CameraFrame)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMicrosecond);

void BM_CameraTick(benchmark::State &state) {
    ::setenv("LUMORA_TEST_CAMERA", "1", 1);
    Switcher s;
    const Rect rect = QCamDefaultCaptureFormat::Get().FrameRect();
    if (s.reflecter.BeginCamera(rect, 32, nullptr) != noErr ||
        SGSetFrameRate(s.reflecter.mVideoChannel, Long2Fix(1000)) != noErr || s.reflecter.Prepare() != noErr ||
        s.reflecter.StartRecord() != noErr) {
        state.SkipWithError("the test camera could not be opened");
        return;
    }
    s.reflecter.SetPlayState(1);
    for (auto _ : state) {
        do {
            s.reflecter.GrabTick();
        } while (s.reflecter.mFramesThisTick == 0);
    }
    s.reflecter.EndCamera();
}
BENCHMARK(BM_CameraTick)->Unit(benchmark::kMicrosecond);

void BM_StillFrame(benchmark::State &state) {
    Switcher s;
    s.reflecter.SetSourceMode(QCamReflecter::kSourceStill, true);
    for (auto _ : state) s.reflecter.GrabTick();
}
BENCHMARK(BM_StillFrame)->Unit(benchmark::kMicrosecond);

void BM_StillImageDraw(benchmark::State &state) {
    const std::string path = TempPath("still.png");
    if (!WritePNG(path)) {
        state.SkipWithError("the PNG could not be written");
        return;
    }
    CFURLRef url = URLOf(path);
    Switcher s;
    for (auto _ : state) s.reflecter.DrawStillDocument(true, url);
    CFRelease(url);
    ::unlink(path.c_str());
}
BENCHMARK(BM_StillImageDraw)->Unit(benchmark::kMicrosecond);

void BM_PDFPageDraw(benchmark::State &state) {
    const std::string path = TempPath("page.pdf");
    if (!WritePDF(path)) {
        state.SkipWithError("the PDF could not be written");
        return;
    }
    CFURLRef url = URLOf(path);
    Switcher s;
    for (auto _ : state) s.reflecter.DrawStillDocument(false, url);
    CFRelease(url);
    ::unlink(path.c_str());
}
BENCHMARK(BM_PDFPageDraw)->Unit(benchmark::kMicrosecond);

void BM_MovieFrame(benchmark::State &state) {
    constexpr int kFrames = 120;
    const std::string path = TempPath("movie.mov");
    if (!WriteMovie(path, kFrames)) {
        state.SkipWithError("the movie could not be written");
        return;
    }
    CFURLRef url = URLOf(path);
    Switcher s;
    s.reflecter.OpenMovieFile(url);
    CFRelease(url);
    Movie movie = s.reflecter.CurrentMovie();
    if (movie == nullptr || !s.reflecter.mMovieDrawn2vuy) {
        state.SkipWithError("the movie did not open into the 2vuy frame");
        ::unlink(path.c_str());
        return;
    }
    s.reflecter.MoviePlayer().Stop();
    const TimeScale scale = GetMovieTimeScale(movie);
    int n = 0;
    for (auto _ : state) {
        // The next frame, forward: one decode, one draw, one write into the sink.
        n = (n + 1) % kFrames;
        SetMovieTimeValue(movie, TimeValue(int64_t(n) * scale / 30 + scale / 60));
        MoviesTask(movie, 0);
    }
    ::unlink(path.c_str());
}
BENCHMARK(BM_MovieFrame)->Unit(benchmark::kMicrosecond);

}  // namespace
