// SPDX-License-Identifier: MIT
// The long options through the built program: help and version on standard output,
// the end of options, and command lines that must be refused before any file is touched.
#include "app/command_line.h"
#include "support/memory_check.h"
#include "support/run_program.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

const char kOriginal[] = "// joint\nshear_force 2 kip\nbending_moment 3 kip-ft\n";

ProgramResult run_in(const TempDir &dir, const std::vector<std::string> &arguments) {
    return run_program(JOINT2SI_EXE, arguments, dir.path().string());
}

TEST(Options, HelpAndVersionGoToStandardOutput) {
    TempDir dir;
    const std::string usage = capture_stderr([] { print_usage(JOINT2SI_EXE); });
    const ProgramResult help = run_in(dir, {"--help"});
    EXPECT_EQ(help.exit_status, 0);
    EXPECT_EQ(help.standard_output, usage);
    EXPECT_EQ(help.standard_error, "");
    const ProgramResult version = run_in(dir, {"--version"});
    EXPECT_EQ(version.exit_status, 0);
    EXPECT_TRUE(std::regex_match(version.standard_output,
                                 std::regex("joint2si [0-9]+\\.[0-9]+\\.[0-9]+\nLicense: MIT\n")))
        << version.standard_output;
    EXPECT_EQ(version.standard_error, "");
}

TEST(Options, RefusedCommandLinesTouchNoFile) {
    struct Case {
        std::vector<std::string> arguments;
        std::string message;
    };
    const std::vector<Case> cases = {
        {{"-f", "kN", "--dryrun", "a.jnt"}, "Error: Unknown option '--dryrun'\n"},
        {{"-f", "kNN", "-m", "kNm", "a.jnt"}, "Error: Unknown force unit 'kNN'\n"},
        {{"-f", "kN", "-m", "kN", "*.jnt"}, "Error: Unknown moment unit 'kN'\n"},
        {{"-f", "kN", "--backup", "--suffix=", "a.jnt"}, "Error: Invalid backup suffix ''\n"},
        {{"-f", "kN", "--backup=", "a.jnt"},
         "Error: Unknown backup control ''\n"
         "  --backup takes none, off, numbered, t, existing, nil, simple or never\n"},
    };
    for (const Case &c : cases) {
        TempDir dir;
        dir.write("a.jnt", kOriginal);
        const auto mtime = fs::last_write_time(dir.file("a.jnt"));
        const ProgramResult result = run_in(dir, c.arguments);
        EXPECT_EQ(result.exit_status, exit_status_of_minus_one()) << c.message;
        EXPECT_EQ(result.standard_error, c.message);
        EXPECT_EQ(dir.read("a.jnt"), kOriginal);
        EXPECT_EQ(fs::last_write_time(dir.file("a.jnt")), mtime);
        EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1);
    }
}

TEST(Options, EndOfOptionsMakesDashNamesFiles) {
    TempDir dir;
    dir.write("-f", "shear_force 1\n");
    dir.write("--x", "shear_force 2\n");
    const ProgramResult result = run_in(dir, {"-f", "kN", "--", "-f", "--x"});
    EXPECT_EQ(result.exit_status, 0) << result.standard_error;
    EXPECT_EQ(dir.read("-f"), "shear_force 1000.000000\n");
    EXPECT_EQ(dir.read("--x"), "shear_force 2000.000000\n");
}

TEST(Options, ExactUsesTheDefinitionsAndTheTableStaysTheDefault) {
    TempDir dir;
    dir.write("table.jnt", kOriginal);
    dir.write("exact.jnt", kOriginal);
    ASSERT_EQ(run_in(dir, {"-f", "kip", "-m", "kip-ft", "table.jnt"}).exit_status, 0);
    ASSERT_EQ(run_in(dir, {"--exact", "-f", "kip", "-m", "kip-ft", "exact.jnt"}).exit_status, 0);
    EXPECT_EQ(dir.read("table.jnt"), "shear_force 8896.444000\nbending_moment 4068.000000\n");
    EXPECT_EQ(dir.read("exact.jnt"), "shear_force 8896.443231\nbending_moment 4067.453845\n");
}

} // namespace
