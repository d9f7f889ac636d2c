#include "platform/paths.h"

namespace platform {

// Windows takes the toolkit's path syntax as it is: backslash and "/" both separate.
std::string native_path(const char *path) {
    return path != nullptr ? path : "";
}

char native_separator() {
    return '\\';
}

bool is_path_separator(char c) {
    return c == '\\' || c == '/';
}

void use_native_separators(char *path) {
    for (; path != nullptr && *path != '\0'; ++path) {
        if (*path == '/') {
            *path = '\\';
        }
    }
}

} // namespace platform
