// Movies read from arbitrary bytes: the movie layer opens files only, so each input is
// written to a file of its own folder and opened by URL; what opens is drawn into a small
// ARGB world at its start, its middle, past its end and back at the start.
#include "FuzzSupport.h"

#include <CoreFoundation/CFURL.h>
#include <QuickTime/Movies.h>

#include <limits>

namespace {

// The file each input goes to, in a folder made once per process.
const std::string &InputPath() {
    static const std::string path = lumora::fuzz::MakeScratchFolder("movie") + "/input";
    return path;
}


Movie Open() {
    const std::string &path = InputPath();
    CFURLRef url = CFURLCreateFromFileSystemRepresentation(nullptr, reinterpret_cast<const UInt8 *>(path.c_str()),
                                                           CFIndex(path.size()), false);
    Boolean active = true;
    QTNewMoviePropertyElement properties[] = {
        {kQTPropertyClass_DataLocation, kQTDataLocationPropertyID_CFURL, sizeof url, &url, 0},
        {kQTPropertyClass_NewMovieProperty, kQTNewMoviePropertyID_Active, sizeof active, &active, 0},
    };
    Movie movie = nullptr;
    if (NewMovieFromProperties(2, properties, 0, nullptr, &movie) != noErr) movie = nullptr;
    CFRelease(url);
    return movie;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    static const bool entered = EnterMovies() == noErr;
    LUMORA_CHECK(entered);
    if (!lumora::fuzz::WriteFile(InputPath(), data, size)) return 0;
    const Rect bounds{0, 0, 6, 8};
    GWorldPtr world = nullptr;
    LUMORA_CHECK(QTNewGWorld(&world, k32ARGBPixelFormat, &bounds, nullptr, nullptr, 0) == noErr);
    SetGWorld(world, nullptr);
    if (Movie movie = Open()) {
        const TimeValue duration = GetMovieDuration(movie);
        LUMORA_CHECK(duration >= 0);
        const TimeValue past = duration > std::numeric_limits<TimeValue>::max() - 600 ? std::numeric_limits<TimeValue>::max()
                                                                                      : duration + 600;
        for (TimeValue t : {TimeValue(0), duration / 2, past, TimeValue(0)}) {
            SetMovieTimeValue(movie, t);
            MoviesTask(movie, 0);
        }
        DisposeMovie(movie);
    }
    SetGWorld(nullptr, nullptr);
    DisposeGWorld(world);
    return 0;
}
