// SPDX-License-Identifier: MIT
// In-place case conversion and access to one character counted from either end.
#include "dstring/ascii.h"
#include "libtools/tool_dstring.h"

#include <cstring>

namespace {

// The index that `pos` names in a text of `length` characters (a negative pos counts
// from the end), or -1 when it lies outside the text.
long long resolve_position(const char *s, int pos) {
    const auto length = static_cast<long long>(std::strlen(s));
    const long long index = pos < 0 ? pos + length : pos;
    return (index >= 0 && index < length) ? index : -1;
}

} // namespace

extern "C" {

char *tool_strupr(char *s) {
    for (char *p = s; p != nullptr && *p != '\0'; ++p) {
        *p = ascii::to_upper(*p);
    }
    return s;
}

char *tool_strlwr(char *s) {
    for (char *p = s; p != nullptr && *p != '\0'; ++p) {
        *p = ascii::to_lower(*p);
    }
    return s;
}

int tool_strsetchar(char *s, int pos, int c) {
    if (s == nullptr) {
        return 0;
    }
    const long long index = resolve_position(s, pos);
    if (index >= 0) {
        s[index] = static_cast<char>(c);
    }
    return 0;
}

char tool_strgetchar(const char *s, int pos) {
    if (s == nullptr) {
        return '\0';
    }
    const long long index = resolve_position(s, pos);
    return index >= 0 ? s[index] : '\0';
}

} // extern "C"
