// SPDX-License-Identifier: MIT
// Backups through the built program: the names each control gives with the
// environment variables, the clashes of a backup's name with the files of the run,
// and a dry run whose status is the real run's when a backup would fail.
#include "support/environment.h"
#include "support/process_control.h"
#include "support/run_program.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

const std::string kIn = "shear_force 1\n";
const std::string kOut = "shear_force 1000.000000\n";

using Tree = std::map<std::string, std::string>; // name: content ("/" for a directory)

void make(const TempDir &dir, const Tree &tree) {
    for (const auto &[name, content] : tree) {
        if (content == "/") {
            fs::create_directories(dir.file(name));
        } else {
            dir.write(name, content);
        }
    }
}

Tree read_tree(const TempDir &dir) {
    Tree tree;
    for (const auto &entry : fs::recursive_directory_iterator(dir.path())) {
        const std::string name = fs::relative(entry.path(), dir.path()).generic_string();
        tree[name] = entry.is_directory() ? "/" : dir.read(name);
    }
    return tree;
}

ProgramResult run(const TempDir &dir, const std::vector<std::string> &options,
                  bool unprivileged = false) {
    std::vector<std::string> arguments = {"-f", "kN"};
    arguments.insert(arguments.end(), options.begin(), options.end());
    ChildConditions conditions;
    conditions.unprivileged = unprivileged;
    return run_program_under(JOINT2SI_EXE, arguments, dir.path().string(), conditions);
}

struct Named {
    const char *version_control;      // null: unset
    const char *simple_backup_suffix; // null: unset
    std::vector<std::string> options;
    Tree before;  // besides a with kIn
    Tree backups; // the files the run adds (a's backups, holding kIn)
};

class BackupNames : public ::testing::TestWithParam<Named> {};

TEST_P(BackupNames, FollowTheControlAndTheEnvironment) {
    const Named &c = GetParam();
    const ScopedVariable control("VERSION_CONTROL", c.version_control);
    const ScopedVariable suffix("SIMPLE_BACKUP_SUFFIX", c.simple_backup_suffix);
    TempDir dir;
    Tree expected = c.before;
    expected["a"] = kIn;
    make(dir, expected);
    std::vector<std::string> options = c.options;
    options.push_back("a");
    const ProgramResult result = run(dir, options);
    EXPECT_EQ(result.exit_status, 0) << result.standard_error;
    expected["a"] = kOut;
    for (const auto &[name, content] : c.backups) {
        expected[name] = content;
    }
    EXPECT_EQ(read_tree(dir), expected);
}

const Tree kNumbered = {{"a.~1~", "1"}, {"a.~9~", "9"},       {"a.~10~", "10"},
                        {"a.~x~", "x"}, {"ab.~12~", "other"}, {"a.~012~", "no"}};

INSTANTIATE_TEST_SUITE_P(
    Controls, BackupNames,
    ::testing::Values(
        Named{nullptr, nullptr, {"--backup"}, {}, {{"a~", kIn}}},
        Named{nullptr, nullptr, {"--backup"}, kNumbered, {{"a.~11~", kIn}}},
        Named{"", "", {"--backup"}, {}, {{"a~", kIn}}},
        Named{"t", nullptr, {"--backup"}, {}, {{"a.~1~", kIn}}},
        Named{"numbered", nullptr, {"--backup"}, kNumbered, {{"a.~11~", kIn}}},
        Named{"never", ".old", {"--backup"}, kNumbered, {{"a.old", kIn}}},
        Named{"off", nullptr, {"--backup"}, {}, {}},
        Named{"simple", nullptr, {"--backup=existing"}, {{"a.~3~", "3"}}, {{"a.~4~", kIn}}},
        Named{"numbered", nullptr, {"--backup=nil"}, {}, {{"a~", kIn}}},
        Named{nullptr, ".e", {"--backup=simple", "--suffix=.s"}, {{"a.s", "old"}}, {{"a.s", kIn}}},
        Named{nullptr, ".e", {"--backup=never"}, {}, {{"a.e", kIn}}},
        Named{nullptr,
              nullptr,
              {"--backup=t", "--suffix", ".s"},
              {{"a.~99~", ""}},
              {{"a.~100~", kIn}}},
        Named{"t", nullptr, {"--backup=none"}, {}, {}}, Named{"t", ".e", {"--suffix=.s"}, {}, {}}));

// Runs `options` as a dry run and then for real, each on a fresh copy of `tree`.
struct Clash {
    Tree tree;
    std::vector<std::string> options;
    std::string messages;
    Tree after; // of the real run: `tree` with these replaced or added
};

class BackupClashes : public ::testing::TestWithParam<Clash> {};

