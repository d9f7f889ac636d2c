// SPDX-License-Identifier: MIT
// Runs a program and collects what it wrote and how it ended.
#ifndef JOINT2SI_TESTS_RUN_PROGRAM_H
#define JOINT2SI_TESTS_RUN_PROGRAM_H

#include <string>
#include <vector>

struct ProgramResult {
    int exit_status = 0; // as the process reported it (0 .. 255 on POSIX, any int on Windows)
    std::string standard_output; // read as text: Windows' CR LF line ends come back as "\n"
    std::string standard_error;
};

/// The converter's arguments for kN and kNm followed by `files`.
inline std::vector<std::string> units_and(const std::vector<std::string> &files) {
    std::vector<std::string> all = {"-f", "kN", "-m", "kNm"};
    all.insert(all.end(), files.begin(), files.end());
    return all;
}

/// Runs `program` with `arguments` (no shell involved) in `working_directory` (empty: the
/// current one) and waits for it.
ProgramResult run_program(const std::string &program, const std::vector<std::string> &arguments,
                          const std::string &working_directory = "");

/// Runs `program` as run_program does, with the file `input_path` as its standard input.
/// Here standard_output holds the bytes exactly as the program wrote them.
ProgramResult run_program_with_input(const std::string &program,
                                     const std::vector<std::string> &arguments,
                                     const std::string &working_directory,
                                     const std::string &input_path);

/// The exit status a process that returns -1 reports on this system: 255 on POSIX,
/// -1 on Windows (the exit code 0xFFFFFFFF read as an int).
int exit_status_of_minus_one();

#endif
