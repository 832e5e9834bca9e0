// The port name space of this process, mach_msg, the bootstrap names and the dead-name
// watcher (see message.h, port.h and bootstrap.h).
#include <Mach/MachPortsInternal.h>
#include "runtime_folder.h"
#include <Mach/MachWire.h>
#include <Mach/bootstrap.h>
#include <Mach/message.h>
#include <Mach/port.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <map>
#include <mutex>
#include <poll.h>
#include <string>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>
#include <unordered_map>
#include <utility>
#include <vector>

extern "C" {
const NDR_record_t NDR_record = {0, 0, 0, 0, 1, 0, 0, 0};
mach_port_t bootstrap_port = 1;
}

namespace MachPorts {

Descriptor::~Descriptor() {
    if (fd >= 0) ::close(fd);
}

namespace {

using Clock = std::chrono::steady_clock;

constexpr size_t kConnectionsPerService = 256;

enum class InboundKind { Own, Listener, Connection, Once };

struct Inbound {
    DescriptorRef descriptor;
    InboundKind kind;
};

// The socket file and the lock of a bootstrap name, given up with the service port.
struct Service {
    std::string path;
    int lockFd = -1;
    ~Service() {
        ::unlink(path.c_str());
        if (lockFd >= 0) ::close(lockFd);
    }
};

struct Entry {
    // Receive right.
    bool receive = false;
    DescriptorRef maker;  // the sending end of the port's own socket pair
    std::vector<Inbound> inbound;
    std::shared_ptr<Service> service;
    std::vector<std::weak_ptr<Descriptor>> wakers;
    // Send rights (or a receive right's own send references).
    DescriptorRef send;
    uint32_t sendRefs = 0;
    bool sendOnce = false;
    bool memory = false;
    bool dead = false;
    dev_t device = 0;
    ino_t inode = 0;
    mach_port_dead_name_callback_t callback = nullptr;
    void *context = nullptr;
};

class Space {
public:
    std::mutex mutex;
    std::unordered_map<mach_port_name_t, Entry> entries;
    std::map<std::pair<dev_t, ino_t>, mach_port_name_t> sockets;  // send rights by socket

    mach_port_name_t NewName() {
        for (;;) {
            mNext += 4;
            if (mNext < 0x103 || mNext == MACH_PORT_DEAD) mNext = 0x103;
            if (entries.find(mNext) == entries.end()) return mNext;
        }
    }
    Entry *Find(mach_port_name_t name) {
        auto found = entries.find(name);
        return found == entries.end() ? nullptr : &found->second;
    }
    void Erase(mach_port_name_t name) {
        auto found = entries.find(name);
        if (found == entries.end()) return;
        if (found->second.inode != 0) {
            auto index = sockets.find({found->second.device, found->second.inode});
            if (index != sockets.end() && index->second == name) sockets.erase(index);
        }
        Wake(found->second);
        const bool watched = found->second.callback != nullptr && !found->second.dead;
        entries.erase(found);
        if (watched) WatcherChanged();
    }
    static void Wake(Entry &entry) {
        for (auto it = entry.wakers.begin(); it != entry.wakers.end();) {
            if (DescriptorRef waker = it->lock()) {
                const uint64_t one = 1;
                (void)!::write(waker->fd, &one, sizeof one);
                ++it;
            } else {
                it = entry.wakers.erase(it);
            }
        }
    }
    void WatcherChanged();

private:
    mach_port_name_t mNext = 0x103 - 4;
};

Space &TheSpace() {
    static Space *space = new Space;  // lives as long as the process: threads may use it at exit
    return *space;
}

// --- Dead-name watcher ------------------------------------------------------------------

class Watcher {
public:
    Watcher() {
        mWake = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
        std::thread([this] { Run(); }).detach();
    }
    void Changed() {
        const uint64_t one = 1;
        (void)!::write(mWake, &one, sizeof one);
    }

private:
    void Run() {
        std::vector<pollfd> polls;
        std::vector<std::pair<mach_port_name_t, DescriptorRef>> watched;
        for (;;) {
            polls.clear();
            watched.clear();
            polls.push_back({mWake, POLLIN, 0});
            {
                Space &space = TheSpace();
                std::lock_guard<std::mutex> lock(space.mutex);
                for (auto &[name, entry] : space.entries) {
                    if (entry.callback == nullptr || entry.dead || entry.memory || entry.send == nullptr) continue;
                    watched.emplace_back(name, entry.send);
                    polls.push_back({entry.send->fd, 0, 0});
                }
            }
            if (::poll(polls.data(), polls.size(), -1) < 0) continue;
            if (polls[0].revents != 0) {
                uint64_t count;
                (void)!::read(mWake, &count, sizeof count);
            }
            for (size_t i = 1; i < polls.size(); ++i) {
                if ((polls[i].revents & (POLLHUP | POLLERR | POLLNVAL)) == 0) continue;
                MarkDead(watched[i - 1].first, watched[i - 1].second);
            }
        }
    }
    int mWake = -1;

public:
    // The receiver behind `name`'s descriptor is gone: a dead name, and its notice.
    static void MarkDead(mach_port_name_t name, const DescriptorRef &descriptor) {
        mach_port_dead_name_callback_t callback = nullptr;
        void *context = nullptr;
        {
            Space &space = TheSpace();
            std::lock_guard<std::mutex> lock(space.mutex);
            Entry *entry = space.Find(name);
            if (entry == nullptr || entry->dead || entry->send != descriptor) return;
            entry->dead = true;
            entry->send.reset();
            auto index = space.sockets.find({entry->device, entry->inode});
            if (index != space.sockets.end() && index->second == name) space.sockets.erase(index);
            entry->inode = 0;
            callback = std::exchange(entry->callback, nullptr);
            context = entry->context;
            space.WatcherChanged();
        }
        if (callback != nullptr) callback(name, context);
    }
};

Watcher *TheWatcher(bool start) {
    static std::atomic<Watcher *> watcher{nullptr};
    static std::once_flag once;
    if (start) std::call_once(once, [] { watcher.store(new Watcher); });
    return watcher.load();
}

void Space::WatcherChanged() {
    if (Watcher *watcher = TheWatcher(false)) watcher->Changed();
}

// --- Descriptors ------------------------------------------------------------------------

bool MakePair(DescriptorRef &receiving, DescriptorRef &sending) {
    int pair[2];
    if (::socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, pair) != 0) return false;
    receiving = std::make_shared<Descriptor>(pair[0]);
    sending = std::make_shared<Descriptor>(pair[1]);
    return true;
}

bool IsPortSocket(int fd) {
    int domain = 0, type = 0;
    socklen_t length = sizeof domain;
    if (::getsockopt(fd, SOL_SOCKET, SO_DOMAIN, &domain, &length) != 0 || domain != AF_UNIX) return false;
    length = sizeof type;
    return ::getsockopt(fd, SOL_SOCKET, SO_TYPE, &type, &length) == 0 && type == SOCK_SEQPACKET;
}

bool IsMemory(int fd) {
    struct stat status;
    return ::fstat(fd, &status) == 0 && S_ISREG(status.st_mode);
}

bool PeerIsThisUser(int fd) {
    struct ucred credentials;
    socklen_t length = sizeof credentials;
    return ::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &credentials, &length) == 0 &&
           credentials.uid == ::geteuid();
}

