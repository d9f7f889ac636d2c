// SPDX-License-Identifier: MIT
#include "libtools/tool_dstring.h"
#include "support/memory_check.h"

#include <cstring>
#include <random>
#include <string>

namespace {

using Wildcard = LeakCheckedTest;
using Brackets = LeakCheckedTest;

// The matcher's defining recursion, transcribed directly (exponential in the worst case,
// so only for short inputs): the reference the library's matcher must agree with.
char upper(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}
bool same(char a, char b, bool fold) {
    return fold ? upper(a) == upper(b) : a == b;
}

bool reference_match(const char *p, const char *t, bool fold) {
    if ((p[0] == '*' || p[0] == '%') && p[1] == '\0') {
        return true;
    }
    switch (p[0]) {
    case '\0':
        return t[0] == '\0';
    case '?':
    case '$':
        return t[0] != '\0' && reference_match(p + 1, t + 1, fold);
    case '*':
    case '%':
        for (const char *k = t; *k != '\0'; ++k) {
            if (reference_match(p + 1, k, fold)) {
                return true;
            }
        }
        return false;
    default:
        break;
    }
    const char *close = p[0] == '[' ? std::strchr(p + 1, ']') : nullptr;
    if (close != nullptr) {
        if (t[0] == '\0') {
            return false;
        }
        for (const char *s = p + 1; s != close; ++s) {
            if (same(*s, t[0], fold)) {
                return reference_match(close + 1, t + 1, fold);
            }
        }
        return false;
    }
    return same(p[0], t[0], fold) && reference_match(p + 1, t + 1, fold);
}

TEST_F(Wildcard, Table) {
    const struct {
        const char *pattern;
        const char *text;
        int exact;  // expected without case folding
        int folded; // expected with case folding
    } cases[] = {
        // clang-format off
        {"*.TXT", "notes.txt", 0, 1}, {"data?.*", "data1.csv", 1, 1}, {"data?.*", "data12.csv", 0, 0},
        {"[abc]*", "b-file", 1, 1},   {"[abc]*", "d-file", 0, 0},     {"[abc]*", "B-file", 0, 1},
        {"abc", "ABC", 0, 1},         {"*", "", 1, 1},                {"%", "", 1, 1},
        {"**", "", 0, 0},             {"**", "x", 1, 1},              {"a*", "a", 1, 1},
        {"a**", "a", 0, 0},           {"a**", "ab", 1, 1},            {"*c*", "c", 1, 1},
        {"*c**", "c", 0, 0},          {"x[", "x[", 1, 1},             {"x[", "xy", 0, 0},
        {"[]", "", 0, 0},             {"[]", "]", 0, 0},              {"[]]", "]", 0, 0},
        {"[*?]", "*", 1, 1},          {"[*?]", "x", 0, 0},            {"a$c", "abc", 1, 1},
        {"a%c", "abbbc", 1, 1},       {"a%c", "ac", 1, 1},            {"?", "", 0, 0},
        {"", "", 1, 1},               {"", "a", 0, 0},                {"a", "", 0, 0},
        {"[a-c]", "b", 0, 0},         {"[a-c]", "-", 1, 1},           {"*.*", ".", 1, 1},
        {"*.*", "..", 1, 1},          {"*.*", "noext", 0, 0},         {"[Xy]", "x", 0, 1},
        // clang-format on
    };
    for (const auto &c : cases) {
        for (int fold = 0; fold < 2; ++fold) {
            const int expected = fold ? c.folded : c.exact;
            EXPECT_EQ(tool_strmatch(c.pattern, c.text, fold), expected)
                << "'" << c.pattern << "' against '" << c.text << "' fold " << fold;
            EXPECT_EQ(reference_match(c.pattern, c.text, fold != 0), expected != 0)
                << "reference: '" << c.pattern << "' against '" << c.text << "'";
        }
    }
    EXPECT_EQ(tool_strmatch("*", nullptr, 1), 0);
    EXPECT_EQ(tool_strmatch(nullptr, nullptr, 1), 0);
    EXPECT_EQ(tool_strmatch(nullptr, "anything", 0), 1);
}

std::string random_string(std::mt19937 &random, const std::string &alphabet, int max_length) {
    std::uniform_int_distribution<int> length(0, max_length);
    std::uniform_int_distribution<std::size_t> pick(0, alphabet.size() - 1);
    std::string text;
    for (int i = length(random); i > 0; --i) {
        text += alphabet[pick(random)];
    }
    return text;
}

TEST_F(Wildcard, AgreesWithTheRecursionOnRandomInputs) {
    std::mt19937 random(20240601);
    const std::string pattern_alphabet = "*%?$[]aAbB";
    const std::string text_alphabet = "aAbB[]*";
    int matches = 0;
    const int rounds = 60000;
    for (int i = 0; i < rounds; ++i) {
        const std::string pattern = random_string(random, pattern_alphabet, 8);
        const std::string text = random_string(random, text_alphabet, 7);
        const int fold = i % 2;
        const bool expected = reference_match(pattern.c_str(), text.c_str(), fold != 0);
        ASSERT_EQ(tool_strmatch(pattern.c_str(), text.c_str(), fold), expected ? 1 : 0)
            << "'" << pattern << "' against '" << text << "' fold " << fold;
        matches += expected ? 1 : 0;
    }
    // Both answers must be well represented for the comparison to mean anything.
    EXPECT_GT(matches, rounds / 20);
    EXPECT_LT(matches, rounds - rounds / 20);
}

TEST_F(Wildcard, LongPatternsUseTrackedWorkingMemory) {
    const std::string text(2000, 'a');
    const std::string pattern = std::string(600, '*') + "a";
    EXPECT_EQ(tool_strmatch(pattern.c_str(), text.c_str(), 0), 1);
    EXPECT_EQ(tool_strmatch((pattern + "b").c_str(), text.c_str(), 0), 0);
    EXPECT_EQ(tool_strmatch(text.c_str(), text.c_str(), 0), 1);
    tool_memory_fail_nth(1);
    EXPECT_EQ(tool_strmatch(pattern.c_str(), text.c_str(), 0), 0);
    EXPECT_EQ(tool_memory_failure_happened(), 1);
}

TEST_F(Brackets, DirectionPartnerAndMatching) {
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(tool_brace_direction("([{"[i]), 1);
        EXPECT_EQ(tool_brace_direction(")]}"[i]), -1);
        EXPECT_EQ(tool_brace_partner("([{"[i]), ")]}"[i]);
        EXPECT_EQ(tool_brace_partner(")]}"[i]), "([{"[i]);
    }
    EXPECT_EQ(tool_brace_direction('a'), 0);
    EXPECT_EQ(tool_brace_partner('a'), '\0');

