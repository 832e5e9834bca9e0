// Grand Central Dispatch, the part the code uses: once, serial queues, the global
// concurrent queues, the main queue, groups and times. Work is a std::function<void()> (the block) or a
// function with a context pointer (the _f forms).
//
// Objects (queues and groups) are reference counted: created with one reference,
// dispatch_retain adds one, dispatch_release drops one. A serial queue whose last
// reference goes still runs everything submitted to it, then ends its worker thread and
// goes away. The global queues are never freed; retaining or releasing them does nothing.
//
// Faults that the original system traps on are reported with one line on standard error
// and the program carries on: a null queue or group (the work is not run), dispatch_sync
// on the serial queue the caller is running on (the work runs at once on the caller's
// thread instead of deadlocking), a re-entrant dispatch_once (the inner call returns without
// waiting), a dispatch_group_leave without a matching enter (ignored). An exception that
// escapes work run on a queue is reported the same way; the queue goes on with its next item.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <type_traits>

typedef std::function<void()> dispatch_block_t;
typedef void (*dispatch_function_t)(void *context);

// ---- Time ------------------------------------------------------------------------------
// Nanoseconds on the monotonic clock (the same clock as mach_absolute_time).
typedef uint64_t dispatch_time_t;

#define DISPATCH_TIME_NOW (0ull)
#define DISPATCH_TIME_FOREVER (~0ull)
#define NSEC_PER_SEC 1000000000ull
#define NSEC_PER_MSEC 1000000ull
#define NSEC_PER_USEC 1000ull
#define USEC_PER_SEC 1000000ull

// `when` (DISPATCH_TIME_NOW for now) plus `delta` nanoseconds. DISPATCH_TIME_FOREVER stays
// forever; a sum past the clock's range is forever; a sum before the clock's start is the
// clock's first instant (already past).
dispatch_time_t dispatch_time(dispatch_time_t when, int64_t delta);

// ---- Once ------------------------------------------------------------------------------
// A predicate must start as zero (a static or global). The first caller runs the work;
// every other caller, on any thread, returns only once the work has finished. When the
// work throws, the predicate is left as if never run and the exception reaches the caller.
typedef long dispatch_once_t;

void dispatch_once_f(dispatch_once_t *predicate, void *context, dispatch_function_t function);

// The block form takes any callable; once the work has run, a call costs one atomic load.
template <class Block>
inline void dispatch_once(dispatch_once_t *predicate, Block &&block) {
    if (predicate != nullptr && __atomic_load_n(predicate, __ATOMIC_ACQUIRE) == ~0l) return;
    dispatch_once_f(predicate, const_cast<void *>(static_cast<const void *>(std::addressof(block))),
                    [](void *context) { (*static_cast<std::remove_reference_t<Block> *>(context))(); });
}

// ---- Queues ----------------------------------------------------------------------------
struct dispatch_queue_s;
typedef struct dispatch_queue_s *dispatch_queue_t;
struct dispatch_queue_attr_s;
typedef struct dispatch_queue_attr_s *dispatch_queue_attr_t;

// Serial queues are the only kind created here: DISPATCH_QUEUE_SERIAL (null) is the only
// attribute accepted.
#define DISPATCH_QUEUE_SERIAL (static_cast<dispatch_queue_attr_t>(nullptr))

// A serial queue: its work runs one item at a time, in the order submitted, on a worker
// thread of its own (started with the first work). The label is copied; null is "".
// Answers null for an attribute other than DISPATCH_QUEUE_SERIAL.
dispatch_queue_t dispatch_queue_create(const char *label, dispatch_queue_attr_t attr);

// The queue's label; for null, the label of the queue the caller is running on ("" when none).
const char *dispatch_queue_get_label(dispatch_queue_t queue);

#define DISPATCH_QUEUE_PRIORITY_HIGH 2
#define DISPATCH_QUEUE_PRIORITY_DEFAULT 0
#define DISPATCH_QUEUE_PRIORITY_LOW (-2)
#define DISPATCH_QUEUE_PRIORITY_BACKGROUND INT16_MIN

