// SPDX-License-Identifier: MIT
// What one conversion met, and how it ended.
#ifndef JOINT2SI_CONVERT_CONVERSION_COUNTS_H
#define JOINT2SI_CONVERT_CONVERSION_COUNTS_H

#include <string>

/// Counted in the same pass that converts, so nothing is read twice for a report.
struct ConversionCounts {
    long long lines_read = 0; // lines of the original text (a last line without line end too)
    long long lines = 0;      // lines written
    long long forces = 0;     // force values converted
    long long moments = 0;    // moment values converted
    long long dropped = 0;    // converted lines whose text after the value held a digit
    long long first_dropped_line = 0; // the first of them: its line in the original, 0: none
    std::string first_dropped;        // and its text as read (comments removed)
    bool changed = false;             // the written bytes differ from the bytes read
    int error = 0; // after write_failed: the system's error code of the sink's first failure
                   // (OutputSink::error), 0 when it gave none

    // Force and moment lines of a converted kind from which no number could be read, and
    // values whose conversion is not a finite number; the first of each as for dropped
    // digits.
    long long no_value = 0;
    long long first_no_value_line = 0;
    std::string first_no_value;
    long long not_finite = 0;
    long long first_not_finite_line = 0;
    std::string first_not_finite;
};

/// The lines the conversion removed: comment lines and lines joined by a block comment.
inline long long removed_lines(const ConversionCounts &counts) {
    return counts.lines_read > counts.lines ? counts.lines_read - counts.lines : 0;
}

/// How a conversion ended. Anything but `converted` leaves the output incomplete.
enum class ConvertOutcome {
    converted,
    read_failed,  // the input reported an error (damaged data, a device error)
    not_text,     // the input held a zero byte
    write_failed, // the sink refused a block or its finish
};

#endif
