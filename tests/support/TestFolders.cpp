#include "support/TestFolders.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <ftw.h>
#include <sstream>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>

namespace lumora::test {

namespace {

std::string gHome;

int RemoveEntry(const char *path, const struct stat *, int, struct FTW *) {
    return ::remove(path);
}

}  // namespace

void SetHomeFolder(const std::string &home) { gHome = home; }

const std::string &HomeFolder() { return gHome; }

ScopedFolder::ScopedFolder(const std::string &stem) {
    std::string pattern = (gHome.empty() ? std::string("/tmp") : gHome) + "/" + stem + "-XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed for " + pattern);
    mPath = pattern;
}

ScopedFolder::~ScopedFolder() { RemoveTree(mPath); }

bool RemoveTree(const std::string &path) {
    struct stat info;
    if (::lstat(path.c_str(), &info) != 0) return true;
    return ::nftw(path.c_str(), RemoveEntry, 16, FTW_DEPTH | FTW_PHYS) == 0;
}

std::string ReadFile(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return {};
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

bool WriteFile(const std::string &path, const std::string &content) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out) return false;
    out << content;
    return static_cast<bool>(out.flush());
}

}  // namespace lumora::test
