#include <FrameSharing/Mach/MachMessageConnection.h>

#include <FrameSharing/Mach/MachRunLoopThread.h>

#include <Mach/MachPortRunLoop.h>

#include <unordered_map>

namespace {

struct Registry {
    std::mutex mutex;
    std::unordered_map<uint32_t, std::shared_ptr<MachMessageConnection>> connections;
};

Registry &TheRegistry() {
    static Registry *registry = [] {
        auto *made = new Registry;  // never released: message functions may run until exit
        made->connections.reserve(3);
        return made;
    }();
    return *registry;
}

}  // namespace

MachMessageConnection::~MachMessageConnection() {
    // The registry holds registered connections, so nothing is registered any more here.
    {
        std::lock_guard<std::mutex> lock(mPortMutex);
        if (mLocalPort != nullptr) mLocalPort->releaseRights();
        if (mServerPort != nullptr) mServerPort->releaseRights();
    }
    mConnectionDelegate.store(nullptr);
    if (mObserverToken != 0) NSMachPort::removePortDidBecomeInvalidObserver(mObserverToken);
}

void MachMessageConnection::initWithDelegate(MachMessageConnectionDelegate *delegate) {
    mConnectionDelegate.store(delegate);
    {
        std::lock_guard<std::mutex> lock(mPortMutex);
        mServerPort.reset();
        mLocalPort.reset();
    }
    mServerPortName.store(0);
    mLocalPortName.store(0);
    std::weak_ptr<MachMessageConnection> self = weak_from_this();
    if (mObserverToken == 0)
        mObserverToken = NSMachPort::addPortDidBecomeInvalidObserver(self, [self](const std::shared_ptr<NSMachPort> &port) {
            if (auto connection = self.lock()) connection->anyMachPortDied(port);
        });
}

bool MachMessageConnection::connectWithServerMachPort(const std::shared_ptr<NSMachPort> &port) {
    if (port == nullptr) return false;
    setServerPort(port);
    setServerPortName(port->machPort());
    registerConnection(shared_from_this(), port->machPort());
    std::shared_ptr<NSMachPort> local = NSMachPort::port();
    if (local == nullptr) return false;
    setLocalPort(local);
    setLocalPortName(local->machPort());
    registerConnection(shared_from_this(), local->machPort());
    return true;
}

bool MachMessageConnection::runConnectionOnMachPort(const std::shared_ptr<NSMachPort> &port, MachPortRunLoop *runLoop) {
    if (port == nullptr || runLoop == nullptr) return false;
    port->setDelegate(std::weak_ptr<MachMessageConnection>(shared_from_this()));
    runLoop->addPort(port);
    return true;
}

bool MachMessageConnection::runServerConnectionOnMachPort(const std::shared_ptr<NSMachPort> &port) {
    return runConnectionOnMachPort(port, serverRunLoopThread());
}

bool MachMessageConnection::runLocalConnectionOnMachPort(const std::shared_ptr<NSMachPort> &port) {
    MachPortRunLoop *loop = localRunLoopThread();
    if (loop == nullptr) return false;
    return runConnectionOnMachPort(port, loop);
}

MachPortRunLoop *MachMessageConnection::serverRunLoopThread() {
    return MachRunLoopThread::sharedServerRunLoopThread()->threadRunLoop();
}

MachPortRunLoop *MachMessageConnection::localRunLoopThread() {
    return MachRunLoopThread::sharedLocalRunLoopThread()->threadRunLoop();
}

bool MachMessageConnection::isConnected() const {
    std::lock_guard<std::mutex> lock(mPortMutex);
    return mServerPort != nullptr || mLocalPort != nullptr;
}

