// SPDX-License-Identifier: MIT
#include "libtools/tool_sys_io.h"
#include "support/file_system.h"
#include "support/memory_check.h"
#include "support/process_control.h"
#include "support/temp_dir.h"

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

enum { kWrite = 0, kSync = 1, kClose = 2, kRename = 3 };

class Replace : public LeakCheckedTest {
  protected:
    void TearDown() override {
        for (int operation = kWrite; operation <= kRename; ++operation) {
            tool_replace_fail_nth(operation, 0);
        }
        LeakCheckedTest::TearDown();
    }

    std::vector<std::string> names() const {
        std::vector<std::string> found;
        for (const auto &entry : fs::directory_iterator(dir.path())) {
            found.push_back(entry.path().filename().string());
        }
        return found;
    }

    // Replaces `name` with `content`; returns the commit's result.
    int replace(const std::string &name, const std::string &content) {
        ToolReplacement r = {};
        int result = -2;
        if (tool_replace_open(&r, dir.file(name).string().c_str())) {
            tool_replace_write(&r, content.data(), static_cast<unsigned>(content.size()));
            result = tool_replace_commit(&r);
        }
        tool_replace_abandon(&r);
        return result;
    }

    TempDir dir;
};

TEST_F(Replace, CommitPutsTheNewContentInPlace) {
    dir.write("a.jnt", "old\n");
    EXPECT_EQ(replace("a.jnt", "new\n"), TOOL_REPLACE_DONE);
    EXPECT_EQ(dir.read("a.jnt"), "new\n");
    EXPECT_EQ(names(), std::vector<std::string>{"a.jnt"});
    EXPECT_FALSE(is_hidden(dir.file("a.jnt"))) << "the replacement was hidden only while open";
}

TEST_F(Replace, CommitKeepsPermissions) {
    if (!permission_bits_unsupported().empty()) {
        GTEST_SKIP() << permission_bits_unsupported();
    }
    dir.write("a.jnt", "old\n");
    const fs::perms chosen = fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read;
    fs::permissions(dir.file("a.jnt"), chosen);
    EXPECT_EQ(replace("a.jnt", "new\n"), TOOL_REPLACE_DONE);
    EXPECT_EQ(fs::status(dir.file("a.jnt")).permissions() & fs::perms::all, chosen);
}

TEST_F(Replace, ReadOnlyTargetIsReplacedAndStaysReadOnly) {
    dir.write("ro.jnt", "old\n");
    const auto write_bits =
        fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write;
    fs::permissions(dir.file("ro.jnt"), write_bits, fs::perm_options::remove);
    EXPECT_EQ(replace("ro.jnt", "new\n"), TOOL_REPLACE_DONE);
    EXPECT_EQ(dir.read("ro.jnt"), "new\n");
    EXPECT_EQ(fs::status(dir.file("ro.jnt")).permissions() & write_bits, fs::perms::none);
    EXPECT_EQ(names(), std::vector<std::string>{"ro.jnt"});
}

TEST_F(Replace, AbandonLeavesTheOriginalAndNoTemporaryFile) {
    dir.write("a.jnt", "old\n");
    ToolReplacement r = {};
    ASSERT_EQ(tool_replace_open(&r, dir.file("a.jnt").string().c_str()), 1);
    EXPECT_EQ(tool_replace_write(&r, "partial", 7), 1);
    EXPECT_EQ(names().size(), 2u);
    EXPECT_TRUE(is_hidden(r.temporary));
    tool_replace_abandon(&r);
    EXPECT_EQ(dir.read("a.jnt"), "old\n");
    EXPECT_EQ(names(), std::vector<std::string>{"a.jnt"});
    EXPECT_EQ(r.temporary, nullptr);
}

TEST_F(Replace, MissingFileCannotBeReplaced) {
    ToolReplacement r = {};
    EXPECT_EQ(tool_replace_open(&r, dir.file("missing").string().c_str()), 0);
    EXPECT_EQ(tool_replace_open(&r, nullptr), 0);
    tool_replace_abandon(&r);
    tool_replace_abandon(nullptr);
    EXPECT_TRUE(names().empty());
}

// Each failing step leaves the original byte for byte and removes the replacement.
struct FailingStep {
    const char *name;
    int operation;
};

class FailingReplace : public Replace, public ::testing::WithParamInterface<FailingStep> {};

TEST_P(FailingReplace, LeavesTheOriginalWhole) {
    dir.write("a.jnt", "old content\r\n");
    tool_replace_fail_nth(GetParam().operation, 1);
    EXPECT_EQ(replace("a.jnt", "new\n"), TOOL_REPLACE_FAILED);
    EXPECT_EQ(dir.read("a.jnt"), "old content\r\n");
    EXPECT_EQ(names(), std::vector<std::string>{"a.jnt"});
}

INSTANTIATE_TEST_SUITE_P(Steps, FailingReplace,
                         ::testing::Values(FailingStep{"Write", kWrite}, FailingStep{"Sync", kSync},
                                           FailingStep{"Close", kClose},
                                           FailingStep{"Rename", kRename}),
                         [](const auto &info) { return std::string(info.param.name); });

TEST_F(Replace, SymbolicLinkStaysALinkAndItsTargetIsReplaced) {
    dir.write("target.jnt", "old\n");
    std::error_code error;
    fs::create_symlink("target.jnt", dir.file("link.jnt"), error);
    if (error) {
        GTEST_SKIP() << "symbolic links cannot be created here: " << error.message();
    }
    ToolFileIdentity through_link = {};
    ToolFileIdentity direct = {};
    ASSERT_EQ(tool_file_identity(dir.file("link.jnt").string().c_str(), &through_link), 1);
    ASSERT_EQ(tool_file_identity(dir.file("target.jnt").string().c_str(), &direct), 1);
    EXPECT_EQ(through_link.index, direct.index);

    EXPECT_EQ(replace("link.jnt", "new\n"), TOOL_REPLACE_DONE);
    EXPECT_TRUE(fs::is_symlink(dir.file("link.jnt")));
    EXPECT_EQ(dir.read("target.jnt"), "new\n");
}

