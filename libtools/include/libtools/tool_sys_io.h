/* SPDX-License-Identifier: MIT */
/* tool_sys_io: streams, the line reader, pattern expansion, file and
 * directory operations, and the safe replacement of a file.
 *
 * Every string this module returns is a tracked heap string (tool_memory.h)
 * that the caller releases with tool_strfree. Null arguments are never faults.
 *
 * How a caller learns why something failed, in short (each section says more):
 * the stream operations keep stdio's and zlib's conventions, with tool_ferror
 * telling the end from a failure and errno the system's reason; the line reader
 * has status flags; the file and directory operations, the safe replacement,
 * records and backups leave the system's reason in errno (on Windows its error
 * codes turned into their errno counterparts); pattern expansion gives no reason
 * (tool_can_list_directory asks for one). Want of memory is ENOMEM throughout.
 * errno belongs to the calling thread, so a worker thread reads its own.
 *
 * Threads, in short (docs/architecture.md holds the whole contract): a worker may
 * call tool_fread, tool_fwrite and tool_ferror on a stream it was handed and
 * tool_replace_write on a replacement it was handed; the path, file and record
 * operations keep no state and may be called from any thread; tool_fopen,
 * tool_fclose, tool_fgetc, tool_ungetc and the line reader belong to the main
 * thread, and the other replacement operations to the thread that locked the
 * replacement.
 */
#ifndef LIBTOOLS_TOOL_SYS_IO_H
#define LIBTOOLS_TOOL_SYS_IO_H

#include "libtools/tool_dstring.h"
#include "libtools/zfile.h"

#include <stddef.h>
#include <stdio.h>

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
 *
 * Reasons: tool_fopen gives null with errno the system's reason for the open
 * (ENOENT for a missing file, EACCES, EISDIR for a directory on POSIX). After a
 * failed read or write, tool_ferror is non-zero; for a plain stream errno holds the
 * system's reason of the call that failed, for a compressed one tool_ferror gives
 * the zlib code (Z_DATA_ERROR for damaged data, Z_BUF_ERROR for a truncated file,
 * Z_ERRNO for a failed system read, whose reason errno holds). tool_fclose gives 0
 * when the close failed; for a plain stream errno holds why.
 *
 * Threads: a stream belongs to one thread at a time. A worker may read or write a
 * stream it was handed (tool_fread, tool_fwrite, tool_ferror) while no other thread
 * uses it; opening, closing and the push-back slot (tool_fgetc, tool_ungetc) belong
 * to the main thread, since the slot and the registry of compressed streams are
 * process-wide and unlocked (see tool_thread.h).
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
 *
 * Reasons: the status flags tell why a null came back (memory, a zero byte), and
 * tool_ferror whether the stream failed (see Streams above); errno is not used.
 *
 * Threads: the status flags are process-wide and unlocked, and the reader uses the
 * push-back slot: the line reader is for the main thread only.
 */

#define TOOL_STRIP_BLOCK_COMMENTS 1
#define TOOL_STRIP_LINE_COMMENTS 2
#define TOOL_STRIP_HASH_COMMENTS 4
/// Option: a zero byte ends the reading at once. The call that meets it returns null
/// (the line it was collecting is dropped) with TOOL_READ_LINE_ZERO_BYTE set, so a
/// caller that refuses binary input stops after the first such byte instead of
/// reading the rest of the input.
#define TOOL_READ_LINE_STOP_AT_ZERO_BYTE 8

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

/// Resets the status flags to 0 and forgets the first line end.
void tool_read_line_clear_status(void);

/* Results of tool_read_line_first_end. */
#define TOOL_LINE_END_NONE 0
#define TOOL_LINE_END_LF 1   /* "\n" alone */
#define TOOL_LINE_END_CRLF 2 /* "\r\n" */

/// The kind of the first line end read since the last tool_read_line_clear_status,
/// wherever it stood (also inside a comment): TOOL_LINE_END_LF, TOOL_LINE_END_CRLF, or
/// TOOL_LINE_END_NONE while none has been read.
int tool_read_line_first_end(void);

/* ---- Pattern expansion ----------------------------------------------------------
 *
 * Names are bare entry names of one directory as its scan reports them (tool_dir.h),
 * in the order of the listing, "." and ".." included when the pattern matches them;
 * they are matched with tool_strmatch and case folding. A directory whose path
 * contains "rpc_socket" is never scanned. Nothing here prints a message: a directory
 * that does not exist or is not a directory just gives no names.
 *
 * Reasons: none are given; no names and a directory that could not be scanned look
 * alike. A caller that must know asks tool_can_list_directory, which sets errno.
 * A list that could not grow (count 0, list empty) is want of memory (ENOMEM).
 * Threads: any thread, each on lists of its own.
 */

