#include <gtest/gtest.h>

#include <dispatch/dispatch.h>

#include <atomic>
#include <chrono>
#include <dirent.h>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;

// Threads of this process, from /proc.
int ThreadCount() {
    int count = 0;
    if (DIR *tasks = ::opendir("/proc/self/task")) {
        while (const dirent *entry = ::readdir(tasks))
            if (entry->d_name[0] != '.') ++count;
        ::closedir(tasks);
    }
    return count;
}

// Polls until the condition holds or two seconds have gone.
template <class Condition>
bool Eventually(Condition condition) {
    for (int i = 0; i < 200; ++i) {
        if (condition()) return true;
        std::this_thread::sleep_for(10ms);
    }
    return condition();
}

}  // namespace

// ---- Serial queues -----------------------------------------------------------------------

TEST(DispatchSerialQueue, KeepsEachProducersOrderAndRunsOneAtATime) {
    constexpr int kProducers = 4;
    constexpr int kItems = 500;
    dispatch_queue_t queue = dispatch_queue_create("fifo", DISPATCH_QUEUE_SERIAL);
    ASSERT_NE(queue, nullptr);

    std::vector<std::pair<int, int>> seen;  // only touched by the queue's work
    std::atomic<int> running{0};
    std::atomic<bool> overlapped{false};
    std::vector<std::thread> producers;
    for (int p = 0; p < kProducers; ++p) {
        producers.emplace_back([&, p] {
            for (int i = 0; i < kItems; ++i) {
                dispatch_async(queue, [&, p, i] {
                    if (running.fetch_add(1) != 0) overlapped = true;
                    seen.emplace_back(p, i);
                    running.fetch_sub(1);
                });
            }
        });
    }
    for (auto &producer : producers) producer.join();
    dispatch_sync(queue, [] {});

    EXPECT_FALSE(overlapped);
    ASSERT_EQ(seen.size(), size_t(kProducers * kItems));
    std::vector<int> next(kProducers, 0);
    for (const auto &[producer, item] : seen) ASSERT_EQ(item, next[producer]++) << "producer " << producer;
    dispatch_release(queue);
}

TEST(DispatchSerialQueue, SyncRunsAfterEarlierWorkAndBeforeLaterWork) {
    dispatch_queue_t queue = dispatch_queue_create("sync", nullptr);
    std::vector<int> order;
    std::mutex mutex;
    auto record = [&](int value) {
        std::lock_guard<std::mutex> lock(mutex);
        order.push_back(value);
    };
    dispatch_async(queue, [&] {
        std::this_thread::sleep_for(20ms);
        record(1);
    });
    dispatch_sync(queue, [&] { record(2); });
    record(3);  // dispatch_sync has returned: its work has run
    dispatch_async_f(queue, &order, [](void *context) { static_cast<std::vector<int> *>(context)->push_back(4); });
    int five = 5;
    dispatch_sync_f(queue, &five, [](void *) {});
    EXPECT_EQ(order, (std::vector<int>{1, 2, 3, 4}));
    dispatch_release(queue);
}

TEST(DispatchSerialQueue, SyncHandsBackTheWorksException) {
    dispatch_queue_t queue = dispatch_queue_create("throws", nullptr);
    EXPECT_THROW(dispatch_sync(queue, [] { throw std::runtime_error("boom"); }), std::runtime_error);
    // An exception in queued work is reported; the queue carries on.
    dispatch_async(queue, [] { throw std::runtime_error("async boom"); });
    bool ran = false;
    dispatch_sync(queue, [&] { ran = true; });
    EXPECT_TRUE(ran);
    dispatch_release(queue);
}

TEST(DispatchSerialQueue, SyncOnItsOwnQueueDoesNotDeadlock) {
    dispatch_queue_t queue = dispatch_queue_create("self", nullptr);
    bool inner = false;
    dispatch_sync(queue, [&] { dispatch_sync(queue, [&] { inner = true; }); });
    EXPECT_TRUE(inner);
    dispatch_release(queue);
}

