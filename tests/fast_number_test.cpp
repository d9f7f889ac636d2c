// SPDX-License-Identifier: MIT
// The number shortcuts of the one-pass conversion against the C library: reading
// against strtod, writing against "%.6f" of the double, scaling against "%.6f" of the
// double product. Each group draws JOINT2SI_RANDOM_SAMPLES samples (default 200000)
// from JOINT2SI_RANDOM_SEED; set the count to millions for a long run.
#include "convert/fast_number.h"

#include <gtest/gtest.h>

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

const long kSamples = env_number("JOINT2SI_RANDOM_SAMPLES", 200000);
constexpr int kMaxReported = 10;

std::string hex(double value) {
    char text[64];
    std::snprintf(text, sizeof text, "%a", value);
    return text;
}

bool same_bits(double a, double b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

std::string printf_fixed6(double value) {
    char text[512];
    std::snprintf(text, sizeof text, "%.6f", value);
    return text;
}

class FastNumber : public ::testing::Test {
  protected:
    std::mt19937_64 random{static_cast<std::uint64_t>(env_number("JOINT2SI_RANDOM_SEED", 14))};
    int failures = 0;
    long answered = 0; // samples a shortcut took rather than declined

    int below(int n) { return static_cast<int>(random() % static_cast<std::uint64_t>(n)); }

    // A decimal of the forms users write, sometimes beyond what the shortcut takes.
    std::string decimal() {
        std::string text;
        if (below(4) == 0) {
            text += below(2) == 0 ? "-" : "+";
        }
        const int integer_digits = below(below(5) == 0 ? 20 : 8);
        for (int i = 0; i < integer_digits; ++i) {
            text += static_cast<char>('0' + below(10));
        }
        if (below(4) != 0) {
            text += '.';
            const int decimals = below(below(5) == 0 ? 20 : 8);
            for (int i = 0; i < decimals; ++i) {
                text += static_cast<char>('0' + below(10));
            }
        }
        if (below(6) == 0) {
            text += below(2) == 0 ? "e" : "E";
            text += below(3) == 0 ? "-" : "";
            text += std::to_string(below(30));
        }
        return text;
    }

    // A double in the ranges the converter meets, or a tie of the sixth decimal, or any.
    double any_double() {
        switch (below(4)) {
        case 0: { // k / 2^n: exact binary fractions, many of them ties at six decimals
            const double k = static_cast<double>(random() % (1ull << (1 + below(50))));
            return std::ldexp(k, -below(60)) * (below(2) == 0 ? -1 : 1);
        }
        case 1: {
            std::uint64_t bits = random();
            double value = 0;
            std::memcpy(&value, &bits, sizeof value);
            return value;
        }
        case 2:
            return std::strtod(decimal().c_str(), nullptr) * 1000.0;
        default:
            return (static_cast<double>(random() % 2000000000000ull) / 1e6 - 1e6) *
                   std::pow(10.0, below(14) - 6);
        }
    }

    void report(const std::string &what) {
        if (++failures <= kMaxReported) {
            ADD_FAILURE() << what;
        }
    }
};

TEST_F(FastNumber, ReadingGivesWhatStrtodGives) {
    for (long i = 0; i < kSamples; ++i) {
        const std::string text = decimal() + (below(5) == 0 ? " kN" : "");
        PlainDecimal number{};
        if (!read_plain_decimal(text.data(), text.data() + text.size(), &number)) {
            continue;
        }
        ++answered;
        const double expected = std::strtod(text.c_str(), nullptr);
        if (!same_bits(number.value, expected)) {
            report("'" + text + "' read as " + hex(number.value) + ", strtod " + hex(expected));
        }
    }
    EXPECT_GT(answered, kSamples / 3);
}

TEST_F(FastNumber, ReadingDeclinesWhatIsNotAPlainDecimal) {
    const char *const declined[] = {
        "",     ".",     "-",    "- 5", "e5",  "1e",
        "1e+",  "0x1A",  "inf",  "nan", "\v5", "1234567890123456",
        "1e23", "1e-23", "7e5x", "2p3", "+-1", "0.00000000000000000000001"};
    for (const char *text : declined) {
        PlainDecimal number{};
        EXPECT_FALSE(read_plain_decimal(text, text + std::strlen(text), &number)) << text;
    }
    PlainDecimal number{};
    const char *negative_zero = "-0.000";
    ASSERT_TRUE(read_plain_decimal(negative_zero, negative_zero + 6, &number));
    EXPECT_TRUE(std::signbit(number.value));
}

TEST_F(FastNumber, WritingGivesWhatPrintfGives) {
    const double edges[] = {0.0,
                            -0.0,
                            5e-7,
                            -5e-7,
                            4.9999999999999996e-7,
                            0.0078125,
                            -0.0078125,
                            2.5e-6,
                            9999999999999.998,
                            -9999999999999.998,
                            1e13,
                            4.9e-324,
                            0.5,
                            1e-6,
                            123456.0000005};
    for (const double value : edges) {
        char text[kFixedTextRoom];
        char *end = write_fixed6(value, text);
        if (end != nullptr) {
            EXPECT_EQ(std::string(text, end), printf_fixed6(value)) << hex(value);
        } else {
            EXPECT_FALSE(std::fabs(value) < 1e13) << hex(value);
        }
    }
    for (long i = 0; i < kSamples; ++i) {
        const double value = any_double();
        char text[kFixedTextRoom];
        char *end = write_fixed6(value, text);
        if (end == nullptr) {
            if (std::fabs(value) < 1e13) {
                report("declined " + hex(value));
            }
            continue;
        }
        ++answered;
        const std::string expected = printf_fixed6(value);
        if (std::string(text, end) != expected) {
            report(hex(value) + " written '" + std::string(text, end) + "', printf '" + expected +
                   "'");
        }
    }
    EXPECT_GT(answered, kSamples / 2);
}

TEST_F(FastNumber, ScalingGivesPrintfOfTheDoubleProduct) {
    for (long i = 0; i < kSamples; ++i) {
        const std::string text = decimal();
        PlainDecimal number{};
        if (!read_plain_decimal(text.data(), text.data() + text.size(), &number)) {
            continue;
        }
        const int power = below(5) == 0 ? below(23) : below(4);
        const double factor = std::pow(10.0, power);
        ASSERT_EQ(power_of_ten_of(factor), power);
        char written[kFixedTextRoom];
        char *end = write_scaled_decimal(number, power, written);
        char moved[kFixedTextRoom];
        char *moved_end = write_moved_point(number, power, moved);
        if ((moved_end == nullptr) != (end == nullptr) ||
            (end != nullptr && std::string(moved, moved_end) != std::string(written, end))) {
            report("'" + text + "' times 1e" + std::to_string(power) + ": the moved point gives '" +
                   (moved_end ? std::string(moved, moved_end) : "(declined)") + "'");
        }
        if (end == nullptr) {
            continue;
        }
        ++answered;
        const std::string expected = printf_fixed6(std::strtod(text.c_str(), nullptr) * factor);
        if (std::string(written, end) != expected) {
            report("'" + text + "' times 1e" + std::to_string(power) + " written '" +
                   std::string(written, end) + "', printf '" + expected + "'");
        }
    }
    EXPECT_GT(answered, kSamples / 4);
    EXPECT_EQ(power_of_ten_of(4.448222), -1);
    EXPECT_EQ(power_of_ten_of(-10.0), -1);
}

} // namespace