/// A new string: `directory` (null taken as ""), the system's separator ("/" on POSIX, a
/// backslash on Windows) unless it already ends in that one, then `name` unless null,
/// exactly as given: on POSIX ("dir", "a.txt") gives "dir/a.txt" and ("dir", "..\\x")
/// gives "dir/..\\x" (a backslash is part of a name there); on Windows ("dir", "a.txt")
/// gives "dir\\a.txt" and ("dir/", "a.txt") "dir/\\a.txt". (".", null) gives "./" or
/// ".\\". Null when memory runs out (with the heap strings' message).
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

/* ---- File and directory operations -------------------------------------------------
 *
 * Small tests, queries and changes on paths in the system's own syntax: on Windows a
 * backslash or "/" separates; on POSIX only "/" does, and a backslash is an ordinary
 * character of a name. Nothing here prints a message: a failure
 * shows only in the result (0, null, or a file system left as it was).
 *
 * Permission tests read the owner's bits of the mode word, not what the calling
 * process may actually do: a superuser gets the same answers as the file's owner.
 *
 * Reasons: when an operation here fails because a system call failed, errno holds
 * the system's reason, on Windows turned into its errno counterpart: tool_stat and
 * the status queries (tool_file_mode, tool_file_size, tool_file_mtime,
 * tool_file_time_text, tool_file_exists, tool_is_directory: ENOENT for nothing
 * there), tool_rename_file (ENOENT when `from` does not exist), tool_remove_file,
 * tool_mkdir and tool_make_directory (EEXIST when the directory exists; ENOENT when
 * a directory above is missing), tool_remove_path (the reason `path` itself could not
 * be removed, such as ENOTEMPTY), tool_may_create_in and tool_can_list_directory.
 * A test that answers 0 ("no") answers it also when the question could not be asked;
 * errno then tells why. A null result of the functions that build a new string
 * (tool_path_basename, tool_path_dirname, tool_make_unique_path) is ENOMEM when memory
 * ran out; tool_make_unique_path gives no reason for finding no free name. Null
 * arguments give their stated result and leave errno alone.
 * Threads: these operations keep no state and may be called from any thread.
 */

/* Bits of ToolStat.mode, the same on every system. */
#define TOOL_MODE_DIRECTORY 0x4000
#define TOOL_MODE_REGULAR 0x8000
#define TOOL_MODE_OWNER_READ 0x100
#define TOOL_MODE_OWNER_WRITE 0x80
#define TOOL_MODE_OWNER_EXECUTE 0x40

/// The status of a file (symbolic links followed).
typedef struct ToolStat {
    unsigned mode;   /* TOOL_MODE_* bits: the file's type and its owner's permissions */
    long long size;  /* bytes */
    long long mtime; /* last modification, seconds since 1970-01-01 UTC */
} ToolStat;

/// 1 when something exists at `path`, else 0 (also for null or a dangling link).
int tool_file_exists(const char *path);
/// 1 when `name` is not null and tool_file_exists holds for tool_join_path(directory, name).
int tool_file_exists_in(const char *directory, const char *name);
/// tool_file_exists_in(tool_join_path(directory, subdirectory), name).
int tool_file_exists_at(const char *directory, const char *subdirectory, const char *name);
/// 1 when `path` is a directory; 0 otherwise, when it has no status, or for null.
int tool_is_directory(const char *path);
/// tool_is_directory(tool_join_path(directory, name)).
int tool_is_directory_in(const char *directory, const char *name);
/// Whether `path` could be used with the fopen mode `mode`: a mode starting with "r" asks
/// for the owner's read bit, any other (null included) for the owner's write bit. A path
/// that does not exist is created (exclusively, as fopen with `mode`, or "a" for null)
/// to find out; the new empty file is removed again for a mode starting with "w" and
/// stays, reserving the name, otherwise. 1 or 0; 0 for a null path.
int tool_can_access(const char *path, const char *mode);
/// 1 when `path` is a directory whose owner may write to it, else 0 (also for null).
int tool_is_writable_directory(const char *path);
/// 1 when the running process itself may create a file in the directory `path` (unlike
/// the owner's-bits tests here: a superuser may, an ordinary user in a read-only
/// directory may not), asked of the system without creating anything; else 0 (also
/// when `path` is no directory, and for null), with errno telling why (EACCES, ENOTDIR).
int tool_may_create_in(const char *path);
/// 1 when the owner's read, write and execute bits of `path` are exactly bits 4, 2 and 1
/// of the number `permissions` ("6": readable and writable, not executable), else 0.
/// A null or empty `permissions` gives 1; a null path 0.
int tool_has_permissions(const char *permissions, const char *path);

