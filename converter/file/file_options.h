// What the long options add to the rewrite of one file: the diff of --dry-run, the
// dropped-digits warning and the counts of --verbose (the backup has its own file,
// file/backup.h). The driver calls these per file, never per line.
#ifndef JOINT2SI_FILE_OPTIONS_H
#define JOINT2SI_FILE_OPTIONS_H

#include "app/command_line.h"
#include "app/file_tally.h"

#include "libtools/tool_sys_io.h"

#include <string>

/// What is reported about a converted file once it is in place, measured while its
/// input is still open.
struct FileReport {
    long long dropped_line = 0; // line number of the first line that dropped digits
    long long lines_read = -1;  // lines of the original text; -1 when not counted
};

/// Measures what the report of a file read whole from `input` needs: the original line
/// of the first line that dropped digits, and with --verbose the number of lines read.
/// Rewinds and reads `input` again when one of them is needed.
FileReport measure_file(ToolStream input, const FileTally &tally, const CommandLine &options);

/// After `name` was converted (or, with --dry-run, its diff written): the dropped-digits
/// warning, and with --verbose its counts; adds the file to `totals`.
void report_file(const char *name, const FileTally &tally, const FileReport &report,
                 const CommandLine &options, RunTally *totals);

/// With --verbose, the total line of the run.
void report_run(const CommandLine &options, const RunTally &totals);

/// --dry-run: writes to standard output the unified diff of the text of `input` (read
/// again from its start, decompressed) against `converted`. False after a message when
/// the original cannot be read again.
bool write_dry_run_diff(const char *name, ToolStream input, const std::string &converted);

#endif
