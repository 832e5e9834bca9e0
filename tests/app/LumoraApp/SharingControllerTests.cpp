// The frame-sharing controller and its texture queue: textures in rotation over the surfaces
// actually made, the rebroadcast switch honoured, the three outputs published, and a client
// process that checks in over the Mach service and reads the pixels the delegate drew.
#include <LumoraApp/IOSurfaceSharingController.h>

#include <CocoaGL/NSOGLTextureIOSurface.h>
#include <FrameSharing/Outputs/IOSurfaceSharingServerOutput.h>
#include <FrameSharing/Window/IOSurfaceSharingNSWindowServer.h>

#include <IOSurface/IOSurface.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <sys/wait.h>
#include <thread>
#include <vector>

#include "sdk/RiradI/RiradITestApplication.h"
#include "support/ChildProcess.h"

namespace {

using lumora::test::ChildProcess;

// A texture the delegate "draws" into by writing its value into the first pixel of the surface.
class PaintedTexture : public NSOGLTextureIOSurface, public protocol_IOSurfaceSharingSurface {
public:
    void renderScene() override {
        IOSurfaceRef target = surfaceCopy();
        if (target == nullptr) return;
        IOSurfaceLock(target, 0, nullptr);
        std::memcpy(IOSurfaceGetBaseAddress(target), &value, 4);
        IOSurfaceUnlock(target, 0, nullptr);
        CFRelease(target);
    }
    uint32_t value = 0;
};

// Makes textures, failing for the calls listed.
IOSurfaceSharingTextureClass PaintedClass(std::vector<int> failing = {}) {
    auto calls = std::make_shared<int>(0);
    return {QStringLiteral("PaintedTexture"), [calls, failing](IOSurfaceRef surface) -> IOSurfaceSharingTextureRef {
                const int call = (*calls)++;
                if (std::find(failing.begin(), failing.end(), call) != failing.end()) return nullptr;
                auto texture = std::make_shared<PaintedTexture>();
                texture->initWithIOSurface(surface);
                return texture;
            }};
}

uint32_t SurfaceID(const IOSurfaceSharingTextureRef &texture) {
    return texture != nullptr && texture->surface() != nullptr ? IOSurfaceGetID(texture->surface()) : 0;
}

class Painter : public IOSurfaceSharingControllerDelegate {
public:
    void surfaceSharingRenderSurface(protocol_IOSurfaceSharingController *,
                                     protocol_IOSurfaceSharingSurface *surface) override {
        ++calls;
        if (auto *painted = dynamic_cast<PaintedTexture *>(surface)) {
            painted->value = nextValue;
            painted->renderScene();
            drawn.push_back(IOSurfaceGetID(painted->surface()));
        }
    }
    int calls = 0;
    uint32_t nextValue = 0;
    std::vector<uint32_t> drawn;
};

class Announced : public IOSurfaceSharingServerOutput {
public:
    bool broadcastSurfaceWithSurfaceTime(IOSurfaceRef surface, uint64_t) override {
        surfaces.push_back(IOSurfaceGetID(surface));
        return true;
    }
    std::vector<uint32_t> surfaces;
};

// A slot whose texture cannot be made (not the last) leaves no gap: the queue holds fewer
// textures and every index reaches one of them.
TEST(IOSurfaceServerTextureQueue, ASlotLeftOutLeavesNoGap) {
    const IOSurfaceServerTextureQueue queue(PaintedClass({1}), 3, 640, 480, 0x42475241);
    EXPECT_EQ(queue.queueCount(), 3u);
    ASSERT_EQ(queue.textureCount(), 2u);
    const std::vector<IOSurfaceSharingTextureRef> textures = queue.surfaceTextures();
    ASSERT_NE(textures[0], nullptr);
    ASSERT_NE(textures[1], nullptr);
    EXPECT_NE(SurfaceID(textures[0]), SurfaceID(textures[1]));
    for (uint32_t index = 0; index < 7; ++index) EXPECT_EQ(queue.textureWithIndex(index), textures[index % 2]) << index;
    EXPECT_EQ(queue.textureWithIndex(0xFFFFFFFFu), textures[1]);

    IOSurfaceRef surface = IOSurfaceLookup(SurfaceID(textures[0]));  // global: found by its id
    ASSERT_NE(surface, nullptr);
    EXPECT_EQ(IOSurfaceGetWidth(surface), 640u);
    EXPECT_EQ(IOSurfaceGetHeight(surface), 480u);
    EXPECT_EQ(IOSurfaceGetPixelFormat(surface), 0x42475241u);
    CFRelease(surface);

    const IOSurfaceServerTextureQueue none(PaintedClass({0, 1, 2}), 3, 640, 480, 0x42475241);
    EXPECT_EQ(none.textureWithIndex(5), nullptr);
    const IOSurfaceServerTextureQueue unknown(IOSurfaceServerTextureQueue::textureClassNamed("NoSuchTexture"), 3, 640,
                                              480, 0x42475241);
    EXPECT_EQ(unknown.textureCount(), 0u);
}

TEST(IOSurfaceSharingController, RotatesHonoursTheSwitchAndKeepsTheSlotOfAFrameNotShared) {
    riradi_test::Application();
    IOSurfaceSharingController controller;
    Painter painter;
    controller.setSurfaceSharingDelegate(&painter);
    // Not published: the delegate is asked with no texture, nothing is shared.
    EXPECT_FALSE(controller.broadcastNextSurface(true, true));
    EXPECT_EQ(painter.calls, 1);
    EXPECT_EQ(controller.nextSurfaceIndex(), 0u);

    controller.setSurfaceTextures(IOSurfaceServerTextureQueue::bufferedOutputQueueWithTextureClass(
        PaintedClass(), 640, 480, 0x42475241));
    auto announced = std::make_shared<Announced>();
    auto outputs = IOSurfaceSharingServerOutputSet::serverOutputSet();
    outputs->addServerOutput(announced);
    controller.setServerOutputs(outputs);
    const std::vector<IOSurfaceSharingTextureRef> textures = controller.surfaceTextures()->surfaceTextures();
    ASSERT_EQ(textures.size(), 3u);
    std::vector<uint32_t> order;
    for (int i = 0; i < 6; ++i) {
        EXPECT_TRUE(controller.broadcastNextSurface(true, true));
        order.push_back(SurfaceID(textures[size_t(i) % 3]));
    }
    EXPECT_EQ(announced->surfaces, order);
    EXPECT_EQ(painter.drawn, order);
    EXPECT_EQ(controller.nextSurfaceIndex(), 6u);

    // The rebroadcast switch off: nothing drawn into a shared surface, nothing announced.
    const int calls = painter.calls;
    EXPECT_FALSE(controller.broadcastNextSurface(false, true));
    EXPECT_EQ(painter.calls, calls);
    EXPECT_EQ(announced->surfaces.size(), 6u);
    EXPECT_EQ(controller.nextSurfaceIndex(), 6u);

    // A texture that gives no surface: drawn, not shared, and the next frame uses its slot.
    IOSurfaceRef kept = textures[0]->surfaceCopy();
    textures[0]->setSurface(nullptr);
    EXPECT_FALSE(controller.broadcastNextSurface(true, true));
    EXPECT_EQ(controller.nextSurfaceIndex(), 6u);
    textures[0]->setSurface(kept);
    CFRelease(kept);
    EXPECT_TRUE(controller.broadcastNextSurface(true, false));  // not drawn, still shared
    EXPECT_EQ(announced->surfaces.back(), SurfaceID(textures[0]));
    EXPECT_EQ(controller.nextSurfaceIndex(), 7u);

    // Termination with no output set does nothing.
    controller.setServerOutputs(nullptr);
    controller.applicationWillTerminate(NSNotification());
    EXPECT_FALSE(controller.broadcastNextSurface(true, true));
}

// Published: Mach service, UDP port 30300 and window channel, in that order; a client process
// checks in over the Mach service and reads the pixels drawn into each frame's surface.
TEST(IOSurfaceSharingController, PublishesTheThreeChannelsAndAClientSeesTheFrames) {
    riradi_test::Application();
    IOSurfaceServerTextureQueue::registerTextureClass("PaintedTexture", PaintedClass().textureWithIOSurface);
    IOSurfaceSharingController controller;
    Painter painter;
    controller.setSurfaceSharingDelegate(&painter);
    EXPECT_TRUE(controller.publishServerWithTextureClass(QStringLiteral("PaintedTexture")));
    ASSERT_NE(controller.surfaceTextures(), nullptr);
    EXPECT_EQ(controller.surfaceTextures()->textureCount(), 3u);
    const auto outputs = controller.serverOutputs()->serverOutputs();
    ASSERT_EQ(outputs.size(), 3u);
    auto mach = std::dynamic_pointer_cast<IOSurfaceSharingServerOutputMachMessage>(outputs[0]);
    auto udp = std::dynamic_pointer_cast<IOSurfaceSharingServerOutputNetworkUDP>(outputs[1]);
    auto window = std::dynamic_pointer_cast<IOSurfaceSharingNSWindowServer>(outputs[2]);
    ASSERT_NE(mach, nullptr);
    ASSERT_NE(udp, nullptr);
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(mach->serverOutputPortName(), "com.tarvex.Lumora2.IOSurfaceSharing");
    EXPECT_EQ(udp->unsignedNetworkPortFromConnectionID(), 30300);
    EXPECT_EQ(window->windowExactBytes()->abstractWindowName(), "com.tarvex.Lumora2.IOSurfaceSharing:30300.NSWindow");
    // Once: a second publication adds nothing.
    controller.publishServerWithTextureClass(QStringLiteral("PaintedTexture"));
    EXPECT_EQ(controller.serverOutputs()->serverOutputs().size(), 3u);

    ChildProcess client({LUMORA_FRAMESHARING_CLIENT, "mach", "com.tarvex.Lumora2.IOSurfaceSharing", "4"});
    ASSERT_EQ(client.line(), "checkin 1 1");
    const std::vector<IOSurfaceSharingTextureRef> textures = controller.surfaceTextures()->surfaceTextures();
    for (uint32_t frame = 0; frame < 4; ++frame) {
        painter.nextValue = 0x10203000u + frame;
        ASSERT_TRUE(controller.broadcastNextSurface(true, true));
        const std::string line = client.line();
        char expected[64];
        std::snprintf(expected, sizeof expected, "frame %u ", SurfaceID(textures[frame % 3]));
        EXPECT_EQ(line.substr(0, std::strlen(expected)), expected);
        std::snprintf(expected, sizeof expected, " 0%u302010", frame);
        EXPECT_EQ(line.substr(line.size() - std::strlen(expected)), expected) << line;
        EXPECT_EQ(window->message().surfaceID, SurfaceID(textures[frame % 3]));
    }
    EXPECT_EQ(WEXITSTATUS(client.finish()), 0);

    // Termination closes the Mach service for good; the other channels go on.
    controller.applicationWillTerminate(NSNotification());
    EXPECT_EQ(mach->machSurfaceServer(), nullptr);
    EXPECT_FALSE(mach->outputConnect());
    const uint32_t sequence = window->message().sequenceNumber;
    EXPECT_TRUE(controller.broadcastNextSurface(true, true));
    EXPECT_EQ(window->message().sequenceNumber, sequence + 1);
}

// The frame loop's broadcast with one client stopped (SIGSTOP) and one killed: no frame waits
// for either, and both are dropped from the Mach service.
TEST(IOSurfaceSharingController, StoppedAndDeadClientsDoNotSlowTheFrameLoop) {
    riradi_test::Application();
    IOSurfaceServerTextureQueue::registerTextureClass("PaintedTexture", PaintedClass().textureWithIOSurface);
    IOSurfaceSharingController controller;
    Painter painter;
    controller.setSurfaceSharingDelegate(&painter);
    controller.publishServerWithTextureClass(QStringLiteral("PaintedTexture"));
    auto mach = controller.serverOutputs()->outputWithClass<IOSurfaceSharingServerOutputMachMessage>();
    ASSERT_NE(mach, nullptr);
    ChildProcess stopped({LUMORA_FRAMESHARING_CLIENT, "mach", "com.tarvex.Lumora2.IOSurfaceSharing", "1000000"});
    ChildProcess dead({LUMORA_FRAMESHARING_CLIENT, "mach", "com.tarvex.Lumora2.IOSurfaceSharing", "1000000"});
    ASSERT_EQ(stopped.line().substr(0, 9), "checkin 1");
    ASSERT_EQ(dead.line().substr(0, 9), "checkin 1");
    ASSERT_EQ(mach->machSurfaceServer()->remoteClients().size(), 2u);
    stopped.signal(SIGSTOP);
    dead.finish(true);

    std::vector<double> times;
    const auto start = std::chrono::steady_clock::now();
    while (std::chrono::steady_clock::now() - start < std::chrono::seconds(5)) {
        const auto before = std::chrono::steady_clock::now();
        EXPECT_TRUE(controller.broadcastNextSurface(true, true));
        times.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - before).count());
        if (mach->machSurfaceServer()->remoteClients().empty() && times.size() > 10) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    std::sort(times.begin(), times.end());
    const double slowest = times.back(), median = times[times.size() / 2];
    std::printf("frame-loop broadcast with a stopped and a dead client: %zu frames, median %.3f ms, slowest %.3f ms\n",
                times.size(), median, slowest);
    EXPECT_TRUE(mach->machSurfaceServer()->remoteClients().empty());
    EXPECT_LT(slowest, 250.0);  // a loaded machine, a sanitizer build: nothing ever waits
    EXPECT_LT(median, 20.0);
    stopped.finish(true);
}

}  // namespace
