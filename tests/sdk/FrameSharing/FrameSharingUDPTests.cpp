#include <gtest/gtest.h>

#include <FrameSharing/Mach/IOSurfaceIPC.h>
#include <FrameSharing/Network/UDPLoopbackMessageServer.h>

#include <IOSurface/IOSurface.h>

#include <arpa/inet.h>
#include <chrono>
#include <cstring>
#include <netinet/in.h>
#include <poll.h>
#include <string>
#include <sys/socket.h>
#include <thread>
#include <vector>

#include "support/ChildProcess.h"

namespace {

using UDPNetwork::IPAddress;

constexpr uint32_t kLoopback = 0x7F000001;

// A client socket on 127.0.0.1 (any port) that waits a little for each datagram.
struct Client {
    UDPNetwork::Socket socket;
    Client() {
        EXPECT_TRUE(socket.CreateUDPSocket());
        EXPECT_TRUE(socket.BindToThisAddress(IPAddress(kLoopback, 0)));
    }
    void ping(const IPAddress &server) {
        const UDPLoopBackMessageData ping(UDPLoopBackMessageData::MessageType_ClientPing, 0, 0, "MessageType_ClientPing");
        ASSERT_TRUE(socket.Send(server, ping.data(), ping.sendMessageDataSize()));
    }
    std::vector<uint8_t> receive(int timeoutMs = 500) {
        pollfd poll{socket.GetDescriptor(), POLLIN, 0};
        if (::poll(&poll, 1, timeoutMs) <= 0) return {};
        std::vector<uint8_t> bytes(256);
        IPAddress sender;
        bytes.resize(socket.Receive(sender, bytes.data(), bytes.size()));
        return bytes;
    }
};

// A server on a free port of 127.0.0.1.
struct Server {
    UDPLoopbackMessageServer server{0};
    IPAddress address;
    Server() {
        EXPECT_TRUE(server.Open());
        address = server.ServerSocket().GetBoundAddress();
    }
    // Serves what is waiting (the datagram may still be on its way).
    bool serve() {
        for (int i = 0; i < 100; ++i) {
            pollfd poll{server.ServerSocket().GetDescriptor(), POLLIN, 0};
            if (::poll(&poll, 1, 5) > 0) return server.ServeOneDatagram();
        }
        return false;
    }
};

std::vector<uint8_t> Bytes(const UDPLoopBackMessageData &message) {
    return {message.data(), message.data() + message.sendMessageDataSize()};
}

TEST(UDPLoopBackMessageData, DatagramsAreByteExact) {
    const UDPLoopBackMessageData cast(UDPLoopBackMessageData::MessageType_ServerDataCast, 0x2A, 0x0102030405060708ull,
                                      "from server:MessageType_ServerDataCast.");
    std::vector<uint8_t> expected = {'P', 'I', 'y', 'b', 3, 0, 0x2A, 0, 0, 0, 0, 0, 0, 0, 8, 7, 6, 5, 4, 3, 2, 1};
    const std::string text = "from server:MessageType_ServerDataCast.";
    expected.insert(expected.end(), text.begin(), text.end());
    expected.push_back(0);
    EXPECT_EQ(cast.sendMessageDataSize(), 62u);
    EXPECT_EQ(Bytes(cast), expected);
    EXPECT_EQ(cast.description(),
              "messageID:62794950 messageType:3 2a 102030405060708 from server:MessageType_ServerDataCast.");

    const UDPLoopBackMessageData ack(UDPLoopBackMessageData::MessageType_ServerAck, 0, 0,
                                     "from server:MessageType_ServerAck.");
    EXPECT_EQ(ack.sendMessageDataSize(), 57u);
    // A text longer than the area holds is cut at 55 characters.
    const UDPLoopBackMessageData longText(1, 0, 0, std::string(100, 'x').c_str());
    EXPECT_EQ(std::strlen(longText.GetText()), 55u);
    EXPECT_EQ(longText.sendMessageDataSize(), 78u);

    // A received datagram of 78 bytes or more keeps 77, its text terminated.
    std::vector<uint8_t> big(200, 'y');
    UDPLoopBackMessageData received;
    received.SetReceived(big.data(), big.size());
    EXPECT_EQ(std::strlen(received.GetText()), 55u);
    EXPECT_FALSE(received.HasMagic());
    received.SetReceived("PI", 2);
    EXPECT_EQ(received.GetMessageType(), 0);
}

TEST(UDPNetwork, AddressesAndLoopbackBinding) {
    const IPAddress address(kLoopback, 30301);
    EXPECT_EQ(address.GetAddressString(), "127.0.0.1:30301");
    EXPECT_EQ(address.GetAddressString(false), "127.0.0.1");
    EXPECT_EQ(address.GetAddressPortUniqueID(), (uint64_t(kLoopback) << 24) + 30301);
    EXPECT_TRUE(address.IsLoopback());
    EXPECT_FALSE(IPAddress(0x0A000001, 1).IsLoopback());

    UDPNetwork::Socket socket;
    ASSERT_TRUE(socket.Open(0, true));
    EXPECT_FALSE(socket.Open(0, true));  // already open
    EXPECT_EQ(socket.GetBoundAddress().GetAddress(), kLoopback);
    sockaddr_in bound{};
    socklen_t length = sizeof bound;
    ASSERT_EQ(::getsockname(socket.GetDescriptor(), reinterpret_cast<sockaddr *>(&bound), &length), 0);
    EXPECT_EQ(ntohl(bound.sin_addr.s_addr), kLoopback);
    IPAddress sender;
    uint8_t buffer[8];
    EXPECT_EQ(socket.Receive(sender, buffer, sizeof buffer), 0u);  // nothing waiting
    EXPECT_EQ(socket.Receive(sender, nullptr, 8), 0u);
    socket.Close();
    EXPECT_FALSE(socket.IsOpen());

    UDPLoopbackMessageProtocol protocol;
    EXPECT_EQ(protocol.GetServerListenerPort(), 30300);
    EXPECT_EQ(protocol.GetClientFirstPort(), 30301);
    EXPECT_EQ(protocol.GetClientLastPort(), 30330);
    EXPECT_EQ(protocol.GetServerIPAddress().GetAddress(), kLoopback);
}

TEST(UDPLoopbackMessageServer, PingsAckAndCasts) {
    Server server;
    Client client, other;
    // With no active client a frame sends nothing.
    EXPECT_EQ(server.server.CastMessage(UDPLoopBackMessageData(3, 1, 2, "x")), 0u);
    client.ping(server.address);
    ASSERT_TRUE(server.serve());
    const UDPLoopBackMessageData ack(UDPLoopBackMessageData::MessageType_ServerAck, 0, 0,
                                     "from server:MessageType_ServerAck.");
    EXPECT_EQ(client.receive(), Bytes(ack));

    const UDPLoopBackMessageData cast(UDPLoopBackMessageData::MessageType_ServerDataCast, 17, 99,
                                      "from server:MessageType_ServerDataCast.");
    EXPECT_EQ(server.server.CastMessage(cast), 1u);
    EXPECT_EQ(client.receive(), Bytes(cast));
    EXPECT_TRUE(other.receive(50).empty());

    // Datagrams that are not pings are dropped unanswered.
    for (uint16_t type : {uint16_t(2), uint16_t(3), uint16_t(9)}) {
        const UDPLoopBackMessageData foreign(type, 0, 0, "x");
        ASSERT_TRUE(other.socket.Send(server.address, foreign.data(), foreign.sendMessageDataSize()));
        EXPECT_FALSE(server.serve());
    }
    ASSERT_TRUE(other.socket.Send(server.address, "junk", 4));
    EXPECT_FALSE(server.serve());
    EXPECT_TRUE(other.receive(50).empty());
    EXPECT_EQ(server.server.ActiveClientCount(), 1u);

    // Two pings waiting are answered on two successive frames.
    client.ping(server.address);
    other.ping(server.address);
    ASSERT_TRUE(server.serve());
    ASSERT_TRUE(server.serve());
    EXPECT_EQ(client.receive(), Bytes(ack));
    EXPECT_EQ(other.receive(), Bytes(ack));
    EXPECT_EQ(server.server.CastMessage(cast), 2u);

    // A client that last pinged 1.3 s ago receives nothing, and again after a new ping.
    std::this_thread::sleep_for(std::chrono::milliseconds(1300));
    EXPECT_EQ(server.server.CastMessage(cast), 0u);
    EXPECT_EQ(server.server.ActiveClientCount(), 0u);  // expired
    client.receive(50);
    client.receive(50);
    client.ping(server.address);
    ASSERT_TRUE(server.serve());
    client.receive();
    EXPECT_EQ(server.server.CastMessage(cast), 1u);
    EXPECT_EQ(client.receive(), Bytes(cast));
}

TEST(UDPLoopbackMessageServer, ForeignSendersAndFloodsAreBounded) {
    Server server;
    const UDPLoopBackMessageData ping(UDPLoopBackMessageData::MessageType_ClientPing, 0, 0, "MessageType_ClientPing");
    // From another host: never taken, never answered.
    EXPECT_FALSE(server.server.ServeDatagram(IPAddress(0x0A000001, 30301), ping.data(), ping.sendMessageDataSize()));
    EXPECT_FALSE(server.server.ServeDatagram(IPAddress(0xC0A80001, 30301), ping.data(), ping.sendMessageDataSize()));
    EXPECT_EQ(server.server.ActiveClientCount(), 0u);
    // A flood of pings from ever new ports (high ones: the acknowledgements really go out):
    // the table stays bounded.
    size_t taken = 0;
    for (uint32_t port = 50001; port <= 55000; ++port)
        taken += server.server.ServeDatagram(IPAddress(kLoopback, uint16_t(port)), ping.data(), ping.sendMessageDataSize());
    EXPECT_EQ(taken, UDPLoopbackMessageServer::kMaxActiveClients);
    EXPECT_EQ(server.server.ActiveClientCount(), UDPLoopbackMessageServer::kMaxActiveClients);
    // An active client pings again: still taken. Once they expire, new ones are taken.
    EXPECT_TRUE(server.server.ServeDatagram(IPAddress(kLoopback, 50001), ping.data(), ping.sendMessageDataSize()));
    std::this_thread::sleep_for(std::chrono::milliseconds(1300));
    EXPECT_TRUE(server.server.ServeDatagram(IPAddress(kLoopback, 56000), ping.data(), ping.sendMessageDataSize()));
    EXPECT_EQ(server.server.ActiveClientCount(), 1u);
}

TEST(IOSurfaceSharingNetworkServer, ClientProcessReceivesCastsAndReadsThePixels) {
    // The port is found free first: the tests of other programs may use 30300.
    uint16_t port = 0;
    {
        UDPNetwork::Socket probe;
        ASSERT_TRUE(probe.Open(0, true));
        port = probe.GetBoundAddress().GetPort();
    }
    auto network = IOSurfaceSharingNetworkServer::surfaceSharingNetServerWithPortNumber(port);
    EXPECT_EQ(network->serverPortNumber(), port);
    EXPECT_TRUE(network->outputConnect());
    IOSurfaceRef surface = IOSurfaceIPC::globalSurfaceWithSizePixels(640, 480, 0x42475241);
    ASSERT_NE(surface, nullptr);
    const uint32_t pixel = 0x44332211;
    IOSurfaceLock(surface, 0, nullptr);
    std::memcpy(IOSurfaceGetBaseAddress(surface), &pixel, 4);
    IOSurfaceUnlock(surface, 0, nullptr);

    lumora::test::ChildProcess client({LUMORA_FRAMESHARING_CLIENT, "udp", std::to_string(port), "3"});
    std::string line;
    std::vector<std::string> casts;
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    bool acked = false;
    while (casts.size() < 3 && std::chrono::steady_clock::now() < end) {
        ASSERT_TRUE(network->hasServerConnection());
        EXPECT_TRUE(network->broadcastSurfaceWithSurfaceTime(surface, 555));
        while (!(line = client.line(20)).empty()) {
            if (line.rfind("ack ", 0) == 0) {
                EXPECT_EQ(line, "ack 57 2 from server:MessageType_ServerAck.");
                acked = true;
            } else {
                casts.push_back(line);
            }
        }
    }
    EXPECT_TRUE(acked);
    ASSERT_EQ(casts.size(), 3u);
    EXPECT_EQ(casts[0], "cast 62 " + std::to_string(IOSurfaceGetID(surface)) + " 555 11223344");
    client.finish();
    CFRelease(surface);
}

}  // namespace
