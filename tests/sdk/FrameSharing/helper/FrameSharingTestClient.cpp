// The client process of the frame-sharing tests. Modes:
//   mach <service> <frames>  looks the service up, checks in with the identifier of
//                            "com.example.client" and type 1 and prints "checkin <ok>
//                            <index>"; then for each frame surface that arrives prints
//                            "frame <surface id> <time> <first pixel as 8 hex digits>"
//                            (bytes in memory order), and ends after <frames> frames or when
//                            its standard input ends
//   udp <port> <frames>      pings the UDP server on 127.0.0.1:<port> from the first free
//                            client port, prints "ack <size> <type> <text>" for the answer,
//                            then "cast <size> <surface id> <time> <first pixel>" for each
//                            frame datagram, pinging every half second
#include <FrameSharing/Mach/IOSurfaceIPC.h>
#include <FrameSharing/Mach/IOSurfaceMachConnection.h>
#include <FrameSharing/Network/UDPLoopbackMessageServer.h>

#include <IOSurface/IOSurface.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <poll.h>
#include <string>
#include <thread>
#include <unistd.h>

namespace {

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

class Client : public IOSurfaceMachConnection {
public:
    int32_t __mach_message_BroadcastFrameSurfaceTime(uint64_t time, uint32_t surfaceID) override {
        const std::string pixel = FirstPixel(surfaceID);
        std::printf("frame %u %llu %s\n", surfaceID, static_cast<unsigned long long>(time), pixel.c_str());
        std::fflush(stdout);
        ++frames;
        return 0;
    }
    std::atomic<int> frames{0};
};

bool InputEnded() {
    pollfd input{0, POLLIN, 0};
    if (::poll(&input, 1, 10) <= 0) return false;
    char byte;
    return ::read(0, &byte, 1) <= 0;
}

int RunMach(const char *service, int frames) {
    std::shared_ptr<NSMachPort> server = NSMachBootstrapServer::sharedInstance()->portForName(service);
    if (server == nullptr) {
        std::printf("checkin 0 0\n");
        return 1;
    }
    auto client = std::make_shared<Client>();
    client->initWithDelegate(nullptr);
    if (!client->connectWithServerMachPort(server)) return 1;
    client->runServerConnectionOnMachPort(server);
    client->runLocalConnectionOnMachPort(client->localPort());
    uint32_t index = 0;
    const bool ok = client->__mach_call_ClientCheckIn(
        IOSurfaceConnectionClientID::uniqueIdentifierWithString(std::string("com.example.client")), 1, &index);
    std::printf("checkin %d %u\n", ok ? 1 : 0, index);
    std::fflush(stdout);
    while (client->frames.load() < frames && !InputEnded()) {
    }
    client->disconnect();
    return 0;
}

int RunUDP(uint16_t port, int frames) {
    UDPLoopbackMessageProtocol protocol(port);
    UDPNetwork::Socket socket;
    for (uint16_t own = protocol.GetClientFirstPort(); own <= protocol.GetClientLastPort(); ++own)
        if (socket.Open(own, true)) break;
    if (!socket.IsOpen()) return 1;
    const UDPLoopBackMessageData ping(UDPLoopBackMessageData::MessageType_ClientPing, 0, 0, "MessageType_ClientPing");
    auto lastPing = std::chrono::steady_clock::now();
    socket.Send(protocol.GetServerIPAddress(), ping.data(), ping.sendMessageDataSize());
    int casts = 0;
    while (casts < frames && !InputEnded()) {
        if (std::chrono::steady_clock::now() - lastPing > std::chrono::milliseconds(500)) {
            socket.Send(protocol.GetServerIPAddress(), ping.data(), ping.sendMessageDataSize());
            lastPing = std::chrono::steady_clock::now();
        }
        uint8_t buffer[UDPLoopBackMessageData::kAreaSize];
        UDPNetwork::IPAddress sender;
        const size_t size = socket.Receive(sender, buffer, sizeof buffer);
        if (size == 0) continue;
        UDPLoopBackMessageData message;
        message.SetReceived(buffer, size);
        if (message.GetMessageType() == UDPLoopBackMessageData::MessageType_ServerAck) {
            std::printf("ack %zu %d %s\n", size, int(message.GetMessageType()), message.GetText());
        } else if (message.GetMessageType() == UDPLoopBackMessageData::MessageType_ServerDataCast) {
            const std::string pixel = FirstPixel(uint32_t(message.GetValueA()));
            std::printf("cast %zu %llu %llu %s\n", size, static_cast<unsigned long long>(message.GetValueA()),
                        static_cast<unsigned long long>(message.GetValueB()), pixel.c_str());
            ++casts;
        }
        std::fflush(stdout);
    }
    return 0;
}

}  // namespace

int main(int argc, char **argv) {
    if (argc == 4 && std::strcmp(argv[1], "mach") == 0) return RunMach(argv[2], std::atoi(argv[3]));
    if (argc == 4 && std::strcmp(argv[1], "udp") == 0) return RunUDP(uint16_t(std::atoi(argv[2])), std::atoi(argv[3]));
    return 2;
}
