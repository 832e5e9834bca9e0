// Resource Manager over the resource fork attribute (the map format is in Resources.h).
#include <Carbon/Resources.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <mutex>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include "FileRefs.h"

namespace lumora::carbon {

namespace {

constexpr UInt8 kMapMagic[4] = {'L', 'R', 's', 'F'};
constexpr UInt16 kMapVersion = 1;
constexpr size_t kMapHeaderSize = 4 + 2 + 4;

thread_local OSErr tResError = noErr;

void SetResError(OSErr error) { tResError = error; }

struct Resource {
    ResType type = 0;
    ResID id = 0;
    UInt8 attributes = 0;
    std::string name;
    std::vector<UInt8> data;  // the bytes while no handle holds them
    Handle handle = nullptr;  // the Resource Manager's handle, once loaded or added
};

struct ResourceFile {
    ResFileRefNum refNum = -1;  // the number of its open resource fork
    bool writable = false;
    bool changed = false;
    UInt64 device = 0;
    UInt64 inode = 0;
    std::vector<Resource> resources;
};

UInt32 ReadBig(const UInt8 *bytes, size_t size) {
    UInt32 value = 0;
    for (size_t i = 0; i < size; ++i) value = (value << 8) | bytes[i];
    return value;
}

void PutBig(std::vector<UInt8> &out, UInt32 value, size_t size) {
    for (size_t i = size; i > 0; --i) out.push_back(UInt8(value >> (8 * (i - 1))));
}

OSErr ParseMap(const std::vector<UInt8> &bytes, std::vector<Resource> &resources) {
    if (bytes.empty()) return eofErr;
    if (bytes.size() < kMapHeaderSize || std::memcmp(bytes.data(), kMapMagic, 4) != 0 ||
        ReadBig(bytes.data() + 4, 2) != kMapVersion)
        return mapReadErr;
    const UInt32 count = ReadBig(bytes.data() + 6, 4);
    size_t at = kMapHeaderSize;
    std::vector<Resource> parsed;
    for (UInt32 i = 0; i < count; ++i) {
        if (bytes.size() - at < 8) return mapReadErr;
        Resource resource;
        resource.type = ReadBig(bytes.data() + at, 4);
        resource.id = ResID(UInt16(ReadBig(bytes.data() + at + 4, 2)));
        resource.attributes = bytes[at + 6];
        const size_t nameLength = bytes[at + 7];
        at += 8;
        if (bytes.size() - at < nameLength + 4) return mapReadErr;
        resource.name.assign(reinterpret_cast<const char *>(bytes.data() + at), nameLength);
        at += nameLength;
        const size_t dataLength = ReadBig(bytes.data() + at, 4);
        at += 4;
        if (bytes.size() - at < dataLength) return mapReadErr;
        resource.data.assign(bytes.begin() + long(at), bytes.begin() + long(at + dataLength));
        at += dataLength;
        for (const Resource &other : parsed) {
            if (other.type == resource.type && other.id == resource.id) return mapReadErr;
        }
        parsed.push_back(std::move(resource));
    }
    if (at != bytes.size()) return mapReadErr;
    resources = std::move(parsed);
    return noErr;
}

std::vector<UInt8> EmptyMap() {
    std::vector<UInt8> out(kMapMagic, kMapMagic + 4);
    PutBig(out, kMapVersion, 2);
    PutBig(out, 0, 4);
    return out;
}

std::vector<UInt8> DataOf(const Resource &resource) {
    if (resource.handle == nullptr) return resource.data;
    const Size size = GetHandleSize(resource.handle);
    return std::vector<UInt8>(reinterpret_cast<const UInt8 *>(*resource.handle),
                              reinterpret_cast<const UInt8 *>(*resource.handle) + size);
}

std::vector<UInt8> MapOf(const ResourceFile &file) {
    std::vector<UInt8> out(kMapMagic, kMapMagic + 4);
    PutBig(out, kMapVersion, 2);
    PutBig(out, UInt32(file.resources.size()), 4);
    for (const Resource &resource : file.resources) {
        PutBig(out, resource.type, 4);
        PutBig(out, UInt16(resource.id), 2);
        out.push_back(resource.attributes);
        out.push_back(UInt8(resource.name.size()));
        out.insert(out.end(), resource.name.begin(), resource.name.end());
        const std::vector<UInt8> data = DataOf(resource);
        PutBig(out, UInt32(data.size()), 4);
        out.insert(out.end(), data.begin(), data.end());
    }
    return out;
}

class ResourceManager {
public:
    static ResourceManager &Shared() {
        static ResourceManager *manager = new ResourceManager;  // never destroyed
        return *manager;
    }

    std::mutex mutex;
    std::vector<ResourceFile> chain;  // in the order opened
    ResFileRefNum current = -1;

    ResourceFile *file(ResFileRefNum refNum) {
        for (ResourceFile &file : chain) {
            if (file.refNum == refNum) return &file;
        }
        return nullptr;
    }

