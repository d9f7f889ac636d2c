// SPDX-License-Identifier: MIT
// Running a piece of test code with an ordinary user's rights, so that permission
// checks see what such a user sees even when the tests run as the superuser.
#ifndef JOINT2SI_TESTS_UNPRIVILEGED_CALL_H
#define JOINT2SI_TESTS_UNPRIVILEGED_CALL_H

#include <functional>
#include <string>

/// Why permissions cannot be checked as an ordinary user here, or "" when they can.
std::string unprivileged_calls_unsupported();

/// Runs `action` in a child process that, when we are the superuser, first becomes the
/// unprivileged user of give_to_unprivileged_user (process_control.h). Returns the
/// action's result (0 .. 254), or -1 when the child could not run it.
int call_unprivileged(const std::function<int()> &action);

#endif
