// SPDX-License-Identifier: MIT
// --backup, --verbose, the dropped-digits refusal and the progress line through the
// built program.
#include "libtools/tool_sys_io.h"
#include "support/environment.h"
#include "support/process_control.h"
#include "support/run_program.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

// Whether files in `dir` keep records (and with them the marks of replacement files).
bool keeps_records(const TempDir &dir) {
    dir.write("probe", "");
    const int written = tool_file_write_record(dir.file("probe").string().c_str(), "p", 1);
    fs::remove(dir.file("probe"));
    return written == TOOL_RECORD_FOUND;
}

const char kText[] = "// joint 12\nshear_force 12.5 kN\nbending_moment 4 # peak\n\nname J12\n";
const char kConverted[] = "shear_force 12500.000000\nbending_moment 4000.000000\n\nname J12\n";

ProgramResult run(const TempDir &dir, std::vector<std::string> arguments,
                  bool unprivileged = false) {
    std::vector<std::string> all = {"-f", "kN", "-m", "kNm"};
    all.insert(all.end(), arguments.begin(), arguments.end());
    ChildConditions conditions;
    conditions.unprivileged = unprivileged;
    return run_program_under(JOINT2SI_EXE, all, dir.path().string(), conditions);
}

TEST(BackupOption, KeepsTheOldBytesWithAndWithoutSuffix) {
    const ScopedVariable control("VERSION_CONTROL", nullptr);
    const ScopedVariable suffix("SIMPLE_BACKUP_SUFFIX", nullptr);
    for (const std::string &option : {std::string("--backup"), std::string("--suffix=.orig")}) {
        const std::string backup = option == "--backup" ? "a.jnt~" : "a.jnt.orig";
        TempDir dir;
        const std::string original = std::string(kText) + "shear_force 1\r\n";
        dir.write("a.jnt", original);
        dir.write(backup, "an older backup\n");
        fs::last_write_time(dir.file("a.jnt"),
                            fs::file_time_type::clock::now() - std::chrono::hours(3));
        const auto old_time = fs::last_write_time(dir.file("a.jnt")); // as stored
        const ProgramResult result = run(dir, {"--backup", option, "a.jnt"});
        EXPECT_EQ(result.exit_status, 0) << result.standard_error;
        EXPECT_EQ(dir.read(backup), original) << option;
        EXPECT_EQ(fs::last_write_time(dir.file(backup)), old_time) << option;
        EXPECT_NE(dir.read("a.jnt"), original);
        EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 2);
    }
}

TEST(BackupOption, ABackupThatCannotBeMadeStopsTheConversion) {
    TempDir dir;
    dir.write("a.jnt", kText);
    dir.write("b.jnt", kText);
    fs::create_directory(dir.file("a.jnt~"));
    const ProgramResult result = run(dir, {"--backup", "a.jnt", "b.jnt"});
    EXPECT_EQ(result.exit_status, exit_status_of_minus_one());
    EXPECT_EQ(result.standard_error,
              "Error: Could not back up file 'a.jnt' as 'a.jnt~'\n  Is a directory\n");
    EXPECT_EQ(dir.read("a.jnt"), kText);
    EXPECT_EQ(dir.read("b.jnt~"), kText);
}

TEST(BackupOption, ReadOnlyDirectoryAsAnOrdinaryUser) {
    ChildConditions conditions;
    conditions.unprivileged = true;
    if (const std::string why = conditions_unsupported(conditions); !why.empty()) {
        GTEST_SKIP() << why;
    }
    TempDir dir;
    dir.write("a.jnt", kText);
    give_to_unprivileged_user(dir.path().string());
    fs::permissions(dir.path(), fs::perms::owner_read | fs::perms::owner_exec);
    const ProgramResult result = run(dir, {"--backup=simple", "--suffix=.bak", "a.jnt"}, true);
    fs::permissions(dir.path(), fs::perms::owner_all);
    EXPECT_EQ(result.exit_status, exit_status_of_minus_one());
    EXPECT_EQ(result.standard_error,
              "Error: Could not back up file 'a.jnt' as 'a.jnt.bak'\n  Permission denied\n");
    EXPECT_EQ(dir.read("a.jnt"), kText);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1);
}

