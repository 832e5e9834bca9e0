// FSSpec: a volume, a folder id and a name, with a long-name form for names that do not
// fit the 63 bytes of the record; the classic calls built on it (see Files.h).
#include <cerrno>
#include <climits>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include "FileRefs.h"

namespace lumora::carbon {

namespace {

constexpr size_t kNameField = sizeof(Str63) - 1;    // 63 bytes of name
constexpr size_t kLongNameMarker = 1 + 8;          // NUL and eight hex digits
constexpr size_t kLongNamePrefix = kNameField - kLongNameMarker;

bool IsContinuationByte(unsigned char byte) { return (byte & 0xC0) == 0x80; }

void SetName(FSSpec &spec, const std::string &name) {
    std::memset(spec.name, 0, sizeof spec.name);
    spec.name[0] = UInt8(name.size());
    std::memcpy(spec.name + 1, name.data(), name.size());
}

// The form of a name in the record: the name, or for a long name its start, NUL and the id
// of the whole name in hex. Empty when the table is full.
std::string NameForm(const std::string &name) {
    if (name.size() <= kNameField) return name;
    const UInt32 id = InternPath(name);
    if (id == 0) return std::string();
    // Cut at a character boundary so that a UTF-8 name stays valid (a character has at most
    // three continuation bytes; other bytes are cut where they fall).
    size_t prefix = kLongNamePrefix;
    while (prefix > kLongNamePrefix - 3 && IsContinuationByte(UInt8(name[prefix]))) --prefix;
    if (IsContinuationByte(UInt8(name[prefix]))) prefix = kLongNamePrefix;
    static const char kHex[] = "0123456789ABCDEF";
    std::string out = name.substr(0, prefix);
    out.push_back('\0');
    for (int shift = 28; shift >= 0; shift -= 4) out.push_back(kHex[(id >> shift) & 0xF]);
    return out;
}

bool ParseHex(const char *text, size_t size, UInt32 &value) {
    value = 0;
    for (size_t i = 0; i < size; ++i) {
        const char c = text[i];
        UInt32 digit;
        if (c >= '0' && c <= '9') digit = UInt32(c - '0');
        else if (c >= 'A' && c <= 'F') digit = UInt32(c - 'A' + 10);
        else return false;
        value = (value << 4) | digit;
    }
    return true;
}

// The name a record's name field (or a Pascal string given to FSMakeFSSpec) stands for.
// An empty name stays empty. bdNamErr for anything that is not one name.
OSErr NameOfField(const std::string &form, std::string &name) {
    if (form.empty()) {
        name.clear();
        return noErr;
    }
    if (form.find('\0') == std::string::npos) {
        const OSErr status = CheckName(form);
        if (status != noErr) return status == errFSNameTooLong ? status : OSErr(bdNamErr);
        name = form;
        return noErr;
    }
    // The long-name form.
    if (form.size() < kLongNameMarker || form.size() > kNameField) return bdNamErr;
    const size_t nul = form.size() - kLongNameMarker;
    UInt32 id = 0;
    if (form.find('\0') != nul || !ParseHex(form.data() + nul + 1, 8, id)) return bdNamErr;
    std::string full;
    if (!PathOfID(id, full) || full.size() <= kNameField || CheckName(full) != noErr ||
        full.compare(0, nul, form, 0, nul) != 0)
        return bdNamErr;
    name = std::move(full);
    return noErr;
}

// The volume and folder that a volume reference number and folder id name (not fsRtParID).
OSErr ResolveFolder(short vRefNum, long dirID, Volume &volume, std::string &folder) {
    if (dirID < 0 || dirID == fsRtParID) return dirNFErr;
    if (vRefNum == 0) {
        if (dirID == 0) return DefaultVolume(volume, &folder);
        for (FSVolumeRefNum candidate : VolumesKnowingFolder(dirID)) {
            if (VolumeOfRefNum(candidate, volume) == noErr && FolderOfID(volume, dirID, folder) == noErr) return noErr;
        }
        const OSErr status = DefaultVolume(volume);
        if (status != noErr) return status;
        return FolderOfID(volume, dirID, folder);
    }
    const OSErr status = VolumeOfRefNum(vRefNum, volume);
    if (status != noErr) return status;
    return FolderOfID(volume, dirID == 0 ? long(fsRtDirID) : dirID, folder);
}

// The volume whose root a name in fsRtParID names.
OSErr ResolveRoot(short vRefNum, const std::string &name, Volume &volume) {
    const OSErr status = vRefNum == 0 ? DefaultVolume(volume) : VolumeOfRefNum(vRefNum, volume);
    if (status != noErr) return status;
    return name.empty() || name == volume.name ? OSErr(noErr) : OSErr(nsvErr);
}

std::string FieldOf(const FSSpec &spec) {
    const size_t length = std::min<size_t>(spec.name[0], kNameField);
    return std::string(reinterpret_cast<const char *>(spec.name + 1), length);
}

// Seconds since 1904 in local time, as the classic calls count (0 before 1904, all ones
// beyond 2040).
UInt32 LocalSeconds(const struct timespec &time) {
    struct tm local;
    const time_t seconds = time.tv_sec;
    long offset = 0;
    if (::localtime_r(&seconds, &local) != nullptr) offset = local.tm_gmtoff;
    const SInt64 mac = SInt64(seconds) + offset + 2082844800;
    return mac < 0 ? 0 : mac > SInt64(UINT32_MAX) ? UINT32_MAX : UInt32(mac);
}

UInt16 CountItems(const std::string &folder) {
    DIR *dir = ::opendir(folder.c_str());
    if (dir == nullptr) return 0;
    unsigned count = 0;
    while (struct dirent *entry = ::readdir(dir)) {
        if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0 && count < 65535) ++count;
    }
    ::closedir(dir);
    return UInt16(count);
}

// The path of the object a parameter block names.
OSErr PathOfBlock(const HFileInfo &block, std::string &path) {
    if (block.ioFDirIndex > 0) return paramErr;
    if (block.ioFDirIndex < 0 || block.ioNamePtr == nullptr || block.ioNamePtr[0] == 0) {
        Volume volume;
        if (block.ioDirID == fsRtParID) return dirNFErr;
        return ResolveFolder(block.ioVRefNum, block.ioDirID, volume, path);
    }
    FSSpec spec{};
    const OSErr status = FSMakeFSSpec(block.ioVRefNum, block.ioDirID, block.ioNamePtr, &spec);
    if (status != noErr) return status;
    return FileSpecPath(spec, path);
}

}  // namespace

