// SPDX-License-Identifier: MIT
// --dry-run through the built program: nothing on disk changes, and the diff it prints
// is the one diff -u gives for the same pair and turns the file into exactly what a
// real run writes.
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

const std::vector<std::string> kUnits = {"-f", "kN", "-m", "kNm"};

const char kJoints[] = "// joint 12\n"
                       "joint J12\n"
                       "shear_force 12.5 kN\n"
                       "bending_moment 4 kNm # peak\n"
                       "\n"
                       "/* a block\n   comment */ name J12\n"
                       "axial_force -3\n"
                       "joint J13\n"
                       "joint J13\n"
                       "# only a comment\n"
                       "shear_force 7\n"
                       "joint J14\n"
                       "note unchanged\n"
                       "note unchanged\n"
                       "note unchanged\n"
                       "note unchanged\n"
                       "shear_force 1";

std::string with_crlf(const std::string &text) {
    std::string out;
    for (char c : text) {
        out += c == '\n' ? std::string("\r\n") : std::string(1, c);
    }
    return out;
}

ProgramResult run(const TempDir &dir, std::vector<std::string> arguments) {
    return run_program(JOINT2SI_EXE, arguments, dir.path().string());
}

// Runs `program` in `dir` and keeps its standard output byte for byte, as a diff must be
// compared (run_program reads it as text).
ProgramResult run_exact(const std::string &program, const std::vector<std::string> &arguments,
                        const TempDir &dir) {
    const TempDir input;
    input.write("empty", "");
    return run_program_with_input(program, arguments, dir.path().string(),
                                  input.file("empty").string());
}

std::vector<std::string> with_units(std::initializer_list<std::string> more) {
    std::vector<std::string> all = kUnits;
    all.insert(all.end(), more.begin(), more.end());
    return all;
}

// The text a file holds, decompressed when it is gzip data.
std::string text_of(const std::string &bytes) {
    return bytes.size() > 2 && bytes[0] == '\x1f' && bytes[1] == '\x8b' ? gunzip_bytes(bytes)
                                                                        : bytes;
}

// The kind of input a case runs on: "plain", "crlf" or "gzip".
class DryRun : public ::testing::TestWithParam<const char *> {
  protected:
    void SetUp() override {
        kind = GetParam();
        text = kind == "crlf" ? with_crlf(kJoints) : std::string(kJoints);
        stored = kind == "gzip" ? gzip_bytes(text) : text;
        dir.write("a.jnt", stored);
        dir.write("same.jnt", "joint 1\n");
    }
    ProgramResult dry_run() const {
        return run_exact(JOINT2SI_EXE, with_units({"--dry-run", "a.jnt", "same.jnt"}), dir);
    }
    std::string kind;
    std::string text;   // the file's text
    std::string stored; // its bytes on disk
    TempDir dir;
};

TEST_P(DryRun, ChangesNothing) {
    fs::last_write_time(dir.file("a.jnt"),
                        fs::file_time_type::clock::now() - std::chrono::hours(5));
    const auto old_time = fs::last_write_time(dir.file("a.jnt")); // as stored
    const ProgramResult dry = dry_run();
    EXPECT_EQ(dry.exit_status, 0) << dry.standard_error;
    EXPECT_EQ(dry.standard_error, "");
    EXPECT_EQ(dir.read("a.jnt"), stored);
    EXPECT_EQ(fs::last_write_time(dir.file("a.jnt")), old_time);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 2);
    EXPECT_EQ(dry.standard_output.rfind("--- a.jnt\n+++ a.jnt\n@@ ", 0), 0u)
        << "same.jnt says nothing";
    EXPECT_EQ(dry.standard_output.find('\r') == std::string::npos, kind != "crlf")
        << "the lines keep their own line ends, untranslated";
    EXPECT_EQ(dry.standard_output.find("\r\r"), std::string::npos);
}

TEST_P(DryRun, ItsDiffIsDiffUsAndGivesWhatTheRunWrites) {
    if (const std::string fault =
            known_fault_here("the host's diff -u cannot be run to compare with");
        !fault.empty()) {
        GTEST_SKIP() << fault;
    }
    if (run_program("/usr/bin/patch", {"--version"}).exit_status != 0) {
        GTEST_SKIP() << "no diff and patch programs here";
    }
    const ProgramResult dry = dry_run();
    ASSERT_EQ(run(dir, with_units({"a.jnt"})).exit_status, 0);
    const std::string converted = text_of(dir.read("a.jnt"));
    dir.write("old", text);
    dir.write("new", converted);
    dir.write("changes.diff", dry.standard_output);
    const ProgramResult expected = run_exact(
        "/usr/bin/diff", {"-u", "--label", "a.jnt", "--label", "a.jnt", "old", "new"}, dir);
    EXPECT_EQ(dry.standard_output, expected.standard_output);
    const ProgramResult patched = run_program(
        "/usr/bin/patch", {"--quiet", "--binary", "old", "changes.diff"}, dir.path().string());
    EXPECT_EQ(patched.exit_status, 0) << patched.standard_output << patched.standard_error;
    EXPECT_EQ(dir.read("old"), converted);
}

INSTANTIATE_TEST_SUITE_P(Inputs, DryRun, ::testing::Values("plain", "crlf", "gzip"));

// A diff that cannot be written (a full disk) is an error, not a silent success.
TEST(DryRunStatus, ADiffThatCannotBeWrittenFails) {
    ChildConditions conditions;
    conditions.output_path = "/dev/full";
    if (const std::string why = conditions_unsupported(conditions); !why.empty()) {
        GTEST_SKIP() << why;
    }
    if (!fs::exists(conditions.output_path)) {
        GTEST_SKIP() << "no /dev/full here";
    }
    TempDir dir;
    dir.write("a.jnt", "shear_force 1\n");
    const ProgramResult result = run_program_under(JOINT2SI_EXE, with_units({"--dry-run", "a.jnt"}),
                                                   dir.path().string(), conditions);
    EXPECT_EQ(result.exit_status, exit_status_of_minus_one());
    EXPECT_EQ(result.standard_error,
              "Error: Could not write file '-'\n  No space left on device\n");
    EXPECT_EQ(dir.read("a.jnt"), "shear_force 1\n");
}

TEST(DryRunStatus, IsTheStatusOfTheRealRun) {
    TempDir dir;
    dir.write("good.jnt", "shear_force 1\n");
    dir.write("binary.jnt", std::string("shear_force 1\n\0x\n", 17));
    const ProgramResult dry = run(dir, with_units({"--dry-run", "good.jnt", "binary.jnt", "*.x"}));
    EXPECT_EQ(dry.exit_status, exit_status_of_minus_one());
    EXPECT_EQ(dry.standard_error,
              "Error: Could not convert file 'binary.jnt': it is not a text file\n"
              "Error: Could not open file any file\n  '*.x' matches no file\n");
    EXPECT_EQ(dir.read("good.jnt"), "shear_force 1\n");
    const ProgramResult real = run(dir, with_units({"good.jnt", "binary.jnt", "*.x"}));
    EXPECT_EQ(real.exit_status, dry.exit_status);
    EXPECT_EQ(real.standard_error, dry.standard_error);
}

} // namespace
