// Catalog information (dates, Finder information, sizes, ids), creating, renaming and
// deleting objects.
#include <bit>
#include <cerrno>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include "FileRefs.h"

namespace lumora::carbon {

namespace {

// Seconds from 1904-01-01 to 1970-01-01.
constexpr SInt64 kMacEpochOffset = 2082844800;

constexpr FSCatalogInfoBitmap kProvidedCatalogInfo = kFSCatInfoGettableInfo;

// Field sizes of each Finder record, in order.
const UInt8 *FieldSizes(FinderRecord kind) {
    static const UInt8 kFile[] = {4, 4, 2, 2, 2, 2, 0};
    static const UInt8 kFolder[] = {2, 2, 2, 2, 2, 2, 2, 2, 0};
    static const UInt8 kExtendedFile[] = {2, 2, 2, 2, 2, 2, 4, 0};
    static const UInt8 kExtendedFolder[] = {2, 2, 4, 2, 2, 4, 0};
    static const UInt8 kFXInfo[] = {2, 2, 2, 2, 1, 1, 2, 4, 0};
    static const UInt8 kDXInfo[] = {2, 2, 4, 1, 1, 2, 4, 0};
    switch (kind) {
    case FinderRecord::File: return kFile;
    case FinderRecord::Folder: return kFolder;
    case FinderRecord::ExtendedFile: return kExtendedFile;
    case FinderRecord::ExtendedFolder: return kExtendedFolder;
    case FinderRecord::FXInfo: return kFXInfo;
    default: return kDXInfo;
    }
}

struct Times {
    struct timespec created, modified, changed, accessed;
};

OSErr ReadTimes(const std::string &path, Times &times) {
    struct statx info;
    if (::statx(AT_FDCWD, path.c_str(), AT_STATX_SYNC_AS_STAT, STATX_BASIC_STATS | STATX_BTIME, &info) != 0)
        return StatusFromErrno(errno);
    auto spec = [](const struct statx_timestamp &t) { return timespec{time_t(t.tv_sec), long(t.tv_nsec)}; };
    times.modified = spec(info.stx_mtime);
    times.changed = spec(info.stx_ctime);
    times.accessed = spec(info.stx_atime);
    // A file system that keeps no birth time: the modification time, the latest time the
    // object can have been made.
    times.created = (info.stx_mask & STATX_BTIME) ? spec(info.stx_btime) : times.modified;
    return noErr;
}

UInt64 ResourceForkSize(const std::string &path) {
    const ssize_t size = ::getxattr(path.c_str(), kResourceForkAttribute, nullptr, 0);
    return size > 0 ? UInt64(size) : 0;
}

bool IsVolumeRoot(const Volume &volume, const struct stat &info) {
    return UInt64(info.st_dev) == volume.device && UInt64(info.st_ino) == volume.rootInode;
}

}  // namespace

void SwapFinderRecord(FinderRecord kind, const void *from, void *to) {
    UInt8 bytes[16];
    std::memcpy(bytes, from, sizeof bytes);
    if constexpr (std::endian::native == std::endian::little) {
        size_t at = 0;
        for (const UInt8 *size = FieldSizes(kind); *size != 0; at += *size, ++size) {
            for (size_t i = 0; i < *size / 2u; ++i) std::swap(bytes[at + i], bytes[at + *size - 1 - i]);
        }
    }
    std::memcpy(to, bytes, sizeof bytes);
}

UTCDateTime DateFromTimespec(const struct timespec &time) {
    UTCDateTime date{};
    const SInt64 seconds = SInt64(time.tv_sec) + kMacEpochOffset;
    if (seconds < 0) return date;
    if (seconds >= (SInt64(1) << 48)) {
        date.highSeconds = 0xFFFF;
        date.lowSeconds = 0xFFFFFFFF;
        date.fraction = 0xFFFF;
        return date;
    }
    date.highSeconds = UInt16(UInt64(seconds) >> 32);
    date.lowSeconds = UInt32(UInt64(seconds) & 0xFFFFFFFF);
    date.fraction = UInt16((UInt64(time.tv_nsec) << 16) / 1000000000u);
    return date;
}

struct timespec TimespecFromDate(const UTCDateTime &date) {
    const SInt64 seconds = SInt64((UInt64(date.highSeconds) << 32) | date.lowSeconds) - kMacEpochOffset;
    // The nanoseconds nearest to the fraction, so that a time read back gives the same date.
    const long nanoseconds = long((UInt64(date.fraction) * 1000000000u + 65535u) >> 16);
    return timespec{time_t(seconds), nanoseconds};
}

OSErr ReadFinderInfo(const std::string &path, UInt8 (&bytes)[32]) {
    UInt8 buffer[64] = {};
    const ssize_t size = ::getxattr(path.c_str(), kFinderInfoAttribute, buffer, sizeof buffer);
    if (size < 0 && errno != ENODATA && errno != ENOTSUP && errno != ERANGE) return StatusFromErrno(errno);
    std::memset(bytes, 0, sizeof bytes);
    if (size > 0) std::memcpy(bytes, buffer, std::min<size_t>(size_t(size), sizeof bytes));
    return noErr;
}

OSErr WriteFinderInfo(const std::string &path, const UInt8 (&bytes)[32]) {
    static const UInt8 kZero[32] = {};
    if (std::memcmp(bytes, kZero, sizeof kZero) == 0) {
        if (::removexattr(path.c_str(), kFinderInfoAttribute) != 0 && errno != ENODATA) return StatusFromErrno(errno);
        return noErr;
    }
    if (::setxattr(path.c_str(), kFinderInfoAttribute, bytes, sizeof bytes, 0) != 0) return StatusFromErrno(errno);
    return noErr;
}

OSErr ApplyCatalogInfo(const std::string &path, bool directory, FSCatalogInfoBitmap whichInfo,
                       const FSCatalogInfo &info, bool creating) {
    if (whichInfo & (kFSCatInfoFinderInfo | kFSCatInfoFinderXInfo)) {
        UInt8 bytes[32];
        OSErr status = ReadFinderInfo(path, bytes);
        if (status != noErr) return status;
        if (whichInfo & kFSCatInfoFinderInfo)
            SwapFinderRecord(directory ? FinderRecord::Folder : FinderRecord::File, info.finderInfo, bytes);
        if (whichInfo & kFSCatInfoFinderXInfo)
            SwapFinderRecord(directory ? FinderRecord::ExtendedFolder : FinderRecord::ExtendedFile, info.extFinderInfo,
                             bytes + 16);
        status = WriteFinderInfo(path, bytes);
        if (status != noErr && !(creating && status == errFSOperationNotSupported)) return status;
    }
    if (whichInfo & (kFSCatInfoContentMod | kFSCatInfoAccessDate)) {
        struct timespec times[2] = {{0, UTIME_OMIT}, {0, UTIME_OMIT}};
        if (whichInfo & kFSCatInfoAccessDate) times[0] = TimespecFromDate(info.accessDate);
        if (whichInfo & kFSCatInfoContentMod) times[1] = TimespecFromDate(info.contentModDate);
        if (::utimensat(AT_FDCWD, path.c_str(), times, 0) != 0) return StatusFromErrno(errno);
    }
    return noErr;
}

OSErr CreateObject(const std::string &folder, const std::string &name, bool directory, std::string &created) {
    OSErr status = CheckName(name);
    if (status != noErr) return status;
    struct stat info;
    if (::stat(folder.c_str(), &info) != 0) return StatusFromErrno(errno);
    if (!S_ISDIR(info.st_mode)) return errFSNotAFolder;
    if (NameIsTaken(folder, name)) return dupFNErr;
    const std::string path = JoinPath(folder, name);
    if (directory) {
        if (::mkdir(path.c_str(), 0777) != 0) return StatusFromErrno(errno);
    } else {
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW | O_NOCTTY, 0666);
        if (fd < 0) return StatusFromErrno(errno);
        ::close(fd);
    }
    created = path;
    return noErr;
}

