// SPDX-License-Identifier: MIT
// Orders texts with embedded numbers by the numbers' values. Digit runs of any
// length compare exactly: leading zeros are skipped, then the longer run is the
// greater, then the digits decide.
#include "dstring/ascii.h"
#include "libtools/tool_dstring.h"

#include <cstring>

namespace {

// The digit run at the start of `s` without its leading zeros; *length is its length.
const char *significant_digits(const char *s, std::size_t *length) {
    while (*s == '0') {
        ++s;
    }
    const char *end = s;
    while (ascii::is_digit(*end)) {
        ++end;
    }
    *length = static_cast<std::size_t>(end - s);
    return s;
}

int sign(int value) {
    return (value > 0) - (value < 0);
}

} // namespace

extern "C" {

int tool_numcmp(const char *a, const char *b) {
    std::size_t a_length = 0;
    std::size_t b_length = 0;
    const char *a_digits = significant_digits(a != nullptr ? a : "", &a_length);
    const char *b_digits = significant_digits(b != nullptr ? b : "", &b_length);
    if (a_length != b_length) {
        return a_length > b_length ? 1 : -1;
    }
    return sign(std::memcmp(a_digits, b_digits, a_length));
}

int tool_strnatcmp(const char *a, const char *b) {
    if (a == nullptr || b == nullptr) {
        return (a == nullptr) == (b == nullptr) ? 0 : (a == nullptr ? -1 : 1);
    }
    if (std::strcmp(a, b) == 0) {
        return 0;
    }
    int result = 0;
    for (; *a != '\0' && *b != '\0' && result == 0; ++a, ++b) {
        if (ascii::is_digit(*a) && ascii::is_digit(*b)) {
            result = tool_numcmp(a, b);
        } else {
            const auto ca = static_cast<signed char>(*a);
            const auto cb = static_cast<signed char>(*b);
            result = (ca > cb) - (ca < cb);
        }
    }
    if (result == 0 && *a != '\0') {
        return 1;
    }
    return (result == 0 && *b != '\0') ? -1 : result;
}

} // extern "C"
