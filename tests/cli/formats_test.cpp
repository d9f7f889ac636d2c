// SPDX-License-Identifier: MIT
// End-to-end: files written back in the form they came in (gzip stays gzip, line ends
// are kept), standard input to standard output, and names beyond the code page.
#include "support/gzip_data.h"
#include "support/process_control.h"
#include "support/run_program.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

const std::string kIn = "// joint\nshear_force 1.5\nname J1\n";
const std::string kOut = "shear_force 1500.000000\nname J1\n";

ProgramResult convert(const TempDir &dir, const std::vector<std::string> &files) {
    std::vector<std::string> arguments = {"-f", "kN"};
    arguments.insert(arguments.end(), files.begin(), files.end());
    return run_program(JOINT2SI_EXE, arguments, dir.path().string());
}

// Runs "joint2si -f kN -" with `input` on standard input.
ProgramResult convert_pipe(const TempDir &dir, const std::string &input) {
    dir.write("input.bin", input);
    return run_program_with_input(JOINT2SI_EXE, {"-f", "kN", "-"}, dir.path().string(),
                                  dir.file("input.bin").string());
}

// The gzip program of this system, or "" where there is none to run.
std::string gzip_program() {
    for (const char *path : {"/usr/bin/gzip", "/bin/gzip"}) {
        if (fs::exists(path) && std::string(text_line_end()) == "\n") {
            return path;
        }
    }
    return "";
}

TEST(Formats, LineEndsFollowTheFirstLineEndOfTheInput) {
    struct Case {
        const char *name;
        std::string input;
        std::string output; // the same bytes on every system
    } cases[] = {
        {"lf", "shear_force 1\nname a\n", "shear_force 1000.000000\nname a\n"},
        {"crlf", "shear_force 1\r\nname a\r\n", "shear_force 1000.000000\r\nname a\r\n"},
        {"crlf first", "name a\r\nshear_force 1\nname b",
         "name a\r\nshear_force 1000.000000\r\nname b\r\n"},
        {"lf first", "name a\nshear_force 1\r\n", "name a\nshear_force 1000.000000\n"},
        {"in a comment", "# note\r\nname a\n", "name a\r\n"},
        {"lone cr", "name a\rb\nshear_force 1\n", "name a\rb\nshear_force 1000.000000\n"},
        {"empty", "", ""},
    };
    TempDir dir;
    for (const Case &c : cases) {
        dir.write("a.jnt", c.input);
        const ProgramResult result = convert(dir, {"a.jnt"});
        EXPECT_EQ(result.exit_status, 0) << c.name;
        EXPECT_EQ(dir.read("a.jnt"), c.output) << c.name;
    }
    dir.write("a.jnt", "shear_force 1");
    convert(dir, {"a.jnt"});
    EXPECT_EQ(dir.read("a.jnt"), std::string("shear_force 1000.000000") + text_line_end());
}

TEST(Formats, GzipFileStaysGzipAtTheLevelItsHeaderNames) {
    struct Case {
        int level;
        int extra_flags; // what gzip writes for that level, and what must come back
    } cases[] = {{1, 4}, {6, 0}, {9, 2}};
    TempDir dir;
    for (const Case &c : cases) {
        dir.write("a.jnt.gz", gzip_bytes("shear_force 1\r\nname J1\r\n", c.level));
        const ProgramResult result = convert(dir, {"*.gz"});
        EXPECT_EQ(result.exit_status, 0) << c.level;
        const std::string written = dir.read("a.jnt.gz");
        ASSERT_GT(written.size(), 10u);
        EXPECT_EQ(static_cast<unsigned char>(written[8]), c.extra_flags) << c.level;
        EXPECT_EQ(gunzip_bytes(written), "shear_force 1000.000000\r\nname J1\r\n") << c.level;
    }
    const std::string gzip = gzip_program();
    if (gzip.empty()) {
        GTEST_SKIP() << "no gzip program to check the result with";
    }
    const std::string path = dir.file("a.jnt.gz").string();
    EXPECT_EQ(run_program(gzip, {"-t", path}).exit_status, 0);
    EXPECT_EQ(run_program(gzip, {"-dc", path}).standard_output,
              "shear_force 1000.000000\r\nname J1\r\n");
}