// A send right for a received socket: the name that already holds that socket gets one more
// reference (as a port received twice keeps one name), else a new name. Lock held.
mach_port_name_t InstallSend(Space &space, int fd, bool once) {
    struct stat status;
    const bool known = ::fstat(fd, &status) == 0;
    if (!once && known) {
        auto index = space.sockets.find({status.st_dev, status.st_ino});
        if (index != space.sockets.end()) {
            Entry *entry = space.Find(index->second);
            if (entry != nullptr && !entry->dead && entry->send != nullptr && !entry->sendOnce) {
                ::close(fd);
                ++entry->sendRefs;
                return index->second;
            }
        }
    }
    const mach_port_name_t name = space.NewName();
    Entry &entry = space.entries[name];
    entry.send = std::make_shared<Descriptor>(fd);
    entry.sendOnce = once;
    entry.sendRefs = 1;
    if (!once && known) {
        entry.device = status.st_dev;
        entry.inode = status.st_ino;
        space.sockets[{status.st_dev, status.st_ino}] = name;
    }
    return name;
}

mach_port_name_t InstallMemory(Space &space, int fd) {
    const mach_port_name_t name = space.NewName();
    Entry &entry = space.entries[name];
    entry.send = std::make_shared<Descriptor>(fd);
    entry.memory = true;
    entry.sendRefs = 1;
    return name;
}

// --- Sending ----------------------------------------------------------------------------

// The rights of one message being sent, found under the lock and handed over after it.
struct Outgoing {
    DescriptorRef destination;
    std::vector<DescriptorRef> carried;                              // in wire order
    std::vector<std::pair<mach_port_name_t, DescriptorRef>> onceEnds;  // receiving ends to add
    std::vector<mach_port_name_t> moveSend, moveOnce;                   // consumed on success
    mach_port_name_t destinationName = 0;
};

// The descriptor that carries `disposition` of `name`; 0 or an error. Lock held.
kern_return_t Right(Space &space, mach_port_name_t name, uint32_t disposition, bool allowMemory, Outgoing &out,
                    DescriptorRef &descriptor, kern_return_t error) {
    Entry *entry = space.Find(name);
    if (entry == nullptr || entry->dead) return error;
    switch (disposition) {
    case MACH_MSG_TYPE_COPY_SEND:
    case MACH_MSG_TYPE_MOVE_SEND:
        if (entry->send != nullptr && !entry->sendOnce && (allowMemory || !entry->memory))
            descriptor = entry->send;
        else if (entry->receive && entry->sendRefs > 0)
            descriptor = entry->maker;
        else
            return error;
        if (disposition == MACH_MSG_TYPE_MOVE_SEND) out.moveSend.push_back(name);
        return KERN_SUCCESS;
    case MACH_MSG_TYPE_MAKE_SEND:
        if (!entry->receive) return error;
        descriptor = entry->maker;
        return KERN_SUCCESS;
    case MACH_MSG_TYPE_MOVE_SEND_ONCE:
        if (entry->send == nullptr || !entry->sendOnce) return error;
        descriptor = entry->send;
        out.moveOnce.push_back(name);
        return KERN_SUCCESS;
    case MACH_MSG_TYPE_MAKE_SEND_ONCE: {
        if (!entry->receive) return error;
        DescriptorRef receiving;
        if (!MakePair(receiving, descriptor)) return MACH_SEND_NO_BUFFER;
        out.onceEnds.emplace_back(name, receiving);
        return KERN_SUCCESS;
    }
    default:
        return error;
    }
}

