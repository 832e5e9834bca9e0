#include <CoreVideo/CVDisplayLink.h>

#include <CoreFoundation/CFRuntime.h>
#include <CoreVideo/CVHostTime.h>

#include <pthread.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <exception>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>

namespace {

constexpr int64_t kNanosecondsPerSecond = 1000000000;
// The refresh rate taken when the display's is not known, and the rates believed.
constexpr double kDefaultRefreshRate = 60.0;
constexpr double kLowestRefreshRate = 1.0;
constexpr double kHighestRefreshRate = 1000.0;

int64_t RefreshPeriodOf(CGDirectDisplayID display) {
    double rate = CGDisplayRefreshRate(display);
    if (!(rate >= kLowestRefreshRate && rate <= kHighestRefreshRate)) rate = kDefaultRefreshRate;
    return int64_t(double(kNanosecondsPerSecond) / rate + 0.5);
}

bool IsActiveDisplay(CGDirectDisplayID display) {
    uint32_t count = 0;
    return display != 0 && CGGetActiveDisplayList(0, nullptr, &count) == kCGErrorSuccess && display <= count;
}

// What the link and its thread share. The thread keeps it alive, so a link released from its
// own callback is destroyed while the thread still has the rest of its turn to finish.
struct LinkState {
    std::mutex mutex;
    std::condition_variable wake;  // start, stop, a new display
    CVDisplayLinkOutputCallback callback = nullptr;
    void *context = nullptr;
    CGDirectDisplayID display = 0;
    int64_t period = 0;  // nanoseconds
    bool running = false;
    // The thread of the current generation: a thread whose generation is not current any
    // more never calls back again and ends at its next look at the state.
    uint64_t generation = 0;
    bool threadAlive = false;  // the current thread has not decided to end
    bool inCallback = false;   // the current thread is in the callback
    std::thread thread;        // the last thread made, until someone joins it
};

std::chrono::steady_clock::time_point TimePointOf(uint64_t hostTime) {
    // The host clock and steady_clock are both CLOCK_MONOTONIC.
    return std::chrono::steady_clock::time_point(std::chrono::nanoseconds(hostTime));
}

CVTimeStamp TimeStampOf(uint64_t hostTime, uint64_t firstRefresh, int64_t period) {
    CVTimeStamp stamp{};
    stamp.version = 0;
    stamp.videoTimeScale = int32_t(kNanosecondsPerSecond);
    stamp.videoTime = int64_t(hostTime - firstRefresh);
    stamp.hostTime = hostTime;
    stamp.rateScalar = 1.0;
    stamp.videoRefreshPeriod = period;
    stamp.flags = kCVTimeStampVideoTimeValid | kCVTimeStampHostTimeValid | kCVTimeStampVideoRefreshPeriodValid |
                  kCVTimeStampRateScalarValid;
    return stamp;
}

void NameThread() { pthread_setname_np(pthread_self(), "CVDisplayLink"); }

// The link's thread: one callback per refresh until the link stops or a newer thread takes
// over. `link` is handed to the callback only; it may be gone once a callback has returned.
void RunLink(std::shared_ptr<LinkState> state, CVDisplayLinkRef link, uint64_t generation) {
    NameThread();
    std::unique_lock<std::mutex> lock(state->mutex);
    const auto current = [&] { return state->running && state->generation == generation; };
    const uint64_t firstRefresh = CVGetCurrentHostTime();
    uint64_t due = firstRefresh;
    for (;;) {
        while (current() && CVGetCurrentHostTime() < due) state->wake.wait_until(lock, TimePointOf(due));
        if (!current()) break;
        const int64_t period = state->period;
        const CVDisplayLinkOutputCallback callback = state->callback;
        void *const context = state->context;
        if (callback != nullptr) {
            const CVTimeStamp now = TimeStampOf(due, firstRefresh, period);
            const CVTimeStamp output = TimeStampOf(due + uint64_t(period), firstRefresh, period);
            state->inCallback = true;
            lock.unlock();
            CVOptionFlags flagsOut = 0;
            try {
                callback(link, &now, &output, 0, &flagsOut, context);
            } catch (const std::exception &error) {
                std::fprintf(stderr, "CVDisplayLink: the output callback threw (%s); the link goes on\n", error.what());
            } catch (...) {
                std::fprintf(stderr, "CVDisplayLink: the output callback threw; the link goes on\n");
            }
            lock.lock();
            if (state->generation == generation) state->inCallback = false;
        }
        // The next refresh is one period after this one; when the callback took that long or
        // longer (a swap that waited for the refresh), it is due now and the schedule starts
        // again from here.
        const uint64_t after = CVGetCurrentHostTime();
        due += uint64_t(period);
        if (due <= after) due = after;
    }
    if (state->generation == generation) {
        state->threadAlive = false;
        state->inCallback = false;
    }
}

}  // namespace

