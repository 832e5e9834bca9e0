// Sharing outputs: an output announces each frame's surface over one channel, and is made
// from a connection identifier whose kind chooses the channel:
//   a number                           the UDP loopback casts on that port
//   a string                           the Mach service of that name
//   an IOSurfaceSharingConnectionID    the window channel titled by its name and number
// (anything else makes no output). IOSurfaceSharingServerOutputSet is itself an output that
// fans every call out to its members, stamping a frame with one host time for all of them.
//
// Everything here runs on the main thread; the channels keep their own threads where they
// need them (the Mach server's run-loop thread).
#pragma once

#include <FrameSharing/IOSurfaceSharingServerOutputProtocol.h>
#include <FrameSharing/Mach/IOSurfaceMachServer.h>
#include <FrameSharing/Network/UDPLoopbackMessageServer.h>

#include <QString>
#include <QVariant>
#include <QVariantList>

#include <cstdint>
#include <memory>
#include <typeinfo>
#include <vector>

using IOSurfaceSharingServerOutputRef = std::shared_ptr<IOSurfaceSharingServerOutputProtocol>;

class IOSurfaceSharingServerOutput : public IOSurfaceSharingServerOutputProtocol {
public:
    // The output for the identifier's kind (the number test first, then the string test);
    // null for a null identifier or one of another kind.
    static IOSurfaceSharingServerOutputRef serverOutputWithConnectionID(const QVariant &connectionID);
    // Host time in nanoseconds (the time base fetched once; 0 when it cannot be read).
    static uint64_t currentSurfaceTimeStamp();

    explicit IOSurfaceSharingServerOutput(const QVariant &connectionID = QVariant()) : mConnectionID(connectionID) {}

    const QVariant &connectionID() const { return mConnectionID; }
    virtual void setConnectionID(const QVariant &connectionID) { mConnectionID = connectionID; }

    // The base: YES and nothing done; a broadcast answers NO.
    bool outputConnect() override { return true; }
    bool outputDisconnect() override { return true; }
    bool hasServerConnection() override { return true; }
    bool broadcastSurfaceWithSurfaceTime(IOSurfaceRef, uint64_t) override { return false; }
    // broadcastSurfaceWithSurfaceTime with the current host time.
    bool broadcastSurface(IOSurfaceRef surface) override;

    // The identifier when it is a number, the number of a connection identifier; else
    // invalid.
    QVariant serverOutputPortNumber() const;
    // The identifier when it is a string, the name of a connection identifier; else null.
    QString serverOutputPortName() const;
    // Outputs that have a port name / number take a new one; whether this one did.
    virtual bool setServerOutputPortName(const QString &) { return false; }
    virtual bool setServerOutputPortNumber(const QVariant &) { return false; }

    static bool isNumberConnectionID(const QVariant &connectionID);
    static bool isStringConnectionID(const QVariant &connectionID);
    static bool isWindowConnectionID(const QVariant &connectionID);

private:
    QVariant mConnectionID;
};

// The Mach service output: an IOSurfaceMachServer published under the identifier's name,
// whose delegate it is. Once disconnected it stays closed.
class IOSurfaceSharingServerOutputMachMessage : public IOSurfaceSharingServerOutput,
                                                 public IOSurfaceMachServerDelegate {
public:
    static std::shared_ptr<IOSurfaceSharingServerOutputMachMessage> serverOutputWithConnectionID(
        const QVariant &connectionID);
    explicit IOSurfaceSharingServerOutputMachMessage(const QVariant &connectionID);
    // Stops the server.
    ~IOSurfaceSharingServerOutputMachMessage() override;

    const std::shared_ptr<IOSurfaceMachServer> &machSurfaceServer() const { return mMachSurfaceServer; }
    QString machPortNameFromConnectionID() const { return connectionID().toString(); }

    // Publishes the service; NO without a server (after a disconnect) or when the name
    // cannot be had.
    bool outputConnect() override;
    // Stops and lets the server go; NO without one.
    bool outputDisconnect() override;
    bool hasServerConnection() override { return mMachSurfaceServer != nullptr; }
    // Sends the surface to every checked-in client (never waiting for one); NO without a
    // server.
    bool broadcastSurfaceWithSurfaceTime(IOSurfaceRef surface, uint64_t surfaceTime) override;
    // Only with a server: stores the name and republishes under it.
    bool setServerOutputPortName(const QString &name) override;

private:
    std::shared_ptr<IOSurfaceMachServer> mMachSurfaceServer;
};

