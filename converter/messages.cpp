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