/// 1 and `status` filled when `path` has a status; 0 (nothing written) otherwise or for a
/// null argument.
int tool_stat(const char *path, ToolStat *status);
/// The mode word of `path` (TOOL_MODE_* bits); 0 when it has no status or for null.
unsigned tool_file_mode(const char *path);
/// The size of `path` in bytes (64-bit); 0 when it has no status or for null.
long long tool_file_size(const char *path);
/// The modification time of `path` (64-bit seconds since 1970); 0 when it has no status.
long long tool_file_mtime(const char *path);
/// Writes into `text` (room for 26 bytes) the modification time of `path` as ctime gives
/// it, without its "\n" (24 characters for the years 1000 to 9999), into `*time` that
/// time and into `*size` the size (skipped when `size` is null). 1 on success; 0 with
/// nothing written when `path` has no status, `text` or `time` is null, or the time
/// cannot be written in 26 bytes.
int tool_file_time_text(const char *path, char *text, long long *time, long long *size);

/// A new copy of what follows the last separator of `path` ("/", and on Windows also a
/// backslash): the whole path when there is none, "" when it ends in one. Null for null
/// or when memory runs out.
char *tool_path_basename(const char *path);
/// A new string: for a directory, `path` without one trailing separator; for any other
/// path, `path` cut at its last separator ("a/b/c.txt" gives "a/b", "/c.txt" gives "";
/// on Windows "a\\b\\c.txt" gives "a\\b"; on POSIX "a\\b" is one name). Null for null, for a
/// non-directory without a separator
/// ("c.txt"), or when memory runs out.
char *tool_path_dirname(const char *path);
/// The number of leading characters of `path` that name its directory, through its last
/// separator ("/" on POSIX; "/" or backslash on Windows, where a drive such as "C:" alone
/// also counts): "data/a.jnt" gives 5, "a.jnt" 0. 0 for null.
unsigned tool_path_directory_length(const char *path);
/// Whether `text`, appended to a file's name, gives a name the system keeps as written:
/// '\0' when it does (and for null); else the first character it holds that no name
/// can hold ('/' on POSIX; on Windows also backslash, < > : " | ? * and the control
/// characters), or on Windows its last character when that is a dot or a blank, which
/// the system drops from the end of a name.
char tool_path_bad_name_end(const char *text);
/// The number of leading characters of `path` that the system keeps when it is given
/// `path`: on Windows the dots and blanks at the end of its last name are dropped
/// ("a.jnt. " opens "a.jnt", "*.jnt." lists what "*.jnt" lists), except in the
/// extended-length form ("\\\\?\\C:\\...") and the object manager's ("\\??\\..."),
/// which the system takes as written, and in a last name of nothing else (".."); on
/// POSIX a dot or a blank is part of a name like any other character and the whole
/// length is kept. 0 for null.
unsigned tool_path_kept_length(const char *path);
/// The separator the system writes between a directory and a name: '/' on POSIX, a
/// backslash on Windows.
char tool_path_separator(void);
/// 1 when `path` itself is a symbolic link (on Windows any reparse point), else 0 (also
/// for null).
int tool_is_link(const char *path);
/// 1 when `path` is a directory whose entries can be listed, else 0 (also for null). On
/// failure errno tells why (ENOTDIR for a file that is no directory, EINVAL for null).
int tool_can_list_directory(const char *path);

/* Options of tool_make_unique_path. */
#define TOOL_UNIQUE_NUMBERED 4     /* try base + n + suffix for n = 1 .. 9999 */
#define TOOL_UNIQUE_THREE_DIGITS 8 /* with TOOL_UNIQUE_NUMBERED: n as "%3.3d" (001, 002 ...) */

/// A name for a new file: options 0 try only base + suffix (suffix may be null);
/// TOOL_UNIQUE_NUMBERED tries base + n + suffix for n = 1 .. 9999 in turn. A name is
/// taken when nothing exists there and tool_can_access(name, mode) holds, so with a null
/// mode the chosen file is created empty and with "w" nothing is left behind. With
/// TOOL_UNIQUE_NUMBERED and `absolute` non-zero the result is the absolute path. A new
/// string; null when no name was taken, for other options (8 alone), or a null base.
char *tool_make_unique_path(const char *base, const char *suffix, const char *mode, int options,
                            int absolute);

/// Moves the existing file `from` to the name `to`, replacing a file of that name in one
/// step (a failed move leaves both as they were). 1 on success; 0 on failure or for null.
int tool_rename_file(const char *from, const char *to);
/// Removes the file `path` (not a directory). 1 on success; 0 on failure or for null.
int tool_remove_file(const char *path);
/// Creates the directory `path`. 1 on success; 0 when it exists, cannot be made, or null.
int tool_mkdir(const char *path);
/// tool_mkdir(path), or when `recursive` is non-zero first each missing directory above
/// it, cutting at the system's separator only ("x/y/z" makes "x", "x/y", "x/y/z" on POSIX;
/// "x\\y\\z" the same on Windows). The result is
/// that of the last directory: 0 when it existed already, or for a null path.
int tool_make_directory(int recursive, const char *path);
/// Removes the file or empty directory `path` (one trailing separator ignored); when
/// `recursive` is non-zero, first everything inside the directory, each entry named
/// exactly as the directory lists it. A symbolic link is removed as a link: nothing it
/// points to is entered or removed. Read-only files and non-empty directories stay
/// without a message.
/// 1 when `path` itself was removed; 0 otherwise or for null.
int tool_remove_path(int recursive, const char *path);

