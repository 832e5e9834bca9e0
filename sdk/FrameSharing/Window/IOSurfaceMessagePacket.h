// The window channel's packet: 44 bytes, little-endian, no padding between the fields:
//   0 sizeofIOSurfaceMessagePacket (u32) = 44 | 4 sequenceNumber (u32, 1 for the first packet)
//   8 surfaceID (u64) | 16 surfaceTime (u64, host nanoseconds) | 24 messagePadding (4 x u32, 0)
//   40 messageChecksum (u32): CRC-32/MPEG-2 of bytes 0 to 39
// A packet is valid when its first field is 44 and its checksum matches.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

struct tagIOSurfaceMessagePacket {
    uint32_t sizeofIOSurfaceMessagePacket = 44;
    uint32_t sequenceNumber = 0;
    uint64_t surfaceID = 0;
    uint64_t surfaceTime = 0;
    uint32_t messagePadding[4] = {0, 0, 0, 0};
    uint32_t messageChecksum = 0;
};

inline constexpr size_t kIOSurfaceMessagePacketSize = 44;
inline constexpr size_t kIOSurfaceMessagePacketChecksumOffset = 40;

using IOSurfaceMessagePacketBytes = std::array<uint8_t, kIOSurfaceMessagePacketSize>;

// CRC-32/MPEG-2: polynomial 0x04C11DB7, initial value 0xFFFFFFFF, no reflection, no final
// XOR. "123456789" gives 0x0376E6E7.
uint32_t IOSurfaceMessagePacketCRC32(const void *bytes, size_t length);

// The packet's bytes in the wire layout (the fields as they are; the checksum is not touched).
IOSurfaceMessagePacketBytes IOSurfaceMessagePacketEncode(const tagIOSurfaceMessagePacket &packet);
// The fields of 44 bytes, read as they are.
tagIOSurfaceMessagePacket IOSurfaceMessagePacketDecode(const IOSurfaceMessagePacketBytes &bytes);
// Sets the checksum to the CRC of the first 40 bytes of the packet's encoding.
void IOSurfaceMessagePacketSeal(tagIOSurfaceMessagePacket &packet);
// The first field is 44 and the checksum is that of bytes 0 to 39.
bool IOSurfaceMessagePacketIsValid(const IOSurfaceMessagePacketBytes &bytes);
