// SPDX-License-Identifier: MIT
// Durability in batches: replacements synced together from several threads, then
// committed one by one, with failures injected into the write-back and the sync.
#include "libtools/tool_sys_io.h"
#include "support/memory_check.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

enum { kSync = 1, kWriteBack = 5 };
constexpr int kFiles = 7;

std::string old_text(int i) {
    return "old " + std::to_string(i) + "\n";
}
std::string new_text(int i) {
    return std::string(static_cast<std::size_t>(100 * (i + 1)), 'n') + std::to_string(i) + "\n";
}

struct BatchFailure {
    const char *name;
    int operation; // as tool_replace_fail_nth numbers them; -1: none
    long nth;      // the replacement whose operation fails (1: the first)
};

class ReplaceBatch : public LeakCheckedTest, public ::testing::WithParamInterface<BatchFailure> {
  protected:
    void TearDown() override {
        tool_replace_fail_nth(kSync, 0);
        tool_replace_fail_nth(kWriteBack, 0);
        LeakCheckedTest::TearDown();
    }
    std::string path(int i) const { return dir.file("f" + std::to_string(i)).string(); }
    TempDir dir;
};

// The model: only the replacement whose write-back or sync failed is refused, with the
// failure's reason; every other one takes its file's place; nothing is left behind.
TEST_P(ReplaceBatch, CommitsExactlyTheReplacementsThatReachedTheDisk) {
    const BatchFailure failure = GetParam();
    std::vector<ToolReplacement> replacements(kFiles);
    std::vector<ToolReplacement *> list;
    for (int i = 0; i < kFiles; ++i) {
        dir.write("f" + std::to_string(i), old_text(i));
        ToolReplacement *r = &replacements[static_cast<std::size_t>(i)];
        ASSERT_EQ(tool_replace_try_lock(r, path(i).c_str()), TOOL_LOCK_DONE);
        ASSERT_EQ(tool_replace_open(r, path(i).c_str()), 1);
        const std::string text = new_text(i);
        ASSERT_EQ(tool_replace_write(r, text.data(), static_cast<unsigned>(text.size())), 1);
        list.push_back(r);
    }
    if (failure.operation >= 0) {
        tool_replace_fail_nth_error(failure.operation, failure.nth, ENOSPC);
    }
    int started = 0;
    for (ToolReplacement *r : list) {
        started += tool_replace_start_sync(r);
    }
    const int failed_syncs = tool_replace_sync_all(list.data(), kFiles, 3);
    const int failed_index = failure.operation >= 0 ? static_cast<int>(failure.nth) - 1 : -1;
    EXPECT_EQ(started, kFiles - (failure.operation == kWriteBack ? 1 : 0));
    EXPECT_EQ(failed_syncs, failure.operation == kSync ? 1 : 0);
    int refused = 0;
    for (int i = 0; i < kFiles; ++i) {
        ToolReplacement *r = list[static_cast<std::size_t>(i)];
        const int result = tool_replace_commit_batched(r);
        if (i == failed_index && failure.operation == kWriteBack) {
            EXPECT_EQ(result, TOOL_REPLACE_FAILED) << i;
        }
        if (result != TOOL_REPLACE_DONE) {
            EXPECT_EQ(r->sync_error, ENOSPC) << i;
        }
        refused += result == TOOL_REPLACE_DONE ? 0 : 1;
        tool_replace_abandon(r);
    }
    EXPECT_EQ(tool_sync_directory(dir.path().string().c_str()), 1);
    // Which replacement met the failed sync depends on the threads' order; exactly one.
    EXPECT_EQ(refused, failure.operation >= 0 ? 1 : 0);
    int old_files = 0;
    for (int i = 0; i < kFiles; ++i) {
        const std::string content = dir.read("f" + std::to_string(i));
        EXPECT_TRUE(content == old_text(i) || content == new_text(i)) << i;
        old_files += content == old_text(i) ? 1 : 0;
    }
    EXPECT_EQ(old_files, refused);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), kFiles)
        << "a replacement file was left behind";
}

INSTANTIATE_TEST_SUITE_P(Failures, ReplaceBatch,
                         ::testing::Values(BatchFailure{"None", -1, 0},
                                           BatchFailure{"FirstWriteBack", kWriteBack, 1},
                                           BatchFailure{"LastWriteBack", kWriteBack, kFiles},
                                           BatchFailure{"FirstSync", kSync, 1},
                                           BatchFailure{"FourthSync", kSync, 4}),
                         [](const auto &info) { return std::string(info.param.name); });

// A lock held elsewhere (here another open of this process) is never waited for by
// tool_replace_try_lock, and nothing is held after it said busy.
TEST(ReplaceTryLock, SaysBusyWithoutWaitingOrHoldingAnything) {
    TempDir dir;
    dir.write("a", "text\n");
    const std::string path = dir.file("a").string();
    ToolReplacement holder = {};
    ASSERT_EQ(tool_replace_lock(&holder, path.c_str()), TOOL_LOCK_DONE);
    ToolReplacement second = {};
    EXPECT_EQ(tool_replace_try_lock(&second, path.c_str()), TOOL_LOCK_BUSY);
    EXPECT_EQ(second.locked, 0);
    EXPECT_EQ(second.target, nullptr);
    tool_replace_abandon(&holder);
    EXPECT_EQ(tool_replace_try_lock(&second, path.c_str()), TOOL_LOCK_DONE);
    tool_replace_abandon(&second);
}

} // namespace
