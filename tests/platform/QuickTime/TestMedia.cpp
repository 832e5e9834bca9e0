#include "TestMedia.h"

#include <cstdio>
#include <cstring>

#include <jpeglib.h>
#include <png.h>
#include <tiffio.h>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/imgutils.h>
}

namespace qt_test {

std::vector<uint8_t> QuadrantPicture(int width, int height, uint8_t cornerAlpha) {
    std::vector<uint8_t> rgba(size_t(width) * height * 4);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const int quadrant = (y >= height / 2 ? 2 : 0) + (x >= width / 2 ? 1 : 0);
            uint8_t *p = &rgba[(size_t(y) * width + x) * 4];
            p[0] = uint8_t(kQuadrantColours[quadrant].r);
            p[1] = uint8_t(kQuadrantColours[quadrant].g);
            p[2] = uint8_t(kQuadrantColours[quadrant].b);
            p[3] = quadrant == 3 ? cornerAlpha : 255;
        }
    }
    return rgba;
}

bool WritePNG(const std::string &path, int width, int height, const std::vector<uint8_t> &rgba, bool alpha) {
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    image.width = png_uint_32(width);
    image.height = png_uint_32(height);
    image.format = PNG_FORMAT_RGBA;
    std::vector<uint8_t> pixels = rgba;
    if (!alpha) {
        image.format = PNG_FORMAT_RGB;
        pixels.clear();
        for (size_t i = 0; i < rgba.size(); i += 4) pixels.insert(pixels.end(), {rgba[i], rgba[i + 1], rgba[i + 2]});
    }
    return png_image_write_to_file(&image, path.c_str(), 0, pixels.data(), 0, nullptr) != 0;
}

bool WriteJPEG(const std::string &path, int width, int height, const std::vector<uint8_t> &rgba) {
    FILE *file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) return false;
    jpeg_compress_struct info;
    jpeg_error_mgr error;
    info.err = jpeg_std_error(&error);
    jpeg_create_compress(&info);
    jpeg_stdio_dest(&info, file);
    info.image_width = JDIMENSION(width);
    info.image_height = JDIMENSION(height);
    info.input_components = 4;
    info.in_color_space = JCS_EXT_RGBA;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, 95, TRUE);
    jpeg_start_compress(&info, TRUE);
    while (info.next_scanline < info.image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(&rgba[size_t(info.next_scanline) * width * 4]);
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    return std::fclose(file) == 0;
}

bool WriteTIFF(const std::string &path, int width, int height, const std::vector<uint8_t> &rgba) {
    TIFF *tiff = TIFFOpen(path.c_str(), "w");
    if (tiff == nullptr) return false;
    TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, uint32_t(width));
    TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, uint32_t(height));
    TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, uint16_t(3));
    TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, uint16_t(8));
    TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, uint16_t(PHOTOMETRIC_RGB));
    TIFFSetField(tiff, TIFFTAG_PLANARCONFIG, uint16_t(PLANARCONFIG_CONTIG));
    TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP, uint32_t(4));
    TIFFSetField(tiff, TIFFTAG_COMPRESSION, uint16_t(COMPRESSION_LZW));
    std::vector<uint8_t> row(size_t(width) * 3);
    bool ok = true;
    for (int y = 0; y < height && ok; ++y) {
        for (int x = 0; x < width; ++x)
            std::memcpy(&row[size_t(x) * 3], &rgba[(size_t(y) * width + x) * 4], 3);
        ok = TIFFWriteScanline(tiff, row.data(), uint32_t(y), 0) == 1;
    }
    TIFFClose(tiff);
    return ok;
}

