// SPDX-License-Identifier: MIT
#include "libtools/tool_sys_io.h"
#include "libtools/zfile.h"
#include "support/gzip_data.h"
#include "support/memory_check.h"
#include "support/process_control.h"
#include "support/temp_dir.h"

#include <zlib.h>

#include <cstdio>
#include <iterator>
#include <random>
#include <string>
#include <thread>
#include <vector>

namespace {

const std::string kText = "shear_force 12.5 kN\nbending_moment 3 kNm\n";

bool is_gzip(const std::string &data) {
    return data.size() >= 2 && data[0] == '\x1f' && data[1] == '\x8b';
}

// The gzip header's XFL byte: 4 when zlib compressed at its fastest level.
int gzip_extra_flags(const std::string &data) {
    return static_cast<unsigned char>(data.at(8));
}

class ZfileTest : public LeakCheckedTest {
  protected:
    std::string path(const std::string &name) const { return dir_.file(name).string(); }

    // The whole content of a stream read with tool_fread.
    static std::string read_all(ToolStream stream) {
        std::string text;
        char chunk[256];
        int got = 0;
        while ((got = tool_fread(chunk, 1, sizeof chunk, stream)) > 0) {
            text.append(chunk, static_cast<std::size_t>(got));
        }
        return text;
    }

