#include <FrameSharing/Mach/IOSurfaceMachServer.h>

#include <FrameSharing/Mach/IOSurfaceIPC.h>
#include <FrameSharing/Mach/IOSurfaceSharing.h>

#include <Mach/MachPortRunLoop.h>

#include <cinttypes>
#include <cstdio>
#include <utility>

using Clock = std::chrono::steady_clock;

// --- Remote client ----------------------------------------------------------------------

std::shared_ptr<IOSurfaceMachServerRemoteClient> IOSurfaceMachServerRemoteClient::remoteClientWithPortName(
    uint32_t portName, uint64_t clientID, uint64_t clientType) {
    return std::make_shared<IOSurfaceMachServerRemoteClient>(portName, clientID, clientType);
}

IOSurfaceMachServerRemoteClient::IOSurfaceMachServerRemoteClient(uint32_t portName, uint64_t clientID,
                                                                 uint64_t clientType)
    : mPortName(portName), mPort(NSMachPort::portWithMachPort(portName)), mKeyName(keyNameWithPortName(portName)),
      mClientID(clientID), mClientType(clientType) {}

IOSurfaceMachServerRemoteClient::~IOSurfaceMachServerRemoteClient() { closeReplyPort(); }

std::string IOSurfaceMachServerRemoteClient::description() const {
    char text[256];
    std::snprintf(text, sizeof text,
                  "RemoteClient\nportName:%08lx\nmachPort:<NSMachPort: 0x%x>\nkeyName:%u\nclientID:%08llx\n"
                  "clientType:%08llx\n",
                  static_cast<unsigned long>(mPortName), mPort != nullptr ? mPort->machPort() : 0u, mKeyName,
                  static_cast<unsigned long long>(mClientID), static_cast<unsigned long long>(mClientType));
    return text;
}

int IOSurfaceMachServerRemoteClient::pendingReplies() const {
    std::lock_guard<std::mutex> lock(mMutex);
    return mPending;
}

void IOSurfaceMachServerRemoteClient::closeReplyPort() {
    std::shared_ptr<NSMachPort> reply;
    {
        std::lock_guard<std::mutex> lock(mMutex);
        reply = std::move(mReplyPort);
    }
    if (reply == nullptr) return;
    if (MachPortRunLoop *loop = MachMessageConnection::serverRunLoopThread()) loop->removePort(reply);
    reply->releaseRights();
}

bool IOSurfaceMachServerRemoteClient::sendFrameSurface(uint64_t surfaceTime, uint32_t surfacePort) {
    std::shared_ptr<NSMachPort> reply;
    {
        std::lock_guard<std::mutex> lock(mMutex);
        if (mPending > 0) {
            const double waited = std::chrono::duration<double>(Clock::now() - mWaitingSince).count();
            if (waited > kIOSurfaceMachServerClientReplyTimeout) return false;
            if (mPending >= kIOSurfaceMachServerMaxPendingReplies) return true;  // skipped this time
        }
        if (surfacePort == 0) return true;  // nothing to send
        if (mReplyPort == nullptr) {
            mReplyPort = NSMachPort::port();
            if (mReplyPort == nullptr) return true;
            mReplyPort->setDelegate(std::weak_ptr<IOSurfaceMachServerRemoteClient>(shared_from_this()));
            if (MachPortRunLoop *loop = MachMessageConnection::serverRunLoopThread()) loop->addPort(mReplyPort);
        }
        reply = mReplyPort;
    }
    // Counted before the send: the reply may come back before mach_msg returns.
    {
        std::lock_guard<std::mutex> lock(mMutex);
        if (mPending++ == 0) mWaitingSince = Clock::now();
    }
    IOSurfaceSharing::Request_BroadcastFrameSurface request;
    IOSurfaceSharing_BuildBroadcastFrameSurface(request, mPortName, reply->machPort(), surfaceTime, surfacePort);
    const mach_msg_return_t result = mach_msg(&request.Head, MACH_SEND_MSG | MACH_SEND_TIMEOUT, sizeof request, 0,
                                              MACH_PORT_NULL, 0, MACH_PORT_NULL);
    if (result == MACH_MSG_SUCCESS) return true;
    {
        std::lock_guard<std::mutex> lock(mMutex);
        if (mPending > 0) --mPending;
    }
    // A full queue: the wait for replies decides. Any other failure: the client is gone.
    return result == MACH_SEND_TIMED_OUT;
}

