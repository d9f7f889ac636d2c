// SPDX-License-Identifier: MIT
#include "platform/path_rules.h"

#include <climits>
#include <cstring>

namespace platform {

std::size_t directory_part_length(const char *path) {
    const char *separator = path != nullptr ? std::strrchr(path, '/') : nullptr;
    return separator != nullptr ? static_cast<std::size_t>(separator - path) + 1 : 0;
}

char bad_name_end_character(const char *text) {
    const char *slash = text != nullptr ? std::strchr(text, '/') : nullptr;
    return slash != nullptr ? '/' : '\0';
}

std::size_t kept_path_length(const char *path) {
    return path != nullptr ? std::strlen(path) : 0;
}

std::size_t path_limit() {
    return PATH_MAX;
}

} // namespace platform