struct __CVDisplayLink final : cf::Object {
    __CVDisplayLink() : cf::Object(CVDisplayLinkGetTypeID()), state(std::make_shared<LinkState>()) {}
    // The last release: stops the link and waits for a callback in progress, unless it is
    // this thread's own (then the thread ends by itself when the callback returns).
    ~__CVDisplayLink() override {
        std::thread thread;
        {
            std::lock_guard<std::mutex> guard(state->mutex);
            state->running = false;
            ++state->generation;
            state->threadAlive = false;
            state->inCallback = false;
            thread = std::move(state->thread);
            state->wake.notify_all();
        }
        if (!thread.joinable()) return;
        if (thread.get_id() == std::this_thread::get_id()) {
            thread.detach();
        } else {
            thread.join();
        }
    }

    std::shared_ptr<LinkState> state;
};

namespace {

__CVDisplayLink *LinkOf(CVDisplayLinkRef link) { return cf::As<__CVDisplayLink>(link, CVDisplayLinkGetTypeID()); }

}  // namespace

CFTypeID CVDisplayLinkGetTypeID(void) {
    static const CFTypeID type = cf::RegisterType("CVDisplayLink");
    return type;
}

CVReturn CVDisplayLinkCreateWithActiveCGDisplays(CVDisplayLinkRef *displayLinkOut) {
    if (displayLinkOut == nullptr) return kCVReturnInvalidArgument;
    *displayLinkOut = nullptr;
    auto *link = new (std::nothrow) __CVDisplayLink();
    if (link == nullptr) return kCVReturnAllocationFailed;
    link->state->display = CGMainDisplayID();
    link->state->period = RefreshPeriodOf(link->state->display);
    *displayLinkOut = link;
    return kCVReturnSuccess;
}

CVDisplayLinkRef CVDisplayLinkRetain(CVDisplayLinkRef displayLink) {
    if (displayLink != nullptr) CFRetain(displayLink);
    return displayLink;
}

void CVDisplayLinkRelease(CVDisplayLinkRef displayLink) {
    if (displayLink != nullptr) CFRelease(displayLink);
}

CVReturn CVDisplayLinkSetOutputCallback(CVDisplayLinkRef displayLink, CVDisplayLinkOutputCallback callback,
                                        void *userInfo) {
    __CVDisplayLink *link = LinkOf(displayLink);
    if (link == nullptr) return kCVReturnInvalidArgument;
    std::lock_guard<std::mutex> guard(link->state->mutex);
    link->state->callback = callback;
    link->state->context = callback != nullptr ? userInfo : nullptr;
    return kCVReturnSuccess;
}