// The concurrent queue of a priority. Its work runs on a shared pool of threads, several
// items at once; waiting work of a higher priority is started first. Answers null for an
// unknown priority or non-zero flags.
dispatch_queue_t dispatch_get_global_queue(long priority, unsigned long flags);

// The main queue: a serial queue whose work runs on the main thread (the process's first
// thread). The layer does not run it by itself: every submission is handed to the main-queue
// pump, which the owner of the main thread's event loop installs (the Foundation layer posts
// into the Qt event loop); the owner then calls dispatch_main_queue_drain on the main thread.
// Without a pump, work waits until someone drains the queue (tests do so). dispatch_sync on
// the main queue from the main thread is a fault: the work runs at once.
dispatch_queue_t dispatch_get_main_queue();

// Lumora extensions for the owner of the main thread's event loop.
// The pump is called, on the submitting thread and under the queue's lock, once for every
// work submitted to the main queue; it must only arrange for a later drain and never call
// back into the main queue. Installing a pump while work waits calls it once at once. Null
// removes the pump (returns once no call of the old pump is running).
typedef void (*dispatch_main_queue_pump_t)(void *context);
void dispatch_main_queue_set_pump(dispatch_main_queue_pump_t pump, void *context);

// Runs, on the calling thread, the work that waits on the main queue when the call starts, in
// the order submitted (work submitted meanwhile waits for the next drain); answers how many ran.
long dispatch_main_queue_drain();

// Submits work and returns at once.
void dispatch_async(dispatch_queue_t queue, dispatch_block_t block);
void dispatch_async_f(dispatch_queue_t queue, void *context, dispatch_function_t work);

// Submits work to the queue once the time has come (at once for a time already past; never
// for DISPATCH_TIME_FOREVER). The queue is kept alive until then. One timer thread of the layer
// waits for every such work; the work itself runs on its queue.
void dispatch_after(dispatch_time_t when, dispatch_queue_t queue, dispatch_block_t block);
void dispatch_after_f(dispatch_time_t when, dispatch_queue_t queue, void *context, dispatch_function_t work);

// Submits work and returns once it has run. On a serial queue it runs after everything
// submitted before it; on a global queue it runs at once on the caller's thread.
void dispatch_sync(dispatch_queue_t queue, const dispatch_block_t &block);
void dispatch_sync_f(dispatch_queue_t queue, void *context, dispatch_function_t work);

// ---- Groups ----------------------------------------------------------------------------
struct dispatch_group_s;
typedef struct dispatch_group_s *dispatch_group_t;

// A count of outstanding work: waiters and notifications fire when it drops to zero.
dispatch_group_t dispatch_group_create();

// Submits work to the queue as part of the group.
void dispatch_group_async(dispatch_group_t group, dispatch_queue_t queue, dispatch_block_t block);
void dispatch_group_async_f(dispatch_group_t group, dispatch_queue_t queue, void *context,
                            dispatch_function_t work);

// Counts work that the caller tracks itself; every enter needs one leave.
void dispatch_group_enter(dispatch_group_t group);
void dispatch_group_leave(dispatch_group_t group);

// Waits until the group's work is done or the time has come: 0 when done, non-zero on
// time-out (and for a null group).
long dispatch_group_wait(dispatch_group_t group, dispatch_time_t timeout);

// Submits the work to the queue once the group's work is done (at once when it is).
void dispatch_group_notify(dispatch_group_t group, dispatch_queue_t queue, dispatch_block_t block);
void dispatch_group_notify_f(dispatch_group_t group, dispatch_queue_t queue, void *context,
                             dispatch_function_t work);

// ---- Reference counts --------------------------------------------------------------------
void dispatch_retain(dispatch_queue_t queue);
void dispatch_release(dispatch_queue_t queue);
void dispatch_retain(dispatch_group_t group);
void dispatch_release(dispatch_group_t group);
