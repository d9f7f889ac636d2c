// What the rewrite of each file of a run is asked to do, set once from the command line.
#ifndef JOINT2SI_FILE_FILE_SETTINGS_H
#define JOINT2SI_FILE_FILE_SETTINGS_H

#include "convert/units.h"
#include "file/backup.h"

struct FileSettings {
    Conversion conversion; // the factors of the run
    bool dry_run = false;  // change nothing; write the diff of the conversion
    BackupPolicy backup;   // --backup: which backups, and the names they avoid
};

#endif
