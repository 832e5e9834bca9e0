#include <CoreX/CoreThreadMutex.h>

#include <cstring>

bool CoreThreadMutex::Create() {
    if (mValid) return true;
    pthread_mutexattr_t attributes;
    if (pthread_mutexattr_init(&attributes) != 0) return false;
    int result = pthread_mutexattr_settype(&attributes, PTHREAD_MUTEX_RECURSIVE);
    if (result == 0) result = pthread_mutex_init(&mMutex, &attributes);
    pthread_mutexattr_destroy(&attributes);
    mValid = (result == 0);
    return mValid;
}

bool CoreThreadMutex::Destroy() {
    if (!mValid) return true;
    if (pthread_mutex_destroy(&mMutex) != 0) return false;
    mValid = false;
    return true;
}

void CoreThreadMutex::ZeroContents() {
    mValid = false;
    std::memset(static_cast<void *>(&mMutex), 0, sizeof(mMutex));
}

bool CoreThreadMutex::Lock() { return mValid && pthread_mutex_lock(&mMutex) == 0; }

bool CoreThreadMutex::TryLock() { return mValid && pthread_mutex_trylock(&mMutex) == 0; }

bool CoreThreadMutex::Unlock() { return mValid && pthread_mutex_unlock(&mMutex) == 0; }

bool import_CoreThreadMutex() { return true; }
