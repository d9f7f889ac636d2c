// SPDX-License-Identifier: MIT
// The order of a file argument's matches, and the recursive walk's directory handles
// and listed identities, run in-process: a test can change the tree between a
// directory's listing and what the walk does with what it listed.
#include "app/argument_walk.h"
#include "app/driver.h"
#include "libtools/tool_sys_io.h"
#include "support/file_system.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr char kIn[] = "shear_force 1\n";
constexpr char kOut[] = "shear_force 1000.000000\n";

struct Visited {
    std::vector<std::string> names;
    std::vector<bool> listed; // whether each came with the identity its directory listed
};

Visited walk_in(const fs::path &directory, const std::string &argument, bool recursive) {
    CurrentDirectory here(directory);
    Visited visited;
    walk_argument(argument.c_str(), recursive,
                  [&](const std::string &name, const ToolFileIdentity *listed) {
                      visited.names.push_back(name);
                      visited.listed.push_back(listed != nullptr);
                  });
    return visited;
}

// Runs the converter in `directory` with kN, kNm and `arguments`; its status, and what
// it wrote to the standard error stream in `*messages`.
int convert_in(const fs::path &directory, const std::vector<std::string> &arguments,
               std::string *messages) {
    CurrentDirectory here(directory);
    std::vector<std::string> storage = {"joint2si", "-f", "kN", "-m", "kNm"};
    storage.insert(storage.end(), arguments.begin(), arguments.end());
    std::vector<char *> argv;
    for (std::string &argument : storage) {
        argv.push_back(&argument[0]);
    }
    testing::internal::CaptureStderr();
    const int status = run_converter(static_cast<int>(argv.size()), argv.data());
    *messages = testing::internal::GetCapturedStderr();
    return status;
}

// Removes the hook however the test ends.
class ListedHook {
  public:
    explicit ListedHook(WalkListedHook hook) { set_walk_listed_hook(std::move(hook)); }
    ~ListedHook() { set_walk_listed_hook(nullptr); }
    ListedHook(const ListedHook &) = delete;
    ListedHook &operator=(const ListedHook &) = delete;
};

TEST(MatchOrder, MatchesComeSortedByFoldedNamesInEveryDirectory) {
    TempDir dir;
    fs::create_directories(dir.file("t/b"));
    fs::create_directories(dir.file("t/A"));
    for (const char *name : {"r2.jnt", "R1.JNT", "F2.jnt.orig", "F1.jnt.orig", "F2.jnt", "F1.jnt",
                             "b/x.jnt", "A/x.jnt"}) {
        dir.write(std::string("t/") + name, kIn);
    }
    const auto as = [&](const char *name) { return "t/" + as_listed(dir.file("t"), name); };
    const std::string a_x = as_listed(dir.file("t"), "A") + "/x.jnt";
    const struct {
        const char *argument;
        bool recursive;
        std::vector<std::string> names;
    } cases[] = {
        {"t/*.jnt", false, {as("F1.jnt"), as("F2.jnt"), as("R1.JNT"), as("r2.jnt")}},
        {"t/F*", false, {as("F1.jnt"), as("F1.jnt.orig"), as("F2.jnt"), as("F2.jnt.orig")}},
        {"t/*",
         false, // the dot entries are matched; the driver passes over them
         {"t/.", "t/..", as("A"), as("b"), as("F1.jnt"), as("F1.jnt.orig"), as("F2.jnt"),
          as("F2.jnt.orig"), as("R1.JNT"), as("r2.jnt")}},
        {"t/*.jnt",
         true,
         {as("F1.jnt"), as("F2.jnt"), as("R1.JNT"), as("r2.jnt"), "t/" + a_x, "t/b/x.jnt"}},
        {"t/x.JNT", true, {"t/" + a_x, "t/b/x.jnt"}},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(walk_in(dir.path(), c.argument, c.recursive).names, c.names) << c.argument;
    }
}

