// SPDX-License-Identifier: MIT
// The whole converter on a fuzzed file: the exit status follows the rules, no file
// is left beside the input, a refused run (a value that cannot be converted exactly
// among them) leaves the input byte for byte as it was, and a converted file holds
// exactly the model's lines.
//
// Input: byte 0 picks the force unit, byte 1 the moment unit; the rest is the file.
#include "app/driver.h"

#include "libtools/tool_memory.h"
#include "support/fuzz_check.h"
#include "support/models.h"
#include "support/scratch_dir.h"

#include <cctype>
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace {

const char *const kUnits[] = {"kN",  "kip",   "lbf",  "Nm",    "kip-ft", "false",
                              "",    "2.5",   "-1",   "1e-12", "xyz",    "KN",
                              "nan", "1e308", "0x10", "kgm",   "T",      "lbf-in"};
constexpr int kUnitCount = sizeof kUnits / sizeof kUnits[0];

const std::filesystem::path &run_directory() {
    static const std::filesystem::path dir = [] {
        auto path = scratch_dir() / "run";
        std::filesystem::create_directory(path);
        std::filesystem::current_path(path);
        return path;
    }();
    return dir;
}

// The factor of a kind: nullopt for an unknown unit, 0 for a unit not given.
std::optional<double> factor_of(const std::string &unit, int kind) {
    return unit.empty() ? std::optional<double>(0.0) : model::run_unit_factor(unit, kind);
}

// The rewritten file's text, or nullopt when the run must refuse the file.
std::optional<std::string> expected_text(const std::string &content, double force, double moment) {
    if (content.find('\0') != std::string::npos || content.compare(0, 2, "\x1f\x8b") == 0) {
        return std::nullopt;
    }
    // The output keeps the input's first line end; POSIX's when it has none.
    const std::size_t first_newline = content.find('\n');
    const bool crlf = first_newline != std::string::npos && first_newline > 0 &&
                      content[first_newline - 1] == '\r';
    const char *line_end = crlf ? "\r\n" : "\n";
    std::string text;
    for (const std::string &line : model::read_all_lines(content, 7, true)) {
        const int kind = model::classify(line);
        const double factor = kind == 1 ? force : kind == 2 ? moment : 0.0;
        if (!(std::fabs(factor) > 1e-9)) {
            text += line + line_end;
            continue;
        }
        const auto written = model::convert_in_file(line, factor);
        if (!written) {
            return std::nullopt; // a value that cannot be converted exactly
        }
        text += *written + line_end;
    }
    return text;
}

std::vector<std::string> directory_names() {
    std::vector<std::string> names;
    for (const auto &entry : std::filesystem::directory_iterator(run_directory())) {
        names.push_back(entry.path().filename().string());
    }
    return names;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    if (size < 2 || size > 8192) {
        return 0;
    }
    const std::string force = kUnits[data[0] % kUnitCount];
    const std::string moment = kUnits[data[1] % kUnitCount];
    const std::string content(reinterpret_cast<const char *>(data) + 2, size - 2);
    const auto path = run_directory() / "in.jnt";
    std::filesystem::remove(path); // a new file: the last one carries the mark of its run
    write_bytes(path, content);

    std::vector<std::string> args = {"joint2si", "-f", force, "-m", moment, "in.jnt"};
    std::vector<char *> argv;
    argv.reserve(args.size() + 1);
    for (std::string &arg : args) {
        argv.push_back(&arg[0]);
    }
    argv.push_back(nullptr);
    const long live = tool_memory_live_blocks();
    const int status = run_converter(static_cast<int>(args.size()), argv.data());
    FUZZ_CHECK(tool_memory_live_blocks() == live, "tracked blocks leaked");
    FUZZ_CHECK(directory_names() == std::vector<std::string>{"in.jnt"}, "no file left behind");

    const auto force_factor = factor_of(force, 1);
    const auto moment_factor = factor_of(moment, 2);
    std::optional<std::string> expected;
    const bool can_start = !(force.empty() && moment.empty());
    if (can_start && force_factor && moment_factor) {
        expected = expected_text(content, *force_factor, *moment_factor);
    }
    FUZZ_CHECK(status == (expected ? 0 : -1), "exit status");
    FUZZ_CHECK(read_bytes(path) == expected.value_or(content), "file content");
    return 0;
}
