// SPDX-License-Identifier: MIT
// Why the shortcuts are exact:
//   - Reading: with at most 15 significant digits the digits are an exact double, and
//     so is 10^e for e up to 22; one multiplication or division of the two is then the
//     correctly rounded value of the decimal (Clinger), which is what the C library
//     reads. This needs double arithmetic without extended precision.
//   - Writing: a finite double is M * 2^E with integers M < 2^53 and E. Its six-decimal
//     rounding is M * 10^6 / 2^-E rounded to an integer, ties to even, which is what
//     glibc's and the C++ library's "%.6f" give; below 1e13 that integer fits 64 bits.
//   - Scaling: the double product of a decimal y of at most 15 digits (read exactly
//     rounded) by 10^k (exact) differs from y by at most |y| * (2^-52 + 2^-106). When y
//     has at most six decimals and |y| < 1e9 that is below half a unit of the sixth
//     decimal, so "%.6f" of the product is y itself, sign of a zero included.
#include "convert/fast_number.h"

#include "convert/short_copy.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstring>

namespace {

constexpr int kMaxDigits = 15;
constexpr int kMaxPowerOfTen = 22;
constexpr double kFixedLimit = 1e13;
constexpr std::uint64_t kMillion = 1000000;
// Extended precision (x87) would round twice and break the reading shortcut.
constexpr bool kExactDoubles = FLT_EVAL_METHOD == 0;

constexpr double kPowersOfTen[kMaxPowerOfTen + 1] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                                     1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                                     1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

constexpr std::uint64_t kIntegerPowers[kMaxDigits + 1] = {1ull,
                                                          10ull,
                                                          100ull,
                                                          1000ull,
                                                          10000ull,
                                                          100000ull,
                                                          1000000ull,
                                                          10000000ull,
                                                          100000000ull,
                                                          1000000000ull,
                                                          10000000000ull,
                                                          100000000000ull,
                                                          1000000000000ull,
                                                          10000000000000ull,
                                                          100000000000000ull,
                                                          1000000000000000ull};

bool is_digit(char c) {
    return c >= '0' && c <= '9';
}

// ---- Reading ----------------------------------------------------------------------

// The digits from *p on, while they last, accumulated into *value (modulo 2^64, which
// is exact while at most 19 digits after the leading zeros are read); *p then points
// after them. Returns how many there were.
int read_digits(const char **p, const char *end, std::uint64_t *value) {
    const char *s = *p;
    std::uint64_t accumulated = *value;
    for (; s < end; ++s) {
        const unsigned digit = static_cast<unsigned char>(*s) - unsigned{'0'};
        if (digit > 9) {
            break;
        }
        accumulated = accumulated * 10 + digit;
    }
    const int count = static_cast<int>(s - *p);
    *p = s;
    *value = accumulated;
    return count;
}

// The digits of [p, end) that count: those from the first one that is not zero.
int significant_digits(const char *p, const char *end) {
    int count = 0;
    for (; p < end; ++p) {
        if (is_digit(*p) && (count > 0 || *p != '0')) {
            ++count;
        }
    }
    return count;
}

// The mantissa's digits with an optional point from *p: their value in *digits, the
// point (or null) in *point and the number of digits after it in *decimals. False
// when there is no digit or more than kMaxDigits significant ones.
bool read_mantissa(const char **p, const char *end, std::uint64_t *digits, const char **point,
                   int *decimals) {
    const char *start = *p;
    const int integer_count = read_digits(p, end, digits);
    *point = nullptr;
    *decimals = 0;
    if (*p < end && **p == '.') {
        *point = (*p)++;
        *decimals = read_digits(p, end, digits);
    }
    const int count = integer_count + *decimals;
    return count > 0 && (count <= kMaxDigits || significant_digits(start, *p) <= kMaxDigits);
}

// An exponent with at least one digit at *p (after "e" or "E"); false when the letter
// is not followed by one (sscanf's handling of that is left to sscanf).
bool read_exponent(const char **p, const char *end, int *exponent) {
    const char *s = *p + 1;
    const bool negative = s < end && *s == '-';
    if (s < end && (*s == '+' || *s == '-')) {
        ++s;
    }
    if (s == end || !is_digit(*s)) {
        return false;
    }
    int value = 0;
    for (; s < end && is_digit(*s); ++s) {
        value = value < 100000 ? value * 10 + (*s - '0') : value;
    }
    *exponent = negative ? -value : value;
    *p = s;
    return true;
}

// Letters after which sscanf might read on or read differently.
bool may_continue(const char *p, const char *end) {
    if (p == end) {
        return false;
    }
    const char c = static_cast<char>(*p | 0x20); // ASCII letters in lower case
    return c == 'e' || c == 'x' || c == 'p';
}

// ---- Writing ----------------------------------------------------------------------

// Writes n "0" digits (n at most 16) with one fixed move of 16; the bytes after the n
// must be room the caller writes over or does not use.
char *put_zeros(char *out, std::size_t n) {
    static constexpr char kZeros[16] = {'0', '0', '0', '0', '0', '0', '0', '0',
                                        '0', '0', '0', '0', '0', '0', '0', '0'};
    std::memcpy(out, kZeros, sizeof kZeros);
    return out + n;
}

struct U128 {
    std::uint64_t hi;
    std::uint64_t lo;
};

U128 shift_right(U128 x, unsigned k) {
    if (k == 0) {
        return x;
    }
    if (k < 64) {
        return U128{x.hi >> k, (x.lo >> k) | (x.hi << (64 - k))};
    }
    return U128{0, k < 128 ? x.hi >> (k - 64) : 0};
}

U128 shift_left(U128 x, unsigned k) {
    if (k == 0) {
        return x;
    }
    if (k < 64) {
        return U128{(x.hi << k) | (x.lo >> (64 - k)), x.lo << k};
    }
    return U128{k < 128 ? x.lo << (k - 64) : 0, 0};
}

U128 subtract(U128 a, U128 b) {
    return U128{a.hi - b.hi - (a.lo < b.lo ? 1 : 0), a.lo - b.lo};
}

int compare(U128 a, U128 b) {
    if (a.hi != b.hi) {
        return a.hi < b.hi ? -1 : 1;
    }
    return a.lo == b.lo ? 0 : (a.lo < b.lo ? -1 : 1);
}

// m * 10^6 for m < 2^53, exactly.
U128 times_million(std::uint64_t m) {
    const std::uint64_t high = (m >> 32) * kMillion; // below 2^41
    const std::uint64_t low = (m & 0xFFFFFFFFu) * kMillion;
    const std::uint64_t sum = low + (high << 32);
    return U128{(high >> 32) + (sum < low ? 1 : 0), sum};
}

// n / 2^k rounded to the nearest integer, ties to even.
std::uint64_t divide_rounded(U128 n, unsigned k) {
    if (k >= 128) {
        return 0;
    }
    const U128 quotient = shift_right(n, k);
    const U128 remainder = subtract(n, shift_left(quotient, k));
    const int against_half = compare(remainder, shift_left(U128{0, 1}, k - 1));
    const bool odd = (quotient.lo & 1u) != 0;
    return quotient.lo + ((against_half > 0 || (against_half == 0 && odd)) ? 1 : 0);
}

// The value's magnitude times 10^6, rounded as "%.6f" rounds (|value| < 1e13).
std::uint64_t scaled_magnitude(double value) {
    std::uint64_t bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    const int biased = static_cast<int>((bits >> 52) & 0x7FF);
    const std::uint64_t fraction = bits & ((std::uint64_t{1} << 52) - 1);
    const std::uint64_t m = biased != 0 ? fraction | (std::uint64_t{1} << 52) : fraction;
    const int e = (biased != 0 ? biased : 1) - 1075;
    if (e >= 0) {
        return (m << e) * kMillion;
    }
    return divide_rounded(times_million(m), static_cast<unsigned>(-e));
}

struct DigitPairs {
    char text[200];
    constexpr DigitPairs() : text() {
        for (int i = 0; i < 100; ++i) {
            text[std::size_t{2} * i] = static_cast<char>('0' + i / 10);
            text[std::size_t{2} * i + 1] = static_cast<char>('0' + i % 10);
        }
    }
};
constexpr DigitPairs kDigitPairs{};

// Writes the two digits of `pair` (below 100) at `out`.
void put_pair(unsigned pair, char *out) {
    std::memcpy(out, kDigitPairs.text + std::size_t{2} * pair, 2);
}

// Writes "[-]I.FFFFFF" for the six-decimal integer `scaled`.
char *write_scaled(bool negative, std::uint64_t scaled, char *out) {
    *out = '-';
    out += negative ? 1 : 0;
    std::uint64_t integer = scaled / kMillion;
    char digits[20];
    char *first = digits + sizeof digits;
    while (integer >= 100) {
        first -= 2;
        put_pair(static_cast<unsigned>(integer % 100), first);
        integer /= 100;
    }
    if (integer >= 10) {
        first -= 2;
        put_pair(static_cast<unsigned>(integer), first);
    } else {
        *--first = static_cast<char>('0' + integer);
    }
    const std::size_t length = static_cast<std::size_t>(digits + sizeof digits - first);
    std::memcpy(out, first, length);
    out += length;
    *out++ = '.';
    const auto decimals = static_cast<unsigned>(scaled % kMillion);
    put_pair(decimals / 10000, out);
    put_pair(decimals / 100 % 100, out + 2);
    put_pair(decimals % 100, out + 4);
    return out + 6;
}

// Whether number * 10^power_of_ten is certain to print as the decimal itself: at most
// six decimals and a magnitude below 1e9 (below 10^15 in units of the sixth decimal).
// That decimal in units of the sixth decimal in *scaled.
bool exact_scaled(const PlainDecimal &number, int power_of_ten, std::uint64_t *scaled) {
    if (power_of_ten < 0 || power_of_ten > kMaxPowerOfTen) {
        return false;
    }
    if (number.digits == 0) {
        *scaled = 0;
        return true;
    }
    const int shift = number.exponent + power_of_ten + 6;
    if (shift < 0 || shift > kMaxDigits || number.digits >= kIntegerPowers[kMaxDigits - shift]) {
        return false;
    }
    *scaled = number.digits * kIntegerPowers[shift];
    return true;
}

} // namespace

