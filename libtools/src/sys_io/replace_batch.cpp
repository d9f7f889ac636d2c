// SPDX-License-Identifier: MIT
// Durability in batches: the write-back of many replacements started one after the
// other, then waited for together from a few threads, so that their syncs overlap
// instead of following each other.
#include "sys_io/replace_batch.h"

#include "libtools/tool_sys_io.h"
#include "platform/directory_sync.h"
#include "platform/replace.h"
#include "platform/system_error.h"
#include "platform/thread.h"
#include "platform/write_back.h"
#include "sys_io/guarded_call.h"
#include "sys_io/records.h"
#include "sys_io/sync_pool.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <string>

namespace {

// The replacements of one tool_replace_sync_all or tool_replace_abandon_all, the next
// one to take and what is done with each; each thread takes the next until none is left,
// so a slow one holds up only its own thread.
struct BatchWork {
    ToolReplacement *const *list;
    int count;
    void (*each)(ToolReplacement *, BatchWork *);
    std::atomic<int> next{0};
    std::atomic<int> failed{0};
};

bool needs_sync(const ToolReplacement *replacement) {
    return replacement != nullptr && replacement->stream != nullptr && !replacement->failed &&
           !replacement->synced;
}

// Syncs one replacement. Writes only fields of that replacement, which no other thread
// touches until the caller's join.
void sync_one(ToolReplacement *replacement, BatchWork *work) {
    if (!needs_sync(replacement)) {
        return;
    }
    errno = 0;
    if (platform::flush_and_sync(static_cast<std::FILE *>(replacement->stream))) {
        replacement->synced = 1;
        return;
    }
    replacement->sync_error = errno;
    replacement->failed = 1;
    work->failed.fetch_add(1);
}

void abandon_one(ToolReplacement *replacement, BatchWork *) {
    tool_replace_abandon(replacement);
}

void until_done(void *context) {
    auto *work = static_cast<BatchWork *>(context);
    for (int at = work->next.fetch_add(1); at < work->count; at = work->next.fetch_add(1)) {
        work->each(work->list[at], work);
    }
}

// Longer than waking a helper thread takes, shorter than a disk's write.
constexpr auto kQuick = std::chrono::microseconds(50);

// Whether a file's part that took long waited for a disk, and not only because another
// thread had the processor meanwhile (a busy machine puts a thread aside for
// milliseconds, and the helpers would then be woken for files in memory): this thread
// waited since `*waits` (the count last read; a quick part that waited moved it too,
// which wakes the helpers a file early). Counts are read only after a long part, as
// reading one is a system call and most parts are quick.
bool waited_for_disk(long *waits) {
    const long now = platform::times_waited();
    const bool waited = *waits < 0 || now != *waits;
    *waits = now;
    return waited;
}

// Does the work in this thread while each file's part returns at once (a file system in
// memory, or a disk with nothing left to write), where waking helpers would cost more
// than the work; from the first part that waited for a disk, the rest is shared with up
// to `threads` - 1 threads of the sync pool, so that the waits overlap.
void run_batch(BatchWork *work, int threads) {
    const int helpers = (threads < work->count ? threads : work->count) - 1;
    long waits = helpers > 0 ? platform::times_waited() : -1;
    for (int at = work->next.fetch_add(1); at < work->count; at = work->next.fetch_add(1)) {
        const auto start = std::chrono::steady_clock::now();
        work->each(work->list[at], work);
        if (helpers > 0 && work->next.load() < work->count &&
            std::chrono::steady_clock::now() - start > kQuick && waited_for_disk(&waits)) {
            sys_io::run_on_sync_pool(until_done, work, helpers);
            return;
        }
    }
}

} // namespace

extern "C" {

int tool_replace_start_sync(ToolReplacement *replacement) {
    if (replacement == nullptr || replacement->stream == nullptr || replacement->failed) {
        errno = replacement != nullptr && replacement->failed ? 0 : EINVAL;
        return 0;
    }
    auto *stream = static_cast<std::FILE *>(replacement->stream);
    if (!replacement->in_place) {
        sys_io::record_onto_replacement(replacement, stream);
    }
    errno = 0;
    if (!platform::start_write_back(stream)) {
        replacement->sync_error = errno;
        replacement->failed = 1;
        return 0;
    }
    return 1;
}

int tool_replace_sync_all(ToolReplacement *const *list, int count, int threads) {
    if (list == nullptr || count <= 0) {
        return 0;
    }
    BatchWork work{list, count, sync_one};
    run_batch(&work, threads);
    return work.failed.load();
}

void tool_replace_abandon_all(ToolReplacement *const *list, int count, int threads) {
    if (list == nullptr || count <= 0) {
        return;
    }
    const platform::SavedError reason; // letting go reports nothing
    BatchWork work{list, count, abandon_one};
    run_batch(&work, threads);
}

int tool_sync_directory(const char *path) {
    if (path == nullptr) {
        errno = EINVAL;
        return 0;
    }
    return sys_io::guarded_call("tool_sync_directory", 0,
                                [&] { return platform::sync_directory(path) ? 1 : 0; });
}

long tool_open_file_limit(void) {
    return platform::open_file_limit();
}

void tool_reserve_open_files(long count) {
    platform::reserve_open_files(count);
}

} // extern "C"