OSErr RenameObject(const std::string &path, const std::string &newName, std::string &renamed) {
    OSErr status = CheckName(newName);
    if (status != noErr) return status;
    if (path == "/") return paramErr;
    const std::string folder = ParentPath(path);
    const std::string target = JoinPath(folder, newName);
    if (target == path) {
        renamed = path;
        return noErr;
    }
    std::string existing;
    // A name taken by another object; the object's own other form may be renamed to.
    if (FindExistingName(folder, newName, existing) && JoinPath(folder, existing) != path) return dupFNErr;
    if (::renameat2(AT_FDCWD, path.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE) != 0) {
        if (errno != EINVAL && errno != ENOSYS) return StatusFromErrno(errno);
        // A file system without exclusive renaming: checked above, then renamed.
        struct stat info;
        if (::lstat(target.c_str(), &info) == 0) return dupFNErr;
        if (::rename(path.c_str(), target.c_str()) != 0) return StatusFromErrno(errno);
    }
    renamed = target;
    return noErr;
}

}  // namespace lumora::carbon

using namespace lumora::carbon;

OSErr FSGetCatalogInfo(const FSRef *ref, FSCatalogInfoBitmap whichInfo, FSCatalogInfo *catalogInfo,
                       HFSUniStr255 *outName, FSSpec *fsSpec, FSRef *parentRef) {
    if (ref == nullptr) return paramErr;
    if ((whichInfo & ~kProvidedCatalogInfo) != 0) return errFSBadInfoBitmap;
    if (whichInfo != kFSCatInfoNone && catalogInfo == nullptr) return paramErr;

    std::string path;
    struct stat attributes;
    OSErr status = FileRefPath(*ref, path, &attributes);
    if (status != noErr) return status;
    const bool directory = S_ISDIR(attributes.st_mode);

    FSCatalogInfo info{};
    if (whichInfo != kFSCatInfoNone) {
        info = *catalogInfo;
        if (whichInfo & kFSCatInfoNodeFlags) {
            info.nodeFlags = UInt16((directory ? kFSNodeIsDirectoryMask : 0) |
                                    ((attributes.st_mode & 0222) == 0 ? kFSNodeLockedMask : 0));
        }
        if (whichInfo & (kFSCatInfoVolume | kFSCatInfoParentDirID | kFSCatInfoNodeID)) {
            Volume volume;
            status = VolumeOfObject(path, attributes, volume);
            if (status != noErr) return status;
            if (whichInfo & kFSCatInfoVolume) info.volume = volume.refNum;
            if (whichInfo & kFSCatInfoNodeID) info.nodeID = ObjectID(volume, path, attributes);
            if (whichInfo & kFSCatInfoParentDirID) {
                if (IsVolumeRoot(volume, attributes)) {
                    info.parentDirID = fsRtParID;
                } else {
                    const std::string folder = ParentPath(path);
                    struct stat folderInfo;
                    if (::stat(folder.c_str(), &folderInfo) != 0) return StatusFromErrno(errno);
                    info.parentDirID = ObjectID(volume, folder, folderInfo);
                }
            }
        }
        if (whichInfo & (kFSCatInfoCreateDate | kFSCatInfoContentMod | kFSCatInfoAttrMod | kFSCatInfoAccessDate)) {
            Times times;
            status = ReadTimes(path, times);
            if (status != noErr) return status;
            if (whichInfo & kFSCatInfoCreateDate) info.createDate = DateFromTimespec(times.created);
            if (whichInfo & kFSCatInfoContentMod) info.contentModDate = DateFromTimespec(times.modified);
            if (whichInfo & kFSCatInfoAttrMod) info.attributeModDate = DateFromTimespec(times.changed);
            if (whichInfo & kFSCatInfoAccessDate) info.accessDate = DateFromTimespec(times.accessed);
        }
        if (whichInfo & (kFSCatInfoFinderInfo | kFSCatInfoFinderXInfo)) {
            UInt8 bytes[32];
            status = ReadFinderInfo(path, bytes);
            if (status != noErr) return status;
            if (whichInfo & kFSCatInfoFinderInfo)
                SwapFinderRecord(directory ? FinderRecord::Folder : FinderRecord::File, bytes, info.finderInfo);
            if (whichInfo & kFSCatInfoFinderXInfo)
                SwapFinderRecord(directory ? FinderRecord::ExtendedFolder : FinderRecord::ExtendedFile, bytes + 16,
                                 info.extFinderInfo);
        }
        if (whichInfo & kFSCatInfoDataSizes) {
            info.dataLogicalSize = directory ? 0 : UInt64(attributes.st_size);
            info.dataPhysicalSize = directory ? 0 : UInt64(attributes.st_blocks) * 512;
        }
        if (whichInfo & kFSCatInfoRsrcSizes) {
            info.rsrcLogicalSize = directory ? 0 : ResourceForkSize(path);
            info.rsrcPhysicalSize = info.rsrcLogicalSize;
        }
    }

    HFSUniStr255 name{};
    if (outName != nullptr) {
        status = UnicodeFromName(LeafName(path), name);
        if (status != noErr) return status;
    }

    FSRef parent;
    ClearFileRef(parent);
    if (parentRef != nullptr && path != "/") {
        status = MakeFileRef(ParentPath(path), parent);
        if (status != noErr) return status;
    }

    FSSpec spec{};
    if (fsSpec != nullptr) {
        status = MakeFileSpec(path, spec);
        if (status != noErr) return status;
    }

    if (whichInfo != kFSCatInfoNone) *catalogInfo = info;
    if (fsSpec != nullptr) *fsSpec = spec;
    if (outName != nullptr) *outName = name;
    if (parentRef != nullptr) *parentRef = parent;
    return noErr;
}

