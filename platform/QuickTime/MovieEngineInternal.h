// Inside the QuickTime layer: one movie file opened with libavformat, its first video
// stream decoded with libavcodec.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <QuickTime/ImageCompression.h>

struct AVCodecContext;
struct AVFormatContext;
struct AVFrame;
struct AVPacket;

namespace lumora::qt {

class MovieEngine {
public:
    struct Sample {
        int64_t dts;
        int64_t pts;
        int64_t duration;
    };

    MovieEngine() = default;
    ~MovieEngine();
    MovieEngine(const MovieEngine &) = delete;
    MovieEngine &operator=(const MovieEngine &) = delete;

    // couldNotResolveDataRef for a path that is not a readable plain file, noMovieFound for
    // a file that holds no decodable video stream.
    OSErr Open(const std::string &path);

    // Stream time base as num/den, the first presentation time and the duration, in
    // stream units.
    int mTimeBaseNum = 1;
    int mTimeBaseDen = 1;
    int64_t mStart = 0;
    int64_t mDuration = 0;
    int mWidth = 0;
    int mHeight = 0;
    // The stream's rate, else the frame count over the duration; 0 when neither is known or
    // believable (more than kMaximumFrameRate is a guess from the time base, not a rate).
    double mFrameRate = 0.0;
    static constexpr double kMaximumFrameRate = 480.0;
    static constexpr double kDefaultFrameRate = 30.0;  // for frame durations nothing states
    int64_t mFrameCount = 0;  // from the container; 0 when it does not say

    // The decoded frame whose presentation interval holds ts (the first frame for a time
    // before it, the last for a time after the end); *pts its presentation time.
    OSErr FrameAt(int64_t ts, const AVFrame *&frame, int64_t &pts);

    // Every video packet of the file in decode order, read once (with a second reader).
    OSErr Samples(const std::vector<Sample> *&samples);

private:
    int DecodeOne(AVFrame *frame);
    int64_t PtsOf(const AVFrame *frame);
    void Reset();
    OSErr DecodeTo(int64_t ts);
    OSErr SeekTo(int64_t ts);
    OSErr Rewind();
    bool Reopen();
    bool PlausibleDuration(int64_t duration) const;
    void CloseAll();

    std::string mPath;
    AVFormatContext *mFormat = nullptr;
    AVCodecContext *mDecoder = nullptr;
    AVPacket *mPacket = nullptr;
    AVFrame *mCurrent = nullptr;
    AVFrame *mNext = nullptr;
    int mStream = -1;
    bool mHaveCurrent = false;
    bool mHaveNext = false;
    bool mDraining = false;
    bool mEnd = false;
    int64_t mCurrentPts = 0;
    int64_t mNextPts = 0;
    int64_t mLastPts = INT64_MIN;
    int64_t mFrameStep = 1;
    int64_t mFirstPts = 0;     // of the first frame the file decodes to
    int64_t mFirstPos = -1;    // byte position of the first video packet; -1 when unknown
    bool mFirstPosKnown = false;
    int mRewindMethod = 0;     // the first way back to the first frame worth trying
    bool mSamplesRead = false;
    OSErr mSamplesError = noErr;
    std::vector<Sample> mSamples;
};

}  // namespace lumora::qt
