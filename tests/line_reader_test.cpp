// SPDX-License-Identifier: MIT
#include "libtools/tool_sys_io.h"
#include "support/memory_check.h"
#include "support/process_control.h"
#include "support/temp_dir.h"

#include <cstring>
#include <string>
#include <vector>

namespace {

using Lines = std::vector<std::string>;

class LineReaderTest : public LeakCheckedTest {
  protected:
    void SetUp() override {
        LeakCheckedTest::SetUp();
        tool_read_line_clear_status();
    }

    ToolStream open_with(const std::string &content, const std::string &name = "in.jnt") {
        dir_.write(name, content);
        return tool_fopen(dir_.file(name).string().c_str(), "r");
    }

    // Every line the reader returns for `content`, up to its first null.
    Lines read_lines(const std::string &content, int options, int keep_empty_lines) {
        ToolStream stream = open_with(content);
        Lines lines;
        while (char *line = tool_read_line(stream, nullptr, options, keep_empty_lines)) {
            lines.emplace_back(line);
            tool_free(line, __FILE__, __LINE__);
            if (lines.size() > 1000) {
                break;
            }
        }
        EXPECT_EQ(tool_read_line(stream, nullptr, options, keep_empty_lines), nullptr);
        tool_fclose(&stream);
        return lines;
    }

    // The tracked allocations one read of the first line of `content` makes; every
    // failing one must end in null with the out-of-memory flag and leave nothing
    // behind. A `with_buffer` read passes in a fresh 8-byte buffer (one more
    // allocation).
    int allocations_for_line(const std::string &content, bool with_buffer = false) {
        dir_.write("in.jnt", content);
        const std::string name = dir_.file("in.jnt").string();
        char *line = nullptr;
        const int count = for_each_allocation_failure(
            [&] {
                tool_read_line_clear_status();
                ToolStream stream = tool_fopen(name.c_str(), "r");
                char *buffer = nullptr;
                if (with_buffer) {
                    buffer = static_cast<char *>(tool_malloc(8, __FILE__, __LINE__));
                    if (buffer == nullptr) {
                        tool_fclose(&stream);
                        return;
                    }
                }
                line = tool_read_line(stream, buffer, 7, 1);
                tool_fclose(&stream);
            },
            [&](int n) {
                if (with_buffer && n == 1) {
                    return;
                }
                EXPECT_EQ(line, nullptr) << "allocation " << n;
                EXPECT_EQ(tool_read_line_status(), TOOL_READ_LINE_OUT_OF_MEMORY);
                EXPECT_EQ(tool_memory_live_blocks(), live_at_start()) << "allocation " << n;
            });
        tool_free(line, __FILE__, __LINE__);
        return count;
    }

