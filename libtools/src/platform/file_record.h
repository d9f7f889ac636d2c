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
