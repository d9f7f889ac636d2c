// SPDX-License-Identifier: MIT
// End-to-end: the recursive walk over trees deeper than the system's path limit, and
// the order in which the matches of an argument are converted and reported.
#include "support/file_system.h"
#include "support/process_control.h"
#include "support/run_program.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <system_error>
#include <vector>

namespace fs = std::filesystem;

namespace {

const std::string kIn = "shear_force 1\n";
const std::string kOut = "shear_force 1000.000000\n";

// A chain of directories named `name`, `levels` deep below t/, with a file f.jnt in t/
// and in each of them. Every step goes through the current directory, so that no path
// handed to the system grows with the depth: the tree can be deeper than the system's
// path limit. The chain is removed the same way when the test ends.
class DeepTree {
  public:
    DeepTree(const fs::path &top, int levels, std::string name)
        : top_(top), levels_(levels), name_(std::move(name)) {}
    ~DeepTree() { remove(); }
    DeepTree(const DeepTree &) = delete;
    DeepTree &operator=(const DeepTree &) = delete;

    // False, with the reason in `*why`, when the system refuses a step.
    bool build(std::string *why) {
        const CurrentDirectory here(top_);
        std::error_code error;
        fs::create_directory("t", error);
        for (int level = 0; !error && level <= levels_; ++level) {
            fs::current_path(level == 0 ? "t" : name_, error);
            if (!error) {
                std::ofstream("f.jnt", std::ios::binary) << kIn;
                built_ = level + 1;
            }
            if (!error && level < levels_) {
                fs::create_directory(name_, error);
            }
        }
        *why = error ? error.message() : "";
        return !error;
    }

    // The name of level `level`'s file as the program names it.
    std::string file(int level) const {
        std::string name = "t/";
        for (int i = 0; i < level; ++i) {
            name += name_ + "/";
        }
        return name + "f.jnt";
    }

    // The content of the file of each level, top first.
    std::vector<std::string> contents() const {
        const CurrentDirectory here(top_);
        std::vector<std::string> found;
        std::error_code error;
        for (int level = 0; level < built_ && !error; ++level) {
            fs::current_path(level == 0 ? "t" : name_, error);
            std::ifstream in("f.jnt", std::ios::binary);
            found.emplace_back(std::istreambuf_iterator<char>(in),
                               std::istreambuf_iterator<char>());
        }
        return found;
    }

  private:
    // Never throws: it runs in the destructor, also after a failed build.
    void remove() noexcept {
        try {
            const CurrentDirectory here(top_);
            std::error_code error;
            for (int level = 0; level < built_ - 1 && !error; ++level) {
                fs::current_path(level == 0 ? "t" : name_, error);
            }
            for (int level = built_ - 1; level >= 0 && !error; --level) {
                remove_entries();
                fs::current_path("..", error);
                fs::remove(level == 0 ? "t" : name_, error);
            }
        } catch (...) { // what is left goes with the temporary directory, where it can
        }
    }

    // Removes the entries of the current directory: its file, leftovers, and the empty
    // directory a failed build may have made.
    static void remove_entries() {
        std::error_code error;
        std::vector<fs::path> names;
        for (fs::directory_iterator entry(".", error), end; !error && entry != end;
             entry.increment(error)) {
            names.push_back(entry->path().filename());
        }
        for (const fs::path &name : names) {
            fs::remove(name, error);
        }
    }

