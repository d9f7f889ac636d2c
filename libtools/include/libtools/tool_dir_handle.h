/* SPDX-License-Identifier: MIT */
/* tool_dir_handle: directories walked through the handles of their parents.
 *
 * Life cycle: tool_dirh_open opens the first directory of a walk by its path (a
 * symbolic link in that path is followed, as for any path a user names);
 * tool_dirh_open_below opens a subdirectory of an open directory relative to it, never
 * through a symbolic link or other reparse point, and only while it is still the
 * directory a listing showed; tool_dirh_read lists a directory's entries and
 * tool_dirh_status tells one entry's kind and identity; tool_dirh_close ends a handle.
 * Opening below a handle costs the same at any depth, and no path limit applies below
 * the first directory: the path a subdirectory is opened by is its own name.
 *
 * A walk deeper than the handles a process may hold releases the directories far
 * above it (tool_dirh_release) and takes them up again from an open subdirectory on
 * its way back (tool_dirh_resume), which checks that the parent found there is the
 * directory released.
 *
 * Names are UTF-8 on both systems; on a volume that searches names without regard to
 * case they are reported lowered, as the directory scan (tool_dir.h) reports them.
 *
 * Reasons: every failure leaves the system's reason in errno (ELOOP for a link met
 * where a directory was to be entered, ENOTDIR for an entry that is no directory,
 * ENOMEM for want of memory), and 0 when a directory was found but it is not the one
 * listed or released (it was replaced or moved during the walk).
 *
 * Threads: a handle belongs to one thread at a time.
 */
#ifndef LIBTOOLS_TOOL_DIR_HANDLE_H
#define LIBTOOLS_TOOL_DIR_HANDLE_H

#include "libtools/tool_dstring.h"
#include "libtools/tool_sys_io.h"

#ifdef __cplusplus
extern "C" {
#endif

/// An open directory of a walk; its contents are private.
typedef struct ToolDirHandle ToolDirHandle;

/// What a listing tells of an entry (the key of each name tool_dirh_read gives).
enum {
    TOOL_ENTRY_UNKNOWN = 0,   /* the listing does not say: ask tool_dirh_status */
    TOOL_ENTRY_DIRECTORY = 1, /* a directory itself, not a link to one */
    TOOL_ENTRY_LINK = 2,      /* a symbolic link or other reparse point */
    TOOL_ENTRY_OTHER = 3      /* anything else: a regular file, a device */
};

/// Opens the directory `path`; null with errno when it cannot be opened (ENOTDIR for an
/// existing entry that is no directory, EINVAL for null).
ToolDirHandle *tool_dirh_open(const char *path);

/// Opens the subdirectory `name` of the open directory `parent` without following a
/// link. With `listed` (the identity a listing gave), a directory found with another
/// identity is refused (errno 0). Null with errno when it cannot be opened: ELOOP for a
/// link, ENOTDIR for an entry that is no directory, EBADF for a null or released parent.
ToolDirHandle *tool_dirh_open_below(ToolDirHandle *parent, const char *name,
                                    const ToolFileIdentity *listed);

/// The identity of `dir` (held also while released); 0 for null, else 1.
int tool_dirh_identity(const ToolDirHandle *dir, ToolFileIdentity *identity);

/// Releases what `entries` held, then fills it with every entry of `dir` but "." and
/// "..", in the system's order, each keyed with its TOOL_ENTRY_* kind. Returns the
/// count, or -1 with errno when the directory cannot be read (the list is then empty).
int tool_dirh_read(ToolDirHandle *dir, KeyedStringList *entries);

/// The status of the entry `name` of `dir`: `*is_directory` 1 for a directory itself
/// (0 for a link to one) and `*identity` its identity, with `follow` that of what a link
/// leads to. 1, or 0 with errno when it cannot be had (ENOENT: the entry is gone).
int tool_dirh_status(ToolDirHandle *dir, const char *name, int follow, int *is_directory,
                     ToolFileIdentity *identity);

/// Closes the system's handle of `dir`, keeping the handle for tool_dirh_resume and
/// tool_dirh_identity. Null or released: nothing happens.
void tool_dirh_release(ToolDirHandle *dir);

/// Opens the released `dir` again as the parent of its open subdirectory `child`,
/// checking that it is the same directory. 1 (also when `dir` was not released), or 0
/// with errno: 0 when the parent found is another directory (`child` was moved).
int tool_dirh_resume(ToolDirHandle *dir, ToolDirHandle *child);

/// Closes `dir` and frees it; null does nothing.
void tool_dirh_close(ToolDirHandle *dir);

#ifdef __cplusplus
}
#endif

#endif
