// SPDX-License-Identifier: MIT
// Tests, status queries, path strings and character names of the file operations.
#include "file/file_directory.h"
#include "libtools/tool_dir.h"
#include "libtools/tool_sys_io.h"
#include "libtools/tool_thread.h"
#include "support/environment.h"
#include "support/file_system.h"
#include "support/memory_check.h"
#include "support/process_control.h"
#include "support/temp_dir.h"
#include "support/unprivileged_call.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

std::string take(char *s) {
    const std::string value = s != nullptr ? s : "<null>";
    tool_strfree(&s);
    return value;
}

const char *shown(const char *s) {
    return s != nullptr ? s : "<null>";
}

// Every test runs in a fresh directory of its own.
class FileOps : public LeakCheckedTest {
  protected:
    TempDir temp_;
    CurrentDirectory here_{temp_.path()};
};

// The reason each public operation documents for its failure reaches errno, whatever
// was there before: every case starts from a value no failure gives.
TEST_F(FileOps, FailuresLeaveTheDocumentedReasonInErrno) {
    temp_.write("a.txt", "x");
    fs::create_directory("full");
    temp_.write("full/b.txt", "y");
    struct Case {
        const char *what;
        std::function<bool()> fails; // true when the operation reported a failure
        std::vector<int> reasons;    // any of these
    };
    const std::vector<Case> cases = {
        {"open a missing file", [] { return tool_fopen("missing", "r") == nullptr; }, {ENOENT}},
        {"status of nothing",
         [] {
             ToolStat st;
             return tool_stat("missing", &st) == 0;
         },
         {ENOENT}},
        {"exists", [] { return tool_file_exists("missing") == 0; }, {ENOENT}},
        {"rename a missing file", [] { return tool_rename_file("missing", "b") == 0; }, {ENOENT}},
        {"remove a missing file", [] { return tool_remove_file("missing") == 0; }, {ENOENT}},
        {"make an existing directory", [] { return tool_mkdir("full") == 0; }, {EEXIST}},
        {"make below a missing one",
         [] { return tool_make_directory(0, "no/sub") == 0; },
         {ENOENT}},
        {"remove a full directory",
         [] { return tool_remove_path(0, "full") == 0; },
         {ENOTEMPTY, EEXIST}},
        {"scan a missing directory", [] { return tool_opendir("missing") == nullptr; }, {ENOENT}},
        {"scan a file", [] { return tool_opendir("a.txt") == nullptr; }, {ENOTDIR}},
        {"allocation without memory",
         [] {
             tool_memory_fail_nth(1);
             return tool_malloc(8, __FILE__, __LINE__) == nullptr;
         },
         {ENOMEM}},
        {"thread without a body",
         [] { return tool_thread_start(nullptr, nullptr) == nullptr; },
         {EINVAL}},
    };
    for (const Case &c : cases) {
        errno = ERANGE;
        ASSERT_TRUE(c.fails()) << c.what;
        const int reason = errno;
        tool_memory_fail_nth(0);
        EXPECT_NE(std::find(c.reasons.begin(), c.reasons.end(), reason), c.reasons.end())
            << c.what << ": errno " << reason << " (" << std::strerror(reason) << ")";
    }
}

TEST_F(FileOps, ExistenceAndType) {
    temp_.write("a.txt", "x");
    fs::create_directory("sub");
    temp_.write("sub/b.txt", "");
    const struct {
        const char *path;
        int exists, directory;
    } cases[] = {{"a.txt", 1, 0},     {"sub", 1, 1},     {"sub/", 1, 1},
                 {"sub/b.txt", 1, 0}, {"missing", 0, 0}, {nullptr, 0, 0}};
    for (const auto &c : cases) {
        EXPECT_EQ(tool_file_exists(c.path), c.exists) << shown(c.path);
        EXPECT_EQ(tool_is_directory(c.path), c.directory) << shown(c.path);
    }
    EXPECT_EQ(tool_file_exists_in("sub", "b.txt") + tool_file_exists_at(".", "sub", "b.txt"), 2);
    EXPECT_EQ(tool_file_exists_in("sub", "a.txt") + tool_file_exists_at(".", "sub", "a.txt"), 0);
    EXPECT_EQ(tool_file_exists_in("sub", nullptr), 0);
    EXPECT_EQ(tool_is_directory_in(".", "sub"), 1);
    EXPECT_EQ(tool_is_directory_in("sub", "b.txt"), 0);
}

