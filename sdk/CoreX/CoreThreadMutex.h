// A recursive POSIX mutex with a validity flag.
//
// Two-phase: the constructor only clears the storage; Create makes the mutex. Lock, TryLock
// and Unlock do nothing (TryLock answers false) while no mutex was created.
#pragma once

#include <pthread.h>

class CoreThreadMutex {
public:
    CoreThreadMutex() { ZeroContents(); }
    ~CoreThreadMutex() { Destroy(); }
    CoreThreadMutex(const CoreThreadMutex &) = delete;
    CoreThreadMutex &operator=(const CoreThreadMutex &) = delete;

    // Makes a recursive mutex; true when valid.
    bool Create();
    // Destroys a valid mutex (which must not be locked); true when none is left.
    bool Destroy();
    // Forgets the mutex without destroying it.
    void ZeroContents();

    // True when the mutex is now held by this thread (once more, it is recursive).
    bool Lock();
    // True when the mutex was free or already held by this thread, and is now held.
    bool TryLock();
    // True when one hold of this thread was given up.
    bool Unlock();

    pthread_mutex_t mMutex;
    bool mValid;
};

bool import_CoreThreadMutex();
