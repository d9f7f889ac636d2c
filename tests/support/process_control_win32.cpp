// SPDX-License-Identifier: MIT
#include "support/process_control.h"

const char *text_line_end() {
    return "\r\n";
}

std::string known_fault_here(const char *what) {
    return std::string("known open fault of the Windows build: ") + what;
}

std::string conditions_unsupported(const ChildConditions &) {
    return "file size limits, user switching and broken pipe signals are POSIX facilities";
}

bool running_as_superuser() {
    return false;
}

bool owned_by_superuser(const std::string &) {
    return false;
}

void give_to_unprivileged_user(const std::string &) {}

ProgramResult run_program_under(const std::string &program,
                                const std::vector<std::string> &arguments,
                                const std::string &working_directory, const ChildConditions &) {
    return run_program(program, arguments, working_directory);
}

std::string signals_unsupported(StopSignal signal) {
    // A kill is TerminateProcess (run_program_win32.cpp), which ends the process at once
    // without any handler running, as SIGKILL does.
    return signal == StopSignal::kill ? "" : "POSIX signals do not exist on Windows";
}