OSErr MakeFileSpec(const std::string &path, FSSpec &spec) {
    struct stat info;
    const bool exists = ::stat(path.c_str(), &info) == 0;
    if (exists && S_ISDIR(info.st_mode)) {
        Volume volume;
        const OSErr status = VolumeOfObject(path, info, volume);
        if (status != noErr) return status;
        if (UInt64(info.st_dev) == volume.device && UInt64(info.st_ino) == volume.rootInode) {
            const std::string form = NameForm(volume.name);
            if (form.empty() && !volume.name.empty()) return memFullErr;
            FSSpec made{};
            made.vRefNum = volume.refNum;
            made.parID = fsRtParID;
            SetName(made, form);
            spec = made;
            return noErr;
        }
    }
    const std::string folder = ParentPath(path);
    struct stat folderInfo;
    if (folder.empty()) return bdNamErr;
    if (::stat(folder.c_str(), &folderInfo) != 0) return StatusFromErrno(errno) == fnfErr ? OSErr(dirNFErr) : StatusFromErrno(errno);
    if (!S_ISDIR(folderInfo.st_mode)) return dirNFErr;
    Volume volume;
    const OSErr status = VolumeOfObject(folder, folderInfo, volume);
    if (status != noErr) return status;
    const std::string form = NameForm(LeafName(path));
    if (form.empty()) return memFullErr;
    FSSpec made{};
    made.vRefNum = volume.refNum;
    made.parID = ObjectID(volume, folder, folderInfo);
    SetName(made, form);
    spec = made;
    return noErr;
}

OSErr FileSpecPath(const FSSpec &spec, std::string &path) {
    std::string name;
    OSErr status = NameOfField(FieldOf(spec), name);
    if (status != noErr) return status;
    Volume volume;
    if (spec.parID == fsRtParID) {
        status = ResolveRoot(spec.vRefNum, name, volume);
        if (status == noErr) path = volume.root;
        return status;
    }
    std::string folder;
    status = ResolveFolder(spec.vRefNum, spec.parID, volume, folder);
    if (status != noErr) return status;
    if (name.empty()) {
        path = folder;
        return noErr;
    }
    std::string found;
    FindExistingName(folder, name, found);
    path = JoinPath(folder, found);
    return noErr;
}

}  // namespace lumora::carbon

