// MachRunLoopThread: a thread that runs its own port run loop, kept alive by a repeating
// heartbeat timer, so that Mach messages are handled off the main thread.
//
// Two are shared by the whole process and never end: sharedServerRunLoopThread (service
// ports, and on a client the server port whose death it watches) and
// sharedLocalRunLoopThread (the ports on which a client receives). Each is made once, on
// the first call from any thread; the first caller waits (in 5 ms steps) until the thread's
// run loop exists.
#pragma once

#include <FrameSharing/Mach/FrameSharingClassNames.h>

#include <Mach/MachPortRunLoop.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

class MachRunLoopThread;

class MachRunLoopThreadDelegate {
public:
    virtual ~MachRunLoopThreadDelegate() = default;
    // Each heartbeat, on the thread.
    virtual void runLoopThreadHeartbeatTimer(MachRunLoopThread *thread, MachPortRunLoopTimer &timer) = 0;
};

class MachRunLoopThread {
public:
    // initWithDelegate (1.0 s) and initWithDelegate:threadHeartBeat:: the thread is running
    // its run loop when the constructor returns.
    explicit MachRunLoopThread(std::shared_ptr<MachRunLoopThreadDelegate> delegate, double threadHeartbeat = 1.0);
    MachRunLoopThread(const MachRunLoopThread &) = delete;
    MachRunLoopThread &operator=(const MachRunLoopThread &) = delete;
    // Stops the heartbeat, ends the run loop and waits for the thread (unless it is the
    // thread itself that lets the object go).
    ~MachRunLoopThread();

    static std::shared_ptr<MachRunLoopThread> runloopThreadWithDelegate(
        std::shared_ptr<MachRunLoopThreadDelegate> delegate, double threadHeartbeat = 1.0);
    static MachRunLoopThread *sharedServerRunLoopThread();
    static MachRunLoopThread *sharedLocalRunLoopThread();

    std::shared_ptr<MachRunLoopThreadDelegate> delegate() const;
    void setDelegate(std::shared_ptr<MachRunLoopThreadDelegate> delegate);
    // The thread's run loop: set by the thread once it runs.
    MachPortRunLoop *threadRunLoop() const { return mThreadRunLoop.load(); }
    std::shared_ptr<MachPortRunLoopTimer> threadHeartbeatTimer() const;
    double threadHeartbeat() const { return mThreadHeartbeat; }

    // Invalidates and clears the heartbeat timer and marks the thread cancelled. A run loop
    // left without timer or port then ends.
    void stopHeartbeatTimerAndCancelThread();
    bool isCancelled() const { return mCancelled.load(); }

    const std::string &name() const { return mName; }
    // Also the system's name of the thread (its first 15 characters).
    void setName(const std::string &name);

private:
    void startThreadBlockingUntilRunLoopRunning();
    void runThreadRunLoop();
    void threadHeartbeat(MachPortRunLoopTimer &timer);

    mutable std::mutex mMutex;
    std::shared_ptr<MachRunLoopThreadDelegate> mDelegate;
    std::atomic<MachPortRunLoop *> mThreadRunLoop{nullptr};
    std::shared_ptr<MachPortRunLoopTimer> mThreadHeartbeatTimer;
    const double mThreadHeartbeat;
    std::atomic<bool> mCancelled{false};
    std::string mName;
    std::thread mThread;
};

bool import_MachRunLoopThread();
