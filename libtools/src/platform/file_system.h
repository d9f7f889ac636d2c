// SPDX-License-Identifier: MIT
// The file-system calls of the toolkit's file and directory operations: access
// and status tests, directory creation and removal, file removal and renaming,
// absolute paths and the text of a time.
//
// Paths are toolkit paths; each function turns them into the system's form
// (native_path) before they reach the system.
#ifndef LIBTOOLS_PLATFORM_FILE_SYSTEM_H
#define LIBTOOLS_PLATFORM_FILE_SYSTEM_H

#include <string>

namespace platform {

/// Mode bits of FsStatus, the same on every system.
constexpr unsigned kFsDirectory = 0x4000;
constexpr unsigned kFsRegular = 0x8000;
constexpr unsigned kFsOwnerRead = 0x100;
constexpr unsigned kFsOwnerWrite = 0x80;
constexpr unsigned kFsOwnerExecute = 0x40;

/// The status of a file, symbolic links followed.
struct FsStatus {
    unsigned mode = 0;   // kFs* bits: the file's type and its owner's permissions
    long long size = 0;  // bytes
    long long mtime = 0; // last modification, seconds since 1970-01-01 UTC
};

/// Whether something exists at `path` (links followed: a dangling link does not count).
bool fs_exists(const char *path);

/// Whether the running process may create a file in the directory `directory`, by its
/// own rights (not the owner's bits): write and search permission on POSIX, the
/// directory's access control list on Windows. False when it is no directory; errno
/// then tells why (ENOTDIR, EACCES, or the system's reason it has no status).
bool fs_may_create_in(const char *directory);

/// Fills `status` for the file at `path`; false when it has no status.
bool fs_status(const char *path, FsStatus *status);

/// Whether `path` itself is a symbolic link (or, on Windows, any reparse point).
bool fs_is_link(const char *path);

/// Creates one directory; false when it exists already or cannot be created.
bool fs_make_directory(const char *path);

/// Removes an empty directory; false otherwise.
bool fs_remove_directory(const char *path);

/// Removes a file (never a directory); a symbolic link is removed as a link.
bool fs_remove_file(const char *path);

/// Removes the link `path` itself, whatever it points to; its target stays.
bool fs_remove_link(const char *path);

/// Gives the file `from` the name `to`, replacing a file of that name in one step, so
/// that a failure leaves both as they were.
bool fs_rename(const char *from, const char *to);

/// Creates the file `path`, which must not exist yet, as fopen with `mode` ("w..." or
/// "a...") would, and closes it. An existing file or a dangling link at `path` is never
/// touched: the creation is exclusive. False for any other mode or when it fails.
bool fs_create_file(const char *path, const char *mode);

/// The absolute form of `path` in the system's syntax, formed without asking whether
/// the file exists; false when it cannot be formed.
bool fs_full_path(const char *path, std::string *full);

/// The text ctime gives for `time` (seconds since 1970-01-01 UTC, local time zone),
/// "\n" included; false when the system cannot express that time.
bool fs_time_text(long long time, std::string *text);

} // namespace platform

#endif
