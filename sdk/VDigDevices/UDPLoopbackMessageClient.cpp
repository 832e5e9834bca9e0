#include <VDigDevices/UDPLoopbackMessageClient.h>

UDPLoopbackMessageClient::UDPLoopbackMessageClient(uint16_t serverPort) : UDPLoopbackMessageProtocol(serverPort) {}

UDPLoopbackMessageClient::~UDPLoopbackMessageClient() { DisconnectFromServer(); }

uint16_t UDPLoopbackMessageClient::AcceptServerDatagram(const UDPNetwork::IPAddress &server,
                                                        const UDPNetwork::IPAddress &sender, const void *bytes,
                                                        size_t length, UDPLoopBackMessageData &message) {
    message.SetReceived(bytes, length);
    // The server's own address and port only, and never an unbound one.
    if (server.m_port == 0 || !(sender == server) || server.m_address != 0x7F000001) return 0;
    if (length < UDPLoopBackMessageData::kFieldsSize || !message.HasMagic()) return 0;
    const uint16_t type = message.GetMessageType();
    if (type == UDPLoopBackMessageData::MessageType_ServerAck || type == UDPLoopBackMessageData::MessageType_ServerDataCast)
        return type;
    return 0;
}

bool UDPLoopbackMessageClient::ConnectToServerWithFirstAvailableSocketInPortRange() {
    if (mSocket.IsOpen()) return true;
    const uint16_t first = GetClientFirstPort();
    const uint16_t last = GetClientLastPort();
    for (uint32_t port = first; port <= last && port <= 0xFFFF; ++port) {
        if (port == 0) continue;
        if (mSocket.Open(uint16_t(port), true)) break;
    }
    if (!mSocket.IsOpen()) return false;
    mServerAddress = GetServerIPAddress();
    SendPingMessageToServer();
    return true;
}

void UDPLoopbackMessageClient::SendPingMessageToServer() {
    const UDPLoopBackMessageData ping(UDPLoopBackMessageData::MessageType_ClientPing, 0, 0, "MessageType_ClientPing");
    mSocket.Send(mServerAddress, ping.data(), ping.sendMessageDataSize());
    mPingClock.Start();
}

void UDPLoopbackMessageClient::PingServerWithKeepAlive() {
    if (double(mPingClock.Elapsed_nsec()) / 1e9 > kKeepAliveSeconds) SendPingMessageToServer();
}

bool UDPLoopbackMessageClient::HandleServerMessagesWithReceiveBlock(
    const std::function<void(const UDPNetwork::IPAddress &, const UDPLoopBackMessageData &)> &block) {
    if (!mSocket.IsOpen()) return false;
    bool any = false;
    uint8_t buffer[UDPLoopBackMessageData::kReceiveSize];
    // A bounded number per call, so that a flood cannot hold the capture thread.
    for (size_t n = 0; n < kMaxDatagramsPerRead; ++n) {
        UDPNetwork::IPAddress sender;
        const size_t length = mSocket.Receive(sender, buffer, sizeof buffer);
        if (length == 0) break;
        UDPLoopBackMessageData message;
        const uint16_t type = AcceptServerDatagram(GetServerIPAddress(), sender, buffer, length, message);
        if (type == UDPLoopBackMessageData::MessageType_ServerAck) {
            mServerAddress = sender;
            any = true;
        } else if (type == UDPLoopBackMessageData::MessageType_ServerDataCast) {
            if (block) block(sender, message);
            any = true;
        }
    }
    return any;
}

void UDPLoopbackMessageClient::DisconnectFromServer() {
    if (mSocket.IsOpen()) mSocket.Close();
}

void UDPLoopbackMessageClient::SetServerPort(uint16_t port) {
    DisconnectFromServer();
    SetServerListenerPort(port);
    mServerAddress = UDPNetwork::IPAddress();
}

bool UDPLoopbackMessageClientBuffer::GetNewMessages(std::vector<message_t> &list) {
    if (!ConnectToServerWithFirstAvailableSocketInPortRange()) return !list.empty();
    PingServerWithKeepAlive();
    HandleServerMessagesWithReceiveBlock([&list](const UDPNetwork::IPAddress &sender, const UDPLoopBackMessageData &m) {
        message_t entry;
        entry.address = sender;
        entry.message.SetReceived(m.data(), UDPLoopBackMessageData::kReceiveSize);
        list.push_back(entry);
    });
    return !list.empty();
}

bool import_UDPLoopbackMessageClient() { return true; }
