// Spin locks of the kernel support library: one 32-bit word per lock, 0 when free.
//
// A lock that is busy is spun on briefly; a thread that still cannot take it then sleeps on
// the word (a futex through std::atomic_ref::wait) until the holder lets it go, so a long
// hold never keeps a waiting core busy.
#pragma once

#include <cstdint>

typedef int32_t OSSpinLock;

#define OS_SPINLOCK_INIT 0

// Takes the lock when it is free: true when taken, false at once when busy.
bool OSSpinLockTry(volatile OSSpinLock *lock);
// Takes the lock, waiting as long as another thread holds it. Not recursive: a thread that
// takes a lock it holds waits for ever.
void OSSpinLockLock(volatile OSSpinLock *lock);
// Lets a held lock go and wakes a waiter.
void OSSpinLockUnlock(volatile OSSpinLock *lock);
