// SPDX-License-Identifier: MIT
#include "app/run_totals.h"

#include "terminal/messages.h"

void add_to_run(RunTotals *run, const ConversionCounts &file) {
    ++run->files;
    run->forces += file.forces;
    run->moments += file.moments;
    run->comment_lines += removed_lines(file);
}

void report_converted(const char *name, const ConversionCounts &file, bool verbose,
                      RunTotals *run) {
    if (verbose) {
        report_file_counts(name, static_cast<long>(file.forces), static_cast<long>(file.moments),
                           removed_lines(file));
    }
    add_to_run(run, file);
}

void report_totals(const RunTotals &run, bool verbose) {
    if (verbose) {
        report_total_counts(run.files, static_cast<long>(run.forces),
                            static_cast<long>(run.moments), run.comment_lines);
    }
}
