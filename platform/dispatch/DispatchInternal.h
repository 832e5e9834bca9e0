// Private to the dispatch layer: the queue interface shared by the serial and global queues.
#pragma once

#include <string>

#include <dispatch/dispatch.h>

struct dispatch_queue_s {
    explicit dispatch_queue_s(std::string label) : mLabel(std::move(label)) {}
    virtual ~dispatch_queue_s() = default;
    dispatch_queue_s(const dispatch_queue_s &) = delete;
    dispatch_queue_s &operator=(const dispatch_queue_s &) = delete;

    const std::string &label() const { return mLabel; }

    // Queues the work (never empty) to run later.
    virtual void submit(dispatch_block_t work) = 0;
    // Runs the work and returns when it has run; an exception of the work reaches the caller.
    virtual void runSync(const dispatch_block_t &work) = 0;
    virtual void retain() = 0;
    virtual void release() = 0;

private:
    const std::string mLabel;
};

namespace lumora::dispatch {

// One line on standard error for a fault of the caller ("dispatch: <text>").
void Report(const char *format, ...) __attribute__((format(printf, 1, 2)));

// Runs one item of work as a queue does: an escaping exception is reported, not thrown.
void RunWork(const dispatch_queue_s &queue, const dispatch_block_t &work);

// The queue whose work the calling thread is running (null outside any queue).
dispatch_queue_s *CurrentQueue();

// Marks the calling thread as running the queue's work while the object lives.
class CurrentQueueScope {
public:
    explicit CurrentQueueScope(dispatch_queue_s *queue);
    ~CurrentQueueScope();
    CurrentQueueScope(const CurrentQueueScope &) = delete;
    CurrentQueueScope &operator=(const CurrentQueueScope &) = delete;

private:
    dispatch_queue_s *mPrevious;
};

}  // namespace lumora::dispatch