OSErr FSSetCatalogInfo(const FSRef *ref, FSCatalogInfoBitmap whichInfo, const FSCatalogInfo *catalogInfo) {
    if (ref == nullptr || (whichInfo != kFSCatInfoNone && catalogInfo == nullptr)) return paramErr;
    if ((whichInfo & ~FSCatalogInfoBitmap(kFSCatInfoSettableInfo)) != 0) return errFSBadInfoBitmap;
    std::string path;
    struct stat attributes;
    const OSErr status = FileRefPath(*ref, path, &attributes);
    if (status != noErr || whichInfo == kFSCatInfoNone) return status;
    return ApplyCatalogInfo(path, S_ISDIR(attributes.st_mode), whichInfo, *catalogInfo, false);
}

namespace {

OSErr CreateUnicode(const FSRef *parentRef, UniCharCount nameLength, const UniChar *name, bool directory,
                    FSCatalogInfoBitmap whichInfo, const FSCatalogInfo *catalogInfo, FSRef *newRef, FSSpec *newSpec,
                    long *newDirID) {
    if (parentRef == nullptr || (whichInfo != kFSCatInfoNone && catalogInfo == nullptr)) return paramErr;
    if ((whichInfo & ~FSCatalogInfoBitmap(kFSCatInfoSettableInfo)) != 0) return errFSBadInfoBitmap;
    std::string folder;
    std::string leaf;
    OSErr status = FolderAndName(*parentRef, nameLength, name, folder, leaf);
    if (status != noErr) return status;

    std::string path;
    status = CreateObject(folder, leaf, directory, path);
    if (status != noErr) return status;
    FSRef ref;
    FSSpec spec{};
    long dirID = 0;
    if (whichInfo != kFSCatInfoNone) status = ApplyCatalogInfo(path, directory, whichInfo, *catalogInfo, true);
    if (status == noErr) status = MakeFileRef(path, ref);
    if (status == noErr && newSpec != nullptr) status = MakeFileSpec(path, spec);
    if (status == noErr && newDirID != nullptr) {
        Volume volume;
        struct stat created;
        if (::stat(path.c_str(), &created) != 0) status = StatusFromErrno(errno);
        if (status == noErr) status = VolumeOfObject(path, created, volume);
        if (status == noErr) dirID = ObjectID(volume, path, created);
    }
    if (status != noErr) {
        // Not made as asked: the new object goes again.
        if (directory) ::rmdir(path.c_str());
        else ::unlink(path.c_str());
        return status;
    }
    if (newRef != nullptr) *newRef = ref;
    if (newSpec != nullptr) *newSpec = spec;
    if (newDirID != nullptr) *newDirID = dirID;
    return noErr;
}

}  // namespace