TEST_P(BackupClashes, RefuseTheFileAndTheDryRunSaysSo) {
    const Clash &c = GetParam();
    const ScopedVariable control("VERSION_CONTROL", nullptr);
    TempDir dry_dir;
    make(dry_dir, c.tree);
    std::vector<std::string> dry_options = c.options;
    dry_options.insert(dry_options.begin(), "--dry-run");
    const ProgramResult dry = run(dry_dir, dry_options);
    EXPECT_EQ(read_tree(dry_dir), c.tree) << "a dry run changes nothing";
    TempDir real_dir;
    make(real_dir, c.tree);
    const ProgramResult real = run(real_dir, c.options);
    EXPECT_EQ(real.standard_error, c.messages);
    EXPECT_EQ(real.exit_status, c.messages.empty() ? 0 : exit_status_of_minus_one());
    EXPECT_EQ(dry.standard_error, real.standard_error);
    EXPECT_EQ(dry.exit_status, real.exit_status);
    Tree expected = c.tree;
    for (const auto &[name, content] : c.after) {
        expected[name] = content;
    }
    EXPECT_EQ(read_tree(real_dir), expected);
}

std::string refused(const std::string &name, const std::string &backup,
                    const std::string &reason = "") {
    return "Error: Could not back up file '" + name + "' as '" + backup + "'\n" +
           (reason.empty() ? "" : "  " + reason + "\n");
}

INSTANTIATE_TEST_SUITE_P(
    Runs, BackupClashes,
    ::testing::Values(
        // a's backup would replace a.jnt, which the run converts (before or after).
        Clash{{{"a", kIn}, {"a.jnt", kIn}},
              {"--backup=simple", "--suffix=.jnt", "a", "a.jnt"},
              refused("a", "a.jnt", "it would replace 'a.jnt', a file this run converts"),
              {{"a.jnt", kOut}, {"a.jnt.jnt", kIn}}},
        Clash{{{"a", kIn}, {"a.jnt", kIn}},
              {"--backup=simple", "--suffix=.jnt", "a.jnt", "a"},
              refused("a", "a.jnt", "it would replace 'a.jnt', a file this run converts"),
              {{"a.jnt", kOut}, {"a.jnt.jnt", kIn}}},
        // Matched by a pattern, also in a subdirectory with --recursive.
        Clash{{{"a", kIn}, {"a.jnt", kIn}},
              {"--backup", "--suffix=.jnt", "a", "*.jnt"},
              refused("a", "a.jnt", "it would replace 'a.jnt', a file this run converts"),
              {{"a.jnt", kOut}, {"a.jnt.jnt", kIn}}},
        Clash{{{"sub", "/"}, {"sub/a", kIn}, {"sub/a.x", kIn}},
              {"--recursive", "--backup", "--suffix=.x", "./a", "./*.x"},
              refused("./sub/a", "./sub/a.x",
                      "it would replace './sub/a.x', a file this run converts"),
              {{"sub/a.x", kOut}, {"sub/a.x.x", kIn}}},
        // A backup that is no file of the run is replaced as usual.
        Clash{{{"a", kIn}, {"a~", "old"}}, {"--backup", "a"}, "", {{"a", kOut}, {"a~", kIn}}},
        // A backup the run made is never converted, also when it is named or matched
        // later: the dry run knows it as the real run would.
        Clash{{{"a", kIn}}, {"--backup", "a", "a*"}, "", {{"a", kOut}, {"a~", kIn}}},
        Clash{{{"a", kIn}}, {"--backup", "a", "a~"}, "", {{"a", kOut}, {"a~", kIn}}},
        Clash{{{"a", kIn}}, {"--backup=t", "a", "a.~1~", "a"}, "", {{"a", kOut}, {"a.~1~", kIn}}},
        // What the library refuses: a directory of the backup's name.
        Clash{{{"a", kIn}, {"a~", "/"}, {"b", kIn}},
              {"--backup", "a", "b"},
              refused("a", "a~", "Is a directory"),
              {{"b", kOut}, {"b~", kIn}}}));

TEST(BackupDryRun, ReadOnlyDirectoryFailsAsTheRealRun) {
    const ScopedVariable control("VERSION_CONTROL", nullptr);
    ChildConditions conditions;
    conditions.unprivileged = true;
    if (const std::string why = conditions_unsupported(conditions); !why.empty()) {
        GTEST_SKIP() << why;
    }
    TempDir dir;
    dir.write("a", kIn);
    give_to_unprivileged_user(dir.path().string());
    fs::permissions(dir.path(), fs::perms::owner_read | fs::perms::owner_exec);
    const ProgramResult dry = run(dir, {"--dry-run", "--backup", "a"}, true);
    const ProgramResult real = run(dir, {"--backup", "a"}, true);
    fs::permissions(dir.path(), fs::perms::owner_all);
    EXPECT_EQ(dry.exit_status, exit_status_of_minus_one());
    EXPECT_EQ(dry.standard_error, refused("a", "a~", "Permission denied"));
    EXPECT_EQ(real.exit_status, dry.exit_status);
    EXPECT_EQ(real.standard_error, dry.standard_error);
    EXPECT_EQ(read_tree(dir), (Tree{{"a", kIn}}));
    // The superuser may create files there: its dry run passes, as its real run would.
    if (running_as_superuser()) {
        fs::permissions(dir.path(), fs::perms::owner_read | fs::perms::owner_exec);
        EXPECT_EQ(run(dir, {"--dry-run", "--backup", "a"}).exit_status, 0);
        fs::permissions(dir.path(), fs::perms::owner_all);
    }
}

} // namespace
