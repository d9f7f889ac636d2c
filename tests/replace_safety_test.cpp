// SPDX-License-Identifier: MIT
// The locking, refusals, leftover handling and in-place sizing of the safe
// replacement, and the line reader's stop at a zero byte.
#include "libtools/tool_sys_io.h"
#include "support/file_system.h"
#include "support/gzip_data.h"
#include "support/memory_check.h"
#include "support/temp_dir.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <future>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

enum { kResize = 4, kDirectorySync = 6 };

class ReplaceSafety : public LeakCheckedTest {
  protected:
    void TearDown() override {
        for (int operation = 0; operation <= kDirectorySync; ++operation) {
            tool_replace_fail_nth(operation, 0);
        }
        LeakCheckedTest::TearDown();
    }
    std::string path(const std::string &name) const { return dir.file(name).string(); }
    TempDir dir;
};

// Whether files in `dir` keep records (and so the marks of replacement files).
bool keeps_marks(const TempDir &dir) {
    dir.write("probe", "x");
    const bool keeps =
        tool_file_write_record(dir.file("probe").string().c_str(), "x", 1) == TOOL_RECORD_FOUND;
    fs::remove(dir.file("probe"));
    return keeps;
}

// Leaves the replacement file of `r` behind as a killed run would: under the second
// name `name` (a hard link: the same file, mark and all), no longer locked. False when
// no hard link can be made here.
bool leave_behind(ToolReplacement *r, const TempDir &dir, const std::string &name) {
    std::error_code error;
    fs::create_hard_link(r->temporary, dir.file(name), error);
    tool_replace_abandon(r);
    return !error;
}

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

// Runs `open` on a thread of its own and ends the test program when it has not
// returned within a few seconds: an open that waits for a FIFO's writer must fail the
// run, not hang it.
int within_seconds(const std::function<int()> &open) {
    auto result = std::async(std::launch::async, open);
    if (result.wait_for(std::chrono::seconds(10)) != std::future_status::ready) {
        std::fprintf(stderr, "FAILED: an open of a checked name blocked\n");
        std::_Exit(1);
    }
    return result.get();
}

// The name of a locked file given to something else before the file is opened for
// reading: the open must take only the locked file, and never wait.
TEST_F(ReplaceSafety, InputOpensOnlyTheLockedFileAndNeverWaits) {
    const std::string why_no_fifo = make_fifo(dir.file("fifo"));
    const std::string packed = gzip_bytes("shear_force 1\n", 9);
    const struct {
        const char *name_becomes; // "": stays; else the file moved over the name
        std::string content;
        int expected;
        int level;
    } cases[] = {{"", "shear_force 1\n", TOOL_LOCK_DONE, 0},
                 {"", packed, TOOL_LOCK_DONE, 9},
                 {"other", "shear_force 2\n", TOOL_LOCK_CANNOT_OPEN, 0},
                 {"fifo", "shear_force 1\n", TOOL_LOCK_NOT_REGULAR, 0}};
    for (const auto &c : cases) {
        if (std::string(c.name_becomes) == "fifo" && !why_no_fifo.empty()) {
            continue; // no FIFO on this system
        }
        dir.write("a.jnt", c.content);
        ToolReplacement r = {};
        ASSERT_EQ(tool_replace_lock(&r, path("a.jnt").c_str()), TOOL_LOCK_DONE);
        if (*c.name_becomes != '\0') {
            if (std::string(c.name_becomes) == "other") {
                dir.write("other", c.content);
            }
            std::error_code refused;
            fs::rename(dir.file(c.name_becomes), dir.file("a.jnt"), refused);
            if (refused) { // a system that keeps the name of an open file
                tool_replace_abandon(&r);
                continue;
            }
        }
        ToolStream input = nullptr;
        const int opened = within_seconds(
            [&] { return tool_replace_input(&r, path("a.jnt").c_str(), "r+b", &input); });
        EXPECT_EQ(opened, c.expected) << c.name_becomes;
        EXPECT_EQ(input == nullptr, c.expected != TOOL_LOCK_DONE) << c.name_becomes;
        EXPECT_EQ(zfile_stream_gzip_level(input), c.level) << c.name_becomes;
        char text[32] = {};
        EXPECT_EQ(tool_fread(text, 1, sizeof text - 1, input), input == nullptr ? 0 : 14);
        tool_fclose(&input);
        tool_replace_abandon(&r);
        fs::remove(dir.file("a.jnt"));
    }
    ToolStream none = nullptr;
    EXPECT_EQ(tool_replace_input(nullptr, "a.jnt", "rb", &none), TOOL_LOCK_CANNOT_OPEN);
}

