#include <Carbon/Folders.h>

#include <cerrno>
#include <cstdlib>
#include <fstream>
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

// The value of `key` in a user-dirs.dirs line (KEY="$HOME/..." or KEY="/..."), with the
// backslash escapes of the shell undone; false when the line does not set it that way.
bool UserDirsValue(const std::string &line, const std::string &key, const std::string &home, std::string &value) {
    size_t at = line.find_first_not_of(" \t");
    if (at == std::string::npos || line.compare(at, key.size(), key) != 0) return false;
    at += key.size();
    if (at + 1 >= line.size() || line[at] != '=' || line[at + 1] != '"') return false;
    std::string text;
    size_t i = at + 2;
    for (; i < line.size() && line[i] != '"'; ++i) {
        if (line[i] == '\\' && i + 1 < line.size()) ++i;
        text.push_back(line[i]);
    }
    if (i >= line.size()) return false;  // no closing quote
    if (text.compare(0, 5, "$HOME") == 0 && (text.size() == 5 || text[5] == '/')) {
        value = home + text.substr(5);
    } else if (!text.empty() && text[0] == '/') {
        value = text;
    } else {
        return false;
    }
    while (value.size() > 1 && value.back() == '/') value.pop_back();
    return true;
}

// An XDG user folder, as xdg-user-dir finds it.
bool UserDirectory(OSType folderType, std::string &path) {
    const char *key = "XDG_DESKTOP_DIR";
    const char *fallback = "/Desktop";
    switch (folderType) {
    case kPictureDocumentsFolderType: key = "XDG_PICTURES_DIR", fallback = "/Pictures"; break;
    case kMovieDocumentsFolderType: key = "XDG_VIDEOS_DIR", fallback = "/Videos"; break;
    case kDocumentsFolderType: key = "XDG_DOCUMENTS_DIR", fallback = "/Documents"; break;
    default: break;
    }
    std::string home, config;
    if (!HomeFolder(home) || !XdgFolder("XDG_CONFIG_HOME", "/.config", config)) return false;
    std::ifstream file(config + "/user-dirs.dirs");
    std::string line, value;
    bool found = false;
    while (std::getline(file, line)) {
        if (UserDirsValue(line, key, home, value)) found = true;  // the last setting wins, as in the shell
    }
    if (found) {
        path = value;
        return true;
    }
    if (const char *variable = AbsoluteEnv(key)) {
        path = variable;
        return true;
    }
    path = home + fallback;
    return true;
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
    switch (folderType) {
    case kPictureDocumentsFolderType:
    case kMovieDocumentsFolderType:
    case kDocumentsFolderType:
    case kDesktopFolderType:
        if (domain != kUserDomain) return fnfErr;
        return UserDirectory(folderType, path) ? OSErr(noErr) : OSErr(fnfErr);
    case kLogsFolderType:
        if (domain == kUserDomain) {
            if (!XdgFolder("XDG_STATE_HOME", "/.local/state", path)) return fnfErr;
            path += "/Logs";
            return noErr;
        }
        break;
    case kDesktopPicturesFolderType:
        if (domain == kUserDomain) {
            if (!XdgFolder("XDG_DATA_HOME", "/.local/share", path)) return fnfErr;
            path += "/backgrounds";
            return noErr;
        }
        break;
    case kDomainLibraryFolderType:
    case kFrameworksFolderType:
    case kQuickTimeComponentsFolderType: break;
    default: return paramErr;
    }
    if (!LibraryFolder(domain, path)) return fnfErr;
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    switch (folderType) {
    case kDomainLibraryFolderType: break;
    case kLogsFolderType: path += "/Logs"; break;
    case kFrameworksFolderType: path += "/Frameworks"; break;
    case kDesktopPicturesFolderType: path += "/Desktop Pictures"; break;
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
