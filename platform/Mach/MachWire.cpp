#include <Mach/MachWire.h>

#include <Mach/message.h>

#include <cstring>

namespace MachWire {

static_assert(sizeof(mach_msg_header_t) == 24);
static_assert(sizeof(mach_msg_port_descriptor_t) == 12);
static_assert(sizeof(NDR_record_t) == 8);

namespace {
uint32_t Read32(const uint8_t *bytes) {
    uint32_t value;
    std::memcpy(&value, bytes, sizeof value);
    return value;
}
bool IsSendDisposition(uint32_t disposition) {
    switch (disposition) {
    case MACH_MSG_TYPE_MOVE_SEND:
    case MACH_MSG_TYPE_COPY_SEND:
    case MACH_MSG_TYPE_MAKE_SEND:
    case MACH_MSG_TYPE_MOVE_SEND_ONCE:
    case MACH_MSG_TYPE_MAKE_SEND_ONCE:
        return true;
    default:
        return false;
    }
}
}  // namespace

bool Check(const uint8_t *bytes, size_t size, size_t descriptors, Layout &layout) {
    layout = Layout();
    if (bytes == nullptr || size < sizeof(mach_msg_header_t) || size > MACH_MSG_SIZE_MAX) return false;
    const uint32_t bits = Read32(bytes);
    uint32_t rights = 0;
    if (Read32(bytes + 12) != 0) {
        const uint32_t disposition = MACH_MSGH_BITS_LOCAL(bits);
        if (!IsSendDisposition(disposition)) return false;
        layout.hasReply = true;
        layout.replySendOnce =
            disposition == MACH_MSG_TYPE_MAKE_SEND_ONCE || disposition == MACH_MSG_TYPE_MOVE_SEND_ONCE;
        ++rights;
    }
    if ((bits & MACH_MSGH_BITS_COMPLEX) != 0) {
        if (size < sizeof(mach_msg_header_t) + sizeof(mach_msg_body_t)) return false;
        const uint32_t count = Read32(bytes + 24);
        if (count > MACH_MSG_PORTS_MAX || DescriptorOffset(count) > size) return false;
        for (uint32_t i = 0; i < count; ++i) {
            const uint8_t *descriptor = bytes + DescriptorOffset(i);
            if (descriptor[11] != MACH_MSG_PORT_DESCRIPTOR) return false;
            if (Read32(descriptor) != 0) ++rights;
        }
        layout.descriptorCount = count;
    }
    layout.rights = rights;
    return rights == descriptors;
}

}  // namespace MachWire
