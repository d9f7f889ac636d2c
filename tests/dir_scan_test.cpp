// SPDX-License-Identifier: MIT
#include "libtools/tool_dir.h"
#include "support/file_system.h"
#include "support/memory_check.h"
#include "support/temp_dir.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

namespace {

using DirScan = LeakCheckedTest;

// Reads the scan to its end and returns the names in the order they came.
std::vector<std::string> read_all(ToolDir *dir) {
    std::vector<std::string> names;
    while (ToolDirEntry *entry = tool_readdir(dir)) {
        EXPECT_EQ(entry->reserved, 0);
        EXPECT_EQ(entry->name_length, static_cast<int>(std::strlen(entry->name)));
        names.push_back(entry->name);
    }
    return names;
}

std::vector<std::string> sorted(std::vector<std::string> names) {
    std::sort(names.begin(), names.end());
    return names;
}

TEST_F(DirScan, ListsEveryEntryWithTheDotEntries) {
    TempDir temp;
    temp.write("a.txt", "a");
    temp.write("ReadMe.TXT", "b");
    std::filesystem::create_directory(temp.file("sub"));
    ToolDir *dir = tool_opendir(temp.path().string().c_str());
    ASSERT_NE(dir, nullptr);
    EXPECT_EQ(tool_telldir(dir), 0);
    const std::vector<std::string> names = read_all(dir);
    // Lower-cased where the volume searches names without regard to case.
    const std::string readme = as_listed(temp.path(), "ReadMe.TXT");
    EXPECT_EQ(sorted(names), sorted({".", "..", readme, "a.txt", "sub"}));
    EXPECT_EQ(tool_telldir(dir), 5 * 320);
    EXPECT_EQ(tool_readdir(dir), nullptr) << "the end is reported again";
    EXPECT_EQ(tool_telldir(dir), 5 * 320);
    EXPECT_EQ(tool_closedir(dir), 0);
}

TEST_F(DirScan, EmptyDirectoryHoldsOnlyTheDotEntries) {
    TempDir temp;
    ToolDir *dir = tool_opendir(temp.path().string().c_str());
    ASSERT_NE(dir, nullptr);
    EXPECT_EQ(sorted(read_all(dir)), (std::vector<std::string>{".", ".."}));
    EXPECT_EQ(tool_closedir(dir), 0);
}

TEST_F(DirScan, RewindAndSeekReplayTheFetchedEntries) {
    TempDir temp;
    for (int i = 0; i < 40; ++i) {
        temp.write("f" + std::to_string(i), "");
    }
    ToolDir *dir = tool_opendir(temp.path().string().c_str());
    ASSERT_NE(dir, nullptr);
    const std::vector<std::string> first = read_all(dir);
    ASSERT_EQ(first.size(), 42u);

    tool_rewinddir(dir);
    EXPECT_EQ(tool_telldir(dir), 0);
    EXPECT_EQ(read_all(dir), first) << "a rewind replays the same order";

    tool_rewinddir(dir);
    for (int k = 0; k < 3; ++k) {
        ASSERT_NE(tool_readdir(dir), nullptr);
    }
    EXPECT_EQ(tool_telldir(dir), 960);
    tool_seekdir(dir, 700);
    EXPECT_EQ(tool_telldir(dir), 640);
    ToolDirEntry *entry = tool_readdir(dir);
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(entry->name, first[2]);

    tool_seekdir(dir, 41 * 320 + 319);
    EXPECT_EQ(tool_telldir(dir), 41 * 320);
    EXPECT_EQ(tool_readdir(dir)->name, first[41]);
    tool_seekdir(dir, 43 * 320);
    EXPECT_EQ(tool_telldir(dir), 42 * 320) << "nothing was fetched there";
    tool_seekdir(dir, -320);
    EXPECT_EQ(tool_telldir(dir), 42 * 320);
    EXPECT_EQ(tool_closedir(dir), 0);
}

TEST_F(DirScan, PathsInTheSystemsSeparatorSyntax) {
    TempDir temp;
    std::filesystem::create_directories(temp.file("one") / "two");
    temp.write("one/two/inner.txt", "");
    const std::string base = temp.path().string();
    for (const std::string &path :
         {base + "/one/two", native_separators(base + "/one/two/"), base + "/one/../one/two"}) {
        ToolDir *dir = tool_opendir(path.c_str());
        ASSERT_NE(dir, nullptr) << path;
        EXPECT_EQ(sorted(read_all(dir)), (std::vector<std::string>{".", "..", "inner.txt"}))
            << path;
        EXPECT_EQ(tool_closedir(dir), 0);
    }
}

TEST_F(DirScan, RefusesWhatIsNotADirectoryAndNullHandles) {
    TempDir temp;
    temp.write("file.txt", "x");
    EXPECT_EQ(tool_opendir(nullptr), nullptr);
    EXPECT_EQ(tool_opendir(""), nullptr);
    EXPECT_EQ(tool_opendir(temp.file("missing").string().c_str()), nullptr);
    EXPECT_EQ(tool_opendir(temp.file("file.txt").string().c_str()), nullptr);
    EXPECT_EQ(tool_readdir(nullptr), nullptr);
    EXPECT_EQ(tool_closedir(nullptr), -1);
    EXPECT_EQ(tool_telldir(nullptr), -1);
    tool_rewinddir(nullptr);
    tool_seekdir(nullptr, 320);
}

TEST_F(DirScan, RefusesPathsBeyondTheSystemsLimit) {
    TempDir temp;
    // A path one short of the limit fits; the same directory named with one more does not.
    const std::size_t limit = path_limit();
    std::string path = temp.path().string();
    const std::string fits = path + std::string(limit - 1 - path.size(), '/');
    const std::string too_long = fits + "/";
    ToolDir *dir = tool_opendir(fits.c_str());
    EXPECT_NE(dir, nullptr);
    tool_closedir(dir);
    EXPECT_EQ(tool_opendir(too_long.c_str()), nullptr);

    // A short relative path whose absolute form is too long, made one level at a time (the
    // system refuses the whole name at once) and removed the same way. Windows keeps its
    // current directory below MAX_PATH characters, far below its limit: no such path there.
    if (std::filesystem::path::preferred_separator == '\\') {
        return;
    }
    CurrentDirectory back(temp.path());
    const std::string level(40, 'd');
    int depth = 0;
    std::error_code error;
    for (std::size_t length = path.size(); length <= limit && !error; length += level.size() + 1) {
        std::filesystem::create_directory(level, error);
        std::filesystem::current_path(level, error);
        depth += error ? 0 : 1;
    }
    if (!error) {
        EXPECT_EQ(tool_opendir("."), nullptr);
    }
    for (; depth > 0; --depth) {
        std::filesystem::current_path("..");
        std::filesystem::remove(level);
    }
}

} // namespace
