// SPDX-License-Identifier: MIT
// Names of backups by the convention of the common tools: a simple backup is the file's
// name followed by a suffix ("a.jnt~"); a numbered one is the name followed by
// ".~N~", N one more than the highest such number already beside the file.
#ifndef JOINT2SI_BACKUP_NAME_H
#define JOINT2SI_BACKUP_NAME_H

#include <string>

/// Which backups a run makes (--backup=CONTROL, or VERSION_CONTROL).
enum class BackupControl {
    none,     // "none", "off": no backups
    numbered, // "numbered", "t": always numbered
    existing, // "existing", "nil": numbered for a file that has numbered backups already
    simple,   // "simple", "never": always name + suffix
};

/// Reads a control's name, or a prefix that names only one meaning ("nu" is numbered,
/// "n" could be four of them); true and `*control` set, false for anything else
/// (the empty text and null included).
bool parse_backup_control(const char *text, BackupControl *control);

/// True when `suffix` can follow a file's name to name its backup beside it: not
/// empty and with no directory separator (what the system counts as one).
bool valid_backup_suffix(const char *suffix);

/// The backup `path` gets under `control` (not none): `path` + `suffix`, or `path` +
/// ".~N~". The directory is listed only for numbered and existing; one that cannot be
/// listed counts as holding no numbered backups. Throws std::bad_alloc.
std::string backup_name(const std::string &path, BackupControl control, const std::string &suffix);

#endif
