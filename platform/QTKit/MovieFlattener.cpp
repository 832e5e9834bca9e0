#include "MovieFlattener.h"

#include <QuickTime/Movies.h>

#include <cerrno>
#include <cstdint>
#include <memory>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

extern "C" {
#include <libavformat/avformat.h>
#include <libavutil/dict.h>
#include <libavutil/mathematics.h>
}

namespace lumora::qtkit {

namespace {

struct InputCloser {
    void operator()(AVFormatContext *context) const { avformat_close_input(&context); }
};
using Input = std::unique_ptr<AVFormatContext, InputCloser>;

struct OutputCloser {
    void operator()(AVFormatContext *context) const {
        if (context->pb != nullptr) avio_closep(&context->pb);
        avformat_free_context(context);
    }
};
using Output = std::unique_ptr<AVFormatContext, OutputCloser>;

struct PacketFree {
    void operator()(AVPacket *packet) const { av_packet_free(&packet); }
};

OSErr OpenInput(const std::string &path, Input &input) {
    struct stat info{};
    if (stat(path.c_str(), &info) != 0) return fnfErr;
    if (!S_ISREG(info.st_mode)) return noMovieFound;
    AVFormatContext *context = nullptr;
    if (avformat_open_input(&context, path.c_str(), nullptr, nullptr) < 0) return noMovieFound;
    input.reset(context);
    if (avformat_find_stream_info(context, nullptr) < 0) return noMovieFound;
    return noErr;
}

int FirstStream(AVFormatContext *context, AVMediaType type) {
    for (unsigned index = 0; index < context->nb_streams; ++index) {
        const AVStream *stream = context->streams[index];
        if (stream->codecpar->codec_type != type) continue;
        if (type == AVMEDIA_TYPE_VIDEO && (stream->disposition & AV_DISPOSITION_ATTACHED_PIC) != 0) continue;
        return int(index);
    }
    return -1;
}

// The temporary file, always removed unless kept.
struct Temporary {
    std::string path;
    bool made = false;
    ~Temporary() {
        if (made) unlink(path.c_str());
    }
};

OSErr CopyPackets(AVFormatContext *input, int inputIndex, AVFormatContext *output, AVStream *outStream,
                  AVPacket *packet) {
    AVStream *inStream = input->streams[inputIndex];
    int64_t first = AV_NOPTS_VALUE;
    for (;;) {
        const int read = av_read_frame(input, packet);
        if (read == AVERROR_EOF) return noErr;
        if (read < 0) return ioErr;
        if (packet->stream_index != inputIndex) {
            av_packet_unref(packet);
            continue;
        }
        // Both tracks start at zero.
        if (first == AV_NOPTS_VALUE) first = packet->dts != AV_NOPTS_VALUE ? packet->dts : packet->pts;
        if (first != AV_NOPTS_VALUE) {
            if (packet->pts != AV_NOPTS_VALUE) packet->pts -= first;
            if (packet->dts != AV_NOPTS_VALUE) packet->dts -= first;
        }
        av_packet_rescale_ts(packet, inStream->time_base, outStream->time_base);
        packet->stream_index = outStream->index;
        packet->pos = -1;
        const int written = av_interleaved_write_frame(output, packet);
        av_packet_unref(packet);
        if (written < 0) return ioErr;
    }
}

}  // namespace

OSErr FlattenMovieFiles(const MovieFlattenRequest &request) {
    if (request.videoPath.empty() || request.temporaryPath.empty() || request.moviePath.empty()) return paramErr;
    Input video;
    if (const OSErr err = OpenInput(request.videoPath, video); err != noErr) return err;
    const int videoIndex = FirstStream(video.get(), AVMEDIA_TYPE_VIDEO);
    if (videoIndex < 0) return noMovieFound;
    Input audio;
    int audioIndex = -1;
    if (!request.audioPath.empty()) {
        if (const OSErr err = OpenInput(request.audioPath, audio); err != noErr) return err;
        audioIndex = FirstStream(audio.get(), AVMEDIA_TYPE_AUDIO);
        if (audioIndex < 0) return noMovieFound;
    }

    // The reference file: made exclusively, removed on every path.
    Temporary temporary{request.temporaryPath};
    const int fd = open(request.temporaryPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0) return errno == EEXIST ? dupFNErr : (errno == ENOENT ? fnfErr : ioErr);
    close(fd);
    temporary.made = true;

    AVFormatContext *outputContext = nullptr;
    if (avformat_alloc_output_context2(&outputContext, nullptr, "mov", request.temporaryPath.c_str()) < 0 ||
        outputContext == nullptr)
        return ioErr;
    Output output(outputContext);
    AVStream *videoOut = avformat_new_stream(outputContext, nullptr);
    if (videoOut == nullptr || avcodec_parameters_copy(videoOut->codecpar, video->streams[videoIndex]->codecpar) < 0)
        return memFullErr;
    videoOut->codecpar->codec_tag = 0;
    videoOut->time_base = video->streams[videoIndex]->time_base;
    AVStream *audioOut = nullptr;
    if (audioIndex >= 0) {
        audioOut = avformat_new_stream(outputContext, nullptr);
        if (audioOut == nullptr ||
            avcodec_parameters_copy(audioOut->codecpar, audio->streams[audioIndex]->codecpar) < 0)
            return memFullErr;
        audioOut->codecpar->codec_tag = 0;
        audioOut->time_base = audio->streams[audioIndex]->time_base;
    }
    if (!request.copyright.empty()) av_dict_set(&outputContext->metadata, "copyright", request.copyright.c_str(), 0);
    if (avio_open(&outputContext->pb, request.temporaryPath.c_str(), AVIO_FLAG_WRITE) < 0) return ioErr;
    if (avformat_write_header(outputContext, nullptr) < 0) return ioErr;

    std::unique_ptr<AVPacket, PacketFree> packet(av_packet_alloc());
    if (!packet) return memFullErr;
    OSErr err = CopyPackets(video.get(), videoIndex, outputContext, videoOut, packet.get());
    if (err == noErr && audioOut != nullptr)
        err = CopyPackets(audio.get(), audioIndex, outputContext, audioOut, packet.get());
    if (err != noErr) return err;
    if (av_write_trailer(outputContext) < 0) return ioErr;
    if (avio_closep(&outputContext->pb) < 0) return ioErr;
    output.reset();

    // The final name: free, or the empty file claimed for this movie. Anything else stays.
    struct stat target{};
    if (lstat(request.moviePath.c_str(), &target) == 0) {
        if (!S_ISREG(target.st_mode) || target.st_size != 0) return dupFNErr;
        if (rename(request.temporaryPath.c_str(), request.moviePath.c_str()) != 0) return ioErr;
        temporary.made = false;
        return noErr;
    }
    if (errno != ENOENT) return ioErr;
    if (link(request.temporaryPath.c_str(), request.moviePath.c_str()) != 0) return errno == EEXIST ? dupFNErr : ioErr;
    return noErr;  // the temporary name goes with `temporary`
}

OSErr GetMovieFileInfo(const std::string &path, MovieFileInfo &info) {
    info = MovieFileInfo{};
    Input input;
    if (const OSErr err = OpenInput(path, input); err != noErr) return err;
    auto seconds = [&](const AVStream *stream) {
        if (stream->duration != AV_NOPTS_VALUE && stream->duration > 0) return stream->duration * av_q2d(stream->time_base);
        return input->duration > 0 ? double(input->duration) / AV_TIME_BASE : 0.0;
    };
    if (const int index = FirstStream(input.get(), AVMEDIA_TYPE_VIDEO); index >= 0) {
        const AVStream *stream = input->streams[index];
        info.hasVideo = true;
        info.videoSeconds = seconds(stream);
        info.videoFrames = stream->nb_frames;
        info.width = stream->codecpar->width;
        info.height = stream->codecpar->height;
        info.videoCodec = avcodec_get_name(stream->codecpar->codec_id);
    }
    if (const int index = FirstStream(input.get(), AVMEDIA_TYPE_AUDIO); index >= 0) {
        info.hasAudio = true;
        info.audioSeconds = seconds(input->streams[index]);
    }
    if (const AVDictionaryEntry *entry = av_dict_get(input->metadata, "copyright", nullptr, 0))
        info.copyright = entry->value;
    return noErr;
}

}  // namespace lumora::qtkit
