#include <CoreX/CorePlugInBundle.h>

#include <CoreX/CoreUnixPath.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <string>

namespace {

// The path without trailing slashes, so that lstat and unlink see a link itself rather than
// what it leads to.
std::string WithoutTrailingSlashes(const char *path) {
    std::string result = path;
    while (result.size() > 1 && result.back() == '/') result.pop_back();
    return result;
}

bool SameObject(const std::string &a, const std::string &b) {
    struct stat first {}, second {};
    return ::stat(a.c_str(), &first) == 0 && ::stat(b.c_str(), &second) == 0 && first.st_dev == second.st_dev &&
           first.st_ino == second.st_ino;
}

// Replaces the symbolic link at destination with one leading to source: the new link is made
// beside it and renamed over it, so the name never goes missing.
bool ReplaceLink(const std::string &source, const std::string &destination) {
    for (int attempt = 0; attempt < 16; ++attempt) {
        char suffix[48];
        std::snprintf(suffix, sizeof suffix, ".link-%ld-%d", long(::getpid()), attempt);
        const std::string temporary = destination + suffix;
        struct stat info {};
        if (::lstat(temporary.c_str(), &info) == 0) continue;
        if (!CoreUnixPath::MakeSymbolicLinkFromTo(source.c_str(), temporary.c_str())) return false;
        if (::rename(temporary.c_str(), destination.c_str()) == 0) return true;
        ::unlink(temporary.c_str());
        return false;
    }
    return false;
}

}  // namespace

CorePlugInBundle::CorePlugInBundle(CFStringRef itemName, const char *baseName)
    : mBundleDLL(nullptr), mItemName(itemName), mBaseName(baseName) {}

CorePlugInBundle::~CorePlugInBundle() = default;

CFURLRef CorePlugInBundle::CopyPlugInURL(const char *baseName, CFStringRef extension) {
    if (baseName == nullptr || extension == nullptr) return nullptr;
    CFBundleRef bundle = CFBundleGetMainBundle();
    if (bundle == nullptr) return nullptr;
    CFStringRef name = CFStringCreateWithFormat(kCFAllocatorDefault, nullptr, CFSTR("%s.%@"), baseName, extension);
    if (name == nullptr) return nullptr;
    CFURLRef plugIns = CFBundleCopyBuiltInPlugInsURL(bundle);
    CFURLRef appended = plugIns != nullptr
                            ? CFURLCreateCopyAppendingPathComponent(kCFAllocatorDefault, plugIns, name, true)
                            : nullptr;
    if (plugIns != nullptr) CFRelease(plugIns);
    CFRelease(name);
    if (appended == nullptr) return nullptr;
    UInt8 path[2048];
    const bool known = CFURLGetFileSystemRepresentation(appended, true, path, sizeof path);
    CFRelease(appended);
    if (!known) return nullptr;
    return CFURLCreateFromFileSystemRepresentation(kCFAllocatorDefault, path,
                                                   CFIndex(std::char_traits<char>::length(reinterpret_cast<char *>(path))),
                                                   true);
}

bool CorePlugInBundle::IsInstalled() { return false; }

bool CorePlugInBundle::InstallInLocation(bool install, CFBaseDLL::Location location) {
    if (install && IsInstalled()) return true;
    // Nothing else loads into this handle while the item is being withdrawn.
    if (!install) mBundleDLL.Unload();
    return LinkComponentInLocation(mBaseName, mItemName, install, location);
}

bool CorePlugInBundle::LinkComponentInLocation(const char *baseName, CFStringRef itemName, bool install,
                                               CFBaseDLL::Location location) {
    CFURLRef sourceURL = CopyPlugInURL(baseName, CFSTR("component"));
    if (sourceURL == nullptr) return false;
    if (itemName == nullptr) {
        CFRelease(sourceURL);
        return false;
    }
    CFURLRef destinationURL = CFBaseDLL::URLOfNameInLocation(itemName, location);
    if (destinationURL == nullptr) {
        CFRelease(sourceURL);
        return false;
    }
    const CoreUnixPath sourcePath(sourceURL);
    const CoreUnixPath destinationPath(destinationURL);
    CFRelease(sourceURL);
    CFRelease(destinationURL);
    if (sourcePath.IsEmpty() || destinationPath.IsEmpty()) return false;
    const std::string source = WithoutTrailingSlashes(sourcePath);
    const std::string destination = WithoutTrailingSlashes(destinationPath);

    // lstat, not access(): a dangling link must be seen as a link, and a link is not what
    // it leads to.
    struct stat existing {};
    const bool exists = ::lstat(destination.c_str(), &existing) == 0;
    if (!exists && errno != ENOENT) return false;
    const bool isLink = exists && S_ISLNK(existing.st_mode);

    if (install) {
        if (!CoreUnixPath::FileExistsRead(source.c_str())) return false;
        if (!exists) return CoreUnixPath::MakeSymbolicLinkFromTo(source.c_str(), destination.c_str());
        if (!isLink) return false;  // the user's own file or folder
        if (SameObject(destination, source)) return true;
        return ReplaceLink(source, destination);
    }
    if (!isLink) return false;
    return CoreUnixPath::FileDelete(destination.c_str());
}

bool import_CorePlugInBundle() { return import_CFBaseDLL() && import_CoreUnixPath(); }
