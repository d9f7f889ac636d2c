#include "messages.h"

#include <cstdio>

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
