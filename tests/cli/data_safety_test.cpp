// SPDX-License-Identifier: MIT
// End-to-end runs of the converter where a file could be damaged or the wrong file
// touched: concurrent runs, kills during an in-place copy, devices and FIFOs, links
// planted by another user, leftovers of killed runs, other programs writing the file
// during a run, signals raised by writes.
//
// The loops run a few rounds by default; JOINT2SI_SAFETY_ROUNDS sets another count
// (and JOINT2SI_SAFETY_LINES the size of the file) for a long run by hand.
#include "support/file_system.h"
#include "support/gzip_data.h"
#include "support/process_control.h"
#include "support/run_program.h"
#include "support/temp_dir.h"

#include "libtools/tool_sys_io.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <future>
#include <random>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

ProgramResult convert(const TempDir &dir, const std::vector<std::string> &files) {
    return run_program(JOINT2SI_EXE, units_and(files), dir.path().string());
}

long setting(const char *name, long fallback) {
    const char *text = std::getenv(name);
    return text != nullptr && std::atol(text) > 0 ? std::atol(text) : fallback;
}

std::vector<std::string> replacement_files(const fs::path &directory) {
    std::vector<std::string> found;
    for (const auto &entry : fs::directory_iterator(directory)) {
        if (tool_is_replacement_name(entry.path().filename().string().c_str())) {
            found.push_back(entry.path().filename().string());
        }
    }
    return found;
}

// Whether files in `dir` keep records: the conversion's, by which a later run tells a
// converted file from one to convert, and the marks that show a leftover replacement
// file to be the program's (Wine's volumes keep none).
bool records_kept(const TempDir &dir) {
    dir.write("probe", "");
    const int written = tool_file_write_record(dir.file("probe").string().c_str(), "p", 1);
    fs::remove(dir.file("probe"));
    return written == TOOL_RECORD_FOUND;
}

// A file, what one run makes of it and what two runs one after the other make of it.
struct Contents {
    std::string original;
    std::string once;
    std::string twice;
    long microseconds = 0; // one undisturbed run
};

const Contents &contents() {
    static const Contents made = [] {
        Contents c;
        const long lines = setting("JOINT2SI_SAFETY_LINES", 40000);
        for (long i = 0; i < lines; ++i) {
            c.original += "shear_force " + std::to_string(i) + ".5\nname J" + std::to_string(i) +
                          " // joint\n";
        }
        TempDir dir;
        dir.write("a.jnt", c.original);
        const auto start = std::chrono::steady_clock::now();
        convert(dir, {"a.jnt"});
        c.microseconds = static_cast<long>(std::chrono::duration_cast<std::chrono::microseconds>(
                                               std::chrono::steady_clock::now() - start)
                                               .count());
        c.once = dir.read("a.jnt");
        convert(dir, {"a.jnt"});
        c.twice = dir.read("a.jnt");
        return c;
    }();
    return made;
}

// Two runs at once on one file, with or without a second name for it (a second hard
// link sends the rewrite down the in-place path).
class ConcurrentRuns : public ::testing::TestWithParam<bool> {};

TEST_P(ConcurrentRuns, GiveTheResultOfOneRunAfterTheOther) {
    const Contents &c = contents();
    const long rounds = setting("JOINT2SI_SAFETY_ROUNDS", 4);
    int torn = 0;
    for (long round = 0; round < rounds; ++round) {
        TempDir dir;
        dir.write("a.jnt", c.original);
        std::error_code error;
        if (GetParam()) {
            fs::create_hard_link(dir.file("a.jnt"), dir.file("b.jnt"), error);
            if (error) {
                GTEST_SKIP() << "hard links cannot be created here: " << error.message();
            }
        }
        auto first = std::async(std::launch::async, [&] { return convert(dir, {"a.jnt"}); });
        const ProgramResult second = convert(dir, {"a.jnt"});
        const ProgramResult first_result = first.get();
        EXPECT_EQ(first_result.exit_status, 0) << first_result.standard_error;
        EXPECT_EQ(second.exit_status, 0) << second.standard_error;
        torn += dir.read("a.jnt") == c.twice ? 0 : 1;
        EXPECT_EQ(replacement_files(dir.path()), std::vector<std::string>{});
    }
    EXPECT_EQ(torn, 0) << "of " << rounds << " rounds";
    std::printf("concurrent runs (%s): %d torn of %ld\n", GetParam() ? "hard link" : "one name",
                torn, rounds);
}

