// SPDX-License-Identifier: MIT
#include "platform/paths.h"

#include <cerrno>
#include <new>

namespace platform {

// Out of memory, the path becomes "" (errno ENOMEM), which names no file: the call it
// was meant for fails as for a missing file instead of ending the process with an
// exception.
std::string native_path(const char *path) {
    try {
        return path != nullptr ? path : "";
    } catch (const std::bad_alloc &) {
        errno = ENOMEM;
        return std::string();
    }
}

char native_separator() {
    return '/';
}

bool is_path_separator(char c) {
    return c == '/';
}

void use_native_separators(char *) {}

} // namespace platform
