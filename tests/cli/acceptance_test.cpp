// SPDX-License-Identifier: MIT
// Runs the built program with command lines that must not reach any file.
#include "app/command_line.h"
#include "support/memory_check.h"
#include "support/run_program.h"
#include "support/temp_dir.h"

#include <string>
#include <vector>

namespace {

struct Acceptance {
    const char *name;
    std::vector<std::string> arguments;
    int usage_texts;
    bool asked; // the usage text was asked for: status 0; otherwise a usage mistake, -1
};

std::string usage_text() {
    return capture_stderr([] { print_usage(JOINT2SI_EXE); });
}

class AcceptanceRun : public ::testing::TestWithParam<Acceptance> {};

TEST_P(AcceptanceRun, PrintsTheUsageTextAndTouchesNoFile) {
    const Acceptance &a = GetParam();
    TempDir dir;
    dir.write("a.jnt", "shear_force 1\n");
    const ProgramResult result = run_program(JOINT2SI_EXE, a.arguments, dir.path().string());
    std::string expected;
    for (int i = 0; i < a.usage_texts; ++i) {
        expected += usage_text();
    }
    EXPECT_EQ(result.standard_error, expected);
    EXPECT_EQ(result.standard_output, "");
    EXPECT_EQ(result.exit_status, a.asked ? 0 : exit_status_of_minus_one());
    EXPECT_EQ(dir.read("a.jnt"), "shear_force 1\n");
}

INSTANTIATE_TEST_SUITE_P(
    Table, AcceptanceRun,
    ::testing::Values(Acceptance{"NoArguments", {}, 1, true},
                      Acceptance{"HelpAlone", {"-?"}, 1, true},
                      Acceptance{"LongHelpWordAlone", {"-help"}, 1, true},
                      Acceptance{"OneFileName", {"a.jnt"}, 1, false},
                      Acceptance{"OneLongOption", {"--exact"}, 1, false},
                      Acceptance{"HelpAndFileHasNoUnit", {"-?", "a.jnt"}, 2, true},
                      Acceptance{"MomentOptionWithoutValue", {"-f", "kN", "-m"}, 1, false},
                      Acceptance{"EmptyUnitTexts", {"-f", "", "-m", "", "a.jnt"}, 1, false},
                      Acceptance{"CapitalOptionIsAFileArgument", {"-F", "kN", "a.jnt"}, 1, false},
                      Acceptance{"UnitButNoFile", {"-f", "kN", "-m", "kNm"}, 1, false},
                      Acceptance{"EndOfOptionsLeavesNoFile", {"-f", "kN", "--"}, 1, false}),
    [](const auto &info) { return std::string(info.param.name); });

} // namespace
