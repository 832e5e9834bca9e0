// The camera's frames through a decompression sequence, 640 x 480: a UYVY ('2vuy') frame
// and a Motion JPEG frame (4:2:2 subsampled, quality 85, as webcams send them), each drawn
// 1:1 into a 32-bit ARGB world and into a '2vuy' world. CPU time per frame is the
// benchmark's own time (the process runs on one thread).
//
// Floors, in the same run: libjpeg-turbo decoding the same JPEG straight into one RGBA
// buffer (the least any JPEG path costs), libswscale converting the UYVY frame to ARGB in
// one call, and one memcpy of the UYVY frame.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <vector>

extern "C" {
#include <jpeglib.h>
#include <libswscale/swscale.h>
}

#include <QuickTime/ImageCompression.h>
#include <QuickTime/MacMemory.h>
#include <QuickTime/QuickDraw.h>

namespace {

constexpr int kWidth = 640;
constexpr int kHeight = 480;

// A picture with gradients and bars, as 8-bit RGB.
std::vector<uint8_t> PictureRGB() {
    std::vector<uint8_t> rgb(size_t(kWidth) * kHeight * 3);
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x) {
            uint8_t *p = &rgb[(size_t(y) * kWidth + x) * 3];
            p[0] = uint8_t(x * 255 / (kWidth - 1));
            p[1] = uint8_t(y * 255 / (kHeight - 1));
            p[2] = uint8_t(((x / 40) & 1) ? 220 : 30);
        }
    return rgb;
}

// The picture as a baseline JPEG, Y'CbCr 4:2:2.
std::vector<uint8_t> MotionJpegFrame() {
    const std::vector<uint8_t> rgb = PictureRGB();
    jpeg_compress_struct info;
    jpeg_error_mgr error;
    info.err = jpeg_std_error(&error);
    jpeg_create_compress(&info);
    unsigned char *out = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&info, &out, &size);
    info.image_width = kWidth;
    info.image_height = kHeight;
    info.input_components = 3;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, 85, TRUE);
    info.comp_info[0].h_samp_factor = 2;
    info.comp_info[0].v_samp_factor = 1;
    jpeg_start_compress(&info, TRUE);
    while (info.next_scanline < info.image_height) {
        JSAMPROW row = const_cast<uint8_t *>(&rgb[size_t(info.next_scanline) * kWidth * 3]);
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    std::vector<uint8_t> frame(out, out + size);
    jpeg_destroy_compress(&info);
    free(out);
    return frame;
}

// The picture as UYVY rows (BT.601 video range, what the test camera sends).
std::vector<uint8_t> UyvyFrame() {
    const std::vector<uint8_t> rgb = PictureRGB();
    std::vector<uint8_t> frame(size_t(kWidth) * kHeight * 2);
    auto y = [](const uint8_t *p) { return 16 + (66 * p[0] + 129 * p[1] + 25 * p[2] + 128) / 256; };
    for (size_t i = 0; i < size_t(kWidth) * kHeight / 2; ++i) {
        const uint8_t *p = &rgb[i * 6];
        frame[i * 4 + 0] = uint8_t(128 + (-38 * p[0] - 74 * p[1] + 112 * p[2] + 128) / 256);
        frame[i * 4 + 1] = uint8_t(y(p));
        frame[i * 4 + 2] = uint8_t(128 + (112 * p[0] - 94 * p[1] - 18 * p[2] + 128) / 256);
        frame[i * 4 + 3] = uint8_t(y(p + 3));
    }
    return frame;
}

const std::vector<uint8_t> &Frame(bool jpeg) {
    static const std::vector<uint8_t> kJpeg = MotionJpegFrame();
    static const std::vector<uint8_t> kUyvy = UyvyFrame();
    return jpeg ? kJpeg : kUyvy;
}

