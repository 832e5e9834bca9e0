#include <gtest/gtest.h>

#include <IOSurface/IOSurface.h>
#include <Mach/MachPortRunLoop.h>
#include <Mach/NSMachPort.h>
#include <Mach/bootstrap.h>
#include <Mach/message.h>
#include <Mach/port.h>

#include <CoreFoundation/CFDictionary.h>
#include <CoreFoundation/CFNumber.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <string>
#include <sys/mman.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "support/ChildProcess.h"

namespace {

using Clock = std::chrono::steady_clock;

mach_port_t NewPort() {
    mach_port_t port = MACH_PORT_NULL;
    EXPECT_EQ(mach_port_allocate(mach_task_self(), MACH_PORT_RIGHT_RECEIVE, &port), KERN_SUCCESS);
    return port;
}

void Destroy(mach_port_t port) { mach_port_mod_refs(mach_task_self(), port, MACH_PORT_RIGHT_RECEIVE, -1); }

struct SimpleMessage {
    mach_msg_header_t header;
    uint64_t payload;
};

#pragma pack(push, 4)
struct TwoPortMessage {
    mach_msg_header_t header;
    mach_msg_body_t body;
    mach_msg_port_descriptor_t ports[2];
};
#pragma pack(pop)

mach_msg_port_descriptor_t Descriptor(mach_port_t name, uint32_t disposition) {
    mach_msg_port_descriptor_t descriptor{};
    descriptor.name = name;
    descriptor.disposition = disposition;
    descriptor.type = MACH_MSG_PORT_DESCRIPTOR;
    return descriptor;
}

mach_msg_return_t SendSimple(mach_port_t destination, uint32_t disposition, mach_msg_id_t id, uint64_t payload,
                             mach_port_t reply = MACH_PORT_NULL, mach_msg_timeout_t timeout = 1000) {
    SimpleMessage message{};
    message.header.msgh_bits = MACH_MSGH_BITS(disposition, reply != MACH_PORT_NULL ? MACH_MSG_TYPE_MAKE_SEND_ONCE : 0);
    message.header.msgh_size = sizeof message;
    message.header.msgh_remote_port = destination;
    message.header.msgh_local_port = reply;
    message.header.msgh_id = id;
    message.payload = payload;
    return mach_msg(&message.header, MACH_SEND_MSG | MACH_SEND_TIMEOUT, sizeof message, 0, MACH_PORT_NULL, timeout,
                    MACH_PORT_NULL);
}

mach_msg_return_t Receive(mach_port_t port, void *buffer, mach_msg_size_t size, mach_msg_timeout_t timeout = 2000) {
    return mach_msg(static_cast<mach_msg_header_t *>(buffer), MACH_RCV_MSG | MACH_RCV_TIMEOUT, 0, size, port, timeout,
                    MACH_PORT_NULL);
}

int OpenDescriptors() {
    int count = 0;
    if (DIR *dir = ::opendir("/proc/self/fd")) {
        while (::readdir(dir) != nullptr) ++count;
        ::closedir(dir);
    }
    return count;
}

TEST(MachPorts, MessageArrivesWithTheReceivedHeader) {
    const mach_port_t port = NewPort();
    ASSERT_EQ(mach_port_insert_right(mach_task_self(), port, port, MACH_MSG_TYPE_MAKE_SEND), KERN_SUCCESS);
    ASSERT_EQ(SendSimple(port, MACH_MSG_TYPE_COPY_SEND, 500, 0x1122334455667788ull), MACH_MSG_SUCCESS);
    ASSERT_EQ(SendSimple(port, MACH_MSG_TYPE_MAKE_SEND, 501, 2), MACH_MSG_SUCCESS);
    alignas(8) uint8_t buffer[256];
    auto *received = reinterpret_cast<SimpleMessage *>(buffer);
    ASSERT_EQ(Receive(port, buffer, sizeof buffer), MACH_MSG_SUCCESS);
    EXPECT_EQ(received->header.msgh_id, 500);
    EXPECT_EQ(received->header.msgh_size, sizeof(SimpleMessage));
    EXPECT_EQ(received->header.msgh_local_port, port);
    EXPECT_EQ(received->header.msgh_remote_port, MACH_PORT_NULL);
    EXPECT_EQ(received->payload, 0x1122334455667788ull);
    ASSERT_EQ(Receive(port, buffer, sizeof buffer), MACH_MSG_SUCCESS);
    EXPECT_EQ(received->header.msgh_id, 501);
    // Too small a buffer: the message is destroyed, not cut.
    ASSERT_EQ(SendSimple(port, MACH_MSG_TYPE_COPY_SEND, 502, 3), MACH_MSG_SUCCESS);
    EXPECT_EQ(Receive(port, buffer, 24), MACH_RCV_TOO_LARGE);
    EXPECT_EQ(Receive(port, buffer, sizeof buffer, 0), MACH_RCV_TIMED_OUT);
    // Sends that cannot be.
    EXPECT_EQ(SendSimple(0x7777, MACH_MSG_TYPE_COPY_SEND, 1, 0), MACH_SEND_INVALID_DEST);
    EXPECT_EQ(SendSimple(port, MACH_MSG_TYPE_MOVE_RECEIVE, 1, 0), MACH_SEND_INVALID_DEST);
    Destroy(port);
    EXPECT_EQ(Receive(port, buffer, sizeof buffer, 0), MACH_RCV_INVALID_NAME);
}

TEST(MachPorts, RightsTravelAndReachTheirPort) {
    const mach_port_t a = NewPort(), b = NewPort();
    const int memory = ::memfd_create("mach-test", MFD_CLOEXEC);
    ASSERT_GE(memory, 0);
    ASSERT_EQ(::write(memory, "surface", 7), 7);
    mach_port_t entry = MACH_PORT_NULL;
    ASSERT_EQ(mach_memory_entry_make_fd(memory, &entry), KERN_SUCCESS);
    ::close(memory);

    std::vector<mach_port_t> received;
    for (int round = 0; round < 2; ++round) {
        TwoPortMessage message{};
        message.header.msgh_bits = MACH_MSGH_BITS_COMPLEX | MACH_MSGH_BITS(MACH_MSG_TYPE_MAKE_SEND, 0);
        message.header.msgh_size = sizeof message;
        message.header.msgh_remote_port = b;
        message.header.msgh_id = 600;
        message.body.msgh_descriptor_count = 2;
        message.ports[0] = Descriptor(a, MACH_MSG_TYPE_MAKE_SEND);
        message.ports[1] = Descriptor(entry, MACH_MSG_TYPE_COPY_SEND);
        ASSERT_EQ(mach_msg(&message.header, MACH_SEND_MSG, sizeof message, 0, 0, 0, 0), MACH_MSG_SUCCESS);
        alignas(8) uint8_t buffer[256];
        ASSERT_EQ(Receive(b, buffer, sizeof buffer), MACH_MSG_SUCCESS);
        auto *got = reinterpret_cast<TwoPortMessage *>(buffer);
        EXPECT_NE(got->header.msgh_bits & MACH_MSGH_BITS_COMPLEX, 0u);
        ASSERT_EQ(got->body.msgh_descriptor_count, 2u);
        EXPECT_EQ(got->ports[0].disposition, MACH_MSG_TYPE_PORT_SEND);
        EXPECT_EQ(got->ports[1].disposition, MACH_MSG_TYPE_PORT_SEND);
        EXPECT_NE(got->ports[0].name, a);
        received.push_back(got->ports[0].name);
        const int fd = mach_memory_entry_copy_fd(got->ports[1].name);
        ASSERT_GE(fd, 0);
        char text[8] = {};
        EXPECT_EQ(::pread(fd, text, 7, 0), 7);
        EXPECT_STREQ(text, "surface");
        ::close(fd);
        EXPECT_EQ(mach_memory_entry_copy_fd(got->ports[0].name), -1);
        mach_port_deallocate(mach_task_self(), got->ports[1].name);
    }
    // The same port received twice keeps one name, with two references.
    ASSERT_EQ(received[0], received[1]);
    mach_port_deallocate(mach_task_self(), received[0]);
    mach_port_type_t type = 0;
    ASSERT_EQ(mach_port_type(mach_task_self(), received[0], &type), KERN_SUCCESS);
    EXPECT_EQ(type, MACH_PORT_TYPE_SEND);

    // The received right reaches the port it stands for.
    ASSERT_EQ(SendSimple(received[0], MACH_MSG_TYPE_COPY_SEND, 601, 9), MACH_MSG_SUCCESS);
    alignas(8) uint8_t buffer[256];
    ASSERT_EQ(Receive(a, buffer, sizeof buffer), MACH_MSG_SUCCESS);
    EXPECT_EQ(reinterpret_cast<SimpleMessage *>(buffer)->header.msgh_id, 601);
    // A move gives the right up once the send succeeded.
    ASSERT_EQ(SendSimple(received[0], MACH_MSG_TYPE_MOVE_SEND, 602, 9), MACH_MSG_SUCCESS);
    EXPECT_EQ(mach_port_type(mach_task_self(), received[0], &type), KERN_INVALID_NAME);
    mach_port_deallocate(mach_task_self(), entry);
    Destroy(a);
    Destroy(b);
}

TEST(MachPorts, SendOnceReplyAndTheNoticeOfOneDroppedUnused) {
    const mach_port_t server = NewPort(), reply = NewPort();
    ASSERT_EQ(mach_port_insert_right(mach_task_self(), server, server, MACH_MSG_TYPE_MAKE_SEND), KERN_SUCCESS);
    alignas(8) uint8_t buffer[256];
    auto *got = reinterpret_cast<SimpleMessage *>(buffer);

    ASSERT_EQ(SendSimple(server, MACH_MSG_TYPE_COPY_SEND, 700, 1, reply), MACH_MSG_SUCCESS);
    ASSERT_EQ(Receive(server, buffer, sizeof buffer), MACH_MSG_SUCCESS);
    const mach_port_t once = got->header.msgh_remote_port;
    ASSERT_TRUE(MACH_PORT_VALID(once));
    EXPECT_EQ(MACH_MSGH_BITS_REMOTE(got->header.msgh_bits), uint32_t(MACH_MSG_TYPE_PORT_SEND_ONCE));
    mach_port_type_t type = 0;
    ASSERT_EQ(mach_port_type(mach_task_self(), once, &type), KERN_SUCCESS);
    EXPECT_EQ(type, MACH_PORT_TYPE_SEND_ONCE);
    ASSERT_EQ(SendSimple(once, MACH_MSG_TYPE_MOVE_SEND_ONCE, 800, 2), MACH_MSG_SUCCESS);
    EXPECT_EQ(mach_port_type(mach_task_self(), once, &type), KERN_INVALID_NAME);
    ASSERT_EQ(Receive(reply, buffer, sizeof buffer), MACH_MSG_SUCCESS);
    EXPECT_EQ(got->header.msgh_id, 800);

    ASSERT_EQ(SendSimple(server, MACH_MSG_TYPE_COPY_SEND, 701, 1, reply), MACH_MSG_SUCCESS);
    ASSERT_EQ(Receive(server, buffer, sizeof buffer), MACH_MSG_SUCCESS);
    mach_port_deallocate(mach_task_self(), got->header.msgh_remote_port);
    ASSERT_EQ(Receive(reply, buffer, sizeof buffer), MACH_MSG_SUCCESS);
    EXPECT_EQ(got->header.msgh_id, MACH_NOTIFY_SEND_ONCE);
    Destroy(server);
    Destroy(reply);
}

TEST(MachPorts, SendAndReceiveTimeOuts) {
    const mach_port_t port = NewPort();
    alignas(8) uint8_t buffer[256];
    auto start = Clock::now();
    EXPECT_EQ(Receive(port, buffer, sizeof buffer, 50), MACH_RCV_TIMED_OUT);
    auto waited = Clock::now() - start;
    EXPECT_GE(waited, std::chrono::milliseconds(45));
    EXPECT_LT(waited, std::chrono::seconds(1));

    // Nobody reads: the port's queue fills and a timed send gives up.
    int sent = 0;
    while (sent < 100000 && SendSimple(port, MACH_MSG_TYPE_MAKE_SEND, 900, 0, MACH_PORT_NULL, 0) == MACH_MSG_SUCCESS)
        ++sent;
    EXPECT_GT(sent, 10);
    EXPECT_LT(sent, 100000);
    start = Clock::now();
    EXPECT_EQ(SendSimple(port, MACH_MSG_TYPE_MAKE_SEND, 900, 0, MACH_PORT_NULL, 30), MACH_SEND_TIMED_OUT);
    waited = Clock::now() - start;
    EXPECT_GE(waited, std::chrono::milliseconds(25));
    EXPECT_LT(waited, std::chrono::seconds(1));
    Destroy(port);  // the queued messages go with it
}

std::atomic<int> gDeadNames{0};
void CountDeadName(mach_port_name_t, void *) { ++gDeadNames; }

TEST(MachPorts, ARightWhoseReceiverGoesBecomesADeadName) {
    const mach_port_t a = NewPort(), b = NewPort();
    TwoPortMessage message{};
    message.header.msgh_bits = MACH_MSGH_BITS_COMPLEX | MACH_MSGH_BITS(MACH_MSG_TYPE_MAKE_SEND, 0);
    message.header.msgh_size = 28 + 12;
    message.header.msgh_remote_port = b;
    message.body.msgh_descriptor_count = 1;
    message.ports[0] = Descriptor(a, MACH_MSG_TYPE_MAKE_SEND);
    ASSERT_EQ(mach_msg(&message.header, MACH_SEND_MSG, 40, 0, 0, 0, 0), MACH_MSG_SUCCESS);
    alignas(8) uint8_t buffer[256];
    ASSERT_EQ(Receive(b, buffer, sizeof buffer), MACH_MSG_SUCCESS);
    const mach_port_t send = reinterpret_cast<TwoPortMessage *>(buffer)->ports[0].name;

    gDeadNames = 0;
    ASSERT_EQ(mach_port_request_dead_name_callback(send, &CountDeadName, nullptr), KERN_SUCCESS);
    EXPECT_EQ(mach_port_request_dead_name_callback(a, &CountDeadName, nullptr), KERN_INVALID_RIGHT);
    Destroy(a);
    for (int i = 0; i < 400 && gDeadNames.load() == 0; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    EXPECT_EQ(gDeadNames.load(), 1);
    mach_port_type_t type = 0;
    ASSERT_EQ(mach_port_type(mach_task_self(), send, &type), KERN_SUCCESS);
    EXPECT_EQ(type, MACH_PORT_TYPE_DEAD_NAME);
    EXPECT_EQ(SendSimple(send, MACH_MSG_TYPE_COPY_SEND, 1, 0), MACH_SEND_INVALID_DEST);
    // Asking about a name already dead answers at once.
    ASSERT_EQ(mach_port_request_dead_name_callback(send, &CountDeadName, nullptr), KERN_SUCCESS);
    EXPECT_EQ(gDeadNames.load(), 2);
    EXPECT_EQ(mach_port_deallocate(mach_task_self(), send), KERN_SUCCESS);
    Destroy(b);
}

// A process that writes packets straight to a service socket: whatever it sends, only sound
// messages come out, and every descriptor of the others is closed.
TEST(MachPorts, ReceiverDestroysPacketsThatAreNotSoundMessages) {
    mach_port_t service = MACH_PORT_NULL;
    ASSERT_EQ(bootstrap_check_in(bootstrap_port, "test.hostile", &service), KERN_SUCCESS);
    const std::string path = std::string(bootstrap_runtime_folder()) + "/test.hostile";
    const int raw = ::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strcpy(address.sun_path, path.c_str());
    ASSERT_EQ(::connect(raw, reinterpret_cast<sockaddr *>(&address), sizeof address), 0);
    const int before = OpenDescriptors();

    auto packet = [](uint32_t bits, uint32_t local, mach_msg_id_t id, std::vector<uint32_t> body) {
        std::vector<uint32_t> words = {bits, 0, 0, local, 0, uint32_t(id)};
        words.insert(words.end(), body.begin(), body.end());
        return words;
    };
    auto sendPacket = [&](const std::vector<uint32_t> &words, size_t bytes, std::vector<int> fds) {
        iovec io{const_cast<uint32_t *>(words.data()), bytes};
        msghdr header{};
        header.msg_iov = &io;
        header.msg_iovlen = 1;
        alignas(cmsghdr) char control[CMSG_SPACE(sizeof(int) * 4)] = {};
        if (!fds.empty()) {
            header.msg_control = control;
            header.msg_controllen = CMSG_SPACE(sizeof(int) * fds.size());
            cmsghdr *message = CMSG_FIRSTHDR(&header);
            message->cmsg_level = SOL_SOCKET;
            message->cmsg_type = SCM_RIGHTS;
            message->cmsg_len = CMSG_LEN(sizeof(int) * fds.size());
            std::memcpy(CMSG_DATA(message), fds.data(), sizeof(int) * fds.size());
        }
        ASSERT_GE(::sendmsg(raw, &header, 0), 0);
    };
    int pipeEnds[2];
    ASSERT_EQ(::pipe2(pipeEnds, O_CLOEXEC), 0);
    int pair[2];
    ASSERT_EQ(::socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, pair), 0);
    const uint32_t complex = MACH_MSGH_BITS_COMPLEX | MACH_MSGH_BITS(MACH_MSG_TYPE_COPY_SEND, 0);
    const uint32_t withReply = MACH_MSGH_BITS(MACH_MSG_TYPE_COPY_SEND, MACH_MSG_TYPE_MAKE_SEND_ONCE);
    struct Case {
        const char *what;
        std::vector<uint32_t> words;
        size_t bytes;
        std::vector<int> fds;
    } cases[] = {
        {"short", packet(0, 0, 1, {}), 10, {}},
        {"reply named, none carried", packet(withReply, 1, 2, {}), 24, {}},
        {"reply with a bad disposition", packet(MACH_MSGH_BITS(19, 16), 1, 3, {}), 24, {pair[1]}},
        {"reply that is not a port", packet(withReply, 1, 4, {}), 24, {pipeEnds[0]}},
        {"descriptor count past the end", packet(complex, 0, 5, {1000}), 28, {}},
        {"descriptor of another type", packet(complex, 0, 6, {1, 1, 0, 0x01110000}), 40, {pair[1]}},
        {"descriptor that is a pipe", packet(complex, 0, 7, {1, 1, 0, 0x00110000}), 40, {pipeEnds[1]}},
        {"descriptor carried but not named", packet(0, 0, 8, {}), 24, {pair[1]}},
        {"named but not carried", packet(complex, 0, 9, {1, 1, 0, 0x00110000}), 40, {}},
        {"sound", packet(0, 0, 10, {42}), 28, {}},
    };
    for (const Case &c : cases) sendPacket(c.words, c.bytes, c.fds);
    ::close(pipeEnds[0]);
    ::close(pipeEnds[1]);
    ::close(pair[1]);
    alignas(8) uint8_t buffer[256];
    ASSERT_EQ(Receive(service, buffer, sizeof buffer), MACH_MSG_SUCCESS);
    auto *header = reinterpret_cast<mach_msg_header_t *>(buffer);
    EXPECT_EQ(header->msgh_id, 10);
    EXPECT_EQ(header->msgh_size, 28u);
    EXPECT_EQ(Receive(service, buffer, sizeof buffer, 0), MACH_RCV_TIMED_OUT);
    // Open now besides: our own end of the pair and the service's accepted connection;
    // everything that crossed was closed.
    EXPECT_EQ(OpenDescriptors(), before + 2);
    char byte;
    EXPECT_EQ(::recv(pair[0], &byte, 1, MSG_DONTWAIT), 0);  // its peer is closed everywhere
    ::close(pair[0]);
    ::close(raw);
    Destroy(service);
}

TEST(Bootstrap, NamesAndLookUps) {
    mach_port_t port = MACH_PORT_NULL;
    EXPECT_EQ(bootstrap_look_up(bootstrap_port, "test.nobody", &port), BOOTSTRAP_UNKNOWN_SERVICE);
    for (const char *bad : {"", ".hidden", "a/b", "a b", "../x", "x\n"})
        EXPECT_EQ(bootstrap_check_in(bootstrap_port, bad, &port), BOOTSTRAP_BAD_NAME) << bad;
    EXPECT_EQ(bootstrap_check_in(bootstrap_port, std::string(65, 'x').c_str(), &port), BOOTSTRAP_BAD_NAME);

    mach_port_t service = MACH_PORT_NULL;
    ASSERT_EQ(bootstrap_check_in(bootstrap_port, "com.example.Name_1-2", &service), KERN_SUCCESS);
    const std::string path = std::string(bootstrap_runtime_folder()) + "/com.example.Name_1-2";
    struct stat status;
    ASSERT_EQ(::lstat(path.c_str(), &status), 0);
    EXPECT_TRUE(S_ISSOCK(status.st_mode));
    EXPECT_EQ(status.st_mode & 0777, 0600u);
    mach_port_t again = MACH_PORT_NULL;
    EXPECT_EQ(bootstrap_check_in(bootstrap_port, "com.example.Name_1-2", &again), BOOTSTRAP_NAME_IN_USE);

    mach_port_t send = MACH_PORT_NULL;
    ASSERT_EQ(bootstrap_look_up(bootstrap_port, "com.example.Name_1-2", &send), KERN_SUCCESS);
    ASSERT_EQ(SendSimple(send, MACH_MSG_TYPE_COPY_SEND, 1000, 77), MACH_MSG_SUCCESS);
    alignas(8) uint8_t buffer[256];
    ASSERT_EQ(Receive(service, buffer, sizeof buffer), MACH_MSG_SUCCESS);
    EXPECT_EQ(reinterpret_cast<SimpleMessage *>(buffer)->payload, 77u);

    // Giving the service up frees the name and removes the socket.
    Destroy(service);
    EXPECT_NE(::lstat(path.c_str(), &status), 0);
    EXPECT_EQ(bootstrap_look_up(bootstrap_port, "com.example.Name_1-2", &port), BOOTSTRAP_UNKNOWN_SERVICE);
    ASSERT_EQ(bootstrap_check_in(bootstrap_port, "com.example.Name_1-2", &service), KERN_SUCCESS);
    Destroy(service);
    mach_port_deallocate(mach_task_self(), send);
}

TEST(Bootstrap, ANameOfALiveProcessIsRefusedAStaleOneReclaimed) {
    lumora::test::ChildProcess owner({LUMORA_MACH_HELPER, "hold", "test.owned"});
    ASSERT_EQ(owner.line(), "0");
    mach_port_t port = MACH_PORT_NULL;
    EXPECT_EQ(bootstrap_check_in(bootstrap_port, "test.owned", &port), BOOTSTRAP_NAME_IN_USE);
    mach_port_t send = MACH_PORT_NULL;
    ASSERT_EQ(bootstrap_look_up(bootstrap_port, "test.owned", &send), KERN_SUCCESS);
    std::atomic<int> deaths{0};
    gDeadNames = 0;
    ASSERT_EQ(mach_port_request_dead_name_callback(send, &CountDeadName, nullptr), KERN_SUCCESS);

    owner.finish(true);  // SIGKILL: its socket file stays behind
    const std::string path = std::string(bootstrap_runtime_folder()) + "/test.owned";
    struct stat status;
    EXPECT_EQ(::lstat(path.c_str(), &status), 0);
    for (int i = 0; i < 400 && gDeadNames.load() == 0; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    EXPECT_EQ(gDeadNames.load(), 1);  // the look-up's right noticed the owner's end
    EXPECT_EQ(bootstrap_look_up(bootstrap_port, "test.owned", &port), BOOTSTRAP_UNKNOWN_SERVICE);
    ASSERT_EQ(bootstrap_check_in(bootstrap_port, "test.owned", &port), KERN_SUCCESS);
    Destroy(port);
    mach_port_deallocate(mach_task_self(), send);
    (void)deaths;
}

class CountingDelegate : public NSMachPortDelegate {
public:
    void handleMachMessage(void *msg) override {
        ids.push_back(static_cast<mach_msg_header_t *>(msg)->msgh_id);
        onThread = std::this_thread::get_id();
        ++count;
    }
    std::vector<mach_msg_id_t> ids;
    std::atomic<int> count{0};
    std::thread::id onThread;
};

TEST(MachPortRunLoop, ServesScheduledPortsAndTimersOnItsThread) {
    std::shared_ptr<NSMachPort> port = NSMachPort::port();
    ASSERT_NE(port, nullptr);
    EXPECT_EQ(NSMachPort::portWithMachPort(port->machPort()), port);
    auto delegate = std::make_shared<CountingDelegate>();
    port->setDelegate(delegate);
    std::atomic<MachPortRunLoop *> loop{nullptr};
    std::atomic<int> ticks{0};
    std::thread thread([&] {
        MachPortRunLoop *own = MachPortRunLoop::currentRunLoop();
        EXPECT_FALSE(own->isMainRunLoop());
        own->addTimer(0.01, true, [&](MachPortRunLoopTimer &) { ++ticks; });
        loop = own;
        own->run();
    });
    while (loop.load() == nullptr) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    loop.load()->addPort(port);
    for (mach_msg_id_t id = 1; id <= 3; ++id) ASSERT_EQ(SendSimple(port->machPort(), MACH_MSG_TYPE_COPY_SEND, id, 0), 0);
    for (int i = 0; i < 400 && (delegate->count.load() < 3 || ticks.load() < 3); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    EXPECT_EQ(delegate->count.load(), 3);
    EXPECT_GE(ticks.load(), 3);
    loop.load()->stop();
    thread.join();
    EXPECT_EQ(delegate->ids, (std::vector<mach_msg_id_t>{1, 2, 3}));

    // Invalidation: the rights go and every observer hears of it once.
    std::vector<mach_port_t> invalid;
    auto owner = std::make_shared<int>(0);
    const uint64_t token = NSMachPort::addPortDidBecomeInvalidObserver(
        owner, [&](const std::shared_ptr<NSMachPort> &dead) { invalid.push_back(dead->machPort()); });
    const mach_port_t name = port->machPort();
    port->invalidate();
    port->invalidate();
    EXPECT_FALSE(port->isValid());
    EXPECT_EQ(invalid, (std::vector<mach_port_t>{name}));
    mach_port_type_t type;
    EXPECT_EQ(mach_port_type(mach_task_self(), name, &type), KERN_INVALID_NAME);
    NSMachPort::removePortDidBecomeInvalidObserver(token);
}

TEST(MachPorts, SurfaceTravelsAsAPort) {
    int32_t width = 16, height = 8, bytes = 4, format = 0x42475241;  // 'BGRA'
    CFMutableDictionaryRef properties =
        CFDictionaryCreateMutable(nullptr, 0, &kCFTypeDictionaryKeyCallBacks, &kCFTypeDictionaryValueCallBacks);
    const std::pair<CFStringRef, int32_t *> values[] = {{kIOSurfaceWidth, &width},
                                                         {kIOSurfaceHeight, &height},
                                                         {kIOSurfaceBytesPerElement, &bytes},
                                                         {kIOSurfacePixelFormat, &format}};
    for (const auto &[key, value] : values) {
        CFNumberRef number = CFNumberCreate(nullptr, kCFNumberSInt32Type, value);
        CFDictionarySetValue(properties, key, number);
        CFRelease(number);
    }
    IOSurfaceRef surface = IOSurfaceCreate(properties);
    CFRelease(properties);
    ASSERT_NE(surface, nullptr);
    const mach_port_t port = IOSurfaceCreateMachPort(surface);
    ASSERT_TRUE(MACH_PORT_VALID(port));
    const mach_port_t b = NewPort();
    TwoPortMessage message{};
    message.header.msgh_bits = MACH_MSGH_BITS_COMPLEX | MACH_MSGH_BITS(MACH_MSG_TYPE_MAKE_SEND, 0);
    message.header.msgh_size = 40;
    message.header.msgh_remote_port = b;
    message.body.msgh_descriptor_count = 1;
    message.ports[0] = Descriptor(port, MACH_MSG_TYPE_COPY_SEND);
    ASSERT_EQ(mach_msg(&message.header, MACH_SEND_MSG, 40, 0, 0, 0, 0), MACH_MSG_SUCCESS);
    alignas(8) uint8_t buffer[256];
    ASSERT_EQ(Receive(b, buffer, sizeof buffer), MACH_MSG_SUCCESS);
    const mach_port_t received = reinterpret_cast<TwoPortMessage *>(buffer)->ports[0].name;
    IOSurfaceRef looked = IOSurfaceLookupFromMachPort(received);
    ASSERT_NE(looked, nullptr);
    EXPECT_EQ(IOSurfaceGetID(looked), IOSurfaceGetID(surface));
    EXPECT_EQ(IOSurfaceGetWidth(looked), 16u);
    EXPECT_EQ(IOSurfaceLookupFromMachPort(b), nullptr);
    CFRelease(looked);
    mach_port_deallocate(mach_task_self(), received);
    mach_port_deallocate(mach_task_self(), port);
    Destroy(b);
    CFRelease(surface);
}

}  // namespace
