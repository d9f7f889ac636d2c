// SPDX-License-Identifier: MIT
// Making the renames into a directory durable: after a file's new content was renamed
// over it, the directory's entries are put on disk, so that a crash cannot bring the
// old name back. A failure is reported, never ignored: the file is new, but the
// system could not promise it stays so.
//
// The sync goes through the fault-injection counters of replace.h
// (FileOperation::directory_sync).
#ifndef LIBTOOLS_PLATFORM_DIRECTORY_SYNC_H
#define LIBTOOLS_PLATFORM_DIRECTORY_SYNC_H

#include <string>

namespace platform {

/// Puts the entries of `directory` on disk. False, with errno, when the sync failed;
/// true where the system has nothing to sync.
bool sync_directory(const std::string &directory);

} // namespace platform

#endif