// state.range(0): 0 UYVY, 1 JPEG; state.range(1): 0 ARGB world, 1 '2vuy' world.
void BM_DecompressFrame640x480(benchmark::State &state) {
    const bool jpeg = state.range(0) != 0;
    const OSType worldFormat = state.range(1) != 0 ? k2vuyPixelFormat : k32ARGBPixelFormat;
    state.SetLabel(std::string(jpeg ? "MJPEG" : "UYVY") + (state.range(1) != 0 ? " -> 2vuy" : " -> ARGB"));
    std::vector<uint8_t> frame = Frame(jpeg);

    const Rect bounds{0, 0, kHeight, kWidth};
    GWorldPtr world = nullptr;
    if (QTNewGWorld(&world, worldFormat, &bounds, nullptr, nullptr, 0) != noErr) {
        state.SkipWithError("no world");
        return;
    }
    auto desc = reinterpret_cast<ImageDescriptionHandle>(NewHandleClear(sizeof(ImageDescription)));
    (**desc).idSize = sizeof(ImageDescription);
    (**desc).cType = jpeg ? CodecType(kJPEGCodecType) : CodecType(k2vuyPixelFormat);
    (**desc).width = kWidth;
    (**desc).height = kHeight;
    ImageSequence sequence = 0;
    if (DecompressSequenceBegin(&sequence, desc, world, nullptr, nullptr, nullptr, srcCopy, nullptr, 0,
                                codecNormalQuality, anyCodec) != noErr) {
        state.SkipWithError("no sequence");
        DisposeGWorld(world);
        return;
    }
    DisposeHandle(reinterpret_cast<Handle>(desc));
    for (auto _ : state) {
        if (DecompressSequenceFrameS(sequence, reinterpret_cast<Ptr>(frame.data()), long(frame.size()), 0, nullptr,
                                     nullptr) != noErr) {
            state.SkipWithError("frame failed");
            break;
        }
        benchmark::ClobberMemory();
    }
    CDSequenceEnd(sequence);
    DisposeGWorld(world);
}

BENCHMARK(BM_DecompressFrame640x480)
    ->ArgsProduct({{0, 1}, {0, 1}})
    ->MinTime(1.0)
    ->Unit(benchmark::kMillisecond);

// Floor: libjpeg-turbo straight into one RGBA buffer.
void BM_Floor_JpegDecodeRGBA640x480(benchmark::State &state) {
    const std::vector<uint8_t> &frame = Frame(true);
    std::vector<uint8_t> pixels(size_t(kWidth) * kHeight * 4);
    for (auto _ : state) {
        jpeg_decompress_struct info;
        jpeg_error_mgr error;
        info.err = jpeg_std_error(&error);
        jpeg_create_decompress(&info);
        jpeg_mem_src(&info, frame.data(), frame.size());
        jpeg_read_header(&info, TRUE);
        info.out_color_space = JCS_EXT_ARGB;
        jpeg_start_decompress(&info);
        while (info.output_scanline < info.output_height) {
            JSAMPROW row = &pixels[size_t(info.output_scanline) * kWidth * 4];
            jpeg_read_scanlines(&info, &row, 1);
        }
        jpeg_finish_decompress(&info);
        jpeg_destroy_decompress(&info);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_Floor_JpegDecodeRGBA640x480)->MinTime(1.0)->Unit(benchmark::kMillisecond);

// Floor: libswscale, UYVY to ARGB in one call into the destination.
void BM_Floor_SwscaleUyvyToARGB640x480(benchmark::State &state) {
    const std::vector<uint8_t> &frame = Frame(false);
    std::vector<uint8_t> pixels(size_t(kWidth) * kHeight * 4);
    SwsContext *context = sws_getContext(kWidth, kHeight, AV_PIX_FMT_UYVY422, kWidth, kHeight, AV_PIX_FMT_ARGB,
                                         SWS_BILINEAR | SWS_ACCURATE_RND | SWS_FULL_CHR_H_INT, nullptr, nullptr,
                                         nullptr);
    const uint8_t *src[4] = {frame.data(), nullptr, nullptr, nullptr};
    const int srcStride[4] = {kWidth * 2, 0, 0, 0};
    uint8_t *dst[4] = {pixels.data(), nullptr, nullptr, nullptr};
    const int dstStride[4] = {kWidth * 4, 0, 0, 0};
    for (auto _ : state) {
        sws_scale(context, src, srcStride, 0, kHeight, dst, dstStride);
        benchmark::ClobberMemory();
    }
    sws_freeContext(context);
}
BENCHMARK(BM_Floor_SwscaleUyvyToARGB640x480)->MinTime(1.0)->Unit(benchmark::kMillisecond);

// Floor: one copy of the UYVY frame.
void BM_Floor_MemcpyUyvy640x480(benchmark::State &state) {
    const std::vector<uint8_t> &frame = Frame(false);
    std::vector<uint8_t> copy(frame.size());
    for (auto _ : state) {
        std::memcpy(copy.data(), frame.data(), frame.size());
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_Floor_MemcpyUyvy640x480)->MinTime(1.0)->Unit(benchmark::kMillisecond);

}  // namespace
