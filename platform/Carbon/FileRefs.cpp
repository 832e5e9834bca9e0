#include "FileRefs.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <list>
#include <memory>
#include <mutex>
#include <sys/stat.h>
#include <string_view>
#include <unordered_map>
#include <vector>

#include <unicode/unorm2.h>
#include <unicode/ustring.h>

#include <CoreFoundation/CFStringUTF.h>
#include <CoreFoundation/CFURL.h>

namespace lumora::carbon {

namespace {

// The paths that references were made to, by id. Ids count up from 1 and are never handed
// out twice, so an id names one path or nothing. The table holds the kPathTableCapacity
// most recently used paths: making or reading a reference moves its path to the front, and
// a new path beyond the capacity pushes out the least recently used one. A reference whose
// path was pushed out then fails cleanly (fnfErr); it can never name another path. Never
// destroyed.
class PathTable {
public:
    static PathTable &Shared() {
        static PathTable *table = new PathTable;
        return *table;
    }

    // The id of the path, added when new; 0 when every id has been handed out.
    UInt32 intern(const std::string &path) {
        std::lock_guard<std::mutex> lock(mMutex);
        auto found = mByPath.find(path);
        if (found != mByPath.end()) {
            mOrder.splice(mOrder.begin(), mOrder, found->second);
            return found->second->id;
        }
        if (mLastID == UINT32_MAX) return 0;
        mOrder.push_front(Entry{path, ++mLastID});
        mByPath.emplace(mOrder.front().path, mOrder.begin());
        mByID.emplace(mLastID, mOrder.begin());
        while (mOrder.size() > kPathTableCapacity) {
            const Entry &oldest = mOrder.back();
            mByPath.erase(oldest.path);
            mByID.erase(oldest.id);
            mOrder.pop_back();
        }
        return mLastID;
    }

    PathLookup lookup(UInt32 id, std::string &path) {
        std::lock_guard<std::mutex> lock(mMutex);
        if (id == 0 || id > mLastID) return PathLookup::Unknown;
        auto found = mByID.find(id);
        if (found == mByID.end()) return PathLookup::Evicted;
        mOrder.splice(mOrder.begin(), mOrder, found->second);
        path = found->second->path;
        return PathLookup::Found;
    }

private:
    struct Entry {
        std::string path;
        UInt32 id;
    };
    std::mutex mMutex;
    std::list<Entry> mOrder;  // most recently used first; nodes never move in memory
    std::unordered_map<std::string_view, std::list<Entry>::iterator> mByPath;  // views of the entries' paths
    std::unordered_map<UInt32, std::list<Entry>::iterator> mByID;
    UInt32 mLastID = 0;
};

FileRefRecord RecordOf(const FSRef &ref) {
    FileRefRecord record;
    std::memcpy(&record, ref.hidden, sizeof record);
    return record;
}

}  // namespace

UInt32 InternPath(const std::string &path) { return PathTable::Shared().intern(path); }

bool PathOfID(UInt32 id, std::string &path) { return PathTable::Shared().lookup(id, path) == PathLookup::Found; }

std::string JoinPath(const std::string &folder, const std::string &name) {
    if (name.empty()) return folder;
    return folder == "/" ? folder + name : folder + "/" + name;
}

std::string ParentPath(const std::string &path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos || path == "/") return std::string();
    return slash == 0 ? std::string("/") : path.substr(0, slash);
}

