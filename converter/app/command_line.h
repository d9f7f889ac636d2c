// SPDX-License-Identifier: MIT
// The converter's command line: one table of options filling one options record,
// the usage text, and the acceptance steps that decide whether a run goes on to the
// files and with which exit status it ends when it does not.
//
// The original options ("-f", "-m", "-?", "-help") keep their exact rules: a value is
// always the next argument, options are case-sensitive, and any other argument that
// begins with a dash is a file argument. The long options are the tool's own
// additions; an argument that begins with "--" and is none of them is an error, and
// "--" ends the options (every later argument is a file argument).
#ifndef JOINT2SI_COMMAND_LINE_H
#define JOINT2SI_COMMAND_LINE_H

#include "convert/units.h"
#include "file/backup_name.h"

#include "libtools/tool_dstring.h"

/// What the command line asks for. The unit texts and the backup suffix are heap string
/// slots (null when not given); the file arguments are names or wildcard patterns.
/// Created as declared, filled by accept_command_line, released by
/// release_command_line.
struct CommandLine {
    char *force_unit = nullptr;
    char *moment_unit = nullptr;
    StringList files = {0, nullptr};
    bool complete = true;   // false when memory ran out while storing an argument
    bool recursive = false; // --recursive: patterns also match in subdirectories
    bool dry_run = false;   // --dry-run: change nothing, print a unified diff
    // --backup[=CONTROL] and --suffix: the suffix of simple backups when the run makes
    // backups (control not none), else null.
    char *backup = nullptr;
    BackupControl backup_control = BackupControl::none;
    bool verbose = false;                     // --verbose: per-file counts and a total on stderr
    int jobs = 0;                             // --jobs: files converted at once; 0: one per core
    bool no_progress = false;                 // --no-progress: never show the progress line
    bool force = false;                       // --force: convert again files that carry a record
    bool allow_dropped_digits = false;        // --allow-dropped-digits: first number only, warned
    UnitFactors factors = UnitFactors::table; // --exact: UnitFactors::exact
    Conversion conversion;                    // the factors resolved from the unit texts
    int status = 0;                           // the exit status when the run ends at acceptance
};

/// Scans argv[1 .. argc-1] with the original rules only: "-f" and "-m" take the next
/// argument as their unit text (the last one given wins), "-?" and "-help" print the
/// usage text at once, and every other argument is appended to `files`. The slots come
/// in null, the list empty. Returns 1 when every argument was stored, 0 when memory ran
/// out for one (the allocation message has been printed then).
int parse_arguments(int argc, char **argv, char **force_unit, char **moment_unit,
                    StringList *files);

/// Writes the usage text, naming `program`, to the standard error stream.
void print_usage(const char *program);

/// Applies the acceptance steps to the arguments and fills `command`. Returns true when
/// the run goes on to file processing, with `command->conversion` resolved. Returns
/// false when it ends here, with `command->status` the run's exit status: 0 when help or
/// the version was asked for (or there were no arguments), -1 after a usage mistake (the
/// usage text was printed), an unknown option, an unknown unit, backup control or an
/// unusable backup suffix (a message named it). With --backup alone the control comes
/// from VERSION_CONTROL (unset or empty: existing); without --suffix the suffix comes
/// from SIMPLE_BACKUP_SUFFIX (unset or empty: "~").
/// `command->complete` tells whether every argument was stored.
bool accept_command_line(int argc, char **argv, CommandLine *command);

/// Releases the unit texts, the backup suffix and the file arguments.
void release_command_line(CommandLine *command);

#endif
