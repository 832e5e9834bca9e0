// Surfaces in shared memory.
//
// Every process maps a surface once (a Mapping, shared by all of its references) and holds a
// shared flock on its own open file description of the memory for as long as it maps it. A
// global surface is a named POSIX shared-memory object listed in the per-user registry; the
// process that finds, under the registry's lock, that it can take the object's lock
// exclusively is the last holder (or there is none left: the holders died) and unlinks it.
// Everything that can end a global surface, or make one, runs under the registry's lock, so
// a surface being made is never taken for a stale one.
#include <IOSurface/IOSurfaceRef.h>
#include <Mach/runtime_folder.h>

#include <IOSurface/IOSurfaceFormat.h>
#include <IOSurface/IOSurfaceSync.h>

#include <CoreFoundation/CFInternal.h>
#include <CoreFoundation/CFNumber.h>
#include <CoreFoundation/CFRuntime.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

LUMORA_CF_CONSTANT_STRING(gKeyWidth, "IOSurfaceWidth");
LUMORA_CF_CONSTANT_STRING(gKeyHeight, "IOSurfaceHeight");
LUMORA_CF_CONSTANT_STRING(gKeyBytesPerElement, "IOSurfaceBytesPerElement");
LUMORA_CF_CONSTANT_STRING(gKeyBytesPerRow, "IOSurfaceBytesPerRow");
LUMORA_CF_CONSTANT_STRING(gKeyPixelFormat, "IOSurfacePixelFormat");
LUMORA_CF_CONSTANT_STRING(gKeyIsGlobal, "IOSurfaceIsGlobal");
const CFStringRef kIOSurfaceWidth = &gKeyWidth.object;
const CFStringRef kIOSurfaceHeight = &gKeyHeight.object;
const CFStringRef kIOSurfaceBytesPerElement = &gKeyBytesPerElement.object;
const CFStringRef kIOSurfaceBytesPerRow = &gKeyBytesPerRow.object;
const CFStringRef kIOSurfacePixelFormat = &gKeyPixelFormat.object;
const CFStringRef kIOSurfaceIsGlobal = &gKeyIsGlobal.object;

namespace {

using namespace iosurface;

template <class T>
std::atomic_ref<T> Shared(T &field) {
    static_assert(std::atomic_ref<T>::is_always_lock_free, "shared between processes");
    return std::atomic_ref<T>(field);
}

bool IsOwnRegularFile(const struct stat &status) {
    return S_ISREG(status.st_mode) && status.st_uid == ::geteuid();
}

int FlockRetrying(int fd, int operation) {
    int result;
    do result = ::flock(fd, operation);
    while (result != 0 && errno == EINTR);
    return result;
}

// This process's view of one surface.
struct Mapping {
    int fd = -1;
    std::string name;  // the shared-memory name of a global surface this process unlinks when last
    pid_t process = ::getpid();  // a child forked without exec shares the flock, so never ends it
    dev_t device = 0;
    ino_t inode = 0;
    uint8_t *memory = nullptr;
    size_t mapSize = 0;
    IOSurfaceID id = 0;
    Geometry geometry;
    OSType pixelFormat = 0;

    std::mutex lockMutex;
    uint32_t readLocks = 0;
    uint32_t writeLocks = 0;

    Mapping() = default;
    Mapping(const Mapping &) = delete;
    Mapping &operator=(const Mapping &) = delete;
    ~Mapping();

