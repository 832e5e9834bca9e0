// UFoundationObjectQueue: a thread-safe first-in, first-out queue of objects.
//
// Every operation runs under the queue's own lock, so producers and consumers on different
// threads may share one queue. Objects are shared pointers; the queue holds a reference to
// each object until it is taken out, and copyAndRemoveOldestObject hands that reference to
// the caller. The frame queues of the OpenGL kit are subclasses.
#pragma once

#include <cstddef>
#include <deque>
#include <memory>
#include <mutex>

template <typename T>
class UFoundationObjectQueue {
public:
    using ObjectRef = std::shared_ptr<T>;

    UFoundationObjectQueue() = default;
    virtual ~UFoundationObjectQueue() = default;
    UFoundationObjectQueue(const UFoundationObjectQueue &) = delete;
    UFoundationObjectQueue &operator=(const UFoundationObjectQueue &) = delete;

    // A new, empty queue.
    static std::shared_ptr<UFoundationObjectQueue> emptyObjectQueue() {
        return std::make_shared<UFoundationObjectQueue>();
    }

    // Puts the object at the newest end. A null object is not queued (null answers "empty").
    void addNewestObject(ObjectRef object) {
        if (!object) return;
        std::lock_guard<std::recursive_mutex> lock(mMutex);
        mMutableFifoArray.push_front(std::move(object));
    }

    // The oldest object, removed from the queue and now the caller's; null when empty.
    ObjectRef copyAndRemoveOldestObject() {
        std::lock_guard<std::recursive_mutex> lock(mMutex);
        if (mMutableFifoArray.empty()) return nullptr;
        ObjectRef oldest = std::move(mMutableFifoArray.back());
        mMutableFifoArray.pop_back();
        return oldest;
    }

    std::size_t numberOfObjectsInQueue() const {
        std::lock_guard<std::recursive_mutex> lock(mMutex);
        return mMutableFifoArray.size();
    }

    void removeAllObjects() {
        std::deque<ObjectRef> dropped;
        {
            std::lock_guard<std::recursive_mutex> lock(mMutex);
            dropped.swap(mMutableFifoArray);
        }
        // The objects are released outside the lock.
    }

private:
    mutable std::recursive_mutex mMutex;
    std::deque<ObjectRef> mMutableFifoArray;  // newest first, oldest last
};

bool import_UFoundationObjectQueue();
