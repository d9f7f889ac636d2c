// SPDX-License-Identifier: MIT
// What both systems' worker threads share: the record of a worker and the steps
// each system provides for it (create, cut a blocking call, join).
#ifndef LIBTOOLS_PLATFORM_THREAD_SHARED_H
#define LIBTOOLS_PLATFORM_THREAD_SHARED_H

#include "platform/thread.h"

#include <atomic>
#include <condition_variable>
#include <mutex>

namespace platform {

/// The system's own handle of a thread; each system defines it.
struct SystemThread;

struct Thread {
    void (*entry)(void *) = nullptr;
    void *argument = nullptr;
    std::atomic<bool> stop{false}; // set by stop_thread, read by the worker
    std::mutex mutex;
    std::condition_variable ended_signal; // notified when `ended` is set
    bool ended = false;                   // entry has returned; under `mutex`
    SystemThread *system = nullptr;       // set and used by the starting thread only
};

/// Creates the system's thread, which calls run_thread(thread) with the interrupts
/// blocked, and sets thread->system; false when the system gives none.
bool create_system_thread(Thread *thread);

/// Makes the blocking system call the thread is in, if any, fail at once.
void cut_system_call(Thread *thread);

/// Waits for the system's thread to end and releases thread->system.
void join_system_thread(Thread *thread);

/// The body of every worker, called on the new thread: runs the entry and notes its end.
void run_thread(Thread *thread);

} // namespace platform

#endif
