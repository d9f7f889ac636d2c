// SPDX-License-Identifier: MIT
// ASCII-only character classes and case mapping, as the C library gives them in
// the default "C" locale, independent of the process locale.
#ifndef LIBTOOLS_DSTRING_ASCII_H
#define LIBTOOLS_DSTRING_ASCII_H

namespace ascii {

inline char to_upper(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}
inline char to_lower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}
inline bool is_digit(char c) {
    return c >= '0' && c <= '9';
}

} // namespace ascii

#endif