std::vector<std::string> entries(const fs::path &dir) {
    std::vector<std::string> names;
    for (const auto &entry : fs::directory_iterator(dir)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

// A file big enough that a stop often falls into the backup's copy, with the time a
// run with --backup takes on it.
struct BigFile {
    std::string original;
    std::string converted;
    long microseconds = 0;
};

const BigFile &big_file() {
    static const BigFile file = [] {
        BigFile made;
        for (int i = 0; i < 300000; ++i) {
            made.original += "joint J" + std::to_string(i) + "\nshear_force 1.5 kN\n";
        }
        TempDir dir;
        dir.write("big.jnt", made.original);
        const auto start = std::chrono::steady_clock::now();
        run(dir, {"--backup", "big.jnt"});
        made.microseconds = static_cast<long>(std::chrono::duration_cast<std::chrono::microseconds>(
                                                  std::chrono::steady_clock::now() - start)
                                                  .count());
        made.converted = dir.read("big.jnt");
        return made;
    }();
    return file;
}

// A run stopped at any moment leaves the file and its backup each old or new and whole,
// and never the backup's temporary copy: an interrupt removes it, and after a kill the
// next run in the directory removes it as an abandoned replacement file.
class StoppedBackup : public ::testing::TestWithParam<StopSignal> {};

TEST_P(StoppedBackup, LeavesNoTemporaryCopy) {
    if (const std::string why = signals_unsupported(GetParam()); !why.empty()) {
        GTEST_SKIP() << why;
    }
    const BigFile &file = big_file();
    ASSERT_NE(file.original, file.converted);
    std::mt19937 random(std::random_device{}());
    int stopped = 0;
    int between = 0; // stopped with the new backup made and the file not yet converted
    // Eight rounds, and more while none stopped a working run: on a loaded machine the
    // start of the program can outlast the aimed delay.
    int round = 0;
    for (; round < 8 || (stopped == 0 && round < 40); ++round) {
        TempDir dir;
        dir.write("big.jnt", file.original);
        dir.write("big.jnt~", "an older backup\n");
        // The backup comes after the conversion: most stops aim at the second half.
        const long delay = file.microseconds / 2 +
                           static_cast<long>(random() % static_cast<unsigned>(file.microseconds));
        stopped += run_program_and_stop(JOINT2SI_EXE, {"-f", "kN", "--backup", "big.jnt"},
                                        dir.path().string(), delay, GetParam())
                       ? 1
                       : 0;
        if (GetParam() == StopSignal::kill) {
            dir.write("c.jnt", "shear_force 1\n");
            EXPECT_EQ(run(dir, {"c.jnt"}).exit_status, 0);
            fs::remove(dir.file("c.jnt"));
        }
        // Where files keep no records (Wine's drives), a killed run's replacement carries
        // no mark, so no later run may take it for the program's: it stays.
        std::vector<std::string> names = entries(dir.path());
        if (GetParam() == StopSignal::kill && !keeps_records(dir)) {
            names.erase(
                std::remove_if(names.begin(), names.end(),
                               [](const std::string &n) { return n.rfind(".j2si~", 0) == 0; }),
                names.end());
        }
        EXPECT_EQ(names, (std::vector<std::string>{"big.jnt", "big.jnt~"})) << "delay " << delay;
        const std::string content = dir.read("big.jnt");
        const std::string backup = dir.read("big.jnt~");
        EXPECT_TRUE(content == file.original || content == file.converted) << "delay " << delay;
        EXPECT_TRUE(backup == "an older backup\n" || backup == file.original) << "delay " << delay;
        between += content == file.original && backup == file.original ? 1 : 0;
    }
    EXPECT_GT(stopped, 0) << "no run was stopped while it worked";
    std::printf("stopped runs with --backup: %d of %d while working, %d between backup and "
                "replacement\n",
                stopped, round, between);
}

INSTANTIATE_TEST_SUITE_P(Signals, StoppedBackup,
                         ::testing::Values(StopSignal::interrupt, StopSignal::terminate,
                                           StopSignal::kill),
                         [](const auto &info) {
                             return std::string(info.param == StopSignal::interrupt   ? "Interrupt"
                                                : info.param == StopSignal::terminate ? "Terminate"
                                                                                      : "Kill");
                         });

TEST(VerboseOption, CountsEachFileAndTheRun) {
    TempDir dir;
    dir.write("a.jnt", kText);
    dir.write("b.jnt", "/* two\nlines */shear_force 1\naxial_force 2\nbending_moment x\n");
    const ProgramResult result = run(dir, {"--verbose", "a.jnt", "b.jnt"});
    EXPECT_EQ(result.exit_status, 0);
    // Where the file system keeps no marks, --verbose says so after each file.
    std::string counts;
    std::istringstream lines(result.standard_error);
    for (std::string line; std::getline(lines, line);) {
        if (line.find("no mark of the conversion could be kept") == std::string::npos) {
            counts += line + "\n";
        }
    }
    EXPECT_EQ(counts, "a.jnt: 1 forces, 1 moments converted; 1 comment lines removed\n"
                      "Warning: 'b.jnt': 1 force or moment lines hold no value to convert and "
                      "stay as they are, first at line 4: 'bending_moment x'\n"
                      "b.jnt: 2 forces, 0 moments converted; 1 comment lines removed\n"
                      "Total: 2 files, 3 forces, 1 moments converted; 2 comment lines removed\n");
    EXPECT_EQ(run(dir, {"--force", "a.jnt"}).standard_error, "") << "silent without --verbose";
}

TEST(DroppedDigits, OneErrorPerFileNamingTheFirstLine) {
    TempDir dir;
    const std::string text = "// header\nshear_force 12.5 kN\n\nshear_force 12,5\n"
                             "bending_moment 1.0 2.0\nshear_force 3,25\n";
    dir.write("a.jnt", text);
    const std::string error = "Error: Could not convert file 'a.jnt': line 4 has digits after "
                              "its value: 'shear_force 12,5'\n";
    const ProgramResult dry = run(dir, {"--dry-run", "a.jnt"});
    EXPECT_EQ(dry.standard_error, error);
    EXPECT_EQ(dry.standard_output, "");
    EXPECT_EQ(dry.exit_status, exit_status_of_minus_one());
    const ProgramResult real = run(dir, {"--backup", "a.jnt"});
    EXPECT_EQ(real.standard_error, error);
    EXPECT_EQ(real.exit_status, exit_status_of_minus_one());
    EXPECT_EQ(dir.read("a.jnt"), text);
    EXPECT_FALSE(fs::exists(dir.file("a.jnt~")));
    // Allowed: the first number of each line converts, with one warning for the file.
    const ProgramResult allowed = run(dir, {"--allow-dropped-digits", "a.jnt"});
    EXPECT_EQ(allowed.standard_error, "Warning: 'a.jnt': 3 converted lines dropped digits after "
                                      "the value, first at line 4: 'shear_force 12,5'\n");
    EXPECT_EQ(allowed.exit_status, 0);
    EXPECT_EQ(run(dir, {"--force", "a.jnt"}).standard_error, "") << "converted values drop nothing";
}

// A dry run of a big file lasts well over the second after which a terminal would
// show the progress line; a pipe gets nothing.
TEST(ProgressLine, NeverWrittenToAPipe) {
    TempDir dir;
    std::string text;
    for (int i = 0; i < 200000; ++i) {
        text += "joint J" + std::to_string(i) + "\nshear_force 1.5 kN\nbending_moment 2\n";
    }
    dir.write("a.jnt", text);
    const auto start = std::chrono::steady_clock::now();
    const ProgramResult result = run(dir, {"--dry-run", "a.jnt"});
    const auto seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_EQ(result.exit_status, 0);
    EXPECT_EQ(result.standard_error, "") << "after " << seconds << " s";
    if (seconds < 1.5) {
        GTEST_SKIP() << "the run took only " << std::to_string(seconds).substr(0, 4)
                     << " s, less than the 1.5 s needed to tell whether a progress line "
                        "would have been drawn";
    }
}

} // namespace
