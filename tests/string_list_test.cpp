// SPDX-License-Identifier: MIT
#include "libtools/tool_dstring.h"
#include "support/memory_check.h"

#include <string>

namespace {

using StringListTest = LeakCheckedTest;

StringList list_of(int count) {
    StringList list = {0, nullptr};
    for (int i = 0; i < count; ++i) {
        tool_strlist_append(&list, std::to_string(i).c_str());
    }
    return list;
}

KeyedStringList keyed_list_of(int count) {
    KeyedStringList list = {0, nullptr, nullptr};
    for (int i = 0; i < count; ++i) {
        tool_keyed_strlist_append(&list, i, std::to_string(i).c_str());
    }
    return list;
}

// The array must grow before index c exactly when c is 0 (a fresh array) or c + 1 is a
// multiple of ten. Failing the first allocation of an append tells which came first:
// the array growth (the append fails and empties the list) or the string copy (the
// append stores a null entry and succeeds).
bool grows_before(int c) {
    return c == 0 || (c + 1) % 10 == 0;
}

TEST_F(StringListTest, GrowsExactlyAtTheRulesPointsAndEmptiesOnFailure) {
    for (int c = 0; c <= 45; ++c) {
        StringList list = list_of(c);
        tool_memory_fail_nth(1);
        std::string messages;
        int appended = -1;
        messages = capture_stderr([&] { appended = tool_strlist_append(&list, "new"); });
        tool_memory_fail_nth(0);
        if (grows_before(c)) {
            EXPECT_EQ(appended, 0) << c;
            EXPECT_EQ(list.count, 0) << c;
            EXPECT_EQ(list.items, nullptr) << c;
            EXPECT_EQ(messages, "") << c;
        } else {
            EXPECT_EQ(appended, 1) << c;
            ASSERT_EQ(list.count, c + 1) << c;
            EXPECT_EQ(list.items[c], nullptr) << c;
            EXPECT_EQ(messages, "Error: tool_strdup: Memory allocation failed!\n") << c;
        }
        tool_strlist_free(&list);
    }
}

TEST_F(StringListTest, KeyedListGrowsBothArraysAtTheSamePoints) {
    for (int c = 0; c <= 31; ++c) {
        for (int failing = 1; failing <= 2; ++failing) {
            KeyedStringList list = keyed_list_of(c);
            tool_memory_fail_nth(failing);
            int appended = -1;
            capture_stderr([&] { appended = tool_keyed_strlist_append(&list, 99, "new"); });
            tool_memory_fail_nth(0);
            if (grows_before(c)) {
                EXPECT_EQ(appended, 0) << c << "/" << failing;
                EXPECT_EQ(list.count, 0);
                EXPECT_EQ(list.keys, nullptr);
                EXPECT_EQ(list.strings, nullptr);
            } else {
                EXPECT_EQ(appended, 1) << c;
                EXPECT_EQ(list.count, c + 1);
                EXPECT_EQ(list.keys[c], 99);
            }
            tool_keyed_strlist_free(&list);
        }
    }
}

TEST_F(StringListTest, EntriesAreOwnedCopies) {
    StringList list = {0, nullptr};
    std::string text = "abc";
    EXPECT_EQ(tool_strlist_append(&list, text.c_str()), 1);
    text[0] = 'x';
    EXPECT_EQ(list.count, 1);
    EXPECT_STREQ(list.items[0], "abc");
    EXPECT_NE(list.items[0], text.c_str());
    EXPECT_EQ(tool_strlist_append(&list, nullptr), 0);
    EXPECT_EQ(tool_strlist_append(nullptr, "a"), 0);
    EXPECT_EQ(list.count, 1);
    tool_strlist_free(&list);
}

TEST_F(StringListTest, ContainsIsExactAndSkipsNullEntries) {
    StringList empty = {0, nullptr};
    EXPECT_EQ(tool_strlist_contains(&empty, "abc"), 0);
    EXPECT_EQ(tool_strlist_contains(nullptr, "abc"), 0);

    StringList list = list_of(1); // "0", then a null entry from a failed copy, then "abc"
    tool_memory_fail_nth(1);
    capture_stderr([&] { tool_strlist_append(&list, "lost"); });
    tool_strlist_append(&list, "abc");
    EXPECT_EQ(list.count, 3);
    EXPECT_EQ(tool_strlist_contains(&list, "abc"), 1);
    EXPECT_EQ(tool_strlist_contains(&list, "ABC"), 0);
    EXPECT_EQ(tool_strlist_contains(&list, "lost"), 0);
    EXPECT_EQ(tool_strlist_contains(&list, nullptr), 0);

    StringList copy = {0, nullptr};
    EXPECT_EQ(tool_strlist_append_list(&copy, &list), 0);
    ASSERT_EQ(copy.count, 2);
    EXPECT_STREQ(copy.items[0], "0");
    EXPECT_STREQ(copy.items[1], "abc");
    tool_strlist_free(&copy);
    tool_strlist_free(&list);
}

TEST_F(StringListTest, FreeResetsAndTheListCanBeReused) {
    StringList list = {0, nullptr};
    EXPECT_EQ(tool_strlist_free(&list), 1);
    EXPECT_EQ(list.items, nullptr);
    EXPECT_EQ(tool_strlist_free(nullptr), 0);
    list = list_of(25);
    EXPECT_EQ(tool_strlist_free(&list), 1);
    EXPECT_EQ(list.count, 0);
    EXPECT_EQ(list.items, nullptr);
    EXPECT_EQ(tool_strlist_append(&list, "again"), 1);
    EXPECT_STREQ(list.items[0], "again");
    tool_strlist_free(&list);
}

struct KeyedQuery {
    int key;
    const char *text;
    int mode;
    int expected;
};

TEST_F(StringListTest, KeyedContainsFollowsItsMode) {
    KeyedStringList list = {0, nullptr, nullptr};
    tool_keyed_strlist_append(&list, 1, "one");
    tool_keyed_strlist_append(&list, 2, "two");
    const KeyedQuery queries[] = {
        {1, "x", 1, 1},   {3, "x", 1, 0},   {1, nullptr, 1, 0}, {9, "two", 2, 1},
        {9, "TWO", 2, 0}, {2, "two", 3, 1}, {1, "two", 3, 0},   {2, "two", 7, 1},
    };
    for (const KeyedQuery &q : queries) {
        EXPECT_EQ(tool_keyed_strlist_contains(&list, q.key, q.text, q.mode), q.expected)
            << q.key << " " << (q.text ? q.text : "(null)") << " mode " << q.mode;
    }
    KeyedStringList copy = {0, nullptr, nullptr};
    EXPECT_EQ(tool_keyed_strlist_append_list(&copy, &list), 0);
    EXPECT_EQ(copy.count, 2);
    EXPECT_EQ(copy.keys[1], 2);
    tool_keyed_strlist_free(&copy);
    EXPECT_EQ(tool_keyed_strlist_free(&list), 1);
    EXPECT_EQ(list.count, 0);
    EXPECT_EQ(list.keys, nullptr);
    EXPECT_EQ(tool_keyed_strlist_contains(&list, 1, "one", 1), 0);
    EXPECT_EQ(tool_keyed_strlist_free(nullptr), 0);
}

// A list appended to itself gains one copy of what it held, at every size around the
// growth points; when a growth fails midway the list is emptied and the append ends.
TEST_F(StringListTest, AppendingAListToItselfDoublesItOnce) {
    for (int c : {0, 1, 4, 5, 9, 10, 19, 25}) {
        StringList list = list_of(c);
        EXPECT_EQ(tool_strlist_append_list(&list, &list), 0);
        ASSERT_EQ(list.count, 2 * c) << c;
        for (int i = 0; i < 2 * c; ++i) {
            EXPECT_STREQ(list.items[i], std::to_string(i % c).c_str()) << c;
        }
        tool_strlist_free(&list);

        KeyedStringList keyed = keyed_list_of(c);
        EXPECT_EQ(tool_keyed_strlist_append_list(&keyed, &keyed), 0);
        ASSERT_EQ(keyed.count, 2 * c) << c;
        for (int i = 0; i < 2 * c; ++i) {
            EXPECT_EQ(keyed.keys[i], i % c) << c;
            EXPECT_STREQ(keyed.strings[i], std::to_string(i % c).c_str()) << c;
        }
        tool_keyed_strlist_free(&keyed);
    }
    for (int failing = 1; failing <= 12; ++failing) {
        StringList list = list_of(12);
        tool_memory_fail_nth(failing);
        capture_stderr([&] { tool_strlist_append_list(&list, &list); });
        tool_memory_fail_nth(0);
        EXPECT_TRUE(list.count == 0 || list.count == 24) << failing;
        tool_strlist_free(&list);

        KeyedStringList keyed = keyed_list_of(12);
        tool_memory_fail_nth(failing);
        capture_stderr([&] { tool_keyed_strlist_append_list(&keyed, &keyed); });
        tool_memory_fail_nth(0);
        EXPECT_TRUE(keyed.count == 0 || keyed.count == 24) << failing;
        tool_keyed_strlist_free(&keyed);
    }
}

} // namespace
