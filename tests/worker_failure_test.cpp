// Memory running out in a worker thread, on the reading side or the writing side of a
// large file, plain or gzip: the run reports it as it reports memory exhaustion
// anywhere, leaves that file untouched with no replacement beside it, and goes on
// with the next file.
#include "app/rewrite.h"
#include "pipeline/worker_faults.h"
#include "support/gzip_data.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

// Several MB: the input is read ahead and the output written behind in blocks.
std::string large_text() {
    std::string text;
    for (int i = 0; i < 60000; ++i) {
        text += "// joint " + std::to_string(i) + "\nshear_force " + std::to_string(i) +
                ".5\nbending_moment -" + std::to_string(i) + "\n";
    }
    return text;
}

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
    const std::string text = large_text();
    const std::string big = GetParam().gzip ? gzip_bytes(text, 1) : text;
    dir_.write("big.jnt", big);
    dir_.write("next.jnt", "shear_force 2\n");
    const std::string big_path = dir_.file("big.jnt").string();
    const std::string next_path = dir_.file("next.jnt").string();
    std::vector<std::string> arguments = {"joint2si",      "-f",     "kN",     "-m", "kNm",
                                          "--no-progress", big_path, next_path};
    std::vector<char *> argv;
    for (std::string &argument : arguments) {
        argv.push_back(&argument[0]);
    }
    fail_nth_worker_block(GetParam().side, 2);
    testing::internal::CaptureStderr();
    const int status = run_converter(static_cast<int>(argv.size()), argv.data());
    const std::string errors = testing::internal::GetCapturedStderr();
    EXPECT_EQ(status, -1);
    EXPECT_NE(errors.find("Error: rewrite_file: Memory allocation failed!\n"), std::string::npos)
        << errors;
    EXPECT_TRUE(dir_.read("big.jnt") == big) << "the file that failed was changed";
    EXPECT_EQ(dir_.read("next.jnt"), "shear_force 2000.000000\n");
    std::vector<std::string> names;
    for (const auto &entry : fs::directory_iterator(dir_.path())) {
        names.push_back(entry.path().filename().string());
    }
    EXPECT_EQ(names.size(), 2u) << "a replacement was left behind";
}

INSTANTIATE_TEST_SUITE_P(Sides, WorkerThreadFailure,
                         ::testing::Values(Case{WorkerSide::reading, false},
                                           Case{WorkerSide::reading, true},
                                           Case{WorkerSide::writing, false},
                                           Case{WorkerSide::writing, true}));

} // namespace