// The UDP output: an IOSurfaceSharingNetworkServer on the identifier's port. Its socket opens
// at the first frame (and is tried again at every frame while it cannot be opened).
class IOSurfaceSharingServerOutputNetworkUDP : public IOSurfaceSharingServerOutput {
public:
    static std::shared_ptr<IOSurfaceSharingServerOutputNetworkUDP> serverOutputWithConnectionID(
        const QVariant &connectionID);
    explicit IOSurfaceSharingServerOutputNetworkUDP(const QVariant &connectionID);

    const std::shared_ptr<IOSurfaceSharingNetworkServer> &networkSurfaceServer() const { return mNetworkSurfaceServer; }
    // The identifier's unsigned 16-bit value; 0 without one.
    uint16_t unsignedNetworkPortFromConnectionID() const;

    // Stores the number and gives the server the new port.
    void setConnectionID(const QVariant &connectionID) override;
    bool setServerOutputPortNumber(const QVariant &number) override;

    // The server's socket is open (opened when needed); one waiting ping is answered.
    bool hasServerConnection() override;
    // With a connection, casts the surface identifier and time to the active clients and
    // answers whether the cast was made; NO without a connection.
    bool broadcastSurfaceWithSurfaceTime(IOSurfaceRef surface, uint64_t surfaceTime) override;

private:
    std::shared_ptr<IOSurfaceSharingNetworkServer> mNetworkSurfaceServer;
};

class IOSurfaceSharingServerOutputSet : public IOSurfaceSharingServerOutput {
public:
    static std::shared_ptr<IOSurfaceSharingServerOutputSet> serverOutputSet();
    static std::shared_ptr<IOSurfaceSharingServerOutputSet> serverOutputWithConnectionIDs(const QVariantList &ids);
    IOSurfaceSharingServerOutputSet() = default;
    // Disconnects every member.
    ~IOSurfaceSharingServerOutputSet() override;

    // Makes an output of the identifier and adds it; NO when none is made.
    bool addServerOutputWithConnectionID(const QVariant &connectionID);
    // YES when at least one was added.
    bool addServerOutputsWithConnectionIDs(const QVariantList &connectionIDs);
    // Adds the output once (a member already held is not added again).
    void addServerOutput(const IOSurfaceSharingServerOutputRef &output);
    // A copy of the members, in the order they were added.
    std::vector<IOSurfaceSharingServerOutputRef> serverOutputs() const { return mOutputs; }

    // Each goes to every member in turn; YES when at least one member answered YES, NO with
    // no members. broadcastSurface (the base) stamps one time for all members.
    bool outputConnect() override;
    bool outputDisconnect() override;
    bool hasServerConnection() override;
    bool broadcastSurfaceWithSurfaceTime(IOSurfaceRef surface, uint64_t surfaceTime) override;
    bool setServerOutputPortName(const QString &name) override;
    bool setServerOutputPortNumber(const QVariant &number) override;

    // The first member whose class is exactly T.
    template <typename T>
    std::shared_ptr<T> outputWithClass() const {
        for (const auto &output : mOutputs)
            if (output != nullptr && typeid(*output) == typeid(T)) return std::static_pointer_cast<T>(output);
        return nullptr;
    }

private:
    template <typename Call>
    bool Fan(Call call);

    std::vector<IOSurfaceSharingServerOutputRef> mOutputs;
};

bool import_IOSurfaceSharingServerOutputMachMessage();
bool import_IOSurfaceSharingServerOutputNetworkUDP();
