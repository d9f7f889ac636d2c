// SPDX-License-Identifier: MIT
// What --backup[=CONTROL] and --suffix ask for, resolved with the environment as the
// common tools read it: VERSION_CONTROL when --backup names no control,
// SIMPLE_BACKUP_SUFFIX when --suffix is not given (an empty variable counts as unset).
#ifndef JOINT2SI_BACKUP_OPTIONS_H
#define JOINT2SI_BACKUP_OPTIONS_H

struct CommandLine;

/// The backup options as the scan found them.
struct BackupRequest {
    bool asked = false;            // --backup was given
    const char *control = nullptr; // its "=CONTROL"; null for --backup alone
    bool suffix_given = false;     // --suffix was given
    const char *suffix = nullptr;  // its value
};

/// Sets `command->backup_control` and, when backups are made, `command->backup` to the
/// suffix. True when the request is usable (no backups asked for included); false
/// after a message for an unknown control (from --backup or VERSION_CONTROL) or a
/// suffix that is empty or holds a directory separator, with `command->backup` null.
/// A --suffix is checked also when no backups are made. False as well when memory ran
/// out storing the suffix (`command->complete` is false then).
bool resolve_backup_request(const BackupRequest &request, CommandLine *command);

#endif
