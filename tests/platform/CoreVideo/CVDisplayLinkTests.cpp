// Display links: the period they keep (without spinning), their time stamps, starting and
// stopping from every thread that may do it (the callback's own, another one while a callback
// waits for a lock the stopper holds), restarting, and releasing a running link.
#include <CoreVideo/CoreVideo.h>

#include <gtest/gtest.h>

#include <pthread.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <ctime>
#include <functional>
#include <future>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;

double Seconds(uint64_t hostTime) { return double(hostTime) / CVGetHostClockFrequency(); }

// CPU time the calling thread has used, in seconds.
double ThreadCPUSeconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) / 1e9;
}

pid_t ThreadID() { return pid_t(::syscall(SYS_gettid)); }

bool ThreadExists(pid_t tid) {
    struct stat info{};
    return ::stat(("/proc/self/task/" + std::to_string(tid)).c_str(), &info) == 0;
}

// Waits up to `limit` for a condition.
bool WaitFor(const std::function<bool()> &condition, std::chrono::milliseconds limit = 3000ms) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(1ms);
    }
    return true;
}

// What the callback saw, and what it does on each refresh.
struct Recorder {
    std::atomic<int> calls{0};
    std::atomic<int> inside{0};      // callbacks running now
    std::atomic<int> mostInside{0};  // most callbacks ever running at once
    std::atomic<pid_t> tid{0};
    std::mutex mutex;
    std::vector<CVTimeStamp> now;
    std::vector<CVTimeStamp> output;
    std::vector<uint64_t> entered;  // host time at entry
    double firstCPU = 0;
    double lastCPU = 0;
    std::function<void(CVDisplayLinkRef)> work;

    static CVReturn Callback(CVDisplayLinkRef link, const CVTimeStamp *inNow, const CVTimeStamp *inOutput,
                             CVOptionFlags flagsIn, CVOptionFlags *flagsOut, void *context) {
        auto *self = static_cast<Recorder *>(context);
        const int running = ++self->inside;
        int most = self->mostInside.load();
        while (running > most && !self->mostInside.compare_exchange_weak(most, running)) {
        }
        EXPECT_EQ(flagsIn, 0u);
        EXPECT_NE(flagsOut, nullptr);
        self->tid = ThreadID();
        {
            std::lock_guard<std::mutex> guard(self->mutex);
            const double cpu = ThreadCPUSeconds();
            if (self->entered.empty()) self->firstCPU = cpu;
            self->lastCPU = cpu;
            self->now.push_back(*inNow);
            self->output.push_back(*inOutput);
            self->entered.push_back(CVGetCurrentHostTime());
        }
        ++self->calls;
        struct Leave {
            Recorder *self;
            ~Leave() { --self->inside; }
        } leave{self};
        if (self->work) self->work(link);
        return kCVReturnSuccess;
    }
};

// A link with the recorder's callback.
CVDisplayLinkRef MakeLink(Recorder &recorder) {
    CVDisplayLinkRef link = nullptr;
    EXPECT_EQ(CVDisplayLinkCreateWithActiveCGDisplays(&link), kCVReturnSuccess);
    if (link != nullptr) {
        EXPECT_EQ(CVDisplayLinkSetOutputCallback(link, Recorder::Callback, &recorder), kCVReturnSuccess);
    }
    return link;
}

double PeriodSeconds(CVDisplayLinkRef link) {
    const CVTime period = CVDisplayLinkGetNominalOutputVideoRefreshPeriod(link);
    return double(period.timeValue) / double(period.timeScale);
}

}  // namespace

