// SPDX-License-Identifier: MIT
// The walk's directory handles: what opening below a handle refuses, what a listing
// tells of its entries, and the check when a released directory is taken up again.
#include "libtools/tool_dir_handle.h"
#include "support/file_system.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <map>
#include <string>
#include <system_error>

namespace fs = std::filesystem;

namespace {

// Closes a handle however the test ends.
class Handle {
  public:
    explicit Handle(ToolDirHandle *dir) : dir_(dir) {}
    ~Handle() { tool_dirh_close(dir_); }
    Handle(const Handle &) = delete;
    Handle &operator=(const Handle &) = delete;
    ToolDirHandle *get() const { return dir_; }

  private:
    ToolDirHandle *dir_;
};

ToolFileIdentity identity_of(const fs::path &path) {
    ToolFileIdentity identity = {};
    EXPECT_EQ(tool_file_identity(path.string().c_str(), &identity), 1) << path;
    return identity;
}

bool same(const ToolFileIdentity &a, const ToolFileIdentity &b) {
    return a.device == b.device && a.index == b.index;
}

class DirHandle : public ::testing::Test {
  protected:
    void SetUp() override {
        fs::create_directories(dir_.file("top/sub/deeper"));
        fs::create_directory(dir_.file("other"));
        dir_.write("top/file.jnt", "x");
        std::error_code error;
        fs::create_directory_symlink("sub", dir_.file("top/link"), error);
        links_ = !error;
    }

    TempDir dir_;
    bool links_ = false;
};

TEST_F(DirHandle, OpeningBelowEntersOnlyTheDirectoryListed) {
    const Handle top(tool_dirh_open(dir_.file("top").string().c_str()));
    ASSERT_NE(top.get(), nullptr);
    const ToolFileIdentity sub = identity_of(dir_.file("top/sub"));
    const ToolFileIdentity other = identity_of(dir_.file("other"));
    const struct {
        const char *name;
        const ToolFileIdentity *listed;
        bool opens;
        int reason; // when it does not
    } cases[] = {
        {"sub", nullptr, true, 0},
        {"sub", &sub, true, 0},
        {"sub", &other, false, 0}, // another directory than the one listed
        {"file.jnt", nullptr, false, ENOTDIR},
        {"missing", nullptr, false, ENOENT},
        {"link", nullptr, false, ELOOP},
    };
    for (const auto &c : cases) {
        if (std::string(c.name) == "link" && !links_) {
            continue; // no link could be made here
        }
        errno = -1;
        const Handle below(tool_dirh_open_below(top.get(), c.name, c.listed));
        EXPECT_EQ(below.get() != nullptr, c.opens) << c.name;
        if (!c.opens) {
            EXPECT_EQ(errno, c.reason) << c.name;
        }
    }
}

TEST_F(DirHandle, ListingTellsKindsAndStatusTellsIdentities) {
    const Handle top(tool_dirh_open(dir_.file("top").string().c_str()));
    ASSERT_NE(top.get(), nullptr);
    KeyedStringList entries = {0, nullptr, nullptr};
    const int count = tool_dirh_read(top.get(), &entries);
    std::map<std::string, int> kinds;
    for (int i = 0; i < entries.count; ++i) {
        kinds[entries.strings[i]] = entries.keys[i];
    }
    tool_keyed_strlist_free(&entries);
    EXPECT_EQ(count, links_ ? 3 : 2);
    const auto listed = [&](const char *name, int kind) {
        return kinds.count(name) == 1 && (kinds[name] == kind || kinds[name] == TOOL_ENTRY_UNKNOWN);
    };
    EXPECT_TRUE(listed("sub", TOOL_ENTRY_DIRECTORY));
    EXPECT_TRUE(listed(as_listed(dir_.file("top"), "file.jnt").c_str(), TOOL_ENTRY_OTHER));
    if (links_) {
        EXPECT_TRUE(listed("link", TOOL_ENTRY_LINK));
        int directory = -1;
        ToolFileIdentity identity = {};
        ASSERT_EQ(tool_dirh_status(top.get(), "link", 1, &directory, &identity), 1);
        EXPECT_EQ(directory, 0); // a link to a directory is no directory of the walk
        EXPECT_TRUE(same(identity, identity_of(dir_.file("top/sub"))));
    }
    int directory = -1;
    ToolFileIdentity identity = {};
    ASSERT_EQ(tool_dirh_status(top.get(), "sub", 0, &directory, &identity), 1);
    EXPECT_EQ(directory, 1);
    EXPECT_TRUE(same(identity, identity_of(dir_.file("top/sub"))));
    errno = 0;
    EXPECT_EQ(tool_dirh_status(top.get(), "missing", 0, &directory, &identity), 0);
    EXPECT_EQ(errno, ENOENT);
}

TEST_F(DirHandle, ReleasedDirectoryIsTakenUpOnlyWhereItStillIs) {
    const Handle top(tool_dirh_open(dir_.file("top").string().c_str()));
    ASSERT_NE(top.get(), nullptr);
    const Handle sub(tool_dirh_open_below(top.get(), "sub", nullptr));
    ASSERT_NE(sub.get(), nullptr);
    tool_dirh_release(top.get());
    KeyedStringList entries = {0, nullptr, nullptr};
    EXPECT_EQ(tool_dirh_read(top.get(), &entries), -1); // released: nothing to read
    EXPECT_EQ(tool_dirh_resume(top.get(), sub.get()), 1);
    EXPECT_EQ(tool_dirh_read(top.get(), &entries), links_ ? 3 : 2);
    tool_keyed_strlist_free(&entries);

    const Handle deeper(tool_dirh_open_below(sub.get(), "deeper", nullptr));
    ASSERT_NE(deeper.get(), nullptr);
    tool_dirh_release(sub.get());
    std::error_code error;
    fs::rename(dir_.file("top/sub/deeper"), dir_.file("other/deeper"), error);
    if (error) {
        GTEST_SKIP() << "the system refuses to move a directory held open: " << error.message();
    }
    errno = -1;
    EXPECT_EQ(tool_dirh_resume(sub.get(), deeper.get()), 0); // its parent is "other" now
    EXPECT_EQ(errno, 0);
}

} // namespace
