// SPDX-License-Identifier: MIT
// A fixture that fails a test which leaves tracked blocks behind, and a helper
// that captures what a piece of code writes to the standard error stream.
#ifndef JOINT2SI_TESTS_MEMORY_CHECK_H
#define JOINT2SI_TESTS_MEMORY_CHECK_H

#include "libtools/tool_memory.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

class LeakCheckedTest : public ::testing::Test {
  protected:
    void SetUp() override { live_at_start_ = tool_memory_live_blocks(); }
    void TearDown() override {
        tool_memory_fail_nth(0);
        EXPECT_EQ(tool_memory_live_blocks(), live_at_start_) << "tracked blocks leaked";
    }

  private:
    long live_at_start_ = 0;
};

/// Runs `action` and returns what it wrote to the standard error stream.
std::string capture_stderr(const std::function<void()> &action);

/// Runs `action` with the n-th tracked allocation failing, for n = 1, 2, ... until an
/// attempt completes without reaching the failure; calls `check(n)` after each failed
/// attempt. Returns the number of allocations the action makes.
int for_each_allocation_failure(const std::function<void()> &action,
                                const std::function<void(int)> &check);

#endif
