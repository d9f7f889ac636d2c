// SPDX-License-Identifier: MIT
// Platform side of backups: a byte-for-byte copy of a file into a new file that keeps
// the original's permissions and times, and the permissions given back to the copy
// once it has its final name.
#ifndef LIBTOOLS_PLATFORM_BACKUP_COPY_H
#define LIBTOOLS_PLATFORM_BACKUP_COPY_H

#include "platform/replace.h"

#include <string>

namespace platform {

/// Copies every byte of the file `source` (whose facts are `facts`) into a new file in
/// `directory` that carries a replacement file's name (kind rename: should the run end
/// before the copy is in place, a later run's sweep removes it, its source being whole)
/// and, like one, is created exclusively, locked while it is written and guarded against
/// interrupts (GuardSlot::backup) from its creation. It gets the source's owner and
/// group where the process may, and its access and modification times, and is synced to
/// disk. Stores its path in `created` and in `held_lock` a handle that keeps its lock
/// after it is closed (-1 when the system keeps none): the caller gives the copy its
/// final name, then releases the guard and drops the lock (drop_replacement_lock).
/// False when any step failed; nothing is left behind then, nothing guarded or held.
bool copy_to_new_file(const std::string &source, const TargetFacts &facts,
                      const std::string &directory, std::string *created, long long *held_lock);

/// Gives `path` the permissions `facts` recorded (the permission bits on POSIX; the
/// read-only, hidden and system attributes on Windows). False when they cannot be set.
bool set_permissions(const std::string &path, const TargetFacts &facts);

} // namespace platform

#endif
