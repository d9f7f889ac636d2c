// SPDX-License-Identifier: MIT
// End-to-end runs of the converter on files with something special about
// them: directories, gzip data, links, permissions, a full disk, a signal.
#include "support/file_system.h"
#include "support/gzip_data.h"
#include "support/process_control.h"
#include "support/run_program.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <fstream>
#include <zlib.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

const std::vector<std::string> kUnits = {"-f", "kN", "-m", "kNm"};

std::vector<std::string> units_and(std::initializer_list<std::string> files) {
    std::vector<std::string> all = kUnits;
    all.insert(all.end(), files.begin(), files.end());
    return all;
}

std::string gzip(const std::string &text) {
    z_stream stream{};
    deflateInit2(&stream, 6, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY);
    std::string out(deflateBound(&stream, static_cast<uLong>(text.size())) + 32, '\0');
    stream.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(text.data()));
    stream.avail_in = static_cast<uInt>(text.size());
    stream.next_out = reinterpret_cast<Bytef *>(out.data());
    stream.avail_out = static_cast<uInt>(out.size());
    deflate(&stream, Z_FINISH);
    out.resize(stream.total_out);
    deflateEnd(&stream);
    return out;
}

std::vector<std::string> entries(const fs::path &dir) {
    std::vector<std::string> names;
    for (const auto &entry : fs::directory_iterator(dir)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

ProgramResult convert(const TempDir &dir, std::initializer_list<std::string> files) {
    return run_program(JOINT2SI_EXE, units_and(files), dir.path().string());
}

TEST(RewriteFiles, StarReportsDirectoriesSkipsDotEntriesAndConvertsTheFiles) {
    TempDir dir;
    dir.write("a.jnt", "shear_force 1\n");
    fs::create_directory(dir.file("sub"));
    ProgramResult result = convert(dir, {"*"});
    EXPECT_EQ(dir.read("a.jnt"), "shear_force 1000.000000\n");
    EXPECT_EQ(result.standard_error, "Error: Could not open file 'sub'\n  Is a directory\n");
    EXPECT_EQ(result.exit_status, exit_status_of_minus_one());
    fs::remove(dir.file("sub"));
    dir.write("a.jnt", "shear_force 1\n"); // a new file: the converted one would be left
    result = convert(dir, {"*"});
    EXPECT_EQ(result.standard_error, "");
    EXPECT_EQ(result.exit_status, 0);
}

TEST(RewriteFiles, GzipFileIsWrittenBackCompressed) {
    TempDir dir;
    dir.write("b.jnt.gz", gzip("// bearing\naxial_force 2.5\nname B1\n"));
    const ProgramResult result = convert(dir, {"*.gz"});
    EXPECT_EQ(gunzip_bytes(dir.read("b.jnt.gz")), "axial_force 2500.000000\nname B1\n");
    EXPECT_EQ(result.standard_error, "");
    EXPECT_EQ(result.exit_status, 0);
}

// zlib tells input that ends inside a member (Z_BUF_ERROR) from data that fails its
// checks (Z_DATA_ERROR); the message says which.
constexpr char kIncomplete[] = "the compressed data is incomplete";
constexpr char kDamaged[] = "the compressed data is damaged";

struct Damage {
    const char *name;
    std::string (*damage)(std::string);
    const char *reason; // the detail line under the message
};

class DamagedGzip : public ::testing::TestWithParam<Damage> {};

TEST_P(DamagedGzip, IsReportedAndLeftByteForByte) {
    std::string text;
    for (int i = 0; i < 2000; ++i) {
        text += "shear_force " + std::to_string(i) + ".25\nname J" + std::to_string(i) + "\n";
    }
    const std::string damaged = GetParam().damage(gzip(text));
    TempDir dir;
    dir.write("d.jnt", damaged);
    const ProgramResult result = convert(dir, {"d.jnt"});
    EXPECT_EQ(dir.read("d.jnt"), damaged);
    EXPECT_EQ(result.standard_error,
              std::string("Error: Could not read file 'd.jnt'\n  ") + GetParam().reason + "\n");
    EXPECT_EQ(result.exit_status, exit_status_of_minus_one());
    EXPECT_EQ(entries(dir.path()), std::vector<std::string>{"d.jnt"});
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, DamagedGzip,
    ::testing::Values(Damage{"TruncatedInTheMiddle",
                             [](std::string g) { return g.substr(0, g.size() / 2); }, kIncomplete},
                      Damage{"MissingTheTrailer",
                             [](std::string g) { return g.substr(0, g.size() - 8); }, kIncomplete},
                      Damage{"BadChecksum",
                             [](std::string g) {
                                 g[g.size() - 8] = static_cast<char>(g[g.size() - 8] ^ 0x55);
                                 return g;
                             },
                             kDamaged},
                      Damage{"BadLength",
                             [](std::string g) {
                                 g[g.size() - 1] = static_cast<char>(g[g.size() - 1] ^ 0x01);
                                 return g;
                             },
                             kDamaged},
                      Damage{"TrailingGarbageStartingWithTheMagic",
                             [](std::string g) { return g + "\x1f\x8bgarbage"; }, kDamaged},
                      Damage{"CorruptDeflateData",
                             [](std::string g) {
                                 for (std::size_t i = 20; i < 40; ++i) {
                                     g[i] = static_cast<char>(g[i] ^ 0xA5);
                                 }
                                 return g;
                             },
                             kDamaged}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(RewriteFiles, PermissionBitsAreKept) {
    if (const std::string why = permission_bits_unsupported(); !why.empty()) {
        GTEST_SKIP() << why;
    }
    TempDir dir;
    dir.write("p.jnt", "shear_force 1\n");
    const auto perms = fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read;
    fs::permissions(dir.file("p.jnt"), perms);
    EXPECT_EQ(convert(dir, {"p.jnt"}).exit_status, 0);
    EXPECT_EQ(dir.read("p.jnt"), "shear_force 1000.000000\n");
    EXPECT_EQ(fs::status(dir.file("p.jnt")).permissions() & fs::perms::all, perms);
}

TEST(RewriteFiles, LinkAndTargetAreConvertedOnceAndTheLinkStays) {
    TempDir dir;
    dir.write("t.jnt", "shear_force 1\n");
    std::error_code error;
    fs::create_symlink("t.jnt", dir.file("link.jnt"), error);
    if (error) {
        GTEST_SKIP() << "symbolic links cannot be created here: " << error.message();
    }
    const ProgramResult result = convert(dir, {"*.jnt", "link.jnt"});
    EXPECT_EQ(result.exit_status, 0);
    EXPECT_TRUE(fs::is_symlink(dir.file("link.jnt")));
    EXPECT_EQ(dir.read("t.jnt"), "shear_force 1000.000000\n");
}

TEST(RewriteFiles, HardLinkedNamesAreConvertedOnceAndStayLinked) {
    TempDir dir;
    dir.write("a.jnt", "bending_moment 2\n");
    std::error_code error;
    fs::create_hard_link(dir.file("a.jnt"), dir.file("b.jnt"), error);
    if (error) {
        GTEST_SKIP() << "hard links cannot be created here: " << error.message();
    }
    EXPECT_EQ(convert(dir, {"*.jnt"}).exit_status, 0);
    EXPECT_EQ(dir.read("a.jnt"), "bending_moment 2000.000000\n");
    EXPECT_EQ(dir.read("b.jnt"), "bending_moment 2000.000000\n");
    // Still one file: a write through one name shows in both.
    std::ofstream(dir.file("a.jnt"), std::ios::binary | std::ios::trunc) << "probe";
    EXPECT_EQ(dir.read("b.jnt"), "probe");
}

// Runs the converter as an unprivileged user on a directory handed to that user.
ProgramResult convert_unprivileged(const TempDir &dir, std::initializer_list<std::string> files) {
    give_to_unprivileged_user(dir.path().string());
    ChildConditions conditions;
    conditions.unprivileged = true;
    return run_program_under(JOINT2SI_EXE, units_and(files), dir.path().string(), conditions);
}

TEST(RewriteFiles, ReadOnlyFileIsReportedAndUntouched) {
    ChildConditions conditions;
    conditions.unprivileged = true;
    if (const std::string why = conditions_unsupported(conditions); !why.empty()) {
        GTEST_SKIP() << why;
    }
    TempDir dir;
    dir.write("r.jnt", "shear_force 1\n");
    dir.write("w.jnt", "shear_force 1\n");
    fs::permissions(dir.file("r.jnt"), fs::perms::owner_read | fs::perms::group_read);
    const ProgramResult result = convert_unprivileged(dir, {"*.jnt"});
    EXPECT_EQ(result.standard_error, "Error: Could not open file 'r.jnt'\n  Permission denied\n");
    EXPECT_EQ(result.exit_status, exit_status_of_minus_one());
    EXPECT_EQ(dir.read("r.jnt"), "shear_force 1\n");
    EXPECT_EQ(dir.read("w.jnt"), "shear_force 1000.000000\n");
}

TEST(RewriteFiles, FileInReadOnlyDirectoryIsConvertedInPlace) {
    ChildConditions conditions;
    conditions.unprivileged = true;
    if (const std::string why = conditions_unsupported(conditions); !why.empty()) {
        GTEST_SKIP() << why;
    }
    TempDir dir;
    dir.write("a.jnt", "shear_force 3\n");
    give_to_unprivileged_user(dir.path().string());
    fs::permissions(dir.path(), fs::perms::owner_read | fs::perms::owner_exec);
    const ProgramResult result = convert_unprivileged(dir, {"a.jnt"});
    fs::permissions(dir.path(), fs::perms::owner_all);
    EXPECT_EQ(result.standard_error, "");
    EXPECT_EQ(result.exit_status, 0);
    EXPECT_EQ(dir.read("a.jnt"), "shear_force 3000.000000\n");
    EXPECT_EQ(entries(dir.path()), std::vector<std::string>{"a.jnt"});
}

TEST(RewriteFiles, FileOfAnotherOwnerIsConvertedInPlaceAndKeepsItsOwner) {
    if (!running_as_superuser()) {
        GTEST_SKIP() << "needs a file owned by another user than the one converting it";
    }
    TempDir dir;
    give_to_unprivileged_user(dir.path().string());
    dir.write("shared.jnt", "axial_force 2\n"); // owned by the superuser
    fs::permissions(dir.file("shared.jnt"), fs::perms::all & ~fs::perms::owner_exec &
                                                ~fs::perms::group_exec & ~fs::perms::others_exec);
    ChildConditions conditions;
    conditions.unprivileged = true;
    const ProgramResult result =
        run_program_under(JOINT2SI_EXE, units_and({"shared.jnt"}), dir.path().string(), conditions);
    EXPECT_EQ(result.standard_error, "");
    EXPECT_EQ(result.exit_status, 0);
    EXPECT_EQ(dir.read("shared.jnt"), "axial_force 2000.000000\n");
    EXPECT_TRUE(owned_by_superuser(dir.file("shared.jnt").string()));
    EXPECT_EQ(entries(dir.path()), std::vector<std::string>{"shared.jnt"});
}

TEST(RewriteFiles, FullDiskLeavesTheOriginalWholeAndNoTemporaryFile) {
    ChildConditions conditions;
    conditions.file_size_limit = 4096;
    if (const std::string why = conditions_unsupported(conditions); !why.empty()) {
        GTEST_SKIP() << why;
    }
    std::string text;
    for (int i = 0; i < 200; ++i) {
        text += "shear_force 1\n"; // 2,800 bytes that grow to 4,800
    }
    TempDir dir;
    dir.write("big.jnt", text);
    const ProgramResult result =
        run_program_under(JOINT2SI_EXE, units_and({"big.jnt"}), dir.path().string(), conditions);
    EXPECT_EQ(result.standard_error, "Error: Could not write file 'big.jnt'\n  File too large\n");
    EXPECT_EQ(result.exit_status, exit_status_of_minus_one());
    EXPECT_EQ(dir.read("big.jnt"), text);
    EXPECT_EQ(entries(dir.path()), std::vector<std::string>{"big.jnt"});
}

// A large file and its converted form, for the runs that are stopped midway.
struct LargeFile {
    std::string original;
    std::string converted;
    long microseconds = 0; // how long an undisturbed conversion takes
};

const LargeFile &large_file() {
    static const LargeFile file = [] {
        LargeFile made;
        for (int i = 0; i < 200000; ++i) {
            made.original += "shear_force " + std::to_string(i) + ".5 kN\nname J" +
                             std::to_string(i) + " // joint\n";
        }
        TempDir dir;
        dir.write("big.jnt", made.original);
        const auto start = std::chrono::steady_clock::now();
        run_program(JOINT2SI_EXE, units_and({"big.jnt"}), dir.path().string());
        made.microseconds = static_cast<long>(std::chrono::duration_cast<std::chrono::microseconds>(
                                                  std::chrono::steady_clock::now() - start)
                                                  .count());
        made.converted = dir.read("big.jnt");
        return made;
    }();
    return file;
}

class StoppedRewrite : public ::testing::TestWithParam<StopSignal> {};

TEST_P(StoppedRewrite, LeavesTheOldOrTheNewContentWhole) {
    if (const std::string why = signals_unsupported(GetParam()); !why.empty()) {
        GTEST_SKIP() << why;
    }
    const LargeFile &file = large_file();
    ASSERT_NE(file.original, file.converted);
    std::mt19937 random(std::random_device{}());
    int stopped = 0;
    for (int run = 0; run < 8; ++run) {
        TempDir dir;
        dir.write("big.jnt", file.original);
        const long delay = static_cast<long>(random() % static_cast<unsigned>(file.microseconds));
        stopped += run_program_and_stop(JOINT2SI_EXE, units_and({"big.jnt"}), dir.path().string(),
                                        delay, GetParam())
                       ? 1
                       : 0;
        const std::string content = dir.read("big.jnt");
        EXPECT_TRUE(content == file.original || content == file.converted) << "delay " << delay;
        if (GetParam() != StopSignal::kill) {
            EXPECT_EQ(entries(dir.path()), std::vector<std::string>{"big.jnt"}) << delay;
        }
    }
    EXPECT_GT(stopped, 0) << "no run was stopped while it worked";
}

INSTANTIATE_TEST_SUITE_P(Signals, StoppedRewrite,
                         ::testing::Values(StopSignal::interrupt, StopSignal::terminate,
                                           StopSignal::kill),
                         [](const auto &info) {
                             return std::string(info.param == StopSignal::interrupt   ? "Interrupt"
                                                : info.param == StopSignal::terminate ? "Terminate"
                                                                                      : "Kill");
                         });

} // namespace
