// The image unit and its sharing client: the client's connection against servers that behave
// and servers that do not (refusing, stalling, answering garbage, going away), the filter as a
// host loads it, and a host process showing the frames a server shares.
#include <gtest/gtest.h>

#include <CILumora2Input/CILumora2Input.h>
#include <CILumora2Input/IOSurfaceMachClientConnection.h>
#include <CILumora2Input/IOSurfaceSharingClientQuartz.h>

#include <FrameSharing/Mach/IOSurfaceIPC.h>
#include <FrameSharing/Mach/IOSurfaceMachServer.h>
#include <FrameSharing/Mach/IOSurfaceSharing.h>

#include <CoreFoundation/CoreFoundation.h>
#include <CoreImage/CIFilter.h>
#include <CoreImage/CIPlugIn.h>
#include <CoreX/UCodeEntitlements.h>
#include <IOSurface/IOSurface.h>
#include <Mach/bootstrap.h>
#include <Mach/port.h>

#include "support/ChildProcess.h"

#include <atomic>
#include <cfloat>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;
using lumora::test::ChildProcess;

template <typename Condition>
bool WaitFor(Condition condition, std::chrono::milliseconds limit = 5000ms) {
    const auto end = Clock::now() + limit;
    while (!condition()) {
        if (Clock::now() > end) return false;
        std::this_thread::sleep_for(2ms);
    }
    return true;
}

// A global 640 x 480 'BGRA' surface of one colour (bytes B, G, R, A).
IOSurfaceRef ColouredSurface(uint8_t b, uint8_t g, uint8_t r) {
    IOSurfaceRef surface = IOSurfaceIPC::globalSurfaceWithSizePixels(640, 480, 0x42475241 /* 'BGRA' */);
    if (surface == nullptr) return nullptr;
    IOSurfaceLock(surface, 0, nullptr);
    auto *bytes = static_cast<uint8_t *>(IOSurfaceGetBaseAddress(surface));
    const size_t rowBytes = IOSurfaceGetBytesPerRow(surface);
    for (size_t y = 0; y < 480; ++y)
        for (size_t x = 0; x < 640; ++x) {
            uint8_t *p = bytes + y * rowBytes + x * 4;
            p[0] = b, p[1] = g, p[2] = r, p[3] = 0xff;
        }
    IOSurfaceUnlock(surface, 0, nullptr);
    return surface;
}

// A server that refuses check-ins while `refuse` is set.
class RefusingServer : public IOSurfaceMachServer {
public:
    int32_t __mach_message_ClientCheckIn(uint32_t port, uint64_t clientID, uint64_t type, uint32_t *index) override {
        if (refuse.load()) {
            if (MACH_PORT_VALID(port)) mach_port_deallocate(mach_task_self(), port);
            return KERN_FAILURE;
        }
        return IOSurfaceMachServer::__mach_message_ClientCheckIn(port, clientID, type, index);
    }
    std::atomic<bool> refuse{true};
};

std::shared_ptr<RefusingServer> PublishRefusingServer(const std::string &name) {
    auto server = std::make_shared<RefusingServer>();
    server->initWithDelegate(nullptr);
    if (!server->publishServerConnectionWithServerPortName(name)) return nullptr;
    return server;
}

class RecordingDelegate : public IOSurfaceMachClientConnectionDelegate {
public:
    void clientConnected(IOSurfaceMachClientConnection *) override { ++connected; }
    void clientDisconnected(IOSurfaceMachClientConnection *) override { ++disconnected; }
    void clientSurfaceArrived(IOSurfaceMachClientConnection *, IOSurfaceRef, uint64_t time) override {
        lastTime = time;
        ++surfaces;
    }
    void clientControlCommand(IOSurfaceMachClientConnection *, uint64_t name, uint64_t value) override {
        lastCommand = name * 1000 + value;
    }
    std::atomic<int> connected{0}, disconnected{0}, surfaces{0};
    std::atomic<uint64_t> lastTime{0}, lastCommand{0};
};

// ---- The client connection ----------------------------------------------------------------

