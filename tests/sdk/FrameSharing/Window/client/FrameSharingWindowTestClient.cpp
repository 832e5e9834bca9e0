// The client process of the window-channel test:
//   <name> <port> <packets>   polls the window list for the channel's window and prints
//                             "packet <the 44 bytes in hex> <surface id> <time> <first pixel
//                             of the surface as 8 hex digits>" for each new packet; ends after
//                             <packets> packets or when its standard input ends
#include <FrameSharing/Window/IOSurfaceSharingNSWindowServer.h>

#include <IOSurface/IOSurface.h>

#include <cstdio>
#include <cstdlib>
#include <poll.h>
#include <string>
#include <unistd.h>

namespace {

bool InputEnded() {
    pollfd input{0, POLLIN, 0};
    if (::poll(&input, 1, 5) <= 0) return false;
    char byte;
    return ::read(0, &byte, 1) <= 0;
}

std::string FirstPixel(uint32_t surfaceID) {
    IOSurfaceRef surface = IOSurfaceLookup(surfaceID);
    if (surface == nullptr) return "none";
    char text[16] = "none";
    if (IOSurfaceLock(surface, kIOSurfaceLockReadOnly, nullptr) == kIOReturnSuccess) {
        const auto *bytes = static_cast<const uint8_t *>(IOSurfaceGetBaseAddress(surface));
        std::snprintf(text, sizeof text, "%02x%02x%02x%02x", bytes[0], bytes[1], bytes[2], bytes[3]);
        IOSurfaceUnlock(surface, kIOSurfaceLockReadOnly, nullptr);
    }
    CFRelease(surface);
    return text;
}

}  // namespace

int main(int argc, char **argv) {
    if (argc != 4) return 2;
    const int wanted = std::atoi(argv[3]);
    int seen = 0;
    IOSurfaceSharingNSWindowClient client(QString::fromUtf8(argv[1]), uint32_t(std::atoi(argv[2])),
                                          [&](const tagIOSurfaceMessagePacket &packet) {
                                              const IOSurfaceMessagePacketBytes bytes = IOSurfaceMessagePacketEncode(packet);
                                              std::string hex;
                                              char byte[3];
                                              for (uint8_t b : bytes) {
                                                  std::snprintf(byte, sizeof byte, "%02x", b);
                                                  hex += byte;
                                              }
                                              std::printf("packet %s %llu %llu %s\n", hex.c_str(),
                                                          static_cast<unsigned long long>(packet.surfaceID),
                                                          static_cast<unsigned long long>(packet.surfaceTime),
                                                          FirstPixel(uint32_t(packet.surfaceID)).c_str());
                                              std::fflush(stdout);
                                              ++seen;
                                          });
    while (seen < wanted && !InputEnded()) client.poll();
    return 0;
}
