#include <CoreX/CoreException.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace {

TEST(CoreException, FormatsItsMessage) {
    EXPECT_STREQ(CoreException("Nil exception pointer").what(), "Nil exception pointer");
    EXPECT_STREQ(CoreException("OSErr: %d", -43).what(), "OSErr: -43");
    EXPECT_STREQ(CoreException(nullptr).what(), "");
}

TEST(CoreException, ThrownByValueKeepsItsMessage) {
    try {
        throw CoreException("OSErr: %d", -120);
    } catch (const CoreException &exception) {
        EXPECT_STREQ(exception.what(), "OSErr: -120");
    }
}

TEST(CoreException, ALongMessageIsCutAt2047Characters) {
    const std::string longText(5000, 'x');
    const CoreException exception("%s!", longText.c_str());
    EXPECT_EQ(std::strlen(exception.what()), 2047u);
    EXPECT_EQ(std::string(exception.what()), std::string(2047, 'x'));
}

TEST(CoreException, EachExceptionKeepsItsOwnMessage) {
    const CoreException first("first %d", 1);
    const CoreException second("second %d", 2);
    EXPECT_STREQ(first.what(), "first 1");
    EXPECT_STREQ(second.what(), "second 2");

    std::vector<std::thread> threads;
    int mismatches[4] = {};
    for (int index = 0; index < 4; ++index) {
        threads.emplace_back([index, &mismatches] {
            const std::string expected = "thread " + std::to_string(index);
            for (int round = 0; round < 2000; ++round) {
                try {
                    throw CoreException("thread %d", index);
                } catch (const CoreException &exception) {
                    if (expected != exception.what()) ++mismatches[index];
                }
            }
        });
    }
    for (std::thread &thread : threads) thread.join();
    for (int index = 0; index < 4; ++index) EXPECT_EQ(mismatches[index], 0) << index;
}

}  // namespace