TEST_F(FileOps, StatusAndTimeText) {
    temp_.write("five.txt", "12345");
    ToolStat status{};
    ASSERT_EQ(tool_stat("five.txt", &status), 1);
    EXPECT_EQ(status.size, 5);
    EXPECT_EQ(status.mode & ~unsigned{TOOL_MODE_OWNER_EXECUTE},
              unsigned{TOOL_MODE_REGULAR | TOOL_MODE_OWNER_READ | TOOL_MODE_OWNER_WRITE});
    EXPECT_NEAR(static_cast<double>(status.mtime), static_cast<double>(std::time(nullptr)), 60);
    EXPECT_EQ(tool_file_mode(".") & TOOL_MODE_DIRECTORY, unsigned{TOOL_MODE_DIRECTORY});
    for (const char *path : {"missing", static_cast<const char *>(nullptr)}) {
        EXPECT_EQ(tool_stat(path, &status) + tool_file_mode(path) + tool_file_size(path) +
                      tool_file_mtime(path),
                  0);
    }
    EXPECT_EQ(status.size, 5) << "a failed tool_stat writes nothing";
    EXPECT_EQ(tool_stat("five.txt", nullptr), 0);

    char text[26] = "untouched";
    long long time = -1;
    EXPECT_EQ(tool_file_time_text("missing", text, &time, nullptr), 0);
    EXPECT_EQ(tool_file_time_text("five.txt", nullptr, &time, nullptr), 0);
    EXPECT_EQ(tool_file_time_text("five.txt", text, nullptr, nullptr), 0);
    EXPECT_STREQ(text, "untouched");
    EXPECT_EQ(time, -1);
    EXPECT_EQ(tool_file_time_text("five.txt", text, &time, nullptr), 1);
    EXPECT_EQ(std::strlen(text), 24u);
}

TEST_F(FileOps, SizesAndTimesBeyond32Bits) {
    temp_.write("big.bin", "");
    const std::uintmax_t size = (std::uintmax_t{3} << 30) + 7; // sparse: no disk space used
    fs::resize_file("big.bin", size);
    EXPECT_EQ(tool_file_size("big.bin"), static_cast<long long>(size));

    const long long now = tool_file_mtime("big.bin");
    const long long shift = 150LL * 365 * 24 * 3600; // well past 2038
    fs::last_write_time("big.bin", fs::last_write_time("big.bin") + std::chrono::seconds(shift));
    const long long later = tool_file_mtime("big.bin");
    EXPECT_EQ(later, now + shift);

    char text[26];
    long long time = 0;
    long long text_size = 0;
    ASSERT_EQ(tool_file_time_text("big.bin", text, &time, &text_size), 1);
    EXPECT_EQ(time, later);
    EXPECT_EQ(text_size, static_cast<long long>(size));
    const auto seconds = static_cast<std::time_t>(later);
    std::string expected = std::ctime(&seconds);
    expected.pop_back(); // its "\n"
    EXPECT_EQ(text, expected);
}

