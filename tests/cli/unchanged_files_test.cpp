// SPDX-License-Identifier: MIT
// A file whose converted text equals its text is left alone: same file, same times,
// no backup. Any difference, however small, is written back.
#include "support/run_program.h"
#include "support/temp_dir.h"

#include "libtools/tool_sys_io.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

struct Case {
    const char *text;
    std::vector<std::string> units;
    bool changes;
};

ToolFileIdentity identity_of(const fs::path &path) {
    ToolFileIdentity identity = {};
    EXPECT_TRUE(tool_file_identity(path.string().c_str(), &identity)) << path;
    return identity;
}

TEST(UnchangedFiles, AreNeitherRewrittenNorBackedUp) {
    const std::vector<Case> cases = {
        {"name J1\nnode 3\n", {"-f", "kN"}, false},
        {"", {"-f", "kN"}, false},
        {"shear_force 7.000000\r\nname J1\r\n", {"-f", "N"}, false},
        {"shear_force 7\n", {"-f", "N"}, true},         // written with six decimals
        {"shear_force 7.000000\n", {"-f", "kN"}, true}, // converted
        {"bending_moment 2\n", {"-f", "kN"}, false},    // no moment unit given
        {"name J1\n// note\n", {"-f", "kN"}, true},     // a comment line removed
        {"name J1 # note\n", {"-f", "kN"}, true},       // a comment removed
        {"name J1", {"-f", "kN"}, true},                // a line end added
        {"name J1\r\nnode 3\n", {"-f", "kN"}, true},    // line ends made the same
    };
    for (const Case &c : cases) {
        TempDir dir;
        dir.write("a.jnt", c.text);
        const fs::path file = dir.file("a.jnt");
        const auto past = fs::last_write_time(file) - std::chrono::hours(24);
        fs::last_write_time(file, past);
        const ToolFileIdentity before = identity_of(file);
        std::vector<std::string> arguments = c.units;
        arguments.insert(arguments.end(), {"--backup", "a.jnt"});
        const ProgramResult result = run_program(JOINT2SI_EXE, arguments, dir.path().string());
        EXPECT_EQ(result.exit_status, 0) << c.text << result.standard_error;
        const ToolFileIdentity after = identity_of(file);
        const bool same_file = before.device == after.device && before.index == after.index;
        EXPECT_EQ(!same_file || fs::last_write_time(file) != past, c.changes) << c.text;
        EXPECT_EQ(fs::exists(dir.file("a.jnt~")), c.changes) << c.text;
        if (!c.changes) {
            EXPECT_EQ(dir.read("a.jnt"), c.text);
        }
    }
}

} // namespace
