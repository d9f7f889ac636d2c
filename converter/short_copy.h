// Copies of a few bytes without a library call, for the many short runs of a
// conversion (a line's head, a number's digits, a line end).
#ifndef JOINT2SI_SHORT_COPY_H
#define JOINT2SI_SHORT_COPY_H

#include <cstddef>
#include <cstring>

/// Copies n bytes from `from` to `out` and returns the end of the copy. Up to 32
/// bytes take two overlapping moves of a fixed width (any length between a width and
/// twice it); longer runs go to memcpy.
inline char *copy_short(char *out, const char *from, std::size_t n) {
    if (n >= 16 && n <= 32) {
        std::memcpy(out, from, 16);
        std::memcpy(out + n - 16, from + n - 16, 16);
    } else if (n >= 8 && n < 16) {
        std::memcpy(out, from, 8);
        std::memcpy(out + n - 8, from + n - 8, 8);
    } else if (n >= 4 && n < 8) {
        std::memcpy(out, from, 4);
        std::memcpy(out + n - 4, from + n - 4, 4);
    } else if (n < 4) {
        for (std::size_t i = 0; i < n; ++i) {
            out[i] = from[i];
        }
    } else {
        std::memcpy(out, from, n);
    }
    return out + n;
}

#endif
