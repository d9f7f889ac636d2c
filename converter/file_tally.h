// What the rewrite of one file did, gathered line by line for --verbose and the
// dropped-digits warning, and the totals of a run.
#ifndef JOINT2SI_FILE_TALLY_H
#define JOINT2SI_FILE_TALLY_H

#include "dropped_digits.h"
#include "units.h"

struct FileTally {
    long forces = 0;  // force values converted
    long moments = 0; // moment values converted
    long long lines_written = 0;
    DroppedDigits dropped;
};

struct RunTally {
    long files = 0;
    long forces = 0;
    long moments = 0;
    long long comment_lines = 0;
};

/// Converts the line in `*line` when it is a force or moment line (as
/// convert_line_by_factor with the factor of its kind) and tallies it: a converted value,
/// and a converted line that dropped digits (the first one is kept with its place among
/// the lines read). The slot is null afterwards when memory ran out (reported).
void convert_and_tally(char **line, const Conversion &conversion, FileTally *tally);

/// Adds a converted file to the run's totals; `lines_read` is the number of lines of
/// the original text, so the lines it lost were comment lines.
void add_to_run(RunTally *run, const FileTally &file, long long lines_read);

#endif