mach_msg_return_t Send(mach_msg_header_t *msg, mach_msg_size_t size, bool timed, mach_msg_timeout_t timeout) {
    if (msg == nullptr || size < sizeof(mach_msg_header_t)) return MACH_SEND_MSG_TOO_SMALL;
    if (size > MACH_MSG_SIZE_MAX || size % 4 != 0) return MACH_SEND_TOO_LARGE;
    std::vector<uint8_t> wire(reinterpret_cast<const uint8_t *>(msg), reinterpret_cast<const uint8_t *>(msg) + size);
    Outgoing out;
    Space &space = TheSpace();
    {
        std::lock_guard<std::mutex> lock(space.mutex);
        const uint32_t bits = msg->msgh_bits;
        if (!MACH_PORT_VALID(msg->msgh_remote_port)) return MACH_SEND_INVALID_DEST;
        kern_return_t result = Right(space, msg->msgh_remote_port, MACH_MSGH_BITS_REMOTE(bits), false, out,
                                     out.destination, MACH_SEND_INVALID_DEST);
        if (result != KERN_SUCCESS) return result;
        out.destinationName = msg->msgh_remote_port;
        // The destination's own once-pair is pointless but harmless: its end joins our port.
        uint32_t wireLocal = 0;
        if (msg->msgh_local_port != MACH_PORT_NULL) {
            DescriptorRef reply;
            result = Right(space, msg->msgh_local_port, MACH_MSGH_BITS_LOCAL(bits), false, out, reply,
                           MACH_SEND_INVALID_REPLY);
            if (result != KERN_SUCCESS) return result;
            out.carried.push_back(reply);
            wireLocal = 1;
        }
        if ((bits & MACH_MSGH_BITS_COMPLEX) != 0) {
            if (size < 28) return MACH_SEND_MSG_TOO_SMALL;
            uint32_t count;
            std::memcpy(&count, wire.data() + 24, 4);
            if (count > MACH_MSG_PORTS_MAX || MachWire::DescriptorOffset(count) > size) return MACH_SEND_INVALID_DATA;
            for (uint32_t i = 0; i < count; ++i) {
                mach_msg_port_descriptor_t descriptor;
                uint8_t *place = wire.data() + MachWire::DescriptorOffset(i);
                std::memcpy(&descriptor, place, sizeof descriptor);
                if (descriptor.type != MACH_MSG_PORT_DESCRIPTOR) return MACH_SEND_INVALID_TYPE;
                uint32_t carried = 0;
                if (descriptor.name != MACH_PORT_NULL) {
                    DescriptorRef right;
                    result = Right(space, descriptor.name, descriptor.disposition, true, out, right,
                                   MACH_SEND_INVALID_RIGHT);
                    if (result != KERN_SUCCESS) return result;
                    out.carried.push_back(right);
                    carried = 1;
                }
                std::memcpy(place, &carried, 4);
            }
        }
        std::memcpy(wire.data() + 8, "\0\0\0\0", 4);
        std::memcpy(wire.data() + 12, &wireLocal, 4);
    }

    std::vector<int> fds;
    for (const DescriptorRef &descriptor : out.carried) fds.push_back(descriptor->fd);
    iovec io{wire.data(), wire.size()};
    msghdr header{};
    header.msg_iov = &io;
    header.msg_iovlen = 1;
    std::vector<char> control(CMSG_SPACE(sizeof(int) * (fds.empty() ? 1 : fds.size())), 0);
    if (!fds.empty()) {
        header.msg_control = control.data();
        header.msg_controllen = CMSG_SPACE(sizeof(int) * fds.size());
        cmsghdr *message = CMSG_FIRSTHDR(&header);
        message->cmsg_level = SOL_SOCKET;
        message->cmsg_type = SCM_RIGHTS;
        message->cmsg_len = CMSG_LEN(sizeof(int) * fds.size());
        std::memcpy(CMSG_DATA(message), fds.data(), sizeof(int) * fds.size());
    }
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeout);
    mach_msg_return_t result = MACH_MSG_SUCCESS;
    for (;;) {
        if (::sendmsg(out.destination->fd, &header, MSG_DONTWAIT | MSG_NOSIGNAL) >= 0) break;
        const int error = errno;
        if (error == EINTR) continue;
        if (error == EAGAIN || error == EWOULDBLOCK) {
            int wait = -1;
            if (timed) {
                const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
                if (left.count() <= 0) {
                    result = MACH_SEND_TIMED_OUT;
                    break;
                }
                wait = int(std::min<long long>(left.count(), 1000 * 1000));
            }
            pollfd poll{out.destination->fd, POLLOUT, 0};
            ::poll(&poll, 1, wait);
            continue;
        }
        if (error == EPIPE || error == ECONNRESET || error == ECONNREFUSED || error == ENOTCONN) {
            Watcher::MarkDead(out.destinationName, out.destination);
            result = MACH_SEND_INVALID_DEST;
        } else if (error == EMSGSIZE) {
            result = MACH_SEND_TOO_LARGE;
        } else {
            result = MACH_SEND_NO_BUFFER;  // ETOOMANYREFS, ENOBUFS, ENOMEM
        }
        break;
    }
    if (result != MACH_MSG_SUCCESS) return result;

    std::lock_guard<std::mutex> lock(space.mutex);
    for (auto &[name, receiving] : out.onceEnds) {
        Entry *entry = space.Find(name);
        if (entry == nullptr || !entry->receive) continue;
        entry->inbound.push_back({receiving, InboundKind::Once});
        Space::Wake(*entry);
    }
    for (mach_port_name_t name : out.moveSend) {
        Entry *entry = space.Find(name);
        if (entry != nullptr && entry->sendRefs > 0 && --entry->sendRefs == 0 && !entry->receive) space.Erase(name);
    }
    for (mach_port_name_t name : out.moveOnce) space.Erase(name);
    return MACH_MSG_SUCCESS;
}

