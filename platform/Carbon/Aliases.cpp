// Alias records of our own (layout and resolution in Aliases.h).
#include <Carbon/Aliases.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <sys/stat.h>

#include "FileRefs.h"

namespace lumora::carbon {

namespace {

constexpr UInt8 kAliasMagic[4] = {'L', 'A', 'l', 's'};
// Version 2 adds the target's birth time, which tells the target from a later object that
// reuses its inode number; version 1 records (no birth time) are still read.
constexpr UInt16 kAliasVersion = 2;
constexpr size_t kHeaderSizeVersion1 = 34;
constexpr size_t kHeaderSize = 42;
constexpr size_t kMaximumRecord = 0xFFFF;
constexpr UInt16 kTargetIsFolder = 1;

struct AliasData {
    bool folder = false;
    UInt64 device = 0;
    UInt64 inode = 0;
    UInt64 birth = 0;  // nanoseconds since 1970; 0 when unknown
    std::string path;
    std::string relative;
};

UInt64 ReadBig(const UInt8 *bytes, size_t size) {
    UInt64 value = 0;
    for (size_t i = 0; i < size; ++i) value = (value << 8) | bytes[i];
    return value;
}

void PutBig(std::vector<UInt8> &out, UInt64 value, size_t size) {
    for (size_t i = size; i > 0; --i) out.push_back(UInt8(value >> (8 * (i - 1))));
}

bool Encode(const AliasData &data, std::vector<UInt8> &out) {
    const size_t size = kHeaderSize + data.path.size() + data.relative.size();
    if (size > kMaximumRecord) return false;
    out.clear();
    PutBig(out, 0, 4);  // userType
    PutBig(out, size, 2);
    out.insert(out.end(), kAliasMagic, kAliasMagic + 4);
    PutBig(out, kAliasVersion, 2);
    PutBig(out, data.folder ? kTargetIsFolder : 0, 2);
    PutBig(out, data.device, 8);
    PutBig(out, data.inode, 8);
    PutBig(out, data.birth, 8);
    PutBig(out, data.path.size(), 2);
    PutBig(out, data.relative.size(), 2);
    out.insert(out.end(), data.path.begin(), data.path.end());
    out.insert(out.end(), data.relative.begin(), data.relative.end());
    return true;
}

bool Decode(Handle h, AliasData &data) {
    if (!IsHandle(h)) return false;
    const Size size = GetHandleSize(h);
    if (size < Size(kHeaderSizeVersion1)) return false;
    const auto *bytes = reinterpret_cast<const UInt8 *>(*h);
    const size_t recordSize = size_t(ReadBig(bytes + 4, 2));
    const UInt64 version = ReadBig(bytes + 10, 2);
    const size_t headerSize = version == 1 ? kHeaderSizeVersion1 : kHeaderSize;
    if (recordSize < headerSize || Size(recordSize) > size || std::memcmp(bytes + 6, kAliasMagic, 4) != 0 ||
        (version != 1 && version != kAliasVersion))
        return false;
    const size_t lengths = headerSize - 4;  // the two path lengths end the header
    const size_t pathLength = size_t(ReadBig(bytes + lengths, 2));
    const size_t relativeLength = size_t(ReadBig(bytes + lengths + 2, 2));
    if (headerSize + pathLength + relativeLength != recordSize || pathLength == 0) return false;
    data.folder = (ReadBig(bytes + 12, 2) & kTargetIsFolder) != 0;
    data.device = ReadBig(bytes + 14, 8);
    data.inode = ReadBig(bytes + 22, 8);
    data.birth = version == 1 ? 0 : ReadBig(bytes + 30, 8);
    data.path.assign(reinterpret_cast<const char *>(bytes + headerSize), pathLength);
    data.relative.assign(reinterpret_cast<const char *>(bytes + headerSize + pathLength), relativeLength);
    return data.path[0] == '/' && data.path.find('\0') == std::string::npos &&
           data.relative.find('\0') == std::string::npos;
}

bool Store(Handle h, const AliasData &data) {
    std::vector<UInt8> bytes;
    if (!Encode(data, bytes)) return false;
    SetHandleSize(h, Size(bytes.size()));
    if (MemError() != noErr) return false;
    std::memcpy(*h, bytes.data(), bytes.size());
    return true;
}

std::vector<std::string> Components(const std::string &path) {
    std::vector<std::string> parts;
    size_t at = 1;
    while (at < path.size()) {
        const size_t slash = path.find('/', at);
        const size_t end = slash == std::string::npos ? path.size() : slash;
        if (end > at) parts.push_back(path.substr(at, end - at));
        at = end + 1;
    }
    return parts;
}

// The path from the folder `from` to `to` (both canonical): "../" steps, then names.
std::string RelativePath(const std::string &from, const std::string &to) {
    const std::vector<std::string> base = Components(from), target = Components(to);
    size_t common = 0;
    while (common < base.size() && common < target.size() && base[common] == target[common]) ++common;
    std::string relative;
    for (size_t i = common; i < base.size(); ++i) relative += relative.empty() ? ".." : "/..";
    for (size_t i = common; i < target.size(); ++i) relative += (relative.empty() ? "" : "/") + target[i];
    return relative.empty() ? std::string(".") : relative;
}

// The folder that relative paths start from: fromFile's folder (fromFile itself when it is
// one).
OSErr BaseFolder(const FSRef &fromFile, std::string &folder, struct stat &info) {
    std::string path;
    const OSErr status = FileRefPath(fromFile, path, &info);
    if (status != noErr) return status;
    folder = S_ISDIR(info.st_mode) ? path : ParentPath(path);
    return noErr;
}

OSErr NewAliasData(const FSRef *fromFile, const FSRef &target, AliasData &data) {
    struct stat info;
    OSErr status = FileRefPath(target, data.path, &info);
    if (status != noErr) return status;
    data.folder = S_ISDIR(info.st_mode);
    data.device = UInt64(info.st_dev);
    data.inode = UInt64(info.st_ino);
    data.birth = BirthTimeOf(data.path);
    if (fromFile != nullptr) {
        std::string base;
        struct stat baseInfo;
        status = BaseFolder(*fromFile, base, baseInfo);
        if (status != noErr) return status;
        if (UInt64(baseInfo.st_dev) == data.device) data.relative = RelativePath(base, data.path);
    }
    return noErr;
}

OSErr NewAliasHandle(const FSRef *fromFile, const FSRef *target, AliasHandle *alias) {
    if (target == nullptr || alias == nullptr) return paramErr;
    AliasData data;
    const OSErr status = NewAliasData(fromFile, *target, data);
    if (status != noErr) return status;
    std::vector<UInt8> bytes;
    if (!Encode(data, bytes)) {
        data.relative.clear();
        if (!Encode(data, bytes)) return pathTooLongErr;
    }
    Handle h = nullptr;
    const OSErr made = PtrToHand(bytes.data(), &h, long(bytes.size()));
    if (made != noErr) return made;
    *alias = reinterpret_cast<AliasHandle>(h);
    return noErr;
}

// The canonical path of an existing object and its attributes.
bool Canonical(const std::string &path, std::string &canonical, struct stat &info) {
    std::unique_ptr<char, decltype(&std::free)> resolved(::realpath(path.c_str(), nullptr), &std::free);
    if (!resolved || ::stat(resolved.get(), &info) != 0) return false;
    canonical = resolved.get();
    return true;
}

bool IsTarget(const AliasData &data, const std::string &path) {
    struct stat info;
    return ::lstat(path.c_str(), &info) == 0 && UInt64(info.st_dev) == data.device &&
           UInt64(info.st_ino) == data.inode && S_ISDIR(info.st_mode) == data.folder &&
           (data.birth == 0 || BirthTimeOf(path) == data.birth);
}

}  // namespace

}  // namespace lumora::carbon

