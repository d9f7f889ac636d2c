// What the rewrite of one file did, for --verbose and the dropped-digits warning, and
// the totals of a run.
#ifndef JOINT2SI_FILE_TALLY_H
#define JOINT2SI_FILE_TALLY_H

#include <string>

/// The converted lines of one file that dropped digits after their value (the text
/// after the value held a digit: a decimal comma, a second value).
struct DroppedDigits {
    int count = 0;
    std::string first;         // the first of them as read (comments removed)
    long long first_index = 0; // its place among the lines read (from 1), 0: none
};

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

/// Adds a converted file to the run's totals; `lines_read` is the number of lines of
/// the original text, so the lines it lost were comment lines.
void add_to_run(RunTally *run, const FileTally &file, long long lines_read);

#endif
