// SPDX-License-Identifier: MIT
// A line reader that takes the blocks read ahead as they are, against one that reads
// the same text itself: the same lines, origins, line ends and flags, whatever the
// sizes of the blocks, and with lines longer than the room kept in front of a block.
#include "convert/block_line_reader.h"
#include "pipeline/read_ahead.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace {

struct TextSource {
    const std::string *text;
    std::size_t at = 0;
};

long read_text(void *context, char *buffer, std::size_t size) {
    auto *source = static_cast<TextSource *>(context);
    const std::size_t count = std::min(size, source->text->size() - source->at);
    std::memcpy(buffer, source->text->data() + source->at, count);
    source->at += count;
    return static_cast<long>(count);
}

struct Reading {
    std::vector<std::string> lines;
    std::vector<long long> origins; // first and last line of each
    long long lines_read = 0;
    bool altered = false;
    bool zero_byte = false;
    LineEnd first_line_end = LineEnd::none;

    // A zero byte stops the reading where it is found: what is said of the whole input
    // is then that of what each reader had read (more, in blocks read ahead), and the
    // input is refused without using it.
    bool operator==(const Reading &other) const {
        return lines == other.lines && origins == other.origins && zero_byte == other.zero_byte &&
               (zero_byte || (lines_read == other.lines_read && altered == other.altered &&
                              first_line_end == other.first_line_end));
    }
};

Reading read_all(BlockLineReader *reader) {
    Reading reading;
    LineView line{};
    while (reader->next(&line)) {
        reading.lines.emplace_back(line.text, line.length);
        reading.origins.push_back(reader->first_line());
        reading.origins.push_back(reader->last_line());
    }
    reading.lines_read = reader->lines_read();
    reading.altered = reader->altered();
    reading.zero_byte = reader->zero_byte();
    reading.first_line_end = reader->first_line_end();
    return reading;
}

// Text of the pieces that matter to the reader: line ends of both kinds, every kind of
// comment (block comments nested and across lines), lines up to twice the room in
// front of a block, now and then a zero byte.
std::string random_text(std::mt19937 *random) {
    static const char *const pieces[] = {
        "shear_force 12.5 kN",   "\n", "\r\n", "// note\n", "# note",           "/* a\nb */",
        "/* /* nested */ \n */", "*/", "/",    "\r",        "bending_moment 3", " "};
    std::string text;
    const int count = static_cast<int>((*random)() % 60);
    for (int i = 0; i < count; ++i) {
        const unsigned pick = (*random)() % 40;
        if (pick < std::size(pieces)) {
            text += pieces[pick];
        } else if (pick < 38) {
            text.append((*random)() % 40, 'x');
        } else if (pick == 38) {
            text.append((*random)() % (2 * BlockSupply::kHeadRoom + 100), 'y');
        } else if ((*random)() % 8 == 0) {
            text += '\0';
        }
    }
    return text;
}

TEST(SuppliedBlocks, GiveTheLinesOfAReaderThatReadsItself) {
    std::mt19937 random(20261208);
    int supplied = 0;
    for (int sample = 0; sample < 1500; ++sample) {
        const std::string text = random_text(&random);
        const std::size_t min_read = 1 + random() % 64;
        const std::size_t block_size = 1 + random() % 700;

        TextSource plain{&text};
        LineReaderStorage plain_storage;
        BlockLineReader itself(ByteSource{&plain, read_text}, &plain_storage, min_read);
        const Reading expected = read_all(&itself);

        TextSource ahead_source{&text};
        ReadingStop stop;
        ReadAhead ahead(ByteSource{&ahead_source, read_text}, block_size, &stop);
        LineReaderStorage storage;
        BlockLineReader taking(ahead.source(), &storage, min_read);
        taking.take_blocks_from(&ahead);
        const Reading actual = read_all(&taking);
        supplied += ahead.supplying() ? 1 : 0;
        ASSERT_TRUE(actual == expected)
            << "sample " << sample << ", " << text.size() << " bytes, blocks of " << block_size
            << ", reads of " << min_read;
    }
    EXPECT_GT(supplied, 500) << "too few samples took the blocks read ahead";
}

} // namespace
