// The bytes that processes share about surfaces: the header at the start of every surface's
// memory and the per-user registry file of global ids. Both come from other processes, so
// every reader here checks what it reads and answers false for anything unsound.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace iosurface {

// The pixels start one page into the memory, so that rows are page aligned.
inline constexpr uint32_t kHeaderSize = 4096;
inline constexpr uint32_t kHeaderMagic = 0x4C535246;  // 'LSRF'
inline constexpr uint32_t kHeaderVersion = 1;
inline constexpr uint32_t kFlagGlobal = 1;
inline constexpr uint32_t kStateAlive = 1;
inline constexpr uint32_t kStateDestroyed = 2;
// Upper bounds of what a surface may ask for: no side past 65536, at most 64 bytes an element
// and 1 GiB of pixels.
inline constexpr uint64_t kMaxSide = 65536;
inline constexpr uint64_t kMaxBytesPerElement = 64;
inline constexpr uint64_t kMaxAllocSize = uint64_t(1) << 30;

// At the start of the shared memory. magic is written last by the creator (release) and read
// first (acquire); state, seed and useCount change while the surface lives and are only
// accessed atomically.
struct SharedHeader {
    uint32_t magic;
    uint32_t version;
    uint32_t headerSize;
    uint32_t id;
    uint32_t width;
    uint32_t height;
    uint32_t bytesPerElement;
    uint32_t bytesPerRow;
    uint32_t pixelFormat;
    uint32_t flags;
    uint64_t allocSize;
    uint32_t state;
    uint32_t seed;
    int32_t useCount;
    uint32_t reserved;
};
static_assert(sizeof(SharedHeader) == 64);

struct Geometry {
    uint32_t width = 0;
    uint32_t height = 0;
    uint32_t bytesPerElement = 0;
    uint32_t bytesPerRow = 0;
    uint64_t allocSize = 0;
};

// The geometry of a new surface; bytesPerRow 0 asks for the default (width x bytes per
// element rounded up to 16). False when a value is zero, past the bounds, or a row is
// shorter than its pixels.
bool MakeGeometry(uint64_t width, uint64_t height, uint64_t bytesPerElement, uint64_t bytesPerRow, Geometry &out);

// A header read from shared memory (a copy, so that the other process cannot change it while
// it is checked). Sound when the magic, version, header size and flags are known, the
// geometry is what MakeGeometry accepts with exactly rows x height bytes, the memory is
// exactly header + pixels (fileSize), the state is alive, and the id is expectedID (any id
// when expectedID is 0, never 0 itself).
bool IsSoundHeader(const SharedHeader &header, uint64_t fileSize, uint32_t expectedID);

// The registry: a fixed-size file of a header and one slot (a live global id, or 0) per
// possible global surface. The token names this registry's shared-memory objects, so that
// two registries (two runtime folders) never see each other's surfaces.
inline constexpr uint32_t kRegistryMagic = 0x4C535247;  // 'LSRG'
inline constexpr uint32_t kRegistryVersion = 1;
inline constexpr uint32_t kRegistryCapacity = 1024;
inline constexpr size_t kRegistryHeaderSize = 24;
inline constexpr size_t kRegistryFileSize = kRegistryHeaderSize + 4 * size_t(kRegistryCapacity);

struct Registry {
    uint64_t token = 0;
    uint32_t nextID = 1;
    std::vector<uint32_t> slots = std::vector<uint32_t>(kRegistryCapacity, 0);
};

// The registry in these bytes, or nothing when they are not a sound registry file.
std::optional<Registry> ParseRegistry(std::string_view bytes);
std::string SerializeRegistry(const Registry &registry);

// The name of a global surface's shared-memory object: "/lumora-iosurface-<uid>-<token>-<id>".
std::string SharedMemoryName(unsigned uid, uint64_t token, uint32_t id);

}  // namespace iosurface
