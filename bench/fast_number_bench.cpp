// SPDX-License-Identifier: MIT
// The number work of one converted line: reading the value and writing the product,
// by the conversion's shortcuts (Clinger's reading, the exact fixed-point writer, the
// moved decimal point for powers of ten) and by the general path they stand in for
// (tool_atof_checked, tool_dtoa), on values as they appear in joint attribute files.
// Also one whole force line through the line converter against convert_line.
#include "convert/fast_number.h"
#include "convert/line_conversion.h"
#include "convert/units.h"

#include "libtools/tool_dstring.h"

#include <benchmark/benchmark.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

const std::vector<std::string> kValueTexts = {
    "12.5 kN", "-3",        "4448.222", "0.000125",    "-29419.95", "1.5e3",
    "7",       "123456.78", "-0.5",     "2147483.647", "  42.0",    "14264.961",
};

const std::vector<double> kProducts = {
    12500.0, -29419.95, 2712.0, 0.000123, 16458.4214,  3141592.653589,
    -0.5,    1e-7,      42.0,   9.80665,  -123456.789, 1356.0,
};

void read_shortcut(benchmark::State &state) {
    std::size_t i = 0;
    for (auto _ : state) {
        const std::string &text = kValueTexts[i++ % kValueTexts.size()];
        PlainDecimal number{};
        benchmark::DoNotOptimize(
            read_plain_decimal(text.data(), text.data() + text.size(), &number));
        benchmark::DoNotOptimize(number);
    }
}

void read_general(benchmark::State &state) {
    std::size_t i = 0;
    for (auto _ : state) {
        double value = 0.0;
        benchmark::DoNotOptimize(
            tool_atof_checked(kValueTexts[i++ % kValueTexts.size()].c_str(), &value));
        benchmark::DoNotOptimize(value);
    }
}

void write_shortcut(benchmark::State &state) {
    std::size_t i = 0;
    char text[kFixedTextRoom];
    for (auto _ : state) {
        benchmark::DoNotOptimize(write_fixed6(kProducts[i++ % kProducts.size()], text));
        benchmark::ClobberMemory();
    }
}

void write_general(benchmark::State &state) {
    std::size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(tool_dtoa(6, 6, kProducts[i++ % kProducts.size()]));
    }
}

void scale_by_moving_the_point(benchmark::State &state) {
    std::vector<PlainDecimal> numbers;
    for (const std::string &text : kValueTexts) {
        PlainDecimal number{};
        if (read_plain_decimal(text.data(), text.data() + text.size(), &number)) {
            numbers.push_back(number);
        }
    }
    std::size_t i = 0;
    char text[kFixedTextRoom];
    for (auto _ : state) {
        benchmark::DoNotOptimize(write_scaled_decimal(numbers[i++ % numbers.size()], 3, text));
        benchmark::ClobberMemory();
    }
}

const char *const kLine = "shear_force 14264.961 kN";

void line_one_pass(benchmark::State &state) {
    const LineConverter converter(Conversion{state.range(0) == 0 ? 1000.0 : 4.448222, 1000.0});
    LineText text;
    LineNote note = LineNote::none;
    for (auto _ : state) {
        benchmark::DoNotOptimize(
            converter.convert(LineView{kLine, std::strlen(kLine)}, &text, &note));
        benchmark::DoNotOptimize(text.value.length);
    }
}

void line_reference(benchmark::State &state) {
    const char *unit = state.range(0) == 0 ? "kN" : "lbf";
    for (auto _ : state) {
        reset_unit_factors();
        char *line = tool_strdup(kLine);
        benchmark::DoNotOptimize(convert_line(classify_line(line), &line, unit));
        tool_strfree(&line);
    }
}

} // namespace

BENCHMARK(read_shortcut);
BENCHMARK(read_general);
BENCHMARK(write_shortcut);
BENCHMARK(write_general);
BENCHMARK(scale_by_moving_the_point);
BENCHMARK(line_one_pass)->Arg(0)->Arg(1); // kN (a power of ten), lbf
BENCHMARK(line_reference)->Arg(0)->Arg(1);
