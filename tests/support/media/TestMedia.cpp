#include "support/media/TestMedia.h"

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <jpeglib.h>
#include <png.h>
#include <tiffio.h>

#include <cairo-pdf.h>
#include <cairo.h>
#include <unistd.h>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/imgutils.h>
}

namespace lumora::test {

std::vector<uint8_t> QuadrantPicture(int width, int height, uint8_t cornerAlpha) {
    std::vector<uint8_t> rgba(size_t(width) * height * 4);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const int quadrant = (y >= height / 2 ? 2 : 0) + (x >= width / 2 ? 1 : 0);
            const Colour &c = kQuadrantColours[quadrant];
            uint8_t *p = &rgba[(size_t(y) * width + x) * 4];
            p[0] = uint8_t(c.r), p[1] = uint8_t(c.g), p[2] = uint8_t(c.b);
            p[3] = quadrant == 3 ? cornerAlpha : 255;
        }
    }
    return rgba;
}

bool WritePNG(const std::string &path, int width, int height, const std::vector<uint8_t> &rgba, bool alpha,
              bool sixteenBit) {
    FILE *file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png != nullptr ? png_create_info_struct(png) : nullptr;
    bool ok = info != nullptr;
    const int channels = alpha ? 4 : 3;
    const int bytes = sixteenBit ? 2 : 1;
    std::vector<uint8_t> row(size_t(width) * channels * bytes);
    if (ok && setjmp(png_jmpbuf(png)) == 0) {
        png_init_io(png, file);
        png_set_IHDR(png, info, png_uint_32(width), png_uint_32(height), sixteenBit ? 16 : 8,
                     alpha ? PNG_COLOR_TYPE_RGBA : PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                     PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
        png_write_info(png, info);
        for (int y = 0; y < height; ++y) {
            size_t out = 0;
            for (int x = 0; x < width; ++x)
                for (int c = 0; c < channels; ++c)
                    for (int b = 0; b < bytes; ++b) row[out++] = rgba[(size_t(y) * width + x) * 4 + c];
            png_write_row(png, row.data());
        }
        png_write_end(png, nullptr);
    } else {
        ok = false;
    }
    png_destroy_write_struct(&png, &info);
    return std::fclose(file) == 0 && ok;
}

bool WriteJPEG(const std::string &path, int width, int height, const std::vector<uint8_t> &rgba,
               JpegColour colour) {
    FILE *file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) return false;
    const bool cmyk = colour != JpegColour::RGB;
    const int components = cmyk ? 4 : 3;
    jpeg_compress_struct cinfo;
    jpeg_error_mgr jerr;
    cinfo.err = jpeg_std_error(&jerr);
    jpeg_create_compress(&cinfo);
    jpeg_stdio_dest(&cinfo, file);
    cinfo.image_width = JDIMENSION(width);
    cinfo.image_height = JDIMENSION(height);
    cinfo.input_components = components;
    cinfo.in_color_space = cmyk ? JCS_CMYK : JCS_RGB;
    jpeg_set_defaults(&cinfo);
    if (colour == JpegColour::PlainCMYK) cinfo.write_Adobe_marker = FALSE;
    jpeg_set_quality(&cinfo, 95, TRUE);
    jpeg_start_compress(&cinfo, TRUE);
    std::vector<uint8_t> row(size_t(width) * components);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const uint8_t *p = &rgba[(size_t(y) * width + x) * 4];
            uint8_t *out = &row[size_t(x) * components];
            if (!cmyk) {
                std::memcpy(out, p, 3);
                continue;
            }
            // Ink: K takes the darkness, C, M, Y what is left of each channel.
            const int most = std::max({p[0], p[1], p[2]});
            for (int c = 0; c < 3; ++c) out[c] = uint8_t(most == 0 ? 0 : (most - p[c]) * 255 / most);
            out[3] = uint8_t(255 - most);
            if (colour == JpegColour::AdobeCMYK)
                for (int c = 0; c < 4; ++c) out[c] = uint8_t(255 - out[c]);
        }
        JSAMPROW rows[1] = {row.data()};
        jpeg_write_scanlines(&cinfo, rows, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    return std::fclose(file) == 0;
}

