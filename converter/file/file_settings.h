// SPDX-License-Identifier: MIT
// What the rewrite of each file of a run is asked to do, set once from the command line.
#ifndef JOINT2SI_FILE_FILE_SETTINGS_H
#define JOINT2SI_FILE_FILE_SETTINGS_H

#include "convert/units.h"
#include "file/backup.h"

struct FileSettings {
    Conversion conversion;            // the factors of the run
    bool dry_run = false;             // change nothing; write the diff of the conversion
    BackupPolicy backup;              // --backup: which backups, and the names they avoid
    const char *force_unit = nullptr; // the unit texts as given, named in the record
    const char *moment_unit = nullptr;
    bool force = false;   // convert files again that carry the record of a conversion
    bool verbose = false; // say when a file system keeps no record

    // Convert lines with digits after their value by their first number, with a
    // warning, instead of refusing the file.
    bool allow_dropped_digits = false;
};

#endif
