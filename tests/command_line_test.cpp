// SPDX-License-Identifier: MIT
#include "app/command_line.h"
#include "support/memory_check.h"

#include <string>
#include <vector>

namespace {

using CommandLineTest = LeakCheckedTest;

struct Scan {
    std::vector<std::string> arguments; // after the program name
    const char *force;                  // null: unset
    const char *moment;
    std::vector<std::string> files;
    int usage_texts;
};

std::string text_or_null(const char *text) {
    return text ? text : "(null)";
}

void PrintTo(const Scan &s, std::ostream *out) {
    for (const auto &argument : s.arguments) {
        *out << "[" << argument << "]";
    }
}

class ArgumentScan : public CommandLineTest, public ::testing::WithParamInterface<Scan> {};

TEST_P(ArgumentScan, FillsTheUnitTextsAndFileArguments) {
    const Scan &s = GetParam();
    std::vector<char *> argv = {const_cast<char *>("joint2si")};
    std::vector<std::string> storage = s.arguments;
    for (auto &argument : storage) {
        argv.push_back(argument.data());
    }
    char *force = nullptr;
    char *moment = nullptr;
    StringList files = {0, nullptr};
    const std::string messages = capture_stderr([&] {
        parse_arguments(static_cast<int>(argv.size()), argv.data(), &force, &moment, &files);
    });
    EXPECT_EQ(text_or_null(force), text_or_null(s.force));
    EXPECT_EQ(text_or_null(moment), text_or_null(s.moment));
    ASSERT_EQ(files.count, static_cast<int>(s.files.size()));
    for (int i = 0; i < files.count; ++i) {
        EXPECT_EQ(files.items[i], s.files[static_cast<std::size_t>(i)]);
    }
    std::string usage;
    capture_stderr([] {}); // keep the capture state clean
    usage = capture_stderr([] { print_usage("joint2si"); });
    std::string expected;
    for (int i = 0; i < s.usage_texts; ++i) {
        expected += usage;
    }
    EXPECT_EQ(messages, expected);
    tool_strfree(&force);
    tool_strfree(&moment);
    tool_strlist_free(&files);
}

INSTANTIATE_TEST_SUITE_P(
    Table, ArgumentScan,
    ::testing::Values(
        Scan{{"-f", "kN", "-m", "kNm", "a.jnt"}, "kN", "kNm", {"a.jnt"}, 0},
        Scan{{"-f", "kN", "-f", "T", "a"}, "T", nullptr, {"a"}, 0},
        Scan{{"-f", "-m", "kNm", "a"}, "-m", nullptr, {"kNm", "a"}, 0},
        Scan{{"-fkN", "a"}, nullptr, nullptr, {"-fkN", "a"}, 0},
        Scan{{"-F", "kN", "a"}, nullptr, nullptr, {"-F", "kN", "a"}, 0},
        Scan{{"a", "-m", "kNm"}, nullptr, "kNm", {"a"}, 0},
        Scan{{"-f", "kN", "-m"}, "kN", nullptr, {}, 0},
        Scan{{"-m", "kNm", "-help", "a", "-?"}, nullptr, "kNm", {"a"}, 2},
        Scan{{"-HELP", "/x", "-z"}, nullptr, nullptr, {"-HELP", "/x", "-z"}, 0},
        Scan{{"a", "a"}, nullptr, nullptr, {"a", "a"}, 0},
        Scan{{"-f", "", "-m", "", "a"}, "", "", {"a"}, 0},
        // The original scan knows no long options and no end of options.
        Scan{{"--exact", "-f", "kN", "--", "-m", "Nm"}, "kN", "Nm", {"--exact", "--"}, 0}));

TEST_F(CommandLineTest, UsageTextKeepsTheOriginalLinesFirst) {
    const std::string expected =
        "\nProgram converts force and moment units in joint attribute file(s) to SI units.\n\n"
        "\tUsage: prog -f force_unit -m moment_unit [-?] file(s)...\n\n"
        "\t  -f force_unit   = initial force unit (kg/T/N/daN/kN/lbf/kip/numerical value)\n"
        "\t  -m moment_unit  = initial moment unit (kgm/Tm/Nm/daNm/kNm/lbf-in/lbf-ft/\n"
        "\t" +
        std::string(41, ' ') +
        "kip-in/kip-ft/numerical value)\n"
        "\t  -?" +
        std::string(14, ' ') +
        "= display this help\n"
        "\t  file(s)..." +
        std::string(6, ' ') + "= list of input files (wild cards can be used)\n\n";
    const std::string usage = capture_stderr([] { print_usage("prog"); });
    EXPECT_EQ(usage.substr(0, expected.size()), expected);
    // Every long option is listed after the original lines.
    for (const char *option :
         {"--recursive", "--dry-run", "--backup[=CONTROL]", "--suffix=SUFFIX", "--force",
          "--allow-dropped-digits", "--verbose", "--no-progress", "--exact", "--help",
          "--version", "\t  -- "}) {
        EXPECT_NE(usage.find(option, expected.size()), std::string::npos) << option;
    }
}

} // namespace