    TempDir dir_;
};

TEST_F(ZfileTest, ModeWithoutZ) {
    EXPECT_STREQ(zfile_mode_without_z("rz"), "r");
    EXPECT_STREQ(zfile_mode_without_z("zw+zb"), "w+b");
    EXPECT_STREQ(zfile_mode_without_z(nullptr), "");
    EXPECT_EQ(std::string(zfile_mode_without_z("rrrrrrrrrrrrrrrrrrrrrrrrrrrrrrrrrr")).size(), 19u);
}

struct KindCase {
    const char *content; // null: no file
    const char *mode;
    bool opens;
    bool compressed;
};

TEST_F(ZfileTest, KindFollowsModeAndFirstBytes) {
    const std::string gzip = gzip_bytes(kText);
    const KindCase cases[] = {
        {nullptr, "r", false, false},
        {nullptr, "rz", false, false},
        {nullptr, "a", true, false},
        {nullptr, "az", true, true},
        {"", "r", true, false},
        {"", "rz", true, true},
        {"", "a", true, false},
        {"", "az", true, true},
        {gzip.c_str(), "r", true, true},
        {gzip.c_str(), "r+", true, true},
        {gzip.c_str(), "a", true, true},
        {gzip.c_str(), "w", true, false},
        {gzip.c_str(), "w+", true, false},
        {"plain", "rz", true, false},
        {"\x1f\x8c", "rz", true, false},
        {"\x1f", "r", true, false},
        {"plain", "wz", true, true},
        {"plain", "z", false, false},
    };
    for (const KindCase &c : cases) {
        const std::string name = path("kind");
        std::remove(name.c_str());
        if (c.content != nullptr) {
            dir_.write("kind", c.content);
        }
        ToolStream stream = tool_fopen(name.c_str(), c.mode);
        const std::string label = std::string(c.content ? "file " : "missing ") + c.mode;
        EXPECT_EQ(stream != nullptr, c.opens) << label;
        EXPECT_EQ(zfile_is_compressed(stream) != 0, c.compressed) << label;
        tool_fclose(&stream);
    }
}

TEST_F(ZfileTest, GzipFileReadsDecompressedAndRewritesPlain) {
    dir_.write("j.gz", gzip_bytes(kText));
    ToolStream in = tool_fopen(path("j.gz").c_str(), "r+");
    ASSERT_NE(in, nullptr);
    EXPECT_EQ(read_all(in), kText);
    EXPECT_EQ(tool_ferror(in), 0);
    EXPECT_EQ(tool_fclose(&in), 1);

    ToolStream out = tool_fopen(path("j.gz").c_str(), "w");
    ASSERT_NE(out, nullptr);
    EXPECT_EQ(zfile_is_compressed(out), 0);
    tool_fprintf(out, "%s", "plain now\n");
    EXPECT_EQ(tool_fclose(&out), 1);
    EXPECT_EQ(dir_.read("j.gz"), std::string("plain now") + text_line_end());
}

TEST_F(ZfileTest, WritingModesRoundTrip) {
    struct Row {
        const char *mode;
        bool compressed;
    };
    for (const Row row : {Row{"w", false}, Row{"w+", false}, Row{"wb", false}, Row{"wz", true},
                          Row{"w+z", true}, Row{"az", true}, Row{"a+z", true}, Row{"a", false}}) {
        const std::string name = path(std::string("out-") + row.mode);
        ToolStream out = tool_fopen(name.c_str(), row.mode);
        ASSERT_NE(out, nullptr) << row.mode;
        EXPECT_EQ(tool_fwrite(kText.data(), 1, static_cast<int>(kText.size()), out),
                  static_cast<int>(kText.size()));
        EXPECT_EQ(tool_fclose(&out), 1);

        const std::string raw = dir_.read(std::string("out-") + row.mode);
        EXPECT_EQ(is_gzip(raw), row.compressed) << row.mode;
        if (row.compressed) {
            EXPECT_EQ(gzip_extra_flags(raw), 4) << row.mode << ": not level 1";
        }
        ToolStream in = tool_fopen(name.c_str(), "r");
        EXPECT_EQ(read_all(in), kText) << row.mode;
        tool_fclose(&in);
    }
}

TEST_F(ZfileTest, AppendingToGzipDataAddsACompressedMember) {
    for (const char *mode : {"a", "a+", "az"}) {
        dir_.write("log.gz", gzip_bytes("first\n", 9));
        ToolStream out = tool_fopen(path("log.gz").c_str(), mode);
        ASSERT_NE(out, nullptr) << mode;
        EXPECT_EQ(zfile_is_compressed(out), 1) << mode;
        tool_fprintf(out, "second\n");
        EXPECT_EQ(tool_fclose(&out), 1);
        EXPECT_EQ(gunzip_bytes(dir_.read("log.gz")), "first\nsecond\n") << mode;
    }
}

TEST_F(ZfileTest, UpdateModeNeedsAWritableFile) {
    dir_.write("ro.gz", gzip_bytes(kText));
    dir_.write("ro.txt", kText);
    namespace fs = std::filesystem;
    for (const char *name : {"ro.gz", "ro.txt"}) {
        fs::permissions(dir_.file(name), fs::perms::owner_read, fs::perm_options::replace);
    }
    if (std::FILE *probe = std::fopen(path("ro.txt").c_str(), "r+")) {
        std::fclose(probe);
        GTEST_SKIP() << "permissions are not enforced for this user";
    }
    EXPECT_EQ(tool_fopen(path("ro.gz").c_str(), "r+"), nullptr);
    EXPECT_EQ(tool_fopen(path("ro.txt").c_str(), "r+"), nullptr);
    ToolStream in = tool_fopen(path("ro.gz").c_str(), "r");
    EXPECT_EQ(read_all(in), kText);
    tool_fclose(&in);
}

TEST_F(ZfileTest, RegistryWithTwoCompressedStreams) {
    dir_.write("a.gz", gzip_bytes("a"));
    dir_.write("b.gz", gzip_bytes("b"));
    ToolStream older = zfile_open(path("a.gz").c_str(), "r");
    ToolStream newer = zfile_open(path("b.gz").c_str(), "r");
    ASSERT_NE(older, nullptr);
    ASSERT_NE(newer, nullptr);
    EXPECT_EQ(zfile_is_compressed(older), 1); // found by walking past the newer one
    EXPECT_EQ(zfile_is_compressed(newer), 1);

    EXPECT_EQ(zfile_close(older), 0);
    EXPECT_EQ(zfile_is_compressed(older), 0);
    EXPECT_EQ(zfile_is_compressed(newer), 1);
    EXPECT_EQ(zfile_getc(newer), 'b');

    EXPECT_EQ(zfile_unregister(newer), 1);
    EXPECT_EQ(zfile_is_compressed(newer), 0); // the cache forgot it too
    EXPECT_EQ(zfile_unregister(newer), 0);
    EXPECT_EQ(zfile_register(newer), 1);
    EXPECT_EQ(zfile_close(newer), 0);
    EXPECT_EQ(zfile_is_compressed(newer), 0);
}

// The position in the file as stored, read in blocks: it never goes back, stays within
// the file, ends at its size, and for a plain stream is its position.
TEST_F(ZfileTest, OffsetCountsTheBytesOfTheFileUsed) {
    std::mt19937 random(7);
    std::string noise;
    for (int i = 0; i < 300000; ++i) {
        noise += static_cast<char>(random());
    }
    std::string text;
    while (text.size() < 2000000) {
        text += kText;
    }
    const struct {
        const char *name;
        std::string bytes;
    } cases[] = {{"plain", text}, {"packed", gzip_bytes(text)}, {"noise", gzip_bytes(noise)}};
    for (const auto &c : cases) {
        dir_.write(c.name, c.bytes);
        ToolStream stream = zfile_open(path(c.name).c_str(), "r");
        ASSERT_NE(stream, nullptr) << c.name;
        EXPECT_EQ(zfile_offset(stream), 0) << c.name;
        long long before = 0;
        long long reads = 0;
        static char block[1 << 16];
        while (zfile_read(block, 1, sizeof block, stream) > 0) {
            const long long at = zfile_offset(stream);
            ASSERT_GE(at, before) << c.name;
            ASSERT_LE(at, static_cast<long long>(c.bytes.size())) << c.name;
            if (zfile_is_compressed(stream) == 0) {
                ASSERT_EQ(at, zfile_tell(stream)) << c.name;
            }
            before = at;
            ++reads;
        }
        EXPECT_EQ(zfile_offset(stream), static_cast<long long>(c.bytes.size())) << c.name;
        EXPECT_GT(reads, 4) << c.name;
        zfile_close(stream);
    }
    EXPECT_EQ(zfile_offset(nullptr), -1);
}

// Streams opened in this thread and each read in a thread of its own, by bytes or by
// blocks, while this thread opens and closes further compressed streams: every reader
// gets its own text and its own end.
TEST_F(ZfileTest, StreamsAreReadInOtherThreads) {
    std::string text;
    for (int i = 0; i < 20000; ++i) {
        text += "axial_force " + std::to_string(i) + "\n";
    }
    const std::string packed = gzip_bytes(text);
    struct Reader {
        const char *name;
        std::string data;
        int error;
        ToolStream stream;
        std::string got;
        int code;
    };
    Reader readers[] = {
        {"whole", packed, 0, nullptr, "", 0},
        {"appended", packed + "x\n", Z_DATA_ERROR, nullptr, "", 0},
        {"members", packed + packed, 0, nullptr, "", 0},
        {"cut", packed.substr(0, packed.size() - 4), Z_BUF_ERROR, nullptr, "", 0},
    };
    std::vector<std::thread> threads;
    for (Reader &reader : readers) {
        dir_.write(reader.name, reader.data);
        reader.stream = zfile_open(path(reader.name).c_str(), "r");
        ASSERT_NE(reader.stream, nullptr) << reader.name;
    }
    for (std::size_t i = 0; i < std::size(readers); ++i) {
        threads.emplace_back([&reader = readers[i], by_bytes = i % 2 == 0] {
            if (by_bytes) {
                for (int c = zfile_getc(reader.stream); c != -1; c = zfile_getc(reader.stream)) {
                    reader.got += static_cast<char>(c);
                }
            } else {
                reader.got = read_all(reader.stream);
            }
            reader.code = zfile_error(reader.stream);
        });
    }
    dir_.write("other.gz", packed);
    for (int i = 0; i < 200; ++i) {
        ToolStream other = zfile_open(path("other.gz").c_str(), "r");
        EXPECT_EQ(zfile_getc(other), 'a');
        EXPECT_EQ(zfile_close(other), 0);
    }
    for (std::size_t i = 0; i < std::size(readers); ++i) {
        threads[i].join();
        const Reader &reader = readers[i];
        EXPECT_EQ(reader.code, reader.error) << reader.name;
        if (reader.error == 0) {
            EXPECT_EQ(reader.got, gunzip_bytes(reader.data)) << reader.name;
        }
        zfile_close(reader.stream);
    }
}

TEST_F(ZfileTest, NullArguments) {
    EXPECT_EQ(zfile_register(nullptr), 0);
    EXPECT_EQ(zfile_unregister(nullptr), 0);
    EXPECT_EQ(zfile_is_compressed(nullptr), 0);
    EXPECT_EQ(zfile_detect_gzip(nullptr, "rz"), 0);
    EXPECT_EQ(zfile_detect_gzip(path("x").c_str(), nullptr), 0);
    EXPECT_EQ(zfile_open(nullptr, "r"), nullptr);
    EXPECT_EQ(zfile_open(path("x").c_str(), nullptr), nullptr);
    EXPECT_EQ(zfile_close(nullptr), 0);
}

} // namespace
