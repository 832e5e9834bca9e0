// Interface sound files read from arbitrary bytes: each input is written to a file of its own
// folder and made into a system sound (decoded through libsndfile with the layer's limits on
// channels, rate and length), then disposed of. Nothing is played.
#include "FuzzSupport.h"

#include <CoreAudio/AudioServices.h>


namespace {

const std::string &InputPath() {
    static const std::string path = lumora::fuzz::MakeScratchFolder("system-sound") + "/input.aiff";
    return path;
}


} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (!lumora::fuzz::WriteFile(InputPath(), data, size)) return 0;
    const std::string &path = InputPath();
    CFURLRef url = CFURLCreateFromFileSystemRepresentation(nullptr, reinterpret_cast<const UInt8 *>(path.data()),
                                                           CFIndex(path.size()), false);
    LUMORA_CHECK(url != nullptr);
    SystemSoundID sound = 0;
    const OSStatus status = AudioServicesCreateSystemSoundID(url, &sound);
    CFRelease(url);
    LUMORA_CHECK((status == 0) == (sound != 0));
    if (sound != 0) LUMORA_CHECK(AudioServicesDisposeSystemSoundID(sound) == 0);
    return 0;
}
