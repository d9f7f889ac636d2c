// Rewriting one matched file: read, convert and replace it safely.
#ifndef JOINT2SI_FILE_REWRITE_H
#define JOINT2SI_FILE_REWRITE_H

#include "app/command_line.h"
#include "app/file_tally.h"
#include "file/backup.h"
#include "terminal/progress.h"

#include "libtools/tool_sys_io.h"

#include <vector>

/// The files converted so far in this run, so none is converted twice however it is
/// reached (the same name twice, two patterns, a symbolic or hard link).
using ConvertedFiles = std::vector<ToolFileIdentity>;

/// What a run keeps from file to file.
struct RunState {
    ConvertedFiles converted;
    RunTally totals;      // --verbose
    Progress progress;    // the progress line
    BackupLedger backups; // --backup
};

/// Converts the file `name` in place as the accepted command line `options` asks
/// (with --dry-run: writes the diff of the conversion instead). Returns false, after
/// printing why, when the file could not be opened, read, converted, backed up or
/// written; the file then keeps its old content.
bool rewrite_file(const char *name, const CommandLine &options, RunState *run);

#endif