TEST(MatchOrder, NamesEqualButForCaseComeInByteOrder) {
    TempDir dir;
    if (volume_ignores_case(dir.path())) {
        GTEST_SKIP() << "this volume cannot hold two names that differ only in case";
    }
    for (const char *name : {"b.jnt", "a.jnt", "B.jnt", "A.jnt"}) {
        dir.write(name, kIn);
    }
    for (const bool recursive : {false, true}) {
        EXPECT_EQ(walk_in(dir.path(), "*.jnt", recursive).names,
                  (std::vector<std::string>{"A.jnt", "a.jnt", "B.jnt", "b.jnt"}));
    }
}

// Letters beyond ASCII fold too: "Ä" sorts with "ä", both after "b", however the
// directory lists them.
TEST(MatchOrder, LettersBeyondAsciiSortByTheirFoldedForm) {
    TempDir dir;
    for (const char *name : {"\xc3\xa4"
                             "b.jnt",
                             "b.jnt",
                             "\xc3\x84"
                             "a.jnt",
                             "a.jnt"}) {
        std::ofstream(dir.path() / fs::u8path(name), std::ios::binary) << kIn;
    }
    const auto as = [&](const char *name) { return as_listed(dir.path(), name); };
    EXPECT_EQ(walk_in(dir.path(), "*.jnt", true).names,
              (std::vector<std::string>{as("a.jnt"), as("b.jnt"),
                                        as("\xc3\x84"
                                           "a.jnt"),
                                        as("\xc3\xa4"
                                           "b.jnt")}));
}

// The recursive walk hands on what its directories listed; the plain one lists by name.
TEST(TreeWalk, RecursiveMatchesComeWithTheirListedIdentity) {
    TempDir dir;
    fs::create_directories(dir.file("t/s"));
    dir.write("t/a.jnt", kIn);
    dir.write("t/s/b.jnt", kIn);
    EXPECT_EQ(walk_in(dir.path(), "t/*.jnt", true).listed, (std::vector<bool>{true, true}));
    EXPECT_EQ(walk_in(dir.path(), "t/*.jnt", false).listed, (std::vector<bool>{false}));
}

// Deeper than the handles the walk keeps open: the directories far above are released
// and taken up again on the way back, and every level is still reached in order.
TEST(TreeWalk, TreeDeeperThanTheHandlesKeptIsWalkedWhole) {
    TempDir dir;
    constexpr int kLevels = 100;
    std::string level = "t";
    std::vector<std::string> expected;
    for (int i = 0; i < kLevels; ++i) {
        fs::create_directory(dir.file(level));
        dir.write(level + "/f.jnt", kIn);
        expected.push_back(level + "/f.jnt");
        level += "/d";
    }
    testing::internal::CaptureStderr();
    const Visited visited = walk_in(dir.path(), "t/f.jnt", true);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    EXPECT_EQ(visited.names, expected);
}

// Why links to directories cannot be made in `dir` (its "t" must exist), or "".
std::string directory_links_unsupported(const TempDir &dir) {
    std::error_code error;
    fs::create_directory_symlink("../out", dir.file("t/probe"), error);
    if (error) {
        return "links to directories cannot be made here: " + error.message();
    }
    fs::remove(dir.file("t/probe"));
    return "";
}

// A directory the walk listed is swapped for a link to a directory outside the tree
// before the walk enters it: the link is not followed, and the directory is reported.
TEST(TreeWalk, DirectorySwappedForALinkBeforeItIsEnteredIsNotFollowed) {
    TempDir dir;
    fs::create_directories(dir.file("t/sub"));
    fs::create_directory(dir.file("out"));
    dir.write("t/a.jnt", kIn);
    dir.write("t/sub/s.jnt", kIn);
    dir.write("out/s.jnt", kIn);
    if (const std::string why = directory_links_unsupported(dir); !why.empty()) {
        GTEST_SKIP() << why;
    }
    const ListedHook hook([&](const std::string &directory) {
        if (directory == "t") {
            fs::rename(dir.file("t/sub"), dir.file("moved"));
            fs::create_directory_symlink("../out", dir.file("t/sub"));
        }
    });
    std::string messages;
    EXPECT_EQ(convert_in(dir.path(), {"--recursive", "t/*.jnt"}, &messages), -1);
    EXPECT_EQ(messages.rfind("Error: Could not read directory 't/sub'\n  ", 0), 0u) << messages;
    EXPECT_EQ(dir.read("out/s.jnt"), kIn);
    EXPECT_EQ(dir.read("t/a.jnt"), kOut);
}

