#include "file_tally.h"

void convert_and_tally(char **line, const Conversion &conversion, FileTally *tally) {
    ++tally->lines_written;
    const int kind = classify_line(*line);
    if (kind == 0) {
        return;
    }
    const bool drops = drops_digits(*line);
    const bool first_drop = drops && tally->dropped.count == 0;
    if (first_drop) {
        tally->dropped.first = *line; // the conversion cuts the line in place
    }
    if (!convert_line_by_factor(line, conversion_factor(conversion, kind))) {
        if (first_drop) {
            tally->dropped.first.clear();
        }
        return;
    }
    ++(kind == KIND_FORCE ? tally->forces : tally->moments);
    if (drops) {
        ++tally->dropped.count;
    }
    if (first_drop) {
        tally->dropped.first_index = tally->lines_written;
    }
}

void add_to_run(RunTally *run, const FileTally &file, long long lines_read) {
    ++run->files;
    run->forces += file.forces;
    run->moments += file.moments;
    run->comment_lines += lines_read > file.lines_written ? lines_read - file.lines_written : 0;
}
