// SPDX-License-Identifier: MIT
// The part of locking a file that is the same on every system: opening and locking
// again while the name leads elsewhere once the lock is held.
#include "platform/file_lock.h"

namespace platform {

namespace {

constexpr int kOpenAttempts = 10;

} // namespace

LockResult lock_target(const std::string &path, LockedTarget *target, bool wait) {
    LockResult result = LockResult::cannot_open;
    for (int attempt = 0; attempt < kOpenAttempts; ++attempt) {
        bool retry = false;
        result = lock_once(path, target, wait, &retry);
        if (!retry) {
            break;
        }
    }
    return result;
}

} // namespace platform
