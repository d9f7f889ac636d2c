// SPDX-License-Identifier: MIT
// The counts --verbose reports: one line per file and the totals of the run.
#ifndef JOINT2SI_APP_RUN_TOTALS_H
#define JOINT2SI_APP_RUN_TOTALS_H

#include "convert/conversion_counts.h"

struct RunTotals {
    long files = 0;
    long long forces = 0;
    long long moments = 0;
    long long comment_lines = 0;
};

/// Adds a converted file's counts to the run's totals.
void add_to_run(RunTotals *run, const ConversionCounts &file);

/// With `verbose`: the counts line of the file `name`; adds it to `*run` either way.
void report_converted(const char *name, const ConversionCounts &file, bool verbose, RunTotals *run);

/// With `verbose`: the total line of the run.
void report_totals(const RunTotals &run, bool verbose);

#endif
