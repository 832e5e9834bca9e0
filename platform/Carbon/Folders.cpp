#include <Carbon/Folders.h>

#include <cerrno>
#include <cstdlib>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "FileRefs.h"

namespace lumora::carbon {

namespace {

// The variable's value when it is an absolute path, else null.
const char *AbsoluteEnv(const char *name) {
    const char *value = std::getenv(name);
    return (value != nullptr && value[0] == '/') ? value : nullptr;
}

bool HomeFolder(std::string &home) {
    if (const char *value = AbsoluteEnv("HOME")) {
        home = value;
        return true;
    }
    long size = ::sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(size > 0 ? size_t(size) : 16384);
    struct passwd entry;
    struct passwd *found = nullptr;
    if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) != 0 || found == nullptr ||
        found->pw_dir == nullptr || found->pw_dir[0] != '/')
        return false;
    home = found->pw_dir;
    return true;
}

// $variable, else ~/fallback.
bool XdgFolder(const char *variable, const char *fallback, std::string &path) {
    if (const char *value = AbsoluteEnv(variable)) {
        path = value;
        return true;
    }
    if (!HomeFolder(path)) return false;
    path += fallback;
    return true;
}

bool LibraryFolder(short domain, std::string &path) {
    switch (domain) {
    case kUserDomain:
        if (!XdgFolder("XDG_DATA_HOME", "/.local/share", path)) return false;
        path += "/Lumora/Library";
        return true;
    case kLocalDomain: {
        const char *value = AbsoluteEnv("LUMORA_LOCAL_LIBRARY");
        path = value != nullptr ? value : "/usr/local/share/Lumora/Library";
        return true;
    }
    default: {
        const char *value = AbsoluteEnv("LUMORA_SYSTEM_LIBRARY");
        path = value != nullptr ? value : "/usr/share/Lumora/Library";
        return true;
    }
    }
}

// Creates the folder and every missing folder above it.
int MakeFolders(const std::string &path, mode_t mode) {
    struct stat info;
    if (::stat(path.c_str(), &info) == 0) return S_ISDIR(info.st_mode) ? 0 : ENOTDIR;
    if (errno != ENOENT) return errno;
    const size_t slash = path.find_last_of('/');
    if (slash != std::string::npos && slash > 0) {
        if (const int error = MakeFolders(path.substr(0, slash), mode)) return error;
    }
    if (::mkdir(path.c_str(), mode) == 0) return 0;
    if (errno == EEXIST && ::stat(path.c_str(), &info) == 0) return S_ISDIR(info.st_mode) ? 0 : ENOTDIR;
    return errno;
}

}  // namespace

OSErr FolderPath(short domain, OSType folderType, std::string &path) {
    if (domain != kUserDomain && domain != kLocalDomain && domain != kSystemDomain) return nsvErr;
    if (folderType != kLogsFolderType && folderType != kFrameworksFolderType &&
        folderType != kQuickTimeComponentsFolderType)
        return paramErr;

    if (folderType == kLogsFolderType && domain == kUserDomain) {
        if (!XdgFolder("XDG_STATE_HOME", "/.local/state", path)) return fnfErr;
        path += "/Logs";
        return noErr;
    }
    if (!LibraryFolder(domain, path)) return fnfErr;
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    switch (folderType) {
    case kLogsFolderType: path += "/Logs"; break;
    case kFrameworksFolderType: path += "/Frameworks"; break;
    default: path += "/QuickTime"; break;
    }
    return noErr;
}

}  // namespace lumora::carbon

using namespace lumora::carbon;

OSErr FSFindFolder(short vRefNum, OSType folderType, Boolean createFolder, FSRef *ref) {
    if (ref == nullptr) return paramErr;
    ClearFileRef(*ref);
    std::string path;
    OSErr status = FolderPath(vRefNum, folderType, path);
    if (status != noErr) return status;

    struct stat info;
    if (::stat(path.c_str(), &info) != 0) {
        if (errno != ENOENT && errno != ENOTDIR) return StatusFromErrno(errno);
        if (!createFolder) return fnfErr;
        if (const int error = MakeFolders(path, vRefNum == kUserDomain ? 0700 : 0755)) return StatusFromErrno(error);
    } else if (!S_ISDIR(info.st_mode)) {
        return dirNFErr;
    }

    bool directory = false;
    status = MakeFileRef(path, *ref, &directory);
    if (status == noErr && !directory) status = dirNFErr;  // replaced between the calls
    if (status != noErr) ClearFileRef(*ref);
    return status;
}
