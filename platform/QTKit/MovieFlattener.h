// Inside the QTKit layer: flattening and inspecting movie files with libavformat.
//
// Flattening joins the first video stream of a movie and the first audio stream of a sound
// file (AIFF, or any file libavformat reads) into one self-contained QuickTime movie,
// copying the compressed samples (no re-encoding). The result is written to a temporary
// file made exclusively (never replacing a file there) and then given the movie's name,
// which must be free or an empty file claimed for it (CoreNumberedFilename); the temporary
// file is removed on every path.
#pragma once

#include <QuickTime/ImageCompression.h>

#include <cstdint>
#include <string>

namespace lumora::qtkit {

struct MovieFlattenRequest {
    std::string videoPath;      // required
    std::string audioPath;      // empty: a video-only movie
    std::string temporaryPath;  // the reference file written first
    std::string moviePath;      // the final name
    std::string copyright;      // stored as the movie's copyright when not empty
};

// noErr when the movie was made. fnfErr when the video is missing, noMovieFound when it has
// no video stream, dupFNErr when the temporary file exists or the final name holds
// something, ioErr when writing fails. A sound file that cannot be read fails the call
// (the caller decides whether to retry without it).
OSErr FlattenMovieFiles(const MovieFlattenRequest &request);

struct MovieFileInfo {
    bool hasVideo = false;
    bool hasAudio = false;
    double videoSeconds = 0.0;  // the video stream's duration
    double audioSeconds = 0.0;  // the audio stream's duration
    int64_t videoFrames = 0;
    int width = 0;
    int height = 0;
    std::string videoCodec;     // FFmpeg's codec name
    std::string copyright;
};
// What a movie file holds; fnfErr for a missing file, noMovieFound for one libavformat
// cannot read.
OSErr GetMovieFileInfo(const std::string &path, MovieFileInfo &info);

}  // namespace lumora::qtkit
