// SPDX-License-Identifier: MIT
// Unique names, renaming, removing and making directories, and the merging
// pattern expansion.
#include "libtools/tool_sys_io.h"
#include "support/file_system.h"
#include "support/memory_check.h"
#include "support/temp_dir.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <iterator>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

using V = std::vector<std::string>;

std::string take(char *s) {
    const std::string value = s != nullptr ? s : "<null>";
    tool_strfree(&s);
    return value;
}

std::size_t entries_in(const fs::path &directory) {
    return static_cast<std::size_t>(
        std::distance(fs::directory_iterator(directory), fs::directory_iterator()));
}

// Every test runs in a fresh directory of its own.
class FileChanges : public LeakCheckedTest {
  protected:
    TempDir temp_;
    CurrentDirectory here_{temp_.path()};
};

TEST_F(FileChanges, UniquePathWithoutNumbers) {
    EXPECT_EQ(take(tool_make_unique_path("report", ".bak", "w", 0, 1)), "report.bak");
    EXPECT_FALSE(fs::exists("report.bak"));
    EXPECT_EQ(take(tool_make_unique_path("report", ".bak", nullptr, 0, 0)), "report.bak");
    EXPECT_TRUE(fs::exists("report.bak"));
    EXPECT_EQ(fs::file_size("report.bak"), 0u);
    EXPECT_EQ(take(tool_make_unique_path("report", ".bak", nullptr, 0, 0)), "<null>");
    EXPECT_EQ(take(tool_make_unique_path("report", nullptr, "w", 0, 0)), "report");
    EXPECT_EQ(take(tool_make_unique_path(nullptr, ".bak", "w", 0, 0)), "<null>");
    EXPECT_EQ(take(tool_make_unique_path("other", ".bak", nullptr, TOOL_UNIQUE_THREE_DIGITS, 0)),
              "<null>");
    EXPECT_EQ(entries_in("."), 1u); // options 8 alone tried nothing
}

TEST_F(FileChanges, UniquePathNumbersTheFirstFreeName) {
    temp_.write("report001.bak", "");
    temp_.write("report1.bak", "");
    const int three_digits = TOOL_UNIQUE_NUMBERED | TOOL_UNIQUE_THREE_DIGITS;
    EXPECT_EQ(take(tool_make_unique_path("report", ".bak", "w", three_digits, 0)), "report002.bak");
    EXPECT_EQ(take(tool_make_unique_path("report", ".bak", "w", TOOL_UNIQUE_NUMBERED, 0)),
              "report2.bak");
    EXPECT_EQ(take(tool_make_unique_path("report", nullptr, nullptr, TOOL_UNIQUE_NUMBERED, 0)),
              "report1");
    EXPECT_EQ(fs::file_size("report1"), 0u);
    EXPECT_EQ(take(tool_make_unique_path("missing/report", ".bak", "w", TOOL_UNIQUE_NUMBERED, 0)),
              "<null>");

    for (int n = 2; n <= 999; ++n) {
        char name[32];
        std::snprintf(name, sizeof name, "report%03d.bak", n);
        temp_.write(name, "");
    }
    EXPECT_EQ(take(tool_make_unique_path("report", ".bak", "w", three_digits, 0)),
              "report1000.bak");
}

TEST_F(FileChanges, UniquePathAbsoluteEvenForARemovedFile) {
    fs::create_directory("sub");
    const std::string path =
        take(tool_make_unique_path("sub/../report", ".bak", "w", TOOL_UNIQUE_NUMBERED, 1));
    EXPECT_EQ(path, (fs::current_path() / "report1.bak").string());
    EXPECT_FALSE(fs::exists("report1.bak"));
}

TEST_F(FileChanges, RenameReplacesTheTargetAndNeverLosesIt) {
    temp_.write("a", "A");
    temp_.write("b", "B");
    EXPECT_EQ(tool_rename_file("a", "b"), 1);
    EXPECT_FALSE(fs::exists("a"));
    EXPECT_EQ(temp_.read("b"), "A");
    EXPECT_EQ(tool_rename_file("a", "c"), 0); // no source
    EXPECT_FALSE(fs::exists("c"));
    EXPECT_EQ(tool_rename_file("b", "missing/b"), 0);
    tool_rename_file("b", "b"); // removing the target first would lose the file
    EXPECT_EQ(temp_.read("b"), "A");
    EXPECT_EQ(tool_rename_file(nullptr, "b"), 0);
    EXPECT_EQ(tool_rename_file("b", nullptr), 0);
}

TEST_F(FileChanges, RemoveFileAndMakeDirectories) {
    temp_.write("f", "");
    fs::create_directory("d");
    EXPECT_EQ(tool_remove_file("f"), 1);
    EXPECT_FALSE(fs::exists("f"));
    EXPECT_EQ(tool_remove_file("f") + tool_remove_file("d") + tool_remove_file(nullptr), 0);
    EXPECT_TRUE(fs::is_directory("d"));

    EXPECT_EQ(tool_mkdir("m"), 1);
    EXPECT_EQ(tool_mkdir("m") + tool_mkdir(nullptr) + tool_make_directory(1, nullptr), 0);
    EXPECT_EQ(tool_make_directory(0, native_separators("p/q").c_str()), 0);
    EXPECT_FALSE(fs::exists("p"));
    const std::string nested = native_separators("x/y/z");
    EXPECT_EQ(tool_make_directory(1, nested.c_str()), 1);
    EXPECT_TRUE(fs::is_directory("x/y/z"));
    EXPECT_EQ(tool_make_directory(1, nested.c_str()), 0);
}

