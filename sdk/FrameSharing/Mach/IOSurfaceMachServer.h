// IOSurfaceMachServer: the published surface-sharing service and its table of checked-in
// clients (IOSurfaceMachServerRemoteClient).
//
// Clients check in on the service port (handled on the shared server run-loop thread); a
// broadcast sends each client the frame's surface as a port with its time stamp. A
// broadcast never waits for a client: it copies the table under its lock and sends after
// it, each send without waiting; the replies come back on a reply port of the client's on
// the server thread. A client that has kIOSurfaceMachServerMaxPendingReplies broadcasts
// unanswered is skipped; one that has answered nothing for
// kIOSurfaceMachServerClientReplyTimeout seconds while broadcasts wait, or whose port
// refuses a send, is dropped (and the delegate told, as when its port dies).
#pragma once

#include <FrameSharing/Mach/FrameSharingClassNames.h>
#include <FrameSharing/Mach/IOSurfaceMachConnection.h>

#include <IOSurface/IOSurfaceRef.h>

#include <chrono>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

class IOSurfaceMachServer;

inline constexpr int kIOSurfaceMachServerMaxPendingReplies = 4;
inline constexpr double kIOSurfaceMachServerClientReplyTimeout = 2.0;
// Clients beyond this many are refused at check-in (code KERN_RESOURCE_SHORTAGE).
inline constexpr size_t kIOSurfaceMachServerMaxClients = 64;

class IOSurfaceMachServerDelegate : public MachMessageConnectionDelegate {
public:
    virtual void surfaceServerConnectedClientWithID(IOSurfaceMachServer *server, uint64_t clientID) {
        (void)server;
        (void)clientID;
    }
    virtual void surfaceServerClientIDSurfaceRefSurfaceTime(IOSurfaceMachServer *server, uint64_t clientID,
                                                            IOSurfaceRef surface, uint64_t surfaceTime) {
        (void)server;
        (void)clientID;
        (void)surface;
        (void)surfaceTime;
    }
    virtual void surfaceServerDisconnectedClientWithPort(IOSurfaceMachServer *server,
                                                         const std::shared_ptr<NSMachPort> &port) {
        (void)server;
        (void)port;
    }
    virtual void surfaceServerDisconnectedServerPort(IOSurfaceMachServer *server,
                                                     const std::shared_ptr<NSMachPort> &port) {
        (void)server;
        (void)port;
    }
};

class IOSurfaceMachServerRemoteClient : public NSMachPortDelegate,
                                        public std::enable_shared_from_this<IOSurfaceMachServerRemoteClient> {
public:
    // Takes over the send right of the client's port name.
    static std::shared_ptr<IOSurfaceMachServerRemoteClient> remoteClientWithPortName(uint32_t portName,
                                                                                     uint64_t clientID,
                                                                                     uint64_t clientType);
    IOSurfaceMachServerRemoteClient(uint32_t portName, uint64_t clientID, uint64_t clientType);
    ~IOSurfaceMachServerRemoteClient() override;

    static uint32_t keyNameWithPortName(uint32_t portName) { return portName; }

    uint32_t portName() const { return mPortName; }
    const std::shared_ptr<NSMachPort> &port() const { return mPort; }
    uint32_t keyName() const { return mKeyName; }
    uint64_t clientID() const { return mClientID; }
    uint64_t clientType() const { return mClientType; }
    // "RemoteClient\nportName:%08lx\nmachPort:%@\nkeyName:%@\nclientID:%08llx\nclientType:%08llx\n"
    std::string description() const;

    // The broadcast of one frame (a copy of the surface's port) to this client, without
    // waiting. False when the client is to be dropped: its port refused the send, or it has
    // not answered for too long.
    bool sendFrameSurface(uint64_t surfaceTime, uint32_t surfacePort);
    int pendingReplies() const;
    // Stops listening for replies.
    void closeReplyPort();

    // A reply (or the notice of a dropped reply right) on the reply port.
    void handleMachMessage(void *msg) override;

private:
    const uint32_t mPortName;
    std::shared_ptr<NSMachPort> mPort;
    const uint32_t mKeyName;
    const uint64_t mClientID;
    const uint64_t mClientType;
    mutable std::mutex mMutex;
    std::shared_ptr<NSMachPort> mReplyPort;
    int mPending = 0;
    std::chrono::steady_clock::time_point mWaitingSince;
};