INSTANTIATE_TEST_SUITE_P(Names, ConcurrentRuns, ::testing::Values(false, true),
                         [](const auto &info) {
                             return std::string(info.param ? "HardLinked" : "SingleName");
                         });

// A kill during the copy into a hard-linked file may leave the file torn, but then its
// complete new content is in a replacement file that the next run names.
TEST(InPlaceCopy, KilledRunLeavesTheNewContentNamedByTheNextRun) {
    if (const std::string why = signals_unsupported(StopSignal::kill); !why.empty()) {
        GTEST_SKIP() << why;
    }
    const Contents &c = contents();
    const long rounds = setting("JOINT2SI_SAFETY_ROUNDS", 6);
    std::mt19937 random(std::random_device{}());
    int torn = 0;
    for (long round = 0; round < rounds; ++round) {
        TempDir dir;
        dir.write("a.jnt", c.original);
        fs::create_hard_link(dir.file("a.jnt"), dir.file("b.jnt"));
        // The copy comes last: most kills aim at the second half of the run.
        const long delay = c.microseconds / 2 +
                           static_cast<long>(random() % static_cast<unsigned>(c.microseconds));
        run_program_and_stop(JOINT2SI_EXE, units_and({"a.jnt"}), dir.path().string(), delay,
                             StopSignal::kill);
        const std::string content = dir.read("a.jnt");
        if (content == c.original || content == c.once) {
            continue;
        }
        ++torn;
        const std::vector<std::string> left = replacement_files(dir.path());
        ASSERT_EQ(left.size(), 1u) << "torn without its new content kept, delay " << delay;
        EXPECT_EQ(dir.read(left[0]), c.once);
        fs::remove(dir.file("b.jnt"));
        dir.write("c.jnt", "shear_force 1\n");
        const ProgramResult next = convert(dir, {"c.jnt"});
        EXPECT_NE(next.standard_error.find(left[0] + "' was left by an interrupted rewrite"),
                  std::string::npos)
            << next.standard_error;
    }
    std::printf("kills during the in-place copy: %d torn of %ld, each with its new content "
                "kept and named\n",
                torn, rounds);
}

