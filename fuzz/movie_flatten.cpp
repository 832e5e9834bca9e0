// Movie and sound files read from arbitrary bytes by the QTKit layer's flattening: each input
// is inspected, then flattened as the video of a movie and, when it holds sound, as its sound
// too, into a fresh name of the fuzzer's own folder.
#include "FuzzSupport.h"

#include <QTKit/MovieFlattener.h>
#include <QuickTime/Movies.h>

#include <unistd.h>

#include <cstdlib>
#include <string>

namespace {

const std::string &Folder() {
    static const std::string folder = lumora::fuzz::MakeScratchFolder("flatten");
    return folder;
}


}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const std::string input = Folder() + "/input";
    if (!lumora::fuzz::WriteFile(input, data, size)) return 0;
    lumora::qtkit::MovieFileInfo info;
    const OSErr inspected = lumora::qtkit::GetMovieFileInfo(input, info);
    LUMORA_CHECK(inspected == noErr || inspected == noMovieFound);
    lumora::qtkit::MovieFlattenRequest request;
    request.videoPath = input;
    request.audioPath = info.hasAudio ? input : std::string();
    request.temporaryPath = Folder() + "/reference";
    request.moviePath = Folder() + "/movie.mov";
    request.copyright = "fuzz";
    const OSErr flattened = lumora::qtkit::FlattenMovieFiles(request);
    // The temporary file never outlives the call.
    LUMORA_CHECK(access(request.temporaryPath.c_str(), F_OK) != 0);
    if (flattened == noErr) {
        lumora::qtkit::MovieFileInfo made;
        LUMORA_CHECK(lumora::qtkit::GetMovieFileInfo(request.moviePath, made) == noErr);
    }
    unlink(request.moviePath.c_str());
    return 0;
}
