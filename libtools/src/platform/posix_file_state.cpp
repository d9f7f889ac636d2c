// SPDX-License-Identifier: MIT
#include "platform/posix_file_state.h"

namespace platform {

namespace {

constexpr long long kNanoseconds = 1000000000LL;

long long nanoseconds(const struct timespec &time) {
    return static_cast<long long>(time.tv_sec) * kNanoseconds + time.tv_nsec;
}

} // namespace

FileState state_of_status(const struct stat &status) {
    FileState state;
    state.size = static_cast<unsigned long long>(status.st_size);
    state.modified = nanoseconds(status.st_mtim);
    state.changed = nanoseconds(status.st_ctim);
    return state;
}

bool state_of_handle(long long handle, FileState *state) {
    struct stat status {};
    if (fstat(static_cast<int>(handle), &status) != 0) {
        return false;
    }
    *state = state_of_status(status);
    return true;
}

} // namespace platform
