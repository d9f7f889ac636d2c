// SPDX-License-Identifier: MIT
#include "libtools/tool_dstring.h"
#include "support/memory_check.h"

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

using StringUtils = LeakCheckedTest;
using Edit = char *(*)(char *);

// Runs an in-place edit on a copy of `text`; checks it returns its argument.
std::string edited(const std::string &text, Edit edit) {
    std::vector<char> buffer(text.c_str(), text.c_str() + text.size() + 1);
    EXPECT_EQ(edit(buffer.data()), buffer.data());
    return buffer.data();
}

// The value of a new heap string, released at once.
std::string take(char *s) {
    const std::string value = s != nullptr ? s : "<null>";
    tool_strfree(&s);
    return value;
}

TEST_F(StringUtils, InPlaceEdits) {
    const struct {
        const char *text;
        Edit edit;
        const char *expected;
    } cases[] = {
        {"aZ-9\xE9x", tool_strupr, "AZ-9\xE9X"},
        {"aZ-9\xC9X", tool_strlwr, "az-9\xC9x"},
        {"dir\\", [](char *s) { return tool_strsetchar(s, -1, 0), s; }, "dir"},
        {"abc", [](char *s) { return tool_strsetchar(s, 2, 'x'), s; }, "abx"},
        {"abc", [](char *s) { return tool_strsetchar(s, -3, 'x'), s; }, "xbc"},
        {"abc", [](char *s) { return tool_strsetchar(s, 3, 'x'), s; }, "abc"},
        {"abc", [](char *s) { return tool_strsetchar(s, -4, 'x'), s; }, "abc"},
        {"", [](char *s) { return tool_strsetchar(s, -1, 'x'), s; }, ""},
        {"aabbcc", [](char *s) { return tool_strsqueeze(s, 0); }, "abc"},
        {"a  b  c", [](char *s) { return tool_strsqueeze(s, ' '); }, "a b c"},
        {"aa  b", [](char *s) { return tool_strsqueeze(s, ' '); }, "aa b"},
        {"abba", [](char *s) { return tool_strsqueeze(s, 0); }, "aba"},
        {"a-b-c-", [](char *s) { return tool_strdelchr(s, '-'); }, "abc"},
        {"abc", [](char *s) { return tool_strdelchr(s, 0); }, "abc"},
        {"  a  ", [](char *s) { return tool_strtrimleft(s, ' '); }, "a  "},
        {"  a  ", [](char *s) { return tool_strtrimright(s, ' '); }, "  a"},
        {"xxx", [](char *s) { return tool_strtrimleft(s, 'x'); }, ""},
        {"xxx", [](char *s) { return tool_strtrimright(s, 'x'); }, ""},
        {"  a", [](char *s) { return tool_strtrimleft(s, 0); }, "  a"},
        {"abc", [](char *s) { return tool_strcutleft(s, 3); }, ""},
        {"abc", [](char *s) { return tool_strcutleft(s, 4); }, "abc"},
        {"abc", [](char *s) { return tool_strcutleft(s, 0); }, "abc"},
        {"abc", [](char *s) { return tool_strcutright(s, 1); }, "ab"},
        {"abc", [](char *s) { return tool_strcutright(s, 9); }, ""},
        {"abc", [](char *s) { return tool_strcutright(s, -1); }, "abc"},
        {"a.b.c", [](char *s) { return tool_strreplchr(s, '.', '_'); }, "a_b_c"},
        {"abc", [](char *s) { return tool_strreplchr(s, 0, 'x'); }, "abc"},
        {"a/b\\c", tool_str_to_backslashes, "a\\b\\c"},
        {"a/b\\c", tool_str_to_slashes, "a/b/c"},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(edited(c.text, c.edit), c.expected) << "on '" << c.text << "'";
    }
}

TEST_F(StringUtils, SearchesAndSingleCharacters) {
    EXPECT_EQ(tool_strgetchar("x", -1), 'x');
    EXPECT_EQ(tool_strgetchar("x", -2), '\0');
    EXPECT_EQ(tool_strgetchar("abc", 3), '\0');
    EXPECT_EQ(tool_charinset('\0', ""), 1);
    EXPECT_EQ(tool_charinset('b', "abc"), 1);
    EXPECT_EQ(tool_charinset('d', "abc"), 0);
    const char path[] = "a/b\\c/d\\e";
    EXPECT_EQ(tool_strpbrk(path, "\\/"), path + 1);
    EXPECT_EQ(tool_strrpbrk(path, "\\/"), path + 7);
    EXPECT_EQ(tool_strpbrk("abc", "xyz"), nullptr);
    EXPECT_EQ(tool_strrpbrk("abc", ""), nullptr);
}

TEST_F(StringUtils, NullArguments) {
    char text[] = "a";
    char *cursor = text;
    for (Edit edit : {tool_strupr, tool_strlwr, tool_str_to_slashes, tool_str_to_backslashes}) {
        EXPECT_EQ(edit(nullptr), nullptr);
    }
    EXPECT_EQ(tool_strsqueeze(nullptr, 0), nullptr);
    EXPECT_EQ(tool_strcutright(nullptr, 1), nullptr);
    EXPECT_EQ(tool_strsetchar(nullptr, 0, 'x'), 0);
    EXPECT_EQ(tool_strgetchar(nullptr, 0), '\0');
    EXPECT_EQ(tool_charinset('a', nullptr), 0);
    EXPECT_EQ(tool_strpbrk(nullptr, "a"), nullptr);
    EXPECT_EQ(tool_strrpbrk("a", nullptr), nullptr);
    EXPECT_EQ(tool_strtok(text, nullptr, &cursor, nullptr), nullptr);
    EXPECT_EQ(tool_strtok(text, ",", nullptr, nullptr), nullptr);
    EXPECT_EQ(tool_strescape_backslashes(nullptr), nullptr);
    EXPECT_EQ(tool_strunescape(nullptr), nullptr);
    EXPECT_EQ(tool_strexpandtabs(nullptr, &cursor), 0);
    EXPECT_EQ(tool_strexpandtabs("a", nullptr), 0);
    EXPECT_EQ(tool_strexpand_env(nullptr), nullptr);
    EXPECT_EQ(tool_getenv_or_name(nullptr, 0), nullptr);
}