    fs::path top_;
    int levels_;
    std::string name_;
    int built_ = 0; // levels made, t/ included
};

// 20 levels of 250-character names: the deepest files lie far past PATH_MAX (4096 bytes
// on Linux). Each file is either converted or named in a message, and the status says
// whether any was not converted.
TEST(RecursiveWalk, TreeDeeperThanThePathLimitSkipsNoFileSilently) {
    if (fs::path::preferred_separator == '\\') {
        GTEST_SKIP() << "the tree is built through the current directory, which Windows "
                        "keeps below MAX_PATH characters";
    }
    TempDir dir;
    constexpr int kLevels = 20;
    DeepTree tree(dir.path(), kLevels, std::string(250, 'd'));
    std::string why;
    if (!tree.build(&why)) {
        GTEST_SKIP() << "a tree deeper than the path limit cannot be made here: " << why;
    }
    const ProgramResult result =
        run_program(JOINT2SI_EXE, units_and({"--recursive", "t/*.jnt"}), dir.path().string());
    const std::vector<std::string> contents = tree.contents();
    ASSERT_EQ(contents.size(), static_cast<std::size_t>(kLevels + 1));
    int converted = 0;
    for (int level = 0; level <= kLevels; ++level) {
        const bool named =
            result.standard_error.find("'" + tree.file(level) + "'") != std::string::npos;
        if (contents[level] == kOut) {
            ++converted;
            EXPECT_FALSE(named) << "level " << level;
        } else {
            EXPECT_EQ(contents[level], kIn) << "level " << level;
            EXPECT_TRUE(named) << "level " << level << " was skipped silently";
        }
    }
    EXPECT_GT(converted, 0);
    EXPECT_EQ(result.exit_status, converted == kLevels + 1 ? 0 : exit_status_of_minus_one());
}

// The names the --verbose lines report, in their order.
std::vector<std::string> verbose_names(const std::string &messages) {
    std::vector<std::string> names;
    std::istringstream lines(messages);
    for (std::string line; std::getline(lines, line);) {
        const std::size_t end = line.find(": 1 forces, 0 moments converted");
        if (end != std::string::npos) {
            names.push_back(line.substr(0, end));
        }
    }
    return names;
}

// Converted and reported sorted by the names with their case folded, then bytewise, in
// each directory before its subdirectories, however the directory lists them.
TEST(RecursiveWalk, MatchesAreConvertedAndReportedInOneOrder) {
    const struct {
        std::vector<std::string> arguments;
        std::vector<std::string> names; // as created, "/" between directory and name
    } cases[] = {
        {{"*.jnt*"}, {"F1.jnt", "F1.jnt.orig", "F2.jnt", "F2.jnt.orig", "R1.JNT", "r2.jnt"}},
        {{"--jobs", "3", "*.jnt"}, {"F1.jnt", "F2.jnt", "R1.JNT", "r2.jnt"}},
        {{"--recursive", "*.jnt"},
         {"F1.jnt", "F2.jnt", "R1.JNT", "r2.jnt", "a/F1.jnt", "a/r2.jnt", "B/F1.jnt", "B/r2.jnt"}},
        {{"--recursive", "--dry-run", "r2.jnt"}, {"r2.jnt", "a/r2.jnt", "B/r2.jnt"}},
    };
    for (const auto &c : cases) {
        TempDir dir;
        fs::create_directory(dir.file("B"));
        fs::create_directory(dir.file("a"));
        for (const char *name : {"r2.jnt", "F2.jnt.orig", "R1.JNT", "F2.jnt", "F1.jnt.orig",
                                 "F1.jnt", "B/r2.jnt", "B/F1.jnt", "a/r2.jnt", "a/F1.jnt"}) {
            dir.write(name, kIn);
        }
        std::vector<std::string> arguments = {"--verbose"};
        arguments.insert(arguments.end(), c.arguments.begin(), c.arguments.end());
        const ProgramResult result =
            run_program(JOINT2SI_EXE, units_and(arguments), dir.path().string());
        std::vector<std::string> expected;
        for (const std::string &name : c.names) { // as the system lists and separates them
            const std::size_t cut = name.find('/');
            expected.push_back(
                cut == std::string::npos
                    ? as_listed(dir.path(), name)
                    : native_separators(as_listed(dir.path(), name.substr(0, cut)) + "/") +
                          as_listed(dir.file(name.substr(0, cut)), name.substr(cut + 1)));
        }
        EXPECT_EQ(result.exit_status, 0) << c.arguments.back() << result.standard_error;
        EXPECT_EQ(verbose_names(result.standard_error + result.standard_output), expected)
            << c.arguments.back();
    }
}

} // namespace
