// SPDX-License-Identifier: MIT
#include "terminal/messages.h"

#include "terminal/held_messages.h"
#include "terminal/progress.h"
#include "terminal/reason.h"

#include "libtools/tool_console.h"

#include "libtools/tool_sys_io.h"

#include <algorithm>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>

namespace {

constexpr std::size_t kTextSize = 3 * 4096 + 256;

// The lines under a message, each indented by two blanks. A fixed buffer, as messages
// are also printed when memory ran out; a line that does not fit is left out.
class Details {
  public:
    template <typename... Names>
    void add(const char *format, Names... names) {
        char line[kTextSize];
        const int length = std::snprintf(line, sizeof line, format, names...);
        if (length >= 0 && static_cast<std::size_t>(length) < sizeof line) {
            append("  ");
            append(line);
            append("\n");
        }
    }
    void add_reason(int reason) {
        if (const char *text = reason_text(reason)) {
            add("%s", text);
        }
    }
    const char *text() const { return text_; }

  private:
    void append(const char *part) {
        const int length = std::snprintf(text_ + used_, sizeof text_ - used_, "%s", part);
        used_ = length >= 0 ? std::min(used_ + static_cast<std::size_t>(length), sizeof text_ - 1)
                            : used_;
    }
    char text_[kTextSize] = "";
    std::size_t used_ = 0;
};

// Holds the message in the calling thread's capture, when one is installed (a file
// converted while files before it are still being committed): `text` as formatted into
// kTextSize bytes (`length` its full length), formatted again in full when it did not
// fit. False when there is no capture, or no memory to hold the message: it is written
// at once then.
template <typename... Names>
bool hold(const char *text, int length, const Details &details, const char *format,
          Names... names) {
    HeldMessages *held = held_messages();
    if (held == nullptr || length < 0) {
        return false;
    }
    try {
        std::string message(static_cast<std::size_t>(length) + 1, '\0');
        if (static_cast<std::size_t>(length) < kTextSize) {
            message.assign(text);
        } else {
            std::snprintf(&message[0], message.size(), format, names...);
            message.resize(static_cast<std::size_t>(length));
        }
        return held->add(message + details.text());
    } catch (const std::bad_alloc &) {
        return false;
    }
}

// Prints `format` with the names filled in, then the `details` lines; names are UTF-8
// and reach the console in its own encoding. A fixed buffer, as messages are also
// printed when memory ran out; a text too long for it is printed as it is.
template <typename... Names>
void print_with(const Details &details, const char *format, Names... names) {
    char text[kTextSize];
    const int length = std::snprintf(text, sizeof text, format, names...);
    if (hold(text, length, details, format, names...)) {
        return;
    }
    progress_erase();
    if (length < 0 || static_cast<std::size_t>(length) >= sizeof text) {
        std::fprintf(stderr, format, names...);
        std::fputs(details.text(), stderr);
        return;
    }
    tool_console_write(text, stderr);
    tool_console_write(details.text(), stderr);
}

template <typename... Names>
void print(const char *format, Names... names) {
    print_with(Details(), format, names...);
}

// The message, with the line telling `reason` under it when one is known.
template <typename... Names>
void print_with_reason(int reason, const char *format, Names... names) {
    Details details;
    details.add_reason(reason);
    print_with(details, format, names...);
}

// A message to a closed pipe (2>&1 | head -1) or a write past a file-size limit must
// fail as a write, not end the run with the remaining files skipped: set up before
// the first message and the first file.
const bool write_signals_ignored = (tool_ignore_write_signals(), true);

} // namespace

void report_no_match(const char *argument, const char *unread_directory, int reason) {
    Details details;
    details.add("'%s' matches no file", argument);
    if (unread_directory != nullptr) {
        const char *text = reason_text(reason);
        if (text != nullptr) {
            details.add("directory '%s' could not be read: %s", unread_directory, text);
        } else {
            details.add("directory '%s' could not be read", unread_directory);
        }
    }
    print_with(details, "%s", "Error: Could not open file any file\n");
}

void report_cannot_open(const char *name, int reason) {
    print_with_reason(reason, "Error: Could not open file '%s'\n", name);
}

void report_cannot_read(const char *name, int reason) {
    print_with_reason(reason, "Error: Could not read file '%s'\n", name);
}

void report_not_text(const char *name) {
    print("Error: Could not convert file '%s': it is not a text file\n", name);
}

void report_cannot_write(const char *name, int reason) {
    print_with_reason(reason, "Error: Could not write file '%s'\n", name);
}

void report_kept_elsewhere(const char *name, const char *kept_in, int reason) {
    print_with_reason(reason,
                      "Error: Could not write file '%s'; the converted text is kept in '%s'\n",
                      name, kept_in);
}

void report_changed_during_run(const char *name) {
    Details details;
    details.add("%s", "another program changed it during the conversion; it is left as that "
                      "program left it");
    print_with(details, "Error: Could not write file '%s'\n", name);
}

void report_directory_unsynced(const char *name, int reason) {
    Details details;
    const char *text = reason_text(reason);
    details.add("it holds the converted text, but its directory could not be synced, so a "
                "crash may bring the old text back%s%s",
                text != nullptr ? ": " : "", text != nullptr ? text : "");
    print_with(details, "Error: Could not write file '%s'\n", name);
}

void report_copy_pending(const char *name, const char *kept_in) {
    Details details;
    details.add("%s", "a run that ended while copying it there may have left it torn; put that "
                      "file in its place, or remove it, then run again");
    print_with(details, "Error: Could not write file '%s'; the converted text is kept in '%s'\n",
               name, kept_in);
}

void report_cannot_read_directory(const char *name, int reason) {
    print_with_reason(reason, "Error: Could not read directory '%s'\n", name);
}

void report_unknown_option(const char *option) {
    print("Error: Unknown option '%s'\n", option);
}

void report_bad_backup_suffix(const char *suffix) {
    print("Error: Invalid backup suffix '%s'\n", suffix);
}

void report_backup_suffix_not_in_names(const char *suffix, char bad) {
    Details details;
    const bool at_end =
        (bad == '.' || bad == ' ') && suffix[0] != '\0' && suffix[std::strlen(suffix) - 1] == bad;
    if (at_end) {
        details.add("a file name here cannot end in a %s", bad == '.' ? "dot" : "blank");
    } else if (static_cast<unsigned char>(bad) < 0x20) {
        details.add("%s", "a file name here cannot hold control characters");
    } else {
        details.add("a file name here cannot hold '%c'", bad);
    }
    print_with(details, "Error: Invalid backup suffix '%s'\n", suffix);
}

void report_unknown_backup_control(const char *control, const char *source) {
    print("Error: Unknown backup control '%s'\n", control);
    print("  %s takes none, off, numbered, t, existing, nil, simple or never\n", source);
}

void report_bad_jobs(const char *value) {
    print("Error: Invalid number of jobs '%s'\n", value);
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
    Details details;
    if (reason != nullptr) {
        details.add("%s", reason);
    }
    print_with(details, "Error: Could not back up file '%s' as '%s'\n", name, backup);
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
    static const std::string text = "Error: rewrite_file: Memory allocation failed!\n";
    HeldMessages *held = held_messages();
    if (held != nullptr && held->add(text)) {
        return;
    }
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
