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

    // noMovieFound for a file without a decodable video stream, couldNotResolveDataRef
    // for a file that cannot be opened.
    OSErr Open(const std::string &path);

    // Stream time base as num/den, the first presentation time and the duration, in
    // stream units.
    int mTimeBaseNum = 1;
    int mTimeBaseDen = 1;
    int64_t mStart = 0;
    int64_t mDuration = 0;
    int mWidth = 0;
    int mHeight = 0;
    double mFrameRate = 0.0;  // the stream's average rate; 0 when unknown
    int64_t mFrameCount = 0;  // from the container; 0 when it does not say

    // The decoded frame whose presentation interval holds ts (the first frame for a time
    // before it, the last for a time after the end); *pts its presentation time.
    OSErr FrameAt(int64_t ts, const AVFrame *&frame, int64_t &pts);

    // Every video packet of the file in decode order, read once (with a second reader).
    OSErr Samples(const std::vector<Sample> *&samples);

private:
    int DecodeOne(AVFrame *frame);
    int64_t PtsOf(const AVFrame *frame);
    OSErr Seek(int64_t ts);
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
    bool mSamplesRead = false;
    OSErr mSamplesError = noErr;
    std::vector<Sample> mSamples;
};

}  // namespace lumora::qt
