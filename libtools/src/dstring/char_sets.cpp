// SPDX-License-Identifier: MIT
// Searches by character set and the re-entrant tokeniser.
#include "libtools/tool_dstring.h"

#include <cstring>

namespace {

// Whether the character before a terminator belongs to `set` (the terminator itself
// is never reported by the searches below, so it is tested apart).
bool in_set(char c, const char *set) {
    return c != '\0' && std::strchr(set, c) != nullptr;
}

} // namespace

extern "C" {

int tool_charinset(char c, const char *set) {
    if (set == nullptr) {
        return 0;
    }
    return (c == '\0' || std::strchr(set, c) != nullptr) ? 1 : 0;
}

char *tool_strpbrk(const char *s, const char *set) {
    if (s == nullptr || set == nullptr) {
        return nullptr;
    }
    for (const char *p = s; *p != '\0'; ++p) {
        if (in_set(*p, set)) {
            return const_cast<char *>(p);
        }
    }
    return nullptr;
}

char *tool_strrpbrk(const char *s, const char *set) {
    if (s == nullptr || set == nullptr) {
        return nullptr;
    }
    for (const char *p = s + std::strlen(s); p != s;) {
        --p;
        if (in_set(*p, set)) {
            return const_cast<char *>(p);
        }
    }
    return nullptr;
}

char *tool_strtok(char *s, const char *delims, char **cursor, char *found) {
    if (s == nullptr || delims == nullptr || cursor == nullptr || *cursor == TOOL_STRTOK_DONE ||
        s == TOOL_STRTOK_DONE) {
        return nullptr;
    }
    char *start = s;
    while (in_set(*start, delims)) {
        ++start;
    }
    char *end = start;
    while (*end != '\0' && !in_set(*end, delims)) {
        ++end;
    }
    if (found != nullptr) {
        *found = *end;
    }
    if (*end == '\0') {
        *cursor = TOOL_STRTOK_DONE;
    } else {
        *end = '\0';
        *cursor = end + 1;
    }
    return start;
}

} // extern "C"
