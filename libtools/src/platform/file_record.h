// SPDX-License-Identifier: MIT
// Platform side of a file's record: a short text kept with a file but outside its
// bytes, so that the bytes stay exactly what their writer wrote. On POSIX it is the
// extended attribute "user.joint2si"; on Windows the named stream ":joint2si" of an
// NTFS file. A file system that keeps neither (FAT, a tmpfs or network share without
// user attributes, Wine's emulated volumes) makes every operation here give
// RecordResult::unsupported.
//
// Files are named twice: by `handle`, the system's handle of the open file (a
// descriptor on POSIX, a HANDLE on Windows), and by `path`, its resolved absolute
// path in the system's syntax. POSIX works on the handle alone. Windows opens the
// stream through the path and checks with the handle that the volume keeps named
// streams and that what it opened belongs to that very file.
#ifndef LIBTOOLS_PLATFORM_FILE_RECORD_H
#define LIBTOOLS_PLATFORM_FILE_RECORD_H

#include <cstddef>
#include <cstdio>
#include <string>

namespace platform {

/// How a record operation ended. `found` also means "written" and "removed".
enum class RecordResult { found, none, unsupported, failed };

/// The largest record read or written; a larger value is not one of ours.
constexpr std::size_t kMaxRecordSize = 65536;

/// The name the record is kept under: "user.joint2si" on POSIX, ":joint2si" on
/// Windows. copy_attributes leaves the attribute of that name behind, so that a
/// replacement never carries the record of the content it replaces.
const char *record_name();

/// The record of the file, in `record`: found, none (the file has no record), or
/// unsupported / failed (`record` then empty). A value over kMaxRecordSize fails.
RecordResult read_record(long long handle, const std::string &path, std::string *record);

/// Gives the file the record `record`, replacing one it had: found, unsupported or
/// failed. The record is on disk once the file is synced.
RecordResult write_record(long long handle, const std::string &path, const std::string &record);

/// Takes the file's record away: found (removed, or there was none), unsupported or
/// failed.
RecordResult remove_record(long long handle, const std::string &path);

/* A replacement's mark: the same kind of record under a name of its own
 * ("user.joint2si.replacement" on POSIX, the stream ":joint2si.replacement" on
 * Windows), given to every file this toolkit creates under a replacement file's name,
 * so that a sweep removes only files it can show are its own. A file system that keeps
 * no records keeps no marks either: its replacement files are never proven the
 * toolkit's, and never removed by a sweep. */

/// The name the mark is kept under; copy_attributes leaves it behind.
const char *mark_name();
/// The mark of the file, as read_record reads its record.
RecordResult read_mark(long long handle, const std::string &path, std::string *mark);
/// Gives the file the mark `mark`, as write_record does; with `durable`, the mark is on
/// disk when this returns (found).
RecordResult write_mark(long long handle, const std::string &path, const std::string &mark,
                        bool durable);
/// Takes the file's mark away, as remove_record does.
RecordResult remove_mark(long long handle, const std::string &path);
/// Opens the entry `path` itself for read_mark (a symbolic link or reparse point is not
/// followed: it is no file of ours) without any step that can block; -1 when it cannot
/// be opened. close_record_handle closes it.
long long open_mark_handle(const std::string &path);

/// Creates the new file `name` in `directory` exclusively, open for writing, carrying
/// the mark `mark`: on Linux the file is made unnamed (O_TMPFILE), marked, and only
/// then named (linkat), so no name of the toolkit's form ever leads to an unmarked file
/// of its own; elsewhere it is created by name and marked at once. The file's handle
/// (a descriptor on POSIX), or -1 with errno (EEXIST: the name is taken). The file has
/// no mark where its file system keeps none. `*locked` tells whether the file holds its
/// writer's lock (lock_replacement_handle's) from before any name led to it: no other
/// run can then have removed it as abandoned, and that lock need not be taken again.
long long create_marked(const std::string &directory, const std::string &name,
                        const std::string &mark, bool *locked);

/// The system's handle of the file open as `stream`, for the operations above.
long long handle_of_stream(std::FILE *stream);

/// Opens the existing file `path` (links followed) for the operations above without
/// any step that can block, and without asking to read or write its bytes; -1 when it
/// cannot be opened. close_record_handle closes it.
long long open_record_handle(const std::string &path);
void close_record_handle(long long handle);

/// Test support: what a fault makes record operations give from now on without asking
/// the system. `unsupported` answers reads, writes and removals as a file system without
/// records does; `failed` makes writes fail (reads and removals go on). None turns it
/// off.
enum class RecordFault { none, unsupported, failed };
void set_record_fault(RecordFault fault);
/// Whether a fault decides the operation (each system's implementation asks before it
/// acts); true with `*result` set when it does. `writing`: the operation is a write.
bool injected_record_result(bool writing, RecordResult *result);

} // namespace platform

#endif
