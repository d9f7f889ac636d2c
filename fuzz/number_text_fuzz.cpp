// SPDX-License-Identifier: MIT
// Number text against the C library: tool_atof against sscanf "%lf", tool_itoa and
// tool_dtoa against printf, caller formats against snprintf with the documented
// clamping, decimal tool_atoi against a direct reading, tool_numcmp against a
// comparison of digit strings, and round trips through text.
//
// Input: byte 0 chooses the check; the rest is its text or its raw values.
#include "libtools/tool_dstring.h"
#include "libtools/tool_memory.h"
#include "support/fuzz_check.h"
#include "support/models.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include <fuzzer/FuzzedDataProvider.h>

namespace {

template <typename... T>
std::string print(const char *format, T... values) {
    std::string text(static_cast<std::size_t>(std::snprintf(nullptr, 0, format, values...)) + 1,
                     '\0');
    std::snprintf(&text[0], text.size(), format, values...);
    text.pop_back();
    return text;
}

void check_reading(const std::string &text) {
    const auto expected = model::scan_double(text);
    double value = 1.0;
    FUZZ_CHECK(tool_atof_checked(text.c_str(), &value) == (expected ? 1 : 0), "number read");
    FUZZ_CHECK(model::same_double(value, expected.value_or(0.0)), "tool_atof_checked value");
    FUZZ_CHECK(model::same_double(tool_atof(text.c_str()), expected.value_or(0.0)),
               "tool_atof value");
}

// tool_dtoa: "%.*f" with the precision (at most 1,074), then at most precision - minimum
// trailing zeros and a bare point removed.
void check_fixed(int minimum, int precision, double value) {
    const int decimals = precision < 0 ? 6 : std::min(precision, 1074);
    std::string text = print("%.*f", decimals, value);
    int removable = precision < 0 ? 0 : decimals - std::clamp(minimum, 0, 1074);
    for (; removable > 0 && !text.empty() && text.back() == '0'; --removable) {
        text.pop_back();
    }
    if (!text.empty() && text.back() == '.') {
        text.pop_back();
    }
    FUZZ_CHECK(text == tool_dtoa(minimum, precision, value), "tool_dtoa text");
    if (std::isfinite(value)) {
        const double back = tool_atof(tool_dtoa(0, 1074, value));
        FUZZ_CHECK(model::same_double(back, value), "exact text reads back as the same value");
    }
}

// A caller format built from the input: text, one conversion with flags, width and
// precision (some beyond the buffer), text.
std::string make_format(FuzzedDataProvider &in, const char *letters, std::string *clamped,
                        int limit) {
    const char *const plain[] = {"a", " ", "f", ".", "-", "%%"};
    std::string head, tail, conversion = "%";
    for (int i = in.ConsumeIntegralInRange(0, 4); i > 0; --i) {
        head += plain[in.ConsumeIntegralInRange<std::size_t>(0, 5)];
    }
    const std::string flags = "-+ #0";
    for (int i = in.ConsumeIntegralInRange(0, 3); i > 0; --i) {
        conversion += flags[in.ConsumeIntegralInRange<std::size_t>(0, flags.size() - 1)];
    }
    std::string capped = conversion;
    if (in.ConsumeBool()) {
        const long width = in.ConsumeBool() ? in.ConsumeIntegralInRange(1L, 700L)
                                            : in.ConsumeIntegralInRange(1L, 2147483647L);
        conversion += std::to_string(width);
        capped += std::to_string(std::min<long>(width, limit));
    }
    if (in.ConsumeBool()) {
        const long precision = in.ConsumeBool() ? in.ConsumeIntegralInRange(0L, 700L)
                                                : in.ConsumeIntegralInRange(0L, 2147483647L);
        conversion += "." + std::to_string(precision);
        capped += "." + std::to_string(std::min<long>(precision, limit));
    }
    const char letter =
        letters[in.ConsumeIntegralInRange<std::size_t>(0, std::strlen(letters) - 1)];
    conversion += letter;
    capped += letter;
    tail = in.ConsumeBool() ? " f%%" : "";
    *clamped = head + capped + tail;
    return head + conversion + tail;
}

void check_formats(FuzzedDataProvider &in) {
    std::string clamped;
    const std::string int_format = make_format(in, "diouxXc", &clamped, 255);
    const int number = in.ConsumeIntegral<int>();
    const std::string expected_int = print(clamped.c_str(), number);
    const std::string got_int(tool_itoa_fmt(int_format.c_str(), number),
                              std::min<std::size_t>(expected_int.size(), 255));
    FUZZ_CHECK(got_int == expected_int.substr(0, 255), "tool_itoa_fmt text");

    const std::string double_format = make_format(in, "fFeEgGaA", &clamped, 511);
    const double value = in.ConsumeFloatingPoint<double>();
    const bool used = double_format.find('f') != std::string::npos;
    const std::string expected = print(used ? clamped.c_str() : "%.3f", value);
    FUZZ_CHECK(expected.substr(0, 511) == tool_dtoa_fmt(double_format.c_str(), value),
               "tool_dtoa_fmt text");
}

void check_integers(const std::string &text, int value) {
    FUZZ_CHECK(print("%d", value) == tool_itoa(value), "tool_itoa text");
    FUZZ_CHECK(tool_atoi(tool_itoa(value)) == value, "decimal round trip");
    FUZZ_CHECK(tool_atoi(print("0x%x", static_cast<unsigned>(value)).c_str()) == value,
               "hexadecimal round trip");
    // A plain decimal text: white space, a sign, digits, no letter that would choose
    // another base; out of range values clamp.
    const std::size_t start = text.find_first_not_of(" \t\n\v\f\r");
    const std::string word = start == std::string::npos ? "" : text.substr(start);
    if (word.find_first_of("abcdefABCDEFxXoO") != std::string::npos || word.empty()) {
        return;
    }
    const std::size_t digits_at = word[0] == '+' || word[0] == '-' ? 1 : 0;
    long long expected = 0;
    for (std::size_t i = digits_at; i < word.size() && word[i] >= '0' && word[i] <= '9'; ++i) {
        expected = std::min(expected * 10 + (word[i] - '0'), 1LL << 40);
    }
    expected = word[0] == '-' ? -expected : expected;
    expected = std::clamp<long long>(expected, INT_MIN, INT_MAX);
    FUZZ_CHECK(tool_atoi(text.c_str()) == expected, "decimal tool_atoi");
}

// Digit runs compare by value: leading zeros dropped, then length, then digits.
void check_numcmp(const std::string &a, const std::string &b) {
    auto run = [](const std::string &s) {
        std::string digits = s.substr(0, s.find_first_not_of("0123456789"));
        digits.erase(0, std::min(digits.find_first_not_of('0'), digits.size()));
        return digits;
    };
    const std::string x = run(a), y = run(b);
    const int expected =
        x.size() != y.size() ? (x.size() > y.size() ? 1 : -1) : (x == y ? 0 : (x > y ? 1 : -1));
    FUZZ_CHECK(tool_numcmp(a.c_str(), b.c_str()) == expected, "tool_numcmp");
    const int ab = tool_strnatcmp(a.c_str(), b.c_str());
    FUZZ_CHECK(ab == -tool_strnatcmp(b.c_str(), a.c_str()), "tool_strnatcmp antisymmetric");
    FUZZ_CHECK(tool_strnatcmp(a.c_str(), a.c_str()) == 0, "tool_strnatcmp reflexive");
    FUZZ_CHECK(a != b || ab == 0, "equal texts");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    if (size < 1 || size > 1024) {
        return 0;
    }
    FuzzedDataProvider in(data + 1, size - 1);
    const long live = tool_memory_live_blocks();
    switch (data[0] % 5) {
    case 0:
        check_reading(in.ConsumeRemainingBytesAsString());
        break;
    case 1: {
        const int minimum = in.ConsumeIntegralInRange(-2, 1100);
        const int precision = in.ConsumeIntegralInRange(-2, 1100);
        check_fixed(minimum, precision, in.ConsumeFloatingPoint<double>());
        break;
    }
    case 2:
        check_formats(in);
        break;
    case 3: {
        const int value = in.ConsumeIntegral<int>();
        check_integers(model::c_string(in.ConsumeRemainingBytesAsString()), value);
        break;
    }
    default: {
        const std::string a = model::c_string(in.ConsumeRandomLengthString(256));
        check_numcmp(a, model::c_string(in.ConsumeRemainingBytesAsString()));
        break;
    }
    }
    FUZZ_CHECK(tool_memory_live_blocks() == live, "tracked blocks leaked");
    return 0;
}