bool read_plain_decimal(const char *p, const char *end, PlainDecimal *number) {
    while (p < end && (*p == ' ' || *p == '\t')) {
        ++p;
    }
    const bool negative = p < end && *p == '-';
    if (p < end && (*p == '+' || *p == '-')) {
        ++p;
    }
    std::uint64_t digits = 0;
    const char *point = nullptr;
    int decimals = 0;
    int exponent = 0;
    const char *mantissa = p;
    if (!kExactDoubles || !read_mantissa(&p, end, &digits, &point, &decimals)) {
        return false;
    }
    const char *mantissa_end = p;
    if (p < end && (*p == 'e' || *p == 'E') && !read_exponent(&p, end, &exponent)) {
        return false;
    }
    if (may_continue(p, end)) {
        return false;
    }
    const int power = digits == 0 ? 0 : exponent - decimals;
    if (power < -kMaxPowerOfTen || power > kMaxPowerOfTen) {
        return false;
    }
    const double magnitude = static_cast<double>(digits);
    const double value =
        power >= 0 ? magnitude * kPowersOfTen[power] : magnitude / kPowersOfTen[-power];
    *number = PlainDecimal{
        negative ? -value : value, digits, power, negative, p, mantissa, point, mantissa_end};
    return true;
}

char *write_fixed6(double value, char *out) {
    if (!(std::fabs(value) < kFixedLimit)) {
        return nullptr; // also for nan
    }
    return write_scaled(std::signbit(value), scaled_magnitude(value), out);
}