/// Expands `pattern` (tool_expand_pattern) in the subdirectory tool_join_path(directory,
/// name) when it is a readable directory, else in `directory`, and appends to `list` each
/// name found that it does not hold yet. 1 when the expansion found a name (even one
/// already held); 0 when it found none, for a null list, or when memory ran out (a list
/// that could not grow is released and empty).
int tool_expand_pattern_merge(StringList *list, const char *pattern, const char *name,
                              const char *directory);

/// The character code (0 .. 255) a symbolic name stands for: "phi" 248 and "PHI" 216
/// (o with stroke, Windows-1252); "unicode" in any case, one separator and a number
/// (tool_atoi: "unicode:0x41" 65); a backslash and a number ("\\65" 65); "none" in any
/// case the default; any other name its first character ("xyz" 120). Numbers give their
/// low 8 bits. Null gives `default_character` unchanged.
int tool_char_from_name(const char *name, int default_character);

/* ---- Safe replacement of a file ---------------------------------------------------
 *
 * Rewriting a file so that, on the rename path, at every instant it holds either its
 * complete old or its complete new content:
 *
 *     ToolReplacement r = {0};
 *     if (tool_replace_lock(&r, path) == TOOL_LOCK_DONE   // optional: open locks too
 *         && tool_replace_open(&r, path)) {
 *         ... read the target, tool_replace_write(&r, text, length) the new content ...
 *         result = tool_replace_commit(&r);     // or give up: nothing is changed
 *     }
 *     tool_replace_abandon(&r);                 // always; releases the record and the lock
 *
 * Locking: tool_replace_lock opens the file `path` leads to without any step that can
 * block, refuses anything but a regular file and a symbolic link that another user
 * planted (a link is followed only when it belongs to the running user, the superuser
 * or the owner of the file it leads to), waits for an exclusive advisory lock on it
 * (flock on POSIX, LockFileEx on Windows) and checks that `path` still leads to the
 * locked file, opening it again when not. The lock lasts until tool_replace_abandon,
 * so runs that rewrite the same file one after the other see each other's result.
 *
 * Rename path: the new content goes to a new, exclusively created hidden file beside
 * the target (symbolic links are followed to the final target, which is what gets
 * replaced), with the target's permission bits, owner, group and extended attributes
 * (POSIX access control lists included, the file's record not; on Windows the move
 * keeps them). Commit flushes and syncs it and renames it over the target: the target
 * is whole at every instant.
 *
 * In-place path: when a rename would lose something (the target has several hard
 * links, or its owner cannot be kept), no file can be created beside it, or the
 * directory refuses the rename, commit copies the new content into the target itself.
 * The complete new content is then synced in the replacement file first; the target
 * is given its final size before its first byte is overwritten (a full disk is met
 * while it still holds its old content, and commit gives FAILED); the target is synced
 * before the replacement file is removed. A copy that fails after it started, or a
 * process killed during it, leaves the target torn, but the complete new content in
 * the replacement file (KEPT names it; a later sweep names it too).
 *
 * Replacement files have short names (tool_is_replacement_name) whose form tells the
 * two paths apart, and are locked by their writer while it lives. An interrupt or
 * termination signal while a replacement is open removes its file; a copy into the
 * target holds such signals off until it is done.
 *
 * Threads: a replacement belongs to one thread at a time. Its owner may hand it over
 * whole (through a lock, as a queue does), so that a worker locks, opens and writes it
 * and the main thread commits or abandons it; each replacement guards its file in a
 * slot of its own, which travels with it. A worker takes locks with
 * tool_replace_try_lock only, and holds no interrupts (tool_thread.h); the in-place
 * commit, which does, belongs to a thread that takes interrupts (the main thread).
 * tool_replace_write may also be called from a worker that was handed the replacement
 * while its owner waits, the owner reading `failed` only after the worker was joined.
 *
 * Reasons: nothing here prints. When an operation below fails, errno tells why: the
 * system's error code of the first step that failed (Windows' errors turned into their
 * errno counterparts), ENOMEM when memory ran out, EINVAL for null arguments, and 0
 * when the failure has no system reason (the name leads to another file since it was
 * locked). The clean-up after a failure never replaces that code. errno is the calling
 * thread's: a worker that writes keeps the reason of its failed write itself.
 */

/// What identifies a file however it is reached (name, link or hard link).
typedef struct ToolFileIdentity {
    unsigned long long device;
    unsigned long long index;
} ToolFileIdentity;

/// What shows a change of a file's content: its size and last change times (internal).
typedef struct ToolFileState {
    unsigned long long size;
    long long modified;
    long long changed;
    int known; /* 0 when the system could not tell */
} ToolFileState;

