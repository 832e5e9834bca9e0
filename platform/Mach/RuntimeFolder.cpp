#include "runtime_folder.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

namespace {

bool IsPrivateFolder(const std::string &path) {
    struct stat status;
    return ::lstat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode) && status.st_uid == ::geteuid() &&
           (status.st_mode & 077) == 0;
}

}  // namespace

std::string LumoraPrivateRuntimeFolder() {
    const char *runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime != nullptr && runtime[0] == '/' && IsPrivateFolder(runtime)) return runtime;
    const char *tmp = std::getenv("TMPDIR");
    const std::string folder =
        std::string(tmp != nullptr && tmp[0] == '/' ? tmp : "/tmp") + "/lumora-" + std::to_string(::geteuid());
    ::mkdir(folder.c_str(), 0700);
    return IsPrivateFolder(folder) ? folder : std::string();
}
