// SPDX-License-Identifier: MIT
// A gzip file's text compressed in blocks on worker threads: one valid member whose
// bytes do not depend on the number of workers or the sizes of the appends, hardly
// larger than zlib's one-stream member, at the level the input's header records; a
// worker that fails leaves the file untouched.
#include "app/driver.h"
#include "libtools/zfile.h"
#include "sinks/compression_faults.h"
#include "sinks/gzip_sink.h"
#include "support/gzip_data.h"
#include "support/run_program.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <stdexcept>
#include <string>
#include <vector>

namespace {

constexpr std::size_t kBlock = ParallelDeflate::kBlockSize;

class StringSink : public OutputSink {
  public:
    bool append(const char *data, std::size_t size) override {
        bytes.append(data, size);
        return true;
    }
    bool finish() override { return finished = true; }
    std::string bytes;
    bool finished = false;
};

// A joint text of at least `size` bytes cut to it, with numbers that vary as real ones do.
std::string joint_text(std::size_t size) {
    std::string text;
    unsigned long seed = 12345;
    for (int joint = 1; text.size() < size; ++joint) {
        seed = seed * 1103515245UL + 12345UL;
        text += "// joint " + std::to_string(joint) + "\nname J" + std::to_string(joint) +
                "\nshear_force " + std::to_string(seed % 100000) + "." +
                std::to_string(seed % 997) + " kN\nbending_moment " + std::to_string(seed % 7919) +
                "\n";
    }
    text.resize(size);
    return text;
}

std::string compressed(const std::string &text, int level, unsigned workers, std::size_t piece) {
    StringSink sink;
    {
        GzipSink gzip(&sink, level, workers);
        for (std::size_t at = 0; at < text.size(); at += piece) {
            EXPECT_TRUE(gzip.append(text.data() + at, std::min(piece, text.size() - at)));
        }
        EXPECT_TRUE(gzip.finish());
    }
    EXPECT_TRUE(sink.finished);
    return sink.bytes;
}

// The text of `data`, which must be exactly one gzip member.
std::string one_member(const std::string &data) {
    z_stream stream{};
    inflateInit2(&stream, 15 + 16);
    std::string text(1 << 16, '\0');
    stream.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(data.data()));
    stream.avail_in = static_cast<uInt>(data.size());
    int result = Z_OK;
    while (result == Z_OK) {
        text.resize(stream.total_out + (1 << 16));
        stream.next_out = reinterpret_cast<Bytef *>(&text[stream.total_out]);
        stream.avail_out = 1 << 16;
        result = inflate(&stream, Z_NO_FLUSH);
    }
    text.resize(stream.total_out);
    const bool whole = result == Z_STREAM_END && stream.total_in == data.size();
    inflateEnd(&stream);
    if (!whole) {
        throw std::runtime_error("not one whole gzip member");
    }
    return text;
}

struct Shape {
    const char *name;
    std::size_t size;
};

class BlockShapes : public ::testing::TestWithParam<Shape> {};

