#include <dispatch/dispatch.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <vector>

#include "DispatchInternal.h"

namespace {

constexpr long kNotRun = 0;
constexpr long kRunning = 1;
constexpr long kDone = ~0l;

// Threads waiting for another thread's once work share one lock and condition; waiting is
// rare (only while a first call is running). Never destroyed, so a once at exit still works.
struct OnceWaiters {
    std::mutex mutex;
    std::condition_variable finished;
};

OnceWaiters &Waiters() {
    static OnceWaiters *waiters = new OnceWaiters;
    return *waiters;
}

// The predicates whose work the calling thread is running, to catch a re-entrant call.
thread_local std::vector<const dispatch_once_t *> tRunning;

void Publish(std::atomic_ref<long> &state, long value) {
    state.store(value, std::memory_order_release);
    OnceWaiters &waiters = Waiters();
    { std::lock_guard<std::mutex> lock(waiters.mutex); }
    waiters.finished.notify_all();
}

}  // namespace

void dispatch_once_f(dispatch_once_t *predicate, void *context, dispatch_function_t function) {
    if (predicate == nullptr || function == nullptr) {
        lumora::dispatch::Report("dispatch_once: null predicate or work");
        return;
    }
    std::atomic_ref<long> state(*predicate);
    for (;;) {
        long current = state.load(std::memory_order_acquire);
        if (current == kDone) return;
        if (current == kNotRun &&
            state.compare_exchange_strong(current, kRunning, std::memory_order_acquire)) {
            tRunning.push_back(predicate);
            try {
                function(context);
            } catch (...) {
                tRunning.pop_back();
                Publish(state, kNotRun);  // a later call tries again
                throw;
            }
            tRunning.pop_back();
            Publish(state, kDone);
            return;
        }
        for (const dispatch_once_t *running : tRunning) {
            if (running == predicate) {
                lumora::dispatch::Report("dispatch_once: called again from inside its own work");
                return;
            }
        }
        OnceWaiters &waiters = Waiters();
        std::unique_lock<std::mutex> lock(waiters.mutex);
        waiters.finished.wait(lock, [&] { return state.load(std::memory_order_acquire) != kRunning; });
    }
}
