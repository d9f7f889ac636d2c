// The preview's diff, built while converting, against a model of the conversion: a
// text made of pieces whose converted lines and origins are known. Where the pairing
// of lines is also the shortest edit script, the streamed diff must equal the whole
// text diff; in every case it must turn the original into the converted text.
#include "diff/preview_sink.h"
#include "diff/unified_diff.h"
#include "pipeline/convert_pass.h"
#include "support/environment.h"
#include "support/process_control.h"
#include "support/run_program.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <optional>
#include <random>
#include <string>
#include <utility>
#include <vector>

namespace {

// An original text, the text the conversion writes for it, and the original lines
// each written line came from.
struct Sample {
    std::string original;
    std::string converted;
    std::vector<std::pair<long long, long long>> origins;
};

// A piece of a sample: its original lines (without line ends) and the line written for
// them, if any.
struct Piece {
    std::vector<std::string> lines;
    bool written;
    std::string text;
};

Piece random_piece(std::mt19937 *random, bool block_comments) {
    const std::string v = std::to_string((*random)() % 4);
    switch ((*random)() % (block_comments ? 9 : 7)) {
    case 0:
        return {{"// comment " + v}, false, ""};
    case 1:
        return {{"shear_force " + v}, true, "shear_force " + v + "000.000000"};
    case 2:
        return {{"bending_moment " + v + " # peak"}, true, "bending_moment " + v + "000.000000"};
    case 3:
        return {{""}, true, ""};
    case 7: { // a block comment joins lines
        Piece piece{{"joint " + v + " /* note"}, true, "joint " + v + "  tail " + v};
        piece.lines.insert(piece.lines.end(), (*random)() % 3, "more " + v);
        piece.lines.push_back("*/ tail " + v);
        return piece;
    }
    case 8:
        return {{"/* block " + v, "end */"}, false, ""};
    default:
        return {{"joint " + v}, true, "joint " + v};
    }
}

// Joins the pieces with `end` after each line (sometimes the other line end when
// `mixed`, and none after the last when `unended`); the converted lines take the first
// line end of the original, as the conversion writes them.
Sample sample_of(const std::vector<Piece> &pieces, const std::string &end, bool mixed, bool unended,
                 std::mt19937 *random) {
    Sample sample;
    std::vector<std::string> ends;
    for (const Piece &piece : pieces) {
        for (std::size_t i = 0; i < piece.lines.size(); ++i) {
            ends.push_back(mixed && (*random)() % 6 == 0 ? (end == "\n" ? "\r\n" : "\n") : end);
        }
    }
    if (unended && !pieces.empty() && !pieces.back().lines.back().empty()) {
        ends.back() = ""; // (an empty last line without a line end is no line)
    }
    const std::string written_end = ends.empty() || ends.front().empty() ? end : ends.front();
    long long line = 0;
    for (const Piece &piece : pieces) {
        for (const std::string &text : piece.lines) {
            sample.original += text + ends[static_cast<std::size_t>(line++)];
        }
        if (piece.written) {
            sample.converted += piece.text + written_end;
            sample.origins.emplace_back(line - static_cast<long long>(piece.lines.size()) + 1,
                                        line);
        }
    }
    return sample;
}

Sample random_sample(std::mt19937 *random, bool block_comments, bool mixed) {
    std::vector<Piece> pieces;
    for (int i = static_cast<int>((*random)() % 60); i > 0; --i) {
        pieces.push_back(random_piece(random, block_comments));
    }
    // A last line without a line end differs from its converted line; one found nowhere
    // else, so that the converted line cannot equal the line before it either.
    const bool unended = (*random)() % 3 == 0;
    if (unended) {
        pieces.push_back((*random)() % 2 == 0 ? Piece{{"// last"}, false, ""}
                                              : Piece{{"shear_force 9"}, true, "shear_force 9000"});
    }
    return sample_of(pieces, (*random)() % 3 == 0 ? "\r\n" : "\n", mixed, unended, random);
}

// Hands `text` from `*at` up to `to` to `give` in random pieces.
template <typename Give>
bool give_in_pieces(const std::string &text, std::size_t *at, std::size_t to, Give give,
                    std::mt19937 *random) {
    while (*at < to) {
        const std::size_t piece = std::min<std::size_t>(to - *at, 1 + (*random)() % 40);
        if (!give(text.data() + *at, piece)) {
            return false;
        }
        *at += piece;
    }
    return true;
}

struct Preview {
    std::string diff;
    bool ok = false;
    bool spilled = false;
};

// The sink's diff of `sample`, fed as a conversion would: original bytes before the
// origins that name them, written bytes after the origins of their lines, all in
// random pieces.
// All that was written to `out`, which is closed then.
std::string text_and_close(std::FILE *out) {
    std::string text;
    std::rewind(out);
    for (int c = std::fgetc(out); c != EOF; c = std::fgetc(out)) {
        text += static_cast<char>(c);
    }
    std::fclose(out);
    return text;
}

Preview preview_of(const Sample &sample, std::mt19937 *random,
                   std::size_t memory_limit = PreviewSink::kMemoryLimit,
                   std::FILE *out = std::tmpfile()) {
    Preview result;
    if (out == nullptr) {
        ADD_FAILURE() << "no temporary file for the diff";
        return result;
    }
    {
        PreviewSink sink(out, "a.jnt", memory_limit);
        auto original = [&](const char *d, std::size_t n) {
            sink.original(d, n);
            return true;
        };
        auto written = [&](const char *d, std::size_t n) { return sink.append(d, n); };
        const auto old_lines = split_lines(sample.original);
        const auto new_lines = split_lines(sample.converted);
        std::size_t given = 0;
        std::size_t appended = 0;
        std::size_t written_end = 0; // the end of the written lines whose origins are given
        bool ok = sample.origins.size() == new_lines.size();
        for (std::size_t k = 0; ok && k < sample.origins.size(); ++k) {
            const std::string_view last = old_lines[sample.origins[k].second - 1];
            const std::size_t needed = static_cast<std::size_t>(
                last.data() + last.size() - sample.original.data() + (*random)() % 30);
            ok = give_in_pieces(sample.original, &given, std::min(needed, sample.original.size()),
                                original, random);
            sink.line_origin(sample.origins[k].first, sample.origins[k].second);
            written_end += new_lines[k].size();
            if (ok && (*random)() % 3 == 0) {
                ok = give_in_pieces(sample.converted, &appended, written_end, written, random);
            }
        }
        result.ok =
            ok &&
            give_in_pieces(sample.original, &given, sample.original.size(), original, random) &&
            give_in_pieces(sample.converted, &appended, written_end, written, random) &&
            sink.finish();
        result.spilled = sink.spilled();
    }
    result.diff = text_and_close(out);
    return result;
}

std::string whole_text_diff(const Sample &sample) {
    std::FILE *out = std::tmpfile();
    if (out == nullptr) {
        ADD_FAILURE() << "no temporary file for the diff";
        return "";
    }
    EXPECT_TRUE(write_unified_diff(out, "a.jnt", sample.original, sample.converted));
    return text_and_close(out);
}

// The text `patch` makes of `original` with `diff`, or why it failed.
std::string patched(const std::string &original, const std::string &diff) {
    TempDir dir;
    dir.write("a.jnt", original);
    dir.write("changes.diff", diff);
    const ProgramResult result = run_program(
        "/usr/bin/patch", {"--quiet", "--binary", "a.jnt", "changes.diff"}, dir.path().string());
    return result.exit_status == 0
               ? dir.read("a.jnt")
               : "patch failed: " + result.standard_output + result.standard_error;
}

// Whether the host's patch can be run on the files of this build.
bool patch_here() {
    return known_fault_here("the host's patch cannot be run on this build's files").empty() &&
           run_program("/usr/bin/patch", {"--version"}).exit_status == 0;
}

// `original` changed by the unified diff `diff`, as patch applies it without any offset
// or fuzz: every hunk where its header says, its context and removed lines exactly
// the original's; nothing when the diff does not fit.
std::optional<std::string> applied(const std::string &original, const std::string &diff) {
    const auto old_lines = split_lines(original);
    auto diff_lines = split_lines(diff);
    std::string result;
    std::size_t next_old = 0; // lines of the original used so far
    std::size_t at = 2;       // after "---" and "+++"
    while (at < diff_lines.size()) {
        long old_start = 0, old_count = 1, new_start = 0, new_count = 1;
        const std::string header(diff_lines[at++]);
        if (std::sscanf(header.c_str(), "@@ -%ld,%ld +%ld,%ld @@", &old_start, &old_count,
                        &new_start, &new_count) != 4 &&
            std::sscanf(header.c_str(), "@@ -%ld +%ld,%ld @@", &old_start, &new_start,
                        &new_count) != 3 &&
            std::sscanf(header.c_str(), "@@ -%ld,%ld +%ld @@", &old_start, &old_count,
                        &new_start) != 3 &&
            std::sscanf(header.c_str(), "@@ -%ld +%ld @@", &old_start, &new_start) != 2) {
            return std::nullopt;
        }
        const std::size_t first =
            static_cast<std::size_t>(old_count == 0 ? old_start : old_start - 1);
        if (first < next_old || first > old_lines.size()) {
            return std::nullopt;
        }
        for (; next_old < first; ++next_old) {
            result += std::string(old_lines[next_old]);
        }
        long olds = 0, news = 0;
        while (at < diff_lines.size() && diff_lines[at][0] != '@') {
            std::string line(diff_lines[at++].substr(1));
            if (at < diff_lines.size() && diff_lines[at][0] == '\\') {
                line.pop_back(); // "\ No newline at end of file"
                ++at;
            }
            const char mark =
                diff_lines[at - 1][0] == '\\' ? diff_lines[at - 2][0] : diff_lines[at - 1][0];
            if (mark != '+' && (next_old >= old_lines.size() || old_lines[next_old] != line)) {
                return std::nullopt;
            }
            next_old += mark != '+' ? 1 : 0;
            olds += mark != '+' ? 1 : 0;
            news += mark != '-' ? 1 : 0;
            result += mark != '-' ? line : "";
        }
        if (olds != old_count || news != new_count) {
            return std::nullopt;
        }
    }
    for (; next_old < old_lines.size(); ++next_old) {
        result += std::string(old_lines[next_old]);
    }
    return result;
}

// Without mixed line ends no written line equals an original line other than its own
// and the lines it copies, so the pairing is the shortest script and both diffs agree:
// with block comments, line ends CR LF or none at the end, and stores small enough
// that every one of them spills.
TEST(PreviewSink, MatchesTheWholeTextDiff) {
    std::mt19937 random(5);
    bool spilled = false;
    for (int round = 0; round < 400; ++round) {
        const Sample sample = random_sample(&random, round % 2 == 0, false);
        const std::size_t limit = round % 4 < 2 ? PreviewSink::kMemoryLimit : 64;
        const Preview preview = preview_of(sample, &random, limit);
        ASSERT_TRUE(preview.ok) << sample.original;
        ASSERT_EQ(preview.diff, whole_text_diff(sample)) << "round " << round << "\n"
                                                         << sample.original;
        spilled = spilled || preview.spilled;
    }
    EXPECT_TRUE(spilled);
}

TEST(PreviewSink, EdgeTexts) {
    std::mt19937 random(3);
    const std::vector<Sample> samples = {
        {"", "", {}},
        {"// only a comment\n", "", {}},
        {"// a\n// b", "", {}},
        {"joint 1", "joint 1\n", {{1, 1}}},
        {"joint 1\r\n// end", "joint 1\r\n", {{1, 1}}},
        {"joint 1\nshear_force 2", "joint 1\nshear_force 2000.000000\n", {{1, 1}, {2, 2}}},
        {"a\r\nb\nc\r\n", "a\r\nb\r\nc\r\n", {{1, 1}, {2, 2}, {3, 3}}},
        {"/* x\n*/ a\n", " a\n", {{1, 2}}},
        // Texts that both end without a line end (never written by the conversion).
        {"a\nb", "a\nb", {{1, 1}, {2, 2}}},
        {"a\nb", "a\nc", {{1, 1}, {2, 2}}},
    };
    for (const Sample &sample : samples) {
        const Preview preview = preview_of(sample, &random);
        EXPECT_TRUE(preview.ok) << sample.original;
        EXPECT_EQ(preview.diff, whole_text_diff(sample)) << sample.original;
    }
}

// Every joint changes, so one hunk spans the file: its lines wait in scratch files
// until its header can be written.
TEST(PreviewSink, OneHunkOverALargeFileSpillsAndApplies) {
    std::mt19937 random(9);
    std::vector<Piece> pieces;
    for (int joint = 0; pieces.size() < 200000; ++joint) {
        const std::string n = std::to_string(joint);
        pieces.push_back({{"// joint " + n}, false, ""});
        pieces.push_back({{"name J" + n}, true, "name J" + n});
        pieces.push_back({{"shear_force " + n}, true, "shear_force " + n + "000.000000"});
        pieces.push_back({{"bending_moment 2 # at J" + n}, true, "bending_moment 2000.000000"});
        pieces.push_back({{""}, true, ""});
    }
    const Sample sample = sample_of(pieces, "\r\n", false, true, &random);
    const Preview preview = preview_of(sample, &random);
    ASSERT_TRUE(preview.ok);
    EXPECT_TRUE(preview.spilled);
    EXPECT_EQ(preview.diff.find("\n@@", 20), std::string::npos) << "one hunk";
    EXPECT_EQ(preview.diff, whole_text_diff(sample));
    if (patch_here()) {
        EXPECT_TRUE(patched(sample.original, preview.diff) == sample.converted);
    }
}

// With mixed line ends a written line may equal another original line, and the
// shortest script may pair lines another way; the preview still gives the converted
// text. (The cases below are where the pairing and `diff -u --minimal` differ.)
TEST(PreviewSink, PatchGivesTheConvertedText) {
    if (!patch_here()) {
        GTEST_SKIP() << "no patch program here";
    }
    std::mt19937 random(13);
    for (int round = 0; round < 40; ++round) {
        const Sample sample = random_sample(&random, true, true);
        const Preview preview = preview_of(sample, &random, round % 2 == 0 ? 64 : 1 << 20);
        ASSERT_TRUE(preview.ok);
        ASSERT_EQ(patched(sample.original, preview.diff), sample.converted) << sample.original;
    }
}

// A source that hands out a text in pieces of random sizes.
struct PieceSource {
    const std::string *text;
    std::size_t at;
    std::mt19937 *random;