// Many files committed in batches, on several threads: a kill at any point leaves each
// file with its whole old or its whole new content, and the next run converts the rest
// and leaves no replacement file.
TEST(BatchCommit, KilledRunLeavesEveryFileWholeAndTheNextRunFinishes) {
    if (const std::string why = signals_unsupported(StopSignal::kill); !why.empty()) {
        GTEST_SKIP() << why;
    }
    constexpr int kFiles = 150;
    const std::vector<std::string> arguments = {"--jobs", "2", "*.jnt"};
    const auto write_all = [](const TempDir &dir) {
        for (int i = 0; i < kFiles; ++i) {
            dir.write("f" + std::to_string(i) + ".jnt",
                      "shear_force " + std::to_string(i) + ".5\nname J" + std::to_string(i) + "\n");
        }
    };
    TempDir model;
    write_all(model);
    const auto start = std::chrono::steady_clock::now();
    ASSERT_EQ(convert(model, arguments).exit_status, 0);
    const long microseconds = std::max<long>(
        1000, static_cast<long>(std::chrono::duration_cast<std::chrono::microseconds>(
                                    std::chrono::steady_clock::now() - start)
                                    .count()));
    const long rounds = setting("JOINT2SI_SAFETY_ROUNDS", 6);
    std::mt19937 random(std::random_device{}());
    int partial = 0;
    int missing = 0; // names gone after a kill (a replacement that moves the old file aside)
    for (long round = 0; round < rounds; ++round) {
        TempDir dir;
        write_all(dir);
        const long delay = static_cast<long>(random() % static_cast<unsigned>(microseconds));
        run_program_and_stop(JOINT2SI_EXE, units_and(arguments), dir.path().string(), delay,
                             StopSignal::kill);
        TempDir fresh;
        write_all(fresh);
        int converted = 0;
        for (int i = 0; i < kFiles; ++i) {
            const std::string name = "f" + std::to_string(i) + ".jnt";
            const std::string content = dir.read(name);
            const bool present = fs::exists(dir.file(name));
            missing += present ? 0 : 1;
            EXPECT_TRUE(present) << name << " missing after a kill after " << delay << " us";
            EXPECT_TRUE(content == fresh.read(name) || content == model.read(name))
                << name << " torn by a kill after " << delay << " us";
            converted += content == model.read(name) ? 1 : 0;
        }
        partial += converted > 0 && converted < kFiles ? 1 : 0;
        if (!records_kept(dir)) {
            continue; // the next run cannot tell the converted files: it would convert them again
        }
        const ProgramResult next = convert(dir, arguments);
        EXPECT_EQ(next.exit_status, 0) << next.standard_error;
        for (int i = 0; i < kFiles; ++i) {
            const std::string name = "f" + std::to_string(i) + ".jnt";
            EXPECT_EQ(dir.read(name), model.read(name)) << name;
        }
        // Without marks (a file system that keeps no extended attributes) no leftover
        // can be shown to be the program's, and each stays.
        if (records_kept(dir)) {
            EXPECT_EQ(replacement_files(dir.path()), std::vector<std::string>{});
        }
    }
    std::printf("kills during a run over %d files in batches: %d of %ld left some converted, "
                "%d names missing%s\n",
                kFiles, partial, rounds, missing,
                records_kept(model) ? "" : " (no records kept here: the next run was not checked)");
}

TEST(NonRegularFiles, AreRefusedWithoutBlocking) {
    TempDir dir;
    const std::string why_no_fifo = make_fifo(dir.file("x.jnt"));
    std::error_code error;
    fs::create_symlink("/dev/null", dir.file("null.jnt"), error);
    if (!why_no_fifo.empty() || error || !fs::exists("/dev/null")) {
        GTEST_SKIP() << "needs a FIFO and a link to a device: " << why_no_fifo;
    }
    const ProgramResult result = convert(dir, {"x.jnt", "null.jnt"});
    EXPECT_EQ(result.standard_error,
              "Error: Could not convert file 'x.jnt': it is not a regular file\n"
              "Error: Could not convert file 'null.jnt': it is not a regular file\n");
    EXPECT_EQ(result.exit_status, exit_status_of_minus_one());
    EXPECT_TRUE(fs::is_fifo(fs::symlink_status(dir.file("x.jnt"))));
    EXPECT_TRUE(fs::is_character_file(fs::status(dir.file("null.jnt"))));
}

// Run by the superuser in a directory where another user planted links.
TEST(Links, AreFollowedOnlyWhenTheirOwnerIsTrusted) {
    if (!running_as_superuser()) {
        GTEST_SKIP() << "needs links of another user, made by the superuser";
    }
    TempDir dir;
    dir.write("secret.conf", "shear_force 1 // a comment\n");
    dir.write("theirs.txt", "shear_force 2\n");
    fs::create_symlink("secret.conf", dir.file("evil.jnt"));
    fs::create_symlink("theirs.txt", dir.file("own.jnt"));
    give_to_unprivileged_user(dir.file("evil.jnt").string());
    give_to_unprivileged_user(dir.file("own.jnt").string());
    give_to_unprivileged_user(dir.file("theirs.txt").string());
    const ProgramResult result = convert(dir, {"evil.jnt", "own.jnt"});
    EXPECT_EQ(result.standard_error, "Error: Could not convert file 'evil.jnt': it is a symbolic "
                                     "link owned by another user\n");
    EXPECT_EQ(dir.read("secret.conf"), "shear_force 1 // a comment\n");
    EXPECT_EQ(dir.read("theirs.txt"), "shear_force 2000.000000\n"); // link of the file's owner
    EXPECT_EQ(result.exit_status, exit_status_of_minus_one());
}

