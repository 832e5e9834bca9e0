#include "DispatchInternal.h"

#include <condition_variable>
#include <cstdint>
#include <ctime>
#include <map>
#include <mutex>
#include <system_error>
#include <thread>
#include <utility>

using lumora::dispatch::Report;

namespace {

dispatch_time_t Now() {
    struct timespec now;
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    return uint64_t(now.tv_sec) * NSEC_PER_SEC + uint64_t(now.tv_nsec);
}

// The work waiting for its time, earliest first (equal times in the order submitted), and the
// thread that hands each to its queue when its time comes. Made on first use and never
// destroyed: the thread may be waiting while the process exits.
class AfterTimer {
public:
    static AfterTimer &Shared() {
        static AfterTimer *timer = new AfterTimer;
        return *timer;
    }

    void Add(dispatch_time_t when, dispatch_queue_t queue, dispatch_block_t block) {
        dispatch_retain(queue);
        std::lock_guard<std::mutex> lock(mMutex);
        if (!mStarted) {
            try {
                std::thread([this] { Run(); }).detach();
                mStarted = true;
            } catch (const std::system_error &error) {
                Report("the timer thread of dispatch_after cannot start (%s); the work runs now", error.what());
                queue->submit(std::move(block));
                dispatch_release(queue);
                return;
            }
        }
        mWaiting.emplace(std::make_pair(when, mOrder++), Item{queue, std::move(block)});
        mChanged.notify_one();
    }

private:
    struct Item {
        dispatch_queue_t queue;
        dispatch_block_t block;
    };

    void Run() {
        std::unique_lock<std::mutex> lock(mMutex);
        for (;;) {
            if (mWaiting.empty()) {
                mChanged.wait(lock);
                continue;
            }
            const dispatch_time_t due = mWaiting.begin()->first.first;
            const dispatch_time_t now = Now();
            if (due > now) {
                mChanged.wait_for(lock, std::chrono::nanoseconds(due - now));
                continue;
            }
            Item item = std::move(mWaiting.begin()->second);
            mWaiting.erase(mWaiting.begin());
            lock.unlock();
            item.queue->submit(std::move(item.block));
            dispatch_release(item.queue);
            lock.lock();
        }
    }

    std::mutex mMutex;
    std::condition_variable mChanged;
    std::multimap<std::pair<dispatch_time_t, uint64_t>, Item> mWaiting;
    uint64_t mOrder = 0;
    bool mStarted = false;
};

}  // namespace

void dispatch_after(dispatch_time_t when, dispatch_queue_t queue, dispatch_block_t block) {
    if (queue == nullptr) {
        Report("dispatch_after on a null queue; the work is not run");
        return;
    }
    if (!block || when == DISPATCH_TIME_FOREVER) return;
    if (when == DISPATCH_TIME_NOW) when = Now();
    AfterTimer::Shared().Add(when, queue, std::move(block));
}

void dispatch_after_f(dispatch_time_t when, dispatch_queue_t queue, void *context, dispatch_function_t work) {
    if (work == nullptr) return;
    dispatch_after(when, queue, [context, work] { work(context); });
}
