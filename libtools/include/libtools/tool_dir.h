/* SPDX-License-Identifier: MIT */
/* tool_dir: sequential access to the entries of one directory.
 *
 * Life cycle: tool_opendir creates a ToolDir, tool_readdir returns its entries one
 * by one, tool_closedir ends the search and releases the handle. Entries come in
 * the order in which the platform lists them, "." and ".." included, directories
 * and files alike; nothing is sorted or filtered. On a volume that searches names
 * without regard to case, names are returned in lower case; elsewhere as stored.
 *
 * Every entry read so far is kept in the handle, so tool_rewinddir and
 * tool_seekdir move among them without asking the platform again. A position is a
 * byte offset: the k-th entry (counting from 0) lies at k * 320.
 *
 * Paths use the system's syntax ("/" separates on POSIX, where a backslash is part
 * of a name; backslash or "/" on Windows). A path, its absolute form, or that form
 * with two characters added, that does not fit the system's limit (terminator
 * included) is refused: PATH_MAX bytes on POSIX, 32767 characters on Windows, where
 * a path of 260 characters (MAX_PATH) or more, and one written in the extended-length
 * form ("\\\\?\\C:\\data"), is listed through that form. Names are UTF-8 on both
 * systems. Entry names longer than 275 bytes are
 * skipped.
 *
 * The handle is not tracked memory (it does not count in tool_memory_live_blocks);
 * it is released only by tool_closedir. When the handle cannot grow to keep one
 * more entry, reading ends there as if the directory had no more entries.
 *
 * Reasons: tool_opendir gives null with errno the system's reason when `path` has
 * no status (ENOENT), ENOTDIR when it is no directory, ENOMEM when the handle cannot
 * be had; a path too long for the system's limit gives null without a reason of its
 * own. A directory that exists but cannot be listed opens and reads no entries:
 * tool_can_list_directory (tool_sys_io.h) tells why. The end of the entries and a
 * failed read look alike.
 *
 * Threads: a handle belongs to one thread at a time; different handles may be used
 * in different threads at once.
 */
#ifndef LIBTOOLS_TOOL_DIR_H
#define LIBTOOLS_TOOL_DIR_H

#ifdef __cplusplus
extern "C" {
#endif

/// The longest entry name a ToolDirEntry holds, without its terminator.
#define TOOL_DIR_NAME_MAX 275

typedef struct ToolDirEntry {
    int reserved;                     /* always 0 */
    int name_length;                  /* bytes of name, without the terminator */
    char name[TOOL_DIR_NAME_MAX + 1]; /* zero-terminated entry name */
} ToolDirEntry;

/// The scan handle; its contents are private to the scan.
typedef struct ToolDir ToolDir;

/// A new scan of the directory `path`; null when the path is null, does not name an
/// existing directory, is too long, or the handle cannot be allocated.
ToolDir *tool_opendir(const char *path);

/// The next entry, held in the handle and overwritten by the next call; null at the end
/// of the directory or for a null handle.
ToolDirEntry *tool_readdir(ToolDir *dir);

/// Ends the search and releases the handle. 0 when the platform closed the search or
/// there was none to close; -1 when closing failed (the handle is released all the same)
/// or for a null handle.
int tool_closedir(ToolDir *dir);

/// Makes the next read return the first entry again. A null handle is ignored.
void tool_rewinddir(ToolDir *dir);

/// The position of the next entry to read (k * 320 for the k-th); -1 for a null handle.
long tool_telldir(ToolDir *dir);

/// Moves to `position` cut down to a multiple of 320, but only to an entry already
/// fetched; any other position, and a null handle, change nothing.
void tool_seekdir(ToolDir *dir, long position);

#ifdef __cplusplus
}
#endif

#endif
