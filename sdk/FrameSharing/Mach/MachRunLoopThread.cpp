#include <FrameSharing/Mach/MachRunLoopThread.h>

#include <pthread.h>
#include <unistd.h>

MachRunLoopThread::MachRunLoopThread(std::shared_ptr<MachRunLoopThreadDelegate> delegate, double threadHeartbeat)
    : mDelegate(std::move(delegate)), mThreadHeartbeat(threadHeartbeat) {
    startThreadBlockingUntilRunLoopRunning();
}

MachRunLoopThread::~MachRunLoopThread() {
    stopHeartbeatTimerAndCancelThread();
    {
        std::lock_guard<std::mutex> lock(mMutex);
        if (MachPortRunLoop *loop = mThreadRunLoop.load()) loop->stop();
    }
    if (mThread.joinable()) {
        if (mThread.get_id() == std::this_thread::get_id())
            mThread.detach();
        else
            mThread.join();
    }
    std::lock_guard<std::mutex> lock(mMutex);
    mDelegate.reset();
    mThreadRunLoop.store(nullptr);
}

std::shared_ptr<MachRunLoopThread> MachRunLoopThread::runloopThreadWithDelegate(
    std::shared_ptr<MachRunLoopThreadDelegate> delegate, double threadHeartbeat) {
    return std::make_shared<MachRunLoopThread>(std::move(delegate), threadHeartbeat);
}

MachRunLoopThread *MachRunLoopThread::sharedServerRunLoopThread() {
    // Never destroyed: the thread serves until the process ends.
    static MachRunLoopThread *thread = [] {
        auto *made = new MachRunLoopThread(nullptr, 1.0);
        made->setName("sharedServerRunLoopThread");
        return made;
    }();
    return thread;
}

MachRunLoopThread *MachRunLoopThread::sharedLocalRunLoopThread() {
    static MachRunLoopThread *thread = [] {
        auto *made = new MachRunLoopThread(nullptr, 1.0);
        made->setName("sharedLocalRunLoopThread");
        return made;
    }();
    return thread;
}

std::shared_ptr<MachRunLoopThreadDelegate> MachRunLoopThread::delegate() const {
    std::lock_guard<std::mutex> lock(mMutex);
    return mDelegate;
}

void MachRunLoopThread::setDelegate(std::shared_ptr<MachRunLoopThreadDelegate> delegate) {
    std::lock_guard<std::mutex> lock(mMutex);
    mDelegate = std::move(delegate);
}

std::shared_ptr<MachPortRunLoopTimer> MachRunLoopThread::threadHeartbeatTimer() const {
    std::lock_guard<std::mutex> lock(mMutex);
    return mThreadHeartbeatTimer;
}

void MachRunLoopThread::setName(const std::string &name) {
    mName = name;
    if (mThread.joinable()) pthread_setname_np(mThread.native_handle(), name.substr(0, 15).c_str());
}

void MachRunLoopThread::startThreadBlockingUntilRunLoopRunning() {
    mThread = std::thread([this] { runThreadRunLoop(); });
    while (mThreadRunLoop.load() == nullptr) ::usleep(5000);
}

void MachRunLoopThread::runThreadRunLoop() {
    MachPortRunLoop *loop = MachPortRunLoop::currentRunLoop();
    if (loop == nullptr || loop->isMainRunLoop()) return;
    auto timer = loop->addTimer(mThreadHeartbeat, true, [this](MachPortRunLoopTimer &fired) { threadHeartbeat(fired); });
    {
        std::lock_guard<std::mutex> lock(mMutex);
        mThreadHeartbeatTimer = timer;
    }
    mThreadRunLoop.store(loop);
    loop->run();
    // The loop goes with the thread.
    std::lock_guard<std::mutex> lock(mMutex);
    mThreadRunLoop.store(nullptr);
}

void MachRunLoopThread::threadHeartbeat(MachPortRunLoopTimer &timer) {
    if (std::shared_ptr<MachRunLoopThreadDelegate> delegate = this->delegate())
        delegate->runLoopThreadHeartbeatTimer(this, timer);
}

void MachRunLoopThread::stopHeartbeatTimerAndCancelThread() {
    std::shared_ptr<MachPortRunLoopTimer> timer;
    {
        std::lock_guard<std::mutex> lock(mMutex);
        timer = std::move(mThreadHeartbeatTimer);
    }
    if (timer != nullptr) timer->invalidate();
    mCancelled.store(true);
}

bool import_MachRunLoopThread() { return true; }
