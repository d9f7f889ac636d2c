// Checks caller-supplied printf formats before they are used with one argument.
#ifndef LIBTOOLS_DSTRING_PRINTF_FORMAT_H
#define LIBTOOLS_DSTRING_PRINTF_FORMAT_H

namespace dstring {

/// Whether `format` holds exactly one conversion, whose letter is one of `letters`, made
/// of "%", flags, a width and a precision in digits (no "*", no length modifier), and
/// otherwise only plain text and "%%". Such a format is safe to use with one argument of
/// the conversion's type. False for a null format.
bool has_single_conversion(const char *format, const char *letters);

} // namespace dstring

#endif
