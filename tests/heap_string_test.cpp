// SPDX-License-Identifier: MIT
#include "libtools/tool_dstring.h"
#include "support/memory_check.h"

#include <cerrno>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace {

using HeapString = LeakCheckedTest;

const char *kNull = nullptr;

// A slot operation applied to a slot that starts with `before` (null when not set).
struct SlotCase {
    const char *name;
    const char *before;
    std::function<char *(char **)> operation;
    const char *after; // null: the slot must be null afterwards
};

class SlotOperations : public HeapString, public ::testing::WithParamInterface<SlotCase> {};

TEST_P(SlotOperations, LeaveTheExpectedContentAndReturnIt) {
    const SlotCase &c = GetParam();
    char *slot = tool_strdup(c.before);
    char *result = nullptr;
    const std::string messages = capture_stderr([&] { result = c.operation(&slot); });
    EXPECT_EQ(messages, "");
    EXPECT_EQ(result, slot);
    if (c.after == nullptr) {
        EXPECT_EQ(slot, nullptr);
    } else {
        ASSERT_NE(slot, nullptr);
        EXPECT_STREQ(slot, c.after);
    }
    tool_strfree(&slot);
}

INSTANTIATE_TEST_SUITE_P(
    Table, SlotOperations,
    ::testing::Values(
        SlotCase{"CatOntoNullSlot", kNull, [](char **s) { return tool_strcat(s, ""); }, ""},
        SlotCase{"CatNullSource", "ab", [](char **s) { return tool_strcat(s, kNull); }, "ab"},
        SlotCase{"CatAppends", "ab", [](char **s) { return tool_strcat(s, "cd"); }, "abcd"},
        SlotCase{"NcatZeroOntoNull", kNull, [](char **s) { return tool_strncat(s, "xy", 0); }, ""},
        SlotCase{"NcatCuts", "ab", [](char **s) { return tool_strncat(s, "cdef", 2); }, "abcd"},
        SlotCase{"NcatClamps", "ab", [](char **s) { return tool_strncat(s, "c", 9); }, "abc"},
        SlotCase{"CpyReplaces", "long text", [](char **s) { return tool_strcpy(s, "x"); }, "x"},
        SlotCase{"CpyNullReleases", "abc", [](char **s) { return tool_strcpy(s, kNull); }, kNull},
        SlotCase{"NcpyThree", kNull, [](char **s) { return tool_strncpy(s, "abcdef", 3); }, "abc"},
        SlotCase{"NcpyTen", kNull, [](char **s) { return tool_strncpy(s, "abcdef", 10); },
                 "abcdef"},
        SlotCase{"NcpyZero", kNull, [](char **s) { return tool_strncpy(s, "abcdef", 0); }, ""},
        SlotCase{"NcpyShrinks", "abcdef", [](char **s) { return tool_strncpy(s, "abcdef", 2); },
                 "ab"},
        SlotCase{"NcpyNullReleases", "a", [](char **s) { return tool_strncpy(s, kNull, 1); },
                 kNull},
        SlotCase{"SprintfFormats", "old",
                 [](char **s) { return tool_sprintf(s, "%s-%d", "n", 42); }, "n-42"},
        SlotCase{"SprintfNullFormat", "old", [](char **s) { return tool_sprintf(s, kNull, 0); },
                 "old"}),
    [](const auto &info) { return std::string(info.param.name); });

TEST_F(HeapString, NullSlotPointersAreHarmless) {
    EXPECT_EQ(tool_strcat(nullptr, "a"), nullptr);
    EXPECT_EQ(tool_strncat(nullptr, "a", 1), nullptr);
    EXPECT_EQ(tool_strcpy(nullptr, "a"), nullptr);
    EXPECT_EQ(tool_strncpy(nullptr, "a", 1), nullptr);
    EXPECT_EQ(tool_sprintf(nullptr, "%d", 1), nullptr);
    EXPECT_EQ(tool_strfree(nullptr), 0);
    char *slot = nullptr;
    EXPECT_EQ(tool_strfree(&slot), 1);
    EXPECT_EQ(tool_strdup(nullptr), nullptr);
}

TEST_F(HeapString, DuplicateIsAnIndependentExactCopy) {
    char source[] = "abc";
    char *copy = tool_strdup(source);
    source[0] = 'x';
    EXPECT_STREQ(copy, "abc");
    char *empty = tool_strdup("");
    EXPECT_STREQ(empty, "");
    tool_strfree(&copy);
    tool_strfree(&empty);
    EXPECT_EQ(copy, nullptr);
}

