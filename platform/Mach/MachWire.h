// The check of a packet before it becomes a message (see message.h). Used by mach_msg and
// by the fuzz target of the message reader.
#pragma once

#include <cstddef>
#include <cstdint>

namespace MachWire {

// Where the rights of a checked packet are, in the order their descriptors arrive: the
// reply right first (when the header names one), then each port descriptor whose name is
// not null.
struct Layout {
    bool hasReply = false;
    bool replySendOnce = false;              // a send-once reply right (else a send right)
    uint32_t descriptorCount = 0;            // port descriptors in the body
    uint32_t rights = 0;                     // descriptors the packet must carry
};

// Whether `size` bytes with `descriptors` passed descriptors make a sound packet: at least
// a header; a complex body whose count fits the size and MACH_MSG_PORTS_MAX and holds only
// port descriptors; a reply right only with a send or send-once disposition; exactly as
// many descriptors as the packet names rights.
bool Check(const uint8_t *bytes, size_t size, size_t descriptors, Layout &layout);

// The offset of port descriptor i of a complex message.
inline size_t DescriptorOffset(uint32_t i) { return 28 + size_t(i) * 12; }

}  // namespace MachWire