char *write_scaled_decimal(const PlainDecimal &number, int power_of_ten, char *out) {
    std::uint64_t scaled = 0;
    if (!exact_scaled(number, power_of_ten, &scaled)) {
        return nullptr;
    }
    return write_scaled(number.negative, scaled, out);
}

char *write_moved_point(const PlainDecimal &number, int power_of_ten, char *out) {
    if (number.mantissa_end != number.end || number.digits == 0) { // an exponent, or zero
        return write_scaled_decimal(number, power_of_ten, out);
    }
    std::uint64_t scaled = 0;
    if (!exact_scaled(number, power_of_ten, &scaled)) {
        return nullptr;
    }
    *out = '-';
    out += number.negative ? 1 : 0;
    const char *integer = number.mantissa;
    const char *integer_end = number.point != nullptr ? number.point : number.mantissa_end;
    const char *decimals = number.point != nullptr ? number.point + 1 : number.mantissa_end;
    const auto decimal_count = static_cast<std::size_t>(number.mantissa_end - decimals);
    // The new integer part: the integer digits, then the first power_of_ten decimals
    // (zeros where there are none), leading zeros left out.
    const std::size_t moved = std::min(static_cast<std::size_t>(power_of_ten), decimal_count);
    while (integer < integer_end && *integer == '0') {
        ++integer;
    }
    const char *moved_from = decimals;
    if (integer == integer_end) {
        while (moved_from < decimals + moved && *moved_from == '0') {
            ++moved_from;
        }
    }
    char *start = out;
    out = copy_short(out, integer, static_cast<std::size_t>(integer_end - integer));
    out = copy_short(out, moved_from, static_cast<std::size_t>(decimals + moved - moved_from));
    if (out != start) { // below 1e9, so at most eight zeros follow a digit
        out = put_zeros(out, static_cast<std::size_t>(power_of_ten) - moved);
    } else {
        *out++ = '0';
    }
    *out++ = '.';
    const std::size_t rest = decimal_count - moved; // at most six: exact_scaled says so
    put_zeros(out, 6);
    copy_short(out, decimals + moved, rest);
    return out + 6;
}

int power_of_ten_of(double factor) {
    for (int k = 0; k <= kMaxPowerOfTen; ++k) {
        if (factor == kPowersOfTen[k]) {
            return k;
        }
    }
    return -1;
}
