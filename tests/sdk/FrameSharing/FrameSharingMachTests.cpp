#include <gtest/gtest.h>

#include <FrameSharing/Mach/IOSurfaceIPC.h>
#include <FrameSharing/Mach/IOSurfaceMachServer.h>
#include <FrameSharing/Mach/IOSurfaceSharing.h>
#include <FrameSharing/Mach/MachRunLoopThread.h>

#include <IOSurface/IOSurface.h>
#include <Mach/bootstrap.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstring>
#include <dirent.h>
#include <future>
#include <sys/socket.h>
#include <sys/un.h>
#include <thread>
#include <vector>

#include "support/ChildProcess.h"

namespace {

using Clock = std::chrono::steady_clock;
using lumora::test::ChildProcess;

constexpr const char *kService = "com.tarvex.Lumora2.IOSurfaceSharing";

template <typename Condition>
bool WaitFor(Condition condition, int milliseconds = 5000) {
    const auto end = Clock::now() + std::chrono::milliseconds(milliseconds);
    while (!condition()) {
        if (Clock::now() > end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

int OpenDescriptors() {
    int count = 0;
    if (DIR *dir = ::opendir("/proc/self/fd")) {
        while (::readdir(dir) != nullptr) ++count;
        ::closedir(dir);
    }
    return count;
}

class RecordingDelegate : public IOSurfaceMachServerDelegate {
public:
    void surfaceServerConnectedClientWithID(IOSurfaceMachServer *, uint64_t clientID) override {
        std::lock_guard<std::mutex> lock(mutex);
        connected.push_back(clientID);
    }
    void surfaceServerDisconnectedClientWithPort(IOSurfaceMachServer *, const std::shared_ptr<NSMachPort> &) override {
        ++disconnected;
    }
    void connectionErrorWithMachResultCode(MachMessageConnection *, int32_t code) override { errors.push_back(code); }
    std::mutex mutex;
    std::vector<uint64_t> connected;
    std::atomic<int> disconnected{0};
    std::vector<int32_t> errors;
};

// A client in this process: what the image unit's connection does, enough to test against.
class InProcessClient : public IOSurfaceMachConnection {
public:
    static std::shared_ptr<InProcessClient> Connect(const char *service) {
        std::shared_ptr<NSMachPort> server = NSMachBootstrapServer::sharedInstance()->portForName(service);
        if (server == nullptr) return nullptr;
        auto client = std::make_shared<InProcessClient>();
        client->initWithDelegate(nullptr);
        if (!client->connectWithServerMachPort(server)) return nullptr;
        client->runServerConnectionOnMachPort(server);
        client->runLocalConnectionOnMachPort(client->localPort());
        return client;
    }
    int32_t __mach_message_BroadcastFrameSurfaceTime(uint64_t time, uint32_t surfaceID) override {
        std::lock_guard<std::mutex> lock(mutex);
        frames.emplace_back(surfaceID, time);
        return 0;
    }
    int32_t __mach_message_BroadcastControlCommand(uint64_t name, uint64_t value) override {
        std::lock_guard<std::mutex> lock(mutex);
        commands.emplace_back(name, value);
        return 0;
    }
    size_t frameCount() {
        std::lock_guard<std::mutex> lock(mutex);
        return frames.size();
    }
    std::mutex mutex;
    std::vector<std::pair<uint32_t, uint64_t>> frames;
    std::vector<std::pair<uint64_t, uint64_t>> commands;
};

IOSurfaceRef FrameSurface() { return IOSurfaceIPC::globalSurfaceWithSizePixels(640, 480, 0x42475241); }

void WriteFirstPixel(IOSurfaceRef surface, uint32_t value) {
    IOSurfaceLock(surface, 0, nullptr);
    std::memcpy(IOSurfaceGetBaseAddress(surface), &value, 4);
    IOSurfaceUnlock(surface, 0, nullptr);
}

TEST(IOSurfaceConnectionClientID, CRCOfTheString) {
    const std::pair<std::optional<std::string>, uint64_t> cases[] = {
        {std::nullopt, 0}, {std::string(), 0}, {std::string("123456789"), 0x89A1897F}, {std::string("abc"), 0x2C17398C}};
    for (const auto &[text, crc] : cases) EXPECT_EQ(IOSurfaceConnectionClientID::uniqueIdentifierWithString(text), crc);
}

TEST(IOSurfaceIPC, SurfacesAndTheirPorts) {
    EXPECT_EQ(IOSurfaceIPC::surfaceBytesPerElementFromSurfacePixelFormat(0x32767579), 4u);
    EXPECT_EQ(IOSurfaceIPC::globalSurfaceWithSizePixels(0, 480, 0), nullptr);
    IOSurfaceRef surface = FrameSurface();
    ASSERT_NE(surface, nullptr);
    EXPECT_EQ(IOSurfaceGetWidth(surface), 640u);
    EXPECT_EQ(IOSurfaceGetBytesPerElement(surface), 4u);
    EXPECT_EQ(IOSurfaceGetPixelFormat(surface), 0x42475241u);
    EXPECT_EQ(IOSurfaceIPC::remotingSurfaceIDFromLocalIOSurfaceID(0), 0u);
    EXPECT_EQ(IOSurfaceIPC::remotingSurfaceIDFromLocalIOSurfaceID(IOSurfaceGetID(surface) + 1000), 0u);
    const uint32_t port = IOSurfaceIPC::remotingSurfaceIDFromLocalIOSurfaceID(IOSurfaceGetID(surface));
    ASSERT_NE(port, 0u);
    EXPECT_EQ(IOSurfaceIPC::localIOSurfaceIDFromRemotingSurfaceID(port), IOSurfaceGetID(surface));
    mach_port_type_t type;
    EXPECT_EQ(mach_port_type(mach_task_self(), port, &type), KERN_INVALID_NAME);  // given up
    EXPECT_EQ(IOSurfaceIPC::localIOSurfaceIDFromRemotingSurfaceID(0), 0u);
    CFRelease(surface);
}

TEST(MachRunLoopThread, SharedThreadsAreMadeOnceAndRunning) {
    std::vector<std::future<MachRunLoopThread *>> racing;
    for (int i = 0; i < 4; ++i)
        racing.push_back(std::async(std::launch::async, [] { return MachRunLoopThread::sharedLocalRunLoopThread(); }));
    MachRunLoopThread *local = racing[0].get();
    for (size_t i = 1; i < racing.size(); ++i) EXPECT_EQ(racing[i].get(), local);
    ASSERT_NE(local->threadRunLoop(), nullptr);
    EXPECT_EQ(local->name(), "sharedLocalRunLoopThread");
    EXPECT_EQ(local->threadHeartbeat(), 1.0);
    MachRunLoopThread *server = MachRunLoopThread::sharedServerRunLoopThread();
    EXPECT_NE(server, local);
    EXPECT_EQ(server->name(), "sharedServerRunLoopThread");

    // A thread of its own calls its delegate each heartbeat and ends when let go.
    struct Beats : MachRunLoopThreadDelegate {
        std::atomic<int> count{0};
        void runLoopThreadHeartbeatTimer(MachRunLoopThread *, MachPortRunLoopTimer &) override { ++count; }
    };
    auto beats = std::make_shared<Beats>();
    auto thread = MachRunLoopThread::runloopThreadWithDelegate(beats, 0.01);
    EXPECT_NE(thread->threadRunLoop(), nullptr);
    EXPECT_TRUE(WaitFor([&] { return beats->count.load() >= 3; }));
    thread->stopHeartbeatTimerAndCancelThread();
    EXPECT_TRUE(thread->isCancelled());
    EXPECT_EQ(thread->threadHeartbeatTimer(), nullptr);
    thread.reset();
}

TEST(MachMessageConnection, RegistryFollowsConnectAndDisconnect) {
    EXPECT_EQ(MachMessageConnection::connectionForMachPort(0x12345), nullptr);
    auto connection = std::make_shared<MachMessageConnection>();
    connection->initWithDelegate(nullptr);
    EXPECT_FALSE(connection->isConnected());
    EXPECT_FALSE(connection->connectWithServerMachPort(nullptr));
    std::shared_ptr<NSMachPort> server = NSMachPort::port();
    ASSERT_TRUE(connection->connectWithServerMachPort(server));
    EXPECT_TRUE(connection->isConnected());
    const uint32_t serverName = connection->serverPortName(), localName = connection->localPortName();
    EXPECT_NE(serverName, localName);
    EXPECT_EQ(MachMessageConnection::connectionForMachPort(serverName), connection);
    EXPECT_EQ(MachMessageConnection::connectionForMachPort(localName), connection);
    EXPECT_TRUE(connection->disconnect());
    EXPECT_FALSE(connection->isConnected());
    EXPECT_EQ(MachMessageConnection::connectionForMachPort(serverName), nullptr);
    EXPECT_EQ(MachMessageConnection::connectionForMachPort(localName), nullptr);
}

TEST(MachMessageConnection, ADeathOfAPortOfNoConnectionReachesClientPortDied) {
    struct Watching : MachMessageConnection {
        std::atomic<int> clientDeaths{0};
        void clientPortDied(const std::shared_ptr<NSMachPort> &) override { ++clientDeaths; }
    };
    auto first = std::make_shared<Watching>(), second = std::make_shared<Watching>();
    first->initWithDelegate(nullptr);
    second->initWithDelegate(nullptr);
    NSMachPort::port()->invalidate();
    EXPECT_EQ(first->clientDeaths.load(), 1);
    EXPECT_EQ(second->clientDeaths.load(), 1);
}

// The demultiplexer on requests written here: the shapes the interface refuses.
TEST(IOSurfaceSharing, DemultiplexerAnswersEveryShape) {
    struct Case {
        const char *what;
        mach_msg_id_t id;
        bool complex;
        uint32_t size;
        uint32_t descriptors;
        uint32_t disposition;
        bool accepted;
        kern_return_t code;
    } cases[] = {
        {"unknown id", 29005, false, 48, 0, 0, false, MIG_BAD_ID},
        {"broadcast with two descriptors", 29003, true, 68, 2, 17, true, MIG_BAD_ARGUMENTS},
        {"broadcast holding a receive right", 29003, true, 56, 1, 16, true, MIG_TYPE_ERROR},
        {"broadcast not complex", 29003, false, 56, 1, 17, true, MIG_BAD_ARGUMENTS},
        {"check-in too short", 29001, true, 60, 1, 17, true, MIG_BAD_ARGUMENTS},
        {"check-in without descriptor", 29001, true, 64, 0, 17, true, MIG_BAD_ARGUMENTS},
        {"frame-in with one descriptor", 29002, true, 68, 1, 17, true, MIG_BAD_ARGUMENTS},
        {"command that is complex", 29004, true, 48, 0, 0, true, MIG_BAD_ARGUMENTS},
        {"command of another size", 29004, false, 52, 0, 0, true, MIG_BAD_ARGUMENTS},
        {"broadcast on a port of no connection", 29003, true, 56, 1, 17, true, KERN_SUCCESS},
        {"command on a port of no connection", 29004, false, 48, 0, 0, true, KERN_SUCCESS},
    };
    for (const Case &c : cases) {
        alignas(8) uint8_t request[128] = {};
        auto *head = reinterpret_cast<mach_msg_header_t *>(request);
        head->msgh_bits = (c.complex ? MACH_MSGH_BITS_COMPLEX : 0) | MACH_MSGH_BITS(MACH_MSG_TYPE_PORT_SEND_ONCE, 0);
        head->msgh_size = c.size;
        head->msgh_remote_port = 0x999;  // the reply right, never used here
        head->msgh_local_port = 0x777;   // registered for no connection
        head->msgh_id = c.id;
        if (c.complex) {
            std::memcpy(request + 24, &c.descriptors, 4);
            for (uint32_t i = 0; i < c.descriptors; ++i) request[28 + i * 12 + 10] = uint8_t(c.disposition);
        }
        std::memcpy(request + (c.complex ? 28 + 12 * c.descriptors : 24), &NDR_record, 8);
        alignas(8) uint8_t replyBuffer[IOSurfaceSharing::kMaxReplySize];
        auto *reply = reinterpret_cast<IOSurfaceSharing::Reply *>(replyBuffer);
        EXPECT_EQ(IOSurfaceSharing_server(head, &reply->Head), c.accepted) << c.what;
        EXPECT_EQ(reply->RetCode, c.code) << c.what;
        EXPECT_EQ(reply->Head.msgh_id, c.id + 100) << c.what;
        EXPECT_EQ(reply->Head.msgh_size, 36u) << c.what;
        EXPECT_EQ(reply->Head.msgh_remote_port, 0x999u) << c.what;
        EXPECT_EQ(reply->Head.msgh_bits, uint32_t(MACH_MSG_TYPE_PORT_SEND_ONCE)) << c.what;
    }
}

TEST(IOSurfaceSharing, RequestLayoutsAreByteExact) {
    IOSurfaceSharing::Request_BroadcastFrameSurface request;
    IOSurfaceSharing_BuildBroadcastFrameSurface(request, 0x1111, 0x2222, 0x0102030405060708ull, 0x3333);
    const uint8_t expected[56] = {
        0x13, 0x15, 0x00, 0x80, 56, 0, 0, 0, 0x11, 0x11, 0, 0, 0x22, 0x22, 0, 0, 0, 0, 0, 0, 0x4b, 0x71, 0, 0,  // header
        1, 0, 0, 0,                                                                                          // count
        0x33, 0x33, 0, 0, 0, 0, 0, 0, 0, 0, 0x13, 0,                                                         // descriptor
        0, 0, 0, 0, 1, 0, 0, 0,                                                                              // NDR
        8, 7, 6, 5, 4, 3, 2, 1};
    EXPECT_EQ(std::memcmp(&request, expected, 56), 0);
}

TEST(IOSurfaceMachServer, CheckInsBroadcastsAndCommands) {
    RecordingDelegate delegate;
    auto server = IOSurfaceMachServer::serverWithDelegate(&delegate);
    ASSERT_TRUE(server->publishServerConnectionWithServerPortName("test.sharing.inproc"));
    EXPECT_EQ(server->serverOutputPortName(), "test.sharing.inproc");
    // A second server is refused the name while the first one lives.
    auto rival = IOSurfaceMachServer::serverWithDelegate(nullptr);
    EXPECT_FALSE(rival->publishServerConnectionWithServerPortName("test.sharing.inproc"));
    EXPECT_FALSE(rival->isConnected());

    auto first = InProcessClient::Connect("test.sharing.inproc");
    auto second = InProcessClient::Connect("test.sharing.inproc");
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    uint32_t index = 0;
    ASSERT_TRUE(first->__mach_call_ClientCheckIn(7, 1, &index));
    EXPECT_EQ(index, 1u);
    ASSERT_TRUE(second->__mach_call_ClientCheckIn(8, 1, &index));
    EXPECT_EQ(index, 2u);
    ASSERT_TRUE(second->__mach_call_ClientCheckIn(8, 1, &index));
    EXPECT_EQ(index, 2u);
    EXPECT_EQ(server->remoteClients().size(), 2u);
    EXPECT_TRUE(server->hasClientWithUniqueID(7));
    EXPECT_FALSE(server->hasClientWithUniqueID(9));
    EXPECT_EQ(delegate.connected, (std::vector<uint64_t>{7, 8, 8}));
    EXPECT_NE(server->remoteClients()[0]->description().find("RemoteClient\nportName:"), std::string::npos);

    IOSurfaceRef surface = FrameSurface();
    ASSERT_TRUE(server->broadcastFrameSurface(surface, 4242));
    ASSERT_TRUE(WaitFor([&] { return first->frameCount() == 1 && second->frameCount() == 1; }));
    EXPECT_EQ(first->frames[0], std::make_pair(IOSurfaceGetID(surface), uint64_t(4242)));
    // No surface: identifier 0 has no port, so nothing is sent.
    ASSERT_TRUE(server->broadcastFrameSurface(nullptr, 1));
    ASSERT_TRUE(server->broadcastControlCommandName(5, 6));
    EXPECT_EQ(first->commands, (std::vector<std::pair<uint64_t, uint64_t>>{{5, 6}}));
    EXPECT_EQ(first->frameCount(), 1u);
    // Replies come back: nothing stays pending.
    EXPECT_TRUE(WaitFor([&] {
        auto clients = server->remoteClients();
        return std::all_of(clients.begin(), clients.end(), [](auto &c) { return c->pendingReplies() == 0; });
    }));

    // A client that goes: its entry goes, the delegate hears of it, broadcasts skip it.
    first->disconnect();
    EXPECT_TRUE(WaitFor([&] { return server->remoteClients().size() == 1; }));
    EXPECT_TRUE(WaitFor([&] { return delegate.disconnected.load() >= 1; }));
    server->broadcastFrameSurface(surface, 2);
    EXPECT_TRUE(WaitFor([&] { return second->frameCount() == 2; }));

    EXPECT_TRUE(server->stopServer());
    EXPECT_EQ(server->remoteClients().size(), 0u);
    // The name is free again at once.
    EXPECT_TRUE(rival->publishServerConnectionWithServerPortName("test.sharing.inproc"));
    rival->stopServer();
    second->disconnect();
    server->setDelegate(nullptr);
    CFRelease(surface);
}

// A service that takes the check-in and drops the reply right unanswered: the server "died".
TEST(IOSurfaceSharing, ADroppedReplyRightFailsTheCallWithServerDied) {
    mach_port_t service = MACH_PORT_NULL;
    ASSERT_EQ(bootstrap_check_in(bootstrap_port, "test.sharing.silent", &service), KERN_SUCCESS);
    std::thread silent([&] {
        alignas(8) uint8_t buffer[256];
        if (mach_msg(reinterpret_cast<mach_msg_header_t *>(buffer), MACH_RCV_MSG | MACH_RCV_TIMEOUT, 0, sizeof buffer,
                     service, 5000, 0) == MACH_MSG_SUCCESS)
            mach_msg_destroy(reinterpret_cast<mach_msg_header_t *>(buffer));
    });
    auto client = InProcessClient::Connect("test.sharing.silent");
    ASSERT_NE(client, nullptr);
    uint32_t index = 0;
    EXPECT_EQ(__mach_IOSurfaceSharingConnectClient_ClientCheckIn(client->serverPortName(), client->localPortName(), 1,
                                                                 1, &index),
              MIG_SERVER_DIED);
    silent.join();
    // A service that never answers: the call gives up after its time-out.
    const auto start = Clock::now();
    EXPECT_EQ(__mach_IOSurfaceSharingConnectClient_ClientCheckIn(client->serverPortName(), client->localPortName(), 1,
                                                                 1, &index, 100),
              MACH_RCV_TIMED_OUT);
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(2));
    client->disconnect();
    mach_port_mod_refs(mach_task_self(), service, MACH_PORT_RIGHT_RECEIVE, -1);
}

TEST(IOSurfaceMachServer, ClientProcessReceivesFramesAndReadsTheirPixels) {
    RecordingDelegate delegate;
    auto server = IOSurfaceMachServer::serverWithDelegate(&delegate);
    ASSERT_TRUE(server->publishServerConnectionWithServerPortName(kService));
    IOSurfaceRef surface = FrameSurface();
    ASSERT_NE(surface, nullptr);
    ChildProcess client({LUMORA_FRAMESHARING_CLIENT, "mach", kService, "3"});
    ASSERT_EQ(client.line(), "checkin 1 1");
    EXPECT_TRUE(server->hasClientWithUniqueIdentifierString(std::string("com.example.client")));
    for (uint32_t frame = 1; frame <= 3; ++frame) {
        WriteFirstPixel(surface, 0xA0B0C000u + frame);
        server->broadcastFrameSurface(surface, 1000 + frame);
        char expected[96];
        std::snprintf(expected, sizeof expected, "frame %u %u 0%uc0b0a0", IOSurfaceGetID(surface), 1000 + frame, frame);
        EXPECT_EQ(client.line(), expected);
    }
    EXPECT_EQ(WEXITSTATUS(client.finish()), 0);
    EXPECT_TRUE(WaitFor([&] { return server->remoteClients().empty(); }));
    server->stopServer();
    server->setDelegate(nullptr);
    CFRelease(surface);
}

// One client stopped (SIGSTOP) and one killed: the broadcast never waits for them, and both
// are dropped.
TEST(IOSurfaceMachServer, StoppedAndDeadClientsDoNotSlowTheBroadcast) {
    RecordingDelegate delegate;
    auto server = IOSurfaceMachServer::serverWithDelegate(&delegate);
    ASSERT_TRUE(server->publishServerConnectionWithServerPortName(kService));
    IOSurfaceRef surface = FrameSurface();
    ChildProcess stopped({LUMORA_FRAMESHARING_CLIENT, "mach", kService, "1000000"});
    ChildProcess dead({LUMORA_FRAMESHARING_CLIENT, "mach", kService, "1000000"});
    ASSERT_EQ(stopped.line().substr(0, 9), "checkin 1");
    ASSERT_EQ(dead.line().substr(0, 9), "checkin 1");
    ASSERT_EQ(server->remoteClients().size(), 2u);
    stopped.signal(SIGSTOP);
    dead.finish(true);

    std::vector<double> times;
    const auto start = Clock::now();
    while (Clock::now() - start < std::chrono::seconds(5)) {
        const auto before = Clock::now();
        server->broadcastFrameSurface(surface, 1);
        times.push_back(std::chrono::duration<double, std::milli>(Clock::now() - before).count());
        if (server->remoteClients().empty() && times.size() > 10) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    std::sort(times.begin(), times.end());
    const double slowest = times.back(), median = times[times.size() / 2];
    std::printf("broadcast with a stopped and a dead client: %zu frames, median %.3f ms, slowest %.3f ms\n",
                times.size(), median, slowest);
    EXPECT_TRUE(server->remoteClients().empty());
    EXPECT_EQ(delegate.disconnected.load(), 2);
    EXPECT_LT(slowest, 250.0);  // a loaded machine, a sanitizer build: no send ever waits
    EXPECT_LT(median, 5.0);
    stopped.finish(true);
    server->stopServer();
    server->setDelegate(nullptr);
    CFRelease(surface);
}

// Requests written straight to the service socket by a process of this user.
TEST(IOSurfaceMachServer, HostileRequestsAreAnsweredOrDroppedAndTheServerStaysUp) {
    RecordingDelegate delegate;
    auto server = IOSurfaceMachServer::serverWithDelegate(&delegate);
    ASSERT_TRUE(server->publishServerConnectionWithServerPortName(kService));
    const std::string path = std::string(bootstrap_runtime_folder()) + "/" + kService;
    const int raw = ::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strcpy(address.sun_path, path.c_str());
    ASSERT_EQ(::connect(raw, reinterpret_cast<sockaddr *>(&address), sizeof address), 0);
    // Every request carries a reply right: one end of a pair whose other end we read.
    auto ask = [&](std::vector<uint8_t> bytes, std::vector<int> extra) -> std::vector<uint8_t> {
        int pair[2];
        ::socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, pair);
        std::vector<int> fds = {pair[1]};
        fds.insert(fds.end(), extra.begin(), extra.end());
        iovec io{bytes.data(), bytes.size()};
        msghdr header{};
        header.msg_iov = &io;
        header.msg_iovlen = 1;
        alignas(cmsghdr) char control[CMSG_SPACE(sizeof(int) * 8)] = {};
        header.msg_control = control;
        header.msg_controllen = CMSG_SPACE(sizeof(int) * fds.size());
        cmsghdr *message = CMSG_FIRSTHDR(&header);
        message->cmsg_level = SOL_SOCKET;
        message->cmsg_type = SCM_RIGHTS;
        message->cmsg_len = CMSG_LEN(sizeof(int) * fds.size());
        std::memcpy(CMSG_DATA(message), fds.data(), sizeof(int) * fds.size());
        ::sendmsg(raw, &header, 0);
        ::close(pair[1]);
        std::vector<uint8_t> reply(128);
        timeval wait{2, 0};
        ::setsockopt(pair[0], SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
        const ssize_t got = ::recv(pair[0], reply.data(), reply.size(), 0);
        ::close(pair[0]);
        reply.resize(got > 0 ? size_t(got) : 0);
        return reply;
    };
    auto request = [](mach_msg_id_t id, uint32_t size, bool complex, uint32_t descriptors) {
        std::vector<uint8_t> bytes(size, 0);
        const uint32_t words[6] = {(complex ? MACH_MSGH_BITS_COMPLEX : 0) |
                                       MACH_MSGH_BITS(MACH_MSG_TYPE_COPY_SEND, MACH_MSG_TYPE_MAKE_SEND_ONCE),
                                   size, 0, 1, 0, uint32_t(id)};
        std::memcpy(bytes.data(), words, std::min<size_t>(size, 24));
        if (complex && size >= 28) std::memcpy(bytes.data() + 24, &descriptors, 4);
        return bytes;
    };
    auto code = [](const std::vector<uint8_t> &reply) {
        int32_t value = 1;
        if (reply.size() >= 36) std::memcpy(&value, reply.data() + 32, 4);
        return value;
    };
    auto replyID = [](const std::vector<uint8_t> &reply) {
        int32_t value = 0;
        if (reply.size() >= 24) std::memcpy(&value, reply.data() + 20, 4);
        return value;
    };
    const int before = OpenDescriptors();
    std::vector<uint8_t> reply = ask(request(29005, 48, false, 0), {});
    EXPECT_EQ(replyID(reply), 29105);
    EXPECT_EQ(code(reply), MIG_BAD_ID);
    reply = ask(request(29001, 60, true, 0), {});
    EXPECT_EQ(code(reply), MIG_BAD_ARGUMENTS);
    reply = ask(request(29004, 48, true, 0), {});
    EXPECT_EQ(code(reply), MIG_BAD_ARGUMENTS);
    // Extra descriptors (real rights) on a check-in: refused, the rights given up.
    int pairA[2], pairB[2];
    ::socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, pairA);
    ::socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, pairB);
    std::vector<uint8_t> extra = request(29001, 76, true, 2);
    for (int i = 0; i < 2; ++i) {
        extra[28 + 12 * i] = 1;
        extra[28 + 12 * i + 10] = MACH_MSG_TYPE_COPY_SEND;
    }
    reply = ask(extra, {pairA[1], pairB[1]});
    EXPECT_EQ(code(reply), MIG_BAD_ARGUMENTS);
    ::close(pairA[1]);
    ::close(pairB[1]);
    char byte;
    EXPECT_EQ(::recv(pairA[0], &byte, 1, MSG_DONTWAIT), 0);  // the server let its right go
    ::close(pairA[0]);
    ::close(pairB[0]);
    // A flood of bad requests: each answered (or, when it is not even a sound message,
    // destroyed unanswered), nothing kept.
    for (int i = 0; i < 300; ++i) {
        const uint32_t size = 24 + 4 * (i % 10), count = uint32_t(i % 5);
        const bool complex = (i % 3) == 0;
        const bool sound = !complex || (size >= 28 && 28 + 12 * count <= size);
        reply = ask(request(i % 2 ? 30000 + i : 29001 + i % 4, size, complex, count), {});
        ASSERT_EQ(reply.empty(), !sound) << i;
        if (sound) {
            EXPECT_NE(code(reply), 0) << i;
        }
    }
    EXPECT_TRUE(delegate.connected.empty());
    EXPECT_LE(OpenDescriptors(), before + 2);
    // Still serving.
    auto client = InProcessClient::Connect(kService);
    uint32_t index = 0;
    ASSERT_NE(client, nullptr);
    EXPECT_TRUE(client->__mach_call_ClientCheckIn(3, 1, &index));
    EXPECT_EQ(index, 1u);
    client->disconnect();
    ::close(raw);
    server->stopServer();
    server->setDelegate(nullptr);
}

}  // namespace