// --- Receiving --------------------------------------------------------------------------

void CloseAll(const std::vector<int> &fds) {
    for (int fd : fds) ::close(fd);
}

// Turns a checked packet in `bytes` into a message of this name space. False (descriptors
// closed) when it is not sound.
bool Install(uint8_t *bytes, size_t size, std::vector<int> &fds, mach_port_name_t receiving) {
    MachWire::Layout layout;
    if (!MachWire::Check(bytes, size, fds.size(), layout)) return false;
    // What each carried descriptor is: only ports may be replies.
    std::vector<bool> memory(fds.size(), false);
    for (size_t i = 0; i < fds.size(); ++i) {
        if (IsPortSocket(fds[i])) continue;
        if (i == 0 && layout.hasReply) return false;
        if (!IsMemory(fds[i])) return false;
        memory[i] = true;
    }
    mach_msg_header_t header;
    std::memcpy(&header, bytes, sizeof header);
    Space &space = TheSpace();
    std::lock_guard<std::mutex> lock(space.mutex);
    size_t next = 0;
    mach_port_name_t reply = MACH_PORT_NULL;
    if (layout.hasReply) reply = InstallSend(space, fds[next++], layout.replySendOnce);
    const uint32_t replyType = layout.hasReply ? (layout.replySendOnce ? MACH_MSG_TYPE_PORT_SEND_ONCE
                                                                      : MACH_MSG_TYPE_PORT_SEND)
                                               : 0;
    const uint32_t remote = MACH_MSGH_BITS_REMOTE(header.msgh_bits);
    const uint32_t localType = (remote == MACH_MSG_TYPE_MAKE_SEND_ONCE || remote == MACH_MSG_TYPE_MOVE_SEND_ONCE)
                                   ? MACH_MSG_TYPE_PORT_SEND_ONCE
                                   : MACH_MSG_TYPE_PORT_SEND;
    header.msgh_bits = (header.msgh_bits & MACH_MSGH_BITS_COMPLEX) | MACH_MSGH_BITS(replyType, localType);
    header.msgh_size = mach_msg_size_t(size);
    header.msgh_remote_port = reply;
    header.msgh_local_port = receiving;
    header.msgh_voucher_port = 0;
    std::memcpy(bytes, &header, sizeof header);
    for (uint32_t i = 0; i < layout.descriptorCount; ++i) {
        uint8_t *place = bytes + MachWire::DescriptorOffset(i);
        mach_msg_port_descriptor_t descriptor;
        std::memcpy(&descriptor, place, sizeof descriptor);
        const uint32_t sent = descriptor.disposition;
        const bool once = sent == MACH_MSG_TYPE_MAKE_SEND_ONCE || sent == MACH_MSG_TYPE_MOVE_SEND_ONCE;
        mach_port_name_t name = MACH_PORT_NULL;
        uint32_t disposition = MACH_MSG_TYPE_PORT_SEND;
        if (descriptor.name != 0) {
            const size_t index = next++;
            if (memory[index]) {
                name = InstallMemory(space, fds[index]);
            } else {
                name = InstallSend(space, fds[index], once);
                if (once) disposition = MACH_MSG_TYPE_PORT_SEND_ONCE;
            }
        }
        descriptor = {};
        descriptor.name = name;
        descriptor.disposition = disposition;
        descriptor.type = MACH_MSG_PORT_DESCRIPTOR;
        std::memcpy(place, &descriptor, sizeof descriptor);
    }
    fds.clear();
    return true;
}

void RemoveInbound(mach_port_name_t name, const DescriptorRef &descriptor) {
    Space &space = TheSpace();
    std::lock_guard<std::mutex> lock(space.mutex);
    Entry *entry = space.Find(name);
    if (entry == nullptr) return;
    auto &inbound = entry->inbound;
    inbound.erase(std::remove_if(inbound.begin(), inbound.end(),
                                 [&](const Inbound &in) { return in.descriptor == descriptor; }),
                  inbound.end());
}