TEST_F(HeapString, SprintfHasNoLengthLimitAndMayReadItsOwnSlot) {
    const std::string long_text(25000, 'q');
    char *slot = nullptr;
    tool_sprintf(&slot, "<%s>", long_text.c_str());
    EXPECT_EQ(std::strlen(slot), long_text.size() + 2);
    tool_sprintf(&slot, "%.3s|%s", slot, "end");
    EXPECT_STREQ(slot, "<qq|end");
    tool_strfree(&slot);
}

// Appending piece by piece resizes the block a number of times logarithmic in the final
// length: the allocator's planned failure, set beyond the bound, is never reached.
TEST_F(HeapString, AppendsGrowTheBlockGeometrically) {
    constexpr int kAppends = 50000;
    constexpr long kResizeBound = 40; // doubling needs about 17; exact sizing 50,000
    char *slot = nullptr;
    tool_memory_fail_nth(kResizeBound + 1);
    for (int i = 0; i < kAppends; ++i) {
        if ((i % 2 == 0 ? tool_strcat(&slot, "x") : tool_strncat(&slot, "xyz", 1)) == nullptr) {
            break;
        }
    }
    EXPECT_FALSE(tool_memory_failure_happened());
    ASSERT_NE(slot, nullptr);
    EXPECT_EQ(std::string(slot), std::string(kAppends, 'x'));
    EXPECT_GE(tool_block_size(slot), static_cast<unsigned>(kAppends) + 1);
    tool_strfree(&slot);
}

// tool_strappend, the append with a kept length: a million one-character appends stay
// within the same bound of resizes, and the string is never measured, so the length the
// caller keeps is where the text goes.
TEST_F(HeapString, AppendsAtAKeptLengthInLinearWork) {
    constexpr unsigned kAppends = 1000000;
    constexpr long kResizeBound = 40; // doubling needs about 20
    char *slot = nullptr;
    unsigned length = 0;
    tool_memory_fail_nth(kResizeBound + 1);
    for (unsigned i = 0; i < kAppends && tool_strappend(&slot, &length, "xyz", 1) != nullptr; ++i) {
    }
    EXPECT_FALSE(tool_memory_failure_happened());
    ASSERT_NE(slot, nullptr);
    EXPECT_EQ(length, kAppends);
    EXPECT_EQ(std::strlen(slot), kAppends);
    EXPECT_EQ(std::string(slot), std::string(kAppends, 'x'));

    length = 2; // the caller cut the text to two characters
    EXPECT_STREQ(tool_strappend(&slot, &length, "-end", 10), "xx-end");
    EXPECT_EQ(length, 6U);
    EXPECT_STREQ(tool_strappend(&slot, &length, nullptr, 3), "xx-end");

    errno = 0;
    EXPECT_EQ(tool_strappend(&slot, nullptr, "a", 1), nullptr);
    EXPECT_EQ(errno, EINVAL);
    length = tool_block_size(slot); // beyond the string's block
    EXPECT_EQ(tool_strappend(&slot, &length, "a", 1), nullptr);
    EXPECT_STREQ(slot, "xx-end");
    tool_strfree(&slot);
    length = 3; // a null slot holds no text
    EXPECT_EQ(tool_strappend(&slot, &length, "a", 1), nullptr);
    length = 0;
    EXPECT_STREQ(tool_strappend(&slot, &length, "ab", 5), "ab");
    tool_strfree(&slot);
}

