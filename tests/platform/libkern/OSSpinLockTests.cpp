#include <libkern/OSAtomic.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <ctime>
#include <thread>
#include <vector>

namespace {

double ThreadCPUSeconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) / 1e9;
}

TEST(OSSpinLock, TryTakesOnlyAFreeLock) {
    OSSpinLock lock = OS_SPINLOCK_INIT;
    EXPECT_TRUE(OSSpinLockTry(&lock));
    EXPECT_FALSE(OSSpinLockTry(&lock));  // not recursive
    bool fromAnother = true;
    std::thread([&] { fromAnother = OSSpinLockTry(&lock); }).join();
    EXPECT_FALSE(fromAnother);
    OSSpinLockUnlock(&lock);
    EXPECT_EQ(lock, OS_SPINLOCK_INIT);
    OSSpinLockLock(&lock);
    EXPECT_FALSE(OSSpinLockTry(&lock));
    OSSpinLockUnlock(&lock);
    EXPECT_TRUE(OSSpinLockTry(&lock));
    OSSpinLockUnlock(&lock);
}

// Many threads changing one plain counter under the lock lose no update, and every lock is
// free afterwards (no waiter is left asleep).
TEST(OSSpinLock, ExcludesOtherThreads) {
    OSSpinLock lock = OS_SPINLOCK_INIT;
    long counter = 0;
    constexpr int kThreads = 8;
    constexpr int kRounds = 20000;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([&] {
            for (int i = 0; i < kRounds; ++i) {
                OSSpinLockLock(&lock);
                const long seen = counter;
                if (i % 1000 == 0) std::this_thread::yield();  // holds it a while now and then
                counter = seen + 1;
                OSSpinLockUnlock(&lock);
            }
        });
    for (std::thread &thread : threads) thread.join();
    EXPECT_EQ(counter, long(kThreads) * kRounds);
    EXPECT_EQ(lock, OS_SPINLOCK_INIT);
}

// A thread waiting for a lock held for 300 ms sleeps instead of spinning: it uses a small
// part of that time on its own core, and it takes the lock once it is let go.
TEST(OSSpinLock, WaiterSleepsWhileTheLockIsHeld) {
    OSSpinLock lock = OS_SPINLOCK_INIT;
    OSSpinLockLock(&lock);
    std::atomic<bool> taken{false};
    double waiterCPU = -1;
    std::thread waiter([&] {
        const double start = ThreadCPUSeconds();
        OSSpinLockLock(&lock);
        waiterCPU = ThreadCPUSeconds() - start;
        taken = true;
        OSSpinLockUnlock(&lock);
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_FALSE(taken);
    OSSpinLockUnlock(&lock);
    waiter.join();
    EXPECT_TRUE(taken);
    EXPECT_GE(waiterCPU, 0.0);
    EXPECT_LT(waiterCPU, 0.1);
    EXPECT_EQ(lock, OS_SPINLOCK_INIT);
}

}  // namespace