TEST(Formats, PlainFileNamedGzStaysPlainAndDamagedGzipIsLeftAlone) {
    TempDir dir;
    dir.write("plain.gz", kIn);
    const std::string damaged = gzip_bytes(kIn).substr(0, 20);
    dir.write("damaged.jnt.gz", damaged);
    const ProgramResult result = convert(dir, {"plain.gz", "damaged.jnt.gz"});
    EXPECT_EQ(dir.read("plain.gz"), kOut);
    EXPECT_EQ(dir.read("damaged.jnt.gz"), damaged);
    EXPECT_EQ(result.standard_error, "Error: Could not read file 'damaged.jnt.gz'\n"
                                     "  the compressed data is incomplete\n");
    EXPECT_EQ(result.exit_status, exit_status_of_minus_one());
}

TEST(Formats, StandardInputToStandardOutput) {
    struct Case {
        const char *name;
        std::string input;
        std::string output;
        std::string messages;
    } cases[] = {
        {"plain", kIn, kOut, ""},
        {"gzip", gzip_bytes(kIn), kOut, ""},
        {"crlf", "shear_force 2\r\n", "shear_force 2000.000000\r\n", ""},
        {"damaged gzip", gzip_bytes(kIn + kIn + kIn).substr(0, 30), "",
         "Error: Could not read file '-'\n  the compressed data is incomplete\n"},
        {"separator", "axial_force=2\n", "axial_force=2000.000000\n", ""},
        {"digits after the value", kIn + "shear_force 1,5\n", "",
         "Error: Could not convert file '-': line 4 has digits after its value: "
         "'shear_force 1,5'\n"},
        {"not finite", "shear_force 1e306\n", "",
         "Error: Could not convert file '-': line 1 has a value whose conversion is not a "
         "finite number: 'shear_force 1e306'\n"},
        {"zero byte", std::string("name a\n\0b\n", 10), "",
         "Error: Could not convert file '-': it is not a text file\n"},
    };
    TempDir dir;
    for (const Case &c : cases) {
        const ProgramResult result = convert_pipe(dir, c.input);
        EXPECT_EQ(result.standard_output, c.output) << c.name;
        EXPECT_EQ(result.standard_error, c.messages) << c.name;
        EXPECT_EQ(result.exit_status, c.messages.empty() ? 0 : exit_status_of_minus_one())
            << c.name;
    }
    EXPECT_EQ(dir.read("input.bin"), std::string("name a\n\0b\n", 10)); // never written
}

TEST(Formats, NamesBeyondTheCodePage) {
    TempDir dir;
    const std::string name = "\xE6\x97\xA5\xE6\x9C\xAC.jnt"; // two CJK characters
    std::error_code error;
    std::ofstream(fs::u8path(dir.path().u8string() + "/" + name), std::ios::binary) << kIn;
    if (!fs::exists(fs::u8path(dir.path().u8string() + "/" + name))) {
        GTEST_SKIP() << "this file system takes no such names";
    }
    auto read = [&] {
        std::ifstream in(fs::u8path(dir.path().u8string() + "/" + name), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    };
    EXPECT_EQ(convert(dir, {"*.jnt"}).exit_status, 0);
    EXPECT_EQ(read(), kOut);
    fs::remove(fs::u8path(dir.path().u8string() + "/" + name)); // a new, unconverted file
    std::ofstream(fs::u8path(dir.path().u8string() + "/" + name), std::ios::binary) << kIn;
    const ProgramResult result = convert(dir, {name, "missing-" + name});
    EXPECT_EQ(read(), kOut);
    // The detail names the argument in the error stream's encoding: as given on POSIX, in
    // the console's code page on Windows, which has no such characters.
    const std::string &messages = result.standard_error;
    EXPECT_EQ(messages.rfind("Error: Could not open file any file\n  'missing-", 0), 0u)
        << messages;
    const std::string end = ".jnt' matches no file\n";
    EXPECT_EQ(messages.size() - messages.rfind(end), end.size()) << messages;
}

} // namespace
