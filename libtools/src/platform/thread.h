// SPDX-License-Identifier: MIT
// Worker threads: started so that interrupts never reach them, and stoppable at once.
//
// A worker begins with the interrupt and termination signals blocked (they are
// blocked in the starting thread for the moment of the start, so there is no instant
// in which the new thread could take one) and keeps them blocked: interrupts, their
// handlers and hold_interrupts concern the other threads (interrupt.h).
//
// Stopping: stop_thread marks the worker as told to stop and then cuts short the
// blocking system call it is in, again and again until its entry function has
// returned, then joins it. A cut call fails at once: a read of a pipe or terminal
// that has nothing to give, a write to a pipe nobody empties. POSIX sends the worker
// a signal whose handler is installed without SA_RESTART (SIGURG, ignored by default,
// so a stray one ends nothing); Windows calls CancelSynchronousIo. Repeating the cut
// covers a worker that was between two calls at the first one. Reads of regular
// files and computation are not cut; they end by themselves.
//
// The thread's records come from the standard heap, not the tracked allocator, like
// the stream registry's: a worker's bookkeeping is never a leak of the toolkit.
#ifndef LIBTOOLS_PLATFORM_THREAD_H
#define LIBTOOLS_PLATFORM_THREAD_H

namespace platform {

struct Thread;

/// Starts `entry(argument)` on a new worker thread. Null when the system gives no
/// thread or there is no memory for its record; `entry` has not run then. `entry` must
/// not let an exception out (it would end the process).
Thread *start_thread(void (*entry)(void *), void *argument);

/// Waits until the worker's entry has returned, then releases `thread`. Null: nothing.
void join_thread(Thread *thread);

/// Tells the worker to stop, cuts its blocking system calls until its entry has
/// returned, then releases `thread` as join_thread does. Null: nothing.
void stop_thread(Thread *thread);

/// Whether the calling thread was started by start_thread.
bool in_worker_thread();

/// Whether the calling thread is a worker that stop_thread has told to stop: a system
/// call of its that failed may have been cut short rather than have met a fault.
bool told_to_stop();

/// How many times the calling thread has so far given up the processor to wait (in a
/// blocking system call or for a lock), as against being put aside for another
/// thread; -1 when the system does not count that.
long times_waited();

} // namespace platform

#endif