std::string LeafName(const std::string &path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

OSErr CheckName(const std::string &name) {
    if (name.empty()) return errFSMissingName;
    if (name.size() > 255) return errFSNameTooLong;
    if (name == "." || name == ".." || name.find_first_of(std::string("/\0", 2)) != std::string::npos) return bdNamErr;
    return noErr;
}

OSErr NameFromUnicode(UniCharCount length, const UniChar *units, std::string &name) {
    if (length == 0) return errFSMissingName;
    if (units == nullptr) return paramErr;
    if (length > 255) return errFSNameTooLong;
    std::string converted;
    if (!cf::utf::AppendUTF16AsUTF8(std::u16string_view(reinterpret_cast<const char16_t *>(units), length), converted,
                                    cf::utf::OnInvalid::Fail))
        return bdNamErr;  // an unpaired surrogate
    const OSErr status = CheckName(converted);
    if (status != noErr) return status;
    name = std::move(converted);
    return noErr;
}

OSErr FolderAndName(const FSRef &parentRef, UniCharCount nameLength, const UniChar *name, std::string &folder,
                    std::string &leaf) {
    struct stat info;
    const OSErr status = FileRefPath(parentRef, folder, &info);
    if (status != noErr) return status;
    if (!S_ISDIR(info.st_mode)) return errFSNotAFolder;
    return NameFromUnicode(nameLength, name, leaf);
}

OSErr UnicodeFromName(const std::string &name, HFSUniStr255 &unicode) {
    std::u16string units;
    if (name.size() > 255 * 4) return errFSNameTooLong;  // more than 255 units whatever the bytes are
    cf::utf::AppendUTF8AsUTF16(name, units, cf::utf::OnInvalid::Replace);
    if (units.size() > 255) return errFSNameTooLong;
    HFSUniStr255 made{};
    made.length = UInt16(units.size());
    std::memcpy(made.unicode, units.data(), units.size() * sizeof(UniChar));
    unicode = made;
    return noErr;
}

namespace {

// The name in the normalisation form of `normalizer`; false when it is not UTF-8.
bool NormalizedName(const UNormalizer2 *normalizer, const std::string &name, std::string &out) {
    if (normalizer == nullptr || name.size() > 255) return false;
    UChar units[256], normalized[1024];
    int32_t length = 0;
    UErrorCode error = U_ZERO_ERROR;
    u_strFromUTF8(units, 256, &length, name.data(), int32_t(name.size()), &error);
    if (U_FAILURE(error)) return false;
    const int32_t normalizedLength = unorm2_normalize(normalizer, units, length, normalized, 1024, &error);
    if (U_FAILURE(error)) return false;
    char bytes[1024 * 3];
    int32_t written = 0;
    u_strToUTF8(bytes, int32_t(sizeof bytes), &written, normalized, normalizedLength, &error);
    if (U_FAILURE(error)) return false;
    out.assign(bytes, size_t(written));
    return true;
}

// The other normalisation forms of a name (those that differ from it).
std::vector<std::string> OtherForms(const std::string &name) {
    std::vector<std::string> forms;
    UErrorCode error = U_ZERO_ERROR;
    std::string form;
    if (NormalizedName(unorm2_getNFCInstance(&error), name, form) && form != name) forms.push_back(form);
    error = U_ZERO_ERROR;
    if (NormalizedName(unorm2_getNFDInstance(&error), name, form) && form != name &&
        (forms.empty() || forms[0] != form))
        forms.push_back(form);
    return forms;
}

bool Exists(const std::string &path) {
    struct stat info;
    return ::lstat(path.c_str(), &info) == 0;
}

}  // namespace

bool FindExistingName(const std::string &folder, const std::string &name, std::string &found) {
    found = name;
    if (Exists(JoinPath(folder, name))) return true;
    for (const std::string &form : OtherForms(name)) {
        if (Exists(JoinPath(folder, form))) {
            found = form;
            return true;
        }
    }
    return false;
}

bool NameIsTaken(const std::string &folder, const std::string &name) {
    std::string found;
    return FindExistingName(folder, name, found);
}

OSErr StatusFromErrno(int error) {
    switch (error) {
    case 0: return noErr;
    case ENOENT: return fnfErr;
    case ENOTDIR: return dirNFErr;
    case EACCES:
    case EPERM: return afpAccessDenied;
    case EROFS: return wPrErr;
    case ENOSPC:
    case EDQUOT: return dskFulErr;
    case ENAMETOOLONG: return pathTooLongErr;
    case EEXIST: return dupFNErr;
    case EISDIR: return notAFileErr;
    case EMFILE:
    case ENFILE: return tmfoErr;
    case ENOMEM: return memFullErr;
    case EINVAL: return paramErr;
    case ENOTEMPTY: return fBsyErr;
    case EBUSY: return fBsyErr;
    case ENOTSUP: return errFSOperationNotSupported;
    case E2BIG: return dskFulErr;
    default: return ioErr;
    }
}

void ClearFileRef(FSRef &ref) { std::memset(ref.hidden, 0, sizeof ref.hidden); }

OSErr MakeFileRef(const std::string &path, FSRef &ref, bool *isDirectory) {
    if (path.empty()) return fnfErr;
    std::unique_ptr<char, decltype(&std::free)> resolved(::realpath(path.c_str(), nullptr), &std::free);
    if (!resolved) return StatusFromErrno(errno);
    struct stat info;
    if (::stat(resolved.get(), &info) != 0) return StatusFromErrno(errno);
    const UInt32 id = PathTable::Shared().intern(resolved.get());
    if (id == 0) return memFullErr;

    FileRefRecord record{};
    record.magic = kFileRefMagic;
    record.pathID = id;
    record.device = UInt64(info.st_dev);
    record.inode = UInt64(info.st_ino);
    std::memcpy(ref.hidden, &record, sizeof record);
    if (isDirectory != nullptr) *isDirectory = S_ISDIR(info.st_mode);
    return noErr;
}

OSErr FileRefPath(const FSRef &ref, std::string &path, struct stat *attributes) {
    const FileRefRecord record = RecordOf(ref);
    std::string found;
    if (record.magic != kFileRefMagic) return errFSBadFSRef;
    switch (PathTable::Shared().lookup(record.pathID, found)) {
    case PathLookup::Found: break;
    case PathLookup::Evicted: return fnfErr;  // made here, but its path is no longer kept
    case PathLookup::Unknown: return errFSBadFSRef;
    }
    struct stat info;
    if (::stat(found.c_str(), &info) != 0) {
        const OSErr status = StatusFromErrno(errno);
        return status == dirNFErr ? OSErr(fnfErr) : status;
    }
    if (UInt64(info.st_dev) != record.device || UInt64(info.st_ino) != record.inode) return fnfErr;
    if (attributes != nullptr) *attributes = info;
    path = std::move(found);
    return noErr;
}

}  // namespace lumora::carbon