bool WriteMovie(const std::string &path, const char *codecName, int fps, const std::vector<RGB> &colours) {
    constexpr int kWidth = 64, kHeight = 48;
    AVFormatContext *output = nullptr;
    if (avformat_alloc_output_context2(&output, nullptr, nullptr, path.c_str()) < 0) return false;
    const AVCodec *codec = avcodec_find_encoder_by_name(codecName);
    AVStream *stream = avformat_new_stream(output, nullptr);
    AVCodecContext *context = codec != nullptr ? avcodec_alloc_context3(codec) : nullptr;
    AVFrame *frame = av_frame_alloc();
    AVPacket *packet = av_packet_alloc();
    const bool jpeg = std::strcmp(codecName, "mjpeg") == 0;
    bool ok = stream != nullptr && context != nullptr && frame != nullptr && packet != nullptr;
    if (ok) {
        context->width = kWidth;
        context->height = kHeight;
        context->time_base = AVRational{1, fps};
        context->framerate = AVRational{fps, 1};
        context->pix_fmt = jpeg ? AV_PIX_FMT_YUVJ420P : AV_PIX_FMT_YUV420P;
        context->gop_size = 3;
        context->max_b_frames = 0;
        context->flags |= AV_CODEC_FLAG_QSCALE;
        context->global_quality = FF_QP2LAMBDA * 2;
        if (output->oformat->flags & AVFMT_GLOBALHEADER) context->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
        ok = avcodec_open2(context, codec, nullptr) >= 0 &&
             avcodec_parameters_from_context(stream->codecpar, context) >= 0;
    }
    if (ok) {
        stream->time_base = context->time_base;
        ok = avio_open(&output->pb, path.c_str(), AVIO_FLAG_WRITE) >= 0 && avformat_write_header(output, nullptr) >= 0;
    }
    auto drain = [&](bool flush) {
        if (avcodec_send_frame(context, flush ? nullptr : frame) < 0) return false;
        while (avcodec_receive_packet(context, packet) == 0) {
            packet->duration = 1;  // one frame, in the codec's time base
            av_packet_rescale_ts(packet, context->time_base, stream->time_base);
            packet->stream_index = stream->index;
            if (av_interleaved_write_frame(output, packet) < 0) return false;
        }
        return true;
    };
    for (size_t k = 0; ok && k < colours.size(); ++k) {
        frame->format = context->pix_fmt;
        frame->width = kWidth;
        frame->height = kHeight;
        ok = av_frame_get_buffer(frame, 0) >= 0;
        if (!ok) break;
        const double r = colours[k].r, g = colours[k].g, b = colours[k].b;
        double y, cb, cr;
        if (jpeg) {
            y = 0.299 * r + 0.587 * g + 0.114 * b;
            cb = 128 - 0.168736 * r - 0.331264 * g + 0.5 * b;
            cr = 128 + 0.5 * r - 0.418688 * g - 0.081312 * b;
        } else {
            y = 16 + (65.481 * r + 128.553 * g + 24.966 * b) / 255;
            cb = 128 + (-37.797 * r - 74.203 * g + 112.0 * b) / 255;
            cr = 128 + (112.0 * r - 93.786 * g - 18.214 * b) / 255;
        }
        auto clamp = [](double v) { return uint8_t(v < 0 ? 0 : v > 255 ? 255 : v + 0.5); };
        for (int row = 0; row < kHeight; ++row) std::memset(frame->data[0] + row * frame->linesize[0], clamp(y), kWidth);
        for (int row = 0; row < kHeight / 2; ++row) {
            std::memset(frame->data[1] + row * frame->linesize[1], clamp(cb), kWidth / 2);
            std::memset(frame->data[2] + row * frame->linesize[2], clamp(cr), kWidth / 2);
        }
        frame->pts = int64_t(k);
        ok = drain(false);
        av_frame_unref(frame);
    }
    if (ok) ok = drain(true) && av_write_trailer(output) >= 0;
    if (output->pb != nullptr) avio_closep(&output->pb);
    av_packet_free(&packet);
    av_frame_free(&frame);
    avcodec_free_context(&context);
    avformat_free_context(output);
    return ok;
}

RGB PixelAt(GWorldPtr world, int h, int v, int *alpha) {
    PixMapHandle pm = GetGWorldPixMap(world);
    const Rect bounds = (**pm).bounds;
    const uint8_t *p = reinterpret_cast<const uint8_t *>(GetPixBaseAddr(pm)) +
                       (v - bounds.top) * GetPixRowBytes(pm) + (h - bounds.left) * 4;
    if (alpha != nullptr) *alpha = p[0];
    return RGB{p[1], p[2], p[3]};
}

FSRef RefOf(const std::string &path) {
    FSRef ref{};
    FSPathMakeRef(reinterpret_cast<const UInt8 *>(path.c_str()), &ref, nullptr);
    return ref;
}

}  // namespace qt_test
