// SPDX-License-Identifier: MIT
#include "platform/backup_copy.h"
#include "platform/checked_open.h"
#include "platform/file_lock.h"
#include "platform/file_record.h"
#include "platform/interrupt.h"
#include "platform/replace_shared.h"
#include "platform/system_error.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace platform {

namespace {

constexpr int kCreateAttempts = 100;
constexpr std::size_t kChunk = 1 << 16;

// A new file with a replacement file's name in `directory`, created exclusively and
// locked; its descriptor, or -1.
int create_exclusive(const std::string &directory, std::string *created) {
    for (int attempt = 0; attempt < kCreateAttempts; ++attempt) {
        const std::string name = replacement_name(ReplacementKind::rename);
        std::string path = directory;
        path.append("/").append(name);
        // Held from before the file exists until it is guarded.
        const InterruptHold hold;
        // Marked before it is named, so that a sweep may remove it should the run end.
        bool locked = false;
        const int fd = static_cast<int>(
            create_marked(directory, name, replacement_mark(MarkState::writing, {}, ""), &locked));
        if (fd >= 0) {
            *created = path;
            guard_temporary(path, GuardSlot::backup);
            if (locked || lock_replacement_handle(fd, path)) {
                return fd;
            }
            const SavedError reason;
            close(fd);
            unlink(path.c_str());
            release_temporary(GuardSlot::backup);
            return -1;
        }
        if (errno != EEXIST) {
            return -1;
        }
    }
    return -1;
}

bool write_all(int fd, const char *data, std::size_t size) {
    while (size > 0) {
        const ssize_t written = write(fd, data, size);
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0 || injected_failure(FileOperation::write)) {
            return false;
        }
        data += written;
        size -= static_cast<std::size_t>(written);
    }
    return true;
}

bool copy_bytes(int from, int to) {
    static char buffer[kChunk];
    for (;;) {
        const ssize_t got = read(from, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            return got == 0;
        }
        if (!write_all(to, buffer, static_cast<std::size_t>(got))) {
            return false;
        }
    }
}

// Removes the unfinished copy `created` and ends its guard.
void discard(const std::string &created) {
    const SavedError reason;
    unlink(created.c_str());
    release_temporary(GuardSlot::backup);
}

// Owner and group where allowed (a failure to keep them is no failure of the backup,
// as with cp -p), then the source's times.
bool keep_facts_and_times(int from, int to, const TargetFacts &facts) {
    if (fchown(to, static_cast<uid_t>(facts.owner), static_cast<gid_t>(facts.group)) != 0 &&
        fchown(to, static_cast<uid_t>(-1), static_cast<gid_t>(facts.group)) != 0) {
        // Neither kept: the backup keeps the owner and group of whoever made it.
    }
    struct stat status {};
    if (fstat(from, &status) != 0) {
        return false;
    }
    const struct timespec times[2] = {status.st_atim, status.st_mtim};
    return futimens(to, times) == 0;
}

} // namespace

bool copy_to_new_file(const std::string &source, const TargetFacts &facts,
                      const std::string &directory, std::string *created, long long *held_lock) {
    *held_lock = -1;
    // The name may lead elsewhere since its facts were taken: never wait for a FIFO,
    // and copy only the file they describe.
    OpenCheck check = OpenCheck::opened;
    const int from = open_checked(source, false, &facts.identity, &check);
    if (from < 0) {
        return false;
    }
    const int to = create_exclusive(directory, created);
    const bool copied = to >= 0 && copy_bytes(from, to) && keep_facts_and_times(from, to, facts) &&
                        fchmod(to, static_cast<mode_t>(facts.permissions)) == 0 &&
                        !injected_failure(FileOperation::sync) && fsync(to) == 0;
    {
        const SavedError reason;
        close(from);
    }
    if (to < 0) {
        return false;
    }
    if (!copied) {
        const SavedError reason;
        close(to);
        discard(*created);
        return false;
    }
    const long long held = hold_replacement_handle_lock(to);
    if (close(to) != 0 || injected_failure(FileOperation::close)) {
        discard(*created);
        const SavedError reason;
        drop_replacement_lock(held);
        return false;
    }
    *held_lock = held;
    return true;
}

bool set_permissions(const std::string &path, const TargetFacts &facts) {
    return chmod(path.c_str(), static_cast<mode_t>(facts.permissions)) == 0;
}

} // namespace platform