TEST(ImageUnitClientConnection, ChecksInReceivesFramesAndLetsGoWhenTheServerDies) {
    RecordingDelegate delegate;
    // No service yet: not connected, nothing told.
    auto connection = IOSurfaceMachClientConnection::clientConnectionWithServerPortName("test.unit.plain", &delegate);
    EXPECT_FALSE(connection->isConnected());
    EXPECT_EQ(delegate.connected.load(), 0);

    auto server = IOSurfaceMachServer::serverWithDelegate(nullptr);
    ASSERT_TRUE(server->publishServerConnectionWithServerPortName("test.unit.plain"));
    ASSERT_TRUE(connection->connectWithServerMachPortName("test.unit.plain"));
    EXPECT_TRUE(connection->isConnected());
    EXPECT_EQ(delegate.connected.load(), 1);
    EXPECT_EQ(connection->clientIndex(), 1u);
    // The test program is a bare tool: no bundle identifier, identifier 0.
    EXPECT_EQ(IOSurfaceMachClientConnection::clientUniqueIdentifierString(), std::nullopt);
    EXPECT_EQ(connection->clientID(), 0u);
    EXPECT_TRUE(server->hasClientWithUniqueID(0));

    IOSurfaceRef surface = ColouredSurface(1, 2, 3);
    ASSERT_NE(surface, nullptr);
    ASSERT_TRUE(server->broadcastFrameSurface(surface, 77));
    ASSERT_TRUE(WaitFor([&] { return connection->hasCachedSurface(); }));
    IOSurfaceRef cached = connection->cachedSurfaceCopy();
    EXPECT_EQ(IOSurfaceGetID(cached), IOSurfaceGetID(surface));
    CFRelease(cached);
    EXPECT_EQ(delegate.lastTime.load(), 77u);
    ASSERT_TRUE(server->broadcastControlCommandName(4, 2));
    EXPECT_EQ(delegate.lastCommand.load(), 4002u);
    // A surface the client cannot look up is dropped; the previous one stays.
    EXPECT_EQ(connection->__mach_message_BroadcastFrameSurfaceTime(5, 0x7ffffff0), 0);
    EXPECT_TRUE(connection->hasCachedSurface());

    // The server goes: the delegate hears of it, the ports and the surface go.
    EXPECT_TRUE(server->stopServer());
    EXPECT_TRUE(WaitFor([&] { return delegate.disconnected.load() == 1; }));
    EXPECT_TRUE(WaitFor([&] { return !connection->isConnected() && !connection->hasCachedSurface(); }));
    EXPECT_FALSE(connection->sendServerFrameSurface(surface, 1));
    connection->setDelegate(nullptr);
    CFRelease(surface);
}

// Servers that do not take the check-in: the connection answers false and is left
// disconnected, so that whoever retries connects anew.
TEST(ImageUnitClientConnection, AFailedCheckInLeavesItDisconnected) {
    RecordingDelegate delegate;
    {
        auto server = PublishRefusingServer("test.unit.refusing");
        ASSERT_NE(server, nullptr);
        auto connection = std::make_shared<IOSurfaceMachClientConnection>();
        connection->initWithServerPortName("test.unit.refusing", &delegate);
        EXPECT_FALSE(connection->isConnected());
        EXPECT_FALSE(connection->connectWithServerMachPortName("test.unit.refusing"));
        EXPECT_FALSE(connection->isConnected());
        EXPECT_EQ(server->remoteClients().size(), 0u);
        server->refuse = false;
        EXPECT_TRUE(connection->connectWithServerMachPortName("test.unit.refusing"));
        EXPECT_EQ(server->remoteClients().size(), 1u);
        connection->setDelegate(nullptr);
        connection->disconnect();
        server->stopServer();
    }
    // A service that answers the check-in with a reply of the wrong id and size.
    mach_port_t service = MACH_PORT_NULL;
    ASSERT_EQ(bootstrap_check_in(bootstrap_port, "test.unit.garbage", &service), KERN_SUCCESS);
    std::thread garbage([service] {
        alignas(8) uint8_t buffer[256];
        auto *request = reinterpret_cast<mach_msg_header_t *>(buffer);
        if (mach_msg(request, MACH_RCV_MSG | MACH_RCV_TIMEOUT, 0, sizeof buffer, service, 5000, 0) != MACH_MSG_SUCCESS)
            return;
        alignas(8) uint8_t reply[36] = {};
        auto *head = reinterpret_cast<mach_msg_header_t *>(reply);
        head->msgh_bits = MACH_MSGH_BITS(MACH_MSGH_BITS_REMOTE(request->msgh_bits), 0);
        head->msgh_size = sizeof reply;
        head->msgh_remote_port = request->msgh_remote_port;
        head->msgh_id = 4242;
        request->msgh_remote_port = MACH_PORT_NULL;
        mach_msg(head, MACH_SEND_MSG | MACH_SEND_TIMEOUT, sizeof reply, 0, MACH_PORT_NULL, 1000, MACH_PORT_NULL);
        mach_msg_destroy(request);
    });
    auto connection = std::make_shared<IOSurfaceMachClientConnection>();
    connection->initWithServerPortName("test.unit.garbage", &delegate);
    garbage.join();
    EXPECT_FALSE(connection->isConnected());
    EXPECT_EQ(delegate.connected.load(), 1);  // the one check-in that the server took
    connection->setDelegate(nullptr);
    mach_port_mod_refs(mach_task_self(), service, MACH_PORT_RIGHT_RECEIVE, -1);
}