TEST(DispatchSerialQueue, ReleaseRunsPendingWorkThenEndsItsThread) {
    const int threadsBefore = ThreadCount();
    dispatch_queue_t queue = dispatch_queue_create("pending", nullptr);
    auto token = std::make_shared<int>(0);  // freed when the last work item's captures go
    std::weak_ptr<int> watch = token;
    std::atomic<int> ran{0};
    std::atomic<bool> gate{false};
    dispatch_async(queue, [&] {
        while (!gate) std::this_thread::sleep_for(1ms);
        ++ran;
    });
    for (int i = 0; i < 100; ++i) dispatch_async(queue, [&ran, token] { ++ran; });
    token.reset();
    dispatch_retain(queue);
    dispatch_release(queue);
    dispatch_release(queue);  // the last reference, with 101 items still queued
    gate = true;

    EXPECT_TRUE(Eventually([&] { return ran == 101; }));
    EXPECT_TRUE(Eventually([&] { return watch.expired(); }));
    EXPECT_TRUE(Eventually([&] { return ThreadCount() <= threadsBefore; })) << "the worker thread did not end";
}

TEST(DispatchSerialQueue, ReleaseWithoutWorkStartsNoThread) {
    const int threadsBefore = ThreadCount();
    dispatch_queue_t queue = dispatch_queue_create(nullptr, DISPATCH_QUEUE_SERIAL);
    EXPECT_STREQ(dispatch_queue_get_label(queue), "");
    EXPECT_LE(ThreadCount(), threadsBefore);  // threads of earlier tests may still be ending
    dispatch_release(queue);
}

TEST(DispatchSerialQueue, LabelIsCopiedAndVisibleFromItsWork) {
    std::string label = "sCFTypeRefOutputQueue";
    dispatch_queue_t queue = dispatch_queue_create(label.c_str(), nullptr);
    label.assign("changed");
    EXPECT_STREQ(dispatch_queue_get_label(queue), "sCFTypeRefOutputQueue");
    std::string inside;
    dispatch_sync(queue, [&] { inside = dispatch_queue_get_label(nullptr); });
    EXPECT_EQ(inside, "sCFTypeRefOutputQueue");
    EXPECT_STREQ(dispatch_queue_get_label(nullptr), "");
    dispatch_release(queue);
}

TEST(DispatchSerialQueue, NullArgumentsAreRefused) {
    int dummy = 0;
    dispatch_queue_attr_t bogus = reinterpret_cast<dispatch_queue_attr_t>(&dummy);
    EXPECT_EQ(dispatch_queue_create("concurrent", bogus), nullptr);
    bool ran = false;
    dispatch_async(nullptr, [&] { ran = true; });
    dispatch_sync(nullptr, [&] { ran = true; });
    EXPECT_FALSE(ran);
    dispatch_queue_t queue = dispatch_queue_create("empty work", nullptr);
    dispatch_async(queue, dispatch_block_t());
    dispatch_async_f(queue, nullptr, nullptr);
    dispatch_sync(queue, dispatch_block_t());
    dispatch_release(queue);
    dispatch_retain(static_cast<dispatch_queue_t>(nullptr));
    dispatch_release(static_cast<dispatch_queue_t>(nullptr));
}

// ---- Once ------------------------------------------------------------------------------

TEST(DispatchOnce, RunsOnceUnderContentionAndEveryoneSeesTheResult) {
    for (int round = 0; round < 20; ++round) {
        dispatch_once_t predicate = 0;
        std::atomic<int> calls{0};
        int value = 0;  // written by the once work, read by everyone after dispatch_once
        std::atomic<int> wrong{0};
        std::atomic<bool> go{false};
        std::vector<std::thread> threads;
        for (int t = 0; t < 8; ++t) {
            threads.emplace_back([&] {
                while (!go) std::this_thread::yield();
                dispatch_once(&predicate, [&] {
                    ++calls;
                    std::this_thread::sleep_for(2ms);
                    value = 42;
                });
                if (value != 42) ++wrong;
            });
        }
        go = true;
        for (auto &thread : threads) thread.join();
        EXPECT_EQ(calls, 1);
        EXPECT_EQ(wrong, 0);
    }
}

TEST(DispatchOnce, FunctionFormAndReentry) {
    dispatch_once_t predicate = 0;  // a static in real use; local so the test can repeat
    int count = 0;
    auto bump = [](void *context) { ++*static_cast<int *>(context); };
    dispatch_once_f(&predicate, &count, bump);
    dispatch_once_f(&predicate, &count, bump);
    EXPECT_EQ(count, 1);

    dispatch_once_t reentrant = 0;
    int outer = 0;
    dispatch_once(&reentrant, [&] {
        ++outer;
        dispatch_once(&reentrant, [&] { ++outer; });  // reported, not run, no deadlock
    });
    EXPECT_EQ(outer, 1);
}

