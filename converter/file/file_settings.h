// What the rewrite of each file of a run is asked to do, set once from the command line.
#ifndef JOINT2SI_FILE_FILE_SETTINGS_H
#define JOINT2SI_FILE_FILE_SETTINGS_H

#include "convert/units.h"

struct FileSettings {
    Conversion conversion;               // the factors of the run
    bool dry_run = false;                // change nothing; write the diff of the conversion
    const char *backup_suffix = nullptr; // keep the old content as name + suffix; null: no backup
    bool allow_dropped_digits = false;   // convert lines with digits after their value, dropping
                                         // them with a warning, instead of refusing the file
};

#endif
