#include "messages.h"

#include "libtools/tool_sys_io.h"

#include <cstdio>

namespace {

// A message to a closed pipe (2>&1 | head -1) or a write past a file-size limit must
// fail as a write, not end the run with the remaining files skipped: set up before
// the first message and the first file.
const bool write_signals_ignored = (tool_ignore_write_signals(), true);

} // namespace

void report_no_match() {
    std::fputs("Error: Could not open file any file\n", stderr);
}

void report_cannot_open(const char *name) {
    std::fprintf(stderr, "Error: Could not open file '%s'\n", name);
}

void report_cannot_read(const char *name) {
    std::fprintf(stderr, "Error: Could not read file '%s'\n", name);
}

void report_not_text(const char *name) {
    std::fprintf(stderr, "Error: Could not convert file '%s': it is not a text file\n", name);
}

void report_cannot_write(const char *name) {
    std::fprintf(stderr, "Error: Could not write file '%s'\n", name);
}

void report_kept_elsewhere(const char *name, const char *kept_in) {
    std::fprintf(stderr, "Error: Could not write file '%s'; the converted text is kept in '%s'\n",
                 name, kept_in);
}

void report_unknown_option(const char *option) {
    std::fprintf(stderr, "Error: Unknown option '%s'\n", option);
}

void report_bad_backup_suffix(const char *suffix) {
    std::fprintf(stderr, "Error: Invalid backup suffix '%s'\n", suffix);
}

void report_unknown_unit(const char *kind, const char *unit_text) {
    std::fprintf(stderr, "Error: Unknown %s unit '%s'\n", kind, unit_text);
}

void report_not_regular(const char *name) {
    std::fprintf(stderr, "Error: Could not convert file '%s': it is not a regular file\n", name);
}

void report_untrusted_link(const char *name) {
    std::fprintf(stderr,
                 "Error: Could not convert file '%s': it is a symbolic link owned by another "
                 "user\n",
                 name);
}

void report_leftover_kept(const char *path) {
    std::fprintf(stderr,
                 "Warning: '%s' was left by an interrupted rewrite and may hold the only "
                 "complete converted text of a file beside it\n",
                 path);
}

void report_cannot_back_up(const char *name, const char *backup) {
    std::fprintf(stderr, "Error: Could not back up file '%s' as '%s'\n", name, backup);
}

void report_dropped_digits(const char *name, int count, long line_number, const char *first) {
    std::fprintf(stderr,
                 "Warning: '%s': %d converted lines dropped digits after the value, first at "
                 "line %ld: '%s'\n",
                 name, count, line_number, first);
}

void report_file_counts(const char *name, long forces, long moments, long long comment_lines) {
    std::fprintf(stderr, "%s: %ld forces, %ld moments converted; %lld comment lines removed\n",
                 name, forces, moments, comment_lines);
}

void report_total_counts(long files, long forces, long moments, long long comment_lines) {
    std::fprintf(stderr,
                 "Total: %ld files, %ld forces, %ld moments converted; %lld comment lines "
                 "removed\n",
                 files, forces, moments, comment_lines);
}

void report_out_of_memory() {
    std::fputs("Error: rewrite_file: Memory allocation failed!\n", stderr);
}
