// Frame sharing over the Mach channel, 640 x 480 'BGRA'.
//   HandOff: render (write the frame into the shared surface), announce it to one checked-in
//   client and wait until the client has looked the surface up and read its pixels; against
//   the floor, a plain memcpy of the frame.
//   Broadcast/N: the time the frame loop spends in one broadcast to N clients (the replies
//   are waited for outside the measured time, so every broadcast finds the clients idle).
//   WindowChannelSend: the window channel's share of a frame (the packet built, laid out as
//   pixels and painted into its window), on the offscreen Qt platform.
// The clients are connections of this process served on the shared local run-loop thread,
// as a client process's would be on its own.
#include <FrameSharing/Mach/IOSurfaceIPC.h>
#include <FrameSharing/Mach/IOSurfaceMachServer.h>
#include <FrameSharing/Window/IOSurfaceSharingNSWindowServer.h>

#include <QApplication>

#include <IOSurface/IOSurface.h>

#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

constexpr int kWidth = 640, kHeight = 480;
constexpr size_t kFrameBytes = size_t(kWidth) * kHeight * 4;

void UsePrivateRuntimeFolder() {
    static char folder[4096];
    if (folder[0] != '\0') return;
    const char *tmp = std::getenv("TMPDIR");
    std::snprintf(folder, sizeof folder, "%s/lumora-bench-XXXXXX", tmp && *tmp ? tmp : "/tmp");
    if (::mkdtemp(folder) == nullptr) std::abort();
    ::setenv("XDG_RUNTIME_DIR", folder, 1);
}

class Client : public IOSurfaceMachConnection {
public:
    static std::shared_ptr<Client> Connect(const char *service) {
        std::shared_ptr<NSMachPort> server = NSMachBootstrapServer::sharedInstance()->portForName(service);
        if (server == nullptr) return nullptr;
        auto client = std::make_shared<Client>();
        client->initWithDelegate(nullptr);
        if (!client->connectWithServerMachPort(server)) return nullptr;
        client->runServerConnectionOnMachPort(server);
        client->runLocalConnectionOnMachPort(client->localPort());
        uint32_t index = 0;
        if (!client->__mach_call_ClientCheckIn(1, 1, &index)) return nullptr;
        return client;
    }
    // The client sees the pixels: it looks the surface up (once, then keeps it, as a client
    // caches its surface) and reads the frame's first and last pixel under a read lock.
    int32_t __mach_message_BroadcastFrameSurfaceTime(uint64_t, uint32_t surfaceID) override {
        if (mSurface == nullptr || IOSurfaceGetID(mSurface) != surfaceID) {
            if (mSurface != nullptr) CFRelease(mSurface);
            mSurface = IOSurfaceLookup(surfaceID);
        }
        if (mSurface != nullptr && IOSurfaceLock(mSurface, kIOSurfaceLockReadOnly, nullptr) == kIOReturnSuccess) {
            const auto *bytes = static_cast<const uint8_t *>(IOSurfaceGetBaseAddress(mSurface));
            seen.store(uint32_t(bytes[0]) << 8 | bytes[kFrameBytes - 1]);
            IOSurfaceUnlock(mSurface, kIOSurfaceLockReadOnly, nullptr);
        }
        frames.fetch_add(1);
        return 0;
    }
    ~Client() override {
        if (mSurface != nullptr) CFRelease(mSurface);
    }
    std::atomic<uint32_t> seen{0};
    std::atomic<uint64_t> frames{0};

private:
    IOSurfaceRef mSurface = nullptr;
};

struct Channel {
    std::shared_ptr<IOSurfaceMachServer> server;
    std::vector<std::shared_ptr<Client>> clients;
    IOSurfaceRef surface = nullptr;

    explicit Channel(int count) {
        UsePrivateRuntimeFolder();
        static int serial = 0;
        const std::string name = "bench.sharing." + std::to_string(++serial);
        server = IOSurfaceMachServer::serverWithDelegate(nullptr);
        if (!server->publishServerConnectionWithServerPortName(name)) return;
        for (int i = 0; i < count; ++i) {
            auto client = Client::Connect(name.c_str());
            if (client == nullptr) return;
            clients.push_back(client);
        }
        surface = IOSurfaceIPC::globalSurfaceWithSizePixels(kWidth, kHeight, 0x42475241);
    }
    ~Channel() {
        for (auto &client : clients) client->disconnect();
        if (server) server->stopServer();
        if (surface != nullptr) CFRelease(surface);
    }
    bool ok() const { return surface != nullptr && server->remoteClients().size() == clients.size(); }
    void waitForReplies() {
        for (;;) {
            bool idle = true;
            for (const auto &client : server->remoteClients()) idle = idle && client->pendingReplies() == 0;
            if (idle) return;
            std::this_thread::yield();
        }
    }
};

void BM_HandOff(benchmark::State &state) {
    Channel channel(1);
    if (!channel.ok()) {
        state.SkipWithError("no channel");
        return;
    }
    std::vector<uint8_t> frame(kFrameBytes);
    Client &client = *channel.clients[0];
    uint8_t value = 0;
    for (auto _ : state) {
        ++value;
        std::memset(frame.data(), value, 16);
        frame[kFrameBytes - 1] = value;
        IOSurfaceLock(channel.surface, 0, nullptr);
        std::memcpy(IOSurfaceGetBaseAddress(channel.surface), frame.data(), kFrameBytes);
        IOSurfaceUnlock(channel.surface, 0, nullptr);
        const uint32_t expected = uint32_t(value) << 8 | value;
        channel.server->broadcastFrameSurface(channel.surface, 1);
        while (client.seen.load() != expected) {
        }
        channel.waitForReplies();
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(kFrameBytes));
}
BENCHMARK(BM_HandOff)->UseRealTime();

void BM_FramePlainMemcpy(benchmark::State &state) {
    std::vector<uint8_t> frame(kFrameBytes, 0x40), out(kFrameBytes);
    for (auto _ : state) {
        std::memcpy(out.data(), frame.data(), kFrameBytes);
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(kFrameBytes));
}
BENCHMARK(BM_FramePlainMemcpy);

void BM_Broadcast(benchmark::State &state) {
    Channel channel(int(state.range(0)));
    if (!channel.ok()) {
        state.SkipWithError("no channel");
        return;
    }
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        channel.server->broadcastFrameSurface(channel.surface, 1);
        const auto end = std::chrono::steady_clock::now();
        state.SetIterationTime(std::chrono::duration<double>(end - start).count());
        channel.waitForReplies();
    }
}
BENCHMARK(BM_Broadcast)->Arg(1)->Arg(8)->UseManualTime();

void BM_WindowChannelSend(benchmark::State &state) {
    static QApplication *application = [] {
        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
        static int argc = 1;
        static char name[] = "FrameSharingBench";
        static char *argv[] = {name, nullptr};
        return new QApplication(argc, argv);
    }();
    (void)application;
    IOSurfaceSharingNSWindowServer server(
        QVariant::fromValue(IOSurfaceSharingConnectionID(QStringLiteral("bench.window"), 30300)));
    IOSurfaceRef surface = IOSurfaceIPC::globalSurfaceWithSizePixels(kWidth, kHeight, 0x42475241);
    if (surface == nullptr || !server.hasServerConnection()) {
        state.SkipWithError("no window");
        return;
    }
    uint64_t time = 0;
    for (auto _ : state) benchmark::DoNotOptimize(server.broadcastSurfaceWithSurfaceTime(surface, ++time));
    CFRelease(surface);
}
BENCHMARK(BM_WindowChannelSend);

}  // namespace
