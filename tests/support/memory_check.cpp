// SPDX-License-Identifier: MIT
#include "support/memory_check.h"

std::string capture_stderr(const std::function<void()> &action) {
    ::testing::internal::CaptureStderr();
    action();
    return ::testing::internal::GetCapturedStderr();
}

int for_each_allocation_failure(const std::function<void()> &action,
                                const std::function<void(int)> &check) {
    for (int n = 1;; ++n) {
        tool_memory_fail_nth(n);
        action();
        const bool failed = tool_memory_failure_happened() != 0;
        tool_memory_fail_nth(0);
        if (!failed) {
            return n - 1;
        }
        check(n);
    }
}
