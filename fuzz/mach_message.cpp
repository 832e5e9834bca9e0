// The reader of Mach messages from other processes: a packet written straight to a service
// socket, with descriptors attached, is received as a message (or destroyed) and handed to
// the surface-sharing server. The first byte chooses the descriptors that go with the packet
// (two bits each for up to three: none, a socket-pair end, a memfd, a pipe end); the rest
// is the packet. A received message must have the packet's size and name the receiving
// port; the server's answer must be a reply of the request's id; nothing may stay open.
#include "FuzzSupport.h"

#include <FrameSharing/Mach/IOSurfaceMachServer.h>
#include <FrameSharing/Mach/IOSurfaceSharing.h>

#include <Mach/bootstrap.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <string>
#include <sys/mman.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#include <vector>

namespace {

int OpenDescriptors() {
    int count = 0;
    if (DIR *dir = ::opendir("/proc/self/fd")) {
        while (::readdir(dir) != nullptr) ++count;
        ::closedir(dir);
    }
    return count;
}

struct Setup {
    mach_port_t service = MACH_PORT_NULL;
    int raw = -1;
    std::shared_ptr<IOSurfaceMachServer> server;
    int baseline = 0;

    Setup() {
        static char folder[4096];
        const char *tmp = std::getenv("TMPDIR");
        std::snprintf(folder, sizeof folder, "%s/lumora-fuzz-XXXXXX", tmp && *tmp ? tmp : "/tmp");
        if (::mkdtemp(folder) == nullptr) lumora::fuzz::Broken("mkdtemp");
        ::setenv("XDG_RUNTIME_DIR", folder, 1);
        std::atexit([] {
            ::unlink((std::string(folder) + "/fuzz.mach").c_str());
            ::unlink((std::string(folder) + "/fuzz.mach.lock").c_str());
            ::unlink((std::string(folder) + "/IOSurface.registry").c_str());
            ::rmdir(folder);
        });
        std::shared_ptr<NSMachPort> port = NSMachBootstrapServer::sharedInstance()->servicePortWithName("fuzz.mach");
        if (port == nullptr) lumora::fuzz::Broken("check in");
        service = port->machPort();
        // Registered for the server, but served here, one message at a time.
        server = IOSurfaceMachServer::serverWithDelegate(nullptr);
        if (!server->connectWithServerMachPort(port)) lumora::fuzz::Broken("connect");
        raw = ::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        const std::string path = std::string(folder) + "/fuzz.mach";
        if (path.size() >= sizeof address.sun_path) lumora::fuzz::Broken("socket path too long");
        std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
        if (::connect(raw, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0) lumora::fuzz::Broken("connect");
        alignas(8) uint8_t buffer[64];
        mach_msg(reinterpret_cast<mach_msg_header_t *>(buffer), MACH_RCV_MSG | MACH_RCV_TIMEOUT, 0, sizeof buffer,
                 service, 0, 0);  // accepts the connection
        baseline = OpenDescriptors();
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    static Setup setup;
    lumora::fuzz::Input input(data, size);
    const uint8_t kinds = input.byte();
    std::string_view packet = input.rest();
    if (packet.size() > 4096) packet = packet.substr(0, 4096);

    std::vector<int> carried, kept;
    for (int i = 0; i < 3; ++i) {
        switch ((kinds >> (2 * i)) & 3) {
        case 1: {
            int pair[2];
            if (::socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, pair) != 0) break;
            carried.push_back(pair[1]);
            kept.push_back(pair[0]);
            break;
        }
        case 2: {
            const int fd = ::memfd_create("fuzz", MFD_CLOEXEC);
            if (fd >= 0 && ::ftruncate(fd, 8192) == 0) carried.push_back(fd);
            break;
        }
        case 3: {
            int ends[2];
            if (::pipe2(ends, O_CLOEXEC) != 0) break;
            carried.push_back(ends[0]);
            kept.push_back(ends[1]);
            break;
        }
        default:
            break;
        }
    }
    iovec io{const_cast<char *>(packet.data()), packet.size()};
    msghdr header{};
    header.msg_iov = &io;
    header.msg_iovlen = 1;
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(int) * 3)] = {};
    if (!carried.empty()) {
        header.msg_control = control;
        header.msg_controllen = CMSG_SPACE(sizeof(int) * carried.size());
        cmsghdr *message = CMSG_FIRSTHDR(&header);
        message->cmsg_level = SOL_SOCKET;
        message->cmsg_type = SCM_RIGHTS;
        message->cmsg_len = CMSG_LEN(sizeof(int) * carried.size());
        std::memcpy(CMSG_DATA(message), carried.data(), sizeof(int) * carried.size());
    }
    const bool sent = ::sendmsg(setup.raw, &header, 0) >= 0;
    for (int fd : carried) ::close(fd);

    alignas(8) uint8_t buffer[NSMachPort::kReceiveSize];
    auto *message = reinterpret_cast<mach_msg_header_t *>(buffer);
    const mach_msg_return_t result =
        mach_msg(message, MACH_RCV_MSG | MACH_RCV_TIMEOUT, 0, sizeof buffer, setup.service, 0, MACH_PORT_NULL);
    if (result == MACH_MSG_SUCCESS) {
        LUMORA_CHECK(sent);
        LUMORA_CHECK(message->msgh_size == packet.size());
        LUMORA_CHECK(message->msgh_local_port == setup.service);
        // The demultiplexer on a copy, then the whole answer of the server.
        alignas(8) uint8_t copy[NSMachPort::kReceiveSize];
        std::memcpy(copy, buffer, message->msgh_size);
        alignas(8) uint8_t reply[IOSurfaceSharing::kMaxReplySize];
        auto *replyHead = reinterpret_cast<mach_msg_header_t *>(reply);
        const mach_msg_id_t id = message->msgh_id;
        const bool known = IOSurfaceSharing_server_routine(message) != nullptr;
        // The routines give up what the copy names; the real message's rights are then
        // given up by the server below, so the copy's routine runs on a null port set.
        auto *copyHead = reinterpret_cast<mach_msg_header_t *>(copy);
        copyHead->msgh_local_port = 0x7fffffff;  // no connection: nothing is kept
        if ((copyHead->msgh_bits & MACH_MSGH_BITS_COMPLEX) != 0 && copyHead->msgh_size >= 28) {
            uint32_t count;
            std::memcpy(&count, copy + 24, 4);
            for (uint32_t i = 0; i < count && 28 + (i + 1) * 12 <= copyHead->msgh_size; ++i)
                std::memset(copy + 28 + i * 12, 0, 4);
        }
        LUMORA_CHECK(IOSurfaceSharing_server(copyHead, replyHead) == known);
        LUMORA_CHECK(replyHead->msgh_id == id + 100);
        LUMORA_CHECK(replyHead->msgh_size == 36 || replyHead->msgh_size == 40);
        setup.server->handleMachMessage(buffer);
        for (const auto &client : setup.server->remoteClients()) setup.server->removeRemoteClientWithPortName(client->portName());
    }
    for (int fd : kept) ::close(fd);
    LUMORA_CHECK(OpenDescriptors() <= setup.baseline + 8);
    return 0;
}