void IOSurfaceMachServerRemoteClient::handleMachMessage(void *msg) {
    auto *message = static_cast<mach_msg_header_t *>(msg);
    mach_msg_destroy(message);
    std::lock_guard<std::mutex> lock(mMutex);
    if (mPending > 0) --mPending;
    mWaitingSince = Clock::now();
}

// --- Server -----------------------------------------------------------------------------

std::shared_ptr<IOSurfaceMachServer> IOSurfaceMachServer::serverWithDelegate(IOSurfaceMachServerDelegate *delegate) {
    auto server = std::make_shared<IOSurfaceMachServer>();
    server->initWithDelegate(delegate);
    return server;
}

void IOSurfaceMachServer::initWithDelegate(IOSurfaceMachServerDelegate *delegate) {
    MachMessageConnection::initWithDelegate(delegate);
    std::lock_guard<std::mutex> lock(mRemoteClientsLock);
    mRemoteClients.clear();
    mOutputMachPortName.clear();
}

IOSurfaceMachServer::~IOSurfaceMachServer() {
    std::map<uint32_t, std::shared_ptr<IOSurfaceMachServerRemoteClient>> clients;
    {
        std::lock_guard<std::mutex> lock(mRemoteClientsLock);
        clients.swap(mRemoteClients);
    }
    for (auto &[key, client] : clients) client->closeReplyPort();
}

IOSurfaceMachServerDelegate *IOSurfaceMachServer::delegate() const {
    return dynamic_cast<IOSurfaceMachServerDelegate *>(connectionDelegate());
}

bool IOSurfaceMachServer::publishServerConnectionWithServerPortName(const std::string &name) {
    mOutputMachPortName = name;
    return publishServerConnectionOnMachPort(NSMachBootstrapServer::sharedInstance()->servicePortWithName(name));
}

bool IOSurfaceMachServer::publishServerConnectionOnMachPort(const std::shared_ptr<NSMachPort> &port) {
    if (port == nullptr) return false;
    if (!connectWithServerMachPort(port)) return false;
    return runServerConnectionOnMachPort(port);
}

bool IOSurfaceMachServer::setServerOutputPortName(const std::string &name) {
    mOutputMachPortName = name;
    disconnect();
    return publishServerConnectionWithServerPortName(mOutputMachPortName);
}

std::string IOSurfaceMachServer::serverOutputPortName() const { return mOutputMachPortName; }

bool IOSurfaceMachServer::stopServer() { return disconnect(); }

bool IOSurfaceMachServer::disconnect() {
    const bool result = MachMessageConnection::disconnect();
    // The clients were checked in on that service: they go with it.
    std::map<uint32_t, std::shared_ptr<IOSurfaceMachServerRemoteClient>> clients;
    {
        std::lock_guard<std::mutex> lock(mRemoteClientsLock);
        clients.swap(mRemoteClients);
    }
    for (auto &[key, client] : clients) client->closeReplyPort();
    return result;
}

std::vector<std::shared_ptr<IOSurfaceMachServerRemoteClient>> IOSurfaceMachServer::remoteClients() const {
    std::lock_guard<std::mutex> lock(mRemoteClientsLock);
    std::vector<std::shared_ptr<IOSurfaceMachServerRemoteClient>> clients;
    clients.reserve(mRemoteClients.size());
    for (const auto &[key, client] : mRemoteClients) clients.push_back(client);
    return clients;
}

bool IOSurfaceMachServer::DropClient(const std::shared_ptr<IOSurfaceMachServerRemoteClient> &client) {
    {
        std::lock_guard<std::mutex> lock(mRemoteClientsLock);
        auto found = mRemoteClients.find(client->keyName());
        if (found == mRemoteClients.end() || found->second != client) return false;
        mRemoteClients.erase(found);
    }
    client->closeReplyPort();
    return true;
}

