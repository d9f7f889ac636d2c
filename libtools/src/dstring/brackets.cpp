// SPDX-License-Identifier: MIT
// Bracket pairs: their direction and partner, the matching closer of an opener,
// and searches that skip bracket groups.
#include "libtools/tool_dstring.h"

#include <cstdio>

namespace {

constexpr char kOpeners[] = "([{";
constexpr char kClosers[] = ")]}";

} // namespace

extern "C" {

int tool_brace_direction(char c) {
    for (int i = 0; i < 3; ++i) {
        if (c == kOpeners[i]) {
            return 1;
        }
        if (c == kClosers[i]) {
            return -1;
        }
    }
    return 0;
}

char tool_brace_partner(char c) {
    for (int i = 0; i < 3; ++i) {
        if (c == kOpeners[i]) {
            return kClosers[i];
        }
        if (c == kClosers[i]) {
            return kOpeners[i];
        }
    }
    return '\0';
}

char *tool_find_matching(char open, char close, char *text) {
    if (text == nullptr || open == '\0' || close == '\0' || text[0] != open) {
        return nullptr;
    }
    // The closer is tested first, so a pair of equal characters (quotes) also pairs up.
    long depth = 1;
    for (char *p = text + 1; *p != '\0'; ++p) {
        if (*p == close) {
            if (--depth == 0) {
                return p;
            }
        } else if (*p == open) {
            ++depth;
        }
    }
    return nullptr;
}

int tool_find_brace_pair(char *text, char **open_out, char **close_out) {
    if (open_out == nullptr || close_out == nullptr) {
        return 0;
    }
    *open_out = tool_strpbrk(text, kOpeners);
    *close_out = nullptr;
    if (*open_out == nullptr) {
        return 0;
    }
    *close_out = tool_find_matching(**open_out, tool_brace_partner(**open_out), *open_out);
    if (*close_out == nullptr) {
        std::printf("Syntax error (can not find matching brace): \n  '%s'\n", text);
        return 0;
    }
    return 1;
}

const char *tool_strpbrk_toplevel(const char *text, const char *set) {
    if (text == nullptr) {
        return nullptr;
    }
    for (const char *p = text; *p != '\0'; ++p) {
        if (tool_brace_direction(*p) > 0) {
            const char open = *p;
            const char close = tool_brace_partner(open);
            long depth = 1;
            while (depth > 0 && *++p != '\0') {
                depth += *p == open ? 1 : (*p == close ? -1 : 0);
            }
            if (*p == '\0') {
                return nullptr; // an unclosed group hides the rest of the text
            }
        } else if (tool_charinset(*p, set)) {
            return p;
        }
    }
    return nullptr;
}

} // extern "C"