TEST(CVDisplayLink, AnswersForMissingCallbacksStatesAndDisplays) {
    CVDisplayLinkRef link = nullptr;
    EXPECT_EQ(CVDisplayLinkCreateWithActiveCGDisplays(nullptr), kCVReturnInvalidArgument);
    ASSERT_EQ(CVDisplayLinkCreateWithActiveCGDisplays(&link), kCVReturnSuccess);
    EXPECT_EQ(CFGetTypeID(link), CVDisplayLinkGetTypeID());
    EXPECT_FALSE(CVDisplayLinkIsRunning(link));
    EXPECT_EQ(CVDisplayLinkGetCurrentCGDisplay(link), CGMainDisplayID());
    EXPECT_EQ(CVDisplayLinkStart(link), kCVReturnDisplayLinkCallbacksNotSet);
    EXPECT_EQ(CVDisplayLinkStop(link), kCVReturnDisplayLinkNotRunning);

    uint32_t count = 0;
    ASSERT_EQ(CGGetActiveDisplayList(0, nullptr, &count), kCGErrorSuccess);
    ASSERT_GE(count, 1u);
    EXPECT_EQ(CVDisplayLinkSetCurrentCGDisplay(link, 0), kCVReturnInvalidDisplay);
    EXPECT_EQ(CVDisplayLinkSetCurrentCGDisplay(link, count + 1), kCVReturnInvalidDisplay);
    EXPECT_EQ(CVDisplayLinkGetCurrentCGDisplay(link), CGMainDisplayID());
    EXPECT_EQ(CVDisplayLinkSetCurrentCGDisplay(link, count), kCVReturnSuccess);
    EXPECT_EQ(CVDisplayLinkGetCurrentCGDisplay(link), count);
    EXPECT_EQ(CVDisplayLinkSetCurrentCGDisplayFromOpenGLContext(link, nullptr, nullptr), kCVReturnInvalidArgument);

    // The period is the display's refresh, 60 Hz when the rate is not known.
    const double rate = CGDisplayRefreshRate(CVDisplayLinkGetCurrentCGDisplay(link));
    const double expected = rate > 0 ? 1.0 / rate : 1.0 / 60.0;
    EXPECT_NEAR(PeriodSeconds(link), expected, 1e-6);

    EXPECT_FALSE(CVDisplayLinkIsRunning(nullptr));
    EXPECT_EQ(CVDisplayLinkGetCurrentCGDisplay(nullptr), 0u);
    EXPECT_EQ(CVDisplayLinkStart(nullptr), kCVReturnInvalidArgument);
    EXPECT_EQ(CVDisplayLinkGetNominalOutputVideoRefreshPeriod(nullptr).flags, kCVTimeIsIndefinite);
    CVDisplayLinkRelease(link);
}

TEST(CVDisplayLink, HostTimeIsTheMachClockInNanoseconds) {
    EXPECT_EQ(CVGetHostClockFrequency(), 1e9);
    const uint64_t before = CVGetCurrentHostTime();
    const auto steady = std::chrono::steady_clock::now().time_since_epoch();
    const uint64_t after = CVGetCurrentHostTime();
    EXPECT_LE(before, uint64_t(std::chrono::nanoseconds(steady).count()));
    EXPECT_GE(after, uint64_t(std::chrono::nanoseconds(steady).count()));
}