    // The resource a handle belongs to, with its file.
    bool find(Handle h, ResourceFile *&file, Resource *&resource) {
        if (h == nullptr) return false;
        for (ResourceFile &candidate : chain) {
            for (Resource &entry : candidate.resources) {
                if (entry.handle == h) {
                    file = &candidate;
                    resource = &entry;
                    return true;
                }
            }
        }
        return false;
    }

    OSErr write(ResourceFile &file) {
        const OSErr status = ReplaceWholeFork(file.refNum, MapOf(file));
        if (status == noErr) file.changed = false;
        return status;
    }
};

// Gives the handle back to the caller: its bytes become the resource's again.
void ReleaseHandle(Resource &resource) {
    resource.data = DataOf(resource);
    MarkResourceHandle(resource.handle, false);
    resource.handle = nullptr;
}

// Calls use(manager, file, resource) under the manager's lock for the resource whose handle
// is theResource; else sets notFound as the result (resAttrErr when the resource's file must
// be writable and is not).
template <class Use>
void WithResource(Handle theResource, OSErr notFound, bool needsWritable, Use use) {
    ResourceManager &manager = ResourceManager::Shared();
    std::lock_guard<std::mutex> lock(manager.mutex);
    ResourceFile *file = nullptr;
    Resource *resource = nullptr;
    if (!manager.find(theResource, file, resource)) return SetResError(notFound);
    if (needsWritable && !file->writable) return SetResError(resAttrErr);
    use(manager, *file, *resource);
}

}  // namespace

void ForgetResourceHandle(Handle h) {
    ResourceManager &manager = ResourceManager::Shared();
    std::lock_guard<std::mutex> lock(manager.mutex);
    ResourceFile *file = nullptr;
    Resource *resource = nullptr;
    if (manager.find(h, file, resource)) ReleaseHandle(*resource);
}

}  // namespace lumora::carbon

using namespace lumora::carbon;

OSErr ResError(void) { return tResError; }

void FSpCreateResFile(const FSSpec *spec, OSType creator, OSType fileType, ScriptCode scriptTag) {
    if (spec == nullptr) return SetResError(paramErr);
    std::string path;
    OSErr status = FileSpecPath(*spec, path);
    if (status != noErr) return SetResError(status);
    struct stat info;
    if (::stat(path.c_str(), &info) != 0) {
        if (errno != ENOENT) return SetResError(StatusFromErrno(errno));
        status = FSpCreate(spec, creator, fileType, scriptTag);
        if (status != noErr) return SetResError(status);
    } else if (!S_ISREG(info.st_mode)) {
        return SetResError(notAFileErr);
    }
    if (::getxattr(path.c_str(), kResourceForkAttribute, nullptr, 0) > 0) return SetResError(dupFNErr);
    const std::vector<UInt8> map = EmptyMap();
    if (::setxattr(path.c_str(), kResourceForkAttribute, map.data(), map.size(), 0) != 0)
        return SetResError(StatusFromErrno(errno));
    SetResError(noErr);
}

ResFileRefNum FSpOpenResFile(const FSSpec *spec, SInt8 permission) {
    if (spec == nullptr || permission < fsCurPerm || permission > fsRdWrShPerm) {
        SetResError(paramErr);
        return -1;
    }
    std::string path;
    OSErr status = FileSpecPath(*spec, path);
    struct stat info;
    if (status == noErr && ::stat(path.c_str(), &info) != 0) status = StatusFromErrno(errno);
    if (status == noErr && !S_ISREG(info.st_mode)) status = notAFileErr;
    if (status != noErr) {
        SetResError(status);
        return -1;
    }

    ResourceManager &manager = ResourceManager::Shared();
    std::lock_guard<std::mutex> lock(manager.mutex);
    for (const ResourceFile &open : manager.chain) {
        if (open.device == UInt64(info.st_dev) && open.inode == UInt64(info.st_ino)) {
            manager.current = open.refNum;
            SetResError(noErr);
            return open.refNum;
        }
    }
    bool write = permission != fsRdPerm;
    if (permission == fsCurPerm && ::access(path.c_str(), W_OK) != 0) write = false;
    FSIORefNum refNum = 0;
    status = OpenResourceFork(path, write, refNum);
    ResourceFile file;
    std::vector<UInt8> bytes;
    if (status == noErr) status = ReadWholeFork(refNum, bytes);
    if (status == noErr) status = ParseMap(bytes, file.resources);
    if (status != noErr) {
        if (refNum != 0) FSCloseFork(refNum);
        SetResError(status);
        return -1;
    }
    file.refNum = refNum;
    file.writable = write;
    ForkFile(refNum, file.device, file.inode);
    manager.chain.push_back(std::move(file));
    manager.current = refNum;
    SetResError(noErr);
    return refNum;
}

