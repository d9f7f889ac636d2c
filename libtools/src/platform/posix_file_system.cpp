// SPDX-License-Identifier: MIT
// File-system calls over POSIX: access, stat, lstat, mkdir, rmdir, unlink,
// rename and an exclusive open, in the system's path syntax.
#include "platform/file_system.h"

#include "platform/paths.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <new>
#include <system_error>

namespace platform {

namespace {

// The system's type and owner bits in the toolkit's mode word.
unsigned toolkit_mode(mode_t mode) {
    unsigned result = 0;
    result |= S_ISDIR(mode) ? kFsDirectory : 0u;
    result |= S_ISREG(mode) ? kFsRegular : 0u;
    result |= (mode & S_IRUSR) != 0 ? kFsOwnerRead : 0u;
    result |= (mode & S_IWUSR) != 0 ? kFsOwnerWrite : 0u;
    result |= (mode & S_IXUSR) != 0 ? kFsOwnerExecute : 0u;
    return result;
}

bool is_creating_mode(const char *mode) {
    return mode != nullptr && (mode[0] == 'w' || mode[0] == 'a');
}

} // namespace

bool fs_exists(const char *path) {
    return access(native_path(path).c_str(), F_OK) == 0;
}

bool fs_may_create_in(const char *directory) {
    struct stat record {};
    const std::string path = native_path(directory);
    if (stat(path.c_str(), &record) != 0) {
        return false;
    }
    if (!S_ISDIR(record.st_mode)) {
        errno = ENOTDIR;
        return false;
    }
    return access(path.c_str(), W_OK | X_OK) == 0;
}

bool fs_status(const char *path, FsStatus *status) {
    struct stat record {};
    if (stat(native_path(path).c_str(), &record) != 0) {
        return false;
    }
    status->mode = toolkit_mode(record.st_mode);
    status->size = static_cast<long long>(record.st_size);
    status->mtime = static_cast<long long>(record.st_mtime);
    return true;
}

bool fs_is_link(const char *path) {
    struct stat record {};
    return lstat(native_path(path).c_str(), &record) == 0 && S_ISLNK(record.st_mode);
}

bool fs_make_directory(const char *path) {
    return mkdir(native_path(path).c_str(), 0777) == 0;
}

bool fs_remove_directory(const char *path) {
    return rmdir(native_path(path).c_str()) == 0;
}

bool fs_remove_file(const char *path) {
    return unlink(native_path(path).c_str()) == 0;
}

bool fs_remove_link(const char *path) {
    return fs_remove_file(path);
}

bool fs_rename(const char *from, const char *to) {
    return std::rename(native_path(from).c_str(), native_path(to).c_str()) == 0;
}

bool fs_create_file(const char *path, const char *mode) {
    if (!is_creating_mode(mode)) {
        return false;
    }
    const int fd = open(native_path(path).c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    return fd >= 0 && close(fd) == 0;
}

// Lexical, like _fullpath: the file need not exist (realpath would fail for it), and a
// ".." takes away the name before it.
bool fs_full_path(const char *path, std::string *full) {
    const std::string native = native_path(path);
    if (native.empty()) {
        return false; // "" would stand for the current directory
    }
    try {
        std::error_code error;
        const std::filesystem::path absolute = std::filesystem::absolute(native, error);
        if (error || absolute.empty()) {
            return false;
        }
        *full = absolute.lexically_normal().string();
        return true;
    } catch (const std::bad_alloc &) {
        return false;
    }
}

// The format of ctime, written here because the C library's may refuse or cut years
// past 9999 differently from system to system.
bool fs_time_text(long long time, std::string *text) {
    static const char days[7][4] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static const char months[12][4] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                       "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    const auto seconds = static_cast<std::time_t>(time);
    std::tm local{};
    if (static_cast<long long>(seconds) != time || localtime_r(&seconds, &local) == nullptr ||
        local.tm_wday < 0 || local.tm_wday > 6 || local.tm_mon < 0 || local.tm_mon > 11) {
        return false;
    }
    char buffer[64];
    const int length =
        std::snprintf(buffer, sizeof buffer, "%.3s %.3s%3d %.2d:%.2d:%.2d %lld\n",
                      days[local.tm_wday], months[local.tm_mon], local.tm_mday, local.tm_hour,
                      local.tm_min, local.tm_sec, static_cast<long long>(local.tm_year) + 1900);
    if (length < 0 || static_cast<std::size_t>(length) >= sizeof buffer) {
        return false;
    }
    text->assign(buffer, static_cast<std::size_t>(length));
    return true;
}

} // namespace platform
