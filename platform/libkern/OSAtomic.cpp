#include <libkern/OSAtomic.h>

#include <atomic>

namespace {

// The word: 0 free, 1 held, 2 held and a thread may be asleep on it.
enum : int32_t { kFree = 0, kHeld = 1, kHeldWithSleepers = 2 };

// Rounds of the busy phase before a waiter sleeps; about a microsecond.
constexpr int kSpinRounds = 100;

std::atomic_ref<int32_t> Word(volatile OSSpinLock *lock) {
    // The word is only ever read and written through atomic operations.
    return std::atomic_ref<int32_t>(*const_cast<int32_t *>(lock));
}

inline void Relax() {
#if defined(__x86_64__) || defined(__i386__)
    __builtin_ia32_pause();
#elif defined(__aarch64__)
    asm volatile("yield");
#endif
}

}  // namespace

bool OSSpinLockTry(volatile OSSpinLock *lock) {
    int32_t expected = kFree;
    return Word(lock).compare_exchange_strong(expected, kHeld, std::memory_order_acquire,
                                              std::memory_order_relaxed);
}

void OSSpinLockLock(volatile OSSpinLock *lock) {
    std::atomic_ref<int32_t> word = Word(lock);
    for (int round = 0; round < kSpinRounds; ++round) {
        int32_t expected = kFree;
        if (word.load(std::memory_order_relaxed) == kFree &&
            word.compare_exchange_weak(expected, kHeld, std::memory_order_acquire, std::memory_order_relaxed))
            return;
        Relax();
    }
    // Marks the word as slept on, then sleeps until it changes; taking it this way keeps
    // the mark, so the holder's unlock wakes the next sleeper.
    while (word.exchange(kHeldWithSleepers, std::memory_order_acquire) != kFree)
        word.wait(kHeldWithSleepers, std::memory_order_relaxed);
}

void OSSpinLockUnlock(volatile OSSpinLock *lock) {
    std::atomic_ref<int32_t> word = Word(lock);
    if (word.exchange(kFree, std::memory_order_release) == kHeldWithSleepers) word.notify_one();
}
