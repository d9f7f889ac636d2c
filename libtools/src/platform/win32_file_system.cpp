// SPDX-License-Identifier: MIT
// File-system calls over the Windows C runtime (_waccess, _wstat64, _wmkdir, _wrmdir,
// _wfullpath, _ctime64_s) and the Win32 calls that see links and replace files. All
// take wide names: paths are UTF-8 in the toolkit and UTF-16 here.
#include "platform/file_system.h"

#include "platform/paths.h"
#include "platform/system_error.h"
#include "platform/wide_names.h"

#define WIN32_LEAN_AND_MEAN
#define NOMINMAX 1 // as the C++ library defines it
#include <windows.h>

#include <direct.h>
#include <fcntl.h>
#include <io.h>
#include <share.h>
#include <sys/stat.h>
#include <sys/types.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <vector>

namespace platform {

namespace {

// The runtime's type and owner bits in the toolkit's mode word.
unsigned toolkit_mode(unsigned short mode) {
    unsigned result = 0;
    result |= (mode & _S_IFMT) == _S_IFDIR ? kFsDirectory : 0u;
    result |= (mode & _S_IFMT) == _S_IFREG ? kFsRegular : 0u;
    result |= (mode & _S_IREAD) != 0 ? kFsOwnerRead : 0u;
    result |= (mode & _S_IWRITE) != 0 ? kFsOwnerWrite : 0u;
    result |= (mode & _S_IEXEC) != 0 ? kFsOwnerExecute : 0u;
    return result;
}

bool is_creating_mode(const char *mode) {
    return mode != nullptr && (mode[0] == 'w' || mode[0] == 'a');
}

// The last time the runtime's time functions accept: 3000-12-31 23:59:59 UTC.
constexpr long long kLastTime = 32535215999LL;

// _stat64 fails for a directory named with a trailing separator ("dir\\"), which POSIX
// accepts; the separators go, except the one that makes a root ("\\", "C:\\").
std::string without_trailing_separators(std::string path) {
    while (path.size() > 1 && (path.back() == '\\' || path.back() == '/') &&
           path[path.size() - 2] != ':') {
        path.pop_back();
    }
    return path;
}

// The last write time of the file `path` leads to, in seconds since 1970, read
// through a handle: _stat64 of some runtimes (Wine's msvcrt) reports a time after
// 2038 as an earlier one. False when the file cannot be opened for its attributes.
bool last_write_time(const std::string &path, long long *seconds) {
    const HANDLE file = CreateFileW(system_path_of(path).c_str(), FILE_READ_ATTRIBUTES,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    FILETIME written{};
    const bool known = GetFileTime(file, nullptr, nullptr, &written) != 0;
    CloseHandle(file);
    if (!known) {
        return false;
    }
    // FILETIME counts 100-nanosecond ticks since 1601-01-01 UTC.
    constexpr unsigned long long kTicksPerSecond = 10000000ULL;
    constexpr long long kSecondsFrom1601To1970 = 11644473600LL;
    ULARGE_INTEGER ticks{};
    ticks.LowPart = written.dwLowDateTime;
    ticks.HighPart = written.dwHighDateTime;
    *seconds = static_cast<long long>(ticks.QuadPart / kTicksPerSecond) - kSecondsFrom1601To1970;
    return true;
}

DWORD attributes_of(const std::string &path) {
    return GetFileAttributesW(system_path_of(path).c_str());
}

// The security descriptor of `path` (owner, group and access list), or empty.
std::vector<char> security_of(const std::wstring &path) {
    const SECURITY_INFORMATION parts =
        OWNER_SECURITY_INFORMATION | GROUP_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION;
    DWORD size = 0;
    GetFileSecurityW(path.c_str(), parts, nullptr, 0, &size);
    std::vector<char> descriptor(size);
    if (size == 0 || !GetFileSecurityW(path.c_str(), parts, descriptor.data(), size, &size)) {
        descriptor.clear();
    }
    return descriptor;
}

// Whether the process's token is granted FILE_ADD_FILE by `descriptor`. AccessCheck
// wants an impersonation token, so the process token is duplicated as one.
bool grants_add_file(std::vector<char> &descriptor) {
    HANDLE process = nullptr;
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_DUPLICATE | TOKEN_QUERY, &process)) {
        return false;
    }
    const bool duplicated = DuplicateToken(process, SecurityImpersonation, &token) != 0;
    CloseHandle(process);
    if (!duplicated) {
        return false;
    }
    GENERIC_MAPPING mapping = {FILE_GENERIC_READ, FILE_GENERIC_WRITE, FILE_GENERIC_EXECUTE,
                               FILE_ALL_ACCESS};
    DWORD wanted = FILE_ADD_FILE;
    MapGenericMask(&wanted, &mapping);
    PRIVILEGE_SET privileges{};
    DWORD privileges_size = sizeof privileges;
    DWORD granted = 0;
    BOOL allowed = FALSE;
    const BOOL checked = AccessCheck(descriptor.data(), token, wanted, &mapping, &privileges,
                                     &privileges_size, &granted, &allowed);
    CloseHandle(token);
    return checked != 0 && allowed != 0;
}

} // namespace