// The room an append leaves is never taken for the string: each step below changes the
// slot's string as a caller may (by hand included), and the next append must follow the
// string as it now reads.
TEST_F(HeapString, AppendsFollowTheStringAsItReadsNow) {
    struct Step {
        const char *name;
        std::function<void(char **)> change;
        std::function<void(std::string *)> model;
    };
    const std::vector<Step> steps = {
        {"cat", [](char **s) { tool_strcat(s, "abcdef"); }, [](std::string *m) { *m += "abcdef"; }},
        {"cut by hand", [](char **s) { (*s)[2] = '\0'; }, [](std::string *m) { m->resize(2); }},
        {"cat after cut", [](char **s) { tool_strcat(s, "Q"); }, [](std::string *m) { *m += "Q"; }},
        {"ncat", [](char **s) { tool_strncat(s, "0123456789", 7); },
         [](std::string *m) { *m += "0123456"; }},
        {"cut in place", [](char **s) { tool_strcutright(*s, 4); },
         [](std::string *m) { m->resize(m->size() - 4); }},
        {"cpy shrinks", [](char **s) { tool_strcpy(s, "z"); }, [](std::string *m) { *m = "z"; }},
        {"cat after cpy", [](char **s) { tool_strcat(s, "yy"); },
         [](std::string *m) { *m += "yy"; }},
        {"emptied by hand", [](char **s) { (*s)[0] = '\0'; }, [](std::string *m) { m->clear(); }},
        {"cat onto empty", [](char **s) { tool_strcat(s, "end"); },
         [](std::string *m) { *m += "end"; }},
    };
    char *slot = nullptr;
    std::string model;
    for (const Step &step : steps) {
        step.change(&slot);
        step.model(&model);
        ASSERT_NE(slot, nullptr) << step.name;
        EXPECT_EQ(std::string(slot), model) << step.name;
        EXPECT_GE(tool_block_size(slot), model.size() + 1) << step.name;
    }
    tool_strfree(&slot);
}

// Every allocation of each operation fails in turn: the operation prints its own
// message once, leaves the slot null and leaks nothing.
struct FailureCase {
    const char *name;
    const char *before;
    std::function<char *(char **)> operation;
    const char *message;
};

class AllocationFailure : public HeapString, public ::testing::WithParamInterface<FailureCase> {};

TEST_P(AllocationFailure, ReportsReleasesAndLeavesTheSlotNull) {
    const FailureCase &c = GetParam();
    char *slot = tool_strdup(c.before);
    char *result = nullptr;
    tool_memory_fail_nth(1);
    const std::string messages = capture_stderr([&] { result = c.operation(&slot); });
    EXPECT_TRUE(tool_memory_failure_happened());
    EXPECT_EQ(messages, std::string("Error: ") + c.message + ": Memory allocation failed!\n");
    EXPECT_EQ(slot, nullptr);
    EXPECT_EQ(result, nullptr);

    // The operation allocates once: with the second allocation failing it succeeds.
    slot = tool_strdup(c.before);
    tool_memory_fail_nth(2);
    EXPECT_EQ(capture_stderr([&] { result = c.operation(&slot); }), "");
    EXPECT_FALSE(tool_memory_failure_happened());
    EXPECT_NE(slot, nullptr);
    tool_strfree(&slot);
}

INSTANTIATE_TEST_SUITE_P(
    Table, AllocationFailure,
    ::testing::Values(
        FailureCase{"CatGrow", "abc", [](char **s) { return tool_strcat(s, "d"); }, "tool_strcat"},
        FailureCase{"CatNew", kNull, [](char **s) { return tool_strcat(s, "d"); }, "tool_strcat"},
        FailureCase{"Ncat", "abc", [](char **s) { return tool_strncat(s, "de", 1); },
                    "tool_strncat"},
        FailureCase{"Cpy", "abc", [](char **s) { return tool_strcpy(s, "longer text"); },
                    "tool_strcpy"},
        FailureCase{"Ncpy", kNull, [](char **s) { return tool_strncpy(s, "abc", 2); },
                    "tool_strncpy"},
        FailureCase{"Sprintf", "abc", [](char **s) { return tool_sprintf(s, "%d", 1234567); },
                    "tool_strcpy"},
        FailureCase{"Dup", kNull, [](char **s) { return *s = tool_strdup("abc"); }, "tool_strdup"}),
    [](const auto &info) { return std::string(info.param.name); });

TEST_F(HeapString, MemdupFailureReportsAndReturnsNull) {
    tool_memory_fail_nth(1);
    void *copy = reinterpret_cast<void *>(1);
    const std::string messages = capture_stderr([&] { copy = tool_memdup("abc", 3); });
    EXPECT_EQ(copy, nullptr);
    EXPECT_EQ(messages, "Error: tool_memdup: Memory allocation failed!\n");
}