bool MachMessageConnection::disconnect() {
    // The registry's reference may be the last one: keep this object until the end.
    std::shared_ptr<MachMessageConnection> keep;
    try {
        keep = shared_from_this();
    } catch (const std::bad_weak_ptr &) {
        // Called from the destructor.
    }
    std::shared_ptr<NSMachPort> local, server;
    {
        std::lock_guard<std::mutex> lock(mPortMutex);
        local = std::move(mLocalPort);
        server = std::move(mServerPort);
    }
    if (local != nullptr) {
        unregisterConnectionForMachPort(local->machPort());
        if (MachPortRunLoop *loop = localRunLoopThread()) loop->removePort(local);
        local->releaseRights();
        mLocalPortName.store(0);
    }
    if (server != nullptr) {
        unregisterConnectionForMachPort(server->machPort());
        if (MachPortRunLoop *loop = serverRunLoopThread()) loop->removePort(server);
        server->releaseRights();
        mServerPortName.store(0);
    }
    return true;
}

void MachMessageConnection::anyMachPortDied(const std::shared_ptr<NSMachPort> &port) {
    if (port == nullptr) return;
    std::shared_ptr<NSMachPort> server = serverPort(), local = localPort();
    if (server != nullptr && server->isEqual(*port))
        serverPortDied(port);
    else if (local != nullptr && local->isEqual(*port))
        localPortDied(port);
    else
        clientPortDied(port);
}

void MachMessageConnection::serverPortDied(const std::shared_ptr<NSMachPort> &port) {
    if (MachPortRunLoop *loop = serverRunLoopThread()) loop->removePort(port);
}

void MachMessageConnection::localPortDied(const std::shared_ptr<NSMachPort> &port) {
    if (MachPortRunLoop *loop = localRunLoopThread()) loop->removePort(port);
}

void MachMessageConnection::clientPortDied(const std::shared_ptr<NSMachPort> &) {}

void MachMessageConnection::delegatedConnectionError(int32_t code) {
    if (MachMessageConnectionDelegate *delegate = connectionDelegate())
        delegate->connectionErrorWithMachResultCode(this, code);
}

bool MachMessageConnection::registerConnection(const std::shared_ptr<MachMessageConnection> &connection,
                                               uint32_t name) {
    Registry &registry = TheRegistry();
    std::lock_guard<std::mutex> lock(registry.mutex);
    registry.connections[name] = connection;
    return true;
}

bool MachMessageConnection::unregisterConnectionForMachPort(uint32_t name) {
    std::shared_ptr<MachMessageConnection> removed;  // let go after the lock
    Registry &registry = TheRegistry();
    std::lock_guard<std::mutex> lock(registry.mutex);
    auto found = registry.connections.find(name);
    if (found != registry.connections.end()) {
        removed = std::move(found->second);
        registry.connections.erase(found);
    }
    return true;
}

std::shared_ptr<MachMessageConnection> MachMessageConnection::connectionForMachPort(uint32_t name) {
    Registry &registry = TheRegistry();
    std::lock_guard<std::mutex> lock(registry.mutex);
    auto found = registry.connections.find(name);
    return found == registry.connections.end() ? nullptr : found->second;
}

std::shared_ptr<NSMachPort> MachMessageConnection::serverPort() const {
    std::lock_guard<std::mutex> lock(mPortMutex);
    return mServerPort;
}

void MachMessageConnection::setServerPort(std::shared_ptr<NSMachPort> port) {
    std::lock_guard<std::mutex> lock(mPortMutex);
    mServerPort = std::move(port);
}

std::shared_ptr<NSMachPort> MachMessageConnection::localPort() const {
    std::lock_guard<std::mutex> lock(mPortMutex);
    return mLocalPort;
}

void MachMessageConnection::setLocalPort(std::shared_ptr<NSMachPort> port) {
    std::lock_guard<std::mutex> lock(mPortMutex);
    mLocalPort = std::move(port);
}

void MachMessageConnection::handleMachMessage(void *msg) {
    // A plain connection takes no messages: their rights are given up.
    mach_msg_destroy(static_cast<mach_msg_header_t *>(msg));
}

bool import_MachMessageConnection() { return import_MachRunLoopThread(); }