// Every token tool_strtok yields, each followed by "|" and the delimiter that ended it.
std::vector<std::string> tokens(const std::string &text, const char *delims) {
    std::vector<char> buffer(text.c_str(), text.c_str() + text.size() + 1);
    std::vector<std::string> result;
    char *cursor = buffer.data();
    char found = 'x';
    while (char *token = tool_strtok(cursor, delims, &cursor, &found)) {
        result.push_back(std::string(token) + "|" + std::string(found != '\0' ? 1 : 0, found));
    }
    EXPECT_EQ(cursor, TOOL_STRTOK_DONE);
    EXPECT_EQ(tool_strtok(cursor, delims, &cursor, &found), nullptr) << "the sentinel stays";
    return result;
}

TEST_F(StringUtils, TokeniserSequences) {
    using V = std::vector<std::string>;
    EXPECT_EQ(tokens("a,b,", ","), (V{"a|,", "b|,", "|"}));
    EXPECT_EQ(tokens("", ","), (V{"|"}));
    EXPECT_EQ(tokens(",,a;;b", ",;"), (V{"a|;", "b|"}));
    EXPECT_EQ(tokens("a,;", ",;"), (V{"a|,", "|"}));
    EXPECT_EQ(tokens("one two", ""), (V{"one two|"}));
}

TEST_F(StringUtils, BackslashEscapes) {
    EXPECT_EQ(take(tool_strescape_backslashes("a\\b\\\\")), "a\\\\b\\\\\\\\");
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
        {"", ""},
        {"\\99999999999999999999999", "\xFF"}, // 10^23 - 1 ends in binary 11111111
    };
    for (const auto &c : cases) {
        EXPECT_EQ(take(tool_strunescape(c.text)), c.expected) << "on '" << c.text << "'";
    }
}

TEST_F(StringUtils, TabsExpandToMultiplesOfEight) {
    const struct {
        const char *text;
        const char *expected;
    } cases[] = {
        {"\t", "        "},
        {"a\tb", "a       b"},
        {"1234567\tx", "1234567 x"},
        {"a\nb\tc", "a\nb     c"},
        {"12345678\tx", "12345678        x"},
        {"", ""},
    };
    for (const auto &c : cases) {
        char *slot = nullptr;
        EXPECT_EQ(tool_strexpandtabs(c.text, &slot), 1);
        EXPECT_EQ(take(slot), c.expected) << "on '" << c.text << "'";
    }
    char *slot = tool_strdup("\t\t\t\t\t\t\t\tx");
    EXPECT_EQ(tool_strexpandtabs(slot, &slot), 1) << "the slot's own string";
    EXPECT_EQ(take(slot), std::string(64, ' ') + "x");
    slot = tool_strdup("old");
    tool_memory_fail_nth(1);
    EXPECT_EQ(tool_strexpandtabs("a\tb", &slot), 0);
    EXPECT_EQ(slot, nullptr) << "released, not leaked";
}

char *bracket(const char *token, int user_data) {
    return tool_strdup(("<" + std::string(token) + ">" + std::to_string(user_data)).c_str());
}

char *drop_b(const char *token, int) {
    return std::string(token) == "b" ? nullptr : tool_strdup(token);
}

TEST_F(StringUtils, ExpandPassesEveryTokenToTheCallback) {
    EXPECT_EQ(take(tool_strexpand("a,b,,c", ",", bracket, 7)), "<a>7<b>7<c>7");
    EXPECT_EQ(take(tool_strexpand("a,b,", ",", bracket, 0)), "<a>0<b>0<>0");
    EXPECT_EQ(take(tool_strexpand("a,b,c", ",", drop_b, 0)), "ac");
    EXPECT_EQ(take(tool_strexpand("b", ",", drop_b, 0)), "<null>");
    EXPECT_EQ(tool_strexpand("a", ",", nullptr, 0), nullptr);
}

TEST_F(StringUtils, ExpandNeverPassesAPartialResultForWhole) {
    std::string result;
    std::string message;
    const int allocations = for_each_allocation_failure(
        [&] {
            message =
                capture_stderr([&] { result = take(tool_strexpand("a,b,c", ",", bracket, 1)); });
        },
        [&](int n) {
            EXPECT_NE(message.find("Memory allocation failed!"), std::string::npos) << n;
            // Either the whole expansion failed, or only the callback's copy of one token.
            EXPECT_TRUE(result == "<null>" || std::count(result.begin(), result.end(), '<') == 2)
                << n << ": " << result;
        });
    EXPECT_EQ(allocations, 7);
    EXPECT_EQ(result, "<a>1<b>1<c>1");
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
    EXPECT_EQ(take(tool_getenv_or_name(missing, 0)), missing);
}

} // namespace
