#include "FileRefs.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <sys/stat.h>
#include <unordered_map>
#include <vector>

#include <CoreFoundation/CFURL.h>

namespace lumora::carbon {

namespace {

// Every path that a reference was ever made to, by id (ids start at 1). Paths are only
// added, so an id stays meaningful for the life of the process. Never destroyed.
class PathTable {
public:
    static PathTable &Shared() {
        static PathTable *table = new PathTable;
        return *table;
    }

    // The id of the path, added when new; 0 when the table is full.
    UInt32 intern(const std::string &path) {
        std::lock_guard<std::mutex> lock(mMutex);
        auto found = mIDs.find(path);
        if (found != mIDs.end()) return found->second;
        if (mPaths.size() >= UINT32_MAX - 1) return 0;
        auto inserted = mIDs.emplace(path, UInt32(mPaths.size() + 1)).first;
        mPaths.push_back(&inserted->first);
        return inserted->second;
    }

    bool lookup(UInt32 id, std::string &path) {
        std::lock_guard<std::mutex> lock(mMutex);
        if (id == 0 || id > mPaths.size()) return false;
        path = *mPaths[id - 1];
        return true;
    }

private:
    std::mutex mMutex;
    std::unordered_map<std::string, UInt32> mIDs;  // node-based: keys do not move
    std::vector<const std::string *> mPaths;
};

FileRefRecord RecordOf(const FSRef &ref) {
    FileRefRecord record;
    std::memcpy(&record, ref.hidden, sizeof record);
    return record;
}

}  // namespace

UInt32 InternPath(const std::string &path) { return PathTable::Shared().intern(path); }

bool PathOfID(UInt32 id, std::string &path) { return PathTable::Shared().lookup(id, path); }

std::string JoinPath(const std::string &folder, const std::string &name) {
    if (name.empty()) return folder;
    return folder == "/" ? folder + name : folder + "/" + name;
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
    if (record.magic != kFileRefMagic || !PathTable::Shared().lookup(record.pathID, found)) return errFSBadFSRef;
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

namespace {

// Decodes UTF-8 into UTF-16; a byte that does not start a valid sequence becomes U+FFFD.
std::u16string Utf16FromUtf8(const std::string &text) {
    std::u16string out;
    const auto *bytes = reinterpret_cast<const unsigned char *>(text.data());
    const size_t size = text.size();
    for (size_t i = 0; i < size;) {
        const unsigned char lead = bytes[i];
        char32_t code = 0xFFFD;
        size_t length = 1;
        size_t need = 0;
        char32_t minimum = 0;
        if (lead < 0x80) {
            code = lead;
        } else if (lead >= 0xC2 && lead <= 0xDF) {
            need = 1, code = lead & 0x1F, minimum = 0x80;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            need = 2, code = lead & 0x0F, minimum = 0x800;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            need = 3, code = lead & 0x07, minimum = 0x10000;
        }
        if (need > 0) {
            bool ok = i + need < size;
            for (size_t k = 1; ok && k <= need; ++k) {
                if ((bytes[i + k] & 0xC0) != 0x80) ok = false;
                else code = (code << 6) | (bytes[i + k] & 0x3F);
            }
            if (ok && code >= minimum && code <= 0x10FFFF && !(code >= 0xD800 && code <= 0xDFFF)) {
                length = need + 1;
            } else {
                code = 0xFFFD;
            }
        } else if (lead >= 0x80) {
            code = 0xFFFD;
        }
        if (code >= 0x10000) {
            code -= 0x10000;
            out.push_back(char16_t(0xD800 + (code >> 10)));
            out.push_back(char16_t(0xDC00 + (code & 0x3FF)));
        } else {
            out.push_back(char16_t(code));
        }
        i += length;
    }
    return out;
}

constexpr FSCatalogInfoBitmap kProvidedCatalogInfo = kFSCatInfoNodeFlags | kFSCatInfoDataSizes;

}  // namespace

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
        if (whichInfo & kFSCatInfoNodeFlags) info.nodeFlags = directory ? kFSNodeIsDirectoryMask : 0;
        if (whichInfo & kFSCatInfoDataSizes) {
            info.dataLogicalSize = directory ? 0 : UInt64(attributes.st_size);
            info.dataPhysicalSize = directory ? 0 : UInt64(attributes.st_blocks) * 512;
        }
    }

    const size_t slash = path.rfind('/');
    HFSUniStr255 name{};
    if (outName != nullptr) {
        const std::u16string units = Utf16FromUtf8(path.substr(slash + 1));
        if (units.size() > 255) return errFSNameTooLong;
        name.length = UInt16(units.size());
        std::memcpy(name.unicode, units.data(), units.size() * sizeof(char16_t));
    }

    FSRef parent;
    ClearFileRef(parent);
    if (parentRef != nullptr && path != "/") {
        status = MakeFileRef(slash == 0 ? std::string("/") : path.substr(0, slash), parent);
        if (status != noErr) return status;
    }

    FSSpec spec{};
    if (fsSpec != nullptr) {
        status = path == "/" ? MakeFileSpec(path, std::string(), spec)
                             : MakeFileSpec(slash == 0 ? std::string("/") : path.substr(0, slash), path.substr(slash + 1), spec);
        if (status != noErr) return status;
    }

    if (whichInfo != kFSCatInfoNone) *catalogInfo = info;
    if (fsSpec != nullptr) *fsSpec = spec;
    if (outName != nullptr) *outName = name;
    if (parentRef != nullptr) *parentRef = parent;
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
