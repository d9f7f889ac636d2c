// SPDX-License-Identifier: MIT
// POSIX renames over a file that is open, the lock's own descriptor included: the
// lock stays held through the rename.
#include "platform/replace.h"
#include "platform/write_back.h"

namespace platform {

RenameResult replace_locked(const std::string &replacement, const std::string &target, long long *,
                            bool sync_directory) {
    return sync_directory ? replace_atomically(replacement, target)
                          : replace_leaving_directory_sync(replacement, target);
}

} // namespace platform
