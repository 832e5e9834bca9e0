// What the port run loop (MachPortRunLoop) needs of the port name space: the descriptors a
// receive right listens on, and wake-ups when that set changes.
#pragma once

#include <Mach/port.h>

#include <memory>
#include <vector>

namespace MachPorts {

// A descriptor closed when the last holder lets it go.
struct Descriptor {
    explicit Descriptor(int value) : fd(value) {}
    Descriptor(const Descriptor &) = delete;
    Descriptor &operator=(const Descriptor &) = delete;
    ~Descriptor();
    int fd;
};
using DescriptorRef = std::shared_ptr<Descriptor>;

// The descriptors of the receive right `name` to wait on for input; false when the name
// holds no receive right.
bool ReceiveDescriptors(mach_port_name_t name, std::vector<DescriptorRef> &descriptors);

// `waker` (an eventfd) is written to whenever the receive set of `name` changes.
bool AddWaker(mach_port_name_t name, const DescriptorRef &waker);
void RemoveWaker(mach_port_name_t name, const DescriptorRef &waker);

}  // namespace MachPorts
