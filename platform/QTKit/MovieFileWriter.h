// Inside the QTKit layer: a movie of '2vuy' frames written with libavformat/libavcodec.
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
    // One frame at its time (microseconds; times that do not increase are moved on).
    OSErr Write(const uint8_t *pixels, size_t rowBytes, int64_t microseconds);
    // Completes the movie and gives it its name (dupFNErr when the name was taken
    // meanwhile; nothing is overwritten). A movie without frames is removed: noMovieFound.
    OSErr Finish();
    int64_t framesWritten() const;

private:
    struct State;
    std::unique_ptr<State> mState;
};

}  // namespace lumora::qtkit