// A gzip stream reads the file it opened to its end, members and what follows them
// included, without opening its name again: a FIFO moved over the name meanwhile is
// never waited for, and the file still reads whole.
TEST_F(ReplaceSafety, GzipInputNeverOpensItsNameAgain) {
    if (!make_fifo(dir.file("fifo")).empty()) {
        GTEST_SKIP() << "no FIFO on this system";
    }
    dir.write("a.jnt", gzip_bytes("shear_force 1\n"));
    ToolReplacement r = {};
    ASSERT_EQ(tool_replace_lock(&r, path("a.jnt").c_str()), TOOL_LOCK_DONE);
    ToolStream input = nullptr;
    ASSERT_EQ(tool_replace_input(&r, path("a.jnt").c_str(), "rb", &input), TOOL_LOCK_DONE);
    fs::rename(dir.file("fifo"), dir.file("a.jnt"));
    char text[32] = {};
    EXPECT_EQ(within_seconds([&] { return tool_fread(text, 1, sizeof text, input); }), 14);
    EXPECT_EQ(within_seconds([&] { return tool_ferror(input); }), 0);
    tool_fclose(&input);
    tool_replace_abandon(&r);
}

// The finished content of an in-place copy taken away and a FIFO put in its place:
// the copy must give up at once, with the target untouched.
TEST_F(ReplaceSafety, InPlaceCopyNeverWaitsForWhatTookTheReplacementsName) {
    std::error_code error;
    dir.write("a.jnt", "old\n");
    fs::create_hard_link(dir.file("a.jnt"), dir.file("b.jnt"), error);
    if (error || !make_fifo(dir.file("fifo")).empty()) {
        GTEST_SKIP() << "needs hard links and FIFOs";
    }
    ToolReplacement r = {};
    ASSERT_EQ(tool_replace_open(&r, path("a.jnt").c_str()), 1);
    ASSERT_EQ(r.in_place, 1);
    ASSERT_EQ(tool_replace_write(&r, "new\n", 4), 1);
    fs::rename(dir.file("fifo"), r.temporary);
    EXPECT_EQ(within_seconds([&] { return tool_replace_commit(&r); }), TOOL_REPLACE_FAILED);
    tool_replace_abandon(&r);
    EXPECT_EQ(dir.read("a.jnt"), "old\n");
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

// A target whose path nearly fills the limit (MAX_PATH on Windows) and whose name is
// shorter than a replacement's: the replacement still goes beside it, longer path and
// all, so the target is renamed over (or, with a second link, copied from beside it)
// and a leftover there is still swept.
TEST_F(ReplaceSafety, PathNearTheLimitStillGetsItsReplacementBeside) {
    const std::size_t limit = std::min<std::size_t>(path_limit(), 260);
    const std::string base = fs::absolute(dir.path()).string();
    for (const std::size_t length : {limit - 1, limit - 10}) {
        // base, separator, directory, separator, "a.jnt": `length` characters
        ASSERT_LT(base.size() + 8, length);
        const std::string sub(length - base.size() - 7, static_cast<char>('c' + length % 20));
        fs::create_directory(dir.file(sub));
        const std::string target = (dir.path() / sub / "a.jnt").string();
        ASSERT_EQ(fs::absolute(target).string().size(), length);
        dir.write(sub + "/a.jnt", "old\n");
        ToolReplacement left = {};
        ASSERT_EQ(tool_replace_open(&left, target.c_str()), 1) << length;
        const bool linked = leave_behind(&left, dir, sub + "/.j2si~rabcd1234");
        const bool swept = linked && keeps_marks(dir);
        StringList kept = {0, nullptr};
        EXPECT_EQ(tool_replace_sweep((dir.path() / sub).string().c_str(), &kept), swept ? 1 : 0)
            << length;
        tool_strlist_free(&kept);
        std::error_code gone;
        fs::remove(dir.file(sub + "/.j2si~rabcd1234"), gone); // what no sweep could prove its own
        for (const bool second_link : {false, true}) {
            dir.write(sub + "/a.jnt", "old\n");
            std::error_code error;
            if (second_link) {
                fs::create_hard_link(target, dir.file(sub + "/b.jnt"), error);
            }
            if (error) {
                continue; // no hard links here
            }
            ToolReplacement r = {};
            ASSERT_EQ(tool_replace_open(&r, target.c_str()), 1) << length;
            EXPECT_EQ(r.in_place, second_link ? 1 : 0) << length;
            EXPECT_EQ(fs::path(r.temporary).parent_path(), fs::path(r.target).parent_path());
            ASSERT_EQ(tool_replace_write(&r, "new\n", 4), 1);
            EXPECT_EQ(tool_replace_commit(&r), TOOL_REPLACE_DONE) << length;
            // A renamed replacement has no name of its own left. (At the very limit a
            // system whose move makes a scratch file of its own may copy instead.)
            if (!second_link && length < limit - 5) {
                EXPECT_EQ(r.temporary, nullptr) << length << ": not renamed";
            }
            tool_replace_abandon(&r);
            EXPECT_EQ(dir.read(sub + "/a.jnt"), "new\n") << length;
            fs::remove(dir.file(sub + "/b.jnt"));
            const auto entries =
                std::distance(fs::directory_iterator(dir.file(sub)), fs::directory_iterator());
            EXPECT_EQ(entries, 1) << "nothing is left beside the target";
        }
    }
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

// A replacement still being written holds its writer's lock from before it has a name,
// whether it is to be renamed or copied: a sweep by another run leaves it alone.
TEST_F(ReplaceSafety, SweepLeavesReplacementsStillBeingWritten) {
    dir.write("a.jnt", "old\n");
    dir.write("b.jnt", "old\n");
    std::error_code error;
    fs::create_hard_link(dir.file("b.jnt"), dir.file("b2.jnt"), error); // b.jnt is copied into
    for (const char *name : {"a.jnt", "b.jnt"}) {
        ToolReplacement r = {};
        ASSERT_EQ(tool_replace_open(&r, path(name).c_str()), 1) << name;
        ASSERT_EQ(tool_replace_write(&r, "new\n", 4), 1);
        StringList kept = {0, nullptr};
        const std::string directory = fs::path(r.temporary).parent_path().string();
        EXPECT_EQ(tool_replace_sweep(directory.c_str(), &kept), 0) << name;
        tool_strlist_free(&kept);
        EXPECT_TRUE(fs::exists(r.temporary)) << name;
        EXPECT_EQ(tool_replace_commit(&r), TOOL_REPLACE_DONE) << name;
        tool_replace_abandon(&r);
        EXPECT_EQ(dir.read(name), "new\n");
    }
}

TEST_F(ReplaceSafety, SweepRemovesOnlyFilesMarkedAsItsOwnThatNoTargetNeeds) {
    // Files of users that merely have the form of a replacement's name.
    for (const char *name : {".j2si~rabcd1234", ".j2si~cabcd1234", ".j2si~r-bcd1234", "a.jnt"}) {
        dir.write(name, "x");
    }
    dir.write("b.jnt", "old\n");
    std::error_code error;
    fs::create_hard_link(dir.file("b.jnt"), dir.file("b2.jnt"), error);
    if (error) {
        GTEST_SKIP() << "hard links cannot be created here: " << error.message();
    }
    // A run ended while writing a replacement to be renamed, one while writing a copy,
    // and one while copying the complete new content into its target.
    ToolReplacement renamed = {};
    ASSERT_EQ(tool_replace_open(&renamed, path("a.jnt").c_str()), 1);
    ASSERT_TRUE(leave_behind(&renamed, dir, ".j2si~rwriting0"));
    ToolReplacement partial = {};
    ASSERT_EQ(tool_replace_open(&partial, path("b.jnt").c_str()), 1);
    ASSERT_EQ(partial.in_place, 1);
    ASSERT_TRUE(leave_behind(&partial, dir, ".j2si~cwriting0"));
    ToolReplacement torn = {};
    ASSERT_EQ(tool_replace_open(&torn, path("b.jnt").c_str()), 1);
    ASSERT_EQ(tool_replace_write(&torn, "new\n", 4), 1);
    tool_replace_fail_nth(0, 1); // the first write of the copy into the target
    ASSERT_EQ(tool_replace_commit(&torn), TOOL_REPLACE_KEPT);
    const std::string complete = fs::path(torn.temporary).filename().string();
    const ToolFileIdentity target = torn.identity;
    tool_replace_abandon(&torn);

    const bool marks = keeps_marks(dir);
    StringList kept = {0, nullptr};
    EXPECT_EQ(tool_replace_sweep(dir.path().string().c_str(), &kept), marks ? 2 : 0);
    std::vector<std::string> listed;
    for (int i = 0; i < kept.count; ++i) {
        listed.push_back(fs::path(kept.items[i]).filename().string());
    }
    tool_strlist_free(&kept);
    // Without marks every copy may be one with the only complete text: all are kept.
    std::vector<std::string> expected = {".j2si~cabcd1234", complete};
    if (!marks) {
        expected.push_back(".j2si~cwriting0");
    }
    std::sort(listed.begin(), listed.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(listed, expected);
    std::vector<std::string> left;
    for (const auto &entry : fs::directory_iterator(dir.path())) {
        left.push_back(entry.path().filename().string());
    }
    std::sort(left.begin(), left.end());
    expected.insert(expected.end(),
                    {".j2si~rabcd1234", ".j2si~r-bcd1234", "a.jnt", "b.jnt", "b2.jnt"});
    if (!marks) {
        expected.push_back(".j2si~rwriting0");
    }
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(left, expected);
    EXPECT_EQ(tool_replace_sweep(nullptr, nullptr), 0);

    // The kept copy names the file it was to be copied into; the user's file names none.
    ToolFileIdentity identity = {};
    char *target_path = nullptr;
    EXPECT_EQ(tool_replace_copy_target(path(complete).c_str(), &identity, &target_path),
              marks ? 1 : 0);
    if (marks) {
        EXPECT_EQ(identity.device, target.device);
        EXPECT_EQ(identity.index, target.index);
        EXPECT_EQ(fs::path(target_path).filename().string(), "b.jnt");
    }
    EXPECT_EQ(tool_replace_copy_target(path(".j2si~cabcd1234").c_str(), &identity, &target_path),
              0);
    tool_strfree(&target_path);
    EXPECT_EQ(tool_replace_copy_target(nullptr, &identity, &target_path), 0);
}

// Another program that writes the file without taking the lock while it is converted:
// the commit leaves the file as that program left it.
TEST_F(ReplaceSafety, CommitRefusesATargetChangedSinceItWasLocked) {
    const struct {
        const char *change;
        std::function<bool(const TempDir &)> make;
        const char *left; // the file's content after the commit
    } cases[] = {
        {"none", [](const TempDir &) { return true; }, "new\n"},
        {"append",
         [](const TempDir &d) {
             std::ofstream out(d.file("a.jnt"), std::ios::binary | std::ios::app);
             out << "more\n";
             out.close();
             return !out.fail();
         },
         "old\nmore\n"},
        {"truncate",
         [](const TempDir &d) {
             std::error_code error;
             fs::resize_file(d.file("a.jnt"), 2, error);
             return !error;
         },
         "ol"},
        {"rename over",
         [](const TempDir &d) {
             d.write("other.jnt", "other\n");
             std::error_code error;
             fs::rename(d.file("other.jnt"), d.file("a.jnt"), error);
             return !error;
         },
         "other\n"},
    };
    for (const auto &c : cases) {
        dir.write("a.jnt", "old\n");
        ToolReplacement r = {};
        ASSERT_EQ(tool_replace_open(&r, path("a.jnt").c_str()), 1) << c.change;
        ASSERT_EQ(tool_replace_write(&r, "new\n", 4), 1);
        if (!c.make(dir)) {
            tool_replace_abandon(&r);
            GTEST_SKIP() << "the lock keeps other programs from changing the file here: "
                         << c.change;
        }
        const bool unchanged = std::string(c.change) == "none";
        EXPECT_EQ(tool_replace_commit(&r), unchanged ? TOOL_REPLACE_DONE : TOOL_REPLACE_FAILED)
            << c.change;
        EXPECT_EQ(r.changed, unchanged ? 0 : 1) << c.change;
        tool_replace_abandon(&r);
        EXPECT_EQ(dir.read("a.jnt"), c.left) << c.change;
        EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1)
            << c.change << ": the replacement goes";
    }
}

// The file is new once renamed; a failed sync of its directory is told, not ignored.
TEST_F(ReplaceSafety, FailedDirectorySyncIsToldAfterTheRename) {
    dir.write("a.jnt", "old\n");
    ToolReplacement r = {};
    ASSERT_EQ(tool_replace_open(&r, path("a.jnt").c_str()), 1);
    ASSERT_EQ(tool_replace_write(&r, "new\n", 4), 1);
    tool_replace_fail_nth(kDirectorySync, 1);
    EXPECT_EQ(tool_replace_commit(&r), TOOL_REPLACE_DONE);
    EXPECT_EQ(r.unsynced, 1);
    EXPECT_EQ(r.sync_error, EIO);
    tool_replace_abandon(&r);
    EXPECT_EQ(dir.read("a.jnt"), "new\n");
    tool_replace_fail_nth(kDirectorySync, 1);
    EXPECT_EQ(tool_sync_directory(dir.path().string().c_str()), 0);
    EXPECT_EQ(errno, EIO);
    EXPECT_EQ(tool_sync_directory(dir.path().string().c_str()), 1);
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
