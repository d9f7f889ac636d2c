// SPDX-License-Identifier: MIT
#include "support/file_system.h"

#include <algorithm>

std::string native_separators(std::string path) {
    std::replace(path.begin(), path.end(), '/',
                 static_cast<char>(std::filesystem::path::preferred_separator));
    return path;
}

std::string as_listed(const std::filesystem::path &directory, const std::string &name) {
    if (!volume_ignores_case(directory)) {
        return name;
    }
    std::string lowered = name;
    std::transform(lowered.begin(), lowered.end(), lowered.begin(), [](char c) {
        return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    });
    return lowered;
}
