// SPDX-License-Identifier: MIT
// Durability in batches: the write-back of many replacements started one after the
// other, then waited for together from a few threads, so that their syncs overlap
// instead of following each other.
#include "sys_io/replace_batch.h"

#include "libtools/tool_sys_io.h"
#include "platform/directory_sync.h"
#include "platform/replace.h"
#include "platform/system_error.h"
#include "platform/write_back.h"
#include "sys_io/guarded_call.h"
#include "sys_io/records.h"
#include "sys_io/sync_pool.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <string>

namespace {

// The replacements of one tool_replace_sync_all and the next one to take; each thread
// takes the next until none is left, so a slow sync holds up only its own thread.
struct SyncWork {
    ToolReplacement *const *list;
    int count;
    std::atomic<int> next{0};
    std::atomic<int> failed{0};
};

bool needs_sync(const ToolReplacement *replacement) {
    return replacement != nullptr && replacement->stream != nullptr && !replacement->failed &&
           !replacement->synced;
}

// Syncs one replacement. Writes only fields of that replacement, which no other thread
// touches until the caller's join.
void sync_one(ToolReplacement *replacement, SyncWork *work) {
    errno = 0;
    if (platform::flush_and_sync(static_cast<std::FILE *>(replacement->stream))) {
        replacement->synced = 1;
        return;
    }
    replacement->sync_error = errno;
    replacement->failed = 1;
    work->failed.fetch_add(1);
}

void sync_until_done(void *context) {
    auto *work = static_cast<SyncWork *>(context);
    for (int at = work->next.fetch_add(1); at < work->count; at = work->next.fetch_add(1)) {
        if (needs_sync(work->list[at])) {
            sync_one(work->list[at], work);
        }
    }
}

// The replacements of one tool_replace_abandon_all, taken as SyncWork's are.
struct AbandonWork {
    ToolReplacement *const *list;
    int count;
    std::atomic<int> next{0};
};

void abandon_until_done(void *context) {
    auto *work = static_cast<AbandonWork *>(context);
    for (int at = work->next.fetch_add(1); at < work->count; at = work->next.fetch_add(1)) {
        tool_replace_abandon(work->list[at]);
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
    SyncWork work{list, count};
    const int wanted = threads < count ? threads : count;
    sys_io::run_on_sync_pool(sync_until_done, &work, wanted - 1); // the caller syncs too
    return work.failed.load();
}

void tool_replace_abandon_all(ToolReplacement *const *list, int count, int threads) {
    if (list == nullptr || count <= 0) {
        return;
    }
    const platform::SavedError reason; // letting go reports nothing
    AbandonWork work{list, count};
    const int wanted = threads < count ? threads : count;
    sys_io::run_on_sync_pool(abandon_until_done, &work, wanted - 1);
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

} // extern "C"