// ---- The shared client --------------------------------------------------------------------

TEST(ImageUnitSharingClient, CountsUsersAndLooksWhileThereAreAny) {
    IOSurfaceSharingClientQuartz client("test.unit.counting");
    // Counting out at 0 stays at 0.
    EXPECT_EQ(client.disconnectCount(), 0);
    EXPECT_EQ(client.connectCount(), 1);
    EXPECT_EQ(client.connectCount(), 2);
    client.waitForPendingWork();
    EXPECT_NE(client.clientConnection(), nullptr);  // looking
    EXPECT_EQ(client.disconnectCount(), 1);
    client.waitForPendingWork();
    EXPECT_NE(client.clientConnection(), nullptr);  // one user left
    EXPECT_EQ(client.disconnectCount(), 0);
    client.waitForPendingWork();
    EXPECT_EQ(client.clientConnection(), nullptr);  // idle

    // Counts in and out from many threads at once end where they began.
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t)
        threads.emplace_back([&client] {
            for (int i = 0; i < 200; ++i) {
                client.connectCount();
                client.disconnectCount();
            }
        });
    for (auto &thread : threads) thread.join();
    EXPECT_EQ(client.count(), 0);
    client.waitForPendingWork();
    EXPECT_EQ(client.clientConnection(), nullptr);
}

// The search retries every half second: a refused check-in, then a server that takes it; the
// server's death, then the server back.
TEST(ImageUnitSharingClient, RetriesUntilCheckedInAndReconnectsAfterTheServerComesBack) {
    IOSurfaceSharingClientQuartz client("test.unit.retry");
    client.connectCount();
    client.waitForPendingWork();
    EXPECT_FALSE(client.isConnected());
    EXPECT_EQ(client.currentSurfaceImage(), nullptr);

    auto server = PublishRefusingServer("test.unit.retry");
    ASSERT_NE(server, nullptr);
    std::this_thread::sleep_for(700ms);
    EXPECT_FALSE(client.isConnected());
    server->refuse = false;
    const auto accepted = Clock::now();
    ASSERT_TRUE(WaitFor([&] { return client.isConnected(); }, 2000ms));
    EXPECT_LT(Clock::now() - accepted, 1000ms);

    IOSurfaceRef surface = ColouredSurface(9, 8, 7);
    ASSERT_EQ(server->remoteClients().size(), 1u);
    server->broadcastFrameSurface(surface, 1);
    ASSERT_TRUE(WaitFor([&] { return client.currentSurfaceImage() != nullptr; }));
    const CIImageRef image = client.currentSurfaceImage();
    EXPECT_EQ(image->extent().size.width, 640);
    EXPECT_EQ(image->extent().size.height, 480);

    // The server goes: no image; it comes back: connected again within a second of it.
    server->stopServer();
    ASSERT_TRUE(WaitFor([&] { return !client.isConnected() && client.currentSurfaceImage() == nullptr; }));
    auto again = IOSurfaceMachServer::serverWithDelegate(nullptr);
    ASSERT_TRUE(again->publishServerConnectionWithServerPortName("test.unit.retry"));
    const auto back = Clock::now();
    ASSERT_TRUE(WaitFor([&] { return client.isConnected(); }, 2000ms));
    EXPECT_LT(Clock::now() - back, 1000ms);
    ASSERT_EQ(again->remoteClients().size(), 1u);
    again->broadcastFrameSurface(surface, 2);
    EXPECT_TRUE(WaitFor([&] { return client.currentSurfaceImage() != nullptr; }));

    client.disconnectCount();
    client.waitForPendingWork();
    EXPECT_FALSE(client.isConnected());
    again->stopServer();
    CFRelease(surface);
}

