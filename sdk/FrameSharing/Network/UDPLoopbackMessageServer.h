// The UDP loopback casts: the protocol constants, the server that learns its clients from
// their pings and casts each frame's surface identifier and time to them, and the sharing
// output that owns it (IOSurfaceSharingNetworkServer).
//
// The server listens on 127.0.0.1 only and takes datagrams from loopback senders only: the
// casts never leave the machine. Any local process can ping it and learn the surface
// identifiers and times; the pixels stay behind the surfaces' own per-user permissions.
// Its client table holds at most kMaxActiveClients entries: an entry whose last ping is
// kActiveSeconds old is expired (it is made again at its next ping), and a ping from a new
// sender while the table is full of active clients is not answered. One datagram is served
// per frame.
#pragma once

#include <FrameSharing/IOSurfaceSharingServerOutputProtocol.h>
#include <FrameSharing/Network/UDPLoopBackMessageData.h>
#include <FrameSharing/Network/UDPNetwork.h>

#include <CoreX/CoreMachElapsedTime.h>

#include <cstdint>
#include <map>
#include <memory>

class UDPLoopbackMessageProtocol {
public:
    explicit UDPLoopbackMessageProtocol(uint16_t port = 30300) { SetServerListenerPort(port); }

    void SetServerListenerPort(uint16_t port) {
        mServerAddress = UDPNetwork::IPAddress(0x7F000001, port);
    }
    uint16_t GetServerListenerPort() const { return mServerAddress.m_port; }
    const UDPNetwork::IPAddress &GetServerIPAddress() const { return mServerAddress; }
    uint16_t GetClientFirstPort() const { return uint16_t(mServerAddress.m_port + 1); }
    uint16_t GetClientLastPort() const { return uint16_t(mServerAddress.m_port + 30); }

private:
    UDPNetwork::IPAddress mServerAddress;
};

class UDPLoopbackMessageServer {
public:
    static constexpr size_t kMaxActiveClients = 64;
    static constexpr double kActiveSeconds = 1.25;

    struct UDPActiveClient {
        UDPNetwork::IPAddress address;
        CoreMachElapsedTime lastPing;  // started at the ping
    };

    explicit UDPLoopbackMessageServer(uint16_t port = 0) : mProtocol(port) {}
    ~UDPLoopbackMessageServer() { Close(); }

    UDPLoopbackMessageProtocol &Protocol() { return mProtocol; }
    // Opens the server socket on 127.0.0.1 at the protocol's port, non-blocking.
    bool Open();
    bool IsOpen() const { return mSocket.IsOpen(); }
    void Close();

    // Receives at most one waiting datagram (77 bytes) without waiting and serves it.
    bool ServeOneDatagram();
    // A datagram from `sender`: a ping ("PIyb", type 1) from a loopback sender is answered
    // with an acknowledgement and (re)enters the client table; anything else is dropped.
    // Whether it was a ping that was taken.
    bool ServeDatagram(const UDPNetwork::IPAddress &sender, const void *bytes, size_t length);
    // Sends the datagram to every client that pinged less than kActiveSeconds ago, in
    // ascending order of their ids, and expires the others; answers the sends that went out.
    size_t CastMessage(const UDPLoopBackMessageData &message);
    size_t ActiveClientCount() const { return mActiveClients.size(); }
    const UDPNetwork::Socket &ServerSocket() const { return mSocket; }

private:
    void Expire();

    UDPLoopbackMessageProtocol mProtocol;
    std::map<uint64_t, UDPActiveClient> mActiveClients;
    UDPNetwork::Socket mSocket;
};

class IOSurfaceSharingNetworkServer : public IOSurfaceSharingServerOutputProtocol {
public:
    static std::shared_ptr<IOSurfaceSharingNetworkServer> surfaceSharingNetServerWithPortNumber(uint16_t port);
    static std::shared_ptr<IOSurfaceSharingNetworkServer> serverOutputWithConnectionID(uint64_t connectionID);
    // initWithConnectionID: the flag cleared, then the port (the number's low 16 bits).
    explicit IOSurfaceSharingNetworkServer(uint64_t connectionID);

    // Closes the socket when open, sets the port and opens again (the flag is not changed).
    void setServerPortNumber(uint16_t port);
    uint16_t serverPortNumber() { return _loopbackServer.Protocol().GetServerListenerPort(); }

    // With the flag clear, opens the socket when needed and sets the flag to the outcome;
    // with the flag set, serves one waiting datagram. Answers the flag.
    bool hasServerConnection() override;
    // A type-3 datagram (A = the surface identifier, B = the time) to the active clients;
    // false when the flag is clear.
    bool broadcastSurfaceWithSurfaceTime(IOSurfaceRef surface, uint64_t surfaceTime) override;
    bool broadcastSurface(IOSurfaceRef surface) override;
    bool outputConnect() override { return true; }
    bool outputDisconnect() override { return true; }

    UDPLoopbackMessageServer &loopbackServer() { return _loopbackServer; }

private:
    UDPLoopbackMessageServer _loopbackServer{0};
    bool mSocketOpen = false;
};

bool import_UDPLoopbackMessageServer();
