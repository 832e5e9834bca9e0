#include "IOSurfaceSharingClientQuartz.h"

#include <CoreX/CoreMachDebugLog.h>

#include <dispatch/dispatch.h>

IOSurfaceSharingClientQuartz &IOSurfaceSharingClientQuartz::sharedClient() {
    // Never destroyed: filters may count out from other threads while the process exits.
    static IOSurfaceSharingClientQuartz *client = new IOSurfaceSharingClientQuartz;
    return *client;
}

IOSurfaceSharingClientQuartz::IOSurfaceSharingClientQuartz(std::string serviceName)
    : mServiceName(std::move(serviceName)),
      mQueue(dispatch_queue_create("IOSurfaceSharingClientQuartz", DISPATCH_QUEUE_SERIAL)) {}

IOSurfaceSharingClientQuartz::~IOSurfaceSharingClientQuartz() {
    // Retries already waiting find the token gone and do nothing.
    dispatch_sync(mQueue, [this] {
        endLookingForServerConnection();
        mAlive.reset();
    });
    dispatch_release(mQueue);
}

void IOSurfaceSharingClientQuartz::connect() { sharedClient().connectCount(); }

void IOSurfaceSharingClientQuartz::disconnect() {
    CoreMachDebugLogString("IOSurfaceSharingClientQuartz::disconnect ->\n");
    sharedClient().disconnectCount();
    CoreMachDebugLogString("IOSurfaceSharingClientQuartz::disconnect <-\n");
}

int64_t IOSurfaceSharingClientQuartz::connectCount() {
    CoreMachDebugLogString("IOSurfaceSharingClientQuartz::connectCount\n");
    const int64_t count = mConnectCount.fetch_add(1) + 1;
    if (count == 1) dispatch_async(mQueue, [this] { reconcile(); });
    return count;
}

int64_t IOSurfaceSharingClientQuartz::disconnectCount() {
    CoreMachDebugLogString("IOSurfaceSharingClientQuartz::disconnectCount\n");
    int64_t count = mConnectCount.load();
    while (count > 0 && !mConnectCount.compare_exchange_weak(count, count - 1)) {
    }
    if (count <= 0) return 0;
    if (count == 1) dispatch_async(mQueue, [this] { reconcile(); });
    return count - 1;
}

void IOSurfaceSharingClientQuartz::reconcile() {
    // Counts in and out of several threads may arrive in any order; the count as it is now
    // decides.
    if (mConnectCount.load() > 0)
        beginLookingForServerConnection();
    else
        endLookingForServerConnection();
}

void IOSurfaceSharingClientQuartz::beginLookingForServerConnection() {
    if (mLooking) return;
    CoreMachDebugLogString("IOSurfaceSharingClientQuartz::beginLookingForServerConnection\n");
    mLooking = true;
    const uint64_t generation = ++mGeneration;
    auto connection = IOSurfaceMachClientConnection::clientConnectionWithServerPortName(mServiceName, this);
    {
        std::lock_guard<std::mutex> lock(mConnectionLock);
        mClientConnection = std::move(connection);
    }
    scheduleRetry(generation);
}

void IOSurfaceSharingClientQuartz::scheduleRetry(uint64_t generation) {
    dispatch_after(dispatch_time(DISPATCH_TIME_NOW, int64_t(kIOSurfaceSharingClientRetryInterval * NSEC_PER_SEC)),
                   mQueue, [this, generation, alive = std::weak_ptr<int>(mAlive)] {
                       if (alive.expired() || !mLooking || generation != mGeneration) return;
                       tryEstablishServerConnection();
                       scheduleRetry(generation);
                   });
}

void IOSurfaceSharingClientQuartz::tryEstablishServerConnection() {
    std::shared_ptr<IOSurfaceMachClientConnection> connection = clientConnection();
    if (connection != nullptr && !connection->isConnected())
        connection->connectWithServerMachPortName(mServiceName);
}

void IOSurfaceSharingClientQuartz::endLookingForServerConnection() {
    mLooking = false;
    ++mGeneration;
    std::shared_ptr<IOSurfaceMachClientConnection> connection;
    {
        std::lock_guard<std::mutex> lock(mConnectionLock);
        connection = std::move(mClientConnection);
        mClientConnection.reset();
    }
    if (connection != nullptr) {
        connection->setDelegate(nullptr);
        connection->disconnect();
    }
}

void IOSurfaceSharingClientQuartz::waitForPendingWork() {
    dispatch_sync(mQueue, [] {});
}

bool IOSurfaceSharingClientQuartz::isConnected() const {
    std::shared_ptr<IOSurfaceMachClientConnection> connection = clientConnection();
    return connection != nullptr && connection->isConnected();
}

std::shared_ptr<IOSurfaceMachClientConnection> IOSurfaceSharingClientQuartz::clientConnection() const {
    std::lock_guard<std::mutex> lock(mConnectionLock);
    return mClientConnection;
}

CIImageRef IOSurfaceSharingClientQuartz::currentSurfaceImage() const {
    std::shared_ptr<IOSurfaceMachClientConnection> connection = clientConnection();
    if (connection == nullptr) return nullptr;
    IOSurfaceRef surface = connection->cachedSurfaceCopy();
    if (surface == nullptr) return nullptr;
    CIImageRef image = CIImage::imageWithIOSurface(surface);
    CFRelease(surface);
    return image;
}

CIImageRef IOSurfaceSharingClientQuartz::currentImage() { return sharedClient().currentSurfaceImage(); }

void IOSurfaceSharingClientQuartz::destroySharedClient() {
    IOSurfaceSharingClientQuartz &client = sharedClient();
    dispatch_sync(client.mQueue, [&client] { client.endLookingForServerConnection(); });
}

void IOSurfaceSharingClientQuartz::clientDisconnected(IOSurfaceMachClientConnection *connection) {
    // The service went away: the connection lets go of its ports and surface (on the notice's
    // thread, at once), and the search connects again once the service is back.
    if (connection != nullptr) connection->disconnect();
}

bool import_IOSurfaceSharingClientQuartz() { return import_IOSurfaceMachClientConnection(); }