// About one second at the display's rate: the refresh count, the spacing of the refreshes,
// the time stamps, and the CPU the link's thread used.
TEST(CVDisplayLink, KeepsTheDisplaysPeriodWithoutSpinning) {
    Recorder recorder;
    CVDisplayLinkRef link = MakeLink(recorder);
    ASSERT_NE(link, nullptr);
    const double period = PeriodSeconds(link);
    ASSERT_EQ(CVDisplayLinkStart(link), kCVReturnSuccess);
    EXPECT_TRUE(CVDisplayLinkIsRunning(link));
    EXPECT_EQ(CVDisplayLinkStart(link), kCVReturnDisplayLinkAlreadyRunning);
    std::this_thread::sleep_for(1s);
    ASSERT_EQ(CVDisplayLinkStop(link), kCVReturnSuccess);
    EXPECT_FALSE(CVDisplayLinkIsRunning(link));

    std::lock_guard<std::mutex> guard(recorder.mutex);
    const size_t count = recorder.entered.size();
    ASSERT_GE(count, 10u);
    const double span = Seconds(recorder.entered.back() - recorder.entered.front());
    const double rate = double(count - 1) / span;
    EXPECT_NEAR(rate, 1.0 / period, 0.1 / period) << count << " refreshes in " << span << " s";
    EXPECT_LE(double(count), 1.0 / period * 1.1 + 2);
    // Never two refreshes in a row without the period between them (no burst, no spin).
    for (size_t index = 1; index < count; ++index) {
        EXPECT_GT(Seconds(recorder.now[index].hostTime - recorder.now[index - 1].hostTime), period * 0.99);
    }
    // A thread that slept between refreshes used a small part of one core.
    EXPECT_LT(recorder.lastCPU - recorder.firstCPU, 0.1 * span) << "CPU seconds of the link's thread";

    for (size_t index = 0; index < count; ++index) {
        const CVTimeStamp &now = recorder.now[index];
        const CVTimeStamp &output = recorder.output[index];
        EXPECT_EQ(now.version, 0u);
        EXPECT_EQ(now.flags, kCVTimeStampVideoTimeValid | kCVTimeStampHostTimeValid |
                                 kCVTimeStampVideoRefreshPeriodValid | kCVTimeStampRateScalarValid);
        EXPECT_EQ(output.flags, now.flags);
        EXPECT_EQ(now.videoTimeScale, 1000000000);
        EXPECT_EQ(now.rateScalar, 1.0);
        EXPECT_NEAR(double(now.videoRefreshPeriod) / now.videoTimeScale, period, 1e-6);
        EXPECT_EQ(output.hostTime - now.hostTime, uint64_t(now.videoRefreshPeriod));
        EXPECT_EQ(output.videoTime - now.videoTime, now.videoRefreshPeriod);
        EXPECT_LE(now.hostTime, recorder.entered[index]);
        if (index > 0) {
            EXPECT_GT(now.videoTime, recorder.now[index - 1].videoTime);
        }
    }
    EXPECT_EQ(recorder.now.front().videoTime, 0);
    CVDisplayLinkRelease(link);
}

// A callback that takes longer than the period (as one whose buffer swap waits for the
// refresh does) is followed at once by the next: the link does not wait a second time.
TEST(CVDisplayLink, ACallbackThatTookThePeriodIsNotWaitedForAgain) {
    Recorder recorder;
    CVDisplayLinkRef link = MakeLink(recorder);
    ASSERT_NE(link, nullptr);
    const double period = PeriodSeconds(link);
    const auto busy = std::chrono::duration<double>(period * 1.25);
    recorder.work = [busy](CVDisplayLinkRef) { std::this_thread::sleep_for(busy); };
    ASSERT_EQ(CVDisplayLinkStart(link), kCVReturnSuccess);
    std::this_thread::sleep_for(600ms);
    ASSERT_EQ(CVDisplayLinkStop(link), kCVReturnSuccess);
    ASSERT_TRUE(WaitFor([&] { return recorder.inside == 0; }));

    std::lock_guard<std::mutex> guard(recorder.mutex);
    const size_t count = recorder.entered.size();
    ASSERT_GE(count, 5u);
    const double mean = Seconds(recorder.entered.back() - recorder.entered.front()) / double(count - 1);
    // Waiting again would space them by two periods.
    EXPECT_LT(mean, busy.count() + period * 0.4);
    EXPECT_GE(mean, busy.count());
    CVDisplayLinkRelease(link);
}

TEST(CVDisplayLink, StopJoinsTheThreadAndStartMakesANewOne) {
    Recorder recorder;
    CVDisplayLinkRef link = MakeLink(recorder);
    ASSERT_NE(link, nullptr);
    for (int round = 0; round < 3; ++round) {
        const int before = recorder.calls;
        ASSERT_EQ(CVDisplayLinkStart(link), kCVReturnSuccess);
        ASSERT_TRUE(WaitFor([&] { return recorder.calls >= before + 3; }));
        const pid_t tid = recorder.tid;
        EXPECT_TRUE(ThreadExists(tid));
        ASSERT_EQ(CVDisplayLinkStop(link), kCVReturnSuccess);
        const int stopped = recorder.calls;
        EXPECT_EQ(recorder.inside, 0) << "a callback ran after Stop answered";
        EXPECT_FALSE(ThreadExists(tid)) << "Stop did not join the link's thread";
        std::this_thread::sleep_for(100ms);
        EXPECT_EQ(recorder.calls, stopped) << "a refresh after Stop";
        EXPECT_EQ(CVDisplayLinkStop(link), kCVReturnDisplayLinkNotRunning);
    }
    EXPECT_EQ(recorder.mostInside, 1);
    CVDisplayLinkRelease(link);
}

