// SPDX-License-Identifier: MIT
// Line classification, unit resolution and the rewrite of a line's value, held to
// models built on sscanf "%lf" and snprintf "%.6f".
//
// Input: byte 0 bit 0 picks the kind used for the unit (force or moment); then the
// unit text up to the first newline, then the line.
#include "convert/units.h"

#include "libtools/tool_dstring.h"
#include "libtools/tool_memory.h"
#include "support/fuzz_check.h"
#include "support/models.h"

#include <cmath>
#include <cstdint>
#include <string>

namespace {

void check_conversion(const std::string &line, double factor) {
    char *slot = tool_strdup(line.c_str());
    const int converted = convert_line_by_factor(&slot, factor);
    const auto expected = model::convert(line, factor);
    FUZZ_CHECK(converted == (expected ? 1 : 0), "whether the line is rewritten");
    FUZZ_CHECK(slot != nullptr, "line kept");
    FUZZ_CHECK(std::string(slot) == expected.value_or(model::c_string(line)), "line text");
    tool_strfree(&slot);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    if (size < 1 || size > 2048) {
        return 0;
    }
    const int kind = (data[0] & 1) != 0 ? KIND_MOMENT : KIND_FORCE;
    const std::string rest(reinterpret_cast<const char *>(data) + 1, size - 1);
    const std::size_t newline = rest.find('\n');
    const std::string unit = model::c_string(rest.substr(0, newline));
    const std::string line =
        newline == std::string::npos ? std::string() : model::c_string(rest.substr(newline + 1));
    const long live = tool_memory_live_blocks();

    FUZZ_CHECK(classify_line(line.c_str()) == model::classify(line), "classification");

    double factor = -1.0;
    const int known = resolve_unit(unit.c_str(), kind, UnitFactors::table, &factor);
    const auto expected_factor = model::unit_factor(unit, kind);
    const auto strict_factor = unit.empty() ? std::nullopt : model::run_unit_factor(unit, kind);
    FUZZ_CHECK(known == (strict_factor ? 1 : 0), "unit known");
    FUZZ_CHECK(model::same_double(factor, strict_factor.value_or(0.0)), "unit factor");

    check_conversion(line, factor);
    // The factor read from the line's own start exercises every kind of number.
    if (const auto own = model::scan_double(line)) {
        check_conversion(line, *own);
    }

    // The per-process lookup: an unknown unit reads as factor 0 and changes nothing.
    reset_unit_factors();
    char *slot = tool_strdup(line.c_str());
    const int converted = convert_line(kind, &slot, unit.c_str());
    const auto expected = model::convert(line, expected_factor.value_or(0.0));
    FUZZ_CHECK(converted == (expected ? 1 : 0), "convert_line result");
    FUZZ_CHECK(std::string(slot) == expected.value_or(line), "convert_line text");
    tool_strfree(&slot);
    reset_unit_factors();

    FUZZ_CHECK(tool_memory_live_blocks() == live, "tracked blocks leaked");
    return 0;
}
