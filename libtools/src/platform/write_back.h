// SPDX-License-Identifier: MIT
// Durability in batches: the content of many replacement files is put on disk
// together rather than one file after the other. Writing back is started for each
// file as soon as its content is complete; the waits (one sync per file) then overlap,
// the renames follow, and each directory is synced once for all the renames in it.
//
// Every step a test may make fail goes through the fault-injection counters of
// replace.h (FileOperation::write_back, sync, rename).
#ifndef LIBTOOLS_PLATFORM_WRITE_BACK_H
#define LIBTOOLS_PLATFORM_WRITE_BACK_H

#include "platform/replace.h"

#include <cstdio>
#include <string>

namespace platform {

/// Flushes the stream's buffer and starts writing the file's pages to the device
/// without waiting for them (Linux: sync_file_range with SYNC_FILE_RANGE_WRITE; where
/// the system has no such call the later sync does all the work). False, with errno,
/// when the flush or the start failed.
bool start_write_back(std::FILE *stream);

/// Replaces `target` by `replacement` in one step, as replace_atomically does, but
/// leaves the sync of the directory to sync_directory (directory_sync.h; on Windows the
/// move itself writes through, and this is replace_atomically).
RenameResult replace_leaving_directory_sync(const std::string &replacement,
                                            const std::string &target);

/// The number of processor cores the process may run on (its affinity mask); at least 1.
int usable_cores();

/// How many files the process may hold open at once (the soft limit of descriptors on
/// POSIX, the C library's limit of streams on Windows).
long open_file_limit();

/// Makes room at once for `count` open files (at most open_file_limit()) in the process's
/// table of descriptors, so that opening them later does not grow it. Best effort: a
/// table that cannot grow now grows when it must, as before.
void reserve_open_files(long count);

} // namespace platform

#endif
