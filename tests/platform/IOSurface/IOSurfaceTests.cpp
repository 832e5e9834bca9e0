#include <IOSurface/IOSurface.h>
#include <IOSurface/IOSurfaceFormat.h>

#include <CoreFoundation/CFNumber.h>

#include <gtest/gtest.h>

#include "helper/HelperProcess.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <optional>
#include <signal.h>
#include <spawn.h>
#include <sstream>
#include <string>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char **environ;

namespace {

constexpr OSType kBGRA = 0x42475241;

CFNumberRef Number(long long value) { return CFNumberCreate(nullptr, kCFNumberLongLongType, &value); }

// Properties: -1 leaves a key out.
IOSurfaceRef MakeSurface(long long width, long long height, long long bytesPerElement, long long bytesPerRow = -1,
                         bool global = true, OSType format = kBGRA) {
    CFMutableDictionaryRef properties =
        CFDictionaryCreateMutable(nullptr, 0, &kCFTypeDictionaryKeyCallBacks, &kCFTypeDictionaryValueCallBacks);
    const std::pair<CFStringRef, long long> numbers[] = {{kIOSurfaceWidth, width},
                                                         {kIOSurfaceHeight, height},
                                                         {kIOSurfaceBytesPerElement, bytesPerElement},
                                                         {kIOSurfaceBytesPerRow, bytesPerRow},
                                                         {kIOSurfacePixelFormat, format}};
    for (const auto &[key, value] : numbers) {
        if (value == -1) continue;
        CFNumberRef number = Number(value);
        CFDictionarySetValue(properties, key, number);
        CFRelease(number);
    }
    CFDictionarySetValue(properties, kIOSurfaceIsGlobal, global ? kCFBooleanTrue : kCFBooleanFalse);
    IOSurfaceRef surface = IOSurfaceCreate(properties);
    CFRelease(properties);
    return surface;
}

std::string RegistryPath() { return std::string(std::getenv("XDG_RUNTIME_DIR")) + "/IOSurface.registry"; }

std::optional<iosurface::Registry> ReadRegistry() {
    std::ifstream file(RegistryPath(), std::ios::binary);
    std::stringstream bytes;
    bytes << file.rdbuf();
    return iosurface::ParseRegistry(bytes.str());
}

// The shared-memory objects of this test program's registry.
int ObjectsInSharedMemory() {
    const std::optional<iosurface::Registry> registry = ReadRegistry();
    if (!registry) return 0;
    std::string prefix = iosurface::SharedMemoryName(::geteuid(), registry->token, 0).substr(1);
    prefix.pop_back();  // "...-<token>-"
    int count = 0;
    if (DIR *folder = ::opendir("/dev/shm")) {
        while (const dirent *entry = ::readdir(folder))
            if (std::string(entry->d_name).rfind(prefix, 0) == 0) ++count;
        ::closedir(folder);
    }
    return count;
}

TEST(IOSurface, ProcessesShareTheBytesSeedAndUseCount) {
    IOSurfaceRef surface = MakeSurface(640, 480, 4);
    ASSERT_NE(surface, nullptr);
    EXPECT_EQ(IOSurfaceGetBytesPerRow(surface), 2560u);
    uint8_t *bytes = static_cast<uint8_t *>(IOSurfaceGetBaseAddress(surface));
    uint32_t seed = 0;
    ASSERT_EQ(IOSurfaceLock(surface, 0, nullptr), kIOReturnSuccess);
    std::memset(bytes, 0x11, IOSurfaceGetAllocSize(surface));
    bytes[IOSurfaceGetAllocSize(surface) - 1] = 0x22;
    ASSERT_EQ(IOSurfaceUnlock(surface, 0, &seed), kIOReturnSuccess);

    std::string seen, after;
    {
        Helper helper({"inspect", std::to_string(IOSurfaceGetID(surface))});
        seen = helper.line();
        after = helper.line();
    }
    char expected[128];
    std::snprintf(expected, sizeof expected, "640 480 2560 42475241 %u 0 17 34", unsigned(seed));
    EXPECT_EQ(seen, expected);
    // The helper's write, its seed and its use are seen here after it has gone.
    std::snprintf(expected, sizeof expected, "%u 1", unsigned(IOSurfaceGetSeed(surface)));
    EXPECT_EQ(after, expected);
    EXPECT_NE(IOSurfaceGetSeed(surface), seed);
    EXPECT_EQ(IOSurfaceGetUseCount(surface), 1);
    EXPECT_TRUE(IOSurfaceIsInUse(surface));
    EXPECT_EQ(bytes[0], 0x5A);
    EXPECT_EQ(bytes[IOSurfaceGetAllocSize(surface) - 1], 0x5A);
    CFRelease(surface);
    EXPECT_EQ(ObjectsInSharedMemory(), 0);
}

TEST(IOSurface, DescriptorsCarrySurfacesThatIdsDoNot) {
    IOSurfaceRef surface = MakeSurface(16, 8, 4, -1, /*global*/ false);
    ASSERT_NE(surface, nullptr);
    std::memset(IOSurfaceGetBaseAddress(surface), 0x33, IOSurfaceGetAllocSize(surface));
    {
        // A surface that is not global is not found by id in another process...
        Helper helper({"inspect", std::to_string(IOSurfaceGetID(surface))});
        EXPECT_EQ(helper.line(), "none");
    }
    const int fd = IOSurfaceCreateFileDescriptor(surface);
    ASSERT_GE(fd, 0);
    {
        // ...but travels as a descriptor.
        Helper helper({"inspect-fd", "3"}, fd);
        EXPECT_EQ(helper.line(), "16 8 64 42475241 1 0 51 51");
        EXPECT_EQ(helper.line(), "2 1");
    }
    EXPECT_EQ(static_cast<uint8_t *>(IOSurfaceGetBaseAddress(surface))[0], 0x5A);
    // In this process the descriptor answers the same surface.
    IOSurfaceRef again = IOSurfaceLookupFromFileDescriptor(fd);
    ASSERT_NE(again, nullptr);
    EXPECT_TRUE(CFEqual(again, surface));
    EXPECT_EQ(IOSurfaceGetBaseAddress(again), IOSurfaceGetBaseAddress(surface));
    CFRelease(again);
    ::close(fd);
    CFRelease(surface);
}

TEST(IOSurface, AnExportedDescriptorKeepsAGlobalSurfaceAlive) {
    IOSurfaceRef surface = MakeSurface(8, 8, 4);
    ASSERT_NE(surface, nullptr);
    const IOSurfaceID id = IOSurfaceGetID(surface);
    const int fd = IOSurfaceCreateFileDescriptor(surface);
    ASSERT_GE(fd, 0);
    CFRelease(surface);
    EXPECT_EQ(ObjectsInSharedMemory(), 1);
    IOSurfaceRef found = IOSurfaceLookupFromFileDescriptor(fd);
    ASSERT_NE(found, nullptr);
    EXPECT_EQ(IOSurfaceGetID(found), id);
    ::close(fd);
    CFRelease(found);  // the last holder
    EXPECT_EQ(ObjectsInSharedMemory(), 0);
    EXPECT_EQ(IOSurfaceLookup(id), nullptr);
}

TEST(IOSurface, ASurfaceLivesWhileAnyProcessHoldsIt) {
    Helper helper({"create-hold"});
    const IOSurfaceID id = IOSurfaceID(std::strtoul(helper.line().c_str(), nullptr, 10));
    ASSERT_NE(id, 0u);
    IOSurfaceRef surface = IOSurfaceLookup(id);
    ASSERT_NE(surface, nullptr);
    EXPECT_EQ(static_cast<uint8_t *>(IOSurfaceGetBaseAddress(surface))[0], 0x77);
    EXPECT_EQ(helper.finish(), 0);  // the creator lets go first
    EXPECT_EQ(ObjectsInSharedMemory(), 1);
    IOSurfaceRef again = IOSurfaceLookup(id);
    EXPECT_TRUE(again != nullptr && CFEqual(again, surface));
    if (again != nullptr) CFRelease(again);
    CFRelease(surface);
    EXPECT_EQ(ObjectsInSharedMemory(), 0);
    EXPECT_EQ(IOSurfaceLookup(id), nullptr);
}

TEST(IOSurface, AHolderKilledLeavesAnEntryThatIsReclaimed) {
    // Reclaimed by a lookup of its id, and by the scan of a creation.
    for (const bool byLookup : {true, false}) {
        SCOPED_TRACE(byLookup ? "lookup" : "creation");
        Helper helper({"create-hold"});
        const IOSurfaceID id = IOSurfaceID(std::strtoul(helper.line().c_str(), nullptr, 10));
        ASSERT_NE(id, 0u);
        const int status = helper.finish(/*kill*/ true);
        EXPECT_TRUE(WIFSIGNALED(status));
        EXPECT_EQ(ObjectsInSharedMemory(), 1);
        if (byLookup) {
            EXPECT_EQ(IOSurfaceLookup(id), nullptr);
            EXPECT_EQ(ObjectsInSharedMemory(), 0);
        } else {
            IOSurfaceRef other = MakeSurface(4, 4, 4);
            ASSERT_NE(other, nullptr);
            EXPECT_EQ(ObjectsInSharedMemory(), 1);  // the new one only
            CFRelease(other);
            EXPECT_EQ(ObjectsInSharedMemory(), 0);
        }
        const std::optional<iosurface::Registry> registry = ReadRegistry();
        ASSERT_TRUE(registry.has_value());
        for (uint32_t slot : registry->slots) EXPECT_NE(slot, id);
    }
}

TEST(IOSurface, AChildForkedWithoutExecNeverEndsItsParentsSurface) {
    IOSurfaceRef surface = MakeSurface(8, 8, 4);
    ASSERT_NE(surface, nullptr);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // The child shares the parent's lock on the memory: its release must not look last.
        CFRelease(surface);
        ::_exit(0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ(ObjectsInSharedMemory(), 1);
    {
        Helper helper({"inspect", std::to_string(IOSurfaceGetID(surface))});
        EXPECT_NE(helper.line(), "none");
    }
    CFRelease(surface);
    EXPECT_EQ(ObjectsInSharedMemory(), 0);
}

TEST(IOSurface, UnknownAndDestroyedIdsAnswerNull) {
    EXPECT_EQ(IOSurfaceLookup(0), nullptr);
    EXPECT_EQ(IOSurfaceLookup(0xFFFFFFF0u), nullptr);
    IOSurfaceRef surface = MakeSurface(4, 4, 4);
    ASSERT_NE(surface, nullptr);
    const IOSurfaceID id = IOSurfaceGetID(surface);
    CFRelease(surface);
    EXPECT_EQ(IOSurfaceLookup(id), nullptr);
    EXPECT_EQ(IOSurfaceLookupFromFileDescriptor(-1), nullptr);
    EXPECT_EQ(IOSurfaceGetBaseAddress(nullptr), nullptr);
    EXPECT_EQ(IOSurfaceLock(nullptr, 0, nullptr), kIOReturnBadArgument);
}

TEST(IOSurface, RowBytesAndSizes) {
    struct Case {
        long long width, height, bytesPerElement, bytesPerRow;
        size_t expectedRowBytes;  // 0: refused
    };
    const Case cases[] = {
        {10, 3, 4, -1, 48},           // 40 rounded up to 16
        {640, 480, 4, -1, 2560},
        {10, 3, 4, 64, 64},           // padding asked for
        {10, 3, 4, 41, 41},
        {10, 3, 4, 39, 0},            // shorter than the pixels
        {10, 3, 4, 0, 0},
        {0, 3, 4, -1, 0},
        {10, 0, 4, -1, 0},
        {10, 3, 0, -1, 0},
        {-1, 3, 4, -1, 0},            // width left out
        {-5, 3, 4, -1, 0},
        {70000, 1, 4, -1, 0},         // past the side bound
        {65536, 65536, 4, -1, 0},     // 16 GiB
        {4, 4, 1LL << 40, -1, 0},
        {4, 4, 4, 1LL << 62, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << c.width << " x " << c.height << " x " << c.bytesPerElement << " row "
                                        << c.bytesPerRow);
        IOSurfaceRef surface = MakeSurface(c.width, c.height, c.bytesPerElement, c.bytesPerRow);
        if (c.expectedRowBytes == 0) {
            EXPECT_EQ(surface, nullptr);
            if (surface != nullptr) CFRelease(surface);
            continue;
        }
        ASSERT_NE(surface, nullptr);
        EXPECT_EQ(IOSurfaceGetBytesPerRow(surface), c.expectedRowBytes);
        EXPECT_EQ(IOSurfaceGetAllocSize(surface), c.expectedRowBytes * size_t(c.height));
        EXPECT_EQ(IOSurfaceGetWidth(surface), size_t(c.width));
        EXPECT_EQ(IOSurfaceGetHeight(surface), size_t(c.height));
        EXPECT_EQ(IOSurfaceGetBytesPerElement(surface), size_t(c.bytesPerElement));
        EXPECT_EQ(IOSurfaceGetPixelFormat(surface), kBGRA);
        EXPECT_EQ(reinterpret_cast<uintptr_t>(IOSurfaceGetBaseAddress(surface)) % 4096, 0u);
        // Every byte of every row is there.
        std::memset(IOSurfaceGetBaseAddress(surface), 0xEE, IOSurfaceGetAllocSize(surface));
        CFRelease(surface);
    }
    EXPECT_EQ(ObjectsInSharedMemory(), 0);
}

TEST(IOSurface, LocksAndSeeds) {
    IOSurfaceRef surface = MakeSurface(4, 4, 4, -1, false);
    ASSERT_NE(surface, nullptr);
    uint32_t atLock = 0, atUnlock = 0;
    const uint32_t first = IOSurfaceGetSeed(surface);
    // Read-only: the seed stays.
    ASSERT_EQ(IOSurfaceLock(surface, kIOSurfaceLockReadOnly, &atLock), kIOReturnSuccess);
    ASSERT_EQ(IOSurfaceUnlock(surface, kIOSurfaceLockReadOnly, &atUnlock), kIOReturnSuccess);
    EXPECT_EQ(atLock, first);
    EXPECT_EQ(atUnlock, first);
    // A write lock advances it on unlock, once per unlock.
    ASSERT_EQ(IOSurfaceLock(surface, kIOSurfaceLockAvoidSync, &atLock), kIOReturnSuccess);
    EXPECT_EQ(atLock, first);
    EXPECT_EQ(IOSurfaceGetSeed(surface), first);
    ASSERT_EQ(IOSurfaceUnlock(surface, kIOSurfaceLockAvoidSync, &atUnlock), kIOReturnSuccess);
    EXPECT_EQ(atUnlock, first + 1);
    EXPECT_EQ(IOSurfaceGetSeed(surface), first + 1);
    // Unlocks without their lock, and unknown options.
    EXPECT_EQ(IOSurfaceUnlock(surface, 0, nullptr), kIOReturnBadArgument);
    ASSERT_EQ(IOSurfaceLock(surface, kIOSurfaceLockReadOnly, nullptr), kIOReturnSuccess);
    EXPECT_EQ(IOSurfaceUnlock(surface, 0, nullptr), kIOReturnBadArgument);
    EXPECT_EQ(IOSurfaceUnlock(surface, kIOSurfaceLockReadOnly, nullptr), kIOReturnSuccess);
    EXPECT_EQ(IOSurfaceLock(surface, 0x100, nullptr), kIOReturnBadArgument);
    EXPECT_EQ(IOSurfaceGetSeed(surface), first + 1);
    // The use count never goes below zero.
    IOSurfaceDecrementUseCount(surface);
    EXPECT_EQ(IOSurfaceGetUseCount(surface), 0);
    IOSurfaceIncrementUseCount(surface);
    IOSurfaceIncrementUseCount(surface);
    IOSurfaceDecrementUseCount(surface);
    EXPECT_EQ(IOSurfaceGetUseCount(surface), 1);
    EXPECT_TRUE(IOSurfaceIsInUse(surface));
    // A lookup in the creating process answers the same surface, global or not.
    IOSurfaceRef again = IOSurfaceLookup(IOSurfaceGetID(surface));
    ASSERT_NE(again, nullptr);
    EXPECT_TRUE(CFEqual(again, surface));
    EXPECT_EQ(IOSurfaceGetUseCount(again), 1);
    CFRelease(again);
    CFRelease(surface);
}

// Memory with a header written here, as another process might leave it.
struct Forged {
    iosurface::SharedHeader header{};
    uint64_t fileSize = 0;
};

Forged SoundForgery() {
    Forged forged;
    iosurface::SharedHeader &h = forged.header;
    h.magic = iosurface::kHeaderMagic;
    h.version = iosurface::kHeaderVersion;
    h.headerSize = iosurface::kHeaderSize;
    h.id = 4000000000u;
    h.width = 8;
    h.height = 2;
    h.bytesPerElement = 4;
    h.bytesPerRow = 32;
    h.pixelFormat = kBGRA;
    h.allocSize = 64;
    h.state = iosurface::kStateAlive;
    h.seed = 9;
    forged.fileSize = iosurface::kHeaderSize + 64;
    return forged;
}

int MemoryWith(const Forged &forged) {
    const int fd = ::memfd_create("forged", MFD_CLOEXEC);
    if (fd < 0 || ::ftruncate(fd, off_t(forged.fileSize)) != 0 ||
        ::pwrite(fd, &forged.header, sizeof forged.header, 0) != ssize_t(sizeof forged.header))
        return -1;
    return fd;
}

TEST(IOSurface, UnsoundHeadersAreRefused) {
    struct Case {
        const char *what;
        void (*spoil)(Forged &);
    };
    const Case cases[] = {
        {"sound", [](Forged &) {}},
        {"magic", [](Forged &f) { f.header.magic ^= 1; }},
        {"version", [](Forged &f) { f.header.version = 2; }},
        {"header size", [](Forged &f) { f.header.headerSize = 64; }},
        {"flags", [](Forged &f) { f.header.flags = 6; }},
        {"destroyed", [](Forged &f) { f.header.state = iosurface::kStateDestroyed; }},
        {"id 0", [](Forged &f) { f.header.id = 0; }},
        {"row shorter than pixels", [](Forged &f) { f.header.bytesPerRow = 31; }},
        {"alloc size past the memory", [](Forged &f) { f.header.allocSize = 1 << 20; }},
        {"alloc size not rows x height", [](Forged &f) { f.header.allocSize = 60; }},
        {"memory shorter", [](Forged &f) { f.fileSize -= 1; }},
        {"memory longer", [](Forged &f) { f.fileSize += 4096; }},
        {"rows x height overflows 32 bits", [](Forged &f) {
             f.header.width = 65536;
             f.header.height = 65536;
             f.header.bytesPerRow = 262144;
             f.header.allocSize = 0;  // 2^34 truncated
         }},
        {"element too large", [](Forged &f) { f.header.bytesPerElement = 1000; }},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        Forged forged = SoundForgery();
        c.spoil(forged);
        const bool sound = std::strcmp(c.what, "sound") == 0;
        EXPECT_EQ(iosurface::IsSoundHeader(forged.header, forged.fileSize, 0), sound);
        const int fd = MemoryWith(forged);
        ASSERT_GE(fd, 0);
        IOSurfaceRef surface = IOSurfaceLookupFromFileDescriptor(fd);
        EXPECT_EQ(surface != nullptr, sound);
        if (surface != nullptr) {
            EXPECT_EQ(IOSurfaceGetSeed(surface), 9u);
            EXPECT_EQ(IOSurfaceGetAllocSize(surface), 64u);
            CFRelease(surface);
        }
        ::close(fd);
    }
}

TEST(IOSurface, AnUnsoundObjectUnderAGlobalNameIsRefusedAndLeftToItsHolder) {
    IOSurfaceRef made = MakeSurface(4, 4, 4);  // makes the registry
    ASSERT_NE(made, nullptr);
    CFRelease(made);
    const std::optional<iosurface::Registry> registry = ReadRegistry();
    ASSERT_TRUE(registry.has_value());
    const IOSurfaceID id = 3999999999u;
    const std::string name = iosurface::SharedMemoryName(::geteuid(), registry->token, id);
    const int fd = ::shm_open(name.c_str(), O_RDWR | O_CREAT | O_EXCL, 0600);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::flock(fd, LOCK_SH), 0);
    Forged forged = SoundForgery();
    forged.header.id = id;
    forged.header.flags = iosurface::kFlagGlobal;
    forged.header.bytesPerRow = 8;  // shorter than its pixels
    ASSERT_EQ(::ftruncate(fd, off_t(forged.fileSize)), 0);
    ASSERT_EQ(::pwrite(fd, &forged.header, sizeof forged.header, 0), ssize_t(sizeof forged.header));
    EXPECT_EQ(IOSurfaceLookup(id), nullptr);
    EXPECT_EQ(ObjectsInSharedMemory(), 1);  // held, so not taken for stale
    // Made sound, it is found.
    forged.header.bytesPerRow = 32;
    ASSERT_EQ(::pwrite(fd, &forged.header, sizeof forged.header, 0), ssize_t(sizeof forged.header));
    IOSurfaceRef surface = IOSurfaceLookup(id);
    EXPECT_NE(surface, nullptr);
    if (surface != nullptr) CFRelease(surface);
    ::shm_unlink(name.c_str());
    ::close(fd);
}

TEST(IOSurface, TheRegistry) {
    iosurface::Registry registry;
    registry.token = 0x1234;
    registry.nextID = 77;
    registry.slots[5] = 12;
    const std::string bytes = iosurface::SerializeRegistry(registry);
    const std::optional<iosurface::Registry> back = iosurface::ParseRegistry(bytes);
    ASSERT_TRUE(back.has_value());
    EXPECT_EQ(back->token, 0x1234u);
    EXPECT_EQ(back->nextID, 77u);
    EXPECT_EQ(back->slots, registry.slots);
    EXPECT_FALSE(iosurface::ParseRegistry(bytes.substr(1)).has_value());
    EXPECT_FALSE(iosurface::ParseRegistry(bytes + "x").has_value());
    EXPECT_FALSE(iosurface::ParseRegistry("").has_value());
    std::string spoiled = bytes;
    spoiled[16] = 5;  // capacity
    EXPECT_FALSE(iosurface::ParseRegistry(spoiled).has_value());

    // A registry file that is not sound is started afresh, and surfaces are still made.
    { std::ofstream(RegistryPath(), std::ios::binary | std::ios::trunc) << "not a registry"; }
    IOSurfaceRef surface = MakeSurface(4, 4, 4);
    ASSERT_NE(surface, nullptr);
    IOSurfaceRef found = IOSurfaceLookup(IOSurfaceGetID(surface));
    EXPECT_NE(found, nullptr);
    if (found != nullptr) CFRelease(found);
    CFRelease(surface);
    EXPECT_EQ(ObjectsInSharedMemory(), 0);
}

TEST(IOSurface, ThreadsMakeFindAndEndSurfacesTogether) {
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([] {
            for (int i = 0; i < 25; ++i) {
                IOSurfaceRef surface = MakeSurface(16, 16, 4, -1, i % 2 == 0);
                ASSERT_NE(surface, nullptr);
                IOSurfaceRef found = IOSurfaceLookup(IOSurfaceGetID(surface));
                ASSERT_NE(found, nullptr);
                IOSurfaceLock(found, 0, nullptr);
                static_cast<uint8_t *>(IOSurfaceGetBaseAddress(found))[0] = 1;
                IOSurfaceUnlock(found, 0, nullptr);
                CFRelease(surface);
                CFRelease(found);
            }
        });
    for (std::thread &thread : threads) thread.join();
    EXPECT_EQ(ObjectsInSharedMemory(), 0);
}

}  // namespace
