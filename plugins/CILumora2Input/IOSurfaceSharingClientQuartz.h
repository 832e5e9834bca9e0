// IOSurfaceSharingClientQuartz: the one sharing client of a host process. It counts its users
// (filters of the image unit); while it has users and no live connection it looks for the
// service every half second; it answers the latest surface as a CIImage.
//
// Counting in and out may come from any host thread at once: the count is atomic. Starting and
// stopping the search, connecting and disconnecting run on the client's own serial queue, never
// on the caller's thread, so a host's render thread never waits for the service (a check-in
// that stalls holds up only that queue, for at most the call time-out). The search is not tied
// to the host's main thread: a host with no event loop still connects.
#pragma once

#include "CILumora2InputClassNames.h"
#include "IOSurfaceMachClientConnection.h"

#include <FrameSharing/Mach/IOSurfaceSharing.h>

#include <CoreImage/CIImage.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

struct dispatch_queue_s;

// The interval of the search while there are users and no connection.
inline constexpr double kIOSurfaceSharingClientRetryInterval = 0.5;

class IOSurfaceSharingClientQuartz final : public IOSurfaceMachClientConnectionDelegate {
public:
    // The process's client, made on first use and kept until the process ends.
    static IOSurfaceSharingClientQuartz &sharedClient();

    // A client of its own, looking for `serviceName` (tests; the image unit uses the shared
    // one).
    explicit IOSurfaceSharingClientQuartz(std::string serviceName = kIOSurfaceSharingServiceName);
    // Stops looking and disconnects.
    ~IOSurfaceSharingClientQuartz() override;
    IOSurfaceSharingClientQuartz(const IOSurfaceSharingClientQuartz &) = delete;
    IOSurfaceSharingClientQuartz &operator=(const IOSurfaceSharingClientQuartz &) = delete;

    // Count a user of the shared client in or out.
    static void connect();
    static void disconnect();
    // Count a user in (the first one starts the search) and answer the new count.
    int64_t connectCount();
    // Count a user out when there is one (the last one stops the search and disconnects) and
    // answer the new count.
    int64_t disconnectCount();
    int64_t count() const { return mConnectCount.load(); }

    // Run on the client's queue: start looking (a first attempt at once, then every half
    // second while not connected), and stop looking and let the connection go.
    void beginLookingForServerConnection();
    void endLookingForServerConnection();
    void tryEstablishServerConnection();
    // Waits until the work queued so far has run (tests, and the unit's unload).
    void waitForPendingWork();

    // Whether a connection is checked in now.
    bool isConnected() const;
    std::shared_ptr<IOSurfaceMachClientConnection> clientConnection() const;

    // A new image on the latest surface (no copy), or null without one.
    CIImageRef currentSurfaceImage() const;
    static CIImageRef currentImage();

    // Stops the shared client's search and disconnects it (the unit's unload).
    static void destroySharedClient();

    void clientDisconnected(IOSurfaceMachClientConnection *connection) override;

private:
    // Brings the search in line with the count: looking while there are users, idle without.
    void reconcile();
    void scheduleRetry(uint64_t generation);

    const std::string mServiceName;
    dispatch_queue_s *mQueue;
    std::atomic<int64_t> mConnectCount{0};
    mutable std::mutex mConnectionLock;
    std::shared_ptr<IOSurfaceMachClientConnection> mClientConnection;
    // Touched on the queue only: whether the search runs, and its generation (a retry of an
    // earlier search does nothing).
    bool mLooking = false;
    uint64_t mGeneration = 0;
    // Held while the object lives; the retries waiting on the timer hold it weakly.
    std::shared_ptr<int> mAlive = std::make_shared<int>(0);
};

bool import_IOSurfaceSharingClientQuartz();
