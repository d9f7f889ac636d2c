// SPDX-License-Identifier: MIT
// End-to-end runs of the converter as data: the files a directory starts with,
// the arguments, and the files, messages and exit status expected afterwards.
#include "support/process_control.h"
#include "support/run_program.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace {

using Files = std::map<std::string, std::string>;

struct RewriteCase {
    const char *name;
    Files before;
    std::vector<std::string> arguments;
    Files after; // expected content; "\n" stands for the system's text line end
    std::vector<std::string> unchanged; // files that must keep their bytes
    std::vector<std::string> messages;  // expected lines on the error stream, in any order
    bool fails;                         // exit status -1 expected
};

std::vector<std::string> lines_of(const std::string &text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    std::sort(lines.begin(), lines.end());
    return lines;
}

const std::string kTraceInput = "// joint 12\n"
                                "shear_force 12.5 kN\n"
                                "axial_force -3\n"
                                "bending_moment 4 kNm # peak\n"
                                "\n"
                                "name J12\n";
const std::string kTraceOutput = "shear_force 12500.000000\n"
                                 "axial_force -3000.000000\n"
                                 "bending_moment 4000.000000\n"
                                 "\n"
                                 "name J12\n";

class Rewrite : public ::testing::TestWithParam<RewriteCase> {};

TEST_P(Rewrite, LeavesTheExpectedFilesMessagesAndStatus) {
    const RewriteCase &c = GetParam();
    TempDir dir;
    for (const auto &[name, content] : c.before) {
        dir.write(name, content);
    }
    const ProgramResult result = run_program(JOINT2SI_EXE, c.arguments, dir.path().string());
    for (const auto &[name, content] : c.after) {
        const auto before = c.before.find(name);
        const std::string original = before != c.before.end() ? before->second : "";
        EXPECT_EQ(dir.read(name), with_line_ends_of(original, content)) << name;
    }
    for (const auto &name : c.unchanged) {
        EXPECT_EQ(dir.read(name), c.before.at(name)) << name;
    }
    std::vector<std::string> expected = c.messages;
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(lines_of(result.standard_error), expected);
    EXPECT_EQ(result.standard_output, "");
    EXPECT_EQ(result.exit_status, c.fails ? exit_status_of_minus_one() : 0);
}

const std::vector<std::string> kf = {"-f", "kN", "-m", "kNm"};

std::vector<std::string> args(std::vector<std::string> files) {
    std::vector<std::string> all = kf;
    all.insert(all.end(), files.begin(), files.end());
    return all;
}

INSTANTIATE_TEST_SUITE_P(
    Table, Rewrite,
    ::testing::Values(
        RewriteCase{"Trace",
                    {{"a.dat", kTraceInput}},
                    args({"a.dat", "c.dat"}),
                    {{"a.dat", kTraceOutput}},
                    {},
                    {"Error: Could not open file any file", "  'c.dat' matches no file"},
                    true},
        RewriteCase{
            "AllMatch",
            {{"a.jnt", "shear_force 1\n"}, {"b.JNT", "bending_moment 2\n"}},
            args({"*.jnt"}),
            {{"a.jnt", "shear_force 1000.000000\n"}, {"b.JNT", "bending_moment 2000.000000\n"}},
            {},
            {},
            false},
        RewriteCase{"LaterArgumentsStillRun",
                    {{"b.jnt", "axial_force 2\n"}},
                    args({"none*", "b.jnt", "none2"}),
                    {{"b.jnt", "axial_force 2000.000000\n"}},
                    {},
                    {"Error: Could not open file any file", "  'none*' matches no file",
                     "Error: Could not open file any file", "  'none2' matches no file"},
                    true},
        RewriteCase{"DirectoryPartNamesTheDirectoryToLookIn",
                    {{"a.jnt", "shear_force 1\n"}},
                    args({"./a.jnt", "./A.JNT", "./"}),
                    {{"a.jnt", "shear_force 1000.000000\n"}},
                    {},
                    {"Error: Could not open file any file", "  './' matches no file"},
                    true},
        RewriteCase{"EmptyAndUnitlessFiles",
                    {{"empty.jnt", ""}, {"plain.jnt", "# head\nname x /* c */\n\ny"}},
                    args({"*.jnt"}),
                    {{"empty.jnt", ""}, {"plain.jnt", "name x \n\ny\n"}},
                    {},
                    {},
                    false},
        RewriteCase{"CarriageReturnLineEndsAreKept",
                    {{"w.jnt", "shear_force 2\r\nname a\r\n"}},
                    args({"w.jnt"}),
                    {{"w.jnt", "shear_force 2000.000000\nname a\n"}},
                    {},
                    {},
                    false},
        RewriteCase{"OnlyTheForceUnitGiven",
                    {{"a.jnt", "shear_force 2\nbending_moment 3 kNm\n"}},
                    {"-f", "T", "a.jnt"},
                    {{"a.jnt", "shear_force 19613.300000\nbending_moment 3 kNm\n"}},
                    {},
                    {},
                    false},
        RewriteCase{"SameFileNamedTwiceIsConvertedOnce",
                    {{"a.jnt", "shear_force 1\n"}},
                    args({"a.jnt", "A.JNT", "*.jnt"}),
                    {{"a.jnt", "shear_force 1000.000000\n"}},
                    {},
                    {},
                    false},
        RewriteCase{"NamesWithBlanks",
                    {{"my joint.jnt", "shear_force 1\n"}, {"other one.jnt", "shear_force 2\n"}},
                    args({"my joint.jnt", "other*"}),
                    {{"my joint.jnt", "shear_force 1000.000000\n"},
                     {"other one.jnt", "shear_force 2000.000000\n"}},
                    {},
                    {},
                    false},
        RewriteCase{"NameIsPrintedAsData",
                    {{"100%s%n.jnt", std::string("a\0b\n", 4)}},
                    args({"100*"}),
                    {},
                    {"100%s%n.jnt"},
                    {"Error: Could not convert file '100%s%n.jnt': it is not a text file"},
                    true},
        RewriteCase{"ZeroByteIsRefused",
                    {{"z.jnt", std::string("shear_force 1\nab\0cd\nshear_force 2\n", 33)}},
                    args({"z.jnt"}),
                    {},
                    {"z.jnt"},
                    {"Error: Could not convert file 'z.jnt': it is not a text file"},
                    true}),
    [](const auto &info) { return std::string(info.param.name); });

} // namespace
