// The locking, refusals, leftover handling and in-place sizing of the safe
// replacement, and the line reader's stop at a zero byte.
#include "libtools/tool_sys_io.h"
#include "support/file_system.h"
#include "support/memory_check.h"
#include "support/temp_dir.h"

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

enum { kResize = 4 };

class ReplaceSafety : public LeakCheckedTest {
  protected:
    void TearDown() override {
        tool_replace_fail_nth(kResize, 0);
        LeakCheckedTest::TearDown();
    }
    std::string path(const std::string &name) const { return dir.file(name).string(); }
    TempDir dir;
};

TEST_F(ReplaceSafety, LockRefusesWhatIsNoRegularFile) {
    dir.write("a.jnt", "x\n");
    fs::create_directory(dir.file("sub"));
    const std::string why_no_fifo = make_fifo(dir.file("fifo.jnt"));
    const struct {
        const char *name;
        int expected;
    } cases[] = {{"a.jnt", TOOL_LOCK_DONE},
                 {"sub", TOOL_LOCK_CANNOT_OPEN},
                 {"missing.jnt", TOOL_LOCK_CANNOT_OPEN},
                 {"fifo.jnt", why_no_fifo.empty() ? TOOL_LOCK_NOT_REGULAR : TOOL_LOCK_CANNOT_OPEN}};
    for (const auto &c : cases) {
        ToolReplacement r = {};
        EXPECT_EQ(tool_replace_lock(&r, path(c.name).c_str()), c.expected) << c.name;
        EXPECT_EQ(r.target == nullptr, c.expected != TOOL_LOCK_DONE) << c.name;
        tool_replace_abandon(&r);
    }
    ToolReplacement r = {};
    EXPECT_EQ(tool_replace_lock(&r, nullptr) + tool_replace_lock(nullptr, "a.jnt"),
              2 * TOOL_LOCK_CANNOT_OPEN);
}

// A full disk met while the hard-linked target is sized: nothing has changed yet.
TEST_F(ReplaceSafety, InPlaceCopyThatCannotSizeTheTargetLeavesItWhole) {
    dir.write("a.jnt", "old\n");
    std::error_code error;
    fs::create_hard_link(dir.file("a.jnt"), dir.file("b.jnt"), error);
    if (error) {
        GTEST_SKIP() << "hard links cannot be created here: " << error.message();
    }
    ToolReplacement r = {};
    ASSERT_EQ(tool_replace_open(&r, path("a.jnt").c_str()), 1);
    EXPECT_EQ(r.in_place, 1);
    const std::string longer(100000, 'n');
    ASSERT_EQ(tool_replace_write(&r, longer.data(), static_cast<unsigned>(longer.size())), 1);
    tool_replace_fail_nth(kResize, 1);
    EXPECT_EQ(tool_replace_commit(&r), TOOL_REPLACE_FAILED);
    tool_replace_abandon(&r);
    EXPECT_EQ(dir.read("b.jnt"), "old\n");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 2);
}

TEST_F(ReplaceSafety, ReplacementNamesAreShortAndRecognised) {
    dir.write("a.jnt", "x\n");
    ToolReplacement r = {};
    ASSERT_EQ(tool_replace_open(&r, path("a.jnt").c_str()), 1);
    const std::string name = fs::path(r.temporary).filename().string();
    EXPECT_EQ(tool_is_replacement_name(name.c_str()), 1) << name;
    EXPECT_LE(name.size(), 15u);
    tool_replace_abandon(&r);
    const struct {
        const char *name;
        int expected;
    } cases[] = {{".j2si~rabcd1234", 1},
                 {".j2si~c0000zzzz", 1},
                 {".j2si~xabcd1234", 0},
                 {".j2si~rABCD1234", 0},
                 {".j2si~rabcd123", 0},
                 {".j2si~rabcd12345", 0},
                 {"j2si~rabcd1234", 0},
                 {"a.jnt", 0},
                 {"", 0},
                 {nullptr, 0}};
    for (const auto &c : cases) {
        EXPECT_EQ(tool_is_replacement_name(c.name), c.expected) << (c.name ? c.name : "<null>");
    }
}

TEST_F(ReplaceSafety, SweepRemovesAbandonedRenameFilesAndListsInPlaceOnes) {
    for (const char *name : {".j2si~rabcd1234", ".j2si~cabcd1234", ".j2si~rABCD1234", "a.jnt"}) {
        dir.write(name, "x");
    }
    StringList kept = {0, nullptr};
    EXPECT_EQ(tool_replace_sweep(dir.path().string().c_str(), &kept), 1);
    ASSERT_EQ(kept.count, 1);
    EXPECT_EQ(fs::path(kept.items[0]).filename().string(), ".j2si~cabcd1234");
    tool_strlist_free(&kept);
    std::vector<std::string> left;
    for (const auto &entry : fs::directory_iterator(dir.path())) {
        left.push_back(entry.path().filename().string());
    }
    std::sort(left.begin(), left.end());
    EXPECT_EQ(left, (std::vector<std::string>{".j2si~cabcd1234", ".j2si~rABCD1234", "a.jnt"}));
    EXPECT_EQ(tool_replace_sweep(nullptr, nullptr), 0);
}

TEST_F(ReplaceSafety, ZeroByteStopsTheReaderAtOnceWhenAskedTo) {
    dir.write("z.txt", std::string("ab\0cd\nef\n", 9));
    for (const bool stop : {true, false}) {
        ToolStream stream = tool_fopen(path("z.txt").c_str(), "rb");
        ASSERT_NE(stream, nullptr);
        tool_read_line_clear_status();
        char *line =
            tool_read_line(stream, nullptr, stop ? TOOL_READ_LINE_STOP_AT_ZERO_BYTE : 0, 1);
        EXPECT_EQ(line == nullptr, stop);
        EXPECT_EQ(tool_read_line_status(), TOOL_READ_LINE_ZERO_BYTE);
        EXPECT_EQ(tool_ftell(stream), stop ? 3 : 6) << "bytes read";
        tool_strfree(&line);
        tool_fclose(&stream);
    }
}

} // namespace
