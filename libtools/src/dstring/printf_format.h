// SPDX-License-Identifier: MIT
// Checks caller-supplied printf formats before they are used with one argument, and
// prints with them into a fixed buffer in time bounded by the buffer's size.
#ifndef LIBTOOLS_DSTRING_PRINTF_FORMAT_H
#define LIBTOOLS_DSTRING_PRINTF_FORMAT_H

#include <cstddef>

namespace dstring {

/// Whether `format` holds exactly one conversion, whose letter is one of `letters`, made
/// of "%", flags, a width and a precision in digits (no "*", no length modifier), and
/// otherwise only plain text and "%%". Such a format is safe to use with one argument of
/// the conversion's type. False for a null format.
bool has_single_conversion(const char *format, const char *letters);

/// Prints `value` with `format`, which has_single_conversion accepted, into `buffer` of
/// `size` bytes (at least 1), cut to the buffer and always terminated. A width or a
/// precision above size - 1 counts as size - 1: the text it asks for could not be held
/// anyway, and the C library would spend time and memory on every byte of it. Any text
/// that fits the buffer is exactly what snprintf writes for the whole format.
void print_clamped(char *buffer, std::size_t size, const char *format, int value);
void print_clamped(char *buffer, std::size_t size, const char *format, double value);

} // namespace dstring

#endif
