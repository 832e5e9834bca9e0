// Inside the QTKit layer: a movie written with libavformat/libavcodec, from '2vuy' camera
// frames (the capture output) or 'BGRA' rendered frames (still-frame recordings) through any
// compressor of the QuickTime layer (CodecEncoders.h). The movie is written under a
// temporary name beside its path and given its name only when complete.
#pragma once

#include <QuickTime/ImageCompression.h>

#include <cstdint>
#include <memory>
#include <string>

namespace lumora::qtkit {

class MovieFileWriter {
public:
    MovieFileWriter();
    ~MovieFileWriter();  // abandons an unfinished movie (its temporary file is removed)
    MovieFileWriter(const MovieFileWriter &) = delete;
    MovieFileWriter &operator=(const MovieFileWriter &) = delete;

    // Starts the movie for path (written beside it under a temporary name). The frames are
    // width x height '2vuy', video range. dupFNErr when path exists, another status when the
    // file or the encoder cannot be made.
    OSErr Open(const std::string &path, int width, int height);

    struct Format {
        OSType pixelFormat = '2vuy';      // of the frames given: '2vuy' or 'BGRA'
        CodecType codec = kJPEGCodecType; // a compressor of CodecEncoders.h
        int timeScale = 600;              // units per second of frame times
        CodecQ quality = codecHighQuality;
    };
    // As above, with the frames' format, the compressor and the time scale. noCodecErr for a
    // compressor this build's libavcodec lacks, paramErr for another pixel format or a time
    // scale outside 1..1000000000.
    OSErr Open(const std::string &path, int width, int height, const Format &format);

    // One frame at its time (microseconds; times that do not increase are moved on).
    OSErr Write(const uint8_t *pixels, size_t rowBytes, int64_t microseconds);
    // One frame at `time` shown for `duration` units of the time scale (at least 1). Times
    // that do not increase are moved on.
    OSErr WriteFrame(const uint8_t *pixels, size_t rowBytes, int64_t time, int64_t duration);
    // The time after the last frame (its time plus its duration), in the time scale.
    int64_t endTime() const;
    // Completes the movie and gives it its name (dupFNErr when the name was taken
    // meanwhile; nothing is overwritten). A movie without frames is removed: noMovieFound.
    OSErr Finish();
    int64_t framesWritten() const;

private:
    struct State;
    std::unique_ptr<State> mState;
};

}  // namespace lumora::qtkit
