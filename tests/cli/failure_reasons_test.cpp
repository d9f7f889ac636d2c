// SPDX-License-Identifier: MIT
// End-to-end: each message line is the one the tool always printed, whole; what more
// there is to say (the argument that matched nothing, the directory that could not be
// read, the system's reason) follows on lines indented by two blanks.
#include "support/gzip_data.h"
#include "support/process_control.h"
#include "support/run_program.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

struct Failure {
    std::string argument;
    std::string message; // the line the tool always printed for it
    std::string details; // the lines under it
};

// One run meets every failure in turn: the messages come in the order of the
// arguments, each with its own details, and the run goes on after each.
TEST(FailureReasons, EachMessageLineIsFollowedByItsDetails) {
    TempDir dir;
    dir.write("a.jnt", "shear_force 1\n");
    dir.write("cut.jnt", gzip_bytes("shear_force 1\n").substr(0, 20));
    fs::create_directory(dir.file("sub"));
    const Failure failures[] = {
        {"c.dat", "Error: Could not open file any file\n", "  'c.dat' matches no file\n"},
        {"sub", "Error: Could not open file 'sub'\n", "  Is a directory\n"},
        {"cut.jnt", "Error: Could not read file 'cut.jnt'\n",
         "  the compressed data is incomplete\n"},
        {"nodir/*.jnt", "Error: Could not open file any file\n",
         "  'nodir/*.jnt' matches no file\n"
         "  directory 'nodir' could not be read: No such file or directory\n"},
    };
    std::vector<std::string> arguments = {"a.jnt"};
    std::string expected;
    for (const Failure &failure : failures) {
        arguments.push_back(failure.argument);
        expected += failure.message + failure.details;
    }
    const ProgramResult result =
        run_program(JOINT2SI_EXE, units_and(arguments), dir.path().string());
    EXPECT_EQ(result.standard_error, expected);
    EXPECT_EQ(result.exit_status, exit_status_of_minus_one());
    EXPECT_EQ(dir.read("a.jnt"), "shear_force 1000.000000\n");
}

// A directory the user may not list: without --recursive the argument just matches
// nothing, and the details say which directory could not be read and why; with it the
// directory is reported by its own message.
TEST(FailureReasons, UnreadableDirectoryIsNamedWithItsReason) {
    ChildConditions conditions;
    conditions.unprivileged = true;
    if (const std::string why = conditions_unsupported(conditions); !why.empty()) {
        GTEST_SKIP() << why;
    }
    TempDir dir;
    fs::create_directory(dir.file("locked"));
    dir.write("locked/l.jnt", "shear_force 1\n");
    give_to_unprivileged_user(dir.path().string());
    fs::permissions(dir.file("locked"), fs::perms::none);
    const std::string no_match =
        "Error: Could not open file any file\n  'locked/*.jnt' matches no file\n";
    const struct {
        std::vector<std::string> arguments;
        std::string messages;
    } cases[] = {
        {{"locked/*.jnt"},
         no_match + "  directory 'locked' could not be read: Permission denied\n"},
        {{"--recursive", "locked/*.jnt"},
         "Error: Could not read directory 'locked'\n  Permission denied\n" + no_match},
    };
    for (const auto &c : cases) {
        const ProgramResult result = run_program_under(JOINT2SI_EXE, units_and(c.arguments),
                                                       dir.path().string(), conditions);
        EXPECT_EQ(result.standard_error, c.messages) << c.arguments[0];
        EXPECT_EQ(result.exit_status, exit_status_of_minus_one()) << c.arguments[0];
    }
    fs::permissions(dir.file("locked"), fs::perms::owner_all);
    EXPECT_EQ(dir.read("locked/l.jnt"), "shear_force 1\n");
}

} // namespace
