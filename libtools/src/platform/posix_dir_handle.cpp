// SPDX-License-Identifier: MIT
// Directory handles over openat and fdopendir. O_NOFOLLOW makes the open of a symbolic
// link fail (ELOOP) instead of entering what it leads to, and O_DIRECTORY makes that of
// anything but a directory fail (ENOTDIR) without opening it, so a FIFO never blocks.
#include "platform/dir_handle.h"

#include "platform/paths.h"
#include "platform/system_error.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <new>

namespace platform {

struct DirHandle {
    DIR *stream; // null while released
    DirIdentity identity;
};

namespace {

constexpr int kDirectoryFlags = O_RDONLY | O_DIRECTORY | O_CLOEXEC;

DirIdentity identity_of(const struct stat &status) {
    DirIdentity identity;
    identity.device = static_cast<unsigned long long>(status.st_dev);
    identity.index = static_cast<unsigned long long>(status.st_ino);
    return identity;
}

// The stream over the open directory `fd` (which it then owns) with its identity in
// `*identity`; null with errno, `fd` closed, when either cannot be had.
DIR *stream_of(int fd, DirIdentity *identity) {
    struct stat status {};
    DIR *stream = fstat(fd, &status) == 0 ? fdopendir(fd) : nullptr;
    if (stream == nullptr) {
        const SavedError reason;
        close(fd);
        return nullptr;
    }
    *identity = identity_of(status);
    return stream;
}

// A handle over the open directory `fd` (which it then owns); null with errno.
DirHandle *handle_of(int fd) {
    if (fd < 0) {
        return nullptr;
    }
    auto *dir = new (std::nothrow) DirHandle{nullptr, {}};
    if (dir == nullptr) {
        close(fd);
        errno = ENOMEM;
        return nullptr;
    }
    dir->stream = stream_of(fd, &dir->identity);
    if (dir->stream == nullptr) {
        const SavedError reason;
        delete dir;
        return nullptr;
    }
    return dir;
}

EntryKind kind_of(unsigned char type) {
    switch (type) {
    case DT_DIR:
        return EntryKind::directory;
    case DT_LNK:
        return EntryKind::link;
    case DT_UNKNOWN:
        return EntryKind::unknown;
    default:
        return EntryKind::other;
    }
}

// Whether the entry `name` of the directory `fd` is a symbolic link; errno unchanged.
bool is_link(int fd, const char *name) {
    const SavedError reason;
    struct stat status {};
    return fstatat(fd, name, &status, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(status.st_mode);
}

bool is_dot_entry(const char *name) {
    return std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0;
}

} // namespace

DirHandle *dir_handle_open(const char *path) {
    const std::string native = native_path(path);
    return handle_of(open(native.c_str(), kDirectoryFlags));
}

DirHandle *dir_handle_open_below(DirHandle *parent, const char *name) {
    if (parent == nullptr || parent->stream == nullptr || name == nullptr) {
        errno = EBADF;
        return nullptr;
    }
    const int fd = openat(dirfd(parent->stream), name, kDirectoryFlags | O_NOFOLLOW);
    if (fd < 0 && errno == ENOTDIR && is_link(dirfd(parent->stream), name)) {
        errno = ELOOP; // Linux says ENOTDIR for a link when O_DIRECTORY is asked too
    }
    return handle_of(fd);
}

DirIdentity dir_handle_identity(const DirHandle *dir) {
    return dir != nullptr ? dir->identity : DirIdentity{};
}

bool dir_handle_read(DirHandle *dir, std::vector<DirEntryName> *entries) {
    if (dir == nullptr || dir->stream == nullptr) {
        errno = EBADF;
        return false;
    }
    const std::size_t before = entries->size();
    rewinddir(dir->stream);
    for (;;) {
        errno = 0; // readdir leaves it alone at the end of the listing
        const dirent *entry = readdir(dir->stream);
        if (entry == nullptr) {
            break;
        }
        if (!is_dot_entry(entry->d_name)) {
            entries->push_back(DirEntryName{entry->d_name, kind_of(entry->d_type)});
        }
    }
    if (errno != 0) {
        entries->resize(before);
        return false;
    }
    return true;
}

bool dir_handle_status(DirHandle *dir, const char *name, bool follow, bool *directory,
                       DirIdentity *identity) {
    if (dir == nullptr || dir->stream == nullptr || name == nullptr) {
        errno = EBADF;
        return false;
    }
    struct stat status {};
    if (fstatat(dirfd(dir->stream), name, &status, AT_SYMLINK_NOFOLLOW) != 0) {
        return false;
    }
    *directory = S_ISDIR(status.st_mode);
    if (follow && S_ISLNK(status.st_mode) && fstatat(dirfd(dir->stream), name, &status, 0) != 0) {
        return false;
    }
    *identity = identity_of(status);
    return true;
}

void dir_handle_release(DirHandle *dir) {
    if (dir != nullptr && dir->stream != nullptr) {
        closedir(dir->stream);
        dir->stream = nullptr;
    }
}

bool dir_handle_resume(DirHandle *dir, DirHandle *child) {
    if (dir == nullptr || child == nullptr || child->stream == nullptr) {
        errno = EBADF;
        return false;
    }
    if (dir->stream != nullptr) {
        return true;
    }
    const int fd = openat(dirfd(child->stream), "..", kDirectoryFlags | O_NOFOLLOW);
    DirIdentity found;
    DIR *stream = fd >= 0 ? stream_of(fd, &found) : nullptr;
    if (stream == nullptr) {
        return false;
    }
    if (found.device != dir->identity.device || found.index != dir->identity.index) {
        closedir(stream);
        errno = 0;
        return false;
    }
    dir->stream = stream;
    return true;
}

void dir_handle_close(DirHandle *dir) {
    if (dir != nullptr) {
        const SavedError reason;
        dir_handle_release(dir);
        delete dir;
    }
}

bool dir_handle_ignores_case(const DirHandle *) {
    return false;
}

} // namespace platform