TEST(DispatchOnce, ThrowingWorkMayBeTriedAgain) {
    dispatch_once_t predicate = 0;
    EXPECT_THROW(dispatch_once(&predicate, [] { throw std::runtime_error("first"); }), std::runtime_error);
    bool ran = false;
    dispatch_once(&predicate, [&] { ran = true; });
    EXPECT_TRUE(ran);
}

// ---- Global queues ---------------------------------------------------------------------

TEST(DispatchGlobalQueue, PrioritiesAndFlags) {
    const long priorities[] = {DISPATCH_QUEUE_PRIORITY_HIGH, DISPATCH_QUEUE_PRIORITY_DEFAULT,
                               DISPATCH_QUEUE_PRIORITY_LOW, DISPATCH_QUEUE_PRIORITY_BACKGROUND};
    std::vector<dispatch_queue_t> queues;
    for (long priority : priorities) {
        dispatch_queue_t queue = dispatch_get_global_queue(priority, 0);
        ASSERT_NE(queue, nullptr) << priority;
        EXPECT_EQ(queue, dispatch_get_global_queue(priority, 0));
        for (dispatch_queue_t other : queues) EXPECT_NE(queue, other);
        queues.push_back(queue);
        dispatch_release(queue);  // does nothing to a global queue
    }
    EXPECT_EQ(dispatch_get_global_queue(1, 0), nullptr);
    EXPECT_EQ(dispatch_get_global_queue(DISPATCH_QUEUE_PRIORITY_DEFAULT, 1), nullptr);
}

TEST(DispatchGlobalQueue, RunsWorkConcurrently) {
    // Four items that each wait for all four to have started: they only finish when they
    // really run at the same time.
    dispatch_queue_t queue = dispatch_get_global_queue(DISPATCH_QUEUE_PRIORITY_DEFAULT, 0);
    dispatch_group_t group = dispatch_group_create();
    constexpr int kItems = 4;
    std::atomic<int> started{0};
    std::atomic<int> finished{0};
    for (int i = 0; i < kItems; ++i) {
        dispatch_group_async(group, queue, [&] {
            ++started;
            if (Eventually([&] { return started == kItems; })) ++finished;
        });
    }
    EXPECT_EQ(dispatch_group_wait(group, DISPATCH_TIME_FOREVER), 0);
    EXPECT_EQ(finished, kItems);
    dispatch_release(group);
}

TEST(DispatchGlobalQueue, SyncRunsOnTheCallersThread) {
    std::thread::id where;
    dispatch_sync(dispatch_get_global_queue(DISPATCH_QUEUE_PRIORITY_LOW, 0),
                  [&] { where = std::this_thread::get_id(); });
    EXPECT_EQ(where, std::this_thread::get_id());
}

// ---- Groups and times --------------------------------------------------------------------

TEST(DispatchGroup, WaitAndNotifyFollowTheWork) {
    dispatch_queue_t serial = dispatch_queue_create("group", nullptr);
    dispatch_queue_t global = dispatch_get_global_queue(DISPATCH_QUEUE_PRIORITY_HIGH, 0);
    dispatch_group_t group = dispatch_group_create();
    std::atomic<bool> gate{false};
    std::atomic<int> done{0};
    dispatch_group_async(group, serial, [&] {
        while (!gate) std::this_thread::sleep_for(1ms);
        ++done;
    });
    for (int i = 0; i < 10; ++i) dispatch_group_async(group, global, [&] { ++done; });
    int fromFunction = 0;
    dispatch_group_async_f(group, serial, &fromFunction, [](void *context) { *static_cast<int *>(context) = 1; });

    std::atomic<int> notifiedAfter{-1};
    dispatch_group_notify(group, serial, [&] { notifiedAfter = done.load(); });

    EXPECT_NE(dispatch_group_wait(group, DISPATCH_TIME_NOW), 0);
    EXPECT_NE(dispatch_group_wait(group, dispatch_time(DISPATCH_TIME_NOW, 20 * NSEC_PER_MSEC)), 0);
    EXPECT_EQ(notifiedAfter, -1);
    gate = true;
    EXPECT_EQ(dispatch_group_wait(group, dispatch_time(DISPATCH_TIME_NOW, 10 * NSEC_PER_SEC)), 0);
    EXPECT_EQ(done, 11);
    EXPECT_EQ(fromFunction, 1);
    dispatch_sync(serial, [] {});  // the notification was queued on serial when the count reached 0
    EXPECT_EQ(notifiedAfter, 11);

    // With nothing outstanding, a notification is sent at once and wait returns at once.
    std::atomic<bool> immediate{false};
    dispatch_group_notify(group, serial, [&] { immediate = true; });
    dispatch_sync(serial, [] {});
    EXPECT_TRUE(immediate);
    EXPECT_EQ(dispatch_group_wait(group, DISPATCH_TIME_NOW), 0);

    dispatch_release(group);
    dispatch_release(serial);
}