typedef struct ToolReplacement {
    char *target;                    /* the final file the path leads to (system syntax) */
    char *temporary;                 /* the file the new content is written to */
    void *stream;                    /* open stream of `temporary`, internal */
    ToolFileIdentity identity;       /* of the locked target */
    int in_place;                    /* commit copies into the target instead of renaming */
    int failed;                      /* a write failed; commit will refuse */
    int kept;                        /* commit failed after starting to copy: `temporary` stays */
    int locked;                      /* the target is open and locked, internal */
    long long lock;                  /* the system's handle of the locked target, internal */
    unsigned long long written_size; /* bytes tool_replace_write took so far */
    unsigned long written_crc;       /* their CRC-32 (zlib's crc32; 0 while there are none) */
    char *record;         /* the record commit attaches (tool_replace_set_record); null for none */
    int record_kept;      /* after commit: 1 when `record` is on the new file, else 0 */
    int record_status;    /* after commit: TOOL_RECORD_FOUND when kept, NONE when none was set,
                             UNSUPPORTED when the file system keeps none, FAILED otherwise
                             (also for every commit that did not give TOOL_REPLACE_DONE) */
    int synced;           /* the content is on disk (tool_replace_sync_all): commit does not
                             sync it again */
    int sync_error;       /* errno of a failed tool_replace_start_sync or tool_replace_sync_all */
    int guard;            /* the interrupt guard of `temporary`, internal; 0 when none */
    int changed;          /* after a FAILED commit: the target was changed by another program
                             since it was locked (its size or times differ, or its name leads
                             to another file): it is left as that program left it */
    int unsynced;         /* after a DONE commit: the target holds the new content, but the
                             sync of its directory failed (reason in sync_error), so a crash
                             could still bring the old name back */
    ToolFileState opened; /* the target's state when it was locked, internal */
    int settle_pending;   /* after a DONE tool_replace_commit_batched that renamed: the new
                             file's mark is taken off when it is let go of, internal */
    long long held;       /* the handle that keeps the new file's lock until then, internal
                             (-1: none) */
} ToolReplacement;

enum {
    TOOL_REPLACE_FAILED = 0, /* nothing changed: the target holds its old content */
    TOOL_REPLACE_DONE = 1,   /* the target holds the new content */
    TOOL_REPLACE_KEPT = -1   /* the copy into the target failed; the new content stays in
                                `temporary`, which is not removed */
};

enum {
    TOOL_LOCK_DONE = 1,            /* the target is open and locked */
    TOOL_LOCK_CANNOT_OPEN = 0,     /* missing, a directory, unreadable, or no memory */
    TOOL_LOCK_NOT_REGULAR = -1,    /* a device, FIFO or socket: never rewritten */
    TOOL_LOCK_UNTRUSTED_LINK = -2, /* reached through another user's symbolic link */
    TOOL_LOCK_BUSY = -3            /* tool_replace_try_lock: another holds the lock */
};

/// 1 and `identity` filled when `path` (links followed) has a status, else 0.
int tool_file_identity(const char *path, ToolFileIdentity *identity);

/// Opens and locks the file `path` leads to (see Locking above), waiting while another
/// process holds it; fills `target` and `identity`. One of TOOL_LOCK_*; on anything
/// but TOOL_LOCK_DONE the record is all zero. Null arguments give TOOL_LOCK_CANNOT_OPEN.
/// On TOOL_LOCK_CANNOT_OPEN errno tells why (see Reasons above; EISDIR for a directory).
int tool_replace_lock(ToolReplacement *replacement, const char *path);

/// tool_replace_lock without waiting: TOOL_LOCK_BUSY, with nothing held and the record
/// all zero, when another process or another open of this process holds the file's
/// lock (files converted on several threads take their locks this way, so that no
/// thread waits for a lock held by a file committed after its own).
int tool_replace_try_lock(ToolReplacement *replacement, const char *path);

/// Opens the file a locked replacement will replace for reading through `path`, as
/// tool_fopen(path, mode) would (a mode with "+" needs update access), without any step
/// that can block, and stores the stream in `stream`. One of TOOL_LOCK_*: DONE when
/// `path` led to the locked file, NOT_REGULAR when it led to a device, FIFO or socket,
/// CANNOT_OPEN otherwise (another file, no access, no lock held, null arguments);
/// `stream` is null then, and on CANNOT_OPEN errno tells why (EACCES for a file the
/// mode may not update; 0 for another file).
int tool_replace_input(const ToolReplacement *replacement, const char *path, const char *mode,
                       ToolStream *stream);

/// Starts the replacement of the file `path` leads to, locking it first unless
/// tool_replace_lock did. 1 on success; 0 when the file cannot be locked, has changed
/// since it was locked, or no replacement file can be created or given the target's
/// attributes (no replacement file is left behind; a lock taken stays until abandon).
/// On failure errno tells why (0 when the target changed).
int tool_replace_open(ToolReplacement *replacement, const char *path);

