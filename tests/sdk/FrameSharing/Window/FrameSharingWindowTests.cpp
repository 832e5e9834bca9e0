// The window channel on a real X server: the output's window is found by its title in the
// window list, and a client process reads each frame's packet (byte-exact, with its CRC)
// from the window's pixels and looks the surface up.
#include <gtest/gtest.h>

#include <FrameSharing/Mach/IOSurfaceIPC.h>
#include <FrameSharing/Window/IOSurfaceSharingNSWindowServer.h>

#include <IOSurface/IOSurface.h>

#include <QApplication>

#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <unistd.h>

#include "support/ChildProcess.h"

extern "C" const char *__asan_default_options() { return "suppressions=" LUMORA_ASAN_SUPPRESSIONS; }

namespace {

using lumora::test::ChildProcess;

QApplication *Application() {
    static QApplication *application = [] {
        ::setenv("QT_QPA_PLATFORM", "xcb", 1);
        static int argc = 1;
        static char name[] = "FrameSharingWindowTests";
        static char *argv[] = {name, nullptr};
        return new QApplication(argc, argv);
    }();
    return application;
}

// Lets the window reach the server.
void Settle(int milliseconds = 50) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    while (std::chrono::steady_clock::now() < end) {
        QApplication::processEvents();
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
}

std::string Hex(const IOSurfaceMessagePacketBytes &bytes) {
    std::string hex;
    char byte[3];
    for (uint8_t b : bytes) {
        std::snprintf(byte, sizeof byte, "%02x", b);
        hex += byte;
    }
    return hex;
}

void WriteFirstPixel(IOSurfaceRef surface, uint32_t value) {
    IOSurfaceLock(surface, 0, nullptr);
    std::memcpy(IOSurfaceGetBaseAddress(surface), &value, 4);
    IOSurfaceUnlock(surface, 0, nullptr);
}

TEST(IOSurfaceSharingNSWindowServer, ClientProcessReadsEachPacketFromTheWindowsPixels) {
    ASSERT_NE(std::getenv("DISPLAY"), nullptr);
    Application();
    const QString name = QStringLiteral("com.example.window.%1").arg(::getpid());
    IOSurfaceSharingNSWindowServer server(QVariant::fromValue(IOSurfaceSharingConnectionID(name, 30300)));
    Settle();
    ASSERT_TRUE(server.findServerPublishedPortName());
    EXPECT_EQ(server.globalWindowID(), server.windowExactBytes()->quartzWindowID());

    IOSurfaceRef surface = IOSurfaceIPC::globalSurfaceWithSizePixels(640, 480, 0x42475241);
    ASSERT_NE(surface, nullptr);
    ChildProcess client({LUMORA_FRAMESHARING_WINDOW_CLIENT, name.toStdString(), "30300", "3"});
    for (uint32_t frame = 1; frame <= 3; ++frame) {
        WriteFirstPixel(surface, 0xA0B0C000u + frame);
        ASSERT_TRUE(server.broadcastSurfaceWithSurfaceTime(surface, 5000 + frame));
        Settle();
        // The server's own capture of its window decodes to the packet it sent.
        EXPECT_TRUE(IOSurfaceSharingNSWindowServer::verifyMessage(
            NSWindowExactBytes::createWindowImageWithWindowID(server.globalWindowID()), true));
        const IOSurfaceMessagePacketBytes bytes = IOSurfaceMessagePacketEncode(server.message());
        EXPECT_EQ(server.message().sequenceNumber, frame);
        char expected[256];
        std::snprintf(expected, sizeof expected, "packet %s %u %u 0%uc0b0a0", Hex(bytes).c_str(),
                      IOSurfaceGetID(surface), 5000 + frame, frame);
        EXPECT_EQ(client.line(), expected);
    }
    EXPECT_EQ(WEXITSTATUS(client.finish()), 0);
    ASSERT_NE(server.windowImageGlobalCached(), nullptr);
    EXPECT_EQ(CGImageGetWidth(server.windowImageGlobal()), 24u);

    // The global-image inspector is given the window server's capture of each frame.
    IOSurfaceSharingNSWindowViewNibbler panel;
    panel.windowInfoController()->setLiveUpdates(true);
    server.setGlobalImageInfo(&panel);
    ASSERT_TRUE(server.broadcastSurfaceWithSurfaceTime(surface, 6000));
    Settle();
    ASSERT_TRUE(server.broadcastSurfaceWithSurfaceTime(surface, 6001));
    IOSurfaceSharingNSWindowInfoController *info = panel.windowInfoController();
    EXPECT_TRUE(info->messageChecksumVerify());
    EXPECT_GE(info->messageSequenceNumber(), 4u);
    EXPECT_EQ(info->windowID(), server.globalWindowID());
    EXPECT_EQ(info->globalWindowName(), name + ":30300.NSWindow");
    CFRelease(surface);
}

}  // namespace
