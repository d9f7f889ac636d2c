// SPDX-License-Identifier: MIT
// Caller formats with widths and precisions far beyond the result buffers: the
// text is what the C library writes, cut to the buffer, and it comes at once.
#include "libtools/tool_dstring.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <string>

namespace {

// What snprintf writes for `format`, cut to `size` - 1 bytes.
template <typename T>
std::string cut_snprintf(const char *format, T value, std::size_t size) {
    std::string text(4096, '\0');
    const int printed = std::snprintf(&text[0], text.size(), format, value);
    text.resize(static_cast<std::size_t>(printed));
    return text.substr(0, size - 1);
}

struct IntCase {
    const char *format;
    const char *clamped; // the same format with its numbers at the buffer's limit
};

TEST(FormatLimits, IntegerWidthsAndPrecisionsCountAtMostTheBuffer) {
    const IntCase cases[] = {
        {"%2147483647d", "%255d"},
        {"%-2147483647d", "%-255d"},
        {"%.99999999999999999999d", "%.255d"},
        {"%0300x|", "%0255x|"},
        {"ab%%%--300.400i%%cd", "ab%%%-255.255i%%cd"},
        {"%255d", "%255d"},
        {"%254d", "%254d"},
        {"%.0d", "%.0d"},
        {"%.d", "%.d"},
        {"%5c", "%5c"},
    };
    for (const IntCase &c : cases) {
        EXPECT_EQ(std::string(tool_itoa_fmt(c.format, 7)), cut_snprintf(c.clamped, 7, 256))
            << c.format;
    }
}

TEST(FormatLimits, DoubleWidthsAndPrecisionsCountAtMostTheBuffer) {
    const struct {
        const char *format;
        const char *clamped;
        double value;
    } cases[] = {
        {"%.2147483646f", "%.511f", 1e308}, {"%2147483647.3f", "%511.3f", -2.5},
        {"%-600f|", "%-511f|", 1.0},        {"x%%%+.700e f", "x%%%+.511e f", 3e-300},
        {"%.1000g f", "%.511g f", 0.5},     {"%.300f", "%.300f", 1e-300},
        {"%12.4f", "%12.4f", 3.14159},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(std::string(tool_dtoa_fmt(c.format, c.value)),
                  cut_snprintf(c.clamped, c.value, 512))
            << c.format;
    }
}

// A width that asked the C library for two gigabytes used to take seconds; all of
// these together must take far less than one.
TEST(FormatLimits, HugeNumbersCostNoTime) {
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < 20; ++i) {
        tool_itoa_fmt("%2147483647d", 1);
        tool_itoa_fmt("%.2147483647d", 1);
        tool_dtoa_fmt("%.2147483646f", 1e308);
        tool_dtoa_fmt("%2147483647.2147483647f", -1e308);
    }
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
}

} // namespace
