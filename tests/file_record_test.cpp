// SPDX-License-Identifier: MIT
// A file's record kept outside its bytes: carried by a commit on both paths, never
// outliving the content it describes, copied into backups, and a commit that goes on
// where the file system keeps no records.
#include "libtools/tool_sys_io.h"
#include "support/file_system.h"
#include "support/memory_check.h"
#include "support/temp_dir.h"

#include <zlib.h>

#include <filesystem>
#include <string>

namespace fs = std::filesystem;

namespace {

struct Committed {
    int result = -2;
    int kept = -2;
    int status = -2;
    unsigned long long written_size = 0;
    unsigned long written_crc = 0;
};

class FileRecord : public LeakCheckedTest {
  protected:
    void TearDown() override {
        tool_record_fault(TOOL_RECORD_NONE);
        LeakCheckedTest::TearDown();
    }

    std::string path(const std::string &name) const { return dir.file(name).string(); }

    // Replaces `name` with `content` in two writes and, unless null, the record `record`.
    Committed replace(const std::string &name, const std::string &content, const char *record) {
        ToolReplacement r = {};
        Committed committed;
        if (tool_replace_open(&r, path(name).c_str())) {
            const unsigned half = static_cast<unsigned>(content.size() / 2);
            tool_replace_write(&r, content.data(), half);
            tool_replace_write(&r, content.data() + half,
                               static_cast<unsigned>(content.size()) - half);
            if (record != nullptr) {
                tool_replace_set_record(&r, record, std::string(record).size());
            }
            committed.written_size = r.written_size;
            committed.written_crc = r.written_crc;
            committed.result = tool_replace_commit(&r);
            committed.kept = r.record_kept;
            committed.status = r.record_status;
        }
        tool_replace_abandon(&r);
        return committed;
    }

    // The record of `name` as "<none>", "<unsupported>", "<failed>" or its text.
    std::string record_of(const std::string &name) const {
        char *text = nullptr;
        const int result = tool_file_read_record(path(name).c_str(), &text);
        const std::string found = text != nullptr ? text : "";
        tool_strfree(&text);
        switch (result) {
        case TOOL_RECORD_FOUND:
            return found;
        case TOOL_RECORD_NONE:
            return "<none>";
        case TOOL_RECORD_UNSUPPORTED:
            return "<unsupported>";
        default:
            return "<failed>";
        }
    }

    // Why records cannot be kept in the test's directory, or "".
    std::string records_unsupported() const {
        dir.write("probe", "");
        const int written = tool_file_write_record(path("probe").c_str(), "p", 1);
        fs::remove(dir.file("probe"));
        if (written == TOOL_RECORD_FOUND) {
            return "";
        }
        return written == TOOL_RECORD_UNSUPPORTED
                   ? "the file system here keeps no records (no user extended attributes; "
                     "no named streams, as on Wine's volumes)"
                   : "records cannot be written here";
    }

    // Two names for one file when `hard_link`: the commit then copies in place.
    bool make_target(const std::string &content, bool hard_link) const {
        dir.write("a.jnt", content);
        std::error_code error;
        if (hard_link) {
            fs::create_hard_link(dir.file("a.jnt"), dir.file("b.jnt"), error);
        }
        return !error;
    }

