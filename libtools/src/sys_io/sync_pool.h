// SPDX-License-Identifier: MIT
// The threads that wait for the syncs of a batch, kept from one batch to the next:
// on many small files, starting and joining dozens of threads for each batch cost
// more processor time than the conversions themselves.
#ifndef LIBTOOLS_SYS_IO_SYNC_POOL_H
#define LIBTOOLS_SYS_IO_SYNC_POOL_H

namespace sys_io {

/// Runs `body(context)` on the calling thread and at once on up to `helpers` more
/// threads of the process's sync pool, and returns when every one of them has
/// returned. The pool's threads are started the first time they are wanted and stay
/// until the process exits. When the pool is busy with another caller, or has fewer
/// threads than wanted (no memory, the system gives no more), fewer helpers take part:
/// `body` must take its work from `context` until none is left, so that any number of
/// threads, the caller alone included, finish it. `body` must not throw.
void run_on_sync_pool(void (*body)(void *), void *context, int helpers);

} // namespace sys_io

#endif
