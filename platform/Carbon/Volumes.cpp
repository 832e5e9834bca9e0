// Volumes (mounted file systems) and folder ids, as Files.h describes them.
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <dirent.h>
#include <fcntl.h>
#include <map>
#include <memory>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>

#include "FileRefs.h"

namespace lumora::carbon {

namespace {

// Undoes the octal escapes of a mountinfo field ("\040" for a space).
std::string Unescape(const std::string &field) {
    std::string out;
    for (size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size() && field[i + 1] >= '0' && field[i + 1] <= '3' &&
            field[i + 2] >= '0' && field[i + 2] <= '7' && field[i + 3] >= '0' && field[i + 3] <= '7') {
            out.push_back(char((field[i + 1] - '0') * 64 + (field[i + 2] - '0') * 8 + (field[i + 3] - '0')));
            i += 3;
        } else {
            out.push_back(field[i]);
        }
    }
    return out;
}

// The mount points listed in /proc/self/mountinfo, in the file's order.
std::vector<std::string> MountPoints() {
    std::vector<std::string> points;
    std::unique_ptr<FILE, decltype(&std::fclose)> file(std::fopen("/proc/self/mountinfo", "re"), &std::fclose);
    if (!file) return points;
    char *line = nullptr;
    size_t capacity = 0;
    while (::getline(&line, &capacity, file.get()) > 0) {
        // id parent major:minor root mount-point ...
        const char *field = line;
        for (int skip = 0; skip < 4 && field != nullptr; ++skip) {
            field = std::strchr(field, ' ');
            if (field != nullptr) ++field;
        }
        if (field == nullptr) continue;
        const char *end = std::strchr(field, ' ');
        if (end == nullptr) continue;
        points.push_back(Unescape(std::string(field, size_t(end - field))));
    }
    std::free(line);
    return points;
}

bool IsBelowOrAt(const std::string &path, const std::string &folder) {
    if (folder == "/") return !path.empty() && path[0] == '/';
    return path == folder || (path.size() > folder.size() && path.compare(0, folder.size(), folder) == 0 &&
                              path[folder.size()] == '/');
}

// The mount point of the object at the canonical `path` on `device`.
std::string FindMountPoint(const std::string &path, UInt64 device) {
    std::string best;
    for (const std::string &point : MountPoints()) {
        // Of equal mount points the last one listed is the one on top.
        if (IsBelowOrAt(path, point) && point.size() >= best.size()) best = point;
    }
    struct stat info;
    if (!best.empty() && ::stat(best.c_str(), &info) == 0 && UInt64(info.st_dev) == device) return best;
    // No usable list (or a file system whose objects report another device than its
    // mount, such as a subvolume): the topmost folder above the object on its device.
    std::string top = path;
    while (top != "/") {
        const std::string parent = ParentPath(top);
        if (parent.empty() || ::stat(parent.c_str(), &info) != 0 || UInt64(info.st_dev) != device) break;
        top = parent;
    }
    return top;
}

struct FolderNote {
    UInt64 inode = 0;
    UInt64 birth = 0;  // 0 when unknown
    std::string path;
    bool gone = false;  // searched for in vain: deleted (or out of reach)
};

class VolumeTable {
public:
    static VolumeTable &Shared() {
        static VolumeTable *table = new VolumeTable;  // never destroyed: used during exit
        return *table;
    }

    OSErr volumeOf(const std::string &path, const struct stat &info, Volume &volume) {
        const std::string root = FindMountPoint(path, UInt64(info.st_dev));
        struct stat rootInfo;
        if (::stat(root.c_str(), &rootInfo) != 0) return StatusFromErrno(errno);
        std::lock_guard<std::mutex> lock(mMutex);
        for (const Volume &known : mVolumes) {
            if (known.device == UInt64(info.st_dev) && known.root == root && known.rootInode == UInt64(rootInfo.st_ino)) {
                volume = known;
                return noErr;
            }
        }
        if (mVolumes.size() >= size_t(kFirstRefNum - SHRT_MIN)) return tmfoErr;
        Volume made;
        made.refNum = FSVolumeRefNum(kFirstRefNum - short(mVolumes.size()));
        made.device = UInt64(info.st_dev);
        made.rootInode = UInt64(rootInfo.st_ino);
        made.root = root;
        made.name = root == "/" ? std::string() : LeafName(root);
        mVolumes.push_back(made);
        volume = made;
        return noErr;
    }

    bool byRefNum(FSVolumeRefNum refNum, Volume &volume) {
        std::lock_guard<std::mutex> lock(mMutex);
        const int index = kFirstRefNum - refNum;
        if (index < 0 || size_t(index) >= mVolumes.size()) return false;
        volume = mVolumes[size_t(index)];
        return true;
    }

