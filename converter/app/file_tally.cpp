#include "app/file_tally.h"

void add_to_run(RunTally *run, const FileTally &file, long long lines_read) {
    ++run->files;
    run->forces += file.forces;
    run->moments += file.moments;
    run->comment_lines += lines_read > file.lines_written ? lines_read - file.lines_written : 0;
}
