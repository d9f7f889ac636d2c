// SPDX-License-Identifier: MIT
// A gzip file written back compressed, run in-process so that the replacement's
// write, close and rename can be made to fail.
#include "app/driver.h"
#include "libtools/tool_sys_io.h"
#include "support/gzip_data.h"
#include "support/memory_check.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct Failure {
    const char *name;
    int operation; // as tool_replace_fail_nth numbers them
};

class FailingGzipWrite : public ::testing::TestWithParam<Failure> {
  protected:
    void TearDown() override { tool_replace_fail_nth(GetParam().operation, 0); }
};

// A failed compressed write (the only write of a small file comes when the member is
// completed), close or rename is a write failure, and the original stays whole.
TEST_P(FailingGzipWrite, LeavesTheOriginalWhole) {
    TempDir dir;
    const std::string original = gzip_bytes("shear_force 1\n", 9);
    dir.write("a.jnt.gz", original);
    CurrentDirectory here(dir.path());
    std::vector<std::string> storage = {"joint2si", "-f", "kN", "a.jnt.gz"};
    std::vector<char *> argv;
    for (std::string &argument : storage) {
        argv.push_back(&argument[0]);
    }
    tool_replace_fail_nth(GetParam().operation, 1);
    std::string messages;
    int status = 0;
    messages =
        capture_stderr([&] { status = run_converter(static_cast<int>(argv.size()), argv.data()); });
    EXPECT_EQ(status, -1);
    EXPECT_EQ(messages, "Error: Could not write file 'a.jnt.gz'\n  Input/output error\n");
    EXPECT_EQ(dir.read("a.jnt.gz"), original);
}

INSTANTIATE_TEST_SUITE_P(Operations, FailingGzipWrite,
                         ::testing::Values(Failure{"Write", 0}, Failure{"Close", 2},
                                           Failure{"Rename", 3}),
                         [](const auto &info) { return std::string(info.param.name); });

} // namespace
