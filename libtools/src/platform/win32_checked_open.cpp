// SPDX-License-Identifier: MIT
// Windows has no FIFO a file name can lead to, but a name can lead to a device (NUL,
// CON) or, after a move, to another file: the open handle tells both.
#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#include <windows.h>

#include "platform/checked_open.h"
#include "platform/system_error.h"
#include "platform/wide_names.h"

#include <cerrno>
#include <fcntl.h>
#include <io.h>

namespace platform {

namespace {

// Whether `path` names a directory: such a name opens only with backup semantics, so
// its open fails as access denied.
bool is_directory(const std::string &path) {
    const DWORD attributes = GetFileAttributesW(system_path_of(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// `update`: the file is opened to be rewritten, which a read-only file refuses.
OpenCheck check_open(HANDLE handle, const FileIdentity *expected, bool update) {
    if (GetFileType(handle) != FILE_TYPE_DISK) {
        return OpenCheck::not_regular;
    }
    BY_HANDLE_FILE_INFORMATION information{};
    if (!GetFileInformationByHandle(handle, &information)) {
        keep_system_error();
        return OpenCheck::cannot_open;
    }
    const unsigned long long index =
        (static_cast<unsigned long long>(information.nFileIndexHigh) << 32) |
        information.nFileIndexLow;
    if (expected != nullptr &&
        (information.dwVolumeSerialNumber != expected->device || index != expected->index)) {
        errno = 0; // the name leads to another file now: no system error
        return OpenCheck::other_file;
    }
    // The system refuses to write a read-only file, but a process with the right to
    // override it (or Wine, whose read-only attribute is a permission bit that the
    // superuser passes) may be let through: the attribute decides.
    if (update && (information.dwFileAttributes & FILE_ATTRIBUTE_READONLY) != 0) {
        errno = EACCES;
        return OpenCheck::cannot_open;
    }
    return OpenCheck::opened;
}

} // namespace

int open_checked(const std::string &path, bool update, const FileIdentity *expected,
                 OpenCheck *check) {
    *check = OpenCheck::cannot_open;
    // A directory does not open without FILE_FLAG_BACKUP_SEMANTICS: cannot_open.
    const DWORD access = GENERIC_READ | (update ? GENERIC_WRITE : 0);
    const HANDLE handle = CreateFileW(system_path_of(path).c_str(), access,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        keep_system_error();
        if (errno == EACCES && is_directory(path)) {
            errno = EISDIR;
        }
        return -1;
    }
    *check = check_open(handle, expected, update);
    const int fd = *check == OpenCheck::opened
                       ? _open_osfhandle(reinterpret_cast<intptr_t>(handle),
                                         (update ? _O_RDWR : _O_RDONLY) | _O_BINARY)
                       : -1;
    if (fd < 0) {
        const SavedError reason;
        CloseHandle(handle);
        *check = *check == OpenCheck::opened ? OpenCheck::cannot_open : *check;
    }
    return fd;
}

long read_start(int fd, unsigned char *buffer, std::size_t size) {
    if (_lseeki64(fd, 0, SEEK_SET) != 0) {
        return -1;
    }
    const int got = _read(fd, buffer, static_cast<unsigned>(size));
    return _lseeki64(fd, 0, SEEK_SET) == 0 ? got : -1;
}

std::FILE *stream_of_descriptor(int fd, const char *mode) {
    std::FILE *stream = _fdopen(fd, mode);
    if (stream == nullptr) {
        const SavedError reason;
        _close(fd);
    }
    return stream;
}

void close_descriptor(int fd) {
    _close(fd);
}

} // namespace platform