TEST_F(FileChanges, RemovePathRemovesFilesAndTrees) {
    fs::create_directories("t/s/deeper");
    temp_.write("t/a.txt", "");
    temp_.write("t/s/b.txt", "");
    temp_.write("f.txt", "");
    EXPECT_EQ(tool_remove_path(0, "t"), 0); // not empty
    EXPECT_TRUE(fs::exists("t/a.txt"));
    EXPECT_EQ(tool_remove_path(1, native_separators("t/").c_str()) + tool_remove_path(1, "f.txt"),
              2);
    EXPECT_FALSE(fs::exists("t") || fs::exists("f.txt"));
    EXPECT_EQ(tool_remove_path(1, "missing") + tool_remove_path(1, nullptr), 0);
}

TEST_F(FileChanges, RemovingATreeNeverFollowsALinkOutOfIt) {
    fs::create_directories("outside");
    temp_.write("outside/keep.txt", "keep");
    fs::create_directories("tree/sub");
    try {
        fs::create_directory_symlink(temp_.file("outside"), "tree/sub/link");
        fs::create_directory_symlink(temp_.file("outside"), "top_link");
    } catch (const fs::filesystem_error &error) {
        GTEST_SKIP() << "no symbolic links here: " << error.what();
    }
    EXPECT_EQ(tool_remove_path(1, "tree"), 1);
    EXPECT_FALSE(fs::exists(fs::symlink_status("tree")));
    EXPECT_EQ(tool_remove_path(1, native_separators("top_link/").c_str()), 1);
    EXPECT_FALSE(fs::exists(fs::symlink_status("top_link")));
    EXPECT_EQ(temp_.read("outside/keep.txt"), "keep");
}

TEST_F(FileChanges, RemovingATreeRemovesNamesWithBackslashesAsTheyAre) {
    if (fs::path("a\\b").has_parent_path()) {
        GTEST_SKIP() << "a backslash separates names here";
    }
    temp_.write("victim.txt", "v");
    fs::create_directory("tree");
    temp_.write("tree/..\\victim.txt", ""); // read as a separator, it would name ../victim.txt
    EXPECT_EQ(tool_remove_path(1, "tree"), 1);
    EXPECT_EQ(temp_.read("victim.txt"), "v");
    EXPECT_FALSE(fs::exists("tree"));
}

TEST_F(FileChanges, MergePrefersAReadableSubdirectoryAndSkipsKnownNames) {
    temp_.write("a.txt", "");
    temp_.write("b.txt", "");
    fs::create_directories("sub");
    temp_.write("sub/a.txt", "");
    temp_.write("sub/c.txt", "");
    StringList list{0, nullptr};
    EXPECT_EQ(tool_expand_pattern_merge(&list, "*.txt", "sub", "."), 1);
    EXPECT_EQ(list.count, 2);
    EXPECT_EQ(tool_expand_pattern_merge(&list, "*.txt", "missing", "."), 1);
    EXPECT_EQ(tool_expand_pattern_merge(&list, "*.txt", "sub", "."), 1);
    EXPECT_EQ(tool_expand_pattern_merge(&list, "*.none", "sub", "."), 0);
    EXPECT_EQ(tool_expand_pattern_merge(nullptr, "*", "sub", "."), 0);
    V names(list.items, list.items + list.count);
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (V{"a.txt", "b.txt", "c.txt"}));
    tool_strlist_free(&list);

    fs::permissions("sub", fs::perms::owner_read, fs::perm_options::remove);
    if ((fs::status("sub").permissions() & fs::perms::owner_read) == fs::perms::none) {
        EXPECT_EQ(tool_expand_pattern_merge(&list, "?.txt", "sub", "."), 1);
        EXPECT_EQ(list.count, 2) << "the unreadable subdirectory gives way to the directory";
        tool_strlist_free(&list);
    }
}

TEST_F(FileChanges, AllocationFailuresLeaveNothingBehind) {
    char *path = nullptr;
    capture_stderr([&] {
        for_each_allocation_failure(
            [&] { path = tool_make_unique_path("u", ".bak", nullptr, TOOL_UNIQUE_NUMBERED, 1); },
            [&](int n) {
                EXPECT_EQ(path, nullptr) << n;
                EXPECT_FALSE(fs::exists("u1.bak")) << n << ": a name given up keeps no file";
            });
    });
    EXPECT_EQ(take(path), (fs::current_path() / "u1.bak").string());

    fs::create_directories("t/s");
    temp_.write("t/s/a.txt", "");
    temp_.write("t/s/b.txt", "");
    StringList list{0, nullptr};
    int found = 0;
    capture_stderr([&] {
        for_each_allocation_failure(
            [&] {
                tool_strlist_free(&list);
                found = tool_expand_pattern_merge(&list, "*.txt", "s", "t");
            },
            [&](int n) { EXPECT_TRUE(found == 0 || list.count == 2) << n; });
    });
    EXPECT_EQ(found, 1);
    EXPECT_EQ(list.count, 2);
    tool_strlist_free(&list);
}

} // namespace