    long idOf(const Volume &volume, const std::string &path, const struct stat &info) {
        const UInt64 inode = UInt64(info.st_ino);
        if (UInt64(info.st_dev) == volume.device && inode == volume.rootInode) return fsRtDirID;
        std::lock_guard<std::mutex> lock(mMutex);
        long id;
        if (inode > UInt64(fsRtDirID) && inode <= UInt64(LONG_MAX)) {
            id = long(inode);
        } else {
            // An inode number that cannot be its own id.
            auto [found, added] = mOwnIDs.try_emplace({volume.refNum, inode}, mNextOwnID);
            if (added) --mNextOwnID;
            id = found->second;
        }
        if (S_ISDIR(info.st_mode)) mFolders[{volume.refNum, id}] = FolderNote{inode, BirthTimeOf(path), path};
        return id;
    }

    bool note(FSVolumeRefNum refNum, long id, FolderNote &note) {
        std::lock_guard<std::mutex> lock(mMutex);
        auto found = mFolders.find({refNum, id});
        if (found == mFolders.end()) return false;
        note = found->second;
        return true;
    }

    bool isOwnID(long id) {
        std::lock_guard<std::mutex> lock(mMutex);
        return id > mNextOwnID;
    }

    void renote(FSVolumeRefNum refNum, long id, const FolderNote &note) {
        std::lock_guard<std::mutex> lock(mMutex);
        mFolders[{refNum, id}] = note;
    }

    std::vector<FSVolumeRefNum> volumesKnowing(long id) {
        std::lock_guard<std::mutex> lock(mMutex);
        std::vector<FSVolumeRefNum> volumes;
        for (const Volume &volume : mVolumes) {
            if (id == fsRtDirID || mFolders.count({volume.refNum, id}) != 0) volumes.push_back(volume.refNum);
        }
        return volumes;
    }

private:
    static constexpr short kFirstRefNum = -100;
    std::mutex mMutex;
    std::vector<Volume> mVolumes;  // index = kFirstRefNum - refNum
    std::map<std::pair<FSVolumeRefNum, long>, FolderNote> mFolders;
    std::map<std::pair<FSVolumeRefNum, UInt64>, long> mOwnIDs;
    long mNextOwnID = LONG_MAX;
};

bool RootStillThere(const Volume &volume) {
    struct stat info;
    return ::stat(volume.root.c_str(), &info) == 0 && UInt64(info.st_dev) == volume.device &&
           UInt64(info.st_ino) == volume.rootInode;
}

// True when `birth` is unknown or the object at `path` was born then.
bool BornAt(const std::string &path, UInt64 birth) { return birth == 0 || BirthTimeOf(path) == birth; }

bool IsFolderWith(const std::string &path, UInt64 device, UInt64 inode, UInt64 birth) {
    struct stat info;
    return ::lstat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode) && UInt64(info.st_dev) == device &&
           UInt64(info.st_ino) == inode && BornAt(path, birth);
}

bool SearchBelow(UInt64 device, UInt64 inode, bool directory, const std::string &start, std::string &found,
                 UInt64 birth) {
    std::deque<std::string> queue{start};
    int visited = 0;
    while (!queue.empty() && visited < kSearchFolderLimit) {
        const std::string folder = std::move(queue.front());
        queue.pop_front();
        const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NOFOLLOW);
        if (fd < 0) continue;
        struct stat info;
        if (::fstat(fd, &info) != 0 || UInt64(info.st_dev) != device) {
            ::close(fd);
            continue;  // another file system mounted here
        }
        DIR *dir = ::fdopendir(fd);
        if (dir == nullptr) {
            ::close(fd);
            continue;
        }
        ++visited;
        while (struct dirent *entry = ::readdir(dir)) {
            const char *name = entry->d_name;
            if (std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0) continue;
            const std::string path = JoinPath(folder, name);
            bool isFolder = entry->d_type == DT_DIR;
            if (entry->d_type == DT_UNKNOWN || UInt64(entry->d_ino) == inode) {
                struct stat child;
                if (::lstat(path.c_str(), &child) != 0) continue;
                isFolder = S_ISDIR(child.st_mode);
                if (UInt64(child.st_dev) == device && UInt64(child.st_ino) == inode && isFolder == directory &&
                    BornAt(path, birth)) {
                    ::closedir(dir);
                    found = path;
                    return true;
                }
            }
            if (isFolder) queue.push_back(path);
        }
        ::closedir(dir);
    }
    return false;
}

}  // namespace

OSErr VolumeOfObject(const std::string &path, const struct stat &info, Volume &volume) {
    return VolumeTable::Shared().volumeOf(path, info, volume);
}

OSErr VolumeOfRefNum(FSVolumeRefNum refNum, Volume &volume) {
    if (!VolumeTable::Shared().byRefNum(refNum, volume) || !RootStillThere(volume)) return nsvErr;
    return noErr;
}

OSErr DefaultVolume(Volume &volume, std::string *workingFolder) {
    std::unique_ptr<char, decltype(&std::free)> cwd(::getcwd(nullptr, 0), &std::free);
    if (!cwd) return StatusFromErrno(errno);
    std::unique_ptr<char, decltype(&std::free)> resolved(::realpath(cwd.get(), nullptr), &std::free);
    if (!resolved) return StatusFromErrno(errno);
    struct stat info;
    if (::stat(resolved.get(), &info) != 0) return StatusFromErrno(errno);
    if (workingFolder != nullptr) *workingFolder = resolved.get();
    return VolumeOfObject(resolved.get(), info, volume);
}