using namespace lumora::carbon;

OSErr FSMakeFSSpec(short vRefNum, long dirID, ConstStr255Param name, FSSpec *spec) {
    if (name == nullptr || spec == nullptr) return paramErr;
    const std::string given(reinterpret_cast<const char *>(name + 1), name[0]);
    std::string leaf;
    OSErr status = NameOfField(given, leaf);
    if (status != noErr) return status;

    Volume volume;
    if (dirID == fsRtParID) {
        status = ResolveRoot(vRefNum, leaf, volume);
        if (status != noErr) return status;
        return MakeFileSpec(volume.root, *spec);
    }
    std::string folder;
    status = ResolveFolder(vRefNum, dirID, volume, folder);
    if (status != noErr) return status;
    if (leaf.empty()) return MakeFileSpec(folder, *spec);

    std::string found;
    FindExistingName(folder, leaf, found);
    const std::string path = JoinPath(folder, found);
    struct stat info;
    if (::stat(path.c_str(), &info) == 0) return MakeFileSpec(path, *spec);
    const OSErr missing = StatusFromErrno(errno);
    if (missing != fnfErr) return missing;
    // Nothing there yet: the FSSpec of the name in the folder asked for.
    FSSpec made{};
    status = MakeFileSpec(path, made);
    if (status != noErr) return status;
    *spec = made;
    return fnfErr;
}

OSErr FSpMakeFSRef(const FSSpec *spec, FSRef *ref) {
    if (spec == nullptr || ref == nullptr) return paramErr;
    std::string path;
    const OSErr status = FileSpecPath(*spec, path);
    if (status != noErr) return status;
    return MakeFileRef(path, *ref);
}

OSErr PBMakeFSRefSync(FSRefParam *paramBlock) {
    if (paramBlock == nullptr) return paramErr;
    OSErr status = paramErr;
    if (paramBlock->newRef != nullptr) {
        static const unsigned char kEmpty[1] = {0};
        FSSpec spec{};
        status = FSMakeFSSpec(paramBlock->ioVRefNum, paramBlock->ioDirID,
                              paramBlock->ioNamePtr != nullptr ? paramBlock->ioNamePtr : kEmpty, &spec);
        if (status == noErr) status = FSpMakeFSRef(&spec, paramBlock->newRef);
    }
    paramBlock->ioResult = status;
    return status;
}

OSErr PBGetCatInfoSync(CInfoPBPtr paramBlock) {
    if (paramBlock == nullptr) return paramErr;
    HFileInfo &file = paramBlock->hFileInfo;
    std::string path;
    OSErr status = PathOfBlock(file, path);
    struct stat info;
    Volume volume;
    if (status == noErr && ::stat(path.c_str(), &info) != 0) status = StatusFromErrno(errno);
    if (status == noErr) status = VolumeOfObject(path, info, volume);
    UInt8 finder[32];
    if (status == noErr) status = ReadFinderInfo(path, finder);
    if (status != noErr) {
        file.ioResult = status;
        return status;
    }

    const bool directory = S_ISDIR(info.st_mode);
    const bool root = UInt64(info.st_dev) == volume.device && UInt64(info.st_ino) == volume.rootInode;
    long parentID = fsRtParID;
    if (!root) {
        const std::string folder = ParentPath(path);
        struct stat folderInfo;
        if (::stat(folder.c_str(), &folderInfo) == 0) parentID = ObjectID(volume, folder, folderInfo);
    }
    if (file.ioFDirIndex < 0 && file.ioNamePtr != nullptr) {
        const std::string name = root ? volume.name : LeafName(path);
        file.ioNamePtr[0] = UInt8(std::min<size_t>(name.size(), 255));
        std::memcpy(file.ioNamePtr + 1, name.data(), file.ioNamePtr[0]);
    }
    file.ioVRefNum = volume.refNum;
    file.ioFRefNum = 0;
    file.ioFlAttrib = SInt8((directory ? kioFlAttribDirMask : 0) | ((info.st_mode & 0222) == 0 ? kioFlAttribLockedMask : 0));
    file.ioACUser = 0;
    const struct timespec modified = info.st_mtim;
    UTCDateTime created{};
    FSCatalogInfo catalog{};
    FSRef ref;
    if (MakeFileRef(path, ref) == noErr &&
        FSGetCatalogInfo(&ref, kFSCatInfoCreateDate, &catalog, nullptr, nullptr, nullptr) == noErr)
        created = catalog.createDate;
    const UInt32 createdSeconds = LocalSeconds(TimespecFromDate(created));
    if (directory) {
        DirInfo &dir = paramBlock->dirInfo;
        SwapFinderRecord(FinderRecord::Folder, finder, &dir.ioDrUsrWds);
        dir.ioDrDirID = ObjectID(volume, path, info);
        dir.ioDrNmFls = CountItems(path);
        dir.ioDrCrDat = createdSeconds;
        dir.ioDrMdDat = LocalSeconds(modified);
        dir.ioDrBkDat = 0;
        SwapFinderRecord(FinderRecord::DXInfo, finder + 16, &dir.ioDrFndrInfo);
        dir.ioDrParID = parentID;
    } else {
        SwapFinderRecord(FinderRecord::File, finder, &file.ioFlFndrInfo);
        file.ioDirID = ObjectID(volume, path, info);
        file.ioFlStBlk = 0;
        file.ioFlLgLen = long(info.st_size);
        file.ioFlPyLen = long(info.st_blocks) * 512;
        file.ioFlRStBlk = 0;
        const ssize_t resource = ::getxattr(path.c_str(), kResourceForkAttribute, nullptr, 0);
        file.ioFlRLgLen = resource > 0 ? long(resource) : 0;
        file.ioFlRPyLen = file.ioFlRLgLen;
        file.ioFlCrDat = createdSeconds;
        file.ioFlMdDat = LocalSeconds(modified);
        file.ioFlBkDat = 0;
        SwapFinderRecord(FinderRecord::FXInfo, finder + 16, &file.ioFlXFndrInfo);
        file.ioFlParID = parentID;
        file.ioFlClpSiz = 0;
    }
    file.ioResult = noErr;
    return noErr;
}

