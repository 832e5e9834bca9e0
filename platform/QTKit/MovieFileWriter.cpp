#include "MovieFileWriter.h"

#include <QuickTime/CodecEncoders.h>
#include <QuickTime/Movies.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <map>
#include <string>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/imgutils.h>
#include <libswscale/swscale.h>
}

namespace lumora::qtkit {

struct MovieFileWriter::State {
    std::string path;
    std::string temporary;
    AVFormatContext *format = nullptr;
    AVCodecContext *encoder = nullptr;
    AVStream *stream = nullptr;
    AVFrame *frame = nullptr;
    AVPacket *packet = nullptr;
    SwsContext *scaler = nullptr;
    int width = 0;
    int height = 0;
    int64_t lastPts = -1;
    int64_t endTime = 0;
    int64_t frames = 0;
    int sourceFormat = AV_PIX_FMT_UYVY422;
    std::map<int64_t, int64_t> durations;  // by presentation time, for packets without one
    bool headerWritten = false;

    ~State() {
        sws_freeContext(scaler);
        av_packet_free(&packet);
        av_frame_free(&frame);
        avcodec_free_context(&encoder);
        if (format != nullptr) {
            if (format->pb != nullptr) avio_closep(&format->pb);
            avformat_free_context(format);
        }
        if (!temporary.empty()) unlink(temporary.c_str());
    }

