#include "FuzzSupport.h"

#include <CoreX/CoreMachDebugLog.h>

#include <fcntl.h>
#include <unistd.h>

namespace lumora::fuzz {

std::string MakeScratchFolder(const char *name) {
    const char *base = std::getenv("TMPDIR");
    std::string folder = std::string(base != nullptr && *base != '\0' ? base : "/tmp") + "/lumora-fuzz-" + name + "-XXXXXX";
    LUMORA_CHECK(::mkdtemp(folder.data()) != nullptr);
    return folder;
}

bool WriteFile(const std::string &path, const uint8_t *data, size_t size) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0) return false;
    size_t done = 0;
    while (done < size) {
        const ssize_t n = ::write(fd, data + done, size - done);
        if (n <= 0) break;
        done += size_t(n);
    }
    ::close(fd);
    return done == size;
}

void Start() {
    // Failed checks on bad input are expected by the thousand: send them to syslog rather
    // than standard error (the default sink copies them there) or a log file in the
    // user's folder.
    CoreMachDebugLogSetUseLogger(kCoreLogOutput_Syslog);
}

}  // namespace lumora::fuzz

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    lumora::fuzz::Start();
    return 0;
}
