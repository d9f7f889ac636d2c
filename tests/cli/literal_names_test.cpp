// SPDX-License-Identifier: MIT
// A file argument that names an existing file is that file and no other; only an
// argument that names no file is a pattern. Each case puts the literal name next to
// the files its characters would match as a pattern.
#include "support/run_program.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

const std::string kIn = "shear_force 1\n";
const std::string kOut = "shear_force 1000.000000\n";

struct Case {
    std::vector<std::string> files; // created with kIn; "dir/" makes a directory
    std::vector<std::string> arguments;
    std::set<std::string> converted;
    bool failed;
};

// False when this system cannot hold one of the names (Windows refuses "?" and "*").
bool make_files(const TempDir &dir, const std::vector<std::string> &files) {
    for (const std::string &file : files) {
        std::error_code error;
        if (file.back() == '/') {
            fs::create_directories(dir.file(file), error);
        } else {
            dir.write(file, kIn);
        }
        if (error || !fs::exists(dir.file(file))) {
            return false;
        }
    }
    return true;
}

class LiteralNames : public ::testing::TestWithParam<Case> {};

TEST_P(LiteralNames, ConvertExactlyTheNamedFile) {
    const Case &c = GetParam();
    TempDir dir;
    if (!make_files(dir, c.files)) {
        GTEST_SKIP() << "this system cannot hold the names of this case";
    }
    std::vector<std::string> arguments = {"-f", "kN"};
    arguments.insert(arguments.end(), c.arguments.begin(), c.arguments.end());
    const ProgramResult result = run_program(JOINT2SI_EXE, arguments, dir.path().string());
    EXPECT_EQ(result.exit_status != 0, c.failed) << result.standard_error;
    for (const std::string &file : c.files) {
        if (file.back() != '/') {
            EXPECT_EQ(dir.read(file), c.converted.count(file) != 0 ? kOut : kIn) << file;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Names, LiteralNames,
    ::testing::Values(
        Case{{"a[1].jnt", "a1.jnt"}, {"a[1].jnt"}, {"a[1].jnt"}, false},
        Case{{"a1.jnt"}, {"a[1].jnt"}, {"a1.jnt"}, false}, // names no file: a pattern
        Case{{"cost$.jnt", "costs.jnt", "cost1.jnt"}, {"cost$.jnt"}, {"cost$.jnt"}, false},
        Case{{"50%.jnt", "50.jnt", "50ab.jnt"}, {"50%.jnt"}, {"50%.jnt"}, false},
        Case{{"a?.jnt", "a1.jnt"}, {"a?.jnt"}, {"a?.jnt"}, false},
        Case{{"a1.jnt", "ab.jnt"}, {"a?.jnt"}, {"a1.jnt", "ab.jnt"}, false},
        Case{{"*.jnt", "b.jnt"}, {"*.jnt"}, {"*.jnt"}, false},
        Case{{"x].jnt", "x.jnt"}, {"x].jnt"}, {"x].jnt"}, false},
        Case{{"A.JNT"}, {"a.jnt"}, {"A.JNT"}, false},
        // Patterns fold case for every script and take whole characters.
        Case{{"\u00C4BC.jnt", "abc.jnt"}, {"\u00E4*.jnt"}, {"\u00C4BC.jnt"}, false},
        Case{{"\u03A9\u03BC\u03AD\u03B3\u03B1.jnt", "o.jnt"},
             {"\u03C9*.jnt"},
             {"\u03A9\u03BC\u03AD\u03B3\u03B1.jnt"},
             false},
        Case{{"\u00E4.jnt", "ab.jnt"}, {"?.jnt"}, {"\u00E4.jnt"}, false},
        // With --recursive the exact name is looked for below, not the pattern.
        Case{{"a[1].jnt", "a1.jnt", "sub/", "sub/a[1].jnt", "sub/a1.jnt", "sub/deep/",
              "sub/deep/a[1].jnt"},
             {"--recursive", "a[1].jnt"},
             {"a[1].jnt", "sub/a[1].jnt", "sub/deep/a[1].jnt"},
             false},
        Case{{"a1.jnt", "sub/", "sub/a1.jnt", "sub/a2.jnt"},
             {"--recursive", "a[12].jnt"},
             {"a1.jnt", "sub/a1.jnt", "sub/a2.jnt"},
             false},
        // A directory named literally is no file: reported, as before.
        Case{{"d[1]/", "d1"}, {"d[1]"}, {"d1"}, false},
        Case{{"sub/", "a.jnt"}, {"sub", "a.jnt"}, {"a.jnt"}, true}));

} // namespace
