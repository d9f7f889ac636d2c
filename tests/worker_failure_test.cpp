// SPDX-License-Identifier: MIT
// Memory running out in a worker thread, on the reading or the writing side of a
// large file, plain or gzip: reported as memory exhaustion is anywhere, that file
// left untouched with no replacement beside it, and the run goes on with the next.
#include "app/driver.h"
#include "pipeline/worker_faults.h"
#include "support/gzip_data.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace {

struct Case {
    WorkerSide side;
    bool gzip;
};

class WorkerThreadFailure : public ::testing::TestWithParam<Case> {
  protected:
    void TearDown() override { fail_nth_worker_block(GetParam().side, 0); }
    TempDir dir_;
};

TEST_P(WorkerThreadFailure, IsReportedAndTheRunGoesOn) {
    std::string text; // several MB: read ahead and written behind in blocks
    for (int i = 0; i < 60000; ++i) {
        text += "// joint " + std::to_string(i) + "\nshear_force " + std::to_string(i) + ".5\n";
    }
    const std::string big = GetParam().gzip ? gzip_bytes(text, 1) : text;
    dir_.write("big.jnt", big);
    dir_.write("next.jnt", "shear_force 2\n");
    std::vector<std::string> arguments = {"joint2si", "-f", "kN", dir_.file("big.jnt").string(),
                                          dir_.file("next.jnt").string()};
    std::vector<char *> argv;
    for (std::string &argument : arguments) {
        argv.push_back(&argument[0]);
    }
    fail_nth_worker_block(GetParam().side, 2);
    testing::internal::CaptureStderr();
    EXPECT_EQ(run_converter(static_cast<int>(argv.size()), argv.data()), -1);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "Error: rewrite_file: Memory allocation failed!\n");
    EXPECT_TRUE(dir_.read("big.jnt") == big) << "the file that failed was changed";
    EXPECT_EQ(dir_.read("next.jnt"), "shear_force 2000.000000\n");
    const auto entries = std::filesystem::directory_iterator(dir_.path());
    EXPECT_EQ(std::distance(begin(entries), end(entries)), 2) << "a replacement was left";
}

INSTANTIATE_TEST_SUITE_P(Sides, WorkerThreadFailure,
                         ::testing::Values(Case{WorkerSide::reading, false},
                                           Case{WorkerSide::reading, true},
                                           Case{WorkerSide::writing, false},
                                           Case{WorkerSide::writing, true}));

} // namespace
