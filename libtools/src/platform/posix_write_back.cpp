// SPDX-License-Identifier: MIT
#include "platform/replace_shared.h"
#include "platform/write_back.h"

#include <fcntl.h>
#include <sched.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace platform {

namespace {

// Starts the write-back of the whole file; true where the call does not exist.
bool start_range_write(int fd) {
#if defined(__linux__)
    if (sync_file_range(fd, 0, 0, SYNC_FILE_RANGE_WRITE) == 0) {
        return true;
    }
    // A file system that does not take the hint is synced in full later.
    return errno == ENOSYS || errno == EINVAL || errno == ESPIPE || errno == EOPNOTSUPP;
#else
    (void)fd;
    return true;
#endif
}

} // namespace

bool start_write_back(std::FILE *stream) {
    if (std::fflush(stream) != 0 || injected_failure(FileOperation::write_back)) {
        return false;
    }
    return start_range_write(fileno(stream));
}

RenameResult replace_leaving_directory_sync(const std::string &replacement,
                                            const std::string &target) {
    if (injected_failure(FileOperation::rename)) {
        return RenameResult::failed;
    }
    if (rename(replacement.c_str(), target.c_str()) != 0) {
        return errno == EPERM || errno == EACCES ? RenameResult::refused : RenameResult::failed;
    }
    return RenameResult::done;
}

int usable_cores() {
#if defined(__linux__)
    cpu_set_t set;
    CPU_ZERO(&set);
    if (sched_getaffinity(0, sizeof set, &set) == 0) {
        const int count = CPU_COUNT(&set);
        return count > 0 ? count : 1;
    }
#endif
    const long online = sysconf(_SC_NPROCESSORS_ONLN);
    return online > 0 ? static_cast<int>(online) : 1;
}

long open_file_limit() {
    struct rlimit limit {};
    if (getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) {
        return 1024;
    }
    return static_cast<long>(limit.rlim_cur);
}

// Linux grows a descriptor table that other threads share only after a grace period
// of its read-copy-update (milliseconds), and every thread that opens a file meanwhile
// waits for it. Grown while one thread runs, the table costs no such wait: a duplicate
// at the highest descriptor wanted grows it, and it never shrinks.
void reserve_open_files(long count) {
    const long highest = std::min(count, open_file_limit()) - 1;
    if (highest < 1) {
        return;
    }
    const int probe = open("/dev/null", O_RDONLY | O_CLOEXEC);
    if (probe < 0) {
        return;
    }
    const int high = fcntl(probe, F_DUPFD_CLOEXEC, static_cast<int>(highest));
    if (high >= 0) {
        close(high);
    }
    close(probe);
}

} // namespace platform