class IOSurfaceMachServer : public IOSurfaceMachConnection {
public:
    static std::shared_ptr<IOSurfaceMachServer> serverWithDelegate(IOSurfaceMachServerDelegate *delegate);
    // initWithDelegate: the base initialiser, an empty client table, no service name.
    void initWithDelegate(IOSurfaceMachServerDelegate *delegate);
    ~IOSurfaceMachServer() override;

    IOSurfaceMachServerDelegate *delegate() const;
    void setDelegate(IOSurfaceMachServerDelegate *delegate) { setConnectionDelegate(delegate); }

    // Publishes under the bootstrap name; false when the name cannot be had.
    bool publishServerConnectionWithServerPortName(const std::string &name);
    bool publishServerConnectionOnMachPort(const std::shared_ptr<NSMachPort> &port);
    // Stores the name, disconnects and publishes again under it.
    bool setServerOutputPortName(const std::string &name);
    std::string serverOutputPortName() const;
    const std::string &outputMachPortName() const { return mOutputMachPortName; }
    bool stopServer();
    bool disconnect() override;

    bool broadcastFrameSurface(IOSurfaceRef surface, uint64_t surfaceTimeStamp);
    uint64_t broadcastFrameSurfaceWithCurrentTimeStamp(IOSurfaceRef surface);
    // Sends 29004 to every client in turn (each waits for its reply at most the call time-out;
    // nothing in the system calls it), outside the table's lock.
    bool broadcastControlCommandName(uint64_t commandName, uint64_t commandValue);

    bool hasClientWithUniqueID(uint64_t clientID) const;
    bool hasClientWithUniqueIdentifierString(const std::optional<std::string> &string) const;
    size_t addRemoteClient(const std::shared_ptr<IOSurfaceMachServerRemoteClient> &client);
    size_t removeRemoteClientWithPortName(uint32_t portName);
    std::shared_ptr<IOSurfaceMachServerRemoteClient> retainedRemoteClientWithMachPort(uint32_t portName) const;
    // A copy of the table in key order.
    std::vector<std::shared_ptr<IOSurfaceMachServerRemoteClient>> remoteClients() const;

    int32_t __mach_message_ClientCheckIn(uint32_t clientPortName, uint64_t clientID, uint64_t clientType,
                                         uint32_t *outClientIndex) override;
    int32_t __mach_message_ClientFrameIn(uint32_t clientPortName, uint64_t surfaceTime, uint32_t surfaceID) override;

    void clientPortDied(const std::shared_ptr<NSMachPort> &port) override;
    void serverPortDied(const std::shared_ptr<NSMachPort> &port) override;

    void delegatedClientCheckIn(uint64_t clientID);
    void delegatedClientFrameIn(uint64_t clientID, IOSurfaceRef surface, uint64_t surfaceTime);
    void delegatedClientDisconnected(const std::shared_ptr<NSMachPort> &port);
    void delegatedServerDisconnected(const std::shared_ptr<NSMachPort> &port);

    static uint64_t currentSurfaceTimeStamp() { return currentHostGetSurfaceTimeStamp(); }

private:
    // Removes the entry when it is still this client; whether it was.
    bool DropClient(const std::shared_ptr<IOSurfaceMachServerRemoteClient> &client);

    mutable std::mutex mRemoteClientsLock;
    std::map<uint32_t, std::shared_ptr<IOSurfaceMachServerRemoteClient>> mRemoteClients;
    std::string mOutputMachPortName;
};

bool import_IOSurfaceMachServer();
