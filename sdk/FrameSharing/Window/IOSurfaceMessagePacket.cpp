#include <FrameSharing/Window/IOSurfaceMessagePacket.h>

namespace {

struct CRCTable {
    uint32_t entries[256];
    constexpr CRCTable() : entries() {
        for (uint32_t i = 0; i < 256; ++i) {
            uint32_t crc = i << 24;
            for (int bit = 0; bit < 8; ++bit) crc = (crc & 0x80000000u) ? (crc << 1) ^ 0x04C11DB7u : crc << 1;
            entries[i] = crc;
        }
    }
};
constexpr CRCTable kTable;

void Put32(uint8_t *out, uint32_t value) {
    for (int i = 0; i < 4; ++i) out[i] = uint8_t(value >> (8 * i));
}
void Put64(uint8_t *out, uint64_t value) {
    for (int i = 0; i < 8; ++i) out[i] = uint8_t(value >> (8 * i));
}
uint32_t Get32(const uint8_t *in) {
    uint32_t value = 0;
    for (int i = 0; i < 4; ++i) value |= uint32_t(in[i]) << (8 * i);
    return value;
}
uint64_t Get64(const uint8_t *in) {
    uint64_t value = 0;
    for (int i = 0; i < 8; ++i) value |= uint64_t(in[i]) << (8 * i);
    return value;
}

}  // namespace

uint32_t IOSurfaceMessagePacketCRC32(const void *bytes, size_t length) {
    const auto *in = static_cast<const uint8_t *>(bytes);
    uint32_t crc = 0xFFFFFFFFu;
    for (size_t i = 0; i < length; ++i) crc = (crc << 8) ^ kTable.entries[((crc >> 24) ^ in[i]) & 0xFF];
    return crc;
}

IOSurfaceMessagePacketBytes IOSurfaceMessagePacketEncode(const tagIOSurfaceMessagePacket &packet) {
    IOSurfaceMessagePacketBytes bytes{};
    Put32(&bytes[0], packet.sizeofIOSurfaceMessagePacket);
    Put32(&bytes[4], packet.sequenceNumber);
    Put64(&bytes[8], packet.surfaceID);
    Put64(&bytes[16], packet.surfaceTime);
    for (int i = 0; i < 4; ++i) Put32(&bytes[24 + 4 * i], packet.messagePadding[i]);
    Put32(&bytes[40], packet.messageChecksum);
    return bytes;
}

tagIOSurfaceMessagePacket IOSurfaceMessagePacketDecode(const IOSurfaceMessagePacketBytes &bytes) {
    tagIOSurfaceMessagePacket packet;
    packet.sizeofIOSurfaceMessagePacket = Get32(&bytes[0]);
    packet.sequenceNumber = Get32(&bytes[4]);
    packet.surfaceID = Get64(&bytes[8]);
    packet.surfaceTime = Get64(&bytes[16]);
    for (int i = 0; i < 4; ++i) packet.messagePadding[i] = Get32(&bytes[24 + 4 * i]);
    packet.messageChecksum = Get32(&bytes[40]);
    return packet;
}

void IOSurfaceMessagePacketSeal(tagIOSurfaceMessagePacket &packet) {
    const IOSurfaceMessagePacketBytes bytes = IOSurfaceMessagePacketEncode(packet);
    packet.messageChecksum = IOSurfaceMessagePacketCRC32(bytes.data(), kIOSurfaceMessagePacketChecksumOffset);
}

bool IOSurfaceMessagePacketIsValid(const IOSurfaceMessagePacketBytes &bytes) {
    return Get32(&bytes[0]) == kIOSurfaceMessagePacketSize &&
           Get32(&bytes[kIOSurfaceMessagePacketChecksumOffset]) ==
               IOSurfaceMessagePacketCRC32(bytes.data(), kIOSurfaceMessagePacketChecksumOffset);
}
