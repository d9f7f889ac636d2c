// SPDX-License-Identifier: MIT
#include "support/unprivileged_call.h"

#include <grp.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

constexpr uid_t kUnprivilegedId = 65534; // the user give_to_unprivileged_user hands files to

bool drop_privileges() {
    return geteuid() != 0 || (setgroups(0, nullptr) == 0 && setgid(kUnprivilegedId) == 0 &&
                              setuid(kUnprivilegedId) == 0);
}

} // namespace

std::string unprivileged_calls_unsupported() {
    return "";
}

int call_unprivileged(const std::function<int()> &action) {
    const pid_t child = fork();
    if (child < 0) {
        return -1;
    }
    if (child == 0) {
        _exit(drop_privileges() ? (action() & 0xFF) : 255);
    }
    int status = 0;
    if (waitpid(child, &status, 0) != child || !WIFEXITED(status) || WEXITSTATUS(status) == 255) {
        return -1;
    }
    return WEXITSTATUS(status);
}
