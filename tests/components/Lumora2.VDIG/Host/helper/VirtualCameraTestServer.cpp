// The frame-sharing side of the virtual camera's host test, in a process of its own: a
// global 640 x 480 'BGRA' surface of known pixels (blue = x, green = y, red = the frame
// number) cast by a UDP loopback server on the application's port, 30300, every 10 ms.
// Prints "surface <id>" once the server is up (or "busy" when the port stays taken), and
// runs until its standard input ends.
#include <FrameSharing/Network/UDPLoopbackMessageServer.h>

#include "support/VDigTestSurfaces.h"

#include <poll.h>

#include <chrono>
#include <cstdio>
#include <thread>
#include <unistd.h>

int main() {
    UDPLoopbackMessageServer server(30300);
    // Other tests may hold the port for a moment.
    for (int i = 0; i < 400 && !server.Open(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(50));
    if (!server.IsOpen()) {
        std::printf("busy\n");
        std::fflush(stdout);
        return 1;
    }
    IOSurfaceRef surface = vdigtest::NewTaggedBGRASurface(640, 480, 0);
    if (surface == nullptr) return 1;
    std::printf("surface %u\n", unsigned(IOSurfaceGetID(surface)));
    std::fflush(stdout);
    uint64_t frame = 0;
    for (;;) {
        pollfd watch[2] = {{0, POLLIN, 0}, {server.ServerSocket().GetDescriptor(), POLLIN, 0}};
        if (::poll(watch, 2, 10) > 0) {
            if (watch[0].revents != 0) {
                char byte;
                if (::read(0, &byte, 1) <= 0) break;
            }
            if (watch[1].revents != 0) server.ServeOneDatagram();
            continue;
        }
        ++frame;
        IOSurfaceLock(surface, 0, nullptr);
        auto *base = static_cast<uint8_t *>(IOSurfaceGetBaseAddress(surface));
        for (size_t y = 0; y < 480; ++y)
            for (size_t x = 0; x < 640; ++x) base[y * IOSurfaceGetBytesPerRow(surface) + x * 4 + 2] = uint8_t(frame);
        IOSurfaceUnlock(surface, 0, nullptr);
        server.CastMessage(UDPLoopBackMessageData(UDPLoopBackMessageData::MessageType_ServerDataCast,
                                                  IOSurfaceGetID(surface), frame, "from server:MessageType_ServerDataCast."));
    }
    CFRelease(surface);
    return 0;
}
