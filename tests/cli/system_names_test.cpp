// SPDX-License-Identifier: MIT
// End-to-end: the rules of the system's names and files as the tool applies them. A
// read-only file is refused; a file is reached by its extended-length path ("\\?\C:\..."
// on Windows) and by paths of any length, and a pattern matches in directories named so;
// a name or pattern the system reads as another (Windows drops dots and blanks at its
// end) leads where the system leads; a backup suffix that would give
// names the system cannot keep as written is refused before anything is touched; and a
// file another program holds open without delete sharing is converted in place.
#include "support/file_system.h"
#include "support/process_control.h"
#include "support/run_program.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include "libtools/tool_sys_io.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

const std::string kIn = "shear_force 1\nname J1\n";
const std::string kOut = "shear_force 1000.000000\nname J1\n";

ProgramResult convert(const TempDir &dir, const std::vector<std::string> &arguments) {
    return run_program(JOINT2SI_EXE, units_and(arguments), dir.path().string());
}

std::vector<std::string> entries(const fs::path &directory) {
    std::vector<std::string> names;
    for (const auto &entry : fs::directory_iterator(directory)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

// Refused as the file of an unwritable name is refused: the file stays as it was.
TEST(SystemNames, ReadOnlyFileIsRefused) {
    if (running_as_superuser()) {
        GTEST_SKIP() << "the superuser writes files whose permissions forbid it";
    }
    TempDir dir;
    dir.write("a.jnt", kIn);
    fs::permissions(dir.file("a.jnt"),
                    fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);
    const ProgramResult result = convert(dir, {"a.jnt"});
    fs::permissions(dir.file("a.jnt"), fs::perms::owner_write, fs::perm_options::add);
    EXPECT_EQ(result.exit_status, exit_status_of_minus_one());
    EXPECT_EQ(result.standard_error, "Error: Could not open file 'a.jnt'\n  Permission denied\n");
    EXPECT_EQ(dir.read("a.jnt"), kIn);
}

// A file named in the extended-length form, and a pattern in a directory named so, with
// --recursive too. The system takes that form as written: dots at the end of a name stay.
TEST(SystemNames, ExtendedLengthPathReachesTheFile) {
    const struct {
        std::vector<std::string> options;
        std::string last; // after the directory's extended form
        std::vector<std::string> converted;
    } cases[] = {
        {{}, "a.jnt", {"a.jnt"}},
        {{}, "*.jnt", {"a.jnt", "b.jnt"}},
        {{"--recursive"}, "*.jnt", {"a.jnt", "b.jnt", "sub/c.jnt"}},
        {{"--recursive"}, "c.jnt", {"sub/c.jnt"}},
        {{}, "*.jnt.", {}},
    };
    for (const auto &c : cases) {
        TempDir dir;
        const std::string extended = extended_length_form(dir.path());
        if (extended.empty()) {
            GTEST_SKIP() << "this system has no extended-length form of paths";
        }
        fs::create_directory(dir.file("sub"));
        for (const char *name : {"a.jnt", "b.jnt", "sub/c.jnt", "sub/d.txt"}) {
            dir.write(name, kIn);
        }
        std::vector<std::string> arguments = c.options;
        arguments.push_back(extended + "\\" + c.last);
        const ProgramResult result = convert(dir, arguments);
        EXPECT_EQ(result.exit_status, c.converted.empty() ? exit_status_of_minus_one() : 0)
            << c.last << ": " << result.standard_error;
        for (const char *name : {"a.jnt", "b.jnt", "sub/c.jnt", "sub/d.txt"}) {
            const bool converted =
                std::find(c.converted.begin(), c.converted.end(), name) != c.converted.end();
            EXPECT_EQ(dir.read(name), converted ? kOut : kIn) << c.last << ": " << name;
        }
        EXPECT_EQ(entries(dir.path()), (std::vector<std::string>{"a.jnt", "b.jnt", "sub"}))
            << c.last;
    }
}

// Paths of 260 characters and more (Windows' old limit), given whole, relative, and in
// the extended-length form, with a backup beside the file.
TEST(SystemNames, LongPathsReachTheFile) {
    TempDir dir;
    std::string deep = "d";
    while (deep.size() < 320) {
        deep += "/" + std::string(50, 'd');
    }
    std::error_code error;
    const std::string extended_top = extended_length_form(dir.path());
    // Windows' own calls make deep directories only through the extended form.
    const fs::path made = extended_top.empty()
                              ? dir.file(deep)
                              : fs::path(extended_top) / fs::path(deep).make_preferred();
    fs::create_directories(made, error);
    ASSERT_FALSE(error) << error.message();
    const std::string relative = deep + "/a.jnt";
    const std::string absolute = (dir.path() / relative).string();
    ASSERT_GE(absolute.size(), 300u);
    // The extended form takes no "/" for a separator.
    const std::string extended =
        extended_top.empty() ? "" : extended_top + "\\" + native_separators(relative);
    const std::size_t name_length = std::string("a.jnt").size();
    const auto pattern_in = [name_length](const std::string &path) {
        return path.empty() ? path : path.substr(0, path.size() - name_length) + "*.jnt";
    };
    struct Case {
        const char *how;
        std::string argument;
    } cases[] = {
        {"absolute", absolute},
        {"relative", relative},
        {"extended", extended},
        // Patterns are matched in directories of any length too.
        {"absolute pattern", pattern_in(absolute)},
        {"relative pattern", pattern_in(relative)},
        {"extended pattern", pattern_in(extended)},
    };
    for (const Case &c : cases) {
        if (c.argument.empty()) {
            continue; // no extended form here
        }
        // A new file each time: the record of the last conversion would stay with it.
        fs::remove(made / "a.jnt");
        std::ofstream(made / "a.jnt", std::ios::binary) << kIn;
        const ProgramResult result = convert(dir, {"--backup=simple", c.argument});
        EXPECT_EQ(result.exit_status, 0) << c.how << ": " << result.standard_error;
        EXPECT_EQ(result.standard_error, "") << c.how;
        std::ifstream converted(made / "a.jnt", std::ios::binary);
        std::ifstream backup(made / "a.jnt~", std::ios::binary);
        EXPECT_EQ(std::string(std::istreambuf_iterator<char>(converted), {}), kOut) << c.how;
        EXPECT_EQ(std::string(std::istreambuf_iterator<char>(backup), {}), kIn) << c.how;
        converted.close();
        backup.close();
        fs::remove(made / "a.jnt~");
    }
}

// Where the system drops dots and blanks at the end of a name, a name or a pattern
// written with them leads where the system leads it ("*.jnt." lists what "*.jnt" lists),
// with --recursive also below. Elsewhere they are part of the name, and no file here has
// such a name.
TEST(SystemNames, TrailingDotsAndBlanksLeadWhereTheSystemLeads) {
    const bool drops = drops_trailing_dots_and_blanks();
    const struct {
        std::vector<std::string> arguments;
        std::vector<std::string> converted; // where the system drops them
    } cases[] = {
        {{"a.jnt."}, {"a.jnt"}},
        {{"a.jnt "}, {"a.jnt"}},
        {{"a.jnt. ."}, {"a.jnt"}},
        {{"sub/../a.jnt."}, {"a.jnt"}},
        {{"*.jnt."}, {"a.jnt", "b.jnt"}},
        {{"*.jnt "}, {"a.jnt", "b.jnt"}},
        {{"sub/../?.jnt. ."}, {"a.jnt", "b.jnt"}},
        {{"--recursive", "*.jnt."}, {"a.jnt", "b.jnt", "sub/a.jnt"}},
        {{"--recursive", "a.jnt "}, {"a.jnt", "sub/a.jnt"}},
    };
    for (const auto &c : cases) {
        const std::string &last = c.arguments.back();
        TempDir dir;
        fs::create_directory(dir.file("sub"));
        for (const char *name : {"a.jnt", "b.jnt", "sub/a.jnt"}) {
            dir.write(name, kIn);
        }
        const ProgramResult result = convert(dir, c.arguments);
        EXPECT_EQ(result.exit_status, drops ? 0 : exit_status_of_minus_one())
            << "'" << last << "': " << result.standard_error;
        for (const char *name : {"a.jnt", "b.jnt", "sub/a.jnt"}) {
            const bool converted = drops && std::find(c.converted.begin(), c.converted.end(),
                                                      name) != c.converted.end();
            EXPECT_EQ(dir.read(name), converted ? kOut : kIn) << "'" << last << "': " << name;
        }
        EXPECT_EQ(entries(dir.path()), (std::vector<std::string>{"a.jnt", "b.jnt", "sub"}))
            << "'" << last << "'";
    }
}

// Refused before any file is touched, where a name cannot hold the suffix: the backup
// would be a stream of the file (":s"), a name the system chose (".b." gives "a.jnt.b"),
// or fail only at the backup. Elsewhere the same suffixes make ordinary backups.
TEST(SystemNames, BackupSuffixesNamesCannotHoldAreRefusedFirst) {
    const std::string refused = characters_names_cannot_hold();
    const bool drops_ends = drops_trailing_dots_and_blanks();
    const struct Case {
        std::string suffix;
        char bad;  // the character a name may not hold, or the dot or blank at its end
        bool ends; // `bad` is refused for being at the end
    } cases[] = {
        {":s", ':', false}, {".b.", '.', true}, {".b ", ' ', true},   {"|x", '|', false},
        {"*", '*', false},  {"<", '<', false},  {"a\"b", '"', false}, {"x?", '?', false},
    };
    for (const Case &c : cases) {
        TempDir dir;
        dir.write("a.jnt", kIn);
        const ProgramResult result =
            convert(dir, {"--backup=simple", "--suffix=" + c.suffix, "a.jnt"});
        const bool expect_refused = c.ends ? drops_ends : refused.find(c.bad) != std::string::npos;
        if (!expect_refused) {
            EXPECT_EQ(result.exit_status, 0) << c.suffix << ": " << result.standard_error;
            EXPECT_EQ(dir.read("a.jnt" + c.suffix), kIn) << c.suffix;
            continue;
        }
        const std::string why = c.ends ? std::string("end in a ") + (c.bad == '.' ? "dot" : "blank")
                                       : std::string("hold '") + c.bad + "'";
        EXPECT_EQ(result.exit_status, exit_status_of_minus_one()) << c.suffix;
        EXPECT_EQ(result.standard_error, "Error: Invalid backup suffix '" + c.suffix +
                                             "'\n  a file name here cannot " + why + "\n");
        EXPECT_EQ(dir.read("a.jnt"), kIn) << c.suffix;
        EXPECT_EQ(entries(dir.path()), std::vector<std::string>{"a.jnt"}) << c.suffix;
    }
}

// An indexer or a virus scanner holds the file open without delete sharing: no rename
// can replace it, so the new text is copied into it, and the file stays the same file.
TEST(SystemNames, FileHeldWithoutDeleteSharingIsConvertedInPlace) {
    TempDir dir;
    dir.write("a.jnt", kIn);
    long long hold = -1;
    if (const std::string why = hold_without_delete_sharing(dir.file("a.jnt"), &hold);
        !why.empty()) {
        GTEST_SKIP() << why;
    }
    const ProgramResult result = convert(dir, {"a.jnt"});
    release_file_hold(hold);
    EXPECT_EQ(result.exit_status, 0) << result.standard_error;
    EXPECT_EQ(dir.read("a.jnt"), kOut);
    EXPECT_EQ(entries(dir.path()), std::vector<std::string>{"a.jnt"});
}

std::vector<std::string> replacement_files(const fs::path &directory) {
    std::vector<std::string> found;
    for (const std::string &name : entries(directory)) {
        if (tool_is_replacement_name(name.c_str())) {
            found.push_back(name);
        }
    }
    return found;
}

// Kills during the copy into a held file: the name stays, and a file torn by the kill
// has its whole new text kept in the copy's own file.
TEST(SystemNames, KilledCopyIntoAHeldFileKeepsTheNameAndTheNewText) {
    TempDir probe;
    probe.write("a.jnt", kIn);
    long long hold = -1;
    if (const std::string why = hold_without_delete_sharing(probe.file("a.jnt"), &hold);
        !why.empty()) {
        GTEST_SKIP() << why;
    }
    release_file_hold(hold);
    std::string original;
    for (int i = 0; i < 60000; ++i) {
        original += "shear_force " + std::to_string(i) + ".5\nname J" + std::to_string(i) + "\n";
    }
    const auto start = std::chrono::steady_clock::now();
    TempDir model;
    model.write("a.jnt", original);
    ASSERT_EQ(convert(model, {"a.jnt"}).exit_status, 0);
    const long microseconds =
        static_cast<long>(std::chrono::duration_cast<std::chrono::microseconds>(
                              std::chrono::steady_clock::now() - start)
                              .count());
    const std::string converted = model.read("a.jnt");
    const char *rounds_text = std::getenv("JOINT2SI_SAFETY_ROUNDS");
    const long rounds =
        rounds_text != nullptr && std::atol(rounds_text) > 0 ? std::atol(rounds_text) : 6;
    std::mt19937 random(std::random_device{}());
    int torn = 0;
    for (long round = 0; round < rounds; ++round) {
        TempDir dir;
        dir.write("a.jnt", original);
        ASSERT_EQ(hold_without_delete_sharing(dir.file("a.jnt"), &hold), "");
        // The copy comes last: most kills aim at the second half of the run.
        const long delay =
            microseconds / 2 + static_cast<long>(random() % static_cast<unsigned>(microseconds));
        run_program_and_stop(JOINT2SI_EXE, units_and({"a.jnt"}), dir.path().string(), delay,
                             StopSignal::kill);
        release_file_hold(hold);
        ASSERT_TRUE(fs::exists(dir.file("a.jnt"))) << "name missing after a kill at " << delay;
        const std::string content = dir.read("a.jnt");
        if (content == original || content == converted) {
            continue;
        }
        ++torn;
        const std::vector<std::string> left = replacement_files(dir.path());
        ASSERT_EQ(left.size(), 1u) << "torn without its new text kept, delay " << delay;
        EXPECT_EQ(dir.read(left[0]), converted) << "delay " << delay;
    }
    std::printf("kills during the copy into a held file: %d torn of %ld, each with its new "
                "text kept\n",
                torn, rounds);
}

} // namespace
