// Movies whose frames carry their number, and sound files to go with them, for the tests of
// movie writing and recording: the top of a frame shows a 32-bit number as 32 white or black
// cells (as the test camera numbers its frames), read back through the QuickTime layer.
#pragma once

#include <QuickTime/QuickTime.h>

#include <cmath>
#include <cstdint>
#include <string>

namespace lumora::test {

// The number in the 32 cells of an ARGB row `width` pixels wide; -1 when a cell is neither
// white nor black.
inline int64_t NumberInCells(const uint8_t *row, int width) {
    uint32_t number = 0;
    for (int cell = 0; cell < 32; ++cell) {
        const int luma = row[((2 * cell + 1) * width / 64) * 4 + 2];
        if (luma > 80 && luma < 170) return -1;
        number = (number << 1) | (luma >= 170 ? 1u : 0u);
    }
    return number;
}

// The number the movie at the path shows at `time` (its own time scale), drawn at width x
// height; also its duration. -2 without an offscreen world, -3 when the movie does not open.
inline int64_t MovieNumberAt(const std::string &path, int width, int height, TimeValue time,
                             TimeValue *duration = nullptr) {
    Rect bounds{0, 0, short(height), short(width)};
    GWorldPtr world = nullptr;
    if (QTNewGWorld(&world, k32ARGBPixelFormat, &bounds, nullptr, nullptr, 0) != noErr) return -2;
    CFStringRef text = CFStringCreateWithCString(nullptr, path.c_str(), kCFStringEncodingUTF8);
    Handle dataRef = nullptr;
    OSType dataRefType = 0;
    const OSErr made = QTNewDataReferenceFromFullPathCFString(text, kQTPOSIXPathStyle, 0, &dataRef, &dataRefType);
    CFRelease(text);
    int64_t number = -3;
    if (made == noErr) {
        SetGWorld(world, nullptr);
        Movie movie = nullptr;
        short id = 0;
        const OSErr opened = NewMovieFromDataRef(&movie, newMovieActive, &id, dataRef, dataRefType);
        SetGWorld(nullptr, nullptr);
        DisposeHandle(dataRef);
        if (opened == noErr && movie != nullptr) {
            if (duration != nullptr) *duration = GetMovieDuration(movie);
            SetMovieGWorld(movie, world, nullptr);
            SetMovieTimeValue(movie, time);
            UpdateMovie(movie);
            MoviesTask(movie, 0);
            number = NumberInCells(reinterpret_cast<const uint8_t *>((**GetGWorldPixMap(world)).baseAddr), width);
            DisposeMovie(movie);
        }
    }
    DisposeGWorld(world);
    return number;
}

inline void AppendBE(std::string &out, uint64_t value, int bytes) {
    for (int i = bytes - 1; i >= 0; --i) out.push_back(char((value >> (8 * i)) & 0xff));
}

// A mono 16-bit AIFF file of `seconds` of a quiet tone at 8000 samples per second (the
// header alone for 0).
inline std::string AiffBytes(double seconds) {
    const uint32_t frames = uint32_t(std::lround(seconds * 8000));
    std::string comm;
    AppendBE(comm, 1, 2);
    AppendBE(comm, frames, 4);
    AppendBE(comm, 16, 2);
    AppendBE(comm, 16383 + 12, 2);  // 8000 = 2^12 x 1.953125, 80-bit extended
    AppendBE(comm, uint64_t(8000) << (63 - 12), 8);
    std::string ssnd;
    AppendBE(ssnd, 0, 8);
    for (uint32_t i = 0; i < frames; ++i) AppendBE(ssnd, uint16_t(int16_t(1000 * std::sin(i * 0.3))), 2);
    std::string body = "AIFFCOMM";
    AppendBE(body, comm.size(), 4);
    body += comm + "SSND";
    AppendBE(body, ssnd.size(), 4);
    body += ssnd;
    std::string file = "FORM";
    AppendBE(file, body.size(), 4);
    return file + body;
}

}  // namespace lumora::test