TEST_F(HeapString, BlockOperationsFollowTheNullRules) {
    EXPECT_EQ(tool_memdup("abc", 0), nullptr);
    EXPECT_EQ(tool_memdup(nullptr, 3), nullptr);
    char *copy = static_cast<char *>(tool_memdup("abc", 3));
    EXPECT_EQ(std::memcmp(copy, "abc", 3), 0);
    tool_free(copy, __FILE__, __LINE__);

    char buffer[] = "abcdef";
    EXPECT_EQ(tool_memmove(buffer + 1, buffer, 3), buffer + 1);
    EXPECT_STREQ(buffer, "aabcef");
    EXPECT_EQ(tool_memmove(nullptr, buffer, 3), nullptr);
    EXPECT_EQ(tool_memmove(buffer, nullptr, 3), nullptr);

    EXPECT_EQ(tool_memcmp(nullptr, nullptr, 3), 0);
    EXPECT_EQ(tool_memcmp(nullptr, "a", 1), -1);
    EXPECT_EQ(tool_memcmp("a", nullptr, 1), 1);
    EXPECT_LT(tool_memcmp("ab", "ac", 2), 0);
}

TEST_F(HeapString, MemswapExchangesAndKeepsOnlySmallScratch) {
    const long live = tool_memory_live_blocks();
    std::vector<char> a(2000, 'a');
    std::vector<char> b(2000, 'b');
    tool_memswap(a.data(), b.data(), 2000);
    EXPECT_EQ(a[1999], 'b');
    EXPECT_EQ(b[0], 'a');
    EXPECT_EQ(tool_memory_live_blocks(), live); // large scratch released at once

    tool_memswap(a.data(), b.data(), 1024);
    EXPECT_EQ(a[0], 'a');
    EXPECT_EQ(tool_memory_live_blocks(), live + 1); // 1,024 bytes are kept
    tool_memswap(a.data(), b.data(), 1025);         // a larger call releases it again
    EXPECT_EQ(tool_memory_live_blocks(), live);
}

// The comparisons order null before any string and otherwise keep the C library's sign.
struct CompareCase {
    const char *a;
    const char *b;
    int strcmp_sign;
    int stricmp_sign;
};

int sign(int value) {
    return (value > 0) - (value < 0);
}

void PrintTo(const CompareCase &c, std::ostream *out) {
    *out << (c.a ? c.a : "(null)") << " vs " << (c.b ? c.b : "(null)");
}

class NullOrder : public HeapString, public ::testing::WithParamInterface<CompareCase> {};

TEST_P(NullOrder, HoldsForAllFourComparisons) {
    const CompareCase &c = GetParam();
    EXPECT_EQ(sign(tool_strcmp(c.a, c.b)), c.strcmp_sign);
    EXPECT_EQ(sign(tool_strncmp(c.a, c.b, 100)), c.strcmp_sign);
    EXPECT_EQ(sign(tool_stricmp(c.a, c.b)), c.stricmp_sign);
    EXPECT_EQ(sign(tool_strnicmp(c.a, c.b, 100)), c.stricmp_sign);
}

INSTANTIATE_TEST_SUITE_P(
    Table, NullOrder,
    ::testing::Values(CompareCase{kNull, kNull, 0, 0}, CompareCase{kNull, "", -1, -1},
                      CompareCase{"", kNull, 1, 1}, CompareCase{"abc", "abd", -1, -1},
                      CompareCase{"kN", "KN", 1, 0}, CompareCase{"T", "t", -1, 0},
                      CompareCase{"abc", "ABCD", 1, -1}, CompareCase{"\xC4", "\xE4", -1, -1}));

TEST_F(HeapString, LimitedComparisonsStopAtTheLimit) {
    EXPECT_EQ(tool_strncmp("abcX", "abcY", 3), 0);
    EXPECT_EQ(tool_strnicmp("ABCx", "abcy", 3), 0);
    EXPECT_NE(tool_strnicmp("ABCx", "abcy", 4), 0);
}

TEST_F(HeapString, SearchesTolerateNull) {
    const char *text = "a/b/c";
    EXPECT_EQ(tool_strchr(nullptr, 'a'), nullptr);
    EXPECT_EQ(tool_strrchr(nullptr, 'a'), nullptr);
    EXPECT_EQ(tool_strchr(text, '/'), text + 1);
    EXPECT_EQ(tool_strrchr(text, '/'), text + 3);
    EXPECT_EQ(tool_strstr(nullptr, "a"), nullptr);
    EXPECT_EQ(tool_strstr(text, nullptr), nullptr);
    EXPECT_EQ(tool_strstr(text, "b/"), text + 2);
    EXPECT_EQ(tool_strlen(nullptr), 0u);
    EXPECT_EQ(tool_strlen(text), 5u);
}

} // namespace
