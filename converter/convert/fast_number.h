// SPDX-License-Identifier: MIT
// Fast forms of the two number steps of a line conversion, each exactly equal to the
// general one where it answers and declining where it cannot be sure:
//   - reading a plain decimal as sscanf "%lf" (and so tool_atof) reads it;
//   - writing a double as "%.6f" writes it;
//   - writing value times a power of ten as "%.6f" writes the double product, by
//     moving the decimal point of the value's own digits.
#ifndef JOINT2SI_FAST_NUMBER_H
#define JOINT2SI_FAST_NUMBER_H

#include <cstddef>
#include <cstdint>

/// A plain decimal as read from the text: (-1 if negative) * digits * 10^exponent.
struct PlainDecimal {
    double value;
    std::uint64_t digits; // at most 15 significant decimal digits
    int exponent;
    bool negative;
    const char *end;          // where the number's text ends
    const char *mantissa;     // its digits and point, after the sign ...
    const char *point;        // ... its point, or null ...
    const char *mantissa_end; // ... and their end (an exponent may follow)
};

/// Reads the number at the start of [p, end) when it is a plain decimal that sscanf
/// "%lf" reads exactly so: blanks or tabs, an optional sign, digits with an optional
/// point (at least one digit), an optional exponent with digits, at most 15
/// significant digits and a power of ten up to 22 (Clinger's exact case), and no
/// letter after it that could make sscanf read on. Returns false, having decided
/// nothing, for every other text: no number, hexadecimal, inf, nan, longer numbers.
bool read_plain_decimal(const char *p, const char *end, PlainDecimal *number);

/// Room the writers below need at `out`.
constexpr std::size_t kFixedTextRoom = 40;

/// Writes `value` as "%.6f" writes it when its magnitude is below 1e13 and returns
/// the end of the text; returns null (nothing decided) for larger magnitudes and
/// for values that are not finite.
char *write_fixed6(double value, char *out);

/// Writes number * 10^power_of_ten as "%.6f" writes the double product
/// number.value * 10^power_of_ten when that product is certain to be the decimal
/// itself: 0 <= power_of_ten <= 22, at most six decimals, magnitude below 1e9.
/// Returns the end of the text, or null when it cannot be sure.
char *write_scaled_decimal(const PlainDecimal &number, int power_of_ten, char *out);

/// write_scaled_decimal's text, written by copying the decimal's own digits with the
/// point moved: the same result under the same conditions, and null where it is null.
char *write_moved_point(const PlainDecimal &number, int power_of_ten, char *out);

/// The power of ten `factor` is exactly (0 to 22), or -1.
int power_of_ten_of(double factor);

#endif