OSErr FSCreateFileUnicode(const FSRef *parentRef, UniCharCount nameLength, const UniChar *name,
                          FSCatalogInfoBitmap whichInfo, const FSCatalogInfo *catalogInfo, FSRef *newRef,
                          FSSpec *newSpec) {
    return CreateUnicode(parentRef, nameLength, name, false, whichInfo, catalogInfo, newRef, newSpec, nullptr);
}

OSErr FSCreateDirectoryUnicode(const FSRef *parentRef, UniCharCount nameLength, const UniChar *name,
                               FSCatalogInfoBitmap whichInfo, const FSCatalogInfo *catalogInfo, FSRef *newRef,
                               FSSpec *newSpec, long *newDirID) {
    return CreateUnicode(parentRef, nameLength, name, true, whichInfo, catalogInfo, newRef, newSpec, newDirID);
}

OSErr FSDeleteObject(const FSRef *ref) {
    if (ref == nullptr) return paramErr;
    std::string path;
    struct stat info;
    const OSErr status = FileRefPath(*ref, path, &info);
    if (status != noErr) return status;
    const int result = S_ISDIR(info.st_mode) ? ::rmdir(path.c_str()) : ::unlink(path.c_str());
    return result == 0 ? OSErr(noErr) : StatusFromErrno(errno);
}

OSErr FSRenameUnicode(const FSRef *ref, UniCharCount nameLength, const UniChar *name, TextEncoding, FSRef *newRef) {
    if (ref == nullptr) return paramErr;
    std::string path;
    OSErr status = FileRefPath(*ref, path);
    if (status != noErr) return status;
    std::string leaf;
    status = NameFromUnicode(nameLength, name, leaf);
    if (status != noErr) return status;
    std::string renamed;
    status = RenameObject(path, leaf, renamed);
    if (status != noErr) return status;
    FSRef made;
    status = MakeFileRef(renamed, made);
    if (status == noErr && newRef != nullptr) *newRef = made;
    return status;
}
