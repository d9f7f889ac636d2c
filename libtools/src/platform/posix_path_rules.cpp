// SPDX-License-Identifier: MIT
#include "platform/path_rules.h"

#include <climits>
#include <cstring>

namespace platform {

std::size_t directory_part_length(const char *path) {
    const char *separator = path != nullptr ? std::strrchr(path, '/') : nullptr;
    return separator != nullptr ? static_cast<std::size_t>(separator - path) + 1 : 0;
}

std::size_t path_limit() {
    return PATH_MAX;
}

} // namespace platform