    static long read(void *context, char *buffer, std::size_t size) {
        auto *self = static_cast<PieceSource *>(context);
        const std::size_t piece = std::min<std::size_t>(
            {size, self->text->size() - self->at, 1 + (*self->random)() % 300});
        std::copy_n(self->text->data() + self->at, piece, buffer);
        self->at += piece;
        return static_cast<long>(piece);
    }
};

class TextSink : public OutputSink {
  public:
    bool append(const char *data, std::size_t size) override {
        text.append(data, size);
        return true;
    }
    bool finish() override { return true; }
    std::string text;
};

// The conversion pass itself feeds the preview, on texts of random tokens: comments of
// every kind and nested, lone carriage returns, line ends of both kinds, values that
// convert or do not. Its diff must take the text exactly to what the pass writes.
TEST(PreviewSink, FedByTheConversionPass) {
    const char *const tokens[] = {"shear_force", "bending_moment",
                                  " ",           " ",
                                  "1.5",         "-2",
                                  "kN",          "\n",
                                  "\n",          "\r\n",
                                  "\r",          "//",
                                  "#",           "/*",
                                  "*/",          "x",
                                  "J1",          "\t"};
    const Conversion conversion{1000.0, 1000.0};
    std::mt19937 random(17);
    for (int round = 0; round < 1500; ++round) {
        std::string text;
        for (int i = static_cast<int>(random() % 120); i > 0; --i) {
            text += tokens[random() % (sizeof tokens / sizeof *tokens)];
        }
        TextSink converted;
        PieceSource source{&text, 0, &random};
        ASSERT_EQ(convert(ByteSource{&source, PieceSource::read}, &converted, conversion, nullptr),
                  ConvertOutcome::converted);
        std::FILE *out = std::tmpfile();
        ASSERT_NE(out, nullptr);
        ConvertOutcome outcome;
        {
            PreviewSink preview(out, "a.jnt", round % 2 == 0 ? 64 : PreviewSink::kMemoryLimit);
            source.at = 0;
            outcome = convert(ByteSource{&source, PieceSource::read}, &preview, conversion, nullptr,
                              &preview);
        }
        const std::string diff = text_and_close(out);
        ASSERT_EQ(outcome, ConvertOutcome::converted) << text;
        EXPECT_EQ(diff.empty(), text == converted.text);
        ASSERT_EQ(applied(text, diff).value_or("does not apply"), converted.text) << text << "\n"
                                                                                  << diff;
    }
}

// Where the pairing differs from the whole text diff (as from `diff -u --minimal`).
TEST(PreviewSink, WherePairingIsNotTheShortestScript) {
    struct Case {
        Sample sample;
        std::string preview;
    };
    const std::vector<Case> cases = {
        // A converted line equal to the next original line: both lines replaced, where
        // the shortest script keeps the second one.
        {{"shear_force 1\nshear_force 1000.000000\n",
          "shear_force 1000.000000\nshear_force 1000000.000000\n",
          {{1, 1}, {2, 2}}},
         "--- a.jnt\n+++ a.jnt\n@@ -1,2 +1,2 @@\n-shear_force 1\n-shear_force 1000.000000\n"
         "+shear_force 1000.000000\n+shear_force 1000000.000000\n"},
        // A converted line equal to the unchanged lines above it, with a change right
        // above those: diff slides the added line up to join that change, the pairing
        // leaves it after its own original line (as long a script either way).
        {{"shear_force 3\r\njoint 3\r\njoint 3",
          "shear_force 3000\r\njoint 3\r\njoint 3\r\n",
          {{1, 1}, {2, 2}, {3, 3}}},
         "--- a.jnt\n+++ a.jnt\n@@ -1,3 +1,3 @@\n-shear_force 3\r\n+shear_force 3000\r\n"
         " joint 3\r\n-joint 3\n\\ No newline at end of file\n+joint 3\r\n"},
        {{"shear_force 3\r\njoint 3\r\njoint 3\n",
          "shear_force 3000\r\njoint 3\r\njoint 3\r\n",
          {{1, 1}, {2, 2}, {3, 3}}},
         "--- a.jnt\n+++ a.jnt\n@@ -1,3 +1,3 @@\n-shear_force 3\r\n+shear_force 3000\r\n"
         " joint 3\r\n-joint 3\n+joint 3\r\n"},
    };
    std::mt19937 random(1);
    for (const Case &c : cases) {
        const Preview preview = preview_of(c.sample, &random);
        EXPECT_EQ(preview.diff, c.preview);
        EXPECT_NE(preview.diff, whole_text_diff(c.sample));
        if (patch_here()) {
            EXPECT_EQ(patched(c.sample.original, preview.diff), c.sample.converted);
        }
    }
}

// Calls that break the order a conversion makes them in make the preview fail, and
// nothing is written then. Each case would finish well without the check it meets.
TEST(PreviewSink, RefusesCallsOutOfOrder) {
    const struct {
        const char *what;
        bool (*calls)(PreviewSink *);
    } cases[] = {
        {"a run ending before it starts",
         [](PreviewSink *s) {
             s->original("a\nb\n", 4);
             s->line_origin(2, 1);
             return s->append("b\n", 2) && s->finish();
         }},
        {"written bytes without an origin",
         [](PreviewSink *s) {
             s->original("a\n", 2);
             return s->append("a\n", 2) && s->finish();
         }},
        {"an origin never given",
         [](PreviewSink *s) {
             s->original("a\n", 2);
             s->line_origin(3, 3);
             return s->append("a\n", 2) && s->finish();
         }},
        {"an origin without its written line",
         [](PreviewSink *s) {
             s->original("a\n", 2);
             s->line_origin(1, 1);
             return s->finish();
         }},
        {"bytes after the unended last line was paired",
         [](PreviewSink *s) {
             s->original("a", 1);
             s->line_origin(1, 1);
             const bool appended = s->append("a\n", 2);
             s->original("b\n", 2);
             return appended && s->finish();
         }},
    };
    for (const auto &c : cases) {
        std::FILE *out = std::tmpfile();
        ASSERT_NE(out, nullptr);
        {
            PreviewSink sink(out, "a.jnt");
            EXPECT_FALSE(c.calls(&sink)) << c.what;
            EXPECT_EQ(sink.error(), 0) << c.what << ": no system call failed";
        }
        EXPECT_EQ(std::ftell(out), 0) << c.what;
        std::fclose(out);
    }
}

TEST(PreviewSink, FailsWhenNoScratchFileCanBeMade) {
    std::FILE *out = std::tmpfile(); // before the temporary directory goes
    ASSERT_NE(out, nullptr);
    TempDir dir;
    const std::string missing = (dir.path() / "missing").string();
    ScopedEnvironmentVariable tmpdir("TMPDIR", missing.c_str());
    ScopedEnvironmentVariable tmp("TMP", missing.c_str());
    ScopedEnvironmentVariable temp("TEMP", missing.c_str());
    std::mt19937 random(2);
    std::vector<Piece> pieces(50, Piece{{"shear_force 1"}, true, "shear_force 1000.000000"});
    const Preview preview =
        preview_of(sample_of(pieces, "\n", false, false, &random), &random, 64, out);
    EXPECT_FALSE(preview.ok);
    EXPECT_EQ(preview.diff, "");
}

} // namespace
