#include <dispatch/dispatch.h>

#include <algorithm>
#include <condition_variable>
#include <cstdarg>
#include <cstdio>
#include <deque>
#include <exception>
#include <mutex>
#include <new>
#include <system_error>
#include <thread>
#include <pthread.h>
#include <unistd.h>

#include "DispatchInternal.h"

namespace lumora::dispatch {

namespace {
thread_local dispatch_queue_s *tCurrentQueue = nullptr;
}  // namespace

void Report(const char *format, ...) {
    char line[512];
    int length = std::snprintf(line, sizeof line, "dispatch: ");
    va_list arguments;
    va_start(arguments, format);
    const int added = std::vsnprintf(line + length, sizeof line - size_t(length) - 1, format, arguments);
    va_end(arguments);
    if (added > 0) length = std::min(length + added, int(sizeof line) - 2);
    line[length++] = '\n';
    // One write, so the line is not mixed with other output.
    [[maybe_unused]] const ssize_t written = ::write(STDERR_FILENO, line, size_t(length));
}

void RunWork(const dispatch_queue_s &queue, const dispatch_block_t &work) {
    try {
        work();
    } catch (const std::exception &error) {
        Report("work on queue '%s' threw an exception (%s); the queue goes on", queue.label().c_str(),
               error.what());
    } catch (...) {
        Report("work on queue '%s' threw an exception; the queue goes on", queue.label().c_str());
    }
}

dispatch_queue_s *CurrentQueue() { return tCurrentQueue; }

CurrentQueueScope::CurrentQueueScope(dispatch_queue_s *queue) : mPrevious(tCurrentQueue) { tCurrentQueue = queue; }

CurrentQueueScope::~CurrentQueueScope() { tCurrentQueue = mPrevious; }

}  // namespace lumora::dispatch

namespace {

using lumora::dispatch::CurrentQueueScope;
using lumora::dispatch::Report;
using lumora::dispatch::RunWork;

// Runs work on another thread's queue and waits for it; the work's exception is handed back.
template <class Submit>
void SubmitAndWait(const dispatch_block_t &work, Submit &&submit) {
    std::mutex mutex;
    std::condition_variable doneSignal;
    bool done = false;
    std::exception_ptr failure;
    submit([&] {
        try {
            work();
        } catch (...) {
            failure = std::current_exception();
        }
        std::lock_guard<std::mutex> lock(mutex);  // notify under the lock: the waiter's
        done = true;                              // frame must outlive the notification
        doneSignal.notify_one();
    });
    std::unique_lock<std::mutex> lock(mutex);
    doneSignal.wait(lock, [&] { return done; });
    if (failure) std::rethrow_exception(failure);
}

// A serial queue. Its worker thread starts with the first work and lives while the queue
// has references or work; the worker deletes the queue when it ends. A queue that never
// had work is deleted by its last release.
class SerialQueue final : public dispatch_queue_s {
public:
    explicit SerialQueue(std::string label) : dispatch_queue_s(std::move(label)) {}

    void submit(dispatch_block_t work) override {
        std::lock_guard<std::mutex> lock(mMutex);
        mWork.push_back(std::move(work));
        if (mWorkerStarted) {
            mWake.notify_one();
            return;
        }
        try {
            std::thread([this] { workerLoop(); }).detach();
            mWorkerStarted = true;
        } catch (const std::system_error &error) {
            // No thread to be had: the work stays queued and the next submission tries again.
            Report("queue '%s' cannot start its worker thread (%s)", label().c_str(), error.what());
        }
    }

    void runSync(const dispatch_block_t &work) override {
        if (lumora::dispatch::CurrentQueue() == this) {
            Report("dispatch_sync on queue '%s' from its own work: run at once instead of deadlocking",
                   label().c_str());
            work();
            return;
        }
        SubmitAndWait(work, [this](dispatch_block_t item) { submit(std::move(item)); });
    }

    void retain() override {
        std::lock_guard<std::mutex> lock(mMutex);
        ++mReferences;
    }

