// SPDX-License-Identifier: MIT
// Searches for the first of a few byte values, sixteen bytes at a time where the
// processor has SSE2 (every x86-64), one byte at a time elsewhere.
//
// The vector loop may read up to fifteen bytes past `end`; callers keep that much
// initialised padding behind their data (kScanPadding). Nothing past `end` is ever
// reported.
//
// find_in_line searches a short run that has no padding (a line) for one value, eight
// bytes at a time, without reading past `end` and without a library call.
#ifndef JOINT2SI_BYTE_SCAN_H
#define JOINT2SI_BYTE_SCAN_H

#include <cstddef>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#define JOINT2SI_SCAN_SSE2 1
#endif

namespace byte_scan {

constexpr std::size_t kScanPadding = 16;

#ifdef JOINT2SI_SCAN_SSE2

// The bits of the sixteen bytes at `p` equal to one of the values in `set`.
template <char... Values>
inline unsigned matches(const char *p) {
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p));
    __m128i any = _mm_setzero_si128();
    ((any = _mm_or_si128(any, _mm_cmpeq_epi8(bytes, _mm_set1_epi8(Values)))), ...);
    return static_cast<unsigned>(_mm_movemask_epi8(any));
}

inline unsigned lowest_bit(unsigned mask) {
#if defined(__GNUC__) || defined(__clang__)
    return static_cast<unsigned>(__builtin_ctz(mask));
#else
    unsigned index = 0;
    while ((mask & 1u) == 0) {
        mask >>= 1;
        ++index;
    }
    return index;
#endif
}

/// The first byte in [p, end) equal to one of `Values`, or `end` when there is none.
template <char... Values>
inline const char *find_first(const char *p, const char *end) {
    for (; p < end; p += 16) {
        const unsigned mask = matches<Values...>(p);
        if (mask != 0) {
            const char *found = p + lowest_bit(mask);
            return found < end ? found : end;
        }
    }
    return end;
}

#else

template <char... Values>
inline const char *find_first(const char *p, const char *end) {
    for (; p < end; ++p) {
        const char c = *p;
        if (((c == Values) || ...)) {
            return p;
        }
    }
    return end;
}

#endif

#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__ || defined(_M_X64) ||     \
    defined(_M_ARM64)
#define JOINT2SI_SCAN_LITTLE_ENDIAN 1
#endif

/// The index of the lowest set bit of `word`, which is not 0.
inline unsigned lowest_bit64(std::uint64_t word) {
#if defined(__GNUC__) || defined(__clang__)
    return static_cast<unsigned>(__builtin_ctzll(word));
#else
    unsigned index = 0;
    while ((word & 1u) == 0) {
        word >>= 1;
        ++index;
    }
    return index;
#endif
}

/// The first byte in [p, end) equal to `Value`, or `end` when there is none. Reads
/// nothing outside [p, end).
template <char Value>
inline const char *find_in_line(const char *p, const char *end) {
#ifdef JOINT2SI_SCAN_LITTLE_ENDIAN
    constexpr std::uint64_t kOnes = 0x0101010101010101ull;
    constexpr std::uint64_t kHighs = 0x8080808080808080ull;
    constexpr std::uint64_t kPattern = kOnes * static_cast<unsigned char>(Value);
    for (; end - p >= 8; p += 8) {
        std::uint64_t word = 0;
        std::memcpy(&word, p, 8);
        const std::uint64_t zeroed = word ^ kPattern; // a zero byte where Value is
        // The lowest set high bit marks the first zero byte exactly; bits above it may
        // be borrows and are never used.
        const std::uint64_t found = (zeroed - kOnes) & ~zeroed & kHighs;
        if (found != 0) {
            return p + lowest_bit64(found) / 8;
        }
    }
#endif
    for (; p < end; ++p) {
        if (*p == Value) {
            return p;
        }
    }
    return end;
}

} // namespace byte_scan

#endif
