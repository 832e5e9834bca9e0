// The window-image device's parts that need no digitizer: the list of applications that
// own shareable windows, one image of all of an application's on-screen windows, the serial
// queues it grabs and draws on, and the aspect fit of an image into a frame.
#pragma once

#include <CoreGraphics/CoreGraphics.h>
#include <CoreGraphics/CGWindow.h>
#include <dispatch/dispatch.h>

#include <atomic>
#include <cstddef>
#include <mutex>
#include <set>
#include <string>
#include <vector>

class UWindrakeWindow {
public:
    // Owners that are never listed: the system's own windows.
    static const std::set<std::string> &NeverListedOwners();

    // Enumerates the windows and appends each new owner name (in the order first seen) of
    // a window whose sharing state is above none and whose owner is not never listed.
    void UpdateWindowOwnerList();
    // The same from a list of window-information dictionaries.
    void UpdateWindowOwnerListFromWindowInfo(CFArrayRef windows);
    size_t GetNumberOfUniqueWindowOwners();
    // The name of owner n; false (and empty) past the end.
    bool GetWindowOwnerAtIndex(size_t n, std::string &name);
    // One image of every on-screen window of owner n over their own bounds; null for no
    // such owner, no such windows or no image. The caller releases it.
    CGImageRef CopyWindowOwnerImage(size_t n);

private:
    std::mutex mLock;
    std::vector<std::string> mOwners;
};

// A serial queue that can be drained: DestructSync waits for every block queued so far.
class UDispatchQueueSerialAsync {
public:
    UDispatchQueueSerialAsync() = default;
    ~UDispatchQueueSerialAsync() { DestructSync(); }
    UDispatchQueueSerialAsync(const UDispatchQueueSerialAsync &) = delete;
    UDispatchQueueSerialAsync &operator=(const UDispatchQueueSerialAsync &) = delete;

    bool Construct(const char *label);
    void DestructSync();
    bool Exists();
    // False when there is no queue.
    bool Async(dispatch_block_t block);
    // Waits until every block queued so far has run.
    void Sync();

private:
    std::mutex mLock;
    dispatch_queue_t mQueue = nullptr;
};

// The rectangle an image of imageWidth x imageHeight takes when fitted into a frame of
// frameWidth x frameHeight, centred, keeping its aspect.
CGRect WindrakeFitImageRect(double frameWidth, double frameHeight, double imageWidth, double imageHeight);

bool import_UWindrakeWindow();
