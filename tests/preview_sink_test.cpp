// SPDX-License-Identifier: MIT
// The preview's diff, built while converting. Against a model of the conversion (texts
// made of pieces whose converted lines and origins are known), where the pairing of
// lines is also the shortest edit script, it must equal the whole-text diff; fed by the
// conversion pass itself, it must take the text exactly to what the pass writes.
#include "diff/preview_sink.h"
#include "support/unified_diff.h"
#include "pipeline/convert_pass.h"
#include "support/environment.h"
#include "support/process_control.h"
#include "support/run_program.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <cstdio>
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

// Original lines (without line ends) and the line written for them, if any; "%" stands
// for a digit.
struct Piece {
    std::vector<std::string> lines;
    bool written;
    std::string text;
};

const Piece kPieces[] = {
    {{"joint %"}, true, "joint %"},
    {{""}, true, ""},
    {{"// comment %"}, false, ""},
    {{"shear_force %"}, true, "shear_force %000.000000"},
    {{"bending_moment % # peak"}, true, "bending_moment %000.000000"},
    {{"/* block %", "end */"}, false, ""},                       // block comments from here
    {{"joint % /* note", "*/ tail %"}, true, "joint %  tail %"}, // join lines
    {{"joint % /* note", "more", "*/ tail %"}, true, "joint %  tail %"},
};

std::string with_digit(std::string text, char digit) {
    for (char &c : text) {
        c = c == '%' ? digit : c;
    }
    return text;
}

// Joins the pieces with `end` after each line (none after the last when `unended`);
// the converted lines end with `end` too, as the conversion writes them.
Sample sample_of(const std::vector<Piece> &pieces, const std::string &end, bool unended) {
    Sample sample;
    long long line = 0;
    for (const Piece &piece : pieces) {
        for (const std::string &text : piece.lines) {
            sample.original += text + end;
            ++line;
        }
        if (piece.written) {
            sample.converted += piece.text + end;
            sample.origins.emplace_back(line + 1 - static_cast<long long>(piece.lines.size()),
                                        line);
        }
    }
    // (An empty last line without a line end is no line.)
    if (unended && !pieces.empty() && !pieces.back().lines.back().empty()) {
        sample.original.resize(sample.original.size() - end.size());
    }
    return sample;
}

// A last line without a line end is one found nowhere else, so that its converted line
// cannot equal the line before it.
Sample random_sample(std::mt19937 *random, bool block_comments) {
    std::vector<Piece> pieces;
    for (int i = static_cast<int>((*random)() % 60); i > 0; --i) {
        const Piece &piece = kPieces[(*random)() % (block_comments ? 8 : 5)];
        const char digit = static_cast<char>('0' + (*random)() % 4);
        pieces.push_back({{}, piece.written, with_digit(piece.text, digit)});
        for (const std::string &line : piece.lines) {
            pieces.back().lines.push_back(with_digit(line, digit));
        }
    }
    const bool unended = (*random)() % 3 == 0;
    if (unended) {
        pieces.push_back((*random)() % 2 == 0 ? Piece{{"// last"}, false, ""}
                                              : Piece{{"shear_force 9"}, true, "shear_force 9000"});
    }
    return sample_of(pieces, (*random)() % 3 == 0 ? "\r\n" : "\n", unended);
}

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

struct Preview {
    std::string diff;
    bool ok = false;
    bool spilled = false;
};

// The sink's diff of `sample`, fed as the conversion does: original bytes before the
// origins that name them, written bytes after the origins of their lines, all in
// random pieces.
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
        std::size_t given = 0;
        std::size_t appended = 0;
        std::size_t written_end = 0; // the end of the written lines whose origins are given
        bool ok = true;
        // Hands out the original up to `to`, and the written text up to `to_written`.
        auto feed = [&](std::size_t to, std::size_t to_written) {
            while (given < to) {
                const std::size_t n = std::min<std::size_t>(to - given, 1 + (*random)() % 40);
                sink.original(sample.original.data() + given, n);
                given += n;
            }
            while (ok && appended < to_written) {
                const std::size_t n =
                    std::min<std::size_t>(to_written - appended, 1 + (*random)() % 40);
                ok = sink.append(sample.converted.data() + appended, n);
                appended += n;
            }
        };
        const auto old_lines = split_lines(sample.original);
        const auto new_lines = split_lines(sample.converted);
        for (std::size_t k = 0; k < sample.origins.size(); ++k) {
            const std::string_view last = old_lines[sample.origins[k].second - 1];
            const std::size_t end =
                static_cast<std::size_t>(last.data() + last.size() - sample.original.data());
            feed(std::min(end + (*random)() % 30, sample.original.size()), appended);
            sink.line_origin(sample.origins[k].first, sample.origins[k].second);
            written_end += new_lines[k].size();
            feed(given, (*random)() % 3 == 0 ? written_end : appended);
        }
        feed(sample.original.size(), written_end);
        result.ok = ok && sink.finish();
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

// Whether the host's patch can be run on the files of this build.
bool patch_here() {
    return known_fault_here("the host's patch cannot be run on this build's files").empty() &&
           run_program("/usr/bin/patch", {"--version"}).exit_status == 0;
}

// The text `patch` makes of `original` with `diff`, or why it failed. Without fuzz and
// with no hunk moved from where its header puts it: a diff that applies only loosely
// is wrong.
std::string patched(const std::string &original, const std::string &diff) {
    TempDir dir;
    dir.write("a.jnt", original);
    dir.write("changes.diff", diff);
    const ProgramResult result = run_program(
        "/usr/bin/patch", {"--binary", "--fuzz=0", "a.jnt", "changes.diff"}, dir.path().string());
    return result.exit_status == 0 && result.standard_output.find("offset") == std::string::npos
               ? dir.read("a.jnt")
               : "patch failed: " + result.standard_output + result.standard_error;
}