// Stopping from the callback answers at once; the thread ends after the callback, and the link
// starts again. Releasing the last reference from the callback lets the thread end by itself.
TEST(CVDisplayLink, StopAndReleaseFromInsideTheCallback) {
    Recorder recorder;
    CVDisplayLinkRef link = MakeLink(recorder);
    ASSERT_NE(link, nullptr);
    std::atomic<CVReturn> stopResult{1};
    std::atomic<bool> runningAfterStop{true};
    recorder.work = [&](CVDisplayLinkRef self) {
        if (recorder.calls == 3) {
            stopResult = CVDisplayLinkStop(self);
            runningAfterStop = CVDisplayLinkIsRunning(self);
        }
    };
    ASSERT_EQ(CVDisplayLinkStart(link), kCVReturnSuccess);
    ASSERT_TRUE(WaitFor([&] { return stopResult != 1; }));
    EXPECT_EQ(stopResult, kCVReturnSuccess);
    EXPECT_FALSE(runningAfterStop);
    const pid_t tid = recorder.tid;
    ASSERT_TRUE(WaitFor([&] { return !ThreadExists(tid); })) << "the thread did not end after its callback";
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(recorder.calls, 3);
    EXPECT_FALSE(CVDisplayLinkIsRunning(link));

    // Restart, then the last reference goes inside a callback.
    std::atomic<bool> released{false};
    recorder.work = [&](CVDisplayLinkRef self) {
        if (!released.exchange(true)) CVDisplayLinkRelease(self);
    };
    ASSERT_EQ(CVDisplayLinkStart(link), kCVReturnSuccess);
    ASSERT_TRUE(WaitFor([&] { return released.load(); }));
    const pid_t second = recorder.tid;
    ASSERT_TRUE(WaitFor([&] { return !ThreadExists(second); }));
    EXPECT_EQ(recorder.calls, 4);
}

// Stop from another thread while a callback runs answers without waiting for that callback,
// which finishes later; no refresh follows it.
TEST(CVDisplayLink, StopDoesNotWaitForACallbackInProgress) {
    Recorder recorder;
    CVDisplayLinkRef link = MakeLink(recorder);
    ASSERT_NE(link, nullptr);
    std::mutex drawable;
    std::atomic<bool> waiting{false};
    recorder.work = [&](CVDisplayLinkRef) {
        waiting = true;
        std::lock_guard<std::mutex> guard(drawable);
    };
    std::unique_lock<std::mutex> held(drawable);
    ASSERT_EQ(CVDisplayLinkStart(link), kCVReturnSuccess);
    ASSERT_TRUE(WaitFor([&] { return waiting.load(); }));
    std::this_thread::sleep_for(10ms);  // the callback is now blocked on the lock

    auto stopped = std::async(std::launch::async, [&] { return CVDisplayLinkStop(link); });
    const bool answered = stopped.wait_for(2s) == std::future_status::ready;
    EXPECT_TRUE(answered) << "Stop waited for the callback in progress";
    held.unlock();
    EXPECT_EQ(stopped.get(), kCVReturnSuccess);
    ASSERT_TRUE(WaitFor([&] { return recorder.inside == 0; }));
    const int calls = recorder.calls;
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(recorder.calls, calls);
    CVDisplayLinkRelease(link);
}

