// SPDX-License-Identifier: MIT
// The unified diff of --dry-run: its edit script is a valid one, and its text equals
// what `diff -u` writes for the same pair of texts.
#include "support/unified_diff.h"
#include "support/process_control.h"
#include "support/run_program.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <string>
#include <vector>

namespace {

std::string diff_text(const std::string &old_text, const std::string &new_text) {
    std::FILE *out = std::tmpfile();
    EXPECT_NE(out, nullptr);
    EXPECT_TRUE(write_unified_diff(out, "a.jnt", old_text, new_text));
    std::string text;
    std::rewind(out);
    for (int c = std::fgetc(out); c != EOF; c = std::fgetc(out)) {
        text += static_cast<char>(c);
    }
    std::fclose(out);
    return text;
}

// The new text the script builds from the old lines and the new lines it adds.
std::string apply(const std::vector<Edit> &script, const std::vector<std::string_view> &a,
                  const std::vector<std::string_view> &b) {
    std::string built;
    std::size_t i = 0;
    std::size_t j = 0;
    for (Edit edit : script) {
        if (edit == Edit::keep) {
            EXPECT_EQ(a.at(i), b.at(j));
            built += std::string(a.at(i++));
            ++j;
        } else if (edit == Edit::remove) {
            ++i;
        } else {
            built += std::string(b.at(j++));
        }
    }
    EXPECT_EQ(i, a.size());
    EXPECT_EQ(j, b.size());
    return built;
}

// A joint attribute text and what the converter makes of it, with some randomness in
// comments, repeated lines, line ends and the last line end.
std::pair<std::string, std::string> random_pair(std::mt19937 *random, int lines) {
    const char *end = (*random)() % 4 == 0 ? "\r\n" : "\n";
    std::string old_text;
    std::string new_text;
    for (int i = 0; i < lines; ++i) {
        const int kind = static_cast<int>((*random)() % 8);
        const std::string value = std::to_string((*random)() % 5);
        if (kind == 0) {
            old_text += "// comment " + value + end;
        } else if (kind == 1) {
            old_text += "shear_force " + value + end;
            new_text += "shear_force " + value + "000.000000" + end;
        } else if (kind == 2) {
            old_text += "bending_moment " + value + " # peak" + end;
            new_text += "bending_moment " + value + "000.000000" + end;
        } else if (kind == 3) {
            old_text += std::string(end);
            new_text += std::string(end);
        } else {
            old_text += "joint " + value + end;
            new_text += "joint " + value + end;
        }
    }
    if ((*random)() % 3 == 0 && !old_text.empty() && old_text.back() == '\n') {
        old_text.pop_back(); // no line end after the last line
        if (!old_text.empty() && old_text.back() == '\r') {
            old_text.pop_back();
        }
    }
    return {old_text, new_text};
}

TEST(UnifiedDiff, ScriptRebuildsTheNewText) {
    std::mt19937 random(7);
    for (int round = 0; round < 300; ++round) {
        const auto texts = random_pair(&random, static_cast<int>(random() % 120));
        const auto a = split_lines(texts.first);
        const auto b = split_lines(texts.second);
        EXPECT_EQ(apply(diff_lines(a, b), a, b), texts.second);
    }
}

TEST(UnifiedDiff, EqualTextsGiveNothing) {
    EXPECT_EQ(diff_text("", ""), "");
    EXPECT_EQ(diff_text("a\nb\n", "a\nb\n"), "");
}

TEST(UnifiedDiff, HunksAsDiffWritesThem) {
    struct Case {
        std::string old_text, new_text, diff;
    };
    const std::vector<Case> cases = {
        {"", "a\n", "--- a.jnt\n+++ a.jnt\n@@ -0,0 +1 @@\n+a\n"},
        {"a\n", "", "--- a.jnt\n+++ a.jnt\n@@ -1 +0,0 @@\n-a\n"},
        {"a", "a\n", "--- a.jnt\n+++ a.jnt\n@@ -1 +1 @@\n-a\n\\ No newline at end of file\n+a\n"},
        {"1\n2\n3\n4\n5\n6\n7\n8\n9\n", "1\n2\n3\n4\n6\n7\n8\n9\n",
         "--- a.jnt\n+++ a.jnt\n@@ -2,7 +2,6 @@\n 2\n 3\n 4\n-5\n 6\n 7\n 8\n"},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(diff_text(c.old_text, c.new_text), c.diff) << c.old_text;
    }
}

// The same pairs through `diff -u --minimal`, where the system has GNU diff. (Without
// --minimal GNU diff may give up the shortest script for a faster one: about one pair in
// a thousand of these differs then, always by showing more lines as changed.)
TEST(UnifiedDiff, MatchesDiffU) {
    if (const std::string fault =
            known_fault_here("the host's diff -u cannot be run to compare with");
        !fault.empty()) {
        GTEST_SKIP() << fault;
    }
    TempDir dir;
    const ProgramResult probe = run_program("/usr/bin/diff", {"--version"});
    if (probe.exit_status != 0) {
        GTEST_SKIP() << "no diff program here";
    }
    std::mt19937 random(11);
    for (int round = 0; round < 300; ++round) {
        const auto texts = random_pair(&random, static_cast<int>(random() % 120));
        dir.write("old", texts.first);
        dir.write("new", texts.second);
        const ProgramResult expected =
            run_program("/usr/bin/diff",
                        {"-u", "--minimal", "--label", "a.jnt", "--label", "a.jnt", "old", "new"},
                        dir.path().string());
        ASSERT_EQ(diff_text(texts.first, texts.second), expected.standard_output)
            << "round " << round << "\n"
            << texts.first;
    }
}

} // namespace
