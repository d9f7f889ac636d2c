// SPDX-License-Identifier: MIT
// Doubling backslashes, and decoding decimal backslash escapes.
#include "dstring/ascii.h"
#include "dstring/source_tag.h"
#include "libtools/tool_dstring.h"
#include "libtools/tool_memory.h"

#include <climits>
#include <cstring>

namespace {

// Reads the decimal escape whose digits start at `digits`. Returns the number of digits
// (0 when there are none); `code` receives the value's low 8 bits and `nonzero` whether
// the value is not 0. Any length of digits is read without overflow.
std::size_t read_escape(const char *digits, unsigned char &code, bool &nonzero) {
    std::size_t count = 0;
    unsigned value = 0;
    nonzero = false;
    while (ascii::is_digit(digits[count])) {
        const unsigned digit = static_cast<unsigned>(digits[count] - '0');
        value = (value * 10 + digit) & 0xFFu;
        nonzero = nonzero || digit != 0;
        ++count;
    }
    code = static_cast<unsigned char>(value);
    return count;
}

// Decodes the escapes of `text` in place; the result is never longer than the input.
void unescape_in_place(char *text) {
    const char *in = text;
    char *out = text;
    while (*in != '\0') {
        unsigned char code = 0;
        bool nonzero = false;
        const std::size_t digits = *in == '\\' ? read_escape(in + 1, code, nonzero) : 0;
        if (digits == 0 || !nonzero) {
            *out++ = *in++;
            continue;
        }
        in += 1 + digits;
        if (code != 0) {
            *out++ = static_cast<char>(code);
        }
    }
    *out = '\0';
}

} // namespace

extern "C" {

char *tool_strescape_backslashes(const char *s) {
    if (s == nullptr) {
        return nullptr;
    }
    std::size_t size = 1;
    for (const char *p = s; *p != '\0'; ++p) {
        size += *p == '\\' ? 2 : 1;
    }
    if (size > UINT_MAX) {
        return nullptr;
    }
    char *copy = static_cast<char *>(tool_malloc(static_cast<unsigned>(size), DSTRING_HERE));
    if (copy == nullptr) {
        return nullptr;
    }
    char *out = copy;
    for (const char *p = s; *p != '\0'; ++p) {
        *out++ = *p;
        if (*p == '\\') {
            *out++ = '\\';
        }
    }
    *out = '\0';
    return copy;
}

char *tool_strunescape(const char *s) {
    char *copy = tool_strdup(s);
    if (copy == nullptr || std::strchr(copy, '\\') == nullptr) {
        return copy;
    }
    unescape_in_place(copy);
    // Give the text its exact size; a refused shrink leaves the larger block, still valid.
    const auto size = static_cast<unsigned>(std::strlen(copy) + 1);
    char *exact = static_cast<char *>(tool_realloc(copy, size, DSTRING_HERE));
    return exact != nullptr ? exact : copy;
}

} // extern "C"
