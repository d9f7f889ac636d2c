// SPDX-License-Identifier: MIT
// Integers and doubles to text in static buffers, one per operation. The common
// forms go through std::to_chars, which writes what the C library's printf writes
// for them (the randomised test compares the two); caller formats go through
// bounded snprintf with widths and precisions clamped to the buffer.
#include "dstring/printf_format.h"
#include "libtools/tool_dstring.h"

#include <algorithm>
#include <cfloat>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace {

// No double has a non-zero decimal beyond the 1,074th (the smallest subnormal is 2^-1074),
// and none has more than 309 digits before the point, so this buffer holds any finite
// double at any precision up to kMaxDecimals: sign, digits, point, decimals, terminator.
constexpr int kMaxDecimals = 1074;
constexpr int kMaxIntegerDigits = DBL_MAX_10_EXP + 1;
constexpr int kDtoaSize = 1 + kMaxIntegerDigits + 1 + kMaxDecimals + 1;
constexpr int kDtoaFmtSize = 512;
constexpr int kItoaSize = 20;
constexpr int kItoaFmtSize = 256;

char itoa_buffer[kItoaSize];
char itoa_fmt_buffer[kItoaFmtSize];
char dtoa_buffer[kDtoaSize];
char dtoa_fmt_buffer[kDtoaFmtSize];

const char kIntConversions[] = "diouxXc";
const char kDoubleConversions[] = "fFeEgGaA";

// Stores snprintf's result as a terminated text, cut to the buffer; an encoding error
// leaves an empty text. Returns the text's length.
std::size_t bounded_length(char *buffer, std::size_t size, int printed) {
    if (printed < 0) {
        buffer[0] = '\0';
        return 0;
    }
    return std::min(static_cast<std::size_t>(printed), size - 1);
}

// Writes `value` as "%.*f" does with `precision` (0 .. kMaxDecimals) into `buffer`,
// which holds kDtoaSize bytes. Returns the text's length.
std::size_t print_fixed(char *buffer, double value, int precision) {
    if (std::isfinite(value)) {
        const auto result = std::to_chars(buffer, buffer + kDtoaSize - 1, value,
                                          std::chars_format::fixed, precision);
        if (result.ec == std::errc()) {
            *result.ptr = '\0';
            return static_cast<std::size_t>(result.ptr - buffer);
        }
    }
    return bounded_length(buffer, kDtoaSize,
                          std::snprintf(buffer, kDtoaSize, "%.*f", precision, value));
}

// Removes at most `count` trailing zeros, then a trailing point.
void trim_zeros(char *text, std::size_t length, int count) {
    for (; count > 0 && length > 0 && text[length - 1] == '0'; --count) {
        --length;
    }
    if (length > 0 && text[length - 1] == '.') {
        --length;
    }
    text[length] = '\0';
}

} // namespace

extern "C" {

const char *tool_itoa(int value) {
    std::memset(itoa_buffer, 0, sizeof itoa_buffer);
    std::to_chars(itoa_buffer, itoa_buffer + sizeof itoa_buffer - 1, value);
    return itoa_buffer;
}

const char *tool_itoa_fmt(const char *format, int value) {
    if (!dstring::has_single_conversion(format, kIntConversions)) {
        return std::strcpy(itoa_fmt_buffer, tool_itoa(value));
    }
    dstring::print_clamped(itoa_fmt_buffer, sizeof itoa_fmt_buffer, format, value);
    return itoa_fmt_buffer;
}

const char *tool_dtoa(int min_precision, int precision, double value) {
    const int decimals = precision < 0 ? 6 : std::min(precision, kMaxDecimals);
    const int minimum = std::clamp(min_precision, 0, kMaxDecimals);
    const std::size_t length = print_fixed(dtoa_buffer, value, decimals);
    trim_zeros(dtoa_buffer, length, precision < 0 ? 0 : decimals - minimum);
    return dtoa_buffer;
}

const char *tool_dtoa_fmt(const char *format, double value) {
    if (format == nullptr || std::strchr(format, 'f') == nullptr ||
        !dstring::has_single_conversion(format, kDoubleConversions)) {
        format = "%.3f";
    }
    dstring::print_clamped(dtoa_fmt_buffer, sizeof dtoa_fmt_buffer, format, value);
    return dtoa_fmt_buffer;
}

} // extern "C"
