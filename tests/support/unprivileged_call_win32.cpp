// SPDX-License-Identifier: MIT
#include "support/unprivileged_call.h"

std::string unprivileged_calls_unsupported() {
    return "Windows has no user to switch to, and a read-only directory does not stop "
           "creating files in it";
}

int call_unprivileged(const std::function<int()> &action) {
    return action() & 0xFF;
}
