// SPDX-License-Identifier: MIT
// Edits of a caller's buffer that never lengthen the text.
#include "libtools/tool_dstring.h"

#include <cstring>

namespace {

// Keeps the characters for which `keep(previous, current)` holds, where `previous` is
// the character before `current` in the text as it was on entry (0 for the first).
template <typename Keep>
char *filter(char *s, Keep keep) {
    if (s == nullptr) {
        return nullptr;
    }
    char previous = '\0';
    char *out = s;
    for (const char *in = s; *in != '\0'; ++in) {
        const char current = *in;
        if (keep(previous, current)) {
            *out++ = current;
        }
        previous = current;
    }
    *out = '\0';
    return s;
}

// Replaces every `from` by `to` (from must not be 0).
char *replace_all(char *s, char from, char to) {
    if (s == nullptr) {
        return nullptr;
    }
    const std::size_t length = std::strlen(s);
    for (std::size_t i = 0; i < length; ++i) {
        if (s[i] == from) {
            s[i] = to;
        }
    }
    return s;
}

} // namespace

extern "C" {

char *tool_strsqueeze(char *s, char c) {
    bool first = true;
    return filter(s, [&first, c](char previous, char current) {
        const bool repeat = !first && current == previous && (c == '\0' || current == c);
        first = false;
        return !repeat;
    });
}

char *tool_strdelchr(char *s, char c) {
    return filter(s, [c](char, char current) { return c == '\0' || current != c; });
}

char *tool_strtrimleft(char *s, char c) {
    if (s == nullptr || c == '\0') {
        return s;
    }
    std::size_t run = 0;
    while (s[run] == c) {
        ++run;
    }
    std::memmove(s, s + run, std::strlen(s + run) + 1);
    return s;
}

char *tool_strtrimright(char *s, char c) {
    if (s == nullptr || c == '\0') {
        return s;
    }
    std::size_t length = std::strlen(s);
    while (length > 0 && s[length - 1] == c) {
        --length;
    }
    s[length] = '\0';
    return s;
}

char *tool_strcutleft(char *s, int n) {
    if (s == nullptr || n < 1) {
        return s;
    }
    const std::size_t length = std::strlen(s);
    const auto count = static_cast<std::size_t>(n);
    if (count <= length) {
        std::memmove(s, s + count, length - count + 1);
    }
    return s;
}

char *tool_strcutright(char *s, int n) {
    if (s == nullptr || n < 1) {
        return s;
    }
    const std::size_t length = std::strlen(s);
    const auto count = static_cast<std::size_t>(n);
    s[count >= length ? 0 : length - count] = '\0';
    return s;
}

char *tool_strreplchr(char *s, char from, char to) {
    return (from == '\0' || from == to) ? s : replace_all(s, from, to);
}

char *tool_str_to_backslashes(char *s) {
    return replace_all(s, '/', '\\');
}

char *tool_str_to_slashes(char *s) {
    return replace_all(s, '\\', '/');
}

} // extern "C"
