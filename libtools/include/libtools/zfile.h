/* SPDX-License-Identifier: MIT */
/* zfile: one stream handle over a plain stdio file or a gzip file.
 *
 * A ToolStream is either a FILE * or a compressed stream of the layer's own; the
 * handle carries no mark of its kind. A process-wide registry lists the open
 * compressed handles, so a handle is compressed exactly when it is listed. Every
 * operation below asks the registry first (a one-entry cache answers for the handle
 * last registered or found) and then calls the stdio function or the compressed
 * stream's function of the same purpose. A compressed stream writes through zlib's
 * gz* functions and reads through the layer's own reader, which inflates the file's
 * gzip members with zlib's inflate and keeps the contracts of gzread, gzgetc, gzgets,
 * gzseek, gztell and gzerror. Results keep the conventions of stdio and zlib: 0 for
 * success, EOF or a negative zlib code for failure.
 *
 * Life cycle: zfile_open gives a handle, zfile_close releases it (and unlists a
 * compressed one before freeing it, so a later FILE * at the same address is never
 * taken for a compressed stream). A plain handle may be handed to the stdio functions
 * directly; a compressed one only to the functions below. Nothing is closed at
 * process exit.
 *
 * Modes are stdio's letters ('r', 'w', 'a', '+', 'b', 't') plus 'z', which asks
 * for gzip and never reaches stdio or zlib; at most 18 letters besides 'z'.
 * A mode with 'r' or 'a' opens a file that begins with the gzip magic
 * (0x1F 0x8B) compressed, with or without 'z'; any other content opens plain;
 * a missing or empty file opens compressed only with 'z'. A mode with neither
 * 'r' nor 'a' opens compressed only with 'z'. A compressed handle reads when
 * the mode's last of 'r', 'w', 'a' is 'r' and otherwise writes gzip data at
 * compression level 1 ('a' adds a member at the end). A compressed stream cannot
 * read and write, so with "+" the file must allow update access ("r+" on a
 * read-only gzip file fails like on a plain one) while the stream itself only
 * reads or only writes. Compressed files are always accessed untranslated.
 *
 * Reading: the members of a gzip file are read one after the other as one text, and
 * the file is read once: each block is read from the system once and inflated once.
 * Input that does not begin with the gzip magic (standard input, or a file changed
 * since its first bytes were looked at) is passed through unchanged.
 *
 * Errors: zfile_getc and zfile_read give -1 both at the end and on damage. zfile_error
 * tells them apart: after a clean end it is 0; a truncated gzip file gives
 * Z_BUF_ERROR (-5), even when every byte but the trailer was delivered; a bad CRC,
 * length or deflate stream gives Z_DATA_ERROR (-3); trailing bytes that begin with
 * the gzip magic but are no valid member give -3 or -5. Any other data after a member
 * (text appended to a gzip file, zeros, a single byte), which zlib's own reader skips
 * without a word, gives Z_DATA_ERROR (-3) as soon as the stream meets it, so a gzip
 * member with text appended never passes for a whole file; the bytes of the members
 * before it are delivered first.
 *
 * Threads: a stream may be opened in one thread and read or written in another (a
 * worker thread, tool_thread.h), one thread at a time, handed over with the usual
 * synchronisation; everything about a stream (its buffers, inflate state, position,
 * error and end flags) is its own. The registry and its cache are locked and may be
 * used from any thread. The mode buffer of zfile_mode_without_z is process-wide and
 * unlocked.
 *
 * Reasons: zfile_open, zfile_open_standard_input and zfile_open_same_file give null
 * with errno the system's reason for the open (ENOENT, EACCES, EISDIR...), or ENOMEM
 * when the handle could not be made or registered; a refused mode gives EINVAL for
 * zfile_open_same_file. A failed read or write shows in zfile_error (see Errors
 * above): for a plain stream errno holds the system's reason, for a compressed one
 * the zlib code tells damage from truncation, and Z_ERRNO (-1) means a failed system
 * call whose reason errno holds. zfile_close gives EOF or a negative zlib code when
 * the close failed, errno the system's reason where there is one. errno is the
 * calling thread's own: a worker that reads or writes a stream keeps it itself.
 *
 * Reads cut by a stop: when a worker told to stop (tool_thread_stop) has a read of
 * its cut short, the read gives what it had (-1 when nothing, for a compressed
 * stream) and the stream's error flag is cleared again: the stream is not at fault,
 * and the thread that stopped the worker abandons the read. The layer prints
 * nothing.
 */
#ifndef LIBTOOLS_ZFILE_H
#define LIBTOOLS_ZFILE_H

#include <stdarg.h>

