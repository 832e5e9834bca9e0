#include <FrameSharing/Network/UDPLoopbackMessageServer.h>

#include <Mach/mach_time.h>

namespace {
double SecondsSince(const CoreMachElapsedTime &time) {
    return double(time.Elapsed_nsec()) / 1000.0 / 1000.0 / 1000.0;
}
}  // namespace

bool UDPLoopbackMessageServer::Open() {
    return mSocket.IsOpen() || mSocket.Open(mProtocol.GetServerListenerPort(), true);
}

void UDPLoopbackMessageServer::Close() {
    mSocket.Close();
    mActiveClients.clear();
}

bool UDPLoopbackMessageServer::ServeOneDatagram() {
    uint8_t buffer[UDPLoopBackMessageData::kReceiveSize];
    UDPNetwork::IPAddress sender;
    const size_t length = mSocket.Receive(sender, buffer, sizeof buffer);
    if (length == 0) return false;
    return ServeDatagram(sender, buffer, length);
}

void UDPLoopbackMessageServer::Expire() {
    for (auto it = mActiveClients.begin(); it != mActiveClients.end();) {
        if (SecondsSince(it->second.lastPing) >= kActiveSeconds)
            it = mActiveClients.erase(it);
        else
            ++it;
    }
}

bool UDPLoopbackMessageServer::ServeDatagram(const UDPNetwork::IPAddress &sender, const void *bytes, size_t length) {
    if (!sender.IsLoopback()) return false;
    UDPLoopBackMessageData message;
    message.SetReceived(bytes, length);
    if (!message.HasMagic() || message.GetMessageType() != UDPLoopBackMessageData::MessageType_ClientPing) return false;
    const uint64_t id = sender.GetAddressPortUniqueID();
    if (mActiveClients.find(id) == mActiveClients.end()) {
        if (mActiveClients.size() >= kMaxActiveClients) Expire();
        if (mActiveClients.size() >= kMaxActiveClients) return false;
    }
    const UDPLoopBackMessageData ack(UDPLoopBackMessageData::MessageType_ServerAck, 0, 0,
                                     "from server:MessageType_ServerAck.");
    mSocket.Send(sender, ack.data(), ack.sendMessageDataSize());
    UDPActiveClient &client = mActiveClients[id];
    client.address = sender;
    client.lastPing.Start();
    return true;
}

size_t UDPLoopbackMessageServer::CastMessage(const UDPLoopBackMessageData &message) {
    Expire();
    size_t sent = 0;
    for (const auto &[id, client] : mActiveClients)
        sent += mSocket.Send(client.address, message.data(), message.sendMessageDataSize()) ? 1 : 0;
    return sent;
}

std::shared_ptr<IOSurfaceSharingNetworkServer> IOSurfaceSharingNetworkServer::surfaceSharingNetServerWithPortNumber(
    uint16_t port) {
    return serverOutputWithConnectionID(port);
}

std::shared_ptr<IOSurfaceSharingNetworkServer> IOSurfaceSharingNetworkServer::serverOutputWithConnectionID(
    uint64_t connectionID) {
    return std::make_shared<IOSurfaceSharingNetworkServer>(connectionID);
}

IOSurfaceSharingNetworkServer::IOSurfaceSharingNetworkServer(uint64_t connectionID) {
    mSocketOpen = false;
    setServerPortNumber(uint16_t(connectionID));
}

void IOSurfaceSharingNetworkServer::setServerPortNumber(uint16_t port) {
    if (_loopbackServer.IsOpen()) _loopbackServer.Close();
    _loopbackServer.Protocol().SetServerListenerPort(port);
    _loopbackServer.Open();
}

bool IOSurfaceSharingNetworkServer::hasServerConnection() {
    if (!mSocketOpen) mSocketOpen = _loopbackServer.Open();
    if (mSocketOpen) _loopbackServer.ServeOneDatagram();
    return mSocketOpen;
}

bool IOSurfaceSharingNetworkServer::broadcastSurfaceWithSurfaceTime(IOSurfaceRef surface, uint64_t surfaceTime) {
    if (!mSocketOpen) return false;
    const UDPLoopBackMessageData cast(UDPLoopBackMessageData::MessageType_ServerDataCast,
                                      surface != nullptr ? IOSurfaceGetID(surface) : 0, surfaceTime,
                                      "from server:MessageType_ServerDataCast.");
    _loopbackServer.CastMessage(cast);
    return true;
}

bool IOSurfaceSharingNetworkServer::broadcastSurface(IOSurfaceRef surface) {
    mach_timebase_info_data_t timebase{0, 0};
    uint64_t now = 0;
    if (mach_timebase_info(&timebase) == KERN_SUCCESS && timebase.denom != 0)
        now = mach_absolute_time() * timebase.numer / timebase.denom;
    return broadcastSurfaceWithSurfaceTime(surface, now);
}

bool import_UDPLoopbackMessageServer() {
    return import_UDPNetwork() && import_UDPLoopBackMessageData() && import_CoreMachElapsedTime();
}
