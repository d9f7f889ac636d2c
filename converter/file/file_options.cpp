#include "file/file_options.h"

#include "diff/unified_diff.h"
#include "file/line_count.h"
#include "file/standard_input.h"
#include "terminal/messages.h"
#include "terminal/progress.h"

#include "libtools/tool_console.h"

#include <cstdio>

namespace {

constexpr int kBlock = 1 << 16;

// The whole text of `input` from its start; false when it cannot be rewound or read.
bool read_again(ToolStream input, std::string *text) {
    LineEnds none;
    if (!count_line_ends(input, 0, &none)) { // rewinds
        return false;
    }
    static char block[kBlock];
    for (;;) {
        const int got = tool_fread(block, 1, kBlock, input);
        if (got <= 0) {
            return tool_ferror(input) == 0;
        }
        text->append(block, static_cast<std::size_t>(got));
    }
}

} // namespace

FileReport measure_file(ToolStream input, const FileTally &tally, const CommandLine &options) {
    FileReport report;
    if (tally.dropped.count != 0) {
        report.dropped_line = original_line_of(input, tally.dropped.first_index);
    }
    LineEnds ends;
    if (options.verbose && count_line_ends(input, -1, &ends)) {
        report.lines_read = lines_of(ends);
    }
    return report;
}

void report_file(const char *name, const FileTally &tally, const FileReport &report,
                 const CommandLine &options, RunTally *totals) {
    progress_erase();
    if (tally.dropped.count != 0) {
        report_dropped_digits(name, tally.dropped.count, static_cast<long>(report.dropped_line),
                              tally.dropped.first.c_str());
    }
    const long long lines_read = report.lines_read >= 0 ? report.lines_read : tally.lines_written;
    if (options.verbose) {
        report_file_counts(name, tally.forces, tally.moments, lines_read - tally.lines_written);
    }
    add_to_run(totals, tally, lines_read);
}

void report_run(const CommandLine &options, const RunTally &totals) {
    if (options.verbose) {
        progress_erase();
        report_total_counts(totals.files, totals.forces, totals.moments, totals.comment_lines);
    }
}

bool write_dry_run_diff(const char *name, ToolStream input, const std::string &converted) {
    std::string original;
    if (!read_again(input, &original)) {
        progress_erase();
        report_cannot_read(name);
        return false;
    }
    progress_erase();
    // Untranslated on every system: the diff carries the file's own line ends, so that
    // it applies to the file byte for byte, as diff -u writes it.
    if (tool_binary_mode(stdout) == 0 || !write_unified_diff(stdout, name, original, converted) ||
        std::fflush(stdout) != 0) {
        report_cannot_write(kStandardInputName);
        return false;
    }
    return true;
}
