// The readers of what other processes leave in shared memory: a surface's header (through
// IOSurfaceLookupFromFileDescriptor on memory made of the input) and the registry file. The
// first byte chooses. For a surface the next 64 bytes are the header at the start of the
// memory and the rest are the pixels one page in. A surface that is answered must have the
// geometry its memory holds, and all of its pixels must be writable.
#include "FuzzSupport.h"

#include <IOSurface/IOSurface.h>
#include <IOSurface/IOSurfaceFormat.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include <sys/mman.h>
#include <unistd.h>

namespace {

// Global surfaces look into the registry: one of this process's own, not the user's.
void UsePrivateRuntimeFolder() {
    // Plain storage, so that it is still there for the exit handler.
    static char folder[4096];
    if (folder[0] != '\0') return;
    const char *tmp = std::getenv("TMPDIR");
    std::snprintf(folder, sizeof folder, "%s/lumora-fuzz-XXXXXX", tmp && *tmp ? tmp : "/tmp");
    if (::mkdtemp(folder) == nullptr) lumora::fuzz::Broken("mkdtemp");
    ::setenv("XDG_RUNTIME_DIR", folder, 1);
    std::atexit([] {
        ::unlink((std::string(folder) + "/IOSurface.registry").c_str());
        ::rmdir(folder);
    });
}

void Surface(lumora::fuzz::Input &input) {
    std::string header;
    for (int i = 0; i < 64; ++i) header.push_back(char(input.byte()));
    const std::string_view pixels = input.rest();
    const int fd = ::memfd_create("fuzz", MFD_CLOEXEC);
    if (fd < 0) lumora::fuzz::Broken("memfd_create");
    const size_t size = iosurface::kHeaderSize + pixels.size();
    if (::ftruncate(fd, off_t(size)) != 0 || ::pwrite(fd, header.data(), header.size(), 0) != 64 ||
        ::pwrite(fd, pixels.data(), pixels.size(), iosurface::kHeaderSize) != ssize_t(pixels.size()))
        lumora::fuzz::Broken("write the memory");
    if (IOSurfaceRef surface = IOSurfaceLookupFromFileDescriptor(fd)) {
        const size_t allocSize = IOSurfaceGetAllocSize(surface);
        LUMORA_CHECK(allocSize == pixels.size());
        LUMORA_CHECK(IOSurfaceGetBytesPerRow(surface) * IOSurfaceGetHeight(surface) == allocSize);
        LUMORA_CHECK(IOSurfaceGetBytesPerRow(surface) >= IOSurfaceGetWidth(surface) * IOSurfaceGetBytesPerElement(surface));
        uint32_t seed = 0;
        LUMORA_CHECK(IOSurfaceLock(surface, 0, &seed) == kIOReturnSuccess);
        auto *bytes = static_cast<volatile uint8_t *>(IOSurfaceGetBaseAddress(surface));
        for (size_t i = 0; i < allocSize; ++i) bytes[i] = uint8_t(bytes[i] + 1);
        LUMORA_CHECK(IOSurfaceUnlock(surface, 0, nullptr) == kIOReturnSuccess);
        LUMORA_CHECK(IOSurfaceGetSeed(surface) == seed + 1);
        IOSurfaceDecrementUseCount(surface);
        LUMORA_CHECK(IOSurfaceGetUseCount(surface) >= 0);
        CFRelease(surface);
    }
    ::close(fd);
}

void Registry(lumora::fuzz::Input &input) {
    const std::string_view bytes = input.rest();
    const std::optional<iosurface::Registry> registry = iosurface::ParseRegistry(bytes);
    if (!registry) return;
    LUMORA_CHECK(registry->token != 0 && registry->nextID != 0);
    LUMORA_CHECK(registry->slots.size() == iosurface::kRegistryCapacity);
    const std::string again = iosurface::SerializeRegistry(*registry);
    LUMORA_CHECK(again.size() == bytes.size());
    LUMORA_CHECK(again.substr(24) == bytes.substr(24));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    UsePrivateRuntimeFolder();
    lumora::fuzz::Input input(data, size);
    if (input.byte() & 1)
        Registry(input);
    else
        Surface(input);
    return 0;
}
