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
