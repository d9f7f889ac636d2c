// SPDX-License-Identifier: MIT
// The toolkit's entry points for the command line and the console.
#include "platform/console.h"
#include "libtools/tool_console.h"

extern "C" {

int tool_utf8_arguments(int *argc, char ***argv) {
    return argc != nullptr && argv != nullptr && platform::utf8_arguments(argc, argv) ? 1 : 0;
}

int tool_console_write(const char *text, FILE *stream) {
    return text != nullptr && stream != nullptr && platform::write_console_text(text, stream) ? 1
                                                                                              : 0;
}

const char *tool_system_line_end(void) {
    return platform::system_line_end();
}

int tool_binary_mode(FILE *stream) {
    return stream != nullptr && platform::set_binary_mode(stream) ? 1 : 0;
}

} // extern "C"
