// SPDX-License-Identifier: MIT
// Text to numbers: tool_atof and tool_atof_checked with sscanf "%lf" results, and
// tool_atoi with its choice of base.
//
// The plain decimal form (sign, digits, point, complete exponent) is read with
// std::from_chars, which rounds exactly as the C library does. Every other form
// (hexadecimal, inf, nan, an exponent without digits, a range error) goes to sscanf
// itself, so the results always match it; the randomised test compares the two.
// Where sscanf reads a finite number, its value is taken from strtod, which reads the
// same number and rounds it correctly also where scanf does not (mingw-w64's scanf
// can be one unit in the last place off).
#include "dstring/ascii.h"
#include "libtools/tool_dstring.h"

#include <charconv>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

bool is_space(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

const char *skip_space(const char *p) {
    while (is_space(*p)) {
        ++p;
    }
    return p;
}

// Characters that can occur in the plain decimal form after its sign.
bool is_decimal_char(char c) {
    return ascii::is_digit(c) || c == '.' || c == 'e' || c == 'E' || c == '+' || c == '-';
}

// After a number read by from_chars, these letters may mean that sscanf reads on
// (a hexadecimal prefix, an exponent that from_chars left alone) or fails.
bool may_continue(char c) {
    return c != '\0' && std::strchr("eExXpP", c) != nullptr;
}

// Reads the plain decimal number at `p` (white space already skipped). True and the
// value when the number is of that form; false when sscanf must decide.
bool read_plain_decimal(const char *p, double *value) {
    const bool negative = *p == '-';
    if (*p == '+' || *p == '-') {
        ++p;
    }
    if (!ascii::is_digit(*p) && *p != '.') {
        return false;
    }
    const char *end = p;
    while (is_decimal_char(*end)) {
        ++end;
    }
    double magnitude = 0.0;
    const auto result = std::from_chars(p, end, magnitude);
    if (result.ec != std::errc() || may_continue(*result.ptr)) {
        return false;
    }
    *value = negative ? -magnitude : magnitude;
    return true;
}

// Reads the digits of `base` at `p` into a magnitude that stops growing past 2^32
// (enough to tell every out-of-range value). Sets *any when a digit was read.
unsigned long long read_magnitude(const char *p, int base, bool *any) {
    unsigned long long magnitude = 0;
    *any = false;
    for (;; ++p) {
        int digit = base;
        if (ascii::is_digit(*p)) {
            digit = *p - '0';
        } else if (base == 16 && *p != '\0' && std::strchr("abcdef", *p | 0x20) != nullptr) {
            digit = (*p | 0x20) - 'a' + 10;
        }
        if (digit >= base) {
            return magnitude;
        }
        *any = true;
        if (magnitude <= UINT_MAX) {
            magnitude = magnitude * static_cast<unsigned>(base) + static_cast<unsigned>(digit);
        }
    }
}

// The integer at `p` as scanf's conversion of `base` reads it: decimal clamps to the
// range of int, hexadecimal and octal give the unsigned 32-bit pattern (clamped to
// 0xFFFFFFFF, negated modulo 2^32 after a minus sign). 0 when no digit follows.
int read_integer(const char *p, int base) {
    p = skip_space(p);
    const bool negative = *p == '-';
    if (*p == '+' || *p == '-') {
        ++p;
    }
    if (base == 16 && p[0] == '0' && (p[1] == 'x' || p[1] == 'X')) {
        p += 2;
    }
    bool any = false;
    const unsigned long long magnitude = read_magnitude(p, base, &any);
    if (!any) {
        return 0;
    }
    if (base == 10) {
        if (negative) {
            return magnitude > 0x80000000ull ? INT_MIN
                                             : static_cast<int>(-static_cast<long long>(magnitude));
        }
        return magnitude > INT_MAX ? INT_MAX : static_cast<int>(magnitude);
    }
    unsigned pattern = magnitude > UINT_MAX ? UINT_MAX : static_cast<unsigned>(magnitude);
    if (negative) {
        pattern = 0u - pattern;
    }
    return pattern <= INT_MAX ? static_cast<int>(pattern)
                              : -static_cast<int>(UINT_MAX - pattern) - 1;
}

// Whether sscanf "%lf" reads a number at `p`; the number in *value.
bool read_as_scanf(const char *p, double *value) {
    if (std::sscanf(p, "%lf", value) != 1) {
        return false;
    }
    if (std::isfinite(*value)) {
        *value = std::strtod(p, nullptr);
    }
    return true;
}

} // namespace

extern "C" {

int tool_atof_checked(const char *text, double *value) {
    double number = 0.0;
    bool read = false;
    if (text != nullptr) {
        const char *p = skip_space(text);
        read = *p != '\0' && (read_plain_decimal(p, &number) || read_as_scanf(p, &number));
    }
    if (value != nullptr) {
        *value = read ? number : 0.0;
    }
    return read ? 1 : 0;
}

double tool_atof(const char *text) {
    double value = 0.0;
    tool_atof_checked(text, &value);
    return value;
}

int tool_atoi(const char *text) {
    if (text == nullptr || *text == '\0') {
        return 0;
    }
    const bool hex_prefix = text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    if (hex_prefix || std::strpbrk(text, "abcdefABCDEF") != nullptr) {
        return read_integer(text, 16);
    }
    if (text[0] == 'o' || text[0] == 'O') {
        return read_integer(text + 1, 8);
    }
    return read_integer(text, 10);
}

} // extern "C"
