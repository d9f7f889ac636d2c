#include "dropped_digits.h"

#include <charconv>
#include <cstdlib>
#include <cstring>

namespace {

bool is_space(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

bool is_digit(char c) {
    return c >= '0' && c <= '9';
}

bool is_decimal_char(char c) {
    return is_digit(c) || c == '.' || c == 'e' || c == 'E' || c == '+' || c == '-';
}

// Where strtod ends the number at `p`, or null when none begins there.
const char *strtod_end(const char *p) {
    char *stop = nullptr;
    std::strtod(p, &stop);
    return stop == p ? nullptr : stop;
}

// Where the number at `text` ends as sscanf "%lf" reads it; `text` itself when none
// begins there. The plain decimal form is measured with from_chars (fast); every other
// form (hexadecimal, inf, nan, a cut exponent) with strtod, which reads as scanf does.
const char *value_end(const char *text) {
    const char *p = text;
    while (is_space(*p)) {
        ++p;
    }
    const char *digits = p + ((*p == '+' || *p == '-') ? 1 : 0);
    if (!is_digit(*digits) && *digits != '.') {
        const char *stop = strtod_end(p); // inf, nan, or no number at all
        return stop != nullptr ? stop : text;
    }
    const char *end = digits;
    while (is_decimal_char(*end)) {
        ++end;
    }
    double ignored = 0.0;
    const auto read = std::from_chars(digits, end, ignored);
    if (read.ec == std::errc() &&
        (*read.ptr == '\0' || std::strchr("eExXpP", *read.ptr) == nullptr)) {
        return read.ptr;
    }
    const char *stop = strtod_end(p);
    return stop != nullptr ? stop : text;
}

} // namespace

bool drops_digits(const char *line) {
    const char *blank = line != nullptr ? std::strchr(line, ' ') : nullptr;
    if (blank == nullptr) {
        return false;
    }
    const char *end = value_end(blank + 1);
    if (end == blank + 1) {
        return false;
    }
    for (; *end != '\0'; ++end) {
        if (is_digit(*end)) {
            return true;
        }
    }
    return false;
}
