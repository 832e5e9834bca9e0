// A recursive POSIX mutex with a validity flag.
//
// Two-phase: the constructor only clears the storage; Create makes the mutex. Users lock
// and unlock the storage with pthread_mutex_lock / pthread_mutex_unlock (&mutex.mMutex).
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

    pthread_mutex_t mMutex;
    bool mValid;
};

bool import_CoreThreadMutex();