void CloseResFile(ResFileRefNum refNum) {
    ResourceManager &manager = ResourceManager::Shared();
    std::unique_lock<std::mutex> lock(manager.mutex);
    ResourceFile *file = manager.file(refNum);
    if (file == nullptr) return SetResError(resFNotFound);
    OSErr status = noErr;
    if (file->writable && file->changed) status = manager.write(*file);
    std::vector<Handle> handles;
    for (Resource &resource : file->resources) {
        if (resource.handle != nullptr) {
            MarkResourceHandle(resource.handle, false);
            handles.push_back(resource.handle);
            resource.handle = nullptr;
        }
    }
    FSCloseFork(refNum);
    manager.chain.erase(manager.chain.begin() + (file - manager.chain.data()));
    if (manager.current == refNum) manager.current = manager.chain.empty() ? -1 : manager.chain.back().refNum;
    lock.unlock();
    for (Handle h : handles) DisposeHandle(h);
    SetResError(status);
}

void UseResFile(ResFileRefNum refNum) {
    ResourceManager &manager = ResourceManager::Shared();
    std::lock_guard<std::mutex> lock(manager.mutex);
    if (manager.file(refNum) == nullptr) return SetResError(resFNotFound);
    manager.current = refNum;
    SetResError(noErr);
}

ResFileRefNum CurResFile(void) {
    ResourceManager &manager = ResourceManager::Shared();
    std::lock_guard<std::mutex> lock(manager.mutex);
    SetResError(manager.current == -1 ? OSErr(resFNotFound) : OSErr(noErr));
    return manager.current;
}

Handle Get1Resource(ResType theType, ResID theID) {
    ResourceManager &manager = ResourceManager::Shared();
    std::lock_guard<std::mutex> lock(manager.mutex);
    ResourceFile *file = manager.file(manager.current);
    if (file == nullptr) {
        SetResError(resFNotFound);
        return nullptr;
    }
    for (Resource &resource : file->resources) {
        if (resource.type != theType || resource.id != theID) continue;
        if (resource.handle == nullptr) {
            Handle h = NewHandle(Size(resource.data.size()));
            if (h == nullptr) {
                SetResError(memFullErr);
                return nullptr;
            }
            if (!resource.data.empty()) std::memcpy(*h, resource.data.data(), resource.data.size());
            resource.data.clear();
            resource.handle = h;
            MarkResourceHandle(h, true);
        }
        SetResError(noErr);
        return resource.handle;
    }
    SetResError(resNotFound);
    return nullptr;
}

void AddResource(Handle theData, ResType theType, ResID theID, ConstStr255Param name) {
    if (!IsHandle(theData) || (HGetState(theData) & kHandleIsResourceMask) != 0) return SetResError(addResFailed);
    ResourceManager &manager = ResourceManager::Shared();
    std::lock_guard<std::mutex> lock(manager.mutex);
    ResourceFile *file = manager.file(manager.current);
    if (file == nullptr) return SetResError(resFNotFound);
    if (!file->writable) return SetResError(resAttrErr);
    for (const Resource &resource : file->resources) {
        if (resource.type == theType && resource.id == theID) return SetResError(addResFailed);
    }
    Resource resource;
    resource.type = theType;
    resource.id = theID;
    if (name != nullptr) resource.name.assign(reinterpret_cast<const char *>(name + 1), name[0]);
    resource.handle = theData;
    MarkResourceHandle(theData, true);
    file->resources.push_back(std::move(resource));
    file->changed = true;
    SetResError(noErr);
}

void RemoveResource(Handle theResource) {
    WithResource(theResource, rmvResFailed, true,
                 [theResource](ResourceManager &, ResourceFile &file, Resource &resource) {
        MarkResourceHandle(theResource, false);
        file.resources.erase(file.resources.begin() + (&resource - file.resources.data()));
        file.changed = true;
        SetResError(noErr);
    });
}

void DetachResource(Handle theResource) {
    WithResource(theResource, resNotFound, false, [](ResourceManager &, ResourceFile &, Resource &resource) {
        ReleaseHandle(resource);
        SetResError(noErr);
    });
}

void SetResInfo(Handle theResource, ResID theID, ConstStr255Param name) {
    WithResource(theResource, resNotFound, true,
                 [theID, name](ResourceManager &, ResourceFile &file, Resource &resource) {
        for (const Resource &other : file.resources) {
            if (&other != &resource && other.type == resource.type && other.id == theID)
                return SetResError(addResFailed);
        }
        resource.id = theID;
        if (name != nullptr) resource.name.assign(reinterpret_cast<const char *>(name + 1), name[0]);
        file.changed = true;
        SetResError(noErr);
    });
}

void WriteResource(Handle theResource) {
    WithResource(theResource, resNotFound, true, [](ResourceManager &manager, ResourceFile &file, Resource &) {
        SetResError(manager.write(file));
    });
}

void UpdateResFile(ResFileRefNum refNum) {
    ResourceManager &manager = ResourceManager::Shared();
    std::lock_guard<std::mutex> lock(manager.mutex);
    ResourceFile *file = manager.file(refNum);
    if (file == nullptr) return SetResError(resFNotFound);
    SetResError(file->writable && file->changed ? manager.write(*file) : OSErr(noErr));
}
