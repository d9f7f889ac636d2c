// SPDX-License-Identifier: MIT
// A full disk met while the converted text is written, run in-process so the failure
// can be injected: the reason reaches the message from whichever thread wrote. An
// output beyond one block (256 KiB) is written by the writing thread, whose errno is
// its own; a smaller one is written by the converting thread at the end.
#include "app/driver.h"
#include "libtools/tool_sys_io.h"
#include "support/gzip_data.h"
#include "support/memory_check.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr int kWrite = 0; // as tool_replace_fail_nth numbers the operations

// `lines` force lines with values of many digits that compress poorly, so that even a
// gzip file's compressed output fills whole blocks.
std::string force_lines(int lines) {
    std::mt19937 random(7);
    std::string text;
    for (int i = 0; i < lines; ++i) {
        text += "shear_force " + std::to_string(random()) + "." + std::to_string(random()) + "\n";
    }
    return text;
}

struct FullDisk {
    const char *name;
    int lines;
    bool gzip;
};

class FullDiskWhileWriting : public ::testing::TestWithParam<FullDisk> {
  protected:
    void TearDown() override { tool_replace_fail_nth(kWrite, 0); }
};

TEST_P(FullDiskWhileWriting, IsReportedWithItsReasonAndLeavesTheFileWhole) {
    const std::string text = force_lines(GetParam().lines);
    const std::string original = GetParam().gzip ? gzip_bytes(text, 1) : text;
    TempDir dir;
    dir.write("big.jnt", original);
    CurrentDirectory here(dir.path());
    std::vector<std::string> storage = {"joint2si", "--no-progress", "-f", "kN", "big.jnt"};
    std::vector<char *> argv;
    for (std::string &argument : storage) {
        argv.push_back(&argument[0]);
    }
    tool_replace_fail_nth_error(kWrite, 1, ENOSPC);
    int status = 0;
    const std::string messages =
        capture_stderr([&] { status = run_converter(static_cast<int>(argv.size()), argv.data()); });
    EXPECT_EQ(status, -1);
    EXPECT_EQ(messages, "Error: Could not write file 'big.jnt'\n  No space left on device\n");
    EXPECT_EQ(dir.read("big.jnt"), original);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1);
}

INSTANTIATE_TEST_SUITE_P(Outputs, FullDiskWhileWriting,
                         ::testing::Values(FullDisk{"Small", 10, false},
                                           FullDisk{"ManyBlocks", 40000, false},
                                           FullDisk{"ManyCompressedBlocks", 40000, true}),
                         [](const auto &info) { return std::string(info.param.name); });

} // namespace
