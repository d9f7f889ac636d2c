// Tests, status queries, path strings and character names of the file operations.
#include "libtools/tool_sys_io.h"
#include "support/memory_check.h"
#include "support/process_control.h"
#include "support/temp_dir.h"
#include "support/unprivileged_call.h"

#include <chrono>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <string>

namespace fs = std::filesystem;

namespace {

std::string take(char *s) {
    const std::string value = s != nullptr ? s : "<null>";
    tool_strfree(&s);
    return value;
}

class FileOps : public LeakCheckedTest {
  protected:
    std::string at(const std::string &name) const { return temp_.file(name).string(); }
    TempDir temp_;
};

TEST_F(FileOps, ExistenceAndType) {
    temp_.write("a.txt", "x");
    fs::create_directory(temp_.file("sub"));
    temp_.write("sub/b.txt", "");
    CurrentDirectory here(temp_.path());
    const struct {
        const char *path;
        int exists, directory;
    } cases[] = {{"a.txt", 1, 0},     {"sub", 1, 1},     {"sub\\", 1, 1}, {"sub\\b.txt", 1, 0},
                 {"sub/b.txt", 1, 0}, {"missing", 0, 0}, {nullptr, 0, 0}};
    for (const auto &c : cases) {
        const char *shown = c.path != nullptr ? c.path : "<null>";
        EXPECT_EQ(tool_file_exists(c.path), c.exists) << shown;
        EXPECT_EQ(tool_is_directory(c.path), c.directory) << shown;
    }
    EXPECT_EQ(tool_file_exists_in("sub", "b.txt"), 1);
    EXPECT_EQ(tool_file_exists_in("sub", "a.txt"), 0);
    EXPECT_EQ(tool_file_exists_in("sub", nullptr), 0);
    EXPECT_EQ(tool_file_exists_at(".", "sub", "b.txt"), 1);
    EXPECT_EQ(tool_file_exists_at(".", "sub", "a.txt"), 0);
    EXPECT_EQ(tool_is_directory_in(".", "sub"), 1);
    EXPECT_EQ(tool_is_directory_in("sub", "b.txt"), 0);
}

TEST_F(FileOps, StatusOfFilesDirectoriesAndMissingPaths) {
    temp_.write("five.txt", "12345");
    ToolStat status{};
    ASSERT_EQ(tool_stat(at("five.txt").c_str(), &status), 1);
    EXPECT_EQ(status.size, 5);
    EXPECT_EQ(status.mode & (TOOL_MODE_DIRECTORY | TOOL_MODE_REGULAR), TOOL_MODE_REGULAR);
    EXPECT_NE(status.mode & TOOL_MODE_OWNER_READ, 0u);
    EXPECT_NE(status.mode & TOOL_MODE_OWNER_WRITE, 0u);
    EXPECT_NEAR(static_cast<double>(status.mtime), static_cast<double>(std::time(nullptr)), 60);
    EXPECT_EQ(tool_file_mode(temp_.path().string().c_str()) & TOOL_MODE_DIRECTORY,
              unsigned{TOOL_MODE_DIRECTORY});

    const ToolStat untouched{1, 2, 3};
    status = untouched;
    const std::string missing = at("missing");
    for (const char *path : {missing.c_str(), static_cast<const char *>(nullptr)}) {
        EXPECT_EQ(tool_stat(path, &status), 0);
        EXPECT_EQ(tool_file_mode(path), 0u);
        EXPECT_EQ(tool_file_size(path), 0);
        EXPECT_EQ(tool_file_mtime(path), 0);
    }
    EXPECT_EQ(status.size, untouched.size);
    EXPECT_EQ(tool_stat(at("five.txt").c_str(), nullptr), 0);
}

TEST_F(FileOps, SizesAndTimesBeyond32Bits) {
    temp_.write("big.bin", "");
    const std::string big = at("big.bin");
    const std::uintmax_t size = (std::uintmax_t{3} << 30) + 7; // sparse: no disk space used
    fs::resize_file(big, size);
    EXPECT_EQ(tool_file_size(big.c_str()), static_cast<long long>(size));

    const long long now = tool_file_mtime(big.c_str());
    EXPECT_NEAR(static_cast<double>(now), static_cast<double>(std::time(nullptr)), 60);
    const long long shift = 150LL * 365 * 24 * 3600; // well past 2038
    fs::last_write_time(big, fs::last_write_time(big) + std::chrono::seconds(shift));
    const long long later = tool_file_mtime(big.c_str());
    EXPECT_EQ(later, now + shift);

    char text[26];
    long long time = 0;
    long long text_size = 0;
    ASSERT_EQ(tool_file_time_text(big.c_str(), text, &time, &text_size), 1);
    EXPECT_EQ(time, later);
    EXPECT_EQ(text_size, static_cast<long long>(size));
    const auto seconds = static_cast<std::time_t>(later);
    std::string expected = std::ctime(&seconds);
    expected.pop_back(); // its "\n"
    EXPECT_EQ(text, expected);
}

TEST_F(FileOps, TimeTextWritesNothingOnFailure) {
    temp_.write("f.txt", "");
    const std::string file = at("f.txt");
    char text[26] = "untouched";
    long long time = -1;
    EXPECT_EQ(tool_file_time_text(at("missing").c_str(), text, &time, nullptr), 0);
    EXPECT_EQ(tool_file_time_text(file.c_str(), nullptr, &time, nullptr), 0);
    EXPECT_EQ(tool_file_time_text(file.c_str(), text, nullptr, nullptr), 0);
    EXPECT_STREQ(text, "untouched");
    EXPECT_EQ(time, -1);
    EXPECT_EQ(tool_file_time_text(file.c_str(), text, &time, nullptr), 1);
    EXPECT_EQ(std::strlen(text), 24u);
}

TEST_F(FileOps, PermissionTestsReadTheOwnerBits) {
    temp_.write("rw.txt", "");
    temp_.write("ro.txt", "");
    fs::create_directory(temp_.file("ro_dir"));
    const auto no_write = fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write;
    fs::permissions(temp_.file("ro.txt"), no_write, fs::perm_options::remove);
    fs::permissions(temp_.file("ro_dir"), no_write, fs::perm_options::remove);
    const std::string rw = at("rw.txt"), ro = at("ro.txt"), dir = temp_.path().string(),
                      ro_dir = at("ro_dir"), missing = at("missing");
    const struct {
        const char *permissions;
        const std::string *path;
        int expected;
    } permission_cases[] = {{"6", &rw, 1},     {"4", &rw, 0},     {"7", &rw, 0},
                            {"4", &ro, 1},     {"6", &ro, 0},     {"7", &dir, 1},
                            {"", &missing, 1}, {nullptr, &rw, 1}, {"6", &missing, 0}};
    for (const auto &c : permission_cases) {
        EXPECT_EQ(tool_has_permissions(c.permissions, c.path->c_str()), c.expected)
            << (c.permissions ? c.permissions : "<null>") << " " << *c.path;
    }
    EXPECT_EQ(tool_has_permissions("", nullptr), 0);

    const struct {
        const std::string *path;
        const char *mode;
        int expected;
    } access_cases[] = {{&ro, "r", 1},      {&ro, "w", 0},      {&ro, "a", 0},
                        {&ro, nullptr, 0},  {&rw, "r+", 1},     {&rw, "w", 1},
                        {&dir, nullptr, 1}, {&missing, "r", 0}, {&ro_dir, nullptr, 0}};
    for (const auto &c : access_cases) {
        EXPECT_EQ(tool_can_access(c.path->c_str(), c.mode), c.expected)
            << *c.path << " " << (c.mode ? c.mode : "<null>");
    }
    EXPECT_EQ(tool_can_access(nullptr, "w"), 0);
    EXPECT_EQ(tool_is_writable_directory(dir.c_str()), 1);
    EXPECT_EQ(tool_is_writable_directory(ro_dir.c_str()), 0);
    EXPECT_EQ(tool_is_writable_directory(rw.c_str()), 0);
    EXPECT_EQ(tool_is_writable_directory(nullptr), 0);
}

TEST_F(FileOps, AccessTestCreatesMissingFilesAsTheModeSays) {
    CurrentDirectory here(temp_.path());
    EXPECT_EQ(tool_can_access("new_w", "w"), 1);
    EXPECT_FALSE(fs::exists("new_w"));
    EXPECT_EQ(tool_can_access("new_null", nullptr), 1);
    EXPECT_TRUE(fs::exists("new_null"));
    EXPECT_EQ(fs::file_size("new_null"), 0u);
    EXPECT_EQ(tool_can_access("new_a", "a+"), 1);
    EXPECT_TRUE(fs::exists("new_a"));
    for (const char *refused : {"x", "r"}) {
        EXPECT_EQ(tool_can_access("new_refused", refused), 0) << refused;
    }
    EXPECT_FALSE(fs::exists("new_refused"));
    EXPECT_EQ(tool_can_access("missing\\new", "w"), 0);
}

TEST_F(FileOps, AccessTestNeverCreatesThroughADanglingLink) {
    CurrentDirectory here(temp_.path());
    try {
        fs::create_symlink("nowhere.txt", "dangling");
    } catch (const fs::filesystem_error &error) {
        GTEST_SKIP() << "no symbolic links here: " << error.what();
    }
    EXPECT_EQ(tool_can_access("dangling", "w"), 0);
    EXPECT_FALSE(fs::exists("nowhere.txt"));
    EXPECT_TRUE(fs::is_symlink("dangling"));
}

TEST_F(FileOps, ReadOnlyDirectoryRefusesNewFilesToAnOrdinaryUser) {
    const std::string unsupported = unprivileged_calls_unsupported();
    if (!unsupported.empty()) {
        GTEST_SKIP() << unsupported;
    }
    fs::create_directory(temp_.file("locked"));
    fs::create_directory(temp_.file("open"));
    give_to_unprivileged_user(temp_.path().string());
    fs::permissions(temp_.file("locked"), fs::perms::owner_write, fs::perm_options::remove);
    const std::string locked = at("locked") + "\\new.txt", open = at("open") + "\\new.txt",
                      base = at("locked") + "\\report";
    const int result = call_unprivileged([&] {
        char *unique =
            tool_make_unique_path(base.c_str(), ".bak", nullptr, TOOL_UNIQUE_NUMBERED, 0);
        return tool_can_access(locked.c_str(), "w") | tool_can_access(open.c_str(), nullptr) << 1 |
               (unique != nullptr) << 2;
    });
    EXPECT_EQ(result, 2); // only the open directory took a file
    EXPECT_FALSE(fs::exists(temp_.file("locked/new.txt")));
    EXPECT_TRUE(fs::exists(temp_.file("open/new.txt")));
}

TEST_F(FileOps, PathStrings) {
    fs::create_directory(temp_.file("dir"));
    CurrentDirectory here(temp_.path());
    const struct {
        const char *path;
        const char *basename;
        const char *dirname;
    } cases[] = {
        // clang-format off
        {"a\\b\\c.txt", "c.txt", "a\\b"}, {"a/b\\c.txt", "c.txt", "a/b"}, {"c.txt", "c.txt", "<null>"},
        {"\\c.txt", "c.txt", ""},         {"a\\", "", "a"},               {"a/b", "b", "a"},
        {"dir", "dir", "dir"},            {"dir\\", "", "dir"},           {"dir/", "", "dir"},
        {"", "", "<null>"},               {nullptr, "<null>", "<null>"},
        // clang-format on
    };
    for (const auto &c : cases) {
        const char *shown = c.path != nullptr ? c.path : "<null>";
        EXPECT_EQ(take(tool_path_basename(c.path)), c.basename) << shown;
        EXPECT_EQ(take(tool_path_dirname(c.path)), c.dirname) << shown;
    }
}

TEST_F(FileOps, CharacterNames) {
    const int fallback = '?';
    const struct {
        const char *name;
        int expected;
    } cases[] = {
        // clang-format off
        {"unicode:0x41", 65}, {"UNICODE-65", 65}, {"Unicode 101", 101}, {"unicode:", 'u'},
        {"\\65", 65},         {"\\0x141", 0x41},  {"\\", 0},           {"phi", 248},
        {"PHI", 216},         {"Phi", 80},        {"NONE", fallback},  {"none", fallback},
        {"xyz", 120},         {"\xE9t\xE9", 0xE9}, {nullptr, fallback},
        // clang-format on
    };
    for (const auto &c : cases) {
        EXPECT_EQ(tool_char_from_name(c.name, fallback), c.expected)
            << (c.name != nullptr ? c.name : "<null>");
    }
}

} // namespace