// A service that takes the check-in and never answers holds up the client's own queue only:
// counting in and asking for the image stay instant.
TEST(ImageUnitSharingClient, AStalledServerNeverHoldsUpTheHost) {
    mach_port_t service = MACH_PORT_NULL;
    ASSERT_EQ(bootstrap_check_in(bootstrap_port, "test.unit.stalled", &service), KERN_SUCCESS);
    IOSurfaceSharingClientQuartz client("test.unit.stalled");
    Clock::duration slowest{};
    const auto until = Clock::now() + 400ms;
    bool first = true;
    while (Clock::now() < until) {
        const auto start = Clock::now();
        if (first) client.connectCount();
        first = false;
        EXPECT_EQ(client.currentSurfaceImage(), nullptr);
        slowest = std::max(slowest, Clock::now() - start);
        std::this_thread::sleep_for(5ms);
    }
    EXPECT_LT(slowest, 33ms);
    // The service goes: the stalled check-in fails at once and the client is not connected.
    mach_port_mod_refs(mach_task_self(), service, MACH_PORT_RIGHT_RECEIVE, -1);
    client.disconnectCount();
    client.waitForPendingWork();
    EXPECT_FALSE(client.isConnected());
}

// ---- The filter ---------------------------------------------------------------------------

CFURLRef BundleURL() {
    const std::string path = LUMORA_CILUMORA2INPUT_BUNDLE;
    return CFURLCreateFromFileSystemRepresentation(kCFAllocatorDefault, reinterpret_cast<const UInt8 *>(path.data()),
                                                   CFIndex(path.size()), true);
}

CFDictionaryRef Entitlements(std::optional<bool> sandbox) {
    CFMutableDictionaryRef dictionary =
        CFDictionaryCreateMutable(kCFAllocatorDefault, 0, &kCFTypeDictionaryKeyCallBacks, &kCFTypeDictionaryValueCallBacks);
    if (sandbox.has_value())
        CFDictionarySetValue(dictionary, CFSTR("com.apple.security.app-sandbox"), *sandbox ? kCFBooleanTrue : kCFBooleanFalse);
    return dictionary;
}

TEST(CILumora2Input, LoadsOnlyIntoHostsThatAreNotSandboxed) {
    struct Case {
        const char *name;
        bool hasEntitlements;
        std::optional<bool> sandbox;
        bool loads;
    };
    for (const Case &c : {Case{"no entitlements", false, std::nullopt, true},
                          Case{"entitlements without the sandbox", true, std::nullopt, true},
                          Case{"sandbox false", true, false, true}, Case{"sandboxed", true, true, false}}) {
        UCodeEntitlements entitlements;
        entitlements.SetCodeSignedEntitlementsCopy(c.hasEntitlements ? Entitlements(c.sandbox) : nullptr);
        EXPECT_EQ(CILumora2Input_VSharedCameraBuffer::canLoadPlugInGivenEntitlements(entitlements), c.loads) << c.name;
    }
    // This test program has no entitlements: the unit loads.
    EXPECT_TRUE(CILumora2Input_VSharedCameraBuffer::canLoadPlugInGivenHostApplicationRestrictions());
}