// Links among the directories of a path count as much as the last one: a directory
// link planted by another user may not lead the superuser into a directory of theirs.
TEST(Links, InTheDirectoryPartAreCheckedLikeTheLastOne) {
    if (!running_as_superuser()) {
        GTEST_SKIP() << "needs links of another user, made by the superuser";
    }
    TempDir dir;
    fs::create_directory(dir.file("private"));
    fs::create_directory(dir.file("shared"));
    fs::create_symlink("private", dir.file("evil"));
    fs::create_symlink(dir.file("private"), dir.file("absolute"));
    fs::create_symlink("evil", dir.file("chain"));
    fs::create_symlink("private", dir.file("mine"));
    fs::create_symlink("shared", dir.file("theirs"));
    fs::create_symlink("../evil/x.jnt", dir.file("shared/up.jnt"));
    dir.write("shared/x.jnt", "shear_force 1\n");
    for (const char *planted : {"evil", "absolute", "shared", "theirs"}) {
        give_to_unprivileged_user(dir.file(planted).string());
    }
    const struct {
        const char *argument; // the file as given, and the file it leads to
        const char *file;
        bool refused;
    } cases[] = {
        {"evil/x.jnt", "private/x.jnt", true},    {"absolute/x.jnt", "private/x.jnt", true},
        {"chain/x.jnt", "private/x.jnt", true},   {"./mine/../evil/x.jnt", "private/x.jnt", true},
        {"theirs/up.jnt", "private/x.jnt", true}, {"mine/x.jnt", "private/x.jnt", false},
        {"theirs/x.jnt", "shared/x.jnt", false}};
    for (const auto &c : cases) {
        dir.write(c.file, "shear_force 1\n");
        if (std::string(c.file) == "shared/x.jnt") {
            give_to_unprivileged_user(dir.file(c.file).string());
        }
        const ProgramResult result = convert(dir, {c.argument});
        const std::string refusal = std::string("Error: Could not convert file '") + c.argument +
                                    "': it is a symbolic link owned by another user\n";
        EXPECT_EQ(result.standard_error, c.refused ? refusal : "") << c.argument;
        EXPECT_EQ(dir.read(c.file), c.refused ? "shear_force 1\n" : "shear_force 1000.000000\n")
            << c.argument;
    }
}

