// SPDX-License-Identifier: MIT
// Durability in batches: replacements synced together from several threads, then
// committed one by one, with failures injected into the write-back and the sync.
#include "libtools/tool_sys_io.h"
#include "support/file_system.h"
#include "support/memory_check.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
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

// Makes an empty file at `path` and a replacement of it with "new\n", its write-back
// started, ready for a batch's sync.
ToolReplacement *start_replacement(ToolReplacement *r, const std::string &path) {
    std::fclose(std::fopen(path.c_str(), "wb"));
    tool_replace_try_lock(r, path.c_str());
    tool_replace_open(r, path.c_str());
    tool_replace_write(r, "new\n", 4);
    tool_replace_start_sync(r);
    return r;
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
        ASSERT_EQ(tool_replace_lock(r, path(i).c_str()), TOOL_LOCK_DONE);
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

// A batch's renamed files keep their locks, and (where the file system keeps marks)
// the mark they carried as replacements, until the batch lets go of them on several
// threads; then neither is left and the records are empty.
TEST(ReplaceBatchRelease, RenamedFilesKeepLockAndMarkUntilLetGo) {
    TempDir dir;
    const char *const mark = "user.joint2si.replacement";
    std::vector<ToolReplacement> replacements(kFiles);
    std::vector<ToolReplacement *> list;
    for (int i = 0; i < kFiles; ++i) {
        const std::string name = "f" + std::to_string(i);
        dir.write(name, old_text(i));
        ToolReplacement *r = &replacements[static_cast<std::size_t>(i)];
        const std::string path = dir.file(name).string();
        ASSERT_EQ(tool_replace_lock(r, path.c_str()), TOOL_LOCK_DONE);
        ASSERT_EQ(tool_replace_open(r, path.c_str()), 1);
        const std::string text = new_text(i);
        ASSERT_EQ(tool_replace_write(r, text.data(), static_cast<unsigned>(text.size())), 1);
        ASSERT_EQ(tool_replace_start_sync(r), 1);
        list.push_back(r);
    }
    ASSERT_EQ(tool_replace_sync_all(list.data(), kFiles, 3), 0);
    auto lock_is_free = [&](int i) {
        ToolReplacement other = {};
        const std::string path = dir.file("f" + std::to_string(i)).string();
        const int locked = tool_replace_try_lock(&other, path.c_str());
        tool_replace_abandon(&other);
        return locked == TOOL_LOCK_DONE;
    };
    for (int i = 0; i < kFiles; ++i) {
        ASSERT_EQ(tool_replace_commit_batched(list[static_cast<std::size_t>(i)]),
                  TOOL_REPLACE_DONE);
        EXPECT_EQ(dir.read("f" + std::to_string(i)), new_text(i));
        EXPECT_FALSE(lock_is_free(i)) << i;
    }
    const bool marks_kept = extended_attribute(dir.file("f0"), mark) != "<none>";
    RecordProperty("marks_kept", marks_kept ? "yes" : "no");
    tool_replace_abandon_all(list.data(), kFiles, 3);
    for (int i = 0; i < kFiles; ++i) {
        EXPECT_EQ(extended_attribute(dir.file("f" + std::to_string(i)), mark), "<none>") << i;
        EXPECT_TRUE(lock_is_free(i)) << i;
        EXPECT_EQ(list[static_cast<std::size_t>(i)]->target, nullptr) << i;
    }
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), kFiles);
}

