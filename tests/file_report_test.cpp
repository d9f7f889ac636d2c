// SPDX-License-Identifier: MIT
// What the converter reports about a file besides converting it: the lines that drop
// digits after their value, the counts of --verbose, line numbers counted from the
// original bytes, and the progress line.
#include "app/run_totals.h"
#include "convert/block_line_reader.h"
#include "convert/units.h"
#include "file/input_source.h"
#include "support/gzip_data.h"
#include "support/line_text.h"

#include "libtools/tool_dstring.h"
#include "libtools/tool_sys_io.h"
#include "support/memory_check.h"
#include "support/process_control.h"
#include "support/temp_dir.h"
#include "terminal/progress.h"

#include <cstdlib>
#include <random>
#include <string>
#include <vector>

namespace {

using FileReport = LeakCheckedTest;

// Whether the conversion of `line` drops digits after its value, as the converter
// decides it.
bool converter_drops(const std::string &line) {
    const Conversion conversion{1000.0, 1000.0};
    std::string out;
    bool dropped = false;
    convert_line_text(LineView{line.data(), line.size()}, conversion, &out, &dropped);
    return dropped;
}

TEST_F(FileReport, LinesThatDropDigits) {
    struct Case {
        const char *line;
        bool drops;
    };
    const std::vector<Case> cases = {
        {"shear_force 12,5", true},      {"shear_force 1.0 2.0", true},
        {"shear_force 12.5 kN", false},  {"shear_force 12.5", false},
        {"shear_force  -3e2 kN", false}, {"shear_force 1e3x4", true},
        {"shear_force 0x1p3 kN", false}, {"shear_force 0x1p3 2", true},
        {"shear_force abc 3", false},    {"shear_force\t3 4", false},
        {"shear_force", false},          {"bending_moment 4 kN/m2", true},
        {"max shear_force 3", false},    {"shear_force 1.5.3", true},
        {"  shear_force 1,5", true},     {"shear_force=2 kN", false},
        {"shear_force:\t1,5", true},     {"shear_force\t1e309 2", false},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(converter_drops(c.line), c.drops) << c.line;
    }
}

// The converter's decision against a model built on strtod, on random value texts.
TEST_F(FileReport, DroppedDigitsMatchAStrtodModel) {
    std::mt19937 random(3);
    const std::string alphabet = "0123456789.eE+- ,xpkNinfa";
    for (int round = 0; round < 20000; ++round) {
        std::string value;
        for (std::size_t n = random() % 12; n > 0; --n) {
            value += alphabet[random() % alphabet.size()];
        }
        const std::string line = "shear_force " + value;
        char *line_copy = tool_strdup(line.c_str());
        const bool converted = convert_line_by_factor(&line_copy, 1000.0) == 1;
        tool_strfree(&line_copy);
        char *end = nullptr;
        std::strtod(value.c_str(), &end);
        bool model = false;
        for (const char *p = end; converted && *p != '\0'; ++p) {
            model = model || (*p >= '0' && *p <= '9');
        }
        ASSERT_EQ(converter_drops(line), model) << "'" << line << "'";
    }
}

TEST_F(FileReport, RunTotals) {
    ConversionCounts counts;
    counts.forces = 3;
    counts.moments = 1;
    counts.lines = 7;
    RunTotals run;
    counts.lines_read = 10;
    add_to_run(&run, counts);
    counts.lines_read = 7;
    add_to_run(&run, counts);
    EXPECT_EQ(run.files, 2);
    EXPECT_EQ(run.forces, 6);
    EXPECT_EQ(run.moments, 2);
    EXPECT_EQ(run.comment_lines, 3);
}

// The original line each delivered line ends on, and the lines of the whole text, as
// the reader counts them over a stream (decompressed for gzip data).
struct ReadLines {
    std::vector<long long> last_lines;
    long long lines_read = 0;
};

ReadLines read_lines(const std::string &path) {
    ReadLines result;
    ToolStream stream = tool_fopen(path.c_str(), "rb");
    EXPECT_NE(stream, nullptr) << path;
    LineReaderStorage storage;
    BlockLineReader reader(stream_source(stream), &storage, 3);
    LineView line{};
    while (reader.next(&line)) {
        result.last_lines.push_back(reader.last_line());
    }
    result.lines_read = reader.lines_read();
    tool_fclose(&stream);
    return result;
}

TEST_F(FileReport, LineNumbersFromTheOriginalBytes) {
    TempDir dir;
    const std::string text = "a\r\n// c\nb\n\nc";
    dir.write("plain", text);
    dir.write("packed", gzip_bytes(text));
    for (const char *name : {"plain", "packed"}) {
        const ReadLines read = read_lines(dir.file(name).string());
        EXPECT_EQ(read.lines_read, 5) << name;
        // The lines the reader delivers: a, b, "", c.
        EXPECT_EQ(read.last_lines, (std::vector<long long>{1, 3, 4, 5})) << name;
    }
}

// Original line numbers against a model, on random texts of lines the reader delivers
// (values, empty lines, values with a comment after them) and comment-only lines it
// drops, with LF and CR LF line ends and Ctrl-Z bytes (the end of a text-mode stream on
// Windows), read plain in both modes and compressed.
TEST_F(FileReport, OriginalLinesMatchAModel) {
    const std::vector<std::string> delivered = {"shear_force 1", "", "a // b", "x\x1a y", "b # c"};
    const std::vector<std::string> dropped = {"// only", "# only", "/* only */"};
    std::mt19937 random(5);
    TempDir dir;
    for (int round = 0; round < 60; ++round) {
        std::string text;
        std::vector<long long> lines; // original number of each delivered line
        const int count = 1 + static_cast<int>(random() % 12);
        for (int line = 1; line <= count; ++line) {
            const bool keep = random() % 3 != 0;
            const std::string &body =
                keep ? delivered[random() % delivered.size()] : dropped[random() % dropped.size()];
            text += body;
            if (keep) {
                lines.push_back(line);
            }
            // Only a last line with text may go without its line end.
            if (line < count || !keep || body.empty() || random() % 2 == 0) {
                text += random() % 2 == 0 ? "\r\n" : "\n";
            }
        }
        dir.write("plain", text);
        dir.write("packed", gzip_bytes(text));
        for (const char *name : {"plain", "packed"}) {
            const ReadLines read = read_lines(dir.file(name).string());
            EXPECT_EQ(read.last_lines, lines) << name << " of '" << text << "'";
            EXPECT_EQ(read.lines_read, count) << name << " of '" << text << "'";
        }
    }
}

TEST_F(FileReport, ProgressNeverWritesWhereNoTerminalIs) {
    Progress progress;
    const std::string written = capture_stderr([&] {
        progress_begin(&progress, true); // standard error is a file here
        progress.next_draw = Progress::Clock::now();
        progress_matched(&progress, 2);
        progress_file(&progress, "a.jnt", 100);
        progress_position(&progress, 50);
        progress_file_done(&progress);
        progress_end(&progress);
    });
    EXPECT_FALSE(progress.enabled);
    EXPECT_EQ(written, "");
}

TEST_F(FileReport, ProgressLineRewritesItselfAndIsErased) {
    Progress progress;
    const std::string written = capture_stderr([&] {
        progress_begin(&progress, true);
        progress.enabled = true; // as on a terminal
        progress.start -= std::chrono::seconds(2);
        progress.next_draw = progress.start;
        progress_matched(&progress, 3);
        progress_file(&progress, "a.jnt", 2097152);
        progress.next_draw = progress.start;
        progress_position(&progress, 1048576);
        progress_erase();
        progress_end(&progress);
    });
    const std::string first = "\r0/3 files, a.jnt 0/2097152 bytes, 0.0 MB/s";
    ASSERT_EQ(written.substr(0, first.size()), first);
    EXPECT_NE(written.find("\r0/3 files, a.jnt 1048576/2097152 bytes, 0.5 MB/s"), std::string::npos)
        << written;
    const std::size_t width =
        std::string("0/3 files, a.jnt 1048576/2097152 bytes, 0.5 MB/s").size();
    EXPECT_EQ(written.substr(written.size() - width - 2), "\r" + std::string(width, ' ') + "\r");
}

} // namespace