bool WriteTIFF(const std::string &path, int width, int height, const std::vector<uint8_t> &rgba, TiffAlpha alpha,
               bool floatSamples) {
    TIFF *tiff = TIFFOpen(path.c_str(), "w");
    if (tiff == nullptr) return false;
    const int samples = alpha == TiffAlpha::None ? 3 : 4;
    const int bytes = floatSamples ? 4 : 1;
    TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, uint32_t(width));
    TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, uint32_t(height));
    TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, uint16_t(samples));
    TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, uint16_t(bytes * 8));
    TIFFSetField(tiff, TIFFTAG_SAMPLEFORMAT, uint16_t(floatSamples ? SAMPLEFORMAT_IEEEFP : SAMPLEFORMAT_UINT));
    TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, uint16_t(PHOTOMETRIC_RGB));
    TIFFSetField(tiff, TIFFTAG_PLANARCONFIG, uint16_t(PLANARCONFIG_CONTIG));
    TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP, uint32_t(4));
    TIFFSetField(tiff, TIFFTAG_COMPRESSION, uint16_t(COMPRESSION_LZW));
    if (alpha != TiffAlpha::None) {
        const uint16_t kind = alpha == TiffAlpha::Associated ? EXTRASAMPLE_ASSOCALPHA : EXTRASAMPLE_UNASSALPHA;
        TIFFSetField(tiff, TIFFTAG_EXTRASAMPLES, uint16_t(1), &kind);
    }
    std::vector<uint8_t> row(size_t(width) * samples * bytes);
    bool ok = true;
    for (int y = 0; y < height && ok; ++y) {
        for (int x = 0; x < width; ++x) {
            const uint8_t *p = &rgba[(size_t(y) * width + x) * 4];
            for (int c = 0; c < samples; ++c) {
                // Associated colour is premultiplied, rounded as 8-bit writers round it.
                const double value = c < 3 && alpha == TiffAlpha::Associated ? p[c] * p[3] / 255.0 : p[c];
                uint8_t *out = &row[(size_t(x) * samples + c) * bytes];
                if (floatSamples) {
                    const float f = float(value / 255.0);
                    std::memcpy(out, &f, 4);
                } else {
                    *out = uint8_t(value + 0.5);
                }
            }
        }
        ok = TIFFWriteScanline(tiff, row.data(), uint32_t(y), 0) == 1;
    }
    TIFFClose(tiff);
    return ok;
}

bool WritePDF(const std::string &path, double width, double height, const std::function<void(cairo_t *)> &paint) {
    const std::string temporary = path + ".writing-" + std::to_string(getpid());
    cairo_surface_t *surface = cairo_pdf_surface_create(temporary.c_str(), width, height);
    cairo_t *cr = cairo_create(surface);
    if (paint) paint(cr);
    const bool drawn = cairo_status(cr) == CAIRO_STATUS_SUCCESS;
    cairo_destroy(cr);
    cairo_surface_finish(surface);
    const bool written = drawn && cairo_surface_status(surface) == CAIRO_STATUS_SUCCESS;
    cairo_surface_destroy(surface);
    if (!written || std::rename(temporary.c_str(), path.c_str()) != 0) {
        std::remove(temporary.c_str());
        return false;
    }
    return true;
}

bool WriteBlackPagePDF(const std::string &path, double width, double height) {
    return WritePDF(path, width, height, [](cairo_t *cr) { cairo_paint(cr); });
}

