#include <dispatch/dispatch.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <new>
#include <vector>

#include "DispatchInternal.h"

using lumora::dispatch::Report;

// A count of outstanding work. Every entered piece of work holds a reference, so a group
// released by its creator lives until its work is done and its notifications are sent.
struct dispatch_group_s {
    void retain() { mReferences.fetch_add(1, std::memory_order_relaxed); }
    void release() {
        const long previous = mReferences.fetch_sub(1, std::memory_order_acq_rel);
        if (previous == 1) delete this;
        if (previous <= 0) Report("dispatch_release: group has no reference left to release");
    }

    void enter() {
        retain();
        std::lock_guard<std::mutex> lock(mMutex);
        ++mOutstanding;
    }

    void leave() {
        {
            std::lock_guard<std::mutex> lock(mMutex);
            if (mOutstanding == 0) {
                Report("dispatch_group_leave: no matching dispatch_group_enter; ignored");
                return;
            }
            if (--mOutstanding == 0) {
                // Notifications are queued before waiters wake, so a waiter that then
                // synchronises with a notification's queue finds the notification ahead of it.
                // Submitting never runs work on this thread, so the lock is safe to hold.
                Send(mNotifications);
                mNotifications.clear();
                mDone.notify_all();
            }
        }
        release();  // the reference taken by enter
    }

    bool wait(dispatch_time_t timeout) {
        std::unique_lock<std::mutex> lock(mMutex);
        auto done = [this] { return mOutstanding == 0; };
        if (timeout == DISPATCH_TIME_FOREVER || timeout > uint64_t(INT64_MAX)) {
            mDone.wait(lock, done);
            return true;
        }
        if (timeout == DISPATCH_TIME_NOW) return done();
        // dispatch times and the steady clock both count nanoseconds of CLOCK_MONOTONIC.
        const std::chrono::steady_clock::time_point deadline{std::chrono::nanoseconds(int64_t(timeout))};
        return mDone.wait_until(lock, deadline, done);
    }

    void notify(dispatch_queue_t queue, dispatch_block_t work) {
        std::vector<Notification> due;
        dispatch_retain(queue);  // kept until the work is submitted
        {
            std::lock_guard<std::mutex> lock(mMutex);
            if (mOutstanding > 0) {
                mNotifications.push_back(Notification{queue, std::move(work)});
                return;
            }
        }
        due.push_back(Notification{queue, std::move(work)});
        Send(due);
    }

private:
    struct Notification {
        dispatch_queue_t queue;
        dispatch_block_t work;
    };

    static void Send(std::vector<Notification> &due) {
        for (Notification &notification : due) {
            dispatch_async(notification.queue, std::move(notification.work));
            dispatch_release(notification.queue);
        }
    }

    std::atomic<long> mReferences{1};
    std::mutex mMutex;
    std::condition_variable mDone;
    long mOutstanding = 0;
    std::vector<Notification> mNotifications;
};

dispatch_group_t dispatch_group_create() { return new (std::nothrow) dispatch_group_s; }

void dispatch_group_enter(dispatch_group_t group) {
    if (group == nullptr) {
        Report("dispatch_group_enter: null group");
        return;
    }
    group->enter();
}

void dispatch_group_leave(dispatch_group_t group) {
    if (group == nullptr) {
        Report("dispatch_group_leave: null group");
        return;
    }
    group->leave();
}

void dispatch_group_async(dispatch_group_t group, dispatch_queue_t queue, dispatch_block_t block) {
    if (group == nullptr || queue == nullptr) {
        Report("dispatch_group_async: null group or queue; the work is not run");
        return;
    }
    if (!block) return;
    group->enter();
    // The leave runs even when the work throws (the queue reports the exception).
    struct Leave {
        dispatch_group_t group;
        ~Leave() { group->leave(); }
    };
    dispatch_async(queue, [group, block = std::move(block)] {
        Leave leave{group};
        block();
    });
}

void dispatch_group_async_f(dispatch_group_t group, dispatch_queue_t queue, void *context,
                            dispatch_function_t work) {
    if (work == nullptr) return;
    dispatch_group_async(group, queue, [context, work] { work(context); });
}

long dispatch_group_wait(dispatch_group_t group, dispatch_time_t timeout) {
    if (group == nullptr) {
        Report("dispatch_group_wait: null group");
        return 1;
    }
    return group->wait(timeout) ? 0 : 1;
}

void dispatch_group_notify(dispatch_group_t group, dispatch_queue_t queue, dispatch_block_t block) {
    if (group == nullptr || queue == nullptr) {
        Report("dispatch_group_notify: null group or queue; the work is not run");
        return;
    }
    if (!block) return;
    group->notify(queue, std::move(block));
}

void dispatch_group_notify_f(dispatch_group_t group, dispatch_queue_t queue, void *context,
                             dispatch_function_t work) {
    if (work == nullptr) return;
    dispatch_group_notify(group, queue, [context, work] { work(context); });
}

void dispatch_retain(dispatch_group_t group) {
    if (group != nullptr) group->retain();
}

void dispatch_release(dispatch_group_t group) {
    if (group != nullptr) group->release();
}