/// Appends `size` bytes of `data` unchanged (the caller writes the line ends it wants)
/// and adds them to written_size and written_crc. 1 on success; 0 when the write
/// failed, after which commit refuses. On failure errno tells why (ENOSPC for a full
/// disk); 0 when an earlier write had failed already.
int tool_replace_write(ToolReplacement *replacement, const char *data, unsigned size);

/// Puts the new content in place of the old, with the record set by
/// tool_replace_set_record (see "A file's record" below); see TOOL_REPLACE_DONE and its
/// siblings. Whether the record could be kept never changes the result: record_kept
/// and record_status tell. On FAILED and KEPT errno tells why: the flush, sync, close,
/// rename or copy that failed (0 after a failed write, whose reason tool_replace_write
/// gave). Right before the rename or copy, under the lock, the target is checked
/// against its state when it was locked: a target another program wrote meanwhile
/// (without taking the lock) gives FAILED with `changed` set and errno 0, and is left
/// as it is. A DONE commit whose directory could not be synced sets `unsynced`.
int tool_replace_commit(ToolReplacement *replacement);

/* Durability in batches: instead of one commit after the other, each of which waits
 * for its own sync, a caller with many replacements ends the writing of each with
 * tool_replace_start_sync (the system starts writing it back at once), waits for all
 * of them together with tool_replace_sync_all, commits them in its own order with
 * tool_replace_commit_batched, and syncs each directory once with tool_sync_directory:
 *
 *     for each r: write ...; tool_replace_set_record(r, ...); tool_replace_start_sync(r);
 *     tool_replace_sync_all(list, count, threads);
 *     for each r in order: if (!r->failed) result = tool_replace_commit_batched(r); ...
 *     for each directory renamed into: tool_sync_directory(directory);
 *     tool_replace_abandon_all(list, count, threads);  // let go of the batch
 *
 * Each file is renamed only after its own content is on disk, so a crash at any point
 * leaves every file of the batch with its whole old or its whole new content; a
 * rename becomes durable with its directory's sync. The in-place path is unchanged
 * (its copy syncs the target itself). */

/// Ends the writing of `replacement` and starts putting it on disk without waiting: the
/// record set so far goes onto a replacement that will be renamed, the stream is
/// flushed, and the system is told to start writing the file back. 1 on success; 0 when
/// that failed (errno, also kept in sync_error), after which commit refuses.
int tool_replace_start_sync(ToolReplacement *replacement);

/// Waits until the content of each replacement in `list` (`count` of them) is on disk,
/// syncing up to `threads` of them at once from threads of its own (at least one; the
/// waits of a batch overlap). While each sync returns at once (nothing left to write, a
/// file system in memory) the calling thread goes on alone; from the first that waited
/// the rest are shared. Each synced replacement gets `synced`; one whose sync
/// failed gets `failed` and the reason in `sync_error`. Replacements already failed or
/// synced, and null entries, are left alone. Returns how many failed here. The caller
/// owns the replacements and uses none of them until it returns.
int tool_replace_sync_all(ToolReplacement *const *list, int count, int threads);

/// tool_replace_commit, leaving the sync of the directory a renamed replacement enters
/// to tool_sync_directory. A replacement not yet synced is synced first. A renamed file
/// keeps its lock, and the mark it carried as a replacement, until it is let go of
/// (tool_replace_abandon_all or tool_replace_abandon), which takes the mark off.
int tool_replace_commit_batched(ToolReplacement *replacement);

/// tool_replace_abandon for each replacement in `list` (`count` of them; null entries are
/// skipped), up to `threads` at once from threads of its own (at least one; shared as
/// tool_replace_sync_all shares the syncs), after a batch was committed. Letting go of files waits
/// on the disk: a renamed file's mark is taken off, and the last close of each replaced file frees
/// its storage. The caller owns the replacements and uses none of them until it returns.
void tool_replace_abandon_all(ToolReplacement *const *list, int count, int threads);

/// Syncs the directory `path`, making the renames into it durable. 1 on success (also
/// where the system has nothing to sync); 0 with errno on failure or for null.
int tool_sync_directory(const char *path);

/// How many files the process may hold open at once.
long tool_open_file_limit(void);

/// Makes room for `count` open files (at most tool_open_file_limit()) in the process's
/// table of open files now, best effort. Called before a program starts threads that
/// open many files, it spares them the wait of growing a table threads share (Linux).
void tool_reserve_open_files(long count);

/// Closes and removes the replacement file unless commit kept it, releases the lock
/// and the strings the ToolReplacement holds; it is all zero afterwards. Null is ignored.
void tool_replace_abandon(ToolReplacement *replacement);

/// 1 when the bare entry name `name` has the form of a replacement file's name, so
/// pattern matches and directory walks can leave another run's files alone; else 0.
int tool_is_replacement_name(const char *name);