    void release() override {
        std::unique_lock<std::mutex> lock(mMutex);
        if (mReferences <= 0) {
            Report("dispatch_release: queue '%s' has no reference left to release", label().c_str());
            return;
        }
        if (--mReferences > 0) return;
        if (mWorkerStarted) {
            mWake.notify_one();  // the worker finishes the work, then deletes the queue
            return;
        }
        const bool idle = mWork.empty();  // work queued while no thread could be started is dropped
        lock.unlock();
        if (!idle) Report("queue '%s' released with work that no thread could run", label().c_str());
        delete this;
    }

private:
    void workerLoop() {
        CurrentQueueScope current(this);
        std::unique_lock<std::mutex> lock(mMutex);
        for (;;) {
            mWake.wait(lock, [this] { return !mWork.empty() || mReferences == 0; });
            if (mWork.empty()) break;  // no reference and nothing left to run
            dispatch_block_t work = std::move(mWork.front());
            mWork.pop_front();
            lock.unlock();
            RunWork(*this, work);
            work = nullptr;  // the work's captures go before the lock is taken again
            lock.lock();
        }
        lock.unlock();
        delete this;
    }

    std::mutex mMutex;
    std::condition_variable mWake;
    std::deque<dispatch_block_t> mWork;
    long mReferences = 1;
    bool mWorkerStarted = false;
};

// ---- Global queues ---------------------------------------------------------------------

constexpr int kPriorityCount = 4;  // high, default, low, background: the order work is taken

class GlobalQueue final : public dispatch_queue_s {
public:
    GlobalQueue(std::string label, int rank) : dispatch_queue_s(std::move(label)), mRank(rank) {}
    void submit(dispatch_block_t work) override;
    void runSync(const dispatch_block_t &work) override {
        CurrentQueueScope current(this);
        work();
    }
    void retain() override {}
    void release() override {}
    int rank() const { return mRank; }

private:
    const int mRank;
};

// The threads behind the global queues. A thread is added whenever queued work outnumbers
// the idle threads (so work that waits for other work on the pool does not starve), up to
// kMaxThreads; threads stay for the life of the process. Never destroyed.
class Pool {
public:
    static Pool &Shared() {
        static Pool *pool = new Pool;
        return *pool;
    }

    void submit(GlobalQueue *queue, dispatch_block_t work) {
        std::lock_guard<std::mutex> lock(mMutex);
        mWork[queue->rank()].push_back(Item{queue, std::move(work)});
        ++mQueued;
        if (mQueued > mIdle && mThreads < kMaxThreads) {
            try {
                std::thread([this] { workerLoop(); }).detach();
                ++mThreads;
                return;
            } catch (const std::system_error &error) {
                if (mThreads == 0) Report("the global queues cannot start a thread (%s)", error.what());
            }
        }
        mWake.notify_one();
    }

private:
    static constexpr int kMaxThreads = 64;
    static constexpr char kThreadName[] = "dispatch-pool";

    struct Item {
        GlobalQueue *queue;
        dispatch_block_t work;
    };

    void workerLoop() {
        // Named, so that those counting a process's threads can tell the pool's from others.
        pthread_setname_np(pthread_self(), kThreadName);
        std::unique_lock<std::mutex> lock(mMutex);
        for (;;) {
            ++mIdle;
            mWake.wait(lock, [this] { return mQueued > 0; });
            --mIdle;
            Item item{nullptr, {}};
            for (auto &queue : mWork) {
                if (queue.empty()) continue;
                item = std::move(queue.front());
                queue.pop_front();
                break;
            }
            --mQueued;
            lock.unlock();
            {
                CurrentQueueScope current(item.queue);
                RunWork(*item.queue, item.work);
                item.work = nullptr;
            }
            lock.lock();
        }
    }

    std::mutex mMutex;
    std::condition_variable mWake;
    std::deque<Item> mWork[kPriorityCount];
    int mQueued = 0;
    int mIdle = 0;
    int mThreads = 0;
};

void GlobalQueue::submit(dispatch_block_t work) { Pool::Shared().submit(this, std::move(work)); }

GlobalQueue *GlobalQueueOfRank(int rank) {
    static GlobalQueue *queues = new GlobalQueue[kPriorityCount]{
        {"lumora.global.high", 0},
        {"lumora.global.default", 1},
        {"lumora.global.low", 2},
        {"lumora.global.background", 3},
    };
    return &queues[rank];
}

// ---- Main queue --------------------------------------------------------------------------

bool OnMainThread() { return ::gettid() == ::getpid(); }

// The main queue: work waits here until the main thread drains it. Never freed.
class MainQueue final : public dispatch_queue_s {
public:
    MainQueue() : dispatch_queue_s("lumora.main-thread") {}

