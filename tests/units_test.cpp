// SPDX-License-Identifier: MIT
#include "convert/units.h"

#include "libtools/tool_dstring.h"
#include "support/memory_check.h"

#include <string>
#include <vector>

namespace {

class Units : public LeakCheckedTest {
  protected:
    void SetUp() override {
        LeakCheckedTest::SetUp();
        reset_unit_factors();
    }
    void TearDown() override {
        reset_unit_factors();
        LeakCheckedTest::TearDown();
    }
};

struct Converted {
    int result;
    std::string line;
};

// Runs convert_line on a heap copy of `line` and returns the result and the slot's text.
Converted convert(int kind, const char *line, const char *unit_text) {
    char *slot = tool_strdup(line);
    const int result = convert_line(kind, &slot, unit_text);
    Converted converted{result, slot != nullptr ? slot : "<null>"};
    tool_strfree(&slot);
    return converted;
}

TEST_F(Units, ConvertsTheExampleLines) {
    struct Case {
        int kind;
        const char *unit;
        const char *line;
        const char *written; // null: unchanged
    };
    const std::vector<Case> cases = {
        {KIND_FORCE, "kN", "shear_force 12.5 kN", "shear_force 12500.000000"},
        {KIND_FORCE, "t", "axial_force -3", "axial_force -29419.950000"},
        {KIND_MOMENT, "KIP-FT", "bending_moment 2", "bending_moment 2712.000000"},
        {KIND_FORCE, "N", "shear_force 12.5", "shear_force 12.500000"},
        {KIND_FORCE, "N", "shear_force 4e-7", "shear_force 0.000000"},
        {KIND_FORCE, "kN", "shear_force 1.5 2.5 3.5", "shear_force 1500.000000"},
        {KIND_FORCE, "2kN", "shear_force 3", "shear_force 6.000000"},
        {KIND_FORCE, "kN", "shear_force -2147483648", nullptr},
        {KIND_FORCE, "kN", "axial_force 1 bending_moment 2", "axial_force 1000.000000"},
        {KIND_FORCE, "kN", "shear_force  7", "shear_force 7000.000000"},
        {KIND_FORCE, "-2", "shear_force 3", "shear_force -6.000000"},
        {KIND_FORCE, "-1", "shear_force 3", "shear_force -3.000000"},
        {KIND_MOMENT, "lbf-in", "bending_moment 1000", "bending_moment 113.000000"},
        {KIND_FORCE, "lbf", "shear_force 0.5", "shear_force 2.224111"},
    };
    for (const Case &c : cases) {
        reset_unit_factors();
        const Converted converted = convert(c.kind, c.line, c.unit);
        EXPECT_EQ(converted.result, c.written != nullptr ? 1 : 0) << c.line;
        EXPECT_EQ(converted.line, c.written != nullptr ? c.written : c.line) << c.line;
    }
}

TEST_F(Units, LeavesLinesUnchanged) {
    struct Case {
        const char *unit;
        const char *line;
    };
    const std::vector<Case> cases = {
        // Factors of magnitude 1e-9 or less, and texts that name no unit and hold no number.
        {"abc", "shear_force 3 kN"},
        {"false", "shear_force 3 kN"},
        {"FALSE", "shear_force 3"},
        {"0", "shear_force 3 kN"},
        {"1e-9", "shear_force 3 kN"},
        {"-1e-9", "shear_force 3"},
        {"", "shear_force 3"},
        {"Nm", "shear_force 3"},
        {"nan", "shear_force 3"},
        // No blank, or no number after the first blank.
        {"kN", "shear_force\t3"},
        {"kN", "shear_force"},
        {"kN", " shear_force 3"},
        {"kN", "shear_force "},
        {"kN", "shear_force abc"},
        {"kN", "max shear_force 3"},
        // Values and products that are not finite.
        {"kN", "shear_force inf"},
        {"kN", "shear_force nan"},
        {"kN", "shear_force 1e308"},
        {"1e300", "shear_force 1e10"},
        {"inf", "shear_force 1"},
        {"kN", "shear_force -2147483648.0 kN"},
    };
    for (const Case &c : cases) {
        reset_unit_factors();
        const Converted converted = convert(KIND_FORCE, c.line, c.unit);
        EXPECT_EQ(converted.result, 0) << c.unit << " / " << c.line;
        EXPECT_EQ(converted.line, c.line) << c.unit;
    }
}

TEST_F(Units, WritesHugeProductsInFull) {
    const Converted converted = convert(KIND_FORCE, "shear_force 1e300", "kN");
    EXPECT_EQ(converted.result, 1);
    EXPECT_EQ(converted.line.size(), std::string("shear_force ").size() + 304 + 7);
    EXPECT_EQ(converted.line.substr(converted.line.size() - 7), ".000000");
    EXPECT_EQ(convert(KIND_FORCE, "shear_force -2147483647", "kN").line,
              "shear_force -2147483647000.000000");
}

TEST_F(Units, ClassifiesLinesByKeyword) {
    struct Case {
        const char *line;
        int kind;
    };
    const std::vector<Case> cases = {
        {"shear_force 1", KIND_FORCE},
        {"axial_force 1", KIND_FORCE},
        {"bending_moment 1", KIND_MOMENT},
        {"max_shear_force_y 3", KIND_FORCE},
        {"Shear_Force 3", 0},
        {"axial_force 1 bending_moment 2", KIND_FORCE},
        {"bending_moment shear_force", KIND_FORCE},
        {"  bending_moment", KIND_MOMENT},
        {"torsion_moment 3", 0},
        {"", 0},
        {nullptr, 0},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(classify_line(c.line), c.kind) << (c.line != nullptr ? c.line : "null");
    }
}

TEST_F(Units, LooksUpEveryUnit) {
    struct Case {
        int kind;
        const char *unit;
        double factor;
    };
    const std::vector<Case> cases = {
        {KIND_FORCE, "false", 0.0},     {KIND_FORCE, "kg", 9.80665},
        {KIND_FORCE, "T", 9806.65},     {KIND_FORCE, "N", 1.0},
        {KIND_FORCE, "daN", 10.0},      {KIND_FORCE, "kN", 1000.0},
        {KIND_FORCE, "lbf", 4.448222},  {KIND_FORCE, "kip", 4448.222},
        {KIND_MOMENT, "false", 0.0},    {KIND_MOMENT, "kgm", 9.80665},
        {KIND_MOMENT, "Tm", 9806.65},   {KIND_MOMENT, "Nm", 1.0},
        {KIND_MOMENT, "daNm", 10.0},    {KIND_MOMENT, "kNm", 1000.0},
        {KIND_MOMENT, "lbf-in", 0.113}, {KIND_MOMENT, "lbf-ft", 1.356},
        {KIND_MOMENT, "kip-in", 113.0}, {KIND_MOMENT, "kip-ft", 1356.0},
        {KIND_FORCE, "KN", 1000.0},     {KIND_FORCE, "kn", 1000.0},
        {KIND_FORCE, "t", 9806.65},     {KIND_MOMENT, "KIP-FT", 1356.0},
        {KIND_FORCE, "4.45", 4.45},     {KIND_FORCE, "1e3", 1000.0},
        {KIND_FORCE, " 2kN", 2.0},      {KIND_FORCE, "", 0.0},
        {KIND_FORCE, "kNm", 0.0},       {KIND_MOMENT, "kN", 0.0},
        {KIND_FORCE, "kN ", 0.0},       {KIND_MOMENT, "-3.5", -3.5},
    };
    for (const Case &c : cases) {
        reset_unit_factors();
        EXPECT_EQ(get_unit_factor(c.unit, c.kind), c.factor) << c.unit;
    }
}

TEST_F(Units, FirstResolvedFactorWins) {
    EXPECT_EQ(convert(KIND_FORCE, "shear_force 2", "kN").line, "shear_force 2000.000000");
    EXPECT_EQ(convert(KIND_FORCE, "shear_force 2", "N").line, "shear_force 2000.000000");
    EXPECT_EQ(get_force_factor("kip"), 1000.0);
    // The moment slot is separate and still unresolved.
    EXPECT_EQ(get_moment_factor("daNm"), 10.0);
    EXPECT_EQ(get_moment_factor("kNm"), 10.0);
}

TEST_F(Units, MinusOneLeavesTheFactorUnresolved) {
    EXPECT_EQ(get_force_factor("-1"), -1.0);
    EXPECT_EQ(get_force_factor("-1.0e0"), -1.0);
    EXPECT_EQ(get_force_factor("kN"), 1000.0);
    EXPECT_EQ(get_force_factor("-1"), 1000.0);
}

TEST_F(Units, LookupRules) {
    // No unit text: no lookup at all, the slot stays unresolved.
    EXPECT_EQ(convert(KIND_MOMENT, "bending_moment 2", nullptr).result, 0);
    EXPECT_EQ(get_unit_factor(nullptr, KIND_FORCE), 0.0);
    EXPECT_EQ(get_unit_factor("kN", 3), 0.0);
    EXPECT_EQ(get_moment_factor("kNm"), 1000.0);
    EXPECT_EQ(get_force_factor("kN"), 1000.0);
    reset_unit_factors();
    // A line without a blank still resolves the factor of its kind.
    EXPECT_EQ(convert(KIND_FORCE, "shear_force\t3", "daN").result, 0);
    EXPECT_EQ(get_force_factor("kN"), 10.0);
    // A null text met by the kind's own lookup resolves it to 0.
    EXPECT_EQ(get_moment_factor(nullptr), 0.0);
    EXPECT_EQ(get_moment_factor("kNm"), 0.0);
    char **no_slot = nullptr;
    EXPECT_EQ(convert_line(KIND_FORCE, no_slot, "kN"), 0);
    char *empty_slot = nullptr;
    EXPECT_EQ(convert_line(KIND_FORCE, &empty_slot, "kN"), 0);
    EXPECT_EQ(empty_slot, nullptr);
}

TEST_F(Units, ResolvesTheTableAndTheExactFactors) {
    struct Case {
        int kind;
        const char *unit;
        double table;
        double exact;
    };
    const std::vector<Case> cases = {
        {KIND_FORCE, "kg", 9.80665, 9.80665},
        {KIND_FORCE, "T", 9806.65, 9806.65},
        {KIND_FORCE, "N", 1.0, 1.0},
        {KIND_FORCE, "daN", 10.0, 10.0},
        {KIND_FORCE, "kN", 1000.0, 1000.0},
        {KIND_FORCE, "lbf", 4.448222, 4.4482216152605},
        {KIND_FORCE, "KIP", 4448.222, 4448.2216152605},
        {KIND_MOMENT, "kgm", 9.80665, 9.80665},
        {KIND_MOMENT, "Tm", 9806.65, 9806.65},
        {KIND_MOMENT, "Nm", 1.0, 1.0},
        {KIND_MOMENT, "daNm", 10.0, 10.0},
        {KIND_MOMENT, "kNm", 1000.0, 1000.0},
        {KIND_MOMENT, "lbf-in", 0.113, 0.112984829027617},
        {KIND_MOMENT, "lbf-ft", 1.356, 1.3558179483314},
        {KIND_MOMENT, "kip-in", 113.0, 112.984829027617},
        {KIND_MOMENT, "kip-ft", 1356.0, 1355.8179483314},
        {KIND_FORCE, "false", 0.0, 0.0},
        {KIND_FORCE, "2.5", 2.5, 2.5},
    };
    for (const Case &c : cases) {
        double table = -7.0;
        double exact = -7.0;
        EXPECT_EQ(resolve_unit(c.unit, c.kind, UnitFactors::table, &table), 1) << c.unit;
        EXPECT_EQ(resolve_unit(c.unit, c.kind, UnitFactors::exact, &exact), 1) << c.unit;
        EXPECT_EQ(table, c.table) << c.unit;
        EXPECT_EQ(exact, c.exact) << c.unit;
        // The cached lookup of the original interface agrees with the table values.
        reset_unit_factors();
        EXPECT_EQ(get_unit_factor(c.unit, c.kind), c.table) << c.unit;
    }
    // The exact kip is a thousand pounds, inch and foot are 0.0254 m and 0.3048 m (the
    // factors as published, to 15 significant digits).
    EXPECT_DOUBLE_EQ(4448.2216152605, 1000 * 4.4482216152605);
    EXPECT_NEAR(0.112984829027617, 4.4482216152605 * 0.0254, 1e-15);
    EXPECT_NEAR(1.3558179483314, 4.4482216152605 * 0.3048, 1e-13);
}

TEST_F(Units, RefusesTextsThatNameNoUnit) {
    struct Case {
        int kind;
        const char *unit;
    };
    const std::vector<Case> cases = {
        {KIND_FORCE, "kNN"}, {KIND_FORCE, "kNm"},   {KIND_MOMENT, "kN"}, {KIND_FORCE, "abc"},
        {KIND_FORCE, ""},    {KIND_FORCE, nullptr}, {3, "kN"},           {KIND_FORCE, "kN "},
        // The run takes a number only when nothing follows it.
        {KIND_FORCE, "2.5kip"}, {KIND_MOMENT, "1 kNm"},
    };
    for (const Case &c : cases) {
        double factor = -7.0;
        EXPECT_EQ(resolve_unit(c.unit, c.kind, UnitFactors::table, &factor), 0)
            << (c.unit != nullptr ? c.unit : "null");
        EXPECT_EQ(factor, 0.0);
    }
}

TEST_F(Units, ResolvedFactorConvertsAsTheCachedLookup) {
    const char *lines[] = {"shear_force 12.5 kN",     "shear_force  -3", "shear_force\t3",
                           "shear_force -2147483648", "shear_force abc", "shear_force 1e308"};
    const char *units[] = {"kN", "lbf", "0", "-1", "1e-9", "T"};
    for (const char *unit : units) {
        double factor = 0.0;
        resolve_unit(unit, KIND_FORCE, UnitFactors::table, &factor);
        for (const char *line : lines) {
            reset_unit_factors();
            const Converted cached = convert(KIND_FORCE, line, unit);
            char *slot = tool_strdup(line);
            EXPECT_EQ(convert_line_by_factor(&slot, factor), cached.result) << unit << line;
            EXPECT_EQ(std::string(slot), cached.line) << unit << " / " << line;
            tool_strfree(&slot);
        }
    }
}

TEST_F(Units, MemoryFailureLosesOnlyTheLine) {
    char *line = tool_strdup("shear_force 12.5 kN");
    int result = -1;
    tool_memory_fail_nth(1);
    const std::string message =
        capture_stderr([&] { result = convert_line(KIND_FORCE, &line, "kN"); });
    EXPECT_TRUE(tool_memory_failure_happened());
    EXPECT_EQ(result, 0);
    EXPECT_EQ(line, nullptr);
    EXPECT_EQ(message, "Error: tool_strcat: Memory allocation failed!\n");
    // The next line converts normally with the factor already resolved.
    EXPECT_EQ(convert(KIND_FORCE, "shear_force 1", "N").line, "shear_force 1000.000000");
}

} // namespace
