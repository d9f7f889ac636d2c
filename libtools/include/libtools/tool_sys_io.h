/* tool_sys_io: streams, the line reader, pattern expansion, file and
 * directory operations, and the safe replacement of a file.
 *
 * Every string this module returns is a tracked heap string (tool_memory.h)
 * that the caller releases with tool_strfree. Null arguments are never faults.
 */
#ifndef LIBTOOLS_TOOL_SYS_IO_H
#define LIBTOOLS_TOOL_SYS_IO_H

#include "libtools/tool_dstring.h"
#include "libtools/zfile.h"

#ifdef __cplusplus
extern "C" {
#endif

/* ---- Streams ---------------------------------------------------------------- */

ToolStream tool_fopen(const char *path, const char *mode);
int tool_fclose(ToolStream *stream);
int tool_ferror(ToolStream stream);
int tool_fflush(ToolStream stream);
int tool_fread(void *buffer, int size, int count, ToolStream stream);
int tool_fwrite(const void *data, int size, int count, ToolStream stream);
long tool_fseek(ToolStream stream, long offset, int origin);
long tool_ftell(ToolStream stream);
char *tool_fgets(char *buffer, int size, ToolStream stream);
int tool_fgetc(ToolStream stream);
int tool_ungetc(int c, ToolStream stream);
int tool_fprintf(ToolStream stream, const char *format, ...);

/* ---- Line reader -------------------------------------------------------------- */

#define TOOL_STRIP_BLOCK_COMMENTS 1
#define TOOL_STRIP_LINE_COMMENTS 2
#define TOOL_STRIP_HASH_COMMENTS 4

char *tool_read_line(ToolStream stream, char *buffer, int options, int keep_empty_lines);

/* ---- Pattern expansion ----------------------------------------------------------
 *
 * Names are bare entry names of one directory as its scan reports them (tool_dir.h),
 * in the order of the listing, "." and ".." included when the pattern matches them;
 * they are matched with tool_strmatch and case folding. A directory whose path
 * contains "rpc_socket" is never scanned. Nothing here prints a message: a directory
 * that does not exist or is not a directory just gives no names.
 */

/// A new string: `directory` (null taken as ""), a backslash unless it already ends in one
/// (a trailing "/" does not count), then `name` unless null: ("dir", "a.txt") gives
/// "dir\\a.txt", ("dir/", "a.txt") gives "dir/\\a.txt", (".", null) gives ".\\". Null when
/// memory runs out (with the heap strings' message).
char *tool_join_path(const char *directory, const char *name);
/// Releases what `list` held, then fills it with copies of the names in `directory` that
/// match `pattern` (null matches every name). Returns the list's count: 0 when nothing
/// matched or the directory cannot be scanned, and 0 with an empty list when the list could
/// not grow. A null list gives 0; a null directory leaves the list as it was and returns
/// its count.
int tool_expand_pattern(StringList *list, const char *pattern, const char *directory);
/// The number of entries in `directory` other than "." and ".." whose names match
/// `pattern` (null matches every name); 0 for a null directory or one that cannot be
/// scanned.
int tool_count_matches(const char *pattern, const char *directory);

/* ---- Safe replacement of a file ---------------------------------------------------
 *
 * Rewriting a file so that at every instant it holds either its complete old or its
 * complete new content:
 *
 *     ToolReplacement r = {0};
 *     if (tool_replace_open(&r, path)) {
 *         ... tool_replace_write(&r, text, length) for all of the new content ...
 *         result = tool_replace_commit(&r);     // or give up: nothing is changed
 *     }
 *     tool_replace_abandon(&r);                 // always; releases the record
 *
 * The new content goes to a new, exclusively created hidden file beside the target
 * (symbolic links are followed to the final target, which is what gets replaced),
 * with the target's permission bits, owner and group. Commit flushes and syncs it and
 * renames it over the target. When a rename would lose something (the target has
 * several hard links, or its owner cannot be kept), no file can be created beside it,
 * or the directory refuses the rename, commit copies the new content into the target
 * in place instead. An interrupt or termination signal while a replacement is open
 * removes its file.
 */

/// What identifies a file however it is reached (name, link or hard link).
typedef struct ToolFileIdentity {
    unsigned long long device;
    unsigned long long index;
} ToolFileIdentity;

typedef struct ToolReplacement {
    char *target;              /* the final file the path leads to (system syntax) */
    char *temporary;           /* the file the new content is written to */
    void *stream;              /* open stream of `temporary`, internal */
    ToolFileIdentity identity; /* of the target when the replacement was opened */
    int in_place;              /* commit copies into the target instead of renaming */
    int failed;                /* a write failed; commit will refuse */
    int kept;                  /* commit failed after starting to copy: `temporary` stays */
} ToolReplacement;

enum {
    TOOL_REPLACE_FAILED = 0, /* nothing changed: the target holds its old content */
    TOOL_REPLACE_DONE = 1,   /* the target holds the new content */
    TOOL_REPLACE_KEPT = -1   /* the copy into the target failed; the new content stays in
                                `temporary`, which is not removed */
};

/// 1 and `identity` filled when `path` (links followed) has a status, else 0.
int tool_file_identity(const char *path, ToolFileIdentity *identity);

/// Starts the replacement of the file `path` leads to. 1 on success; 0 when the file
/// cannot be resolved or no replacement file can be created (nothing is left behind).
int tool_replace_open(ToolReplacement *replacement, const char *path);

/// Appends `size` bytes of `data` (text: "\n" becomes the system's line end).
/// 1 on success; 0 when the write failed, after which commit refuses.
int tool_replace_write(ToolReplacement *replacement, const char *data, unsigned size);

/// Puts the new content in place of the old; see TOOL_REPLACE_DONE and its siblings.
int tool_replace_commit(ToolReplacement *replacement);

/// Closes and removes the replacement file unless commit kept it, and releases the
/// record's strings; the record is all zero afterwards. Null is ignored.
void tool_replace_abandon(ToolReplacement *replacement);

/// Test support: make the n-th write (operation 0), sync (1), close (2) or rename (3)
/// of a replacement from now fail once; 0 turns it off.
void tool_replace_fail_nth(int operation, long n);

#ifdef __cplusplus
}
#endif

#endif
