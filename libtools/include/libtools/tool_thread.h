/* SPDX-License-Identifier: MIT */
/* tool_thread: worker threads that interrupts never reach and that can be stopped
 * at once.
 *
 * Life cycle: tool_thread_start runs body(context) on a new thread and gives its
 * handle. The thread that started it releases the handle with exactly one of
 * tool_thread_join (waits until body returns) and tool_thread_stop (tells the
 * worker to stop, makes the blocking system call it is in fail, again until body
 * has returned, then waits); both set the caller's variable to null. The handle
 * may pass to another thread that releases it instead, once the starter is done
 * with it and that hand-over is ordered (by a join of the starter, say). A worker
 * may start workers of its own.
 *
 * Interrupts: a worker starts with the interrupt and termination signals blocked
 * and keeps them so. They reach the other threads, so the removal of guarded
 * temporary files and "hold interrupts" (tool_replace_*) always concern the thread
 * that rewrites, on every system; a worker never calls those operations.
 *
 * Stopping: a cut system call fails as it would on an error: a read of a pipe or
 * terminal that has nothing to give, a write to a pipe that nobody empties. Reads
 * of regular files and computation are not cut; they end by themselves. Inside a
 * worker, tool_thread_told_to_stop tells such a failure from a fault, and the
 * stream layer does so for its reads (zfile_read). A POSIX worker receives SIGURG
 * for each cut (a handler without SA_RESTART is installed at the first start).
 *
 * What a worker may call (the rest of the toolkit belongs to the thread that
 * started it): the stream operations on a stream it was handed and that no other
 * thread uses meanwhile (tool_fread, tool_fwrite, tool_ferror, zfile_read and the
 * like; each handle's state is its own), tool_replace_write on a replacement it
 * was handed, and the tracked allocator (tool_memory.h), whose counters, like the
 * fault-injection counters of the file operations, are safe in every thread. It
 * must not open or close streams (a stream's life belongs to the thread that
 * started the worker), use the push-back slot (tool_fgetc, tool_ungetc),
 * the static result buffers of the formatting operations (tool_dstring.h), the
 * line reader's status, the console, or the guard and hold of interrupts.
 *
 * A worker may also own files of its own, handed to it whole while no other thread
 * uses them: it then opens and closes their streams and locks (without waiting),
 * opens and writes their replacements (tool_sys_io.h), whose guards are per
 * replacement; it still never holds interrupts, uses the push-back slot or the
 * console.
 */
#ifndef LIBTOOLS_TOOL_THREAD_H
#define LIBTOOLS_TOOL_THREAD_H

#ifdef __cplusplus
extern "C" {
#endif

/// A running worker thread.
typedef struct ToolThread ToolThread;

/// Runs `body(context)` on a new worker thread. Null when the system gives no thread
/// or no memory for its record (body has not run then), or for a null body; errno then
/// tells why: the system's reason (EAGAIN for too many threads), ENOMEM, or EINVAL
/// for a null body. The body must not let a C++ exception out: that would end the
/// process.
ToolThread *tool_thread_start(void (*body)(void *context), void *context);

/// Waits until the worker's body has returned, releases the handle and sets `*thread`
/// to null. No effect when `thread` or `*thread` is null.
void tool_thread_join(ToolThread **thread);

/// Tells the worker to stop and cuts its blocking system calls until its body has
/// returned, then releases the handle as tool_thread_join does. The body must return
/// soon after a failed call or once it sees tool_thread_told_to_stop. No effect when
/// `thread` or `*thread` is null.
void tool_thread_stop(ToolThread **thread);

/// The number of processor cores the process may run on (its affinity), at least 1.
int tool_thread_usable_cores(void);

/// 1 when the calling thread is a worker started by tool_thread_start, else 0.
int tool_thread_is_worker(void);

/// 1 when the calling thread is a worker that tool_thread_stop has told to stop, else 0.
int tool_thread_told_to_stop(void);

#ifdef __cplusplus
}
#endif

#endif
