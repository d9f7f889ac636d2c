// SPDX-License-Identifier: MIT
#include "libtools/tool_dstring.h"
#include "support/memory_check.h"

#include <cstring>
#include <map>
#include <random>
#include <string>
#include <vector>

namespace {

using Wildcard = LeakCheckedTest;
using Brackets = LeakCheckedTest;

// The matcher's defining recursion, transcribed directly over characters (exponential in
// the worst case, so only for short inputs): the reference the library's matcher must
// agree with. Its folding knows the letters the tests use, independently of the library.
std::u32string decode(const char *utf8) {
    std::u32string out;
    for (const auto *s = reinterpret_cast<const unsigned char *>(utf8); *s != 0;) {
        const int length = *s < 0x80 ? 1 : *s < 0xE0 ? 2 : *s < 0xF0 ? 3 : 4;
        char32_t code = length == 1 ? *s : (*s & (0x7F >> length));
        for (int i = 1; i < length; ++i) {
            code = (code << 6) | (s[i] & 0x3F);
        }
        out += code;
        s += length;
    }
    return out;
}

char32_t model_fold(char32_t c) {
    static const std::map<char32_t, char32_t> upper_to_lower = {
        {U'\u00C4', U'\u00E4'}, {U'\u03A9', U'\u03C9'}, {U'\u212A', U'k'}, {U'\u1E9E', U'\u00DF'}};
    if (c >= U'A' && c <= U'Z') {
        return c - U'A' + U'a';
    }
    const auto found = upper_to_lower.find(c);
    return found != upper_to_lower.end() ? found->second : c;
}

bool same(char32_t a, char32_t b, bool fold) {
    return fold ? model_fold(a) == model_fold(b) : a == b;
}

bool reference_match(const char32_t *p, const char32_t *t, bool fold) {
    if ((p[0] == U'*' || p[0] == U'%') && p[1] == 0) {
        return true;
    }
    switch (p[0]) {
    case 0:
        return t[0] == 0;
    case U'?':
    case U'$':
        return t[0] != 0 && reference_match(p + 1, t + 1, fold);
    case U'*':
    case U'%':
        for (const char32_t *k = t; *k != 0; ++k) {
            if (reference_match(p + 1, k, fold)) {
                return true;
            }
        }
        return false;
    default:
        break;
    }
    const char32_t *close = p;
    while (p[0] == U'[' && *close != 0 && *close != U']') {
        ++close;
    }
    if (p[0] == U'[' && *close == U']') {
        if (t[0] == 0) {
            return false;
        }
        for (const char32_t *s = p + 1; s != close; ++s) {
            if (same(*s, t[0], fold)) {
                return reference_match(close + 1, t + 1, fold);
            }
        }
        return false;
    }
    return same(p[0], t[0], fold) && reference_match(p + 1, t + 1, fold);
}

bool reference_match(const char *pattern, const char *text, bool fold) {
    return reference_match(decode(pattern).c_str(), decode(text).c_str(), fold);
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

TEST_F(Wildcard, FoldsCaseByUnicodeAndMatchesCharacters) {
    const struct {
        const char *pattern;
        const char *text;
        int exact;
        int folded;
    } cases[] = {
        {"\u00E4*.jnt", "\u00C4BC.jnt", 0, 1},                       // a-umlaut and its capital
        {"\u03C9*.jnt", "\u03A9\u03BC\u03AD\u03B3\u03B1.jnt", 0, 1}, // omega
        {"?.jnt", "\u00E4.jnt", 1, 1},                               // "?" takes one character
        {"??.jnt", "\u00E4.jnt", 0, 0},                              // not one byte
        {"[\u00E4\u00F6]x", "\u00D6x", 0, 1},                        // a set of two-byte characters
        {"k*", "\u212A", 0, 1},                                      // the Kelvin sign folds to k
        {"\u00DF", "\u1E9E", 0, 1},                                  // capital sharp s to sharp s
        {"\u00DF", "ss", 0, 0},                                      // no full folding
        {"\u0130", "i", 0, 0},      // dotted capital I has no simple fold
        {"\xFF*", "\xFF" "abc", 1, 1}, // a stray byte matches itself
        {"?", "\xFE", 1, 1},        // and is one character
        {"\xC3", "\u00C3", 0, 0},   // a lead byte alone is not the letter
        {"*\xC3", "a\xC3", 1, 1},   // cut sequence at the end
    };
    for (const auto &c : cases) {
        for (int fold = 0; fold < 2; ++fold) {
            EXPECT_EQ(tool_strmatch(c.pattern, c.text, fold), fold ? c.folded : c.exact)
                << "'" << c.pattern << "' against '" << c.text << "' fold " << fold;
        }
    }
}

TEST_F(Wildcard, FoldedComparisonOrdersNames) {
    const struct {
        const char *a;
        const char *b;
        int sign;
    } cases[] = {
        {"R1.JNT", "r2.jnt", -1},
        {"abc", "ABC", 0},
        {"F1.jnt", "F1.jnt.orig", -1},
        {"\u00C4", "\u00E4", 0},
        {"\u00E4", "z", 1},
        {"\u03A9x", "\u03C9X", 0},
        {"", "", 0},
        {"", "a", -1},
        {"\xFF", "\U0010FFFF", 1},
        {"a\xC3", "a\u00C3", 1},
        {nullptr, "", -1},
        {nullptr, nullptr, 0},
    };
    const auto sign = [](int v) { return (v > 0) - (v < 0); };
    for (const auto &c : cases) {
        EXPECT_EQ(sign(tool_strfoldcmp(c.a, c.b)), c.sign)
            << (c.a ? c.a : "null") << " / " << (c.b ? c.b : "null");
        EXPECT_EQ(sign(tool_strfoldcmp(c.b, c.a)), -c.sign);
    }
}

// A text of up to max_length characters drawn from `alphabet` (whole UTF-8 characters).
std::string random_string(std::mt19937 &random, const std::vector<std::string> &alphabet,
                          int max_length) {
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
    const std::vector<std::string> pattern_alphabet = {"*", "%", "?", "$",      "[",      "]",
                                                       "a", "A", "b", "\u00E4", "\u00C4", "\u03A9"};
    const std::vector<std::string> text_alphabet = {"a", "A",      "b",      "B",      "[",     "]",
                                                    "*", "\u00E4", "\u00C4", "\u03C9", "\u212A"};
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
