// SPDX-License-Identifier: MIT
// Copies of a few bytes without a library call, for the many short runs of a
// conversion (a line's head, a number's digits, a line end).
#ifndef JOINT2SI_SHORT_COPY_H
#define JOINT2SI_SHORT_COPY_H

#include <cstddef>
#include <cstring>

// Asks the compiler to inline a small function on the conversion's hot path, where its
// own judgement leaves a call per line.
#if defined(__GNUC__) || defined(__clang__)
#define JOINT2SI_HOT_INLINE inline __attribute__((always_inline))
#elif defined(_MSC_VER)
#define JOINT2SI_HOT_INLINE __forceinline
#else
#define JOINT2SI_HOT_INLINE inline
#endif

/// Copies n bytes from `from` to `out` and returns the end of the copy. Up to 32
/// bytes take two overlapping moves of a fixed width (any length between a width and
/// twice it); longer runs go to memcpy.
JOINT2SI_HOT_INLINE char *copy_short(char *out, const char *from, std::size_t n) {
    if (n >= 16 && n <= 32) {
        std::memcpy(out, from, 16);
        std::memcpy(out + n - 16, from + n - 16, 16);
    } else if (n >= 8 && n < 16) {
        std::memcpy(out, from, 8);
        std::memcpy(out + n - 8, from + n - 8, 8);
    } else if (n >= 4 && n < 8) {
        std::memcpy(out, from, 4);
        std::memcpy(out + n - 4, from + n - 4, 4);
    } else if (n > 0 && n < 4) { // the first, middle and last byte cover 1 to 3
        out[0] = from[0];
        out[n / 2] = from[n / 2];
        out[n - 1] = from[n - 1];
    } else if (n > 32) {
        std::memcpy(out, from, n);
    }
    return out + n;
}

#endif