bool WriteMovie(const std::string &path, const char *codecName, int fps, const std::vector<Colour> &colours,
                const MovieOptions &options) {
    AVFormatContext *output = nullptr;
    if (codecName == nullptr || avformat_alloc_output_context2(&output, nullptr, nullptr, path.c_str()) < 0)
        return false;
    const AVCodec *codec = avcodec_find_encoder_by_name(codecName);
    AVStream *stream = avformat_new_stream(output, nullptr);
    AVCodecContext *context = codec != nullptr ? avcodec_alloc_context3(codec) : nullptr;
    AVFrame *frame = av_frame_alloc();
    AVPacket *packet = av_packet_alloc();
    const bool jpeg = std::strcmp(codecName, "mjpeg") == 0;
    bool ok = stream != nullptr && context != nullptr && frame != nullptr && packet != nullptr;
    if (ok) {
        context->width = kMovieWidth;
        context->height = kMovieHeight;
        context->time_base = AVRational{1, fps};
        context->framerate = AVRational{fps, 1};
        context->pix_fmt = jpeg ? AV_PIX_FMT_YUVJ420P : AV_PIX_FMT_YUV420P;
        context->gop_size = options.keyFrameInterval;
        context->max_b_frames = 0;
        context->flags |= AV_CODEC_FLAG_QSCALE;
        context->global_quality = FF_QP2LAMBDA * 2;
        if ((output->oformat->flags & AVFMT_GLOBALHEADER) != 0) context->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
        ok = avcodec_open2(context, codec, nullptr) >= 0 &&
             avcodec_parameters_from_context(stream->codecpar, context) >= 0;
    }
    if (ok) {
        stream->time_base = context->time_base;
        ok = avio_open(&output->pb, path.c_str(), AVIO_FLAG_WRITE) >= 0 && avformat_write_header(output, nullptr) >= 0;
    }
    const auto send = [&](const AVFrame *f) {
        if (avcodec_send_frame(context, f) < 0) return false;
        while (avcodec_receive_packet(context, packet) == 0) {
            packet->duration = options.frameDurations ? 1 : 0;  // one frame, in the codec's time base
            av_packet_rescale_ts(packet, context->time_base, stream->time_base);
            packet->stream_index = stream->index;
            if (av_interleaved_write_frame(output, packet) < 0) return false;
        }
        return true;
    };
    for (size_t k = 0; ok && k < colours.size(); ++k) {
        frame->format = context->pix_fmt;
        frame->width = kMovieWidth;
        frame->height = kMovieHeight;
        ok = av_frame_get_buffer(frame, 0) >= 0;
        if (!ok) break;
        // BT.601: full range for JPEG, limited range otherwise.
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
        const auto byte = [](double v) { return uint8_t(v < 0 ? 0 : v > 255 ? 255 : v + 0.5); };
        for (int row = 0; row < kMovieHeight; ++row)
            std::memset(frame->data[0] + row * frame->linesize[0], byte(y), kMovieWidth);
        for (int row = 0; row < kMovieHeight / 2; ++row) {
            std::memset(frame->data[1] + row * frame->linesize[1], byte(cb), kMovieWidth / 2);
            std::memset(frame->data[2] + row * frame->linesize[2], byte(cr), kMovieWidth / 2);
        }
        frame->pts = int64_t(k);
        ok = send(frame);
        av_frame_unref(frame);
    }
    if (ok) ok = send(nullptr) && av_write_trailer(output) >= 0;
    if (output->pb != nullptr) avio_closep(&output->pb);
    av_packet_free(&packet);
    av_frame_free(&frame);
    avcodec_free_context(&context);
    avformat_free_context(output);
    return ok;
}

Colour PixelAt(GWorldPtr world, int h, int v, int *alpha) {
    PixMapHandle pm = GetGWorldPixMap(world);
    const Rect bounds = (**pm).bounds;
    const uint8_t *p = reinterpret_cast<const uint8_t *>(GetPixBaseAddr(pm)) +
                       long(v - bounds.top) * GetPixRowBytes(pm) + (h - bounds.left) * 4;
    if (alpha != nullptr) *alpha = p[0];
    return Colour{p[1], p[2], p[3]};
}

bool Near(const Colour &a, const Colour &b, int tolerance) {
    return std::abs(a.r - b.r) <= tolerance && std::abs(a.g - b.g) <= tolerance && std::abs(a.b - b.b) <= tolerance;
}

std::string Text(const Colour &c) {
    return "(" + std::to_string(c.r) + ", " + std::to_string(c.g) + ", " + std::to_string(c.b) + ")";
}

FSRef RefOf(const std::string &path) {
    FSRef ref{};
    FSPathMakeRef(reinterpret_cast<const UInt8 *>(path.c_str()), &ref, nullptr);
    return ref;
}

bool OpenMovieInWorld(const std::string &path, Movie *movie, GWorldPtr *world) {
    *movie = nullptr;
    *world = nullptr;
    const FSRef ref = RefOf(path);
    Handle dataRef = nullptr;
    OSType type = 0;
    if (QTNewDataReferenceFromFSRef(&ref, 0, &dataRef, &type) != noErr) return false;
    const OSErr opened = NewMovieFromDataRef(movie, newMovieActive, nullptr, dataRef, type);
    DisposeHandle(dataRef);
    if (opened != noErr) return false;
    const Rect bounds{0, 0, kMovieHeight, kMovieWidth};
    if (QTNewGWorld(world, k32ARGBPixelFormat, &bounds, nullptr, nullptr, 0) != noErr) {
        DisposeMovie(*movie);
        *movie = nullptr;
        return false;
    }
    SetMovieGWorld(*movie, *world, nullptr);
    return true;
}

}  // namespace lumora::test
