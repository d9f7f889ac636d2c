// SPDX-License-Identifier: MIT
// Compares tool_atof, tool_atof_checked, tool_dtoa and tool_atoi with the C library
// on random inputs. Each group draws JOINT2SI_RANDOM_SAMPLES samples (default 20000)
// from the seed JOINT2SI_RANDOM_SEED (default fixed, so failures reproduce); set the
// count to millions for a long run.
#include "libtools/tool_dstring.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>

namespace {

long env_number(const char *name, long fallback) {
    const char *text = std::getenv(name);
    return text != nullptr && *text != '\0' ? std::strtol(text, nullptr, 10) : fallback;
}

const long kSamples = env_number("JOINT2SI_RANDOM_SAMPLES", 20000);
constexpr int kMaxReportedFailures = 10;

class NumberTextRandom : public ::testing::Test {
  protected:
    std::mt19937_64 random{static_cast<std::uint64_t>(env_number("JOINT2SI_RANDOM_SEED", 2024))};
    int failures = 0;

    int below(int n) { return static_cast<int>(random() % static_cast<std::uint64_t>(n)); }
    bool coin() { return (random() & 1u) != 0; }

    double any_finite_double() {
        for (;;) {
            const std::uint64_t bits = random();
            double value;
            std::memcpy(&value, &bits, sizeof value);
            if (std::isfinite(value)) {
                return value;
            }
        }
    }

    // Checks tool_dtoa(min, precision, value) against "%.*f" with its trailing zeros trimmed.
    void check_dtoa(int min_precision, int precision, double value) {
        static char expected[2000];
        int length = std::snprintf(expected, sizeof expected, "%.*f", precision, value);
        for (int n = precision - min_precision; n > 0 && expected[length - 1] == '0'; --n) {
            expected[--length] = '\0';
        }
        if (expected[length - 1] == '.') {
            expected[length - 1] = '\0';
        }
        const char *actual = tool_dtoa(min_precision, precision, value);
        if (std::strcmp(actual, expected) != 0 && ++failures <= kMaxReportedFailures) {
            ADD_FAILURE() << "tool_dtoa(" << min_precision << ", " << precision << ", "
                          << std::hexfloat << value << ") gave " << actual << ", expected "
                          << expected;
        }
    }

    // Checks tool_atof and tool_atof_checked against sscanf "%lf", bit for bit. A finite
    // value is taken from strtod, which rounds correctly also where the C library's
    // scanf does not (mingw-w64's is one unit in the last place off for some numbers).
    void check_atof(const std::string &text) {
        double expected = 0.0;
        const int expected_read = std::sscanf(text.c_str(), "%lf", &expected) == 1 ? 1 : 0;
        if (expected_read == 1 && std::isfinite(expected)) {
            expected = std::strtod(text.c_str(), nullptr);
        }
        double checked = -1.0;
        const int read = tool_atof_checked(text.c_str(), &checked);
        const double plain = tool_atof(text.c_str());
        if ((read != expected_read || std::memcmp(&checked, &expected, sizeof expected) != 0 ||
             std::memcmp(&plain, &expected, sizeof expected) != 0) &&
            ++failures <= kMaxReportedFailures) {
            ADD_FAILURE() << "tool_atof(\"" << text << "\") gave " << std::hexfloat << checked
                          << " (read " << read << "), sscanf " << expected << " (read "
                          << expected_read << ")";
        }
    }

    std::string digits(int count) {
        std::string text;
        for (int i = 0; i < count; ++i) {
            text += static_cast<char>('0' + below(10));
        }
        return text;
    }

    // A decimal number with random blanks, sign, digits, point, exponent and tail.
    std::string random_decimal_text() {
        static const char *const kSpaces[] = {"", "", " ", "  ", "\t", "\n "};
        static const char *const kSigns[] = {"", "", "-", "+"};
        static const char *const kTails[] = {"",    "",  " kN", "x",  "e",   "E+", ".",
                                             "e-x", "5", "-3",  "p2", "0x1", ",5", "\t1"};
        std::string text = kSpaces[below(6)];
        text += kSigns[below(4)];
        text += digits(below(4) == 0 ? below(40) : below(8));
        if (coin()) {
            text += '.';
            text += digits(below(4) == 0 ? below(40) : below(8));
        }
        if (below(3) == 0) {
            text += coin() ? 'e' : 'E';
            text += kSigns[below(4)];
            text += std::to_string(below(4) == 0 ? below(400) : below(30));
        }
        return text + kTails[below(14)];
    }