TEST_F(FileOps, PermissionTestsReadTheOwnerBits) {
    temp_.write("rw.txt", "");
    temp_.write("ro.txt", "");
    fs::create_directory("ro_dir");
    const auto no_write = fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write;
    fs::permissions("ro.txt", no_write, fs::perm_options::remove);
    fs::permissions("ro_dir", no_write, fs::perm_options::remove);
    // Where files have no permission bits (Windows) every directory takes new files.
    const int ro_dir_writable = permission_bits_unsupported().empty() ? 0 : 1;
    const struct {
        const char *permissions, *path;
        int expected;
    } permission_cases[] = {{"6", "rw.txt", 1}, {"4", "rw.txt", 0},     {"7", "rw.txt", 0},
                            {"4", "ro.txt", 1}, {"6", "ro.txt", 0},     {"7", ".", 1},
                            {"", "missing", 1}, {nullptr, "rw.txt", 1}, {"6", "missing", 0},
                            {"", nullptr, 0}};
    for (const auto &c : permission_cases) {
        EXPECT_EQ(tool_has_permissions(c.permissions, c.path), c.expected)
            << shown(c.permissions) << " " << shown(c.path);
    }
    const struct {
        const char *path, *mode;
        int expected;
    } access_cases[] = {{"ro.txt", "r", 1},  {"ro.txt", "w", 0},
                        {"ro.txt", "a", 0},  {"ro.txt", nullptr, 0},
                        {"rw.txt", "r+", 1}, {"rw.txt", "w", 1},
                        {".", nullptr, 1},   {"ro_dir", nullptr, ro_dir_writable},
                        {"missing", "r", 0}, {nullptr, "w", 0}};
    for (const auto &c : access_cases) {
        EXPECT_EQ(tool_can_access(c.path, c.mode), c.expected)
            << shown(c.path) << " " << shown(c.mode);
    }
    for (const char *path : {"rw.txt", "missing", static_cast<const char *>(nullptr)}) {
        EXPECT_EQ(tool_is_writable_directory(path), 0) << shown(path);
    }
    EXPECT_EQ(tool_is_writable_directory("ro_dir"), ro_dir_writable);
    EXPECT_EQ(tool_is_writable_directory("."), 1);
}

TEST_F(FileOps, AccessTestCreatesMissingFilesAsTheModeSays) {
    EXPECT_EQ(tool_can_access("new_w", "w"), 1);
    EXPECT_FALSE(fs::exists("new_w"));
    EXPECT_EQ(tool_can_access("new_null", nullptr), 1);
    EXPECT_EQ(fs::file_size("new_null"), 0u);
    EXPECT_EQ(tool_can_access("new_a", "a+"), 1);
    EXPECT_TRUE(fs::exists("new_a"));
    EXPECT_EQ(tool_can_access("new_x", "x") + tool_can_access("missing/new", "w"), 0);
    EXPECT_FALSE(fs::exists("new_x"));
    try {
        fs::create_symlink("nowhere.txt", "dangling");
    } catch (const fs::filesystem_error &error) {
        GTEST_SKIP() << "no symbolic links here: " << error.what();
    }
    EXPECT_EQ(tool_can_access("dangling", "w"), 0) << "nothing is created through a link";
    EXPECT_FALSE(fs::exists("nowhere.txt"));
}

TEST_F(FileOps, ReadOnlyDirectoryRefusesNewFilesToAnOrdinaryUser) {
    const std::string unsupported = unprivileged_calls_unsupported();
    if (!unsupported.empty()) {
        GTEST_SKIP() << unsupported;
    }
    fs::create_directory("locked");
    fs::create_directory("open");
    give_to_unprivileged_user(temp_.path().string());
    fs::permissions("locked", fs::perms::owner_write, fs::perm_options::remove);
    const int result = call_unprivileged([] {
        char *unique =
            tool_make_unique_path("locked/report", ".bak", nullptr, TOOL_UNIQUE_NUMBERED, 0);
        return tool_can_access("locked/new.txt", "w") |
               tool_can_access("open/new.txt", nullptr) << 1 | (unique != nullptr) << 2;
    });
    EXPECT_EQ(result, 2); // only the open directory took a file
    EXPECT_FALSE(fs::exists("locked/new.txt"));
    EXPECT_TRUE(fs::exists("open/new.txt"));
}

