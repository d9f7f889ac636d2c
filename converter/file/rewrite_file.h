// SPDX-License-Identifier: MIT
// One file's life: lock it, convert it into its replacement (or its preview), back it
// up, and put the new content in place; or leave it untouched and say why.
#ifndef JOINT2SI_FILE_REWRITE_FILE_H
#define JOINT2SI_FILE_REWRITE_FILE_H

#include "convert/conversion_counts.h"
#include "file/file_settings.h"
#include "terminal/progress.h"

#include "libtools/tool_sys_io.h"

#include <vector>

/// What the rewrites of a run share from file to file.
struct FileRun {
    /// The files converted so far, so none is converted twice however it is reached
    /// (the same name twice, two patterns, a symbolic or hard link).
    std::vector<ToolFileIdentity> converted;
    Progress *progress = nullptr;
    BackupLedger backups; // the backups made (with a dry run: that would have been made)
    /// A converted file's directory could not be synced: the run's status is -1.
    bool unsynced = false;
};

enum class FileResult {
    converted, // converted (with --dry-run: its diff written); `counts` filled
    skipped,   // a name never rewritten, or a file already converted in this run
    failed,    // not converted, after a message; the file keeps its old content
};

/// Whether the file `identity` names was converted in this run already.
bool already_converted(const FileRun &run, const ToolFileIdentity &identity);

/// Whether the file `locked` holds is the one the walk listed (`listed`; null when the
/// walk gave none, which passes): false, after the message that says so, when the name
/// led to another file since its directory was listed (a directory swapped for a link).
bool locked_as_listed(const ToolReplacement &locked, const ToolFileIdentity *listed,
                      const char *name);

/// Converts the file `name` in place as `settings` ask (with a dry run: writes the diff
/// of the conversion instead), counting into `*counts`. With `listed`, the file locked
/// must have that identity (locked_as_listed).
FileResult rewrite_file(const char *name, const FileSettings &settings, FileRun *run,
                        ConversionCounts *counts, const ToolFileIdentity *listed = nullptr);

#endif