CVReturn CVDisplayLinkStart(CVDisplayLinkRef displayLink) {
    __CVDisplayLink *link = LinkOf(displayLink);
    if (link == nullptr) return kCVReturnInvalidArgument;
    LinkState &state = *link->state;
    std::thread ended;
    uint64_t generation = 0;
    {
        std::lock_guard<std::mutex> guard(state.mutex);
        if (state.callback == nullptr) return kCVReturnDisplayLinkCallbacksNotSet;
        if (state.running) return kCVReturnDisplayLinkAlreadyRunning;
        state.running = true;
        if (state.threadAlive) {
            // Stopped during a callback that has not returned yet: that thread carries on.
            state.wake.notify_all();
            return kCVReturnSuccess;
        }
        ended = std::move(state.thread);  // a thread that has left its loop, if any
        generation = ++state.generation;
        state.threadAlive = true;
        state.inCallback = false;
    }
    if (ended.joinable()) ended.join();
    try {
        std::thread thread(RunLink, link->state, displayLink, generation);
        std::lock_guard<std::mutex> guard(state.mutex);
        state.thread = std::move(thread);
    } catch (const std::system_error &) {
        std::lock_guard<std::mutex> guard(state.mutex);
        if (state.generation == generation) {
            state.running = false;
            state.threadAlive = false;
        }
        return kCVReturnAllocationFailed;
    }
    return kCVReturnSuccess;
}

CVReturn CVDisplayLinkStop(CVDisplayLinkRef displayLink) {
    __CVDisplayLink *link = LinkOf(displayLink);
    if (link == nullptr) return kCVReturnInvalidArgument;
    LinkState &state = *link->state;
    std::thread idle;
    {
        std::lock_guard<std::mutex> guard(state.mutex);
        if (!state.running) return kCVReturnDisplayLinkNotRunning;
        state.running = false;
        state.wake.notify_all();
        // In a callback (this thread's own, or another that may be waiting for a lock the
        // caller holds): no waiting; the thread ends when the callback returns.
        if (state.inCallback) return kCVReturnSuccess;
        // Waiting for the next refresh: this thread will never call back again, even if the
        // link is started before it has woken; join it.
        ++state.generation;
        state.threadAlive = false;
        idle = std::move(state.thread);
    }
    if (idle.joinable()) {
        if (idle.get_id() == std::this_thread::get_id()) {
            idle.detach();  // not reached: the link's own thread only stops from its callback
        } else {
            idle.join();
        }
    }
    return kCVReturnSuccess;
}

Boolean CVDisplayLinkIsRunning(CVDisplayLinkRef displayLink) {
    __CVDisplayLink *link = LinkOf(displayLink);
    if (link == nullptr) return false;
    std::lock_guard<std::mutex> guard(link->state->mutex);
    return link->state->running;
}

CVReturn CVDisplayLinkSetCurrentCGDisplay(CVDisplayLinkRef displayLink, CGDirectDisplayID displayID) {
    __CVDisplayLink *link = LinkOf(displayLink);
    if (link == nullptr) return kCVReturnInvalidArgument;
    if (!IsActiveDisplay(displayID)) return kCVReturnInvalidDisplay;
    const int64_t period = RefreshPeriodOf(displayID);  // asks the X server: outside the lock
    std::lock_guard<std::mutex> guard(link->state->mutex);
    link->state->display = displayID;
    link->state->period = period;
    return kCVReturnSuccess;
}

CGDirectDisplayID CVDisplayLinkGetCurrentCGDisplay(CVDisplayLinkRef displayLink) {
    __CVDisplayLink *link = LinkOf(displayLink);
    if (link == nullptr) return 0;
    std::lock_guard<std::mutex> guard(link->state->mutex);
    return link->state->display;
}

CVReturn CVDisplayLinkSetCurrentCGDisplayFromOpenGLContext(CVDisplayLinkRef displayLink, CGLContextObj cglContext,
                                                           CGLPixelFormatObj cglPixelFormat) {
    if (LinkOf(displayLink) == nullptr || cglContext == nullptr || cglPixelFormat == nullptr)
        return kCVReturnInvalidArgument;
    return CVDisplayLinkSetCurrentCGDisplay(displayLink, CGMainDisplayID());
}

CVTime CVDisplayLinkGetNominalOutputVideoRefreshPeriod(CVDisplayLinkRef displayLink) {
    __CVDisplayLink *link = LinkOf(displayLink);
    if (link == nullptr) return CVTime{0, 0, kCVTimeIsIndefinite};
    std::lock_guard<std::mutex> guard(link->state->mutex);
    return CVTime{link->state->period, int32_t(kNanosecondsPerSecond), 0};
}