TEST_P(BlockShapes, SameMemberWhateverTheWorkersAndAppends) {
    const std::string text = joint_text(GetParam().size);
    for (const int level : {1, 6, 9}) {
        const std::string single = compressed(text, level, 0, text.size() + 1);
        ASSERT_EQ(one_member(single), text) << "level " << level;
        EXPECT_EQ(static_cast<unsigned char>(single[8]), level == 9 ? 2 : level == 1 ? 4 : 0);
        for (const unsigned workers : {1U, 2U, 5U}) {
            for (const std::size_t piece : {std::size_t{1000}, std::size_t{300000}}) {
                EXPECT_TRUE(compressed(text, level, workers, piece) == single)
                    << "level " << level << ", " << workers << " workers, pieces of " << piece;
            }
        }
        // zlib's own member, from the deflate data on (its system byte is the build's)
        const std::string zlib = gzip_bytes(text, level);
        if (text.size() <= kBlock) { // one block: exactly zlib's one stream
            EXPECT_TRUE(single.substr(10) == zlib.substr(10)) << "level " << level;
        } else {
            EXPECT_LT(single.size(), zlib.size() + zlib.size() / 100) << "level " << level;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Sizes, BlockShapes,
                         ::testing::Values(Shape{"Empty", 0}, Shape{"Short", 1000},
                                           Shape{"OneBlock", kBlock},
                                           Shape{"OneBlockAndAByte", kBlock + 1},
                                           Shape{"TwoBlocks", 2 * kBlock},
                                           Shape{"ManyBlocks", 11 * kBlock + 4321}),
                         [](const auto &info) { return std::string(info.param.name); });

// gzip itself, when it can run here, accepts the member and unpacks the text.
void check_with_gzip(const std::string &path, const std::string &expected) {
    try {
        if (run_program("gzip", {"--version"}).exit_status != 0) {
            return;
        }
    } catch (const std::runtime_error &) {
        return;
    }
    EXPECT_EQ(run_program("gzip", {"-t", path}).exit_status, 0);
    const ProgramResult unpacked = run_program("gzip", {"-dc", path});
    EXPECT_EQ(unpacked.exit_status, 0);
    EXPECT_TRUE(unpacked.standard_output == expected);
}

int run(std::vector<std::string> arguments) {
    std::vector<char *> argv;
    for (std::string &argument : arguments) {
        argv.push_back(&argument[0]);
    }
    return run_converter(static_cast<int>(argv.size()), argv.data());
}

// A few MB of forces in kN and the same in N: written behind and compressed in blocks.
void large_file(std::string *in, std::string *out) {
    for (int i = 0; i < 150000; ++i) {
        *in += "// joint " + std::to_string(i) + "\nshear_force " + std::to_string(i) + ".5\n";
        *out += "shear_force " + std::to_string(i * 1000L + 500) + ".000000\n";
    }
}

class LargeFile : public ::testing::TestWithParam<int> {
  protected:
    TempDir dir_;
};

TEST_P(LargeFile, WrittenBackAtItsLevel) {
    std::string in;
    std::string out;
    large_file(&in, &out);
    dir_.write("big.jnt.gz", gzip_bytes(in, GetParam()));
    const std::string path = dir_.file("big.jnt.gz").string();
    const int level_before = zfile_gzip_level(path.c_str());
    ASSERT_EQ(run({"joint2si", "-f", "kN", path}), 0);
    EXPECT_EQ(zfile_gzip_level(path.c_str()), level_before);
    EXPECT_TRUE(one_member(dir_.read("big.jnt.gz")) == out);
    check_with_gzip(path, out);
}

INSTANTIATE_TEST_SUITE_P(Levels, LargeFile, ::testing::Values(1, 6, 9));

TEST(CompressingWorker, FailureLeavesTheFileUntouched) {
    TempDir dir;
    std::string in;
    std::string out;
    large_file(&in, &out);
    const std::string big = gzip_bytes(in, 6);
    dir.write("big.jnt.gz", big);
    dir.write("next.jnt", "shear_force 2\n");
    fail_nth_compressed_block(3);
    testing::internal::CaptureStderr();
    const int status = run(
        {"joint2si", "-f", "kN", dir.file("big.jnt.gz").string(), dir.file("next.jnt").string()});
    const std::string messages = testing::internal::GetCapturedStderr();
    fail_nth_compressed_block(0);
    EXPECT_EQ(status, -1);
    EXPECT_EQ(messages, "Error: rewrite_file: Memory allocation failed!\n");
    EXPECT_TRUE(dir.read("big.jnt.gz") == big) << "the file that failed was changed";
    EXPECT_EQ(dir.read("next.jnt"), "shear_force 2000.000000\n");
    const auto entries = std::filesystem::directory_iterator(dir.path());
    EXPECT_EQ(std::distance(begin(entries), end(entries)), 2) << "a replacement was left";
}

} // namespace
