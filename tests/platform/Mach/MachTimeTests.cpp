#include <gtest/gtest.h>

#include <Mach/mach_time.h>

#include <chrono>
#include <thread>

TEST(MachTime, TimebaseIsNanoseconds) {
    mach_timebase_info_data_t info{0, 0};
    EXPECT_EQ(mach_timebase_info(&info), KERN_SUCCESS);
    EXPECT_EQ(info.numer, 1u);
    EXPECT_EQ(info.denom, 1u);
    EXPECT_EQ(mach_timebase_info(nullptr), KERN_INVALID_ARGUMENT);
}

TEST(MachTime, AbsoluteTimeIsMonotonic) {
    uint64_t previous = mach_absolute_time();
    for (int i = 0; i < 100000; ++i) {
        const uint64_t now = mach_absolute_time();
        ASSERT_GE(now, previous);
        previous = now;
    }
}

TEST(MachTime, AbsoluteTimeCountsNanoseconds) {
    const auto wallStart = std::chrono::steady_clock::now();
    const uint64_t start = mach_absolute_time();
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    const uint64_t elapsed = mach_absolute_time() - start;
    const auto wallElapsed =
        std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now() - wallStart).count();
    EXPECT_GE(elapsed, 50'000'000u);
    // Both read the same monotonic clock; the absolute clock's span lies within the wall span.
    EXPECT_LE(elapsed, uint64_t(wallElapsed));
}
