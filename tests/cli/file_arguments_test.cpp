// SPDX-License-Identifier: MIT
// End-to-end: file arguments with a directory part, as a shell or find hands them over.
#include "support/process_control.h"
#include "support/run_program.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

const std::string kIn = "shear_force 1\n";
const std::string kOut = "shear_force 1000.000000\n";
const std::string kNoMatch = "Error: Could not open file any file\n";

// The message for an argument that matched nothing, with its detail lines: the argument,
// then the directory it names when that could not be listed, and why.
std::string no_match(const std::string &argument, const std::string &unread = "") {
    return kNoMatch + "  '" + argument + "' matches no file\n" +
           (unread.empty() ? "" : "  directory " + unread + "\n");
}

// data/a.jnt, data/B.JNT, data/sub/c.jnt and top.jnt, run from `work` (an empty
// directory beside data) unless a case says otherwise.
class FileArguments : public ::testing::Test {
  protected:
    void SetUp() override {
        fs::create_directories(dir_.file("data/sub"));
        fs::create_directory(dir_.file("work"));
        for (const char *file : {"data/a.jnt", "data/B.JNT", "data/sub/c.jnt", "top.jnt"}) {
            dir_.write(file, kIn);
        }
    }
    ProgramResult run(const std::vector<std::string> &files, const std::string &where = "") {
        std::vector<std::string> arguments = {"-f", "kN"};
        arguments.insert(arguments.end(), files.begin(), files.end());
        return run_program(JOINT2SI_EXE, arguments, dir_.file(where).string());
    }
    bool converted(const char *file) const { return dir_.read(file) == kOut; }
    TempDir dir_;
};

TEST_F(FileArguments, PatternsAndNamesWithADirectoryPart) {
    const std::string absolute = dir_.file("data").string();
    struct Case {
        std::vector<std::string> files;
        std::string where;
        std::vector<const char *> converted;
        std::string messages;
        bool failed;
    } cases[] = {
        {{"data/*.jnt"}, "", {"data/a.jnt", "data/B.JNT"}, "", false},
        {{"./data/b.jnt", "../top.jnt"},
         "data/sub",
         {},
         no_match("./data/b.jnt", "'./data' could not be read: No such file or directory") +
             no_match("../top.jnt"),
         true},
        {{"./B.jnt", "../top.jnt"}, "data", {"data/B.JNT", "top.jnt"}, "", false},
        {{"../data/sub/*.J*"}, "work", {"data/sub/c.jnt"}, "", false},
        {{absolute + "/A.JNT"}, "work", {"data/a.jnt"}, "", false},
        {{"data/", "missing/*.jnt", "top.jnt/x"},
         "",
         {},
         no_match("data/") +
             no_match("missing/*.jnt", "'missing' could not be read: No such file or directory") +
             no_match("top.jnt/x", "'top.jnt' could not be read: Not a directory"),
         true},
        // What `data/*` gives in a shell run elsewhere: every name on its own.
        {{"../data/a.jnt", "../data/B.JNT", "../data/sub"},
         "work",
         {"data/a.jnt", "data/B.JNT"},
         "Error: Could not open file '../data/sub'\n  Is a directory\n",
         true},
    };
    for (const Case &c : cases) {
        SetUp();
        const ProgramResult result = run(c.files, c.where);
        const std::string label = c.files[0] + " in '" + c.where + "'";
        EXPECT_EQ(result.standard_error, c.messages) << label;
        EXPECT_EQ(result.exit_status, c.failed ? exit_status_of_minus_one() : 0) << label;
        for (const char *file : {"data/a.jnt", "data/B.JNT", "data/sub/c.jnt", "top.jnt"}) {
            const bool expected = std::find(c.converted.begin(), c.converted.end(),
                                            std::string(file)) != c.converted.end();
            EXPECT_EQ(converted(file), expected) << label << ": " << file;
        }
    }
}

TEST_F(FileArguments, MessagesNameTheFileAsWritten) {
    fs::create_directory(dir_.file("data/d.jnt"));
    const ProgramResult result = run({"data/*.JNT"});
    EXPECT_EQ(result.standard_error, "Error: Could not open file 'data/d.jnt'\n  Is a directory\n");
    EXPECT_TRUE(converted("data/a.jnt"));
}

TEST_F(FileArguments, PathsLongerThan260CharactersWhereTheSystemAllowsThem) {
    std::string deep = "data";
    while (deep.size() < 400) {
        deep += "/" + std::string(60, 'd');
    }
    std::error_code error;
    fs::create_directories(dir_.file(deep), error);
    if (error || !fs::exists(dir_.file(deep))) {
        GTEST_SKIP() << "no directories this deep here";
    }
    dir_.write(deep + "/x.jnt", kIn);
    const ProgramResult result = run({deep + "/*.jnt"});
    EXPECT_EQ(result.standard_error, "");
    EXPECT_EQ(dir_.read(deep + "/x.jnt"), kOut);
}

TEST_F(FileArguments, RecursionOverATreeWithALinkLoopAndAnUnreadableDirectory) {
    ChildConditions conditions;
    conditions.unprivileged = true;
    const bool unprivileged = conditions_unsupported(conditions).empty();
    fs::create_directories(dir_.file("data/sub/deep"));
    fs::create_directory(dir_.file("data/locked"));
    dir_.write("data/sub/deep/d.jnt", kIn);
    dir_.write("data/locked/l.jnt", kIn);
    std::error_code error; // where links cannot be made, there is no loop to avoid
    fs::create_directory_symlink("..", dir_.file("data/sub/loop"), error);
    std::vector<std::string> arguments = {"-f", "kN", "--recursive", "data/*.jnt"};
    ProgramResult result;
    if (unprivileged) {
        give_to_unprivileged_user(dir_.path().string());
        fs::permissions(dir_.file("data/locked"), fs::perms::none);
        result = run_program_under(JOINT2SI_EXE, arguments, dir_.path().string(), conditions);
        fs::permissions(dir_.file("data/locked"), fs::perms::owner_all);
        EXPECT_EQ(result.standard_error,
                  "Error: Could not read directory 'data/locked'\n  Permission denied\n");
        EXPECT_EQ(result.exit_status, exit_status_of_minus_one());
        EXPECT_EQ(dir_.read("data/locked/l.jnt"), kIn);
    } else {
        result = run_program(JOINT2SI_EXE, arguments, dir_.path().string());
        EXPECT_EQ(result.standard_error, "");
        EXPECT_TRUE(converted("data/locked/l.jnt"));
    }
    for (const char *file : {"data/a.jnt", "data/B.JNT", "data/sub/c.jnt", "data/sub/deep/d.jnt"}) {
        EXPECT_TRUE(converted(file)) << file; // once: the loop leads back, but is not entered
    }
    EXPECT_EQ(dir_.read("top.jnt"), kIn);
}

} // namespace
