#include "shared_vdig_bundle.h"

#include <CoreX/CoreUnixPath.h>
#include <CoreX/CoreUserFolder.h>

#include <sys/stat.h>
#include <unistd.h>

#include <climits>

namespace {

// The file-system path of the name in the location; "" when the folder or the name is missing.
std::string PathInLocation(CFStringRef name, CFBaseDLL::Location location) {
    if (name == nullptr) return {};
    CFURLRef url = CFBaseDLL::URLOfNameInLocation(name, location);
    if (url == nullptr) return {};
    std::string path;
    CFBaseDLL::PathFromURL(url, path);
    CFRelease(url);
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    return path;
}

// What the symbolic link at the path leads to, as written; false when it is no link.
bool ReadLink(const std::string &path, std::string &target) {
    char buffer[PATH_MAX];
    const ssize_t length = ::readlink(path.c_str(), buffer, sizeof buffer);
    if (length < 0 || size_t(length) >= sizeof buffer) return false;
    target.assign(buffer, size_t(length));
    return true;
}

}  // namespace

shared_vdig_bundle::shared_vdig_bundle(CFStringRef fileName, const char *bundleName)
    : CorePlugInBundle(fileName != nullptr && bundleName != nullptr ? fileName : nullptr,
                       fileName != nullptr && bundleName != nullptr ? bundleName : nullptr) {}

shared_vdig_bundle::~shared_vdig_bundle() = default;

shared_vdig_bundle &shared_vdig_bundle::Shared() {
    static shared_vdig_bundle sBundle(CFSTR("Lumora2.VDIG.component"), "Lumora2.VDIG");
    return sBundle;
}

bool shared_vdig_bundle::IsInstalled() {
    for (const CFBaseDLL::Location location : {CFBaseDLL::kLocation_UserComponents, CFBaseDLL::kLocation_SystemComponents}) {
        const std::string path = PathInLocation(mItemName, location);
        if (!path.empty() && CoreUnixPath::FileExistsRead(path.c_str())) return true;
    }
    return false;
}

bool shared_vdig_bundle::InstallLocalLibraryQuickTime(bool install) {
    const std::lock_guard<std::mutex> lock(mLock);
    return install ? InstallLocked() : RemoveLocked();
}

bool shared_vdig_bundle::HasMadeLink() {
    const std::lock_guard<std::mutex> lock(mLock);
    return mMadeLink;
}

bool shared_vdig_bundle::InstallLocked() {
    if (IsInstalled()) return true;
    if (mItemName == nullptr || mBaseName == nullptr) return false;
    // The user's folder may not exist yet on a fresh account.
    FSRef folder;
    if (!CoreUserFolder::FSRefOfFoundFolder(folder, kQuickTimeComponentsFolderType, kUserDomain, nullptr)) return false;
    const std::string path = PathInLocation(mItemName, CFBaseDLL::kLocation_UserComponents);
    if (path.empty()) return false;

    struct stat before {};
    const bool existed = ::lstat(path.c_str(), &before) == 0;
    if (!LinkComponentInLocation(mBaseName, mItemName, true, CFBaseDLL::kLocation_UserComponents)) return false;

    struct stat after {};
    std::string target;
    if (::lstat(path.c_str(), &after) != 0 || !S_ISLNK(after.st_mode) || !ReadLink(path, target)) return true;
    if (existed && before.st_dev == after.st_dev && before.st_ino == after.st_ino) return true;  // not made here
    mMadeLink = true;
    mLinkPath = path;
    mLinkTarget = target;
    mLinkDevice = after.st_dev;
    mLinkInode = after.st_ino;
    mLinkChanged = after.st_ctim;
    return true;
}

bool shared_vdig_bundle::RemoveLocked() {
    // Nothing of the component stays loaded into this process while it is withdrawn.
    mBundleDLL.Unload();
    if (!mMadeLink) return false;
    struct stat info {};
    std::string target;
    const bool ours = ::lstat(mLinkPath.c_str(), &info) == 0 && S_ISLNK(info.st_mode) &&
                      info.st_dev == mLinkDevice && info.st_ino == mLinkInode &&
                      info.st_ctim.tv_sec == mLinkChanged.tv_sec && info.st_ctim.tv_nsec == mLinkChanged.tv_nsec &&
                      ReadLink(mLinkPath, target) &&
                      target == mLinkTarget;
    if (!ours) {
        // Gone, or replaced by someone else's item: forget it, delete nothing.
        mMadeLink = false;
        return false;
    }
    if (!CoreUnixPath::FileDelete(mLinkPath.c_str())) return false;  // kept: a later removal tries again
    mMadeLink = false;
    return true;
}

bool import_shared_vdig_bundle() { return import_CorePlugInBundle() && import_CoreUserFolder(); }