// Files that merely have the form of a replacement file's name are not the program's:
// no sweep removes them. A copy without a mark is named, as it may hold the only
// complete converted text.
TEST(Leftovers, FilesNotProvenTheProgramsStayAndUnmarkedCopiesAreNamed) {
    TempDir dir;
    dir.write("a.jnt", "shear_force 1\n");
    dir.write(".j2si~rabcd1234", "a file of the user's\n");
    dir.write(".j2si~cabcd1234", "shear_force 1000.000000\n");
    ToolReplacement live = {};
    ASSERT_EQ(tool_replace_open(&live, dir.file("a.jnt").string().c_str()), 1);
    const std::string live_name = fs::path(live.temporary).filename().string();
    dir.write("b.jnt", "shear_force 2\n");
    ProgramResult result = convert(dir, {"b.jnt"});
    // The path is the directory of the file as the system resolves it, then the name.
    EXPECT_EQ(result.standard_error.rfind("Warning: '", 0), 0u) << result.standard_error;
    const std::string warning = ".j2si~cabcd1234' was left by an interrupted rewrite and may "
                                "hold the only complete converted text of a file beside it\n";
    EXPECT_EQ(result.standard_error.size() - result.standard_error.find(warning), warning.size())
        << result.standard_error;
    EXPECT_EQ(result.exit_status, 0);
    std::vector<std::string> expected = {".j2si~cabcd1234", ".j2si~rabcd1234", live_name};
    std::vector<std::string> left = replacement_files(dir.path());
    std::sort(left.begin(), left.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(left, expected) << "the live replacement and the user's files stay";
    EXPECT_EQ(dir.read(".j2si~rabcd1234"), "a file of the user's\n");
    tool_replace_abandon(&live);
    result = convert(dir, {".j2si*"}); // patterns never pick up replacement files
    EXPECT_EQ(dir.read(".j2si~cabcd1234"), "shear_force 1000.000000\n");
}

// A backup suffix can give a backup the form of a replacement file's name: the backup
// is the user's, and a later run's sweep leaves it.
TEST(Leftovers, BackupNamedLikeAReplacementSurvivesLaterSweeps) {
    TempDir dir;
    dir.write(".j2si", "shear_force 1\n");
    const ProgramResult first =
        run_program(JOINT2SI_EXE, units_and({"--backup=simple", "--suffix", "~rabcdefgh", ".j2si"}),
                    dir.path().string());
    EXPECT_EQ(first.exit_status, 0) << first.standard_error;
    ASSERT_EQ(dir.read(".j2si~rabcdefgh"), "shear_force 1\n");
    dir.write("b.jnt", "shear_force 2\n");
    const ProgramResult next = convert(dir, {"b.jnt"});
    EXPECT_EQ(next.exit_status, 0) << next.standard_error;
    EXPECT_EQ(next.standard_error, "");
    EXPECT_EQ(dir.read(".j2si~rabcdefgh"), "shear_force 1\n") << "the backup was swept away";
}

// Kills at any point of a rewrite of a hard-linked file (the in-place copy), each
// followed by another run on it: that run leaves no incomplete copy behind and never
// converts a file a kill may have torn. A complete copy is kept and its file refused,
// both named, until the user puts the copy in place.
TEST(InPlaceCopy, KilledRunsLeaveNoPartialCopyAndNoTornFileIsConvertedAgain) {
    if (const std::string why = signals_unsupported(StopSignal::kill); !why.empty()) {
        GTEST_SKIP() << why;
    }
    if (TempDir probe; !records_kept(probe)) {
        GTEST_SKIP() << "no extended attributes here: no leftover can be shown to be the "
                        "program's";
    }
    const Contents &c = contents();
    const long rounds = setting("JOINT2SI_SAFETY_ROUNDS", 6);
    std::mt19937 random(std::random_device{}());
    int torn = 0;
    int partial = 0;
    int kept = 0;
    for (long round = 0; round < rounds; ++round) {
        TempDir dir;
        dir.write("a.jnt", c.original);
        std::error_code error;
        fs::create_hard_link(dir.file("a.jnt"), dir.file("b.jnt"), error);
        if (error) {
            GTEST_SKIP() << "hard links cannot be created here: " << error.message();
        }
        const long delay =
            static_cast<long>(random() % static_cast<unsigned>(c.microseconds * 3 / 2));
        run_program_and_stop(JOINT2SI_EXE, units_and({"a.jnt"}), dir.path().string(), delay,
                             StopSignal::kill);
        const std::string killed = dir.read("a.jnt");
        const bool was_torn = killed != c.original && killed != c.once;
        torn += was_torn ? 1 : 0;
        for (const std::string &name : replacement_files(dir.path())) {
            partial += dir.read(name) != c.once ? 1 : 0;
        }
        const ProgramResult next = convert(dir, {"a.jnt"});
        const std::vector<std::string> left = replacement_files(dir.path());
        for (const std::string &name : left) {
            EXPECT_EQ(dir.read(name), c.once) << "an incomplete copy survived, delay " << delay;
        }
        if (left.empty()) {
            EXPECT_FALSE(was_torn) << "a torn file lost its only complete text, delay " << delay;
            EXPECT_EQ(dir.read("a.jnt"), c.once) << delay;
            EXPECT_EQ(next.exit_status, 0) << next.standard_error;
            continue;
        }
        ++kept;
        ASSERT_EQ(left.size(), 1u) << delay;
        EXPECT_EQ(dir.read("a.jnt"), killed) << "a file that may be torn was converted again";
        EXPECT_EQ(next.exit_status, exit_status_of_minus_one());
        EXPECT_NE(next.standard_error.find("Error: Could not write file 'a.jnt'; the converted "
                                           "text is kept in '"),
                  std::string::npos)
            << next.standard_error;
        EXPECT_NE(next.standard_error.find(left[0] + "'\n  a run that ended while copying it"),
                  std::string::npos)
            << next.standard_error;
    }
    std::printf("kills during the rewrite of a hard-linked file: %ld; left torn %d, incomplete "
                "copies left by the kills %d (none after the next run), complete copies kept "
                "with their file refused %d\n",
                rounds, torn, partial, kept);
}

// A run killed after its in-place copy had reached the file and marked it, and before
// it marked the copy as copied, leaves a whole converted file and a complete copy: the
// next run names the copy and refuses the file, as for any complete copy, instead of
// taking the file as converted and leaving the copy behind unnamed.
TEST(InPlaceCopy, CompleteCopyBesideAMarkedFileIsNamedAndTheFileRefused) {
    TempDir dir;
    dir.write("a.jnt", "shear_force 1\n");
    ASSERT_EQ(convert(dir, {"a.jnt"}).exit_status, 0);
    const std::string converted = dir.read("a.jnt");
    const std::string target = fs::canonical(dir.file("a.jnt")).string();
    ToolFileIdentity identity = {};
    ASSERT_TRUE(tool_file_identity(target.c_str(), &identity));
    const std::string copy = ".j2si~cabcd1234";
    dir.write(copy, converted);
    const std::string why = set_extended_attribute(
        dir.file(copy), "user.joint2si.replacement",
        "joint2si replacement\nstate complete\ntarget " + std::to_string(identity.device) + " " +
            std::to_string(identity.index) + "\npath " + target);
    if (!why.empty() || !records_kept(dir)) {
        GTEST_SKIP() << "no marks kept here" << why;
    }
    const ProgramResult next = convert(dir, {"a.jnt"});
    EXPECT_EQ(next.exit_status, exit_status_of_minus_one());
    EXPECT_NE(next.standard_error.find("Error: Could not write file 'a.jnt'; the converted text "
                                       "is kept in '"),
              std::string::npos)
        << next.standard_error;
    EXPECT_EQ(dir.read(copy), converted);
    EXPECT_EQ(dir.read("a.jnt"), converted);
}

// Another program writes the file while it is converted, without taking the lock: the
// run leaves the file as that program left it and ends with -1. The change is made
// once the run's replacement file exists (the file is locked and being converted); a
// run that ended before the change could be made is tried again, a few times at most.
struct OutsideChange {
    const char *change;
    bool append;
};

enum class Outcome { made, too_late, impossible };

// Runs the converter on `original` while `change` is made: made, too_late when the run
// ended before the change could be made, impossible when the system kept the other
// program from writing the file.
Outcome change_during_run(const std::string &original, const OutsideChange &c) {
    TempDir dir;
    dir.write("a.jnt", original);
    auto run = std::async(std::launch::async, [&] { return convert(dir, {"a.jnt"}); });
    while (replacement_files(dir.path()).empty() &&
           run.wait_for(std::chrono::seconds(0)) != std::future_status::ready) {
    }
    // The change comes first: the conversion of what is left may take only milliseconds.
    bool written = false;
    if (c.append) {
        std::ofstream out(dir.file("a.jnt"), std::ios::binary | std::ios::app);
        out << "shear_force 7\n";
        out.close();
        written = !out.fail();
    } else {
        std::error_code error;
        fs::resize_file(dir.file("a.jnt"), original.size() / 2, error);
        written = !error;
    }
    if (!written) {
        run.get();
        return Outcome::impossible;
    }
    const std::string expected =
        c.append ? original + "shear_force 7\n" : original.substr(0, original.size() / 2);
    const ProgramResult result = run.get();
    const std::string left = dir.read("a.jnt");
    // Converted first and changed after, the file holds the change made to the converted
    // text: nothing of the change was lost, but it came too late to tell.
    const bool changed_after =
        result.exit_status == 0 && left.compare(0, 20, original, 0, 20) != 0 &&
        (c.append ? left.size() > 14 && left.compare(left.size() - 14, 14, "shear_force 7\n") == 0
                  : left.size() == original.size() / 2);
    if (changed_after) {
        return Outcome::too_late;
    }
    EXPECT_EQ(result.exit_status, exit_status_of_minus_one()) << c.change;
    EXPECT_EQ(result.standard_error,
              "Error: Could not write file 'a.jnt'\n  another program changed it during the "
              "conversion; it is left as that program left it\n")
        << c.change;
    EXPECT_TRUE(left == expected) << c.change << ": the file is not as the other program left it";
    EXPECT_TRUE(replacement_files(dir.path()).empty()) << c.change;
    return Outcome::made;
}

TEST(OutsideWriters, ChangesDuringTheRunAreNeverLost) {
    std::string original;
    for (int i = 0; i < 1500000; ++i) {
        original += "shear_force " + std::to_string(i) + ".5\n";
    }
    for (const OutsideChange &c :
         {OutsideChange{"append", true}, OutsideChange{"truncate", false}}) {
        Outcome outcome = Outcome::too_late;
        for (int attempt = 0; attempt < 3 && outcome == Outcome::too_late; ++attempt) {
            outcome = change_during_run(original, c);
        }
        if (outcome == Outcome::impossible) {
            GTEST_SKIP() << "the system keeps other programs from writing a file being "
                            "converted: "
                         << c.change;
        }
        EXPECT_EQ(outcome, Outcome::made)
            << c.change << ": every run ended before the change could be made";
    }
}

// A POSIX access control list in the form the system.posix_acl_access attribute holds:
// the owner, one more user, the group, the mask and the others, each with its rights.
std::string access_list_granting(unsigned user) {
    std::string list;
    const auto put = [&list](unsigned value, int bytes) {
        for (int i = 0; i < bytes; ++i) {
            list += static_cast<char>((value >> (8 * i)) & 0xFF);
        }
    };
    const unsigned kNoId = 0xFFFFFFFF;
    put(2, 4); // version
    const unsigned entries[][3] = {
        {0x01, 6, kNoId}, {0x02, 6, user}, {0x04, 4, kNoId}, {0x10, 6, kNoId}, {0x20, 4, kNoId}};
    for (const auto &entry : entries) {
        put(entry[0], 2);
        put(entry[1], 2);
        put(entry[2], 4);
    }
    return list;
}

TEST(Attributes, ExtendedAttributesAndAccessListsAreKept) {
    TempDir dir;
    dir.write("a.jnt", "shear_force 1\n");
    const fs::path file = dir.file("a.jnt");
    if (const std::string why = set_extended_attribute(file, "user.origin", "lab 3");
        !why.empty()) {
        GTEST_SKIP() << "no extended attributes here: " << why;
    }
    const std::string acl_why =
        set_extended_attribute(file, "system.posix_acl_access", access_list_granting(65534));
    const std::string acl = extended_attribute(file, "system.posix_acl_access");
    const fs::perms permissions = fs::status(file).permissions();
    const ProgramResult result = convert(dir, {"a.jnt"});
    EXPECT_EQ(result.standard_error, "");
    EXPECT_EQ(dir.read("a.jnt"), "shear_force 1000.000000\n");
    EXPECT_EQ(extended_attribute(file, "user.origin"), "lab 3");
    EXPECT_EQ(extended_attribute(file, "system.posix_acl_access"), acl) << acl_why;
    EXPECT_EQ(fs::status(file).permissions(), permissions);
}

TEST(Names, WithBackslashesAreConvertedWhereTheyAre) {
    if (fs::path("a\\b").has_parent_path()) {
        GTEST_SKIP() << "a backslash separates names here";
    }
    TempDir dir;
    fs::create_directory(dir.file("work"));
    dir.write("victim.jnt", "shear_force 1\n");
    dir.write("work/..\\victim.jnt", "shear_force 2\n");
    const ProgramResult result =
        run_program(JOINT2SI_EXE, units_and({"*.jnt"}), dir.file("work").string());
    EXPECT_EQ(result.standard_error, "");
    EXPECT_EQ(dir.read("victim.jnt"), "shear_force 1\n");
    EXPECT_EQ(dir.read("work/..\\victim.jnt"), "shear_force 2000.000000\n");
}

TEST(Names, OfTheSystemsLongestLengthAreConverted) {
    TempDir dir;
    const std::string name = std::string(251, 'n') + ".jnt";
    std::error_code error;
    dir.write(name, "shear_force 1\n");
    if (!fs::exists(dir.file(name), error)) {
        GTEST_SKIP() << "names of 255 bytes cannot be made here";
    }
    if (dir.file(name).string().size() > 259 && fs::path("a\\b").has_parent_path()) {
        GTEST_SKIP() << "paths of more than 259 characters are refused on Windows";
    }
    const ProgramResult result = convert(dir, {name});
    EXPECT_EQ(result.standard_error, "");
    EXPECT_EQ(dir.read(name), "shear_force 1000.000000\n");
}

TEST(Gzip, TextAfterTheLastMemberMakesTheFileUnreadable) {
    TempDir dir;
    const std::string appended = gzip_bytes("shear_force 1\n") + "shear_force 7\n";
    const std::string members = gzip_bytes("shear_force 1\n") + gzip_bytes("shear_force 7\n");
    dir.write("g.jnt", appended);
    dir.write("m.jnt", members);
    const ProgramResult result = convert(dir, {"g.jnt", "m.jnt"});
    EXPECT_EQ(result.standard_error,
              "Error: Could not read file 'g.jnt'\n  the compressed data is damaged\n");
    EXPECT_EQ(result.exit_status, exit_status_of_minus_one());
    EXPECT_EQ(dir.read("g.jnt"), appended);
    EXPECT_EQ(gunzip_bytes(dir.read("m.jnt")), "shear_force 1000.000000\nshear_force "
                                               "7000.000000\n"); // one member now
}

TEST(ZeroBytes, GzipOfZerosIsRefusedAtTheFirstByte) {
    TempDir dir;
    const std::string bomb = gzip_bytes(std::string(8 << 20, '\0'));
    dir.write("z.jnt", bomb);
    const ProgramResult result = convert(dir, {"z.jnt"});
    EXPECT_EQ(result.standard_error,
              "Error: Could not convert file 'z.jnt': it is not a text file\n");
    EXPECT_EQ(result.exit_status, exit_status_of_minus_one());
    EXPECT_EQ(dir.read("z.jnt"), bomb);
}

// A write that raises a signal (a file-size limit, a closed pipe for messages) fails
// as a write: the message, the original kept, no replacement left, later files done.
TEST(WriteSignals, FailTheWriteAndTheRunGoesOn) {
    ChildConditions conditions;
    conditions.file_size_limit = 4096;
    conditions.closed_error_output = true;
    if (const std::string why = conditions_unsupported(conditions); !why.empty()) {
        GTEST_SKIP() << why;
    }
    TempDir dir;
    std::string big;
    for (int i = 0; i < 1000; ++i) {
        big += "shear_force " + std::to_string(i) + "\n";
    }
    dir.write("big.jnt", big);
    dir.write("small.jnt", "shear_force 1\n");
    const ProgramResult result = run_program_under(
        JOINT2SI_EXE, units_and({"big.jnt", "small.jnt"}), dir.path().string(), conditions);
    EXPECT_EQ(result.exit_status, exit_status_of_minus_one());
    EXPECT_EQ(dir.read("big.jnt"), big);
    EXPECT_EQ(dir.read("small.jnt"), "shear_force 1000.000000\n");
    EXPECT_EQ(replacement_files(dir.path()), std::vector<std::string>{});
}

} // namespace