void Accept(mach_port_name_t name, const DescriptorRef &listener) {
    for (;;) {
        const int fd = ::accept4(listener->fd, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0) {
            if (errno == EINTR || errno == ECONNABORTED) continue;
            return;
        }
        if (!PeerIsThisUser(fd)) {
            ::close(fd);
            continue;
        }
        Space &space = TheSpace();
        std::lock_guard<std::mutex> lock(space.mutex);
        Entry *entry = space.Find(name);
        size_t connections = 0;
        if (entry != nullptr)
            for (const Inbound &in : entry->inbound) connections += in.kind == InboundKind::Connection;
        if (entry == nullptr || connections >= kConnectionsPerService) {
            ::close(fd);
            continue;
        }
        entry->inbound.push_back({std::make_shared<Descriptor>(fd), InboundKind::Connection});
        Space::Wake(*entry);
    }
}

enum class Read { Message, Nothing, Closed, TooLarge };

Read ReadPacket(const DescriptorRef &descriptor, uint8_t *buffer, mach_msg_size_t capacity, size_t &size,
                std::vector<int> &fds) {
    iovec io{buffer, capacity};
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(int) * (MACH_MSG_PORTS_MAX + 1))];
    msghdr header{};
    header.msg_iov = &io;
    header.msg_iovlen = 1;
    header.msg_control = control;
    header.msg_controllen = sizeof control;
    ssize_t got;
    do {
        got = ::recvmsg(descriptor->fd, &header, MSG_DONTWAIT | MSG_CMSG_CLOEXEC);
    } while (got < 0 && errno == EINTR);
    fds.clear();
    if (got >= 0) {
        for (cmsghdr *message = CMSG_FIRSTHDR(&header); message != nullptr; message = CMSG_NXTHDR(&header, message)) {
            if (message->cmsg_level != SOL_SOCKET || message->cmsg_type != SCM_RIGHTS) continue;
            const size_t count = (message->cmsg_len - CMSG_LEN(0)) / sizeof(int);
            for (size_t i = 0; i < count; ++i) {
                int fd;
                std::memcpy(&fd, CMSG_DATA(message) + i * sizeof(int), sizeof fd);
                fds.push_back(fd);
            }
        }
    }
    if (got < 0) return (errno == EAGAIN || errno == EWOULDBLOCK) ? Read::Nothing : Read::Closed;
    if (got == 0 && fds.empty()) return Read::Closed;
    if ((header.msg_flags & (MSG_TRUNC | MSG_CTRUNC)) != 0) {
        CloseAll(fds);
        fds.clear();
        return (header.msg_flags & MSG_TRUNC) != 0 ? Read::TooLarge : Read::Nothing;
    }
    size = size_t(got);
    return Read::Message;
}

mach_msg_return_t Receive(mach_msg_header_t *msg, mach_msg_size_t capacity, mach_port_name_t name, bool timed,
                          mach_msg_timeout_t timeout) {
    if (msg == nullptr || capacity < sizeof(mach_msg_header_t)) return MACH_RCV_TOO_LARGE;
    uint8_t *buffer = reinterpret_cast<uint8_t *>(msg);
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeout);
    std::vector<Inbound> inbound;
    std::vector<pollfd> polls;
    std::vector<int> fds;
    size_t rotation = 0;
    for (;;) {
        DescriptorRef waker;
        {
            Space &space = TheSpace();
            std::lock_guard<std::mutex> lock(space.mutex);
            Entry *entry = space.Find(name);
            if (entry == nullptr || !entry->receive) return MACH_RCV_INVALID_NAME;
            inbound = entry->inbound;
        }
        polls.clear();
        for (const Inbound &in : inbound) polls.push_back({in.descriptor->fd, POLLIN, 0});
        int wait = -1;
        if (timed) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
            wait = int(std::max<long long>(0, std::min<long long>(left.count(), 1000 * 1000)));
        } else {
            wait = 250;  // a receive right given up meanwhile, or a new once-pair, is seen soon
        }
        const int ready = ::poll(polls.data(), polls.size(), wait);
        if (ready < 0 && errno != EINTR) return MACH_RCV_INVALID_NAME;
        if (ready <= 0) {
            if (timed && Clock::now() >= deadline) return MACH_RCV_TIMED_OUT;
            continue;
        }
        const size_t count = polls.size();
        bool accepted = false;
        for (size_t step = 0; step < count; ++step) {
            const size_t i = (rotation + step) % count;
            if (polls[i].revents == 0) continue;
            const Inbound &in = inbound[i];
            if (in.kind == InboundKind::Listener) {
                Accept(name, in.descriptor);
                accepted = true;
                continue;
            }
            size_t size = 0;
            const Read read = ReadPacket(in.descriptor, buffer, capacity, size, fds);
            if (read == Read::Nothing) continue;
            if (read == Read::Closed) {
                if (in.kind == InboundKind::Own) continue;
                RemoveInbound(name, in.descriptor);
                if (in.kind == InboundKind::Once) {
                    if (capacity < 32) return MACH_RCV_TOO_LARGE;
                    // The send-once right went away unused.
                    mach_msg_header_t header{};
                    header.msgh_bits = MACH_MSGH_BITS(0, MACH_MSG_TYPE_PORT_SEND_ONCE);
                    header.msgh_size = 32;
                    header.msgh_local_port = name;
                    header.msgh_id = MACH_NOTIFY_SEND_ONCE;
                    std::memcpy(buffer, &header, sizeof header);
                    std::memcpy(buffer + sizeof header, &NDR_record, sizeof NDR_record);
                    rotation = i + 1;
                    return MACH_MSG_SUCCESS;
                }
                continue;
            }
            if (in.kind == InboundKind::Once) RemoveInbound(name, in.descriptor);
            if (read == Read::TooLarge) {
                rotation = i + 1;
                return MACH_RCV_TOO_LARGE;
            }
            if (Install(buffer, size, fds, name)) {
                rotation = i + 1;
                return MACH_MSG_SUCCESS;
            }
            CloseAll(fds);  // not a sound message: destroyed
        }
        rotation++;
        if (!accepted && timed && Clock::now() >= deadline) return MACH_RCV_TIMED_OUT;
    }
}

