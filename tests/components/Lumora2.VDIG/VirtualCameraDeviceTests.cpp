// The virtual camera's device against a live cast server: the placeholder until the first
// announcement, then the server's frames held until released, and the placeholder again
// after a disconnect.
#include <Lumora2.VDIG/IOSurfaceSharing_udp_device.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <string>
#include <thread>

#include "support/VDigTestSurfaces.h"

namespace {

struct Grab {
    UInt8 count = 0xFF;
    Ptr data = nullptr;
    long size = 0;
    ComponentResult result = -1;
};

Grab GetFrame(IOSurfaceSharing_udp_device &device) {
    Grab g;
    g.result = device.GetFrame(&g.count, &g.data, &g.size);
    return g;
}

// Pixel (x, y) of a 640 x 480 A R G B frame.
const uint8_t *Pixel(const void *frame, int x, int y) { return static_cast<const uint8_t *>(frame) + y * 2560 + x * 4; }

// Reads until the frame handed out is not the placeholder (the datagrams take a moment).
Grab GetServedFrame(IOSurfaceSharing_udp_device &device) {
    Grab g;
    for (int i = 0; i < 100; ++i) {
        g = GetFrame(device);
        if (g.count == 1 && g.data != device.PlaceholderData()) return g;
        device.ReleaseCompressBuffer(g.data);
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return g;
}

TEST(IOSurfaceSharing_udp_device, PlaceholderThenTheServersFramesThenPlaceholderAgain) {
    vdigtest::CastServer server;
    ASSERT_NE(server.port, 0);
    IOSurfaceSharing_udp_device device;
    device.SetServerPortNumber(server.port);
    ASSERT_TRUE(device.Connect());

    // No server cast yet: the placeholder, with the name drawn in its lower third only.
    Grab g = GetFrame(device);
    EXPECT_EQ(g.result, 0);
    ASSERT_EQ(g.count, 1);
    EXPECT_EQ(g.data, device.PlaceholderData());
    EXPECT_EQ(g.size, 1228800);
    auto rowsDiffer = [&](int from, int to) {
        for (int y = from; y < to; ++y)
            for (int x = 0; x < 640; ++x)
                if (std::memcmp(Pixel(g.data, x, y), Pixel(g.data, 0, 0), 4) != 0) return true;
        return false;
    };
    EXPECT_FALSE(rowsDiffer(0, 320));
    EXPECT_TRUE(rowsDiffer(320, 480));
    device.ReleaseCompressBuffer(g.data);

    server.Serve(100);  // the device's ping
    ASSERT_EQ(server.server.ActiveClientCount(), 1u);
    IOSurfaceRef surface = vdigtest::NewTaggedBGRASurface(640, 480, 6);
    server.Cast(IOSurfaceGetID(surface), 1234);
    g = GetServedFrame(device);
    ASSERT_EQ(g.count, 1);
    EXPECT_EQ(Pixel(g.data, 0, 0)[1], 0x46);
    EXPECT_EQ(Pixel(g.data, 200, 479)[3], 200);
    Str255 name;
    ASSERT_EQ(device.GetDeviceName(name, 0), noErr);
    EXPECT_EQ(std::string(reinterpret_cast<const char *>(name + 1), name[0]), "Lum@ra2");
    EXPECT_EQ(device.CurrentFrameTime(), 1234);

    // The host holds the frame: the application draws anew, the frame held stays as it is
    // and is handed out again; once given back, the new picture comes.
    IOSurfaceLock(surface, 0, nullptr);
    static_cast<uint8_t *>(IOSurfaceGetBaseAddress(surface))[2] = 0x55;  // red of the bottom-left pixel
    IOSurfaceUnlock(surface, 0, nullptr);
    Grab again = GetFrame(device);
    EXPECT_EQ(again.data, g.data);
    EXPECT_EQ(Pixel(again.data, 0, 479)[1], 0x46);
    device.ReleaseCompressBuffer(again.data);
    g = GetFrame(device);
    ASSERT_EQ(g.count, 1);
    EXPECT_EQ(Pixel(g.data, 0, 479)[1], 0x55);
    device.ReleaseCompressBuffer(g.data);

    device.Disconnect();
    g = GetFrame(device);
    EXPECT_EQ(g.data, device.PlaceholderData());
    device.ReleaseCompressBuffer(g.data);
    CFRelease(surface);
}

TEST(IOSurfaceSharing_udp_device, WithoutAServerThePlaceholderIsDelivered) {
    vdigtest::CastServer server;  // a port of our own, then closed: no one answers
    ASSERT_NE(server.port, 0);
    const uint16_t port = server.port;
    server.server.Close();
    IOSurfaceSharing_udp_device device;
    device.SetServerPortNumber(port);
    ASSERT_TRUE(device.Connect());
    for (int i = 0; i < 3; ++i) {
        Grab g = GetFrame(device);
        EXPECT_EQ(g.result, 0);
        EXPECT_EQ(g.count, 1);
        EXPECT_EQ(g.data, device.PlaceholderData());
        device.ReleaseCompressBuffer(g.data);
    }
    EXPECT_EQ(device.FramesDelivered(), 3u);
}

}  // namespace
