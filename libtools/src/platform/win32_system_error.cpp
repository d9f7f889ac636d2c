// SPDX-License-Identifier: MIT
// Win32 error codes as errno values, for the failures a file rewrite can meet. The
// table follows the C runtime's own mapping (_dosmaperr) where it has one; the codes
// it lacks fall back to 0, "no reason known", rather than to a wrong one.
#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#include <windows.h>

#include "platform/system_error.h"

namespace platform {

namespace {

struct ErrorPair {
    DWORD win32;
    int error;
};

constexpr ErrorPair kErrors[] = {
    {ERROR_FILE_NOT_FOUND, ENOENT},
    {ERROR_PATH_NOT_FOUND, ENOENT},
    {ERROR_INVALID_DRIVE, ENOENT},
    {ERROR_BAD_NETPATH, ENOENT},
    {ERROR_BAD_NET_NAME, ENOENT},
    {ERROR_INVALID_NAME, ENOENT},
    {ERROR_TOO_MANY_OPEN_FILES, EMFILE},
    {ERROR_ACCESS_DENIED, EACCES},
    {ERROR_SHARING_VIOLATION, EACCES},
    {ERROR_LOCK_VIOLATION, EACCES},
    {ERROR_NETWORK_ACCESS_DENIED, EACCES},
    {ERROR_CURRENT_DIRECTORY, EACCES},
    {ERROR_WRITE_PROTECT, EROFS},
    {ERROR_INVALID_HANDLE, EBADF},
    {ERROR_NOT_ENOUGH_MEMORY, ENOMEM},
    {ERROR_OUTOFMEMORY, ENOMEM},
    {ERROR_NOT_ENOUGH_QUOTA, ENOMEM},
    {ERROR_DISK_FULL, ENOSPC},
    {ERROR_HANDLE_DISK_FULL, ENOSPC},
    {ERROR_FILE_EXISTS, EEXIST},
    {ERROR_ALREADY_EXISTS, EEXIST},
    {ERROR_NOT_SAME_DEVICE, EXDEV},
    {ERROR_DIR_NOT_EMPTY, ENOTEMPTY},
    {ERROR_DIRECTORY, ENOTDIR},
    {ERROR_FILENAME_EXCED_RANGE, ENAMETOOLONG},
    {ERROR_BUFFER_OVERFLOW, ENAMETOOLONG},
    {ERROR_BROKEN_PIPE, EPIPE},
    {ERROR_NO_DATA, EPIPE},
    {ERROR_NOT_READY, EIO},
    {ERROR_CRC, EIO},
    {ERROR_SEEK, EIO},
    {ERROR_SECTOR_NOT_FOUND, EIO},
    {ERROR_WRITE_FAULT, EIO},
    {ERROR_READ_FAULT, EIO},
    {ERROR_GEN_FAILURE, EIO},
    {ERROR_IO_DEVICE, EIO},
    {ERROR_NOT_SUPPORTED, ENOSYS},
    {ERROR_INVALID_PARAMETER, EINVAL},
};

} // namespace

void keep_system_error() {
    const DWORD code = GetLastError();
    int error = 0;
    for (const ErrorPair &pair : kErrors) {
        if (pair.win32 == code) {
            error = pair.error;
            break;
        }
    }
    errno = error;
}

} // namespace platform
