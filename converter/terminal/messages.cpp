#include "terminal/messages.h"

#include "terminal/progress.h"

#include "libtools/tool_console.h"

#include "libtools/tool_sys_io.h"

#include <cstdio>

namespace {

// Prints `format` with the names filled in; names are UTF-8 and reach the console in
// its own encoding. A fixed buffer, as messages are also printed when memory ran out;
// a text too long for it is printed as it is.
template <typename... Names>
void print(const char *format, Names... names) {
    progress_erase();
    char text[3 * 4096 + 256];
    const int length = std::snprintf(text, sizeof text, format, names...);
    if (length < 0 || static_cast<std::size_t>(length) >= sizeof text) {
        std::fprintf(stderr, format, names...);
        return;
    }
    tool_console_write(text, stderr);
}

// A message to a closed pipe (2>&1 | head -1) or a write past a file-size limit must
// fail as a write, not end the run with the remaining files skipped: set up before
// the first message and the first file.
const bool write_signals_ignored = (tool_ignore_write_signals(), true);

} // namespace

void report_no_match() {
    progress_erase();
    tool_console_write("Error: Could not open file any file\n", stderr);
}

void report_cannot_open(const char *name) {
    print("Error: Could not open file '%s'\n", name);
}

void report_cannot_read(const char *name) {
    print("Error: Could not read file '%s'\n", name);
}

void report_not_text(const char *name) {
    print("Error: Could not convert file '%s': it is not a text file\n", name);
}

void report_cannot_write(const char *name) {
    print("Error: Could not write file '%s'\n", name);
}

void report_kept_elsewhere(const char *name, const char *kept_in) {
    print("Error: Could not write file '%s'; the converted text is kept in '%s'\n", name, kept_in);
}

void report_cannot_read_directory(const char *name) {
    print("Error: Could not read directory '%s'\n", name);
}

void report_unknown_option(const char *option) {
    print("Error: Unknown option '%s'\n", option);
}

void report_bad_backup_suffix(const char *suffix) {
    print("Error: Invalid backup suffix '%s'\n", suffix);
}

void report_unknown_backup_control(const char *control, const char *source) {
    print("Error: Unknown backup control '%s'\n", control);
    print("  %s takes none, off, numbered, t, existing, nil, simple or never\n", source);
}

void report_unknown_unit(const char *kind, const char *unit_text) {
    print("Error: Unknown %s unit '%s'\n", kind, unit_text);
}

void report_not_regular(const char *name) {
    print("Error: Could not convert file '%s': it is not a regular file\n", name);
}

void report_untrusted_link(const char *name) {
    print("Error: Could not convert file '%s': it is a symbolic link owned by another "
          "user\n",
          name);
}

void report_leftover_kept(const char *path) {
    print("Warning: '%s' was left by an interrupted rewrite and may hold the only "
          "complete converted text of a file beside it\n",
          path);
}

void report_cannot_back_up(const char *name, const char *backup, const char *reason) {
    print("Error: Could not back up file '%s' as '%s'\n", name, backup);
    if (reason != nullptr) {
        print("  %s\n", reason);
    }
}

void report_dropped_digits(const char *name, int count, long line_number, const char *first) {
    print("Warning: '%s': %d converted lines dropped digits after the value, first at "
          "line %ld: '%s'\n",
          name, count, line_number, first);
}

void report_file_counts(const char *name, long forces, long moments, long long comment_lines) {
    print("%s: %ld forces, %ld moments converted; %lld comment lines removed\n", name, forces,
          moments, comment_lines);
}

void report_total_counts(long files, long forces, long moments, long long comment_lines) {
    print("Total: %ld files, %ld forces, %ld moments converted; %lld comment lines "
          "removed\n",
          files, forces, moments, comment_lines);
}

void report_out_of_memory() {
    progress_erase();
    std::fputs("Error: rewrite_file: Memory allocation failed!\n", stderr);
}

void report_converted_already(const char *name, const char *units) {
    if (*units != '\0') {
        print("Warning: '%s' was converted from %s already; it is left as it is (--force "
              "converts it again)\n",
              name, units);
    } else {
        print("Warning: '%s' was converted already; it is left as it is (--force converts it "
              "again)\n",
              name);
    }
}

void report_changed_since_converted(const char *name, const char *units) {
    print("Error: Could not convert file '%s': it was converted%s%s and has changed since\n", name,
          *units != '\0' ? " from " : "", units);
    print("%s\n", "  converting it would multiply the values converted before again, leaving "
                  "it would keep the ones added since; --force converts it");
}

void report_no_mark_kept(const char *name) {
    print("%s: converted; no mark of the conversion could be kept on this file system\n", name);
}

void report_digits_after_value(const char *name, long long line_number, const char *line) {
    print("Error: Could not convert file '%s': line %lld has digits after its value: '%s'\n", name,
          line_number, line);
}

void report_value_not_finite(const char *name, long long line_number, const char *line) {
    print("Error: Could not convert file '%s': line %lld has a value whose conversion is not a "
          "finite number: '%s'\n",
          name, line_number, line);
}

void report_no_value(const char *name, long long count, long long line_number, const char *first) {
    print("Warning: '%s': %lld force or moment lines hold no value to convert and stay as they "
          "are, first at line %lld: '%s'\n",
          name, count, line_number, first);
}
