// SPDX-License-Identifier: MIT
#include "platform/directory_sync.h"
#include "platform/replace_shared.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

namespace platform {

bool sync_directory(const std::string &directory) {
    if (injected_failure(FileOperation::directory_sync)) {
        return false;
    }
    const int fd = open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    // Some file systems cannot sync a directory: their entries are as durable as they
    // get, which counts as synced.
    const bool synced = fsync(fd) == 0 || errno == EINVAL || errno == EROFS;
    const int reason = errno;
    close(fd);
    errno = reason;
    return synced;
}

} // namespace platform
