#include <CoreX/CoreThreadMutex.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <thread>

namespace {

int TryLockFromAnotherThread(CoreThreadMutex &mutex) {
    int result = -1;
    std::thread([&] {
        result = pthread_mutex_trylock(&mutex.mMutex);
        if (result == 0) pthread_mutex_unlock(&mutex.mMutex);
    }).join();
    return result;
}

TEST(CoreThreadMutex, IsRecursiveAndExcludesOtherThreads) {
    CoreThreadMutex mutex;
    EXPECT_FALSE(mutex.mValid);
    ASSERT_TRUE(mutex.Create());
    EXPECT_TRUE(mutex.mValid);

    ASSERT_EQ(pthread_mutex_lock(&mutex.mMutex), 0);
    ASSERT_EQ(pthread_mutex_lock(&mutex.mMutex), 0);  // the same thread again
    EXPECT_EQ(TryLockFromAnotherThread(mutex), EBUSY);
    ASSERT_EQ(pthread_mutex_unlock(&mutex.mMutex), 0);
    EXPECT_EQ(TryLockFromAnotherThread(mutex), EBUSY);
    ASSERT_EQ(pthread_mutex_unlock(&mutex.mMutex), 0);
    EXPECT_EQ(TryLockFromAnotherThread(mutex), 0);

    EXPECT_TRUE(mutex.Destroy());
    EXPECT_FALSE(mutex.mValid);
    EXPECT_TRUE(mutex.Destroy());  // nothing left to destroy
}

TEST(CoreThreadMutex, CreateTwiceKeepsTheMutex) {
    CoreThreadMutex mutex;
    ASSERT_TRUE(mutex.Create());
    ASSERT_EQ(pthread_mutex_lock(&mutex.mMutex), 0);
    EXPECT_TRUE(mutex.Create());
    EXPECT_EQ(TryLockFromAnotherThread(mutex), EBUSY);
    ASSERT_EQ(pthread_mutex_unlock(&mutex.mMutex), 0);
}

}  // namespace

namespace {

bool TryLockOnAnotherThread(CoreThreadMutex &mutex) {
    bool locked = false;
    std::thread([&] {
        locked = mutex.TryLock();
        if (locked) mutex.Unlock();
    }).join();
    return locked;
}

TEST(CoreThreadMutex, OperationsHoldAndReleaseTheMutex) {
    CoreThreadMutex mutex;
    ASSERT_TRUE(mutex.Create());
    EXPECT_TRUE(mutex.Lock());
    EXPECT_TRUE(mutex.TryLock());  // recursive: the same thread again
    EXPECT_FALSE(TryLockOnAnotherThread(mutex));
    EXPECT_TRUE(mutex.Unlock());
    EXPECT_FALSE(TryLockOnAnotherThread(mutex));
    EXPECT_TRUE(mutex.Unlock());
    EXPECT_TRUE(TryLockOnAnotherThread(mutex));
    EXPECT_FALSE(mutex.Unlock());  // not held: the error is answered, nothing else happens
}

TEST(CoreThreadMutex, OperationsDoNothingWithoutAMutex) {
    CoreThreadMutex never;
    EXPECT_FALSE(never.Lock());
    EXPECT_FALSE(never.TryLock());
    EXPECT_FALSE(never.Unlock());

    CoreThreadMutex destroyed;
    ASSERT_TRUE(destroyed.Create());
    ASSERT_TRUE(destroyed.Destroy());
    EXPECT_FALSE(destroyed.Lock());
    EXPECT_FALSE(destroyed.TryLock());
    EXPECT_FALSE(destroyed.Unlock());
}

}  // namespace
