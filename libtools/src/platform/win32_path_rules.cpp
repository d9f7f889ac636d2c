// SPDX-License-Identifier: MIT
#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#include <windows.h>

#include "platform/path_rules.h"

#include <cstring>

namespace platform {

namespace {

bool is_drive(const char *path) {
    const char letter = path[0];
    return ((letter >= 'A' && letter <= 'Z') || (letter >= 'a' && letter <= 'z')) && path[1] == ':';
}

} // namespace

std::size_t directory_part_length(const char *path) {
    if (path == nullptr) {
        return 0;
    }
    for (std::size_t i = std::strlen(path); i > 0; --i) {
        if (path[i - 1] == '/' || path[i - 1] == '\\') {
            return i;
        }
    }
    return is_drive(path) ? 2 : 0;
}

// A character of the basic plane takes at most three bytes in UTF-8.
std::size_t path_limit() {
    return MAX_PATH * 3;
}

} // namespace platform