TEST(DispatchGroup, EnterLeaveAndReleaseBeforeTheWorkEnds) {
    dispatch_group_t group = dispatch_group_create();
    dispatch_group_enter(group);
    EXPECT_NE(dispatch_group_wait(group, DISPATCH_TIME_NOW), 0);
    dispatch_group_leave(group);
    EXPECT_EQ(dispatch_group_wait(group, DISPATCH_TIME_NOW), 0);
    dispatch_group_leave(group);  // unmatched: reported and ignored
    EXPECT_EQ(dispatch_group_wait(group, DISPATCH_TIME_NOW), 0);

    // The creator lets go while work is outstanding: the work and the notification still run.
    dispatch_queue_t queue = dispatch_queue_create("late", nullptr);
    std::atomic<bool> notified{false};
    std::atomic<bool> gate{false};
    dispatch_group_async(group, queue, [&] {
        while (!gate) std::this_thread::sleep_for(1ms);
    });
    dispatch_group_notify(group, queue, [&] { notified = true; });
    dispatch_release(group);
    dispatch_release(queue);
    gate = true;
    EXPECT_TRUE(Eventually([&] { return notified.load(); }));
    EXPECT_NE(dispatch_group_wait(nullptr, DISPATCH_TIME_NOW), 0);
}

TEST(DispatchAfter, WorkRunsOnItsQueueInTimeOrderAndKeepsTheQueueAlive) {
    dispatch_queue_t queue = dispatch_queue_create("after", DISPATCH_QUEUE_SERIAL);
    std::mutex mutex;
    std::vector<int> order;
    std::atomic<bool> onQueue{true};
    const auto start = std::chrono::steady_clock::now();
    std::chrono::steady_clock::duration firstAfter{};
    auto record = [&](int value) {
        return [&, value] {
            if (value == 1) firstAfter = std::chrono::steady_clock::now() - start;
            std::lock_guard<std::mutex> lock(mutex);
            order.push_back(value);
        };
    };
    // Submitted latest-first: they run earliest-first; a time already past runs at once.
    dispatch_after(dispatch_time(DISPATCH_TIME_NOW, 120 * int64_t(NSEC_PER_MSEC)), queue, record(3));
    dispatch_after(dispatch_time(DISPATCH_TIME_NOW, 60 * int64_t(NSEC_PER_MSEC)), queue, record(2));
    dispatch_after(dispatch_time(DISPATCH_TIME_NOW, -int64_t(NSEC_PER_SEC)), queue, record(0));
    dispatch_after(DISPATCH_TIME_FOREVER, queue, record(99));
    int context = 1;
    dispatch_after_f(dispatch_time(DISPATCH_TIME_NOW, 30 * int64_t(NSEC_PER_MSEC)), queue, &context, [](void *c) {
        EXPECT_EQ(*static_cast<int *>(c), 1);
    });
    dispatch_after(dispatch_time(DISPATCH_TIME_NOW, 30 * int64_t(NSEC_PER_MSEC)), queue, [&] {
        record(1)();
        dispatch_queue_t again = dispatch_queue_create("other", DISPATCH_QUEUE_SERIAL);
        onQueue = again != nullptr;
        dispatch_release(again);
    });
    // The caller's reference goes; the waiting work keeps the queue.
    dispatch_release(queue);
    EXPECT_TRUE(Eventually([&] {
        std::lock_guard<std::mutex> lock(mutex);
        return order.size() == 4;
    }));
    std::this_thread::sleep_for(50ms);
    std::lock_guard<std::mutex> lock(mutex);
    EXPECT_EQ(order, (std::vector<int>{0, 1, 2, 3}));
    EXPECT_GE(firstAfter, 30ms);
    EXPECT_TRUE(onQueue.load());
    // A null queue is refused.
    dispatch_after(DISPATCH_TIME_NOW, nullptr, [] { ADD_FAILURE() << "ran without a queue"; });
}