// The threads that wait for syncs stay from one batch to the next, and callers on
// several threads at once share them: every replacement of every batch is synced,
// whatever the number of threads asked for and whoever got them.
TEST(ReplaceBatchThreads, EveryReplacementOfConcurrentRepeatedBatchesIsSynced) {
    TempDir dir;
    constexpr int kCallers = 3;
    constexpr int kRounds = 4;
    constexpr int kBatch = 9;
    std::vector<std::thread> callers;
    std::vector<int> unsynced(kCallers, 0);
    for (int caller = 0; caller < kCallers; ++caller) {
        callers.emplace_back([&, caller] {
            for (int round = 0; round < kRounds; ++round) {
                std::vector<ToolReplacement> replacements(kBatch);
                std::vector<ToolReplacement *> list;
                for (int i = 0; i < kBatch; ++i) {
                    const std::string path =
                        dir.file("c" + std::to_string(caller) + "r" + std::to_string(round) + "f" +
                                 std::to_string(i))
                            .string();
                    list.push_back(
                        start_replacement(&replacements[static_cast<std::size_t>(i)], path));
                }
                tool_replace_sync_all(list.data(), kBatch, 1 + 3 * round);
                for (ToolReplacement *r : list) {
                    unsynced[static_cast<std::size_t>(caller)] += r->synced == 1 ? 0 : 1;
                    tool_replace_abandon(r);
                }
            }
        });
    }
    for (std::thread &caller : callers) {
        caller.join();
    }
    for (int caller = 0; caller < kCallers; ++caller) {
        EXPECT_EQ(unsynced[static_cast<std::size_t>(caller)], 0) << "caller " << caller;
    }
}

// In memory every sync and every let-go returns at once: the calling thread does a whole
// batch alone and starts or wakes no sync thread (this process has started none before).
TEST(ReplaceBatchThreads, FilesInMemoryStartNoSyncThread) {
    const fs::path memory = "/dev/shm";
    const fs::path tasks = "/proc/self/task";
    // Windows has neither (under Wine the paths may lead to the host's), and does not
    // tell a sync that waited from one put aside.
    if (fs::path("a\\b").has_parent_path() || !fs::is_directory(memory) ||
        !fs::is_directory(tasks)) {
        GTEST_SKIP() << "needs a file system in memory and the list of this process's threads";
    }
    const auto threads = [&] {
        return std::distance(fs::directory_iterator(tasks), fs::directory_iterator());
    };
    const TempDir unique; // its name, for a directory of the same name in memory
    const fs::path dir = memory / unique.path().filename();
    fs::create_directory(dir);
    constexpr int kBatch = 64;
    std::vector<ToolReplacement> replacements(kBatch);
    std::vector<ToolReplacement *> list;
    for (int i = 0; i < kBatch; ++i) {
        const std::string path = (dir / ("f" + std::to_string(i))).string();
        list.push_back(start_replacement(&replacements[static_cast<std::size_t>(i)], path));
    }
    const auto before = threads();
    EXPECT_EQ(tool_replace_sync_all(list.data(), kBatch, 16), 0);
    for (ToolReplacement *r : list) {
        EXPECT_EQ(r->synced, 1);
    }
    tool_replace_abandon_all(list.data(), kBatch, 16);
    EXPECT_EQ(threads(), before);
    fs::remove_all(dir);
}

// Room made for many open files is made in the table at once (its size is in the
// process's status on Linux), and leaves no file open behind it.
TEST(ReserveOpenFiles, GrowsTheTableAtOnceAndKeepsNothingOpen) {
    const auto table_size = [] {
        std::ifstream status("/proc/self/status");
        std::string line;
        while (std::getline(status, line)) {
            if (line.rfind("FDSize:", 0) == 0) {
                return std::stol(line.substr(7));
            }
        }
        return -1L;
    };
    const long wanted = std::min(tool_open_file_limit(), 1000L);
    if (fs::path("a\\b").has_parent_path() || table_size() < 0 || table_size() >= wanted) {
        GTEST_SKIP() << "needs the size of the table of open files, smaller than " << wanted;
    }
    const auto open_files = [] {
        return std::distance(fs::directory_iterator("/proc/self/fd"), fs::directory_iterator());
    };
    const auto before = open_files();
    tool_reserve_open_files(wanted);
    EXPECT_GE(table_size(), wanted);
    EXPECT_EQ(open_files(), before);
}

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
