// SPDX-License-Identifier: MIT
// Directory enumeration over opendir/readdir. readdir delivers "." and ".." like
// any other entry, though not necessarily first.
#include "platform/dir_enum.h"

#include "platform/paths.h"
#include "platform/system_error.h"

#include <dirent.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <new>

namespace platform {

struct DirEnum {
    DIR *stream;
};

DirEnum *dir_enum_first(const char *path, const char **name) {
    DIR *stream = opendir(native_path(path).c_str());
    if (stream == nullptr) {
        return nullptr;
    }
    auto *search = new (std::nothrow) DirEnum{stream};
    if (search == nullptr) {
        closedir(stream);
        errno = ENOMEM;
        return nullptr;
    }
    errno = 0; // readdir leaves it alone at the end of the listing
    *name = dir_enum_next(search);
    if (*name == nullptr) {
        const SavedError reason;
        dir_enum_close(search);
        return nullptr;
    }
    return search;
}

const char *dir_enum_next(DirEnum *search) {
    if (search == nullptr) {
        return nullptr;
    }
    const dirent *entry = readdir(search->stream);
    return entry != nullptr ? entry->d_name : nullptr;
}

bool dir_enum_close(DirEnum *search) {
    if (search == nullptr) {
        return true;
    }
    const bool closed = closedir(search->stream) == 0;
    delete search;
    return closed;
}

bool dir_enum_is_directory(const char *path) {
    struct stat status {};
    if (stat(native_path(path).c_str(), &status) != 0) {
        return false;
    }
    if (!S_ISDIR(status.st_mode)) {
        errno = ENOTDIR;
        return false;
    }
    return true;
}

// realpath rather than a lexical join with the current directory: on POSIX "link/.."
// names the parent of the link's target, and the scan must list the directory that
// dir_enum_is_directory tested.
bool dir_enum_full_path(const char *path, char *buffer, std::size_t size) {
    char *resolved = realpath(native_path(path).c_str(), nullptr);
    if (resolved == nullptr) {
        return false;
    }
    const std::size_t length = std::strlen(resolved);
    const bool fits = length < size;
    if (fits) {
        std::memcpy(buffer, resolved, length + 1);
    }
    std::free(resolved);
    return fits;
}

bool dir_enum_ignores_case(const char *) {
    return false;
}

} // namespace platform