    OSErr Drain() {
        for (;;) {
            const int got = avcodec_receive_packet(encoder, packet);
            if (got == AVERROR(EAGAIN) || got == AVERROR_EOF) return noErr;
            if (got < 0) return ioErr;
            if (const auto known = durations.find(packet->pts); known != durations.end()) {
                if (packet->duration <= 0) packet->duration = known->second;
                durations.erase(known);
            }
            av_packet_rescale_ts(packet, encoder->time_base, stream->time_base);
            packet->stream_index = stream->index;
            const int written = av_interleaved_write_frame(format, packet);
            av_packet_unref(packet);
            if (written < 0) return ioErr;
        }
    }
};

MovieFileWriter::MovieFileWriter() = default;
MovieFileWriter::~MovieFileWriter() = default;

int64_t MovieFileWriter::framesWritten() const { return mState ? mState->frames : 0; }

int64_t MovieFileWriter::endTime() const { return mState ? mState->endTime : 0; }

OSErr MovieFileWriter::Open(const std::string &path, int width, int height) {
    return Open(path, width, height, Format{});
}

OSErr MovieFileWriter::Open(const std::string &path, int width, int height, const Format &format) {
    mState.reset();
    if (path.empty() || width <= 0 || height <= 0 || width > 8192 || height > 8192 || (width & 1) != 0)
        return paramErr;
    if (format.pixelFormat != '2vuy' && format.pixelFormat != 'BGRA') return paramErr;
    if (format.timeScale <= 0 || format.timeScale > 1000000000) return paramErr;
    struct stat info{};
    if (lstat(path.c_str(), &info) == 0) return dupFNErr;
    const lumora::qt::CodecEncoder *choice = lumora::qt::FindCodecEncoder(format.codec);
    if (choice == nullptr) return noCodecErr;
    const AVCodec *codec = avcodec_find_encoder_by_name(choice->encoder);
    if (codec == nullptr) return noCodecErr;

    auto state = std::make_unique<State>();
    state->path = path;
    state->width = width;
    state->height = height;
    // The temporary file beside the target: ".<name>.XXXXXX".
    const size_t slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    std::string pattern = folder + "." + name + ".XXXXXX";
    const int fd = mkstemp(pattern.data());
    if (fd < 0) return errno == ENOENT ? fnfErr : ioErr;
    close(fd);
    state->temporary = pattern;

    if (avformat_alloc_output_context2(&state->format, nullptr, "mov", state->temporary.c_str()) < 0 ||
        state->format == nullptr)
        return ioErr;
    state->encoder = avcodec_alloc_context3(codec);
    state->frame = av_frame_alloc();
    state->packet = av_packet_alloc();
    if (state->encoder == nullptr || state->frame == nullptr || state->packet == nullptr) return memFullErr;
    const bool camera = format.pixelFormat == '2vuy';
    state->sourceFormat = camera ? AV_PIX_FMT_UYVY422 : AV_PIX_FMT_BGRA;
    AVPixelFormat encoded = AV_PIX_FMT_YUV422P;  // camera frames: full range (color_range below)
    if (!camera || format.codec != kJPEGCodecType) {
        encoded = codec->pix_fmts != nullptr
                      ? avcodec_find_best_pix_fmt_of_list(codec->pix_fmts, AVPixelFormat(state->sourceFormat), 1, nullptr)
                      : AV_PIX_FMT_YUV420P;
        if (encoded == AV_PIX_FMT_NONE) return noCodecErr;
    }
    const bool intraOnly = format.codec == kAnimationCodecType || format.codec == kJPEGCodecType ||
                           format.codec == kMotionJPEGACodecType || format.codec == kMotionJPEGBCodecType;
    if (((encoded == AV_PIX_FMT_YUV420P || encoded == AV_PIX_FMT_YUVJ420P) && (height & 1) != 0)) return paramErr;
    state->encoder->width = width;
    state->encoder->height = height;
    state->encoder->pix_fmt = encoded;
    state->encoder->time_base = AVRational{1, format.timeScale};
    state->encoder->color_range = AVCOL_RANGE_JPEG;
    if (intraOnly || format.codec == kMPEG4VisualCodecType) {
        // Quality codecMinQuality..codecMaxQuality as quantiser 31..2.
        const int quality = std::clamp<int>(format.quality, codecMinQuality, codecMaxQuality);
        state->encoder->flags |= AV_CODEC_FLAG_QSCALE;
        state->encoder->global_quality = FF_QP2LAMBDA * (2 + (codecMaxQuality - quality) * 29 / codecMaxQuality);
    }
    if (format.codec == kH264CodecType) {
        state->encoder->gop_size = 30;
        state->encoder->max_b_frames = 0;
    }
    if ((state->format->oformat->flags & AVFMT_GLOBALHEADER) != 0)
        state->encoder->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    if (avcodec_open2(state->encoder, codec, nullptr) < 0) return noCodecErr;
    state->stream = avformat_new_stream(state->format, nullptr);
    if (state->stream == nullptr) return memFullErr;
    state->stream->time_base = AVRational{1, format.timeScale};
    if (avcodec_parameters_from_context(state->stream->codecpar, state->encoder) < 0) return ioErr;
    if (avio_open(&state->format->pb, state->temporary.c_str(), AVIO_FLAG_WRITE) < 0) return ioErr;
    if (avformat_write_header(state->format, nullptr) < 0) return ioErr;
    state->headerWritten = true;

    state->frame->format = state->encoder->pix_fmt;
    state->frame->width = width;
    state->frame->height = height;
    if (av_frame_get_buffer(state->frame, 0) < 0) return memFullErr;
    state->scaler = sws_getContext(width, height, AVPixelFormat(state->sourceFormat), width, height, encoded,
                                   SWS_POINT, nullptr, nullptr, nullptr);
    if (state->scaler == nullptr) return memFullErr;
    if (camera) {
        // '2vuy' is video range; the JPEG planes are full range.
        const int *coefficients = sws_getCoefficients(SWS_CS_ITU601);
        sws_setColorspaceDetails(state->scaler, coefficients, 0, coefficients, 1, 0, 1 << 16, 1 << 16);
    }
    mState = std::move(state);
    return noErr;
}

OSErr MovieFileWriter::Write(const uint8_t *pixels, size_t rowBytes, int64_t microseconds) {
    if (!mState) return paramErr;
    const int scale = mState->encoder->time_base.den;
    return WriteFrame(pixels, rowBytes, av_rescale(std::max<int64_t>(microseconds, 0), scale, 1000000), 0);
}

OSErr MovieFileWriter::WriteFrame(const uint8_t *pixels, size_t rowBytes, int64_t time, int64_t duration) {
    if (!mState) return paramErr;
    State &s = *mState;
    const size_t pixelBytes = s.sourceFormat == AV_PIX_FMT_BGRA ? 4 : 2;
    if (pixels == nullptr || rowBytes < size_t(s.width) * pixelBytes || rowBytes > size_t(INT_MAX)) return paramErr;
    if (av_frame_make_writable(s.frame) < 0) return memFullErr;
    const uint8_t *source[1] = {pixels};
    const int sourceStride[1] = {int(rowBytes)};
    sws_scale(s.scaler, source, sourceStride, 0, s.height, s.frame->data, s.frame->linesize);
    int64_t pts = std::max<int64_t>(time, 0);
    if (pts <= s.lastPts) pts = s.lastPts + 1;
    s.lastPts = pts;
    s.frame->pts = pts;
    if (duration > 0) s.durations[pts] = duration;
    s.endTime = pts + std::max<int64_t>(duration, 1);
    if (avcodec_send_frame(s.encoder, s.frame) < 0) return ioErr;
    const OSErr err = s.Drain();
    if (err == noErr) ++s.frames;
    return err;
}

OSErr MovieFileWriter::Finish() {
    if (!mState) return paramErr;
    std::unique_ptr<State> state = std::move(mState);
    if (state->frames == 0) return noMovieFound;  // the temporary file goes with the state
    if (avcodec_send_frame(state->encoder, nullptr) < 0) return ioErr;
    OSErr err = state->Drain();
    if (err != noErr) return err;
    if (av_write_trailer(state->format) < 0) return ioErr;
    if (avio_closep(&state->format->pb) < 0) return ioErr;
    // Give the complete movie its name; never replace a file of that name.
    if (link(state->temporary.c_str(), state->path.c_str()) != 0) return errno == EEXIST ? dupFNErr : ioErr;
    return noErr;  // the state's destructor removes the temporary name
}

}  // namespace lumora::qtkit