    SharedHeader &header() const { return *reinterpret_cast<SharedHeader *>(memory); }
    uint8_t *base() const { return memory + kHeaderSize; }
};

// --- The registry -----------------------------------------------------------------------

std::mutex &RegistryMutex() {
    static std::mutex mutex;
    return mutex;
}

uint64_t NewToken() {
    uint64_t token = 0;
    while (token == 0) {
        if (::getrandom(&token, sizeof token, 0) != ssize_t(sizeof token))
            token = uint64_t(::getpid()) << 32 ^ uint64_t(::time(nullptr));
    }
    return token;
}

// The registry file, locked for this scope (a mutex for this process's threads, an exclusive
// flock for the other processes). A file that is not a sound registry starts afresh.
class RegistryScope {
public:
    RegistryScope() : mLock(RegistryMutex()) {
        const std::string folder = LumoraPrivateRuntimeFolder();
        if (folder.empty()) return;
        const std::string path = folder + "/IOSurface.registry";
        mFD = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
        if (mFD < 0) return;
        struct stat status;
        if (::fstat(mFD, &status) != 0 || !IsOwnRegularFile(status) || FlockRetrying(mFD, LOCK_EX) != 0) {
            ::close(mFD);
            mFD = -1;
            return;
        }
        std::string bytes(kRegistryFileSize + 1, '\0');
        const ssize_t read = ::pread(mFD, bytes.data(), bytes.size(), 0);
        bytes.resize(read > 0 ? size_t(read) : 0);
        if (std::optional<Registry> parsed = ParseRegistry(bytes)) {
            registry = std::move(*parsed);
        } else {
            registry = Registry();
            registry.token = NewToken();
            dirty = true;
        }
    }
    ~RegistryScope() {
        if (mFD < 0) return;
        if (dirty) {
            const std::string bytes = SerializeRegistry(registry);
            if (::pwrite(mFD, bytes.data(), bytes.size(), 0) == ssize_t(bytes.size()))
                (void)::ftruncate(mFD, off_t(bytes.size()));
        }
        ::close(mFD);  // drops the flock
    }
    RegistryScope(const RegistryScope &) = delete;
    RegistryScope &operator=(const RegistryScope &) = delete;

    bool ok() const { return mFD >= 0; }

    void clearSlot(IOSurfaceID id) {
        for (uint32_t &slot : registry.slots)
            if (slot == id) {
                slot = 0;
                dirty = true;
            }
    }
    bool isListed(IOSurfaceID id) const {
        for (uint32_t slot : registry.slots)
            if (slot == id) return true;
        return false;
    }
    IOSurfaceID allocateID() {
        for (;;) {
            const IOSurfaceID id = registry.nextID;
            registry.nextID = id + 1 == 0 ? 1 : id + 1;
            dirty = true;
            if (id != 0 && !isListed(id)) return id;
        }
    }
    std::string nameOf(IOSurfaceID id) const { return SharedMemoryName(::geteuid(), registry.token, id); }

