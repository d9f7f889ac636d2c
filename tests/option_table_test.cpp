// The option table and the acceptance steps: which record a command line fills and
// with which status a run that cannot start ends.
#include "app/command_line.h"
#include "support/memory_check.h"

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
    Accepted a;
    accept({"--recursive", "--dry-run", "-f", "kip", "--verbose", "--no-progress", "--exact",
            "--backup", "a.jnt", "-m", "lbf-ft", "--", "-f", "--x"},
           &a);
    EXPECT_TRUE(a.accepted);
    EXPECT_EQ(a.status, 0);
    EXPECT_EQ(a.messages, "");
    const CommandLine &c = a.command;
    EXPECT_TRUE(c.recursive && c.dry_run && c.verbose && c.no_progress);
    EXPECT_EQ(c.factors, UnitFactors::exact);
    EXPECT_STREQ(c.backup, "~");
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
    EXPECT_FALSE(c.recursive || c.dry_run || c.verbose || c.no_progress);
    EXPECT_EQ(c.backup, nullptr);
    EXPECT_EQ(c.factors, UnitFactors::table);
    EXPECT_EQ(c.conversion.force, 4448.222);
    EXPECT_EQ(c.conversion.moment, 1.356);
    EXPECT_EQ(files_of(c), "a.jnt -");
    release_command_line(&a.command);
}

TEST_F(Options, BackupSuffixes) {
    struct Case {
        const char *argument;
        const char *suffix; // null: refused
    };
    const std::vector<Case> cases = {
        {"--backup", "~"},      {"--backup=.bak", ".bak"}, {"--backup=~1", "~1"},
        {"--backup=", nullptr}, {"--backup=a/b", nullptr}, {"--backup=a\\b", nullptr},
    };
    for (const Case &c : cases) {
        Accepted a;
        accept({"-f", "kN", c.argument, "a.jnt"}, &a);
        EXPECT_EQ(a.accepted, c.suffix != nullptr) << c.argument;
        if (c.suffix != nullptr) {
            EXPECT_STREQ(a.command.backup, c.suffix);
        } else {
            EXPECT_EQ(a.status, -1);
            EXPECT_EQ(a.messages,
                      std::string("Error: Invalid backup suffix '") + (c.argument + 9) + "'\n");
        }
        release_command_line(&a.command);
    }
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
        {"false", "FALSE", 0.0, 0.0}, {"kn", "KNM", 1000.0, 1000.0}, {"2kN", "-3.5", 2.0, -3.5},
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