    TempDir dir;
};

unsigned long crc_of(const std::string &bytes) {
    return crc32(crc32(0L, Z_NULL, 0), reinterpret_cast<const Bytef *>(bytes.data()),
                 static_cast<uInt>(bytes.size()));
}

#define SKIP_WITHOUT_RECORDS()                                                                     \
    if (const std::string why = records_unsupported(); !why.empty())                               \
    GTEST_SKIP() << why

// Both ways a commit puts content in place: renamed over the target, or copied into a
// target that has a second name.
struct CommitPath {
    const char *name;
    bool hard_link;
};

class RecordOnPath : public FileRecord, public ::testing::WithParamInterface<CommitPath> {};

TEST_P(RecordOnPath, TravelsWithTheNewContentAndNamesItsBytes) {
    SKIP_WITHOUT_RECORDS();
    if (!make_target("shear_force 1\n", GetParam().hard_link)) {
        GTEST_SKIP() << "hard links cannot be created here";
    }
    const std::string content = "shear_force 1000.000000\nbending_moment 2\n";
    const Committed committed = replace("a.jnt", content, "first record\n");
    EXPECT_EQ(committed.result, TOOL_REPLACE_DONE);
    EXPECT_EQ(committed.kept, 1);
    EXPECT_EQ(committed.status, TOOL_RECORD_FOUND);
    EXPECT_EQ(dir.read("a.jnt"), content);
    EXPECT_EQ(record_of("a.jnt"), "first record\n");
    if (GetParam().hard_link) {
        EXPECT_EQ(record_of("b.jnt"), "first record\n") << "one file, one record";
    }
    // What the writes counted is what the file holds.
    EXPECT_EQ(committed.written_size, content.size());
    EXPECT_EQ(committed.written_crc, crc_of(content));
    unsigned long long size = 0;
    unsigned long crc = 0;
    ASSERT_EQ(tool_file_crc32(path("a.jnt").c_str(), &size, &crc), 1);
    EXPECT_EQ(size, content.size());
    EXPECT_EQ(crc, crc_of(content));

    // The next run reads it through its lock, and the stored bytes through a checked handle.
    ToolReplacement r = {};
    ASSERT_EQ(tool_replace_lock(&r, path("a.jnt").c_str()), TOOL_LOCK_DONE);
    char *text = nullptr;
    EXPECT_EQ(tool_replace_read_record(&r, &text), TOOL_RECORD_FOUND);
    EXPECT_STREQ(text, "first record\n");
    size = 0;
    crc = 0;
    EXPECT_EQ(tool_replace_target_crc32(&r, &size, &crc), 1);
    EXPECT_EQ(size, content.size());
    EXPECT_EQ(crc, crc_of(content));
    tool_strfree(&text);
    tool_replace_abandon(&r);
}

// The old content's record never outlives it: replaced by a new record, removed when
// none is set, removed when the new one cannot be written.
TEST_P(RecordOnPath, OldRecordNeverDescribesNewContent) {
    SKIP_WITHOUT_RECORDS();
    struct Case {
        const char *record;
        int fault;
        int status;
        const char *left;
    };
    const Case cases[] = {
        {"second record\n", TOOL_RECORD_NONE, TOOL_RECORD_FOUND, "second record\n"},
        {nullptr, TOOL_RECORD_NONE, TOOL_RECORD_NONE, "<none>"},
        {"second record\n", TOOL_RECORD_FAILED, TOOL_RECORD_FAILED, "<none>"},
    };
    for (const Case &c : cases) {
        if (!make_target("old\n", GetParam().hard_link)) {
            GTEST_SKIP() << "hard links cannot be created here";
        }
        ASSERT_EQ(replace("a.jnt", "converted once\n", "first record\n").kept, 1);
        tool_record_fault(c.fault);
        const Committed committed = replace("a.jnt", "converted twice\n", c.record);
        const std::string left = record_of("a.jnt");
        tool_record_fault(TOOL_RECORD_NONE);
        EXPECT_EQ(committed.result, TOOL_REPLACE_DONE);
        EXPECT_EQ(committed.status, c.status);
        EXPECT_EQ(committed.kept, c.status == TOOL_RECORD_FOUND ? 1 : 0);
        EXPECT_EQ(dir.read("a.jnt"), "converted twice\n");
        EXPECT_EQ(left, c.left);
        fs::remove(dir.file("a.jnt"));
        fs::remove(dir.file("b.jnt"));
    }
}

INSTANTIATE_TEST_SUITE_P(Paths, RecordOnPath,
                         ::testing::Values(CommitPath{"Rename", false},
                                           CommitPath{"CopyInPlace", true}),
                         [](const auto &info) { return std::string(info.param.name); });

// A file system without records never fails a commit; the caller learns why the record
// was not kept. The fault stands in for such a file system and for a failing write.
TEST_F(FileRecord, CommitGoesOnWhenTheRecordCannotBeKept) {
    const bool kept_here = records_unsupported().empty();
    for (const int fault : {TOOL_RECORD_UNSUPPORTED, TOOL_RECORD_FAILED}) {
        dir.write("a.jnt", "old\n");
        tool_record_fault(fault);
        const Committed committed = replace("a.jnt", "new\n", "record\n");
        EXPECT_EQ(committed.result, TOOL_REPLACE_DONE);
        EXPECT_EQ(committed.kept, 0);
        EXPECT_EQ(committed.status, fault);
        EXPECT_EQ(dir.read("a.jnt"), "new\n");
        // Reading says what the file system would: nothing kept, or after a failed write
        // no record (reads go on under that fault).
        EXPECT_EQ(record_of("a.jnt"),
                  fault == TOOL_RECORD_FAILED && kept_here ? "<none>" : "<unsupported>");
    }
}

// The same on a real file system that keeps no extended attributes, where one can be
// mounted (Wine's volumes are one already).
struct ScratchMount {
    fs::path place;
    ~ScratchMount() {
        if (!place.empty()) {
            unmount_scratch(place);
        }
    }
};

TEST_F(FileRecord, CommitOnAFileSystemWithoutRecords) {
    fs::path place = dir.path();
    ScratchMount mounted;
    if (records_unsupported().empty()) {
        place = dir.file("scratch");
        fs::create_directory(place);
        if (const std::string why = mount_without_records(place); !why.empty()) {
            GTEST_SKIP() << why;
        }
        mounted.place = place;
    }
    const fs::path file = place / "a.jnt";
    {
        std::FILE *out = std::fopen(file.string().c_str(), "wb");
        ASSERT_NE(out, nullptr);
        std::fclose(out);
    }
    ToolReplacement r = {};
    ASSERT_EQ(tool_replace_open(&r, file.string().c_str()), 1);
    ASSERT_EQ(tool_replace_write(&r, "new\n", 4), 1);
    ASSERT_EQ(tool_replace_set_record(&r, "record\n", 7), 1);
    EXPECT_EQ(tool_replace_commit(&r), TOOL_REPLACE_DONE);
    EXPECT_EQ(r.record_kept, 0);
    EXPECT_EQ(r.record_status, TOOL_RECORD_UNSUPPORTED);
    char *text = nullptr;
    EXPECT_EQ(tool_replace_read_record(&r, &text), TOOL_RECORD_UNSUPPORTED);
    EXPECT_EQ(text, nullptr);
    tool_replace_abandon(&r);
    EXPECT_EQ(tool_file_read_record(file.string().c_str(), &text), TOOL_RECORD_UNSUPPORTED);
    fs::remove(file);
}

// A backup holds the bytes its record describes, so it carries that record; a backup of
// a file without one carries none, also where it replaces an older backup that had one.
TEST_F(FileRecord, BackupCarriesTheRecordOfTheBytesItHolds) {
    SKIP_WITHOUT_RECORDS();
    dir.write("a.jnt", "old\n");
    ASSERT_EQ(replace("a.jnt", "converted\n", "record of converted\n").kept, 1);
    ASSERT_EQ(tool_backup_file(path("a.jnt").c_str(), "~"), 1);
    EXPECT_EQ(dir.read("a.jnt~"), "converted\n");
    EXPECT_EQ(record_of("a.jnt~"), "record of converted\n");

    ASSERT_EQ(tool_file_remove_record(path("a.jnt").c_str()), TOOL_RECORD_FOUND);
    ASSERT_EQ(tool_backup_file(path("a.jnt").c_str(), "~"), 1);
    EXPECT_EQ(record_of("a.jnt~"), "<none>");
}

// What a record may hold: text of bounded size. Anything else is refused and changes
// nothing; a null record sets none.
TEST_F(FileRecord, SetRecordTakesTextOnly) {
    ToolReplacement r = {};
    const std::string too_long(TOOL_RECORD_MAX_SIZE + 1, 'x');
    EXPECT_EQ(tool_replace_set_record(&r, "kept", 4), 1);
    EXPECT_EQ(tool_replace_set_record(&r, "a\0b", 3), 0);
    EXPECT_EQ(tool_replace_set_record(&r, too_long.data(), too_long.size()), 0);
    EXPECT_EQ(tool_replace_set_record(nullptr, "x", 1), 0);
    ASSERT_NE(r.record, nullptr);
    EXPECT_STREQ(r.record, "kept");
    EXPECT_EQ(tool_replace_set_record(&r, "longer text", 6), 1);
    EXPECT_STREQ(r.record, "longer") << "the size counts, not a terminator";
    EXPECT_EQ(tool_replace_set_record(&r, nullptr, 0), 1);
    EXPECT_EQ(r.record, nullptr);
    tool_replace_abandon(&r);
    // The path-based writer keeps the same rules.
    dir.write("a.jnt", "x");
    EXPECT_EQ(tool_file_write_record(path("a.jnt").c_str(), "a\0b", 3), TOOL_RECORD_FAILED);
    EXPECT_EQ(tool_file_write_record(nullptr, "a", 1), TOOL_RECORD_FAILED);
}

// A stored value that is no text comes back as "", never cut at its zero byte.
TEST_F(FileRecord, ValueWithAZeroByteReadsAsEmpty) {
    dir.write("a.jnt", "x");
    const std::string value("joint2si-record 1\n\0tail", 23);
    if (const std::string why = set_extended_attribute(dir.file("a.jnt"), "user.joint2si", value);
        !why.empty()) {
        GTEST_SKIP() << why;
    }
    EXPECT_EQ(record_of("a.jnt"), "");
}

// Without a locked or readable file there is nothing to read, and nothing is left behind.
TEST_F(FileRecord, ReadsWithoutAFileFail) {
    char *text = nullptr;
    ToolReplacement unlocked = {};
    unsigned long long size = 0;
    unsigned long crc = 0;
    EXPECT_EQ(tool_replace_read_record(&unlocked, &text), TOOL_RECORD_FAILED);
    EXPECT_EQ(tool_file_read_record(path("missing").c_str(), &text), TOOL_RECORD_FAILED);
    EXPECT_EQ(text, nullptr);
    EXPECT_EQ(tool_replace_target_crc32(&unlocked, &size, &crc), 0);
    EXPECT_EQ(tool_file_crc32(dir.path().string().c_str(), &size, &crc), 0) << "a directory";
}

// Every allocation of a read may fail: the slot is then null and nothing leaks.
TEST_F(FileRecord, ReadSurvivesEveryAllocationFailure) {
    SKIP_WITHOUT_RECORDS();
    dir.write("a.jnt", "x");
    ASSERT_EQ(tool_file_write_record(path("a.jnt").c_str(), "record\n", 7), TOOL_RECORD_FOUND);
    char *text = nullptr;
    int result = 0;
    for_each_allocation_failure(
        [&] {
            capture_stderr([&] { result = tool_file_read_record(path("a.jnt").c_str(), &text); });
        },
        [&](int n) {
            EXPECT_EQ(result, TOOL_RECORD_FAILED) << n;
            EXPECT_EQ(text, nullptr) << n;
        });
    EXPECT_EQ(result, TOOL_RECORD_FOUND);
    EXPECT_STREQ(text, "record\n");
    tool_strfree(&text);
}

} // namespace
