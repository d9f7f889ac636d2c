// SPDX-License-Identifier: MIT
// The driver run in-process, so allocation and file-operation failures can be
// injected at every point of a run.
#include "app/driver.h"
#include "libtools/tool_sys_io.h"
#include "support/memory_check.h"
#include "support/process_control.h"
#include "support/temp_dir.h"

#include <cerrno>
#include <filesystem>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

enum { kDirectorySync = 6 }; // as tool_replace_fail_nth numbers it

const std::string kInput = "// joint\nshear_force 1.5 kN\nname J1 # tag\nbending_moment 2\n";
const std::string kOutput = "shear_force 1500.000000\nname J1 \nbending_moment 2000.000000\n";

class Driver : public LeakCheckedTest {
  protected:
    void SetUp() override {
        LeakCheckedTest::SetUp();
        dir_.write("a.jnt", kInput);
        dir_.write("b.jnt", kInput);
    }
    void TearDown() override {
        for (int operation = 0; operation <= kDirectorySync; ++operation) {
            tool_replace_fail_nth(operation, 0);
        }
        LeakCheckedTest::TearDown();
    }

    // Runs the converter on both files; returns the exit status, stores the messages.
    int run() {
        CurrentDirectory here(dir_.path());
        std::vector<std::string> storage = {"joint2si", "-f", "kN", "-m", "kNm", "*.jnt"};
        std::vector<char *> argv;
        for (auto &argument : storage) {
            argv.push_back(argument.data());
        }
        int status = 0;
        messages_ = capture_stderr(
            [&] { status = run_converter(static_cast<int>(argv.size()), argv.data()); });
        return status;
    }

    std::vector<std::string> names() const {
        std::vector<std::string> found;
        for (const auto &entry : fs::directory_iterator(dir_.path())) {
            found.push_back(entry.path().filename().string());
        }
        return found;
    }

    // Each file holds either its old or its complete new content; returns how many
    // were converted.
    int check_files_whole() {
        int converted = 0;
        for (const char *name : {"a.jnt", "b.jnt"}) {
            const std::string content = dir_.read(name);
            EXPECT_TRUE(content == kInput || content == kOutput) << name;
            converted += content == kOutput ? 1 : 0;
        }
        EXPECT_EQ(names().size(), 2u) << "a temporary file was left behind";
        return converted;
    }

    TempDir dir_;
    std::string messages_;
};

TEST_F(Driver, ConvertsEveryMatchedFile) {
    EXPECT_EQ(run(), 0);
    EXPECT_EQ(messages_, "");
    EXPECT_EQ(check_files_whole(), 2);
}

struct FileFailure {
    const char *name;
    int operation;      // as tool_replace_fail_nth numbers them
    int error;          // the reason the failure gives
    const char *detail; // the line under the message that tells it
};

class FailingFileOperation : public Driver, public ::testing::WithParamInterface<FileFailure> {};

// Failing the first operation of a kind hits the first file; the second file is
// still converted and the run ends with -1. The message tells the failure's reason.
TEST_P(FailingFileOperation, IsReportedWithItsReasonAndLeavesThatFileUntouched) {
    tool_replace_fail_nth_error(GetParam().operation, 1, GetParam().error);
    EXPECT_EQ(run(), -1);
    EXPECT_EQ(check_files_whole(), 1);
    const std::string untouched = dir_.read("a.jnt") == kInput ? "a.jnt" : "b.jnt";
    EXPECT_EQ(messages_,
              "Error: Could not write file '" + untouched + "'\n  " + GetParam().detail + "\n");
}

INSTANTIATE_TEST_SUITE_P(
    Operations, FailingFileOperation,
    ::testing::Values(FileFailure{"Write", 0, ENOSPC, "No space left on device"},
                      FileFailure{"Sync", 1, EIO, "Input/output error"},
                      FileFailure{"Close", 2, ENOSPC, "No space left on device"},
                      FileFailure{"Rename", 3, EACCES, "Permission denied"},
                      FileFailure{"WriteBack", 5, EIO, "Input/output error"}),
    [](const auto &info) { return std::string(info.param.name); });

// The files are renamed into their directory, whose sync then fails: each file holds its
// new content, and each is named with what that means; the run ends with -1.
TEST_F(Driver, FailedDirectorySyncIsReportedForEveryFileRenamedThere) {
    tool_replace_fail_nth_error(kDirectorySync, 1, EIO);
    EXPECT_EQ(run(), -1);
    EXPECT_EQ(check_files_whole(), 2);
    const std::string detail = "\n  it holds the converted text, but its directory could not be "
                               "synced, so a crash may bring the old text back: Input/output "
                               "error\n";
    const std::string a = "Error: Could not write file 'a.jnt'" + detail;
    const std::string b = "Error: Could not write file 'b.jnt'" + detail;
    EXPECT_TRUE(messages_ == a + b || messages_ == b + a) << messages_;
    EXPECT_EQ(run(), 0) << "a second run finds both files converted";
}

// Every allocation of a whole run fails in turn: no file is ever left damaged or
// half-written, nothing leaks, and a run that did not convert both files says so.
TEST_F(Driver, EveryAllocationFailureLeavesFilesWhole) {
    int status = 0;
    const int allocations = for_each_allocation_failure(
        [&] {
            dir_.write("a.jnt", kInput);
            dir_.write("b.jnt", kInput);
            status = run();
        },
        [&](int n) {
            const int converted = check_files_whole();
            if (converted < 2) {
                EXPECT_FALSE(messages_.empty()) << "allocation " << n;
            }
            if (converted < 2 && messages_.find("Usage") == std::string::npos) {
                EXPECT_EQ(status, -1) << "allocation " << n << ": " << messages_;
            }
        });
    EXPECT_GT(allocations, 10);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(check_files_whole(), 2);
}

} // namespace
