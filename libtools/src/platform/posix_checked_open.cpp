// SPDX-License-Identifier: MIT
#include "platform/checked_open.h"
#include "platform/system_error.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace platform {

namespace {

// What the open descriptor `fd`, opened with the status flags `access | O_NONBLOCK`, is,
// compared with what the caller checked before; a regular file is then made blocking.
OpenCheck check_open(int fd, int access, const FileIdentity *expected) {
    struct stat held {};
    if (fstat(fd, &held) != 0) {
        return OpenCheck::cannot_open;
    }
    if (S_ISDIR(held.st_mode)) {
        errno = EISDIR;
        return OpenCheck::cannot_open;
    }
    if (!S_ISREG(held.st_mode)) {
        return OpenCheck::not_regular;
    }
    if (expected != nullptr && (static_cast<unsigned long long>(held.st_dev) != expected->device ||
                                static_cast<unsigned long long>(held.st_ino) != expected->index)) {
        errno = 0; // the name leads to another file now: no system error
        return OpenCheck::other_file;
    }
    // F_SETFL takes the status flags whole; of those open set, only O_NONBLOCK is one it
    // changes, so `access` alone clears it without asking for the flags first.
    if (fcntl(fd, F_SETFL, access) != 0) {
        return OpenCheck::cannot_open;
    }
    return OpenCheck::opened;
}

} // namespace

int open_checked(const std::string &path, bool update, const FileIdentity *expected,
                 OpenCheck *check) {
    // Non-blocking: opening a FIFO would otherwise wait for its other end.
    const int access = update ? O_RDWR : O_RDONLY;
    const int fd = open(path.c_str(), access | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        *check = OpenCheck::cannot_open;
        return -1;
    }
    *check = check_open(fd, access, expected);
    if (*check != OpenCheck::opened) {
        const SavedError reason;
        close(fd);
        return -1;
    }
    return fd;
}

long read_start(int fd, unsigned char *buffer, std::size_t size) {
    for (;;) {
        const ssize_t got = pread(fd, buffer, size, 0);
        if (got >= 0 || errno != EINTR) {
            return static_cast<long>(got);
        }
    }
}

std::FILE *stream_of_descriptor(int fd, const char *mode) {
    std::FILE *stream = fdopen(fd, mode);
    if (stream == nullptr) {
        const SavedError reason;
        close(fd);
    }
    return stream;
}

void close_descriptor(int fd) {
    close(fd);
}

} // namespace platform
