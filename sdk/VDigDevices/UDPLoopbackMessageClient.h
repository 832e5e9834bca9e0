// The client side of the UDP loopback casts: a socket bound to 127.0.0.1 on the first free
// client port, a ping every second, and the data casts of the server.
//
// Only datagrams from the server's own address (127.0.0.1 on the server port) are taken:
// another local process cannot send the client a surface identifier of its choosing, since
// it cannot send from the port the server holds.
#pragma once

#include <FrameSharing/Network/UDPLoopBackMessageData.h>
#include <FrameSharing/Network/UDPLoopbackMessageServer.h>
#include <FrameSharing/Network/UDPNetwork.h>

#include <CoreX/CoreMachElapsedTime.h>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

class UDPLoopbackMessageClient : public UDPLoopbackMessageProtocol {
public:
    static constexpr double kKeepAliveSeconds = 1.0;
    static constexpr size_t kMaxDatagramsPerRead = 256;

    explicit UDPLoopbackMessageClient(uint16_t serverPort = 30300);
    virtual ~UDPLoopbackMessageClient();
    UDPLoopbackMessageClient(const UDPLoopbackMessageClient &) = delete;
    UDPLoopbackMessageClient &operator=(const UDPLoopbackMessageClient &) = delete;

    // The received datagram, when it is a server datagram of type 2 or 3 from `server`:
    // its type, else 0 (another sender, no magic, another type). `message` holds the
    // datagram (at most 77 bytes) either way.
    static uint16_t AcceptServerDatagram(const UDPNetwork::IPAddress &server, const UDPNetwork::IPAddress &sender,
                                         const void *bytes, size_t length, UDPLoopBackMessageData &message);

    // With the socket closed, opens it on 127.0.0.1 on the first client port that can be had
    // (server port + 1 to + 30), takes the protocol's server address and pings. Whether the
    // socket is open.
    bool ConnectToServerWithFirstAvailableSocketInPortRange();
    void SendPingMessageToServer();
    // A ping when the last one is more than a second old.
    void PingServerWithKeepAlive();
    // Receives the waiting datagrams (at most kMaxDatagramsPerRead); data casts of the server go to `block`. Whether any
    // acknowledgement or data cast came.
    bool HandleServerMessagesWithReceiveBlock(
        const std::function<void(const UDPNetwork::IPAddress &, const UDPLoopBackMessageData &)> &block);
    void DisconnectFromServer();

    // Closes the socket (the next read reconnects) and takes the new server port.
    void SetServerPort(uint16_t port);
    bool IsConnected() const { return mSocket.IsOpen(); }
    const UDPNetwork::Socket &ClientSocket() const { return mSocket; }

protected:
    UDPNetwork::Socket mSocket;
    UDPNetwork::IPAddress mServerAddress;
    CoreMachElapsedTime mPingClock;
};

class UDPLoopbackMessageClientBuffer : public UDPLoopbackMessageClient {
public:
    struct message_t {
        UDPNetwork::IPAddress address;
        UDPLoopBackMessageData message;
    };
    using UDPLoopbackMessageClient::UDPLoopbackMessageClient;

    // Connects when needed, pings with keep-alive and appends each data cast received.
    // Whether `list` holds at least one message.
    bool GetNewMessages(std::vector<message_t> &list);
};

bool import_UDPLoopbackMessageClient();