    // Concatenated pieces of the rarer forms: hexadecimal, inf, nan, bare signs and points.
    std::string random_odd_text() {
        static const char *const kPieces[] = {
            "inf", "INF", "nan", "NaN", "infinity", "infinit", "0x",    "0X",   "1p",  "p",
            "e",   "E",   "+",   "-",   ".",        "5",       "0",     " ",    "x",   "(",
            ")",   "a",   "f",   "1e",  "nan(",     "nan(12)", "0x1p3", "0x.8", "1e+", "9"};
        const int count = 1 + below(5);
        std::string text;
        for (int i = 0; i < count; ++i) {
            text += kPieces[below(30)];
        }
        return text;
    }
};

TEST_F(NumberTextRandom, FormatsRandomBitPatterns) {
    for (long i = 0; i < kSamples; ++i) {
        const double value = any_finite_double();
        check_dtoa(6, 6, value);
        const int precision = below(20);
        check_dtoa(below(precision + 1), precision, value);
    }
    EXPECT_EQ(failures, 0);
}

TEST_F(NumberTextRandom, FormatsValuesOfTheConvertersRange) {
    std::uniform_real_distribution<double> magnitude(-1e7, 1e7);
    for (long i = 0; i < kSamples; ++i) {
        const double scaled = magnitude(random) * std::pow(10.0, below(19) - 9);
        check_dtoa(6, 6, scaled);
        check_dtoa(6, 6, scaled * 4448.222);
        // Exact ties: an integer plus an odd multiple of 2^-(p+1) has p+1 decimals ending in 5.
        const int precision = below(11);
        const double odd = static_cast<double>(2 * below(1 << precision) + 1);
        const double tie = below(100000) + std::ldexp(odd, -(precision + 1));
        check_dtoa(precision, precision, coin() ? tie : -tie);
    }
    EXPECT_EQ(failures, 0);
}

TEST_F(NumberTextRandom, FormatsSubnormalAndHugeValues) {
    for (long i = 0; i < kSamples; ++i) {
        const std::uint64_t mantissa = random() & ((std::uint64_t{1} << 52) - 1);
        double subnormal;
        std::memcpy(&subnormal, &mantissa, sizeof subnormal);
        check_dtoa(0, below(1075), subnormal);
        const double huge =
            std::ldexp(1.0 + static_cast<double>(mantissa) * 0x1p-52, 960 + below(64));
        check_dtoa(6, 6, coin() ? huge : -huge);
    }
    EXPECT_EQ(failures, 0);
}

TEST_F(NumberTextRandom, ReadsRandomDecimalText) {
    for (long i = 0; i < kSamples; ++i) {
        check_atof(random_decimal_text());
    }
    EXPECT_EQ(failures, 0);
}

TEST_F(NumberTextRandom, ReadsPrintedDoubles) {
    static const char *const kFormats[] = {"%.17g", "%a", "%.6f", "%.3e", "%.20e", "%g"};
    char text[400];
    for (long i = 0; i < kSamples; ++i) {
        const double value = any_finite_double();
        std::snprintf(text, sizeof text, kFormats[below(6)], value);
        check_atof(text);
        std::snprintf(text, sizeof text, "%.*f", below(12), std::ldexp(value, -below(2000)));
        check_atof(text);
    }
    EXPECT_EQ(failures, 0);
}

TEST_F(NumberTextRandom, ReadsOddForms) {
    static const char *const kFixed[] = {
        "1e", "1e+",    ".",     "-.5",       "0x1p3", "inf", "nan", "-nan", "infinity", "+inf",
        "0x", "1e-400", "1e400", "0x1p-1074", "",      "  ",  "-",   "+.",   "0x.p1"};
    for (const char *text : kFixed) {
        check_atof(text);
    }
    for (long i = 0; i < kSamples; ++i) {
        check_atof(random_odd_text());
    }
    EXPECT_EQ(failures, 0);
}

// The selection of the conversion, then sscanf with it; texts short enough to stay in range.
int scanf_integer(const std::string &text) {
    const char *s = text.c_str();
    if ((s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) ||
        text.find_first_of("abcdefABCDEF") != std::string::npos) {
        unsigned value = 0;
        return std::sscanf(s, "%x", &value) == 1 ? static_cast<int>(value) : 0;
    }
    if (s[0] == 'o' || s[0] == 'O') {
        unsigned value = 0;
        return std::sscanf(s + 1, "%o", &value) == 1 ? static_cast<int>(value) : 0;
    }
    int value = 0;
    return std::sscanf(s, "%d", &value) == 1 ? value : 0;
}

TEST_F(NumberTextRandom, ReadsIntegersLikeScanf) {
    static const char kAlphabet[] = " +-0123456789abcdefABCDEFxXoO.g";
    for (long i = 0; i < kSamples; ++i) {
        std::string text;
        const int length = 1 + below(8);
        for (int k = 0; k < length; ++k) {
            text += kAlphabet[below(sizeof kAlphabet - 1)];
        }
        const int expected = scanf_integer(text);
        if (tool_atoi(text.c_str()) != expected && ++failures <= kMaxReportedFailures) {
            ADD_FAILURE() << "tool_atoi(\"" << text << "\") gave " << tool_atoi(text.c_str())
                          << ", expected " << expected;
        }
    }
    EXPECT_EQ(failures, 0);
}

} // namespace
