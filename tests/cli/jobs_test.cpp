// SPDX-License-Identifier: MIT
// --jobs: files converted on several threads and committed in batches say and do
// exactly what one job does: the same standard output and error byte for byte, the
// same status, the same files.
#include "support/file_system.h"
#include "support/gzip_data.h"
#include "support/run_program.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

const std::string kPlain = "// joint\nshear_force 1.5 kN\nname J1\nbending_moment 2\n";

// A tree with something to say about most of its files: converted ones, a gzip file,
// refusals (digits after a value, a zero byte, a FIFO), warnings (a line without a
// value, a file converted before), an unchanged file, a hard link to a file the run
// converts, and enough plain files for the workers to overlap.
void make_tree(const TempDir &dir, bool *has_fifo) {
    for (int i = 0; i < 40; ++i) {
        dir.write("p" + std::to_string(i) + ".jnt",
                  kPlain + "shear_force " + std::to_string(i) + "\n");
    }
    dir.write("digits.jnt", "shear_force 12,5\n");
    dir.write("zero.jnt", std::string("shear_force 1\n\0x\n", 17));
    dir.write("novalue.jnt", "shear_force\nbending_moment 3\n");
    dir.write("same.jnt", "name only\n");
    dir.write("packed.jnt.gz", gzip_bytes(kPlain));
    dir.write("before.jnt", kPlain);
    run_program(JOINT2SI_EXE, {"-f", "kN", "-m", "kNm", "before.jnt"}, dir.path().string());
    std::error_code error;
    fs::create_hard_link(dir.file("p3.jnt"), dir.file("link.jnt"), error);
    *has_fifo = make_fifo(dir.file("pipe.jnt")).empty();
}

std::map<std::string, std::string> files_of(const TempDir &dir) {
    std::map<std::string, std::string> files;
    for (const auto &entry : fs::directory_iterator(dir.path())) {
        const std::string name = entry.path().filename().string();
        files[name] = entry.is_regular_file() ? dir.read(name) : "(not a regular file)";
    }
    return files;
}

struct Outcome {
    ProgramResult result;
    std::map<std::string, std::string> files;
};

Outcome run_with(const std::vector<std::string> &options, const std::string &jobs) {
    TempDir dir;
    bool has_fifo = false;
    make_tree(dir, &has_fifo);
    std::vector<std::string> arguments = {"-f", "kN", "-m", "kNm", "--jobs", jobs};
    arguments.insert(arguments.end(), options.begin(), options.end());
    for (const char *file : {"*.jnt", "nothing*.zz", "p1.jnt", "*.gz", "p2.jnt"}) {
        arguments.emplace_back(file);
    }
    Outcome outcome{run_program(JOINT2SI_EXE, arguments, dir.path().string()), files_of(dir)};
    return outcome;
}

class Jobs : public ::testing::TestWithParam<std::vector<std::string>> {};

TEST_P(Jobs, SayAndDoWhatOneJobDoes) {
    const Outcome one = run_with(GetParam(), "1");
    ASSERT_NE(one.result.standard_error.find("digits after its value"), std::string::npos)
        << one.result.standard_error;
    ASSERT_NE(one.result.standard_error.find("matches no file"), std::string::npos);
    for (const char *jobs : {"2", "3", "8"}) {
        const Outcome many = run_with(GetParam(), jobs);
        EXPECT_EQ(many.result.exit_status, one.result.exit_status) << jobs;
        EXPECT_EQ(many.result.standard_output, one.result.standard_output) << jobs;
        EXPECT_EQ(many.result.standard_error, one.result.standard_error) << jobs;
        EXPECT_EQ(many.files, one.files) << jobs;
    }
}

INSTANTIATE_TEST_SUITE_P(Options, Jobs,
                         ::testing::Values(std::vector<std::string>{"--verbose"},
                                           std::vector<std::string>{"--backup=numbered",
                                                                    "--verbose"},
                                           std::vector<std::string>{"--dry-run"}),
                         [](const auto &info) {
                             const std::string first = info.param.front();
                             return first == "--verbose"   ? std::string("Verbose")
                                    : first == "--dry-run" ? std::string("DryRun")
                                                           : std::string("Backups");
                         });

// A value that is no whole number of jobs from 1 up is refused before any file is
// touched.
TEST(JobsOption, RefusesWhatIsNoCountOfJobs) {
    for (const char *value : {"0", "x", "-2", "", "1.5"}) {
        TempDir dir;
        dir.write("a.jnt", kPlain);
        const ProgramResult result =
            run_program(JOINT2SI_EXE, {"-f", "kN", "--jobs=" + std::string(value), "a.jnt"},
                        dir.path().string());
        EXPECT_EQ(result.exit_status, exit_status_of_minus_one()) << value;
        EXPECT_EQ(result.standard_error,
                  "Error: Invalid number of jobs '" + std::string(value) + "'\n")
            << value;
        EXPECT_EQ(dir.read("a.jnt"), kPlain) << value;
    }
}

} // namespace