bool IOSurfaceMachServer::broadcastFrameSurface(IOSurfaceRef surface, uint64_t surfaceTimeStamp) {
    const std::vector<std::shared_ptr<IOSurfaceMachServerRemoteClient>> clients = remoteClients();
    if (clients.empty()) return true;
    // One port for the frame, copied to every client (no surface: no port, nothing sent).
    const uint32_t surfacePort = surface != nullptr ? IOSurfaceCreateMachPort(surface) : 0;
    std::vector<std::shared_ptr<IOSurfaceMachServerRemoteClient>> dropped;
    for (const auto &client : clients)
        if (!client->sendFrameSurface(surfaceTimeStamp, surfacePort)) dropped.push_back(client);
    IOSurfaceIPC::deallocateRemotingSurfaceID(surfacePort);
    for (const auto &client : dropped)
        if (DropClient(client)) delegatedClientDisconnected(client->port());
    return true;
}

uint64_t IOSurfaceMachServer::broadcastFrameSurfaceWithCurrentTimeStamp(IOSurfaceRef surface) {
    const uint64_t time = currentHostGetSurfaceTimeStamp();
    broadcastFrameSurface(surface, time);
    return time;
}

bool IOSurfaceMachServer::broadcastControlCommandName(uint64_t commandName, uint64_t commandValue) {
    for (const auto &client : remoteClients())
        __mach_call_BroadcastControlCommand(client->portName(), commandName, commandValue);
    return true;
}

bool IOSurfaceMachServer::hasClientWithUniqueID(uint64_t clientID) const {
    std::lock_guard<std::mutex> lock(mRemoteClientsLock);
    for (const auto &[key, client] : mRemoteClients)
        if (client->clientID() == clientID) return true;
    return false;
}

bool IOSurfaceMachServer::hasClientWithUniqueIdentifierString(const std::optional<std::string> &string) const {
    return hasClientWithUniqueID(IOSurfaceConnectionClientID::uniqueIdentifierWithString(string));
}

size_t IOSurfaceMachServer::addRemoteClient(const std::shared_ptr<IOSurfaceMachServerRemoteClient> &client) {
    std::shared_ptr<IOSurfaceMachServerRemoteClient> replaced;
    size_t count;
    {
        std::lock_guard<std::mutex> lock(mRemoteClientsLock);
        if (client != nullptr) {
            auto &slot = mRemoteClients[client->keyName()];
            replaced = std::exchange(slot, client);
        }
        count = mRemoteClients.size();
    }
    if (replaced != nullptr && replaced != client) replaced->closeReplyPort();
    return count;
}

size_t IOSurfaceMachServer::removeRemoteClientWithPortName(uint32_t portName) {
    std::shared_ptr<IOSurfaceMachServerRemoteClient> removed;
    size_t count;
    {
        std::lock_guard<std::mutex> lock(mRemoteClientsLock);
        auto found = mRemoteClients.find(IOSurfaceMachServerRemoteClient::keyNameWithPortName(portName));
        if (found != mRemoteClients.end()) {
            removed = std::move(found->second);
            mRemoteClients.erase(found);
        }
        count = mRemoteClients.size();
    }
    if (removed != nullptr) removed->closeReplyPort();
    return count;
}

std::shared_ptr<IOSurfaceMachServerRemoteClient> IOSurfaceMachServer::retainedRemoteClientWithMachPort(
    uint32_t portName) const {
    std::lock_guard<std::mutex> lock(mRemoteClientsLock);
    auto found = mRemoteClients.find(IOSurfaceMachServerRemoteClient::keyNameWithPortName(portName));
    return found == mRemoteClients.end() ? nullptr : found->second;
}

