// SPDX-License-Identifier: MIT
// Null-tolerant wrappers of the C library's comparisons and searches, and the
// portable ASCII case-insensitive comparison.
#include "libtools/tool_dstring.h"

#include <cstring>

namespace {

// The null order of the comparisons: both null 0, only a null -1, only b null 1.
int null_order(const void *a, const void *b) {
    return a == b ? 0 : (a == nullptr ? -1 : 1);
}

int ascii_lower(unsigned char c) {
    return (c >= 'A' && c <= 'Z') ? c - 'A' + 'a' : c;
}

} // namespace

extern "C" {

int tool_ascii_strnicmp(const char *a, const char *b, unsigned long n) {
    for (unsigned long i = 0; i < n; ++i) {
        const int ca = ascii_lower(static_cast<unsigned char>(a[i]));
        const int cb = ascii_lower(static_cast<unsigned char>(b[i]));
        if (ca != cb || ca == 0) {
            return ca - cb;
        }
    }
    return 0;
}

int tool_ascii_stricmp(const char *a, const char *b) {
    return tool_ascii_strnicmp(a, b, static_cast<unsigned long>(-1));
}

int tool_strcmp(const char *a, const char *b) {
    return (a == nullptr || b == nullptr) ? null_order(a, b) : std::strcmp(a, b);
}

int tool_stricmp(const char *a, const char *b) {
    return (a == nullptr || b == nullptr) ? null_order(a, b) : tool_ascii_stricmp(a, b);
}

int tool_strncmp(const char *a, const char *b, int n) {
    if (a == nullptr || b == nullptr) {
        return null_order(a, b);
    }
    return n > 0 ? std::strncmp(a, b, static_cast<std::size_t>(n)) : 0;
}

int tool_strnicmp(const char *a, const char *b, int n) {
    if (a == nullptr || b == nullptr) {
        return null_order(a, b);
    }
    return n > 0 ? tool_ascii_strnicmp(a, b, static_cast<unsigned long>(n)) : 0;
}

char *tool_strchr(const char *s, int c) {
    return s != nullptr ? const_cast<char *>(std::strchr(s, c)) : nullptr;
}

char *tool_strrchr(const char *s, int c) {
    return s != nullptr ? const_cast<char *>(std::strrchr(s, c)) : nullptr;
}

char *tool_strstr(const char *s, const char *sub) {
    return (s != nullptr && sub != nullptr) ? const_cast<char *>(std::strstr(s, sub)) : nullptr;
}

unsigned tool_strlen(const char *s) {
    return s != nullptr ? static_cast<unsigned>(std::strlen(s)) : 0;
}

} // extern "C"