TEST_F(Replace, HardLinkedFileIsRewrittenInPlaceForEveryName) {
    dir.write("a.jnt", "old\n");
    std::error_code error;
    fs::create_hard_link(dir.file("a.jnt"), dir.file("b.jnt"), error);
    if (error) {
        GTEST_SKIP() << "hard links cannot be created here: " << error.message();
    }
    ToolFileIdentity before = {};
    ASSERT_EQ(tool_file_identity(dir.file("a.jnt").string().c_str(), &before), 1);
    EXPECT_EQ(replace("a.jnt", "new and longer\n"), TOOL_REPLACE_DONE);
    EXPECT_EQ(dir.read("b.jnt"), "new and longer\n");
    EXPECT_EQ(replace("b.jnt", "x\n"), TOOL_REPLACE_DONE); // shorter: the rest is cut
    EXPECT_EQ(dir.read("a.jnt"), "x\n");
    ToolFileIdentity after = {};
    ASSERT_EQ(tool_file_identity(dir.file("b.jnt").string().c_str(), &after), 1);
    EXPECT_EQ(after.index, before.index);
    ToolFileIdentity other_name = {};
    ASSERT_EQ(tool_file_identity(dir.file("a.jnt").string().c_str(), &other_name), 1);
    EXPECT_EQ(other_name.device, after.device) << "both names still lead to one file";
    EXPECT_EQ(other_name.index, after.index);
    EXPECT_EQ(names().size(), 2u);
}

TEST_F(Replace, FailedCopyInPlaceKeepsTheConvertedText) {
    dir.write("a.jnt", "old\n");
    std::error_code error;
    fs::create_hard_link(dir.file("a.jnt"), dir.file("b.jnt"), error);
    if (error) {
        GTEST_SKIP() << "hard links cannot be created here: " << error.message();
    }
    ToolReplacement r = {};
    ASSERT_EQ(tool_replace_open(&r, dir.file("a.jnt").string().c_str()), 1);
    ASSERT_EQ(tool_replace_write(&r, "new\n", 4), 1);
    tool_replace_fail_nth(kWrite, 1); // the first write of the copy into the target
    EXPECT_EQ(tool_replace_commit(&r), TOOL_REPLACE_KEPT);
    ASSERT_NE(r.temporary, nullptr);
    const std::string kept = r.temporary;
    tool_replace_abandon(&r);
    std::string content;
    {
        std::ifstream in(kept, std::ios::binary);
        content.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    EXPECT_EQ(content, "new\n");
    fs::remove(kept);
}

// Each failure leaves the system's reason in errno, whatever its clean-up did, and the
// library prints nothing: the caller reports it. A step that does not fail gives -1.
TEST_F(Replace, FailuresLeaveTheirReasonInErrnoAndPrintNothing) {
    dir.write("a.jnt", "old\n");
    fs::create_directory(dir.file("d"));
    fs::create_directory(dir.file("a.jnt~"));
    const std::string a = dir.file("a.jnt").string();
    auto lock = [&](const std::string &path) {
        ToolReplacement r = {};
        const int failed = tool_replace_lock(&r, path.c_str()) == TOOL_LOCK_CANNOT_OPEN;
        const int error = failed ? errno : -1;
        tool_replace_abandon(&r);
        return error;
    };
    // Opens `a`, writes to it and commits with `operation` failing for `reason`.
    auto commit = [&](int operation, int reason) {
        ToolReplacement r = {};
        int error = -1;
        if (tool_replace_open(&r, a.c_str())) {
            tool_replace_fail_nth_error(operation, 1, reason);
            if (!tool_replace_write(&r, "new\n", 4)) {
                error = errno;
            } else if (tool_replace_commit(&r) != TOOL_REPLACE_DONE) {
                error = errno;
            }
        }
        tool_replace_abandon(&r);
        tool_replace_fail_nth(operation, 0);
        return error;
    };
    struct Case {
        const char *what;
        std::function<int()> error_of_failure;
        int expected;
    } cases[] = {
        {"lock of a missing file", [&] { return lock(dir.file("missing").string()); }, ENOENT},
        {"lock of a directory", [&] { return lock(dir.file("d").string()); }, EISDIR},
        {"lock without memory for the name",
         [&] {
             tool_memory_fail_nth(1);
             return lock(a);
         },
         ENOMEM},
        {"full disk", [&] { return commit(kWrite, ENOSPC); }, ENOSPC},
        {"sync", [&] { return commit(kSync, EIO); }, EIO},
        {"rename", [&] { return commit(kRename, EXDEV); }, EXDEV},
        {"backup onto a directory",
         [&] { return tool_backup_file(a.c_str(), "~") == 0 ? errno : -1; }, EISDIR},
        {"listing a file", [&] { return tool_can_list_directory(a.c_str()) == 0 ? errno : -1; },
         ENOTDIR},
    };
    for (const Case &c : cases) {
        int error = -1;
        EXPECT_EQ(capture_stderr([&] { error = c.error_of_failure(); }), "") << c.what;
        EXPECT_EQ(error, c.expected) << c.what;
        EXPECT_EQ(dir.read("a.jnt"), "old\n") << c.what;
    }
}

} // namespace
