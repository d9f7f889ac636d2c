// SPDX-License-Identifier: MIT
// The backups of a run: which name each file's backup gets, when a backup may not be
// made, and the backups made so far. A backup is checked and made only for a file
// whose conversion succeeded, right before the converted content takes its place;
// --dry-run makes the same checks and notes the backups it would make, so that its
// status is the real run's.
//
// A backup is refused when its name is a backup this run made already, or an existing
// file that a file argument of the run names or matches (it would replace a file the
// run converts, or has converted), as well as when the library could not make it (a
// directory or device of that name, a directory the process may not create files in).
// A file that is a backup this run made is never converted.
#ifndef JOINT2SI_FILE_BACKUP_H
#define JOINT2SI_FILE_BACKUP_H

#include "file/backup_name.h"

#include "libtools/tool_dstring.h"
#include "libtools/tool_sys_io.h"

#include <string>
#include <vector>

/// Which backups the run makes, and the file arguments their names may not reach.
struct BackupPolicy {
    BackupControl control = BackupControl::none;
    const char *suffix = nullptr;          // of simple backups; null: no backups
    const StringList *arguments = nullptr; // the run's file arguments
    bool recursive = false;                // --recursive: they reach the directories below
};

/// A backup this run made, or in a dry run would have made.
struct MadeBackup {
    std::string path;             // as the messages name it
    ToolFileIdentity directory{}; // the directory it is in
    std::string name;             // its name there
    bool made = false;            // on disk (a real run), with the identity below
    ToolFileIdentity file{};
};

/// The backups of the run so far.
struct BackupLedger {
    std::vector<MadeBackup> backups;
};

/// Keeps the old content of `name`, the file `replacement` holds locked, under the name
/// `policy` gives it, and notes it in `ledger`; with `dry_run` only checks that it could
/// (and notes it). True when `policy` asks for no backup or it was made (or could be);
/// false after a message naming the file and the backup when it may not or could not
/// be made.
bool keep_backup(const char *name, const ToolReplacement *replacement, const BackupPolicy &policy,
                 bool dry_run, BackupLedger *ledger);

/// True when `name` is a backup this run made (or in a dry run would have made, when
/// `name` is its path): such a file is not converted.
bool is_backup_of_run(const BackupLedger &ledger, const char *name);

/// The backups a dry run would have made and that are not on disk, which a walk over
/// `argument` would have met in the real run.
int unmade_backups_matched(const BackupLedger &ledger, const char *argument, bool recursive);

#endif