    long live_at_start() const { return live_; }
    long live_ = tool_memory_live_blocks();
    TempDir dir_;
};

struct ReadCase {
    const char *name;
    std::string content;
    int options;
    int keep_empty_lines;
    Lines expected;
};

const std::string kMixed = "x = 1 // note\n\n# only a comment\n/* block\n still */\ny\n";

// A text-mode stream of a system with CR LF line ends hands "\r\r\n" over as "\r\n":
// there the CR before the line end becomes the line end itself.
const std::string kCrBeforeCrLf = std::string(text_line_end()) == "\r\n" ? "a" : "a\r";

const ReadCase kReadCases[] = {
    {"CR LF ends a line", "a\r\nb\n", 7, 1, {"a", "b"}},
    {"CR LF without options", "a\r\nb\n", 0, 0, {"a", "b"}},
    {"lone CR is text", "a\rb\n", 7, 1, {"a\rb"}},
    {"CR at the end", "a\r", 7, 1, {"a\r"}},
    {"CR before CR LF", "a\r\r\n", 7, 1, {kCrBeforeCrLf}},
    {"comments removed, empty kept", kMixed, 7, 1, {"x = 1 ", "", "y"}},
    {"comments removed, empty skipped", kMixed, 7, 0, {"x = 1 ", "y"}},
    {"no options", "a // b # c\n", 0, 1, {"a // b # c"}},
    {"hash only", "a/*b*/c#d\n", 4, 1, {"a/*b*/c"}},
    {"line comments only", "a/*b*/c//d\n", 2, 1, {"a/*b*/c"}},
    {"block comments only", "a//b/*c*/\n", 1, 1, {"a//b"}},
    {"other option bits ignored", "a#b\n", 8, 1, {"a#b"}},
    {"slash before other bytes", "ratio 3/4 a/b /\n", 7, 1, {"ratio 3/4 a/b /"}},
    {"slash before the line end", "a/\nb\n", 7, 1, {"a/", "b"}},
    {"no final newline", "abc", 7, 1, {"abc"}},
    {"empty input, keep", "", 7, 1, {}},
    {"empty input, skip", "", 7, 0, {}},
    {"ends in a line comment, keep", "// c", 7, 1, {""}},
    {"ends in a line comment, skip", "// c", 7, 0, {}},
    {"content before a final comment", "abc // c", 7, 1, {"abc "}},
    {"blanks before a comment", "   # c\n", 7, 0, {"   "}},
    {"empty lines", "\n\na\n\n", 7, 1, {"", "", "a", ""}},
    {"empty lines skipped", "\n\na\n\n", 7, 0, {"a"}},
    {"block comment joins lines", "abc /* x\ny */ def\n", 7, 1, {"abc  def"}},
    {"nested block comments", "/* a /* b */ c */ d\n", 7, 1, {" d"}},
    {"deeply nested", "/*/*/**/*/*/e\n", 7, 1, {"e"}},
    {"star star slash closes", "a/* x **/b\n", 7, 1, {"ab"}},
    {"close outside a comment is text", "*/ text\n", 7, 1, {"*/ text"}},
    {"comment-only block line dropped", "/* c */\n\nq\n", 7, 1, {"", "q"}},
    {"line comment inside a block comment", "abc /* x // y */ z\n w */ def\n", 7, 1, {"abc  def"}},
    {"hash comment swallows the close", "/* # */ x\n */y\n", 7, 1, {"y"}},
    {"nested line comment, no content", "/* a // b\n c */\n\nq\n", 7, 1, {"", "q"}},
    {"unterminated block comment", "abc /* never\nclosed\n", 7, 1, {"abc "}},
    {"only an unterminated block", "/* never", 7, 1, {}},
    {"ends in a nested line comment", "k /* a // b", 7, 1, {"k "}},
    {"byte 255",
     "\xff"
     "ab\xff"
     "c\n",
     7,
     1,
     {"\xff"
      "ab\xff"
      "c"}},
};

TEST_F(LineReaderTest, ReadsLogicalLines) {
    for (const ReadCase &c : kReadCases) {
        EXPECT_EQ(read_lines(c.content, c.options, c.keep_empty_lines), c.expected) << c.name;
        EXPECT_EQ(tool_read_line_status(), 0) << c.name;
    }
}

TEST_F(LineReaderTest, ConsumesNothingBeyondTheLineEnd) {
    ToolStream stream = open_with("a/\r\nb/x");
    ToolStream other = open_with("", "other");
    tool_ungetc('q', other); // waiting for another stream: the reader leaves it alone
    char *line = tool_read_line(stream, nullptr, 7, 1);
    EXPECT_STREQ(line, "a/");
    tool_free(line, __FILE__, __LINE__);
    EXPECT_EQ(tool_fgetc(stream), 'b');
    EXPECT_EQ(tool_fgetc(other), 'q');
    tool_fclose(&stream);
    tool_fclose(&other);
}

TEST_F(LineReaderTest, ReusesAndReleasesThePassedBuffer) {
    EXPECT_EQ(tool_read_line(nullptr, nullptr, 7, 1), nullptr);
    char *buffer = tool_strdup("old text");
    buffer = tool_read_line(nullptr, buffer, 7, 1);
    EXPECT_STREQ(buffer, "");

    ToolStream stream = open_with("first\nsecond\n");
    buffer = tool_read_line(stream, buffer, 7, 1);
    EXPECT_STREQ(buffer, "first");
    buffer = tool_read_line(stream, buffer, 7, 1);
    EXPECT_STREQ(buffer, "second");
    buffer = tool_read_line(stream, buffer, 7, 1); // end: the buffer is released
    EXPECT_EQ(buffer, nullptr);
    tool_fclose(&stream);
}

TEST_F(LineReaderTest, ZeroByteIsReportedAndLaterLinesStillCome) {
    const std::string content = std::string("a\0b\nnext\n\0x\n", 12) + "last";
    EXPECT_EQ(read_lines(content, 7, 0), (Lines{"a", "next", "", "last"}));
    EXPECT_EQ(tool_read_line_status(), TOOL_READ_LINE_ZERO_BYTE);
    tool_read_line_clear_status();
    EXPECT_EQ(tool_read_line_status(), 0);

    EXPECT_EQ(read_lines(std::string("/*\0*/x\n", 7), 7, 1), (Lines{"x"}));
    EXPECT_EQ(tool_read_line_status(), TOOL_READ_LINE_ZERO_BYTE);
}

TEST_F(LineReaderTest, LineGrowsInStepsOf127) {
    struct Row {
        std::size_t length;
        int allocations;
    };
    for (const Row row : {Row{0, 1}, Row{125, 1}, Row{126, 2}, Row{252, 2}, Row{253, 3},
                          Row{300, 3}, Row{379, 3}, Row{380, 4}}) {
        const std::string text(row.length, 'v');
        EXPECT_EQ(allocations_for_line(text + "\n"), row.allocations) << row.length;
        EXPECT_EQ(read_lines(text + "\nz", 7, 1), (Lines{text, "z"})) << row.length;
    }
}

TEST_F(LineReaderTest, PassedBufferIsResizedAtItsFirstStore) {
    // One allocation is the buffer itself; it becomes 128 bytes, then 254.
    EXPECT_EQ(allocations_for_line("\n", true), 2);
    EXPECT_EQ(allocations_for_line(std::string(125, 'b') + "\n", true), 2);
    EXPECT_EQ(allocations_for_line(std::string(126, 'b') + "\n", true), 3);
}

TEST_F(LineReaderTest, CommentStackGrowsInStepsOf10) {
    struct Row {
        int depth;
        int allocations; // the stack's, plus one for the line
    };
    for (const Row row : {Row{1, 2}, Row{9, 2}, Row{10, 3}, Row{19, 3}, Row{20, 4}}) {
        std::string content;
        for (int i = 0; i < row.depth; ++i) {
            content = "/*" + content + "*/";
        }
        EXPECT_EQ(allocations_for_line(content + "x\n"), row.allocations) << row.depth;
        EXPECT_EQ(read_lines(content + "x\n", 7, 1), (Lines{"x"})) << row.depth;
    }
    // A stack back at depth 0 is resized to 11 entries before its next entry.
    EXPECT_EQ(allocations_for_line("/* a */ b /* c */\n"), 3);
}

} // namespace
