// SPDX-License-Identifier: MIT
// Unit texts through the built program: a table name, "false", or a number as
// tool_atof reads it with nothing after it; anything else stops the run before any
// file is touched.
#include "convert/units.h"
#include "support/run_program.h"
#include "support/temp_dir.h"

#include "libtools/tool_dstring.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

const char kText[] = "shear_force 3\nbending_moment 5\n";

ProgramResult run(const TempDir &dir, const char *option, const char *unit) {
    return run_program(JOINT2SI_EXE, {option, unit, "a.jnt"}, dir.path().string());
}

// What a line becomes with the factor the number text reads as.
std::string converted(const char *line, const char *number) {
    char *slot = tool_strdup(line);
    convert_line_by_factor(&slot, tool_atof(number));
    std::string result = slot;
    tool_strfree(&slot);
    return result;
}

TEST(UnitTexts, NumbersAloneAreFactors) {
    for (const char *unit :
         {"1e3", "0x10", " 2", "-2.5", "0", "1e-12", "2.2250738585072014e-308"}) {
        TempDir dir;
        dir.write("a.jnt", kText);
        const ProgramResult result = run(dir, "-f", unit);
        EXPECT_EQ(result.exit_status, 0) << unit << ": " << result.standard_error;
        EXPECT_EQ(dir.read("a.jnt"), converted("shear_force 3", unit) + "\nbending_moment 5\n")
            << unit;
    }
}

TEST(UnitTexts, AnythingElseIsRefusedBeforeAnyFileIsTouched) {
    struct Case {
        const char *option;
        const char *unit;
    };
    const std::vector<Case> cases = {
        {"-f", "1kN"},   {"-f", "2kN"},    {"-f", "1,5"},    {"-f", "12 kN"},
        {"-f", "12 "},   {"-f", "nan"},    {"-f", "inf"},    {"-f", "-infinity"},
        {"-f", "1e400"}, {"-f", "1e-400"}, {"-f", "4e-320"}, {"-f", "0x1p-1074"},
        {"-f", "1e"},    {"-m", "1kNm"},   {"-m", "NaN"},    {"-m", "-1e309"},
    };
    for (const Case &c : cases) {
        TempDir dir;
        dir.write("a.jnt", kText);
        const auto mtime = fs::last_write_time(dir.file("a.jnt"));
        const ProgramResult result = run(dir, c.option, c.unit);
        const std::string kind = std::string(c.option) == "-f" ? "force" : "moment";
        EXPECT_EQ(result.exit_status, exit_status_of_minus_one()) << c.unit;
        EXPECT_EQ(result.standard_error, "Error: Unknown " + kind + " unit '" + c.unit + "'\n");
        EXPECT_EQ(dir.read("a.jnt"), kText) << c.unit;
        EXPECT_EQ(fs::last_write_time(dir.file("a.jnt")), mtime) << c.unit;
    }
}

} // namespace
