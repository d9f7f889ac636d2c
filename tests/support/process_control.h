// SPDX-License-Identifier: MIT
// Running the program under conditions only some systems can set up: another
// user, a file size limit, a signal in the middle of its work. Tests ask
// whether the system supports them and skip with a reason when it does not.
#ifndef JOINT2SI_TESTS_PROCESS_CONTROL_H
#define JOINT2SI_TESTS_PROCESS_CONTROL_H

#include "support/run_program.h"

#include <string>
#include <vector>

/// The bytes a text-mode stream of this system writes for "\n".
const char *text_line_end();

/// Why the behaviour `what` is known not to hold on this system yet (a fault still
/// open, so the test is skipped here rather than passed), or "" when it holds.
std::string known_fault_here(const char *what);

/// `text` as a text-mode stream of this system stores it: every "\n" becomes
/// text_line_end().
std::string with_text_line_ends(const std::string &text);

/// `text` as the converter writes it for the input `original`: every "\n" becomes the
/// first line end of `original` ("\r\n" or "\n"), or the system's text line end when
/// `original` has none.
std::string with_line_ends_of(const std::string &original, const std::string &text);

struct ChildConditions {
    long long file_size_limit = -1;   // bytes a child may write to one file; -1: no limit
    bool unprivileged = false;        // run as an unprivileged user when we are the superuser
    std::string input_path;           // a file to read as standard input; empty: inherited
    std::string output_path;          // a file to write standard output to; empty: captured
    bool closed_error_output = false; // standard error a pipe whose reading end is closed
};

/// Why the conditions cannot be set up here, or "" when they can.
std::string conditions_unsupported(const ChildConditions &conditions);

/// Whether the current process runs as the superuser.
bool running_as_superuser();

/// Whether the file at `path` belongs to the superuser.
bool owned_by_superuser(const std::string &path);

/// Hands the directory tree at `path` to the unprivileged user the children run as.
void give_to_unprivileged_user(const std::string &path);

/// Runs the program under `conditions` and waits for it.
ProgramResult run_program_under(const std::string &program,
                                const std::vector<std::string> &arguments,
                                const std::string &working_directory,
                                const ChildConditions &conditions);

enum class StopSignal { interrupt, terminate, kill };

/// Why `signal` cannot be sent here, or "" when it can. A kill can be sent everywhere
/// (TerminateProcess on Windows); the interrupt and terminate signals only on POSIX.
std::string signals_unsupported(StopSignal signal);

/// Starts the program, sends it `signal` after `delay_microseconds` (unless it ended
/// before) and waits for it. Returns true when the signal was delivered while it ran.
/// Standard output and error go nowhere.
bool run_program_and_stop(const std::string &program, const std::vector<std::string> &arguments,
                          const std::string &working_directory, long delay_microseconds,
                          StopSignal signal);

#endif
