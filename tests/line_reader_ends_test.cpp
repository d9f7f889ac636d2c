// SPDX-License-Identifier: MIT
// How a line ends when the input ends inside a comment, and that a caller's buffer
// never changes which lines the reader returns.
#include "libtools/tool_sys_io.h"
#include "support/memory_check.h"
#include "support/temp_dir.h"

#include <string>
#include <vector>

namespace {

using Lines = std::vector<std::string>;

class LineReaderEnds : public LeakCheckedTest {
  protected:
    // Every line up to the first null; with `reuse`, each call gets the previous
    // result (first a buffer holding old text) back as its buffer.
    Lines read_all(const std::string &content, int options, int keep, bool reuse) {
        dir_.write("in.jnt", content);
        ToolStream stream = tool_fopen(dir_.file("in.jnt").string().c_str(), "r");
        Lines lines;
        char *buffer = reuse ? tool_strdup("old text") : nullptr;
        while ((buffer = tool_read_line(stream, buffer, options, keep)) != nullptr) {
            lines.emplace_back(buffer);
            if (!reuse) {
                tool_free(buffer, __FILE__, __LINE__);
                buffer = nullptr;
            }
        }
        EXPECT_EQ(tool_read_line(stream, nullptr, options, keep), nullptr);
        tool_fclose(&stream);
        return lines;
    }

    TempDir dir_;
};

struct EndCase {
    const char *content;
    Lines kept;    // keep_empty_lines 1
    Lines skipped; // keep_empty_lines 0
};

// An input that ends inside a line or hash comment ends its last line the same way
// whether or not the comment held text.
const EndCase kEndCases[] = {
    {"#", {""}, {}},         {"# note", {""}, {}},        {"//", {""}, {}},
    {"// x", {""}, {}},      {"/* //", {""}, {}},         {"/* // x", {""}, {}},
    {"/* #", {""}, {}},      {"a\n#", {"a", ""}, {"a"}},  {"a\n# note", {"a", ""}, {"a"}},
    {"a #", {"a "}, {"a "}}, {"a /* //", {"a "}, {"a "}}, {"/*", {}, {}},
    {"/* x", {}, {}},
};

TEST_F(LineReaderEnds, InputEndingInACommentEndsTheLineAlike) {
    for (const EndCase &c : kEndCases) {
        for (bool reuse : {false, true}) {
            EXPECT_EQ(read_all(c.content, 7, 1, reuse), c.kept) << c.content << reuse;
            EXPECT_EQ(read_all(c.content, 7, 0, reuse), c.skipped) << c.content << reuse;
        }
    }
}

// Reading with a reused buffer returns exactly the lines a read without one does, for
// every option combination.
TEST_F(LineReaderEnds, PassedBufferChangesNoResult) {
    const char *const inputs[] = {
        "//x",       "//x\n",       "#x\ny\n",     "\n\n",       "/* a */\n",
        "a\n//b\nc", "/* a // b\n", "x/*\n*/\n\n", "# a\n\n# b", "a\r\n#\r\n",
    };
    for (const char *input : inputs) {
        for (int options = 0; options <= 7; ++options) {
            for (int keep : {0, 1}) {
                EXPECT_EQ(read_all(input, options, keep, true),
                          read_all(input, options, keep, false))
                    << input << " options " << options << " keep " << keep;
            }
        }
    }
}

} // namespace
