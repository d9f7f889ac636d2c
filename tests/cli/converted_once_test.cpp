// SPDX-License-Identifier: MIT
// A converted file carries a mark outside its text, so running a command again equals
// running it once: runs in sequence on one directory, each with its files afterwards,
// its messages and its status.
#include "support/file_system.h"
#include "support/process_control.h"
#include "support/run_program.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

const std::string kText = "shear_force 12.5 kN\nname J1\n";
const std::string kOnce = "shear_force 12500.000000\nname J1\n";
const std::string kTwice = "shear_force 12500000.000000\nname J1\n";

struct Step {
    std::vector<std::string> options; // before the file names
    std::vector<std::string> files;
    const char *edit_file; // written before the run (null: none) ...
    std::string edit_text; // ... with this text
    const char *expect_a;  // a.jnt afterwards
    const char *message;   // a part of standard error, "" for none at all
    bool fails;
};

struct Sequence {
    const char *name;
    std::vector<Step> steps;
};

void run_steps(const Sequence &sequence, const TempDir &dir) {
    int number = 0;
    for (const Step &step : sequence.steps) {
        ++number;
        if (step.edit_file != nullptr) { // in place, as an editor saving the file does
            std::ofstream(dir.file(step.edit_file), std::ios::binary | std::ios::trunc)
                << step.edit_text;
        }
        std::vector<std::string> arguments = {"-f", "kN"};
        arguments.insert(arguments.end(), step.options.begin(), step.options.end());
        arguments.insert(arguments.end(), step.files.begin(), step.files.end());
        const ProgramResult result = run_program(JOINT2SI_EXE, arguments, dir.path().string());
        const std::string where = std::string(sequence.name) + ", run " + std::to_string(number);
        EXPECT_EQ(dir.read("a.jnt"), with_line_ends_of(kText, step.expect_a)) << where;
        if (*step.message == '\0') {
            EXPECT_EQ(result.standard_error, "") << where;
        } else {
            EXPECT_NE(result.standard_error.find(step.message), std::string::npos)
                << where << ": " << result.standard_error;
        }
        EXPECT_EQ(result.exit_status, step.fails ? exit_status_of_minus_one() : 0) << where;
    }
}

// Why converted files here carry no mark, or "" when they do.
std::string marks_unsupported() {
    TempDir dir;
    dir.write("a.jnt", kText);
    const ProgramResult probe =
        run_program(JOINT2SI_EXE, {"-f", "kN", "--verbose", "a.jnt"}, dir.path().string());
    return probe.standard_error.find("no mark of the conversion could be kept") == std::string::npos
               ? ""
               : "this file system keeps no marks (Wine's volumes have no named streams)";
}

TEST(ConvertedOnce, RunsInSequence) {
    if (const std::string why = marks_unsupported(); !why.empty()) {
        GTEST_SKIP() << why;
    }
    const char *left = "Warning: 'a.jnt' was converted from kN already; it is left as it is";
    const char *changed = "Error: Could not convert file 'a.jnt': it was converted from kN and "
                          "has changed since";
    const std::vector<Sequence> sequences = {
        {"twice",
         {{{}, {"a.jnt"}, nullptr, "", kOnce.c_str(), "", false},
          {{}, {"a.jnt"}, nullptr, "", kOnce.c_str(), left, false}}},
        {"fixed and run again",
         {{{},
           {"a.jnt", "b.jnt"},
           "b.jnt",
           std::string("x\0y", 3),
           kOnce.c_str(),
           "not a text file",
           true},
          {{}, {"a.jnt", "b.jnt"}, "b.jnt", "name J2\n", kOnce.c_str(), left, false}}},
        {"forced twice",
         {{{"--force"}, {"a.jnt"}, nullptr, "", kOnce.c_str(), "", false},
          {{"--force"}, {"a.jnt"}, nullptr, "", kTwice.c_str(), "", false}}},
        {"edited since",
         {{{}, {"a.jnt"}, nullptr, "", kOnce.c_str(), "", false},
          {{},
           {"a.jnt"},
           "a.jnt",
           "shear_force 12500.000000\nname J2\n",
           "shear_force 12500.000000\nname J2\n",
           changed,
           true},
          {{"--dry-run"},
           {"a.jnt"},
           nullptr,
           "",
           "shear_force 12500.000000\nname J2\n",
           changed,
           true},
          {{"--force"},
           {"a.jnt"},
           nullptr,
           "",
           "shear_force 12500000.000000\nname J2\n",
           "",
           false}}},
        {"previewed",
         {{{}, {"a.jnt"}, nullptr, "", kOnce.c_str(), "", false},
          {{"--dry-run"}, {"a.jnt"}, nullptr, "", kOnce.c_str(), left, false}}},
    };
    for (const Sequence &sequence : sequences) {
        TempDir dir;
        dir.write("a.jnt", kText);
        run_steps(sequence, dir);
    }
}

TEST(ConvertedOnce, BackupOfTheOriginalStays) {
    if (const std::string why = marks_unsupported(); !why.empty()) {
        GTEST_SKIP() << why;
    }
    TempDir dir;
    dir.write("a.jnt", kText);
    for (int run = 0; run < 2; ++run) {
        EXPECT_EQ(run_program(JOINT2SI_EXE, {"-f", "kN", "--backup", "a.jnt"}, dir.path().string())
                      .exit_status,
                  0);
    }
    EXPECT_EQ(dir.read("a.jnt~"), kText);
}

TEST(ConvertedOnce, WithoutMarksTheConversionGoesOnAndSaysSo) {
    TempDir dir;
    const std::filesystem::path scratch = dir.file("scratch");
    std::filesystem::create_directory(scratch);
    if (const std::string why = mount_without_records(scratch); !why.empty()) {
        GTEST_SKIP() << why;
    }
    std::ofstream(scratch / "a.jnt", std::ios::binary) << kText;
    const ProgramResult result =
        run_program(JOINT2SI_EXE, {"-f", "kN", "--verbose", "a.jnt"}, scratch.string());
    std::ifstream in(scratch / "a.jnt", std::ios::binary);
    const std::string content((std::istreambuf_iterator<char>(in)), {});
    unmount_scratch(scratch);
    EXPECT_EQ(result.exit_status, 0);
    EXPECT_EQ(content, kOnce);
    EXPECT_NE(result.standard_error.find("a.jnt: converted; no mark of the conversion could be "
                                         "kept on this file system"),
              std::string::npos)
        << result.standard_error;
}

} // namespace
