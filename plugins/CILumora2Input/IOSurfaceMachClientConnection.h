// IOSurfaceMachClientConnection: the client end of the surface-sharing service as it runs in
// a host of the image unit. It looks the service up, checks in with an identifier made from
// the host's bundle identifier (type 1), receives one BroadcastFrameSurface per frame on its
// local port (the shared local run-loop thread) and keeps the latest surface.
//
// A check-in that fails (refused, answered with an error, not answered in time) leaves the
// connection disconnected and connectWithServerMachPortName answers false, so whoever retries
// (IOSurfaceSharingClientQuartz's timer) tries again: a connection that is connected has
// always checked in.
#pragma once

#include "CILumora2InputClassNames.h"

#include <FrameSharing/Mach/IOSurfaceMachConnection.h>

#include <IOSurface/IOSurfaceRef.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

class IOSurfaceMachClientConnection;

// What a client connection tells its owner. Every call comes on the thread of the event: the
// caller of the connect for clientConnected, the shared local thread for frames and commands,
// the port-death notice's thread for clientDisconnected.
class IOSurfaceMachClientConnectionDelegate : public MachMessageConnectionDelegate {
public:
    virtual void clientConnected(IOSurfaceMachClientConnection *connection) { (void)connection; }
    virtual void clientDisconnected(IOSurfaceMachClientConnection *connection) { (void)connection; }
    virtual void clientSurfaceArrived(IOSurfaceMachClientConnection *connection, IOSurfaceRef surface,
                                      uint64_t surfaceTime) {
        (void)connection;
        (void)surface;
        (void)surfaceTime;
    }
    virtual void clientControlCommand(IOSurfaceMachClientConnection *connection, uint64_t commandName,
                                      uint64_t commandValue) {
        (void)connection;
        (void)commandName;
        (void)commandValue;
    }
};

class IOSurfaceMachClientConnection : public IOSurfaceMachConnection {
public:
    // A new connection (the delegate is not owned and must outlive it, or be cleared) that has
    // tried once to connect to the service of that name.
    static std::shared_ptr<IOSurfaceMachClientConnection> clientConnectionWithServerPortName(
        const std::string &name, IOSurfaceMachClientConnectionDelegate *delegate);
    void initWithServerPortName(const std::string &name, IOSurfaceMachClientConnectionDelegate *delegate);
    ~IOSurfaceMachClientConnection() override;

    // The host's bundle identifier (nothing for a host without one), and its identifier as
    // checked in (0 without a bundle identifier).
    static std::optional<std::string> clientUniqueIdentifierString();
    static uint64_t clientUniqueIdentifier();

    bool connectWithServerMachPortName(const std::string &name);
    // Looks the service up, connects both ports, runs them on the shared threads and checks
    // in. False when the service is not registered, the ports cannot be set up or the
    // check-in fails (the connection is then disconnected again).
    bool connectWithServerMachPortName(const std::string &name, uint64_t clientID);
    // There is a server port and the check-in on it went through (while a check-in is under
    // way, not yet).
    bool isConnected() const;

    int32_t __mach_message_BroadcastFrameSurfaceTime(uint64_t surfaceTime, uint32_t surfaceID) override;
    int32_t __mach_message_BroadcastControlCommand(uint64_t commandName, uint64_t commandValue) override;
    void serverPortDied(const std::shared_ptr<NSMachPort> &port) override;
    // The base disconnect, then the cached surface goes.
    bool disconnect() override;

    // The latest surface, retained for the caller (release it), or null.
    IOSurfaceRef cachedSurfaceCopy() const;
    bool hasCachedSurface() const;
    // Keeps its own reference of the surface (null clears).
    void setCachedSurface(IOSurfaceRef surface);
    void releaseCachedClientSurfaces() { setCachedSurface(nullptr); }

    // Sends ClientFrameIn (the time and the surface's identifier) from the default global
    // queue; false at once without a server port.
    bool sendServerFrameSurface(IOSurfaceRef surface, uint64_t surfaceTime);
    bool sendServerFrameSurfaceWithCurrentTimeStamp(IOSurfaceRef surface);

    uint64_t clientID() const { return mClientID.load(); }
    void setClientID(uint64_t clientID) { mClientID.store(clientID); }
    uint32_t clientIndex() const { return mClientIndex.load(); }
    void setClientIndex(uint32_t index) { mClientIndex.store(index); }

    IOSurfaceMachClientConnectionDelegate *delegate() const { return mDelegate.load(); }
    void setDelegate(IOSurfaceMachClientConnectionDelegate *delegate);

    void delegatedClientConnected();
    void delegatedClientDisconnected();
    void delegatedClientSurfaceArrived(IOSurfaceRef surface, uint64_t surfaceTime);
    void delegatedClientControlCommand(uint64_t commandName, uint64_t commandValue);

private:
    std::atomic<IOSurfaceMachClientConnectionDelegate *> mDelegate{nullptr};
    std::atomic<uint32_t> mClientIndex{0};
    std::atomic<uint64_t> mClientID{0};
    std::atomic<bool> mCheckedIn{false};
    mutable std::mutex mSurfaceLock;
    IOSurfaceRef mCachedSurface = nullptr;
};

bool import_IOSurfaceMachClientConnection();
