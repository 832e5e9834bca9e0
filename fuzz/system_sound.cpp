// Interface sound files read from arbitrary bytes: each input is written to a file of its own
// folder and made into a system sound (decoded through libsndfile with the layer's limits on
// channels, rate and length), then disposed of. Nothing is played.
#include "FuzzSupport.h"

#include <CoreAudio/AudioServices.h>

#include <fcntl.h>
#include <unistd.h>

namespace {

const std::string &InputPath() {
    static const std::string path = [] {
        const char *base = std::getenv("TMPDIR");
        std::string folder =
            std::string(base != nullptr && *base != '\0' ? base : "/tmp") + "/lumora-fuzz-system-sound-XXXXXX";
        LUMORA_CHECK(mkdtemp(folder.data()) != nullptr);
        return folder + "/input.aiff";
    }();
    return path;
}

bool WriteInput(const uint8_t *data, size_t size) {
    const int fd = open(InputPath().c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0) return false;
    size_t done = 0;
    while (done < size) {
        const ssize_t n = write(fd, data + done, size - done);
        if (n <= 0) break;
        done += size_t(n);
    }
    close(fd);
    return done == size;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (!WriteInput(data, size)) return 0;
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
