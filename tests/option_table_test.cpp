// SPDX-License-Identifier: MIT
// The option table and the acceptance steps: which record a command line fills and
// with which status a run that cannot start ends.
#include "app/command_line.h"
#include "support/environment.h"
#include "support/memory_check.h"

#include "libtools/tool_sys_io.h"

#include <string>
#include <vector>

namespace {

using Options = LeakCheckedTest;

struct Accepted {
    bool accepted = false;
    int status = 0;
    std::string messages;
    CommandLine command;
};

// Accepts `arguments` (after the program name); the caller releases `command`.
void accept(const std::vector<std::string> &arguments, Accepted *result) {
    std::vector<std::string> storage = arguments;
    std::vector<char *> argv = {const_cast<char *>("joint2si")};
    for (auto &argument : storage) {
        argv.push_back(argument.data());
    }
    result->messages = capture_stderr([&] {
        result->accepted =
            accept_command_line(static_cast<int>(argv.size()), argv.data(), &result->command);
    });
    result->status = result->command.status;
}

std::string files_of(const CommandLine &command) {
    std::string files;
    for (int i = 0; i < command.files.count; ++i) {
        files += std::string(i != 0 ? " " : "") + command.files.items[i];
    }
    return files;
}

TEST_F(Options, LongOptionsFillTheRecord) {
    const ScopedVariable control("VERSION_CONTROL", nullptr);
    const ScopedVariable suffix("SIMPLE_BACKUP_SUFFIX", nullptr);
    Accepted a;
    accept({"--recursive", "--dry-run", "-f", "kip", "--verbose", "--no-progress", "--exact",
            "--backup", "--force", "a.jnt", "--allow-dropped-digits", "-m", "lbf-ft", "--jobs", "3",
            "--", "-f", "--x"},
           &a);
    EXPECT_TRUE(a.accepted);
    EXPECT_EQ(a.status, 0);
    EXPECT_EQ(a.messages, "");
    const CommandLine &c = a.command;
    EXPECT_TRUE(c.recursive && c.dry_run && c.verbose && c.no_progress);
    EXPECT_TRUE(c.force && c.allow_dropped_digits);
    EXPECT_EQ(c.jobs, 3);
    EXPECT_EQ(c.factors, UnitFactors::exact);
    EXPECT_STREQ(c.backup, "~");
    EXPECT_EQ(c.backup_control, BackupControl::existing);
    EXPECT_EQ(files_of(c), "a.jnt -f --x");
    EXPECT_EQ(c.conversion.force, 4448.2216152605);
    EXPECT_EQ(c.conversion.moment, 1.3558179483314);
    release_command_line(&a.command);
}

TEST_F(Options, WithoutLongOptionsTheRecordKeepsItsDefaults) {
    Accepted a;
    accept({"-f", "kip", "-m", "lbf-ft", "a.jnt", "-"}, &a);
    ASSERT_TRUE(a.accepted);
    const CommandLine &c = a.command;
    EXPECT_FALSE(c.recursive || c.dry_run || c.verbose || c.no_progress || c.force ||
                 c.allow_dropped_digits);
    EXPECT_EQ(c.backup, nullptr);
    EXPECT_EQ(c.backup_control, BackupControl::none);
    EXPECT_EQ(c.jobs, 0); // one per core
    EXPECT_EQ(c.factors, UnitFactors::table);
    EXPECT_EQ(c.conversion.force, 4448.222);
    EXPECT_EQ(c.conversion.moment, 1.356);
    EXPECT_EQ(files_of(c), "a.jnt -");
    release_command_line(&a.command);
}

// --backup[=CONTROL], --suffix and the two environment variables, as the common tools
// read them (the names each control gives: tests/cli/backup_names_test.cpp).
TEST_F(Options, BackupControlsAndSuffixes) {
    struct Case {
        std::vector<std::string> options;
        const char *version_control;      // null: unset
        const char *simple_backup_suffix; // null: unset
        BackupControl control;
        const char *suffix;  // null: no backups
        std::string refusal; // the message when refused
    };
    const auto E = BackupControl::existing;
    const auto N = BackupControl::numbered;
    const auto S = BackupControl::simple;
    const auto O = BackupControl::none;
    const auto unknown = [](const std::string &control, const std::string &source) {
        return "Error: Unknown backup control '" + control + "'\n  " + source +
               " takes none, off, numbered, t, existing, nil, simple or never\n";
    };
    const auto bad = [](const std::string &suffix) {
        return "Error: Invalid backup suffix '" + suffix + "'\n";
    };
    const std::vector<Case> cases = {
        {{"--backup"}, nullptr, nullptr, E, "~", ""},
        {{"--backup=nil"}, "numbered", nullptr, E, "~", ""},
        {{"--backup=simple", "--suffix", ".s"}, nullptr, nullptr, S, ".s", ""},
        {{"--backup=ex"}, nullptr, nullptr, E, "~", ""}, // a unique abbreviation
        {{"--backup=nu"}, nullptr, nullptr, N, "~", ""},
        {{"--suffix=.s"}, "t", nullptr, O, nullptr, ""}, // no backups without --backup
        {{"--backup=n"}, nullptr, nullptr, O, nullptr, unknown("n", "--backup")},
        {{"--backup=Simple"}, nullptr, nullptr, O, nullptr, unknown("Simple", "--backup")},
        {{"--backup"}, "bogus", nullptr, O, nullptr, unknown("bogus", "VERSION_CONTROL")},
        {{"--backup", "--suffix="}, nullptr, nullptr, O, nullptr, bad("")},
        {{"--backup", "--suffix=a/b"}, nullptr, nullptr, O, nullptr, bad("a/b")},
        {{"--suffix=/"}, nullptr, nullptr, O, nullptr, bad("/")},
        {{"--backup"}, nullptr, "x/", O, nullptr, bad("x/")},
    };
    for (const Case &c : cases) {
        const ScopedVariable control("VERSION_CONTROL", c.version_control);
        const ScopedVariable suffix("SIMPLE_BACKUP_SUFFIX", c.simple_backup_suffix);
        std::vector<std::string> arguments = {"-f", "kN"};
        arguments.insert(arguments.end(), c.options.begin(), c.options.end());
        arguments.push_back("a.jnt");
        Accepted a;
        accept(arguments, &a);
        const std::string label = c.options[0] + (c.options.size() > 1 ? " " + c.options[1] : "");
        EXPECT_EQ(a.accepted, c.refusal.empty()) << label;
        EXPECT_EQ(a.messages, c.refusal) << label;
        if (c.refusal.empty()) {
            EXPECT_EQ(a.command.backup_control, c.control) << label;
            EXPECT_EQ(a.command.backup != nullptr, c.suffix != nullptr) << label;
            if (c.suffix != nullptr && a.command.backup != nullptr) {
                EXPECT_STREQ(a.command.backup, c.suffix) << label;
            }
        } else {
            EXPECT_EQ(a.status, -1) << label;
        }
        release_command_line(&a.command);
    }
    // A backslash separates directories only where the system says so.
    Accepted a;
    accept({"-f", "kN", "--backup", "--suffix=a\\b", "a.jnt"}, &a);
    EXPECT_EQ(a.accepted, tool_path_separator() != '\\');
    release_command_line(&a.command);
}

TEST_F(Options, RunsThatEndAtAcceptance) {
    struct Case {
        std::vector<std::string> arguments;
        int status;
        std::string message; // "" when the usage text (or nothing) is expected
    };
    const std::vector<Case> cases = {
        {{"--bogus", "-f", "kN", "a"}, -1, "Error: Unknown option '--bogus'\n"},
        {{"-f", "kN", "a", "--Verbose"}, -1, "Error: Unknown option '--Verbose'\n"},
        {{"-f", "kN", "--verbose=1", "a"}, -1, "Error: Unknown option '--verbose=1'\n"},
        {{"-f", "kN", "--backupx", "a"}, -1, "Error: Unknown option '--backupx'\n"},
        {{"-f", "kNN", "a"}, -1, "Error: Unknown force unit 'kNN'\n"},
        {{"-m", "kN", "a"}, -1, "Error: Unknown moment unit 'kN'\n"},
        {{"-f", "Nm", "-m", "N", "a"},
         -1,
         "Error: Unknown force unit 'Nm'\nError: Unknown moment unit 'N'\n"},
        {{"-f", "kN ", "a"}, -1, "Error: Unknown force unit 'kN '\n"},
        {{"--help", "-f", "kN", "a"}, 0, ""},
        {{"-f", "kN", "a", "--version"}, 0, ""},
    };
    for (const Case &c : cases) {
        Accepted a;
        accept(c.arguments, &a);
        EXPECT_FALSE(a.accepted) << c.arguments[0];
        EXPECT_EQ(a.status, c.status) << c.arguments[0];
        EXPECT_EQ(a.messages, c.message) << c.arguments[0];
        release_command_line(&a.command);
    }
}

TEST_F(Options, UnitTextsThatAreAccepted) {
    struct Case {
        const char *force;
        const char *moment;
        double force_factor;
        double moment_factor;
    };
    const std::vector<Case> cases = {
        {"false", "FALSE", 0.0, 0.0}, {"kn", "KNM", 1000.0, 1000.0}, {"2", "-3.5", 2.0, -3.5},
        {" 1e3", "Nm", 1000.0, 1.0},  {"", "kgm", 0.0, 9.80665},     {"t", "", 9806.65, 0.0},
    };
    for (const Case &c : cases) {
        Accepted a;
        accept({"-f", c.force, "-m", c.moment, "a"}, &a);
        EXPECT_TRUE(a.accepted) << c.force << " " << c.moment;
        EXPECT_EQ(a.command.conversion.force, c.force_factor) << c.force;
        EXPECT_EQ(a.command.conversion.moment, c.moment_factor) << c.moment;
        release_command_line(&a.command);
    }
}

} // namespace
