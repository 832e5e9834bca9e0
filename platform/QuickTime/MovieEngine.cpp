// Movie decoding. The engine keeps the frame on screen (current) and the one decoded after
// it (next): a time inside [current, next) needs no decoding, a time a little later
// decodes forward, and a time before the current frame or far after it seeks to the
// key frame at or before it and decodes forward from there, dropping the frames before
// the time. Containers whose seeks land after the time asked for (MPEG-TS searches by
// decode time and ignores key frames) fall back to going back to the first frame.
#include "MovieEngineInternal.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
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
constexpr int kMaximumPacketsPerFrame = 1 << 16;
constexpr int kMaximumSide = 32767;
constexpr double kMinimumFrameRate = 1.0 / 3600;

bool Plausible(AVRational rate) {
    if (rate.num <= 0 || rate.den <= 0) return false;
    const double r = av_q2d(rate);
    return r >= kMinimumFrameRate && r <= MovieEngine::kMaximumFrameRate;
}

// Opens a file for demuxing and reads its stream parameters; only plain files may be read,
// also by playlists inside it (a FIFO or a device would block or never end). *err says
// why it failed.
AVFormatContext *OpenInput(const std::string &path, OSErr *err = nullptr) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) {
        if (err != nullptr) *err = couldNotResolveDataRef;
        return nullptr;
    }
    AVFormatContext *format = nullptr;
    AVDictionary *options = nullptr;
    av_dict_set(&options, "protocol_whitelist", "file", 0);
    const std::string url = "file:" + path;
    int result = avformat_open_input(&format, url.c_str(), nullptr, &options);
    av_dict_free(&options);
    if (result >= 0 && avformat_find_stream_info(format, nullptr) < 0) {
        avformat_close_input(&format);
        result = AVERROR_INVALIDDATA;
    }
    if (result < 0) {
        // A file that is there but unreadable is unresolvable; one of unknown content holds no movie.
        if (err != nullptr)
            *err = result == AVERROR(EACCES) || result == AVERROR(ENOENT) || result == AVERROR(EISDIR)
                       ? couldNotResolveDataRef
                       : noMovieFound;
        return nullptr;
    }
    return format;
}