TEST(CILumora2Input, TheLoadedUnitOffersTheFilterWithItsPlaceholderAndKeepsItsClock) {
    CFURLRef url = BundleURL();
    ASSERT_TRUE(CIPlugIn::loadPlugIn(url, true));
    CFRelease(url);
    CIFilterRef filter = CIFilter::filterWithName("CILumora2Input");
    ASSERT_NE(filter, nullptr);
    const CIFilterAttributes attributes = filter->attributes();
    ASSERT_EQ(attributes.inputs.size(), 1u);
    const CIInputAttributes &clock = attributes.inputs[0];
    EXPECT_EQ(clock.key, "inputClock");
    EXPECT_EQ(clock.type, kCIAttributeTypeTime);
    EXPECT_EQ(clock.sliderMax, DBL_MAX);
    EXPECT_EQ(clock.max, std::nullopt);
    EXPECT_EQ(clock.min, 0.0);

    // Never clocked: the placeholder, 640 x 480.
    CIImageRef placeholder = filter->outputImage();
    ASSERT_NE(placeholder, nullptr);
    EXPECT_EQ(placeholder->extent().size.width, 640);
    EXPECT_EQ(placeholder->extent().size.height, 480);
    // The clock is the filter's own copy: read back later, it is the number set.
    {
        double number = 12.5;
        filter->setValue(number, "inputClock");
        number = -1;
    }
    EXPECT_EQ(std::get<double>(filter->valueForKey("inputClock")), 12.5);
    // No application: still the placeholder.
    EXPECT_EQ(filter->outputImage(), placeholder);
    filter.reset();
}

// ---- A host process -----------------------------------------------------------------------

// The placeholder at (8, 8) from the top left, bytes B G R A: its top left is drawn at the
// top left.
constexpr const char *kPlaceholderPixel = "39302cff";

TEST(CILumora2Input, AHostShowsTheSharedFrameAndReconnectsWhenTheApplicationComesBack) {
    // Installed for the user, as the plug-in installer would.
    const char *data = std::getenv("XDG_DATA_HOME");
    ASSERT_NE(data, nullptr);
    const std::filesystem::path units = std::filesystem::path(data) / "Lumora/Library/Graphics/Image Units";
    std::filesystem::create_directories(units);
    std::filesystem::create_directory_symlink(LUMORA_CILUMORA2INPUT_BUNDLE, units / "CILumora2Input.plugin");

    ChildProcess host({LUMORA_CILUMORA2INPUT_HOST, "60"});
    ASSERT_TRUE(host.running());
    std::string line = host.line();
    ASSERT_EQ(line.rfind("show 640x480 ", 0), 0u) << line;
    const std::string placeholder = line;
    EXPECT_EQ(placeholder.substr(13), kPlaceholderPixel) << placeholder;

    IOSurfaceRef surface = ColouredSurface(0x10, 0x80, 0xf0);
    std::atomic<bool> sharing{true};
    auto server = IOSurfaceMachServer::serverWithDelegate(nullptr);
    ASSERT_TRUE(server->publishServerConnectionWithServerPortName(kIOSurfaceSharingServiceName));
    std::thread frames([&] {
        for (uint64_t time = 1; sharing.load(); ++time) {
            server->broadcastFrameSurface(surface, time);
            std::this_thread::sleep_for(20ms);
        }
    });
    EXPECT_EQ(host.line(3000), "show 640x480 1080f0ff");

    // The application quits: the placeholder again.
    sharing = false;
    frames.join();
    server->stopServer();
    EXPECT_EQ(host.line(3000), placeholder);

    // It comes back: frames again within a second of it (the host draws every 20 ms).
    auto again = IOSurfaceMachServer::serverWithDelegate(nullptr);
    ASSERT_TRUE(again->publishServerConnectionWithServerPortName(kIOSurfaceSharingServiceName));
    const auto back = Clock::now();
    sharing = true;
    std::thread moreFrames([&] {
        for (uint64_t time = 1; sharing.load(); ++time) {
            again->broadcastFrameSurface(surface, time);
            std::this_thread::sleep_for(20ms);
        }
    });
    EXPECT_EQ(host.line(3000), "show 640x480 1080f0ff");
    EXPECT_LT(Clock::now() - back, 1500ms);

    host.closeInput();
    line = host.line();
    EXPECT_EQ(line.rfind("slowest ", 0), 0u) << line;
    EXPECT_EQ(host.finish(), 0);
    sharing = false;
    moreFrames.join();
    again->stopServer();
    CFRelease(surface);
}

}  // namespace
