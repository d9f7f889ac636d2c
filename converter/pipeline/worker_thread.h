// SPDX-License-Identifier: MIT
// One worker thread of a conversion, started through libtools (tool_thread.h), so
// that interrupt signals never reach it and it can be stopped at once.
//
// Whatever the body throws is caught on the worker and kept here (std::bad_alloc
// included): nothing a worker does ends the process. A body that has a failure to
// hand over while it still runs (the reading thread) catches it itself; this is
// the last net under every body.
#ifndef JOINT2SI_WORKER_THREAD_H
#define JOINT2SI_WORKER_THREAD_H

#include "libtools/tool_thread.h"

#include <exception>

class WorkerThread {
  public:
    using Body = void (*)(void *context);

    WorkerThread() = default;
    /// Stops the thread (stop()) if it still runs.
    ~WorkerThread() { stop(); }
    WorkerThread(const WorkerThread &) = delete;
    WorkerThread &operator=(const WorkerThread &) = delete;

    /// Runs `body(context)` on a new worker; false when the system gives no thread.
    bool start(Body body, void *context) noexcept;

    /// Waits until the body has returned.
    void join() noexcept { tool_thread_join(&thread_); }

    /// Tells the worker to stop and cuts its blocking system call (a read of a pipe or
    /// terminal, a write to a full pipe) until the body has returned, then waits. The
    /// body must return once a channel it waits on is cancelled.
    void stop() noexcept { tool_thread_stop(&thread_); }

    /// What the body let out; read it only after join() or stop().
    std::exception_ptr error() const noexcept { return error_; }

  private:
    static void run(void *self) noexcept;

    Body body_ = nullptr;
    void *context_ = nullptr;
    ToolThread *thread_ = nullptr;
    std::exception_ptr error_;
};

#endif
