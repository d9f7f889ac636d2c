// SPDX-License-Identifier: MIT
#include "libtools/tool_sys_io.h"
#include "support/gzip_data.h"
#include "support/memory_check.h"
#include "support/process_control.h"
#include "support/temp_dir.h"

#include <zlib.h>

#include <random>
#include <string>
#include <vector>

namespace {

const std::string kDigits = "0123456789abcdefghij";

class StreamsTest : public LeakCheckedTest {
  protected:
    void TearDown() override {
        tool_ungetc(-1, nullptr);
        LeakCheckedTest::TearDown();
    }

    // Writes `content` to `name` and opens it for reading.
    ToolStream open_with(const std::string &name, const std::string &content) {
        dir_.write(name, content);
        return tool_fopen(dir_.file(name).string().c_str(), "r");
    }

    std::string path(const std::string &name) const { return dir_.file(name).string(); }

    TempDir dir_;
};

TEST_F(StreamsTest, OpenDefaultsAndClose) {
    dir_.write("f", "x");
    EXPECT_EQ(tool_fopen(nullptr, "r"), nullptr);
    ToolStream stream = tool_fopen(path("f").c_str(), nullptr);
    ASSERT_NE(stream, nullptr);
    EXPECT_EQ(tool_fgetc(stream), 'x');
    EXPECT_EQ(tool_fclose(&stream), 1);
    EXPECT_EQ(stream, nullptr);
    EXPECT_EQ(tool_fclose(&stream), 0);
    EXPECT_EQ(tool_fclose(nullptr), 0);
    EXPECT_EQ(tool_fopen(path("missing").c_str(), nullptr), nullptr);
}

TEST_F(StreamsTest, PushBackRules) {
    ToolStream a = open_with("a", "ab");
    ToolStream b = open_with("b", "BC");

    EXPECT_EQ(tool_ungetc('x', a), 'x');
    EXPECT_EQ(tool_fgetc(a), 'x');
    EXPECT_EQ(tool_fgetc(a), 'a'); // the slot was emptied

    tool_ungetc('x', a);
    EXPECT_EQ(tool_fgetc(b), 'B'); // another stream leaves it waiting
    EXPECT_EQ(tool_fgetc(a), 'x');

    tool_ungetc('x', a);
    tool_ungetc('y', a);
    EXPECT_EQ(tool_fgetc(a), 'y');
    EXPECT_EQ(tool_fgetc(a), 'b'); // only the second was kept

    tool_ungetc('x', b);
    tool_ungetc(-1, b);
    EXPECT_EQ(tool_fgetc(b), 'C');
    EXPECT_EQ(tool_fgetc(b), -1);
    EXPECT_EQ(tool_fgetc(a), -1);

    tool_ungetc('n', nullptr); // any handle is taken, null included
    EXPECT_EQ(tool_fgetc(nullptr), 'n');
    EXPECT_EQ(tool_fgetc(nullptr), -1);
    tool_fclose(&a);
    tool_fclose(&b);
}

TEST_F(StreamsTest, ClosingAStreamDiscardsItsPushedBackCharacter) {
    ToolStream a = open_with("a", "");
    ToolStream b = open_with("b", "");
    tool_ungetc('x', a);
    tool_fclose(&b); // not its stream: the character stays
    EXPECT_EQ(tool_fgetc(a), 'x');

    tool_ungetc('x', a);
    const ToolStream former_a = a;
    tool_fclose(&a);
    // A stream that gets the same address must not receive the old character.
    ToolStream reopened = open_with("c", "c");
    if (reopened != former_a) {
        tool_fclose(&reopened);
        GTEST_SKIP() << "the heap gave the new stream another address";
    }
    EXPECT_EQ(tool_fgetc(reopened), 'c');
    tool_fclose(&reopened);
}

TEST_F(StreamsTest, NullHandles) {
    char buffer[8] = "keep";
    EXPECT_EQ(tool_ferror(nullptr), -1);
    EXPECT_EQ(tool_fflush(nullptr), 0);
    EXPECT_EQ(tool_fread(buffer, 1, 4, nullptr), 0);
    EXPECT_EQ(tool_fwrite(buffer, 1, 4, nullptr), 0);
    EXPECT_EQ(tool_fseek(nullptr, 0, 0), -1);
    EXPECT_EQ(tool_ftell(nullptr), -1);
    EXPECT_EQ(tool_fgets(buffer, sizeof buffer, nullptr), nullptr);
    EXPECT_EQ(tool_fgetc(nullptr), -1);
    EXPECT_EQ(tool_fprintf(nullptr, "%s", "x"), 0);
    EXPECT_EQ(zfile_printf(nullptr, "%s", "x"), 0);
    EXPECT_STREQ(buffer, "keep");
}

TEST_F(StreamsTest, BadSizesAndBuffersAreRefused) {
    ToolStream plain = open_with("p", kDigits);
    ToolStream gz = open_with("g", gzip_bytes(kDigits));
    char buffer[8] = {};
    for (ToolStream stream : {plain, gz}) {
        EXPECT_EQ(tool_fread(buffer, -1, 4, stream) + tool_fread(buffer, 4, -1, stream) +
                      tool_fread(nullptr, 1, 4, stream),
                  0);
        EXPECT_EQ(tool_fgets(nullptr, 8, stream), nullptr);
        EXPECT_EQ(tool_fgets(buffer, 0, stream), nullptr);
        EXPECT_EQ(tool_fgetc(stream), '0'); // nothing was consumed
    }
    tool_fclose(&plain);
    tool_fclose(&gz);
}

TEST_F(StreamsTest, CompressedCountsBytesAndPlainCountsItems) {
    ToolStream plain = open_with("p", kDigits);
    ToolStream gz = open_with("g", gzip_bytes(kDigits));
    char buffer[12];
    EXPECT_EQ(tool_fread(buffer, 4, 3, gz), 12);
    EXPECT_EQ(tool_fread(buffer, 4, 3, plain), 3);
    EXPECT_EQ(tool_fseek(gz, 10, 0), 10);
    EXPECT_EQ(tool_fseek(plain, 10, 0), 0);
    EXPECT_EQ(tool_ftell(gz), 10);
    EXPECT_EQ(tool_ftell(plain), 10);
    EXPECT_EQ(tool_fseek(gz, 0, 2), -1); // zlib cannot seek from the end
    char line[4];
    EXPECT_STREQ(tool_fgets(line, sizeof line, gz), "abc");
    EXPECT_STREQ(tool_fgets(line, sizeof line, plain), "abc");
    tool_fclose(&plain);
    tool_fclose(&gz);
}

TEST_F(StreamsTest, PrintWritesTheFormattedText) {
    for (const char *mode : {"w", "wz"}) {
        ToolStream out = tool_fopen(path("out").c_str(), mode);
        EXPECT_EQ(tool_fprintf(out, "%s\n", "abc"), 0);
        EXPECT_EQ(tool_fprintf(out, "%s", ""), 0);
        EXPECT_EQ(tool_fprintf(out, "%c%s", '\0', "hidden"), 0);
        EXPECT_EQ(tool_fprintf(out, nullptr), 0);
        EXPECT_EQ(zfile_printf(out, "%d", 42), 0);
        tool_fclose(&out);
        const std::string raw = dir_.read("out");
        if (mode[1] == 'z') {
            EXPECT_EQ(gunzip_bytes(raw), "abc\n42"); // zlib never translates line ends
        } else {
            EXPECT_EQ(raw, std::string("abc") + text_line_end() + "42");
        }
    }
}

TEST_F(StreamsTest, PrintIsCutAt4095Characters) {
    ToolStream out = tool_fopen(path("long").c_str(), "w");
    const std::string long_text(5000, 'q');
    EXPECT_EQ(tool_fprintf(out, "<%s>", long_text.c_str()), 0);
    tool_fclose(&out);
    EXPECT_EQ(dir_.read("long"), "<" + std::string(4094, 'q'));
}

TEST_F(StreamsTest, FinishingFlushCompletesTheGzipData) {
    ToolStream out = tool_fopen(path("f.gz").c_str(), "wz");
    tool_fprintf(out, "kept\n");
    EXPECT_EQ(tool_fflush(out), 0);
    const std::string flushed = dir_.read("f.gz");
    EXPECT_EQ(gunzip_bytes(flushed), "kept\n"); // complete, trailer included
    // zlib 1.2 starts a new member for data written after the finishing flush.
    EXPECT_EQ(tool_fwrite("more", 1, 4, out), 4);
    EXPECT_EQ(tool_ferror(out), 0);
    tool_fclose(&out);
    EXPECT_EQ(gunzip_bytes(dir_.read("f.gz")), "kept\nmore");

    ToolStream in = tool_fopen(path("f.gz").c_str(), "r");
    EXPECT_EQ(tool_fflush(in), Z_STREAM_ERROR);
    tool_fclose(&in);
}

// Damaged and intact inputs, read to the end line by line; what tool_ferror says
// afterwards decides whether the driver may trust the lines.
struct DamageCase {
    const char *name;
    std::string data;
    int error; // tool_ferror after the last byte
};

std::vector<DamageCase> damage_cases() {
    std::string text;
    for (int i = 0; i < 4000; ++i) {
        text += "shear_force " + std::to_string(i) + " kN\n";
    }
    const std::string good = gzip_bytes(text);
    const std::size_t trailer = good.size() - 8;
    std::string bad_crc = good, bad_length = good, bad_deflate = good;
    bad_crc[trailer] ^= 1;
    bad_length[trailer + 4] ^= 1;
    for (std::size_t i = 20; i < 40; ++i) {
        bad_deflate[i] ^= 0x55;
    }
    return {
        {"intact", good, 0},
        {"two members", good + good, 0},
        {"an empty member", gzip_bytes(""), 0},
        {"an empty member between two", good + gzip_bytes("") + good, 0},
        {"truncated in the middle", good.substr(0, good.size() / 2), Z_BUF_ERROR},
        {"missing only the trailer", good.substr(0, trailer), Z_BUF_ERROR},
        {"missing the last byte", good.substr(0, good.size() - 1), Z_BUF_ERROR},
        {"header only", good.substr(0, 10), Z_BUF_ERROR},
        {"magic only", good.substr(0, 2), Z_BUF_ERROR},
        {"bad crc", bad_crc, Z_DATA_ERROR},
        {"bad length", bad_length, Z_DATA_ERROR},
        {"corrupt deflate data", bad_deflate, Z_DATA_ERROR},
        {"trailing garbage (skipped by zlib)", good + "garbage!", Z_DATA_ERROR},
        {"trailing zeros (skipped by zlib)", good + std::string(8, '\0'), Z_DATA_ERROR},
        {"trailing text line", good + "shear_force 7\n", Z_DATA_ERROR},
        {"trailing single byte", good + "x", Z_DATA_ERROR},
        {"a second member, then junk", good + good + "junk\n", Z_DATA_ERROR},
        {"junk after a long input", good + std::string(200000, 'x'), Z_DATA_ERROR},
        {"trailing garbage after the magic", good + "\x1f\x8bgarbage", Z_DATA_ERROR},
        {"trailing magic alone", good + "\x1f\x8b", Z_BUF_ERROR},
        {"trailing truncated member", good + good.substr(0, 30), Z_BUF_ERROR},
        {"plain", "shear_force 1 kN\n", 0},
        {"empty", "", 0},
    };
}

// The ways of reading a stream to its end: the line reader's bytes, large blocks (inflated
// straight into the caller's buffer), small blocks and lines. Each gives the text read.
struct ReadMethod {
    const char *name;
    std::string (*read_all)(ToolStream stream);
};

const ReadMethod kReadMethods[] = {
    {"bytes",
     [](ToolStream stream) {
         std::string text;
         for (int c = tool_fgetc(stream); c != -1; c = tool_fgetc(stream)) {
             text += static_cast<char>(c);
         }
         return text;
     }},
    {"large blocks",
     [](ToolStream stream) {
         std::string text;
         std::vector<char> block(1 << 17);
         for (int got = 0; (got = tool_fread(block.data(), 1, 1 << 17, stream)) > 0;) {
             text.append(block.data(), static_cast<std::size_t>(got));
         }
         return text;
     }},
    {"small blocks",
     [](ToolStream stream) {
         std::string text;
         char block[1000];
         for (int got = 0; (got = tool_fread(block, 1, sizeof block, stream)) > 0;) {
             text.append(block, static_cast<std::size_t>(got));
         }
         return text;
     }},
    {"lines",
     [](ToolStream stream) {
         std::string text;
         char line[100];
         while (tool_fgets(line, sizeof line, stream) != nullptr) {
             text += line;
         }
         return text;
     }},
};

// Damaged and intact inputs read to the end: what tool_ferror says afterwards decides
// whether the driver may trust the text, whichever way it was read.
TEST_F(StreamsTest, ErrorAfterTheLastByteTellsDamageFromAnEnd) {
    for (const DamageCase &c : damage_cases()) {
        for (const ReadMethod &method : kReadMethods) {
            const std::string label = std::string(c.name) + ", " + method.name;
            ToolStream stream = open_with("in", c.data);
            ASSERT_NE(stream, nullptr) << label;
            const std::string text = method.read_all(stream);
            EXPECT_EQ(tool_ferror(stream), c.error) << label;
            if (c.error == 0) {
                EXPECT_EQ(text, zfile_is_compressed(stream) ? gunzip_bytes(c.data) : c.data)
                    << label;
            }
            EXPECT_EQ(tool_fgetc(stream), -1) << label;
            EXPECT_EQ(tool_ferror(stream), c.error) << label << " (after reading again)";
            tool_fclose(&stream);
        }
    }
}

// Reads, seeks (backwards across members too) and positions on a compressed stream,
// checked against the same calls on the text in memory.
TEST_F(StreamsTest, CompressedSeekAndReadFollowTheText) {
    std::string text;
    for (int i = 0; i < 30000; ++i) {
        text += "bending_moment " + std::to_string(i * 7) + "\n";
    }
    ToolStream gz =
        open_with("g", gzip_bytes(text.substr(0, 150000)) + gzip_bytes(text.substr(150000)));
    std::mt19937 random(11);
    std::vector<char> block(1 << 17);
    long at = 0; // the model's position
    for (int step = 0; step < 300; ++step) {
        const long size = static_cast<long>(text.size());
        const long length = static_cast<long>(random() % (random() % 2 ? 100 : 1 << 17));
        switch (random() % 4) {
        case 0: {
            const long target = static_cast<long>(random() % (text.size() + 1));
            ASSERT_EQ(tool_fseek(gz, target - at, 1), target) << step;
            at = target;
            break;
        }
        case 1:
            ASSERT_EQ(tool_fseek(gz, at = static_cast<long>(random() % text.size()), 0), at);
            break;
        case 2: {
            const int got = tool_fread(block.data(), 1, static_cast<int>(length), gz);
            ASSERT_EQ(std::string(block.data(), static_cast<std::size_t>(got)),
                      text.substr(static_cast<std::size_t>(at), static_cast<std::size_t>(length)))
                << step;
            at += got;
            break;
        }
        default:
            ASSERT_EQ(tool_fgetc(gz), at < size ? static_cast<unsigned char>(text[at]) : -1);
            at += at < size ? 1 : 0;
        }
        ASSERT_EQ(tool_ftell(gz), at) << step;
    }
    EXPECT_EQ(tool_ferror(gz), 0);
    tool_fclose(&gz);
}

} // namespace
