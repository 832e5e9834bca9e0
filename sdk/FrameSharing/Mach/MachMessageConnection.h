// MachMessageConnection: a pair of ports (the server port and a local port made by the
// connection), their scheduling on the two shared run-loop threads, the sorting of port
// deaths, and the class-wide registry from port name to connection through which the
// message functions find the object a message belongs to.
//
// Connections are shared objects: make them with std::make_shared and then initWithDelegate
// (the factories of the subclasses do both). The registry holds each registered connection
// until its names are unregistered (disconnect), so a connected connection lives until it
// is disconnected.
//
// Every port of the process that becomes invalid reaches every connection's
// anyMachPortDied, on the thread of the notice: the server port goes to serverPortDied, the
// local port to localPortDied, any other to clientPortDied.
#pragma once

#include <FrameSharing/Mach/FrameSharingClassNames.h>

#include <Mach/NSMachPort.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>

class MachPortRunLoop;
class MachMessageConnection;

class MachMessageConnectionDelegate {
public:
    virtual ~MachMessageConnectionDelegate() = default;
    // A reply could not be sent (the Mach code).
    virtual void connectionErrorWithMachResultCode(MachMessageConnection *connection, int32_t code) {
        (void)connection;
        (void)code;
    }
};

class MachMessageConnection : public NSMachPortDelegate, public std::enable_shared_from_this<MachMessageConnection> {
public:
    MachMessageConnection() = default;
    MachMessageConnection(const MachMessageConnection &) = delete;
    MachMessageConnection &operator=(const MachMessageConnection &) = delete;
    // disconnect, no delegate, no more port-death notices.
    ~MachMessageConnection() override;

    // Stores the delegate (not owned: it clears itself before it goes) and starts observing
    // port deaths. Call once, on an object owned by a std::shared_ptr.
    void initWithDelegate(MachMessageConnectionDelegate *delegate);

    // Stores the port as the server port and registers under its name; makes the local port
    // and registers under its name too. False without a port, or when no local port can be
    // made (the server port then stays stored and registered until disconnect).
    bool connectWithServerMachPort(const std::shared_ptr<NSMachPort> &port);
    // Makes this connection the port's delegate and schedules it on the run loop.
    bool runConnectionOnMachPort(const std::shared_ptr<NSMachPort> &port, MachPortRunLoop *runLoop);
    bool runServerConnectionOnMachPort(const std::shared_ptr<NSMachPort> &port);
    bool runLocalConnectionOnMachPort(const std::shared_ptr<NSMachPort> &port);
    static MachPortRunLoop *serverRunLoopThread();
    static MachPortRunLoop *localRunLoopThread();

    // Whether there is a server port or a local port.
    bool isConnected() const;
    // Unregisters, unschedules and lets go of the local port and then the server port.
    virtual bool disconnect();

    void anyMachPortDied(const std::shared_ptr<NSMachPort> &port);
    virtual void serverPortDied(const std::shared_ptr<NSMachPort> &port);
    virtual void localPortDied(const std::shared_ptr<NSMachPort> &port);
    virtual void clientPortDied(const std::shared_ptr<NSMachPort> &port);

    void delegatedConnectionError(int32_t code);

    // The registry.
    static bool registerConnection(const std::shared_ptr<MachMessageConnection> &connection, uint32_t name);
    static bool unregisterConnectionForMachPort(uint32_t name);
    static std::shared_ptr<MachMessageConnection> connectionForMachPort(uint32_t name);

    std::shared_ptr<NSMachPort> serverPort() const;
    void setServerPort(std::shared_ptr<NSMachPort> port);
    std::shared_ptr<NSMachPort> localPort() const;
    void setLocalPort(std::shared_ptr<NSMachPort> port);
    uint32_t serverPortName() const { return mServerPortName.load(); }
    void setServerPortName(uint32_t name) { mServerPortName.store(name); }
    uint32_t localPortName() const { return mLocalPortName.load(); }
    void setLocalPortName(uint32_t name) { mLocalPortName.store(name); }
    MachMessageConnectionDelegate *connectionDelegate() const { return mConnectionDelegate.load(); }
    void setConnectionDelegate(MachMessageConnectionDelegate *delegate) { mConnectionDelegate.store(delegate); }

    void handleMachMessage(void *msg) override;

private:
    std::atomic<MachMessageConnectionDelegate *> mConnectionDelegate{nullptr};
    mutable std::mutex mPortMutex;
    std::shared_ptr<NSMachPort> mServerPort;
    std::shared_ptr<NSMachPort> mLocalPort;
    std::atomic<uint32_t> mServerPortName{0};
    std::atomic<uint32_t> mLocalPortName{0};
    uint64_t mObserverToken = 0;
};

bool import_MachMessageConnection();