// The same, with the lock held by the very thread that stops (the way a main thread would
// stop the link while holding a drawable's lock).
TEST(CVDisplayLink, StopWhileHoldingTheLockTheCallbackWants) {
    Recorder recorder;
    CVDisplayLinkRef link = MakeLink(recorder);
    ASSERT_NE(link, nullptr);
    std::mutex drawable;
    std::atomic<bool> waiting{false};
    recorder.work = [&](CVDisplayLinkRef) {
        waiting = true;
        std::lock_guard<std::mutex> guard(drawable);
    };
    std::promise<CVReturn> result;
    std::thread stopper([&] {
        std::lock_guard<std::mutex> guard(drawable);
        ASSERT_EQ(CVDisplayLinkStart(link), kCVReturnSuccess);
        while (!waiting) std::this_thread::sleep_for(1ms);
        std::this_thread::sleep_for(10ms);
        result.set_value(CVDisplayLinkStop(link));
    });
    auto answer = result.get_future();
    const bool answered = answer.wait_for(3s) == std::future_status::ready;
    EXPECT_TRUE(answered) << "Stop deadlocked against its own lock";
    if (!answered) std::abort();  // the stopper can never let go: end here rather than hang
    EXPECT_EQ(answer.get(), kCVReturnSuccess);
    stopper.join();
    ASSERT_TRUE(WaitFor([&] { return recorder.inside == 0; }));
    // Started again before the blocked callback returned, the same thread carries on: still
    // one callback at a time.
    waiting = false;
    recorder.work = nullptr;
    ASSERT_EQ(CVDisplayLinkStart(link), kCVReturnSuccess);
    const int calls = recorder.calls;
    ASSERT_TRUE(WaitFor([&] { return recorder.calls >= calls + 3; }));
    ASSERT_EQ(CVDisplayLinkStop(link), kCVReturnSuccess);
    EXPECT_EQ(recorder.mostInside, 1);
    CVDisplayLinkRelease(link);
}

// Stopped while a callback runs and started again before it returns: the one thread carries on.
TEST(CVDisplayLink, RestartDuringACallbackKeepsOneThread) {
    Recorder recorder;
    CVDisplayLinkRef link = MakeLink(recorder);
    ASSERT_NE(link, nullptr);
    std::mutex gate;
    std::unique_lock<std::mutex> closed(gate);
    std::atomic<bool> waiting{false};
    recorder.work = [&](CVDisplayLinkRef) {
        if (recorder.calls == 1) {
            waiting = true;
            std::lock_guard<std::mutex> guard(gate);
        }
    };
    ASSERT_EQ(CVDisplayLinkStart(link), kCVReturnSuccess);
    ASSERT_TRUE(WaitFor([&] { return waiting.load(); }));
    const pid_t tid = recorder.tid;
    ASSERT_EQ(CVDisplayLinkStop(link), kCVReturnSuccess);
    EXPECT_FALSE(CVDisplayLinkIsRunning(link));
    ASSERT_EQ(CVDisplayLinkStart(link), kCVReturnSuccess);
    closed.unlock();
    ASSERT_TRUE(WaitFor([&] { return recorder.calls >= 4; }));
    EXPECT_EQ(recorder.tid, tid);
    EXPECT_EQ(recorder.mostInside, 1);
    ASSERT_EQ(CVDisplayLinkStop(link), kCVReturnSuccess);
    EXPECT_FALSE(ThreadExists(tid));
    CVDisplayLinkRelease(link);
}

// Releasing a running link stops it and waits for its thread; its context can go after that.
TEST(CVDisplayLink, ReleasingARunningLinkEndsItsThread) {
    auto recorder = std::make_unique<Recorder>();
    recorder->work = [](CVDisplayLinkRef) { std::this_thread::sleep_for(2ms); };
    CVDisplayLinkRef link = MakeLink(*recorder);
    ASSERT_NE(link, nullptr);
    ASSERT_EQ(CVDisplayLinkStart(link), kCVReturnSuccess);
    ASSERT_TRUE(WaitFor([&] { return recorder->calls >= 2; }));
    const pid_t tid = recorder->tid;
    CVDisplayLinkRelease(link);
    EXPECT_EQ(recorder->inside, 0);
    EXPECT_FALSE(ThreadExists(tid));
    recorder.reset();  // a late callback would touch freed memory (AddressSanitizer)
    std::this_thread::sleep_for(50ms);
}

// A callback that throws does not end the link.
TEST(CVDisplayLink, ACallbackThatThrowsDoesNotEndTheLink) {
    Recorder recorder;
    recorder.work = [&](CVDisplayLinkRef) {
        if (recorder.calls <= 2) throw std::runtime_error("drawing failed");
    };
    CVDisplayLinkRef link = MakeLink(recorder);
    ASSERT_NE(link, nullptr);
    ASSERT_EQ(CVDisplayLinkStart(link), kCVReturnSuccess);
    ASSERT_TRUE(WaitFor([&] { return recorder.calls >= 5; }));
    EXPECT_TRUE(CVDisplayLinkIsRunning(link));
    CVDisplayLinkRelease(link);
}