    char nested[] = "(a(b)c)d", open[] = "(a(b)c", kinds[] = "[(])", quotes[] = "'ab'c";
    char late[] = "x(a)";
    EXPECT_EQ(tool_find_matching('(', ')', nested), nested + 6);
    EXPECT_EQ(tool_find_matching('(', ')', open), nullptr);
    EXPECT_EQ(tool_find_matching('[', ']', kinds), kinds + 2);
    EXPECT_EQ(tool_find_matching('\'', '\'', quotes), quotes + 3);
    EXPECT_EQ(tool_find_matching('(', ')', late), nullptr);
    EXPECT_EQ(tool_find_matching('(', ')', nullptr), nullptr);
}

TEST_F(Brackets, FindBracePair) {
    char text[] = "f[x](y)";
    char *open = nullptr;
    char *close = nullptr;
    EXPECT_EQ(tool_find_brace_pair(text, &open, &close), 1);
    EXPECT_EQ(open, text + 1);
    EXPECT_EQ(close, text + 3);

    char plain[] = "no brackets";
    EXPECT_EQ(tool_find_brace_pair(plain, &open, &close), 0);
    EXPECT_EQ(open, nullptr);
    EXPECT_EQ(close, nullptr);

    char unmatched[] = "f(x";
    testing::internal::CaptureStdout();
    EXPECT_EQ(tool_find_brace_pair(unmatched, &open, &close), 0);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "Syntax error (can not find matching brace): \n  'f(x'\n");
    EXPECT_EQ(open, unmatched + 1);
    EXPECT_EQ(close, nullptr);

    char *untouched = text;
    EXPECT_EQ(tool_find_brace_pair(text, nullptr, &untouched), 0);
    EXPECT_EQ(untouched, text);
    EXPECT_EQ(tool_find_brace_pair(text, &untouched, nullptr), 0);
    EXPECT_EQ(untouched, text);
}

TEST_F(Brackets, TopLevelSearchSkipsGroups) {
    const struct {
        const char *text;
        const char *set;
        int expected; // offset, or -1 for none
    } cases[] = {
        {"f(a,b),c", ",", 6}, {"),x", ",", 1},        {"[a,(b],c", ",", 6}, {"f(a,b", ",", -1},
        {"a;b,c", ",;", 1},   {"{x,{y,}},z", ",", 8}, {"abc", "", -1},      {"abc", nullptr, -1},
    };
    for (const auto &c : cases) {
        const char *found = tool_strpbrk_toplevel(c.text, c.set);
        EXPECT_EQ(found != nullptr ? found - c.text : -1, c.expected) << c.text;
    }
    EXPECT_EQ(tool_strpbrk_toplevel(nullptr, ","), nullptr);
}

} // namespace
