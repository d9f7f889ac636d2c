// SPDX-License-Identifier: MIT
// What the replacement, the backups and the record functions share about a file's
// record (see "A file's record" in tool_sys_io.h).
#ifndef LIBTOOLS_SYS_IO_RECORDS_H
#define LIBTOOLS_SYS_IO_RECORDS_H

#include "libtools/tool_sys_io.h"
#include "platform/file_record.h"
#include "platform/replace.h"

#include <cstddef>
#include <cstdio>
#include <string>

namespace sys_io {

/// The TOOL_RECORD_* code of a platform result.
int record_code(platform::RecordResult result);

/// Rename path: writes the record set for `replacement` onto its replacement file, open
/// as `stream`, and notes the outcome in record_status (NONE when none was set).
void record_onto_replacement(ToolReplacement *replacement, std::FILE *stream) noexcept;

/// In-place path, after the copy: writes the record set for `replacement` onto the
/// target through the lock, or removes the target's old record when none was set or
/// the new one could not be written; notes the outcome in record_status.
void record_onto_target(ToolReplacement *replacement) noexcept;

/// Rename path, after the move: removes an old record that came along with the move
/// when the new content carries none of its own (record_status not FOUND).
void settle_record_after_rename(const ToolReplacement *replacement) noexcept;

/// Stores a heap copy of the `size` bytes of `text` in `*slot`, releasing what the slot
/// held; false (the slot untouched) with errno ENOMEM when memory ran out. `operation`
/// names the entry point for a reader of the call.
bool store_text(char **slot, const char *text, std::size_t size, const char *operation);

/// The TOOL_RECORD_* code of a read that gave `result` and `record`, with the record in
/// `*slot` when found ("" for a value holding a zero byte); FAILED when it cannot be
/// stored (the slot stays null).
int deliver_record(platform::RecordResult result, const std::string &record, char **slot,
                   const char *operation);

/// 1 with the size and CRC-32 of the bytes of the regular file `path` (the file
/// `expected` identifies, when not null); 0 when it cannot be read.
int crc_of_file(const std::string &path, const platform::FileIdentity *expected,
                unsigned long long *size, unsigned long *crc);

/// The record of the file at the resolved `path` into `record` (empty unless found).
platform::RecordResult read_record_at(const std::string &path, std::string *record);

/// Gives the file at `path` the record `*record`, or takes its record away when `record`
/// is null; failed when the file cannot be opened.
platform::RecordResult change_record_at(const std::string &path, const std::string *record);

} // namespace sys_io

#endif
