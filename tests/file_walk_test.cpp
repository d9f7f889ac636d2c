// SPDX-License-Identifier: MIT
// The walk over a file argument's directory and, with recursion, the tree below it,
// run in-process through the driver.
#include "app/argument_walk.h"
#include "app/driver.h"
#include "libtools/tool_sys_io.h"
#include "support/file_system.h"
#include "support/process_control.h"
#include "support/temp_dir.h"
#include "support/unprivileged_call.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

// A small tree: t/r.jnt, t/x.txt, t/a/r.jnt, t/a/b/R.JNT, t/c/r.jnt, and a link
// t/a/loop leading back to t where links can be made.
class Walk : public ::testing::Test {
  protected:
    void SetUp() override {
        for (const char *directory : {"t", "t/a", "t/a/b", "t/c"}) {
            fs::create_directory(dir_.file(directory));
        }
        for (const char *file : {"t/r.jnt", "t/x.txt", "t/a/r.jnt", "t/a/b/R.JNT", "t/c/r.jnt"}) {
            dir_.write(file, "shear_force 1\n");
        }
        upper_ = as_listed(dir_.file("t/a/b"), "R.JNT");
        std::error_code error; // without links the walk has no loop to avoid
        fs::create_directory_symlink("..", dir_.file("t/a/loop"), error);
    }

    std::vector<std::string> walk(const std::string &argument, bool recursive,
                                  WalkResult *result = nullptr) {
        CurrentDirectory here(dir_.path());
        std::vector<std::string> names;
        const WalkResult walked = walk_argument(
            argument.c_str(), recursive,
            [&](const std::string &name, const ToolFileIdentity *) { names.push_back(name); });
        if (result != nullptr) {
            *result = walked;
        }
        return names;
    }

    TempDir dir_;
    std::string upper_; // R.JNT as the scan lists it
};

std::vector<std::string> sorted(std::vector<std::string> names) {
    std::sort(names.begin(), names.end());
    return names;
}

TEST_F(Walk, ArgumentsWithADirectoryPart) {
    const std::string sep(1, tool_path_separator());
    const std::string parent = "t" + sep + "a" + sep + ".." + sep;
    struct Case {
        std::string argument;
        std::vector<std::string> names;
    } cases[] = {
        {"t/*.jnt", {"t/r.jnt"}},
        {"./t/a/*.JNT", {"./t/a/r.jnt"}},
        {parent + "r.jnt", {parent + "r.jnt"}},
        {"t/a/b/r.jnt", {"t/a/b/" + upper_}},
        {"t/", {}},
        {"t/missing/*.jnt", {}},
        {"t/x.txt/*", {}},
        {"*.jnt", {}},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(walk(c.argument, false), c.names) << c.argument;
    }
    const std::string absolute = (dir_.path() / "t").string() + sep;
    EXPECT_EQ(walk(absolute + "r.*", false), std::vector<std::string>{absolute + "r.jnt"});
}

TEST_F(Walk, RecursionVisitsEveryDirectoryOnceParentsFirst) {
    const std::vector<std::string> names = walk("t/*.jnt", true);
    EXPECT_EQ(sorted(names), sorted(std::vector<std::string>{"t/a/b/" + upper_, "t/a/r.jnt",
                                                             "t/c/r.jnt", "t/r.jnt"}));
    ASSERT_EQ(names.size(), 4u);
    EXPECT_EQ(names[0], "t/r.jnt"); // a directory's own matches before its subdirectories'
    const auto a = std::find(names.begin(), names.end(), "t/a/r.jnt");
    ASSERT_NE(a, names.end());
    EXPECT_EQ(*(a + 1), "t/a/b/" + upper_); // depth first: a's subtree before its siblings
}

TEST_F(Walk, RecursionFromTheCurrentDirectoryNamesSubdirectoriesWithTheSystemSeparator) {
    const std::string sep(1, tool_path_separator());
    EXPECT_EQ(sorted(walk("R.jnt", true)),
              sorted(std::vector<std::string>{
                  "t" + sep + "a" + sep + "b" + sep + upper_, "t" + sep + "a" + sep + "r.jnt",
                  "t" + sep + "c" + sep + "r.jnt", "t" + sep + "r.jnt"}));
}

TEST_F(Walk, RecursionConvertsEveryFileOnceThroughTheDriver) {
    CurrentDirectory here(dir_.path());
    // t/a/r.jnt is named again: it is converted once.
    std::vector<std::string> storage = {"joint2si",    "-f",      "kN",
                                        "--recursive", "t/*.jnt", "t/a/r.jnt"};
    std::vector<char *> argv;
    for (std::string &argument : storage) {
        argv.push_back(&argument[0]);
    }
    EXPECT_EQ(run_converter(static_cast<int>(argv.size()), argv.data()), 0);
    for (const char *file : {"t/r.jnt", "t/a/r.jnt", "t/a/b/R.JNT", "t/c/r.jnt"}) {
        EXPECT_EQ(dir_.read(file), "shear_force 1000.000000\n") << file;
    }
    EXPECT_EQ(dir_.read("t/x.txt"), "shear_force 1\n");
}

TEST_F(Walk, UnreadableDirectoryIsReportedAndTheWalkGoesOn) {
    ChildConditions conditions;
    conditions.unprivileged = true;
    if (const std::string why = conditions_unsupported(conditions); !why.empty()) {
        GTEST_SKIP() << why;
    }
    give_to_unprivileged_user(dir_.path().string());
    fs::permissions(dir_.file("t/a"), fs::perms::none);
    const int outcome = call_unprivileged([&] {
        testing::internal::CaptureStderr();
        WalkResult result;
        const std::vector<std::string> names = walk("t/*.jnt", true, &result);
        const std::string messages = testing::internal::GetCapturedStderr();
        const bool reported =
            messages == "Error: Could not read directory 't/a'\n  Permission denied\n";
        const bool others = sorted(names) == std::vector<std::string>{"t/c/r.jnt", "t/r.jnt"};
        return (reported ? 1 : 0) | (others ? 2 : 0) | (result.unreadable ? 4 : 0);
    });
    fs::permissions(dir_.file("t/a"), fs::perms::owner_all);
    EXPECT_EQ(outcome, 7);
}

} // namespace
