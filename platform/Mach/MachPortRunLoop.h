// The run loop of a thread that serves ports and timers (what a Mach run-loop thread runs;
// the main thread's run loop is the Qt event loop and is not this).
//
// Ports and timers may be added and removed from any thread; the loop notices at once.
// run() serves on the calling thread until stop(), or until the loop has neither a port
// nor a valid timer. A scheduled port's messages are received one by one and handed to its
// delegate; timers fire on the loop's thread (late fires are not made up).
#pragma once

#include <Mach/MachPortsInternal.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

class NSMachPort;

class MachPortRunLoopTimer {
public:
    using Action = std::function<void(MachPortRunLoopTimer &timer)>;
    MachPortRunLoopTimer(double interval, bool repeats, Action action);

    double timeInterval() const { return mInterval; }
    bool isValid() const { return mValid.load(); }
    // Never fires again.
    void invalidate() { mValid.store(false); }

private:
    friend class MachPortRunLoop;
    const double mInterval;
    const bool mRepeats;
    Action mAction;
    std::atomic<bool> mValid{true};
    std::chrono::steady_clock::time_point mDue;
};

class MachPortRunLoop {
public:
    // The calling thread's run loop, made on first use and kept until the thread ends.
    static MachPortRunLoop *currentRunLoop();

    MachPortRunLoop(const MachPortRunLoop &) = delete;
    MachPortRunLoop &operator=(const MachPortRunLoop &) = delete;
    ~MachPortRunLoop();

    // Whether this is the run loop of the process's main thread.
    bool isMainRunLoop() const { return mMain; }

    // A port is scheduled once however often it is added; removal is by the name.
    void addPort(const std::shared_ptr<NSMachPort> &port);
    void removePort(const std::shared_ptr<NSMachPort> &port);
    bool containsPort(const std::shared_ptr<NSMachPort> &port) const;
    // A new timer on this loop, first due after its interval.
    std::shared_ptr<MachPortRunLoopTimer> addTimer(double interval, bool repeats, MachPortRunLoopTimer::Action action);

    void run();
    void stop();

private:
    MachPortRunLoop();
    void Wake();
    void Serve(const std::shared_ptr<NSMachPort> &port);

    const bool mMain;
    MachPorts::DescriptorRef mWaker;
    mutable std::mutex mMutex;
    std::vector<std::shared_ptr<NSMachPort>> mPorts;
    std::vector<std::shared_ptr<MachPortRunLoopTimer>> mTimers;
    std::atomic<bool> mStopped{false};
};