long ObjectID(const Volume &volume, const std::string &path, const struct stat &info) {
    return VolumeTable::Shared().idOf(volume, path, info);
}

std::vector<FSVolumeRefNum> VolumesKnowingFolder(long dirID) {
    std::vector<FSVolumeRefNum> volumes = VolumeTable::Shared().volumesKnowing(dirID);
    Volume working;
    if (DefaultVolume(working) == noErr) {
        for (size_t i = 0; i < volumes.size(); ++i) {
            if (volumes[i] == working.refNum) {
                volumes.erase(volumes.begin() + long(i));
                volumes.insert(volumes.begin(), working.refNum);
                break;
            }
        }
    }
    return volumes;
}

std::string NearestExistingFolder(const std::string &path, UInt64 device) {
    std::string folder = path;
    while (!folder.empty()) {
        struct stat info;
        if (::stat(folder.c_str(), &info) == 0 && S_ISDIR(info.st_mode) && UInt64(info.st_dev) == device) return folder;
        folder = ParentPath(folder);
    }
    return std::string();
}

UInt64 BirthTimeOf(const std::string &path) {
    struct statx info;
    if (::statx(AT_FDCWD, path.c_str(), AT_SYMLINK_NOFOLLOW | AT_STATX_SYNC_AS_STAT, STATX_BTIME, &info) != 0 ||
        (info.stx_mask & STATX_BTIME) == 0)
        return 0;
    return UInt64(info.stx_btime.tv_sec) * 1000000000u + info.stx_btime.tv_nsec;
}

bool FindInode(UInt64 device, UInt64 inode, bool directory, const std::vector<std::string> &starts,
               std::string &found, UInt64 birth) {
    for (const std::string &start : starts) {
        if (!start.empty() && SearchBelow(device, inode, directory, start, found, birth)) return true;
    }
    return false;
}

OSErr FolderOfID(const Volume &volume, long dirID, std::string &path) {
    if (!RootStillThere(volume)) return nsvErr;
    if (dirID == fsRtDirID) {
        path = volume.root;
        return noErr;
    }
    if (dirID <= fsRtDirID) return dirNFErr;
    FolderNote note;
    const bool noted = VolumeTable::Shared().note(volume.refNum, dirID, note);
    if (noted && IsFolderWith(note.path, volume.device, note.inode, note.birth)) {
        path = note.path;
        return noErr;
    }
    if (noted && note.gone) return dirNFErr;
    if (!noted) {
        if (VolumeTable::Shared().isOwnID(dirID)) return dirNFErr;
        note.inode = UInt64(dirID);  // an id this process has not handed out: an inode number
    }
    // The folder was renamed or moved (or the id is new here): look for its inode.
    std::vector<std::string> starts;
    if (noted) {
        const std::string nearest = NearestExistingFolder(ParentPath(note.path), volume.device);
        if (IsBelowOrAt(nearest, volume.root) && nearest != volume.root) starts.push_back(nearest);
    }
    starts.push_back(volume.root);
    std::string found;
    if (!FindInode(volume.device, note.inode, true, starts, found, note.birth)) {
        if (noted) {
            note.gone = true;
            VolumeTable::Shared().renote(volume.refNum, dirID, note);
        }
        return dirNFErr;
    }
    note.path = found;
    VolumeTable::Shared().renote(volume.refNum, dirID, note);
    path = found;
    return noErr;
}

OSErr MountPointOf(const std::string &path, std::string &mountPoint) {
    std::unique_ptr<char, decltype(&std::free)> resolved(::realpath(path.c_str(), nullptr), &std::free);
    if (!resolved) return StatusFromErrno(errno);
    struct stat info;
    if (::stat(resolved.get(), &info) != 0) return StatusFromErrno(errno);
    mountPoint = FindMountPoint(resolved.get(), UInt64(info.st_dev));
    return noErr;
}

OSErr VolumeMountPoint(FSVolumeRefNum vRefNum, std::string &mountPoint) {
    Volume volume;
    const OSErr status = VolumeOfRefNum(vRefNum, volume);
    if (status != noErr) return status;
    mountPoint = volume.root;
    return noErr;
}

}  // namespace lumora::carbon

using namespace lumora::carbon;

OSErr FlushVol(ConstStr63Param, FSVolumeRefNum vRefNum) {
    Volume volume;
    OSErr status = vRefNum == 0 ? DefaultVolume(volume) : VolumeOfRefNum(vRefNum, volume);
    if (status != noErr) return status;
    const int fd = ::open(volume.root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return StatusFromErrno(errno);
    status = ::syncfs(fd) == 0 ? OSErr(noErr) : StatusFromErrno(errno);
    ::close(fd);
    return status;
}