    Registry registry;
    bool dirty = false;

private:
    std::unique_lock<std::mutex> mLock;
    int mFD = -1;
};

// Marks a shared-memory object whose exclusive lock the caller holds as destroyed (for any
// process that opened it before the unlink) and unlinks it.
void DestroyLocked(int fd, const std::string &name) {
    struct stat status;
    if (::fstat(fd, &status) == 0 && uint64_t(status.st_size) >= kHeaderSize) {
        void *page = ::mmap(nullptr, kHeaderSize, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
        if (page != MAP_FAILED) {
            Shared(static_cast<SharedHeader *>(page)->state).store(kStateDestroyed, std::memory_order_release);
            ::munmap(page, kHeaderSize);
        }
    }
    ::shm_unlink(name.c_str());
}

// Opens a listed global surface by name. True when it is gone, or it was left by holders that
// all ended (then it is unlinked here); false while someone holds it.
bool ReclaimIfUnheld(RegistryScope &scope, IOSurfaceID id) {
    const std::string name = scope.nameOf(id);
    const int fd = ::shm_open(name.c_str(), O_RDWR, 0);
    if (fd < 0) return errno == ENOENT;
    struct stat status;
    bool gone = true;
    if (::fstat(fd, &status) == 0 && IsOwnRegularFile(status)) {
        if (FlockRetrying(fd, LOCK_EX | LOCK_NB) == 0)
            DestroyLocked(fd, name);
        else
            gone = false;
    }
    ::close(fd);
    return gone;
}

void ReclaimStale(RegistryScope &scope) {
    for (uint32_t &slot : scope.registry.slots)
        if (slot != 0 && ReclaimIfUnheld(scope, slot)) {
            slot = 0;
            scope.dirty = true;
        }
}

// --- This process's surfaces --------------------------------------------------------------

struct ProcessTable {
    std::mutex mutex;
    std::unordered_map<IOSurfaceID, std::weak_ptr<Mapping>> mappings;
};

ProcessTable &Table() {
    static ProcessTable *table = new ProcessTable;  // never destroyed: surfaces may outlive statics
    return *table;
}

std::shared_ptr<Mapping> FindMapping(IOSurfaceID id) {
    ProcessTable &table = Table();
    std::lock_guard<std::mutex> lock(table.mutex);
    const auto found = table.mappings.find(id);
    return found == table.mappings.end() ? nullptr : found->second.lock();
}

void Remember(const std::shared_ptr<Mapping> &mapping) {
    ProcessTable &table = Table();
    std::lock_guard<std::mutex> lock(table.mutex);
    std::weak_ptr<Mapping> &entry = table.mappings[mapping->id];
    if (entry.expired()) entry = mapping;
}

Mapping::~Mapping() {
    {
        ProcessTable &table = Table();
        std::lock_guard<std::mutex> lock(table.mutex);
        const auto found = table.mappings.find(id);
        if (found != table.mappings.end() && found->second.expired()) table.mappings.erase(found);
    }
    if (!name.empty() && process == ::getpid()) {
        RegistryScope scope;
        if (FlockRetrying(fd, LOCK_EX | LOCK_NB) == 0) {
            DestroyLocked(fd, name);
            if (scope.ok()) scope.clearSlot(id);
        }
    }
    if (memory != nullptr) ::munmap(memory, mapSize);
    if (fd >= 0) ::close(fd);
}

// Maps a surface's memory from a descriptor (whose shared lock the caller holds) and checks
// its header: a Mapping without a name, or null (the caller still owns fd then).
std::shared_ptr<Mapping> MapChecked(int fd, const struct stat &status, IOSurfaceID expectedID) {
    if (!IsOwnRegularFile(status) || status.st_size < off_t(kHeaderSize) ||
        uint64_t(status.st_size) > kHeaderSize + kMaxAllocSize)
        return nullptr;
    const size_t size = size_t(status.st_size);
    void *memory = ::mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    if (memory == MAP_FAILED) return nullptr;
    SharedHeader *shared = static_cast<SharedHeader *>(memory);
    SharedHeader copy;
    copy.magic = Shared(shared->magic).load(std::memory_order_acquire);
    if (copy.magic == kHeaderMagic) {
        std::memcpy(&copy, shared, sizeof copy);
        copy.state = Shared(shared->state).load(std::memory_order_acquire);
    }
    if (copy.magic != kHeaderMagic || !IsSoundHeader(copy, size, expectedID)) {
        ::munmap(memory, size);
        return nullptr;
    }
    auto mapping = std::make_shared<Mapping>();
    mapping->memory = static_cast<uint8_t *>(memory);
    mapping->mapSize = size;
    mapping->device = status.st_dev;
    mapping->inode = status.st_ino;
    mapping->id = copy.id;
    mapping->geometry = Geometry{copy.width, copy.height, copy.bytesPerElement, copy.bytesPerRow, copy.allocSize};
    mapping->pixelFormat = copy.pixelFormat;
    mapping->fd = fd;
    return mapping;
}

// A global surface opened by name, under the registry's lock. A surface nobody holds any more
// is reclaimed and not answered. With `expected`, only that very object is answered.
std::shared_ptr<Mapping> OpenGlobal(RegistryScope &scope, IOSurfaceID id, const struct stat *expected) {
    const std::string name = scope.nameOf(id);
    const int fd = ::shm_open(name.c_str(), O_RDWR, 0);
    if (fd < 0) {
        if (errno == ENOENT) scope.clearSlot(id);
        return nullptr;
    }
    struct stat status;
    if (::fstat(fd, &status) != 0 || !IsOwnRegularFile(status) ||
        (expected != nullptr && (status.st_dev != expected->st_dev || status.st_ino != expected->st_ino))) {
        ::close(fd);
        return nullptr;
    }
    if (FlockRetrying(fd, LOCK_EX | LOCK_NB) == 0) {
        DestroyLocked(fd, name);
        scope.clearSlot(id);
        ::close(fd);
        return nullptr;
    }
    std::shared_ptr<Mapping> mapping;
    if (FlockRetrying(fd, LOCK_SH | LOCK_NB) == 0) mapping = MapChecked(fd, status, id);
    if (mapping == nullptr || (mapping->header().flags & kFlagGlobal) == 0) {
        if (mapping != nullptr) mapping->fd = -1;  // closed below; mapping has no name, so nothing else
        mapping.reset();
        ::close(fd);
        return nullptr;
    }
    mapping->name = name;
    return mapping;
}

}  // namespace

struct __IOSurface final : cf::Object {
    explicit __IOSurface(std::shared_ptr<Mapping> mapping)
        : cf::Object(IOSurfaceGetTypeID()), mapping(std::move(mapping)) {}
    bool isEqual(const cf::Object &other) const override {
        return mapping == static_cast<const __IOSurface &>(other).mapping;
    }
    CFHashCode hash() const override { return CFHashCode(mapping->id); }

