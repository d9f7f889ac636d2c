// SPDX-License-Identifier: MIT
#include "platform/paths.h"

#include <cerrno>
#include <new>

namespace platform {

// Windows takes the toolkit's path syntax as it is: backslash and "/" both separate.
// Out of memory, the path becomes "" (errno ENOMEM), which names no file.
std::string native_path(const char *path) {
    try {
        return path != nullptr ? path : "";
    } catch (const std::bad_alloc &) {
        errno = ENOMEM;
        return std::string();
    }
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
