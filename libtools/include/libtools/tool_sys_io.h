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

/* ---- Streams ----------------------------------------------------------------
 *
 * The toolkit's entry points over the zfile wrapper (zfile.h): tool_fopen adds
 * a default mode, tool_fclose clears the caller's variable, and tool_fgetc and
 * tool_ungetc share one process-wide push-back slot. The other operations pass
 * their arguments to the zfile operation of the same purpose and return its
 * result unchanged, so they keep stdio's and zlib's conventions (see zfile.h).
 *
 * Push-back: the slot holds one character and the stream it was pushed back for.
 * Only tool_fgetc looks at it; tool_fread, tool_fgets, tool_fseek and tool_ftell
 * ignore a pending character. A character pushed back for one stream waits
 * while other streams are read; a new tool_ungetc replaces it, whatever stream
 * it was for; closing its stream with tool_fclose discards it.
 *
 * Reading to the end: tool_fgetc gives -1 both at the end and on damage. Ask
 * tool_ferror afterwards: 0 means the input was read whole; non-zero means a
 * damaged or truncated gzip file or a device error.
 */

/// Opens `path` through zfile_open; a null mode means "r". Null on failure and for
/// a null path.
ToolStream tool_fopen(const char *path, const char *mode);

/// Closes `*stream`, sets `*stream` to null whatever the outcome and discards a
/// character pushed back for it. 1 when closed without error, else 0; 0 and no
/// effect when `stream` or `*stream` is null.
int tool_fclose(ToolStream *stream);

/// zfile_error: 0 when the stream met no error, non-zero after damage or a device
/// error (a negative zlib code for a compressed stream); -1 for null.
int tool_ferror(ToolStream stream);

/// zfile_flush: 0 on success, EOF or a negative zlib code on failure; 0 for null.
int tool_fflush(ToolStream stream);

/// zfile_read: whole items read (plain) or bytes read (compressed, -1 on error);
/// 0 for null.
int tool_fread(void *buffer, int size, int count, ToolStream stream);

/// zfile_write: whole items written (plain) or bytes taken (compressed); 0 for null.
int tool_fwrite(const void *data, int size, int count, ToolStream stream);

/// zfile_seek: 0 (plain) or the new position (compressed) on success; non-zero or
/// -1 on failure; -1 for null.
long tool_fseek(ToolStream stream, long offset, int origin);

/// zfile_tell: the current position, -1 on failure and for null.
long tool_ftell(ToolStream stream);

/// zfile_gets: `buffer` holding the next line (with its newline) of at most
/// size - 1 bytes, or null at the end, on error and for null arguments.
char *tool_fgets(char *buffer, int size, ToolStream stream);

/// The character pushed back for `stream` if there is one (emptying the slot),
/// else the next byte as 0 to 255; -1 at the end, on error and for a null stream
/// with nothing pushed back for it.
int tool_fgetc(ToolStream stream);

/// Stores `c` for `stream` in the push-back slot, replacing what it held, and
/// returns `c`. Nothing reaches the stream; any handle, null included, is taken.
/// Pushing back -1 leaves the slot empty.
int tool_ungetc(int c, ToolStream stream);

/// zfile_vprintf: formats (cut at 4095 characters) and writes the text; always 0,
/// also for a null stream or format (nothing is written then).
int tool_fprintf(ToolStream stream, const char *format, ...);

/* ---- Line reader ---------------------------------------------------------------
 *
 * tool_read_line returns the next logical line of a stream as a new heap string
 * without its line end ("\n" or "\r\n"; a lone "\r" is text), with the comment
 * kinds named in `options` removed:
 *   TOOL_STRIP_BLOCK_COMMENTS  from "slash star" to the matching "star slash";
 *                              newlines inside do not end the line, and openers of
 *                              any enabled kind nest inside;
 *   TOOL_STRIP_LINE_COMMENTS   from "//" through the next newline;
 *   TOOL_STRIP_HASH_COMMENTS   from "#" through the next newline.
 * There is no quoting, escaping, trimming or tab handling. A line that held only
 * comments is never returned; an empty line is returned as "" when
 * `keep_empty_lines` is non-zero and skipped otherwise. A line or hash comment
 * inside a block comment ends at its newline and the block comment goes on, so
 * the block comment joins the following lines to the line. The last line is
 * returned without a line end, and when input ends inside a line or hash
 * comment the line read so far ("" with `keep_empty_lines`) comes back first.
 *
 * Each call consumes the input through the line end that closes the line and no
 * further, reading one byte at a time with tool_fgetc; it leaves nothing pushed
 * back. Nothing carries over between calls but the status flags below.
 *
 * Memory: the line comes from the tracked allocator (tag libtools/tool_sys_io),
 * 127 bytes at first and growing in steps of 127; the caller frees it with
 * tool_free (or tool_strfree). A passed `buffer` is taken over: it is truncated,
 * filled or released, and only the returned pointer may be used afterwards.
 *
 * Null results and status: null means end of input, or that memory ran out
 * (then the reader stopped in the middle of a line and released everything it
 * held, including `buffer`). The status flags tell which, and whether the input
 * held a zero byte (such a byte is kept in the line, so the caller's view of the
 * line ends there, but reading goes on and later lines are delivered). The flags
 * gather over calls until tool_read_line_clear_status; a caller clears them
 * before the first line of a stream and asks after the last. Also ask
 * tool_ferror after the last line: a damaged file also ends in null.
 */

#define TOOL_STRIP_BLOCK_COMMENTS 1
#define TOOL_STRIP_LINE_COMMENTS 2
#define TOOL_STRIP_HASH_COMMENTS 4

/// Status flag: a line could not be grown, so reading stopped and null came back.
#define TOOL_READ_LINE_OUT_OF_MEMORY 1
/// Status flag: a zero byte was read (the input is not a text file).
#define TOOL_READ_LINE_ZERO_BYTE 2

/// The next line as a heap string, or null at end of input or when memory ran out
/// (see tool_read_line_status). A null stream reads nothing and gives `buffer`,
/// truncated to "", or null.
char *tool_read_line(ToolStream stream, char *buffer, int options, int keep_empty_lines);

/// The status flags (TOOL_READ_LINE_...) gathered since the last clear; 0 when
/// nothing was met.
int tool_read_line_status(void);

/// Resets the status flags to 0.
void tool_read_line_clear_status(void);

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