using namespace lumora::carbon;

OSErr FSNewAlias(const FSRef *fromFile, const FSRef *target, AliasHandle *inAlias) {
    return NewAliasHandle(fromFile, target, inAlias);
}

OSErr FSNewAliasMinimal(const FSRef *target, AliasHandle *inAlias) { return NewAliasHandle(nullptr, target, inAlias); }

OSErr FSResolveAlias(const FSRef *fromFile, AliasHandle alias, FSRef *target, Boolean *wasChanged) {
    if (alias == nullptr || target == nullptr) return paramErr;
    Handle h = reinterpret_cast<Handle>(alias);
    AliasData data;
    if (!Decode(h, data)) return paramErr;
    if (wasChanged != nullptr) *wasChanged = false;

    // The recorded path still holds the target.
    if (IsTarget(data, data.path)) return MakeFileRef(data.path, *target);

    std::string found;
    struct stat info;
    bool foundIt = false;
    // The target renamed or moved on its volume: its inode, near its old place first.
    const std::string nearest = NearestExistingFolder(ParentPath(data.path), data.device);
    if (!nearest.empty()) {
        if (IsTarget(data, nearest)) {
            found = nearest;
            foundIt = true;
        } else {
            std::vector<std::string> starts{nearest};
            std::string root;
            if (MountPointOf(nearest, root) == noErr && root != nearest) starts.push_back(root);
            foundIt = FindInode(data.device, data.inode, data.folder, starts, found, data.birth);
        }
        foundIt = foundIt && Canonical(found, found, info);
    }
    // Moved together with fromFile: the relative path.
    if (!foundIt && fromFile != nullptr && !data.relative.empty()) {
        std::string base;
        struct stat baseInfo;
        if (BaseFolder(*fromFile, base, baseInfo) == noErr &&
            Canonical(JoinPath(base, data.relative), found, info) && S_ISDIR(info.st_mode) == data.folder)
            foundIt = true;
    }
    // Replaced by another object of the same kind at the recorded path.
    if (!foundIt && Canonical(data.path, found, info) && S_ISDIR(info.st_mode) == data.folder) foundIt = true;
    if (!foundIt) return fnfErr;

    FSRef made;
    const OSErr status = MakeFileRef(found, made);
    if (status != noErr) return status;
    AliasData updated = data;
    updated.path = found;
    updated.device = UInt64(info.st_dev);
    updated.inode = UInt64(info.st_ino);
    updated.birth = BirthTimeOf(found);
    if (fromFile != nullptr && !data.relative.empty()) {
        std::string base;
        struct stat baseInfo;
        if (BaseFolder(*fromFile, base, baseInfo) == noErr && UInt64(baseInfo.st_dev) == updated.device)
            updated.relative = RelativePath(base, found);
    }
    const bool stored = Store(h, updated);
    *target = made;
    if (wasChanged != nullptr) *wasChanged = stored;
    return noErr;
}

OSErr NewAlias(const FSSpec *fromFile, const FSSpec *target, AliasHandle *alias) {
    if (target == nullptr || alias == nullptr) return paramErr;
    FSRef targetRef, fromRef;
    OSErr status = FSpMakeFSRef(target, &targetRef);
    if (status != noErr) return status;
    if (fromFile != nullptr) {
        status = FSpMakeFSRef(fromFile, &fromRef);
        if (status != noErr) return status;
    }
    return NewAliasHandle(fromFile != nullptr ? &fromRef : nullptr, &targetRef, alias);
}

OSErr ResolveAlias(const FSSpec *fromFile, AliasHandle alias, FSSpec *target, Boolean *wasChanged) {
    if (alias == nullptr || target == nullptr) return paramErr;
    FSRef fromRef, resolved;
    OSErr status = noErr;
    if (fromFile != nullptr) {
        status = FSpMakeFSRef(fromFile, &fromRef);
        if (status != noErr) return status;
    }
    status = FSResolveAlias(fromFile != nullptr ? &fromRef : nullptr, alias, &resolved, wasChanged);
    if (status != noErr) return status;
    return FSGetCatalogInfo(&resolved, kFSCatInfoNone, nullptr, nullptr, target, nullptr);
}
