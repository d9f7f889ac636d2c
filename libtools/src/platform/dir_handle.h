// SPDX-License-Identifier: MIT
// Directories entered through handles: a subdirectory is opened relative to the open
// handle of its parent (POSIX: openat; Windows: the parent's extended-length path while
// the parent's handle pins it), never through a symbolic link or other reparse point,
// so the cost of an open does not grow with the depth and no path limit applies below
// the first directory.
#ifndef LIBTOOLS_PLATFORM_DIR_HANDLE_H
#define LIBTOOLS_PLATFORM_DIR_HANDLE_H

#include <string>
#include <vector>

namespace platform {

/// One open directory of a walk.
struct DirHandle;

/// What a listing tells of an entry before its status is asked.
enum class EntryKind {
    unknown,   // the listing does not say
    directory, // a directory itself
    link,      // a symbolic link or other reparse point
    other,     // anything else (a regular file, a device)
};

struct DirEntryName {
    std::string name; // UTF-8
    EntryKind kind;
};

/// What identifies a file or directory: device and inode, volume serial and file index.
struct DirIdentity {
    unsigned long long device = 0;
    unsigned long long index = 0;
};

/// Opens the directory `path` (toolkit syntax; links followed, as for any path a user
/// names). Null with errno when it cannot be opened (ENOTDIR for no directory).
DirHandle *dir_handle_open(const char *path);

/// Opens the subdirectory `name` of the open directory `parent` without following a
/// link: a link or reparse point gives null with errno ELOOP, anything but a directory
/// ENOTDIR. Null with errno also when `parent` is released or the open fails.
DirHandle *dir_handle_open_below(DirHandle *parent, const char *name);

/// The identity of the open (or released) directory `dir`.
DirIdentity dir_handle_identity(const DirHandle *dir);

/// Every entry of `dir` but "." and "..", in the system's order, appended to `entries`;
/// false with errno when the directory cannot be read (nothing appended then). Throws
/// std::bad_alloc.
bool dir_handle_read(DirHandle *dir, std::vector<DirEntryName> *entries);

/// The status of the entry `name` of `dir`: whether it is a directory itself (not a
/// link to one) and its identity; with `follow`, a link's identity is that of what it
/// leads to (`*directory` still tells the entry itself). False with errno when the
/// status cannot be had.
bool dir_handle_status(DirHandle *dir, const char *name, bool follow, bool *directory,
                       DirIdentity *identity);

/// Closes the system's handle of `dir` but keeps what dir_handle_resume needs: a walk
/// deeper than the handles it may hold releases the directories far above it.
void dir_handle_release(DirHandle *dir);

/// Opens the released `dir` again as the directory that holds its open subdirectory
/// `child` now (POSIX: the child's ".."; Windows: the parent of the child's current path),
/// without following a link; false with errno (0 when a directory was found there but it
/// is not `dir`: `child` was moved elsewhere).
bool dir_handle_resume(DirHandle *dir, DirHandle *child);

/// Closes `dir` (released or not) and frees it. Null does nothing.
void dir_handle_close(DirHandle *dir);

/// Whether the volume of `dir` searches names without regard to case (never on POSIX),
/// so that names are reported lowered as the directory scan reports them.
bool dir_handle_ignores_case(const DirHandle *dir);

} // namespace platform

#endif
