// SPDX-License-Identifier: MIT
// tool_atof against sscanf "%lf" and tool_dtoa(6, 6, x) against snprintf "%.6f" on
// values as they appear in joint attribute files.
#include "libtools/tool_dstring.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <vector>

namespace {

const std::vector<const char *> kValueTexts = {
    "12.5 kN", "-3",        "4448.222", "0.000125",    "-29419.95", "1.5e3",
    "7",       "123456.78", "-0.5",     "2147483.647", "  42.0",    "9.80665",
};

const std::vector<double> kProducts = {
    12500.0, -29419.95, 2712.0, 0.000123, 16458.4214,  3141592.653589,
    -0.5,    1e-7,      42.0,   9.80665,  -123456.789, 1356.0,
};

void atof_tool(benchmark::State &state) {
    std::size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(tool_atof(kValueTexts[i++ % kValueTexts.size()]));
    }
}

void atof_sscanf(benchmark::State &state) {
    std::size_t i = 0;
    for (auto _ : state) {
        double value = 0.0;
        std::sscanf(kValueTexts[i++ % kValueTexts.size()], "%lf", &value);
        benchmark::DoNotOptimize(value);
    }
}

void dtoa_tool(benchmark::State &state) {
    std::size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(tool_dtoa(6, 6, kProducts[i++ % kProducts.size()]));
    }
}

void dtoa_snprintf(benchmark::State &state) {
    std::size_t i = 0;
    char buffer[400];
    for (auto _ : state) {
        std::snprintf(buffer, sizeof buffer, "%.6f", kProducts[i++ % kProducts.size()]);
        benchmark::DoNotOptimize(buffer);
    }
}

} // namespace

BENCHMARK(atof_tool);
BENCHMARK(atof_sscanf);
BENCHMARK(dtoa_tool);
BENCHMARK(dtoa_snprintf);