    static MainQueue &Shared() {
        static MainQueue *queue = new MainQueue;
        return *queue;
    }

    void submit(dispatch_block_t work) override {
        std::lock_guard<std::mutex> lock(mMutex);
        mWork.push_back(std::move(work));
        if (mPump != nullptr) mPump(mPumpContext);
    }

    void runSync(const dispatch_block_t &work) override {
        if (lumora::dispatch::CurrentQueue() == this || OnMainThread()) {
            Report("dispatch_sync on the main queue from the main thread: run at once instead of deadlocking");
            CurrentQueueScope current(this);
            work();
            return;
        }
        SubmitAndWait(work, [this](dispatch_block_t item) { submit(std::move(item)); });
    }

    void retain() override {}
    void release() override {}

    void setPump(dispatch_main_queue_pump_t pump, void *context) {
        std::lock_guard<std::mutex> lock(mMutex);
        mPump = pump;
        mPumpContext = context;
        if (mPump != nullptr && !mWork.empty()) mPump(mPumpContext);
    }

    long drain() {
        std::deque<dispatch_block_t> due;
        {
            std::lock_guard<std::mutex> lock(mMutex);
            due.swap(mWork);
        }
        long ran = 0;
        CurrentQueueScope current(this);
        while (!due.empty()) {
            dispatch_block_t work = std::move(due.front());
            due.pop_front();
            RunWork(*this, work);
            ++ran;
        }
        return ran;
    }

private:
    std::mutex mMutex;
    std::deque<dispatch_block_t> mWork;
    dispatch_main_queue_pump_t mPump = nullptr;
    void *mPumpContext = nullptr;
};

}  // namespace

dispatch_queue_t dispatch_get_main_queue() { return &MainQueue::Shared(); }

void dispatch_main_queue_set_pump(dispatch_main_queue_pump_t pump, void *context) {
    MainQueue::Shared().setPump(pump, context);
}

long dispatch_main_queue_drain() { return MainQueue::Shared().drain(); }

dispatch_queue_t dispatch_queue_create(const char *label, dispatch_queue_attr_t attr) {
    if (attr != DISPATCH_QUEUE_SERIAL) {
        Report("dispatch_queue_create: only serial queues are provided");
        return nullptr;
    }
    return new (std::nothrow) SerialQueue(label != nullptr ? label : "");
}

const char *dispatch_queue_get_label(dispatch_queue_t queue) {
    if (queue == nullptr) queue = lumora::dispatch::CurrentQueue();
    return queue != nullptr ? queue->label().c_str() : "";
}

dispatch_queue_t dispatch_get_global_queue(long priority, unsigned long flags) {
    if (flags != 0) return nullptr;
    switch (priority) {
    case DISPATCH_QUEUE_PRIORITY_HIGH: return GlobalQueueOfRank(0);
    case DISPATCH_QUEUE_PRIORITY_DEFAULT: return GlobalQueueOfRank(1);
    case DISPATCH_QUEUE_PRIORITY_LOW: return GlobalQueueOfRank(2);
    case DISPATCH_QUEUE_PRIORITY_BACKGROUND: return GlobalQueueOfRank(3);
    default: return nullptr;
    }
}

void dispatch_async(dispatch_queue_t queue, dispatch_block_t block) {
    if (queue == nullptr) {
        Report("dispatch_async: null queue; the work is not run");
        return;
    }
    if (!block) return;
    queue->submit(std::move(block));
}

void dispatch_async_f(dispatch_queue_t queue, void *context, dispatch_function_t work) {
    if (work == nullptr) return;
    dispatch_async(queue, [context, work] { work(context); });
}

void dispatch_sync(dispatch_queue_t queue, const dispatch_block_t &block) {
    if (queue == nullptr) {
        Report("dispatch_sync: null queue; the work is not run");
        return;
    }
    if (!block) return;
    queue->runSync(block);
}

void dispatch_sync_f(dispatch_queue_t queue, void *context, dispatch_function_t work) {
    if (work == nullptr) return;
    dispatch_sync(queue, [context, work] { work(context); });
}

void dispatch_retain(dispatch_queue_t queue) {
    if (queue != nullptr) queue->retain();
}

void dispatch_release(dispatch_queue_t queue) {
    if (queue != nullptr) queue->release();
}
