#include "messages.h"

#include "libtools/tool_console.h"

#include <cstdio>

namespace {

// Prints `format` with the names filled in; names are UTF-8 and reach the console in
// its own encoding. A fixed buffer, as messages are also printed when memory ran out;
// a text too long for it is printed as it is.
template <typename... Names>
void print(const char *format, Names... names) {
    char text[3 * 4096 + 256];
    const int length = std::snprintf(text, sizeof text, format, names...);
    if (length < 0 || static_cast<std::size_t>(length) >= sizeof text) {
        std::fprintf(stderr, format, names...);
        return;
    }
    tool_console_write(text, stderr);
}

} // namespace

void report_no_match() {
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
