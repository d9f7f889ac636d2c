// SPDX-License-Identifier: MIT
// Backups made by tool_backup_file: the bytes, permissions and times of the original,
// an existing backup replaced whole, and nothing left behind when one cannot be made.
#include "libtools/tool_sys_io.h"
#include "support/file_system.h"
#include "support/memory_check.h"
#include "support/process_control.h"
#include "support/temp_dir.h"

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

class Backup : public LeakCheckedTest {
  protected:
    std::vector<std::string> names() const {
        std::vector<std::string> found;
        for (const auto &entry : fs::directory_iterator(dir.path())) {
            found.push_back(entry.path().filename().string());
        }
        std::sort(found.begin(), found.end());
        return found;
    }
    int backup(const std::string &name, const char *suffix) const {
        return tool_backup_file(dir.file(name).string().c_str(), suffix);
    }
    TempDir dir;
};

// The time to compare with is the one the file system stored for the original: some
// keep only whole seconds of the time a test sets.
std::filesystem::file_time_type set_old_time(const fs::path &path) {
    fs::last_write_time(path, fs::file_time_type::clock::now() - std::chrono::hours(30));
    return fs::last_write_time(path);
}

TEST_F(Backup, KeepsTheBytesAndTheModificationTime) {
    const std::string original("shear_force 1\r\nx\0y\n\x1f\x8b", 22);
    dir.write("a.jnt", original);
    const auto old_time = set_old_time(dir.file("a.jnt"));
    ASSERT_EQ(backup("a.jnt", "~"), 1);
    EXPECT_EQ(dir.read("a.jnt~"), original);
    EXPECT_EQ(dir.read("a.jnt"), original);
    EXPECT_EQ(fs::last_write_time(dir.file("a.jnt~")), old_time);
    EXPECT_EQ(names(), (std::vector<std::string>{"a.jnt", "a.jnt~"}));
    EXPECT_FALSE(is_hidden(dir.file("a.jnt~")));
}

TEST_F(Backup, KeepsPermissions) {
    if (!permission_bits_unsupported().empty()) {
        GTEST_SKIP() << permission_bits_unsupported();
    }
    for (const fs::perms chosen :
         {fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read,
          fs::perms::owner_read | fs::perms::others_read}) {
        dir.write("a.jnt", "x\n");
        fs::permissions(dir.file("a.jnt"), chosen);
        ASSERT_EQ(backup("a.jnt", ".bak"), 1);
        EXPECT_EQ(fs::status(dir.file("a.jnt.bak")).permissions() & fs::perms::all, chosen);
        fs::permissions(dir.file("a.jnt"), fs::perms::owner_all);
        fs::permissions(dir.file("a.jnt.bak"), fs::perms::owner_all);
        fs::remove(dir.file("a.jnt.bak"));
    }
}

TEST_F(Backup, ReplacesAnExistingBackup) {
    dir.write("a.jnt", "new\n");
    dir.write("a.jnt~", "an older backup that is longer\n");
    const auto old_time = set_old_time(dir.file("a.jnt"));
    ASSERT_EQ(backup("a.jnt", "~"), 1);
    EXPECT_EQ(dir.read("a.jnt~"), "new\n");
    EXPECT_EQ(fs::last_write_time(dir.file("a.jnt~")), old_time);
    EXPECT_FALSE(is_hidden(dir.file("a.jnt~")));
    EXPECT_EQ(names(), (std::vector<std::string>{"a.jnt", "a.jnt~"}));
}

TEST_F(Backup, RefusesWhatCannotBeMade) {
    dir.write("a.jnt", "x\n");
    fs::create_directory(dir.file("a.jnt~"));
    EXPECT_EQ(backup("a.jnt", "~"), 0);        // a directory of that name
    EXPECT_EQ(backup("missing.jnt", ".b"), 0); // nothing to copy
    EXPECT_EQ(backup("a.jnt", ""), 0);         // the file itself
    EXPECT_EQ(tool_backup_file(nullptr, "~"), 0);
    EXPECT_EQ(tool_backup_file(dir.file("a.jnt").string().c_str(), nullptr), 0);
    EXPECT_EQ(names(), (std::vector<std::string>{"a.jnt", "a.jnt~"}));
    EXPECT_TRUE(fs::is_directory(dir.file("a.jnt~")));
}

TEST_F(Backup, FailedWritesLeaveNothingBehind) {
    dir.write("a.jnt", std::string(200000, 'x'));
    dir.write("a.jnt~", "old backup\n");
    for (int operation = 0; operation <= 3; ++operation) {
        tool_replace_fail_nth(operation, 1);
        EXPECT_EQ(backup("a.jnt", "~"), 0) << operation;
        tool_replace_fail_nth(operation, 0);
        EXPECT_EQ(dir.read("a.jnt~"), "old backup\n") << operation;
        EXPECT_EQ(names(), (std::vector<std::string>{"a.jnt", "a.jnt~"})) << operation;
    }
}

} // namespace

namespace {

// A locked file is backed up only while its name still leads to it: a file moved onto
// the name after the lock was taken is never what the backup holds.
TEST_F(Backup, OfALockedFileOnlyWhileItsNameLeadsToIt) {
    const std::string path = dir.file("a.jnt").string();
    for (const bool swapped : {false, true}) {
        dir.write("a.jnt", "locked\n");
        ToolReplacement r = {};
        ASSERT_EQ(tool_replace_lock(&r, path.c_str()), TOOL_LOCK_DONE);
        if (swapped) {
            dir.write("other", "another file\n");
            std::error_code refused;
            fs::rename(dir.file("other"), dir.file("a.jnt"), refused);
            if (refused) { // a system that keeps the name of an open file
                tool_replace_abandon(&r);
                continue;
            }
        }
        EXPECT_EQ(tool_replace_backup(&r, path.c_str(), ".b"), swapped ? 0 : 1) << swapped;
        tool_replace_abandon(&r);
        EXPECT_EQ(fs::exists(dir.file("a.jnt.b")), !swapped) << swapped;
        if (!swapped) {
            EXPECT_EQ(dir.read("a.jnt.b"), "locked\n");
            fs::remove(dir.file("a.jnt.b"));
        }
    }
    EXPECT_EQ(tool_replace_backup(nullptr, path.c_str(), ".b"), 0);
}

} // namespace
