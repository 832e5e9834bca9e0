#include <Mach/MachPortRunLoop.h>

#include <Mach/NSMachPort.h>

#include <algorithm>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/syscall.h>
#include <unistd.h>

using Clock = std::chrono::steady_clock;

MachPortRunLoopTimer::MachPortRunLoopTimer(double interval, bool repeats, Action action)
    : mInterval(interval > 0.0001 ? interval : 0.0001), mRepeats(repeats), mAction(std::move(action)) {}

MachPortRunLoop::MachPortRunLoop()
    : mMain(::syscall(SYS_gettid) == ::getpid()),
      mWaker(std::make_shared<MachPorts::Descriptor>(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK))) {}

MachPortRunLoop::~MachPortRunLoop() {
    for (const std::shared_ptr<NSMachPort> &port : mPorts) MachPorts::RemoveWaker(port->machPort(), mWaker);
}

MachPortRunLoop *MachPortRunLoop::currentRunLoop() {
    thread_local std::unique_ptr<MachPortRunLoop> loop(new MachPortRunLoop);
    return loop.get();
}

void MachPortRunLoop::Wake() {
    const uint64_t one = 1;
    (void)!::write(mWaker->fd, &one, sizeof one);
}

void MachPortRunLoop::addPort(const std::shared_ptr<NSMachPort> &port) {
    if (port == nullptr) return;
    {
        std::lock_guard<std::mutex> lock(mMutex);
        for (const auto &scheduled : mPorts)
            if (scheduled->machPort() == port->machPort()) return;
        mPorts.push_back(port);
    }
    MachPorts::AddWaker(port->machPort(), mWaker);
    Wake();
}

void MachPortRunLoop::removePort(const std::shared_ptr<NSMachPort> &port) {
    if (port == nullptr) return;
    std::shared_ptr<NSMachPort> removed;
    {
        std::lock_guard<std::mutex> lock(mMutex);
        auto found = std::find_if(mPorts.begin(), mPorts.end(),
                                  [&](const auto &scheduled) { return scheduled->machPort() == port->machPort(); });
        if (found == mPorts.end()) return;
        removed = *found;
        mPorts.erase(found);
    }
    MachPorts::RemoveWaker(port->machPort(), mWaker);
    Wake();
}

bool MachPortRunLoop::containsPort(const std::shared_ptr<NSMachPort> &port) const {
    std::lock_guard<std::mutex> lock(mMutex);
    for (const auto &scheduled : mPorts)
        if (port != nullptr && scheduled->machPort() == port->machPort()) return true;
    return false;
}

std::shared_ptr<MachPortRunLoopTimer> MachPortRunLoop::addTimer(double interval, bool repeats,
                                                                MachPortRunLoopTimer::Action action) {
    auto timer = std::make_shared<MachPortRunLoopTimer>(interval, repeats, std::move(action));
    timer->mDue = Clock::now() + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(timer->mInterval));
    {
        std::lock_guard<std::mutex> lock(mMutex);
        mTimers.push_back(timer);
    }
    Wake();
    return timer;
}

void MachPortRunLoop::stop() {
    mStopped.store(true);
    Wake();
}

void MachPortRunLoop::Serve(const std::shared_ptr<NSMachPort> &port) {
    alignas(8) uint8_t buffer[NSMachPort::kReceiveSize];
    for (int i = 0; i < 64; ++i) {
        const mach_msg_return_t result =
            mach_msg(reinterpret_cast<mach_msg_header_t *>(buffer), MACH_RCV_MSG | MACH_RCV_TIMEOUT, 0,
                     sizeof buffer, port->machPort(), 0, MACH_PORT_NULL);
        if (result == MACH_RCV_TOO_LARGE) continue;
        if (result != MACH_MSG_SUCCESS) return;
        std::shared_ptr<NSMachPortDelegate> delegate = port->delegate();
        if (delegate != nullptr) {
            delegate->handleMachMessage(buffer);
        } else {
            // Nobody takes it: its rights are given up.
            mach_msg_destroy(reinterpret_cast<mach_msg_header_t *>(buffer));
        }
    }
}

void MachPortRunLoop::run() {
    mStopped.store(false);
    std::vector<std::shared_ptr<NSMachPort>> ports;
    std::vector<std::shared_ptr<MachPortRunLoopTimer>> timers;
    std::vector<pollfd> polls;
    std::vector<size_t> owners;  // the port of each poll entry after the waker
    std::vector<MachPorts::DescriptorRef> descriptors;
    while (!mStopped.load()) {
        {
            std::lock_guard<std::mutex> lock(mMutex);
            mTimers.erase(std::remove_if(mTimers.begin(), mTimers.end(), [](const auto &t) { return !t->isValid(); }),
                          mTimers.end());
            ports = mPorts;
            timers = mTimers;
        }
        if (ports.empty() && timers.empty()) break;
        int wait = -1;
        const Clock::time_point now = Clock::now();
        for (const auto &timer : timers) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(timer->mDue - now).count() + 1;
            wait = wait < 0 ? int(std::max<long long>(0, left)) : std::min(wait, int(std::max<long long>(0, left)));
        }
        polls.clear();
        owners.clear();
        descriptors.clear();
        polls.push_back({mWaker->fd, POLLIN, 0});
        for (size_t p = 0; p < ports.size(); ++p) {
            const size_t before = descriptors.size();
            MachPorts::ReceiveDescriptors(ports[p]->machPort(), descriptors);
            for (size_t d = before; d < descriptors.size(); ++d) {
                polls.push_back({descriptors[d]->fd, POLLIN, 0});
                owners.push_back(p);
            }
        }
        const int ready = ::poll(polls.data(), polls.size(), wait);
        if (ready > 0 && polls[0].revents != 0) {
            uint64_t count;
            (void)!::read(mWaker->fd, &count, sizeof count);
        }
        if (ready > 0) {
            std::vector<bool> served(ports.size(), false);
            for (size_t i = 1; i < polls.size(); ++i) {
                const size_t p = owners[i - 1];
                if (polls[i].revents == 0 || served[p]) continue;
                served[p] = true;
                if (containsPort(ports[p])) Serve(ports[p]);
            }
        }
        const Clock::time_point after = Clock::now();
        for (const auto &timer : timers) {
            if (!timer->isValid() || timer->mDue > after) continue;
            if (timer->mRepeats) {
                const auto interval = std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(timer->mInterval));
                while (timer->mDue <= after) timer->mDue += interval;
            } else {
                timer->invalidate();
            }
            if (timer->mAction) timer->mAction(*timer);
        }
    }
}