// Without mixed line ends no written line equals an original line other than its own
// and the lines it copies, so the pairing is the shortest script and both diffs agree:
// on edge texts, then on random ones with block comments, CR LF or no line end at the
// end, and stores small enough that every one of them spills.
TEST(PreviewSink, MatchesTheWholeTextDiff) {
    std::vector<Sample> samples = {
        {"", "", {}},
        {"// only a comment\n", "", {}},
        {"// a\n// b", "", {}},
        {"joint 1", "joint 1\n", {{1, 1}}},
        {"joint 1\r\n// end", "joint 1\r\n", {{1, 1}}},
        {"a\r\nb\nc\r\n", "a\r\nb\r\nc\r\n", {{1, 1}, {2, 2}, {3, 3}}},
        {"/* x\n*/ a\n", " a\n", {{1, 2}}},
        {"a\nb", "a\nb", {{1, 1}, {2, 2}}}, // both without a line end at the end
        {"a\nb", "a\nc", {{1, 1}, {2, 2}}},
    };
    std::mt19937 random(5);
    for (int round = 0; round < 400; ++round) {
        samples.push_back(random_sample(&random, round % 2 == 0));
    }
    bool spilled = false;
    for (std::size_t i = 0; i < samples.size(); ++i) {
        const Preview preview =
            preview_of(samples[i], &random, i % 4 < 2 ? PreviewSink::kMemoryLimit : 64);
        ASSERT_TRUE(preview.ok) << samples[i].original;
        ASSERT_EQ(preview.diff, whole_text_diff(samples[i])) << samples[i].original;
        spilled = spilled || preview.spilled;
    }
    EXPECT_TRUE(spilled);
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
    const Sample sample = sample_of(pieces, "\r\n", true);
    const Preview preview = preview_of(sample, &random);
    ASSERT_TRUE(preview.ok);
    EXPECT_TRUE(preview.spilled);
    EXPECT_EQ(preview.diff.find("\n@@", 20), std::string::npos) << "one hunk";
    EXPECT_EQ(preview.diff, whole_text_diff(sample));
    if (patch_here()) {
        EXPECT_TRUE(patched(sample.original, preview.diff) == sample.converted);
    }
}

// Where the pairing and the whole text diff (as `diff -u --minimal`) differ.
TEST(PreviewSink, WherePairingIsNotTheShortestScript) {
    const struct {
        Sample sample;
        const char *preview;
    } cases[] = {
        // A converted line equal to the next original line: both lines replaced, where
        // the shortest script keeps the second one.
        {{"shear_force 1\nshear_force 1000.000000\n",
          "shear_force 1000.000000\nshear_force 1000000.000000\n",
          {{1, 1}, {2, 2}}},
         "--- a.jnt\n+++ a.jnt\n@@ -1,2 +1,2 @@\n-shear_force 1\n-shear_force 1000.000000\n"
         "+shear_force 1000.000000\n+shear_force 1000000.000000\n"},
        // A converted line equal to the unchanged line above it, with a change right
        // above that: diff slides the added line up to join that change; the pairing
        // leaves it after its own original line (an edit script as long).
        {{"shear_force 3\r\njoint 3\r\njoint 3",
          "shear_force 3000\r\njoint 3\r\njoint 3\r\n",
          {{1, 1}, {2, 2}, {3, 3}}},
         "--- a.jnt\n+++ a.jnt\n@@ -1,3 +1,3 @@\n-shear_force 3\r\n+shear_force 3000\r\n"
         " joint 3\r\n-joint 3\n\\ No newline at end of file\n+joint 3\r\n"},
    };
    std::mt19937 random(1);
    for (const auto &c : cases) {
        const Preview preview = preview_of(c.sample, &random);
        EXPECT_EQ(preview.diff, c.preview);
        EXPECT_NE(preview.diff, whole_text_diff(c.sample));
        if (patch_here()) {
            EXPECT_EQ(patched(c.sample.original, preview.diff), c.sample.converted);
        }
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
// every kind, nested and left open, lone carriage returns, line ends of both kinds,
// values that convert or do not.
TEST(PreviewSink, FedByTheConversionPass) {
    if (!patch_here()) {
        GTEST_SKIP() << "no patch program here";
    }
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
    for (int round = 0; round < 200; ++round) {
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
        ASSERT_EQ(diff.empty(), text == converted.text);
        ASSERT_EQ(diff.empty() ? text : patched(text, diff), converted.text) << text << "\n"
                                                                             << diff;
    }
}

// Calls out of the order a conversion makes them in make the preview fail, with nothing
// written. Each case would finish well without the check it meets.
TEST(PreviewSink, RefusesCallsOutOfOrder) {
    const struct {
        const char *what;
        bool (*calls)(PreviewSink *);
    } cases[] = {
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
    ScopedVariable tmpdir("TMPDIR", missing.c_str());
    ScopedVariable tmp("TMP", missing.c_str());
    ScopedVariable temp("TEMP", missing.c_str());
    std::mt19937 random(2);
    const std::vector<Piece> pieces(50, {{"shear_force 1"}, true, "shear_force 1000.000000"});
    const Preview preview = preview_of(sample_of(pieces, "\n", false), &random, 64, out);
    EXPECT_FALSE(preview.ok);
    EXPECT_EQ(preview.diff, "");
}

} // namespace
