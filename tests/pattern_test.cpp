// SPDX-License-Identifier: MIT
#include "libtools/tool_sys_io.h"
#include "support/file_system.h"
#include "support/memory_check.h"
#include "support/temp_dir.h"

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

namespace {

using Pattern = LeakCheckedTest;

// The list's names in sorted order; the list is released.
std::vector<std::string> take_sorted(StringList &list) {
    std::vector<std::string> names;
    for (int i = 0; i < list.count; ++i) {
        names.push_back(list.items[i] != nullptr ? list.items[i] : "<null>");
    }
    tool_strlist_free(&list);
    std::sort(names.begin(), names.end());
    return names;
}

std::string take(char *s) {
    const std::string value = s != nullptr ? s : "<null>";
    tool_strfree(&s);
    return value;
}

TEST_F(Pattern, JoinPath) {
    // Separators written as "/" stand for the system's own one; names are joined as given.
    const struct {
        const char *directory;
        const char *name;
        const char *expected;
    } cases[] = {
        // clang-format off
        {"dir", "a.txt", "dir/a.txt"}, {"dir/", "a.txt", "dir/a.txt"}, {".", nullptr, "./"},
        {nullptr, "a.txt", "/a.txt"},  {nullptr, nullptr, "/"},        {"", "x", "/x"},
        {"c:/", "", "c:/"},            {"dir", "..\\x.jnt", "dir/..\\x.jnt"},
        // clang-format on
    };
    for (const auto &c : cases) {
        const std::string directory = c.directory ? native_separators(c.directory) : "";
        EXPECT_EQ(take(tool_join_path(c.directory ? directory.c_str() : nullptr, c.name)),
                  native_separators(c.expected))
            << directory << " + " << (c.name ? c.name : "<null>");
    }
}

class PatternInDirectory : public Pattern {
  protected:
    void SetUp() override {
        Pattern::SetUp();
        temp_.write("a.inp", "");
        temp_.write("D.Inp", ""); // listed as "d.inp" where the volume ignores case
        temp_.write("b.txt", "");
        temp_.write("c.txt", "");
        std::filesystem::create_directory(temp_.file("sub.inp"));
    }
    std::string dir() const { return temp_.path().string(); }
    TempDir temp_;
};

using V = std::vector<std::string>;

// The names as the scan of `directory` lists them, sorted.
V listed(const std::filesystem::path &directory, V names) {
    for (std::string &name : names) {
        name = as_listed(directory, name);
    }
    std::sort(names.begin(), names.end());
    return names;
}

TEST_F(PatternInDirectory, StarInTheCurrentDirectoryListsEverything) {
    CurrentDirectory here(temp_.path());
    StringList list{0, nullptr};
    EXPECT_EQ(tool_expand_pattern(&list, "*", "."), 7);
    EXPECT_EQ(take_sorted(list),
              listed(temp_.path(), {".", "..", "D.Inp", "a.inp", "b.txt", "c.txt", "sub.inp"}));
}

TEST_F(PatternInDirectory, PatternsAreCaseFoldedAndNamesKeptBare) {
    const struct {
        const char *pattern;
        V expected;
    } cases[] = {
        {"*.INP", {"D.Inp", "a.inp", "sub.inp"}},
        {"?.inp", {"D.Inp", "a.inp"}},
        {"[bc].TXT", {"b.txt", "c.txt"}},
        {"[b]%", {"b.txt"}},
        {"*.csv", {}},
        {nullptr, {".", "..", "D.Inp", "a.inp", "b.txt", "c.txt", "sub.inp"}},
    };
    for (const auto &c : cases) {
        StringList list{0, nullptr};
        const int count = tool_expand_pattern(&list, c.pattern, dir().c_str());
        EXPECT_EQ(count, static_cast<int>(c.expected.size()));
        EXPECT_EQ(take_sorted(list), listed(dir(), c.expected))
            << (c.pattern ? c.pattern : "<null>");
    }
}

TEST_F(PatternInDirectory, DirectoriesThatCannotBeScannedGiveNothing) {
    for (const std::string &directory :
         {dir() + "/missing", dir() + "/b.txt", dir() + "\\b.txt\\"}) {
        StringList list{0, nullptr};
        EXPECT_EQ(tool_expand_pattern(&list, "*", directory.c_str()), 0) << directory;
        EXPECT_EQ(list.count, 0);
        EXPECT_EQ(list.items, nullptr);
        EXPECT_EQ(tool_count_matches("*", directory.c_str()), 0) << directory;
    }
}

TEST_F(PatternInDirectory, RpcSocketPathsAreNeverScanned) {
    const std::filesystem::path socket_dir = temp_.file("my_rpc_socket_dir");
    std::filesystem::create_directory(socket_dir);
    temp_.write("my_rpc_socket_dir/x.inp", "");
    StringList list{0, nullptr};
    EXPECT_EQ(tool_expand_pattern(&list, "*", socket_dir.string().c_str()), 0);
    EXPECT_EQ(list.count, 0);
    EXPECT_EQ(tool_count_matches("*", socket_dir.string().c_str()), 0);
    // Only the directory argument counts, not the names inside.
    temp_.write("rpc_socket.inp", "");
    EXPECT_EQ(tool_expand_pattern(&list, "rpc_socket*", dir().c_str()), 1);
    tool_strlist_free(&list);
}

TEST_F(PatternInDirectory, NullArguments) {
    EXPECT_EQ(tool_expand_pattern(nullptr, "*", dir().c_str()), 0);
    StringList list{0, nullptr};
    ASSERT_EQ(tool_expand_pattern(&list, "*.txt", dir().c_str()), 2);
    EXPECT_EQ(tool_expand_pattern(&list, "*", nullptr), 2) << "the list stays as it was";
    EXPECT_EQ(take_sorted(list), (V{"b.txt", "c.txt"}));
    EXPECT_EQ(tool_count_matches("*", nullptr), 0);
}

TEST_F(PatternInDirectory, AFilledListIsReleasedBeforeItIsRefilled) {
    StringList list{0, nullptr};
    ASSERT_EQ(tool_expand_pattern(&list, "*.inp", dir().c_str()), 3);
    EXPECT_EQ(tool_expand_pattern(&list, "b*", dir().c_str()), 1);
    EXPECT_EQ(take_sorted(list), (V{"b.txt"})); // the fixture reports any block left behind
}

TEST_F(PatternInDirectory, CountLeavesOutTheDotEntries) {
    EXPECT_EQ(tool_count_matches("*", dir().c_str()), 5);
    EXPECT_EQ(tool_count_matches("*.txt", dir().c_str()), 2);
    EXPECT_EQ(tool_count_matches("A.INP", dir().c_str()), 1);
    EXPECT_EQ(tool_count_matches(".*", dir().c_str()), 0);
    EXPECT_EQ(tool_count_matches(nullptr, dir().c_str()), 5);
}

TEST_F(Pattern, CountInEmptyAndTwoFileDirectories) {
    TempDir temp;
    EXPECT_EQ(tool_count_matches("*", temp.path().string().c_str()), 0);
    temp.write("one", "");
    temp.write("two", "");
    EXPECT_EQ(tool_count_matches("*", temp.path().string().c_str()), 2);
}

TEST_F(PatternInDirectory, ExhaustionLeavesNoPartialList) {
    StringList list{0, nullptr};
    const std::string directory = dir();
    int count = 0;
    int allocations = 0;
    capture_stderr([&] {
        allocations = for_each_allocation_failure(
            [&] { count = tool_expand_pattern(&list, "*.inp", directory.c_str()); },
            [&](int n) {
                EXPECT_EQ(count, list.count) << n;
                // Nothing at all, or every name with the one whose copy failed left null.
                const V names = take_sorted(list);
                const bool one_null =
                    names.size() == 3 && std::count(names.begin(), names.end(), "<null>") == 1;
                EXPECT_TRUE(names.empty() || one_null) << n;
            });
    });
    EXPECT_EQ(allocations, 6);
    EXPECT_EQ(count, 3);
    EXPECT_EQ(take_sorted(list), listed(directory, {"D.Inp", "a.inp", "sub.inp"}));
}

} // namespace