/// Looks at the replacement files in `directory` whose writer ended without finishing
/// (no lock on them). Only a file that carries a replacement's mark (given to it before
/// any name led to it, where the system allows) is known to be the toolkit's: a file
/// that merely has the form of the name is never removed. A marked one that was to be
/// renamed over its target is removed (its target is whole), and so is a marked copy
/// whose content was not yet complete (its target was never touched) or was copied in
/// full. The path of a marked copy whose complete content may have been copied in part
/// is appended to `kept` (when not null) and the file stays: it may hold the only
/// complete new content of a target torn by a killed run (tool_replace_copy_target
/// tells which). A copy without a mark (a file system that keeps none) is kept and
/// appended too. An empty `directory` means the temporary directory, where copies are
/// made when none can be made beside their target. Returns how many were removed; -1
/// when memory ran out.
int tool_replace_sweep(const char *directory, StringList *kept);

/// For a file tool_replace_sweep kept: 1, with the identity of the file it was to be
/// copied into in `identity` and its path in `*target` (a slot: what it held is
/// released), when it is a marked copy whose complete content may have been copied in
/// part. Until the copy is put in place or removed, that target must not be converted
/// again: it may be torn. 0 otherwise (no mark, another state, no memory, null).
int tool_replace_copy_target(const char *path, ToolFileIdentity *identity, char **target);

/// Makes the signals a failing write raises on POSIX systems (SIGPIPE for a closed pipe,
/// SIGXFSZ for a file-size limit) ignored for the whole process, so the write reports an
/// error (and a replacement fails cleanly) instead of the process ending with a
/// replacement file left behind. tool_replace_lock does it too. Nothing on Windows.
void tool_ignore_write_signals(void);

/// Test support: make the n-th write (operation 0), sync (1), close (2), rename (3),
/// resize of the target before an in-place copy (4), start of a write-back
/// (tool_replace_start_sync, 5) of a replacement or sync of a directory (6) from now
/// fail once, with errno EIO; 0 turns it off. Writes and syncs of backups count as well.
/// The counters are process-wide and safe in every thread: the n-th operation of the
/// process fails, whichever thread makes it.
void tool_replace_fail_nth(int operation, long n);
/// tool_replace_fail_nth with the reason the failure gives in errno, such as ENOSPC for
/// a full disk.
void tool_replace_fail_nth_error(int operation, long n, int error);

/* ---- A file's record ----------------------------------------------------------------
 *
 * A short text kept with a file but outside its bytes, so that the bytes stay exactly
 * what their writer wrote: the extended attribute "user.joint2si" on POSIX, the named
 * stream ":joint2si" on NTFS. joint2si notes there what it did to a file; this module
 * keeps the text and knows nothing of its form. A record is text: at most
 * TOOL_RECORD_MAX_SIZE bytes, none of them zero. File systems without such attributes
 * or streams (FAT, a tmpfs or network share without user attributes, Wine's volumes)
 * keep no records: the operations say TOOL_RECORD_UNSUPPORTED there and change nothing.
 * On TOOL_RECORD_FAILED errno tells why: the system's reason (EACCES, EIO), or ENOMEM
 * when memory ran out.
 *
 * A record travels with the new content of a replacement:
 *
 *     tool_replace_lock(&r, path);
 *     if (tool_replace_read_record(&r, &text) == TOOL_RECORD_FOUND) {
 *         ... compare `text` with tool_replace_target_crc32(&r, &size, &crc) ...
 *     }
 *     tool_replace_open(&r, path);  ... tool_replace_write(&r, ...) ...
 *     ... build the record from r.written_size and r.written_crc ...
 *     tool_replace_set_record(&r, record, length);
 *     if (tool_replace_commit(&r) == TOOL_REPLACE_DONE && !r.record_kept) ... say so ...
 *     tool_replace_abandon(&r);
 *     tool_strfree(&text);
 *
 * On the rename path commit writes the record onto the replacement file before it is
 * synced and renamed, so the new content and its record take the file's place
 * together. On the in-place path it writes the record onto the target right after the
 * copy, before the replacement file goes (a run killed in between leaves new content
 * without a record, and the replacement file that the next run names).
 *
 * The record of the old content never outlives it: the replacement takes the target's
 * other extended attributes but not this one, and wherever the old record could remain
 * (the target keeps its attributes on the in-place path; on Windows the move keeps the
 * target's streams that the replacement lacks) commit removes it when no record was
 * set or the new one could not be written. Should even that removal fail, the old
 * record describes bytes the file no longer holds, which its size and CRC-32 show.
 *
 * Backups (tool_backup_file, tool_replace_backup) carry the record of the file they
 * copy: the backup holds the same bytes, so the record describes it as well, and a
 * backup put back in the file's place is known for what it is. A backup whose record
 * could not be copied is still made; one of a file without a record has none.
 */

#define TOOL_RECORD_MAX_SIZE 65536

enum {
    TOOL_RECORD_FOUND = 1,       /* the file carries a record (after a write: now carries it) */
    TOOL_RECORD_FAILED = 0,      /* the system failed or refused (no access, an I/O error), no
                                    memory (errno ENOMEM), null arguments */
    TOOL_RECORD_NONE = -1,       /* the file carries no record */
    TOOL_RECORD_UNSUPPORTED = -2 /* the file system keeps no records */
};

