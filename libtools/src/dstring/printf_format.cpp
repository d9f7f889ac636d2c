// SPDX-License-Identifier: MIT
#include "dstring/printf_format.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace {

const char kFlags[] = "-+ #0";
const char kDigits[] = "0123456789";

// The end of the conversion that starts right after a "%": flags, width, precision,
// then the letter. Returns the letter's position, or null when a letter from `letters`
// does not follow.
const char *conversion_letter(const char *p, const char *letters) {
    p += std::strspn(p, kFlags);
    p += std::strspn(p, kDigits);
    if (*p == '.') {
        ++p;
        p += std::strspn(p, kDigits);
    }
    return (*p != '\0' && std::strchr(letters, *p) != nullptr) ? p : nullptr;
}

// The first conversion of a format (the "%" that is not part of "%%"), or null.
const char *first_conversion(const char *format) {
    for (const char *p = std::strchr(format, '%'); p != nullptr; p = std::strchr(p + 2, '%')) {
        if (p[1] != '%') {
            return p;
        }
    }
    return nullptr;
}

// Appends the plain format text [from, to) to buffer[at ..], "%%" as "%", cut so that
// one byte is left for the terminator. Returns the new length.
std::size_t copy_text(char *buffer, std::size_t size, std::size_t at, const char *from,
                      const char *to) {
    for (const char *p = from; p < to && at + 1 < size; ++p) {
        buffer[at++] = *p;
        if (*p == '%') {
            ++p; // the second "%" of "%%"
        }
    }
    buffer[at] = '\0';
    return at;
}

// Reads the digits at `p` as a number no larger than `limit`, advancing `p`, and
// writes it in decimal to `out`. Returns the end of what was written.
char *copy_capped_number(const char *&p, std::size_t limit, char *out) {
    std::size_t number = 0;
    for (; *p >= '0' && *p <= '9'; ++p) {
        number = std::min(number * 10 + static_cast<std::size_t>(*p - '0'), limit);
    }
    return out + std::snprintf(out, 24, "%u", static_cast<unsigned>(number));
}

// Copies the conversion at `p` (its "%" included) into `capped` with each flag once and
// the width and precision capped at `limit`; returns the position after its letter.
// `capped` holds 64 bytes: "%", five flags, two numbers of at most 20 digits, ".", the
// letter and the terminator.
const char *capped_conversion(const char *p, std::size_t limit, char *capped) {
    char *out = capped;
    *out++ = *p++;
    for (; *p != '\0' && std::strchr(kFlags, *p) != nullptr; ++p) {
        if (std::memchr(capped, *p, static_cast<std::size_t>(out - capped)) == nullptr) {
            *out++ = *p;
        }
    }
    if (*p >= '0' && *p <= '9') {
        out = copy_capped_number(p, limit, out);
    }
    if (*p == '.') {
        *out++ = *p++;
        out = copy_capped_number(p, limit, out);
    }
    *out++ = *p++;
    *out = '\0';
    return p;
}

template <typename T>
void print_one(char *buffer, std::size_t size, const char *format, T value) {
    const char *conversion = first_conversion(format);
    std::size_t at = copy_text(buffer, size, 0, format, conversion);
    char capped[64] = {};
    const char *rest = capped_conversion(conversion, size - 1, capped);
    const int printed = std::snprintf(buffer + at, size - at, capped, value);
    if (printed < 0) {
        buffer[at] = '\0';
        return;
    }
    at = std::min(at + static_cast<std::size_t>(printed), size - 1);
    copy_text(buffer, size, at, rest, rest + std::strlen(rest));
}

} // namespace

namespace dstring {

void print_clamped(char *buffer, std::size_t size, const char *format, int value) {
    print_one(buffer, size, format, value);
}

void print_clamped(char *buffer, std::size_t size, const char *format, double value) {
    print_one(buffer, size, format, value);
}

bool has_single_conversion(const char *format, const char *letters) {
    if (format == nullptr) {
        return false;
    }
    int conversions = 0;
    for (const char *p = format; *p != '\0'; ++p) {
        if (*p != '%') {
            continue;
        }
        if (p[1] == '%') {
            ++p;
            continue;
        }
        p = conversion_letter(p + 1, letters);
        if (p == nullptr) {
            return false;
        }
        ++conversions;
    }
    return conversions == 1;
}

} // namespace dstring