#ifdef __cplusplus
extern "C" {
#endif

/// An open plain (FILE *) or compressed (gzFile) stream; null for none.
typedef void *ToolStream;

/* ---- Open, close and registry ---------------------------------------------- */

/// Opens `path` plain or compressed as the mode and the file's first bytes decide
/// (see above). Null when the file cannot be opened, the mode is refused, or the
/// compressed handle cannot be registered (it is closed again); null for a null
/// argument.
ToolStream zfile_open(const char *path, const char *mode);

/// Closes the stream, unlisting a compressed one first (also when the close
/// fails). The result of gzclose (0 or a negative zlib code) or fclose (0 or EOF);
/// 0 for null.
int zfile_close(ToolStream stream);

/// 1 when `stream` is a registered compressed handle, else 0 (also for null).
int zfile_is_compressed(ToolStream stream);

/// Lists `stream` as compressed (newest first) and caches it. 1 when added; 0 for
/// null or when the entry cannot be allocated.
int zfile_register(ToolStream stream);

/// Unlists `stream` (and drops it from the cache). 1 when it was listed, else 0
/// (also for null).
int zfile_unregister(ToolStream stream);

/// 1 when `path` is to be opened compressed under `mode`: it begins with the gzip
/// magic, or it is missing, unreadable or empty and the mode holds 'z'. Else 0,
/// also for a null argument.
int zfile_detect_gzip(const char *path, const char *mode);

/// A reading stream over the process's standard input, decompressing it when it holds
/// gzip data and passing any other bytes through unchanged; a compressed handle in the
/// registry. Closing it leaves standard input itself open. Null on failure.
ToolStream zfile_open_standard_input(void);

/// The compression level a gzip file at `path` was written with, as its header's
/// extra-flags byte tells: 9 (best), 1 (fastest) or Z_DEFAULT_COMPRESSION (-1) for any
/// other value. 0 when the file does not begin with a gzip header, cannot be read, or
/// for null.
int zfile_gzip_level(const char *path);

/// zfile_open for an existing file checked before, whose name may have been given to
/// another file since: `mode` reads ("r" or "r+", with 'b', 't' and 'z' as for
/// zfile_open), the file is opened without any step that can block, and it must be a
/// regular file with the identity `device` and `index` (as tool_file_identity gives
/// them). Null when the file cannot be opened or is not that file; `refusal`, when not
/// null, is then 1 for something other than a regular file, 2 for another regular file
/// and 0 otherwise, and errno tells the system's reason (EISDIR for a directory, ENOMEM
/// when memory ran out, 0 for another regular file).
ToolStream zfile_open_same_file(const char *path, const char *mode, unsigned long long device,
                                unsigned long long index, int *refusal);

/// The compression level the first gzip header of a compressed reading stream records,
/// as zfile_gzip_level gives it, read from the stream itself (its first block is read
/// now when nothing was read yet); 0 for input that is not gzip data, for a plain or
/// writing stream and for null.
int zfile_stream_gzip_level(ToolStream stream);

/// `mode` without its 'z' letters, in a process-wide buffer that the next call
/// overwrites (at most 19 letters are kept). A null mode gives "".
char *zfile_mode_without_z(const char *mode);

/* ---- Operations ------------------------------------------------------------ */

/// 0 when the stream has met no error. Compressed: a zlib code (see Errors above), with
/// end of stream reported as 0 and negative codes unchanged. Plain: the stdio error indicator
/// (non-zero when set). -1 for null.
int zfile_error(ToolStream stream);

/// Flushes the stream. Compressed: gzflush with Z_FINISH, so the gzip data is
/// completed and the stream takes no more data; 0 or a negative zlib code (-2 on a
/// reading stream). Plain: fflush, 0 or EOF. 0 for null.
int zfile_flush(ToolStream stream);

/// Reads `count` items of `size` bytes. Compressed: the number of bytes read, 0 at
/// the end, -1 on error (also for more than INT_MAX bytes). Plain: the number of
/// whole items read. 0 for a null stream or buffer or a negative size or count.
int zfile_read(void *buffer, int size, int count, ToolStream stream);

/// Writes `count` items of `size` bytes. Compressed: the number of bytes taken
/// (0 on error). Plain: the number of whole items written. 0 for a null stream or
/// data, a negative size or count, or more than INT_MAX bytes to compress.
int zfile_write(const void *data, int size, int count, ToolStream stream);

/// Moves to `offset` from the start (origin 0), the current position (1) or the end
/// (2). Compressed: the new position in the uncompressed data, or -1 (a compressed
/// stream cannot seek from the end; a reading one goes back by reading the file again
/// from its start, and fails where the file cannot seek or after damage other than a
/// cut). Plain: fseek's 0 on success, non-zero on failure. -1 for null.
long zfile_seek(ToolStream stream, long offset, int origin);

/// The position: in the uncompressed data for a compressed stream, ftell's for a
/// plain one; -1 on failure and for null.
long zfile_tell(ToolStream stream);

/// The position in the file as stored, for a progress report: for a compressed stream
/// the bytes of the file used so far (headers and compressed data; input read ahead
/// but not yet decompressed is not counted), which grows to the file's size as its
/// text is read; ftell's for a plain one. -1 on failure (a pipe, an offset the
/// system's long cannot hold) and for null.
long long zfile_offset(ToolStream stream);

/// Reads a line of at most size - 1 bytes into `buffer`, as fgets or gzgets do:
/// `buffer`, or null at the end or on error. Null for a null stream or buffer or a
/// size below 1.
char *zfile_gets(char *buffer, int size, ToolStream stream);

/// The next byte as 0 to 255, or -1 at the end, on error and for null. A plain
/// stream is read without taking its lock.
int zfile_getc(ToolStream stream);

/// Formats into a buffer of 4096 bytes of its own (text beyond 4095 characters is
/// cut) and writes the text up to its first NUL through zfile_write. Always 0: the
/// outcome of the write is not reported. 0 and nothing written for a null stream
/// or format.
int zfile_vprintf(ToolStream stream, const char *format, va_list args);

/// zfile_vprintf with its arguments given directly; always 0.
int zfile_printf(ToolStream stream, const char *format, ...);

#ifdef __cplusplus
}
#endif

#endif
