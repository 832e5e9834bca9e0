// LumoraInstallHelper: see InstallHelper.h.
#include "InstallHelper.h"

#include <climits>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::string SelfPath() {
    char buffer[PATH_MAX];
    const ssize_t length = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (length <= 0) return {};
    buffer[length] = '\0';
    return buffer;
}

// The privileged run starts from a known environment: nothing the invoking user set reaches
// the folder lookups. The test build of the helper keeps the two variables that point the
// local and system Library folders at a test's own folders.
void ResetEnvironment() {
#ifdef LUMORA_INSTALL_HELPER_LIBRARY_FROM_ENVIRONMENT
    std::string kept[2];
    const char *names[2] = {"LUMORA_LOCAL_LIBRARY", "LUMORA_SYSTEM_LIBRARY"};
    bool have[2] = {};
    for (int i = 0; i < 2; ++i) {
        if (const char *value = std::getenv(names[i])) {
            kept[i] = value;
            have[i] = true;
        }
    }
#endif
    ::clearenv();
    ::setenv("PATH", "/usr/sbin:/usr/bin:/sbin:/bin", 1);
#ifdef LUMORA_INSTALL_HELPER_LIBRARY_FROM_ENVIRONMENT
    for (int i = 0; i < 2; ++i) {
        if (have[i]) ::setenv(names[i], kept[i].c_str(), 1);
    }
#endif
}

}  // namespace

int main(int argc, char **argv) {
    if (argc == 6 && std::strcmp(argv[2], lumora::installhelper::kSelfRepair) == 0) {
        ResetEnvironment();
        ::umask(022);
    }
#ifndef LUMORA_INSTALL_HELPER_LIBRARY_FROM_ENVIRONMENT
    // The shipped helper never takes its Library folders from the environment.
    ::unsetenv("LUMORA_LOCAL_LIBRARY");
    ::unsetenv("LUMORA_SYSTEM_LIBRARY");
#endif
    return lumora::installhelper::Main(argc, argv, SelfPath());
}
