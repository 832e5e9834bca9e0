#include <CoreX/CoreMachElapsedTime.h>

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

namespace {

TEST(CoreMachElapsedTime, MeasuresNanosecondsSinceStart) {
    CoreMachElapsedTime timer;
    timer.Start();
    EXPECT_LT(timer.Elapsed_nsec(), 1000000000u);

    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    const uint64_t elapsed = timer.Elapsed_nsec();
    EXPECT_GE(elapsed, 20000000u);
    EXPECT_LT(elapsed, 20000000000u);

    timer.Start();
    EXPECT_LT(timer.Elapsed_nsec(), elapsed);
}

TEST(CoreMachElapsedTime, TheClockMovesForward) {
    const uint64_t first = CoreMachElapsedTime::GetNanoseconds();
    const uint64_t second = CoreMachElapsedTime::GetNanoseconds();
    EXPECT_GT(first, 0u);
    EXPECT_GE(second, first);
}

}  // namespace