// The files of a directory were listed, then the directory was swapped for a link to
// one outside the tree holding files of the same names: each is refused when locked,
// however the run converts (one job, several, a preview).
TEST(TreeWalk, FileReachedThroughALinkSwappedInAfterTheListingIsRefused) {
    const std::vector<std::string> runs[] = {{"--jobs", "1"}, {"--jobs", "4"}, {"--dry-run"}};
    for (const std::vector<std::string> &options : runs) {
        TempDir dir;
        fs::create_directories(dir.file("t/sub"));
        fs::create_directory(dir.file("out"));
        dir.write("t/sub/s.jnt", kIn);
        dir.write("out/s.jnt", kIn);
        if (const std::string why = directory_links_unsupported(dir); !why.empty()) {
            GTEST_SKIP() << why;
        }
        bool swapped = false;
        const ListedHook hook([&](const std::string &directory) {
            if (directory == "t/sub") {
                std::error_code refused; // held open by the walk where the system pins it
                fs::rename(dir.file("t/sub"), dir.file("moved"), refused);
                swapped = !refused;
                if (swapped) {
                    fs::create_directory_symlink("../out", dir.file("t/sub"));
                }
            }
        });
        std::vector<std::string> arguments = options;
        arguments.insert(arguments.end(), {"--recursive", "t/*.jnt"});
        std::string messages;
        const int status = convert_in(dir.path(), arguments, &messages);
        EXPECT_EQ(dir.read("out/s.jnt"), kIn) << options[0];
        if (swapped) {
            EXPECT_EQ(status, -1) << options[0];
            EXPECT_EQ(messages, "Error: Could not open file 't/sub/s.jnt'\n"
                                "  it was replaced after its directory was listed\n")
                << options[0];
            EXPECT_EQ(dir.read("moved/s.jnt"), kIn) << options[0];
        } else {
            EXPECT_EQ(status, 0) << options[0];
        }
    }
}

// A directory released far above the walk is moved elsewhere while the walk is below
// it: on the way back the parent found is another directory, which is reported, and
// nothing outside the tree is entered.
TEST(TreeWalk, DirectoryMovedWhileTheWalkIsFarBelowIsReported) {
    TempDir dir;
    std::string level = "t/d";
    for (int i = 0; i < 80; ++i) {
        level += "/d";
    }
    fs::create_directories(dir.file(level));
    fs::create_directories(dir.file("t/z"));
    fs::create_directory(dir.file("elsewhere"));
    dir.write("t/z/f.jnt", kIn);
    dir.write("elsewhere/f.jnt", kIn);
    std::error_code error;
    const ListedHook hook([&](const std::string &directory) {
        if (directory == level) {
            fs::rename(dir.file("t/d"), dir.file("elsewhere/d"), error);
        }
    });
    std::string messages;
    const int status = convert_in(dir.path(), {"--recursive", "t/f.jnt"}, &messages);
    if (error) {
        GTEST_SKIP() << "the system refuses to move a directory held open below: "
                     << error.message();
    }
    EXPECT_EQ(status, -1);
    // Where the system does not follow an open directory to its new place (Wine keeps
    // the name it was opened by), the directories below the move are reported too.
    const std::string tail = "Error: Could not read directory 't'\n"
                             "  it was moved while its subdirectories were walked\n"
                             "Error: Could not open file any file\n"
                             "  't/f.jnt' matches no file\n";
    ASSERT_GE(messages.size(), tail.size()) << messages;
    EXPECT_EQ(messages.substr(messages.size() - tail.size()), tail) << messages;
    EXPECT_EQ(messages.rfind("Error: Could not read directory '", 0), 0u) << messages;
    EXPECT_EQ(dir.read("elsewhere/f.jnt"), kIn);
}

} // namespace