bool fs_may_create_in(const char *directory) {
    const std::string native = without_trailing_separators(native_path(directory));
    const DWORD attributes = attributes_of(native);
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        keep_system_error();
        return false;
    }
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
        errno = ENOTDIR;
        return false;
    }
    // The read-only attribute of a directory does not stop files being made in it; its
    // access list does. A descriptor that cannot be read leaves the answer to the
    // attempt itself.
    std::vector<char> descriptor = security_of(system_path_of(native));
    if (descriptor.empty() || grants_add_file(descriptor)) {
        return true;
    }
    errno = EACCES;
    return false;
}

bool fs_exists(const char *path) {
    return _waccess(system_path_of(native_path(path)).c_str(), 0) == 0;
}

bool fs_status(const char *path, FsStatus *status) {
    const std::string native = native_path(path);
    const std::string bare = without_trailing_separators(native);
    struct _stat64 record {};
    if (_wstat64(system_path_of(bare).c_str(), &record) != 0) {
        return false;
    }
    if (bare != native && (record.st_mode & _S_IFMT) != _S_IFDIR) {
        return false; // "file\\" names nothing, as on POSIX
    }
    status->mode = toolkit_mode(record.st_mode);
    status->size = static_cast<long long>(record.st_size);
    if (!last_write_time(bare, &status->mtime)) {
        status->mtime = static_cast<long long>(record.st_mtime);
    }
    return true;
}

bool fs_is_link(const char *path) {
    const DWORD attributes = attributes_of(native_path(path));
    return attributes != INVALID_FILE_ATTRIBUTES &&
           (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

bool fs_make_directory(const char *path) {
    return _wmkdir(system_path_of(native_path(path)).c_str()) == 0;
}

bool fs_remove_directory(const char *path) {
    return _wrmdir(system_path_of(native_path(path)).c_str()) == 0;
}

bool fs_remove_file(const char *path) {
    return _wremove(system_path_of(native_path(path)).c_str()) == 0;
}

// A link to a directory (symbolic link or junction) is itself a directory entry and
// goes with _rmdir, which removes the link and leaves its target alone.
bool fs_remove_link(const char *path) {
    const std::string native = native_path(path);
    const DWORD attributes = attributes_of(native);
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        return false;
    }
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        return _wrmdir(system_path_of(native).c_str()) == 0;
    }
    return _wremove(system_path_of(native).c_str()) == 0;
}

bool fs_rename(const char *from, const char *to) {
    // Written through: a replacement renamed to the name of its kind before it is copied
    // into its target must keep that name whatever happens to the target.
    if (MoveFileExW(system_path_of(native_path(from)).c_str(),
                    system_path_of(native_path(to)).c_str(),
                    MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) == 0) {
        keep_system_error();
        return false;
    }
    return true;
}

bool fs_create_file(const char *path, const char *mode) {
    if (!is_creating_mode(mode)) {
        return false;
    }
    int fd = -1;
    const errno_t failed =
        _wsopen_s(&fd, system_path_of(native_path(path)).c_str(),
                  _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY, _SH_DENYNO, _S_IREAD | _S_IWRITE);
    return failed == 0 && fd >= 0 && _close(fd) == 0;
}

// The absolute path as the system forms it, of any length; an extended-length path
// ("\\\\?\\C:\\...") stays in that form.
bool fs_full_path(const char *path, std::string *full) {
    const std::wstring wide = wide_of(native_path(path).c_str());
    const std::wstring formed = full_path_form(wide);
    if (formed.empty()) {
        keep_system_error();
        return false;
    }
    return to_utf8(formed.c_str(), full);
}

bool fs_time_text(long long time, std::string *text) {
    // The runtime treats an earlier or later time as an invalid parameter, which ends
    // the process instead of failing the call.
    if (time < 0 || time > kLastTime) {
        return false;
    }
    char buffer[26];
    const __time64_t seconds = time;
    if (_ctime64_s(buffer, sizeof buffer, &seconds) != 0) {
        return false;
    }
    *text = buffer;
    return true;
}

} // namespace platform