namespace {

// The path of the file (not folder) a spec names, and its Finder information as stored.
OSErr ReadFileFinderInfo(const FSSpec &spec, std::string &path, UInt8 (&bytes)[32]) {
    const OSErr status = FileSpecPath(spec, path);
    if (status != noErr) return status;
    struct stat info;
    if (::stat(path.c_str(), &info) != 0) return StatusFromErrno(errno);
    if (S_ISDIR(info.st_mode)) return notAFileErr;
    return ReadFinderInfo(path, bytes);
}

}  // namespace

OSErr FSpGetFInfo(const FSSpec *spec, FInfo *fndrInfo) {
    if (spec == nullptr || fndrInfo == nullptr) return paramErr;
    std::string path;
    UInt8 bytes[32];
    const OSErr status = ReadFileFinderInfo(*spec, path, bytes);
    if (status == noErr) SwapFinderRecord(FinderRecord::File, bytes, fndrInfo);
    return status;
}

OSErr FSpSetFInfo(const FSSpec *spec, const FInfo *fndrInfo) {
    if (spec == nullptr || fndrInfo == nullptr) return paramErr;
    std::string path;
    UInt8 bytes[32];
    const OSErr status = ReadFileFinderInfo(*spec, path, bytes);
    if (status != noErr) return status;
    SwapFinderRecord(FinderRecord::File, fndrInfo, bytes);
    return WriteFinderInfo(path, bytes);
}

OSErr FSpCreate(const FSSpec *spec, OSType creator, OSType fileType, ScriptCode) {
    if (spec == nullptr) return paramErr;
    std::string path;
    OSErr status = FileSpecPath(*spec, path);
    if (status != noErr) return status;
    std::string created;
    status = CreateObject(ParentPath(path), LeafName(path), false, created);
    if (status != noErr) return status;
    FSCatalogInfo info{};
    FileInfo finder{};
    finder.fileType = fileType;
    finder.fileCreator = creator;
    std::memcpy(info.finderInfo, &finder, sizeof finder);
    status = ApplyCatalogInfo(created, false, kFSCatInfoFinderInfo, info, true);
    if (status != noErr) ::unlink(created.c_str());
    return status;
}

OSErr FSpRename(const FSSpec *spec, ConstStr255Param newName) {
    if (spec == nullptr || newName == nullptr) return paramErr;
    std::string path;
    OSErr status = FileSpecPath(*spec, path);
    if (status != noErr) return status;
    struct stat info;
    if (::lstat(path.c_str(), &info) != 0) return StatusFromErrno(errno);
    std::string renamed;
    return RenameObject(path, std::string(reinterpret_cast<const char *>(newName + 1), newName[0]), renamed);
}
