// SPDX-License-Identifier: MIT
// Holding a file while it is rewritten: the file is opened without any step that
// can block (a FIFO or a device never stalls the run), checked to be a regular
// file reached only through trusted symbolic links, and held under an exclusive
// advisory lock (flock on POSIX, LockFileEx on Windows) that other runs of the
// toolkit wait for. Replacement files carry the same lock while their writer
// lives, so a replacement without one was left by a run that ended early.
#ifndef LIBTOOLS_PLATFORM_FILE_LOCK_H
#define LIBTOOLS_PLATFORM_FILE_LOCK_H

#include "platform/file_state.h"
#include "platform/replace.h"

#include <string>

namespace platform {

/// The file being rewritten, open and locked.
struct LockedTarget {
    long long handle = -1; // the system's handle of the open file; -1 when none
    FileIdentity identity;
    FileState state;          // the file's state once locked, when state_known: read by
    bool state_known = false; // the check that the name still leads to it, if it can
};

enum class LockResult { locked, cannot_open, not_regular, untrusted_link, busy };

/// Opens the file `path` leads to, checks that it is a regular file (a directory or a
/// missing file gives cannot_open) and that every symbolic link on the way belongs to
/// the running user, the superuser or the owner of the file, waits for its exclusive
/// lock and checks that `path` still leads to the locked file, opening it again when
/// another process replaced it meanwhile. For cannot_open errno tells the system's
/// reason (EISDIR for a directory; 0 when the name kept leading to other files).
/// Without `wait`, a lock held by another (another run, or another file of this run)
/// gives busy at once, with nothing held.
LockResult lock_target(const std::string &path, LockedTarget *target, bool wait = true);

/// One attempt of lock_target, written per system: `*retry` is set when `path` led to
/// another file once the lock was held (the handle is then closed).
LockResult lock_once(const std::string &path, LockedTarget *target, bool wait, bool *retry);

/// Releases the lock and closes the handle; a target without a handle is left alone.
void unlock_target(LockedTarget *target);

/// Takes the lock of a new replacement file, open for writing as `stream`; false when
/// the file is no longer linked under `path` (another run removed it as abandoned).
bool lock_replacement(std::FILE *stream, const std::string &path);
/// lock_replacement for a file open as the system's handle `handle` (a descriptor on
/// POSIX, a HANDLE on Windows).
bool lock_replacement_handle(long long handle, const std::string &path);

/// Keeps the lock of the replacement open as `stream` after the stream is closed, until
/// drop_replacement_lock; -1 when the system cannot (the lock then ends with the stream).
long long hold_replacement_lock(std::FILE *stream);
/// hold_replacement_lock for a file open as the system's handle `handle`.
long long hold_replacement_handle_lock(long long handle);
void drop_replacement_lock(long long held);

enum class LeftoverState { in_use, abandoned, removed };

/// Whether the replacement file `path` still has a writer. An abandoned one is removed
/// when `remove` is set (removed), else left where it is (abandoned).
LeftoverState check_leftover(const std::string &path, bool remove);

} // namespace platform

#endif