// --- Service names ------------------------------------------------------------------------

bool IsServiceName(const char *name) {
    if (name == nullptr || name[0] == '\0' || name[0] == '.') return false;
    size_t length = 0;
    for (const char *c = name; *c != '\0'; ++c, ++length) {
        const bool ok = (*c >= 'a' && *c <= 'z') || (*c >= 'A' && *c <= 'Z') || (*c >= '0' && *c <= '9') ||
                        *c == '.' || *c == '-' || *c == '_';
        if (!ok || length >= 64) return false;
    }
    return true;
}

// The socket address of a name; false when the path does not fit.
bool ServiceAddress(const std::string &folder, const char *name, sockaddr_un &address, std::string &path) {
    path = folder + "/" + name;
    address = {};
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof address.sun_path) return false;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    return true;
}

mach_port_name_t NewReceiveRight(Space &space, DescriptorRef receiving, DescriptorRef sending) {
    const mach_port_name_t name = space.NewName();
    Entry &entry = space.entries[name];
    entry.receive = true;
    entry.maker = std::move(sending);
    entry.inbound.push_back({std::move(receiving), InboundKind::Own});
    return name;
}

}  // namespace

bool ReceiveDescriptors(mach_port_name_t name, std::vector<DescriptorRef> &descriptors) {
    Space &space = TheSpace();
    std::lock_guard<std::mutex> lock(space.mutex);
    Entry *entry = space.Find(name);
    if (entry == nullptr || !entry->receive) return false;
    for (const Inbound &in : entry->inbound) descriptors.push_back(in.descriptor);
    return true;
}

bool AddWaker(mach_port_name_t name, const DescriptorRef &waker) {
    Space &space = TheSpace();
    std::lock_guard<std::mutex> lock(space.mutex);
    Entry *entry = space.Find(name);
    if (entry == nullptr || !entry->receive) return false;
    entry->wakers.push_back(waker);
    return true;
}

void RemoveWaker(mach_port_name_t name, const DescriptorRef &waker) {
    Space &space = TheSpace();
    std::lock_guard<std::mutex> lock(space.mutex);
    Entry *entry = space.Find(name);
    if (entry == nullptr) return;
    auto &wakers = entry->wakers;
    wakers.erase(std::remove_if(wakers.begin(), wakers.end(),
                                [&](const std::weak_ptr<Descriptor> &w) { return w.lock() == waker || w.expired(); }),
                 wakers.end());
}

}  // namespace MachPorts

using namespace MachPorts;