TEST(DispatchTime, Arithmetic) {
    const dispatch_time_t now = dispatch_time(DISPATCH_TIME_NOW, 0);
    EXPECT_GT(now, 0u);
    const dispatch_time_t later = dispatch_time(now, int64_t(NSEC_PER_SEC));
    EXPECT_EQ(later - now, NSEC_PER_SEC);
    EXPECT_EQ(dispatch_time(later, -int64_t(NSEC_PER_SEC)), now);
    EXPECT_GE(dispatch_time(DISPATCH_TIME_NOW, 0), now);
    EXPECT_EQ(dispatch_time(DISPATCH_TIME_FOREVER, -5), DISPATCH_TIME_FOREVER);
    EXPECT_EQ(dispatch_time(now, INT64_MAX), now + uint64_t(INT64_MAX));
    EXPECT_EQ(dispatch_time(DISPATCH_TIME_FOREVER - 10, 100), DISPATCH_TIME_FOREVER);
    EXPECT_EQ(dispatch_time(5, INT64_MIN), 1u);  // before the clock's start: already past
}

// ---- Main queue --------------------------------------------------------------------------

namespace {
// The pump of these tests counts its calls; the tests drain the queue themselves.
std::atomic<int> gPumpCalls{0};
void CountingPump(void *) { ++gPumpCalls; }
}  // namespace

TEST(DispatchMainQueue, WorkWaitsForTheDrainAndRunsInOrderOnTheDrainingThread) {
    dispatch_queue_t main = dispatch_get_main_queue();
    ASSERT_NE(main, nullptr);
    EXPECT_EQ(dispatch_main_queue_drain(), 0);

    std::vector<int> order;
    std::thread producer([&] {
        for (int i = 0; i < 3; ++i) dispatch_async(main, [&order, i] { order.push_back(i); });
    });
    producer.join();
    std::this_thread::sleep_for(20ms);
    EXPECT_TRUE(order.empty()) << "nothing runs the main queue without a drain";

    // Work submitted during a drain waits for the next one; labels follow the queue.
    std::string label;
    dispatch_async(main, [&] {
        label = dispatch_queue_get_label(nullptr);
        dispatch_async(main, [&order] { order.push_back(99); });
        dispatch_sync(main, [&order] { order.push_back(3); });  // from its own work: at once
    });
    EXPECT_EQ(dispatch_main_queue_drain(), 4);
    EXPECT_EQ(order, (std::vector<int>{0, 1, 2, 3}));
    EXPECT_EQ(label, "lumora.main-thread");
    EXPECT_EQ(dispatch_main_queue_drain(), 1);
    EXPECT_EQ(order.back(), 99);
}

TEST(DispatchMainQueue, PumpIsToldOfEveryWorkAndOfWorkWaitingWhenInstalled) {
    dispatch_queue_t main = dispatch_get_main_queue();
    int ran = 0;
    dispatch_async(main, [&] { ++ran; });
    gPumpCalls = 0;
    dispatch_main_queue_set_pump(CountingPump, nullptr);
    EXPECT_EQ(gPumpCalls, 1) << "work already waiting is announced when the pump arrives";
    dispatch_async(main, [&] { ++ran; });
    dispatch_async_f(main, &ran, [](void *context) { ++*static_cast<int *>(context); });
    EXPECT_EQ(gPumpCalls, 3);
    dispatch_main_queue_set_pump(nullptr, nullptr);
    dispatch_async(main, [&] { ++ran; });
    EXPECT_EQ(gPumpCalls, 3);
    EXPECT_EQ(dispatch_main_queue_drain(), 4);
    EXPECT_EQ(ran, 4);
}

TEST(DispatchMainQueue, SyncFromAnotherThreadWaitsForTheDrainAndGetsTheException) {
    dispatch_queue_t main = dispatch_get_main_queue();
    std::atomic<bool> done{false};
    std::atomic<bool> threw{false};
    std::thread waiter([&] {
        try {
            dispatch_sync(main, [] { throw std::runtime_error("main work failed"); });
        } catch (const std::runtime_error &) {
            threw = true;
        }
        done = true;
    });
    std::this_thread::sleep_for(20ms);
    EXPECT_FALSE(done);
    EXPECT_TRUE(Eventually([] { return dispatch_main_queue_drain() == 1; }));
    waiter.join();
    EXPECT_TRUE(threw);

    // On the main thread itself the work runs at once (the test runs on the main thread).
    int ran = 0;
    dispatch_sync(main, [&] { ++ran; });
    EXPECT_EQ(ran, 1);
}