TEST_F(FileOps, PathStrings) {
    fs::create_directory("dir");
    // Written with "/" and tried with the system's own separator as well.
    const struct {
        const char *path, *basename, *dirname;
    } cases[] = {
        // clang-format off
        {"a/b/c.txt", "c.txt", "a/b"}, {"c.txt", "c.txt", "<null>"}, {"/c.txt", "c.txt", ""},
        {"a/", "", "a"},               {"a/b", "b", "a"},            {"dir", "dir", "dir"},
        {"dir/", "", "dir"},           {"", "", "<null>"},
        // clang-format on
    };
    for (const auto &c : cases) {
        for (const std::string &path : {std::string(c.path), native_separators(c.path)}) {
            const std::string dirname = path == c.path ? c.dirname : native_separators(c.dirname);
            EXPECT_EQ(take(tool_path_basename(path.c_str())), c.basename) << path;
            EXPECT_EQ(take(tool_path_dirname(path.c_str())), dirname) << path;
        }
    }
    EXPECT_EQ(take(tool_path_basename(nullptr)) + take(tool_path_dirname(nullptr)), "<null><null>");
    // The converter's directory of a file, read from the path alone, is the one the
    // system's answer gives (the root's separator as the path writes it for the root).
    for (const char *file : {"a/b/c.txt", "c.txt", "/c.txt", "a/b", "/x/y.jnt", ""}) {
        for (const std::string &path : {std::string(file), native_separators(file)}) {
            const std::string dirname = take(tool_path_dirname(path.c_str()));
            const std::string root = path.substr(0, 1);
            EXPECT_EQ(take(file_directory(path.c_str())), dirname.empty() ? root : dirname) << path;
        }
    }
    if (!fs::path("a\\b").has_parent_path()) { // a backslash is part of a name here
        EXPECT_EQ(take(tool_path_basename("..\\x.jnt")), "..\\x.jnt");
        EXPECT_EQ(take(tool_path_dirname("a/..\\x.jnt")), "a");
    }
}

// Where the system drops dots and blanks at the end of a name, they are cut from the
// last name only, never from a name of nothing else nor from the forms taken as written;
// elsewhere every character is kept.
TEST_F(FileOps, KeptLengthDropsTheNameEndsTheSystemDrops) {
    const struct {
        const char *path;
        unsigned dropped; // the kept length where the system drops them
    } cases[] = {
        // clang-format off
        {"a.jnt.", 5},        {"a.jnt. .", 5},           {"*.jnt ", 5},     {"dir/a.jnt..", 9},
        {"dir. /a.jnt", 11},  {"a. b", 4},               {"..", 2},         {"dir/...", 7},
        {"dir/", 4},          {"\\\\?\\C:\\*.jnt.", 13}, {"\\??\\C:\\a. ", 10}, {"", 0},
        // clang-format on
    };
    const bool drops = drops_trailing_dots_and_blanks();
    for (const auto &c : cases) {
        const auto whole = static_cast<unsigned>(std::strlen(c.path));
        EXPECT_EQ(tool_path_kept_length(c.path), drops ? c.dropped : whole) << c.path;
    }
    EXPECT_EQ(tool_path_kept_length(nullptr), 0u);
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
        EXPECT_EQ(tool_char_from_name(c.name, fallback), c.expected) << shown(c.name);
    }
}

// A scratch file lies in the user's temporary directory, gives back what was written,
// and is gone once closed; without a usable temporary directory there is none.
TEST_F(FileOps, ScratchFilesComeAndGoInTheTemporaryDirectory) {
    const fs::path scratch = temp_.path() / "scratch";
    fs::create_directory(scratch);
    const std::string bytes("line\r\n\0\x1f\x8b", 9);
    // POSIX reads TMPDIR; Windows TMP, then TEMP.
    ScopedVariable tmpdir("TMPDIR", scratch.string().c_str());
    ScopedVariable tmp("TMP", scratch.string().c_str());
    ScopedVariable temp("TEMP", scratch.string().c_str());
    FILE *file = tool_scratch_file();
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(std::fwrite(bytes.data(), 1, bytes.size(), file), bytes.size());
    std::rewind(file);
    std::string read(bytes.size() + 1, '\0');
    EXPECT_EQ(std::fread(&read[0], 1, read.size(), file), bytes.size());
    EXPECT_EQ(read.substr(0, bytes.size()), bytes);
    EXPECT_EQ(std::fclose(file), 0);
    EXPECT_TRUE(fs::is_empty(scratch));

    const std::string missing = (temp_.path() / "missing").string();
    ScopedVariable no_tmpdir("TMPDIR", missing.c_str());
    ScopedVariable no_tmp("TMP", missing.c_str());
    ScopedVariable no_temp("TEMP", missing.c_str());
    EXPECT_EQ(tool_scratch_file(), nullptr);
}

} // namespace