extern "C" {

mach_port_t mach_task_self(void) { return 1; }

kern_return_t mach_port_allocate(ipc_space_t, mach_port_right_t right, mach_port_name_t *name) {
    if (name == nullptr) return KERN_INVALID_ARGUMENT;
    if (right != MACH_PORT_RIGHT_RECEIVE) return KERN_INVALID_VALUE;
    DescriptorRef receiving, sending;
    if (!MakePair(receiving, sending)) return KERN_RESOURCE_SHORTAGE;
    Space &space = TheSpace();
    std::lock_guard<std::mutex> lock(space.mutex);
    *name = NewReceiveRight(space, std::move(receiving), std::move(sending));
    return KERN_SUCCESS;
}

kern_return_t mach_port_insert_right(ipc_space_t, mach_port_name_t name, mach_port_t poly, uint32_t poly_poly) {
    if (name != poly || poly_poly != MACH_MSG_TYPE_MAKE_SEND) return KERN_INVALID_VALUE;
    Space &space = TheSpace();
    std::lock_guard<std::mutex> lock(space.mutex);
    Entry *entry = space.Find(name);
    if (entry == nullptr) return KERN_INVALID_NAME;
    if (!entry->receive) return KERN_INVALID_RIGHT;
    ++entry->sendRefs;
    return KERN_SUCCESS;
}

kern_return_t mach_port_deallocate(ipc_space_t, mach_port_name_t name) {
    Space &space = TheSpace();
    std::lock_guard<std::mutex> lock(space.mutex);
    Entry *entry = space.Find(name);
    if (entry == nullptr) return KERN_INVALID_NAME;
    if (entry->receive) {
        if (entry->sendRefs == 0) return KERN_INVALID_RIGHT;
        --entry->sendRefs;
        return KERN_SUCCESS;
    }
    if (entry->sendOnce || entry->sendRefs <= 1) {
        space.Erase(name);
        return KERN_SUCCESS;
    }
    --entry->sendRefs;
    return KERN_SUCCESS;
}

kern_return_t mach_port_mod_refs(ipc_space_t task, mach_port_name_t name, mach_port_right_t right,
                                 mach_port_delta_t delta) {
    if (right == MACH_PORT_RIGHT_RECEIVE) {
        if (delta == 0) return KERN_SUCCESS;
        if (delta != -1) return KERN_INVALID_VALUE;
        Space &space = TheSpace();
        std::lock_guard<std::mutex> lock(space.mutex);
        Entry *entry = space.Find(name);
        if (entry == nullptr) return KERN_INVALID_NAME;
        if (!entry->receive) return KERN_INVALID_RIGHT;
        space.Erase(name);
        return KERN_SUCCESS;
    }
    if (right == MACH_PORT_RIGHT_SEND || right == MACH_PORT_RIGHT_SEND_ONCE || right == MACH_PORT_RIGHT_DEAD_NAME) {
        for (; delta < 0; ++delta) {
            const kern_return_t result = mach_port_deallocate(task, name);
            if (result != KERN_SUCCESS) return result;
        }
        if (delta > 0) {
            Space &space = TheSpace();
            std::lock_guard<std::mutex> lock(space.mutex);
            Entry *entry = space.Find(name);
            if (entry == nullptr) return KERN_INVALID_NAME;
            if (entry->sendOnce) return KERN_INVALID_VALUE;
            entry->sendRefs += uint32_t(delta);
        }
        return KERN_SUCCESS;
    }
    return KERN_INVALID_VALUE;
}

kern_return_t mach_port_destroy(ipc_space_t, mach_port_name_t name) {
    Space &space = TheSpace();
    std::lock_guard<std::mutex> lock(space.mutex);
    if (space.Find(name) == nullptr) return KERN_INVALID_NAME;
    space.Erase(name);
    return KERN_SUCCESS;
}

kern_return_t mach_port_type(ipc_space_t, mach_port_name_t name, mach_port_type_t *type) {
    if (type == nullptr) return KERN_INVALID_ARGUMENT;
    Space &space = TheSpace();
    std::lock_guard<std::mutex> lock(space.mutex);
    Entry *entry = space.Find(name);
    if (entry == nullptr) return KERN_INVALID_NAME;
    mach_port_type_t bits = 0;
    if (entry->dead) bits |= MACH_PORT_TYPE_DEAD_NAME;
    if (entry->receive) bits |= MACH_PORT_TYPE_RECEIVE;
    if (!entry->dead && entry->sendOnce) bits |= MACH_PORT_TYPE_SEND_ONCE;
    if (!entry->dead && !entry->sendOnce && entry->sendRefs > 0) bits |= MACH_PORT_TYPE_SEND;
    *type = bits;
    return KERN_SUCCESS;
}

kern_return_t mach_port_request_dead_name_callback(mach_port_name_t name, mach_port_dead_name_callback_t callback,
                                                   void *context) {
    TheWatcher(true);
    Space &space = TheSpace();
    std::unique_lock<std::mutex> lock(space.mutex);
    Entry *entry = space.Find(name);
    if (entry == nullptr) return KERN_INVALID_NAME;
    if (entry->dead) {
        lock.unlock();
        if (callback != nullptr) callback(name, context);
        return KERN_SUCCESS;
    }
    if (entry->send == nullptr || entry->sendOnce || entry->memory) return KERN_INVALID_RIGHT;
    entry->callback = callback;
    entry->context = context;
    space.WatcherChanged();
    return KERN_SUCCESS;
}

kern_return_t mach_memory_entry_make_fd(int fd, mach_port_name_t *name) {
    if (name == nullptr || fd < 0 || !IsMemory(fd)) return KERN_INVALID_ARGUMENT;
    const int own = ::fcntl(fd, F_DUPFD_CLOEXEC, 0);
    if (own < 0) return KERN_RESOURCE_SHORTAGE;
    Space &space = TheSpace();
    std::lock_guard<std::mutex> lock(space.mutex);
    *name = InstallMemory(space, own);
    return KERN_SUCCESS;
}

int mach_memory_entry_copy_fd(mach_port_name_t name) {
    Space &space = TheSpace();
    std::lock_guard<std::mutex> lock(space.mutex);
    Entry *entry = space.Find(name);
    if (entry == nullptr || !entry->memory || entry->send == nullptr) return -1;
    return ::fcntl(entry->send->fd, F_DUPFD_CLOEXEC, 0);
}

mach_msg_return_t mach_msg(mach_msg_header_t *msg, mach_msg_option_t option, mach_msg_size_t send_size,
                           mach_msg_size_t rcv_size, mach_port_name_t rcv_name, mach_msg_timeout_t timeout,
                           mach_port_name_t) {
    if ((option & MACH_SEND_MSG) != 0) {
        const mach_msg_return_t result = Send(msg, send_size, (option & MACH_SEND_TIMEOUT) != 0, timeout);
        if (result != MACH_MSG_SUCCESS) return result;
    }
    if ((option & MACH_RCV_MSG) != 0) return Receive(msg, rcv_size, rcv_name, (option & MACH_RCV_TIMEOUT) != 0, timeout);
    return MACH_MSG_SUCCESS;
}

void mach_msg_destroy(mach_msg_header_t *msg) {
    if (msg == nullptr) return;
    if (MACH_PORT_VALID(msg->msgh_remote_port)) mach_port_deallocate(mach_task_self(), msg->msgh_remote_port);
    if ((msg->msgh_bits & MACH_MSGH_BITS_COMPLEX) == 0 || msg->msgh_size < 28) return;
    const uint8_t *bytes = reinterpret_cast<const uint8_t *>(msg);
    uint32_t count;
    std::memcpy(&count, bytes + 24, 4);
    for (uint32_t i = 0; i < count && MachWire::DescriptorOffset(i + 1) <= msg->msgh_size; ++i) {
        mach_port_t name;
        std::memcpy(&name, bytes + MachWire::DescriptorOffset(i), 4);
        if (MACH_PORT_VALID(name)) mach_port_deallocate(mach_task_self(), name);
    }
}

namespace {
// The thread's reply port, given up when the thread ends.
struct ReplyPort {
    mach_port_t name = MACH_PORT_NULL;
    ~ReplyPort() {
        if (name != MACH_PORT_NULL) mach_port_mod_refs(mach_task_self(), name, MACH_PORT_RIGHT_RECEIVE, -1);
    }
};
thread_local ReplyPort tReply;
}  // namespace

mach_port_t mig_get_reply_port(void) {
    if (tReply.name != MACH_PORT_NULL) {
        mach_port_type_t type = 0;
        if (mach_port_type(mach_task_self(), tReply.name, &type) == KERN_SUCCESS && (type & MACH_PORT_TYPE_RECEIVE))
            return tReply.name;
    }
    if (mach_port_allocate(mach_task_self(), MACH_PORT_RIGHT_RECEIVE, &tReply.name) != KERN_SUCCESS)
        tReply.name = MACH_PORT_NULL;
    return tReply.name;
}

void mig_dealloc_reply_port(mach_port_t reply_port) {
    if (reply_port == MACH_PORT_NULL) return;
    mach_port_mod_refs(mach_task_self(), reply_port, MACH_PORT_RIGHT_RECEIVE, -1);
    if (reply_port == tReply.name) tReply.name = MACH_PORT_NULL;
}

void mig_put_reply_port(mach_port_t) {}

const char *bootstrap_runtime_folder(void) {
    thread_local std::string folder;
    folder = LumoraPrivateRuntimeFolder();
    return folder.c_str();
}

kern_return_t bootstrap_check_in(mach_port_t, const char *service_name, mach_port_t *sp) {
    if (sp == nullptr) return KERN_INVALID_ARGUMENT;
    *sp = MACH_PORT_NULL;
    if (!IsServiceName(service_name)) return BOOTSTRAP_BAD_NAME;
    const std::string folder = LumoraPrivateRuntimeFolder();
    if (folder.empty()) return BOOTSTRAP_NOT_PRIVILEGED;
    sockaddr_un address;
    auto service = std::make_shared<Service>();
    if (!ServiceAddress(folder, service_name, address, service->path)) return BOOTSTRAP_BAD_NAME;
    const std::string lockPath = service->path + ".lock";
    const int lockFd = ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (lockFd < 0) return BOOTSTRAP_NOT_PRIVILEGED;
    if (::flock(lockFd, LOCK_EX | LOCK_NB) != 0) {
        ::close(lockFd);
        service->path.clear();  // not ours to remove
        return BOOTSTRAP_NAME_IN_USE;
    }
    service->lockFd = lockFd;
    // Whatever socket is there was left by an owner that is gone.
    ::unlink(service->path.c_str());
    const int listener = ::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (listener < 0) return KERN_RESOURCE_SHORTAGE;
    auto listening = std::make_shared<Descriptor>(listener);
    if (::bind(listener, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0 ||
        ::chmod(service->path.c_str(), 0600) != 0 || ::listen(listener, 64) != 0)
        return KERN_FAILURE;
    DescriptorRef receiving, sending;
    if (!MakePair(receiving, sending)) return KERN_RESOURCE_SHORTAGE;
    Space &space = TheSpace();
    std::lock_guard<std::mutex> lock(space.mutex);
    const mach_port_name_t name = NewReceiveRight(space, std::move(receiving), std::move(sending));
    Entry &entry = space.entries[name];
    entry.inbound.push_back({std::move(listening), InboundKind::Listener});
    entry.service = std::move(service);
    *sp = name;
    return KERN_SUCCESS;
}

kern_return_t bootstrap_look_up(mach_port_t, const char *service_name, mach_port_t *sp) {
    if (sp == nullptr) return KERN_INVALID_ARGUMENT;
    *sp = MACH_PORT_NULL;
    if (!IsServiceName(service_name)) return BOOTSTRAP_BAD_NAME;
    const std::string folder = LumoraPrivateRuntimeFolder();
    if (folder.empty()) return BOOTSTRAP_NOT_PRIVILEGED;
    sockaddr_un address;
    std::string path;
    if (!ServiceAddress(folder, service_name, address, path)) return BOOTSTRAP_BAD_NAME;
    const int fd = ::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) return KERN_RESOURCE_SHORTAGE;
    // A server too busy to accept (its backlog full) counts as absent: never wait for it.
    if (::connect(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0 || !PeerIsThisUser(fd)) {
        ::close(fd);
        return BOOTSTRAP_UNKNOWN_SERVICE;
    }
    Space &space = TheSpace();
    std::lock_guard<std::mutex> lock(space.mutex);
    *sp = InstallSend(space, fd, false);
    return KERN_SUCCESS;
}

}  // extern "C"
