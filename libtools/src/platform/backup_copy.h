// Platform side of backups: a byte-for-byte copy of a file into a new file that keeps
// the original's permissions and times, and the permissions given back to the copy
// once it has its final name.
#ifndef LIBTOOLS_PLATFORM_BACKUP_COPY_H
#define LIBTOOLS_PLATFORM_BACKUP_COPY_H

#include "platform/replace.h"

#include <string>

namespace platform {

/// Copies every byte of the file `source` (whose facts are `facts`) into a new hidden
/// file in `directory`, created exclusively with a name made from `name_hint`, and gives
/// it the source's owner and group where the process may, and its access and
/// modification times; the copy is synced to disk. Stores its path in `created`.
/// False when any step failed; nothing is left behind then.
bool copy_to_new_file(const std::string &source, const TargetFacts &facts,
                      const std::string &directory, const std::string &name_hint,
                      std::string *created);

/// Gives `path` the permissions `facts` recorded (the permission bits on POSIX; the
/// read-only, hidden and system attributes on Windows). False when they cannot be set.
bool set_permissions(const std::string &path, const TargetFacts &facts);

} // namespace platform

#endif
