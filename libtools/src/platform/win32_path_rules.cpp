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

// Names hold no control character and none of these; a ":" would name a stream.
char bad_name_end_character(const char *text) {
    if (text == nullptr || *text == '\0') {
        return '\0';
    }
    for (const char *c = text; *c != '\0'; ++c) {
        const auto byte = static_cast<unsigned char>(*c);
        if (byte < 0x20 || std::strchr("<>:\"/\\|?*", *c) != nullptr) {
            return *c;
        }
    }
    const char last = text[std::strlen(text) - 1];
    return last == '.' || last == ' ' ? last : '\0';
}

std::size_t kept_path_length(const char *path) {
    if (path == nullptr) {
        return 0;
    }
    const std::size_t length = std::strlen(path);
    if (std::strncmp(path, "\\\\?\\", 4) == 0 || std::strncmp(path, "\\??\\", 4) == 0) {
        return length;
    }
    const std::size_t start = directory_part_length(path);
    std::size_t kept = length;
    while (kept > start && (path[kept - 1] == '.' || path[kept - 1] == ' ')) {
        --kept;
    }
    return kept > start ? kept : length;
}

// The extended-length form holds up to 32767 UTF-16 units; a unit of the basic plane
// takes at most three bytes in UTF-8 (a pair of surrogates, four).
std::size_t path_limit() {
    return 32767 * 3 + 1;
}

} // namespace platform
