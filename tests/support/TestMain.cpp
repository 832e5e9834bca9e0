// The main of every test program: points HOME and the XDG folders at a fresh temporary
// folder before any test runs, and removes it afterwards.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <sys/stat.h>

#include "support/TestFolders.h"

int main(int argc, char **argv) {
    const char *tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/lumora-test-XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr) {
        std::perror("lumora test: mkdtemp");
        return 2;
    }
    const std::string home = pattern;
    lumora::test::SetHomeFolder(home);

    const std::pair<const char *, const char *> folders[] = {
        {"XDG_CONFIG_HOME", "/.config"}, {"XDG_DATA_HOME", "/.local/share"},
        {"XDG_CACHE_HOME", "/.cache"},   {"XDG_STATE_HOME", "/.local/state"},
        {"XDG_RUNTIME_DIR", "/run"},
    };
    ::setenv("HOME", home.c_str(), 1);
    for (const auto &[name, suffix] : folders) {
        const std::string path = home + suffix;
        ::setenv(name, path.c_str(), 1);
    }
    ::mkdir((home + "/run").c_str(), 0700);

    ::testing::InitGoogleTest(&argc, argv);
    const int result = RUN_ALL_TESTS();
    lumora::test::RemoveTree(home);
    return result;
}
