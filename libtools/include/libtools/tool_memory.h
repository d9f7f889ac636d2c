/* SPDX-License-Identifier: MIT */
/* Tracked memory: the allocator that every toolkit allocation goes through.
 *
 * Life cycle: a block comes from tool_malloc or tool_realloc and goes back
 * through tool_free (or tool_realloc with size 0). Every byte of a fresh
 * block, and every byte a resize adds beyond the size the block last had,
 * reads as zero, so callers may rely on zero-filled memory. Only the bytes
 * asked for are written: whatever slack the heap keeps behind them is never
 * touched, and is not the caller's to use.
 *
 * Exhaustion is reported by a null result; these functions print nothing. A null
 * result of tool_malloc or tool_realloc for a size above 0 always means that memory
 * ran out, and errno is ENOMEM then (the heap's own, or set by the failure planted
 * with tool_memory_fail_nth). A size of 0 gives null without touching errno. The
 * other functions cannot fail. The call-site arguments (source file and line) name
 * the caller and do not change any result.
 *
 * Test support: the allocator counts the blocks it has handed out and not yet
 * taken back, and can be told to fail one chosen allocation, so tests can check
 * for leaks and walk through every failure point of an operation. Both cost one
 * counter update per call.
 *
 * Threads: every function here may be called from any thread (the table of block
 * sizes is locked, the counters atomic). The counters are process-wide: the
 * live-block count sums all threads, and the failure set by tool_memory_fail_nth
 * falls on the n-th allocation of the process, in whichever thread it comes. errno
 * is the calling thread's own.
 */
#ifndef LIBTOOLS_TOOL_MEMORY_H
#define LIBTOOLS_TOOL_MEMORY_H

#ifdef __cplusplus
extern "C" {
#endif

/// A new zero-filled block of `size` bytes; null for size 0 or when the heap is exhausted.
void *tool_malloc(unsigned size, const char *source_file, int source_line);

/// `block` resized to `size` bytes (possibly moved). A null block behaves as tool_malloc;
/// size 0 releases the block and gives null. Bytes beyond the size the block last had read
/// as zero (also after a shrink: shrinking to 5 and growing back to 100 gives zeros from
/// byte 5). On failure the result is null and `block` is still allocated and unchanged;
/// so it is for a block that did not come from tool_malloc or tool_realloc.
void *tool_realloc(void *block, unsigned size, const char *source_file, int source_line);

/// Releases `block`; a null block is ignored. The caller's variable is not changed.
void tool_free(void *block, const char *source_file, int source_line);

/// The size `block` was last given by tool_malloc or tool_realloc: every byte below it
/// may be used. 0 for null, and for a block whose size could not be noted (the note
/// needs memory of its own); such a block is only known to hold what its owner put in.
unsigned tool_block_size(const void *block);

/// Test support: the number of blocks handed out and not yet released.
long tool_memory_live_blocks(void);

/// Test support: makes the n-th allocation or growing resize from now fail (1 is the
/// next one); 0 turns the failure off. The failure happens once. A resize grows when
/// it asks for more than the block was last given; resizes to the same or a smaller
/// size are not counted and never fail.
void tool_memory_fail_nth(long n);

/// Test support: whether the failure set by tool_memory_fail_nth has happened yet.
int tool_memory_failure_happened(void);

#ifdef __cplusplus
}
#endif

#endif
