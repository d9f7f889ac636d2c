// SPDX-License-Identifier: MIT
// Matching time of tool_strmatch on star-heavy patterns, where a direct recursion
// would take exponential time.
#include "libtools/tool_dstring.h"

#include <benchmark/benchmark.h>

#include <string>

namespace {

// `stars` stars separated by "a", then a final character that the text lacks, against
// a text of `length` characters "a": every split of the text is a candidate.
void BM_StarsAgainstName(benchmark::State &state) {
    const auto stars = static_cast<int>(state.range(0));
    const auto length = static_cast<std::size_t>(state.range(1));
    std::string pattern;
    for (int i = 0; i < stars; ++i) {
        pattern += "*a";
    }
    pattern += "b";
    const std::string text(length, 'a');
    for (auto _ : state) {
        benchmark::DoNotOptimize(tool_strmatch(pattern.c_str(), text.c_str(), 1));
    }
}
BENCHMARK(BM_StarsAgainstName)
    ->Args({30, 255})
    ->Args({255, 255})
    ->Args({2000, 10000})
    ->Unit(benchmark::kMicrosecond);

// Thirty bare stars and a missing final character against a 255-character name.
void BM_ThirtyStars(benchmark::State &state) {
    const std::string pattern = std::string(30, '*') + "b";
    const std::string text(255, 'a');
    for (auto _ : state) {
        benchmark::DoNotOptimize(tool_strmatch(pattern.c_str(), text.c_str(), 1));
    }
}
BENCHMARK(BM_ThirtyStars)->Unit(benchmark::kMicrosecond);

// The everyday case: a short pattern against a file name.
void BM_TypicalName(benchmark::State &state) {
    for (auto _ : state) {
        benchmark::DoNotOptimize(tool_strmatch("*.JNT", "bridge_joints_2024.jnt", 1));
    }
}
BENCHMARK(BM_TypicalName);

} // namespace
