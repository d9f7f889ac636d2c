// SPDX-License-Identifier: MIT
#include "libtools/tool_dstring.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <climits>
#include <cmath>
#include <string>
#include <vector>

namespace {

TEST(IntegerText, PrintsLikePercentD) {
    EXPECT_STREQ(tool_itoa(0), "0");
    EXPECT_STREQ(tool_itoa(-42), "-42");
    EXPECT_STREQ(tool_itoa(INT_MAX), "2147483647");
    EXPECT_STREQ(tool_itoa(INT_MIN), "-2147483648");
}

TEST(IntegerText, CallerFormats) {
    struct Case {
        const char *format;
        int value;
        const char *expected;
    };
    const std::vector<Case> cases = {
        {nullptr, -12, "-12"},
        {"%05d", 42, "00042"},
        {"%x", 255, "ff"},
        {"[%-4i]", 7, "[7   ]"},
        {"100%% of %d", 3, "100% of 3"},
        {"%#o", 8, "010"},
        {"%c", 'A', "A"},
        // Formats that do not take exactly one int fall back to "%d".
        {"%s", 5, "5"},
        {"%d %d", 6, "6"},
        {"%n", 7, "7"},
        {"%ld", 8, "8"},
        {"%*d", 9, "9"},
        {"no conversion", 10, "10"},
        {"trailing %", 11, "11"},
    };
    for (const Case &c : cases) {
        EXPECT_STREQ(tool_itoa_fmt(c.format, c.value), c.expected)
            << (c.format ? c.format : "null");
    }
}

TEST(IntegerText, LongResultIsCutToTheBuffer) {
    // A width beyond the buffer counts as the buffer's 255 characters.
    const std::string text = tool_itoa_fmt("%400d", 5);
    EXPECT_EQ(text.size(), 255u);
    EXPECT_EQ(text.find_first_not_of(' '), 254u);
    EXPECT_EQ(std::string(tool_itoa_fmt("%-400d|", 5)), "5" + std::string(254, ' '));
}

TEST(DoubleText, TrimsZerosDownToTheMinimum) {
    struct Case {
        int min_precision;
        int precision;
        double value;
        const char *expected;
    };
    const std::vector<Case> cases = {
        {0, 3, 1.5, "1.5"},      {0, 3, 2.0, "2"},          {0, 3, 0.125, "0.125"},
        {1, 3, 2.0, "2.0"},      {6, 6, 12.5, "12.500000"}, {0, 3, 100.0, "100"},
        {0, 3, -0.5, "-0.5"},    {0, 0, 100.0, "100"},      {3, 0, 7.0, "7"},
        {0, 2, 0.004, "0"},      {0, 6, -1e-9, "-0"},       {2, 6, 1.25, "1.25"},
        {-3, 2, 10.0, "10"},     {0, -1, 1.5, "1.500000"},  {6, 6, 4e-7, "0.000000"},
        {0, 3, HUGE_VAL, "inf"}, {0, 3, -HUGE_VAL, "-inf"},
    };
    for (const Case &c : cases) {
        EXPECT_STREQ(tool_dtoa(c.min_precision, c.precision, c.value), c.expected)
            << c.min_precision << " " << c.precision << " " << c.value;
    }
}

TEST(DoubleText, EveryFiniteDoubleIsWrittenInFull) {
    const std::string largest = tool_dtoa(6, 6, -DBL_MAX);
    EXPECT_EQ(largest.size(), 1u + 309u + 1u + 6u);
    EXPECT_EQ(largest.rfind("-17976931348623157", 0), 0u);
    EXPECT_EQ(largest.substr(largest.size() - 7), ".000000");

    // The smallest subnormal needs all 1,074 decimals; more are bounded there.
    const std::string tiny = tool_dtoa(0, 1074, 4.9406564584124654e-324);
    EXPECT_EQ(tiny.size(), 2u + 1074u);
    EXPECT_EQ(tiny.substr(tiny.size() - 4), "5625");
    const std::string bounded = tool_dtoa(5000, 5000, -DBL_MAX);
    EXPECT_EQ(bounded.size(), 1u + 309u + 1u + 1074u);
}

TEST(DoubleText, CallerFormats) {
    EXPECT_STREQ(tool_dtoa_fmt("%.2f", 3.14159), "3.14");
    EXPECT_STREQ(tool_dtoa_fmt("x=%8.1f|", 2.25), "x=     2.2|");
    EXPECT_STREQ(tool_dtoa_fmt("%g", 2.0), "2.000");
    EXPECT_STREQ(tool_dtoa_fmt(nullptr, 2.0), "2.000");
    EXPECT_STREQ(tool_dtoa_fmt("%e of f", 1.5), "1.500000e+00 of f");
    EXPECT_STREQ(tool_dtoa_fmt("%s of f", 1.5), "1.500");
    EXPECT_STREQ(tool_dtoa_fmt("%f %f", 1.5), "1.500");
    EXPECT_EQ(std::string(tool_dtoa_fmt("%600.1f", 1.0)).size(), 511u);
    EXPECT_EQ(std::string(tool_dtoa_fmt(nullptr, DBL_MAX)).size(), 309u + 1u + 3u);
}

TEST(DoubleText, BuffersAreSeparate) {
    const char *fixed = tool_dtoa(0, 1, 1.5);
    const char *formatted = tool_dtoa_fmt("%.2f", 2.5);
    const char *integer = tool_itoa(3);
    const char *integer_formatted = tool_itoa_fmt("%02d", 4);
    EXPECT_STREQ(fixed, "1.5");
    EXPECT_STREQ(formatted, "2.50");
    EXPECT_STREQ(integer, "3");
    EXPECT_STREQ(integer_formatted, "04");
}

TEST(ReadDouble, ReadsTheLeadingNumber) {
    struct Case {
        const char *text;
        double expected;
        int read;
    };
    const std::vector<Case> cases = {
        {"  3.25e2xyz", 325.0, 1},
        {"abc", 0.0, 0},
        {nullptr, 0.0, 0},
        {"", 0.0, 0},
        {"   ", 0.0, 0},
        {"0", 0.0, 1},
        {"4.45", 4.45, 1},
        {"1e3", 1000.0, 1},
        {"2kN", 2.0, 1},
        {"-.5", -0.5, 1},
        {"+7", 7.0, 1},
        {"\t\n12", 12.0, 1},
        {"0x1p3", 8.0, 1},
        {"1e", 1.0, 1},
        {"1e+", 1.0, 1},
        {"-", 0.0, 0},
        {".", 0.0, 0},
        {"- 5", 0.0, 0},
        {"1.5.3", 1.5, 1},
        {"--5", 0.0, 0},
    };
    for (const Case &c : cases) {
        const char *name = c.text != nullptr ? c.text : "null";
        EXPECT_EQ(tool_atof(c.text), c.expected) << name;
        double value = -1.0;
        EXPECT_EQ(tool_atof_checked(c.text, &value), c.read) << name;
        EXPECT_EQ(value, c.expected) << name;
    }
    EXPECT_EQ(tool_atof_checked("5", nullptr), 1);
}

TEST(ReadDouble, SpecialValues) {
    EXPECT_EQ(tool_atof("inf"), HUGE_VAL);
    EXPECT_EQ(tool_atof("-Infinity"), -HUGE_VAL);
    EXPECT_EQ(tool_atof("1e400"), HUGE_VAL);
    EXPECT_TRUE(std::isnan(tool_atof("nan")));
    EXPECT_EQ(tool_atof("4e-320"), 4e-320);
    const std::string digits = "0." + std::string(500, '0') + "1e502";
    EXPECT_EQ(tool_atof(digits.c_str()), 10.0);
}

TEST(ReadInteger, ChoosesTheBaseFromTheText) {
    struct Case {
        const char *text;
        int expected;
    };
    // "-0x10" and " 0x10" neither begin with 0x nor hold a letter a-f: they read as decimal 0.
    const std::vector<Case> cases = {
        {"0x1F", 31},  {"1f", 31},         {"00F8", 248}, {"0041", 41},  {"12e3", 4835},
        {"-7", -7},    {"x", 0},           {"  12", 12},  {"0X10", 16},  {"ff", 255},
        {"o17", 15},   {"O17", 15},        {"o 17", 15},  {"o-17", -15}, {"o", 0},
        {"o8", 0},     {"+12", 12},        {"-0x10", 0},  {"0x", 0},     {" 0x10", 0},
        {"-0xA", -10}, {"12abc", 0x12abc}, {"", 0},       {nullptr, 0},  {"-", 0},
        {"3.9", 3},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(tool_atoi(c.text), c.expected) << (c.text != nullptr ? c.text : "null");
    }
}

TEST(ReadInteger, OutOfRangeValuesAreDefined) {
    EXPECT_EQ(tool_atoi("2147483647"), INT_MAX);
    EXPECT_EQ(tool_atoi("2147483648"), INT_MAX);
    EXPECT_EQ(tool_atoi("99999999999999999999999"), INT_MAX);
    EXPECT_EQ(tool_atoi("-2147483648"), INT_MIN);
    EXPECT_EQ(tool_atoi("-99999999999999999999999"), INT_MIN);
    EXPECT_EQ(tool_atoi("7fffffff"), INT_MAX);
    EXPECT_EQ(tool_atoi("0x80000000"), INT_MIN);
    EXPECT_EQ(tool_atoi("ffffffff"), -1);
    EXPECT_EQ(tool_atoi("fffffffffffffffffffff"), -1);
    EXPECT_EQ(tool_atoi("-ffffffff"), 1);
    EXPECT_EQ(tool_atoi("o37777777777"), -1);
    EXPECT_EQ(tool_atoi("o777777777777777"), -1);
}

TEST(NumberRuns, CompareByValue) {
    struct Case {
        const char *a;
        const char *b;
        int expected;
    };
    const std::string big = "1" + std::string(99, '0');
    const std::string nines = std::string(99, '9');
    const std::string padded = std::string(120, '0') + big;
    const std::vector<Case> cases = {
        {"10", "9", 1},
        {"9", "10", -1},
        {"007", "7", 0},
        {"", "0", 0},
        {"abc", "1", -1},
        {"5x", "5y", 0},
        {"4294967296", "4294967295", 1},
        {big.c_str(), nines.c_str(), 1},
        {padded.c_str(), big.c_str(), 0},
        {nullptr, "0", 0},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(tool_numcmp(c.a, c.b), c.expected) << (c.a ? c.a : "null") << " " << c.b;
        EXPECT_EQ(tool_numcmp(c.b, c.a), -c.expected) << c.b;
    }
}

TEST(NaturalOrder, OrdersEmbeddedNumbersByValue) {
    struct Case {
        const char *a;
        const char *b;
        int expected;
    };
    const std::string long_a = "run" + std::string(90, '1') + "2";
    const std::string long_b = "run" + std::string(90, '1') + "10";
    const std::vector<Case> cases = {
        {"file9", "file10", -1}, {"a1", "a01", -1},     {"abc", "abcd", -1},
        {"b", "a10", 1},         {nullptr, nullptr, 0}, {nullptr, "", -1},
        {"same", "same", 0},     {"x2y", "x2z", -1},    {"\xe9", "a", -1},
        {"A", "a", -1},          {"2", "a", -1},        {long_a.c_str(), long_b.c_str(), -1},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(tool_strnatcmp(c.a, c.b), c.expected) << (c.a ? c.a : "null");
        EXPECT_EQ(tool_strnatcmp(c.b, c.a), -c.expected) << (c.b ? c.b : "null");
    }
}

std::string printed_bits(const char *label, int n, const unsigned char *bits) {
    ::testing::internal::CaptureStdout();
    tool_print_bits(label, n, bits);
    std::fflush(stdout);
    return ::testing::internal::GetCapturedStdout();
}

TEST(BitArray, PrintsBitsFromZero) {
    const unsigned char five = 5;
    const unsigned char two_bytes[] = {0x81, 0x02};
    EXPECT_EQ(printed_bits("b=", 4, &five), "b=1010\n");
    EXPECT_EQ(printed_bits(nullptr, 10, two_bytes), "1000000101\n");
    EXPECT_EQ(printed_bits("b=", 4, nullptr), "b=\n");
    EXPECT_EQ(printed_bits("b=", -3, &five), "b=\n");
}

TEST(BitArray, ReversesInPlace) {
    struct Case {
        int n;
        std::vector<unsigned char> bits;
        std::vector<unsigned char> expected;
    };
    const std::vector<Case> cases = {
        {8, {0x01}, {0x80}}, {3, {0x01}, {0x04}},
        {5, {0x04}, {0x04}}, {12, {0x03, 0x00}, {0x00, 0x0C}},
        {4, {0xF1}, {0xF8}}, {1, {0x01}, {0x01}},
        {0, {0x5A}, {0x5A}}, {-4, {0x5A}, {0x5A}},
    };
    for (Case c : cases) {
        EXPECT_EQ(tool_bits_reverse(c.n, c.bits.data()), c.bits.data());
        EXPECT_EQ(c.bits, c.expected) << c.n;
    }
    EXPECT_EQ(tool_bits_reverse(8, nullptr), nullptr);
}

} // namespace