int32_t IOSurfaceMachServer::__mach_message_ClientCheckIn(uint32_t clientPortName, uint64_t clientID,
                                                          uint64_t clientType, uint32_t *outClientIndex) {
    if (!MACH_PORT_VALID(clientPortName)) return MIG_TYPE_ERROR;
    std::shared_ptr<IOSurfaceMachServerRemoteClient> client, replaced;
    {
        std::lock_guard<std::mutex> lock(mRemoteClientsLock);
        auto found = mRemoteClients.find(IOSurfaceMachServerRemoteClient::keyNameWithPortName(clientPortName));
        if (found != mRemoteClients.end()) {
            // The same port again: one name, and the entry's port object already holds a
            // reference of it.
            mach_port_deallocate(mach_task_self(), clientPortName);
        } else if (mRemoteClients.size() >= kIOSurfaceMachServerMaxClients) {
            mach_port_deallocate(mach_task_self(), clientPortName);
            return KERN_RESOURCE_SHORTAGE;
        }
        client = IOSurfaceMachServerRemoteClient::remoteClientWithPortName(clientPortName, clientID, clientType);
        auto &slot = mRemoteClients[client->keyName()];
        replaced = std::exchange(slot, client);
        if (outClientIndex != nullptr) *outClientIndex = uint32_t(mRemoteClients.size());
    }
    if (replaced != nullptr) replaced->closeReplyPort();
    delegatedClientCheckIn(clientID);
    // A port that died before its client entered the table was not seen by clientPortDied.
    if (client->port() == nullptr || !client->port()->isValid()) {
        if (DropClient(client)) delegatedClientDisconnected(client->port());
    }
    return 0;
}

int32_t IOSurfaceMachServer::__mach_message_ClientFrameIn(uint32_t clientPortName, uint64_t surfaceTime,
                                                          uint32_t surfaceID) {
    std::shared_ptr<IOSurfaceMachServerRemoteClient> client = retainedRemoteClientWithMachPort(clientPortName);
    if (client == nullptr) return 0;
    IOSurfaceRef surface = surfaceID != 0 ? IOSurfaceLookup(surfaceID) : nullptr;
    delegatedClientFrameIn(client->clientID(), surface, surfaceTime);
    if (surface != nullptr) CFRelease(surface);
    return 0;
}

void IOSurfaceMachServer::clientPortDied(const std::shared_ptr<NSMachPort> &port) {
    std::vector<std::shared_ptr<IOSurfaceMachServerRemoteClient>> removed;
    {
        std::lock_guard<std::mutex> lock(mRemoteClientsLock);
        for (auto it = mRemoteClients.begin(); it != mRemoteClients.end();) {
            if (it->second->port() != nullptr && it->second->port()->isEqual(*port)) {
                removed.push_back(std::move(it->second));
                it = mRemoteClients.erase(it);
            } else {
                ++it;
            }
        }
    }
    for (const auto &client : removed) client->closeReplyPort();
    delegatedClientDisconnected(port);
}

void IOSurfaceMachServer::serverPortDied(const std::shared_ptr<NSMachPort> &port) {
    IOSurfaceMachConnection::serverPortDied(port);
    std::shared_ptr<NSMachPort> server = serverPort();
    if (server != nullptr && server->isEqual(*port)) delegatedServerDisconnected(port);
}

void IOSurfaceMachServer::delegatedClientCheckIn(uint64_t clientID) {
    if (IOSurfaceMachServerDelegate *delegate = this->delegate()) delegate->surfaceServerConnectedClientWithID(this, clientID);
}

void IOSurfaceMachServer::delegatedClientFrameIn(uint64_t clientID, IOSurfaceRef surface, uint64_t surfaceTime) {
    if (IOSurfaceMachServerDelegate *delegate = this->delegate())
        delegate->surfaceServerClientIDSurfaceRefSurfaceTime(this, clientID, surface, surfaceTime);
}

void IOSurfaceMachServer::delegatedClientDisconnected(const std::shared_ptr<NSMachPort> &port) {
    if (IOSurfaceMachServerDelegate *delegate = this->delegate())
        delegate->surfaceServerDisconnectedClientWithPort(this, port);
}

void IOSurfaceMachServer::delegatedServerDisconnected(const std::shared_ptr<NSMachPort> &port) {
    if (IOSurfaceMachServerDelegate *delegate = this->delegate())
        delegate->surfaceServerDisconnectedServerPort(this, port);
}

bool import_IOSurfaceMachServer() { return import_IOSurfaceMachConnection(); }