void KeepOnly(AVFormatContext *format, int stream) {
    for (unsigned i = 0; i < format->nb_streams; ++i)
        format->streams[i]->discard = int(i) == stream ? AVDISCARD_DEFAULT : AVDISCARD_ALL;
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

bool MovieEngine::PlausibleDuration(int64_t duration) const {
    return duration > 0 &&
           double(duration) * mTimeBaseNum / mTimeBaseDen >= 1.0 / kMaximumFrameRate;
}

OSErr MovieEngine::Open(const std::string &path) {
    CloseAll();
    mPath = path;
    mHaveCurrent = mHaveNext = mDraining = mEnd = false;
    mLastPts = INT64_MIN;
    mFirstPosKnown = false;
    mRewindMethod = 0;
    mSamplesRead = false;
    mSamples.clear();
    OSErr err = noErr;
    mFormat = OpenInput(path, &err);
    if (mFormat == nullptr) return err;
    const AVCodec *codec = nullptr;
    mStream = av_find_best_stream(mFormat, AVMEDIA_TYPE_VIDEO, -1, -1, &codec, 0);
    if (mStream < 0 || codec == nullptr) return noMovieFound;
    AVStream *stream = mFormat->streams[mStream];
    KeepOnly(mFormat, mStream);
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
    mFrameCount = stream->nb_frames > 0 ? stream->nb_frames : 0;
    mStart = stream->start_time != AV_NOPTS_VALUE ? stream->start_time : 0;
    mDuration = 0;
    if (stream->duration != AV_NOPTS_VALUE && stream->duration > 0)
        mDuration = stream->duration;
    else if (mFormat->duration != AV_NOPTS_VALUE && mFormat->duration > 0)
        mDuration = av_rescale_q(mFormat->duration, AV_TIME_BASE_Q, stream->time_base);

    // The rate the stream states; a rate from the time base alone (a one-frame Matroska
    // file guesses 1000 per second from its millisecond clock) is no rate. Else the frame
    // count over the duration.
    AVRational rate{0, 1};
    for (const AVRational candidate :
         {av_guess_frame_rate(mFormat, stream, nullptr), stream->avg_frame_rate, stream->r_frame_rate}) {
        if (Plausible(candidate)) {
            rate = candidate;
            break;
        }
    }
    mFrameRate = 0.0;
    if (rate.num > 0) {
        mFrameRate = av_q2d(rate);
    } else if (mDuration > 0) {
        int64_t count = mFrameCount;
        const std::vector<Sample> *samples = nullptr;
        if (count == 0 && Samples(samples) == noErr) count = int64_t(samples->size());
        const double seconds = double(mDuration) * mTimeBaseNum / mTimeBaseDen;
        const double derived = count > 0 ? double(count) / seconds : 0.0;
        if (derived >= kMinimumFrameRate && derived <= kMaximumFrameRate) mFrameRate = derived;
    }
    const double stepRate = mFrameRate > 0.0 ? mFrameRate : kDefaultFrameRate;
    mFrameStep = std::max<int64_t>(1, int64_t(double(mTimeBaseDen) / (stepRate * mTimeBaseNum) + 0.5));
    if (mSamplesRead) {  // read above, before the frame step was known
        mSamplesRead = false;
        mSamples.clear();
    }

    if (mDuration <= 0) {
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

    // The first frame must decode: a file that opens but shows nothing is no movie. It is
    // read straight from the opened file, where no seek can have skipped it.
    const int result = DecodeOne(mNext);
    if (result < 0) return noMovieFound;
    mFirstPts = mNextPts = PtsOf(mNext);
    mHaveNext = true;
    if (DecodeTo(mFirstPts) != noErr || !mHaveCurrent) return noMovieFound;
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
    int packets = 0;
    for (;;) {
        int result = avcodec_receive_frame(mDecoder, frame);
        if (result == 0) return 0;
        if (result == AVERROR_EOF) return AVERROR_EOF;
        if (result != AVERROR(EAGAIN)) {
            if (++errors > kMaximumDecodeErrors) return result;
            continue;
        }
        if (mDraining) return AVERROR_EOF;
        // A stream whose packets never make a frame is broken; stop rather than read on.
        if (++packets > kMaximumPacketsPerFrame) return AVERROR_INVALIDDATA;
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
        if (!mFirstPosKnown) {
            mFirstPosKnown = true;
            mFirstPos = mPacket->pos;
        }
        result = avcodec_send_packet(mDecoder, mPacket);
        av_packet_unref(mPacket);
        if (result < 0 && result != AVERROR(EAGAIN) && ++errors > kMaximumDecodeErrors) return result;
    }
}

void MovieEngine::Reset() {
    avcodec_flush_buffers(mDecoder);
    av_frame_unref(mCurrent);
    av_frame_unref(mNext);
    mHaveCurrent = mHaveNext = mDraining = mEnd = false;
    mLastPts = INT64_MIN;
}

// Decodes forward until the current frame is the last one presented at or before ts (or
// the first one decoded, when that is already later). Ends at the end of the file at the
// latest: every step reads on.
OSErr MovieEngine::DecodeTo(int64_t ts) {
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
    return mHaveCurrent ? OSErr(noErr) : OSErr(codecBadDataErr);
}

// Back to the first frame: by a backward seek to its time, else by a byte seek to its
// first packet, else by opening the file again. The way that worked is tried first next
// time.
OSErr MovieEngine::Rewind() {
    for (int method = mRewindMethod; method < 3; ++method) {
        bool moved = false;
        if (method == 0) {
            moved = av_seek_frame(mFormat, mStream, mFirstPts, AVSEEK_FLAG_BACKWARD) >= 0;
        } else if (method == 1) {
            moved = mFirstPosKnown && mFirstPos >= 0 && (mFormat->iformat->flags & AVFMT_NO_BYTE_SEEK) == 0 &&
                    av_seek_frame(mFormat, mStream, mFirstPos, AVSEEK_FLAG_BYTE) >= 0;
        } else {
            moved = Reopen();
        }
        if (!moved) continue;
        Reset();
        if (DecodeOne(mNext) < 0) continue;
        mNextPts = PtsOf(mNext);
        mHaveNext = true;
        if (mNextPts <= mFirstPts) {
            mRewindMethod = method;
            return noErr;
        }
    }
    Reset();
    return codecErr;
}

bool MovieEngine::Reopen() {
    AVFormatContext *format = OpenInput(mPath);
    if (format == nullptr) return false;
    const AVStream *old = mFormat->streams[mStream];
    if (mStream >= int(format->nb_streams) || format->streams[mStream]->codecpar->codec_type != AVMEDIA_TYPE_VIDEO ||
        format->streams[mStream]->codecpar->codec_id != old->codecpar->codec_id ||
        av_cmp_q(format->streams[mStream]->time_base, old->time_base) != 0) {
        avformat_close_input(&format);
        return false;
    }
    KeepOnly(format, mStream);
    avformat_close_input(&mFormat);
    mFormat = format;
    return true;
}

OSErr MovieEngine::SeekTo(int64_t ts) {
    if (ts > mFirstPts) {
        // The key frame at or before ts; when the container lands after ts, once more from
        // two seconds earlier, then from the first frame.
        const int64_t back = av_rescale(2, mTimeBaseDen, mTimeBaseNum);
        for (const int64_t target : {ts, ts - back}) {
            if (target <= mFirstPts || av_seek_frame(mFormat, mStream, target, AVSEEK_FLAG_BACKWARD) < 0) break;
            Reset();
            const OSErr err = DecodeTo(ts);
            if (err == noErr && mCurrentPts <= ts) return noErr;
        }
    }
    const OSErr err = Rewind();
    return err != noErr ? err : DecodeTo(ts);
}

OSErr MovieEngine::FrameAt(int64_t ts, const AVFrame *&frame, int64_t &pts) {
    frame = nullptr;
    if (mDecoder == nullptr) return invalidMovie;
    ts = std::max(ts, mFirstPts);
    const bool known = mHaveCurrent && ts >= mCurrentPts && (mHaveNext ? ts < mNextPts : mEnd);
    if (!known) {
        const int64_t window = av_rescale(2, mTimeBaseDen, mTimeBaseNum);  // two seconds
        const bool seek = !mHaveCurrent || ts < mCurrentPts || ts - mCurrentPts > window;
        const OSErr err = seek ? SeekTo(ts) : DecodeTo(ts);
        if (err != noErr) return err;
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
    KeepOnly(format, mStream);
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
    // its own when it is believable (demuxers make up one tick of the time base for a
    // duration the file does not state), else it lasts one frame step.
    for (size_t i = 0; i < mSamples.size(); ++i) {
        if (i + 1 < mSamples.size() && mSamples[i + 1].dts > mSamples[i].dts)
            mSamples[i].duration = mSamples[i + 1].dts - mSamples[i].dts;
        else if (!PlausibleDuration(mSamples[i].duration))
            mSamples[i].duration = mFrameStep;
    }
    return mSamplesError = noErr;
}

}  // namespace lumora::qt
