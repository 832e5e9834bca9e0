// UDPLoopBackMessageData: the datagram of the loopback casts, packed, numbers little-endian:
//   0 magic "PIyb" | 4 message type (u16) | 6 value A (u64) | 14 value B (u64) | 22 text,
//   NUL-terminated (at most 55 characters)
// sent as 22 + text length + 1 bytes. A received datagram keeps at most 77 bytes, so the
// text of the 78-byte area stays terminated.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

class UDPLoopBackMessageData {
public:
    enum MessageType : uint16_t {
        MessageType_ClientPing = 1,
        MessageType_ServerAck = 2,
        MessageType_ServerDataCast = 3,
    };
    static constexpr size_t kAreaSize = 78;
    static constexpr size_t kReceiveSize = 77;
    static constexpr size_t kFieldsSize = 22;
    static constexpr size_t kMaxTextLength = 55;

    // A zeroed area.
    UDPLoopBackMessageData();
    // Magic, type, values and the text (cut to 55 characters).
    UDPLoopBackMessageData(uint16_t type, uint64_t valueA, uint64_t valueB, const char *text);

    bool HasMagic() const;
    uint16_t GetMessageType() const;
    uint64_t GetValueA() const;
    uint64_t GetValueB() const;
    const char *GetText() const { return reinterpret_cast<const char *>(mArea + kFieldsSize); }
    // Text length + 23.
    size_t sendMessageDataSize() const;
    // "messageID:%04x messageType:%d %llx %llx %s" (the first four bytes read as a number).
    std::string description() const;

    const uint8_t *data() const { return mArea; }
    // Takes at most 77 received bytes; the rest of the area is zero.
    void SetReceived(const void *bytes, size_t length);

private:
    uint8_t mArea[kAreaSize];
};

bool import_UDPLoopBackMessageData();
