// SPDX-License-Identifier: MIT
// Files whose values cannot all be converted exactly, through the built program: the
// file is refused and left as it was (no backup, no replacement), the run goes on
// with the next file; lines without a value are named in a warning.
#include "support/run_program.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

using Files = std::map<std::string, std::string>;

struct ValueCase {
    const char *name;
    Files before;
    std::vector<std::string> arguments; // after "-f kN -m kNm"
    Files after;                        // every file the directory holds afterwards
    std::string messages;               // the standard error stream, exactly
    bool fails;                         // exit status -1 expected
};

Files files_in(const TempDir &dir) {
    Files found;
    for (const auto &entry : fs::directory_iterator(dir.path())) {
        const std::string name = entry.path().filename().string();
        found[name] = dir.read(name);
    }
    return found;
}

class Values : public ::testing::TestWithParam<ValueCase> {};

TEST_P(Values, RefuseOrWarnAsExpected) {
    const ValueCase &c = GetParam();
    TempDir dir;
    for (const auto &[name, content] : c.before) {
        dir.write(name, content);
    }
    std::vector<std::string> arguments = {"-f", "kN", "-m", "kNm"};
    arguments.insert(arguments.end(), c.arguments.begin(), c.arguments.end());
    const ProgramResult result = run_program(JOINT2SI_EXE, arguments, dir.path().string());
    EXPECT_EQ(files_in(dir), c.after); // the line ends of these inputs are kept
    // Where the file system keeps no marks (Wine's volumes), --verbose says so: not
    // part of what these cases check.
    std::string messages;
    std::istringstream lines(result.standard_error);
    for (std::string line; std::getline(lines, line);) {
        if (line.find("no mark of the conversion could be kept") == std::string::npos) {
            messages += line + "\n";
        }
    }
    EXPECT_EQ(messages, c.messages);
    EXPECT_EQ(result.standard_output, "");
    EXPECT_EQ(result.exit_status, c.fails ? exit_status_of_minus_one() : 0);
}

const std::string kGood = "shear_force 2\n";
const std::string kGoodConverted = "shear_force 2000.000000\n";
// Comments before the refused line: its number is counted in the original file.
const std::string kDropping = "// joint 7\n/* two\nlines */\nshear_force 1\nshear_force 12,5 kN\n";

INSTANTIATE_TEST_SUITE_P(
    Table, Values,
    ::testing::Values(
        ValueCase{"DigitsAfterTheValueRefuseTheFileOnly",
                  {{"a.jnt", kDropping}, {"b.jnt", kGood}},
                  {"--backup", "a.jnt", "b.jnt"},
                  {{"a.jnt", kDropping}, {"b.jnt", kGoodConverted}, {"b.jnt~", kGood}},
                  "Error: Could not convert file 'a.jnt': line 5 has digits after its value: "
                  "'shear_force 12,5 kN'\n",
                  true},
        ValueCase{"TheFirstRefusingLineIsNamed",
                  {{"a.jnt", "bending_moment 1.0 2.0\nshear_force 1e306\n"},
                   {"b.jnt", "shear_force 1e306\nbending_moment 1.0 2.0\n"}},
                  {"a.jnt", "b.jnt"},
                  {{"a.jnt", "bending_moment 1.0 2.0\nshear_force 1e306\n"},
                   {"b.jnt", "shear_force 1e306\nbending_moment 1.0 2.0\n"}},
                  "Error: Could not convert file 'a.jnt': line 1 has digits after its value: "
                  "'bending_moment 1.0 2.0'\n"
                  "Error: Could not convert file 'b.jnt': line 1 has a value whose conversion "
                  "is not a finite number: 'shear_force 1e306'\n",
                  true},
        ValueCase{"ARefusedFileWithNothingToChange",
                  {{"a.jnt", "axial_force inf\n"}},
                  {"a.jnt"},
                  {{"a.jnt", "axial_force inf\n"}},
                  "Error: Could not convert file 'a.jnt': line 1 has a value whose conversion "
                  "is not a finite number: 'axial_force inf'\n",
                  true},
        ValueCase{"ADryRunRefusesAsTheRealRunWould",
                  {{"a.jnt", kDropping}, {"b.jnt", kGood}},
                  {"--dry-run", "a.jnt"},
                  {{"a.jnt", kDropping}, {"b.jnt", kGood}},
                  "Error: Could not convert file 'a.jnt': line 5 has digits after its value: "
                  "'shear_force 12,5 kN'\n",
                  true},
        ValueCase{"LinesWithoutAValueAreNamedOnce",
                  {{"a.jnt", "# notes\nnote see shear_force table\naxial_force = 2\n"
                             "shear_force\nbending_moment: x\n"}},
                  {"a.jnt"},
                  {{"a.jnt", "note see shear_force table\naxial_force = 2000.000000\n"
                             "shear_force\nbending_moment: x\n"}},
                  "Warning: 'a.jnt': 3 force or moment lines hold no value to convert and "
                  "stay as they are, first at line 2: 'note see shear_force table'\n",
                  false},
        ValueCase{"LinesOfAKindNotConvertedAreNotNamed",
                  {{"a.jnt", "bending_moment\nbending_moment 3\nshear_force -2147483648\n"}},
                  {"-m", "false", "a.jnt"},
                  {{"a.jnt", "bending_moment\nbending_moment 3\nshear_force -2147483648\n"}},
                  "",
                  false},
        ValueCase{"SecondReadingCountsAsConverted",
                  {{"a.jnt", "  axial_force 1\nshear_force=2\n\tbending_moment\t3\n"}},
                  {"--verbose", "a.jnt"},
                  {{"a.jnt", "  axial_force 1000.000000\nshear_force=2000.000000\n"
                             "\tbending_moment\t3000.000000\n"}},
                  "a.jnt: 2 forces, 1 moments converted; 0 comment lines removed\n"
                  "Total: 1 files, 2 forces, 1 moments converted; 0 comment lines removed\n",
                  false}),
    [](const auto &info) { return std::string(info.param.name); });

} // namespace
