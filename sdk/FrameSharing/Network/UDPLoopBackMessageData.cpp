#include <FrameSharing/Network/UDPLoopBackMessageData.h>

#include <cstdio>
#include <cstring>

namespace {
void PutLittle(uint8_t *place, uint64_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) place[i] = uint8_t(value >> (8 * i));
}
uint64_t GetLittle(const uint8_t *place, int bytes) {
    uint64_t value = 0;
    for (int i = bytes - 1; i >= 0; --i) value = value << 8 | place[i];
    return value;
}
}  // namespace

UDPLoopBackMessageData::UDPLoopBackMessageData() { std::memset(mArea, 0, sizeof mArea); }

UDPLoopBackMessageData::UDPLoopBackMessageData(uint16_t type, uint64_t valueA, uint64_t valueB, const char *text)
    : UDPLoopBackMessageData() {
    std::memcpy(mArea, "PIyb", 4);
    PutLittle(mArea + 4, type, 2);
    PutLittle(mArea + 6, valueA, 8);
    PutLittle(mArea + 14, valueB, 8);
    if (text != nullptr) std::memcpy(mArea + kFieldsSize, text, strnlen(text, kMaxTextLength));
}

bool UDPLoopBackMessageData::HasMagic() const { return std::memcmp(mArea, "PIyb", 4) == 0; }
uint16_t UDPLoopBackMessageData::GetMessageType() const { return uint16_t(GetLittle(mArea + 4, 2)); }
uint64_t UDPLoopBackMessageData::GetValueA() const { return GetLittle(mArea + 6, 8); }
uint64_t UDPLoopBackMessageData::GetValueB() const { return GetLittle(mArea + 14, 8); }

size_t UDPLoopBackMessageData::sendMessageDataSize() const {
    return kFieldsSize + strnlen(GetText(), kAreaSize - kFieldsSize - 1) + 1;
}

std::string UDPLoopBackMessageData::description() const {
    char text[160];
    std::snprintf(text, sizeof text, "messageID:%04x messageType:%d %llx %llx %s", unsigned(GetLittle(mArea, 4)),
                  int(GetMessageType()), static_cast<unsigned long long>(GetValueA()),
                  static_cast<unsigned long long>(GetValueB()), GetText());
    return text;
}

void UDPLoopBackMessageData::SetReceived(const void *bytes, size_t length) {
    std::memset(mArea, 0, sizeof mArea);
    if (bytes != nullptr) std::memcpy(mArea, bytes, length < kReceiveSize ? length : kReceiveSize);
}

bool import_UDPLoopBackMessageData() { return true; }
