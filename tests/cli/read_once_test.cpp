// SPDX-License-Identifier: MIT
// A file is read once whatever is asked of it: counted by tracing the program's reads of
// the file (strace, where it can run) with --verbose and a warning, and with --dry-run.
#include "support/gzip_data.h"
#include "support/run_program.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

namespace {

// Bytes read by the traced process from descriptors whose path ends in `name`: strace -y
// names the file after each descriptor; a read a thread left unfinished ends on a later
// "resumed" line of the same thread.
long long bytes_read_from(const std::string &log, const std::string &name) {
    const std::regex started(R"(^(\d+) +read\(\d+<([^>]*)>)");
    const std::regex resumed(R"(^(\d+) +<\.\.\. read resumed>)");
    const std::regex result(R"(\) += (\d+)$)");
    std::map<std::string, bool> pending; // thread -> its unfinished read is of the file
    long long total = 0;
    std::istringstream in(log);
    for (std::string line; std::getline(in, line);) {
        std::smatch match;
        bool counted = false;
        if (std::regex_search(line, match, started)) {
            const std::string path = match[2];
            counted = path.size() >= name.size() &&
                      path.compare(path.size() - name.size(), name.size(), name) == 0;
            if (line.find("<unfinished") != std::string::npos) {
                pending[match[1]] = counted;
                continue;
            }
        } else if (std::regex_search(line, match, resumed)) {
            counted = pending[match[1]];
        }
        if (counted && std::regex_search(line, match, result)) {
            total += std::stoll(match[1]);
        }
    }
    return total;
}

// A gzip file of some 1 MB of text ending in a line that draws a warning, whose line
// number comes from the same pass.
std::string packed_input() {
    std::string text;
    for (int i = 0; i < 40000; ++i) {
        text += "shear_force " + std::to_string(i) + ".5 kN\nname J" + std::to_string(i) + "\n";
    }
    text += "shear_force 1,5\n"; // a warning with --allow-dropped-digits
    return gzip_bytes(text);
}

class ReadOnce : public ::testing::Test {
  protected:
    // strace must be able to trace the program under test itself: a Windows build run
    // under Wine finds a Linux strace that cannot start it (and Wine reports the exit
    // status of a Linux program as 0, so the trace itself has to say how it ended).
    void SetUp() override {
        if (!std::filesystem::exists(kStrace) ||
            traced({"-o", "probe.log"}, {"--version"}).exit_status != 0 ||
            dir_.read("probe.log").find("+++ exited with 0 +++") == std::string::npos) {
            GTEST_SKIP() << "strace cannot trace the program here (not installed, tracing not "
                            "allowed, or not a program of this system)";
        }
    }

    // Runs the program with `arguments` under strace with `options`. The leak checker of
    // a sanitized build cannot run under ptrace; the other runs of the program check for
    // leaks.
    ProgramResult traced(std::vector<std::string> options,
                         const std::vector<std::string> &arguments) {
        options.insert(options.end(),
                       {"-E", "ASAN_OPTIONS=detect_leaks=0:abort_on_error=1", JOINT2SI_EXE});
        options.insert(options.end(), arguments.begin(), arguments.end());
        return run_program(kStrace, options, dir_.path().string());
    }

    // Converts a fresh copy of `packed` with `options` under strace: the bytes the
    // program read from the file.
    long long bytes_read_converting(const std::string &packed, std::vector<std::string> options) {
        dir_.write("a.jnt.gz", packed);
        options.insert(options.begin(), {"-f", "kN"});
        options.push_back("a.jnt.gz");
        const ProgramResult run =
            traced({"-f", "-o", "trace.log", "-e", "trace=read", "-y"}, options);
        EXPECT_EQ(run.exit_status, 0) << run.standard_error;
        return bytes_read_from(dir_.read("trace.log"), "a.jnt.gz");
    }

    const std::string kStrace = "/usr/bin/strace";
    TempDir dir_;
};

TEST_F(ReadOnce, AGzipFileIsReadAndInflatedOnce) {
    const std::string packed = packed_input();
    const long long read = bytes_read_converting(packed, {"--verbose", "--allow-dropped-digits"});
    EXPECT_GE(read, static_cast<long long>(packed.size()));
    EXPECT_LT(read, static_cast<long long>(packed.size()) * 3 / 2);
}

TEST_F(ReadOnce, APreviewReadsTheFileOnce) {
    const std::string packed = packed_input();
    const long long read =
        bytes_read_converting(packed, {"--dry-run", "--verbose", "--allow-dropped-digits"});
    EXPECT_GE(read, static_cast<long long>(packed.size()));
    EXPECT_LT(read, static_cast<long long>(packed.size()) * 3 / 2);
}

} // namespace
