#include "IOSurfaceMachClientConnection.h"

#include <CoreX/UCodeEntitlements.h>
#include <FrameSharing/Mach/IOSurfaceIPC.h>

#include <IOSurface/IOSurface.h>
#include <dispatch/dispatch.h>

#include <vector>

std::shared_ptr<IOSurfaceMachClientConnection> IOSurfaceMachClientConnection::clientConnectionWithServerPortName(
    const std::string &name, IOSurfaceMachClientConnectionDelegate *delegate) {
    auto connection = std::make_shared<IOSurfaceMachClientConnection>();
    connection->initWithServerPortName(name, delegate);
    return connection;
}

void IOSurfaceMachClientConnection::initWithServerPortName(const std::string &name,
                                                           IOSurfaceMachClientConnectionDelegate *delegate) {
    initWithDelegate(delegate);
    mDelegate.store(delegate);
    setClientIndex(0);
    setClientID(0);
    connectWithServerMachPortName(name);
}

IOSurfaceMachClientConnection::~IOSurfaceMachClientConnection() {
    setClientIndex(0);
    setClientID(0);
    setCachedSurface(nullptr);
}

void IOSurfaceMachClientConnection::setDelegate(IOSurfaceMachClientConnectionDelegate *delegate) {
    mDelegate.store(delegate);
    setConnectionDelegate(delegate);
}

std::optional<std::string> IOSurfaceMachClientConnection::clientUniqueIdentifierString() {
    // The signing identifier of the running program is its main bundle's identifier.
    CFStringRef identifier = UCodeEntitlements::sEntitlements().CopySignedBundleID();
    if (identifier == nullptr) return std::nullopt;
    std::optional<std::string> text;
    const CFIndex length = CFStringGetMaximumSizeForEncoding(CFStringGetLength(identifier), kCFStringEncodingUTF8) + 1;
    std::vector<char> buffer(size_t(length > 0 ? length : 1));
    if (CFStringGetCString(identifier, buffer.data(), CFIndex(buffer.size()), kCFStringEncodingUTF8))
        text = std::string(buffer.data());
    CFRelease(identifier);
    return text;
}

uint64_t IOSurfaceMachClientConnection::clientUniqueIdentifier() {
    return IOSurfaceConnectionClientID::uniqueIdentifierWithString(clientUniqueIdentifierString());
}

bool IOSurfaceMachClientConnection::connectWithServerMachPortName(const std::string &name) {
    return connectWithServerMachPortName(name, clientUniqueIdentifier());
}

bool IOSurfaceMachClientConnection::connectWithServerMachPortName(const std::string &name, uint64_t clientID) {
    std::shared_ptr<NSMachPort> server = NSMachBootstrapServer::sharedInstance()->portForName(name);
    if (server == nullptr) return false;
    // Ports of an earlier connection (a server that died unnoticed) go first.
    if (serverPort() != nullptr || localPort() != nullptr) disconnect();
    if (!connectWithServerMachPort(server)) {
        disconnect();
        return false;
    }
    runServerConnectionOnMachPort(server);
    if (std::shared_ptr<NSMachPort> local = localPort()) runLocalConnectionOnMachPort(local);
    uint32_t index = 0;
    if (!__mach_call_ClientCheckIn(clientID, 1, &index)) {
        // Not checked in, no frames will come: let go, so that the next attempt starts anew.
        disconnect();
        return false;
    }
    setClientID(clientID);
    setClientIndex(index);
    mCheckedIn.store(true);
    delegatedClientConnected();
    return true;
}

bool IOSurfaceMachClientConnection::isConnected() const { return mCheckedIn.load() && serverPort() != nullptr; }

int32_t IOSurfaceMachClientConnection::__mach_message_BroadcastFrameSurfaceTime(uint64_t surfaceTime,
                                                                               uint32_t surfaceID) {
    IOSurfaceRef surface = IOSurfaceLookup(surfaceID);
    if (surface != nullptr) {
        setCachedSurface(surface);
        delegatedClientSurfaceArrived(surface, surfaceTime);
        CFRelease(surface);
    }
    return 0;
}

int32_t IOSurfaceMachClientConnection::__mach_message_BroadcastControlCommand(uint64_t commandName,
                                                                             uint64_t commandValue) {
    delegatedClientControlCommand(commandName, commandValue);
    return 0;
}

void IOSurfaceMachClientConnection::serverPortDied(const std::shared_ptr<NSMachPort> &port) {
    if (port == nullptr || port != serverPort()) return;
    delegatedClientDisconnected();
    disconnect();
}

bool IOSurfaceMachClientConnection::disconnect() {
    mCheckedIn.store(false);
    const bool result = IOSurfaceMachConnection::disconnect();
    releaseCachedClientSurfaces();
    return result;
}

IOSurfaceRef IOSurfaceMachClientConnection::cachedSurfaceCopy() const {
    std::lock_guard<std::mutex> lock(mSurfaceLock);
    if (mCachedSurface != nullptr) CFRetain(mCachedSurface);
    return mCachedSurface;
}

bool IOSurfaceMachClientConnection::hasCachedSurface() const {
    std::lock_guard<std::mutex> lock(mSurfaceLock);
    return mCachedSurface != nullptr;
}

void IOSurfaceMachClientConnection::setCachedSurface(IOSurfaceRef surface) {
    IOSurfaceRef old = nullptr;
    {
        std::lock_guard<std::mutex> lock(mSurfaceLock);
        if (surface == mCachedSurface) return;
        if (surface != nullptr) CFRetain(surface);
        old = mCachedSurface;
        mCachedSurface = surface;
    }
    if (old != nullptr) CFRelease(old);
}

bool IOSurfaceMachClientConnection::sendServerFrameSurface(IOSurfaceRef surface, uint64_t surfaceTime) {
    if (serverPort() == nullptr || surface == nullptr) return false;
    const uint32_t surfaceID = IOSurfaceGetID(surface);
    std::weak_ptr<MachMessageConnection> weak = weak_from_this();
    dispatch_async(dispatch_get_global_queue(DISPATCH_QUEUE_PRIORITY_DEFAULT, 0), [weak, surfaceTime, surfaceID] {
        if (auto self = std::static_pointer_cast<IOSurfaceMachClientConnection>(weak.lock()))
            self->__mach_call_ClientFrameIn(surfaceTime, surfaceID);
    });
    return true;
}

bool IOSurfaceMachClientConnection::sendServerFrameSurfaceWithCurrentTimeStamp(IOSurfaceRef surface) {
    return sendServerFrameSurface(surface, currentHostGetSurfaceTimeStamp());
}

void IOSurfaceMachClientConnection::delegatedClientConnected() {
    if (auto *delegate = mDelegate.load()) delegate->clientConnected(this);
}

void IOSurfaceMachClientConnection::delegatedClientDisconnected() {
    if (auto *delegate = mDelegate.load()) delegate->clientDisconnected(this);
}

void IOSurfaceMachClientConnection::delegatedClientSurfaceArrived(IOSurfaceRef surface, uint64_t surfaceTime) {
    if (auto *delegate = mDelegate.load()) delegate->clientSurfaceArrived(this, surface, surfaceTime);
}

void IOSurfaceMachClientConnection::delegatedClientControlCommand(uint64_t commandName, uint64_t commandValue) {
    if (auto *delegate = mDelegate.load()) delegate->clientControlCommand(this, commandName, commandValue);
}

bool import_IOSurfaceMachClientConnection() { return import_IOSurfaceMachConnection(); }