/// The record of the file `replacement` holds locked, read through the lock, into
/// `*slot` (a slot as in tool_dstring.h: what it held is released). TOOL_RECORD_FOUND
/// with the record in the slot; a value that is no text (holding a zero byte) comes back
/// as "", which no writer of records writes. On any other result the slot is null.
/// FAILED also when nothing is locked and for null arguments (a null slot is left alone).
int tool_replace_read_record(const ToolReplacement *replacement, char **slot);

/// Makes commit attach the record `data` (`size` bytes) to the new content, replacing one
/// set before; a null `data` or a `size` of 0 sets none, so commit only removes the old
/// record. Call it at any time before commit, typically after the last write, when
/// written_size and written_crc describe the whole new content. 1 on success; 0 with
/// nothing changed for a null replacement, a record holding a zero byte or longer than
/// TOOL_RECORD_MAX_SIZE, or when memory runs out (errno ENOMEM).
int tool_replace_set_record(ToolReplacement *replacement, const char *data, size_t size);

/// The size and CRC-32 (zlib's crc32) of the bytes stored in the file `replacement` holds
/// locked, read from its start through a new handle checked to be that file. 1 with
/// `*size` and `*crc` set; 0 (nothing written) when it cannot be read, nothing is locked,
/// or for a null argument.
int tool_replace_target_crc32(const ToolReplacement *replacement, unsigned long long *size,
                              unsigned long *crc);

/// tool_replace_target_crc32 for the regular file `path` (links followed).
int tool_file_crc32(const char *path, unsigned long long *size, unsigned long *crc);

/// tool_replace_read_record for the file `path` leads to (links followed), which need not
/// be locked; a file that cannot be opened gives TOOL_RECORD_FAILED.
int tool_file_read_record(const char *path, char **slot);

/// Gives the file `path` leads to the record `data` (`size` bytes, the rules of
/// tool_replace_set_record; size 0 or null data remove it as tool_file_remove_record).
/// TOOL_RECORD_FOUND when the file carries it now, UNSUPPORTED, or FAILED (also for a
/// record the rules refuse and a null path).
int tool_file_write_record(const char *path, const char *data, size_t size);

/// Takes the record of the file `path` leads to away. TOOL_RECORD_FOUND when it carries
/// none now (also when it had none), UNSUPPORTED, or FAILED.
int tool_file_remove_record(const char *path);

/// Test support: from now on record operations behave as `fault` says without asking
/// the system: TOOL_RECORD_UNSUPPORTED as on a file system that keeps no records (reads,
/// writes and removals), TOOL_RECORD_FAILED as on a write error (every write fails; reads
/// and removals go on). Any other value, such as TOOL_RECORD_NONE, turns it off.
void tool_record_fault(int fault);

/* ---- Backups ------------------------------------------------------------------------ */

/// Keeps the current content of the file `path` leads to (symbolic links followed) as
/// `path` + `suffix`: a byte-for-byte copy with the file's permissions, owner and group
/// (where the process may set them) and its access and modification times, put in place
/// in one step so that an existing backup of that name is replaced whole. Until then the
/// copy has a replacement file's name (tool_is_replacement_name): an interrupt removes
/// it, and tool_replace_sweep removes one left by a run that ended. 1 on success;
/// 0 when the copy could not be made (nothing new is left behind and an existing backup
/// stays as it was), when `path` + `suffix` is a directory or other non-regular file,
/// for a null argument or an empty suffix. On failure errno tells why (EISDIR or EEXIST
/// for a backup name taken by a directory or other non-regular file, EINVAL for null
/// or empty arguments).
int tool_backup_file(const char *path, const char *suffix);

/// tool_backup_file for the file `replacement` holds locked: 0 as well when `path` no
/// longer leads to that file (its name was given to another file since it was locked),
/// so that the backup always holds the content the replacement replaces (errno 0 then).
int tool_replace_backup(const ToolReplacement *replacement, const char *path, const char *suffix);

/* ---- Scratch files ------------------------------------------------------------------ */

/// A new empty file in the user's temporary directory (TMPDIR on POSIX, the system's
/// temporary path on Windows), open for reading and writing in binary mode, that
/// removes itself: no name leads to it (POSIX), or the system deletes it when its handle
/// closes (Windows), so that nothing is left behind however the process ends. The
/// caller closes it with fclose. Null when none could be created, with errno the
/// system's reason. Any thread may call it.
FILE *tool_scratch_file(void);

/* ---- Terminal ----------------------------------------------------------------------- */

/// 1 when the standard error stream is a terminal (a console on Windows), so that text
/// meant only for a person watching may be written there; 0 for a file, pipe or device.
int tool_stderr_is_terminal(void);

#ifdef __cplusplus
}
#endif

#endif
