// Movie decoding. The engine keeps the frame on screen (current) and the one decoded after
// it (next): a time inside [current, next) needs no decoding, a time a little later
// decodes forward, and a time before the current frame or far after it seeks to the
// key frame at or before it and decodes forward from there.
#include "MovieEngineInternal.h"

#include <algorithm>
#include <utility>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/dict.h>
#include <libavutil/mathematics.h>
}

#include <QuickTime/Movies.h>

namespace lumora::qt {
namespace {

constexpr int kMaximumDecodeErrors = 64;
constexpr int kMaximumSide = 32767;

// Opens a file for demuxing; only plain files may be read, also by playlists inside it.
AVFormatContext *OpenInput(const std::string &path) {
    AVFormatContext *format = nullptr;
    AVDictionary *options = nullptr;
    av_dict_set(&options, "protocol_whitelist", "file", 0);
    const std::string url = "file:" + path;
    const int result = avformat_open_input(&format, url.c_str(), nullptr, &options);
    av_dict_free(&options);
    return result < 0 ? nullptr : format;
}

}  // namespace

MovieEngine::~MovieEngine() { CloseAll(); }

void MovieEngine::CloseAll() {
    av_frame_free(&mCurrent);
    av_frame_free(&mNext);
    av_packet_free(&mPacket);
    avcodec_free_context(&mDecoder);
    avformat_close_input(&mFormat);
}

OSErr MovieEngine::Open(const std::string &path) {
    CloseAll();
    mPath = path;
    mFormat = OpenInput(path);
    if (mFormat == nullptr) return couldNotResolveDataRef;
    if (avformat_find_stream_info(mFormat, nullptr) < 0) return noMovieFound;
    const AVCodec *codec = nullptr;
    mStream = av_find_best_stream(mFormat, AVMEDIA_TYPE_VIDEO, -1, -1, &codec, 0);
    if (mStream < 0 || codec == nullptr) return noMovieFound;
    AVStream *stream = mFormat->streams[mStream];
    for (unsigned i = 0; i < mFormat->nb_streams; ++i)
        if (int(i) != mStream) mFormat->streams[i]->discard = AVDISCARD_ALL;
    const AVCodecParameters *parameters = stream->codecpar;
    if (parameters->width <= 0 || parameters->height <= 0 || parameters->width > kMaximumSide ||
        parameters->height > kMaximumSide || stream->time_base.num <= 0 || stream->time_base.den <= 0)
        return noMovieFound;

    mDecoder = avcodec_alloc_context3(codec);
    mPacket = av_packet_alloc();
    mCurrent = av_frame_alloc();
    mNext = av_frame_alloc();
    if (mDecoder == nullptr || mPacket == nullptr || mCurrent == nullptr || mNext == nullptr) return memFullErr;
    if (avcodec_parameters_to_context(mDecoder, parameters) < 0) return noMovieFound;
    mDecoder->pkt_timebase = stream->time_base;
    mDecoder->thread_count = 0;
    if (avcodec_open2(mDecoder, codec, nullptr) < 0) return noMovieFound;

    mTimeBaseNum = stream->time_base.num;
    mTimeBaseDen = stream->time_base.den;
    mWidth = parameters->width;
    mHeight = parameters->height;
    const AVRational rate = av_guess_frame_rate(mFormat, stream, nullptr);
    mFrameRate = rate.num > 0 && rate.den > 0 ? av_q2d(rate) : 0.0;
    mFrameStep = rate.num > 0 && rate.den > 0 ? std::max<int64_t>(1, av_rescale_q(1, av_inv_q(rate), stream->time_base)) : 1;
    mFrameCount = stream->nb_frames > 0 ? stream->nb_frames : 0;
    mStart = stream->start_time != AV_NOPTS_VALUE ? stream->start_time : 0;
    if (stream->duration != AV_NOPTS_VALUE && stream->duration > 0) {
        mDuration = stream->duration;
    } else if (mFormat->duration != AV_NOPTS_VALUE && mFormat->duration > 0) {
        mDuration = av_rescale_q(mFormat->duration, AV_TIME_BASE_Q, stream->time_base);
    } else {
        const std::vector<Sample> *samples = nullptr;
        if (Samples(samples) != noErr || samples->empty()) return noMovieFound;
        int64_t first = INT64_MAX, end = INT64_MIN;
        for (const Sample &s : *samples) {
            first = std::min(first, s.pts);
            end = std::max(end, s.pts + s.duration);
        }
        mStart = first;
        mDuration = std::max<int64_t>(1, end - first);
    }
    // The first frame must decode: a file that opens but shows nothing is no movie.
    const AVFrame *frame = nullptr;
    int64_t pts = 0;
    if (FrameAt(mStart, frame, pts) != noErr) return noMovieFound;
    return noErr;
}

int64_t MovieEngine::PtsOf(const AVFrame *frame) {
    int64_t pts = frame->best_effort_timestamp;
    if (pts == AV_NOPTS_VALUE) pts = mLastPts == INT64_MIN ? mStart : mLastPts + mFrameStep;
    mLastPts = pts;
    return pts;
}

int MovieEngine::DecodeOne(AVFrame *frame) {
    int errors = 0;
    for (;;) {
        int result = avcodec_receive_frame(mDecoder, frame);
        if (result == 0) return 0;
        if (result == AVERROR_EOF) return AVERROR_EOF;
        if (result != AVERROR(EAGAIN)) {
            if (++errors > kMaximumDecodeErrors) return result;
            continue;
        }
        if (mDraining) return AVERROR_EOF;
        result = av_read_frame(mFormat, mPacket);
        if (result < 0) {
            avcodec_send_packet(mDecoder, nullptr);
            mDraining = true;
            continue;
        }
        if (mPacket->stream_index != mStream) {
            av_packet_unref(mPacket);
            continue;
        }
        result = avcodec_send_packet(mDecoder, mPacket);
        av_packet_unref(mPacket);
        if (result < 0 && result != AVERROR(EAGAIN) && ++errors > kMaximumDecodeErrors) return result;
    }
}

OSErr MovieEngine::Seek(int64_t ts) {
    if (av_seek_frame(mFormat, mStream, ts, AVSEEK_FLAG_BACKWARD) < 0 &&
        avformat_seek_file(mFormat, mStream, INT64_MIN, mStart, mStart, 0) < 0)
        return codecErr;
    avcodec_flush_buffers(mDecoder);
    mHaveCurrent = mHaveNext = mDraining = mEnd = false;
    mLastPts = INT64_MIN;
    return noErr;
}

OSErr MovieEngine::FrameAt(int64_t ts, const AVFrame *&frame, int64_t &pts) {
    frame = nullptr;
    if (mDecoder == nullptr) return invalidMovie;
    const bool known = mHaveCurrent && ts >= mCurrentPts && (mHaveNext ? ts < mNextPts : mEnd);
    if (!known) {
        const int64_t window = av_rescale(2, mTimeBaseDen, mTimeBaseNum);  // two seconds
        if (!mHaveCurrent || ts < mCurrentPts || ts - mCurrentPts > window) {
            const OSErr err = Seek(ts);
            if (err != noErr) return err;
        }
        for (;;) {
            if (!mHaveNext) {
                if (mEnd) break;
                const int result = DecodeOne(mNext);
                if (result == AVERROR_EOF) {
                    mEnd = true;
                    break;
                }
                if (result < 0) return codecBadDataErr;
                mNextPts = PtsOf(mNext);
                mHaveNext = true;
            }
            if (mHaveCurrent && mNextPts > ts) break;
            std::swap(mCurrent, mNext);
            mCurrentPts = mNextPts;
            mHaveCurrent = true;
            mHaveNext = false;
            av_frame_unref(mNext);
        }
    }
    if (!mHaveCurrent) return codecBadDataErr;
    frame = mCurrent;
    pts = mCurrentPts;
    return noErr;
}

OSErr MovieEngine::Samples(const std::vector<Sample> *&samples) {
    samples = &mSamples;
    if (mSamplesRead) return mSamplesError;
    mSamplesRead = true;
    AVFormatContext *format = OpenInput(mPath);
    if (format == nullptr) return mSamplesError = couldNotResolveDataRef;
    AVPacket *packet = av_packet_alloc();
    if (packet == nullptr || mStream >= int(format->nb_streams)) {
        av_packet_free(&packet);
        avformat_close_input(&format);
        return mSamplesError = packet == nullptr ? OSErr(memFullErr) : OSErr(noMovieFound);
    }
    for (unsigned i = 0; i < format->nb_streams; ++i)
        if (int(i) != mStream) format->streams[i]->discard = AVDISCARD_ALL;
    while (av_read_frame(format, packet) >= 0) {
        if (packet->stream_index == mStream) {
            int64_t dts = packet->dts != AV_NOPTS_VALUE ? packet->dts : packet->pts;
            int64_t pts = packet->pts != AV_NOPTS_VALUE ? packet->pts : dts;
            if (dts == AV_NOPTS_VALUE) dts = pts = mSamples.empty() ? mStart : mSamples.back().dts + mFrameStep;
            mSamples.push_back({dts, pts, packet->duration > 0 ? packet->duration : 0});
        }
        av_packet_unref(packet);
    }
    av_packet_free(&packet);
    avformat_close_input(&format);
    // A sample's decode duration runs to the next sample's decode time; the last one keeps
    // its own (or one frame step).
    for (size_t i = 0; i < mSamples.size(); ++i) {
        if (i + 1 < mSamples.size() && mSamples[i + 1].dts > mSamples[i].dts)
            mSamples[i].duration = mSamples[i + 1].dts - mSamples[i].dts;
        else if (mSamples[i].duration <= 0)
            mSamples[i].duration = mFrameStep;
    }
    return mSamplesError = noErr;
}

}  // namespace lumora::qt