    const std::shared_ptr<Mapping> mapping;
};

namespace {

IOSurfaceRef NewReference(std::shared_ptr<Mapping> mapping) {
    return mapping != nullptr ? new __IOSurface(std::move(mapping)) : nullptr;
}

Mapping *MappingOf(IOSurfaceRef buffer) {
    __IOSurface *surface = cf::As<__IOSurface>(buffer, IOSurfaceGetTypeID());
    return surface != nullptr ? surface->mapping.get() : nullptr;
}

// A non-negative integer property; absent answers `fallback`, anything else answers false.
bool IntegerProperty(CFDictionaryRef properties, CFStringRef key, uint64_t fallback, uint64_t &value) {
    const void *object = CFDictionaryGetValue(properties, key);
    if (object == nullptr) {
        value = fallback;
        return true;
    }
    SInt64 number = 0;
    if (CFGetTypeID(object) != CFNumberGetTypeID() ||
        !CFNumberGetValue(static_cast<CFNumberRef>(object), kCFNumberSInt64Type, &number) || number < 0)
        return false;
    value = uint64_t(number);
    return true;
}

bool BooleanProperty(CFDictionaryRef properties, CFStringRef key, bool &value) {
    const void *object = CFDictionaryGetValue(properties, key);
    value = false;
    if (object == nullptr) return true;
    if (CFGetTypeID(object) == CFBooleanGetTypeID()) {
        value = CFBooleanGetValue(static_cast<CFBooleanRef>(object));
        return true;
    }
    uint64_t number;
    if (!IntegerProperty(properties, key, 0, number)) return false;
    value = number != 0;
    return true;
}

// Fills a new surface's memory and maps it; closes fd on failure.
std::shared_ptr<Mapping> MakeSurface(int fd, IOSurfaceID id, const Geometry &geometry, OSType format, bool global) {
    const size_t size = size_t(kHeaderSize + geometry.allocSize);
    struct stat status;
    void *memory = MAP_FAILED;
    if (::ftruncate(fd, off_t(size)) == 0 && ::fstat(fd, &status) == 0)
        memory = ::mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    if (memory == MAP_FAILED) {
        ::close(fd);
        return nullptr;
    }
    SharedHeader &header = *static_cast<SharedHeader *>(memory);
    header.version = kHeaderVersion;
    header.headerSize = kHeaderSize;
    header.id = id;
    header.width = geometry.width;
    header.height = geometry.height;
    header.bytesPerElement = geometry.bytesPerElement;
    header.bytesPerRow = geometry.bytesPerRow;
    header.pixelFormat = format;
    header.flags = global ? kFlagGlobal : 0;
    header.allocSize = geometry.allocSize;
    header.state = kStateAlive;
    header.seed = 1;
    header.useCount = 0;
    Shared(header.magic).store(kHeaderMagic, std::memory_order_release);

    auto mapping = std::make_shared<Mapping>();
    mapping->fd = fd;
    mapping->memory = static_cast<uint8_t *>(memory);
    mapping->mapSize = size;
    mapping->device = status.st_dev;
    mapping->inode = status.st_ino;
    mapping->id = id;
    mapping->geometry = geometry;
    mapping->pixelFormat = format;
    return mapping;
}

}  // namespace

CFTypeID IOSurfaceGetTypeID(void) {
    static const CFTypeID type = cf::RegisterType("IOSurface");
    return type;
}

IOSurfaceRef IOSurfaceCreate(CFDictionaryRef properties) {
    if (properties == nullptr || CFGetTypeID(properties) != CFDictionaryGetTypeID()) return nullptr;
    uint64_t width, height, bytesPerElement, bytesPerRow, format;
    bool global;
    if (!IntegerProperty(properties, kIOSurfaceWidth, 0, width) ||
        !IntegerProperty(properties, kIOSurfaceHeight, 0, height) ||
        !IntegerProperty(properties, kIOSurfaceBytesPerElement, 0, bytesPerElement) ||
        !IntegerProperty(properties, kIOSurfaceBytesPerRow, 0, bytesPerRow) ||
        !IntegerProperty(properties, kIOSurfacePixelFormat, 0, format) || format > UINT32_MAX ||
        !BooleanProperty(properties, kIOSurfaceIsGlobal, global))
        return nullptr;
    // An explicit row length of 0 is refused; only an absent one takes the default.
    if (CFDictionaryGetValue(properties, kIOSurfaceBytesPerRow) != nullptr && bytesPerRow == 0) return nullptr;
    Geometry geometry;
    if (!MakeGeometry(width, height, bytesPerElement, bytesPerRow, geometry)) return nullptr;

    std::shared_ptr<Mapping> mapping;
    {
        RegistryScope scope;
        if (!scope.ok()) return nullptr;
        if (global) {
            ReclaimStale(scope);
            uint32_t *freeSlot = nullptr;
            for (uint32_t &slot : scope.registry.slots)
                if (slot == 0) {
                    freeSlot = &slot;
                    break;
                }
            if (freeSlot == nullptr) return nullptr;
            // A name left by an earlier registry of this folder is skipped.
            for (int attempt = 0; attempt < 64 && mapping == nullptr; ++attempt) {
                const IOSurfaceID id = scope.allocateID();
                const std::string name = scope.nameOf(id);
                const int fd = ::shm_open(name.c_str(), O_RDWR | O_CREAT | O_EXCL, 0600);
                if (fd < 0) {
                    if (errno == EEXIST) continue;
                    return nullptr;
                }
                // Held from the start: under the registry's lock nobody may take it for stale,
                // and after it only holders do.
                if (FlockRetrying(fd, LOCK_SH) != 0) {
                    ::close(fd);
                    ::shm_unlink(name.c_str());
                    return nullptr;
                }
                if ((mapping = MakeSurface(fd, id, geometry, OSType(format), true)) == nullptr) {
                    ::shm_unlink(name.c_str());
                    return nullptr;
                }
                mapping->name = name;
                *freeSlot = id;
                scope.dirty = true;
            }
            if (mapping == nullptr) return nullptr;
        } else {
            const IOSurfaceID id = scope.allocateID();
            const int fd = ::memfd_create("IOSurface", MFD_CLOEXEC | MFD_ALLOW_SEALING);
            if (fd < 0) return nullptr;
            mapping = MakeSurface(fd, id, geometry, OSType(format), false);
            if (mapping == nullptr) return nullptr;
            ::fcntl(fd, F_ADD_SEALS, F_SEAL_SHRINK | F_SEAL_GROW | F_SEAL_SEAL);
        }
        Remember(mapping);
    }
    return NewReference(std::move(mapping));
}

IOSurfaceRef IOSurfaceLookup(IOSurfaceID csid) {
    if (csid == 0) return nullptr;
    std::shared_ptr<Mapping> mapping;
    {
        RegistryScope scope;
        mapping = FindMapping(csid);
        if (mapping == nullptr && scope.ok()) {
            mapping = OpenGlobal(scope, csid, nullptr);
            if (mapping != nullptr) Remember(mapping);
        }
    }
    return NewReference(std::move(mapping));
}

IOSurfaceID IOSurfaceGetID(IOSurfaceRef buffer) {
    const Mapping *mapping = MappingOf(buffer);
    return mapping ? mapping->id : 0;
}

namespace {

std::atomic<iosurface::LockSyncHandler> gLockSyncHandler{nullptr};

}  // namespace

void iosurface::SetLockSyncHandler(LockSyncHandler handler) {
    gLockSyncHandler.store(handler, std::memory_order_release);
}

IOReturn IOSurfaceLock(IOSurfaceRef buffer, IOSurfaceLockOptions options, uint32_t *seed) {
    Mapping *mapping = MappingOf(buffer);
    if (mapping == nullptr || (options & ~(kIOSurfaceLockReadOnly | kIOSurfaceLockAvoidSync)) != 0)
        return kIOReturnBadArgument;
    if ((options & kIOSurfaceLockAvoidSync) == 0) {
        if (const LockSyncHandler handler = gLockSyncHandler.load(std::memory_order_acquire)) handler(buffer);
    }
    {
        std::lock_guard<std::mutex> lock(mapping->lockMutex);
        ++((options & kIOSurfaceLockReadOnly) ? mapping->readLocks : mapping->writeLocks);
    }
    if (seed != nullptr) *seed = Shared(mapping->header().seed).load(std::memory_order_acquire);
    return kIOReturnSuccess;
}

IOReturn IOSurfaceUnlock(IOSurfaceRef buffer, IOSurfaceLockOptions options, uint32_t *seed) {
    Mapping *mapping = MappingOf(buffer);
    if (mapping == nullptr || (options & ~(kIOSurfaceLockReadOnly | kIOSurfaceLockAvoidSync)) != 0)
        return kIOReturnBadArgument;
    const bool readOnly = (options & kIOSurfaceLockReadOnly) != 0;
    {
        std::lock_guard<std::mutex> lock(mapping->lockMutex);
        uint32_t &count = readOnly ? mapping->readLocks : mapping->writeLocks;
        if (count == 0) return kIOReturnBadArgument;
        --count;
    }
    std::atomic_ref<uint32_t> shared = Shared(mapping->header().seed);
    const uint32_t now = readOnly ? shared.load(std::memory_order_acquire)
                                  : shared.fetch_add(1, std::memory_order_acq_rel) + 1;
    if (seed != nullptr) *seed = now;
    return kIOReturnSuccess;
}

void *IOSurfaceGetBaseAddress(IOSurfaceRef buffer) {
    const Mapping *mapping = MappingOf(buffer);
    return mapping ? mapping->base() : nullptr;
}

size_t IOSurfaceGetAllocSize(IOSurfaceRef buffer) {
    const Mapping *mapping = MappingOf(buffer);
    return mapping ? size_t(mapping->geometry.allocSize) : 0;
}

size_t IOSurfaceGetWidth(IOSurfaceRef buffer) {
    const Mapping *mapping = MappingOf(buffer);
    return mapping ? mapping->geometry.width : 0;
}

size_t IOSurfaceGetHeight(IOSurfaceRef buffer) {
    const Mapping *mapping = MappingOf(buffer);
    return mapping ? mapping->geometry.height : 0;
}

size_t IOSurfaceGetBytesPerElement(IOSurfaceRef buffer) {
    const Mapping *mapping = MappingOf(buffer);
    return mapping ? mapping->geometry.bytesPerElement : 0;
}

size_t IOSurfaceGetBytesPerRow(IOSurfaceRef buffer) {
    const Mapping *mapping = MappingOf(buffer);
    return mapping ? mapping->geometry.bytesPerRow : 0;
}

OSType IOSurfaceGetPixelFormat(IOSurfaceRef buffer) {
    const Mapping *mapping = MappingOf(buffer);
    return mapping ? mapping->pixelFormat : 0;
}

uint32_t IOSurfaceGetSeed(IOSurfaceRef buffer) {
    const Mapping *mapping = MappingOf(buffer);
    return mapping ? Shared(mapping->header().seed).load(std::memory_order_acquire) : 0;
}

void IOSurfaceIncrementUseCount(IOSurfaceRef buffer) {
    if (const Mapping *mapping = MappingOf(buffer))
        Shared(mapping->header().useCount).fetch_add(1, std::memory_order_acq_rel);
}

void IOSurfaceDecrementUseCount(IOSurfaceRef buffer) {
    const Mapping *mapping = MappingOf(buffer);
    if (mapping == nullptr) return;
    std::atomic_ref<int32_t> count = Shared(mapping->header().useCount);
    int32_t value = count.load(std::memory_order_acquire);
    while (value > 0 && !count.compare_exchange_weak(value, value - 1, std::memory_order_acq_rel)) {
    }
}

int32_t IOSurfaceGetUseCount(IOSurfaceRef buffer) {
    const Mapping *mapping = MappingOf(buffer);
    if (mapping == nullptr) return 0;
    const int32_t value = Shared(mapping->header().useCount).load(std::memory_order_acquire);
    return value > 0 ? value : 0;
}

Boolean IOSurfaceIsInUse(IOSurfaceRef buffer) { return IOSurfaceGetUseCount(buffer) > 0; }

namespace {

// A new open file description of the same memory (its own flock), close-on-exec.
int Reopen(int fd) {
    const std::string path = "/proc/self/fd/" + std::to_string(fd);
    return ::open(path.c_str(), O_RDWR | O_CLOEXEC);
}

}  // namespace

int IOSurfaceCreateFileDescriptor(IOSurfaceRef buffer) {
    const Mapping *mapping = MappingOf(buffer);
    if (mapping == nullptr) return -1;
    const int fd = Reopen(mapping->fd);
    if (fd < 0) return -1;
    if (FlockRetrying(fd, LOCK_SH) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

IOSurfaceRef IOSurfaceLookupFromFileDescriptor(int fd) {
    if (fd < 0) return nullptr;
    struct stat status;
    SharedHeader copy;
    if (::fstat(fd, &status) != 0 || !IsOwnRegularFile(status) ||
        ::pread(fd, &copy, sizeof copy, 0) != ssize_t(sizeof copy) ||
        !IsSoundHeader(copy, uint64_t(status.st_size), 0))
        return nullptr;

    // Another surface of this process with the same id (from another registry) is let go only
    // after the registry's lock, since its end may need that lock.
    std::shared_ptr<Mapping> other;
    std::shared_ptr<Mapping> mapping;
    {
        RegistryScope scope;
        mapping = FindMapping(copy.id);
        if (mapping != nullptr && (mapping->device != status.st_dev || mapping->inode != status.st_ino))
            other = std::move(mapping);
        // A global surface is opened by its name, so that this process can end it when last.
        if (mapping == nullptr && (copy.flags & kFlagGlobal) != 0 && scope.ok()) {
            mapping = OpenGlobal(scope, copy.id, &status);
            if (mapping != nullptr) Remember(mapping);
        }
        if (mapping == nullptr) {
            const int own = Reopen(fd);
            struct stat ownStatus;
            if (own < 0) return nullptr;
            if (::fstat(own, &ownStatus) != 0 || ownStatus.st_dev != status.st_dev ||
                ownStatus.st_ino != status.st_ino || FlockRetrying(own, LOCK_SH | LOCK_NB) != 0 ||
                (mapping = MapChecked(own, ownStatus, copy.id)) == nullptr) {
                ::close(own);
                return nullptr;
            }
            Remember(mapping);
        }
    }
    return NewReference(std::move(mapping));
}