using namespace lumora::carbon;

OSStatus FSPathMakeRef(const UInt8 *path, FSRef *ref, Boolean *isDirectory) {
    if (path == nullptr || ref == nullptr) return paramErr;
    bool directory = false;
    const OSErr status = MakeFileRef(reinterpret_cast<const char *>(path), *ref, &directory);
    if (status == noErr && isDirectory != nullptr) *isDirectory = directory;
    return status;
}

OSStatus FSRefMakePath(const FSRef *ref, UInt8 *path, UInt32 maxPathSize) {
    if (ref == nullptr || path == nullptr) return paramErr;
    std::string found;
    const OSErr status = FileRefPath(*ref, found);
    if (status != noErr) return status;
    if (found.size() + 1 > maxPathSize) {
        if (maxPathSize > 0) path[0] = 0;
        return pathTooLongErr;
    }
    std::memcpy(path, found.c_str(), found.size() + 1);
    return noErr;
}

CFURLRef CFURLCreateFromFSRef(CFAllocatorRef allocator, const FSRef *ref) {
    if (ref == nullptr) return nullptr;
    std::string path;
    struct stat attributes;
    if (FileRefPath(*ref, path, &attributes) != noErr) return nullptr;
    return CFURLCreateFromFileSystemRepresentation(allocator, reinterpret_cast<const UInt8 *>(path.data()),
                                                   CFIndex(path.size()), S_ISDIR(attributes.st_mode));
}

OSErr FSMakeFSRefUnicode(const FSRef *parentRef, UniCharCount nameLength, const UniChar *name, TextEncoding,
                         FSRef *newRef) {
    if (parentRef == nullptr || newRef == nullptr) return paramErr;
    std::string folder;
    std::string leaf;
    const OSErr status = FolderAndName(*parentRef, nameLength, name, folder, leaf);
    if (status != noErr) return status;
    std::string found;
    if (!FindExistingName(folder, leaf, found)) return fnfErr;
    return MakeFileRef(JoinPath(folder, found), *newRef);
}
