#include "libtools/tool_dstring.h"
#include "support/memory_check.h"

#include <cstdlib>
#include <string>
#include <vector>

namespace {

using StringUtils = LeakCheckedTest;

// Runs an in-place edit on a copy of `text` and returns the edited text.
template <typename Edit>
std::string edited(const std::string &text, Edit edit) {
    std::vector<char> buffer(text.begin(), text.end());
    buffer.push_back('\0');
    char *result = edit(buffer.data());
    EXPECT_EQ(result, buffer.data());
    return buffer.data();
}

TEST_F(StringUtils, CaseConversionTouchesAsciiLettersOnly) {
    EXPECT_EQ(edited("aZ-9\xE9x", tool_strupr), "AZ-9\xE9X");
    EXPECT_EQ(edited("aZ-9\xC9X", tool_strlwr), "az-9\xC9x");
    EXPECT_EQ(tool_strupr(nullptr), nullptr);
    EXPECT_EQ(tool_strlwr(nullptr), nullptr);
}

TEST_F(StringUtils, SetCharCountsFromEitherEnd) {
    struct Case {
        const char *text;
        int pos;
        int c;
        const char *expected;
    } cases[] = {
        {"dir\\", -1, 0, "dir"}, {"abc", 0, 'x', "xbc"},  {"abc", 2, 'x', "abx"},
        {"abc", 3, 'x', "abc"},  {"abc", -3, 'x', "xbc"}, {"abc", -4, 'x', "abc"},
        {"", -1, 'x', ""},       {"abc", 1, 0, "a"},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(edited(c.text, [&c](char *s) { return tool_strsetchar(s, c.pos, c.c), s; }),
                  c.expected)
            << c.text << " at " << c.pos;
    }
    EXPECT_EQ(tool_strsetchar(nullptr, 0, 'x'), 0);
}

TEST_F(StringUtils, GetCharCountsFromEitherEnd) {
    EXPECT_EQ(tool_strgetchar("x", -1), 'x');
    EXPECT_EQ(tool_strgetchar("x", -2), '\0');
    EXPECT_EQ(tool_strgetchar("abc", 1), 'b');
    EXPECT_EQ(tool_strgetchar("abc", 3), '\0');
    EXPECT_EQ(tool_strgetchar("", 0), '\0');
    EXPECT_EQ(tool_strgetchar(nullptr, 0), '\0');
}

TEST_F(StringUtils, CharacterSetSearches) {
    EXPECT_EQ(tool_charinset('\0', "abc"), 1);
    EXPECT_EQ(tool_charinset('\0', ""), 1);
    EXPECT_EQ(tool_charinset('b', "abc"), 1);
    EXPECT_EQ(tool_charinset('d', "abc"), 0);
    EXPECT_EQ(tool_charinset('a', nullptr), 0);

    const char path[] = "a/b\\c/d\\e";
    EXPECT_EQ(tool_strpbrk(path, "\\/"), path + 1);
    EXPECT_EQ(tool_strrpbrk(path, "\\/"), path + 7);
    EXPECT_EQ(tool_strpbrk("abc", "xyz"), nullptr);
    EXPECT_EQ(tool_strrpbrk("abc", ""), nullptr);
    EXPECT_EQ(tool_strpbrk(nullptr, "a"), nullptr);
    EXPECT_EQ(tool_strrpbrk("a", nullptr), nullptr);
}

// All tokens tool_strtok yields for `text`, with the delimiter that ended each.
std::vector<std::string> tokens(const std::string &text, const char *delims) {
    std::vector<char> buffer(text.begin(), text.end());
    buffer.push_back('\0');
    std::vector<std::string> result;
    char *cursor = buffer.data();
    char found = 'x';
    while (char *token = tool_strtok(cursor, delims, &cursor, &found)) {
        result.push_back(std::string(token) + "|" + (found != '\0' ? std::string(1, found) : ""));
        if (result.size() > 20) {
            break;
        }
    }
    EXPECT_EQ(cursor, TOOL_STRTOK_DONE);
    EXPECT_EQ(tool_strtok(cursor, delims, &cursor, &found), nullptr) << "sentinel is final";
    return result;
}

TEST_F(StringUtils, TokeniserSequences) {
    using V = std::vector<std::string>;
    EXPECT_EQ(tokens("a,b,", ","), (V{"a|,", "b|,", "|"}));
    EXPECT_EQ(tokens("", ","), (V{"|"}));
    EXPECT_EQ(tokens("a", ","), (V{"a|"}));
    EXPECT_EQ(tokens(",,a;;b", ",;"), (V{"a|;", "b|"}));
    EXPECT_EQ(tokens("a,;", ",;"), (V{"a|,", "|"}));
    EXPECT_EQ(tokens("one two", ""), (V{"one two|"}));
}

TEST_F(StringUtils, TokeniserRefusesNullArguments) {
    char text[] = "a,b";
    char *cursor = text;
    EXPECT_EQ(tool_strtok(nullptr, ",", &cursor, nullptr), nullptr);
    EXPECT_EQ(tool_strtok(text, nullptr, &cursor, nullptr), nullptr);
    EXPECT_EQ(tool_strtok(text, ",", nullptr, nullptr), nullptr);
    EXPECT_EQ(cursor, text);
    EXPECT_STREQ(tool_strtok(cursor, ",", &cursor, nullptr), "a");
}

TEST_F(StringUtils, InPlaceEditsAtTheirBoundaries) {
    using Edit = char *(*)(char *);
    struct Case {
        const char *text;
        Edit edit;
        const char *expected;
    } cases[] = {
        {"aabbcc", [](char *s) { return tool_strsqueeze(s, 0); }, "abc"},
        {"a  b  c", [](char *s) { return tool_strsqueeze(s, ' '); }, "a b c"},
        {"aa  b", [](char *s) { return tool_strsqueeze(s, ' '); }, "aa b"},
        {"a", [](char *s) { return tool_strsqueeze(s, 0); }, "a"},
        {"abba", [](char *s) { return tool_strsqueeze(s, 0); }, "aba"},
        {"-aaa-", [](char *s) { return tool_strsqueeze(s, 'a'); }, "-a-"},
        {"a-b-c-", [](char *s) { return tool_strdelchr(s, '-'); }, "abc"},
        {"abc", [](char *s) { return tool_strdelchr(s, 0); }, "abc"},
        {"  a  ", [](char *s) { return tool_strtrimleft(s, ' '); }, "a  "},
        {"  a  ", [](char *s) { return tool_strtrimright(s, ' '); }, "  a"},
        {"xxx", [](char *s) { return tool_strtrimleft(s, 'x'); }, ""},
        {"xxx", [](char *s) { return tool_strtrimright(s, 'x'); }, ""},
        {"  a", [](char *s) { return tool_strtrimleft(s, 0); }, "  a"},
        {"abc", [](char *s) { return tool_strcutleft(s, 3); }, ""},
        {"abc", [](char *s) { return tool_strcutleft(s, 4); }, "abc"},
        {"abc", [](char *s) { return tool_strcutleft(s, 1); }, "bc"},
        {"abc", [](char *s) { return tool_strcutleft(s, 0); }, "abc"},
        {"abc", [](char *s) { return tool_strcutright(s, 1); }, "ab"},
        {"abc", [](char *s) { return tool_strcutright(s, 9); }, ""},
        {"abc", [](char *s) { return tool_strcutright(s, -1); }, "abc"},
        {"a.b.c", [](char *s) { return tool_strreplchr(s, '.', '_'); }, "a_b_c"},
        {"abc", [](char *s) { return tool_strreplchr(s, 0, 'x'); }, "abc"},
        {"a/b\\c", tool_str_to_backslashes, "a\\b\\c"},
        {"a/b\\c", tool_str_to_slashes, "a/b/c"},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(edited(c.text, c.edit), c.expected) << "on '" << c.text << "'";
    }
}

TEST_F(StringUtils, InPlaceEditsIgnoreNull) {
    EXPECT_EQ(tool_strsqueeze(nullptr, 0), nullptr);
    EXPECT_EQ(tool_strdelchr(nullptr, 'a'), nullptr);
    EXPECT_EQ(tool_strtrimleft(nullptr, 'a'), nullptr);
    EXPECT_EQ(tool_strtrimright(nullptr, 'a'), nullptr);
    EXPECT_EQ(tool_strcutleft(nullptr, 1), nullptr);
    EXPECT_EQ(tool_strcutright(nullptr, 1), nullptr);
    EXPECT_EQ(tool_strreplchr(nullptr, 'a', 'b'), nullptr);
    EXPECT_EQ(tool_str_to_slashes(nullptr), nullptr);
}

// The result of a function returning a new heap string, released at once.
std::string take(char *s) {
    const std::string value = s != nullptr ? s : "<null>";
    tool_strfree(&s);
    return value;
}

TEST_F(StringUtils, BackslashEscapes) {
    EXPECT_EQ(take(tool_strescape_backslashes("a\\b\\\\")), "a\\\\b\\\\\\\\");
    EXPECT_EQ(take(tool_strescape_backslashes("")), "");
    EXPECT_EQ(tool_strescape_backslashes(nullptr), nullptr);

    const struct {
        const char *text;
        const char *expected;
    } cases[] = {
        {"A\\66C", "ABC"},
        {"\\9", "\t"},
        {"a\\0b", "a\\0b"},
        {"a\\xb", "a\\xb"},
        {"\\00", "\\00"},
        {"\\065", "A"},
        {"\\321", "A"},
        {"a\\256b", "ab"},
        {"\\ 65", "\\ 65"},
        {"\\-65", "\\-65"},
        {"\\+65", "\\+65"},
        {"end\\", "end\\"},
        {"\\\\66", "\\B"},
        {"plain", "plain"},
        {"", ""},
        {"\\99999999999999999999999", "\xFF"}, // 10^23 - 1 ends in binary 11111111
    };
    for (const auto &c : cases) {
        EXPECT_EQ(take(tool_strunescape(c.text)), c.expected) << "on '" << c.text << "'";
    }
    EXPECT_EQ(tool_strunescape(nullptr), nullptr);
}

TEST_F(StringUtils, TabsExpandToMultiplesOfEight) {
    const struct {
        const char *text;
        const char *expected;
    } cases[] = {
        {"\t", "        "},
        {"a\tb", "a       b"},
        {"1234567\tx", "1234567 x"},
        {"12345678\tx", "12345678        x"},
        {"a\nb\tc", "a\nb     c"},
        {"\t\t", "                "},
        {"", ""},
        {"no tabs", "no tabs"},
    };
    for (const auto &c : cases) {
        char *slot = nullptr;
        EXPECT_EQ(tool_strexpandtabs(c.text, &slot), 1);
        EXPECT_EQ(take(slot), c.expected) << "on '" << c.text << "'";
    }
}

TEST_F(StringUtils, TabsExpandIntoTheSlotsOwnString) {
    char *slot = tool_strdup("\t\t\t\t\t\t\t\tx");
    EXPECT_EQ(tool_strexpandtabs(slot, &slot), 1);
    EXPECT_EQ(take(slot), std::string(64, ' ') + "x");
    EXPECT_EQ(tool_strexpandtabs(nullptr, &slot), 0);
    EXPECT_EQ(tool_strexpandtabs("a", nullptr), 0);
}

TEST_F(StringUtils, TabsReleaseTheSlotWhenMemoryRunsOut) {
    char *slot = tool_strdup("old");
    tool_memory_fail_nth(1);
    EXPECT_EQ(tool_strexpandtabs("a\tb", &slot), 0);
    EXPECT_EQ(slot, nullptr);
}

char *bracket(const char *token, int user_data) {
    std::string piece = "<" + std::string(token) + ">" + std::to_string(user_data);
    return tool_strdup(piece.c_str());
}

char *drop_b(const char *token, int) {
    return std::string(token) == "b" ? nullptr : tool_strdup(token);
}

TEST_F(StringUtils, ExpandPassesEveryTokenToTheCallback) {
    EXPECT_EQ(take(tool_strexpand("a,b,,c", ",", bracket, 7)), "<a>7<b>7<c>7");
    EXPECT_EQ(take(tool_strexpand("a,b,", ",", bracket, 0)), "<a>0<b>0<>0");
    EXPECT_EQ(take(tool_strexpand("a,b,c", ",", drop_b, 0)), "ac");
    EXPECT_EQ(take(tool_strexpand("b", ",", drop_b, 0)), "<null>");
    EXPECT_EQ(tool_strexpand(nullptr, ",", bracket, 0), nullptr);
    EXPECT_EQ(tool_strexpand("a", ",", nullptr, 0), nullptr);
}

// The number of "<...>" pieces in a text.
int pieces(const std::string &text) {
    int count = 0;
    for (char c : text) {
        count += c == '<' ? 1 : 0;
    }
    return count;
}

TEST_F(StringUtils, ExpandNeverPassesAPartialResultForWhole) {
    const std::string full = take(tool_strexpand("a,b,c", ",", bracket, 1));
    ASSERT_EQ(full, "<a>1<b>1<c>1");
    std::string result;
    std::string message;
    const int allocations = for_each_allocation_failure(
        [&] {
            message =
                capture_stderr([&] { result = take(tool_strexpand("a,b,c", ",", bracket, 1)); });
        },
        [&](int n) {
            EXPECT_NE(message.find("Memory allocation failed!"), std::string::npos) << n;
            // Either the whole expansion failed, or the callback's own copy did and its
            // token added nothing.
            EXPECT_TRUE(result == "<null>" || pieces(result) == 2) << n << ": " << result;
        });
    EXPECT_EQ(allocations, 7);
}

TEST_F(StringUtils, EnvironmentExpansion) {
    // PATH is set on every system the toolkit runs on; the other name on none.
    const char *path = std::getenv("PATH");
    ASSERT_NE(path, nullptr);
    const char *missing = "TOOL_TEST_UNSET_VARIABLE_4711";
    ASSERT_EQ(std::getenv(missing), nullptr);

    EXPECT_EQ(take(tool_strexpand_env("%PATH%;x")), std::string(path) + ";x");
    EXPECT_EQ(take(tool_strexpand_env("PATH")), path);
    EXPECT_EQ(take(tool_strexpand_env("%TOOL_TEST_UNSET_VARIABLE_4711%")), missing);
    EXPECT_EQ(take(tool_strexpand_env("a%b")), "ab");
    EXPECT_EQ(take(tool_strexpand_env("")), "");
    EXPECT_EQ(tool_strexpand_env(nullptr), nullptr);
    EXPECT_EQ(take(tool_getenv_or_name("PATH", 0)), path);
    EXPECT_EQ(take(tool_getenv_or_name(missing, 0)), missing);
    EXPECT_EQ(tool_getenv_or_name(nullptr, 0), nullptr);
}

} // namespace
