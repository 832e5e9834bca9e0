#include <IOSurface/IOSurfaceFormat.h>

#include <cstdio>
#include <cstring>

namespace iosurface {

bool MakeGeometry(uint64_t width, uint64_t height, uint64_t bytesPerElement, uint64_t bytesPerRow, Geometry &out) {
    if (width == 0 || height == 0 || bytesPerElement == 0) return false;
    if (width > kMaxSide || height > kMaxSide || bytesPerElement > kMaxBytesPerElement) return false;
    const uint64_t minimum = width * bytesPerElement;  // at most 2^22, no overflow
    if (bytesPerRow == 0) bytesPerRow = (minimum + 15) & ~uint64_t(15);
    if (bytesPerRow < minimum || bytesPerRow > kMaxAllocSize) return false;
    const uint64_t allocSize = bytesPerRow * height;  // at most 2^30 x 2^16, no overflow
    if (allocSize > kMaxAllocSize) return false;
    out = Geometry{uint32_t(width), uint32_t(height), uint32_t(bytesPerElement), uint32_t(bytesPerRow), allocSize};
    return true;
}

bool IsSoundHeader(const SharedHeader &header, uint64_t fileSize, uint32_t expectedID) {
    if (header.magic != kHeaderMagic || header.version != kHeaderVersion || header.headerSize != kHeaderSize)
        return false;
    if ((header.flags & ~kFlagGlobal) != 0 || header.state != kStateAlive) return false;
    if (header.id == 0 || (expectedID != 0 && header.id != expectedID)) return false;
    Geometry geometry;
    if (!MakeGeometry(header.width, header.height, header.bytesPerElement, header.bytesPerRow, geometry)) return false;
    if (geometry.bytesPerRow != header.bytesPerRow || geometry.allocSize != header.allocSize) return false;
    return fileSize == kHeaderSize + header.allocSize;
}

namespace {

uint32_t ReadU32(std::string_view bytes, size_t offset) {
    uint32_t value;
    std::memcpy(&value, bytes.data() + offset, sizeof value);
    return value;
}

void WriteU32(std::string &bytes, size_t offset, uint32_t value) { std::memcpy(bytes.data() + offset, &value, sizeof value); }

}  // namespace

std::optional<Registry> ParseRegistry(std::string_view bytes) {
    if (bytes.size() != kRegistryFileSize) return std::nullopt;
    if (ReadU32(bytes, 0) != kRegistryMagic || ReadU32(bytes, 4) != kRegistryVersion) return std::nullopt;
    if (ReadU32(bytes, 16) != kRegistryCapacity) return std::nullopt;
    Registry registry;
    std::memcpy(&registry.token, bytes.data() + 8, sizeof registry.token);
    if (registry.token == 0) return std::nullopt;
    registry.nextID = ReadU32(bytes, 20);
    if (registry.nextID == 0) registry.nextID = 1;
    for (uint32_t i = 0; i < kRegistryCapacity; ++i) registry.slots[i] = ReadU32(bytes, kRegistryHeaderSize + 4 * size_t(i));
    return registry;
}

std::string SerializeRegistry(const Registry &registry) {
    std::string bytes(kRegistryFileSize, '\0');
    WriteU32(bytes, 0, kRegistryMagic);
    WriteU32(bytes, 4, kRegistryVersion);
    std::memcpy(bytes.data() + 8, &registry.token, sizeof registry.token);
    WriteU32(bytes, 16, kRegistryCapacity);
    WriteU32(bytes, 20, registry.nextID);
    for (uint32_t i = 0; i < kRegistryCapacity && i < registry.slots.size(); ++i)
        WriteU32(bytes, kRegistryHeaderSize + 4 * size_t(i), registry.slots[i]);
    return bytes;
}

std::string SharedMemoryName(unsigned uid, uint64_t token, uint32_t id) {
    char name[80];
    std::snprintf(name, sizeof name, "/lumora-iosurface-%u-%016llx-%u", uid, static_cast<unsigned long long>(token), id);
    return name;
}

}  // namespace iosurface
