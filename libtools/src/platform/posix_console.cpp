// SPDX-License-Identifier: MIT
#include "platform/console.h"

namespace platform {

bool utf8_arguments(int *, char ***) {
    return true;
}

bool write_console_text(const char *text, std::FILE *stream) {
    return text != nullptr && stream != nullptr && std::fputs(text, stream) >= 0;
}

const char *system_line_end() {
    return "\n";
}

bool set_binary_mode(std::FILE *) {
    return true;
}

} // namespace platform
